// Slots 40-49 and 104: the entries of *9234/*9235, the group members of *731 and *362, the
// port codes of *084, the unit codes of *081, single options (*724, *503, *130, *625) and the
// system speed-dial number of *126. Fields follow the command number's "=", each with one
// separator after it, so two-digit fields begin at offsets 0, 3 and 6.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "programming/factory_defaults.h"
#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/number_index.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"
#include "programming/table_clear.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

// ---------------------------------------------------------------------------------------------
// Slot 40: entry n (0-3) of block 80 at 39 n: a digit in the low nibble of byte 49 (*9234) and a
// two-character code in byte 81 (*9235).
constexpr int kEntryBlock = 80;
constexpr std::size_t kEntryStride = 39;
constexpr std::size_t kEntryDigitByte = 49;
constexpr std::size_t kEntryCodeByte = 81;

std::uint8_t* EntryByte(ProgrammingState& state, const TerminalRecord& record, std::uint8_t item) {
    const std::uint8_t n = ParseByteField(record, FirstFieldPosition(state), 1, 0, 3);
    if (n == kFieldRefused || (item != 1 && item != 2)) return nullptr;
    return state.image.BlockByte(kEntryBlock,
                                 kEntryStride * n + (item == 1 ? kEntryDigitByte : kEntryCodeByte));
}

// ---------------------------------------------------------------------------------------------
// Groups 1-3. Their members stand at four positions of a row of block 68 (16-byte rows) and of
// the *731 table, and at 30 entries of a row of blocks 67 and 72 (30-byte rows).

enum class GroupTable : std::uint8_t { k68, k731, k67, k72 };

constexpr std::uint8_t kGroups = 3;
constexpr std::uint8_t kMemberPositions = 4;
constexpr std::uint8_t kRowEntries = 30;

std::span<std::uint8_t> GroupRow(DataImage& image, GroupTable table, std::uint8_t row) {
    switch (table) {
        case GroupTable::k68:
            return BlockBytes(image, 68, 16u * row, kMemberPositions);
        case GroupTable::k731:
            if (row >= image.members_731.size()) return {};
            return image.members_731[row];
        case GroupTable::k67:
            return BlockBytes(image, 67, std::size_t{kRowEntries} * row, kRowEntries);
        case GroupTable::k72:
            return BlockBytes(image, 72, std::size_t{kRowEntries} * row, kRowEntries);
    }
    return {};
}

// Takes the value out of row g of the four-position tables and clears entry `entry` of row g of
// the 30-entry tables, so that it stands in none of them.
void TakeOutOfRow(DataImage& image, std::uint8_t row, std::uint8_t value, std::uint8_t entry) {
    for (GroupTable table : {GroupTable::k68, GroupTable::k731}) {
        for (std::uint8_t& b : GroupRow(image, table, row)) {
            if (b == value) b = 0;
        }
    }
    if (entry < 1 || entry > kRowEntries) return;
    for (GroupTable table : {GroupTable::k67, GroupTable::k72}) {
        auto bytes = GroupRow(image, table, row);
        if (!bytes.empty()) bytes[entry - 1u] = 0;
    }
}

struct MemberItem {
    std::uint8_t item;
    GroupTable table;
    std::uint8_t positions;
    std::uint8_t highest_value;
};
// Slot 41 (*731 is item 2) and slot 104 (no command).
constexpr std::array kMemberItems41{
    MemberItem{1, GroupTable::k68, kMemberPositions, 30},
    MemberItem{2, GroupTable::k731, kMemberPositions, 30},
};
constexpr std::array kMemberItems104{
    MemberItem{1, GroupTable::k67, kRowEntries, 24},
    MemberItem{2, GroupTable::k72, kRowEntries, 3},
};

