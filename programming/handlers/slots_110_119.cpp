// Slots 110-119: the shared keyed options of slot 110 with the *615 numbers and the two-field
// *9272 and *9307, and the smaller keyed options of slots 114, 116, 117 and 119. P below is the
// first field position on the line. Slots 111, 112 and 113 serve no command and are kept as the
// main unit has them; slot 118, which no command reaches either, refuses.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "programming/character_table.h"
#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/packed_digits.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

void SetBit0(std::uint8_t value, std::uint8_t& byte) {
    SetMaskBits(byte, 0x01, value);
}
std::uint8_t GetBit0(std::uint8_t byte) {
    return byte & 0x01;
}
void SetBit1(std::uint8_t value, std::uint8_t& byte) {
    SetMaskBits(byte, 0x02, value);
}
std::uint8_t GetBit1(std::uint8_t byte) {
    return (byte >> 1) & 0x01;
}

constexpr BitField kBit0{&SetBit0, &GetBit0};
constexpr BitField kBit1{&SetBit1, &GetBit1};
constexpr BitField kWholeByte{&SetByteField, &GetByteField};

// Where key k's byte lies: byte base + stride * k of a block, or of a table outside the blocks.
struct KeyedPlace {
    enum class Table : std::uint8_t { kBlock, k820, k9441, k9212 };
    Table table;
    int block;
    int base;
    int stride;
};

constexpr KeyedPlace InBlockByKey(int block, int base, int stride) {
    return {KeyedPlace::Table::kBlock, block, base, stride};
}
constexpr KeyedPlace InTableByKey(KeyedPlace::Table table) {
    return {table, 0, -1, 1};  // byte k - 1
}

std::uint8_t* KeyedByte(DataImage& image, const KeyedPlace& place, std::uint8_t k) {
    const int offset = place.base + place.stride * k;
    if (offset < 0) return nullptr;
    const auto at = static_cast<std::size_t>(offset);
    std::span<std::uint8_t> table;
    switch (place.table) {
        case KeyedPlace::Table::kBlock:
            return image.BlockByte(place.block, at);
        case KeyedPlace::Table::k820:
            table = image.table_820;
            break;
        case KeyedPlace::Table::k9441:
            table = image.table_9441;
            break;
        case KeyedPlace::Table::k9212:
            table = image.table_9212;
            break;
    }
    return at < table.size() ? &table[at] : nullptr;
}

// One key digit at P, the value at P + 2: one digit (shown as a hexadecimal character) or two
// (shown as two decimals).
struct KeyedItem {
    std::uint8_t item;
    std::uint8_t key_min;
    std::uint8_t key_max;
    std::uint8_t digits;
    std::uint8_t min;
    std::uint8_t max;
    KeyedPlace place;
    BitField field;
    std::uint8_t high_key_max = 0;  // the value's maximum from key 3 on, when it differs
    std::uint8_t gap_min = 0;       // values gap_min-gap_max are refused (0: none)
    std::uint8_t gap_max = 0;
};

// Block 85 holds 12-byte records, record k - 1 for k 1-2; block 80 repeats its fields every 39
// bytes for k 0-3. Sub-types 1, 2, 3, 5, 6, 10, 11 and 15 carry no command and have no row.
constexpr std::array kSlot110Items{
    KeyedItem{4, 1, 4, 2, 1, 10, InBlockByKey(148, -1, 1), kLowNibble, 11},             // *314
    KeyedItem{7, 1, 2, 1, 0, 6, InBlockByKey(85, 1 - 12, 12), kBits46},                 // *691
    KeyedItem{8, 1, 2, 1, 1, 6, InBlockByKey(85, 1 - 12, 12), kBits02},                 // *682
    KeyedItem{9, 1, 2, 2, 1, 99, InBlockByKey(85, 6 - 12, 12), kWholeByte, 0, 91, 98},  // *685
    KeyedItem{12, 1, 2, 1, 0, 3, InBlockByKey(85, 7 - 12, 12), kBits01},                // *683
    KeyedItem{14, 0, 3, 1, 0, 6, InBlockByKey(80, 52, 39), kBits02},                    // *9227
    KeyedItem{16, 1, 2, 2, 1, 3, InBlockByKey(85, 8 - 12, 12), kLowNibble},             // *692
    KeyedItem{20, 1, 9, 1, 0, 7, InTableByKey(KeyedPlace::Table::k820), kBits02},       // *820
    KeyedItem{21, 0, 3, 1, 0, 7, InBlockByKey(80, 85, 39), kBits02},                    // *821
    KeyedItem{22, 0, 3, 1, 0, 7, InBlockByKey(80, 52, 39), kBits46},                    // *9229
    KeyedItem{23, 1, 3, 1, 1, 4, InTableByKey(KeyedPlace::Table::k9441), kBits02},      // *9441
};

