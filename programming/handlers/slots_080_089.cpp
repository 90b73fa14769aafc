// Slots 80-89: per-unit options of the eight units over a unit range (the flag family of *013,
// *100 and *040, *300), and the handlers of this block that no command reaches. Unit u's records
// lie at (u - 1) times the record size in blocks 2 (20 bytes), 53 (16), 121 (12) and 81, 82, 138
// (4); block 2 keeps the second value of a two-value command eight bytes after the first.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "programming/character_table.h"
#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/name_chains.h"
#include "programming/port_codecs.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;
constexpr std::uint8_t kUnits = 8;

// A byte of a unit's record: block, record size and byte; the *191 table stands in for a block.
constexpr std::uint8_t kTable191 = 255;
struct UnitByteAt {
    std::uint8_t block;
    std::uint8_t record_bytes;
    std::uint8_t byte;
};

std::uint8_t* UnitByte(DataImage& image, const UnitByteAt& at, unsigned unit) {
    if (at.block == kTable191)
        return unit - 1u < image.flags_191.size() ? &image.flags_191[unit - 1u] : nullptr;
    return image.BlockByte(at.block, std::size_t{at.record_bytes} * (unit - 1u) + at.byte);
}

// ---------------------------------------------------------------------------------------------
// Slot 83: the descriptor's mask bits in one byte per unit (two for item 3).

constexpr std::uint8_t kNoSecond = 255;
struct FlagItem {
    std::uint8_t item;
    UnitByteAt at;
    std::uint8_t second_byte;  // a second byte of the same record, or kNoSecond
};

constexpr std::array kFlagItems{
    FlagItem{1, {121, 12, 0}, kNoSecond},        // *013
    FlagItem{2, {2, 20, 0}, kNoSecond},          // *145, *9302
    FlagItem{3, {2, 20, 5}, 13},                 // *320
    FlagItem{4, {53, 16, 11}, kNoSecond},        // no command
    FlagItem{5, {2, 20, 2}, kNoSecond},          // no command
    FlagItem{6, {53, 16, 0}, kNoSecond},         // *102
    FlagItem{7, {53, 16, 9}, kNoSecond},         // *041
    FlagItem{8, {53, 16, 12}, kNoSecond},        // no command
    FlagItem{9, {53, 16, 11}, kNoSecond},        // no command
    FlagItem{10, {138, 4, 0}, kNoSecond},        // *410
    FlagItem{11, {81, 4, 3}, kNoSecond},         // *327
    FlagItem{12, {82, 4, 2}, kNoSecond},         // *9142
    FlagItem{13, {kTable191, 1, 0}, kNoSecond},  // *191
    FlagItem{14, {53, 16, 0}, kNoSecond},        // *9295
};

constexpr std::uint8_t kPairItem = 7;  // *041 also keeps its pair table
bool ReloadsCharacters(std::uint8_t item) {
    return item == 4 || item == 8 || item == 9;
}

// *041: unit u's bit in byte (u - 1) / 2, 0x04 for an odd unit and 0x40 for an even one.
bool SetPairBit(DataImage& image, unsigned unit, std::uint8_t value) {
    const std::uint8_t mask = unit % 2 == 1 ? 0x04 : 0x40;
    return SetMaskBits(image.pairs_041[(unit - 1u) / 2], mask, value);
}

// ---------------------------------------------------------------------------------------------
// Slot 86: *100 bits 0-1 of block 2 byte 0; *040 bits 0-1 of block 53 byte 9 and both nibbles of
// byte 10, which take the value plus 2.

constexpr UnitByteAt k100Byte{2, 20, 0};
constexpr UnitByteAt k040Byte{53, 16, 9};
constexpr UnitByteAt k040Nibbles{53, 16, 10};

// Slot 87 (no command): a value 0-3 in the mask bits (0x0C, 0x18 or 0x30) of byte 0 (item 1) or
// byte 1 (item 2) of each unit's run-time record; item 2 also sets bit 0x02 of the flag byte.
// Which of the two bytes an item takes is this program's choice: nothing reaches the slot.
constexpr std::uint8_t kRunTimeFlag = 0x02;

// Slot 88 (no command): one value 0-5 in bits 5-7 of block 2 bytes 5 and 13.
constexpr UnitByteAt k088First{2, 20, 5};
constexpr UnitByteAt k088Second{2, 20, 13};