// Group g at offset 0, position p at 3 (0 with value 0 clears the row), value v at 6. A value
// other than 0 first leaves the group wherever it stands.
std::uint8_t StoreGroupMember(ProgrammingState& state, TerminalRecord& record,
                              const MemberItem* item) {
    if (item == nullptr) return kHandlerRejected;
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t group = ParseByteField(record, p, 2, 1, kGroups);
    const std::uint8_t position = ParseByteField(record, p + 3, 2, 0, item->positions);
    const std::uint8_t value = ParseByteField(record, p + 6, 2, 0, item->highest_value);
    if (group == kFieldRefused || position == kFieldRefused || value == kFieldRefused) {
        return kHandlerRejected;
    }
    auto row = GroupRow(state.image, item->table, group);
    if (row.size() < item->positions) return kHandlerRejected;
    if (position == 0) {
        if (value != 0) return kHandlerRejected;
        for (std::size_t i = 0; i < item->positions; ++i) {
            row[i] = 0;
            if (row[i] != 0) return kHandlerMismatch;
        }
        return kHandlerAccepted;
    }
    if (value != 0) {
        TakeOutOfRow(state.image, group, value, value);
        RemoveGroupMembership(state.image, group, value);
    }
    row[position - 1u] = value;
    return row[position - 1u] == value ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowGroupMember(ProgrammingState& state, TerminalRecord& record,
                             const MemberItem* item) {
    if (item == nullptr) return kHandlerRejected;
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t group = ParseByteField(record, p, 2, 1, kGroups);
    const std::uint8_t position = ParseByteField(record, p + 3, 2, 1, item->positions);
    if (group == kFieldRefused || position == kFieldRefused) return kHandlerRejected;
    auto row = GroupRow(state.image, item->table, group);
    if (row.size() < item->positions) return kHandlerRejected;
    AppendNumber(record, row[position - 1u], 2, 10);
    return kHandlerAccepted;
}

// ---------------------------------------------------------------------------------------------
// Slot 42 (*362): rows 1-3 of block 38 (96 bytes from 96 r), entries 1-30 in bytes 0-29, values
// 0-24; value v's entry of block 37 (6 bytes from 6(v - 1)) has bit r of its byte 4 set while v
// stands in row r.
constexpr int kValueRowBlock = 38;
constexpr std::size_t kValueRowBytes = 96;
constexpr std::uint8_t kHighestRowValue = 24;
constexpr int kRowMaskBlock = 37;

std::uint8_t* RowMask(DataImage& image, std::uint8_t value) {
    // A value above 24 (from loaded data) has no entry of its own in block 37.
    if (value < 1 || value > kHighestRowValue) return nullptr;
    return image.BlockByte(kRowMaskBlock, 6u * (value - 1u) + 4u);
}

// Clears row r's bit of the value's mask; false when it stays set.
bool ClearRowBit(DataImage& image, std::uint8_t value, std::uint8_t row) {
    std::uint8_t* mask = RowMask(image, value);
    if (mask == nullptr) return true;
    return SetMaskBits(*mask, static_cast<std::uint8_t>(1u << row), 0);
}

// ---------------------------------------------------------------------------------------------
// Slot 43 (*084): rows 1-7 of block 39 (24 bytes from 24 a), entries 1-10 in bytes 0-9 holding
// port codes; a code stands at most once in rows 0-7.
constexpr int kPortRowBlock = 39;
constexpr std::size_t kPortRowBytes = 24;
constexpr std::uint8_t kPortRows = 7;
constexpr std::uint8_t kPortEntries = 10;

// ---------------------------------------------------------------------------------------------
// Slot 44 (*081): keys 0-16 and 27-54 name a byte of block 15 holding a code of one or two dial
// digits; block 14 holds, for each first digit (1-9, '0' as 10), the number of further digits in
// its bits 0-1 (the other bits come with loaded data and are not a count).
constexpr int kUnitCodeBlock = 15;
constexpr int kDigitCountBlock = 14;
constexpr std::uint8_t kRemoveCodeKey = 99;
constexpr std::uint8_t kSelectorUnitCodes = 1;
constexpr std::uint8_t kSelectorAll = 3;

bool IsUnitCodeKey(std::uint8_t key) {
    return key <= 16 || (key >= 27 && key <= 54);
}

// ---------------------------------------------------------------------------------------------
// Slot 45: *724 a two-character code in block 55 byte 13 (the code filter, and neither 10 nor
// 20); *503 a value 1-4 in bits 0-2 of block 80 byte 36.
constexpr std::uint8_t kItem724 = 1;
constexpr std::uint8_t kItem503 = 2;

// Slot 46: a two-digit value per item; item 2 keeps it times 120 in a word.
struct ByteValueItem {
    std::uint8_t item;
    std::uint8_t block;
    std::uint8_t byte;
    std::uint8_t lowest;
    std::uint8_t highest;
};
constexpr std::array kByteValueItems{
    ByteValueItem{1, 3, 8, 0, 99},    // *130
    ByteValueItem{3, 35, 3, 0, 99},   // no command
    ByteValueItem{5, 80, 11, 1, 15},  // *625
};
constexpr std::uint8_t kWordItem = 2;  // no command: block 20, bytes 4-5
constexpr int kWordBlock = 20;
constexpr std::size_t kWordByte = 4;
constexpr std::uint16_t kWordUnit = 120;

// ---------------------------------------------------------------------------------------------
// Slot 47 (*126): system speed-dial rows 0-599 of block 169, 71 bytes each; bytes 0-5 the first
// 12 digits low nibble first, bytes 6-11 digits 13-24.
constexpr int kSpeedDialBlock = 169;
constexpr std::size_t kSpeedDialRecordBytes = 71;
constexpr std::uint16_t kSystemRows = 600;
constexpr std::uint8_t kTypedDigits = 12;
constexpr std::size_t kFirstDigitsBytes = 6;
constexpr int kIndexModeSystemRows = 2;

// The three-digit row; the two-digit form (a "-" after two digits) belongs to the 80-row layout,
// which this handler never takes.
std::uint16_t SpeedDialRow(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    if (record.line.At(p + 2u) == '-') return 0xFFFF;
    return ParseDigitWord(record, p, 3, 0, kSystemRows - 1);
}

std::span<std::uint8_t> SpeedDialNumber(DataImage& image, std::uint16_t row) {
    return BlockBytes(image, kSpeedDialBlock, kSpeedDialRecordBytes * row, 2 * kFirstDigitsBytes);
}

// Slot 48 (no command): three dial digits in block 40 bytes 28-29.
constexpr int kDialBlock = 40;
constexpr std::size_t kDialByte = 28;

}  // namespace