// Block 61 holds 4-byte entries, entry k - 1 for k 1-5.
constexpr std::array kSlot114Items{
    KeyedItem{1, 1, 5, 1, 0, 7, InBlockByKey(61, 2 - 4, 4), kBits02},              // *050
    KeyedItem{2, 1, 5, 1, 0, 7, InBlockByKey(61, 3 - 4, 4), kBits02},              // *051
    KeyedItem{3, 1, 5, 1, 0, 7, InBlockByKey(61, 3 - 4, 4), kBits46},              // *052
    KeyedItem{4, 1, 5, 1, 0, 7, InTableByKey(KeyedPlace::Table::k9212), kBits02},  // *9212
    KeyedItem{5, 1, 5, 1, 0, 7, InTableByKey(KeyedPlace::Table::k9212), kBits46},  // *9213
};

constexpr std::array kSlot116Items{
    KeyedItem{0, 1, 5, 1, 0, 3, InBlockByKey(61, 0 - 4, 4), kBits01},  // *9202
};

constexpr std::array kSlot117Items{
    KeyedItem{1, 1, 5, 1, 1, 9, InBlockByKey(61, 1 - 4, 4), kHighNibble},  // *9203
    KeyedItem{2, 1, 5, 1, 1, 9, InBlockByKey(61, 1 - 4, 4), kLowNibble},   // *9204
    KeyedItem{3, 1, 3, 1, 0, 1, InBlockByKey(80, 13, 1), kBit0},           // *9208
    KeyedItem{4, 1, 3, 1, 0, 1, InBlockByKey(80, 13, 1), kBit1},           // *9209
};

// Slots 111 and 112 serve no command: 111 has one field whatever the sub-type, 112 two.
constexpr KeyedItem kSlot111Item{0, 1, 2, 1, 0, 3, InBlockByKey(63, 8, 1), kBits01};
constexpr std::array kSlot112Items{
    KeyedItem{1, 1, 2, 1, 0, 2, InBlockByKey(64, -8, 8), kBits01},
    KeyedItem{2, 1, 2, 2, 0, 8, InBlockByKey(98, -4, 4), kWholeByte},
};

struct KeyedTarget {
    const KeyedItem* item = nullptr;
    std::uint8_t* byte = nullptr;
    std::uint8_t k = 0;
};

KeyedTarget ParseKeyedRow(ProgrammingState& state, const TerminalRecord& record,
                          const KeyedItem* row) {
    if (row == nullptr) return {};
    const std::uint8_t k =
        ParseByteField(record, FirstFieldPosition(state), 1, row->key_min, row->key_max);
    if (k == kFieldRefused) return {};
    std::uint8_t* byte = KeyedByte(state.image, row->place, k);
    if (byte == nullptr) return {};
    return {row, byte, k};
}