// Slot 89 (*300): two values 0-5 except 4 into bits 0-2 of block 2 bytes 5 and 13.
constexpr std::array<UnitPairItem, 1> kOptionPairs{{
    {1, 2, 20, 5, 13, kBits02, 0x002F},
}};

// Slot 80 (no command): digit 1 clears, 2 sets the mask bits of one byte.
struct SwitchItem {
    std::uint8_t item;
    std::uint8_t block;
    std::uint8_t byte;
};
constexpr std::array kSwitchItems{SwitchItem{1, 5, 2}, SwitchItem{2, 55, 7}};

// Slot 81 (no command): six name characters per port code c at 20c of block 153.
constexpr int kPortNameBlock = 153;
constexpr std::size_t kPortNameRecordBytes = 20;
constexpr std::size_t kPortNameCharacters = 6;

// Slot 82 (no command): a value 0-8 in block 40 byte 6 (item 1) or byte 3 (item 2).
struct ValueItem {
    std::uint8_t item;
    std::uint8_t byte;
};
constexpr std::array kValueItems{ValueItem{1, 6}, ValueItem{2, 3}};
constexpr int kValueBlock = 40;

// Slot 85 (no command): ten characters for each odd unit 1-7 at 15 u of block 36.
constexpr int kUnitTextBlock = 36;
constexpr std::size_t kUnitTextRecordBytes = 15;
constexpr std::size_t kUnitTextCharacters = 10;

// Text typed on the line, blanks stored as 0.
void CopyTextBlanksAsZero(const TerminalRecord& record, std::size_t position,
                          std::span<std::uint8_t> bytes) {
    CopyLineText(record, position, bytes);
    for (std::uint8_t& b : bytes) {
        if (b == ' ') b = 0;
    }
}

bool TextMatchesLine(const TerminalRecord& record, std::size_t position,
                     std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = record.line.At(position + i);
        if (bytes[i] != (c == ' ' ? 0 : static_cast<std::uint8_t>(c))) return false;
    }
    return true;
}

std::span<std::uint8_t> UnitText(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t unit = ParseByteField(record, FirstFieldPosition(state), 2, 1, 7);
    if (unit == kFieldRefused || unit % 2 == 0) return {};
    return BlockBytes(state.image, kUnitTextBlock, kUnitTextRecordBytes * unit,
                      kUnitTextCharacters);
}

std::span<std::uint8_t> PortName(ProgrammingState& state, const TerminalRecord& record,
                                 std::uint8_t& code) {
    const std::uint8_t index = ParsePosition72(record, FirstFieldPosition(state));
    if (index == kFieldRefused || index == 0) return {};
    code = MapSlotCodeWide(index);
    if (code == 0) return {};
    return BlockBytes(state.image, kPortNameBlock, kPortNameRecordBytes * code,
                      kPortNameCharacters);
}

}  // namespace

// --- Slot 80 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler080(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& d = CurrentDescriptor(state);
    const SwitchItem* item = FindItem(kSwitchItems, d.SubType());
    const std::uint8_t value = ParseByteField(record, FirstFieldPosition(state), 1, 1, 2);
    if (item == nullptr || value == kFieldRefused) return kHandlerRejected;
    std::uint8_t& byte = *state.image.BlockByte(item->block, item->byte);
    return SetMaskBits(byte, d.Mask(), value == 2 ? 1 : 0) ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler080(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& d = CurrentDescriptor(state);
    const SwitchItem* item = FindItem(kSwitchItems, d.SubType());
    if (item == nullptr) return kHandlerRejected;
    const std::uint8_t byte = *state.image.BlockByte(item->block, item->byte);
    record.line.Append((byte & d.Mask()) != 0 ? '2' : '1');
    return kHandlerAccepted;
}

// --- Slot 81 ---------------------------------------------------------------------------------
// The name stands after the position and its "-".

