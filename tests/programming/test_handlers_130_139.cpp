// Slots 131-139: the number records of block 57 and the values of block 32, per-unit nibbles and
// per-line flags over a range, the port code of a unit and the four-digit family of slot 138,
// typed on a started image; the slots and sub-types no command reaches through a table of their
// own.
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

Place Group(std::size_t g, std::size_t byte) {
    return T(
        "group table", [](DataImage& i, std::size_t o) { return TableByte(i.group_table, o); },
        16 * g + byte);
}
Place PortFlags(std::uint8_t code) {
    return T(
        "port flag table",
        [](DataImage& i, std::size_t o) { return TableByte(i.port_flag_table, o); },
        16u * (code - 65u) + 13u);
}

// The port codes of the second-bank positions 137-148.
const std::vector<std::uint8_t> kSecondBank{65, 66, 67, 68, 73, 74, 75, 76, 97, 98, 99, 100};

// --- Slot 132 --------------------------------------------------------------------------------
// A started image holds 360, 360, 480 in items 1-3 of records 1 and 2.

TEST_F(HandlerCheck, ItemsOfTheNumberRecords) {
    Run(Case{"*9317",
             {},
             {
                 Shown("*9317013#", "9317=01,3-480c"),
                 Stored("*9317011500#", "9317=01,1-500P",
                        {{B(57, 8), 0xFF, 0xF4}, {B(57, 9), 0xFF, 0x01}}),
                 Shown("*9317011#", "9317=01,1-500c"),
                 Stored("*9317642998#", "9317=64,2-998P",
                        {{B(57, 20 * 63 + 10), 0xFF, 0xE6}, {B(57, 20 * 63 + 11), 0xFF, 0x03}}),
                 Stored("*9317643000#", "9317=64,3-000P", {}),
                 Refused("*9317011001#"),
                 Refused("*9317011999#"),
                 Refused("*9317001500#"),
                 Refused("*9317651500#"),
                 Refused("*9317014500#"),
                 Refused("*9317010500#"),
                 Refused("*9317001#"),
                 Stored("*9317001000#", "9317=00,1-000P",
                        {{B(57, 8), 0xFF, 0},
                         {B(57, 9), 0xFF, 0},
                         {B(57, 28), 0xFF, 0},
                         {B(57, 29), 0xFF, 0}}),
                 Shown("*9317021#", "9317=02,1-000c"),
                 Shown("*9317022#", "9317=02,2-360c"),
             }});
    Run(Case{"*9315",
             {},
             {
                 Stored("*93151132998#", "9315=1,13,2-998P",
                        {{B(32, 158), 0xFF, 0xE6}, {B(32, 159), 0xFF, 0x03}}),
                 Shown("*93151132#", "9315=1,13,2-998c"),
                 Stored("*93151011002#", "9315=1,01,1-002P", {{B(32, 12), 0xFF, 2}}),
                 Refused("*93151011001#"),
                 Refused("*93151011999#"),
                 Refused("*93151011000#"),
                 Refused("*93152011500#"),
                 Refused("*93151001500#"),
                 Refused("*93151141500#"),
                 Refused("*93151014500#"),
                 Refused("*93150011#"),
             }});
}

// --- Slot 133 --------------------------------------------------------------------------------
// A started image holds the digits 177, 117, 0120 and 0800 in records 1-4.

