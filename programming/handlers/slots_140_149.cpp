// Slots 140-149: per-unit flags and numbers (*355, *426, *356), per-entry values over a range
// of entries (*643, *365, *334) and per-port values over a range of positions (*9301 and the
// eight commands of slot 149). P below is the first field position on the line.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

// Two characters as one byte, the first the high nibble: '0'-'9' and 'A'-'F'; any other
// character counts 0.
std::uint8_t ParseTwoHexDigits(const TerminalRecord& record, std::size_t position) {
    const auto nibble = [](char c) -> std::uint8_t {
        if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
        if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
        return 0;
    };
    return static_cast<std::uint8_t>(nibble(record.line.At(position)) << 4 |
                                     nibble(record.line.At(position + 1)));
}

// ---------------------------------------------------------------------------------------------
// Unit index r of *355, *426 and *356: the odd keys 01, 03, 05, 07 name units 0-3.

constexpr std::uint8_t kNoUnit = 255;

std::uint8_t ParseOddUnit(const TerminalRecord& record, std::uint8_t position) {
    const std::uint8_t k = ParseByteField(record, position, 2, 1, 8);
    if (k == kFieldRefused || k % 2 == 0) return kNoUnit;
    return static_cast<std::uint8_t>((k + 1) / 2 - 1);
}

// Slot 141: *355 block 131 byte 16r (0x80 or 0), *426 the *426 table.
constexpr std::uint8_t kItem426 = 1;
constexpr int kUnitFlagBlock = 131;
constexpr std::size_t kUnitFlagStride = 16;
constexpr std::uint8_t kUnitFlagSet = 0x80;

// Slot 142 (*356): 11 characters per entry; "00000" and "99999" stand for no number and for
// the code 99999, kept as all 0 and all FF.
constexpr std::uint8_t kCodeTextMinDigits = 4;
constexpr std::uint8_t kCodeTextMaxDigits = 11;
constexpr std::uint8_t kCodeTextAllSet = 0xFF;

// ---------------------------------------------------------------------------------------------
// Slots 143-145: entries e 1-24 of block 54 (12 bytes) and block 84 (4 bytes).

constexpr std::uint8_t kEntryCount = 24;

struct EntryValueItem {
    std::uint8_t slot;
    std::uint8_t item;
    int block;
    std::size_t entry_bytes;
    std::size_t byte;
    BitField field;
    std::uint8_t min;
    std::uint8_t max;
};

constexpr std::array kEntryValueItems{
    EntryValueItem{143, 0, 54, 12, 0, kLowNibble, 1, 7},  // *643
    EntryValueItem{143, 1, 84, 4, 0, kLowNibble, 0, 3},   // *365
    // Slot 144 reaches no command; it keeps a value 1-8 in byte 6 of the *643 entries.
    EntryValueItem{144, 0, 54, 12, 6, {&SetByteField, &GetByteField}, 1, 8},
};

const EntryValueItem* FindEntryValue(ProgrammingState& state, std::uint8_t slot) {
    const std::uint8_t item = slot == 144 ? 0 : CurrentDescriptor(state).SubType();
    for (const EntryValueItem& row : kEntryValueItems) {
        if (row.slot == slot && row.item == item) return &row;
    }
    return nullptr;
}

std::uint8_t* EntryByte(DataImage& image, int block, std::size_t entry_bytes, std::size_t byte,
                        unsigned e) {
    return image.BlockByte(block, entry_bytes * (e - 1) + byte);
}

// Every entry of the range is written; the answer is that of the first that does not read back.
std::uint8_t StoreEntryValue(ProgrammingState& state, TerminalRecord& record, std::uint8_t slot) {
    const EntryValueItem* item = FindEntryValue(state, slot);
    if (item == nullptr) return kHandlerRejected;
    UnitRange range;
    if (!ParseUnitRange(state, record, kEntryCount, range)) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data, 2, item->min, item->max);
    if (value == kFieldRefused) return kHandlerRejected;
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned e = range.first; e <= range.last; ++e) {
        std::uint8_t* byte = EntryByte(state.image, item->block, item->entry_bytes, item->byte, e);
        if (byte == nullptr) return kHandlerRejected;
        item->field.set(value, *byte);
        if (item->field.get(*byte) != value && answer == kHandlerAccepted) {
            answer = kHandlerMismatch;
        }
    }
    return answer;
}