// --- Slot 40 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler040(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    std::uint8_t* byte = EntryByte(state, record, item);
    if (byte == nullptr) return kHandlerRejected;
    const std::uint8_t data = FirstFieldPosition(state) + 2;
    if (item == 1) {
        const std::uint8_t digit = ParseByteField(record, data, 1, 0, 9);
        if (digit == kFieldRefused) return kHandlerRejected;
        SetLowNibble(digit, *byte);
        return GetLowNibble(*byte) == digit ? kHandlerAccepted : kHandlerMismatch;
    }
    const std::uint8_t code = ParseByteField(record, data, 2, 9, 24);
    if (code == kFieldRefused || !PassesCodeFilter(CodeFilterB, code)) return kHandlerRejected;
    PackTwoCharCode(record, data, *byte);
    return VerifyTwoCharCode(record, data, *byte);
}

std::uint8_t ShowHandler040(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    const std::uint8_t* byte = EntryByte(state, record, item);
    if (byte == nullptr) return kHandlerRejected;
    if (item == 1) {
        AppendDigit(record, GetLowNibble(*byte));
    } else {
        AppendTwoCharCode(record, *byte);
    }
    return kHandlerAccepted;
}

// --- Slot 41 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler041(ProgrammingState& state, TerminalRecord& record) {
    return StoreGroupMember(state, record,
                            FindItem(kMemberItems41, CurrentDescriptor(state).SubType()));
}

