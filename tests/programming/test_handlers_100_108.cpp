// The information display (*004, *020, *003), the dial-number tables (*142, *690, *168, *035,
// *9308, *089, *423), the time schedules (*085, *698), the one-nibble options (*047, *9214,
// *9215, *350, *9440), the second display (*021, *9410) and the codes of *9306, typed on a
// started image.
#include <array>

#include "programming/slot_queries.h"
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

template <auto Member>
Place Table(const char* name, std::size_t offset) {
    return T(
        name, [](DataImage& i, std::size_t o) { return TableByte(i.*Member, o); }, offset);
}
Place Numbers9308(std::size_t o) {
    return Table<&DataImage::numbers_9308>("*9308 numbers", o);
}
Place Numbers035(std::size_t o) {
    return Table<&DataImage::numbers_035>("*035 numbers", o);
}
Place Numbers089(std::size_t o) {
    return Table<&DataImage::numbers_089>("*089 numbers", o);
}
Place Numbers423(std::size_t o) {
    return Table<&DataImage::numbers_423>("*423 numbers", o);
}
Place Schedule698(std::size_t o) {
    return Table<&DataImage::schedule_698>("*698 table", o);
}

// Every byte of [first, first + count) set to the value.
std::vector<Change> Bytes(Place (*place)(std::size_t), std::size_t first, std::size_t count,
                          std::uint8_t value) {
    std::vector<Change> changes;
    for (std::size_t i = 0; i < count; ++i) changes.push_back({place(first + i), 0xFF, value});
    return changes;
}
std::vector<Change> BlockRun(int block, std::size_t first, std::size_t count, std::uint8_t value) {
    std::vector<Change> changes;
    for (std::size_t i = 0; i < count; ++i) changes.push_back({B(block, first + i), 0xFF, value});
    return changes;
}
std::vector<Change> Join(std::vector<Change> a, const std::vector<Change>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The packed bytes of a number written from the first byte of a run of count bytes: the rest of
// the run (the digit places the number leaves empty) becomes 0.
std::vector<Change> Number(int block, std::size_t first, std::size_t count,
                           std::vector<std::uint8_t> packed) {
    packed.resize(count, 0);
    std::vector<Change> changes;
    for (std::size_t i = 0; i < count; ++i)
        changes.push_back({B(block, first + i), 0xFF, packed[i]});
    return changes;
}

// --- Dial-number tables ------------------------------------------------------------------------

TEST_F(HandlerCheck, NumberTableOf142ClearsAnEntryWithFiveZerosAndTheTableWithOne) {
    Run(Case{"*142",
             {},
             {
                 Stored("*142010312345678#", "142=01-0312345678P",
                        {{B(13, 0), 0xFF, 0xA3},
                         {B(13, 1), 0xFF, 0x12},
                         {B(13, 2), 0xFF, 0x34},
                         {B(13, 3), 0xFF, 0x56},
                         {B(13, 4), 0xFF, 0x78}}),
                 Shown("*14201#", "142=01-0312345678c"),
                 Stored("*1426499#", "142=64-99P", Number(13, 504, 5, {0x99})),
                 Shown("*14264#", "142=64-99c"),
                 Refused("*142651#"),
                 Refused("*142005#"),
                 Refused("*14200#00000#"),
                 Refused("*14200#"),
                 Stored("*1420100000#", "142=01-00000P", BlockRun(13, 0, 5, 0)),
                 Stored("*142021#", "142=02-1P", Number(13, 8, 5, {0x10})),
                 Shown("*14202#", "142=02-1c"),
                 Stored("*142000#", "142=00-0P", BlockRun(13, 0, 512, 0)),
                 Shown("*14202#", "142=02-c"),
             }});
}

TEST_F(HandlerCheck, NumberTableOf168TakesSixZerosAsANumber) {
    Run(Case{"*168",
             {},
             {
                 Stored("*16805000000#", "168=05-000000P", Number(87, 28, 6, {0xAA, 0xAA, 0xAA})),
                 Shown("*16805#", "168=05-000000c"),
                 Stored("*1680500000#", "168=05-00000P", BlockRun(87, 28, 6, 0)),
                 Stored("*16832123456789012#", "168=32-123456789012P",
                        {{B(87, 190), 0xFF, 0x12},
                         {B(87, 191), 0xFF, 0x34},
                         {B(87, 192), 0xFF, 0x56},
                         {B(87, 193), 0xFF, 0x78},
                         {B(87, 194), 0xFF, 0x9A},
                         {B(87, 195), 0xFF, 0x12}}),
                 Refused("*168330#"),
                 Refused("*168000#"),
                 Stored("*1680000000#", "168=00-00000P", BlockRun(87, 4, 192, 0)),
             }});
}

TEST_F(HandlerCheck, NumberTablesWithOneDigitKeysRefuseEntryZero) {
    Run(Case{
        "*690 and *035",
        {},
        {
            Stored("*6901123#", "690=1-123P", Number(148, 4, 8, {0x12, 0x30})),
            Shown("*6901#", "690=1-123c"),
            Stored("*690412345678901234567#", "690=4-1234567890123456P",
                   Join(Join(BlockRun(148, 28, 1, 0x12), BlockRun(148, 29, 1, 0x34)),
                        Join(Join(BlockRun(148, 30, 1, 0x56), BlockRun(148, 31, 1, 0x78)),
                             Join(Join(BlockRun(148, 32, 1, 0x9A), BlockRun(148, 33, 1, 0x12)),
                                  Join(BlockRun(148, 34, 1, 0x34), BlockRun(148, 35, 1, 0x56)))))),
            Stored("*69010#", "690=1-0P", BlockRun(148, 4, 8, 0)),
            Refused("*69000#"),
            Refused("*69005#"),
            Refused("*69055#"),
            Stored("*03537#", "035=3-7P", {{Numbers035(16), 0xFF, 0x70}}),
            Shown("*0353#", "035=3-7c"),
            Stored("*03530#", "035=3-0P", {{Numbers035(16), 0xFF, 0}}),
            Refused("*03500#"),
            Refused("*03547#"),
        }});
}

TEST_F(HandlerCheck, NumberTablesOf9308089And423) {
    Run(Case{"*9308: six zeros clear, five are a number",
             {},
             {
                 Stored("*93081600000#", "9308=16-00000P",
                        Join(Bytes(Numbers9308, 120, 2, 0xAA), Bytes(Numbers9308, 122, 1, 0xA0))),
                 Shown("*930816#", "9308=16-00000c"),
                 Stored("*930801000000#", "9308=01-000000P", {}),
                 Stored("*9308014#", "9308=01-4P", {{Numbers9308(0), 0xFF, 0x40}}),
                 Stored("*930800000000#", "9308=00-000000P",
                        Join(Bytes(Numbers9308, 0, 1, 0), Bytes(Numbers9308, 120, 3, 0))),
                 Refused("*9308170#"),
                 Refused("*9308000#"),
             }});
    Run(Case{"*089 and *423: one zero clears",
             {},
             {
                 Stored("*0892012#", "089=20-12P", {{Numbers089(152), 0xFF, 0x12}}),
                 Stored("*089010#", "089=01-0P", {}),
                 Stored("*089000#", "089=00-0P", Bytes(Numbers089, 152, 1, 0)),
                 Refused("*089210#"),
                 Stored("*42305987#", "423=05-987P",
                        {{Numbers423(32), 0xFF, 0x98}, {Numbers423(33), 0xFF, 0x70}}),
                 Shown("*42305#", "423=05-987c"),
                 Stored("*423000#", "423=00-0P", Bytes(Numbers423, 32, 2, 0)),
             }});
}

// --- Time schedules ------------------------------------------------------------------------------

TEST_F(HandlerCheck, WeekScheduleOf085) {
    // Day d at block 122 byte 84 + 4d: end minute, end hour with the mode, start minute, start
    // hour with the mode.
    auto day = [](std::size_t d, std::array<std::uint8_t, 4> bytes) {
        std::vector<Change> changes;
        for (std::size_t i = 0; i < 4; ++i)
            changes.push_back({B(122, 84 + 4 * d + i), 0xFF, bytes[i]});
        return changes;
    };
    std::vector<Change> every_day;
    for (std::size_t d = 0; d < 7; ++d)
        every_day = Join(every_day, day(d, {0x59, 0xE3, 0x00, 0xC0}));
    std::vector<Change> cleared;
    for (std::size_t d = 0; d < 7; ++d) cleared = Join(cleared, day(d, {0, 0, 0, 0}));
    Run(Case{"*085",
             {},
             {
                 Shown("*0851#", "085=1-,,c"),
                 Stored("*0851083017002#", "085=1-0830,1700,2P", day(1, {0x00, 0x97, 0x30, 0x88})),
                 Shown("*0851#", "085=1-0830,1700,2c"),
                 Stored("*0857000023593#", "085=7-0000,2359,3P", every_day),
                 Shown("*0856#", "085=6-0000,2359,3c"),
                 Refused("*0857#"),
                 Refused("*0851240017002#"),
                 Refused("*0851083017602#"),
                 Refused("*0851083017000#"),
                 Refused("*0851083017004#"),
                 Refused("*0858083017002#"),
                 Stored("*085300#", "085=3-00P", day(3, {0, 0, 0, 0})),
                 Shown("*0853#", "085=3-,,c"),
                 Stored("*085700#", "085=7-00P", cleared),
             }});
}

TEST_F(HandlerCheck, GroupScheduleOf698) {
    // Group g, day d, period p at 224 g + 32 d + 8 (p - 1): start minute, start hour, end minute,
    // end hour in BCD.
    auto period = [](std::size_t g, std::size_t d, std::size_t p, std::array<std::uint8_t, 4> b) {
        std::vector<Change> changes;
        for (std::size_t i = 0; i < 4; ++i) {
            changes.push_back({Schedule698(224 * g + 32 * d + 8 * (p - 1) + i), 0xFF, b[i]});
        }
        return changes;
    };
    std::vector<Change> all_groups;
    for (std::size_t g = 1; g <= 8; ++g)
        all_groups = Join(all_groups, period(g, 2, 3, {0x15, 0x09, 0x45, 0x10}));
    std::vector<Change> week;
    for (std::size_t d = 0; d < 7; ++d) week = Join(week, period(8, d, 4, {0, 0, 0, 0x24}));
    Run(Case{"*698",
             {},
             {
                 Stored("*6980101080024000#", "698=01,0,1-0800,2400P",
                        period(1, 0, 1, {0x00, 0x08, 0x00, 0x24})),
                 Shown("*6980101#", "698=01,0,1-0800,2400c"),
                 Stored("*6980023091510450#", "698=00,2,3-0915,1045P", all_groups),
                 Shown("*6980523#", "698=05,2,3-0915,1045c"),
                 Shown("*6989923#", "698=99,2,3-0915,1045c"),
                 Stored("*6989974000024000#", "698=99,7,4-0000,2400P", week),
                 Stored("*6980702240024000#", "698=07,0,2-2400,2400P",
                        period(7, 0, 2, {0x00, 0x24, 0x00, 0x24})),
                 Refused("*6980101240008000#"),
                 Refused("*6980101100009000#"),
                 Refused("*6980101080024010#"),
                 Refused("*6980101080025000#"),
                 Refused("*6980101230024300#"),
                 Refused("*6980100080009000#"),
                 Refused("*6980801080009000#"),
                 Refused("*6980181080009000#"),
                 Refused("*6980015080009000#"),
                 Refused("*6980011#"),
                 Refused("*6980170#"),
                 Refused("*6980110#"),
                 Stored("*698010100#", "698=01,0,1-00P", period(1, 0, 1, {0, 0, 0, 0})),
                 Stored("*698990400#", "698=99,0,4-00P", period(8, 0, 4, {0, 0, 0, 0})),
                 Stored("*698022000#", "698=02,2,0-00P", period(2, 2, 3, {0, 0, 0, 0})),
             }});
}

// --- One-nibble options ------------------------------------------------------------------------

TEST_F(HandlerCheck, NibbleOptionsOf047AndTheSettingBytes) {
    Run(Case{"*047, *9214, *9215, *350, *9440",
             {},
             {
                 Stored("*0478#", "047=8P", {{B(55, 15), 0x0F, 8}}),
                 Shown("*047#", "047=8c"),
                 Refused("*0479#"),
                 Stored("*92140#", "9214=0P", {{S(SettingByte::k9214), 0x0F, 0}}),
                 Stored("*92153#", "9215=3P", {{S(SettingByte::k9214), 0xF0, 0x30}}),
                 Stored("*92145#", "9214=5P", {{S(SettingByte::k9214), 0x0F, 5}}),
                 Shown("*9215#", "9215=3c"),
                 Shown("*9214#", "9214=5c"),
                 Stored("*3506#", "350=6P", {{S(SettingByte::k350), 0x0F, 6}}),
                 Shown("*350#", "350=6c"),
                 Refused("*94400#"),
                 Stored("*94401#", "9440=1P", {{S(SettingByte::k9440), 0xF0, 0x10}}),
                 Shown("*9440#", "9440=1c"),
                 Refused("*94409#"),
             }});
}

// --- Four-digit codes ----------------------------------------------------------------------------

TEST_F(HandlerCheck, CodesOf9306) {
    Run(Case{
        "*9306",
        {},
        {
            Stored("*930611234#", "9306=1-1234P",
                   {{B(40, 38), 0xFF, 0x12}, {B(40, 39), 0xFF, 0x34}}),
            Shown("*93061#", "9306=1-1234c"),
            Stored("*9306807#", "9306=8-07P", {{B(40, 52), 0xFF, 0xA7}, {B(40, 53), 0xFF, 0}}),
            Refused("*9306112345#"),
            Stored("*9306100000#", "9306=1-00000P", {{B(40, 38), 0xFF, 0}, {B(40, 39), 0xFF, 0}}),
            Refused("*930601#"),
            Refused("*930691#"),
        }});
}

// --- Read-only displays --------------------------------------------------------------------------

TEST_F(HandlerCheck, InformationDisplayOf004And003) {
    DataImage& image = state->image;
    image.information_words = {0x1234, 0x0001, 0x0002, 0xBEEF, 0x8000, 0x9001};
    image.information_texts[1] = {'A', 'B', 'C', 0, 'X', 'Y'};
    image.text_003 = {'1', '2', '3', '4', '5', '6'};
    // Unit code 11 is card slot 7; its kind 20 makes slot record 8 describe it.
    image.slot_config.unit_kind[7] = 20;
    const std::array<std::uint8_t, 2> short_field{0x34, 0x12};
    SetSlotShortField(image, 8, short_field);
    const std::array<std::uint8_t, 4> long_field{'V', '1', '.', '2'};
    SetSlotLongField(image, 8, long_field);
    Run(Case{"*004 and *003",
             {},
             {
                 Shown("*00400#", "004=00-1234c"),
                 Shown("*00409#", "004=09-BEEFc"),
                 // The sum of the words of 98 and 99 keeps its low sixteen bits.
                 Shown("*00490#", "004=90-1001c"),
                 Shown("*00411#", "004=11-1234c"),
                 Refused("*00412#"),
                 Refused("*00415#"),
                 Refused("*00450#"),
                 Shown("*00300#", "003=00-123456c"),
                 Shown("*00390#", "003=90-ABC   c"),
                 Shown("*00311#", "003=11-V1.2--c"),
                 Refused("*00315#"),
                 Refused("*00313#"),
             }});
    image.Setting(SettingByte::kCardInformation) = 1;
    Run(Case{"code 15 once a card has reported, before its record holds a field",
             {},
             {Refused("*00415#"), Shown("*00315#", "003=15-------c")}});
    const std::array<std::uint8_t, 1> one_byte{0xC5};
    SetSlotShortField(image, 28, one_byte);
    Run(Case{"code 15 with its record's fields",
             {},
             {
                 Shown("*00415#", "004=15-00C5c"),
                 Shown("*00315#", "003=15-------c"),
             }});
}

TEST_F(HandlerCheck, LineStateOf020NamesATerminal) {
    // An entry never set names terminal 0, which does not exist.
    Run(Case{"*020 without a terminal",
             {},
             {Refused("*02001#"), Refused("*02000#"), Refused("*02005#")}});
    state->image.lines_020[2][0] = 7;
    state->terminals[6].attributes[5] = 0x93;
    state->image.lines_020[3][0] = 200;
    Run(Case{"*020", {}, {Shown("*02003#", "020=03-3c"), Refused("*02004#")}});
}

TEST_F(HandlerCheck, SecondDisplayOf021And9410) {
    Run(Case{"before the main unit reported",
             {},
             {Shown("*021#", "021=1c"), Shown("*9410#", "9410= c")}});
    state->image.Setting(SettingByte::k021Flag) = 1;
    state->image.Setting(SettingByte::k9410) = '4';
    Run(Case{"status bit clear", {}, {Shown("*021#", "021=0c"), Shown("*9410#", "9410=4c")}});
    state->image.Setting(SettingByte::k021Status) = 0x10;
    Run(Case{"status bit set", {}, {Shown("*021#", "021=1c")}});
}

// --- Slots that no command reaches ---------------------------------------------------------------

class UnreachedNumberSlotTest : public HandlerTest {
  protected:
    const CommandTable table = TableOfGroupZero({
        Descriptor({0, 0x01, 0x10, 0, 0, 0, 0, 0, 0, 101, 0, 0, 0}),     // *000 slot 101
        Descriptor({0, 0x11, 0x11, 0x14, 0, 0, 0, 0, 1, 105, 0, 0, 0}),  // *001 slot 105
    });
    void SetUp() override { UseTable(table); }
};

TEST_F(UnreachedNumberSlotTest, SixteenDigitsOf101) {
    EXPECT_EQ(Store("000=1234567890123456"), kHandlerAccepted);
    EXPECT_EQ(At(62, 0), 0x12);
    EXPECT_EQ(At(62, 7), 0x56);
    EXPECT_EQ(Show("000=").text, "123456789012345");
    EXPECT_EQ(Store("000=00000"), kHandlerAccepted);
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(At(62, i), 0) << i;
    EXPECT_EQ(Store("000=000000"), kHandlerAccepted);
    EXPECT_EQ(At(62, 0), 0xAA);
}

TEST_F(UnreachedNumberSlotTest, FourDigitEntriesOf105) {
    EXPECT_EQ(Store("001=1-1234"), kHandlerAccepted);
    EXPECT_EQ(Store("001=5-9"), kHandlerAccepted);
    EXPECT_EQ(Image().codes_105[0][0], 0x12);
    EXPECT_EQ(Image().codes_105[4][0], 0x90);
    EXPECT_EQ(Show("001=1-").text, "1234");
    EXPECT_EQ(Store("001=1-B"), kHandlerAccepted);
    EXPECT_EQ(Image().codes_105[0][0], 0);
    EXPECT_EQ(Store("001=0-5"), kHandlerRejected);
    EXPECT_EQ(Store("001=0-0"), kHandlerAccepted);
    EXPECT_EQ(Image().codes_105[4][0], 0);
    EXPECT_EQ(Store("001=6-1"), kHandlerRejected);
    EXPECT_EQ(Show("001=0-").result, kHandlerRejected);
}

}  // namespace
}  // namespace qzs::testing