std::uint8_t StoreHandler081(ProgrammingState& state, TerminalRecord& record) {
    std::uint8_t code = 0;
    auto name = PortName(state, record, code);
    if (name.empty()) return kHandlerRejected;
    const std::size_t text_at = FirstFieldPosition(state) + 4u;
    CopyTextBlanksAsZero(record, text_at, name);
    const bool same = TextMatchesLine(record, text_at, name);
    RelinkNameChain(state.image, code);
    return same ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler081(ProgrammingState& state, TerminalRecord& record) {
    std::uint8_t code = 0;
    auto name = PortName(state, record, code);
    if (name.empty()) return kHandlerRejected;
    AppendStoredText(record, name);
    return kHandlerAccepted;
}

// --- Slot 82 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler082(ProgrammingState& state, TerminalRecord& record) {
    const ValueItem* item = FindItem(kValueItems, CurrentDescriptor(state).SubType());
    const std::uint8_t value = ParseByteField(record, FirstFieldPosition(state), 2, 0, 8);
    if (item == nullptr || value == kFieldRefused) return kHandlerRejected;
    std::uint8_t& byte = *state.image.BlockByte(kValueBlock, item->byte);
    byte = value;
    return kHandlerAccepted;
}

std::uint8_t ShowHandler082(ProgrammingState& state, TerminalRecord& record) {
    const ValueItem* item = FindItem(kValueItems, CurrentDescriptor(state).SubType());
    if (item == nullptr) return kHandlerRejected;
    AppendNumber(record, *state.image.BlockByte(kValueBlock, item->byte), 2, 10);
    return kHandlerAccepted;
}

// --- Slot 83 ---------------------------------------------------------------------------------
// Every unit of the range is written even after one fails to read back; the answer is that of
// the first unit that failed, so a failure early in the range is not hidden by a later success.

std::uint8_t StoreHandler083(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& d = CurrentDescriptor(state);
    const FlagItem* item = FindItem(kFlagItems, d.SubType());
    if (item == nullptr) return kHandlerRejected;
    UnitRange range;
    if (!ParseUnitRange(state, record, kUnits, range)) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data, 1, 0, 1);
    if (value == kFieldRefused) return kHandlerRejected;
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned unit = range.first; unit <= range.last; ++unit) {
        std::uint8_t* byte = UnitByte(state.image, item->at, unit);
        if (byte == nullptr) return kHandlerRejected;
        bool ok = SetMaskBits(*byte, d.Mask(), value);
        if (item->second_byte != kNoSecond) {
            const UnitByteAt second{item->at.block, item->at.record_bytes, item->second_byte};
            ok = SetMaskBits(*UnitByte(state.image, second, unit), d.Mask(), value) && ok;
        }
        if (item->item == kPairItem) ok = SetPairBit(state.image, unit, value) && ok;
        if (!ok && answer == kHandlerAccepted) answer = kHandlerMismatch;
    }
    if (answer == kHandlerAccepted && ReloadsCharacters(item->item)) {
        ReloadCharacterTable(state.display_characters);
    }
    return answer;
}

std::uint8_t ShowHandler083(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& d = CurrentDescriptor(state);
    const FlagItem* item = FindItem(kFlagItems, d.SubType());
    const std::uint8_t unit = ParseSingleUnit(state, record, kUnits);
    if (item == nullptr || unit == kFieldRefused) return kHandlerRejected;
    const std::uint8_t* byte = UnitByte(state.image, item->at, unit);
    if (byte == nullptr) return kHandlerRejected;
    AppendMaskFlag(record, *byte, d.Mask());
    return kHandlerAccepted;
}

// --- Slot 84 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler084(ProgrammingState&, TerminalRecord&) {
    return kHandlerAccepted;
}

// --- Slot 85 ---------------------------------------------------------------------------------
// The text stands after the unit and its "-".

