// Slots 130-139: number records (*9316, *9317, *9315), per-unit and per-line values over a range,
// the port code of a unit (*090), and the four-digit family of slot 138, whose store and show
// pass the call on by sub-type. P below is the first field position on the line.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "programming/character_table.h"
#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;
constexpr std::uint16_t kWordRefused = 0xFFFF;

// ---------------------------------------------------------------------------------------------
// Slots 132 and 133: block 57, 64 records of 20 bytes: byte 0 a value, bytes 1-6 twelve dial
// digits, bytes 8, 10 and 12 three 16-bit items.

constexpr int kRecordBlock = 57;
constexpr std::size_t kRecordBytes = 20;
constexpr std::uint8_t kRecordCount = 64;
constexpr std::uint8_t kRecordDigits = 12;

std::size_t RecordOffset(std::uint8_t r) {
    return kRecordBytes * (r - 1u);
}
std::size_t ItemOffset(std::uint8_t r, std::uint8_t c) {
    return RecordOffset(r) + 6u + 2u * c;
}

// Block 32: 16-bit values of set a (1), entry b (1-13), item c (1-3).
constexpr int kSetBlock = 32;
std::size_t SetItemOffset(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    return 192u * (a - 1u) + 12u * b + 2u * (c - 1u);
}

constexpr std::uint8_t kItemRecord = 1;  // *9317
constexpr std::uint8_t kItemSet = 2;     // *9315

// The block and offset of the *9317 or *9315 value the keys name, and where its data stand;
// block -1 when a key is out of range. *9317 record 00 (the whole column) only in a store.
struct ValueKey {
    int block = -1;
    std::uint8_t r = 0;  // *9317 record, 0 for all
    std::uint8_t c = 0;
    std::size_t offset = 0;
    std::uint8_t data = 0;
};

ValueKey ParseValueKey(ProgrammingState& state, const TerminalRecord& record,
                       std::uint8_t record_min) {
    const std::uint8_t p = FirstFieldPosition(state);
    switch (CurrentDescriptor(state).SubType()) {
        case kItemRecord: {
            const std::uint8_t r = ParseByteField(record, p, 2, record_min, kRecordCount);
            const std::uint8_t c = ParseByteField(record, p + 3, 1, 1, 3);
            if (r == kFieldRefused || c == kFieldRefused) return {};
            return {kRecordBlock, r, c, r == 0 ? 0 : ItemOffset(r, c),
                    static_cast<std::uint8_t>(p + 5)};
        }
        case kItemSet: {
            const std::uint8_t a = ParseByteField(record, p, 1, 1, 1);
            const std::uint8_t b = ParseByteField(record, p + 2, 2, 1, 13);
            const std::uint8_t c = ParseByteField(record, p + 5, 1, 1, 3);
            if (a == kFieldRefused || b == kFieldRefused || c == kFieldRefused) return {};
            return {kSetBlock, 0, c, SetItemOffset(a, b, c), static_cast<std::uint8_t>(p + 7)};
        }
        default:
            return {};
    }
}

// ---------------------------------------------------------------------------------------------
// Slot 136 (*090): block 53, byte 16(u - 1) + 1 of units 1-8 holds a port code.

constexpr int kUnitBlock = 53;
constexpr std::size_t kUnitBytes = 16;
constexpr std::uint8_t kUnitCount = 8;
constexpr std::size_t kUnitPortByte = 1;

std::uint8_t& UnitPortByte(DataImage& image, std::uint8_t u) {
    return *image.BlockByte(kUnitBlock, kUnitBytes * (u - 1u) + kUnitPortByte);
}

// Slot 134 (no command): two flags per unit in bits 1 and 0 of block 81, byte 4(u - 1) + 3.
constexpr int kUnitFlagBlock = 81;
constexpr std::size_t kUnitFlagBytes = 4;
constexpr std::size_t kUnitFlagByte = 3;
constexpr std::array<std::uint8_t, 2> kUnitFlagMasks{0x02, 0x01};

