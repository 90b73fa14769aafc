// Inside the keypad state machine: the helpers its cells share and the cells of the special
// entry kinds, which keypad.cpp places into the key-state table.
#pragma once

#include <cstdint>

#include "programming/command_table.h"
#include "programming/state.h"
#include "programming/terminal.h"

namespace qzs::keypad {

// The descriptor of the number on the line, looked up afresh (a cell may run on a line that an
// earlier cell or a caller changed).
const CommandDescriptor& Descriptor(const ProgrammingState& state, const TerminalRecord& record);

// The handler calls of the state machine; each records its answer in state.keypad.last_entry.
std::uint8_t Store(ProgrammingState& state, TerminalRecord& record);
std::uint8_t Show(ProgrammingState& state, TerminalRecord& record);

// Store or show; a refusal or mismatch is put on the line ("--P" / "--c") and answers false.
[[nodiscard]] bool TryStore(ProgrammingState& state, TerminalRecord& record);
bool TryShow(ProgrammingState& state, TerminalRecord& record);

// A successful store turns the outcome "taken" into "stored"; an outcome a handler set stays.
void MarkStored(ProgrammingState& state);

void RejectKey(ProgrammingState& state, TerminalRecord& record);
void StartCommandEntry(ProgrammingState& state, TerminalRecord& record);

// Keeps the finished entry on view and waits for the re-entry field again.
void BeginReentry(TerminalRecord& record, const CommandDescriptor& descriptor);
// The first key of a new entry after a kept one: cut the line back to the data start.
void CutForReentry(TerminalRecord& record);

// Backspace at the start of the first field: back into the command number.
void EraseIntoCommandNumber(TerminalRecord& record);
// Backspace over the separator before the current field (and the previous field's last
// character, when it has one).
void EraseIntoPreviousField(TerminalRecord& record, bool hex_field);
// Characters of the current field before the cursor: digits, and 'A'-'F' for hex fields.
std::uint8_t TrailingFieldLength(const TerminalRecord& record, bool hex_field);

// The ordinary backspace of data fields, also used by the repeated and choice kinds.
void EraseDataDigit(ProgrammingState& state, TerminalRecord& record);

// Cells of the special entry kinds.
void EnterCharacterRow(ProgrammingState& state, TerminalRecord& record);
void EnterCharacterColumn(ProgrammingState& state, TerminalRecord& record);
void EndCharacterEntry(ProgrammingState& state, TerminalRecord& record);
void EndFullCharacterEntry(ProgrammingState& state, TerminalRecord& record);

void StartMemoryAddress(ProgrammingState& state, TerminalRecord& record);
void EnterMemoryAddressDigit(ProgrammingState& state, TerminalRecord& record);
void StartMemoryValue(ProgrammingState& state, TerminalRecord& record);
void EnterMemoryValueDigit(ProgrammingState& state, TerminalRecord& record);
void WriteMemoryValue(ProgrammingState& state, TerminalRecord& record);
void NextMemoryAddress(ProgrammingState& state, TerminalRecord& record);
void PreviousMemoryAddress(ProgrammingState& state, TerminalRecord& record);
void RestartMemoryAddress(ProgrammingState& state, TerminalRecord& record);

void EnterRepeatDigit(ProgrammingState& state, TerminalRecord& record);
void EndRepeatEntry(ProgrammingState& state, TerminalRecord& record);
void ShowNextRepeat(ProgrammingState& state, TerminalRecord& record);
void EndFixedRepeatEntry(ProgrammingState& state, TerminalRecord& record);
void EraseFixedRepeatDigit(ProgrammingState& state, TerminalRecord& record);

void EnterChoiceDigit(ProgrammingState& state, TerminalRecord& record);
void ConfirmChoicePrompt(ProgrammingState& state, TerminalRecord& record);
void EraseChoiceDigit(ProgrammingState& state, TerminalRecord& record);
void EnterConfirmAnswer(ProgrammingState& state, TerminalRecord& record);
void StoreConfirmedChoice(ProgrammingState& state, TerminalRecord& record);
void EraseConfirmAnswer(ProgrammingState& state, TerminalRecord& record);

void EnterSettingDigit(ProgrammingState& state, TerminalRecord& record);
void ShowSettingBeforeEntry(ProgrammingState& state, TerminalRecord& record);
void PromptSettingConfirm(ProgrammingState& state, TerminalRecord& record);
void EnterSettingAnswer(ProgrammingState& state, TerminalRecord& record);
void StoreConfirmedSetting(ProgrammingState& state, TerminalRecord& record);

}  // namespace qzs::keypad
