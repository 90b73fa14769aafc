// Slots 31-39: the *732 member mask, the *9309 dates, the port queries of *014, *015 and *099,
// the port-code tables of *727, *328 and
// *825, nibble options, the *407 code and the *9504 number. P below is the first field position
// on the line. Slots 33, 37 and 38 serve no command and refuse (see the handler table).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"
#include "programming/slot_queries.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

// ---------------------------------------------------------------------------------------------
// Slot 30 (no command): a value 0-2 in a bit pair. Keys 1-4 name the pairs of block 3 byte 11
// from bits 0-1 up, keys 5 and 6 the two low pairs of byte 12.

constexpr std::array<BitField, 4> kBitPairs{kBits01, kBits23, kBits45, kBits67};

struct BitPairTarget {
    std::uint8_t* byte = nullptr;
    BitField field{};
};

BitPairTarget BitPair(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 1, 1, 6);
    if (k == kFieldRefused) return {};
    return {state.image.BlockByte(3, k <= 4 ? 11 : 12), kBitPairs[(k - 1u) % 4u]};
}

// ---------------------------------------------------------------------------------------------
// Slot 31: a 16-bit member mask in block 71 (bytes 2-3 for *732, bytes 0-1 for sub-type 1,
// which no command carries), *9269 and *9436, which only answer.

constexpr int kMaskBlock = 71;
constexpr std::uint8_t kMaskMembers = 4;
constexpr std::uint8_t kFirstUnitCode = 11;
constexpr std::uint8_t kLastUnitCode = 39;
constexpr std::uint8_t kSlotCount = 27;  // MapUnitCodeToSlot answers this or more for no slot

std::span<std::uint8_t> MaskWord(DataImage& image, std::uint8_t sub_type) {
    switch (sub_type) {
        case 1:
            return BlockBytes(image, kMaskBlock, 0, 2);
        case 3:  // *732
            return BlockBytes(image, kMaskBlock, 2, 2);
        default:
            return {};
    }
}

// ---------------------------------------------------------------------------------------------
// Slot 32 (*9309): 20 dates of block 122; entry k's day byte is 115 + 2k, its month byte the
// next, both two BCD digits; bit 7 of the month byte is the entry's flag.

constexpr int kDateBlock = 122;
constexpr std::uint8_t kDateEntries = 20;
constexpr std::uint8_t kDateFlag = 0x80;

std::span<std::uint8_t> DateEntry(DataImage& image, std::uint8_t k) {
    return BlockBytes(image, kDateBlock, 115u + 2u * k, 2);  // [0] day, [1] month
}

// The typed characters are checked digits by the time they are read as nibbles.
std::uint8_t DigitAt(const TerminalRecord& record, std::size_t position) {
    return static_cast<std::uint8_t>(record.line.At(position) - '0');
}

// ---------------------------------------------------------------------------------------------
// Slot 34: show-only port queries, by sub-type.

constexpr std::uint8_t kQueryUnitNibble = 1;    // *014: block 121 record k, byte 0 low nibble
constexpr std::uint8_t kQueryTerminalPort = 2;  // *015: attribute byte 7 of a listed terminal
constexpr std::uint8_t kQueryFlagValue = 3;     // *099: block 39 byte 16 + 24k

constexpr int kUnitRecordBlock = 121;
constexpr std::size_t kUnitRecordBytes = 12;
constexpr std::size_t kTerminalPortAttribute = 7;
constexpr int kFlagValueBlock = 39;
constexpr std::uint8_t kFlagValueFlag = 0x40;

// ---------------------------------------------------------------------------------------------
// Slot 35: three tables of port codes, one entry per key.

struct PortCodeTableItem {
    std::uint8_t item;
    std::uint8_t key_max;
    std::uint8_t (*read)(const TerminalRecord& record, std::uint8_t position);
    std::uint8_t (*map)(std::uint8_t index);
};

constexpr std::array kPortCodeTables{
    PortCodeTableItem{1, 8, &ParsePosition36, &MapSlotCode},      // *727: block 56 bytes 0-7
    PortCodeTableItem{2, 8, &ParsePosition72, &MapSlotCodeWide},  // *328
    PortCodeTableItem{3, 4, &ParsePosition1, &MapSlotCode},       // *825
};

constexpr int kPortCodeBlock = 56;

std::span<std::uint8_t> PortCodeTable(DataImage& image, std::uint8_t item) {
    switch (item) {
        case 1:
            return BlockBytes(image, kPortCodeBlock, 0, 8);
        case 2:
            return image.table_328;
        case 3:
            return image.table_825;
        default:
            return {};
    }
}

