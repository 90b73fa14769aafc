// The commands that leave the ordinary field entry: the two-step clear and reset (*007), text by
// character codes (*679, *721), the memory view and edit (*023, *024), the confirmed setting
// (*9361), and the kinds no built-in command uses (repeated entries, follow-up shows, hex data,
// fixed data) over a table of their own. Handlers are stand-ins.
#include <gtest/gtest.h>

#include <algorithm>
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

std::string Padded(std::string text) {
    text.resize(DisplayLine::kWidth, ' ');
    return text;
}

// --- *007: two digits, a prompt, a confirming answer ---

void LatinPrompts(ProgrammingState& state) {
    *state.image.BlockByte(55, 11) |= 0x80;
}

TEST(ConfirmedChoice, PromptsAnswersAndErasures) {
    const KeySequence cases[] = {
        {"00 asks to clear, in katakana", nullptr, "*00700#", "007=\xB8\xD8\xB1 Y:1/N:0", 16, 0x72,
         1, 1},
        {"00 in Latin letters", nullptr, "*00700#", "007=CLR Y:1/N:0", 16, 0x72, 1, 1, kAny, kAny,
         kAny, kAny, 0, 0, &LatinPrompts},
        {"99 asks to reset", nullptr, "*00799#", "007=\xD8\xBE\xAF\xC4 Y:1/N:0", 17, 0x72, 1, 1},
        {"confirmed: stored, the outcome stays taken", nullptr, "*00700#1#",
         "007=\xB8\xD8\xB1 Y:1/N:0 1P", 18, 0x00, 1, 1},
        {"any other choice is refused", nullptr, "*00712#", "--P", 0, 0x00, 1, 1},
        {"answers other than 0 and 1 are ignored", nullptr, "*00700#5", "007=\xB8\xD8\xB1 Y:1/N:0",
         16, 0x72, 1, 1},
        {"backspace takes the answer back", nullptr, "*00700#1<", "007=\xB8\xD8\xB1 Y:1/N:0", 16,
         0x72, 1, 1},
        {"backspace in the second digit", nullptr, "*00701<", "007=0", 5, 0x70, 1, 1, 1, kAny, kAny,
         1},
        {"backspace in the first digit", nullptr, "*0070<", "007=", 4, 0x70, 1, 1, 1, kAny, kAny,
         0},
        {"and back into the number", nullptr, "*0070<<", "00 =", 2, 0x10, 1, 1},
        {"# before two digits is refused", nullptr, "*0070#", "007=0", 5, 0x70, 0, 0},
        {"the handler refuses", nullptr, "*00700#1#", "--P", 0, 0x00, 1, 1, kAny, kAny, kAny, kAny,
         1},
        {"the handler reads back different", nullptr, "*00799#0#", "--c", 0, 0x00, 1, 1, kAny, kAny,
         kAny, kAny, 2},
    };
    testing::RunKeySequences(cases);
}

TEST(ConfirmedChoice, TheHandlerSeesTheAnswerAfterThePrompt) {
    KeypadDriver keypad;
    keypad.Type("*00700#1#");
    ASSERT_EQ(Fake().store_lines.size(), 1u);
    // The answer stands 12 places after the first field for the clear prompt, 13 for reset.
    EXPECT_EQ(Fake().store_lines[0][4 + 12], '1');
    keypad.Type("*00799#0#");
    ASSERT_EQ(Fake().store_lines.size(), 2u);
    EXPECT_EQ(Fake().store_lines[1].substr(4, 4), "\xD8\xBE\xAF\xC4");
    EXPECT_EQ(Fake().store_lines[1][4 + 13], '0');
}

// --- *679 and *721: characters by two-digit codes ---

