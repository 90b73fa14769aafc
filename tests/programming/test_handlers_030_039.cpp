// The member mask (*732), the answering entries *9269 and *9436, the dates of *9309, the
// port-code tables (*727, *328, *825), the nibble options, the *407 code and the *9504 number,
// typed on a started image.
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

class MaskAndDateCheck : public HandlerCheck {};

Place Table328(std::size_t k) {
    return T(
        "*328 table", [](DataImage& i, std::size_t o) { return TableByte(i.table_328, o); }, k - 1);
}
Place Table825(std::size_t k) {
    return T(
        "*825 table", [](DataImage& i, std::size_t o) { return TableByte(i.table_825, o); }, k - 1);
}

TEST_F(MaskAndDateCheck, StarSevenThreeTwoAndTheAnsweringEntries) {
    Run(Case{"*732: member 00 sets the whole word, members 1-4 one bit",
             {},
             {
                 Stored("*732001#", "732=00-1P", {{B(71, 2), 0xFF, 0xFF}, {B(71, 3), 0xFF, 0xFF}}),
                 Stored("*732030#", "732=03-0P", {{B(71, 2), 0x04, 0x00}}),
                 Shown("*73203#", "732=03-0c"),
                 Shown("*73204#", "732=04-1c"),
                 Stored("*732000#", "732=00-0P", {{B(71, 2), 0xFF, 0x00}, {B(71, 3), 0xFF, 0x00}}),
                 Refused("*732051#"),
                 Refused("*732002#"),
                 Refused("*73200#"),  // member 00 has no show
                 Refused("*73205#"),
             }});
    Run(Case{"*9269 and *9436 change nothing",
             {},
             {
                 Stored("*9269110#", "9269=11-0P", {}), Stored("*9269141#", "9269=14-1P", {}),
                 Refused("*9269100#"),  // below the unit codes
                 Refused("*9269150#"),  // a unit code without a slot
                 Refused("*9269402#"), Refused("*9269112#"), Refused("*926911#"),
                 Refused("*94361#"),  // no card information yet
             }});
    state->image.Setting(SettingByte::kCardInformation) = 1;
    Run(Case{"*9436 after the card information",
             {},
             {
                 Stored("*94361#", "9436=1P", {}),
                 Stored("*94360#", "9436=0P", {}),
                 Refused("*94362#"),
                 Refused("*9436#"),
             }});
}

TEST_F(MaskAndDateCheck, StarNineThreeZeroNineDates) {
    Run(Case{"factory dates and a store",
             {},
             {
                 Shown("*930901#", "9309=01-01,01,0c"),
                 Shown("*930902#", "9309=02-01,02,1c"),  // the month byte 0x81 carries the flag
                 Stored("*93090512251#", "9309=05-12,25,1P",
                        {{B(122, 125), 0xFF, 0x25}, {B(122, 126), 0xFF, 0x92}}),
                 Shown("*930905#", "9309=05-12,25,1c"),
                 Stored("*93092009300#", "9309=20-09,30,0P",
                        {{B(122, 155), 0xFF, 0x30}, {B(122, 156), 0xFF, 0x09}}),
                 Shown("*930920#", "9309=20-09,30,0c"),
             }});
    Run(Case{
        "clearing: month 00 with no day, or with day 00 and flag 0",
        {},
        {
            Stored("*93090500#", "9309=05-00,P", {{B(122, 125), 0xFF, 0}, {B(122, 126), 0xFF, 0}}),
            Stored("*93090200000#", "9309=02-00,00,0P",
                   {{B(122, 119), 0xFF, 0}, {B(122, 120), 0xFF, 0}}),
            Shown("*930902#", "9309=02-00,00,0c"),
        }});
    Run(Case{"refused",
             {},
             {
                 Refused("*93090513251#"),  // month 13
                 Refused("*93090512001#"),  // day 00
                 Refused("*93090512321#"),  // day 32
                 Refused("*93090500011#"),  // month 00 with a day
                 Refused("*93090500001#"),  // month 00, day 00, flag 1
                 Refused("*93090512252#"),
                 Refused("*930905125#1#"),  // a one-digit day
                 Refused("*93092112251#"),
                 Refused("*93090012251#"),
                 Refused("*930921#"),
                 Refused("*930900#"),
             }});
}