struct PortCodeKey {
    const PortCodeTableItem* item = nullptr;
    std::span<std::uint8_t> entries;
    std::uint8_t k = 0;
};

PortCodeKey ParsePortCodeKey(ProgrammingState& state, const TerminalRecord& record) {
    const PortCodeTableItem* row = FindItem(kPortCodeTables, CurrentDescriptor(state).SubType());
    if (row == nullptr) return {};
    const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 1, 1, row->key_max);
    auto entries = PortCodeTable(state.image, row->item);
    if (k == kFieldRefused || entries.size() < k) return {};
    return {row, entries, k};
}

// ---------------------------------------------------------------------------------------------
// Slot 36: one digit 1-9 into a nibble; sub-type 6 (*9504) only shows its number. Sub-type 3
// names a setting byte no command reaches and has no row.

struct NibbleItem {
    std::uint8_t item;
    BytePlace place;
    BitField field;
};

constexpr std::array kSlot36Items{
    NibbleItem{1, InBlock(40, 1), kLowNibble},   // *386
    NibbleItem{2, InBlock(55, 12), kLowNibble},  // *9286
    NibbleItem{4, InBlock(40, 5), kHighNibble},  // *610
    NibbleItem{5, InBlock(80, 46), kLowNibble},  // *9225
};

constexpr std::uint8_t kShowNumberItem = 6;  // *9504
constexpr std::uint8_t kNumberDigits = 9;

// ---------------------------------------------------------------------------------------------
// Slot 39: two digits into a nibble of the pointer table's byte (descriptor byte 11), or the
// *407 code. Sub-type 3 names a setting byte no command reaches and has no row.

struct TwoDigitItem {
    std::uint8_t item;
    std::uint8_t pointer_entry;  // descriptor byte 11
    BitField field;
    std::uint8_t min;
};

constexpr std::array kSlot39Items{
    TwoDigitItem{1, 25, kLowNibble, 0},   // *155: block 3 byte 26
    TwoDigitItem{2, 25, kHighNibble, 0},  // *154: block 3 byte 26
    TwoDigitItem{2, 11, kHighNibble, 1},  // *611: block 3 byte 12
};

constexpr std::uint8_t kCodeItem = 4;  // *407

const TwoDigitItem* FindTwoDigitItem(const CommandDescriptor& descriptor) {
    for (const TwoDigitItem& row : kSlot39Items) {
        if (row.item == descriptor.SubType() && row.pointer_entry == descriptor.PointerEntry()) {
            return &row;
        }
    }
    return nullptr;
}

std::uint8_t* NibbleByte(ProgrammingState& state) {
    return DataBytePointer(state.image, CurrentDescriptor(state).PointerEntry());
}

}  // namespace

// --- Slot 30 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler030(ProgrammingState& state, TerminalRecord& record) {
    const BitPairTarget target = BitPair(state, record);
    const std::uint8_t v =
        ParseByteField(record, static_cast<std::uint8_t>(FirstFieldPosition(state) + 2), 1, 0, 2);
    if (target.byte == nullptr || v == kFieldRefused) return kHandlerRejected;
    target.field.set(v, *target.byte);
    return target.field.get(*target.byte) == v ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler030(ProgrammingState& state, TerminalRecord& record) {
    const BitPairTarget target = BitPair(state, record);
    if (target.byte == nullptr) return kHandlerRejected;
    AppendDigit(record, target.field.get(*target.byte));
    return kHandlerAccepted;
}

// --- Slot 31 ---------------------------------------------------------------------------------
// Line: "kk,v". *732 member 00 sets or clears all sixteen bits.

std::uint8_t StoreHandler031(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t sub_type = CurrentDescriptor(state).SubType();
    if (sub_type == 4) {  // *9436: accepted once the main unit has reported its cards
        const std::uint8_t v = ParseByteField(record, p, 1, 0, 1);
        if (v == kFieldRefused) return kHandlerRejected;
        return state.image.Setting(SettingByte::kCardInformation) != 0 ? kHandlerAccepted
                                                                       : kHandlerRejected;
    }
    const std::uint8_t v = ParseByteField(record, p + 3, 1, 0, 1);
    if (sub_type == 2) {  // *9269: accepted when the unit code has a slot
        const std::uint8_t k = ParseByteField(record, p, 2, kFirstUnitCode, kLastUnitCode);
        if (k == kFieldRefused || v == kFieldRefused) return kHandlerRejected;
        return MapUnitCodeToSlot(k) >= kSlotCount ? kHandlerRejected : kHandlerAccepted;
    }
    const std::uint8_t k = ParseByteField(record, p, 2, 0, kMaskMembers);
    auto word = MaskWord(state.image, sub_type);
    if (k == kFieldRefused || v == kFieldRefused || word.empty()) return kHandlerRejected;
    if (k == 0) {
        const std::uint8_t fill = v != 0 ? 0xFF : 0x00;
        std::fill(word.begin(), word.end(), fill);
        return std::all_of(word.begin(), word.end(), [&](std::uint8_t b) { return b == fill; })
                   ? kHandlerAccepted
                   : kHandlerMismatch;
    }
    SetWordBit(k - 1u, v, word);
    return VerifyWordBit(k - 1u, v, word);
}