TEST(CharacterCodes, EntryShowAndStore) {
    const std::string stored_ab = "679=1-AB" + std::string(10, ' ') + "P";
    const KeySequence cases[] = {
        {"the key field leads to the characters", nullptr, "*6791", "679=1-", 6, 0x40, 1, 1, 2},
        {"row digit waits at the end of the line", nullptr, "*67912",
         "679=1-" + std::string(20, ' ') + "2", 6, 0x41, 1, 1},
        {"two codes give two characters", nullptr, "*67912021", "679=1-AB", 8, 0x40, 1, 1, 2, kAny,
         kAny, 2},
        {"stored: P after the whole width of the field", nullptr, "*67912021#", stored_ab, 19, 0x20,
         1, 2, 1, 255, 4},
        {"no character: the current text is shown", nullptr, "*6791#", "679=1-1c", 8, 0x20, 1, 1, 1,
         255},
        {"re-entry with the next key", nullptr, "*67912021#3#", "679=3-1c", 8, 0x20, 1, 1, 1, 255},
        {"backspace is refused", nullptr, "*679120<", "679=1-A", 7, 0x40, 0, 0},
        {"the handler refuses", nullptr, "*67912021#", "--P", 0, 0x00, 1, 1, kAny, kAny, kAny, kAny,
         1},
        {"a show refused", nullptr, "*6799#", "--P", 0, 0x00, 1, 1, kAny, kAny, kAny, kAny, 0, 1},
        {"eight characters fill *721", nullptr, "*72122020202020202020", "721=2-AAAAAAAA", 14, 0x42,
         1, 1, 3},
        {"a ninth code is refused", nullptr, "*721220202020202020202", "721=2-AAAAAAAA", 14, 0x42,
         0, 0},
        {"# after the full field stores", nullptr, "*72122020202020202020#", "721=2-AAAAAAAAP", 15,
         0x20, 1, 2, 1, 255},
    };
    testing::RunKeySequences(cases);
}

TEST(CharacterCodes, EveryCodeGivesItsDisplayCharacter) {
    std::string expected(100, '\0');
    for (int i = 0; i < 10; ++i) expected[i] = static_cast<char>('0' + i);
    const std::string signs = " -#,*/:=\xA7\xA8";
    std::copy(signs.begin(), signs.end(), expected.begin() + 10);
    for (int i = 0; i < 26; ++i) expected[20 + i] = static_cast<char>('A' + i);
    for (int i = 0; i < 4; ++i) expected[46 + i] = static_cast<char>(0xAC + i);
    for (int i = 0; i < 47; ++i) expected[50 + i] = static_cast<char>(0xB1 + i);
    expected[97] = '\xA9';
    expected[98] = '\xAA';
    expected[99] = '\xAB';
    for (int code = 0; code < 100; ++code) {
        KeypadDriver keypad;
        keypad.Type("*7211");
        keypad.Type(
            std::string{static_cast<char>('0' + code / 10), static_cast<char>('0' + code % 10)});
        EXPECT_EQ(keypad.record().line.At(6), expected[code]) << code;
        EXPECT_EQ(keypad.record().line.At(26), ' ') << code;  // the row digit is gone
    }
}

TEST(CharacterCodes, LongShownTextKeepsTheCursor) {
    KeypadDriver keypad;
    Fake().show_text = std::string(20, 'X');
    keypad.Type("*6791#");
    EXPECT_EQ(keypad.Line(), "679=1-" + std::string(20, 'X'));
    EXPECT_EQ(keypad.record().line.Cursor(), 26);
    EXPECT_EQ(keypad.record().state, kStateKeyFields);
}

// --- *023 and *024: the modelled maintenance memory ---

void MemoryTerminals(ProgrammingState& state) {
    *state.image.BlockByte(3, 42) = 1;
    *state.image.BlockByte(3, 43) = 0;
    state.keypad.maintenance_memory.work_area[0x10] = 0x5A;
}

void SecondTerminalChecks(ProgrammingState& state) {
    MemoryTerminals(state);
    state.key_input.checking_terminal = 2;
}

void SecondTerminalAllowed(ProgrammingState& state) {
    SecondTerminalChecks(state);
    *state.image.BlockByte(3, 43) = 2;
}

void NoTerminalNamed(ProgrammingState& state) {
    *state.image.BlockByte(3, 42) = 0;
    *state.image.BlockByte(3, 43) = 0;
    state.key_input.checking_terminal = 0;
}

