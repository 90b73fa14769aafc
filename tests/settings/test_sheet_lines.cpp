// Command-group listings: the catalogue's counts per command and group, the columns of a listed
// line, the value column's edge cases, the replay of printed forms, and the digit routines.
#include <gtest/gtest.h>

#include <cstdio>
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

// The commands of each group and their entries, as the data sheets list them: "n (c)" for c
// entries, "a to b (c each)" for a run of commands, one entry where no count is given.
constexpr const char* kListedCommands =
    "0: 000, 001 (2), 002, 003 (5), 009 (10), 011 (5), 012 (12), 013 (8), 016 (12), 021, "
    "026 (6), 030 (310), 031, 032, 033, 040 (6), 041 (6), 042 (6), 043 (6), 050 (5), "
    "051 (5), 052 (5), 053, 054, 055, 057, 058, 059, 062, 063, 077, 080 (10), 081 (43), "
    "082 (61), 083, 084 (70), 085 (7), 086 (2), 087, 088, 089 (20), 090 (6), 091, 092, 093, "
    "094, 095, 096, 097, 098 (8), 099 (7);"
    "1: 100 (6), 101 (8), 102 (8), 103 (20), 110 (48), 111 (24), 112 (8), 113 (96), "
    "114 (10), 115, 121, 122, 123, 124, 125, 127 (22), 128 (10), 130, 131, 132, 133, 134, "
    "135 (10), 137, 138, 139 (10), 140 (24), 141 (32), 142 (64), 143, 144, 145 (8), "
    "150 (10), 151 (10), 152 (10), 153 (10), 154, 155, 156, 157, 160 (64), 161 (32), "
    "162 (32), 163, 164, 165 (16), 166 (16), 168 (32), 180 (192), 181, 182, 183 (10), "
    "185 (80), 186, 187, 189, 191 (6);"
    "3: 300 (8), 301 (24), 302, 303 (12), 305 (120), 310 (192), 311 (192), 312 (576), "
    "313 (576), 314 (4), 315 (10), 316 (2), 317, 318, 320 (8), 321 (24), 322, 323 (8), 324, "
    "325 (12), 326 (10), 327 (8), 328 (8), 330, 331 (8), 332 (24), 333 (8), 334 (24), "
    "335 (8), 336, 340 (7), 341 to 350 (one each), 351 (12), 352, 355 (3), 356 (9), 360, "
    "361 (48), 362 (90), 364 (24), 365 (24), 366 (576), 370 (6), 372, 373, 374, 375, 377, "
    "378 (8), 379 (24), 380, 381 (7), 382 (7), 383 (7), 384 (7), 385 (7), 386, 387 (24), "
    "389 (7), 390 (7), 391 (7), 392, 393 (7), 394 (7), 395 (28), 396 (28), 400 (7), 401 (7), "
    "402 (7), 403 (7), 404 (7), 405, 406, 407, 410 (6), 411, 412, 413, 414 (10), 416, 417, "
    "418, 419 (10), 420, 421 (12), 422 (2), 423 (20), 425, 426 (3), 427, 429;"
    "5: 500 (22), 501 (22), 502, 503, 504 (7), 505, 506 (10), 507, 508, 509, 510, 520 (24), "
    "521, 522, 523 (24), 524;"
    "6: 600 (8), 601 (7), 602, 603 (7), 604 (7), 605 (7), 606 (7), 607, 608 (8), 609, 610, "
    "611, 612, 615 (140), 616 (140), 617, 618, 619 (84), 620 (24), 621, 622, 623, 624, 625, "
    "628, 631 (12), 632 (24), 633 (10), 634 (22), 635 (24), 636 (10), 640 (8), 641 (8), "
    "642 (84), 643 (24), 651 (8), 670, 671, 672 (10), 673, 675, 677, 678 (8), 680 (7), "
    "681 (7), 682 (2), 683 (2), 684 (4), 685 (2), 686 (7), 687 (28), 688, 689, 690 (4), "
    "691 (2), 692 (2), 693 (7), 698 (224), 699 (196);"
    "7: 700, 701 (10), 702 (24), 703, 704 (10), 705, 706, 707 (12), 708, 709 (10), 710 (24), "
    "711 (24), 712, 713, 714, 718 (24), 719 (24), 720, 722 (24), 724, 725, 727 (8), 730, "
    "731 (12), 732 (4), 733;"
    "8: 800 (10), 801 (2), 802 (10), 807 (10), 810, 812, 813, 816, 817, 818 (10), 819 (10), "
    "820 (9), 821 (4), 822, 825 (4), 840 (6), 841 to 851 (one each), 859, 860 (4);"
    "9: 9140 (24), 9141 (24), 9142 (8), 9143 (24), 9200 (50), 9201 (50), 9202 (5), 9203 (5), "
    "9204 (5), 9205, 9206, 9207 (10), 9208 (3), 9209 (3), 9210 (10), 9211 (10), 9212 (5), "
    "9213 (5), 9214, 9215, 9217, 9218, 9219, 9222 (5), 9223 (5), 9224, 9225, "
    "9226 to 9232 (4 each), 9233 (24), 9234 (4), 9235 (4), 9236 (4), 9237 (12), 9238 (4), "
    "9239 (4), 9242, 9243 (4), 9244 (4), 9245, 9251, 9252, 9253 (24), 9256, 9271, 9272, "
    "9273 (8), 9281, 9282, 9283, 9284 (8), 9285, 9286, 9287 (12), 9288, 9289, 9290 (8), "
    "9291 (24), 9292, 9294, 9295 (8), 9300, 9301 (24), 9302 (8), 9303 (3), 9306 (8), 9307, "
    "9308 (16), 9309 (20), 9312, 9313, 9314, 9315 (39), 9316 (64), 9317 (192), 9318 (64), "
    "9319 (144), 9320 (45), 9321 (96), 9337, 9400 (3), 9401 (16), 9402 to 9405, 9410, "
    "9412 to 9415, 9419 (4), 9420, 9421 (4), 9422 (2), 9423 (2), 9430, 9431 (2), 9432 (4), "
    "9433, 9434, 9435 (20), 9437, 9441 (2), 9442 (12), 9500 (10), 9501 (10), 9502 (10), "
    "9504, 9521 (12), 9524 (12), 9525 (3), 9526 (36), 9527 (12), 9528 (3), 9529 (12), "
    "9530 (12), 9531, 9532, 9533, 9534 (4);";