std::uint8_t& UnitFlagByte(DataImage& image, std::uint8_t u) {
    return *image.BlockByte(kUnitFlagBlock, kUnitFlagBytes * (u - 1u) + kUnitFlagByte);
}

// Slot 135: a digit 0-8 into a nibble of the unit's block 53 record.
struct UnitNibbleItem {
    std::uint8_t item;
    std::uint8_t offset;
    BitField field;
    bool reload;  // the display characters depend on it
};

constexpr std::array kUnitNibbleItems{
    UnitNibbleItem{1, 10, kLowNibble, true},   // *042
    UnitNibbleItem{2, 10, kHighNibble, true},  // *043
    UnitNibbleItem{3, 9, kHighNibble, false},  // *678
};

// Slots 137 and 139: 12-byte line records n (1-24) of block 54.
constexpr int kLineBlock = 54;
constexpr std::size_t kLineBytes = 12;
constexpr std::uint8_t kLineCount = 24;
constexpr std::size_t kLineClassByte = 1;  // slot 139, bits 5-7

std::uint8_t& LineByte(DataImage& image, std::uint8_t n, std::size_t offset) {
    return *image.BlockByte(kLineBlock, kLineBytes * (n - 1u) + offset);
}

// Slot 137: sub-type 1 flags byte 7 (every command), sub-type 2 (no command) byte 11; 0 for a
// sub-type that has no byte.
std::size_t LineFlagOffset(std::uint8_t item) {
    switch (item) {
        case 1:
            return 7;
        case 2:
            return 11;
        default:
            return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Slot 138: the four-digit family.

constexpr int kFamilyBlock = 130;
constexpr std::size_t kFamilyFlagByte = 91;       // sub-types 7 and 8: bits 0 and 1
constexpr std::size_t kFamilyEntryPortBase = 91;  // *9534: entry e (1-4) at 91 + e
constexpr std::uint8_t kFamilyCodeEntries = 12;   // *9527: 16-bit words at 2e
constexpr std::uint16_t kFamilyCodeShown = 0x0FFF;

// The codes *9527 takes; 000 clears the entry.
constexpr std::array<std::uint16_t, 20> kFamilyCodes{0,   700, 861, 862, 863, 864, 877,
                                                     878, 879, 880, 965, 969, 972, 980,
                                                     984, 990, 992, 994, 996, 998};

// The group table: groups 1-3 used; bytes 0-11 members, byte 12 a value 0-31, byte 13 low nibble
// a value 0-7, byte 14 a value 1-7.
constexpr std::uint8_t kGroupCount = 3;
constexpr std::size_t kGroupMembers = 12;
constexpr std::size_t kGroupValueByte = 12;
constexpr std::size_t kGroupClassByte = 13;
constexpr std::uint8_t kGroupValueReset = 31;
constexpr std::uint8_t kGroupClassReset = 7;

std::uint8_t ParseGroup(const TerminalRecord& record, std::uint8_t p) {
    return ParseByteField(record, p, 2, 1, kGroupCount);
}

using SubHandler = std::uint8_t (*)(ProgrammingState&, TerminalRecord&);

// *9525: group g at P, the value v (0-31) at P + 3 and w (0-7) at P + 6. A pair stands in one
// group only: any group that held it is reset before g takes it.
std::uint8_t StoreGroupPair(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t g = ParseGroup(record, p);
    const std::uint8_t v = ParseByteField(record, p + 3, 2, 0, 31);
    const std::uint8_t w = ParseByteField(record, p + 6, 1, 0, 7);
    if (g == kFieldRefused || v == kFieldRefused || w == kFieldRefused) return kHandlerRejected;
    for (auto& group : state.image.group_table) {
        if (group[kGroupValueByte] == v && GetLowNibble(group[kGroupClassByte]) == w) {
            group[kGroupValueByte] = kGroupValueReset;
            SetLowNibble(kGroupClassReset, group[kGroupClassByte]);
        }
    }
    auto& group = state.image.group_table[g];
    group[kGroupValueByte] = v;
    SetLowNibble(w, group[kGroupClassByte]);
    return kHandlerAccepted;
}

std::uint8_t ShowGroupPair(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t g = ParseGroup(record, FirstFieldPosition(state));
    if (g == kFieldRefused) return kHandlerRejected;
    const auto& group = state.image.group_table[g];
    AppendNumber(record, group[kGroupValueByte], 2, 10);
    record.line.Append(',');
    AppendDigit(record, GetLowNibble(group[kGroupClassByte]));
    return kHandlerAccepted;
}

// *9526: group g at P, member m (0-12) at P + 3, value v (0-8) at P + 6. A value stands once in a
// group; member 00 with 00 empties the group.
std::uint8_t StoreGroupMember(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t g = ParseGroup(record, p);
    const std::uint8_t m = ParseByteField(record, p + 3, 2, 0, kGroupMembers);
    const std::uint8_t v = ParseByteField(record, p + 6, 2, 0, 8);
    if (g == kFieldRefused || m == kFieldRefused || v == kFieldRefused) return kHandlerRejected;
    auto members = std::span<std::uint8_t>(state.image.group_table[g]).first(kGroupMembers);
    if (m == 0) {
        if (v != 0) return kHandlerRejected;
        std::fill(members.begin(), members.end(), std::uint8_t{0});
        return kHandlerAccepted;
    }
    if (v != 0) std::replace(members.begin(), members.end(), v, std::uint8_t{0});
    members[m - 1u] = v;
    return kHandlerAccepted;
}

std::uint8_t ShowGroupMember(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t g = ParseGroup(record, p);
    const std::uint8_t m = ParseByteField(record, p + 3, 2, 1, kGroupMembers);
    if (g == kFieldRefused || m == kFieldRefused) return kHandlerRejected;
    AppendNumber(record, state.image.group_table[g][m - 1u], 2, 10);
    return kHandlerAccepted;
}

// *9527: entry e (1-12) at P, a code at P + 3 from the list. A code stands in one entry only.
std::uint8_t StoreFamilyCode(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t e = ParseByteField(record, p, 2, 1, kFamilyCodeEntries);
    const std::uint16_t code = ParseWordField(record, p + 3, 3, 0, 999);
    if (e == kFieldRefused || code == kWordRefused ||
        std::find(kFamilyCodes.begin(), kFamilyCodes.end(), code) == kFamilyCodes.end()) {
        return kHandlerRejected;
    }
    if (code != 0) {
        for (std::uint8_t i = 1; i <= kFamilyCodeEntries; ++i) {
            if (BlockWord(state.image, kFamilyBlock, 2u * i) == code) {
                SetBlockWord(state.image, kFamilyBlock, 2u * i, 0);
            }
        }
    }
    SetBlockWord(state.image, kFamilyBlock, 2u * e, code);
    return kHandlerAccepted;
}

std::uint8_t ShowFamilyCode(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t e =
        ParseByteField(record, FirstFieldPosition(state), 2, 1, kFamilyCodeEntries);
    if (e == kFieldRefused) return kHandlerRejected;
    AppendNumber(
        record,
        static_cast<std::uint16_t>(BlockWord(state.image, kFamilyBlock, 2u * e) & kFamilyCodeShown),
        3, 10);
    return kHandlerAccepted;
}

// *9534: entry e (1-4) at P, a position of the second bank (or "000") at P + 2.
std::uint8_t StoreFamilyEntryPort(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t e = ParseByteField(record, p, 1, 1, 4);
    const std::uint8_t position = ParsePosition72(record, p + 2);
    if (e == kFieldRefused || position == kPositionRefused) return kHandlerRejected;
    if (position != 0 && (position - 1) % 72 < 36) return kHandlerRejected;
    const std::uint8_t code = MapSlotCodeWide(MapCrCode(position));
    if (code == kPositionRefused) return kHandlerRejected;
    *state.image.BlockByte(kFamilyBlock, kFamilyEntryPortBase + e) = code;
    return kHandlerAccepted;
}

std::uint8_t ShowFamilyEntryPort(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t e = ParseByteField(record, FirstFieldPosition(state), 1, 1, 4);
    if (e == kFieldRefused) return kHandlerRejected;
    AppendPortCode(record, *state.image.BlockByte(kFamilyBlock, kFamilyEntryPortBase + e));
    return kHandlerAccepted;
}

// Sub-types 7 and 8 (no command): one digit at P sets or clears bit 0 or bit 1 of byte 91.
template <std::uint8_t kMask>
std::uint8_t StoreFamilyFlag(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t value = ParseByteField(record, FirstFieldPosition(state), 1, 0, 1);
    if (value == kFieldRefused) return kHandlerRejected;
    return SetMaskBits(*state.image.BlockByte(kFamilyBlock, kFamilyFlagByte), kMask, value)
               ? kHandlerAccepted
               : kHandlerMismatch;
}

template <std::uint8_t kMask>
std::uint8_t ShowFamilyFlag(ProgrammingState& state, TerminalRecord& record) {
    AppendMaskFlag(record, *state.image.BlockByte(kFamilyBlock, kFamilyFlagByte), kMask);
    return kHandlerAccepted;
}

// *9524, *9529, *9442: positions of the second bank only (their last two digits 37-72). The walk
// never passes value 13, so no value is remapped on the way.
constexpr PositionClass kSecondBankPositions{&ParsePosition72, &MapSlotCodeWide, false};
constexpr std::uint8_t kFirstSecondBankCode = 65;
constexpr std::uint8_t kLastSecondBankCode = 128;
constexpr std::size_t kPortValueBase = 25;  // *9524: block 130 byte 25 + code - 64
constexpr std::size_t kPortFlagTableByte = 13;

bool InSecondBank(std::uint8_t index) {
    return (index - 1) % 72 >= 36;
}

PositionRange ParseSecondBankRange(ProgrammingState& state, const TerminalRecord& record) {
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kSecondBankPositions, 0);
    if (!range.Valid() || !InSecondBank(range.first) || !InSecondBank(range.last)) return {};
    return range;
}

// A show's one position; 0 unless its code lies in the second bank.
std::uint8_t ParseSecondBankPort(ProgrammingState& state, const TerminalRecord& record) {
    const PositionRange range = ParseSecondBankRange(state, record);
    if (!range.Valid() || !range.single) return 0;
    const std::uint8_t code = kSecondBankPositions.map(range.first);
    return code >= kFirstSecondBankCode && code <= kLastSecondBankCode ? code : 0;
}

// Visits the codes 65-128 of the range.
template <typename Visit>
std::uint8_t WalkSecondBank(const PositionRange& range, Visit&& visit) {
    return WalkPositionRange(range, kSecondBankPositions, WalkRule::kStopAtFailure,
                             [&](std::uint8_t code) {
                                 if (code < kFirstSecondBankCode || code > kLastSecondBankCode) {
                                     return kHandlerAccepted;
                                 }
                                 return visit(code);
                             });
}

std::uint8_t& PortValue(DataImage& image, std::uint8_t code) {
    return *image.BlockByte(kFamilyBlock, kPortValueBase + code - 64u);
}

// *9524: a value 0-8 and two flags for every port of the range, written whole without a read-back.
std::uint8_t StorePortValue(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range = ParseSecondBankRange(state, record);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data_at, 1, 0, 8);
    const std::uint8_t flag1 = ParseByteField(record, range.data_at + 2, 1, 0, 1);
    const std::uint8_t flag2 = ParseByteField(record, range.data_at + 4, 1, 0, 1);
    if (value == kFieldRefused || flag1 == kFieldRefused || flag2 == kFieldRefused) {
        return kHandlerRejected;
    }
    const auto byte = static_cast<std::uint8_t>(value + 16 * flag1 + 32 * flag2);
    return WalkSecondBank(range, [&](std::uint8_t code) {
        PortValue(state.image, code) = byte;
        return kHandlerAccepted;
    });
}

