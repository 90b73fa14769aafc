#include "programming/keypad.h"

#include "programming/handler_table.h"
#include "programming/keypad_cells.h"

namespace qzs {
namespace keypad {

const CommandDescriptor& Descriptor(const ProgrammingState& state, const TerminalRecord& record) {
    // The table is found once for the lookup and the record.
    const CommandTable& table = ActiveCommandTable(state);
    return table.At(table.Lookup(record.line.Text().substr(0, 4)));
}

std::uint8_t Store(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t result = StoreEnteredData(state, record);
    state.keypad.last_entry = {EntryEventKind::kStore, result};
    return result;
}

std::uint8_t Show(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t result = ShowCurrentData(state, record);
    state.keypad.last_entry = {EntryEventKind::kShow, result};
    return result;
}

bool TryStore(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t result = Store(state, record);
    if (result != kHandlerAccepted) ShowEntryError(record, result);
    return result == kHandlerAccepted;
}

bool TryShow(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t result = Show(state, record);
    if (result != kHandlerAccepted) ShowEntryError(record, result);
    return result == kHandlerAccepted;
}

void MarkStored(ProgrammingState& state) {
    if (state.key_input.outcome == kOutcomeTaken) state.key_input.outcome = kOutcomeStored;
}

void RejectKey(ProgrammingState& state, TerminalRecord&) {
    state.key_input.key_taken = 0;
    state.key_input.outcome = kOutcomeRefused;
}

void StartCommandEntry(ProgrammingState& state, TerminalRecord& record) {
    // Whatever entry was in progress is dropped without a word, as on the main unit.
    state.keypad.last_entry = {};
    record.line.Blank();
    record.line.SetCursor(0);
    record.repeat_count = 0;
    record.window_start = 0;
    record.data_start = 0;
    record.reentry_marker = 0;
    record.field_digits = 0;
    record.field_number = 0;
    record.show_flag = 0;
    record.continuation_flag = 0;
    record.line.Put(3, '=');
    record.state = kStateCommandNumber;
}

void BeginReentry(TerminalRecord& record, const CommandDescriptor& descriptor) {
    record.field_number = descriptor.ReentryField();
    record.reentry_marker = kReentryMarkerSet;
    record.field_digits = 0;
    record.state = kStateKeyFields;
}

void CutForReentry(TerminalRecord& record) {
    if (record.reentry_marker == 0) return;
    record.line.SetCursor(record.data_start);
    record.reentry_marker = 0;
    record.line.BlankFrom(record.data_start);
}

void EraseIntoCommandNumber(TerminalRecord& record) {
    // The cursor stands after "=": step back over it and blank the last command digit; the "="
    // stays where it is.
    record.field_number = 0;
    record.field_digits = 0;
    record.line.SetCursor(record.line.Cursor() - 2);
    record.line.Put(record.line.Cursor(), ' ');
    record.state = IsFourDigitCommand(record) != 0 ? kStateLongCommandNumber : kStateCommandNumber;
}

namespace {

bool IsFieldSeparator(char c) {
    return c == ',' || c == '-' || c == '=';
}

bool IsHexLetter(char c) {
    return c >= 'A' && c <= 'F';
}

}  // namespace

std::uint8_t TrailingFieldLength(const TerminalRecord& record, bool hex_field) {
    if (!hex_field) return CountTrailingDigits(record);
    std::uint8_t count = 0;
    for (std::size_t p = record.line.Cursor(); p > 2; --p) {
        const char c = record.line.At(p - 1);
        if (!(c >= '0' && c <= '9') && !IsHexLetter(c)) break;
        ++count;
    }
    return count;
}

void EraseIntoPreviousField(TerminalRecord& record, bool hex_field) {
    record.line.StepBack();  // the separator
    // A field that was left empty has no last character: the character before its separator is
    // the separator before it, or the "=" of the command number, and both must stay.
    if (record.line.Cursor() > 0 && !IsFieldSeparator(record.line.At(record.line.Cursor() - 1))) {
        record.line.StepBack();
        record.field_digits = TrailingFieldLength(record, hex_field);
    } else {
        record.field_digits = 0;
    }
}

// Backspace inside the current field, or from the first field back into the command number;
// answers false when the key has to step back into the previous field instead.
bool EraseWithinField(TerminalRecord& record) {
    if (record.reentry_marker != 0) return true;
    if (record.field_digits > 0) {
        --record.field_digits;
        record.line.StepBack();
        return true;
    }
    if (record.field_number <= 1) {
        EraseIntoCommandNumber(record);
        return true;
    }
    return false;
}

void EraseDataDigit(ProgrammingState& state, TerminalRecord& record) {
    if (EraseWithinField(record)) return;
    const CommandDescriptor& descriptor = Descriptor(state, record);
    --record.field_number;
    EraseIntoPreviousField(record, descriptor.Kind() == kKindHexData);
    if (record.field_number == descriptor.KeyFieldCount()) record.state = kStateKeyFields;
}

}  // namespace keypad

using namespace keypad;

namespace {

char KeyChar(const ProgrammingState& state) {
    return static_cast<char>(state.key_input.key_word & 0xFF);
}

// Cells of the ordinary path.

void EnterCommandDigit(ProgrammingState& state, TerminalRecord& record) {
    record.line.Append(KeyChar(state));
    const std::uint8_t cursor = record.line.Cursor();
    if (cursor == 1 && record.line.At(0) == '9') {
        record.line.Put(3, ' ');
        record.line.Put(4, '=');
        record.state = kStateLongCommandNumber;
    } else if (cursor >= 3) {
        record.line.SetCursor(4);
        record.field_number = 1;
        record.state = SelectEntryState(state, record);
    }
}

void EraseCommandDigit(ProgrammingState&, TerminalRecord& record) {
    record.line.StepBack();
}

void EnterLongCommandDigit(ProgrammingState& state, TerminalRecord& record) {
    record.line.Append(KeyChar(state));
    if (record.line.Cursor() >= 4) {
        record.line.SetCursor(5);
        record.field_number = 1;
        record.state = SelectEntryState(state, record);
    }
}

void EraseLongCommandDigit(ProgrammingState&, TerminalRecord& record) {
    record.line.StepBack();
    if (record.line.Cursor() == 0) {
        record.line.Put(4, ' ');
        record.line.Put(3, '=');
        record.state = kStateCommandNumber;
    }
}

// The current key field is complete: separator, data start of the re-entry field, next state.
void EndOfKeyField(TerminalRecord& record, const CommandDescriptor& descriptor) {
    if (record.field_number == descriptor.ReentryField()) {
        const int start = record.line.Cursor() - record.field_digits;
        record.data_start = static_cast<std::uint8_t>(start < 0 ? 0 : start);
    }
    record.field_digits = 0;
    if (record.field_number == descriptor.KeyFieldCount()) {
        record.line.Append('-');
        if (descriptor.DataFieldCount() == 0) {
            record.state = kStateFieldless;
        } else if (descriptor.Kind() == kKindCharacterCodes) {
            record.state = kStateCharacterRow;
        } else if (descriptor.Kind() == kKindRepeated) {
            record.data_start = record.line.Cursor();
            record.state = kStateRepeatDigits;
        } else {
            record.state = kStateDataFields;
        }
    } else {
        record.line.Append(',');
    }
    ++record.field_number;
}

void EnterKeyFieldDigit(ProgrammingState& state, TerminalRecord& record) {
    CutForReentry(record);
    const CommandDescriptor& descriptor = Descriptor(state, record);
    record.line.Append(KeyChar(state));
    ++record.field_digits;
    if (record.field_digits >= descriptor.FieldMaxDigits(record.field_number)) {
        EndOfKeyField(record, descriptor);
    }
}

void EndKeyField(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& descriptor = Descriptor(state, record);
    if (record.field_digits < descriptor.FieldMinDigits(record.field_number)) {
        RejectKey(state, record);
        return;
    }
    // '#' right after a kept entry leaves the re-entry field empty: it starts the new entry as a
    // digit would, so the line is cut back first and the field ends at the place it belongs.
    CutForReentry(record);
    EndOfKeyField(record, descriptor);
}

void EraseKeyFieldDigit(ProgrammingState&, TerminalRecord& record) {
    if (EraseWithinField(record)) return;
    --record.field_number;
    EraseIntoPreviousField(record, false);
}

void EnterDataDigit(ProgrammingState& state, TerminalRecord& record) {
    CutForReentry(record);
    const CommandDescriptor& descriptor = Descriptor(state, record);
    record.line.Append(KeyChar(state));
    ++record.field_digits;
    if (record.field_digits < descriptor.FieldMaxDigits(record.field_number)) return;
    record.field_digits = 0;
    if (record.field_number >= descriptor.KeyFieldCount() + descriptor.DataFieldCount()) {
        record.state = kStateDataFull;
    } else {
        record.line.Append(',');
    }
    ++record.field_number;
}

void EnterDataHexDigit(ProgrammingState& state, TerminalRecord& record) {
    // Only the hex-data kind takes A-F into its fields; elsewhere the key is taken and ignored.
    if (Descriptor(state, record).Kind() == kKindHexData) EnterDataDigit(state, record);
}

// Store the typed entry and either keep it on view for the next one or end.
void StoreAndFinish(ProgrammingState& state, TerminalRecord& record,
                    const CommandDescriptor& descriptor) {
    if (!TryStore(state, record)) return;
    record.line.Append('P');
    MarkStored(state);
    if (descriptor.ReentryField() != 0) {
        BeginReentry(record, descriptor);
    } else {
        record.state = kStateIdle;
    }
}

void EndDataEntry(ProgrammingState& state, TerminalRecord& record) {
    if (record.reentry_marker != 0) return;
    const CommandDescriptor& descriptor = Descriptor(state, record);
    const unsigned field = record.field_number;
    if (record.field_digits >= descriptor.FieldMinDigits(field)) {
        StoreAndFinish(state, record, descriptor);
        return;
    }
    // Some digits but too few, or nothing typed in a later field: the key is taken, nothing
    // happens.
    if (record.field_digits > 0 || field != descriptor.KeyFieldCount() + 1u) return;

    const int shown_from = record.line.Cursor();
    if (!TryShow(state, record)) return;
    // A value of 20 characters or more fills what a telephone's display shows: the "c" is
    // written but the cursor stays on it.
    const int shown = record.line.Cursor() - shown_from;
    record.line.Put(record.line.Cursor(), 'c');
    if (shown < 20) record.line.SetCursor(record.line.Cursor() + 1);
    if (descriptor.Kind() == kKindFollowUpShow) {
        if (record.show_flag != 0 || record.continuation_flag != 0) {
            record.state = kStateFollowUpShow;
        } else {
            BeginReentry(record, descriptor);
        }
    } else if (descriptor.ReentryField() != 0) {
        BeginReentry(record, descriptor);
    } else {
        // The next digit cuts the line back to the data start and starts a new entry.
        record.reentry_marker = kReentryMarkerSet;
        record.state = kStateDataFields;
    }
}

void EndFixedDataEntry(ProgrammingState& state, TerminalRecord& record) {
    StoreAndFinish(state, record, Descriptor(state, record));
}

void EraseFixedDataDigit(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& descriptor = Descriptor(state, record);
    // The fixed-data kind comes here straight from the command number with nothing typed: the
    // backspace then goes back into the number, as in every other first field, rather than
    // erasing the "=".
    if (record.field_number <= 1 && record.line.At(record.line.Cursor() - 1u) == '=') {
        EraseIntoCommandNumber(record);
        return;
    }
    --record.field_number;
    record.line.StepBack();
    record.field_digits = TrailingFieldLength(record, descriptor.Kind() == kKindHexData);
    record.state = kStateDataFields;
}

void ShowAfterFollowUp(ProgrammingState& state, TerminalRecord& record) {
    record.line.SetCursor(record.data_start);
    if (!TryShow(state, record)) return;
    record.line.Append('c');
    if (record.show_flag == 0 && record.continuation_flag == 0) {
        BeginReentry(record, Descriptor(state, record));
    }
}

void ShowFieldlessCommand(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& descriptor = Descriptor(state, record);
    if (!TryShow(state, record)) return;
    record.line.Append('c');
    if (descriptor.ReentryField() != 0) {
        BeginReentry(record, descriptor);
    } else {
        record.state = kStateIdle;
    }
}

void EraseFieldlessStep(ProgrammingState& state, TerminalRecord& record) {
    if (record.field_number <= 1) {
        EraseIntoCommandNumber(record);
        return;
    }
    const CommandDescriptor& descriptor = Descriptor(state, record);
    --record.field_number;
    EraseIntoPreviousField(record, false);  // the "-" and the last key digit
    if (record.field_number == descriptor.KeyFieldCount()) record.state = kStateKeyFields;
}

constexpr KeyCell R = &RejectKey;
constexpr KeyCell S = &StartCommandEntry;

// Columns: digit, '*', '#', A-F, next address, previous address, restart address, backspace,
// anything else.
constexpr KeyStateTableType kKeyStateTable{{
    /* 0x00 */ {R, S, R, R, R, R, R, R, R},
    /* 0x10 */ {&EnterCommandDigit, S, R, R, R, R, R, &EraseCommandDigit, R},
    /* 0x11 */ {&EnterLongCommandDigit, S, R, R, R, R, R, &EraseLongCommandDigit, R},
    /* 0x20 */ {&EnterKeyFieldDigit, S, &EndKeyField, R, R, R, R, &EraseKeyFieldDigit, R},
    /* 0x30 */
    {&EnterDataDigit, S, &EndDataEntry, &EnterDataHexDigit, R, R, R, &EraseDataDigit, R},
    /* 0x31 */ {R, S, &EndFixedDataEntry, R, R, R, R, &EraseFixedDataDigit, R},
    /* 0x40 */ {&EnterCharacterRow, S, &EndCharacterEntry, R, R, R, R, R, R},
    /* 0x41 */ {&EnterCharacterColumn, S, R, R, R, R, R, R, R},
    /* 0x42 */ {R, S, &EndFullCharacterEntry, R, R, R, R, R, R},
    /* 0x50 */ {&StartMemoryAddress, S, R, &StartMemoryAddress, R, R, &RestartMemoryAddress, R, R},
    /* 0x51 */
    {&EnterMemoryAddressDigit, S, R, &EnterMemoryAddressDigit, R, R, &RestartMemoryAddress, R, R},
    /* 0x52 */
    {&StartMemoryValue, S, R, &StartMemoryValue, &NextMemoryAddress, &PreviousMemoryAddress,
     &RestartMemoryAddress, R, R},
    /* 0x53 */
    {&EnterMemoryValueDigit, S, R, &EnterMemoryValueDigit, &NextMemoryAddress,
     &PreviousMemoryAddress, &RestartMemoryAddress, R, R},
    /* 0x54 */
    {R, S, &WriteMemoryValue, R, &NextMemoryAddress, &PreviousMemoryAddress, &RestartMemoryAddress,
     R, R},
    /* 0x60 */ {&EnterRepeatDigit, S, &EndRepeatEntry, R, R, R, R, &EraseDataDigit, R},
    /* 0x61 */ {R, S, &ShowNextRepeat, R, R, R, R, R, R},
    /* 0x62 */ {R, S, &EndFixedRepeatEntry, R, R, R, R, &EraseFixedRepeatDigit, R},
    /* 0x70 */ {&EnterChoiceDigit, S, R, R, R, R, R, &EraseDataDigit, R},
    /* 0x71 */ {R, S, &ConfirmChoicePrompt, R, R, R, R, &EraseChoiceDigit, R},
    /* 0x72 */ {&EnterConfirmAnswer, S, R, R, R, R, R, R, R},
    /* 0x73 */ {R, S, &StoreConfirmedChoice, R, R, R, R, &EraseConfirmAnswer, R},
    /* 0x80 */ {R, S, &ShowAfterFollowUp, R, R, R, R, R, R},
    /* 0x90 */ {R, S, &ShowFieldlessCommand, R, R, R, R, &EraseFieldlessStep, R},
    /* 0xA0 */ {&EnterSettingDigit, S, &ShowSettingBeforeEntry, R, R, R, R, R, R},
    /* 0xA1 */ {R, S, &PromptSettingConfirm, R, R, R, R, R, R},
    /* 0xA2 */ {&EnterSettingAnswer, S, R, R, R, R, R, R, R},
    /* 0xA3 */ {R, S, &StoreConfirmedSetting, R, R, R, R, R, R},
}};

}  // namespace

namespace {

// The row of every state code, made once from the codes: a key looks its row up instead of
// searching the codes.
constexpr std::array<std::uint8_t, 256> kRowOfState = [] {
    std::array<std::uint8_t, 256> rows{};
    for (std::size_t row = 0; row < kKeyStateRows; ++row) {
        rows[kKeyStateCodes[row]] = static_cast<std::uint8_t>(row);
    }
    return rows;
}();

}  // namespace

std::uint8_t StateToRow(std::uint8_t state) {
    return kRowOfState[state];
}

KeyClass ClassifyKey(std::uint16_t key_word) {
    if (key_word >= '0' && key_word <= '9') return kKeyDigit;
    if (key_word >= 'A' && key_word <= 'F') return kKeyHexLetter;
    switch (key_word) {
        case '*':
            return kKeyStar;
        case '#':
            return kKeyHash;
        case kKeyNextAddress:
            return kKeyNext;
        case kKeyPreviousAddress:
            return kKeyPrevious;
        case kKeyRestartAddress:
            return kKeyRestart;
        case kKeyBackspace:
            return kKeyErase;
        default:
            return kKeyOther;
    }
}

const KeyStateTableType& KeyStateTable() {
    return kKeyStateTable;
}

void ProcessKey(ProgrammingState& state) {
    ApplicationLock::Guard guard(state.lock);
    ProcessKeyLocked(state);
}

void ProcessKeyLocked(ProgrammingState& state) {
    KeyInputBlock& input = state.key_input;
    TerminalRecord* record = FindTerminal(state.terminals, input.current_terminal);
    if (record == nullptr) {
        input.key_taken = 0;
        input.outcome = kOutcomeRefused;
        return;
    }
    input.key_taken = 1;
    input.outcome = kOutcomeTaken;
    kKeyStateTable[kRowOfState[record->state]][ClassifyKey(input.key_word)](state, *record);
    UpdateWindowStart(*record);
}

std::uint8_t SelectEntryState(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& descriptor = Descriptor(state, record);
    const bool has_key_fields = descriptor.KeyFieldCount() != 0;
    switch (descriptor.Kind()) {
        case kKindConfirmedChoice:
            return kStateChoiceDigits;
        case kKindMemoryView:
        case kKindMemoryEdit:
            record.data_start = record.line.Cursor();
            return kStateMemoryAddressFirst;
        case kKindRepeated:
            if (has_key_fields) return kStateKeyFields;
            record.data_start = record.line.Cursor();
            return kStateRepeatDigits;
        case kKindFixedData:
            return kStateDataFull;
        case kKindConfirmedSetting:
            return kStateSettingDigit;
        default:
            // Kinds without a path of their own (9-14, above 15) take the ordinary one.
            if (has_key_fields) return kStateKeyFields;
            if (descriptor.DataFieldCount() == 0) return kStateFieldless;
            record.data_start = record.line.Cursor();
            return descriptor.Kind() == kKindCharacterCodes ? kStateCharacterRow : kStateDataFields;
    }
}

}  // namespace qzs
