// Slot 109: five flags of block 20, which no command reaches; kept as the main unit has them.
#include <array>
#include <cstddef>
#include <cstdint>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

// Slot 109: bits 4, 5 and 6 of block 20 byte 12, then bits 6 and 7 of byte 25, in entry order.
constexpr int kFlagBlock = 20;
struct FlagBit {
    std::size_t byte;
    std::uint8_t mask;
};
constexpr std::array<FlagBit, 5> kFlagBits{
    {{12, 0x10}, {12, 0x20}, {12, 0x40}, {25, 0x40}, {25, 0x80}}};

}  // namespace

// --- Slot 109 --------------------------------------------------------------------------------
// Line: "a,b,c,d,e", each 0 or 1; all are checked before any is written. The show lists them
// the same way.

std::uint8_t StoreHandler109(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    std::array<std::uint8_t, kFlagBits.size()> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = ParseByteField(record, static_cast<std::uint8_t>(p + 2 * i), 1, 0, 1);
        if (values[i] == kFieldRefused) return kHandlerRejected;
    }
    bool ok = true;
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::uint8_t& byte = *state.image.BlockByte(kFlagBlock, kFlagBits[i].byte);
        ok = SetMaskBits(byte, kFlagBits[i].mask, values[i]) && ok;
    }
    return ok ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler109(ProgrammingState& state, TerminalRecord& record) {
    for (std::size_t i = 0; i < kFlagBits.size(); ++i) {
        if (i != 0) record.line.Append(',');
        AppendMaskFlag(record, *state.image.BlockByte(kFlagBlock, kFlagBits[i].byte),
                       kFlagBits[i].mask);
    }
    return kHandlerAccepted;
}

}  // namespace qzs
