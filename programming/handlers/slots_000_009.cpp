// Slots 0-9: the generic bit flag, the small option fields and the handlers with tables of their
// own. P below is the first field position on the line (4, or 5 after a four-digit command).
// Bit fields are read back through their getter, since a setter leaves a value it does not list
// as 0; a whole byte written from a checked value reads back as written and is not read again.
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

// ---------------------------------------------------------------------------------------------
// Slot 0: one bit flag per command. Descriptor byte 10 is the item, byte 11 the pointer entry,
// byte 12 the mask.

struct FlagItem {
    std::uint8_t item;
    BytePlace place;
};

// Items 1, 2 and 6 reach block 3, block 40 and block 55 through the pointer table; every other
// item names one fixed byte. Items listed nowhere (11 among them, whose byte is not known) have
// no place and are refused.
constexpr std::array kFlagItems{
    FlagItem{1, ThroughPointer(0)},
    FlagItem{2, ThroughPointer(32)},
    FlagItem{6, ThroughPointer(40)},
    FlagItem{5, InBlock(6, 0)},
    FlagItem{12, InBlock(40, 36)},
    FlagItem{13, InBlock(78, 8)},
    FlagItem{14, InBlock(139, 0)},
    FlagItem{16, InBlock(139, 2)},
    FlagItem{21, InBlock(132, 2)},
    FlagItem{24, InBlock(103, 0)},
    FlagItem{28, InBlock(80, 9)},
    FlagItem{29, InBlock(80, 20)},
    FlagItem{32, InBlock(80, 12)},
    FlagItem{33, InBlock(80, 12)},
    FlagItem{36, InBlock(80, 45)},
    FlagItem{37, InBlock(80, 45)},
    FlagItem{38, InBlock(80, 45)},
    FlagItem{41, InSetting(SettingByte::k9307)},
    FlagItem{43, InBlock(3, 14)},
    FlagItem{45, InSetting(SettingByte::k9403)},
    FlagItem{46, InSetting(SettingByte::k706)},
    FlagItem{47, InSetting(SettingByte::k9411)},
    FlagItem{48, InSetting(SettingByte::k405)},
    FlagItem{50, InSetting(SettingByte::k189)},
    FlagItem{51, InBlock(139, 5)},
    FlagItem{52, InBlock(132, 3)},
    FlagItem{60, InSetting(SettingByte::k427)},
    FlagItem{61, InSetting(SettingByte::k429)},
    FlagItem{62, InBlock(80, 47)},
};