std::uint8_t ShowPortValue(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t code = ParseSecondBankPort(state, record);
    if (code == 0) return kHandlerRejected;
    const std::uint8_t byte = PortValue(state.image, code);
    AppendDigit(record, GetLowNibble(byte));
    record.line.Append(',');
    AppendMaskFlag(record, byte, 0x10);
    record.line.Append(',');
    AppendMaskFlag(record, byte, 0x20);
    return kHandlerAccepted;
}

// *9529 (bit 0) and *9442 (bit 2) of byte 13 of the port flag table record of each port.
template <std::uint8_t kMask>
std::uint8_t StorePortFlag(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range = ParseSecondBankRange(state, record);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data_at, 1, 0, 1);
    if (value == kFieldRefused) return kHandlerRejected;
    return WalkSecondBank(range, [&](std::uint8_t code) {
        std::uint8_t& byte =
            state.image.port_flag_table[code - kFirstSecondBankCode][kPortFlagTableByte];
        return SetMaskBits(byte, kMask, value) ? kHandlerAccepted : kHandlerMismatch;
    });
}

template <std::uint8_t kMask>
std::uint8_t ShowPortFlag(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t code = ParseSecondBankPort(state, record);
    if (code == 0) return kHandlerRejected;
    AppendMaskFlag(record,
                   state.image.port_flag_table[code - kFirstSecondBankCode][kPortFlagTableByte],
                   kMask);
    return kHandlerAccepted;
}