TEST(MemoryViewAndEdit, AddressesWindowsAndTerminals) {
    auto M = &MemoryTerminals;
    const KeySequence cases[] = {
        {"view a byte of the work area", nullptr, "*02300100010", "023=00100010 5A", 15, 0x52, 1, 1,
         kAny, kAny, 4, kAny, 0, 0, M},
        {"edit shows the byte and a '-'", nullptr, "*02400100010", "024=00100010 5A-", 16, 0x52, 1,
         1, kAny, kAny, 4, kAny, 0, 0, M},
        {"a value is written and read back", nullptr, "*024001000107E#", "024=00100010 7E-", 16,
         0x52, 1, 1, kAny, kAny, kAny, kAny, 0, 0, M},
        {"the device window reads 0 and keeps nothing", nullptr, "*024FFF020005A#",
         "024=FFF02000 00-", 16, 0x52, 1, 1, kAny, kAny, kAny, kAny, 0, 0, M},
        {"last byte of the work area", nullptr, "*023001002DF", "023=001002DF 00", 15, 0x52, 1, 1,
         kAny, kAny, kAny, kAny, 0, 0, M},
        {"past the work area", nullptr, "*023001002E0", "--P", 0, 0x00, 1, 1, kAny, kAny, kAny,
         kAny, 0, 0, M},
        {"below the work area", nullptr, "*023000FFFFF", "--P", 0, 0x00, 1, 1, kAny, kAny, kAny,
         kAny, 0, 0, M},
        {"address 0", nullptr, "*02300000000", "--P", 0, 0x00, 1, 1, kAny, kAny, kAny, kAny, 0, 0,
         M},
        {"below the device window", nullptr, "*023FFF01FFF", "--P", 0, 0x00, 1, 1, kAny, kAny, kAny,
         kAny, 0, 0, M},
        {"last of the device window", nullptr, "*023FFF02FFF", "023=FFF02FFF 00", 15, 0x52, 1, 1,
         kAny, kAny, kAny, kAny, 0, 0, M},
        {"past the device window", nullptr, "*023FFF03000", "--P", 0, 0x00, 1, 1, kAny, kAny, kAny,
         kAny, 0, 0, M},
        {"a terminal that is not named", nullptr, "*02300100010", "--P", 0, 0x00, 1, 1, kAny, kAny,
         kAny, kAny, 0, 0, &SecondTerminalChecks},
        {"the second named terminal", nullptr, "*02300100010", "023=00100010 5A", 15, 0x52, 1, 1,
         kAny, kAny, kAny, kAny, 0, 0, &SecondTerminalAllowed},
        {"an empty byte names no terminal 0", nullptr, "*02300100010", "--P", 0, 0x00, 1, 1, kAny,
         kAny, kAny, kAny, 0, 0, &NoTerminalNamed},
        {"next address", nullptr, "*02300100010n", "023=00100011 00", 15, 0x52, 1, 1, kAny, kAny,
         kAny, kAny, 0, 0, M},
        {"previous address", nullptr, "*02300100011p", "023=00100010 5A", 15, 0x52, 1, 1, kAny,
         kAny, kAny, kAny, 0, 0, M},
        {"next past the work area", nullptr, "*023001002DFn", "--P", 0, 0x00, 1, 1, kAny, kAny,
         kAny, kAny, 0, 0, M},
        {"previous before the work area", nullptr, "*02300100000p", "--P", 0, 0x00, 1, 1, kAny,
         kAny, kAny, kAny, 0, 0, M},
        {"next from a half-typed value", nullptr, "*024001000107n", "024=00100011 00-", 16, 0x52, 1,
         1, kAny, kAny, kAny, kAny, 0, 0, M},
        {"restart from the shown byte", nullptr, "*02300100010r", "023=", 4, 0x50, 1, 1, kAny, kAny,
         kAny, kAny, 0, 0, M},
        {"restart from a half-typed address", nullptr, "*0230010r", "023=", 4, 0x50, 1, 1, kAny,
         kAny, kAny, kAny, 0, 0, M},
        {"the view takes a value digit and does nothing", nullptr, "*023001000107",
         "023=00100010 5A", 15, 0x52, 1, 1, kAny, kAny, kAny, kAny, 0, 0, M},
        {"lower-case letters are refused", nullptr, "*0230010a", "023=0010", 8, 0x51, 0, 0, kAny,
         kAny, kAny, kAny, 0, 0, M},
        {"# while the address is typed is refused", nullptr, "*0230010#", "023=0010", 8, 0x51, 0, 0,
         kAny, kAny, kAny, kAny, 0, 0, M},
    };
    testing::RunKeySequences(cases);
}

TEST(MemoryViewAndEdit, WritesReachOnlyTheWorkArea) {
    KeypadDriver keypad;
    MemoryTerminals(keypad.state());
    keypad.Type("*024001000107E#");
    keypad.Type("n3C#");  // the next address, edited in place
    EXPECT_EQ(keypad.Line(), "024=00100011 3C-");
    keypad.Type("*024FFF02000A5#");
    const auto& area = keypad.state().keypad.maintenance_memory.work_area;
    EXPECT_EQ(area[0x10], 0x7E);
    EXPECT_EQ(area[0x11], 0x3C);
    EXPECT_EQ(std::count(area.begin(), area.end(), 0), static_cast<long>(area.size()) - 2);
    EXPECT_EQ(ReadMaintenanceByte(keypad.state(), kDeviceWindowFirst), 0);
    EXPECT_TRUE(Fake().store_lines.empty());  // no handler is involved
    EXPECT_TRUE(Fake().show_lines.empty());
}