std::uint8_t ShowHandler041(ProgrammingState& state, TerminalRecord& record) {
    return ShowGroupMember(state, record,
                           FindItem(kMemberItems41, CurrentDescriptor(state).SubType()));
}

// --- Slot 42 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler042(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t row_number = ParseByteField(record, p, 2, 1, kGroups);
    const std::uint8_t entry = ParseByteField(record, p + 3, 2, 0, kRowEntries);
    const std::uint8_t value = ParseByteField(record, p + 6, 2, 0, kHighestRowValue);
    if (row_number == kFieldRefused || entry == kFieldRefused || value == kFieldRefused) {
        return kHandlerRejected;
    }
    auto row = BlockBytes(state.image, kValueRowBlock, kValueRowBytes * row_number, kRowEntries);
    if (row.empty()) return kHandlerRejected;
    if (entry == 0) {
        if (value != 0) return kHandlerRejected;
        for (std::uint8_t& b : row) {
            const std::uint8_t old = b;
            b = 0;
            if (b != 0) return kHandlerMismatch;
            if (old != 0 && !ClearRowBit(state.image, old, row_number)) return kHandlerMismatch;
        }
        return kHandlerAccepted;
    }
    if (value != 0) TakeOutOfRow(state.image, row_number, entry, entry);
    const std::uint8_t old = row[entry - 1u];
    if (old != 0 && IsValueUnusedInRow(state.image, row_number, entry, old) &&
        !ClearRowBit(state.image, old, row_number)) {
        return kHandlerMismatch;
    }
    row[entry - 1u] = value;
    if (value == 0) return row[entry - 1u] == 0 ? kHandlerAccepted : kHandlerMismatch;
    std::uint8_t* mask = RowMask(state.image, value);
    const bool set = SetMaskBits(*mask, static_cast<std::uint8_t>(1u << row_number), 1);
    return set ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler042(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t row_number = ParseByteField(record, p, 2, 1, kGroups);
    const std::uint8_t entry = ParseByteField(record, p + 3, 2, 1, kRowEntries);
    if (row_number == kFieldRefused || entry == kFieldRefused) return kHandlerRejected;
    AppendNumber(record,
                 *state.image.BlockByte(kValueRowBlock, kValueRowBytes * row_number + entry - 1u),
                 2, 10);
    return kHandlerAccepted;
}

// --- Slot 43 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler043(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t row = ParseByteField(record, p, 2, 1, kPortRows);
    const std::uint8_t entry = ParseByteField(record, p + 3, 2, 1, kPortEntries);
    const std::uint8_t index = ParsePosition72(record, p + 6);
    if (row == kFieldRefused || entry == kFieldRefused || index == kFieldRefused) {
        return kHandlerRejected;
    }
    const std::uint8_t code = MapSlotCodeWide(index);
    // Row 0 is searched too, though no command writes it.
    for (std::uint8_t r = 0; r <= kPortRows; ++r) {
        for (std::uint8_t& b :
             BlockBytes(state.image, kPortRowBlock, kPortRowBytes * r, kPortEntries)) {
            if (b == code) b = 0;
        }
    }
    std::uint8_t& byte = *state.image.BlockByte(kPortRowBlock, kPortRowBytes * row + entry - 1u);
    byte = code;
    return byte == code ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler043(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t row = ParseByteField(record, p, 2, 1, kPortRows);
    const std::uint8_t entry = ParseByteField(record, p + 3, 2, 1, kPortEntries);
    if (row == kFieldRefused || entry == kFieldRefused) return kHandlerRejected;
    AppendPortCode(record, *state.image.BlockByte(kPortRowBlock, kPortRowBytes * row + entry - 1u));
    return kHandlerAccepted;
}

// --- Slot 44 ---------------------------------------------------------------------------------
// The code k holds the first digit's value in its high nibble and the second's (0 when there is
// none) in its low nibble; n, the number of digits typed, is RemoveUnitReferences' mode.