// *9528: a value 1-7 into byte 14 of each group of a group range.
constexpr std::size_t kGroupLevelByte = 14;

std::uint8_t StoreGroupLevel(ProgrammingState& state, TerminalRecord& record) {
    UnitRange range;
    if (!ParseUnitRange(state, record, kGroupCount, range)) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data, 2, 1, 7);
    if (value == kFieldRefused) return kHandlerRejected;
    for (unsigned g = range.first; g <= range.last; ++g) {
        state.image.group_table[g][kGroupLevelByte] = value;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowGroupLevel(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t g = ParseSingleUnit(state, record, kGroupCount);
    if (g == kFieldRefused) return kHandlerRejected;
    AppendNumber(record, state.image.group_table[g][kGroupLevelByte], 2, 10);
    return kHandlerAccepted;
}

struct FamilyRow {
    std::uint8_t item;
    SubHandler store;
    SubHandler show;
};

constexpr std::array kFamilyRows{
    FamilyRow{2, &StorePortValue, &ShowPortValue},                // *9524
    FamilyRow{3, &StoreGroupPair, &ShowGroupPair},                // *9525
    FamilyRow{4, &StoreGroupMember, &ShowGroupMember},            // *9526
    FamilyRow{5, &StoreFamilyCode, &ShowFamilyCode},              // *9527
    FamilyRow{6, &StoreGroupLevel, &ShowGroupLevel},              // *9528
    FamilyRow{7, &StoreFamilyFlag<0x01>, &ShowFamilyFlag<0x01>},  // no command
    FamilyRow{8, &StoreFamilyFlag<0x02>, &ShowFamilyFlag<0x02>},  // no command
    FamilyRow{9, &StorePortFlag<0x01>, &ShowPortFlag<0x01>},      // *9529
    FamilyRow{10, &StoreFamilyEntryPort, &ShowFamilyEntryPort},   // *9534
    FamilyRow{11, &StorePortFlag<0x04>, &ShowPortFlag<0x04>},     // *9442
};

}  // namespace

