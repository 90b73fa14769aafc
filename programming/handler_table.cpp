#include "programming/handler_table.h"

#include "programming/command_table.h"
#include "programming/state.h"
#include "programming/terminal.h"

namespace qzs {
namespace {

// PLACEHOLDER: every slot refuses until the store and show handlers are written; they replace
// this function slot by slot, and then it goes.
std::uint8_t HandlerNotWrittenYet(ProgrammingState&, TerminalRecord&) {
    return kHandlerRejected;
}

CommandHandlerTable MakeBuiltInTable() {
    CommandHandlerTable table;
    table.store.fill(&HandlerNotWrittenYet);
    table.show.fill(&HandlerNotWrittenYet);
    return table;
}

using Half = std::array<HandlerFunction, kHandlerSlotCount> CommandHandlerTable::*;

std::uint8_t Dispatch(ProgrammingState& state, TerminalRecord& record, Half half) {
    const std::uint16_t index = LookupCommandIndex(state, record);
    state.current_command.index = index;
    state.current_command.four_digit = IsFourDigitCommand(record);
    const std::uint8_t slot = ActiveCommandTable(state).At(index).HandlerSlot();
    if (slot >= kHandlerSlotCount) return kHandlerRejected;
    const HandlerFunction handler = (ActiveHandlerTable(state).*half)[slot];
    return handler != nullptr ? handler(state, record) : kHandlerRejected;
}

}  // namespace

const CommandHandlerTable& BuiltInHandlerTable() {
    static const CommandHandlerTable table = MakeBuiltInTable();
    return table;
}

const CommandHandlerTable& ActiveHandlerTable(const ProgrammingState& state) {
    return state.keypad.handler_table != nullptr ? *state.keypad.handler_table
                                                 : BuiltInHandlerTable();
}

std::uint8_t StoreEnteredData(ProgrammingState& state, TerminalRecord& record) {
    return Dispatch(state, record, &CommandHandlerTable::store);
}

std::uint8_t ShowCurrentData(ProgrammingState& state, TerminalRecord& record) {
    return Dispatch(state, record, &CommandHandlerTable::show);
}

std::uint8_t AcceptEntry(ProgrammingState&, TerminalRecord&) {
    return kHandlerAccepted;
}

std::uint8_t RejectEntry(ProgrammingState&, TerminalRecord&) {
    return kHandlerRejected;
}

}  // namespace qzs