std::uint8_t ShowEntryValue(ProgrammingState& state, TerminalRecord& record, std::uint8_t slot) {
    const EntryValueItem* item = FindEntryValue(state, slot);
    if (item == nullptr) return kHandlerRejected;
    const std::uint8_t e = ParseSingleUnit(state, record, kEntryCount);
    if (e == kFieldRefused) return kHandlerRejected;
    const std::uint8_t* byte =
        EntryByte(state.image, item->block, item->entry_bytes, item->byte, e);
    if (byte == nullptr) return kHandlerRejected;
    AppendNumber(record, item->field.get(*byte), 2, 10);
    return kHandlerAccepted;
}

// Slot 145 (*334): two port codes in bytes 8 and 9 of the block 54 entries.
constexpr int kPortPairBlock = 54;
constexpr std::size_t kPortPairEntryBytes = 12;
constexpr std::size_t kPortPairByte = 8;

// A wide class position without the walk's jump; position 000 is the port code 0, no port.
std::uint8_t ReadWidePort(const TerminalRecord& record, std::size_t position) {
    return MapSlotCodeWide(ParsePosition72(record, static_cast<std::uint8_t>(position)));
}

// ---------------------------------------------------------------------------------------------
// Slots 146, 148 and 149: fields of port records.

constexpr int kPortOptionBlock = 52;
constexpr std::size_t kPortOptionRecordBytes = 12;
constexpr std::size_t kPortDigitsByte = 5;  // slot 146: bytes 5-6
constexpr std::size_t kPortValueByte = 7;   // *9301
constexpr std::uint8_t kPortDigitCount = 4;

// Slot 149: one small field of a port record, or of the unit work table's entry of the port.
constexpr int kUnitWorkTable = -1;

void SetBit0(std::uint8_t value, std::uint8_t& byte) {
    byte = static_cast<std::uint8_t>((byte & ~0x01) | (value & 0x01));
}
std::uint8_t GetBit0(std::uint8_t byte) {
    return byte & 0x01;
}

constexpr BitField kBit0{&SetBit0, &GetBit0};
constexpr BitField kBits12{&SetBits12, &GetBits12};

struct PortFieldItem {
    std::uint8_t item;
    const PositionClass* positions;
    std::uint8_t max;
    int block;  // kUnitWorkTable for the table outside the blocks
    std::size_t record_bytes;
    std::size_t byte;
    BitField field;
};

constexpr std::array kPortFieldItems{
    PortFieldItem{1, &kPlainPositions, 1, kUnitWorkTable, 8, 2, kBits67},  // *829
    PortFieldItem{2, &kPlainPositions, 3, 52, 12, 0, kBits23},             // *9287
    PortFieldItem{3, &kPlainPositions, 2, 1, 48, 3, kBits67},              // *303
    PortFieldItem{4, &kPlainPositions, 1, 52, 12, 11, kBit0},              // *315
    PortFieldItem{5, &kWidePositions, 2, 1, 48, 46, kBits23},              // *387
    PortFieldItem{6, &kPlainPositions, 2, 83, 116, 0, kBits12},            // *183
    PortFieldItem{8, &kPlainPositions, 7, 1, 48, 47, kBits02},             // *818
    PortFieldItem{9, &kWidePositions, 1, kUnitWorkTable, 8, 2, kBits45},   // *722
};

std::uint8_t* PortFieldByte(DataImage& image, const PortFieldItem& item, std::uint8_t code) {
    const auto port =
        item.block == kUnitWorkTable
            ? (code == 0 ? std::span<std::uint8_t>{} : TableEntry(image.unit_work_table, code - 1u))
            : PortRecord(image, item.block, item.record_bytes, code);
    return item.byte < port.size() ? &port[item.byte] : nullptr;
}

}  // namespace

// --- Slot 140 --------------------------------------------------------------------------------
// No command: accepts "2" (read as 1-5), two nonzero hexadecimal pairs at P + 2 and P + 5 and a
// blank after them; it keeps nothing.

std::uint8_t StoreHandler140(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const bool taken = ParseByteField(record, p, 1, 1, 5) == 2 &&
                       ParseTwoHexDigits(record, p + 2u) != 0 &&
                       ParseTwoHexDigits(record, p + 5u) != 0 && record.line.At(p + 7u) == ' ';
    return taken ? kHandlerAccepted : kHandlerRejected;
}

// --- Slot 141 --------------------------------------------------------------------------------

