// Slots 50-59: value pairs (*9320), tables of dial numbers with their clear forms (*141, *103,
// *162, *9321, *361), a four-digit value (*9314), tables of port entries (*335, *098, *850) and
// two slots that no command reaches. P below is the first field position on the line.
#include <algorithm>
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
constexpr std::uint16_t kWordRefused = 0xFFFF;

// ---------------------------------------------------------------------------------------------
// Slot 50 (*9320): pair (a 1-15, b 1-3); the first value in block 28, the second in block 29,
// byte 4(a - 1) + b of each.

constexpr int kFirstValueBlock = 28;
constexpr int kSecondValueBlock = 29;

// The pair's byte offset; 0 (a byte no pair uses) when a key is out of range.
std::size_t PairOffset(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t a = ParseByteField(record, p, 2, 1, 15);
    const std::uint8_t b = ParseByteField(record, p + 3, 1, 1, 3);
    if (a == kFieldRefused || b == kFieldRefused) return 0;
    return 4u * (a - 1u) + b;
}

// ---------------------------------------------------------------------------------------------
// Slot 52 (no command): three values into block 20, bytes 21, 20 and 19.

constexpr int kTimeBlock = 20;
constexpr std::array<std::size_t, 3> kTimeBytes{21, 20, 19};
constexpr std::array<std::uint8_t, 3> kTimeMin{1, 0, 0};
constexpr std::array<std::uint8_t, 3> kTimeMax{28, 23, 59};

// ---------------------------------------------------------------------------------------------
// Slot 53: tables of dial numbers, entry c (1 to the count), key 00 naming the whole table.

struct NumberTableItem {
    std::uint8_t item;
    std::uint8_t block;
    std::uint8_t entry_bytes;
    std::uint8_t entries;
    std::uint8_t digits;
    bool leading_zero;  // a number may begin with "0"
};

constexpr std::array kNumberTableItems{
    NumberTableItem{1, 12, 8, 32, 10, false},  // *141
    NumberTableItem{2, 93, 8, 20, 16, true},   // *103
    NumberTableItem{3, 86, 4, 32, 5, false},   // *162
};

// The bytes of entry c (1-based) that hold its number.
std::span<std::uint8_t> NumberTableEntry(DataImage& image, const NumberTableItem& row,
                                         std::uint8_t c) {
    return BlockBytes(image, row.block, std::size_t{row.entry_bytes} * (c - 1u),
                      (row.digits + 1u) / 2u);
}

// ---------------------------------------------------------------------------------------------
// Slot 55: eight port entries per command.

struct PortEntryItem {
    std::uint8_t item;
    std::uint8_t block;
    std::uint8_t base;
    std::uint8_t key_min;
    bool wide;  // ParsePosition72 and MapSlotCodeWide, else ParsePosition1 and MapSlotCode
};

constexpr std::array kPortEntryItems{
    PortEntryItem{1, 3, 34, 0, true},   // *335
    PortEntryItem{2, 80, 0, 1, false},  // *098
};
constexpr std::size_t kPortEntries = 8;

struct PortEntryKey {
    const PortEntryItem* item = nullptr;
    std::span<std::uint8_t> entries;
    std::uint8_t n = 0;
};

