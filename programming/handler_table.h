// The boundary between the keypad state machine and the command handlers.
//
// The state machine reaches a handler only through StoreEnteredData and ShowCurrentData. Both
// look the command on the terminal's line up in the active command table, record it in the
// state's CurrentCommand, and call the store or show half of the slot that descriptor byte 9
// names, in the state's active handler table (the built-in one unless a test has set its own in
// state.keypad.handler_table). A slot number outside the table, such as the 0xFF of the memory
// view and edit commands, answers 1 without calling anything.
//
// A handler takes the whole state (data image, modified flags, key input block with its outcome
// and notice fields, CurrentCommand) and the terminal's record, whose display line holds the
// typed fields and receives a shown value at its cursor. It answers:
//   store: 0 accepted (written and read back equal), 1 rejected ("--P"), 2 read back different
//          ("--c");
//   show:  0 shown (the state machine appends "c"), 1 a key field out of range ("--P"), any
//          other value "--c".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qzs {

struct ProgrammingState;
struct TerminalRecord;

inline constexpr std::size_t kHandlerSlotCount = 211;

inline constexpr std::uint8_t kHandlerAccepted = 0;
inline constexpr std::uint8_t kHandlerRejected = 1;
inline constexpr std::uint8_t kHandlerMismatch = 2;

using HandlerFunction = std::uint8_t (*)(ProgrammingState& state, TerminalRecord& record);

// Both halves are indexed by the handler slot, descriptor byte 9.
struct CommandHandlerTable {
    std::array<HandlerFunction, kHandlerSlotCount> store{};
    std::array<HandlerFunction, kHandlerSlotCount> show{};
};

// The handlers of this program.
const CommandHandlerTable& BuiltInHandlerTable();
// The table the state's interpreter calls: the one a test has set, else the built-in one.
const CommandHandlerTable& ActiveHandlerTable(const ProgrammingState& state);

std::uint8_t StoreEnteredData(ProgrammingState& state, TerminalRecord& record);
std::uint8_t ShowCurrentData(ProgrammingState& state, TerminalRecord& record);

// Shared halves: the store half of show-only slots and the show half of store-only slots, and
// the slots that always refuse.
std::uint8_t AcceptEntry(ProgrammingState& state, TerminalRecord& record);  // answers 0
std::uint8_t RejectEntry(ProgrammingState& state, TerminalRecord& record);  // answers 1

}  // namespace qzs
