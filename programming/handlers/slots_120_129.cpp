// Slots 120-129: the two values per line of *301, the nibble and byte options (*374, *088, *9219,
// *302, *624, *9434, *087), the display text of *679, the port assignments of *801, *378, *379
// and *370, and the slots of this block that no command reaches (125, 128). Slots 122 and 126
// accept in both halves.
#include <array>
#include <cstddef>
#include <cstdint>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"

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

// Slot 120 (*301): lines 1-24, 12-byte records of block 54; bits 4-6 of bytes 4 and 5 hold the
// two values, each 0 or 5.
constexpr std::uint8_t kLines = 24;
constexpr std::array<UnitPairItem, 1> kLinePairs{{
    {0, 54, 12, 4, 5, kBits46, 0x0021},
}};

// Slots 121, 123 and 124: one field per item, typed with the item's digit count. Items whose
// byte lies outside the image as a run-time value (121 item 2, 123 items 3 and 4) have no row:
// no command reaches them and nothing else reads those bytes.
struct OptionItem {
    std::uint8_t item;
    BytePlace place;
    BitField field;
    std::uint8_t digits;
    std::uint8_t lowest;
    std::uint8_t highest;
};
constexpr BitField kWholeByte{&SetByteField, &GetByteField};
constexpr std::array kNibbleOptions{
    OptionItem{1, InBlock(55, 3), kLowNibble, 2, 0, 10},             // *374
    OptionItem{3, InBlock(80, 13), kLowNibble, 2, 0, 10},            // *088
    OptionItem{4, InSetting(SettingByte::k9219), kBits46, 1, 0, 5},  // *9219
};
constexpr std::uint8_t kPointerItem = 2;  // no command: the byte through descriptor byte 11
constexpr std::array kByteOptions{
    OptionItem{1, InBlock(55, 10), kWholeByte, 2, 0, 30},                // *302
    OptionItem{kPointerItem, ThroughPointer(0), kWholeByte, 2, 0, 30},   // no command
    OptionItem{5, InBlock(80, 10), kWholeByte, 2, 1, 30},                // *624
    OptionItem{6, InSetting(SettingByte::k9434), kWholeByte, 2, 1, 72},  // *9434
};
constexpr std::array kValueOption{
    OptionItem{0, InBlock(58, 3), kWholeByte, 2, 1, 18},  // *087
};

template <std::size_t N>
std::uint8_t StoreOption(ProgrammingState& state, TerminalRecord& record,
                         const std::array<OptionItem, N>& items) {
    const CommandDescriptor& d = CurrentDescriptor(state);
    const OptionItem* item = FindItem(items, d.SubType());
    if (item == nullptr) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, FirstFieldPosition(state), item->digits,
                                              item->lowest, item->highest);
    std::uint8_t* byte = ResolvePlace(state.image, item->place, d.PointerEntry());
    if (value == kFieldRefused || byte == nullptr) return kHandlerRejected;
    item->field.set(value, *byte);
    if (item->field.get(*byte) != value) return kHandlerMismatch;
    if (item->place.kind == BytePlace::Kind::kPointer) MarkSystemModified(state.modified);
    return kHandlerAccepted;
}

template <std::size_t N>
std::uint8_t ShowOption(ProgrammingState& state, TerminalRecord& record,
                        const std::array<OptionItem, N>& items) {
    const CommandDescriptor& d = CurrentDescriptor(state);
    const OptionItem* item = FindItem(items, d.SubType());
    if (item == nullptr) return kHandlerRejected;
    const std::uint8_t* byte = ResolvePlace(state.image, item->place, d.PointerEntry());
    if (byte == nullptr) return kHandlerRejected;
    AppendNumber(record, item->field.get(*byte), item->digits, 10);
    return kHandlerAccepted;
}

// Slot 125 (no command): entries 1-16 of four dial digits whose count follows the digit counts
// of block 14 (bits 0-1 of the first digit's byte), as *081's codes do.
constexpr std::uint8_t kCodeEntries = 16;
constexpr std::uint16_t kHighestCode = 7999;
constexpr int kDigitCountBlock = 14;

// Slot 128 (no command): twelve bits in block 5 bytes 0-1.
constexpr int kBitBlock = 5;
constexpr std::size_t kBits = 12;

// Slot 129: a port code per key. Item 1 (*801) entries 1-2 at block 60 bytes 1 and 5; item 3
// (*378) units 1-8, block 2 byte 20(u - 1) + 3; item 4 (*379) lines 1-24, block 54 byte
// 12(n - 1) + 10; item 5 (*370) entries 1-6 of the *370 table; item 2 (no command) odd units
// 1-7, block 81 byte 4(u - 1) + 2.
enum class PortItem : std::uint8_t { k801 = 1, kUnitPair = 2, k378 = 3, k379 = 4, k370 = 5 };
constexpr std::uint8_t kLowestSharedCode = 7;  // codes 1-6 are not assigned here

