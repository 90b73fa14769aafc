// Slots 150-159: the two flags per unit of *600 and *331 (152), the model type, the display
// options and the per-entry settings of four entries that commands reach (153, 154), and the
// slots that no command reaches. P below is the first field position on the line.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/key_layout.h"
#include "programming/packed_digits.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;
constexpr std::uint8_t kUnits = 8;

// ---------------------------------------------------------------------------------------------
// Slot 152 (units 1-8): the descriptor's mask bits in a byte of unit u's block 2 record (20 bytes
// from 20(u - 1)) for the first value and in its copy eight bytes on for the second.
constexpr int kUnitFlagBlock = 2;
constexpr std::size_t kUnitRecordBytes = 20;
struct FlagPairItem {
    std::uint8_t item;
    std::uint8_t first_byte;
    std::uint8_t second_byte;
};
constexpr std::array kFlagPairs{
    FlagPairItem{1, 7, 15},  // *600
    FlagPairItem{2, 5, 13},  // *331
};

std::uint8_t& FlagByte(DataImage& image, unsigned unit, std::uint8_t byte) {
    return *image.BlockByte(kUnitFlagBlock, kUnitRecordBytes * (unit - 1u) + byte);
}

// ---------------------------------------------------------------------------------------------
// Slot 153: one digit 0-5. *033 writes the model type without a read-back; the display options
// reload the character table.

enum class DisplayItem : std::uint8_t { kPointed = 2, kModel = 4, kLowOption = 5, kHighOption = 6 };

constexpr std::uint8_t kDisplayOptionMax = 5;
constexpr std::uint16_t kPointedBase = 40;  // *044: entry 40 + descriptor byte 11