std::uint8_t StoreKeyedRow(ProgrammingState& state, const TerminalRecord& record,
                           const KeyedItem* item) {
    const KeyedTarget target = ParseKeyedRow(state, record, item);
    if (target.item == nullptr) return kHandlerRejected;
    const KeyedItem& row = *target.item;
    const std::uint8_t max = row.high_key_max != 0 && target.k >= 3 ? row.high_key_max : row.max;
    const std::uint8_t v = ParseByteField(
        record, static_cast<std::uint8_t>(FirstFieldPosition(state) + 2), row.digits, row.min, max);
    if (v == kFieldRefused || (row.gap_min != 0 && v >= row.gap_min && v <= row.gap_max)) {
        return kHandlerRejected;
    }
    row.field.set(v, *target.byte);
    return row.field.get(*target.byte) == v ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowKeyedRow(ProgrammingState& state, TerminalRecord& record, const KeyedItem* item) {
    const KeyedTarget target = ParseKeyedRow(state, record, item);
    if (target.item == nullptr) return kHandlerRejected;
    const std::uint8_t value = target.item->field.get(*target.byte);
    if (target.item->digits == 1) {
        AppendDigit(record, value);
    } else {
        AppendNumber(record, value, 2, 10);
    }
    return kHandlerAccepted;
}

template <std::size_t N>
std::uint8_t StoreKeyed(ProgrammingState& state, const TerminalRecord& record,
                        const std::array<KeyedItem, N>& items) {
    return StoreKeyedRow(state, record, FindItem(items, CurrentDescriptor(state).SubType()));
}

template <std::size_t N>
std::uint8_t ShowKeyed(ProgrammingState& state, TerminalRecord& record,
                       const std::array<KeyedItem, N>& items) {
    return ShowKeyedRow(state, record, FindItem(items, CurrentDescriptor(state).SubType()));
}

// Slot 113 (no command): the twelve line characters from P, blanks included, in block 62
// bytes 10-21.
constexpr int kTextBlock = 62;
constexpr std::size_t kTextByte = 10;
constexpr std::size_t kTextBytes = 12;

// ---------------------------------------------------------------------------------------------
// Slot 110, sub-type 13 (*684): keys 1-4 are two bits of byte 7 of the two block-85 records.

constexpr std::uint8_t kTwoBitItem = 13;

std::uint8_t* TwoBitByte(DataImage& image, std::uint8_t k, std::uint8_t& mask) {
    mask = k % 2 == 1 ? 0x04 : 0x08;
    return image.BlockByte(85, 12u * ((k - 1u) / 2u) + 7u);
}

// Sub-types 17 (*9272) and 19 (*9307): two data fields into two places, both written before
// either is read back.
constexpr std::uint8_t k9272Item = 17;
constexpr std::uint8_t k9307Item = 19;

// Sub-type 18 (*615): sixteen dial digits per entry, rows 1-7 of 20 entries.
constexpr std::uint8_t k615Item = 18;
constexpr std::uint8_t k615Rows = 7;
constexpr std::uint8_t k615Entries = 20;
constexpr std::uint8_t k615Digits = 16;

std::uint8_t StoreTwoFields(ProgrammingState& state, const TerminalRecord& record,
                            std::uint8_t sub_type) {
    const std::uint8_t p = FirstFieldPosition(state);
    DataImage& image = state.image;
    if (sub_type == k9272Item) {
        const std::uint8_t a = ParseByteField(record, p, 1, 0, 3);
        const std::uint8_t b = ParseByteField(record, p + 2, 1, 1, 2);
        if (a == kFieldRefused || b == kFieldRefused) return kHandlerRejected;
        std::uint8_t& byte = image.Setting(SettingByte::k9272);
        SetBits01(a, byte);
        SetBits46(b, byte);
        return GetBits01(byte) == a && GetBits46(byte) == b ? kHandlerAccepted : kHandlerMismatch;
    }
    const std::uint8_t a = ParseByteField(record, p, 1, 0, 2);
    const std::uint8_t b = ParseByteField(record, p + 2, 2, 0, 15);
    if (a == kFieldRefused || b == kFieldRefused) return kHandlerRejected;
    std::uint8_t& setting = image.Setting(SettingByte::k9307);
    std::uint8_t& nibble = *image.BlockByte(3, 10);
    SetBits67(a, setting);
    SetLowNibble(b, nibble);
    return GetBits67(setting) == a && GetLowNibble(nibble) == b ? kHandlerAccepted
                                                                : kHandlerMismatch;
}

std::uint8_t ShowTwoFields(ProgrammingState& state, TerminalRecord& record, std::uint8_t sub_type) {
    DataImage& image = state.image;
    if (sub_type == k9272Item) {
        const std::uint8_t byte = image.Setting(SettingByte::k9272);
        AppendDigit(record, GetBits01(byte));
        record.line.Append(',');
        AppendDigit(record, GetBits46(byte));
        return kHandlerAccepted;
    }
    AppendDigit(record, GetBits67(image.Setting(SettingByte::k9307)));
    record.line.Append(',');
    AppendNumber(record, GetLowNibble(*image.BlockByte(3, 10)), 2, 10);
    return kHandlerAccepted;
}

std::uint8_t Store615(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t row = ParseByteField(record, p, 2, 1, k615Rows);
    const std::uint8_t entry = ParseByteField(record, p + 3, 2, 0, k615Entries);
    if (row == kFieldRefused || entry == kFieldRefused) return kHandlerRejected;
    auto& entries = state.image.numbers_615[row - 1u];
    const std::uint8_t data = p + 6;
    if (record.line.At(data) == '0' && record.line.At(data + 1u) == ' ') {
        if (entry == 0) {
            for (auto& e : entries) e.fill(0);
        } else {
            entries[entry - 1u].fill(0);
        }
        return kHandlerAccepted;
    }
    if (entry == 0) return kHandlerRejected;
    PackDialDigits(record, k615Digits, data, entries[entry - 1u]);
    return VerifyDialDigits(record, k615Digits, data, entries[entry - 1u]);
}

std::uint8_t Show615(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t row = ParseByteField(record, p, 2, 1, k615Rows);
    const std::uint8_t entry = ParseByteField(record, p + 3, 2, 1, k615Entries);
    if (row == kFieldRefused || entry == kFieldRefused) return kHandlerRejected;
    UnpackDialDigits(record, k615Digits, state.image.numbers_615[row - 1u][entry - 1u]);
    return kHandlerAccepted;
}

// Slot 119 (*144): bits 5-7 of block 55 byte 7. Sub-types 1 and 4 carry no command and refuse.
constexpr std::uint8_t k144Item = 2;

}  // namespace

// --- Slot 110 --------------------------------------------------------------------------------