std::uint8_t StoreHandler141(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t r = ParseOddUnit(record, p);
    if (r == kNoUnit) return kHandlerRejected;
    if (CurrentDescriptor(state).SubType() == kItem426) {
        const std::uint8_t value = ParseByteField(record, p + 3, 1, 0, 7);
        if (value == kFieldRefused) return kHandlerRejected;
        std::uint8_t& byte = state.image.table_426[r];
        byte = value;
        return byte == value ? kHandlerAccepted : kHandlerMismatch;
    }
    const std::uint8_t value = ParseByteField(record, p + 3, 1, 0, 1);
    std::uint8_t* byte = state.image.BlockByte(kUnitFlagBlock, kUnitFlagStride * r);
    if (value == kFieldRefused || byte == nullptr) return kHandlerRejected;
    *byte = value == 1 ? kUnitFlagSet : 0;
    return (*byte != 0) == (value == 1) ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler141(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t r = ParseOddUnit(record, FirstFieldPosition(state));
    if (r == kNoUnit) return kHandlerRejected;
    if (CurrentDescriptor(state).SubType() == kItem426) {
        AppendDigit(record, state.image.table_426[r]);
        return kHandlerAccepted;
    }
    const std::uint8_t* byte = state.image.BlockByte(kUnitFlagBlock, kUnitFlagStride * r);
    if (byte == nullptr) return kHandlerRejected;
    record.line.Append(*byte != 0 ? '1' : '0');
    return kHandlerAccepted;
}

// --- Slot 142 --------------------------------------------------------------------------------
// Unit, table t (1-3), number of 4-11 digits kept as text.

std::uint8_t StoreHandler142(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t r = ParseOddUnit(record, p);
    const std::uint8_t t = ParseByteField(record, p + 3, 1, 1, 3);
    if (r == kNoUnit || t == kFieldRefused) return kHandlerRejected;
    const auto number = static_cast<std::uint8_t>(p + 5);
    const std::uint8_t digits = MeasureDigitField(record, number);
    if (digits < kCodeTextMinDigits || digits > kCodeTextMaxDigits) return kHandlerRejected;
    auto& entry = state.image.tables_356[t - 1u][r];
    if (HoldsLoneField(record, number, "00000")) {
        std::fill(entry.begin(), entry.end(), std::uint8_t{0});
        return kHandlerAccepted;
    }
    if (HoldsLoneField(record, number, "99999")) {
        std::fill(entry.begin(), entry.end(), kCodeTextAllSet);
        return kHandlerAccepted;
    }
    std::fill(entry.begin(), entry.end(), std::uint8_t{0});
    std::uint8_t answer = kHandlerAccepted;
    for (std::size_t i = 0; i < digits; ++i) {
        const auto c = static_cast<std::uint8_t>(record.line.At(number + i));
        entry[i] = c;
        if (entry[i] != c) answer = kHandlerMismatch;
    }
    return answer;
}

std::uint8_t ShowHandler142(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t r = ParseOddUnit(record, p);
    const std::uint8_t t = ParseByteField(record, p + 3, 1, 1, 3);
    if (r == kNoUnit || t == kFieldRefused) return kHandlerRejected;
    const auto& entry = state.image.tables_356[t - 1u][r];
    if (entry[0] == 0) {
        record.line.Append("00000");
    } else if (entry[0] == kCodeTextAllSet) {
        record.line.Append("99999");
    } else {
        const auto end = std::find(entry.begin(), entry.end(), 0);
        AppendStoredText(record, std::span<const std::uint8_t>(
                                     entry.data(), static_cast<std::size_t>(end - entry.begin())));
    }
    return kHandlerAccepted;
}

// --- Slots 143 and 144 -----------------------------------------------------------------------

std::uint8_t StoreHandler143(ProgrammingState& state, TerminalRecord& record) {
    return StoreEntryValue(state, record, 143);
}
std::uint8_t ShowHandler143(ProgrammingState& state, TerminalRecord& record) {
    return ShowEntryValue(state, record, 143);
}
std::uint8_t StoreHandler144(ProgrammingState& state, TerminalRecord& record) {
    return StoreEntryValue(state, record, 144);
}
std::uint8_t ShowHandler144(ProgrammingState& state, TerminalRecord& record) {
    return ShowEntryValue(state, record, 144);
}

// --- Slot 145 --------------------------------------------------------------------------------
// Entries, then one or two positions; one position fills both bytes.

std::uint8_t StoreHandler145(ProgrammingState& state, TerminalRecord& record) {
    UnitRange range;
    if (!ParseUnitRange(state, record, kEntryCount, range)) return kHandlerRejected;
    const std::uint8_t first = ReadWidePort(record, range.data);
    const std::size_t second_at = range.data + 4u;
    const std::uint8_t second =
        IsEmptyField(record, second_at) ? first : ReadWidePort(record, second_at);
    if (first == kPositionRefused || second == kPositionRefused) return kHandlerRejected;
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned e = range.first; e <= range.last; ++e) {
        auto pair = BlockBytes(state.image, kPortPairBlock,
                               kPortPairEntryBytes * (e - 1) + kPortPairByte, 2);
        if (pair.empty()) return kHandlerRejected;
        pair[0] = first;
        pair[1] = second;
        if ((pair[0] != first || pair[1] != second) && answer == kHandlerAccepted) {
            answer = kHandlerMismatch;
        }
    }
    return answer;
}