// --- *9361: a digit, a prompt, Y or N ---

TEST(ConfirmedSetting, PromptAnswerAndDrop) {
    const KeySequence cases[] = {
        {"the digit and its prompt", nullptr, "*93611#", "9361=1 Y:1/N:0", 14, 0xA2, 1, 1},
        {"confirmed", nullptr, "*93611#1#", "9361=1P", 7, 0x00, 1, 2},
        {"not confirmed: a new command begins", nullptr, "*93611#0#", "   =", 0, 0x10, 1, 1},
        {"a digit other than 0 and 1", nullptr, "*93612#", "--P", 0, 0x00, 1, 1},
        {"an answer other than 0 and 1 is ignored", nullptr, "*93611#5", "9361=1 Y:1/N:0", 14, 0xA2,
         1, 1},
        {"backspace is refused", nullptr, "*93611<", "9361=1", 6, 0xA1, 0, 0},
        {"the handler refuses", nullptr, "*93610#1#", "--P", 0, 0x00, 1, 1, kAny, kAny, kAny, kAny,
         1},
        {"the handler reads back different", nullptr, "*93610#1#", "--c", 0, 0x00, 1, 1, kAny, kAny,
         kAny, kAny, 2},
        {"a show refused", nullptr, "*9361#", "--P", 0, 0x00, 1, 1, kAny, kAny, kAny, kAny, 0, 1},
    };
    testing::RunKeySequences(cases);
}

TEST(ConfirmedSetting, ShowFirstThenChange) {
    KeypadDriver keypad;
    Fake().show_text = "1c";  // the handler writes its own "c"
    keypad.Type("*9361#");
    EXPECT_EQ(keypad.Line(), "9361=1c");
    EXPECT_EQ(keypad.record().line.Cursor(), 5);
    EXPECT_EQ(keypad.record().state, kStateSettingDigit);
    keypad.Type("0#1#");
    EXPECT_EQ(keypad.Line(), "9361=0P");
    EXPECT_EQ(keypad.state().key_input.outcome, kOutcomeStored);
    ASSERT_EQ(Fake().store_lines.size(), 1u);
    EXPECT_EQ(Fake().store_lines[0], Padded("9361=0 Y:1/N:0 1"));

    // A show that writes nothing never takes the cursor back over the "=".
    KeypadDriver quiet;
    Fake().show_text = "";
    quiet.Type("*9361#");
    EXPECT_EQ(quiet.record().line.Cursor(), 5);
    quiet.Type("1#1#");
    EXPECT_EQ(quiet.Line(), "9361=1P");
}

// --- Kinds without a built-in command: a table of their own ---

const CommandTable& KindTable() {
    static const CommandTable table =
        testing::MakeTable({{0,
                             {
                                 // 000: repeated, 3 entries of 1-2
                                 Descriptor({5, 0x01, 0x12, 0, 0, 0, 0, 0, 3}),
                                 // 001: repeated after a key field,
                                 // 2 entries
                                 Descriptor({5, 0x11, 0x11, 0x11, 0, 0, 0, 0, 2}),
                                 // 002: follow-up show
                                 Descriptor({6, 0x11, 0x11, 0x11, 0, 0, 0, 0, 1}),
                                 // 003: hex data, 2 and 1-4 digits
                                 Descriptor({7, 0x02, 0x22, 0x14}),
                                 // 004: fixed data
                                 Descriptor({8, 0x01, 0x11}),
                             }}});
    return table;
}

