// The two values per line of *301, the nibble and byte options (*374, *088, *9219, *302, *624,
// *9434, *087), the display text of *679 and the port assignments of *801, *378, *379 and *370,
// typed on a started image; and the handlers of this block that no command reaches.
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

Place Line54(int line, std::size_t byte) {
    return B(54, 12 * static_cast<std::size_t>(line - 1) + byte);
}
Place Ports370(std::size_t entry) {
    return T(
        "*370 table", [](DataImage& i, std::size_t o) { return TableByte(i.ports_370, o); },
        entry - 1);
}

TEST_F(HandlerCheck, LineValuesOf301AreZeroOrFive) {
    std::vector<Change> all_lines;
    for (int line = 1; line <= 24; ++line) {
        all_lines.push_back({Line54(line, 4), 0x70, 0x50});
        all_lines.push_back({Line54(line, 5), 0x70, 0x00});
    }
    Run(Case{"*301",
             {},
             {
                 Stored("*30101#5#", "301=01,-5,P",
                        {{Line54(1, 4), 0x70, 0x50}, {Line54(1, 5), 0x70, 0x50}}),
                 Shown("*30101##", "301=01,-5,5c"),
                 Stored("*3010124505#", "301=01,24-5,0P", all_lines),
                 Shown("*30124##", "301=24,-5,0c"),
                 Stored("*301101205#", "301=10,12-0,5P",
                        {{Line54(10, 4), 0x70, 0},
                         {Line54(10, 5), 0x70, 0x50},
                         {Line54(11, 4), 0x70, 0},
                         {Line54(11, 5), 0x70, 0x50},
                         {Line54(12, 4), 0x70, 0},
                         {Line54(12, 5), 0x70, 0x50}}),
                 Refused("*30101#3#"),
                 Refused("*30101#53#"),
                 Refused("*30101#1#"),
                 Refused("*30125#0#"),
                 Refused("*301121005#"),
                 Refused("*3011025#"),
                 Refused("*301011#05#"),  // a last line of one digit
                 Refused("*3010112##"),
             }});
}

TEST_F(HandlerCheck, NibbleAndByteOptions) {
    Run(Case{"*374, *088, *9219",
             {},
             {
                 Stored("*37410#", "374=10P", {{B(55, 3), 0x0F, 10}}),
                 Shown("*374#", "374=10c"),
                 Refused("*37411#"),
                 Stored("*08807#", "088=07P", {{B(80, 13), 0x0F, 7}}),
                 Shown("*088#", "088=07c"),
                 Refused("*08815#"),
                 Stored("*92195#", "9219=5P", {{S(SettingByte::k9219), 0x70, 0x50}}),
                 Shown("*9219#", "9219=5c"),
                 Refused("*92196#"),
             }});
    Run(Case{"*302, *624, *9434, *087",
             {},
             {
                 Stored("*30230#", "302=30P", {{B(55, 10), 0xFF, 30}}),
                 Stored("*30200#", "302=00P", {{B(55, 10), 0xFF, 0}}),
                 Refused("*30231#"),
                 Stored("*62401#", "624=01P", {{B(80, 10), 0xFF, 1}}),
                 Shown("*624#", "624=01c"),
                 Refused("*62400#"),
                 Refused("*62431#"),
                 Stored("*943472#", "9434=72P", {{S(SettingByte::k9434), 0xFF, 72}}),
                 Shown("*9434#", "9434=72c"),
                 Refused("*943473#"),
                 Refused("*943400#"),
                 Stored("*08718#", "087=18P", {{B(58, 3), 0xFF, 18}}),
                 Shown("*087#", "087=18c"),
                 Refused("*08700#"),
                 Refused("*08719#"),
             }});
}

TEST_F(HandlerCheck, DisplayTextOf679) {
    const std::string stored = "679=0-AB" + std::string(10, ' ') + "P";
    std::vector<Change> every_entry;
    for (std::size_t e = 0; e < 8; ++e) {
        for (std::size_t i = 0; i < 12; ++i) {
            every_entry.push_back({B(59, 16 * e + i), 0xFF,
                                   static_cast<std::uint8_t>(i == 0   ? 'A'
                                                             : i == 1 ? 'B'
                                                                      : ' ')});
        }
    }
    Run(Case{"*679 entry 0 writes all eight",
             {},
             {
                 Stored("*67902021#", stored, every_entry),
                 Shown("*6798#", "679=8-AB          c"),
                 Refused("*6790#"),
                 Refused("*6799#"),
             }});
}

TEST_F(HandlerCheck, PortAssignmentsOf801378379And370) {
    // Position 110 is port code 34, 102 code 2, 105 code 9, 112 code 36.
    Run(Case{"*801",
             {},
             {
                 Stored("*80101110#", "801=01-110P", {{B(60, 1), 0xFF, 34}}),
                 Stored("*80100102#", "801=00-102P", {{B(60, 1), 0xFF, 2}, {B(60, 5), 0xFF, 2}}),
                 Shown("*80102#", "801=02-102c"),
                 Refused("*80100#"),
                 Refused("*80103102#"),
                 Refused("*80101107#"),
                 Stored("*80102000#", "801=02-000P", {{B(60, 5), 0xFF, 0}}),
             }});
    Run(Case{"*378 and *379 refuse codes 1-6",
             {},
             {
                 Stored("*37805110#", "378=05-110P", {{B(2, 83), 0xFF, 34}}),
                 Shown("*37805#", "378=05-110c"),
                 Refused("*37805101#"),
                 Refused("*37805104#"),
                 Stored("*37805105#", "378=05-105P", {{B(2, 83), 0xFF, 9}}),
                 Stored("*37805000#", "378=05-000P", {{B(2, 83), 0xFF, 0}}),
                 Refused("*37809110#"),
                 Stored("*37924112#", "379=24-112P", {{Line54(24, 10), 0xFF, 36}}),
                 Shown("*37924#", "379=24-112c"),
                 Refused("*37925112#"),
                 Refused("*37901102#"),
             }});
    Run(Case{
        "*370 moves a code",
        {},
        {
            Stored("*37001110#", "370=01-110P", {{Ports370(1), 0xFF, 34}}),
            Stored("*37006110#", "370=06-110P", {{Ports370(1), 0xFF, 0}, {Ports370(6), 0xFF, 34}}),
            Shown("*37001#", "370=01-000c"),
            Shown("*37006#", "370=06-110c"),
            Refused("*37007110#"),
            Refused("*37002103#"),
        }});
}

