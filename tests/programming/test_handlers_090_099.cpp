// The group commands over a range of groups (*110, *117, *112, *641, *651, *333, *323, *016),
// the numbering plan (*082), the unit slot query (*011) and the terminal flags (*017, *018),
// typed on a started image.
#include "tests/programming/test_handlers_fixture.h"

namespace qzs::testing {
namespace {

class GroupCheck : public HandlerCheck {};

// Byte b of group g's record in block 2 (20 bytes per group).
Place Group(int g, std::size_t b) {
    return B(2, 20 * (g - 1) + b);
}

std::vector<Change> EachGroup(int first, int last, std::initializer_list<std::size_t> bytes,
                              std::uint8_t mask, std::uint8_t value) {
    std::vector<Change> changes;
    for (int g = first; g <= last; ++g) {
        for (std::size_t b : bytes) changes.push_back({Group(g, b), mask, value});
    }
    return changes;
}

Place Line016(std::size_t g) {
    return T(
        "*016 lines", [](DataImage& i, std::size_t o) { return TableByte(i.lines_016, o); }, g - 1);
}

TEST_F(GroupCheck, GroupBitsOfStarOneOneZeroAndStarOneOneSeven) {
    Run(Case{"index n is bit n + 1; *110 writes both arrays, *117 the second",
             {},
             {
                 Stored("*11001#31#", "110=01,,3-1P", EachGroup(1, 1, {4, 12}, 0x10, 0x10)),
                 Shown("*11001#3#", "110=01,,3-1c"),
                 Stored("*1100308011#", "110=03,08,0-1P", EachGroup(3, 8, {4, 12}, 0xFC, 0xFC)),
                 Stored("*11705#60#", "117=05,,6-0P", EachGroup(5, 5, {12}, 0x80, 0x00)),
                 Shown("*11705#6#", "117=05,,6-0c"), Shown("*11005#6#", "110=05,,6-1c"),
                 Refused("*11001#71#"),
                 Refused("*11001#0#"),  // index 0 has no show
                 Refused("*110090111#"),
                 Refused("*110050211#"),  // last group below the first
                 Refused("*110010#31#"),  // a one-digit last group
                 Refused("*11001081#"),   // a range has no show
             }});
}

TEST_F(GroupCheck, GroupValues) {
    Run(Case{"*112: bits 0-2 hold the value - 1",
             {},
             {
                 Stored("*11201033#", "112=01,03-3P", EachGroup(1, 3, {2}, 0x07, 2)),
                 Shown("*11202##", "112=02,-3c"),
                 Stored("*11208#4#", "112=08,-4P", EachGroup(8, 8, {2}, 0x07, 3)),
                 Refused("*11201#5#"),
                 Refused("*11201#0#"),
                 Refused("*11203011#"),
             }});
    Run(Case{"*641 and *651: two digits into a nibble",
             {},
             {
                 Stored("*641010407#", "641=01,04-07P", EachGroup(1, 4, {2}, 0xF0, 0x70)),
                 Shown("*64104##", "641=04,-07c"),
                 Refused("*64101#08#"),
                 Refused("*64101#00#"),
                 Stored("*651080803#", "651=08,08-03P", {{B(53, 16 * 7 + 13), 0x0F, 3}}),
                 Shown("*65108##", "651=08,-03c"),
                 Refused("*65101#04#"),
             }});
}

TEST_F(GroupCheck, GroupPorts) {
    Run(Case{"*333: one position stands for both",
             {},
             {
                 Stored("*33301#101#", "333=01,-101,P", EachGroup(1, 1, {9, 17}, 0xFF, 1)),
                 Shown("*33301##", "333=01,-101,101c"),
                 Stored("*3330208148101#", "333=02,08-148,101P",
                        [] {
                            auto c = EachGroup(2, 8, {9}, 0xFF, 100);
                            for (const Change& x : EachGroup(2, 8, {17}, 0xFF, 1)) c.push_back(x);
                            return c;
                        }()),
                 Shown("*33308##", "333=08,-148,101c"),
                 Refused("*33301#113#"),
                 Refused("*33301#101113#"),
             }});
    Run(Case{"*323: a group with a *641 value needs the *642 bit of both ports",
             {"*64101#04#", "*642101#041#"},
             {
                 Stored("*32301#101#", "323=01,-101,P", EachGroup(1, 1, {8, 16}, 0xFF, 1)),
                 Refused("*32301#102#"),
                 Refused("*32301#101102#"),
                 Stored("*32301#101000#", "323=01,-101,000P", {{Group(1, 16), 0xFF, 0}}),
                 Shown("*32301##", "323=01,-101,000c"),
                 // Group 2 has no *641 value; a range holding group 1 is refused whole.
                 Stored("*32302#102#", "323=02,-102,P", EachGroup(2, 2, {8, 16}, 0xFF, 2)),
                 Refused("*3230102102#"),
             }});
}

TEST_F(GroupCheck, LineFlagsOfStarZeroOneSix) {
    Run(Case{"lines 1-12",
             {},
             {
                 Stored("*01601121#", "016=01,12-1P",
                        [] {
                            std::vector<Change> c;
                            for (std::size_t g = 1; g <= 12; ++g)
                                c.push_back({Line016(g), 0x80, 0x80});
                            return c;
                        }()),
                 Stored("*01612#0#", "016=12,-0P", {{Line016(12), 0x80, 0x00}}),
                 Shown("*01612##", "016=12,-0c"),
                 Shown("*01611##", "016=11,-1c"),
                 Refused("*01613#1#"),
                 Refused("*01601#2#"),
             }});
}

class NumberingPlanCheck : public HandlerCheck {};

Place Number082(std::uint8_t code, std::size_t b) {
    return T(
        "*082 numbers",
        [](DataImage& i, std::size_t o) { return TableByte(i.port_code_tables.records, o); },
        12u * (code - 1u) + b);
}

TEST_F(NumberingPlanCheck, CodesAndPorts) {
    // *080: numbers beginning with 1 or 4 have two digits, with 3 four, with 5 one. No factory
    // number begins with 4.
    const std::vector<std::string> counts{"*08012#", "*08042#", "*08034#", "*08051#"};
    Run(Case{
        "two-digit codes of block 16 and the code 21 byte",
        counts,
        {
            Stored("*08271645#", "082=716-45P", {{B(16, 16), 0xFF, 0x45}}),
            Shown("*082716#", "082=716-45c"),
            // The number moves: it leaves the code that held it.
            Stored("*08271745#", "082=717-45P", {{B(16, 16), 0xFF, 0}, {B(16, 17), 0xFF, 0x45}}),
            Shown("*082716#", "082=716-c"),
            Refused("*0827164#"),   // one digit where two are counted
            Refused("*08270545#"),  // 705 is no code key
            Stored("*0828215#", "082=821-5P", {{S(SettingByte::k082Code21), 0xFF, 0x50}}),
            Shown("*082821#", "082=821-5c"),
            Refused("*0828055#"),  // 8YY with one or two digits: only 821
        }});
    Run(Case{"four-digit codes and ports",
             counts,
             {
                 Stored("*0826013456#", "082=601-3456P",
                        {{B(16, 104), 0xFF, 0x34}, {B(16, 105), 0xFF, 0x56}}),
                 Shown("*082601#", "082=601-3456c"),
                 Refused("*0826053456#"),
                 Refused("*082601345#"),
                 // A special position keeps its number in the number records.
                 Stored("*0828053456#", "082=805-3456P",
                        {{B(16, 104), 0xFF, 0},
                         {B(16, 105), 0xFF, 0},
                         {Number082(134, 0), 0xFF, 0x34},
                         {Number082(134, 1), 0xFF, 0x56}}),
                 Shown("*082805#", "082=805-3456c"),
                 Refused("*082113#12#"),
                 Refused("*0820005#"),
             }});
}

TEST_F(NumberingPlanCheck, PortNumbersAndTheRemovalOfANumber) {
    // A port's number lives in block 17 and in its number record; its chains are relinked, which
    // moves bytes of the chain areas too, so this case checks the named places only.
    ASSERT_EQ(RunCommandForResult(*state, 1, "*08022#").result, CommandResult::kStored);
    ASSERT_EQ(RunCommandForResult(*state, 1, "*08210123#").result, CommandResult::kStored);
    EXPECT_EQ(*state->image.BlockByte(17, 0), 0x23);
    EXPECT_EQ(state->image.port_code_tables.records[0][0], 0x23);
    EXPECT_EQ(RunCommandForResult(*state, 1, "*082101#").line.substr(0, 11), "082=101-23c");
    ASSERT_EQ(RunCommandForResult(*state, 1, "*08210223#").result, CommandResult::kStored);
    EXPECT_EQ(*state->image.BlockByte(17, 0), 0);
    EXPECT_EQ(*state->image.BlockByte(17, 8), 0x23);
    // 999 takes the number out everywhere and stores nothing.
    ASSERT_EQ(RunCommandForResult(*state, 1, "*08299923#").result, CommandResult::kStored);
    EXPECT_EQ(*state->image.BlockByte(17, 8), 0);
    EXPECT_EQ(RunCommandForResult(*state, 1, "*0829992#").result, CommandResult::kRejected);
}

class TerminalFlagCheck : public HandlerCheck {};

TEST_F(TerminalFlagCheck, UnitSlotsAndTerminalFlags) {
    Run(Case{"*011",
             {},
             {
                 Shown("*01115#", "011=15-255c"), Refused("*01110#"), Refused("*01140#"),
                 Refused("*01116#"),  // a unit code without a slot
             }});
    state->image.Setting(SettingByte::kCardInformation) = 1;
    state->image.slot_config.alt_kind[7] = 31;
    state->image.slot_config.port_kind[7] = {1, 2, 3, 200};
    state->image.slot_config.alt_kind[6] = 9;
    Run(Case{"*011 after the card information",
             {},
             {
                 Shown("*01115#", "011=15-035c"),
                 Shown("*01111#", "011=11-001,002,003,200c"),
                 Shown("*01112#", "011=12-009c"),
             }});
    Run(Case{"*017 and *018 on the own byte",
             {},
             {
                 Stored("*017001#", "017=00-1P", {{S(SettingByte::k017), 0x80, 0x80}}),
                 Shown("*01700#", "017=00-1c"),
                 Shown("*01800#", "018=00-00c"),
                 Refused("*017011#"),  // entry 1 names no terminal
                 Refused("*01801#"),
                 Refused("*017031#"),
                 Refused("*017002#"),
             }});
    state->image.Setting(SettingByte::k017) = 0x03;
    state->image.terminals_017 = {5, 200};
    Run(Case{"*017 and *018 on a terminal's attribute byte",
             {},
             {
                 Shown("*01800#", "018=00-11c"), Stored("*017011#", "017=01-1P", {}),
                 Shown("*01701#", "017=01-1c"), Shown("*01801#", "018=01-00c"),
                 Refused("*017021#"),  // terminal 200 does not exist
             }});
    EXPECT_EQ(state->terminals[4].attributes[2] & 0x80, 0x80);
}

}  // namespace
}  // namespace qzs::testing
