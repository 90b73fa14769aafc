// Slot 127: *679, twelve display characters per entry of block 59.
#include <cstddef>
#include <cstdint>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

// Block 59: eight entries of 16 bytes, the first 12 the characters.
constexpr int kNameBlock = 59;
constexpr std::uint8_t kNameEntries = 8;
constexpr std::size_t kNameEntryBytes = 16;
constexpr std::size_t kNameCharacters = 12;

std::span<std::uint8_t> NameEntry(DataImage& image, std::uint8_t entry) {
    return BlockBytes(image, kNameBlock, kNameEntryBytes * (entry - 1u), kNameCharacters);
}

}  // namespace

// The twelve line characters after the key and its "-", blanks included; entry 0 writes them
// into all eight entries.
std::uint8_t StoreHandler127(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t key = ParseByteField(record, p, 1, 0, kNameEntries);
    if (key == kFieldRefused) return kHandlerRejected;
    const std::uint8_t first = key == 0 ? 1 : key;
    const std::uint8_t last = key == 0 ? kNameEntries : key;
    for (unsigned entry = first; entry <= last; ++entry) {
        CopyLineText(record, p + 2u, NameEntry(state.image, static_cast<std::uint8_t>(entry)));
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler127(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t key = ParseByteField(record, FirstFieldPosition(state), 1, 1, kNameEntries);
    if (key == kFieldRefused) return kHandlerRejected;
    AppendStoredText(record, NameEntry(state.image, key));
    return kHandlerAccepted;
}

}  // namespace qzs