// --- Slot 131 (no command) -------------------------------------------------------------------

std::uint8_t StoreHandler131(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t value = ParseByteField(record, FirstFieldPosition(state), 3, 1, 180);
    if (value == kFieldRefused) return kHandlerRejected;
    std::uint8_t& byte = state.image.Setting(SettingByte::kUnreachedValue131);
    byte = value;
    if (byte != value) return kHandlerMismatch;
    MarkSystemModified(state.modified);
    return kHandlerAccepted;
}

std::uint8_t ShowHandler131(ProgrammingState& state, TerminalRecord& record) {
    AppendNumber(record, state.image.Setting(SettingByte::kUnreachedValue131), 3, 10);
    return kHandlerAccepted;
}

// --- Slot 132 --------------------------------------------------------------------------------
// *9317 takes 000-999 but not 001 and 999; record 00 with 000 clears item c of every record.
// *9315 takes 002-998.

std::uint8_t StoreHandler132(ProgrammingState& state, TerminalRecord& record) {
    const ValueKey key = ParseValueKey(state, record, 0);
    if (key.block < 0) return kHandlerRejected;
    if (key.block == kSetBlock) {
        const std::uint16_t value = ParseWordField(record, key.data, 3, 2, 998);
        if (value == kWordRefused) return kHandlerRejected;
        return SetBlockWord(state.image, kSetBlock, key.offset, value);
    }
    const std::uint16_t value = ParseWordField(record, key.data, 3, 0, 998);
    if (value == kWordRefused || value == 1) return kHandlerRejected;
    if (key.r != 0) return SetBlockWord(state.image, kRecordBlock, key.offset, value);
    if (value != 0) return kHandlerRejected;
    std::uint8_t result = kHandlerAccepted;
    for (std::uint8_t r = 1; r <= kRecordCount; ++r) {
        if (SetBlockWord(state.image, kRecordBlock, ItemOffset(r, key.c), 0) != kHandlerAccepted) {
            result = kHandlerMismatch;
        }
    }
    return result;
}

