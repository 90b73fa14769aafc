// Slots 12, 13, 15 and 19: the two flags of *360, the two per-unit values of *101 and *640, the
// display text of *721 and the digit counts of *080.
#include <array>
#include <cstddef>
#include <cstdint>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/slot_queries.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

// Slot 12 (*360): block 40 byte 0, bit 3 the first value and bit 2 the second.
constexpr int kPairFlagBlock = 40;
constexpr std::size_t kPairFlagByte = 0;
constexpr std::uint8_t kFirstFlag = 0x08;
constexpr std::uint8_t kSecondFlag = 0x04;

// Slot 13: two values 0-3 per unit, in bits 0-1 of a byte of the unit's block 2 record and of
// its copy eight bytes on.
constexpr std::uint8_t kUnits = 8;
constexpr std::array<UnitPairItem, 2> kUnitPairs{{
    {1, 2, 20, 4, 12, kBits01, 0x000F},  // *101
    {2, 2, 20, 6, 14, kBits01, 0x000F},  // *640
}};

// Slot 15 (*721): five entries of 12 bytes in block 11; bytes 0-9 hold display characters, of
// which the show gives the first eight.
constexpr int kTextBlock = 11;
constexpr std::size_t kTextEntryBytes = 12;
constexpr std::size_t kTextStoredCharacters = 10;
constexpr std::size_t kTextShownCharacters = 8;

// Slot 19 (*080): bits 0-1 of block 14 byte 1 + entry hold the value - 1 (values 1-4), entry
// k - 1 for key digit k and 9 for key digit 0. Keys 1-7 are mirrored into the *080 copy.
constexpr int kDigitCountBlock = 14;
constexpr std::size_t kDigitCountFirstByte = 1;
constexpr std::uint8_t kDigitCountEntries = 10;

// The entry of a key digit 0-9 (0 comes after 9); kFieldRefused for anything else.
std::uint8_t KeyDigitEntry(const TerminalRecord& record, std::uint8_t position) {
    const std::uint8_t key = ParseByteField(record, position, 1, 0, 9);
    if (key == kFieldRefused) return kFieldRefused;
    return key == 0 ? kDigitCountEntries - 1 : static_cast<std::uint8_t>(key - 1);
}

std::span<std::uint8_t> TextEntry(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t key = ParseByteField(record, FirstFieldPosition(state), 1, 0, 4);
    if (key == kFieldRefused) return {};
    return BlockBytes(state.image, kTextBlock, kTextEntryBytes * key, kTextStoredCharacters);
}

}  // namespace

// --- Slot 12 ---------------------------------------------------------------------------------
// The second value may be left out; it then takes the first.

std::uint8_t StoreHandler012(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t first = ParseByteField(record, p, 1, 0, 1);
    const std::uint8_t second =
        record.line.At(p + 2u) != ' ' ? ParseByteField(record, p + 2, 1, 0, 1) : first;
    if (first == kFieldRefused || second == kFieldRefused) return kHandlerRejected;
    std::uint8_t& byte = *state.image.BlockByte(kPairFlagBlock, kPairFlagByte);
    const bool ok1 = SetMaskBits(byte, kFirstFlag, first);
    const bool ok2 = SetMaskBits(byte, kSecondFlag, second);
    return ok1 && ok2 ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler012(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t byte = *state.image.BlockByte(kPairFlagBlock, kPairFlagByte);
    AppendMaskFlag(record, byte, kFirstFlag);
    record.line.Append(',');
    AppendMaskFlag(record, byte, kSecondFlag);
    return kHandlerAccepted;
}

// --- Slot 13 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler013(ProgrammingState& state, TerminalRecord& record) {
    const UnitPairItem* item = FindItem(kUnitPairs, CurrentDescriptor(state).SubType());
    if (item == nullptr) return kHandlerRejected;
    return StoreUnitPair(state, record, *item, kUnits);
}

std::uint8_t ShowHandler013(ProgrammingState& state, TerminalRecord& record) {
    const UnitPairItem* item = FindItem(kUnitPairs, CurrentDescriptor(state).SubType());
    if (item == nullptr) return kHandlerRejected;
    return ShowUnitPair(state, record, *item, kUnits);
}

// --- Slot 15 ---------------------------------------------------------------------------------
// The characters stand on the line after the key and its "-"; the ten line characters from there
// (the entered ones and the blanks after them) are the stored text.

std::uint8_t StoreHandler015(ProgrammingState& state, TerminalRecord& record) {
    auto entry = TextEntry(state, record);
    if (entry.empty()) return kHandlerRejected;
    CopyLineText(record, FirstFieldPosition(state) + 2u, entry);
    return kHandlerAccepted;
}

std::uint8_t ShowHandler015(ProgrammingState& state, TerminalRecord& record) {
    auto entry = TextEntry(state, record);
    if (entry.empty()) return kHandlerRejected;
    AppendStoredText(record, entry.first(kTextShownCharacters));
    return kHandlerAccepted;
}

// --- Slot 19 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler019(ProgrammingState& state, TerminalRecord& record) {
    // The hook always answers 0; the main unit consults it before every *080 store.
    static_cast<void>(ReturnZeroHook());
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t entry = KeyDigitEntry(record, p);
    const std::uint8_t value = ParseByteField(record, p + 2, 1, 1, 4);
    if (entry == kFieldRefused || value == kFieldRefused) return kHandlerRejected;
    const std::uint8_t bits = value - 1;
    std::uint8_t& byte = *state.image.BlockByte(kDigitCountBlock, kDigitCountFirstByte + entry);
    SetBits01(bits, byte);
    if (entry < state.image.copy_080.size()) {
        std::uint8_t& copy = state.image.copy_080[entry];
        SetBits01(bits, copy);
        if (GetBits01(copy) != bits) return kHandlerMismatch;
        MarkSystemModified(state.modified);
    }
    return GetBits01(byte) == bits ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler019(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t entry = KeyDigitEntry(record, FirstFieldPosition(state));
    if (entry == kFieldRefused) return kHandlerRejected;
    const std::uint8_t byte =
        *state.image.BlockByte(kDigitCountBlock, kDigitCountFirstByte + entry);
    AppendDigit(record, static_cast<std::uint8_t>(GetBits01(byte) + 1));
    return kHandlerAccepted;
}

}  // namespace qzs