std::uint8_t ShowHandler145(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t e = ParseSingleUnit(state, record, kEntryCount);
    if (e == kFieldRefused) return kHandlerRejected;
    auto pair =
        BlockBytes(state.image, kPortPairBlock, kPortPairEntryBytes * (e - 1u) + kPortPairByte, 2);
    if (pair.empty()) return kHandlerRejected;
    AppendPortCode(record, pair[0]);
    record.line.Append(',');
    AppendPortCode(record, pair[1]);
    return kHandlerAccepted;
}

// --- Slot 146 --------------------------------------------------------------------------------
// No command: a special class position (000: every position) and four dial digits at P + 4;
// "00000" clears them.

std::uint8_t StoreHandler146(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t position = ParsePositionOrSpecial(record, p);
    if (position == kPositionRefused) return kHandlerRejected;
    const auto digits = static_cast<std::uint8_t>(p + 4);
    const bool clear = HoldsLoneField(record, digits, "00000");
    PositionRange range;
    range.first = position == 0 ? 1 : position;
    range.last = position == 0 ? 48 : position;
    return WalkPositionRange(
        range, kSpecialPositions, WalkRule::kStopAtFailure, [&](std::uint8_t code) -> std::uint8_t {
            auto port = PortRecord(state.image, kPortOptionBlock, kPortOptionRecordBytes, code);
            if (port.empty()) return kHandlerRejected;
            auto bytes = port.subspan(kPortDigitsByte, 2);
            if (clear) {
                std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
                return kHandlerAccepted;
            }
            PackDialDigits(record, kPortDigitCount, digits, bytes);
            return VerifyDialDigits(record, kPortDigitCount, digits, bytes);
        });
}

std::uint8_t ShowHandler146(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t code =
        MapSlotCodeWide(ParsePositionOrSpecial(record, FirstFieldPosition(state)));
    auto port = PortRecord(state.image, kPortOptionBlock, kPortOptionRecordBytes,
                           code == kPositionRefused ? 0 : code);
    if (port.empty()) return kHandlerRejected;
    UnpackDialDigits(record, kPortDigitCount, port.subspan(kPortDigitsByte, 2));
    return kHandlerAccepted;
}

// --- Slot 147 --------------------------------------------------------------------------------
// No command, and only an outline of what it does: a first plain class position at P is linked
// to a second at P + 4 through byte 15 of the first 64 port records of block 1, with the link
// kind (12 for sub-type 2, 0 for sub-type 1) in bits 0-3 of byte 16. Any earlier link from or
// to either port goes first. The show gives the first port linked to the position typed with
// the command's kind, or 000 when there is none.

constexpr int kLinkBlock = 1;
constexpr std::size_t kLinkRecordBytes = 48;
constexpr std::size_t kLinkByte = 15;
constexpr std::size_t kLinkKindByte = 16;
constexpr std::uint8_t kLinkedPorts = 64;
constexpr std::uint8_t kLinkKindOfItem2 = 12;

std::uint8_t LinkKind(ProgrammingState& state) {
    return CurrentDescriptor(state).SubType() == 2 ? kLinkKindOfItem2 : 0;
}

std::uint8_t ReadLinkPort(const TerminalRecord& record, std::size_t position) {
    const std::uint8_t code =
        MapSlotCode(ParsePosition36(record, static_cast<std::uint8_t>(position)));
    return code == 0 || code > kLinkedPorts ? kPositionRefused : code;
}