// --- Slots that no command reaches -----------------------------------------------------------

class UnreachedSlot120Test : public HandlerTest {
  protected:
    const CommandTable table = TableOfGroupZero({
        Descriptor({0, 0x12, 0x22, 0x14, 0, 0, 0, 0, 1, 125, 0, 0, 0}),  // *000 slot 125
        Descriptor({0, 0x12, 0x22, 0x11, 0, 0, 0, 0, 1, 128, 0, 0, 0}),  // *001 slot 128
        Descriptor({0, 0x01, 0x22, 0, 0, 0, 0, 0, 0, 123, 2, 5, 0}),     // *002 slot 123 item 2
        Descriptor({0, 0x01, 0x22, 0, 0, 0, 0, 0, 0, 123, 3, 0, 0}),     // *003 slot 123 item 3
        Descriptor({0, 0x11, 0x22, 0x33, 0, 0, 0, 0, 1, 129, 2, 0, 0}),  // *004 slot 129 item 2
    });
    void SetUp() override { UseTable(table); }
};

TEST_F(UnreachedSlot120Test, CodesOf125FollowTheDigitCountsAndStandOnce) {
    std::vector<std::size_t> changed;
    EXPECT_EQ(StoreAndDiff("000=03-7", changed), kHandlerAccepted);
    EXPECT_EQ(Image().codes_125[2][0], 0x70);
    EXPECT_EQ(state->modified.bytes[0], ModifiedFlags::kSet);
    EXPECT_EQ(Show("000=03-").text, "7");
    EXPECT_EQ(Store("000=03-71"), kHandlerRejected);  // 7 calls for one digit
    At(14, 7) = 0xFC | 1;                             // two digits; the upper bits are not a count
    EXPECT_EQ(Store("000=03-71"), kHandlerAccepted);
    EXPECT_EQ(Store("000=16-71"), kHandlerAccepted);
    EXPECT_EQ(Image().codes_125[2][0], 0);  // the code moved
    EXPECT_EQ(Image().codes_125[15][0], 0x71);
    EXPECT_EQ(Store("000=17-71"), kHandlerRejected);
    EXPECT_EQ(Store("000=00-71"), kHandlerRejected);
    EXPECT_EQ(Store("000=00-0"), kHandlerAccepted);
    EXPECT_EQ(Image().codes_125[15][0], 0);
    EXPECT_EQ(Show("000=00-").result, kHandlerRejected);
}

TEST_F(UnreachedSlot120Test, TwelveBitsOf128) {
    EXPECT_EQ(Store("001=12,1"), kHandlerAccepted);
    EXPECT_EQ(At(5, 1), 0x08);
    EXPECT_EQ(Show("001=12,").text, "1");
    EXPECT_EQ(Store("001=00,1"), kHandlerAccepted);
    EXPECT_EQ(At(5, 0), 0xFF);
    EXPECT_EQ(At(5, 1), 0x0F);
    EXPECT_EQ(At(5, 2), 0x00);  // slot 80's byte stays
    EXPECT_EQ(Store("001=01,0"), kHandlerAccepted);
    EXPECT_EQ(At(5, 0), 0xFE);
    EXPECT_EQ(Store("001=13,1"), kHandlerRejected);
    EXPECT_EQ(Store("001=01,2"), kHandlerRejected);
    EXPECT_EQ(Show("001=00,").result, kHandlerRejected);
}

TEST_F(UnreachedSlot120Test, PointerByteOf123MarksTheSystemChangedAndRunTimeItemsAreRefused) {
    EXPECT_EQ(Store("002=30"), kHandlerAccepted);
    EXPECT_EQ(*DataBytePointer(Image(), 5), 30);
    EXPECT_EQ(state->modified.bytes[0], ModifiedFlags::kSet);
    EXPECT_EQ(Show("002=").text, "30");
    EXPECT_EQ(Store("002=31"), kHandlerRejected);
    std::vector<std::size_t> changed;
    EXPECT_EQ(StoreAndDiff("003=10", changed), kHandlerRejected);
    EXPECT_TRUE(changed.empty());
}

TEST_F(UnreachedSlot120Test, UnitPortCodesOf129StandOnce) {
    // Position 107 is port code 11.
    EXPECT_EQ(Store("004=01-107"), kHandlerAccepted);
    EXPECT_EQ(At(81, 2), 11);
    EXPECT_EQ(Store("004=05-107"), kHandlerAccepted);
    EXPECT_EQ(At(81, 2), 0);
    EXPECT_EQ(At(81, 18), 11);
    EXPECT_EQ(Show("004=05-").text, "107");
    EXPECT_EQ(Store("004=02-107"), kHandlerRejected);
    EXPECT_EQ(Store("004=03-101"), kHandlerRejected);
    EXPECT_EQ(Store("004=05-000"), kHandlerAccepted);
    EXPECT_EQ(At(81, 18), 0);
}

}  // namespace
}  // namespace qzs::testing