std::map<std::string, int> ListedCounts(std::map<int, std::string>* groups) {
    std::map<std::string, int> counts;
    std::string text(kListedCommands);
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find(';', at);
        const std::string part = text.substr(at, end - at);
        const int group = part[0] - '0';
        std::stringstream items(part.substr(3));
        std::string item;
        while (std::getline(items, item, ',')) {
            if (item.starts_with(" ")) item.erase(0, 1);
            int first = 0, last = 0, count = 1;
            char one[8] = {};
            if (std::sscanf(item.c_str(), "%d to %d (%d each)", &first, &last, &count) == 3 ||
                std::sscanf(item.c_str(), "%d to %d (%3s each)", &first, &last, one) == 3 ||
                std::sscanf(item.c_str(), "%d to %d", &first, &last) == 2) {
                if (one[0] != 0) count = 1;
            } else {
                count = 1;
                std::sscanf(item.c_str(), "%d (%d)", &first, &count);
                last = first;
            }
            for (int n = first; n <= last; ++n) {
                const std::string number = n >= 1000 ? std::to_string(n)
                                                     : (n < 10    ? "00"
                                                        : n < 100 ? "0"
                                                                  : "") +
                                                           std::to_string(n);
                counts[number] = count;
                (*groups)[group] += number + " ";
            }
        }
        at = end + 1;
    }
    return counts;
}

TEST(SheetCatalogue, EveryCommandsEntriesAsListed) {
    std::map<int, std::string> listed_groups;
    const std::map<std::string, int> listed = ListedCounts(&listed_groups);
    std::map<std::string, int> counts;
    for (int g = 0; g < 10; ++g) {
        std::string commands;
        for (const auto& e : CommandSheetCatalogue(g)) {
            if (++counts[CommandOf(e)] == 1) commands += CommandOf(e) + " ";
        }
        EXPECT_EQ(commands, listed_groups[g]) << "group " << g;
    }
    EXPECT_EQ(counts, listed);
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
