// The ordinary path of the keypad state machine: key sequences with the line, cursor, state,
// key-taken word and outcome they leave, over the built-in table and over a table of shapes the
// tests choose. Handlers are stand-ins that answer as each case says.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "keypad_test_support.h"
#include "programming/keypad.h"

namespace qzs {
namespace {

using testing::Descriptor;
using testing::Fake;
using testing::kAny;
using testing::KeypadDriver;
using testing::KeySequence;

// Shapes for the cases below, group 0 from *000 on.
const CommandTable& ShapeTable() {
    static const CommandTable table =
        testing::MakeTable({{0,
                             {
                                 // 000: one data field of 1 digit
                                 Descriptor({0, 0x01, 0x11}),
                                 // 001: key 1 digit, data 3 digits,
                                 // re-entry at the key
                                 Descriptor({0, 0x11, 0x11, 0x33, 0, 0, 0, 0, 1}),
                                 // 002: keys 2 and 0-2 digits,
                                 // data 1 and 0-1 digits
                                 Descriptor({0, 0x22, 0x22, 0x02, 0x11, 0x01, 0, 0, 1}),
                                 // 003: key 1 digit, no data
                                 Descriptor({0, 0x10, 0x11, 0, 0, 0, 0, 0, 1}),
                                 // 004: no fields at all
                                 Descriptor({0}),
                                 // 005: two data fields of 1-16
                                 Descriptor({0, 0x02, 0x10, 0x10}),
                                 // 006-009: unused here
                                 Descriptor({0}),
                                 Descriptor({0}),
                                 Descriptor({0}),
                                 Descriptor({0}),
                                 // 010: keys 0-2 and 1 digits, data
                                 // 1 digit, re-entry at key 1
                                 Descriptor({0, 0x21, 0x02, 0x11, 0x11, 0, 0, 0, 1}),
                                 // 011: keys 1 and 2 digits, data 1
                                 // digit, re-entry at key 2
                                 Descriptor({0, 0x21, 0x11, 0x22, 0x11, 0, 0, 0, 2}),
                                 // 012: unused here
                                 Descriptor({0}),
                                 // 013: a kind without a path of
                                 // its own takes the ordinary one
                                 Descriptor({9, 0x01, 0x11}),
                             }}});
    return table;
}

TEST(KeypadOrdinaryPath, BuiltInCommands) {
    const KeySequence cases[] = {
        {"*0021# stores", nullptr, "*0021#", "002=1P", 6, 0x00, 1, 2},
        {"*002# shows and waits for a new value", nullptr, "*002#", "002=1c", 6, 0x30, 1, 1, 1, 255,
         4},
        {"*0025# rejected by the handler", nullptr, "*0025#", "--P", 0, 0x00, 1, 1, kAny, kAny,
         kAny, kAny, 1},
        {"read back different", nullptr, "*0021#", "--c", 0, 0x00, 1, 1, kAny, kAny, kAny, kAny, 2},
        {"show refused", nullptr, "*002#", "--P", 0, 0x00, 1, 1, kAny, kAny, kAny, kAny, 0, 1},
        {"show failed otherwise", nullptr, "*002#", "--c", 0, 0x00, 1, 1, kAny, kAny, kAny, kAny, 0,
         3},
        {"a new value after a show needs no *", nullptr, "*002#0#", "002=0P", 6, 0x00, 1, 2},
        {"data field full waits for #", nullptr, "*0025", "002=5", 5, 0x31, 1, 1, 2},
        {"# with the field full but the number short", nullptr, "*00#", "00 =", 2, 0x10, 0, 0},
        {"* alone", nullptr, "*", "   =", 0, 0x10, 1, 1},
        {"*9 then backspace", nullptr, "*9<", "   =", 0, 0x10, 1, 1},
        {"four-digit number moves the =", nullptr, "*936", "936 =", 3, 0x11, 1, 1},
        {"four-digit backspace stays four-digit", nullptr, "*93<", "9   =", 1, 0x11, 1, 1},
        {"backspace at the start of the data field", nullptr, "*0011<", "001=", 4, 0x20, 1, 1, 1,
         kAny, kAny, 0},
        {"backspace into the command number", nullptr, "*002<", "00 =", 2, 0x10, 1, 1, 0},
        {"backspace then the digit again", nullptr, "*002<2", "002=", 4, 0x30, 1, 1, 1},
        {"*192 is outside group 1", nullptr, "*192", "192=", 4, 0x90, 1, 1},
        {"*2NN has no group", nullptr, "*250", "250=", 4, 0x90, 1, 1},
        {"digit after *192 is refused", nullptr, "*1925", "192=", 4, 0x90, 0, 0},
        {"backspace after *192", nullptr, "*192<", "19 =", 2, 0x10, 1, 1},
        {"# on an idle terminal", nullptr, "*0021##", "002=1P", 6, 0x00, 0, 0},
        {"* abandons an entry", nullptr, "*0025*", "   =", 0, 0x10, 1, 1},
    };
    testing::RunKeySequences(cases);
}

TEST(KeypadOrdinaryPath, FieldsSeparatorsAndReentry) {
    const KeySequence cases[] = {
        {"key field, data field, re-entry", &ShapeTable(), "*0015123#", "001=5-123P", 10, 0x20, 1,
         2, 1, 255, 4},
        {"re-entry without *", &ShapeTable(), "*0015123#6456#", "001=6-456P", 10, 0x20, 1, 2, 1,
         255, 4},
        {"re-entry keeps the line until a digit", &ShapeTable(), "*0015123#<", "001=5-123P", 10,
         0x20, 1, 1, 1, 255},
        {"show after the key field, then re-entry", &ShapeTable(), "*0015#", "001=5-1c", 8, 0x20, 1,
         1, 1, 255, 4},
        {"show then the next key", &ShapeTable(), "*0015#6#", "001=6-1c", 8, 0x20, 1, 1, 1, 255, 4},
        {"# too early in a key field is refused", &ShapeTable(), "*001#", "001=", 4, 0x20, 0, 0, 1},
        {"# with some digits in a data field is ignored", &ShapeTable(), "*00151#", "001=5-1", 7,
         0x30, 1, 1, 2, kAny, kAny, 1},
        {"two key fields, a data field full, an empty optional one", &ShapeTable(), "*00201051#",
         "002=01,05-1,P", 13, 0x20, 1, 2, 1, 255, 4},
        {"all four fields", &ShapeTable(), "*002010510#", "002=01,05-1,0P", 14, 0x20, 1, 2, 1, 255},
        {"empty optional key field", &ShapeTable(), "*00201#", "002=01,-", 8, 0x30, 1, 1, 3},
        {"backspace over the '-' of an empty key field", &ShapeTable(), "*00201#<", "002=01,", 7,
         0x20, 1, 1, 2, kAny, kAny, 0},
        {"backspace over '-' and the last key digit", &ShapeTable(), "*0020105<", "002=01,0", 8,
         0x20, 1, 1, 2, kAny, kAny, 1},
        {"and the key field refills", &ShapeTable(), "*0020105<7", "002=01,07-", 10, 0x30, 1, 1, 3},
        {"backspace in a key field with digits", &ShapeTable(), "*0020<", "002=", 4, 0x20, 1, 1, 1,
         kAny, kAny, 0},
        {"backspace over a full data field", &ShapeTable(), "*0001<", "000=", 4, 0x30, 1, 1, 1,
         kAny, kAny, 0},
        {"A-F are taken and ignored in decimal fields", &ShapeTable(), "*000A", "000=", 4, 0x30, 1,
         1},
        {"key field without data waits for #", &ShapeTable(), "*0035", "003=5-", 6, 0x90, 1, 1, 2},
        {"backspace after it removes '-' and the key digit", &ShapeTable(), "*0035<", "003=", 4,
         0x20, 1, 1, 1, kAny, kAny, 0},
        {"show of a key-only command keeps the key for re-entry", &ShapeTable(), "*0035#",
         "003=5-1c", 8, 0x20, 1, 1, 1, 255, 4},
        {"command without fields shows and ends", &ShapeTable(), "*004#", "004=1c", 6, 0x00, 1, 1},
        {"backspace right after a command without fields", &ShapeTable(), "*004<", "00 =", 2, 0x10,
         1, 1},
        {"empty first key field keeps the '='", &ShapeTable(), "*010#<", "010=", 4, 0x20, 1, 1, 1,
         kAny, kAny, 0},
        {"then the first key field fills", &ShapeTable(), "*010#<12", "010=12,", 7, 0x20, 1, 1, 2},
        {"# after a kept entry empties the re-entry field in its place", &ShapeTable(),
         "*0101234##", "010=,", 5, 0x20, 1, 1, 2, 0},
        {"and the entry goes on from there", &ShapeTable(), "*0101234##56#", "010=,5-6P", 9, 0x20,
         1, 2, 1, 255, 4},
        {"re-entry at the second key field", &ShapeTable(), "*01112345#", "011=1,23-4P", 11, 0x20,
         1, 2, 2, 255, 6},
        {"keeps the first key field", &ShapeTable(), "*01112345#567#", "011=1,56-7P", 11, 0x20, 1,
         2, 2, 255, 6},
        {"a kind without a path of its own", &ShapeTable(), "*0131#", "013=1P", 6, 0x00, 1, 2},
    };
    testing::RunKeySequences(cases);
}

TEST(KeypadOrdinaryPath, HandlersSeeTheTypedLine) {
    KeypadDriver keypad(&ShapeTable());
    keypad.Type("*0015123#6456#");
    ASSERT_EQ(Fake().store_lines.size(), 2u);
    EXPECT_EQ(Fake().store_lines[0].substr(0, 10), "001=5-123 ");
    EXPECT_EQ(Fake().store_lines[1].substr(0, 10), "001=6-456 ");
    EXPECT_EQ(keypad.state().current_command.index, 1);
    EXPECT_EQ(keypad.state().current_command.four_digit, 0);
}

TEST(KeypadOrdinaryPath, LongLinesStopAtTheEnd) {
    {
        // 25 characters: the 20-character window starts at 5.
        KeypadDriver keypad(&ShapeTable());
        keypad.Type("*0051234567890123456");
        EXPECT_EQ(keypad.Line(), "005=1234567890123456,");
        EXPECT_EQ(keypad.record().window_start, 1);
        keypad.Type("7890");
        EXPECT_EQ(keypad.record().line.Cursor(), 25);
        EXPECT_EQ(keypad.record().window_start, 5);
    }
    {
        // Digits beyond the line are counted into the field but written nowhere; the store still
        // runs and its "P" finds no room.
        KeypadDriver keypad(&ShapeTable());
        keypad.Type("*005");
        keypad.Type("12345678901234567890123456789012");
        EXPECT_EQ(keypad.Line(), "005=1234567890123456,789012");
        EXPECT_EQ(keypad.record().state, kStateDataFull);
        keypad.Type("#");
        EXPECT_EQ(keypad.Line(), "005=1234567890123456,789012");
        EXPECT_EQ(keypad.record().line.Cursor(), 27);
        EXPECT_EQ(keypad.record().window_start, 7);
        EXPECT_EQ(keypad.state().key_input.outcome, kOutcomeStored);
        EXPECT_EQ(keypad.record().line.CStr()[27], '\0');
    }
    struct Shown {
        std::size_t length;
        int cursor;
        bool c_written;
    };
    // A shown value of 20 characters or more keeps the cursor on the "c".
    for (const Shown s : {Shown{19, 24, true}, Shown{20, 24, true}, Shown{21, 25, true},
                          Shown{23, 27, false}, Shown{30, 27, false}}) {
        SCOPED_TRACE(s.length);
        KeypadDriver keypad(&ShapeTable());
        Fake().show_text = std::string(s.length, '7');
        keypad.Type("*000#");
        const TerminalRecord& r = keypad.record();
        EXPECT_EQ(r.line.Cursor(), s.cursor);
        const std::size_t c_at = 4 + s.length;
        if (s.c_written) {
            EXPECT_EQ(r.line.At(c_at), 'c');
        }
        if (!s.c_written) {
            EXPECT_EQ(r.line.Text().find('c'), std::string_view::npos);
        }
        EXPECT_EQ(r.state, kStateDataFields);
    }
}

TEST(KeypadOrdinaryPath, BuiltInHandlerTableRejectsTheCatchAll) {
    KeypadDriver keypad(nullptr, /*fake_handlers=*/false);
    keypad.Type("*192#");
    EXPECT_EQ(keypad.Line(), "--P");
    EXPECT_EQ(keypad.record().state, 0);
    keypad.Type("*2995#");
    EXPECT_EQ(keypad.Line(), "--P");
}

// The cells that each state lists ('x'); every other key of the state is refused and changes
// nothing. Columns: digit, '*', '#', A-F, next, previous, restart, backspace, other.
TEST(KeyStateTable, UnlistedCellsRefuseAndChangeNothing) {
    const char* listed[kKeyStateRows] = {
        ".x.......", "xx.....x.", "xx.....x.", "xxx....x.", "xxxx...x.", ".xx....x.", "xxx......",
        "xx.......", ".xx......", "xx.x..x..", "xx.x..x..", "xx.xxxx..", "xx.xxxx..", ".xx.xxx..",
        "xxx....x.", ".xx......", ".xx....x.", "xx.....x.", ".xx....x.", "xx.......", ".xx....x.",
        ".xx......", ".xx....x.", "xxx......", ".xx......", "xx.......", ".xx......",
    };
    const std::uint16_t keys[kKeyClasses] = {'5', '*', '#', 'C', 0xB03C, 0xB03A, 0xB056, 0x08, 'x'};
    for (std::size_t row = 0; row < kKeyStateRows; ++row) {
        for (std::size_t column = 0; column < kKeyClasses; ++column) {
            KeypadDriver keypad(&ShapeTable());
            TerminalRecord& r = keypad.record();
            r.line.Blank();
            r.line.Write(0, "000=1-2");
            r.line.SetCursor(7);
            r.state = kKeyStateCodes[row];
            r.field_number = 2;
            const TerminalRecord before = r;
            keypad.Key(keys[column]);
            SCOPED_TRACE(testing::LineOf(r));
            if (listed[row][column] == 'x') continue;
            EXPECT_EQ(keypad.state().key_input.key_taken, 0)
                << "state " << row << " key " << column;
            EXPECT_EQ(keypad.state().key_input.outcome, 0);
            EXPECT_EQ(std::memcmp(&before, &r, sizeof r), 0)
                << "state " << row << " key " << column;
        }
    }
}

TEST(KeyStateTable, StarRestartsFromEveryStateAndUnlistedStatesActAsIdle) {
    std::vector<std::uint8_t> codes(kKeyStateCodes.begin(), kKeyStateCodes.end());
    codes.insert(codes.end(), {0x12, 0x55, 0x9F, 0xA4, 0xFF});
    for (std::uint8_t code : codes) {
        SCOPED_TRACE(static_cast<int>(code));
        KeypadDriver keypad(&ShapeTable());
        TerminalRecord& r = keypad.record();
        r.line.Write(0, "000=1-2 junk");
        r.line.SetCursor(12);
        r.state = code;
        r.reentry_marker = 255;
        r.repeat_count = 3;
        r.show_flag = 1;
        keypad.Key('*');
        EXPECT_EQ(keypad.Line(), "   =");
        EXPECT_EQ(r.line.Cursor(), 0);
        EXPECT_EQ(r.state, kStateCommandNumber);
        EXPECT_EQ(r.reentry_marker, 0);
        EXPECT_EQ(r.repeat_count, 0);
        EXPECT_EQ(r.show_flag, 0);
    }
    for (std::uint8_t code : {0x12, 0x55, 0xFF}) {
        KeypadDriver keypad(&ShapeTable());
        keypad.record().state = code;
        for (std::uint16_t key : {std::uint16_t{'5'}, std::uint16_t{'#'}, kKeyBackspace}) {
            keypad.Key(key);
            EXPECT_EQ(keypad.state().key_input.key_taken, 0) << int(code) << " " << key;
        }
    }
}

TEST(ProcessKey, RefusesATerminalOutsideTheRecords) {
    for (unsigned terminal : {0u, 129u, 255u}) {
        KeypadDriver keypad(&ShapeTable());
        auto& state = keypad.state();
        state.key_input.current_terminal = static_cast<std::uint8_t>(terminal);
        state.key_input.key_word = '*';
        ProcessKey(state);
        EXPECT_EQ(state.key_input.key_taken, 0);
        EXPECT_EQ(state.key_input.outcome, 0);
        for (const TerminalRecord& r : state.terminals) EXPECT_EQ(r.state, 0);
    }
    // Terminal 128 is the last one.
    KeypadDriver keypad(&ShapeTable());
    auto& state = keypad.state();
    state.key_input.current_terminal = 128;
    state.key_input.key_word = '*';
    ProcessKey(state);
    EXPECT_EQ(state.terminals[127].state, kStateCommandNumber);
    EXPECT_EQ(state.terminals[0].state, 0);
}

TEST(ProcessKey, HandlersRunUnderTheApplicationLock) {
    KeypadDriver keypad(&ShapeTable());
    Fake().probe_lock = true;
    keypad.Type("*0001#*000#");
    EXPECT_EQ(Fake().store_lines.size(), 1u);
    EXPECT_EQ(Fake().show_lines.size(), 1u);
    EXPECT_EQ(Fake().calls_without_lock, 0);
}

}  // namespace
}  // namespace qzs