TEST_F(MaskAndDateCheck, PortCodeTables) {
    Run(Case{"*727: a code stands once in block 56",
             {},
             {
                 Stored("*7276105#", "727=6-105P", {{B(56, 5), 0xFF, 9}}),
                 Stored("*7273105#", "727=3-105P", {{B(56, 2), 0xFF, 9}, {B(56, 5), 0xFF, 0}}),
                 Shown("*7276#", "727=6-000c"),
                 Shown("*7273#", "727=3-105c"),
                 Stored("*7273000#", "727=3-000P", {{B(56, 2), 0xFF, 0}}),
                 Refused("*7279101#"),
                 Refused("*7270101#"),
                 Refused("*7271137#"),  // plain positions only
                 Refused("*7271113#"),
             }});
    Run(Case{
        "*328 takes both banks, *825 the positions of ParsePosition1",
        {},
        {
            Stored("*3281137#", "328=1-137P", {{Table328(1), 0xFF, 65}}),
            Stored("*3288148#", "328=8-148P", {{Table328(8), 0xFF, 100}}),
            Stored("*3282137#", "328=2-137P", {{Table328(2), 0xFF, 65}, {Table328(1), 0xFF, 0}}),
            Shown("*3282#", "328=2-137c"),
            Refused("*3289101#"),
            Refused("*3281149#"),
            Stored("*8254112#", "825=4-112P", {{Table825(4), 0xFF, 36}}),
            Shown("*8254#", "825=4-112c"),
            Refused("*8251107#"),
            Refused("*8251108#"),
            Refused("*8255101#"),
            Refused("*8251137#"),
        }});
}

TEST_F(MaskAndDateCheck, NibbleOptionsTheCodeAndTheNumber) {
    Run(Case{"one digit 1-9 into a nibble",
             {},
             {
                 Stored("*3869#", "386=9P", {{B(40, 1), 0x0F, 9}}),
                 Shown("*386#", "386=9c"),
                 Stored("*92867#", "9286=7P", {{B(55, 12), 0x0F, 7}}),
                 Shown("*9286#", "9286=7c"),
                 Stored("*6103#", "610=3P", {{B(40, 5), 0xF0, 0x30}}),
                 Shown("*610#", "610=3c"),
                 Stored("*92251#", "9225=1P", {{B(80, 46), 0x0F, 1}}),
                 Shown("*9225#", "9225=1c"),
                 Refused("*3860#"),
                 Refused("*92250#"),
             }});
    Run(Case{"two digits into a nibble of the pointer table's byte",
             {},
             {
                 Shown("*155#", "155=03c"),
                 Shown("*154#", "154=03c"),
                 Stored("*15512#", "155=12P", {{B(3, 26), 0x0F, 12}}),
                 Stored("*15400#", "154=00P", {{B(3, 26), 0xF0, 0x00}}),
                 Shown("*155#", "155=12c"),
                 Stored("*61115#", "611=15P", {{B(3, 12), 0xF0, 0xF0}}),
                 Shown("*611#", "611=15c"),
                 Refused("*61100#"),
                 Refused("*15416#"),
                 Refused("*15516#"),
             }});
    Run(Case{"*407: two characters, the first 1-2 and the second 0-4",
             {},
             {
                 Stored("*40724#", "407=24P", {{S(SettingByte::k407), 0xFF, 0x24}}),
                 Shown("*407#", "407=24c"),
                 Stored("*40710#", "407=10P", {{S(SettingByte::k407), 0xFF, 0x10}}),
                 Refused("*40730#"),
                 Refused("*40715#"),
                 Refused("*40704#"),
             }});
    state->image.number_9504 = {0x00, 0x01, 0xE2, 0x40};
    Run(Case{"*9504 shows its number", {}, {Shown("*9504#", "9504=000123456c")}});
    state->image.number_9504 = {0xFF, 0xFF, 0xFF, 0xFF};
    Run(Case{"a number wider than nine digits shows its low nine",
             {},
             {Shown("*9504#", "9504=294967295c")}});
}

}  // namespace
}  // namespace qzs::testing

namespace qzs::testing {
namespace {

class UnusedSlotTest : public HandlerTest {};

// Slot 30 has no command; a table of the test's own reaches it as *000.
TEST_F(UnusedSlotTest, SlotThirtyBitPairs) {
    const CommandTable table =
        TableOfGroupZero({Descriptor({0, 0x11, 0x11, 0x11, 0, 0, 0, 0, 1, 30, 0, 0, 0})});
    UseTable(table);
    const struct {
        const char* line;
        int byte;
        std::uint8_t mask;
        std::uint8_t bits;
    } cases[] = {
        {"000=1-2", 11, 0x03, 0x02}, {"000=2-1", 11, 0x0C, 0x04}, {"000=4-2", 11, 0xC0, 0x80},
        {"000=5-1", 12, 0x03, 0x01}, {"000=6-2", 12, 0x0C, 0x08},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        At(3, c.byte) = static_cast<std::uint8_t>(~c.mask);
        std::vector<std::size_t> changed;
        EXPECT_EQ(StoreAndDiff(c.line, changed), kHandlerAccepted);
        EXPECT_EQ(At(3, c.byte), static_cast<std::uint8_t>(~c.mask | c.bits));
        EXPECT_EQ(changed, std::vector<std::size_t>{OffsetOf(3, c.byte)});
        EXPECT_EQ(Show(std::string(c.line).substr(0, 6)).text, std::string(1, c.line[6]));
    }
    for (const char* refused : {"000=7-1", "000=0-1", "000=1-3", "000=1-"}) {
        std::vector<std::size_t> changed;
        EXPECT_EQ(StoreAndDiff(refused, changed), kHandlerRejected) << refused;
        EXPECT_TRUE(changed.empty()) << refused;
    }
}

}  // namespace
}  // namespace qzs::testing
