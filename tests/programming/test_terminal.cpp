#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "programming/character_table.h"
#include "programming/terminal.h"

namespace qzs {
namespace {

std::string Padded(std::string text) {
    text.resize(DisplayLine::kWidth, ' ');
    return text;
}

// A record whose line reads `text` (blank padded) with the cursor at `cursor`.
TerminalRecord RecordWithLine(const std::string& text, int cursor) {
    TerminalRecord record;
    record.line.Blank();
    record.line.Write(0, text);
    record.line.SetCursor(cursor);
    return record;
}

TEST(DisplayLine, WritersStopAtTheEndOfTheLine) {
    struct Case {
        const char* name;
        std::function<void(DisplayLine&)> write;
        std::string text;
        int cursor;
    };
    const std::string digits30 = "123456789012345678901234567890";
    const Case cases[] = {
        {"append characters past the end",
         [&](DisplayLine& l) {
             for (char c : digits30) l.Append(c);
         },
         digits30.substr(0, 27), 27},
        {"append text past the end",
         [&](DisplayLine& l) {
             l.Append(std::string_view("0123456789"));
             EXPECT_EQ(l.Append(digits30), 17u);
             EXPECT_EQ(l.Append(std::string_view("P")), 0u);
             EXPECT_FALSE(l.Append('c'));
         },
         "01234567891234567890123456"
         "7",
         27},
        {"write past the end leaves the cursor", [](DisplayLine& l) { l.Write(20, "ABCDEFGHIJ"); },
         Padded("").substr(0, 20) + "ABCDEFG", 0},
        {"write and put beyond the line do nothing",
         [](DisplayLine& l) {
             l.Write(27, "X");
             l.Write(200, "X");
             l.Put(27, 'X');
             l.Put(1000, 'X');
         },
         Padded(""), 0},
        {"cursor is clamped to the line",
         [](DisplayLine& l) {
             l.SetCursor(40);
             EXPECT_FALSE(l.Append('x'));
             l.SetCursor(-3);
             l.Append('y');
         },
         Padded("y"), 1},
        {"position 26 is the last writable one",
         [](DisplayLine& l) {
             l.Put(26, '7');
             l.SetCursor(26);
             EXPECT_TRUE(l.Append('8'));
         },
         Padded("").substr(0, 26) + "8", 27},
        {"step back blanks and stops at 0",
         [](DisplayLine& l) {
             l.Append(std::string_view("12"));
             EXPECT_TRUE(l.StepBack());
             EXPECT_TRUE(l.StepBack());
             EXPECT_FALSE(l.StepBack());
         },
         Padded(""), 0},
        {"blank from a position",
         [](DisplayLine& l) {
             l.Write(0, "002=1P");
             l.BlankFrom(4);
             l.BlankFrom(27);
             l.BlankFrom(500);
         },
         Padded("002="), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DisplayLine line;
        line.Blank();
        c.write(line);
        EXPECT_EQ(std::string(line.Text()), c.text);
        EXPECT_EQ(line.Cursor(), c.cursor);
        // The terminator is never overwritten: the line always reads as 27 characters.
        EXPECT_EQ(std::strlen(line.CStr()), 27u);
        EXPECT_EQ(line.At(27), '\0');
        EXPECT_EQ(line.At(1000), '\0');
    }
}

TEST(TerminalRecord, RepeatCountDoesNotEndTheLine) {
    TerminalRecord record = RecordWithLine("123=45", 6);
    record.repeat_count = 3;
    EXPECT_EQ(std::strlen(record.line.CStr()), 27u);
    EXPECT_EQ(record.line.At(27), '\0');
}

// Start-up clears the first 8,192 bytes of the records: terminals 1-102 whole and the first 32
// bytes of terminal 103 (attributes, state, show flag, window start, cursor).
TEST(TerminalRecord, RecordsLieBackToBackInEightyBytes) {
    auto terminals = std::make_unique<TerminalRecords>();
    for (auto& record : *terminals) {
        record = RecordWithLine("001=1", 5);
        record.attributes[0] = kTerminalTypeDefault;
        record.state = 0x30;
        record.data_start = 4;
    }
    std::memset(static_cast<void*>(terminals->data()), 0, 8192);
    const TerminalRecord& t102 = (*terminals)[101];
    const TerminalRecord& t103 = (*terminals)[102];
    const TerminalRecord& t104 = (*terminals)[103];
    EXPECT_EQ(t102.attributes[0], 0);
    EXPECT_EQ(t102.data_start, 0);
    EXPECT_EQ(t102.line.At(0), '\0');
    EXPECT_EQ(t103.attributes[0], 0);
    EXPECT_EQ(t103.state, 0);
    EXPECT_EQ(t103.line.Cursor(), 0);
    EXPECT_EQ(t103.line.At(0), '0');  // byte 32 is past the cleared run
    EXPECT_EQ(t103.data_start, 4);
    EXPECT_EQ(t104.attributes[0], kTerminalTypeDefault);
    EXPECT_EQ(t104.line.Cursor(), 5);
}

TEST(TerminalRecord, TerminalNumbersOutside1To128AreRefused) {
    auto terminals = std::make_unique<TerminalRecords>();
    const std::pair<unsigned, int> cases[] = {{0, -1},    {1, 0},    {2, 1},
                                              {128, 127}, {129, -1}, {255, -1}};
    for (auto [terminal, index] : cases) {
        TerminalRecord* expected = index < 0 ? nullptr : &(*terminals)[index];
        EXPECT_EQ(FindTerminal(*terminals, terminal), expected) << terminal;
        EXPECT_EQ(FindTerminal(std::as_const(*terminals), terminal), expected) << terminal;
    }
}

TEST(ShowEntryError, ReplacesTheLineAndEndsTheEntry) {
    const std::pair<std::uint8_t, std::string> cases[] = {
        {1, Padded("--P")}, {2, Padded("--c")}, {255, Padded("--c")}, {0, Padded("")}};
    for (const auto& [result, text] : cases) {
        TerminalRecord record = RecordWithLine("123456789012345678901234567", 27);
        record.state = 0x31;
        ShowEntryError(record, result);
        EXPECT_EQ(std::string(record.line.Text()), text) << int{result};
        EXPECT_EQ(record.line.Cursor(), 0);
        EXPECT_EQ(record.state, kStateIdle);
    }
}

TEST(TerminalHelpers, CountTrailingDigits) {
    struct Case {
        std::string line;
        int cursor;
        int count;
    };
    const Case cases[] = {
        {"001=1,23", 8, 2}, {"001=1,23", 6, 0},  // just after ","
        {"001=1,23", 5, 1}, {"12345", 5, 3},     // positions 0 and 1 never count
        {"12345", 2, 0},    {"12345", 0, 0},    {"123456789012345678901234567", 27, 25},
        {"9361=1", 6, 1},
    };
    for (const Case& c : cases) {
        TerminalRecord record = RecordWithLine(c.line, c.cursor);
        EXPECT_EQ(CountTrailingDigits(record), c.count) << c.line << " @" << c.cursor;
    }
}

TEST(TerminalHelpers, NonZeroAndNonBlankScans) {
    struct Case {
        std::size_t position;
        std::size_t n;
        bool non_zero;
        bool non_blank;
    };
    // "161=00 00" then blanks up to position 24, then "00" at 25-26.
    TerminalRecord record = RecordWithLine("161=00 00", 9);
    record.line.Write(25, "00");
    const Case cases[] = {
        {4, 2, false, true},   // "00"
        {4, 3, true, true},    // "00 "
        {9, 5, true, false},   // blanks
        {4, 0, false, false},  // nothing to look at
        {25, 2, false, true},  // the last two characters
        {26, 2, true, true},   // runs past the line: the terminator is neither
        {40, 1, true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HasNonZeroDigit(record, c.position, c.n), c.non_zero) << c.position << "+" << c.n;
        EXPECT_EQ(HasNonBlank(record, c.position, c.n), c.non_blank) << c.position << "+" << c.n;
    }
}

TEST(TerminalHelpers, WindowFollowsTheCursorPast20) {
    const std::pair<int, int> cases[] = {{0, 0}, {20, 0}, {21, 1}, {22, 2}, {25, 5}, {27, 7}};
    for (auto [cursor, window] : cases) {
        TerminalRecord record = RecordWithLine("", cursor);
        record.window_start = 99;
        UpdateWindowStart(record);
        EXPECT_EQ(record.window_start, window) << cursor;
    }
}

TEST(ReloadCharacterTable, HandsEveryEntryWithItsCodeToTheHook) {
    DisplayCharacterTable table;
    ReloadCharacterTable(table);  // no hook: nothing to call

    table.entries[0] = 0xB1;    // code 32
    table.entries[223] = 0x20;  // code 255
    std::vector<std::pair<int, int>> calls;
    table.hook = [&](std::uint8_t code, std::uint8_t entry) { calls.emplace_back(code, entry); };
    ReloadCharacterTable(table);
    ASSERT_EQ(calls.size(), 224u);
    for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].first, 32 + int(i));
    EXPECT_EQ(calls[0].second, 0xB1);
    EXPECT_EQ(calls[1].second, 33);
    EXPECT_EQ(calls[223].second, 0x20);
}

}  // namespace
}  // namespace qzs
