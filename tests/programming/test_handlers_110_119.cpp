// The keyed options of slot 110 (with the *615 numbers, *9272 and *9307) and of slots 114, 116,
// 117 and 119, typed on a started image.
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

class KeyedOptionCheck : public HandlerCheck {};

Place Number615(std::size_t row, std::size_t entry, std::size_t byte) {
    return T(
        "*615 numbers", [](DataImage& i, std::size_t o) { return TableByte(i.numbers_615, o); },
        160 * (row - 1) + 8 * (entry - 1) + byte);
}
std::vector<Change> Entry615(std::size_t row, std::size_t entry,
                             std::array<std::uint8_t, 8> bytes) {
    std::vector<Change> changes;
    for (std::size_t b = 0; b < 8; ++b)
        changes.push_back({Number615(row, entry, b), 0xFF, bytes[b]});
    return changes;
}
Place Table820(std::size_t k) {
    return T(
        "*820 table", [](DataImage& i, std::size_t o) { return TableByte(i.table_820, o); }, k - 1);
}
Place Table9441(std::size_t k) {
    return T(
        "*9441 table", [](DataImage& i, std::size_t o) { return TableByte(i.table_9441, o); },
        k - 1);
}
Place Table9212(std::size_t k) {
    return T(
        "*9212 table", [](DataImage& i, std::size_t o) { return TableByte(i.table_9212, o); },
        k - 1);
}

TEST_F(KeyedOptionCheck, SlotOneTenKeyedValues) {
    Run(Case{"*314: the value's maximum depends on the key",
             {},
             {
                 Stored("*314110#", "314=1-10P", {{B(148, 0), 0x0F, 10}}),
                 Shown("*3141#", "314=1-10c"),
                 Refused("*314111#"),
                 Stored("*314311#", "314=3-11P", {{B(148, 2), 0x0F, 11}}),
                 Refused("*314100#"),
                 Refused("*314501#"),
                 Refused("*3145#"),
             }});
    Run(Case{"block 85 records",
             {},
             {
                 Stored("*69126#", "691=2-6P", {{B(85, 13), 0x70, 0x60}}),
                 Shown("*6912#", "691=2-6c"),
                 Refused("*69117#"),
                 Stored("*68216#", "682=1-6P", {{B(85, 1), 0x07, 6}}),
                 Refused("*68210#"),
                 Stored("*685190#", "685=1-90P", {{B(85, 6), 0xFF, 90}}),
                 Stored("*685299#", "685=2-99P", {{B(85, 18), 0xFF, 99}}),
                 Shown("*6852#", "685=2-99c"),
                 Refused("*685191#"),
                 Refused("*685198#"),
                 Refused("*685100#"),
                 Stored("*68323#", "683=2-3P", {{B(85, 19), 0x03, 3}}),
                 Refused("*68314#"),
                 Stored("*692103#", "692=1-03P", {{B(85, 8), 0x0F, 3}}),
                 Shown("*6921#", "692=1-03c"),
                 Refused("*692104#"),
                 Refused("*692100#"),
             }});
    Run(Case{"*684: odd keys bit 0x04, even keys bit 0x08 of the record of (k - 1) / 2",
             {},
             {
                 Stored("*68431#", "684=3-1P", {{B(85, 19), 0x04, 0x04}}),
                 Stored("*68421#", "684=2-1P", {{B(85, 7), 0x08, 0x08}}),
                 Shown("*6843#", "684=3-1c"),
                 Shown("*6844#", "684=4-0c"),
                 Stored("*68430#", "684=3-0P", {{B(85, 19), 0x04, 0x00}}),
                 Refused("*68451#"),
                 Refused("*68412#"),
             }});
    Run(Case{"block 80 by k 0-3 and the tables outside the blocks",
             {},
             {
                 Stored("*922736#", "9227=3-6P", {{B(80, 169), 0x07, 6}}),
                 Stored("*922937#", "9229=3-7P", {{B(80, 169), 0x70, 0x70}}),
                 Shown("*92273#", "9227=3-6c"),
                 Shown("*92293#", "9229=3-7c"),
                 Refused("*922747#"),
                 Stored("*82107#", "821=0-7P", {{B(80, 85), 0x07, 7}}),
                 Refused("*82108#"),
                 Stored("*82096#", "820=9-6P", {{Table820(9), 0x07, 6}}),
                 Shown("*8209#", "820=9-6c"),
                 Refused("*82007#"),
                 Stored("*944134#", "9441=3-4P", {{Table9441(3), 0x07, 4}}),
                 Shown("*94413#", "9441=3-4c"),
                 Refused("*944110#"),
                 Refused("*944115#"),
             }});
}