std::uint8_t* FlagByte(ProgrammingState& state) {
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    const FlagItem* row = FindItem(kFlagItems, descriptor.SubType());
    return row != nullptr ? ResolvePlace(state.image, row->place, descriptor.PointerEntry())
                          : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Slots 4 and 8: one digit into a small field of a byte, the byte and field chosen by the item.

struct OptionItem {
    std::uint8_t item;
    BytePlace place;
    BitField field;
    std::uint8_t min;
    std::uint8_t max;
    bool read_back;
};

// *092 keeps four levels as whole bytes.
constexpr std::array<std::uint8_t, 4> kLevelBytes{0x02, 0x07, 0x0A, 0x0F};
constexpr std::uint8_t kNoLevel = 0xFF;

void SetLevelByte(std::uint8_t value, std::uint8_t& byte) {
    byte = value < kLevelBytes.size() ? kLevelBytes[value] : 0;
}

// A byte that is none of the four levels (it can arrive in loaded data) has no digit to show.
std::uint8_t GetLevelByte(std::uint8_t byte) {
    for (std::size_t level = 0; level < kLevelBytes.size(); ++level) {
        if (kLevelBytes[level] == byte) return static_cast<std::uint8_t>(level);
    }
    return kNoLevel;
}

constexpr BitField kLevelByte{&SetLevelByte, &GetLevelByte};

// Items 1 (speed-dial row mode), 3-7 and 18 serve no command, and their fields are not known:
// they have no row and are refused. *189 (item 16) and *621 (item 10) are not read back.
constexpr std::array kSlot4Items{
    OptionItem{15, InSetting(SettingByte::k9307), kBits01, 0, 2, true},  // *122
    OptionItem{16, InSetting(SettingByte::k189), kBits45, 0, 2, false},  // *189
    OptionItem{12, InBlock(80, 12), kBits45, 0, 2, true},                // *412
    OptionItem{2, ThroughPointer(0), kBits45, 0, 2, true},               // *521
    OptionItem{10, InBlock(80, 9), kBits67, 0, 1, false},                // *621
    OptionItem{8, InBlock(80, 13), kBits45, 0, 3, true},                 // *688
    OptionItem{9, InBlock(80, 12), kBits01, 0, 3, true},                 // *689
    OptionItem{19, InSetting(SettingByte::k822), kBits45, 0, 2, true},   // *822
    OptionItem{17, InSetting(SettingByte::k822), kBits67, 0, 2, true},   // *859
};

// Items 1-6 name their byte through the pointer entry, 8-10 through entry + 32, 12-13 through
// entry + 40; the rest name a fixed byte. Item 14 (entry + 63) serves no command and its field is
// not known: it has no row and is refused.
constexpr std::array kSlot8Items{
    OptionItem{1, ThroughPointer(0), kBits01, 0, 3, true},               // *091, *846
    OptionItem{2, ThroughPointer(0), kBits45, 0, 3, true},               // *508, *522
    OptionItem{3, ThroughPointer(0), kBits23, 0, 3, true},               // *095, *847
    OptionItem{4, ThroughPointer(0), kBits45, 0, 3, true},               // *096
    OptionItem{5, ThroughPointer(0), kBits34, 0, 3, true},               // *093
    OptionItem{6, ThroughPointer(0), kLevelByte, 0, 3, true},            // *092
    OptionItem{7, InBlock(3, 7), kBits67, 0, 3, true},                   // *094
    OptionItem{8, ThroughPointer(32), kBits45, 0, 3, true},              // *348
    OptionItem{9, ThroughPointer(32), kBits23, 0, 3, true},              // *725, *9224
    OptionItem{10, ThroughPointer(32), kBits01, 0, 3, true},             // *373
    OptionItem{12, ThroughPointer(40), kBits67, 0, 3, true},             // *851
    OptionItem{13, ThroughPointer(40), kBits45, 0, 3, true},             // *132
    OptionItem{15, InBlock(6, 0), kBits45, 0, 3, true},                  // *9206
    OptionItem{16, InBlock(40, 1), kBits45, 0, 3, true},                 // *723
    OptionItem{17, InBlock(40, 4), kBits67, 0, 3, true},                 // *816
    OptionItem{20, InBlock(78, 8), kBits01, 0, 3, true},                 // *9531
    OptionItem{21, InBlock(139, 3), kLowNibble, 0, 3, true},             // *028
    OptionItem{24, InBlock(80, 45), kBits01, 0, 3, true},                // *317
    OptionItem{25, InSetting(SettingByte::k673), kBits46, 0, 5, true},   // *705
    OptionItem{26, InSetting(SettingByte::k187), kBits01, 0, 3, true},   // *187
    OptionItem{27, InSetting(SettingByte::k189), kBits02, 1, 2, true},   // *406
    OptionItem{29, InSetting(SettingByte::k9439), kBits01, 0, 3, true},  // *9439
};

template <std::size_t N>
std::uint8_t StoreOption(ProgrammingState& state, TerminalRecord& record,
                         const std::array<OptionItem, N>& items) {
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    const OptionItem* row = FindItem(items, descriptor.SubType());
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t value =
        ParseByteField(record, FirstFieldPosition(state), 1, row->min, row->max);
    if (value == kFieldRefused) return kHandlerRejected;
    std::uint8_t* byte = ResolvePlace(state.image, row->place, descriptor.PointerEntry());
    if (byte == nullptr) return kHandlerRejected;
    row->field.set(value, *byte);
    if (!row->read_back) return kHandlerAccepted;
    return row->field.get(*byte) == value ? kHandlerAccepted : kHandlerMismatch;
}

template <std::size_t N>
std::uint8_t ShowOption(ProgrammingState& state, TerminalRecord& record,
                        const std::array<OptionItem, N>& items) {
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    const OptionItem* row = FindItem(items, descriptor.SubType());
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t* byte = ResolvePlace(state.image, row->place, descriptor.PointerEntry());
    if (byte == nullptr) return kHandlerRejected;
    const std::uint8_t value = row->field.get(*byte);
    if (value > 0x0F) return kHandlerMismatch;  // a *092 byte that is none of its levels
    AppendDigit(record, value);
    return kHandlerAccepted;
}

// ---------------------------------------------------------------------------------------------
// Slot 1 (*332): two flags (bytes 4 and 5 of a 12-byte row of block 54) over a range of rows.

constexpr int kRowFlagBlock = 54;
constexpr std::size_t kRowFlagRowBytes = 12;
constexpr std::uint8_t kRowFlagRows = 24;

std::span<std::uint8_t> RowFlagRow(DataImage& image, std::uint8_t row) {
    return BlockBytes(image, kRowFlagBlock, kRowFlagRowBytes * (row - 1u), kRowFlagRowBytes);
}

// ---------------------------------------------------------------------------------------------
// Slot 3: the port code of a position, one byte per key.

struct PortCodeItem {
    std::uint8_t item;
    std::uint8_t block;
    std::uint16_t base;
    std::uint8_t stride;
    std::uint8_t key_min;
    std::uint8_t key_max;
};

constexpr std::array kPortCodeItems{
    PortCodeItem{1, 3, 41, 1, 1, 2},    // *001: block 3 bytes 42-43, the memory-view terminals
    PortCodeItem{2, 139, 5, 1, 1, 2},   // *316: block 139 bytes 6-7
    PortCodeItem{3, 80, 51, 39, 0, 3},  // *9228: block 80 bytes 51, 90, 129, 168
};

std::uint8_t* PortCodeByte(ProgrammingState& state, const TerminalRecord& record) {
    const PortCodeItem* row = FindItem(kPortCodeItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return nullptr;
    const std::uint8_t key =
        ParseByteField(record, FirstFieldPosition(state), 1, row->key_min, row->key_max);
    if (key == kFieldRefused) return nullptr;
    return state.image.BlockByte(row->block, row->base + std::size_t{row->stride} * key);
}

// ---------------------------------------------------------------------------------------------
// Slot 5 (*9319): a two-bit value per half of a 24-entry row of block 34, two values per byte.

constexpr int kHalfFieldBlock = 34;
// [entry odd][second half]: even entries use the high half of the byte.
constexpr std::array<std::array<BitField, 2>, 2> kHalfFields{
    {{kBits67, kBits45}, {kBits23, kBits01}}};

struct HalfFieldKey {
    std::uint8_t* byte = nullptr;
    BitField field{};
};

HalfFieldKey ParseHalfFieldKey(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t a = ParseByteField(record, p, 1, 0, 2);
    const std::uint8_t b = ParseByteField(record, p + 2, 2, 0, 23);
    const std::uint8_t c = ParseByteField(record, p + 5, 1, 0, 1);
    if (a == kFieldRefused || b == kFieldRefused || c == kFieldRefused) return {};
    return {state.image.BlockByte(kHalfFieldBlock, 12u * a + b / 2u), kHalfFields[b % 2][c]};
}

// ---------------------------------------------------------------------------------------------
// Slot 7: tables of port codes, rows of entries.

struct PortTableItem {
    std::uint8_t item;
    std::uint8_t block;
    std::uint8_t row_digits;
    std::uint8_t row_min;
    std::uint8_t row_max;
    std::uint8_t first_row_offset;  // offset of row row_min in the block
    std::uint8_t row_stride;
    std::uint8_t entry_digits;
    std::uint8_t entry_count;
    bool second_bank_only;  // positions of the first bank are refused
    bool unique_code;       // a code stands once: it leaves every row before it is stored
};

constexpr std::array kPortTableItems{
    // *9200: block 6, row r (1-5) at 8 + 20(r - 1), ten entries.
    PortTableItem{1, 6, 1, 1, 5, 8, 20, 2, 10, false, false},
    // *9201: the ten entries after them.
    PortTableItem{2, 6, 1, 1, 5, 18, 20, 2, 10, false, false},
    // *9392: block 85, row r (0-3) at 2 + 4r, four entries.
    PortTableItem{101, 85, 2, 0, 3, 2, 4, 1, 4, true, true},
};

constexpr std::uint8_t kPortTablePositionOffset = 5;  // both layouts: "r,ee-" and "rr,e-"

std::span<std::uint8_t> PortTableRow(DataImage& image, const PortTableItem& row, std::uint8_t r) {
    return BlockBytes(image, row.block,
                      row.first_row_offset + std::size_t{row.row_stride} * (r - row.row_min),
                      row.entry_count);
}

struct PortTableKey {
    const PortTableItem* item = nullptr;
    std::span<std::uint8_t> entries;
    std::uint8_t entry = 0;
};

// The item's row and entry from the key fields; no item when a key is out of range.
PortTableKey ParsePortTableKey(ProgrammingState& state, const TerminalRecord& record,
                               std::uint8_t entry_min) {
    const PortTableItem* row = FindItem(kPortTableItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return {};
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t r = ParseByteField(record, p, row->row_digits, row->row_min, row->row_max);
    const std::uint8_t e = ParseByteField(record, p + row->row_digits + 1, row->entry_digits,
                                          entry_min, row->entry_count);
    if (r == kFieldRefused || e == kFieldRefused) return {};
    auto entries = PortTableRow(state.image, *row, r);
    if (entries.empty()) return {};
    return {row, entries, e};
}

// ---------------------------------------------------------------------------------------------
// Slots 2, 6 and 9 serve no command of the table; they are kept as the main unit has them. No
// descriptor gives their field layout, so it follows the common one: slot 2 five one-digit data
// fields at P, P + 2, ... P + 8; slot 6 the key at P and up to sixteen digits from P + 2; slot 9
// the key at P and two two-digit values at P + 2 and P + 5. Their shows list the values with ","
// between them, in the order they are entered.

// Slot 2: four flags and a value 0-6 in block 20 byte 30, then a change mark in block 147.
constexpr int kFlagSetBlock = 20;
constexpr std::size_t kFlagSetByte = 30;
constexpr std::array<std::uint8_t, 4> kFlagSetMasks{0x80, 0x40, 0x20, 0x10};
// The change mark's byte is not named; the first byte of the block is taken.
constexpr int kFlagSetMarkBlock = 147;
constexpr std::size_t kFlagSetMarkByte = 0;

// Slot 6: sixteen dial digits, low nibble first, in 8 bytes of block 45 per key 0-2.
constexpr int kDialRowBlock = 45;
constexpr std::size_t kDialRowBytes = 8;

// Slot 9: two values 0-99 per key 0-3 in block 44: bytes k and k + 4 for sub-type 1, k + 8 and
// k + 12 for the others.
constexpr int kValuePairBlock = 44;

std::uint8_t* ValuePairByte(ProgrammingState& state, std::uint8_t key, std::size_t second) {
    const std::size_t base = CurrentDescriptor(state).SubType() == 1 ? 0 : 8;
    return state.image.BlockByte(kValuePairBlock, base + key + 4 * second);
}

}  // namespace

// --- Slot 0 ----------------------------------------------------------------------------------

std::uint8_t StoreHandler000(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t value = ParseByteField(record, FirstFieldPosition(state), 1, 0, 1);
    if (value == kFieldRefused) return kHandlerRejected;
    std::uint8_t* byte = FlagByte(state);
    if (byte == nullptr) return kHandlerRejected;
    return SetMaskBits(*byte, CurrentDescriptor(state).Mask(), value) ? kHandlerAccepted
                                                                      : kHandlerMismatch;
}

std::uint8_t ShowHandler000(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t* byte = FlagByte(state);
    if (byte == nullptr) return kHandlerRejected;
    AppendMaskFlag(record, *byte, CurrentDescriptor(state).Mask());
    return kHandlerAccepted;
}

// --- Slot 1 ----------------------------------------------------------------------------------
// Line: first row (2 digits), then either "-" at once (one row) or the last row (2 digits) and
// "-"; then the first value and an optional second one that defaults to the first.

std::uint8_t StoreHandler001(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t first = ParseByteField(record, p, 2, 1, kRowFlagRows);
    if (first == kFieldRefused) return kHandlerRejected;
    std::uint8_t last = first;
    std::uint8_t data = p + 4;
    if (record.line.At(p + 3) != '-') {
        // A one-digit last row reads as a digit and "-": refused here.
        last = ParseByteField(record, p + 3, 2, first, kRowFlagRows);
        if (last == kFieldRefused) return kHandlerRejected;
        data = p + 6;
    }
    const std::uint8_t value1 = ParseByteField(record, data, 1, 0, 1);
    const std::uint8_t value2 =
        record.line.At(data + 2u) != ' ' ? ParseByteField(record, data + 2, 1, 0, 1) : value1;
    if (value1 == kFieldRefused || value2 == kFieldRefused) return kHandlerRejected;

    const std::uint8_t mask = CurrentDescriptor(state).Mask();
    for (unsigned row = first; row <= last; ++row) {
        auto bytes = RowFlagRow(state.image, static_cast<std::uint8_t>(row));
        if (bytes.empty()) return kHandlerRejected;
        const bool ok1 = SetMaskBits(bytes[4], mask, value1);
        const bool ok2 = SetMaskBits(bytes[5], mask, value2);
        if (!ok1 || !ok2) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler001(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t row = ParseByteField(record, p, 2, 1, kRowFlagRows);
    if (row == kFieldRefused || record.line.At(p + 3) != '-') return kHandlerRejected;
    auto bytes = RowFlagRow(state.image, row);
    if (bytes.empty()) return kHandlerRejected;
    const std::uint8_t mask = CurrentDescriptor(state).Mask();
    AppendMaskFlag(record, bytes[4], mask);
    record.line.Append(',');
    AppendMaskFlag(record, bytes[5], mask);
    return kHandlerAccepted;
}

// --- Slot 2 ----------------------------------------------------------------------------------

std::uint8_t StoreHandler002(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    std::array<std::uint8_t, kFlagSetMasks.size()> flags{};
    for (std::size_t i = 0; i < flags.size(); ++i) {
        flags[i] = ParseByteField(record, static_cast<std::uint8_t>(p + 2 * i), 1, 0, 1);
        if (flags[i] == kFieldRefused) return kHandlerRejected;
    }
    const std::uint8_t value = ParseByteField(record, p + 8, 1, 0, 6);
    if (value == kFieldRefused) return kHandlerRejected;

    std::uint8_t& byte = *state.image.BlockByte(kFlagSetBlock, kFlagSetByte);
    bool ok = true;
    for (std::size_t i = 0; i < flags.size(); ++i) {
        ok = SetMaskBits(byte, kFlagSetMasks[i], flags[i]) && ok;
    }
    SetBits02(value, byte);
    if (!ok || GetBits02(byte) != value) return kHandlerMismatch;
    *state.image.BlockByte(kFlagSetMarkBlock, kFlagSetMarkByte) = 1;
    return kHandlerAccepted;
}

std::uint8_t ShowHandler002(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t byte = *state.image.BlockByte(kFlagSetBlock, kFlagSetByte);
    for (std::uint8_t mask : kFlagSetMasks) {
        AppendMaskFlag(record, byte, mask);
        record.line.Append(',');
    }
    AppendDigit(record, GetBits02(byte));
    return kHandlerAccepted;
}

// --- Slot 3 ----------------------------------------------------------------------------------
// Key (1 digit), then a position 1YY read by ParsePosition1; its code is stored without a
// read-back.

std::uint8_t StoreHandler003(ProgrammingState& state, TerminalRecord& record) {
    std::uint8_t* byte = PortCodeByte(state, record);
    if (byte == nullptr) return kHandlerRejected;
    const std::uint8_t position =
        ParsePosition1(record, static_cast<std::uint8_t>(FirstFieldPosition(state) + 2));
    if (position == kPositionRefused) return kHandlerRejected;
    *byte = MapSlotCode(position);
    return kHandlerAccepted;
}

std::uint8_t ShowHandler003(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t* byte = PortCodeByte(state, record);
    if (byte == nullptr) return kHandlerRejected;
    AppendPortCode(record, *byte);
    return kHandlerAccepted;
}

// --- Slots 4 and 8 ---------------------------------------------------------------------------

std::uint8_t StoreHandler004(ProgrammingState& state, TerminalRecord& record) {
    return StoreOption(state, record, kSlot4Items);
}

std::uint8_t ShowHandler004(ProgrammingState& state, TerminalRecord& record) {
    return ShowOption(state, record, kSlot4Items);
}

std::uint8_t StoreHandler008(ProgrammingState& state, TerminalRecord& record) {
    return StoreOption(state, record, kSlot8Items);
}

std::uint8_t ShowHandler008(ProgrammingState& state, TerminalRecord& record) {
    return ShowOption(state, record, kSlot8Items);
}

// --- Slot 5 ----------------------------------------------------------------------------------
// Keys a (0-2), b (0-23), c (0-1), then the value 1-3.

std::uint8_t StoreHandler005(ProgrammingState& state, TerminalRecord& record) {
    const HalfFieldKey key = ParseHalfFieldKey(state, record);
    const std::uint8_t value =
        ParseByteField(record, static_cast<std::uint8_t>(FirstFieldPosition(state) + 7), 1, 1, 3);
    if (key.byte == nullptr || value == kFieldRefused) return kHandlerRejected;
    key.field.set(value, *key.byte);
    return key.field.get(*key.byte) == value ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler005(ProgrammingState& state, TerminalRecord& record) {
    const HalfFieldKey key = ParseHalfFieldKey(state, record);
    if (key.byte == nullptr) return kHandlerRejected;
    AppendDigit(record, key.field.get(*key.byte));
    return kHandlerAccepted;
}

// --- Slot 6 ----------------------------------------------------------------------------------

std::uint8_t StoreHandler006(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t key = ParseByteField(record, p, 1, 0, 2);
    if (key == kFieldRefused) return kHandlerRejected;
    auto bytes = BlockBytes(state.image, kDialRowBlock, kDialRowBytes * key, kDialRowBytes);
    const std::uint8_t data = p + 2;
    const DisplayLine& line = record.line;
    if (line.At(data) == '0' && line.At(data + 1u) == '0' &&
        (line.At(data + 2u) == ' ' || line.At(data + 2u) == '\0')) {
        std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
        return kHandlerAccepted;
    }
    PackDialDigitsLowFirst(record, 16, data, bytes);
    return VerifyDialDigitsLowFirst(record, 16, data, bytes);
}

std::uint8_t ShowHandler006(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t key = ParseByteField(record, FirstFieldPosition(state), 1, 0, 2);
    if (key == kFieldRefused) return kHandlerRejected;
    UnpackDialDigitsLowFirst(
        record, 16, BlockBytes(state.image, kDialRowBlock, kDialRowBytes * key, kDialRowBytes));
    return kHandlerAccepted;
}

// --- Slot 7 ----------------------------------------------------------------------------------
// Row and entry keys, then a position read by ParsePosition72. Entry 0 with "000" clears the
// row; a code moves into its entry.

std::uint8_t StoreHandler007(ProgrammingState& state, TerminalRecord& record) {
    const PortTableKey key = ParsePortTableKey(state, record, 0);
    if (key.item == nullptr) return kHandlerRejected;
    const std::uint8_t position = ParsePosition72(
        record, static_cast<std::uint8_t>(FirstFieldPosition(state) + kPortTablePositionOffset));
    if (position == kPositionRefused) return kHandlerRejected;
    if (key.item->second_bank_only && position >= 1 && position <= kFirstBankCapacity) {
        return kHandlerRejected;
    }
    const std::uint8_t code = MapSlotCodeWide(position);
    if (position != 0 && (code == 0 || code == kPositionRefused)) return kHandlerRejected;

    if (key.entry == 0) {
        if (position != 0) return kHandlerRejected;
        std::fill(key.entries.begin(), key.entries.end(), std::uint8_t{0});
        return kHandlerAccepted;
    }
    if (key.item->unique_code && code != 0) {
        for (std::uint8_t r = key.item->row_min; r <= key.item->row_max; ++r) {
            auto entries = PortTableRow(state.image, *key.item, r);
            auto held = std::find(entries.begin(), entries.end(), code);
            if (held != entries.end()) *held = 0;  // the first entry of each row that holds it
        }
    }
    key.entries[key.entry - 1u] = code;
    return kHandlerAccepted;
}

std::uint8_t ShowHandler007(ProgrammingState& state, TerminalRecord& record) {
    const PortTableKey key = ParsePortTableKey(state, record, 1);
    if (key.item == nullptr) return kHandlerRejected;
    AppendPortCode(record, key.entries[key.entry - 1u]);
    return kHandlerAccepted;
}

// --- Slot 9 ----------------------------------------------------------------------------------

std::uint8_t StoreHandler009(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t key = ParseByteField(record, p, 1, 0, 3);
    const std::uint8_t first = ParseByteField(record, p + 2, 2, 0, 99);
    const std::uint8_t second = ParseByteField(record, p + 5, 2, 0, 99);
    if (key == kFieldRefused || first == kFieldRefused || second == kFieldRefused) {
        return kHandlerRejected;
    }
    *ValuePairByte(state, key, 0) = first;
    *ValuePairByte(state, key, 1) = second;
    return kHandlerAccepted;
}

std::uint8_t ShowHandler009(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t key = ParseByteField(record, FirstFieldPosition(state), 1, 0, 3);
    if (key == kFieldRefused) return kHandlerRejected;
    AppendNumber(record, *ValuePairByte(state, key, 0), 2, 10);
    record.line.Append(',');
    AppendNumber(record, *ValuePairByte(state, key, 1), 2, 10);
    return kHandlerAccepted;
}

}  // namespace qzs