PortEntryKey ParsePortEntryKey(ProgrammingState& state, const TerminalRecord& record,
                               std::uint8_t key_min) {
    const PortEntryItem* row = FindItem(kPortEntryItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return {};
    const std::uint8_t n = ParseByteField(record, FirstFieldPosition(state), 1,
                                          std::max(key_min, row->key_min), kPortEntries);
    if (n == kFieldRefused) return {};
    return {row, BlockBytes(state.image, row->block, row->base, kPortEntries), n};
}

// ---------------------------------------------------------------------------------------------
// Slot 56 (*850): one port number in block 55, byte 6; ports 1-4 and 9-10 may not stand there.

constexpr int kSinglePortBlock = 55;
constexpr std::size_t kSinglePortByte = 6;

bool IsBarredSinglePort(std::uint8_t u) {
    return (u >= 1 && u <= 4) || u == 9 || u == 10;
}

// ---------------------------------------------------------------------------------------------
// Slot 57 (*9321): entry a (1-96) of block 27, 4 bytes: six dial digits in bytes 0-2 and a class
// value 1-15 in byte 3.

constexpr int kClassNumberBlock = 27;
constexpr std::size_t kClassNumberEntryBytes = 4;
constexpr std::uint8_t kClassNumberEntries = 96;
constexpr std::uint8_t kClassNumberDigits = 6;
constexpr std::size_t kClassByte = 3;

std::span<std::uint8_t> ClassNumberEntry(DataImage& image, std::uint8_t a) {
    return BlockBytes(image, kClassNumberBlock, kClassNumberEntryBytes * (a - 1u),
                      kClassNumberEntryBytes);
}

// ---------------------------------------------------------------------------------------------
// Slot 58 (*361): NumberPairTable, two numbers of 11 digits per entry a (1-24).

constexpr std::uint8_t kPairNumberDigits = 11;
constexpr std::size_t kPairNumberBytes = 6;

std::span<std::uint8_t> PairNumber(DataImage& image, std::uint8_t a, std::uint8_t b) {
    return std::span<std::uint8_t>(image.number_pair_table[a - 1u])
        .subspan(kPairNumberBytes * (b - 1u), kPairNumberBytes);
}

// ---------------------------------------------------------------------------------------------
// Slot 59 (no command): a value 0-7 in bits 0-2 of byte 8 of the port's 12-byte record in block
// 52, over a range of plain-class positions laid out as the port flag commands are.

constexpr int kPortValueBlock = 52;
constexpr std::size_t kPortValueRecordBytes = 12;
constexpr std::size_t kPortValueByte = 8;

std::uint8_t* PortValueByte(DataImage& image, std::uint8_t u) {
    auto port = PortRecord(image, kPortValueBlock, kPortValueRecordBytes, u);
    return port.empty() ? nullptr : &port[kPortValueByte];
}

}  // namespace

// --- Slot 50 ---------------------------------------------------------------------------------
// Keys a at P and b at P + 3; the values 000-255 at P + 5 and P + 9.

