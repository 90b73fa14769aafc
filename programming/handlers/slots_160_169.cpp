// Slots 160-169: *711, the port a port is linked to.
#include <cstddef>
#include <cstdint>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/port_codecs.h"

namespace qzs {
namespace {

// Slot 161 (*711): byte 13 of the port record holds the linked port's code.
constexpr int kLinkBlock = 1;
constexpr std::size_t kLinkRecordBytes = 48;
constexpr std::size_t kLinkByte = 13;

}  // namespace

// --- Slot 161 --------------------------------------------------------------------------------
// Line: "ppp-qqq"; a second position of 000 unlinks the port.

std::uint8_t StoreHandler161(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t first = ParsePosition72(record, p);
    const std::uint8_t second = ParsePosition72(record, static_cast<std::uint8_t>(p + 4));
    if (first == 0 || first == kPositionRefused || second == kPositionRefused || first == second) {
        return kHandlerRejected;
    }
    auto bytes = PortRecord(state.image, kLinkBlock, kLinkRecordBytes, MapSlotCodeWide(first));
    if (bytes.empty()) return kHandlerRejected;
    bytes[kLinkByte] = MapSlotCodeWide(second);
    return kHandlerAccepted;
}

std::uint8_t ShowHandler161(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    if (record.line.At(p + 3u) != '-') return kHandlerRejected;
    const std::uint8_t code = MapSlotCodeWide(ParsePosition72(record, p));
    if (code == kPositionRefused) return kHandlerRejected;
    auto bytes = PortRecord(state.image, kLinkBlock, kLinkRecordBytes, code);
    if (bytes.empty()) return kHandlerRejected;
    AppendPortCode(record, bytes[kLinkByte]);
    return kHandlerAccepted;
}

}  // namespace qzs
