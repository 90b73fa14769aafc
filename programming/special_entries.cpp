// The cells of the commands that do not follow the ordinary field entry: characters typed as
// two-digit codes, the memory view and edit, repeated entries, the two-step choice with its
// confirmation prompt and the one-digit setting with its Y/N confirmation.
#include <array>
#include <string_view>

#include "programming/digit_fields.h"
#include "programming/handler_table.h"
#include "programming/keypad.h"
#include "programming/keypad_cells.h"

namespace qzs {
namespace {

char KeyChar(const ProgrammingState& state) {
    return static_cast<char>(state.key_input.key_word & 0xFF);
}

std::uint8_t KeyDigit(const ProgrammingState& state) {
    return static_cast<std::uint8_t>(KeyChar(state) - '0');
}

// The display characters by two-digit code (row x 10 + column); the katakana are the
// single-byte codes of JIS X 0201.
constexpr std::array<std::uint8_t, 100> kDisplayCharacterSet = [] {
    std::array<std::uint8_t, 100> set{};
    for (int i = 0; i < 10; ++i) set[i] = static_cast<std::uint8_t>('0' + i);
    constexpr std::string_view kSigns = " -#,*/:=";
    for (std::size_t i = 0; i < kSigns.size(); ++i) set[10 + i] = kSigns[i];
    set[18] = 0xA7;
    set[19] = 0xA8;
    for (int i = 0; i < 26; ++i) set[20 + i] = static_cast<std::uint8_t>('A' + i);
    for (int i = 0; i < 4; ++i) set[46 + i] = static_cast<std::uint8_t>(0xAC + i);
    for (int i = 0; i < 47; ++i) set[50 + i] = static_cast<std::uint8_t>(0xB1 + i);
    set[97] = 0xA9;
    set[98] = 0xAA;
    set[99] = 0xAB;
    return set;
}();

// The row digit waits in the last line position between the two digits of a code.
constexpr std::size_t kCharacterRowPosition = 26;

constexpr std::size_t kAddressDigits = 8;

}  // namespace

// --- Characters by code ---

namespace keypad {

void EnterCharacterRow(ProgrammingState& state, TerminalRecord& record) {
    record.line.Put(kCharacterRowPosition, KeyChar(state));
    record.state = kStateCharacterColumn;
}

void EnterCharacterColumn(ProgrammingState& state, TerminalRecord& record) {
    const char row = record.line.At(kCharacterRowPosition);
    if (row < '0' || row > '9') {  // only a line changed from outside gets here
        RejectKey(state, record);
        return;
    }
    const CommandDescriptor& descriptor = Descriptor(state, record);
    const unsigned code = 10u * static_cast<unsigned>(row - '0') + KeyDigit(state);
    // The row digit has done its work; it must not stay on the line that callers read back.
    record.line.Put(kCharacterRowPosition, ' ');
    record.line.Append(static_cast<char>(kDisplayCharacterSet[code]));
    ++record.field_digits;
    if (record.field_digits >= descriptor.FieldMaxDigits(record.field_number)) {
        ++record.field_number;
        record.field_digits = 0;
        record.state = kStateCharactersFull;
    } else {
        record.state = kStateCharacterRow;
    }
}

namespace {

void FinishCharacterEntry(TerminalRecord& record, const CommandDescriptor& descriptor) {
    if (descriptor.ReentryField() != 0) {
        BeginReentry(record, descriptor);
    } else {
        record.state = kStateIdle;
    }
}

}  // namespace

void EndCharacterEntry(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& descriptor = Descriptor(state, record);
    if (record.field_digits == 0) {
        const int shown_from = record.line.Cursor();
        if (!TryShow(state, record)) return;
        if (record.line.Cursor() - shown_from < 20) record.line.Append('c');
        FinishCharacterEntry(record, descriptor);
        return;
    }
    if (record.field_digits < descriptor.FieldMinDigits(record.field_number)) return;
    if (!TryStore(state, record)) return;
    // "P" stands after the whole width of the character field, typed or not.
    const int field_start = record.line.Cursor() - record.field_digits;
    record.line.SetCursor(field_start + descriptor.FieldMaxDigits(record.field_number));
    record.line.Append('P');
    MarkStored(state);
    FinishCharacterEntry(record, descriptor);
}

void EndFullCharacterEntry(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& descriptor = Descriptor(state, record);
    if (!TryStore(state, record)) return;
    record.line.Append('P');
    MarkStored(state);
    FinishCharacterEntry(record, descriptor);
}

}  // namespace keypad

// --- Memory view and edit ---

bool InMemoryViewWindow(std::uint32_t address) {
    return (address >= kWorkAreaBase && address <= kWorkAreaLast) ||
           (address >= kDeviceWindowFirst && address <= kDeviceWindowLast);
}

bool InMemoryEditWindow(std::uint32_t address) {
    // The work area is one of the two editable work-memory ranges; the other is empty here.
    return InMemoryViewWindow(address);
}

std::uint8_t ReadMaintenanceByte(const ProgrammingState& state, std::uint32_t address) {
    if (address < kWorkAreaBase || address > kWorkAreaLast) return 0;
    return state.keypad.maintenance_memory.work_area[address - kWorkAreaBase];
}

void WriteMaintenanceByte(ProgrammingState& state, std::uint32_t address, std::uint8_t value) {
    if (address < kWorkAreaBase || address > kWorkAreaLast) return;
    state.keypad.maintenance_memory.work_area[address - kWorkAreaBase] = value;
}

namespace keypad {
namespace {

std::uint32_t ParseHexAddress(const TerminalRecord& record) {
    std::uint32_t address = 0;
    for (std::size_t i = 0; i < kAddressDigits; ++i) {
        address = (address << 4) | HexCharToNibble(record.line.At(record.data_start + i));
    }
    return address;
}

void AppendHexByte(TerminalRecord& record, std::uint8_t value) {
    record.line.Append(NibbleToHexChar(static_cast<std::uint8_t>(value >> 4)));
    record.line.Append(NibbleToHexChar(static_cast<std::uint8_t>(value & 0x0F)));
}

bool IsMemoryEdit(const ProgrammingState& state, const TerminalRecord& record) {
    return Descriptor(state, record).Kind() == kKindMemoryEdit;
}

// The terminals named in block 3, bytes 42 and 43 may view memory. No terminal has the number 0,
// so an empty byte names none.
bool MayViewMemory(const ProgrammingState& state) {
    const std::uint8_t terminal = state.key_input.checking_terminal;
    if (terminal == 0) return false;
    const std::uint8_t* first = state.image.BlockByte(3, 42);
    const std::uint8_t* second = state.image.BlockByte(3, 43);
    return (first != nullptr && *first == terminal) || (second != nullptr && *second == terminal);
}

// The byte after the address, and for the edit the "-" before the new value.
void ShowMemoryByte(ProgrammingState& state, TerminalRecord& record, std::uint32_t address) {
    AppendHexByte(record, ReadMaintenanceByte(state, address));
    if (IsMemoryEdit(state, record)) {
        record.line.Append('-');
        record.line.Put(record.line.Cursor(), ' ');
        record.line.Put(record.line.Cursor() + 1u, ' ');
    }
    record.state = kStateMemoryShown;
}

void StepMemoryAddress(ProgrammingState& state, TerminalRecord& record, std::uint32_t step) {
    const std::uint32_t address = ParseHexAddress(record) + step;
    if (!InMemoryViewWindow(address)) {
        ShowEntryError(record, kHandlerRejected);
        return;
    }
    record.line.SetCursor(record.data_start);
    AppendLongNumber(record, address, kAddressDigits, 16);
    record.line.SetCursor(record.data_start + kAddressDigits + 1);
    ShowMemoryByte(state, record, address);
}

}  // namespace

void StartMemoryAddress(ProgrammingState& state, TerminalRecord& record) {
    record.line.Append(KeyChar(state));
    record.field_digits = 1;
    record.state = kStateMemoryAddress;
}

void EnterMemoryAddressDigit(ProgrammingState& state, TerminalRecord& record) {
    record.line.Append(KeyChar(state));
    ++record.field_digits;
    if (record.field_digits < kAddressDigits) return;
    record.line.Append(' ');
    const std::uint32_t address = ParseHexAddress(record);
    if (!MayViewMemory(state) || !InMemoryViewWindow(address)) {
        ShowEntryError(record, kHandlerRejected);
        return;
    }
    AppendHexByte(record, ReadMaintenanceByte(state, address));
    if (IsMemoryEdit(state, record)) record.line.Append('-');
    record.state = kStateMemoryShown;
}

void StartMemoryValue(ProgrammingState& state, TerminalRecord& record) {
    if (!IsMemoryEdit(state, record)) return;  // the view takes the key and does nothing
    record.line.Append(KeyChar(state));
    record.state = kStateMemoryValue;
}

void EnterMemoryValueDigit(ProgrammingState& state, TerminalRecord& record) {
    record.line.Append(KeyChar(state));
    record.state = kStateMemoryValueFull;
}

void WriteMemoryValue(ProgrammingState& state, TerminalRecord& record) {
    const std::uint32_t address = ParseHexAddress(record);
    if (!InMemoryEditWindow(address)) {
        ShowEntryError(record, kHandlerRejected);
        return;
    }
    const std::size_t value_at = record.data_start + kAddressDigits + 4u;
    const auto value = static_cast<std::uint8_t>(16 * HexCharToNibble(record.line.At(value_at)) +
                                                 HexCharToNibble(record.line.At(value_at + 1)));
    WriteMaintenanceByte(state, address, value);
    record.line.SetCursor(record.data_start + kAddressDigits + 1);
    AppendHexByte(record, ReadMaintenanceByte(state, address));
    record.line.Append('-');
    record.line.Put(record.line.Cursor(), ' ');
    record.line.Put(record.line.Cursor() + 1u, ' ');
    record.state = kStateMemoryShown;
}

void NextMemoryAddress(ProgrammingState& state, TerminalRecord& record) {
    StepMemoryAddress(state, record, 1);
}

void PreviousMemoryAddress(ProgrammingState& state, TerminalRecord& record) {
    StepMemoryAddress(state, record, 0xFFFFFFFFu);  // - 1, wrapping as the 32-bit address does
}

void RestartMemoryAddress(ProgrammingState&, TerminalRecord& record) {
    record.line.SetCursor(record.data_start);
    record.line.BlankFrom(record.data_start);
    record.field_digits = 0;
    record.state = kStateMemoryAddressFirst;
}

// --- Repeated entries ---

namespace {

// One more entry done: the last one ends the command, else the line stays on view for the next.
void CountRepeat(TerminalRecord& record, const CommandDescriptor& descriptor,
                 std::uint8_t next_state) {
    ++record.repeat_count;
    if (record.repeat_count == descriptor.ReentryField()) {
        record.state = kStateIdle;
        return;
    }
    record.field_digits = 0;
    record.reentry_marker = kReentryMarkerSet;
    record.state = next_state;
}

void StoreRepeat(ProgrammingState& state, TerminalRecord& record,
                 const CommandDescriptor& descriptor) {
    if (!TryStore(state, record)) return;
    record.line.Append('P');
    MarkStored(state);
    CountRepeat(record, descriptor, kStateRepeatDigits);
}

void ShowRepeat(ProgrammingState& state, TerminalRecord& record,
                const CommandDescriptor& descriptor) {
    if (!TryShow(state, record)) return;
    record.line.Append('c');
    CountRepeat(record, descriptor, kStateRepeatShown);
}

}  // namespace

void EnterRepeatDigit(ProgrammingState& state, TerminalRecord& record) {
    CutForReentry(record);
    const CommandDescriptor& descriptor = Descriptor(state, record);
    record.line.Append(KeyChar(state));
    ++record.field_digits;
    if (record.field_digits >= descriptor.FieldMaxDigits(record.field_number)) {
        record.state = kStateRepeatFull;
    }
}

void EndRepeatEntry(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& descriptor = Descriptor(state, record);
    if (record.field_digits == 0) {
        if (record.repeat_count == 0) ShowRepeat(state, record, descriptor);
        return;
    }
    if (record.field_digits < descriptor.FieldMinDigits(record.field_number)) return;
    StoreRepeat(state, record, descriptor);
}

void ShowNextRepeat(ProgrammingState& state, TerminalRecord& record) {
    CutForReentry(record);
    ShowRepeat(state, record, Descriptor(state, record));
}

void EndFixedRepeatEntry(ProgrammingState& state, TerminalRecord& record) {
    StoreRepeat(state, record, Descriptor(state, record));
}

void EraseFixedRepeatDigit(ProgrammingState&, TerminalRecord& record) {
    record.line.StepBack();
    if (record.field_digits > 0) --record.field_digits;
    record.state = kStateRepeatDigits;
}

// --- Two-step choice with a confirmation prompt (*007) ---

namespace {

constexpr std::string_view kConfirmPrompt = " Y:1/N:0 ";
constexpr std::string_view kClearWordKana = "\xB8\xD8\xB1";  // half-width "kuria"
constexpr std::string_view kClearWordLatin = "CLR";
constexpr std::string_view kResetWord = "\xD8\xBE\xAF\xC4";  // half-width "risetto"

// Block 55, byte 11, bit 7 chooses Latin letters for the prompt words.
bool LatinPrompts(const ProgrammingState& state) {
    const std::uint8_t* byte = state.image.BlockByte(55, 11);
    return byte != nullptr && (*byte & 0x80) != 0;
}

void WritePrompt(TerminalRecord& record, int at, std::string_view word) {
    record.line.Write(static_cast<std::size_t>(at), word);
    record.line.Write(static_cast<std::size_t>(at) + word.size(), kConfirmPrompt);
    record.line.SetCursor(at + static_cast<int>(word.size() + kConfirmPrompt.size()));
}

}  // namespace

void EnterChoiceDigit(ProgrammingState& state, TerminalRecord& record) {
    record.line.Append(KeyChar(state));
    ++record.field_digits;
    if (record.field_digits < 2) return;
    ++record.field_number;
    record.field_digits = 0;
    record.state = kStateChoiceFull;
}

void ConfirmChoicePrompt(ProgrammingState& state, TerminalRecord& record) {
    const int at = record.line.Cursor() - 2;
    const char first = record.line.At(static_cast<std::size_t>(at < 0 ? 0 : at));
    const char second = record.line.At(record.line.Cursor() - 1u);
    if (at >= 0 && first == '0' && second == '0') {
        WritePrompt(record, at, LatinPrompts(state) ? kClearWordLatin : kClearWordKana);
        record.state = kStateChoicePrompt;
    } else if (at >= 0 && first == '9' && second == '9') {
        WritePrompt(record, at, kResetWord);
        record.state = kStateChoicePrompt;
    } else {
        ShowEntryError(record, kHandlerRejected);
    }
}

void EraseChoiceDigit(ProgrammingState&, TerminalRecord& record) {
    --record.field_number;
    record.line.StepBack();
    record.field_digits = CountTrailingDigits(record);
    record.state = kStateChoiceDigits;
}

void EnterConfirmAnswer(ProgrammingState& state, TerminalRecord& record) {
    const char answer = KeyChar(state);
    if (answer != '0' && answer != '1') return;  // taken and ignored
    record.line.Append(answer);
    ++record.field_number;
    record.field_digits = 0;
    record.state = kStateChoiceAnswer;
}

void StoreConfirmedChoice(ProgrammingState& state, TerminalRecord& record) {
    // The handler reads the prompt and the answer from the line. The outcome stays "taken".
    const std::uint8_t result = Store(state, record);
    if (result == kHandlerAccepted) {
        record.line.Append('P');
    } else {
        ShowEntryError(record, result);
    }
    record.state = kStateIdle;
}

void EraseConfirmAnswer(ProgrammingState&, TerminalRecord& record) {
    --record.field_number;
    record.line.StepBack();
    record.field_digits = CountTrailingDigits(record);
    record.state = kStateChoicePrompt;
}

// --- One-digit setting with a Y/N confirmation (*9361) ---

namespace {

constexpr std::string_view kSettingPrompt = " Y:1/N:0";

}  // namespace

void ShowSettingBeforeEntry(ProgrammingState& state, TerminalRecord& record) {
    if (!TryShow(state, record)) return;
    // The handler writes the digit and its "c"; the cursor goes back to the digit so that the
    // digit typed next replaces them. It never goes back past the first field.
    const int first_field = 4 + IsFourDigitCommand(record);
    const int back = record.line.Cursor() - 2;
    record.line.SetCursor(back < first_field ? first_field : back);
    record.field_digits = 0;
}

void EnterSettingDigit(ProgrammingState& state, TerminalRecord& record) {
    record.line.BlankFrom(record.line.Cursor());
    record.line.Append(KeyChar(state));
    ++record.field_number;
    record.field_digits = 0;
    record.state = kStateSettingFull;
}

void PromptSettingConfirm(ProgrammingState&, TerminalRecord& record) {
    const char digit = record.line.At(record.line.Cursor() - 1u);
    if (digit != '0' && digit != '1') {
        ShowEntryError(record, kHandlerRejected);
        return;
    }
    record.line.Append(kSettingPrompt);
    record.state = kStateSettingPrompt;
}

void EnterSettingAnswer(ProgrammingState& state, TerminalRecord& record) {
    const char answer = KeyChar(state);
    if (answer != '0' && answer != '1') return;  // taken and ignored
    record.line.Append(' ');
    record.line.Append(answer);
    ++record.field_number;
    record.field_digits = 0;
    record.state = kStateSettingAnswer;
}

void StoreConfirmedSetting(ProgrammingState& state, TerminalRecord& record) {
    const char answer = record.line.At(record.line.Cursor() - 1u);
    if (answer == '0') {  // not confirmed: the setting is dropped and a new command begins
        StartCommandEntry(state, record);
        return;
    }
    if (answer != '1') {  // only a line changed from outside gets here
        RejectKey(state, record);
        return;
    }
    if (!TryStore(state, record)) return;
    record.line.BlankFrom(7);
    record.line.Put(6, 'P');
    record.line.SetCursor(7);
    MarkStored(state);
    record.state = kStateIdle;
}

}  // namespace keypad
}  // namespace qzs