TEST_F(HandlerCheck, NumberRecords) {
    Run(Case{"*9316",
             {},
             {
                 Shown("*931601#", "9316=01-000,177c"),
                 Stored("*931601255123456789012#", "9316=01-255,123456789012P",
                        {{B(57, 0), 0xFF, 255},
                         {B(57, 1), 0xFF, 0x12},
                         {B(57, 2), 0xFF, 0x34},
                         {B(57, 3), 0xFF, 0x56},
                         {B(57, 4), 0xFF, 0x78},
                         {B(57, 5), 0xFF, 0x9A},
                         {B(57, 6), 0xFF, 0x12}}),
                 Shown("*931601#", "9316=01-255,123456789012c"),
                 Refused("*931601255#"),  // a value without digits
                 Refused("*931601256123#"),
                 Refused("*931600255123#"),
                 Refused("*931665000#"),
                 Refused("*931600#"),
                 Stored("*931601000#", "9316=01-000,P",
                        {{B(57, 0), 0xFF, 0},
                         {B(57, 1), 0xFF, 0},
                         {B(57, 2), 0xFF, 0},
                         {B(57, 3), 0xFF, 0},
                         {B(57, 4), 0xFF, 0},
                         {B(57, 5), 0xFF, 0},
                         {B(57, 6), 0xFF, 0}}),
                 Stored("*931600000#", "9316=00-000,P",
                        {{B(57, 21), 0xFF, 0},
                         {B(57, 22), 0xFF, 0},
                         {B(57, 41), 0xFF, 0},
                         {B(57, 42), 0xFF, 0},
                         {B(57, 61), 0xFF, 0},
                         {B(57, 62), 0xFF, 0}}),
                 Shown("*931604#", "9316=04-000,c"),
             }});
}

// --- Slot 135 --------------------------------------------------------------------------------

TEST_F(HandlerCheck, UnitNibblesOverAUnitRange) {
    int reloads = 0;
    state->display_characters.hook = [&](std::uint8_t code, std::uint8_t) {
        if (code == kFirstDisplayCode) ++reloads;
    };
    auto each_unit = [](int first, int last, std::size_t byte, std::uint8_t mask,
                        std::uint8_t value) {
        std::vector<Change> changes;
        for (int u = first; u <= last; ++u)
            changes.push_back({B(53, 16 * (u - 1) + byte), mask, value});
        return changes;
    };
    Run(Case{"*042, *043, *678",
             {},
             {
                 Stored("*04201#8#", "042=01,-8P", each_unit(1, 1, 10, 0x0F, 8)),
                 Shown("*04201##", "042=01,-8c"),
                 Stored("*04202045#", "042=02,04-5P", each_unit(2, 4, 10, 0x0F, 5)),
                 Stored("*04301086#", "043=01,08-6P", each_unit(1, 8, 10, 0xF0, 0x60)),
                 Shown("*04303##", "043=03,-6c"), Shown("*04203##", "042=03,-5c"),
                 Stored("*67807083#", "678=07,08-3P", each_unit(7, 8, 9, 0xF0, 0x30)),
                 Shown("*67808##", "678=08,-3c"), Refused("*04201#9#"), Refused("*04208015#"),
                 Refused("*04209#1#"), Refused("*04200#1#"),
                 Refused("*0420108#"),  // a range has no show
             }});
    // One reload for each unit of *042 and *043, none for *678.
    EXPECT_EQ(reloads, 1 + 3 + 8);
}

// --- Slot 136 --------------------------------------------------------------------------------

TEST_F(HandlerCheck, ThePortCodeOfAUnitStandsOnce) {
    Run(Case{"*090",
             {},
             {
                 Stored("*09001105#", "090=01-105P", {{B(53, 1), 0xFF, 9}}),
                 Shown("*09001#", "090=01-105c"),
                 Stored("*09002112#", "090=02-112P", {{B(53, 17), 0xFF, 36}}),
                 Stored("*09003105#", "090=03-105P", {{B(53, 1), 0xFF, 0}, {B(53, 33), 0xFF, 9}}),
                 Shown("*09001#", "090=01-000c"),
                 Refused("*09000105#"),
                 Refused("*09009105#"),
                 Refused("*09001107#"),
                 Refused("*09001137#"),
                 Refused("*09000#"),
                 Stored("*09000000#", "090=00-000P", {{B(53, 17), 0xFF, 0}, {B(53, 33), 0xFF, 0}}),
             }});
}

// --- Slot 137 --------------------------------------------------------------------------------