std::uint8_t StoreHandler085(ProgrammingState& state, TerminalRecord& record) {
    auto text = UnitText(state, record);
    if (text.empty()) return kHandlerRejected;
    const std::size_t text_at = FirstFieldPosition(state) + 3u;
    CopyTextBlanksAsZero(record, text_at, text);
    return TextMatchesLine(record, text_at, text) ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler085(ProgrammingState& state, TerminalRecord& record) {
    auto text = UnitText(state, record);
    if (text.empty()) return kHandlerRejected;
    for (std::uint8_t b : text) {
        if (b == 0) break;
        record.line.Append(b < 0x20 ? ' ' : static_cast<char>(b));
    }
    return kHandlerAccepted;
}

// --- Slot 86 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler086(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    if (item != 1 && item != 2) return kHandlerRejected;
    UnitRange range;
    if (!ParseUnitRange(state, record, kUnits, range)) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data, 1, 0, 2);
    if (value == kFieldRefused) return kHandlerRejected;
    for (unsigned unit = range.first; unit <= range.last; ++unit) {
        if (item == 1) {
            std::uint8_t& byte = *UnitByte(state.image, k100Byte, unit);
            SetBits01(value, byte);
            if (GetBits01(byte) != value) return kHandlerMismatch;
            continue;
        }
        std::uint8_t& byte = *UnitByte(state.image, k040Byte, unit);
        std::uint8_t& nibbles = *UnitByte(state.image, k040Nibbles, unit);
        const auto shifted = static_cast<std::uint8_t>(value + 2);
        SetBits01(value, byte);
        SetLowNibble(shifted, nibbles);
        SetHighNibble(shifted, nibbles);
        ReloadCharacterTable(state.display_characters);
        if (GetBits01(byte) != value || GetLowNibble(nibbles) != shifted ||
            GetHighNibble(nibbles) != shifted) {
            return kHandlerMismatch;
        }
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler086(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    const std::uint8_t unit = ParseSingleUnit(state, record, kUnits);
    if ((item != 1 && item != 2) || unit == kFieldRefused) return kHandlerRejected;
    AppendDigit(record, GetBits01(*UnitByte(state.image, item == 1 ? k100Byte : k040Byte, unit)));
    return kHandlerAccepted;
}

// --- Slot 87 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler087(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& d = CurrentDescriptor(state);
    const std::uint8_t item = d.SubType();
    const std::uint8_t mask = d.Mask();
    if ((item != 1 && item != 2) || (mask != 0x0C && mask != 0x18 && mask != 0x30)) {
        return kHandlerRejected;
    }
    UnitRange range;
    if (!ParseUnitRange(state, record, kUnits, range)) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data, 1, 0, 3);
    if (value == kFieldRefused) return kHandlerRejected;
    const int shift = std::countr_zero(mask);
    for (unsigned unit = range.first; unit <= range.last; ++unit) {
        std::uint8_t& byte = state.unit_run_time.records[unit - 1u][item - 1u];
        byte = static_cast<std::uint8_t>((byte & ~mask) | ((value << shift) & mask));
    }
    if (item == 2) state.unit_run_time.flags |= kRunTimeFlag;
    return kHandlerAccepted;
}

std::uint8_t ShowHandler087(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& d = CurrentDescriptor(state);
    const std::uint8_t item = d.SubType();
    const std::uint8_t unit = ParseSingleUnit(state, record, kUnits);
    if ((item != 1 && item != 2) || unit == kFieldRefused || d.Mask() == 0) return kHandlerRejected;
    const std::uint8_t byte = state.unit_run_time.records[unit - 1u][item - 1u];
    AppendDigit(record, static_cast<std::uint8_t>((byte & d.Mask()) >> std::countr_zero(d.Mask())));
    return kHandlerAccepted;
}

// --- Slot 88 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler088(ProgrammingState& state, TerminalRecord& record) {
    UnitRange range;
    if (!ParseUnitRange(state, record, kUnits, range)) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data, 1, 0, 5);
    if (value == kFieldRefused) return kHandlerRejected;
    for (unsigned unit = range.first; unit <= range.last; ++unit) {
        std::uint8_t& first = *UnitByte(state.image, k088First, unit);
        std::uint8_t& second = *UnitByte(state.image, k088Second, unit);
        SetBits57(value, first);
        SetBits57(value, second);
        if (GetBits57(first) != value || GetBits57(second) != value) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler088(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t unit = ParseSingleUnit(state, record, kUnits);
    if (unit == kFieldRefused) return kHandlerRejected;
    AppendDigit(record, GetBits57(*UnitByte(state.image, k088First, unit)));
    return kHandlerAccepted;
}

// --- Slot 89 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler089(ProgrammingState& state, TerminalRecord& record) {
    const UnitPairItem* item = FindItem(kOptionPairs, CurrentDescriptor(state).SubType());
    if (item == nullptr) return kHandlerRejected;
    return StoreUnitPair(state, record, *item, kUnits);
}

std::uint8_t ShowHandler089(ProgrammingState& state, TerminalRecord& record) {
    const UnitPairItem* item = FindItem(kOptionPairs, CurrentDescriptor(state).SubType());
    if (item == nullptr) return kHandlerRejected;
    return ShowUnitPair(state, record, *item, kUnits);
}

}  // namespace qzs