TEST_F(KeyedOptionCheck, TwoFieldEntries) {
    Run(Case{"*9272 and *9307",
             {},
             {
                 Shown("*9272#", "9272=3,1c"),  // factory byte 0x13
                 Stored("*927232#", "9272=3,2P", {{S(SettingByte::k9272), 0x73, 0x23}}),
                 Shown("*9272#", "9272=3,2c"),
                 Refused("*927203#"),
                 Refused("*927240#"),
                 Stored("*9307107#", "9307=1,07P",
                        {{S(SettingByte::k9307), 0xC0, 0x40}, {B(3, 10), 0x0F, 7}}),
                 Shown("*9307#", "9307=1,07c"),
                 Refused("*9307315#"),
                 Refused("*9307016#"),
             }});
}

TEST_F(KeyedOptionCheck, StarSixOneFiveNumbers) {
    Run(Case{"store, clear one entry, clear a row",
             {"*615030612#"},
             {
                 Stored("*615030512345#", "615=03,05-12345P",
                        Entry615(3, 5, {0x12, 0x34, 0x50, 0, 0, 0, 0, 0})),
                 Shown("*6150305#", "615=03,05-12345c"),
                 Stored("*61503051234567890123456#", "615=03,05-1234567890123456P",
                        Entry615(3, 5, {0x12, 0x34, 0x56, 0x78, 0x9A, 0x12, 0x34, 0x56})),
                 Stored("*61503050#", "615=03,05-0P", Entry615(3, 5, {})),
                 Shown("*6150305#", "615=03,05-c"),
                 Stored("*615030512#", "615=03,05-12P", Entry615(3, 5, {0x12})),
                 Stored("*61503000#", "615=03,00-0P",
                        [] {
                            auto c = Entry615(3, 5, {});
                            for (const Change& x : Entry615(3, 6, {})) c.push_back(x);
                            return c;
                        }()),
             }});
    Run(Case{"refused",
             {},
             {
                 Refused("*615030012#"),  // entry 00 takes only the clearing 0
                 Refused("*615080112#"),
                 Refused("*615002112#"),
                 Refused("*615032112#"),
                 Refused("*6150300#"),
                 Refused("*6150321#"),
             }});
}

TEST_F(KeyedOptionCheck, SlotsOneFourteenToOneNineteen) {
    Run(Case{"slot 114: block 61 entries and the *9212 table",
             {},
             {
                 Stored("*05055#", "050=5-5P", {{B(61, 18), 0x07, 5}}),
                 Shown("*0505#", "050=5-5c"),
                 Refused("*05065#"),
                 Refused("*05018#"),
                 Stored("*05117#", "051=1-7P", {{B(61, 3), 0x07, 7}}),
                 Stored("*05217#", "052=1-7P", {{B(61, 3), 0x70, 0x70}}),
                 Shown("*0521#", "052=1-7c"),
                 Stored("*921223#", "9212=2-3P", {{Table9212(2), 0x07, 3}}),
                 Stored("*921324#", "9213=2-4P", {{Table9212(2), 0x70, 0x40}}),
                 Shown("*92122#", "9212=2-3c"),
                 Shown("*92132#", "9213=2-4c"),
             }});
    Run(Case{"slots 116, 117 and 119",
             {},
             {
                 Stored("*920213#", "9202=1-3P", {{B(61, 0), 0x03, 3}}),
                 Shown("*92021#", "9202=1-3c"),
                 Refused("*920214#"),
                 Refused("*920263#"),
                 Stored("*920331#", "9203=3-1P", {{B(61, 9), 0xF0, 0x10}}),
                 Stored("*920439#", "9204=3-9P", {{B(61, 9), 0x0F, 9}}),
                 Shown("*92033#", "9203=3-1c"),
                 Shown("*92043#", "9204=3-9c"),
                 Refused("*920330#"),
                 Refused("*920461#"),
                 Stored("*920831#", "9208=3-1P", {{B(80, 16), 0x01, 0x01}}),
                 Stored("*920931#", "9209=3-1P", {{B(80, 16), 0x02, 0x02}}),
                 Stored("*920830#", "9208=3-0P", {{B(80, 16), 0x01, 0x00}}),
                 Shown("*92083#", "9208=3-0c"),
                 Shown("*92093#", "9209=3-1c"),
                 Refused("*920841#"),
                 Refused("*920912#"),
                 Stored("*1446#", "144=6P", {{B(55, 7), 0xE0, 0xC0}}),
                 Shown("*144#", "144=6c"),
                 Refused("*1447#"),
             }});
}