struct PortKey {
    std::uint8_t lowest;
    std::uint8_t highest;
};
bool PortKeyRange(std::uint8_t item, bool show, PortKey& key) {
    switch (static_cast<PortItem>(item)) {
        case PortItem::k801:
            key = {static_cast<std::uint8_t>(show ? 1 : 0), 2};
            return true;
        case PortItem::kUnitPair:
        case PortItem::k378:
            key = {1, 8};
            return true;
        case PortItem::k379:
            key = {1, kLines};
            return true;
        case PortItem::k370:
            key = {1, 6};
            return true;
    }
    return false;
}

std::uint8_t* PortByte(DataImage& image, std::uint8_t item, std::uint8_t key) {
    switch (static_cast<PortItem>(item)) {
        case PortItem::k801:
            return image.BlockByte(60, key == 2 ? 5 : 1);
        case PortItem::kUnitPair:
            return image.BlockByte(81, 4u * (key - 1u) + 2u);
        case PortItem::k378:
            return image.BlockByte(2, 20u * (key - 1u) + 3u);
        case PortItem::k379:
            return image.BlockByte(54, 12u * (key - 1u) + 10u);
        case PortItem::k370:
            return key >= 1 && key <= image.ports_370.size() ? &image.ports_370[key - 1u] : nullptr;
    }
    return nullptr;
}

}  // namespace

// --- Slot 120 --------------------------------------------------------------------------------

std::uint8_t StoreHandler120(ProgrammingState& state, TerminalRecord& record) {
    const UnitPairItem* item = FindItem(kLinePairs, CurrentDescriptor(state).SubType());
    if (item == nullptr) return kHandlerRejected;
    return StoreUnitPair(state, record, *item, kLines);
}

std::uint8_t ShowHandler120(ProgrammingState& state, TerminalRecord& record) {
    const UnitPairItem* item = FindItem(kLinePairs, CurrentDescriptor(state).SubType());
    if (item == nullptr) return kHandlerRejected;
    return ShowUnitPair(state, record, *item, kLines);
}

// --- Slot 121 --------------------------------------------------------------------------------

std::uint8_t StoreHandler121(ProgrammingState& state, TerminalRecord& record) {
    return StoreOption(state, record, kNibbleOptions);
}

std::uint8_t ShowHandler121(ProgrammingState& state, TerminalRecord& record) {
    return ShowOption(state, record, kNibbleOptions);
}

// --- Slot 123 --------------------------------------------------------------------------------
// Item 2 reaches its byte through the pointer table and marks the system data changed.

std::uint8_t StoreHandler123(ProgrammingState& state, TerminalRecord& record) {
    return StoreOption(state, record, kByteOptions);
}

std::uint8_t ShowHandler123(ProgrammingState& state, TerminalRecord& record) {
    return ShowOption(state, record, kByteOptions);
}

// --- Slot 124 --------------------------------------------------------------------------------

std::uint8_t StoreHandler124(ProgrammingState& state, TerminalRecord& record) {
    return StoreOption(state, record, kValueOption);
}

std::uint8_t ShowHandler124(ProgrammingState& state, TerminalRecord& record) {
    return ShowOption(state, record, kValueOption);
}

// --- Slot 125 --------------------------------------------------------------------------------
// Entry 0 with "0" clears all sixteen; a number held by another entry leaves it first. Every
// change marks the system data changed.

std::uint8_t StoreHandler125(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t entry = ParseByteField(record, p, 2, 0, kCodeEntries);
    if (entry == kFieldRefused) return kHandlerRejected;
    const std::uint8_t data = p + 3;
    auto& codes = state.image.codes_125;
    if (entry == 0) {
        if (!HoldsLoneField(record, data, "0")) return kHandlerRejected;
        std::uint8_t answer = kHandlerAccepted;
        for (std::size_t e = 0; e < codes.size(); ++e) {
            if (ZeroAndCheck(TableEntry(codes, e)) != kHandlerAccepted) answer = kHandlerMismatch;
        }
        MarkSystemModified(state.modified);
        return answer;
    }
    const std::uint8_t digits = TypedDigits(record, data, 4);
    if (digits == 0 || TypedDigits(record, data, 5) > 4) return kHandlerRejected;
    if (ParseDigitWord(record, data, digits, 0, kHighestCode) == 0xFFFF) return kHandlerRejected;
    const std::uint8_t* count =
        state.image.BlockByte(kDigitCountBlock, DialDigitValue(record.line.At(data)));
    if (count == nullptr || digits != GetBits01(*count) + 1u) return kHandlerRejected;
    std::array<std::uint8_t, 2> packed{};
    PackDialDigits(record, 4, data, packed);
    for (std::size_t e = 0; e < codes.size(); ++e) {
        if (e != entry - 1u && codes[e] == packed) codes[e] = {};
    }
    auto bytes = TableEntry(codes, entry - 1u);
    PackDialDigits(record, 4, data, bytes);
    MarkSystemModified(state.modified);
    return VerifyDialDigits(record, 4, data, bytes);
}