std::uint8_t ShowHandler132(ProgrammingState& state, TerminalRecord& record) {
    const ValueKey key = ParseValueKey(state, record, 1);
    if (key.block < 0) return kHandlerRejected;
    AppendNumber(record, BlockWord(state.image, key.block, key.offset), 3, 10);
    return kHandlerAccepted;
}

// --- Slot 133 --------------------------------------------------------------------------------
// Record r at P, the value 000-255 at P + 3 and up to twelve digits at P + 7. Value 000 without
// digits clears record r, or every record for r = 00.

std::uint8_t StoreHandler133(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t r = ParseByteField(record, p, 2, 0, kRecordCount);
    const std::uint16_t value = ParseWordField(record, p + 3, 3, 0, 255);
    if (r == kFieldRefused || value == kWordRefused) return kHandlerRejected;
    const bool has_digits = TypedDigits(record, p + 7u, kRecordDigits) > 0;
    if (value == 0 && !has_digits) {
        const std::uint8_t first = r == 0 ? 1 : r;
        const std::uint8_t last = r == 0 ? kRecordCount : r;
        std::uint8_t result = kHandlerAccepted;
        for (unsigned i = first; i <= last; ++i) {
            auto bytes = BlockBytes(state.image, kRecordBlock,
                                    RecordOffset(static_cast<std::uint8_t>(i)), 7);
            if (ZeroAndCheck(bytes) != kHandlerAccepted) result = kHandlerMismatch;
        }
        return result;
    }
    if (r == 0 || !has_digits) return kHandlerRejected;
    auto bytes = BlockBytes(state.image, kRecordBlock, RecordOffset(r), 7);
    bytes[0] = static_cast<std::uint8_t>(value);
    const std::uint8_t verified = StoreDialNumber(record, kRecordDigits, p + 7, bytes.subspan(1));
    return bytes[0] == value ? verified : kHandlerMismatch;
}