// *050-*052, *9212 and *9213 reload the display characters after a store.
TEST_F(KeyedOptionCheck, DisplaySettingsReloadTheCharacterTable) {
    int reloads = 0;
    state->display_characters.hook = [&](std::uint8_t, std::uint8_t) { ++reloads; };
    ASSERT_EQ(RunCommandForResult(*state, 1, "*05055#").result, CommandResult::kStored);
    EXPECT_EQ(reloads, 224);
    ASSERT_EQ(RunCommandForResult(*state, 1, "*921324#").result, CommandResult::kStored);
    EXPECT_EQ(reloads, 2 * 224);
    ASSERT_EQ(RunCommandForResult(*state, 1, "*05065#").result, CommandResult::kRejected);
    EXPECT_EQ(reloads, 2 * 224);
}

}  // namespace
}  // namespace qzs::testing

namespace qzs::testing {
namespace {

// Slots 109, 111, 112 and 113 have no command; a table of the test's own reaches them.
class UnusedSlotTest : public HandlerTest {
  protected:
    const CommandTable table = TableOfGroupZero({
        Descriptor({0, 0x05, 0x11, 0x11, 0x11, 0x11, 0x11, 0, 0, 109, 0, 0, 0}),  // *000
        Descriptor({0, 0x11, 0x11, 0x11, 0, 0, 0, 0, 1, 111, 0, 0, 0}),           // *001
        Descriptor({0, 0x11, 0x11, 0x11, 0, 0, 0, 0, 1, 112, 1, 0, 0}),           // *002
        Descriptor({0, 0x11, 0x11, 0x22, 0, 0, 0, 0, 1, 112, 2, 0, 0}),           // *003
        Descriptor({0, 0x01, 0xCC, 0, 0, 0, 0, 0, 0, 113, 0, 0, 0}),              // *004
    });
    void SetUp() override { UseTable(table); }
};

TEST_F(UnusedSlotTest, SlotOneNineFlags) {
    At(20, 12) = 0x8F;
    At(20, 25) = 0x3F;
    EXPECT_EQ(Store("000=1,0,1,1,0"), kHandlerAccepted);
    EXPECT_EQ(At(20, 12), 0xDF);
    EXPECT_EQ(At(20, 25), 0x7F);
    EXPECT_EQ(Show("000=").text, "1,0,1,1,0");
    std::vector<std::size_t> changed;
    EXPECT_EQ(StoreAndDiff("000=1,0,1,1,2", changed), kHandlerRejected);
    EXPECT_TRUE(changed.empty());
    EXPECT_EQ(StoreAndDiff("000=1,0,1,1", changed), kHandlerRejected);
    EXPECT_TRUE(changed.empty());
}

TEST_F(UnusedSlotTest, SlotsOneElevenAndOneTwelve) {
    EXPECT_EQ(Store("001=2-3"), kHandlerAccepted);
    EXPECT_EQ(At(63, 10) & 0x03, 3);
    EXPECT_EQ(Show("001=2-").text, "3");
    EXPECT_EQ(Store("001=3-1"), kHandlerRejected);
    EXPECT_EQ(Store("001=1-4"), kHandlerRejected);

    EXPECT_EQ(Store("002=2-2"), kHandlerAccepted);
    EXPECT_EQ(At(64, 8) & 0x03, 2);
    EXPECT_EQ(Store("002=2-3"), kHandlerRejected);
    EXPECT_EQ(Store("003=2-08"), kHandlerAccepted);
    EXPECT_EQ(At(98, 4), 8);
    EXPECT_EQ(Show("003=2-").text, "08");
    EXPECT_EQ(Store("003=1-09"), kHandlerRejected);
}

TEST_F(UnusedSlotTest, SlotOneThirteenText) {
    EXPECT_EQ(Store("004=ABC 12"), kHandlerAccepted);
    const std::string stored(reinterpret_cast<const char*>(&At(62, 10)), 12);
    EXPECT_EQ(stored, "ABC 12      ");
    EXPECT_EQ(Show("004=").text, "ABC 12      ");
}

}  // namespace
}  // namespace qzs::testing