std::uint8_t StoreHandler044(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t key = ParseByteField(record, p, 2, 0, 99);
    if (key == kFieldRefused) return kHandlerRejected;
    const std::uint8_t data = p + 3;
    const char first = record.line.At(data);
    const char second = record.line.At(data + 1u);
    const std::string_view typed(record.line.Text().substr(data));
    const std::uint8_t digits = CountLeadingDigits(typed, 2);
    if (digits == 0) return kHandlerRejected;
    const auto code = static_cast<std::uint8_t>(DialDigitValue(first) * 16 +
                                                (digits == 2 ? DialDigitValue(second) : 0));
    if (key == kRemoveCodeKey) {
        RemoveUnitReferences(state.image, state.modified, code, 0, digits, kSelectorUnitCodes);
        return kHandlerAccepted;
    }
    if (!IsUnitCodeKey(key)) return kHandlerRejected;
    const std::uint8_t further =
        GetBits01(*state.image.BlockByte(kDigitCountBlock, DialDigitValue(first)));
    if (digits != further + 1u) return kHandlerRejected;
    RemoveUnitReferences(state.image, state.modified, code, 0, digits, kSelectorAll);
    auto byte = BlockBytes(state.image, kUnitCodeBlock, key, 1);
    PackDialDigits(record, 2, data, byte);
    return VerifyDialDigits(record, 2, data, byte);
}

std::uint8_t ShowHandler044(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t key = ParseByteField(record, FirstFieldPosition(state), 2, 0, 54);
    if (key == kFieldRefused || !IsUnitCodeKey(key)) return kHandlerRejected;
    UnpackDialDigits(record, 2, BlockBytes(state.image, kUnitCodeBlock, key, 1));
    return kHandlerAccepted;
}

// --- Slot 45 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler045(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    const std::uint8_t p = FirstFieldPosition(state);
    if (item == kItem724) {
        const std::uint8_t code = ParseByteField(record, p, 2, 0, 24);
        if (code == kFieldRefused || code == 10 || code == 20 ||
            !PassesCodeFilter(CodeFilterB, code)) {
            return kHandlerRejected;
        }
        std::uint8_t& byte = *state.image.BlockByte(55, 13);
        PackTwoCharCode(record, p, byte);
        return VerifyTwoCharCode(record, p, byte);
    }
    if (item != kItem503) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, p, 1, 1, 4);
    if (value == kFieldRefused) return kHandlerRejected;
    std::uint8_t& byte = *state.image.BlockByte(80, 36);
    SetBits02(value, byte);
    return GetBits02(byte) == value ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler045(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    if (item == kItem724) {
        AppendTwoCharCode(record, *state.image.BlockByte(55, 13));
    } else if (item == kItem503) {
        AppendDigit(record, GetBits02(*state.image.BlockByte(80, 36)));
    } else {
        return kHandlerRejected;
    }
    return kHandlerAccepted;
}

// --- Slot 46 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler046(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    const std::uint8_t p = FirstFieldPosition(state);
    if (item == kWordItem) {
        const std::uint8_t value = ParseByteField(record, p, 2, 0, 99);
        if (value == kFieldRefused) return kHandlerRejected;
        auto word = BlockBytes(state.image, kWordBlock, kWordByte, 2);
        const auto stored = static_cast<std::uint16_t>(value * kWordUnit);
        SetWordField(stored, word.first<2>());
        return GetWordField(word.first<2>()) == stored ? kHandlerAccepted : kHandlerMismatch;
    }
    const ByteValueItem* row = FindItem(kByteValueItems, item);
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, p, 2, row->lowest, row->highest);
    if (value == kFieldRefused) return kHandlerRejected;
    std::uint8_t& byte = *state.image.BlockByte(row->block, row->byte);
    byte = value;
    return byte == value ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler046(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    if (item == kWordItem) {
        auto word = BlockBytes(state.image, kWordBlock, kWordByte, 2);
        AppendNumber(record, static_cast<std::uint16_t>(GetWordField(word.first<2>()) / kWordUnit),
                     2, 10);
        return kHandlerAccepted;
    }
    const ByteValueItem* row = FindItem(kByteValueItems, item);
    if (row == nullptr) return kHandlerRejected;
    AppendNumber(record, *state.image.BlockByte(row->block, row->byte), 2, 10);
    return kHandlerAccepted;
}