std::uint8_t ShowHandler133(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t r = ParseByteField(record, FirstFieldPosition(state), 2, 1, kRecordCount);
    if (r == kFieldRefused) return kHandlerRejected;
    auto bytes = BlockBytes(state.image, kRecordBlock, RecordOffset(r), 7);
    AppendNumber(record, bytes[0], 3, 10);
    record.line.Append(',');
    UnpackDialDigits(record, kRecordDigits, bytes.subspan(1));
    return kHandlerAccepted;
}

// --- Slot 134 (no command) -------------------------------------------------------------------
// A unit range, then the two flags at the data and two places after.

std::uint8_t StoreHandler134(ProgrammingState& state, TerminalRecord& record) {
    UnitRange range;
    if (!ParseUnitRange(state, record, kUnitCount, range)) return kHandlerRejected;
    const std::array<std::uint8_t, 2> flags{ParseByteField(record, range.data, 1, 0, 1),
                                            ParseByteField(record, range.data + 2, 1, 0, 1)};
    if (flags[0] == kFieldRefused || flags[1] == kFieldRefused) return kHandlerRejected;
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned u = range.first; u <= range.last; ++u) {
        std::uint8_t& byte = UnitFlagByte(state.image, static_cast<std::uint8_t>(u));
        for (std::size_t i = 0; i < flags.size(); ++i) {
            if (!SetMaskBits(byte, kUnitFlagMasks[i], flags[i]) && answer == kHandlerAccepted) {
                answer = kHandlerMismatch;
            }
        }
    }
    return answer;
}

std::uint8_t ShowHandler134(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t u = ParseSingleUnit(state, record, kUnitCount);
    if (u == kFieldRefused) return kHandlerRejected;
    const std::uint8_t byte = UnitFlagByte(state.image, u);
    AppendMaskFlag(record, byte, kUnitFlagMasks[0]);
    record.line.Append(',');
    AppendMaskFlag(record, byte, kUnitFlagMasks[1]);
    return kHandlerAccepted;
}

// --- Slot 135 --------------------------------------------------------------------------------
// Every unit of the range is written; the answer is that of the first unit that did not read
// back. The display characters are reloaded after each unit of *042 and *043.

std::uint8_t StoreHandler135(ProgrammingState& state, TerminalRecord& record) {
    const UnitNibbleItem* row = FindItem(kUnitNibbleItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return kHandlerRejected;
    UnitRange range;
    if (!ParseUnitRange(state, record, kUnitCount, range)) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data, 1, 0, 8);
    if (value == kFieldRefused) return kHandlerRejected;
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned u = range.first; u <= range.last; ++u) {
        std::uint8_t& byte =
            *state.image.BlockByte(kUnitBlock, kUnitBytes * (u - 1u) + row->offset);
        row->field.set(value, byte);
        if (row->field.get(byte) != value && answer == kHandlerAccepted) answer = kHandlerMismatch;
        if (row->reload) ReloadCharacterTable(state.display_characters);
    }
    return answer;
}

std::uint8_t ShowHandler135(ProgrammingState& state, TerminalRecord& record) {
    const UnitNibbleItem* row = FindItem(kUnitNibbleItems, CurrentDescriptor(state).SubType());
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t u = ParseSingleUnit(state, record, kUnitCount);
    if (u == kFieldRefused) return kHandlerRejected;
    AppendDigit(record, row->field.get(*state.image.BlockByte(
                            kUnitBlock, kUnitBytes * (u - 1u) + row->offset)));
    return kHandlerAccepted;
}

// --- Slot 136 --------------------------------------------------------------------------------
// Unit u at P, a position 1YY at P + 3. A port code stands at one unit only: storing it moves it.