std::uint8_t ShowHandler125(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t entry =
        ParseByteField(record, FirstFieldPosition(state), 2, 1, kCodeEntries);
    if (entry == kFieldRefused) return kHandlerRejected;
    UnpackDialDigits(record, 4, TableEntry(state.image.codes_125, entry - 1u));
    return kHandlerAccepted;
}

// --- Slot 127 --------------------------------------------------------------------------------
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

// --- Slot 128 --------------------------------------------------------------------------------
// Bit n - 1 for n 1-12; n 0 gives all twelve the value.

std::uint8_t StoreHandler128(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t n = ParseByteField(record, p, 2, 0, kBits);
    const std::uint8_t value = ParseByteField(record, p + 3, 1, 0, 1);
    if (n == kFieldRefused || value == kFieldRefused) return kHandlerRejected;
    auto bits = BlockBytes(state.image, kBitBlock, 0, (kBits + 7) / 8);
    const std::size_t first = n == 0 ? 0 : n - 1u;
    const std::size_t last = n == 0 ? kBits - 1 : n - 1u;
    std::uint8_t answer = kHandlerAccepted;
    for (std::size_t bit = first; bit <= last; ++bit) {
        SetBitFromEntry(bit, value, bits);
        if (VerifyBit(bit, value, bits) != kHandlerAccepted) answer = kHandlerMismatch;
    }
    return answer;
}

std::uint8_t ShowHandler128(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t n = ParseByteField(record, FirstFieldPosition(state), 2, 1, kBits);
    if (n == kFieldRefused) return kHandlerRejected;
    AppendBit(record, n - 1u, BlockBytes(state.image, kBitBlock, 0, (kBits + 7) / 8));
    return kHandlerAccepted;
}

// --- Slot 129 --------------------------------------------------------------------------------
// The position stands after the key and its "-".

std::uint8_t StoreHandler129(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    PortKey range;
    if (!PortKeyRange(item, false, range)) return kHandlerRejected;
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t key = ParseByteField(record, p, 2, range.lowest, range.highest);
    if (key == kFieldRefused) return kHandlerRejected;
    const auto kind = static_cast<PortItem>(item);
    const std::uint8_t index =
        kind == PortItem::k801 ? ParsePosition1(record, p + 3) : ParsePosition36(record, p + 3);
    if (index == kPositionRefused) return kHandlerRejected;
    const std::uint8_t code = MapSlotCode(index);
    DataImage& image = state.image;
    if (kind == PortItem::kUnitPair) {
        if (key % 2 == 0 || (index != 0 && index != 7 && index != 8)) return kHandlerRejected;
        for (std::uint8_t u = 1; u <= 8; ++u) {
            std::uint8_t& byte = *PortByte(image, item, u);
            if (byte == code) byte = 0;
        }
    } else if (kind != PortItem::k801 && code != 0 && code < kLowestSharedCode) {
        return kHandlerRejected;
    }
    if (kind == PortItem::k370) {
        for (std::uint8_t& b : image.ports_370) {
            if (b == code) b = 0;
        }
    }
    const std::uint8_t first = kind == PortItem::k801 && key == 0 ? 1 : key;
    const std::uint8_t last = kind == PortItem::k801 && key == 0 ? 2 : key;
    for (unsigned k = first; k <= last; ++k) {
        std::uint8_t* byte = PortByte(image, item, static_cast<std::uint8_t>(k));
        if (byte == nullptr) return kHandlerRejected;
        *byte = code;
        if (*byte != code) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler129(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    PortKey range;
    if (!PortKeyRange(item, true, range)) return kHandlerRejected;
    const std::uint8_t key =
        ParseByteField(record, FirstFieldPosition(state), 2, range.lowest, range.highest);
    if (key == kFieldRefused) return kHandlerRejected;
    const std::uint8_t* byte = PortByte(state.image, item, key);
    if (byte == nullptr) return kHandlerRejected;
    AppendPortCode(record, *byte);
    return kHandlerAccepted;
}

}  // namespace qzs