std::uint8_t StoreHandler147(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t from = ReadLinkPort(record, p);
    const std::uint8_t to = ReadLinkPort(record, p + 4u);
    if (from == kPositionRefused || to == kPositionRefused) return kHandlerRejected;
    for (std::uint8_t code = 1; code <= kLinkedPorts; ++code) {
        auto port = PortRecord(state.image, kLinkBlock, kLinkRecordBytes, code);
        if (port.empty()) return kHandlerRejected;
        if (code == from || code == to || port[kLinkByte] == from || port[kLinkByte] == to) {
            port[kLinkByte] = 0;
        }
    }
    auto port = PortRecord(state.image, kLinkBlock, kLinkRecordBytes, from);
    const std::uint8_t kind = LinkKind(state);
    port[kLinkByte] = to;
    SetLowNibble(kind, port[kLinkKindByte]);
    return port[kLinkByte] == to && GetLowNibble(port[kLinkKindByte]) == kind ? kHandlerAccepted
                                                                              : kHandlerMismatch;
}

std::uint8_t ShowHandler147(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t to = ReadLinkPort(record, FirstFieldPosition(state));
    if (to == kPositionRefused) return kHandlerRejected;
    const std::uint8_t kind = LinkKind(state);
    std::uint8_t linked = 0;
    for (std::uint8_t code = 1; code <= kLinkedPorts && linked == 0; ++code) {
        auto port = PortRecord(state.image, kLinkBlock, kLinkRecordBytes, code);
        if (!port.empty() && port[kLinkByte] == to && GetLowNibble(port[kLinkKindByte]) == kind) {
            linked = code;
        }
    }
    AppendPortCode(record, linked);
    return kHandlerAccepted;
}

// --- Slot 148 --------------------------------------------------------------------------------
// Special class positions (113-136 have no port and are passed over); every port is written.

std::uint8_t StoreHandler148(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kSpecialPositions, 0);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data_at, 2, 0, 3);
    if (value == kFieldRefused) return kHandlerRejected;
    return WalkPositionRange(
        range, kSpecialPositions, WalkRule::kGoOn, [&](std::uint8_t code) -> std::uint8_t {
            auto port = PortRecord(state.image, kPortOptionBlock, kPortOptionRecordBytes, code);
            if (port.empty()) return kHandlerRejected;
            port[kPortValueByte] = value;
            return port[kPortValueByte] == value ? kHandlerAccepted : kHandlerMismatch;
        });
}

std::uint8_t ShowHandler148(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t code =
        ParseSinglePositionPort(record, FirstFieldPosition(state), kSpecialPositions, 0);
    auto port = PortRecord(state.image, kPortOptionBlock, kPortOptionRecordBytes, code);
    if (port.empty()) return kHandlerRejected;
    AppendNumber(record, port[kPortValueByte], 2, 10);
    return kHandlerAccepted;
}

// --- Slot 149 --------------------------------------------------------------------------------

std::uint8_t StoreHandler149(ProgrammingState& state, TerminalRecord& record) {
    const PortFieldItem* item = FindItem(kPortFieldItems, CurrentDescriptor(state).SubType());
    if (item == nullptr) return kHandlerRejected;
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), *item->positions, 0);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data_at, 1, 0, item->max);
    if (value == kFieldRefused) return kHandlerRejected;
    return WalkPositionRange(
        range, *item->positions, WalkRule::kGoOn, [&](std::uint8_t code) -> std::uint8_t {
            std::uint8_t* byte = PortFieldByte(state.image, *item, code);
            if (byte == nullptr) return kHandlerRejected;
            item->field.set(value, *byte);
            return item->field.get(*byte) == value ? kHandlerAccepted : kHandlerMismatch;
        });
}

std::uint8_t ShowHandler149(ProgrammingState& state, TerminalRecord& record) {
    const PortFieldItem* item = FindItem(kPortFieldItems, CurrentDescriptor(state).SubType());
    if (item == nullptr) return kHandlerRejected;
    const std::uint8_t code =
        ParseSinglePositionPort(record, FirstFieldPosition(state), *item->positions, 0);
    const std::uint8_t* byte = PortFieldByte(state.image, *item, code);
    if (byte == nullptr) return kHandlerRejected;
    AppendDigit(record, item->field.get(*byte));
    return kHandlerAccepted;
}

}  // namespace qzs
