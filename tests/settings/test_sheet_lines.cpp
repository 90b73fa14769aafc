// Command-group listings: the catalogue's counts per command and group, the columns of a listed
// line, the value column's edge cases, the replay of printed forms, and the digit routines.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "programming/data_image.h"
#include "programming/state.h"
#include "settings/command_bridge.h"
#include "settings/data_image_startup.h"
#include "settings/sheet_lines.h"

namespace qzs {
namespace {

std::unique_ptr<ProgrammingState> FreshState() {
    auto state = std::make_unique<ProgrammingState>();
    InitDataImage(*state);
    return state;
}

std::string Column(const SheetLine& line, std::size_t column, std::size_t width) {
    return std::string(line.data() + column, width);
}

std::string Trimmed(std::string s) {
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

std::string CommandOf(const SheetCatalogueEntry& e) {
    std::string_view key(e.key);
    return std::string(key.substr(1, key[1] == '9' ? 4 : 3));
}

// Entries per group, and the commands with more than one entry, as the sheets list them.
TEST(SheetCatalogue, GroupTotalsAndCommandCounts) {
    const std::map<int, std::size_t> totals{{0, 668}, {1, 954},  {2, 0},   {3, 2985}, {4, 0},
                                            {5, 119}, {6, 1206}, {7, 223}, {8, 97},   {9, 1414}};
    std::size_t all = 0;
    for (const auto& [group, total] : totals) {
        EXPECT_EQ(CommandSheetCatalogue(group).size(), total) << "group " << group;
        all += CommandSheetCatalogue(group).size();
    }
    EXPECT_EQ(all, 7666u);

    std::map<std::string, int> counts;
    for (int g = 0; g < 10; ++g) {
        for (const auto& e : CommandSheetCatalogue(g)) ++counts[CommandOf(e)];
    }
    const std::map<std::string, int> some{{"000", 1},    {"001", 2},   {"030", 310}, {"084", 70},
                                          {"180", 192},  {"312", 576}, {"366", 576}, {"615", 140},
                                          {"698", 224},  {"699", 196}, {"9200", 50}, {"9317", 192},
                                          {"9319", 144}, {"9526", 36}, {"9534", 4}};
    for (const auto& [command, count] : some) EXPECT_EQ(counts[command], count) << command;
}

// Every entry is well formed: ascending commands and keys, the printed form is the key sequence
// with blanks for the value, and both fit their entries.
TEST(SheetCatalogue, EntriesAreWellFormed) {
    for (int g = 0; g < 10; ++g) {
        std::string last_key;
        for (const auto& e : CommandSheetCatalogue(g)) {
            const std::string key(e.key);
            const std::string printed(e.printed);
            ASSERT_LE(key.size(), 15u) << key;
            ASSERT_LE(printed.size(), 31u) << printed;
            EXPECT_EQ(key[0], '*');
            // Group 3 lists the 4xx commands as well.
            EXPECT_TRUE(key[1] - '0' == g || (g == 3 && key[1] == '4')) << key;
            EXPECT_EQ(printed.back(), '#') << printed;
            const std::string stem = key.back() == '#' ? key.substr(0, key.size() - 1) : key;
            EXPECT_TRUE(printed.starts_with(stem)) << key << " / " << printed;
            if (!last_key.empty() && CommandOf(e).size() == last_key.size()) {
                EXPECT_LT(last_key, key) << "order";
            }
            last_key = key;
        }
    }
}

TEST(ListCommandGroup, EmptyGroupsAndRefusedCharacter) {
    auto state = FreshState();
    state->sheet_lines[0].fill('x');
    EXPECT_EQ(ListCommandGroup(*state, 'A'), 3);
    EXPECT_EQ(state->sheet_lines[0][0], 'x');  // left as it was
    for (const char g : {'2', '4'}) {
        state->sheet_lines[5].fill('x');
        EXPECT_EQ(ListCommandGroup(*state, g), 0);
        EXPECT_EQ(state->sheet_lines[0][0], ' ');
        EXPECT_EQ(state->sheet_lines[5][0], ' ');
        EXPECT_TRUE(CopySheetLines(*state).empty());
    }
}

// The four columns of a listed line, and the end of the listing.
TEST(ListCommandGroup, ColumnsOfTheFirstLines) {
    auto state = FreshState();
    ASSERT_EQ(ListCommandGroup(*state, '0'), 0);
    const auto lines = CopySheetLines(*state);
    ASSERT_EQ(lines.size(), 668u);
    EXPECT_EQ(Trimmed(Column(lines[0], 0, 16)), "*000#");
    EXPECT_EQ(Trimmed(Column(lines[0], 16, 48)), "000=0000c");
    EXPECT_EQ(Trimmed(Column(lines[0], 64, 32)), "0000");
    EXPECT_EQ(Trimmed(Column(lines[0], 96, 32)), "*000    #");
    EXPECT_EQ(Trimmed(Column(lines[0], 128, 64)), "");
    EXPECT_EQ(Trimmed(Column(lines[1], 16, 48)), "001=1-101c");
    EXPECT_EQ(Trimmed(Column(lines[1], 64, 32)), "101");
    EXPECT_EQ(state->sheet_lines[668][0], ' ');
}

// The value is the text between the last '-' or '=' before the first 'c' and that 'c'; a
// display without a 'c' (a show-only command) leaves it blank.
TEST(ListCommandGroup, ValueColumnEdgeCases) {
    auto state = FreshState();
    ASSERT_EQ(ListCommandGroup(*state, '1'), 0);
    const auto lines = CopySheetLines(*state);
    for (const SheetLine& line : lines) {
        const std::string display = Column(line, 16, 48);
        const std::string value = Trimmed(Column(line, 64, 32));
        const std::size_t c = display.find('c');
        if (c == std::string::npos) {
            EXPECT_EQ(value, "") << display;
            continue;
        }
        const std::size_t mark = display.substr(0, c).find_last_of("-=");
        ASSERT_NE(mark, std::string::npos) << display;
        EXPECT_EQ(value, Trimmed(display.substr(mark + 1, c - mark - 1))) << display;
    }
    // "101=06,-0,0c": a range's empty end and two values.
    const auto it = std::find_if(lines.begin(), lines.end(), [](const SheetLine& l) {
        return Trimmed(Column(l, 0, 16)) == "*10106##";
    });
    ASSERT_NE(it, lines.end());
    EXPECT_EQ(Trimmed(Column(*it, 64, 32)), "0,0");
    EXPECT_EQ(Trimmed(Column(*it, 96, 32)), "*10106#  #");
}

// On a fresh image no listed command answers "--c", and only the typed-entry tables *601 and
// *616 answer "--P": their shows refuse an entry without a type, and a fresh image has no
// typed entries. Listing changes nothing in the image.
TEST(ListCommandGroup, FreshImageAnswersAndNoChange) {
    auto state = FreshState();
    auto before = std::make_unique<DataImage>(state->image);
    std::map<std::string, int> refused;
    for (char g = '0'; g <= '9'; ++g) {
        ASSERT_EQ(ListCommandGroup(*state, g), 0);
        for (const SheetLine& line : CopySheetLines(*state)) {
            const std::string display = Column(line, 16, 48);
            EXPECT_EQ(display.find("--c"), std::string::npos) << Trimmed(Column(line, 0, 16));
            if (display.find("--P") != std::string::npos) {
                ++refused[Trimmed(Column(line, 0, 16)).substr(1, 3)];
            }
        }
    }
    EXPECT_EQ(refused, (std::map<std::string, int>{{"601", 7}, {"616", 140}}));
    EXPECT_EQ(std::memcmp(before.get(), &state->image, sizeof(DataImage)), 0);
}

// The replay types the printed form with its blanks filled from the value columns: a blank or
// ',' value character is not typed; a rejected line is reported by its index while the lines
// after it are replayed all the same.
TEST(ReplayCommandGroup, TypesValuesAndReportsTheFirstRejectedLine) {
    auto state = FreshState();
    EXPECT_EQ(ReplayCommandGroup(*state, 'x'), 2);
    ASSERT_EQ(ListCommandGroup(*state, '0'), 0);
    // *000: four digits of value.
    std::copy_n("1234", 4, state->sheet_lines[0].begin() + 64);
    // *001 entry 1: an out-of-range position is refused.
    std::copy_n("999", 3, state->sheet_lines[1].begin() + 64);
    std::copy_n("102", 3, state->sheet_lines[2].begin() + 64);
    const int result = ReplayCommandGroup(*state, '0');
    EXPECT_EQ(Trimmed(Column(state->sheet_lines[0], 128, 48)), "000=1234P");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(state->replay_rejected_line, 1);
    EXPECT_NE(Column(state->sheet_lines[2], 128, 48).find("102P"), std::string::npos)
        << Column(state->sheet_lines[2], 128, 48);
    const auto shown = RunCommandForResult(*state, 1, "*000#");
    EXPECT_EQ(Trimmed(shown.line), "000=1234c");
}

TEST(SheetDigits, TablesAndRoutines) {
    struct Case {
        unsigned code;
        char sheet, speed_dial, hex;
    };
    for (const Case& c : {Case{0, ' ', ' ', '0'}, Case{1, '1', '1', '1'}, Case{10, '0', '0', 'A'},
                          Case{11, '*', '*', 'B'}, Case{12, '#', '#', 'C'}, Case{13, 'P', 'P', 'D'},
                          Case{14, 'H', '-', 'E'}, Case{15, 'M', 'M', 'F'}}) {
        EXPECT_EQ(CodeToSheetChar(c.code), c.sheet);
        EXPECT_EQ(HighCodeToSheetChar(c.code << 4), c.sheet);
        EXPECT_EQ(CodeToSpeedDialChar(c.code), c.speed_dial);
        EXPECT_EQ(CodeToHexLetter(c.code), c.hex);
        EXPECT_EQ(HexLetterToCode(c.hex), c.code);
    }
    EXPECT_EQ(SpeedDialCharToCode('-'), 14u);
    EXPECT_EQ(SpeedDialCharToCode('H'), 0u);
    EXPECT_EQ(SpeedDialCharToHighCode('*'), 0xB0u);
    EXPECT_EQ(HexLettersToDecimal('1', 'A', '9'), 109u);
    EXPECT_EQ(ParseDecimal("12a"), 12u);
    EXPECT_EQ(ParseDecimal("12345"), 1234u);
    EXPECT_EQ(ParseDecimal("x"), 0u);
    EXPECT_EQ(LineCodeToNumber(21), 9u);
    EXPECT_EQ(LineCodeToNumber(40), 40u);
    EXPECT_EQ(LineCodeToNumber(30), 0u);
    EXPECT_EQ(LineNumberToCode(12), 24u);
    EXPECT_EQ(LineNumberToCode(13), 0u);
}

}  // namespace
}  // namespace qzs