std::uint8_t StoreHandler050(ProgrammingState& state, TerminalRecord& record) {
    const std::size_t offset = PairOffset(state, record);
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint16_t first = ParseWordField(record, p + 5, 3, 0, 255);
    const std::uint16_t second = ParseWordField(record, p + 9, 3, 0, 255);
    if (offset == 0 || first == kWordRefused || second == kWordRefused) return kHandlerRejected;
    std::uint8_t& byte1 = *state.image.BlockByte(kFirstValueBlock, offset);
    std::uint8_t& byte2 = *state.image.BlockByte(kSecondValueBlock, offset);
    byte1 = static_cast<std::uint8_t>(first);
    byte2 = static_cast<std::uint8_t>(second);
    return byte1 == first && byte2 == second ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler050(ProgrammingState& state, TerminalRecord& record) {
    const std::size_t offset = PairOffset(state, record);
    if (offset == 0) return kHandlerRejected;
    AppendNumber(record, *state.image.BlockByte(kFirstValueBlock, offset), 3, 10);
    record.line.Append(',');
    AppendNumber(record, *state.image.BlockByte(kSecondValueBlock, offset), 3, 10);
    return kHandlerAccepted;
}

// --- Slot 52 ---------------------------------------------------------------------------------
// No descriptor gives the layout; the three values stand at P, P + 3 and P + 6 as two-digit
// fields do. "00" alone clears the three bytes.

std::uint8_t StoreHandler052(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    if (FieldIs(record, p, "00") && record.line.At(p + 3u) == ' ') {
        for (std::size_t b : kTimeBytes) *state.image.BlockByte(kTimeBlock, b) = 0;
        return kHandlerAccepted;
    }
    std::array<std::uint8_t, kTimeBytes.size()> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = ParseByteField(record, static_cast<std::uint8_t>(p + 3 * i), 2, kTimeMin[i],
                                   kTimeMax[i]);
        if (values[i] == kFieldRefused) return kHandlerRejected;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        *state.image.BlockByte(kTimeBlock, kTimeBytes[i]) = values[i];
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler052(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t first = *state.image.BlockByte(kTimeBlock, kTimeBytes[0]);
    AppendNumber(record, first, 2, 10);
    if (first == 0) return kHandlerAccepted;
    for (std::size_t i = 1; i < kTimeBytes.size(); ++i) {
        record.line.Append(',');
        AppendNumber(record, *state.image.BlockByte(kTimeBlock, kTimeBytes[i]), 2, 10);
    }
    return kHandlerAccepted;
}

// --- Slot 53 ---------------------------------------------------------------------------------
// Key c at P, the number at P + 3. A lone "0" clears entry c, or the whole table for c = 00.

std::uint8_t StoreHandler053(ProgrammingState& state, TerminalRecord& record) {
    const NumberTableItem* row = FindItem(kNumberTableItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t c = ParseByteField(record, p, 2, 0, row->entries);
    if (c == kFieldRefused) return kHandlerRejected;
    const std::uint8_t number = p + 3;
    if (IsLoneZero(record, number)) {
        const std::uint8_t first = c == 0 ? 1 : c;
        const std::uint8_t last = c == 0 ? row->entries : c;
        for (unsigned e = first; e <= last; ++e) {
            auto entry = NumberTableEntry(state.image, *row, static_cast<std::uint8_t>(e));
            std::fill(entry.begin(), entry.end(), std::uint8_t{0});
        }
        return kHandlerAccepted;
    }
    if (c == 0) return kHandlerRejected;
    if (!row->leading_zero && record.line.At(number) == '0') return kHandlerRejected;
    return StoreDialNumber(record, row->digits, number, NumberTableEntry(state.image, *row, c));
}

std::uint8_t ShowHandler053(ProgrammingState& state, TerminalRecord& record) {
    const NumberTableItem* row = FindItem(kNumberTableItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t c = ParseByteField(record, FirstFieldPosition(state), 2, 1, row->entries);
    if (c == kFieldRefused) return kHandlerRejected;
    UnpackDialDigits(record, row->digits, NumberTableEntry(state.image, *row, c));
    return kHandlerAccepted;
}

// --- Slot 54 (*9314) -------------------------------------------------------------------------
// Four digits at P, a value 0-9999 in block 20, bytes 6-7.

constexpr int kWordValueBlock = 20;
constexpr std::size_t kWordValueByte = 6;

std::uint8_t StoreHandler054(ProgrammingState& state, TerminalRecord& record) {
    const std::uint16_t value = ParseWordField(record, FirstFieldPosition(state), 4, 0, 9999);
    if (value == kWordRefused) return kHandlerRejected;
    return SetBlockWord(state.image, kWordValueBlock, kWordValueByte, value);
}

std::uint8_t ShowHandler054(ProgrammingState& state, TerminalRecord& record) {
    AppendNumber(record, BlockWord(state.image, kWordValueBlock, kWordValueByte), 4, 10);
    return kHandlerAccepted;
}

// --- Slot 55 ---------------------------------------------------------------------------------
// Key n at P, a position at P + 2; n = 0 with "000" clears all eight entries.

std::uint8_t StoreHandler055(ProgrammingState& state, TerminalRecord& record) {
    const PortEntryKey key = ParsePortEntryKey(state, record, 0);
    if (key.item == nullptr || key.entries.empty()) return kHandlerRejected;
    const auto at = static_cast<std::uint8_t>(FirstFieldPosition(state) + 2);
    const std::uint8_t port = key.item->wide ? MapSlotCodeWide(ParsePosition72(record, at))
                                             : MapSlotCode(ParsePosition1(record, at));
    if (port == kPositionRefused) return kHandlerRejected;
    if (key.n == 0) {
        if (port != 0) return kHandlerRejected;
        return ZeroAndCheck(key.entries);
    }
    std::uint8_t& entry = key.entries[key.n - 1u];
    entry = port;
    return entry == port ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler055(ProgrammingState& state, TerminalRecord& record) {
    const PortEntryKey key = ParsePortEntryKey(state, record, 1);
    if (key.item == nullptr || key.entries.empty()) return kHandlerRejected;
    AppendPortCode(record, key.entries[key.n - 1u]);
    return kHandlerAccepted;
}

// --- Slot 56 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler056(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t u = MapSlotCode(ParsePosition36(record, FirstFieldPosition(state)));
    if (u == kPositionRefused || IsBarredSinglePort(u)) return kHandlerRejected;
    std::uint8_t& byte = *state.image.BlockByte(kSinglePortBlock, kSinglePortByte);
    byte = u;
    return byte == u ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler056(ProgrammingState& state, TerminalRecord& record) {
    AppendPortCode(record, *state.image.BlockByte(kSinglePortBlock, kSinglePortByte));
    return kHandlerAccepted;
}

// --- Slot 57 ---------------------------------------------------------------------------------
// Key a at P; the class value at P + 3 and the number at P + 6. Value 00 without a number clears
// entry a, or every entry for a = 00.

std::uint8_t StoreHandler057(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t a = ParseByteField(record, p, 2, 0, kClassNumberEntries);
    const std::uint8_t v = ParseByteField(record, p + 3, 2, 0, 15);
    if (a == kFieldRefused || v == kFieldRefused) return kHandlerRejected;
    const bool has_number = TypedDigits(record, p + 6u, kClassNumberDigits) > 0;
    if (v == 0 && !has_number) {
        std::uint8_t result = kHandlerAccepted;
        const std::uint8_t first = a == 0 ? 1 : a;
        const std::uint8_t last = a == 0 ? kClassNumberEntries : a;
        for (unsigned e = first; e <= last; ++e) {
            if (ZeroAndCheck(ClassNumberEntry(state.image, static_cast<std::uint8_t>(e))) !=
                kHandlerAccepted) {
                result = kHandlerMismatch;
            }
        }
        return result;
    }
    if (a == 0 || v == 0 || !has_number) return kHandlerRejected;
    auto entry = ClassNumberEntry(state.image, a);
    entry[kClassByte] = v;
    const std::uint8_t verified =
        StoreDialNumber(record, kClassNumberDigits, p + 6, entry.first(kClassByte));
    return entry[kClassByte] == v ? verified : kHandlerMismatch;
}

std::uint8_t ShowHandler057(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t a =
        ParseByteField(record, FirstFieldPosition(state), 2, 1, kClassNumberEntries);
    if (a == kFieldRefused) return kHandlerRejected;
    auto entry = ClassNumberEntry(state.image, a);
    AppendNumber(record, entry[kClassByte], 2, 10);
    record.line.Append(',');
    UnpackDialDigits(record, kClassNumberDigits, entry.first(kClassByte));
    return kHandlerAccepted;
}

// --- Slot 58 ---------------------------------------------------------------------------------
// Keys a at P and b at P + 3, the number at P + 5. "00000" clears number b (b = 1 both numbers),
// for a = 00 and b = 1 in every entry.

std::uint8_t StoreHandler058(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t a = ParseByteField(record, p, 2, 0, 24);
    const std::uint8_t b = ParseByteField(record, p + 3, 1, 1, 2);
    if (a == kFieldRefused || b == kFieldRefused) return kHandlerRejected;
    const std::uint8_t number = p + 5;
    auto& table = state.image.number_pair_table;
    if (FieldIs(record, number, "00000")) {
        if (a == 0) {
            if (b != 1) return kHandlerRejected;
            for (auto& entry : table) std::fill(entry.begin(), entry.end(), std::uint8_t{0});
            return kHandlerAccepted;
        }
        auto entry = std::span<std::uint8_t>(table[a - 1u]);
        auto cleared = b == 1 ? entry : entry.subspan(kPairNumberBytes);
        std::fill(cleared.begin(), cleared.end(), std::uint8_t{0});
        return kHandlerAccepted;
    }
    // Entry 00 names the whole table only for the clear; a number for it would have no entry.
    if (a == 0) return kHandlerRejected;
    if (b == 2 && table[a - 1u][0] == 0) return kHandlerRejected;
    return StoreDialNumber(record, kPairNumberDigits, number, PairNumber(state.image, a, b));
}

std::uint8_t ShowHandler058(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t a = ParseByteField(record, p, 2, 1, 24);
    const std::uint8_t b = ParseByteField(record, p + 3, 1, 1, 2);
    if (a == kFieldRefused || b == kFieldRefused) return kHandlerRejected;
    UnpackDialDigits(record, kPairNumberDigits, PairNumber(state.image, a, b));
    return kHandlerAccepted;
}

// --- Slot 59 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler059(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kPlainPositions, 0);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data_at, 1, 0, 7);
    if (value == kFieldRefused) return kHandlerRejected;
    return WalkPositionRange(range, kPlainPositions, WalkRule::kStopAtFailure, [&](std::uint8_t u) {
        std::uint8_t* byte = PortValueByte(state.image, u);
        if (byte == nullptr) return kHandlerRejected;
        SetBits02(value, *byte);
        return GetBits02(*byte) == value ? kHandlerAccepted : kHandlerMismatch;
    });
}

std::uint8_t ShowHandler059(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t* byte = PortValueByte(
        state.image,
        ParseSinglePositionPort(record, FirstFieldPosition(state), kPlainPositions, 0));
    if (byte == nullptr) return kHandlerRejected;
    AppendDigit(record, GetBits02(*byte));
    return kHandlerAccepted;
}

}  // namespace qzs