// --- Slot 47 ---------------------------------------------------------------------------------
// The number is placed in the index again whatever its read-back gave, so the index always
// follows what the row holds.

std::uint8_t StoreHandler047(ProgrammingState& state, TerminalRecord& record) {
    const std::uint16_t row = SpeedDialRow(state, record);
    if (row == 0xFFFF) return kHandlerRejected;
    const std::uint8_t data = FirstFieldPosition(state) + 4;
    std::string_view typed = record.line.Text().substr(data, kTypedDigits);
    typed = typed.substr(0, typed.find(' '));
    if (NumberIndexOf(state.image, MakeNumberText(typed), row) != kIndexNotFound) {
        return kHandlerRejected;
    }
    auto number = SpeedDialNumber(state.image, row);
    PackDialDigitsLowFirst(record, kTypedDigits, data, number.first(kFirstDigitsBytes));
    const std::uint8_t answer =
        VerifyDialDigitsLowFirst(record, kTypedDigits, data, number.first(kFirstDigitsBytes));
    for (std::uint8_t& b : number.subspan(kFirstDigitsBytes)) b = 0;
    MoveInNumberIndex(state.image, row, kIndexModeSystemRows);
    return answer;
}

std::uint8_t ShowHandler047(ProgrammingState& state, TerminalRecord& record) {
    const std::uint16_t row = SpeedDialRow(state, record);
    if (row == 0xFFFF) return kHandlerRejected;
    UnpackDialDigitsLowFirst(record, kTypedDigits,
                             SpeedDialNumber(state.image, row).first(kFirstDigitsBytes));
    return kHandlerAccepted;
}

// --- Slot 48 ---------------------------------------------------------------------------------
// The single digit 0 clears the three digits.

std::uint8_t StoreHandler048(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    auto bytes = BlockBytes(state.image, kDialBlock, kDialByte, 2);
    if (record.line.At(p) == '0' && record.line.At(p + 1u) == ' ') {
        bytes[0] = 0;
        SetHighNibble(0, bytes[1]);
        return kHandlerAccepted;
    }
    PackDialDigits(record, 3, p, bytes);
    return VerifyDialDigits(record, 3, p, bytes);
}

std::uint8_t ShowHandler048(ProgrammingState& state, TerminalRecord& record) {
    UnpackDialDigits(record, 3, BlockBytes(state.image, kDialBlock, kDialByte, 2));
    return kHandlerAccepted;
}

// --- Slot 49 ---------------------------------------------------------------------------------
// No command reaches this slot, and where its entries (a flag, a value and two port positions)
// are kept is not known; storing them anywhere, and clearing the positions' earlier holders on
// their behalf, could only damage data that other commands own. Both halves refuse.

std::uint8_t StoreHandler049(ProgrammingState&, TerminalRecord&) {
    return kHandlerRejected;
}

std::uint8_t ShowHandler049(ProgrammingState&, TerminalRecord&) {
    return kHandlerRejected;
}

// --- Slot 104 --------------------------------------------------------------------------------

std::uint8_t StoreHandler104(ProgrammingState& state, TerminalRecord& record) {
    return StoreGroupMember(state, record,
                            FindItem(kMemberItems104, CurrentDescriptor(state).SubType()));
}

std::uint8_t ShowHandler104(ProgrammingState& state, TerminalRecord& record) {
    return ShowGroupMember(state, record,
                           FindItem(kMemberItems104, CurrentDescriptor(state).SubType()));
}

}  // namespace qzs