std::uint8_t ShowHandler031(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 2, 1, kMaskMembers);
    auto word = MaskWord(state.image, CurrentDescriptor(state).SubType());
    if (k == kFieldRefused || word.empty()) return kHandlerRejected;
    AppendWordBit(record, k - 1u, word);
    return kHandlerAccepted;
}

// --- Slot 32 ---------------------------------------------------------------------------------
// Line: "kk-mm,dd,f"; the day may be left out when the entry is cleared.

std::uint8_t StoreHandler032(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t k = ParseByteField(record, p, 2, 1, kDateEntries);
    if (k == kFieldRefused) return kHandlerRejected;
    const std::size_t month_at = p + 3u;
    const std::size_t day_at = p + 6u;
    const std::uint8_t m = ParseByteField(record, p + 3, 2, 0, 12);
    const std::uint8_t d = ParseByteField(record, p + 6, 2, 0, 31);
    const std::uint8_t f = ParseByteField(record, p + 9, 1, 0, 1);
    auto entry = DateEntry(state.image, k);

    if (m == 0 && (record.line.At(day_at) == ' ' || (d == 0 && f == 0))) {
        entry[0] = 0;
        entry[1] = 0;
        return entry[0] == 0 && entry[1] == 0 ? kHandlerAccepted : kHandlerMismatch;
    }
    if (m == 0 || d == 0 || m == kFieldRefused || d == kFieldRefused || f == kFieldRefused) {
        return kHandlerRejected;
    }
    const std::uint8_t month_tens = DigitAt(record, month_at);
    const std::uint8_t month_units = DigitAt(record, month_at + 1);
    const std::uint8_t day_tens = DigitAt(record, day_at);
    const std::uint8_t day_units = DigitAt(record, day_at + 1);
    std::uint8_t& day = entry[0];
    std::uint8_t& month = entry[1];
    month = static_cast<std::uint8_t>(month_tens << 4 | month_units);
    day = static_cast<std::uint8_t>(day_tens << 4 | day_units);
    SetBitFromEntry(7, f, std::span(&month, 1));

    const bool same = ((month >> 4) & 0x07) == month_tens && (month & 0x0F) == month_units &&
                      (day >> 4) == day_tens && (day & 0x0F) == day_units &&
                      ((month & kDateFlag) != 0) == (f == 1);
    return same ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler032(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 2, 1, kDateEntries);
    if (k == kFieldRefused) return kHandlerRejected;
    auto entry = DateEntry(state.image, k);
    const std::uint8_t day = entry[0];
    const std::uint8_t month = entry[1];
    AppendDigit(record, (month >> 4) & 0x07);
    AppendDigit(record, month & 0x0F);
    record.line.Append(',');
    AppendDigit(record, day >> 4);
    AppendDigit(record, day & 0x0F);
    record.line.Append(',');
    AppendDigit(record, (month & kDateFlag) != 0 ? 1 : 0);
    return kHandlerAccepted;
}

// --- Slot 34 ---------------------------------------------------------------------------------
// Key k (1-8, 1-7 for *099) at P.

std::uint8_t ShowHandler034(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    const std::uint8_t max = item == kQueryFlagValue ? 7 : 8;
    const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 2, 1, max);
    if (k == kFieldRefused) return kHandlerRejected;
    switch (item) {
        case kQueryUnitNibble:
            AppendDigit(record, GetLowNibble(*state.image.BlockByte(kUnitRecordBlock,
                                                                    kUnitRecordBytes * (k - 1u))));
            return kHandlerAccepted;
        case kQueryTerminalPort: {
            // The table holds any byte; one that names no terminal (0 or above 128) is refused.
            const TerminalRecord* terminal =
                FindTerminal(state.terminals, state.image.terminal_index_table[k - 1u]);
            if (terminal == nullptr) return kHandlerRejected;
            AppendPortCode(record, terminal->attributes[kTerminalPortAttribute]);
            return kHandlerAccepted;
        }
        case kQueryFlagValue: {
            const std::uint8_t byte = *state.image.BlockByte(kFlagValueBlock, 16u + 24u * k);
            AppendMaskFlag(record, byte, kFlagValueFlag);
            record.line.Append(',');
            AppendDigit(record, GetBits01(byte));
            return kHandlerAccepted;
        }
        default:
            return kHandlerRejected;
    }
}