TEST_F(HandlerCheck, LineFlagsOverALineRange) {
    auto each_line = [](int first, int last, std::uint8_t mask, bool set) {
        std::vector<Change> changes;
        for (int n = first; n <= last; ++n) {
            changes.push_back({B(54, 12 * (n - 1) + 7), mask, set ? mask : std::uint8_t{0}});
        }
        return changes;
    };
    Run(Case{"*321, *359, *9291",
             {},
             {
                 Stored("*32101#1#", "321=01,-1P", each_line(1, 1, 0x80, true)),
                 Shown("*32101##", "321=01,-1c"),
                 Stored("*35901241#", "359=01,24-1P", each_line(1, 24, 0x01, true)),
                 Stored("*929110121#", "9291=10,12-1P", each_line(10, 12, 0x02, true)),
                 Shown("*929111##", "9291=11,-1c"),
                 Shown("*929113##", "9291=13,-0c"),
                 Stored("*35902240#", "359=02,24-0P", each_line(2, 24, 0x01, false)),
                 Shown("*35901##", "359=01,-1c"),
                 Shown("*35902##", "359=02,-0c"),
                 Refused("*32125#1#"),
                 Refused("*32100#1#"),
                 Refused("*32105041#"),
                 Refused("*32101#2#"),
                 Refused("*3210124#"),
             }});
}

// --- Slot 138 --------------------------------------------------------------------------------

TEST_F(HandlerCheck, ValuesAndFlagsOfSecondBankPorts) {
    std::vector<Change> all_values;
    std::vector<Change> all_flags;
    for (std::uint8_t code : kSecondBank) {
        all_values.push_back({B(130, 25 + code - 64), 0xFF, 5 + 32});
        all_flags.push_back({PortFlags(code), 0x04, 0x04});
    }
    Run(Case{"*9524: the value and two flags in one byte of block 130",
             {},
             {
                 Stored("*9524137#811#", "9524=137,-8,1,1P", {{B(130, 26), 0xFF, 8 + 16 + 32}}),
                 Shown("*9524137##", "9524=137,-8,1,1c"),
                 Stored("*9524137148501#", "9524=137,148-5,0,1P", all_values),
                 Shown("*9524148##", "9524=148,-5,0,1c"),
                 Refused("*9524101#100#"),
                 Refused("*9524101148100#"),
                 Refused("*9524148137100#"),
                 Refused("*9524000#100#"),
                 Refused("*9524137#900#"),
                 Refused("*9524137#020#"),
                 Refused("*9524101##"),
                 Refused("*9524137148#"),
             }});
    Run(Case{"*9529 and *9442: bits 0 and 2 of byte 13 of the port flag table",
             {},
             {
                 Stored("*9529137#1#", "9529=137,-1P", {{PortFlags(65), 0x01, 0x01}}),
                 Shown("*9529137##", "9529=137,-1c"),
                 Shown("*9442137##", "9442=137,-0c"),
                 Stored("*94421371481#", "9442=137,148-1P", all_flags),
                 Shown("*9442140##", "9442=140,-1c"),
                 Stored("*9529137#0#", "9529=137,-0P", {{PortFlags(65), 0x01, 0}}),
                 Refused("*9529112#1#"),
                 Refused("*94421011481#"),
                 Refused("*9442137#2#"),
                 Refused("*9529112##"),
             }});
}