std::uint8_t StoreHandler136(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t u = ParseByteField(record, p, 2, 0, kUnitCount);
    const std::uint8_t c = MapSlotCode(ParsePosition1(record, p + 3));
    if (u == kFieldRefused || c == kPositionRefused) return kHandlerRejected;
    if (u == 0) {
        if (c != 0) return kHandlerRejected;
        std::uint8_t result = kHandlerAccepted;
        for (std::uint8_t i = 1; i <= kUnitCount; ++i) {
            std::uint8_t& byte = UnitPortByte(state.image, i);
            byte = 0;
            if (byte != 0) result = kHandlerMismatch;
        }
        return result;
    }
    for (std::uint8_t i = 1; i <= kUnitCount; ++i) {
        std::uint8_t& byte = UnitPortByte(state.image, i);
        if (byte == c) byte = 0;
    }
    std::uint8_t& byte = UnitPortByte(state.image, u);
    byte = c;
    return byte == c ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler136(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t u = ParseByteField(record, FirstFieldPosition(state), 2, 1, kUnitCount);
    if (u == kFieldRefused) return kHandlerRejected;
    AppendPortCode(record, UnitPortByte(state.image, u));
    return kHandlerAccepted;
}

// --- Slot 137 --------------------------------------------------------------------------------
// A line range; the first line whose bits do not take the value ends the walk.

std::uint8_t StoreHandler137(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    UnitRange range;
    if (!ParseUnitRange(state, record, kLineCount, range)) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data, 1, 0, 1);
    if (value == kFieldRefused) return kHandlerRejected;
    const std::size_t offset = LineFlagOffset(descriptor.SubType());
    if (offset == 0) return kHandlerRejected;
    for (unsigned n = range.first; n <= range.last; ++n) {
        if (!SetMaskBits(LineByte(state.image, static_cast<std::uint8_t>(n), offset),
                         descriptor.Mask(), value)) {
            return kHandlerMismatch;
        }
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler137(ProgrammingState& state, TerminalRecord& record) {
    const CommandDescriptor& descriptor = CurrentDescriptor(state);
    const std::uint8_t n = ParseSingleUnit(state, record, kLineCount);
    const std::size_t offset = LineFlagOffset(descriptor.SubType());
    if (n == kFieldRefused || offset == 0) return kHandlerRejected;
    AppendMaskFlag(record, LineByte(state.image, n, offset), descriptor.Mask());
    return kHandlerAccepted;
}

// --- Slot 138 --------------------------------------------------------------------------------

std::uint8_t StoreHandler138(ProgrammingState& state, TerminalRecord& record) {
    const FamilyRow* row = FindItem(kFamilyRows, CurrentDescriptor(state).SubType());
    return row != nullptr ? row->store(state, record) : kHandlerRejected;
}

std::uint8_t ShowHandler138(ProgrammingState& state, TerminalRecord& record) {
    const FamilyRow* row = FindItem(kFamilyRows, CurrentDescriptor(state).SubType());
    return row != nullptr ? row->show(state, record) : kHandlerRejected;
}

// --- Slot 139 (no command) -------------------------------------------------------------------
// A line range and a digit 0-5 into bits 5-7 of byte 1 of each line record.

std::uint8_t StoreHandler139(ProgrammingState& state, TerminalRecord& record) {
    UnitRange range;
    if (!ParseUnitRange(state, record, kLineCount, range)) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data, 1, 0, 5);
    if (value == kFieldRefused) return kHandlerRejected;
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned n = range.first; n <= range.last; ++n) {
        std::uint8_t& byte = LineByte(state.image, static_cast<std::uint8_t>(n), kLineClassByte);
        SetBits57(value, byte);
        if (GetBits57(byte) != value && answer == kHandlerAccepted) answer = kHandlerMismatch;
    }
    return answer;
}

std::uint8_t ShowHandler139(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t n = ParseSingleUnit(state, record, kLineCount);
    if (n == kFieldRefused) return kHandlerRejected;
    AppendDigit(record, GetBits57(LineByte(state.image, n, kLineClassByte)));
    return kHandlerAccepted;
}

}  // namespace qzs