// --- Slot 35 ---------------------------------------------------------------------------------
// Line: "k-ppp". A code stands once in its table; position 000 clears the entry.

std::uint8_t StoreHandler035(ProgrammingState& state, TerminalRecord& record) {
    const PortCodeKey key = ParsePortCodeKey(state, record);
    if (key.item == nullptr) return kHandlerRejected;
    const std::uint8_t code = key.item->map(
        key.item->read(record, static_cast<std::uint8_t>(FirstFieldPosition(state) + 2)));
    if (code == kPositionRefused) return kHandlerRejected;
    // The duplicates go first; the new code is written even when one of them did not clear.
    std::uint8_t answer = kHandlerAccepted;
    for (std::uint8_t& entry : key.entries) {
        if (entry != code) continue;
        entry = 0;
        if (entry != 0) answer = kHandlerMismatch;
    }
    key.entries[key.k - 1u] = code;
    if (key.entries[key.k - 1u] != code) return kHandlerMismatch;
    return answer;
}

std::uint8_t ShowHandler035(ProgrammingState& state, TerminalRecord& record) {
    const PortCodeKey key = ParsePortCodeKey(state, record);
    if (key.item == nullptr) return kHandlerRejected;
    AppendPortCode(record, key.entries[key.k - 1u]);
    return kHandlerAccepted;
}

// --- Slot 36 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler036(ProgrammingState& state, TerminalRecord& record) {
    const NibbleItem* row = FindItem(kSlot36Items, CurrentDescriptor(state).SubType());
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t v = ParseByteField(record, FirstFieldPosition(state), 1, 1, 9);
    std::uint8_t* byte = ResolvePlace(state.image, row->place, 0);
    if (v == kFieldRefused || byte == nullptr) return kHandlerRejected;
    row->field.set(v, *byte);
    return row->field.get(*byte) == v ? kHandlerAccepted : kHandlerMismatch;
}

// A *9504 number of a billion or more (received data can hold one) shows its low nine digits,
// as every number wider than its show does.
std::uint8_t ShowHandler036(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t sub_type = CurrentDescriptor(state).SubType();
    if (sub_type == kShowNumberItem) {
        std::uint32_t value = 0;
        for (std::uint8_t b : state.image.number_9504) value = value << 8 | b;
        AppendLongNumber(record, value, kNumberDigits, 10);
        return kHandlerAccepted;
    }
    const NibbleItem* row = FindItem(kSlot36Items, sub_type);
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t* byte = ResolvePlace(state.image, row->place, 0);
    if (byte == nullptr) return kHandlerRejected;
    AppendDigit(record, row->field.get(*byte));
    return kHandlerAccepted;
}

// --- Slot 39 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler039(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    if (descriptor.SubType() == kCodeItem) {
        const std::uint8_t first = ParseByteField(record, p, 1, 1, 2);
        const std::uint8_t second = ParseByteField(record, p + 1, 1, 0, 4);
        if (first == kFieldRefused || second == kFieldRefused) return kHandlerRejected;
        std::uint8_t& code = state.image.Setting(SettingByte::k407);
        PackTwoCharCode(record, p, code);
        return VerifyTwoCharCode(record, p, code);
    }
    const TwoDigitItem* row = FindTwoDigitItem(descriptor);
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t v = ParseByteField(record, p, 2, row->min, 15);
    std::uint8_t* byte = NibbleByte(state);
    if (v == kFieldRefused || byte == nullptr) return kHandlerRejected;
    row->field.set(v, *byte);
    return row->field.get(*byte) == v ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler039(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    if (descriptor.SubType() == kCodeItem) {
        AppendTwoCharCode(record, state.image.Setting(SettingByte::k407));
        return kHandlerAccepted;
    }
    const TwoDigitItem* row = FindTwoDigitItem(descriptor);
    const std::uint8_t* byte = NibbleByte(state);
    if (row == nullptr || byte == nullptr) return kHandlerRejected;
    AppendNumber(record, row->field.get(*byte), 2, 10);
    return kHandlerAccepted;
}

}  // namespace qzs