// The byte of the item and its field; nullptr for an item without one.
std::uint8_t* DisplayByte(ProgrammingState& state, BitField& field) {
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    switch (static_cast<DisplayItem>(descriptor.SubType())) {
        case DisplayItem::kPointed:
            field = kBits02;
            return ResolvePlace(state.image, ThroughPointer(kPointedBase),
                                descriptor.PointerEntry());
        case DisplayItem::kModel:
            field = {&SetByteField, [](std::uint8_t byte) { return byte; }};
            return state.image.BlockByte(kModelTypeBlock, 0);
        case DisplayItem::kLowOption:
            field = kLowNibble;
            return &state.image.Setting(SettingByte::kDisplayOption);
        case DisplayItem::kHighOption:
            field = kHighNibble;
            return &state.image.Setting(SettingByte::kDisplayOption);
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Slot 154: four entries c (1-4). *9230 keeps a nibble each in block 80 bytes 17-18 (odd c the
// low nibble); *9244 the low nibble of byte 1 of c's 4-byte entry of block 7, *9273 two codes in
// bytes 2 and 3 of it.

enum class EntryItem : std::uint8_t { kNibble = 2, kValue = 3, kCode = 4 };

constexpr std::uint8_t kEntries = 4;
constexpr int kEntryNibbleBlock = 80;
constexpr std::size_t kEntryNibbleByte = 17;
constexpr std::uint8_t kEntryNibbleRefused = 6;
constexpr int kEntryBlock = 7;
constexpr std::size_t kEntryBytes = 4;

struct EntryPlace {
    std::uint8_t* byte = nullptr;
    BitField field{};
    std::uint8_t data = 0;  // line position of the data
};

EntryPlace EntryByte(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t c = ParseByteField(record, p, 1, 1, kEntries);
    if (c == kFieldRefused) return {};
    auto entry = BlockBytes(state.image, kEntryBlock, kEntryBytes * (c - 1u), kEntryBytes);
    if (entry.empty()) return {};
    switch (static_cast<EntryItem>(CurrentDescriptor(state).SubType())) {
        case EntryItem::kNibble:
            return {state.image.BlockByte(kEntryNibbleBlock, kEntryNibbleByte + (c - 1u) / 2),
                    c % 2 == 1 ? kLowNibble : kHighNibble, static_cast<std::uint8_t>(p + 2)};
        case EntryItem::kValue:
            return {&entry[1], kLowNibble, static_cast<std::uint8_t>(p + 2)};
        case EntryItem::kCode: {
            const std::uint8_t f = ParseByteField(record, p + 2, 1, 0, 1);
            if (f == kFieldRefused) return {};
            return {&entry[2 + f], {}, static_cast<std::uint8_t>(p + 4)};
        }
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Slots that no command reaches. Their descriptors give no field layout, so the data follow the
// common one: the value at P (slots 150, 151), a key and "-" or a last key, then the value
// (slot 155), a group key then the value (slot 159).

constexpr std::uint16_t kSlot150Base = 63;  // pointer entry 63 + descriptor byte 11

// Slot 155: entries 1-8, 16-byte records of block 53. The item picks the field: 1 byte 45 bits
// 0-2, 2 byte 45 bits 4-6, 3 byte 46 bits 0-2, 4 byte 46 bits 4-6 (the main unit's choice between
// them is not known).
struct RecordFieldItem {
    std::uint8_t item;
    std::uint8_t byte;
    BitField field;
};
constexpr std::array kSlot155Items{
    RecordFieldItem{1, 45, kBits02},
    RecordFieldItem{2, 45, kBits46},
    RecordFieldItem{3, 46, kBits02},
    RecordFieldItem{4, 46, kBits46},
};
constexpr int kSlot155Block = 53;
constexpr std::size_t kSlot155RecordBytes = 16;
constexpr std::uint8_t kSlot155Entries = 8;

// The byte of entry e's record; nullptr when it lies past the block (records 7 and 8 would
// reach bytes 141-142 and 157-158 of a block of 128).
std::uint8_t* Slot155Byte(DataImage& image, const RecordFieldItem& row, unsigned e) {
    auto bytes = BlockBytes(image, kSlot155Block, kSlot155RecordBytes * (e - 1) + row.byte, 1);
    return bytes.empty() ? nullptr : bytes.data();
}

// Slot 159: low nibble of block 41 byte 20a + 13 for groups 1-7.
constexpr int kSlot159Block = 41;
constexpr std::size_t kSlot159Stride = 20;
constexpr std::size_t kSlot159Byte = 13;
constexpr std::uint8_t kGroups = 7;

std::uint8_t* Slot159Byte(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t a = ParseByteField(record, FirstFieldPosition(state), 2, 1, kGroups);
    if (a == kFieldRefused) return nullptr;
    return state.image.BlockByte(kSlot159Block, kSlot159Stride * a + kSlot159Byte);
}

}  // namespace

// --- Slot 150 --------------------------------------------------------------------------------

std::uint8_t StoreHandler150(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t value = ParseByteField(record, FirstFieldPosition(state), 2, 1, 12);
    if (value == kFieldRefused) return kHandlerRejected;
    std::uint8_t* byte = ResolvePlace(state.image, ThroughPointer(kSlot150Base),
                                      CurrentDescriptor(state).PointerEntry());
    if (byte == nullptr) return kHandlerRejected;
    SetLowNibble(value, *byte);
    if (GetLowNibble(*byte) != value) return kHandlerMismatch;
    MarkSystemModified(state.modified);
    return kHandlerAccepted;
}

std::uint8_t ShowHandler150(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t* byte = ResolvePlace(state.image, ThroughPointer(kSlot150Base),
                                            CurrentDescriptor(state).PointerEntry());
    if (byte == nullptr) return kHandlerRejected;
    AppendNumber(record, GetLowNibble(*byte), 2, 10);
    return kHandlerAccepted;
}

// --- Slot 151 --------------------------------------------------------------------------------

std::uint8_t StoreHandler151(ProgrammingState& state, TerminalRecord& record) {
    // Three digits read as hundreds and the rest, since the byte parser keeps 255 for a refusal.
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t hundreds = ParseByteField(record, p, 1, 0, 2);
    const std::uint8_t rest = ParseByteField(record, p + 1, 2, 0, 99);
    if (hundreds == kFieldRefused || rest == kFieldRefused) return kHandlerRejected;
    const unsigned value = hundreds * 100u + rest;
    if (value > 255) return kHandlerRejected;
    state.image.Setting(SettingByte::kSlot151) = static_cast<std::uint8_t>(value);
    MarkSystemModified(state.modified);
    return kHandlerAccepted;
}

std::uint8_t ShowHandler151(ProgrammingState& state, TerminalRecord& record) {
    AppendNumber(record, state.image.Setting(SettingByte::kSlot151), 3, 10);
    return kHandlerAccepted;
}

// --- Slot 152 --------------------------------------------------------------------------------
// Only the first byte is read back: a bit left set after clearing stops the walk at once, a bit
// left clear after setting lets it finish and answers the mismatch at the end.

std::uint8_t StoreHandler152(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& d = CurrentDescriptor(state);
    const FlagPairItem* item = FindItem(kFlagPairs, d.SubType());
    if (item == nullptr) return kHandlerRejected;
    UnitRange range;
    if (!ParseUnitRange(state, record, kUnits, range)) return kHandlerRejected;
    const ValuePair values = ParseValuePair(record, range.data, 0, 1);
    if (values.Refused()) return kHandlerRejected;
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned unit = range.first; unit <= range.last; ++unit) {
        const bool ok =
            SetMaskBits(FlagByte(state.image, unit, item->first_byte), d.Mask(), values.first);
        SetMaskBits(FlagByte(state.image, unit, item->second_byte), d.Mask(), values.second);
        if (!ok && values.first == 0) return kHandlerMismatch;
        if (!ok) answer = kHandlerMismatch;
    }
    return answer;
}

std::uint8_t ShowHandler152(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& d = CurrentDescriptor(state);
    const FlagPairItem* item = FindItem(kFlagPairs, d.SubType());
    const std::uint8_t unit = ParseSingleUnit(state, record, kUnits);
    if (item == nullptr || unit == kFieldRefused) return kHandlerRejected;
    AppendMaskFlag(record, FlagByte(state.image, unit, item->first_byte), d.Mask());
    record.line.Append(',');
    AppendMaskFlag(record, FlagByte(state.image, unit, item->second_byte), d.Mask());
    return kHandlerAccepted;
}

// --- Slot 153 --------------------------------------------------------------------------------

std::uint8_t StoreHandler153(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t value =
        ParseByteField(record, FirstFieldPosition(state), 1, 0, kDisplayOptionMax);
    if (value == kFieldRefused) return kHandlerRejected;
    BitField field{};
    std::uint8_t* byte = DisplayByte(state, field);
    if (byte == nullptr) return kHandlerRejected;
    field.set(value, *byte);
    const auto item = static_cast<DisplayItem>(CurrentDescriptor(state).SubType());
    // The start-up applies the model's key defaults from this byte and clears it again: it is
    // not read back.
    if (item == DisplayItem::kModel) return kHandlerAccepted;
    const bool same = item != DisplayItem::kPointed || field.get(*byte) == value;
    ReloadCharacterTable(state.display_characters);
    return same ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler153(ProgrammingState& state, TerminalRecord& record) {
    BitField field{};
    const std::uint8_t* byte = DisplayByte(state, field);
    if (byte == nullptr) return kHandlerRejected;
    AppendDigit(record, field.get(*byte));
    return kHandlerAccepted;
}

// --- Slot 154 --------------------------------------------------------------------------------

std::uint8_t StoreHandler154(ProgrammingState& state, TerminalRecord& record) {
    const EntryPlace place = EntryByte(state, record);
    if (place.byte == nullptr) return kHandlerRejected;
    if (place.field.set == nullptr) {
        const std::uint8_t code = ParseByteField(record, place.data, 2, 10, 24);
        if (code == kFieldRefused || !PassesCodeFilter(CodeFilterB, code)) return kHandlerRejected;
        PackTwoCharCode(record, place.data, *place.byte);
        return VerifyTwoCharCode(record, place.data, *place.byte);
    }
    const bool nibble =
        CurrentDescriptor(state).SubType() == static_cast<std::uint8_t>(EntryItem::kNibble);
    const std::uint8_t value = ParseByteField(record, place.data, 1, 0, nibble ? 7 : 9);
    if (value == kFieldRefused || (nibble && value == kEntryNibbleRefused)) return kHandlerRejected;
    place.field.set(value, *place.byte);
    return place.field.get(*place.byte) == value ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler154(ProgrammingState& state, TerminalRecord& record) {
    const EntryPlace place = EntryByte(state, record);
    if (place.byte == nullptr) return kHandlerRejected;
    if (place.field.get == nullptr) {
        AppendTwoCharCode(record, *place.byte);
    } else {
        AppendDigit(record, place.field.get(*place.byte));
    }
    return kHandlerAccepted;
}

// --- Slot 155 --------------------------------------------------------------------------------
// Every entry of the range must have its byte inside the block before anything is written.

std::uint8_t StoreHandler155(ProgrammingState& state, TerminalRecord& record) {
    const RecordFieldItem* row = FindItem(kSlot155Items, CurrentDescriptor(state).SubType());
    UnitRange range;
    if (row == nullptr || !ParseUnitRange(state, record, kSlot155Entries, range)) {
        return kHandlerRejected;
    }
    const std::uint8_t value = ParseByteField(record, range.data, 1, 0, 7);
    if (value == kFieldRefused) return kHandlerRejected;
    for (unsigned e = range.first; e <= range.last; ++e) {
        if (Slot155Byte(state.image, *row, e) == nullptr) return kHandlerRejected;
    }
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned e = range.first; e <= range.last; ++e) {
        std::uint8_t& byte = *Slot155Byte(state.image, *row, e);
        row->field.set(value, byte);
        if (row->field.get(byte) != value) {
            answer = kHandlerMismatch;
            break;
        }
    }
    ReloadCharacterTable(state.display_characters);
    return answer;
}

std::uint8_t ShowHandler155(ProgrammingState& state, TerminalRecord& record) {
    const RecordFieldItem* row = FindItem(kSlot155Items, CurrentDescriptor(state).SubType());
    const std::uint8_t e = ParseSingleUnit(state, record, kSlot155Entries);
    if (row == nullptr || e == kFieldRefused) return kHandlerRejected;
    const std::uint8_t* byte = Slot155Byte(state.image, *row, e);
    if (byte == nullptr) return kHandlerRejected;
    AppendDigit(record, row->field.get(*byte));
    return kHandlerAccepted;
}

// --- Slot 159 --------------------------------------------------------------------------------

std::uint8_t StoreHandler159(ProgrammingState& state, TerminalRecord& record) {
    std::uint8_t* byte = Slot159Byte(state, record);
    const std::uint8_t value =
        ParseByteField(record, static_cast<std::uint8_t>(FirstFieldPosition(state) + 3), 1, 0, 9);
    if (byte == nullptr || value == kFieldRefused) return kHandlerRejected;
    SetLowNibble(value, *byte);
    return GetLowNibble(*byte) == value ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler159(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t* byte = Slot159Byte(state, record);
    if (byte == nullptr) return kHandlerRejected;
    AppendNumber(record, GetLowNibble(*byte), 2, 10);
    return kHandlerAccepted;
}

}  // namespace qzs