std::uint8_t StoreHandler110(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t sub_type = CurrentDescriptor(state).SubType();
    if (sub_type == k9272Item || sub_type == k9307Item) {
        return StoreTwoFields(state, record, sub_type);
    }
    if (sub_type == k615Item) return Store615(state, record);
    if (sub_type == kTwoBitItem) {
        const std::uint8_t p = FirstFieldPosition(state);
        const std::uint8_t k = ParseByteField(record, p, 1, 1, 4);
        const std::uint8_t v = ParseByteField(record, p + 2, 1, 0, 1);
        if (k == kFieldRefused || v == kFieldRefused) return kHandlerRejected;
        std::uint8_t mask = 0;
        std::uint8_t* byte = TwoBitByte(state.image, k, mask);
        return SetMaskBits(*byte, mask, v) ? kHandlerAccepted : kHandlerMismatch;
    }
    return StoreKeyed(state, record, kSlot110Items);
}

std::uint8_t ShowHandler110(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t sub_type = CurrentDescriptor(state).SubType();
    if (sub_type == k9272Item || sub_type == k9307Item) {
        return ShowTwoFields(state, record, sub_type);
    }
    if (sub_type == k615Item) return Show615(state, record);
    if (sub_type == kTwoBitItem) {
        const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 1, 1, 4);
        if (k == kFieldRefused) return kHandlerRejected;
        std::uint8_t mask = 0;
        const std::uint8_t byte = *TwoBitByte(state.image, k, mask);
        AppendMaskFlag(record, byte, mask);
        return kHandlerAccepted;
    }
    return ShowKeyed(state, record, kSlot110Items);
}

// --- Slots 111, 112 and 113 ------------------------------------------------------------------

std::uint8_t StoreHandler111(ProgrammingState& state, TerminalRecord& record) {
    return StoreKeyedRow(state, record, &kSlot111Item);
}

std::uint8_t ShowHandler111(ProgrammingState& state, TerminalRecord& record) {
    return ShowKeyedRow(state, record, &kSlot111Item);
}

std::uint8_t StoreHandler112(ProgrammingState& state, TerminalRecord& record) {
    return StoreKeyed(state, record, kSlot112Items);
}

std::uint8_t ShowHandler112(ProgrammingState& state, TerminalRecord& record) {
    return ShowKeyed(state, record, kSlot112Items);
}

std::uint8_t StoreHandler113(ProgrammingState& state, TerminalRecord& record) {
    auto text = BlockBytes(state.image, kTextBlock, kTextByte, kTextBytes);
    const std::size_t p = FirstFieldPosition(state);
    CopyLineText(record, p, text);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != static_cast<std::uint8_t>(record.line.At(p + i))) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler113(ProgrammingState& state, TerminalRecord& record) {
    AppendStoredText(record, BlockBytes(state.image, kTextBlock, kTextByte, kTextBytes));
    return kHandlerAccepted;
}

// --- Slot 114 --------------------------------------------------------------------------------
// The display reloads its characters after every store that wrote, whatever the read-back gave.

std::uint8_t StoreHandler114(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t result = StoreKeyed(state, record, kSlot114Items);
    if (result != kHandlerRejected) ReloadCharacterTable(state.display_characters);
    return result;
}

std::uint8_t ShowHandler114(ProgrammingState& state, TerminalRecord& record) {
    return ShowKeyed(state, record, kSlot114Items);
}

// --- Slots 116 and 117 -----------------------------------------------------------------------

std::uint8_t StoreHandler116(ProgrammingState& state, TerminalRecord& record) {
    return StoreKeyed(state, record, kSlot116Items);
}

std::uint8_t ShowHandler116(ProgrammingState& state, TerminalRecord& record) {
    return ShowKeyed(state, record, kSlot116Items);
}

std::uint8_t StoreHandler117(ProgrammingState& state, TerminalRecord& record) {
    return StoreKeyed(state, record, kSlot117Items);
}

std::uint8_t ShowHandler117(ProgrammingState& state, TerminalRecord& record) {
    return ShowKeyed(state, record, kSlot117Items);
}

// --- Slot 119 --------------------------------------------------------------------------------

std::uint8_t StoreHandler119(ProgrammingState& state, TerminalRecord& record) {
    if (CurrentDescriptor(state).SubType() != k144Item) return kHandlerRejected;
    const std::uint8_t v = ParseByteField(record, FirstFieldPosition(state), 1, 0, 6);
    if (v == kFieldRefused) return kHandlerRejected;
    std::uint8_t& byte = *state.image.BlockByte(55, 7);
    SetBits57(v, byte);
    return GetBits57(byte) == v ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler119(ProgrammingState& state, TerminalRecord& record) {
    if (CurrentDescriptor(state).SubType() != k144Item) return kHandlerRejected;
    AppendDigit(record, GetBits57(*state.image.BlockByte(55, 7)));
    return kHandlerAccepted;
}

}  // namespace qzs