TEST_F(HandlerCheck, GroupPairsMembersAndLevels) {
    Run(Case{"*9525: a pair of values stands in one group",
             {},
             {
                 Stored("*952501103#", "9525=01-10,3P",
                        {{Group(1, 12), 0xFF, 10}, {Group(1, 13), 0x0F, 3}}),
                 Shown("*952501#", "9525=01-10,3c"),
                 Stored("*952502103#", "9525=02-10,3P",
                        {{Group(1, 12), 0xFF, 31},
                         {Group(1, 13), 0x0F, 7},
                         {Group(2, 12), 0xFF, 10},
                         {Group(2, 13), 0x0F, 3}}),
                 Shown("*952501#", "9525=01-31,7c"),
                 Refused("*952504103#"),
                 Refused("*952500103#"),
                 Refused("*952501323#"),
                 Refused("*952501108#"),
                 Refused("*952504#"),
             }});
    Run(Case{"*9526: a value stands once among a group's twelve members",
             {},
             {
                 Stored("*9526010505#", "9526=01,05-05P", {{Group(1, 4), 0xFF, 5}}),
                 Stored("*9526011208#", "9526=01,12-08P", {{Group(1, 11), 0xFF, 8}}),
                 Stored("*9526010605#", "9526=01,06-05P",
                        {{Group(1, 4), 0xFF, 0}, {Group(1, 5), 0xFF, 5}}),
                 Shown("*95260106#", "9526=01,06-05c"),
                 Shown("*95260105#", "9526=01,05-00c"),
                 Stored("*9526020605#", "9526=02,06-05P", {{Group(2, 5), 0xFF, 5}}),
                 Refused("*9526010001#"),
                 Refused("*9526011305#"),
                 Refused("*9526010509#"),
                 Refused("*9526040101#"),
                 Refused("*95260100#"),
                 Stored("*9526010000#", "9526=01,00-00P",
                        {{Group(1, 5), 0xFF, 0}, {Group(1, 11), 0xFF, 0}}),
             }});
    Run(Case{
        "*9528: a level for a range of groups",
        {},
        {
            Stored("*952802#07#", "9528=02,-07P", {{Group(2, 14), 0xFF, 7}}),
            Shown("*952802##", "9528=02,-07c"),
            Stored("*9528010305#", "9528=01,03-05P",
                   {{Group(1, 14), 0xFF, 5}, {Group(2, 14), 0xFF, 5}, {Group(3, 14), 0xFF, 5}}),
            Refused("*952801#08#"), Refused("*952801#00#"), Refused("*9528010405#"),
            Refused("*95280103#"),  // a range has no show
        }});
}

TEST_F(HandlerCheck, CodeEntriesAndEntryPortsOfBlockOneThirty) {
    Run(Case{
        "*9527: a code stands in one entry",
        {},
        {
            Stored("*952703965#", "9527=03-965P",
                   {{B(130, 6), 0xFF, 0xC5}, {B(130, 7), 0xFF, 0x03}}),
            Shown("*952703#", "9527=03-965c"),
            Stored("*952712700#", "9527=12-700P",
                   {{B(130, 24), 0xFF, 0xBC}, {B(130, 25), 0xFF, 0x02}}),
            Stored("*952705965#", "9527=05-965P",
                   {{B(130, 6), 0xFF, 0},
                    {B(130, 7), 0xFF, 0},
                    {B(130, 10), 0xFF, 0xC5},
                    {B(130, 11), 0xFF, 0x03}}),
            Shown("*952703#", "9527=03-000c"),
            Refused("*952703701#"),
            Refused("*952713965#"),
            Refused("*952700965#"),
            Refused("*952700#"),
            Stored("*952705000#", "9527=05-000P", {{B(130, 10), 0xFF, 0}, {B(130, 11), 0xFF, 0}}),
        }});
    Run(Case{"*9534: a second-bank port per entry",
             {},
             {
                 Stored("*95341137#", "9534=1-137P", {{B(130, 92), 0xFF, 65}}),
                 Shown("*95341#", "9534=1-137c"),
                 Stored("*95344148#", "9534=4-148P", {{B(130, 95), 0xFF, 100}}),
                 Stored("*95341000#", "9534=1-000P", {{B(130, 92), 0xFF, 0}}),
                 Refused("*95341101#"),
                 Refused("*95341112#"),
                 Refused("*95345137#"),
                 Refused("*95340137#"),
                 Refused("*95345#"),
             }});
}

// A word from loaded data shows its low twelve bits.
TEST_F(HandlerCheck, ACodeEntryShowsItsLowTwelveBits) {
    *state->image.BlockByte(130, 2) = 0xC5;
    *state->image.BlockByte(130, 3) = 0xF3;
    Run(Case{"loaded", {}, {Shown("*952701#", "9527=01-965c")}});
}