TEST(RepeatedEntries, CountedShowsAndStores) {
    const CommandTable* t = &KindTable();
    const KeySequence cases[] = {
        {"first '#' shows", t, "*000#", "000=1c", 6, 0x61, 1, 1, kAny, 255, 4},
        {"each further '#' shows again", t, "*000##", "000=1c", 6, 0x61, 1, 1, kAny, 255},
        {"the last show ends the command", t, "*000###", "000=1c", 6, 0x00, 1, 1},
        {"a digit after a show is refused", t, "*000#1", "000=1c", 6, 0x61, 0, 0},
        {"a full entry stores", t, "*00012#", "000=12P", 7, 0x60, 1, 2, kAny, 255, 4, 0},
        {"a short entry stores too", t, "*0001#", "000=1P", 6, 0x60, 1, 2},
        {"the next entry replaces the line", t, "*00012#3#", "000=3P", 6, 0x60, 1, 2},
        {"the last entry ends the command", t, "*00012#3#45#", "000=45P", 7, 0x00, 1, 2},
        {"'#' without a new digit does nothing", t, "*00012##", "000=12P", 7, 0x60, 1, 1},
        {"backspace in a half field", t, "*0001<", "000=", 4, 0x60, 1, 1, kAny, kAny, kAny, 0},
        {"backspace in a full field", t, "*00012<", "000=1", 5, 0x60, 1, 1, kAny, kAny, kAny, 1},
        {"after a key field", t, "*0015", "001=5-", 6, 0x60, 1, 1, 2, kAny, 6},
        {"entries keep the key", t, "*00159#", "001=5-9P", 8, 0x60, 1, 2, kAny, 255, 6},
        {"two entries end it", t, "*00159#8#", "001=5-8P", 8, 0x00, 1, 2},
        {"backspace back into the key field", t, "*0015<", "001=", 4, 0x20, 1, 1, 1},
        {"the handler refuses", t, "*00012#", "--P", 0, 0x00, 1, 1, kAny, kAny, kAny, kAny, 1},
        {"a show refused", t, "*000#", "--c", 0, 0x00, 1, 1, kAny, kAny, kAny, kAny, 0, 2},
    };
    testing::RunKeySequences(cases);
}

TEST(RepeatedEntries, TheCountHasAByteOfItsOwn) {
    KeypadDriver keypad(&KindTable());
    keypad.Type("*00012#3#");
    EXPECT_EQ(keypad.record().repeat_count, 2);
    EXPECT_EQ(keypad.record().line.CStr()[DisplayLine::kWidth], '\0');
    EXPECT_EQ(Fake().store_lines.size(), 2u);
}

TEST(FollowUpShow, StaysWhileTheHandlerAsksForMore) {
    KeypadDriver keypad(&KindTable());
    Fake().show_flag_shows = 2;
    keypad.Type("*0025#");
    EXPECT_EQ(keypad.Line(), "002=5-1c");
    EXPECT_EQ(keypad.record().state, kStateFollowUpShow);
    keypad.Type("#");  // shown again from the data start
    EXPECT_EQ(keypad.record().state, kStateFollowUpShow);
    EXPECT_EQ(keypad.record().line.Cursor(), 6);
    keypad.Type("#");
    EXPECT_EQ(keypad.record().state, kStateKeyFields);
    EXPECT_EQ(keypad.record().reentry_marker, 255);
    EXPECT_EQ(keypad.record().field_number, 1);
    EXPECT_EQ(Fake().show_lines.size(), 3u);
    keypad.Type("5");
    EXPECT_EQ(keypad.state().key_input.key_taken, 1);
    EXPECT_EQ(keypad.Line(), "002=5-");

    KeypadDriver plain(&KindTable());
    plain.Type("*0025#");
    EXPECT_EQ(plain.record().state, kStateKeyFields);
    EXPECT_EQ(plain.record().reentry_marker, 255);
    plain.Type("#");
    EXPECT_EQ(plain.state().key_input.key_taken, 0);
}

TEST(HexAndFixedData, Entries) {
    const CommandTable* t = &KindTable();
    const KeySequence cases[] = {
        {"hex digits fill a field", t, "*003AB", "003=AB,", 7, 0x30, 1, 1, 2},
        {"and store", t, "*003ABF19#", "003=AB,F19P", 11, 0x00, 1, 2},
        {"backspace over a hex field counts its letters", t, "*003AB<", "003=A", 5, 0x30, 1, 1, 1,
         kAny, kAny, 1},
        {"and the field refills", t, "*003AB<C", "003=AC,", 7, 0x30, 1, 1, 2},
        {"fixed data waits for '#' at once", t, "*004", "004=", 4, 0x31, 1, 1},
        {"and stores", t, "*004#", "004=P", 5, 0x00, 1, 2},
        {"backspace goes back into the number, the '=' stays", t, "*004<", "00 =", 2, 0x10, 1, 1},
    };
    testing::RunKeySequences(cases);
}

}  // namespace
}  // namespace qzs
