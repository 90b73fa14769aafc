// The key-state table checked cell by cell against a second, independent copy of it: which
// operation each (state, key class) cell holds, the row of every state code, the class of every
// key, and what each listed cell does to a terminal brought into its state. Then the states of the
// special entry kinds walked through as key sequences. Handlers are stand-ins; kinds that no
// built-in command uses run over a command table of the test's own.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "keypad_test_support.h"
#include "programming/keypad.h"
#include "programming/keypad_cells.h"

namespace qzs {
namespace {

using testing::Descriptor;
using testing::Fake;
using testing::kAny;
using testing::KeypadDriver;
using testing::KeySequence;
using testing::RunKeySequences;

// --- The table as names -------------------------------------------------------------------------

// One row: the cells of the digit, '#', 'A'-'F', next, previous, restart and backspace columns.
// nullptr is the refusal; the '*' column restarts the entry in every row and the "anything else"
// column refuses in every row.
struct NamedRow {
    std::uint8_t state;
    std::array<const char*, 7> cells;
};

constexpr const char* R = nullptr;

const NamedRow kNamedTable[] = {
    {0x00, {R, R, R, R, R, R, R}},
    {0x10, {"EnterCommandDigit", R, R, R, R, R, "EraseCommandDigit"}},
    {0x11, {"EnterLongCommandDigit", R, R, R, R, R, "EraseLongCommandDigit"}},
    {0x20, {"EnterKeyFieldDigit", "EndKeyField", R, R, R, R, "EraseKeyFieldDigit"}},
    {0x30, {"EnterDataDigit", "EndDataEntry", "EnterDataHexDigit", R, R, R, "EraseDataDigit"}},
    {0x31, {R, "EndFixedDataEntry", R, R, R, R, "EraseFixedDataDigit"}},
    {0x40, {"EnterCharacterRow", "EndCharacterEntry", R, R, R, R, R}},
    {0x41, {"EnterCharacterColumn", R, R, R, R, R, R}},
    {0x42, {R, "EndFullCharacterEntry", R, R, R, R, R}},
    {0x50, {"StartMemoryAddress", R, "StartMemoryAddress", R, R, "RestartMemoryAddress", R}},
    {0x51,
     {"EnterMemoryAddressDigit", R, "EnterMemoryAddressDigit", R, R, "RestartMemoryAddress", R}},
    {0x52,
     {"StartMemoryValue", R, "StartMemoryValue", "NextMemoryAddress", "PreviousMemoryAddress",
      "RestartMemoryAddress", R}},
    {0x53,
     {"EnterMemoryValueDigit", R, "EnterMemoryValueDigit", "NextMemoryAddress",
      "PreviousMemoryAddress", "RestartMemoryAddress", R}},
    {0x54,
     {R, "WriteMemoryValue", R, "NextMemoryAddress", "PreviousMemoryAddress",
      "RestartMemoryAddress", R}},
    {0x60, {"EnterRepeatDigit", "EndRepeatEntry", R, R, R, R, "EraseDataDigit"}},
    {0x61, {R, "ShowNextRepeat", R, R, R, R, R}},
    {0x62, {R, "EndFixedRepeatEntry", R, R, R, R, "EraseFixedRepeatDigit"}},
    {0x70, {"EnterChoiceDigit", R, R, R, R, R, "EraseDataDigit"}},
    {0x71, {R, "ConfirmChoicePrompt", R, R, R, R, "EraseChoiceDigit"}},
    {0x72, {"EnterConfirmAnswer", R, R, R, R, R, R}},
    {0x73, {R, "StoreConfirmedChoice", R, R, R, R, "EraseConfirmAnswer"}},
    {0x80, {R, "ShowAfterFollowUp", R, R, R, R, R}},
    {0x90, {R, "ShowFieldlessCommand", R, R, R, R, "EraseFieldlessStep"}},
    {0xA0, {"EnterSettingDigit", "ShowSettingBeforeEntry", R, R, R, R, R}},
    {0xA1, {R, "PromptSettingConfirm", R, R, R, R, R}},
    {0xA2, {"EnterSettingAnswer", R, R, R, R, R, R}},
    {0xA3, {R, "StoreConfirmedSetting", R, R, R, R, R}},
};

// Columns of NamedRow::cells in key-class order.
constexpr std::array<KeyClass, 7> kNamedColumns{kKeyDigit,    kKeyHash,    kKeyHexLetter, kKeyNext,
                                                kKeyPrevious, kKeyRestart, kKeyErase};

// The cell a row names for a key class, or nullptr for the refusal.
const char* NamedCell(const NamedRow& row, KeyClass key_class) {
    for (std::size_t i = 0; i < kNamedColumns.size(); ++i) {
        if (kNamedColumns[i] == key_class) return row.cells[i];
    }
    return key_class == kKeyStar ? "StartCommandEntry" : nullptr;
}

const std::map<std::string, KeyCell>& CellsByName() {
    static const std::map<std::string, KeyCell> cells = {
        {"RejectKey", &keypad::RejectKey},
        {"StartCommandEntry", &keypad::StartCommandEntry},
        {"EraseDataDigit", &keypad::EraseDataDigit},
        {"EnterCharacterRow", &keypad::EnterCharacterRow},
        {"EnterCharacterColumn", &keypad::EnterCharacterColumn},
        {"EndCharacterEntry", &keypad::EndCharacterEntry},
        {"EndFullCharacterEntry", &keypad::EndFullCharacterEntry},
        {"StartMemoryAddress", &keypad::StartMemoryAddress},
        {"EnterMemoryAddressDigit", &keypad::EnterMemoryAddressDigit},
        {"StartMemoryValue", &keypad::StartMemoryValue},
        {"EnterMemoryValueDigit", &keypad::EnterMemoryValueDigit},
        {"WriteMemoryValue", &keypad::WriteMemoryValue},
        {"NextMemoryAddress", &keypad::NextMemoryAddress},
        {"PreviousMemoryAddress", &keypad::PreviousMemoryAddress},
        {"RestartMemoryAddress", &keypad::RestartMemoryAddress},
        {"EnterRepeatDigit", &keypad::EnterRepeatDigit},
        {"EndRepeatEntry", &keypad::EndRepeatEntry},
        {"ShowNextRepeat", &keypad::ShowNextRepeat},
        {"EndFixedRepeatEntry", &keypad::EndFixedRepeatEntry},
        {"EraseFixedRepeatDigit", &keypad::EraseFixedRepeatDigit},
        {"EnterChoiceDigit", &keypad::EnterChoiceDigit},
        {"ConfirmChoicePrompt", &keypad::ConfirmChoicePrompt},
        {"EraseChoiceDigit", &keypad::EraseChoiceDigit},
        {"EnterConfirmAnswer", &keypad::EnterConfirmAnswer},
        {"StoreConfirmedChoice", &keypad::StoreConfirmedChoice},
        {"EraseConfirmAnswer", &keypad::EraseConfirmAnswer},
        {"EnterSettingDigit", &keypad::EnterSettingDigit},
        {"ShowSettingBeforeEntry", &keypad::ShowSettingBeforeEntry},
        {"PromptSettingConfirm", &keypad::PromptSettingConfirm},
        {"EnterSettingAnswer", &keypad::EnterSettingAnswer},
        {"StoreConfirmedSetting", &keypad::StoreConfirmedSetting},
    };
    return cells;
}

TEST(KeyStateTableCheck, StateCodesAndRows) {
    const std::pair<std::uint8_t, std::uint8_t> rows[] = {
        {0x00, 0},  {0x10, 1},  {0x11, 2},  {0x20, 3},  {0x30, 4},  {0x31, 5},  {0x40, 6},
        {0x41, 7},  {0x42, 8},  {0x50, 9},  {0x51, 10}, {0x52, 11}, {0x53, 12}, {0x54, 13},
        {0x60, 14}, {0x61, 15}, {0x62, 16}, {0x70, 17}, {0x71, 18}, {0x72, 19}, {0x73, 20},
        {0x80, 21}, {0x90, 22}, {0xA0, 23}, {0xA1, 24}, {0xA2, 25}, {0xA3, 26},
    };
    ASSERT_EQ(std::size(rows), kKeyStateRows);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const auto [state, row] = rows[i];
        SCOPED_TRACE(::testing::Message() << "state 0x" << std::hex << int{state});
        EXPECT_EQ(StateToRow(state), row);
        EXPECT_EQ(kKeyStateCodes[i], state);
        EXPECT_EQ(kNamedTable[i].state, state);
    }
    // No code of the state byte, listed or not, leads outside the table.
    for (int code = 0; code < 256; ++code) {
        EXPECT_LT(StateToRow(static_cast<std::uint8_t>(code)), kKeyStateRows) << code;
    }
}

TEST(KeyStateTableCheck, KeyClasses) {
    const std::pair<std::uint16_t, KeyClass> keys[] = {
        {'0', kKeyDigit},    {'5', kKeyDigit},       {'9', kKeyDigit},      {'*', kKeyStar},
        {'#', kKeyHash},     {'A', kKeyHexLetter},   {'C', kKeyHexLetter},  {'F', kKeyHexLetter},
        {0xB03C, kKeyNext},  {0xB03A, kKeyPrevious}, {0xB056, kKeyRestart}, {0x08, kKeyErase},
        {'G', kKeyOther},    {'a', kKeyOther},       {'f', kKeyOther},      {'@', kKeyOther},
        {'/', kKeyOther},    {':', kKeyOther},       {0x00, kKeyOther},     {0x3C, kKeyOther},
        {0x3A, kKeyOther},   {0x56, kKeyOther},      {0xB008, kKeyOther},   {0xB030, kKeyOther},
        {0x0130, kKeyOther}, {0xB03B, kKeyOther},    {0xFFFF, kKeyOther},
    };
    for (const auto& [key, key_class] : keys) {
        EXPECT_EQ(ClassifyKey(key), key_class) << "key 0x" << std::hex << key;
    }
}

TEST(KeyStateTableCheck, EveryCellHoldsTheNamedOperation) {
    const KeyStateTableType& table = KeyStateTable();
    const auto& known = CellsByName();
    // Cells of the ordinary path have no name outside the state machine: each name must stand for
    // one operation of its own, the same wherever the name occurs, and none of the named ones.
    std::map<std::string, KeyCell> unnamed;
    for (std::size_t row = 0; row < kKeyStateRows; ++row) {
        for (std::size_t column = 0; column < kKeyClasses; ++column) {
            const char* name = NamedCell(kNamedTable[row], static_cast<KeyClass>(column));
            if (name == nullptr) name = "RejectKey";
            SCOPED_TRACE(::testing::Message() << "state 0x" << std::hex << int{kKeyStateCodes[row]}
                                              << std::dec << " class " << column << ": " << name);
            const KeyCell cell = table[row][column];
            ASSERT_NE(cell, nullptr);
            if (auto it = known.find(name); it != known.end()) {
                EXPECT_EQ(cell, it->second);
                continue;
            }
            auto [it, first] = unnamed.emplace(name, cell);
            if (!first) {
                EXPECT_EQ(cell, it->second);
            }
            for (const auto& [other, named_cell] : known) {
                EXPECT_NE(cell, named_cell) << "holds " << other;
            }
        }
    }
    std::set<KeyCell> distinct;
    for (const auto& [name, cell] : unnamed) distinct.insert(cell);
    EXPECT_EQ(distinct.size(), unnamed.size());
    EXPECT_EQ(unnamed.size(), 15u);
}

// --- A terminal in each state -------------------------------------------------------------------

// Commands of the test, from *000 on:
//   *000 kind 0, key field 1 digit, data field 1-2 digits, next entry keeps field 1
//   *001 kind 0, data field of exactly 2 digits
//   *002 kind 0, key field 1 digit, no data field, next entry keeps field 1
//   *003 kind 6 (show with follow-up), data field 1-2 digits
//   *004 kind 5 (repeated), data field 1-2 digits, three entries
//   *005 kind 7 (hex data), data field 1-2 digits
//   *006 kind 0, key fields of 1 and of 0-2 digits, data field 1 digit, next entry keeps field 2
//   *007 kind 0, data fields of 1 and 1-2 digits
//   *008 kind 2 (character codes), no key field, 2-3 characters
//   *009 kind 5, key field 1 digit, data field 2-3 digits, two entries
//   *010 kind 8 (fixed data), data field 1 digit
//   *011 kind 6, key field 1 digit, data field 1-2 digits, next entry keeps field 1
const CommandTable& TestTable() {
    static const CommandTable table =
        testing::MakeTable({{0,
                             {
                                 Descriptor({0x00, 0x11, 0x11, 0x12, 0, 0, 0, 0, 1, 0}),
                                 Descriptor({0x00, 0x01, 0x22, 0, 0, 0, 0, 0, 0, 1}),
                                 Descriptor({0x00, 0x10, 0x11, 0, 0, 0, 0, 0, 1, 2}),
                                 Descriptor({0x06, 0x01, 0x12, 0, 0, 0, 0, 0, 0, 3}),
                                 Descriptor({0x05, 0x01, 0x12, 0, 0, 0, 0, 0, 3, 4}),
                                 Descriptor({0x07, 0x01, 0x12, 0, 0, 0, 0, 0, 0, 5}),
                                 Descriptor({0x00, 0x21, 0x11, 0x02, 0x11, 0, 0, 0, 2, 6}),
                                 Descriptor({0x00, 0x02, 0x11, 0x12, 0, 0, 0, 0, 0, 7}),
                                 Descriptor({0x02, 0x01, 0x23, 0, 0, 0, 0, 0, 0, 8}),
                                 Descriptor({0x05, 0x11, 0x11, 0x23, 0, 0, 0, 0, 2, 9}),
                                 Descriptor({0x08, 0x01, 0x11, 0, 0, 0, 0, 0, 0, 10}),
                                 Descriptor({0x06, 0x11, 0x11, 0x12, 0, 0, 0, 0, 1, 11}),
                             }}});
    return table;
}

// Terminal 1 may view memory; the work area holds a few bytes to show.
void MemoryAllowed(ProgrammingState& state) {
    *state.image.BlockByte(3, 42) = 1;
    auto& work = state.keypad.maintenance_memory.work_area;
    work[0] = 0x3C;
    work[1] = 0x5A;
    work[kWorkAreaSize - 1] = 0x77;
}

void FollowUpOnce(ProgrammingState&) {
    Fake().show_flag_shows = 1;
}
void FollowUpTwice(ProgrammingState&) {
    Fake().show_flag_shows = 2;
}
void ShowsWithMark(ProgrammingState&) {
    Fake().show_text = "1c";
}
void ShowsTwenty(ProgrammingState&) {
    Fake().show_text = "12345678901234567890";
}

std::string WithRow(std::string text, char row) {
    text.resize(DisplayLine::kWidth - 1, ' ');
    return text + row;
}

const std::string kClearPrompt = "007=\xB8\xD8\xB1 Y:1/N:0";
const std::string kResetPrompt = "007=\xD8\xBE\xAF\xC4 Y:1/N:0";

const CommandTable* const T = &TestTable();

// Keys that bring a fresh terminal into each of the 27 states.
struct StateSetup {
    std::uint8_t state;
    const CommandTable* table;
    const char* keys;
    void (*setup)(ProgrammingState&);
};

const StateSetup kStateSetups[] = {
    {0x00, T, "*00112#", nullptr},
    {0x10, T, "*0", nullptr},
    {0x11, T, "*91", nullptr},
    {0x20, T, "*0061", nullptr},
    {0x30, T, "*00015", nullptr},
    {0x31, T, "*00112", nullptr},
    {0x40, nullptr, "*6791", nullptr},
    {0x41, nullptr, "*67912", nullptr},
    {0x42, nullptr, "*72112021222324252627", nullptr},
    {0x50, nullptr, "*023", &MemoryAllowed},
    {0x51, nullptr, "*0230", &MemoryAllowed},
    {0x52, nullptr, "*02400100000", &MemoryAllowed},
    {0x53, nullptr, "*024001000001", &MemoryAllowed},
    {0x54, nullptr, "*0240010000012", &MemoryAllowed},
    {0x60, T, "*0041", nullptr},
    {0x61, T, "*004#", nullptr},
    {0x62, T, "*00412", nullptr},
    {0x70, nullptr, "*0070", nullptr},
    {0x71, nullptr, "*00700", nullptr},
    {0x72, nullptr, "*00700#", nullptr},
    {0x73, nullptr, "*00700#1", nullptr},
    {0x80, T, "*003#", &FollowUpTwice},
    {0x90, T, "*0021", nullptr},
    {0xA0, nullptr, "*9361", nullptr},
    {0xA1, nullptr, "*93611", nullptr},
    {0xA2, nullptr, "*93611#", nullptr},
    {0xA3, nullptr, "*93611#1", nullptr},
};

// One key of each class.
constexpr std::array<std::uint16_t, kKeyClasses> kClassKeys{
    '7',           '*', '#', 'C', kKeyNextAddress, kKeyPreviousAddress, kKeyRestartAddress,
    kKeyBackspace, 'a'};

TEST(KeyStateTableCheck, RefusedCellsChangeNothingAndStarRestartsEverywhere) {
    ASSERT_EQ(std::size(kStateSetups), kKeyStateRows);
    for (std::size_t row = 0; row < kKeyStateRows; ++row) {
        const StateSetup& s = kStateSetups[row];
        for (std::size_t column = 0; column < kKeyClasses; ++column) {
            const auto key_class = static_cast<KeyClass>(column);
            const char* name = NamedCell(kNamedTable[row], key_class);
            if (name != nullptr && key_class != kKeyStar) continue;  // checked case by case below
            SCOPED_TRACE(::testing::Message() << "state 0x" << std::hex << int{s.state} << std::dec
                                              << " class " << column);
            KeypadDriver keypad(s.table);
            if (s.setup != nullptr) s.setup(keypad.state());
            keypad.Type(s.keys);
            ASSERT_EQ(keypad.record().state, s.state);
            const TerminalRecord before = keypad.record();
            keypad.Key(kClassKeys[column]);
            const TerminalRecord& after = keypad.record();
            if (key_class == kKeyStar) {
                EXPECT_EQ(keypad.Line(), "   =");
                EXPECT_EQ(after.line.Cursor(), 0);
                EXPECT_EQ(after.state, kStateCommandNumber);
                EXPECT_EQ(after.field_number, 0);
                EXPECT_EQ(after.field_digits, 0);
                EXPECT_EQ(after.reentry_marker, 0);
                EXPECT_EQ(after.data_start, 0);
                EXPECT_EQ(keypad.state().key_input.key_taken, 1);
                EXPECT_EQ(keypad.state().key_input.outcome, kOutcomeTaken);
                continue;
            }
            EXPECT_EQ(after.line.Text(), before.line.Text());
            EXPECT_EQ(after.line.Cursor(), before.line.Cursor());
            EXPECT_EQ(after.state, before.state);
            EXPECT_EQ(after.field_number, before.field_number);
            EXPECT_EQ(after.field_digits, before.field_digits);
            EXPECT_EQ(after.data_start, before.data_start);
            EXPECT_EQ(after.reentry_marker, before.reentry_marker);
            EXPECT_EQ(keypad.state().key_input.key_taken, 0);
            EXPECT_EQ(keypad.state().key_input.outcome, kOutcomeRefused);
        }
    }
}

// Each listed cell of the ordinary path, pressed on a terminal in its state.
TEST(KeyStateTableCheck, OrdinaryCells) {
    const KeySequence cases[] = {
        // 0x10
        {"digit: first", T, "*00", "00 =", 2, 0x10, 1, 1},
        {"digit: a first 9 moves the =", T, "*9", "9   =", 1, 0x11, 1, 1},
        {"digit: the third selects the entry", T, "*000", "000=", 4, 0x20, 1, 1, 1},
        {"backspace", T, "*00<", "0  =", 1, 0x10, 1, 1},
        {"backspace at the start is taken", T, "*<", "   =", 0, 0x10, 1, 1},
        // 0x11
        {"long digit", T, "*910", "910 =", 3, 0x11, 1, 1},
        {"long digit: the fourth selects the entry", T, "*9100", "9100=", 5, 0x90, 1, 1, 1},
        {"long backspace", T, "*91<", "9   =", 1, 0x11, 1, 1},
        {"long backspace back to three digits", T, "*9<", "   =", 0, 0x10, 1, 1},
        // The state after the number, by kind.
        {"kind 0, key fields", T, "*000", "000=", 4, 0x20, 1, 1, 1},
        {"kind 0, data fields only", T, "*001", "001=", 4, 0x30, 1, 1, 1, kAny, 4, 0},
        {"kind 0, no fields", T, "*200", "200=", 4, 0x90, 1, 1, 1},
        {"kind 1", nullptr, "*007", "007=", 4, 0x70, 1, 1, 1},
        {"kind 2, no key field", T, "*008", "008=", 4, 0x40, 1, 1, 1, kAny, 4},
        {"kind 3", nullptr, "*023", "023=", 4, 0x50, 1, 1, kAny, kAny, 4},
        {"kind 4", nullptr, "*024", "024=", 4, 0x50, 1, 1, kAny, kAny, 4},
        {"kind 5, no key field", T, "*004", "004=", 4, 0x60, 1, 1, 1, kAny, 4},
        {"kind 5, key field", T, "*009", "009=", 4, 0x20, 1, 1, 1},
        {"kind 6, data fields only", T, "*003", "003=", 4, 0x30, 1, 1, 1, kAny, 4},
        {"kind 6, key field", T, "*011", "011=", 4, 0x20, 1, 1, 1},
        {"kind 7", T, "*005", "005=", 4, 0x30, 1, 1, 1, kAny, 4},
        {"kind 8", T, "*010", "010=", 4, 0x31, 1, 1, 1},
        {"kind 15", nullptr, "*9361", "9361=", 5, 0xA0, 1, 1, 1},
        // 0x20
        {"key digit fills a field: ','", T, "*0061", "006=1,", 6, 0x20, 1, 1, 2, kAny, kAny, 0},
        {"key digit in a field", T, "*00612", "006=1,2", 7, 0x20, 1, 1, 2, kAny, kAny, 1},
        {"key digit fills the last key field: '-'", T, "*006123", "006=1,23-", 9, 0x30, 1, 1, 3,
         kAny, 6, 0},
        {"key digit, no data fields", T, "*0021", "002=1-", 6, 0x90, 1, 1, 2, kAny, 4},
        {"key digit, kind 5: the data start follows", T, "*0091", "009=1-", 6, 0x60, 1, 1, 2, kAny,
         6, 0},
        {"key digit, kind 6", T, "*0111", "011=1-", 6, 0x30, 1, 1, 2, kAny, 4, 0},
        {"key digit, kind 2", nullptr, "*6791", "679=1-", 6, 0x40, 1, 1, 2, kAny, 4},
        {"# ends an empty field of minimum 0", T, "*0061#", "006=1,-", 7, 0x30, 1, 1, 3, kAny, 6,
         0},
        {"# with too few digits is refused", T, "*006#", "006=", 4, 0x20, 0, 0, 1},
        {"# in a field with digits", T, "*00612#", "006=1,2-", 8, 0x30, 1, 1, 3, kAny, 6},
        {"backspace in a field", T, "*00612<", "006=1,", 6, 0x20, 1, 1, 2, kAny, kAny, 0},
        {"backspace over a separator", T, "*0061<", "006=", 4, 0x20, 1, 1, 1, kAny, kAny, 0},
        {"backspace over an empty field's separator", T, "*0061#<", "006=1,", 6, 0x20, 1, 1, 2},
        {"backspace back into the number", T, "*006<", "00 =", 2, 0x10, 1, 1, 0},
        {"backspace into a four-digit number", nullptr, "*9210<", "921 =", 3, 0x11, 1, 1, 0},
        {"re-entry: a digit cuts back to the data start", T, "*00015#3", "000=3-", 6, 0x30, 1, 1, 2,
         0},
        {"re-entry: backspace does nothing", T, "*00015#<", "000=1-5P", 8, 0x20, 1, 1, 1, 255},
        // 0x30
        {"data digit", T, "*00015", "000=1-5", 7, 0x30, 1, 1, 2, kAny, 4, 1},
        {"data digit fills the last field", T, "*000156", "000=1-56", 8, 0x31, 1, 1, 3},
        {"data digit fills a field: ','", T, "*0071", "007=1,", 6, 0x30, 1, 1, 2, kAny, kAny, 0},
        {"data digit after a show cuts back", T, "*001#2", "001=2", 5, 0x30, 1, 1, 1, 0, 4, 1},
        {"# stores and keeps the entry", T, "*00015#", "000=1-5P", 8, 0x20, 1, 2, 1, 255, 4, 0},
        {"# stores and ends", T, "*00712#", "007=1,2P", 8, 0x00, 1, 2},
        {"# with some digits but too few", T, "*0011#", "001=1", 5, 0x30, 1, 1, 1, kAny, kAny, 1},
        {"# shows, then the next entry keeps field 1", T, "*0001#", "000=1-1c", 8, 0x20, 1, 1, 1,
         255},
        {"# shows, no field kept", T, "*001#", "001=1c", 6, 0x30, 1, 1, kAny, 255},
        {"# after a show does nothing", T, "*001##", "001=1c", 6, 0x30, 1, 1, kAny, 255},
        {"# at a later empty field does nothing", T, "*0071#", "007=1,", 6, 0x30, 1, 1, 2},
        {"# shows 20 characters: c without moving", T, "*001#", "001=12345678901234567890c", 24,
         0x30, 1, 1, kAny, 255, kAny, kAny, 0, 0, &ShowsTwenty},
        {"# store refused", T, "*00015#", "--P", 0, 0x00, 1, kAny, kAny, kAny, kAny, kAny, 1},
        {"# store read back different", T, "*00015#", "--c", 0, 0x00, 1, kAny, kAny, kAny, kAny,
         kAny, 2},
        {"# show refused", T, "*001#", "--P", 0, 0x00, 1, kAny, kAny, kAny, kAny, kAny, 0, 1},
        {"# show fails", T, "*001#", "--c", 0, 0x00, 1, kAny, kAny, kAny, kAny, kAny, 0, 2},
        {"hex digit, kind 7", T, "*005A", "005=A", 5, 0x30, 1, 1, 1, kAny, kAny, 1},
        {"hex digit, kind 7, fills the field", T, "*005AF", "005=AF", 6, 0x31, 1, 1},
        {"hex digit, kind 0, ignored", T, "*001A", "001=", 4, 0x30, 1, 1, 1, kAny, kAny, 0},
        {"data backspace", T, "*00015<", "000=1-", 6, 0x30, 1, 1, 2, kAny, kAny, 0},
        {"data backspace over '-' and the key digit", T, "*0001<", "000=", 4, 0x20, 1, 1, 1, kAny,
         kAny, 0},
        {"data backspace over ','", T, "*0071<", "007=", 4, 0x30, 1, 1, 1, kAny, kAny, 0},
        {"data backspace back into the number", T, "*001<", "00 =", 2, 0x10, 1, 1, 0},
        {"data backspace after a show does nothing", T, "*001#<", "001=1c", 6, 0x30, 1, 1, kAny,
         255},
        {"kind 6 # shows, the next entry keeps field 1", T, "*0111#", "011=1-1c", 8, 0x20, 1, 1, 1,
         255},
        {"kind 6 # shows, follow-up", T, "*0111#", "011=1-1c", 8, 0x80, 1, 1, kAny, kAny, kAny,
         kAny, 0, 0, &FollowUpOnce},
        // The follow-up show starts again at the data start, which is where the kept key field
        // begins.
        {"kind 6 follow-up ends", T, "*0111##", "011=1c1c", 6, 0x20, 1, 1, 1, 255, 4, kAny, 0, 0,
         &FollowUpOnce},
        // 0x31
        {"kind 8 # stores", T, "*010#", "010=P", 5, 0x00, 1, 2},
        {"fixed #: stored", T, "*00112#", "001=12P", 7, 0x00, 1, 2},
        {"fixed #: stored, field kept", T, "*000156#", "000=1-56P", 9, 0x20, 1, 2, 1, 255, 4, 0},
        {"fixed #: refused", T, "*00112#", "--P", 0, 0x00, 1, kAny, kAny, kAny, kAny, kAny, 1},
        {"fixed #: read back different", T, "*00112#", "--c", 0, 0x00, 1, kAny, kAny, kAny, kAny,
         kAny, 2},
        {"fixed backspace", T, "*00112<", "001=1", 5, 0x30, 1, 1, 1, kAny, kAny, 1},
        // 0x80
        {"follow-up #: shows again and ends", T, "*003##", "003=1c", 6, 0x20, 1, 1, 0, 255, kAny,
         kAny, 0, 0, &FollowUpOnce},
        {"follow-up #: more to show", T, "*003##", "003=1c", 6, 0x80, 1, 1, kAny, kAny, kAny, kAny,
         0, 0, &FollowUpTwice},
        // 0x90
        {"fieldless #: shows and keeps field 1", T, "*0021#", "002=1-1c", 8, 0x20, 1, 1, 1, 255},
        {"fieldless #: outside the table", T, "*200#", "200=1c", 6, 0x00, 1, 1},
        {"fieldless #: refused", T, "*200#", "--P", 0, 0x00, 1, kAny, kAny, kAny, kAny, kAny, 0, 1},
        {"fieldless backspace", T, "*0021<", "002=", 4, 0x20, 1, 1, 1, kAny, kAny, 0},
        {"fieldless backspace into the number", T, "*200<", "20 =", 2, 0x10, 1, 1, 0},
    };
    RunKeySequences(cases);
}

// Each listed cell of the special kinds, pressed on a terminal in its state.
TEST(KeyStateTableCheck, SpecialCells) {
    const std::string kChar679 = "679=1-";
    const KeySequence cases[] = {
        // 0x40-0x42
        {"row digit", nullptr, "*67912", WithRow(kChar679, '2'), 6, 0x41, 1, 1},
        {"# with no character shows", nullptr, "*6791#", "679=1-1c", 8, 0x20, 1, 1, 1, 255, kAny,
         0},
        {"# with characters stores", nullptr, "*67912021#", "679=1-AB" + std::string(10, ' ') + "P",
         19, 0x20, 1, 2, 1, 255, kAny, 0, 0, 0, nullptr, 26},
        {"# with too few characters is ignored", T, "*00820#", "008=A", 5, 0x40, 1, 1, kAny, kAny,
         kAny, kAny, 0, 0, nullptr, 26},
        {"column digit", nullptr, "*679120", "679=1-A", 7, 0x40, 1, 1, kAny, kAny, kAny, 1, 0, 0,
         nullptr, 26},
        {"column digit fills the field", T, "*008202122", "008=ABC", 7, 0x42, 1, 1, 2, kAny, kAny,
         0, 0, 0, nullptr, 26},
        {"# when full stores", nullptr, "*72112021222324252627#", "721=1-ABCDEFGHP", 15, 0x20, 1, 2,
         1, 255, kAny, 0, 0, 0, nullptr, 26},
        // 0x50-0x54
        {"first address digit", nullptr, "*0230", "023=0", 5, 0x51, 1, 1, kAny, kAny, 4, 1, 0, 0,
         &MemoryAllowed},
        {"first address letter", nullptr, "*023F", "023=F", 5, 0x51, 1, 1, kAny, kAny, 4, 1, 0, 0,
         &MemoryAllowed},
        {"restart before the address", nullptr, "*023r", "023=", 4, 0x50, 1, 1, kAny, kAny, kAny,
         kAny, 0, 0, &MemoryAllowed},
        {"address digit", nullptr, "*02300", "023=00", 6, 0x51, 1, 1, kAny, kAny, kAny, 2, 0, 0,
         &MemoryAllowed},
        {"address letter", nullptr, "*0230A", "023=0A", 6, 0x51, 1, 1, kAny, kAny, kAny, 2, 0, 0,
         &MemoryAllowed},
        {"eighth digit views", nullptr, "*02300100001", "023=00100001 5A", 15, 0x52, 1, 1, kAny,
         kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"eighth digit views for an edit", nullptr, "*02400100001", "024=00100001 5A-", 16, 0x52, 1,
         1, kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"restart during the address", nullptr, "*0230010r", "023=", 4, 0x50, 1, 1, kAny, kAny,
         kAny, kAny, 0, 0, &MemoryAllowed},
        {"value digit", nullptr, "*024001000011", "024=00100001 5A-1", 17, 0x53, 1, 1, kAny, kAny,
         kAny, kAny, 0, 0, &MemoryAllowed},
        {"value letter", nullptr, "*02400100001E", "024=00100001 5A-E", 17, 0x53, 1, 1, kAny, kAny,
         kAny, kAny, 0, 0, &MemoryAllowed},
        {"value digit on a view is ignored", nullptr, "*023001000011", "023=00100001 5A", 15, 0x52,
         1, 1, kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"next after a view", nullptr, "*02300100000n", "023=00100001 5A", 15, 0x52, 1, 1, kAny,
         kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"previous after a view", nullptr, "*02300100001p", "023=00100000 3C", 15, 0x52, 1, 1, kAny,
         kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"restart after a view", nullptr, "*02300100001r", "023=", 4, 0x50, 1, 1, kAny, kAny, kAny,
         kAny, 0, 0, &MemoryAllowed},
        {"second value digit", nullptr, "*0240010000112", "024=00100001 5A-12", 18, 0x54, 1, 1,
         kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"next during a value", nullptr, "*024001000001n", "024=00100001 5A-", 16, 0x52, 1, 1, kAny,
         kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"previous during a value", nullptr, "*024001000011p", "024=00100000 3C-", 16, 0x52, 1, 1,
         kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"restart during a value", nullptr, "*024001000011r", "024=", 4, 0x50, 1, 1, kAny, kAny,
         kAny, kAny, 0, 0, &MemoryAllowed},
        {"# writes the value", nullptr, "*02400100001A5#", "024=00100001 A5-", 16, 0x52, 1, 1, kAny,
         kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"next with a full value", nullptr, "*02400100000A5n", "024=00100001 5A-", 16, 0x52, 1, 1,
         kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"previous with a full value", nullptr, "*02400100001A5p", "024=00100000 3C-", 16, 0x52, 1,
         1, kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"restart with a full value", nullptr, "*02400100001A5r", "024=", 4, 0x50, 1, 1, kAny, kAny,
         kAny, kAny, 0, 0, &MemoryAllowed},
        // 0x60-0x62
        {"repeat digit", T, "*0041", "004=1", 5, 0x60, 1, 1, kAny, kAny, 4, 1},
        {"repeat digit fills the field", T, "*00412", "004=12", 6, 0x62, 1, 1},
        {"repeat # with nothing: show", T, "*004#", "004=1c", 6, 0x61, 1, 1, kAny, 255},
        {"repeat # stores", T, "*0041#", "004=1P", 6, 0x60, 1, 2, kAny, 255, kAny, 0},
        {"repeat backspace", T, "*0041<", "004=", 4, 0x60, 1, 1, kAny, kAny, kAny, 0},
        {"repeat # shows the next", T, "*004##", "004=1c", 6, 0x61, 1, 1, kAny, 255},
        {"repeat # when full stores", T, "*00412#", "004=12P", 7, 0x60, 1, 2, kAny, 255, kAny, 0},
        {"repeat backspace when full", T, "*00412<", "004=1", 5, 0x60, 1, 1, kAny, kAny, kAny, 1},
        // 0x70-0x73
        {"choice digit", nullptr, "*0070", "007=0", 5, 0x70, 1, 1, 1, kAny, kAny, 1},
        {"choice digit fills", nullptr, "*00709", "007=09", 6, 0x71, 1, 1, 2, kAny, kAny, 0},
        {"choice backspace", nullptr, "*0070<", "007=", 4, 0x70, 1, 1, 1, kAny, kAny, 0},
        {"choice # 00: clear prompt", nullptr, "*00700#", kClearPrompt, 16, 0x72, 1, 1},
        {"choice # 99: reset prompt", nullptr, "*00799#", kResetPrompt, 17, 0x72, 1, 1},
        {"choice # other: refused", nullptr, "*00712#", "--P", 0, 0x00, 1, kAny},
        {"choice backspace when full", nullptr, "*00709<", "007=0", 5, 0x70, 1, 1, 1, kAny, kAny,
         1},
        {"answer 1", nullptr, "*00700#1", kClearPrompt + " 1", 17, 0x73, 1, 1, 3, kAny, kAny, 0},
        {"answer 0", nullptr, "*00799#0", kResetPrompt + " 0", 18, 0x73, 1, 1, 3, kAny, kAny, 0},
        {"answer 5 ignored", nullptr, "*00700#5", kClearPrompt, 16, 0x72, 1, 1, 2},
        {"answer #: stored", nullptr, "*00700#1#", kClearPrompt + " 1P", 18, 0x00, 1, 1},
        {"answer #: refused", nullptr, "*00700#1#", "--P", 0, 0x00, 1, kAny, kAny, kAny, kAny, kAny,
         1},
        {"answer backspace", nullptr, "*00700#1<", kClearPrompt, 16, 0x72, 1, 1, 2, kAny, kAny, 0},
        // 0xA0-0xA3
        {"setting digit", nullptr, "*93611", "9361=1", 6, 0xA1, 1, 1, 2, kAny, kAny, 0},
        {"setting # shows first", nullptr, "*9361#", "9361=1c", 5, 0xA0, 1, 1, kAny, kAny, kAny, 0,
         0, 0, &ShowsWithMark},
        {"setting digit after the show", nullptr, "*9361#0", "9361=0", 6, 0xA1, 1, 1, 2, kAny, kAny,
         0, 0, 0, &ShowsWithMark},
        {"setting # show refused", nullptr, "*9361#", "--P", 0, 0x00, 1, kAny, kAny, kAny, kAny,
         kAny, 0, 1},
        {"setting prompt", nullptr, "*93611#", "9361=1 Y:1/N:0", 14, 0xA2, 1, 1},
        {"setting prompt, digit not 0 or 1", nullptr, "*93612#", "--P", 0, 0x00, 1, kAny},
        {"setting answer", nullptr, "*93611#1", "9361=1 Y:1/N:0 1", 16, 0xA3, 1, 1, 3, kAny, kAny,
         0},
        {"setting answer 4 ignored", nullptr, "*93611#4", "9361=1 Y:1/N:0", 14, 0xA2, 1, 1, 2},
        {"setting # stores", nullptr, "*93611#1#", "9361=1P", 7, 0x00, 1, 2},
        {"setting # drops", nullptr, "*93610#0#", "   =", 0, 0x10, 1, 1},
        {"setting # refused", nullptr, "*93611#1#", "--P", 0, 0x00, 1, kAny, kAny, kAny, kAny, kAny,
         1},
        {"setting # read back different", nullptr, "*93611#1#", "--c", 0, 0x00, 1, kAny, kAny, kAny,
         kAny, kAny, 2},
    };
    RunKeySequences(cases);
}

void SecondViewerOnly(ProgrammingState& state) {
    MemoryAllowed(state);
    *state.image.BlockByte(3, 42) = 2;
    *state.image.BlockByte(3, 43) = 1;
}

void OtherViewersOnly(ProgrammingState& state) {
    MemoryAllowed(state);
    *state.image.BlockByte(3, 42) = 2;
    *state.image.BlockByte(3, 43) = 3;
}

void LatinPrompts(ProgrammingState& state) {
    *state.image.BlockByte(55, 11) = 0x80;
}
void OtherBitsOfThePromptByte(ProgrammingState& state) {
    *state.image.BlockByte(55, 11) = 0x7F;
}

// Longer walks through the states of the special kinds: counts, windows, refusals and the way
// back to the start of an entry.
TEST(SpecialEntryKindsCheck, Walks) {
    const KeySequence cases[] = {
        // Repeated entries, three of them.
        {"three stores end the entry", T, "*0041#2#3#", "004=3P", 6, 0x00, 1, 2},
        {"two stores wait for the third", T, "*0041#2#", "004=2P", 6, 0x60, 1, 2, kAny, 255},
        {"three shows end the entry", T, "*004###", "004=1c", 6, 0x00, 1, 1},
        {"a digit after a show is refused", T, "*004#1", "004=1c", 6, 0x61, 0, 0},
        {"# with nothing after a store", T, "*0041##", "004=1P", 6, 0x60, 1, 1, kAny, 255},
        {"backspace after a store does nothing", T, "*0041#<", "004=1P", 6, 0x60, 1, 1, kAny, 255},
        {"backspace after the cut", T, "*0041#2<", "004=", 4, 0x60, 1, 1, kAny, 0, 4, 0},
        {"a new entry counts from 0", T, "*0041#2#*0041#2#", "004=2P", 6, 0x60, 1, 2},
        {"store refused", T, "*0041#", "--P", 0, 0x00, 1, kAny, kAny, kAny, kAny, kAny, 1},
        {"show refused", T, "*004#", "--c", 0, 0x00, 1, kAny, kAny, kAny, kAny, kAny, 0, 2},
        {"too few digits", T, "*00915#", "009=1-5", 7, 0x60, 1, 1, kAny, kAny, 6, 1},
        {"after the key field, a store", T, "*009156#", "009=1-56P", 9, 0x60, 1, 2, kAny, 255, 6,
         0},
        {"the next entry keeps the key field", T, "*009156#7", "009=1-7", 7, 0x60, 1, 1, kAny, 0, 6,
         1},
        {"two entries end it", T, "*009156#78#", "009=1-78P", 9, 0x00, 1, 2},
        {"a full field ends with #", T, "*0091567#", "009=1-567P", 10, 0x60, 1, 2},
        {"a show after the key field", T, "*0091#", "009=1-1c", 8, 0x61, 1, 1, kAny, 255},
        {"a show and then the end", T, "*0091##", "009=1-1c", 8, 0x00, 1, 1},
        // Show with a follow-up.
        {"follow-up until the handler is done", T, "*003###", "003=1c", 6, 0x20, 1, 1, 0, 255, kAny,
         kAny, 0, 0, &FollowUpTwice},
        {"no follow-up asked", T, "*003#", "003=1c", 6, 0x20, 1, 1, 0, 255},
        // Characters by code.
        {"after a store the key field is typed again", nullptr, "*67912021#2", "679=2-", 6, 0x40, 1,
         1, 2, 0, 4, kAny, 0, 0, nullptr, 26},
        {"twelve characters fill *679", nullptr, "*6791202122232425262728293031#",
         "679=1-ABCDEFGHIJKLP", 19, 0x20, 1, 2, 1, 255, kAny, kAny, 0, 0, nullptr, 26},
        {"the stored text is refused", nullptr, "*67912021#", "--P", 0, 0x00, 1, kAny, kAny, kAny,
         kAny, kAny, 1},
        {"the full text is refused", nullptr, "*72112021222324252627#", "--c", 0, 0x00, 1, kAny,
         kAny, kAny, kAny, kAny, 2},
        {"the show is refused", nullptr, "*6791#", "--P", 0, 0x00, 1, kAny, kAny, kAny, kAny, kAny,
         0, 1},
        {"a show with 20 characters", nullptr, "*6791#", "679=1-12345678901234567890", 26, 0x20, 1,
         1, 1, 255, kAny, kAny, 0, 0, &ShowsTwenty},
        {"no field kept after a show", T, "*008#", "008=1c", 6, 0x00, 1, 1},
        {"no field kept after a store", T, "*0082021#", "008=AB P", 8, 0x00, 1, 2},
        {"no field kept after a full text", T, "*008202122#", "008=ABCP", 8, 0x00, 1, 2},
        // Memory view and edit: terminals and windows.
        {"a terminal not allowed", nullptr, "*02300100000", "--P", 0, 0x00, 1, kAny},
        {"the second allowed terminal", nullptr, "*02300100000", "023=00100000 3C", 15, 0x52, 1, 1,
         kAny, kAny, kAny, kAny, 0, 0, &SecondViewerOnly},
        {"other terminals allowed", nullptr, "*02300100000", "--P", 0, 0x00, 1, kAny, kAny, kAny,
         kAny, kAny, 0, 0, &OtherViewersOnly},
        {"an edit checks the terminal too", nullptr, "*02400100000", "--P", 0, 0x00, 1, kAny, kAny,
         kAny, kAny, kAny, 0, 0, &OtherViewersOnly},
        {"below the work area", nullptr, "*023000FFFFF", "--P", 0, 0x00, 1, kAny, kAny, kAny, kAny,
         kAny, 0, 0, &MemoryAllowed},
        {"last byte of the work area", nullptr, "*023001002DF", "023=001002DF 77", 15, 0x52, 1, 1,
         kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"past the work area", nullptr, "*023001002E0", "--P", 0, 0x00, 1, kAny, kAny, kAny, kAny,
         kAny, 0, 0, &MemoryAllowed},
        {"below the device window", nullptr, "*023FFF01FFF", "--P", 0, 0x00, 1, kAny, kAny, kAny,
         kAny, kAny, 0, 0, &MemoryAllowed},
        {"first byte of the device window", nullptr, "*023FFF02000", "023=FFF02000 00", 15, 0x52, 1,
         1, kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"last byte of the device window", nullptr, "*023FFF02FFF", "023=FFF02FFF 00", 15, 0x52, 1,
         1, kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"past the device window", nullptr, "*023FFF03000", "--P", 0, 0x00, 1, kAny, kAny, kAny,
         kAny, kAny, 0, 0, &MemoryAllowed},
        {"next past the work area", nullptr, "*023001002DFn", "--P", 0, 0x00, 1, kAny, kAny, kAny,
         kAny, kAny, 0, 0, &MemoryAllowed},
        {"previous before the work area", nullptr, "*02400100000p", "--P", 0, 0x00, 1, kAny, kAny,
         kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"next past the device window", nullptr, "*024FFF02FFFn", "--P", 0, 0x00, 1, kAny, kAny,
         kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"next within the device window", nullptr, "*024FFF02AFFn", "024=FFF02B00 00-", 16, 0x52, 1,
         1, kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"the device window keeps nothing", nullptr, "*024FFF02000A5#", "024=FFF02000 00-", 16,
         0x52, 1, 1, kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"a written byte is viewed", nullptr, "*02400100002A5#*02300100002", "023=00100002 A5", 15,
         0x52, 1, 1, kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"a second value after a write", nullptr, "*02400100001A5#B6#", "024=00100001 B6-", 16,
         0x52, 1, 1, kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        {"a new address after a restart", nullptr, "*02300100000r001002DF", "023=001002DF 77", 15,
         0x52, 1, 1, kAny, kAny, kAny, kAny, 0, 0, &MemoryAllowed},
        // The confirmed choice and the confirmed setting.
        {"choice 99 answered 0 is stored", nullptr, "*00799#0#", kResetPrompt + " 0P", 19, 0x00, 1,
         1},
        {"the answer taken back and given again", nullptr, "*00700#1<0#", kClearPrompt + " 0P", 18,
         0x00, 1, 1},
        {"back from the prompt word is refused", nullptr, "*00700#<", kClearPrompt, 16, 0x72, 0, 0},
        {"the clear word in Latin letters", nullptr, "*00700#", "007=CLR Y:1/N:0", 16, 0x72, 1, 1,
         kAny, kAny, kAny, kAny, 0, 0, &LatinPrompts},
        {"the other bits leave katakana", nullptr, "*00700#", kClearPrompt, 16, 0x72, 1, 1, kAny,
         kAny, kAny, kAny, 0, 0, &OtherBitsOfThePromptByte},
        {"the reset word has no Latin form", nullptr, "*00799#", kResetPrompt, 17, 0x72, 1, 1, kAny,
         kAny, kAny, kAny, 0, 0, &LatinPrompts},
        {"the setting 0", nullptr, "*93610#1#", "9361=0P", 7, 0x00, 1, 2},
        {"the setting 0 prompts", nullptr, "*93610#", "9361=0 Y:1/N:0", 14, 0xA2, 1, 1},
        {"the setting 9 is refused", nullptr, "*93619#", "--P", 0, 0x00, 1, kAny},
        {"the setting after its show", nullptr, "*9361#1#1#", "9361=1P", 7, 0x00, 1, 2, kAny, kAny,
         kAny, kAny, 0, 0, &ShowsWithMark},
        {"the setting dropped, then a new command", nullptr, "*93611#0#002", "002=", 4, 0x30, 1, 1},
        {"# at once after the setting digit's prompt", nullptr, "*93611##", "9361=1 Y:1/N:0", 14,
         0xA2, 0, 0},
    };
    RunKeySequences(cases);
}

TEST(SpecialEntryKindsCheck, WhatTheHandlersAreGiven) {
    {
        KeypadDriver keypad;
        keypad.Type("*00700#1#");
        ASSERT_EQ(Fake().store_lines.size(), 1u);
        EXPECT_EQ(Fake().store_lines[0].substr(0, 17), kClearPrompt + " 1");
    }
    {
        KeypadDriver keypad;
        keypad.Type("*93610#1#");
        ASSERT_EQ(Fake().store_lines.size(), 1u);
        EXPECT_EQ(Fake().store_lines[0].substr(0, 6), "9361=0");
    }
    {
        KeypadDriver keypad;
        keypad.Type("*93611#0#");
        EXPECT_TRUE(Fake().store_lines.empty());
    }
    {
        KeypadDriver keypad;
        MemoryAllowed(keypad.state());
        keypad.Type("*024001002DF9C#");
        EXPECT_EQ(keypad.state().keypad.maintenance_memory.work_area[kWorkAreaSize - 1], 0x9C);
        EXPECT_EQ(ReadMaintenanceByte(keypad.state(), kWorkAreaLast), 0x9C);
        EXPECT_TRUE(Fake().store_lines.empty());
    }
}

// Only the eighth address digit asks whether the terminal may view; writing and stepping to the
// next or previous address check the windows alone.
TEST(SpecialEntryKindsCheck, OnlyTheViewChecksTheTerminal) {
    const char* const steps[] = {"A5#", "n", "p"};
    for (const char* step : steps) {
        SCOPED_TRACE(step);
        KeypadDriver keypad;
        MemoryAllowed(keypad.state());
        keypad.Type("*02400100001");
        ASSERT_EQ(keypad.record().state, kStateMemoryShown);
        *keypad.state().image.BlockByte(3, 42) = 9;
        keypad.Type(step);
        EXPECT_EQ(keypad.record().state, kStateMemoryShown);
        EXPECT_EQ(keypad.Line().substr(0, 4), "024=");
        EXPECT_EQ(keypad.record().line.Cursor(), 16);
    }
}

// The 100 display characters of the two-digit codes.
TEST(SpecialEntryKindsCheck, CharacterCodes) {
    std::array<unsigned char, 100> expected{};
    for (int c = 0; c <= 9; ++c) expected[c] = static_cast<unsigned char>('0' + c);
    const char punctuation[] = " -#,*/:=";
    for (int c = 10; c <= 17; ++c) expected[c] = static_cast<unsigned char>(punctuation[c - 10]);
    expected[18] = 0xA7;
    expected[19] = 0xA8;
    for (int c = 20; c <= 45; ++c) expected[c] = static_cast<unsigned char>('A' + c - 20);
    for (int c = 46; c <= 49; ++c) expected[c] = static_cast<unsigned char>(0xAC + c - 46);
    for (int c = 50; c <= 96; ++c) expected[c] = static_cast<unsigned char>(0xB1 + c - 50);
    expected[97] = 0xA9;
    expected[98] = 0xAA;
    expected[99] = 0xAB;
    for (int code = 0; code < 100; ++code) {
        KeypadDriver keypad;
        const std::string keys = "*7211" + std::to_string(code / 10) + std::to_string(code % 10);
        keypad.Type(keys);
        const TerminalRecord& r = keypad.record();
        EXPECT_EQ(static_cast<unsigned char>(r.line.At(6)), expected[code]) << code;
        EXPECT_EQ(r.line.Cursor(), 7) << code;
        EXPECT_EQ(r.state, kStateCharacterRow) << code;
    }
}

}  // namespace
}  // namespace qzs