// --- Slots 131, 134, 139 and slot 138's sub-types 7 and 8: no command reaches them -----------

class UnreachedSlotTest : public HandlerTest {
  protected:
    void Use(std::uint8_t slot, std::uint8_t sub_type = 0) {
        table_ = std::make_unique<CommandTable>(TableOfGroupZero(
            {Descriptor({0, 0x21, 0x22, 0x02, 0x11, 0, 0, 0, 0x01, slot, sub_type, 0, 0})}));
        UseTable(*table_);
    }
    std::unique_ptr<CommandTable> table_;
};

TEST_F(UnreachedSlotTest, AValueOutsideTheImageMarksTheSystemModified) {
    Use(131);
    EXPECT_EQ(Store("000=181"), kHandlerRejected);
    EXPECT_EQ(Store("000=000"), kHandlerRejected);
    EXPECT_EQ(state->modified.bytes[0], 0);
    EXPECT_EQ(Store("000=180"), kHandlerAccepted);
    EXPECT_EQ(Image().Setting(SettingByte::kUnreachedValue131), 180);
    EXPECT_EQ(state->modified.bytes[0], ModifiedFlags::kSet);
    EXPECT_EQ(Show("000=").text, "180");
}

TEST_F(UnreachedSlotTest, TwoFlagsOverAUnitRange) {
    Use(134);
    EXPECT_EQ(Store("000=02,05-1,0"), kHandlerAccepted);
    for (std::size_t u = 2; u <= 5; ++u) EXPECT_EQ(At(81, 4 * (u - 1) + 3), 0x02) << u;
    EXPECT_EQ(At(81, 3), 0);
    EXPECT_EQ(Show("000=03,-").text, "1,0");
    EXPECT_EQ(Store("000=03,-0,1"), kHandlerAccepted);
    EXPECT_EQ(At(81, 11), 0x01);
    EXPECT_EQ(Store("000=03,-2,1"), kHandlerRejected);
    EXPECT_EQ(Store("000=03,-1"), kHandlerRejected);
    EXPECT_EQ(Store("000=09,-1,1"), kHandlerRejected);
    EXPECT_EQ(Show("000=03,05-").result, kHandlerRejected);
}

TEST_F(UnreachedSlotTest, AValueOverALineRange) {
    Use(139);
    At(54, 12 * 23 + 1) = 0x1F;
    EXPECT_EQ(Store("000=20,24-5"), kHandlerAccepted);
    EXPECT_EQ(At(54, 12 * 19 + 1), 0xA0);
    EXPECT_EQ(At(54, 12 * 23 + 1), 0xBF);
    EXPECT_EQ(At(54, 12 * 18 + 1), 0);
    EXPECT_EQ(Show("000=24,-").text, "5");
    EXPECT_EQ(Store("000=20,-6"), kHandlerRejected);
    EXPECT_EQ(Store("000=25,-1"), kHandlerRejected);
}

TEST_F(UnreachedSlotTest, TheTwoFlagsOfBlockOneThirtyByteNinetyOne) {
    Use(138, 7);
    EXPECT_EQ(Store("000=1"), kHandlerAccepted);
    EXPECT_EQ(At(130, 91), 0x01);
    Use(138, 8);
    EXPECT_EQ(Store("000=1"), kHandlerAccepted);
    EXPECT_EQ(At(130, 91), 0x03);
    EXPECT_EQ(Store("000=0"), kHandlerAccepted);
    EXPECT_EQ(At(130, 91), 0x01);
    EXPECT_EQ(Show("000=").text, "0");
    EXPECT_EQ(Store("000=2"), kHandlerRejected);
    for (std::uint8_t sub_type : {0, 1, 12}) {
        Use(138, sub_type);
        EXPECT_EQ(Store("000=1"), kHandlerRejected) << int{sub_type};
        EXPECT_EQ(Show("000=").result, kHandlerRejected) << int{sub_type};
    }
}

}  // namespace
}  // namespace qzs::testing
