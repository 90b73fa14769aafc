// Slots 90-99: attributes of the eight groups of block 2 over a range of groups (*110, *117,
// *112, *641, *651, *333, *323) and of the twelve lines of *016, the numbering plan (*082), what
// a unit slot holds (*011) and the terminal flags of *017 and *018. P below is the first field
// position on the line. Slot 93 serves no command and refuses.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "programming/factory_defaults.h"
#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/name_chains.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"
#include "programming/slot_queries.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

// ---------------------------------------------------------------------------------------------
// Group ranges. Without an index: "gg,-v" or "gg,hh-v"; with the one-digit index of *110 and
// *117: "gg,,i-v" or "gg,hh,i-v". A last group typed with one digit leaves a separator among
// its digits and is refused by the strict reader.

constexpr int kGroupBlock = 2;  // 8 group records of 20 bytes
constexpr std::size_t kGroupRecordBytes = 20;
constexpr std::uint8_t kGroups = 8;
constexpr std::uint8_t kLines016 = 12;

struct GroupRange {
    std::uint8_t first = kFieldRefused;
    std::uint8_t last = kFieldRefused;
    bool single = false;
    std::uint8_t index_at = 0;
    std::uint8_t data_at = 0;

    bool Valid() const { return first != kFieldRefused; }
};

GroupRange ParseGroupRange(const TerminalRecord& record, std::uint8_t p, std::uint8_t highest,
                           bool with_index) {
    const std::uint8_t first = ParseByteField(record, p, 2, 1, highest);
    if (first == kFieldRefused) return {};
    GroupRange range;
    range.first = first;
    const std::size_t single_dash = with_index ? 5 : 3;
    const bool single =
        record.line.At(p + single_dash) == '-' && (!with_index || record.line.At(p + 3u) == ',');
    if (single) {
        range.last = first;
        range.single = true;
        range.index_at = static_cast<std::uint8_t>(p + 4);
        range.data_at = static_cast<std::uint8_t>(p + single_dash + 1);
        return range;
    }
    const std::size_t range_dash = with_index ? 7 : 5;
    if (record.line.At(p + range_dash) != '-') return {};
    range.last = ParseByteField(record, p + 3, 2, first, highest);
    if (range.last == kFieldRefused) return {};
    range.index_at = static_cast<std::uint8_t>(p + 6);
    range.data_at = static_cast<std::uint8_t>(p + range_dash + 1);
    return range;
}

std::span<std::uint8_t> GroupRecord(DataImage& image, std::uint8_t g) {
    return BlockBytes(image, kGroupBlock, kGroupRecordBytes * (g - 1u), kGroupRecordBytes);
}

// The group of a show: one group only, else 0.
std::uint8_t SingleGroup(ProgrammingState& state, const TerminalRecord& record,
                         std::uint8_t highest, bool with_index, GroupRange& range) {
    range = ParseGroupRange(record, FirstFieldPosition(state), highest, with_index);
    return range.Valid() && range.single ? range.first : 0;
}

// *110 and *117: index n is bit n + 1 of the arrays at bytes 4 and 12 of the group record, index
// 0 bits 2-7; *110 writes both arrays, *117 the byte-12 array only.
constexpr std::size_t kFirstArrayByte = 4;
constexpr std::size_t kSecondArrayByte = 12;
constexpr std::uint8_t kBothArraysItem = 1;

// *112 (bits 0-2 = value - 1) and *641 (high nibble) share group byte 2.
constexpr std::size_t kGroupValueByte = 2;

// *651: block 53 holds 8 records of 16 bytes; the low nibble of byte 13.
constexpr int kLevelBlock = 53;
constexpr std::size_t kLevelRecordBytes = 16;
constexpr std::size_t kLevelByte = 13;

// *333 writes group bytes 9 and 17, *323 bytes 8 and 16.
constexpr std::uint8_t kCheckedPairItem = 2;

// ---------------------------------------------------------------------------------------------
// Slot 94 (*082): the numbering plan.

constexpr int kCountBlock = 14;   // bits 0-1 of byte d: the digit count - 1 of first digit d
constexpr int kCodeBlock = 16;    // two-digit codes at bytes YY, four-digit ones at 102 + 2YY
constexpr int kNumberBlock = 17;  // 128 records of 8 bytes, bytes 0-1 a port's number
constexpr std::size_t kNumberRecordBytes = 8;
constexpr std::uint8_t kMaxDigits = 4;
constexpr std::uint8_t kLastBlockNumberCode = 128;

bool IsTwoDigitCodeKey(std::uint8_t yy) {
    return yy <= 3 || (yy >= 16 && yy <= 27) || (yy >= 39 && yy <= 48) || (yy >= 81 && yy <= 86);
}

// What the key XYY names: a two-digit code of block 16 (X = 7), a four-digit code (X = 6), the
// code 21 byte (821), everything (999) or a port position.
struct PlanKey {
    enum class Kind : std::uint8_t { kRefused, kTwoDigit, kFourDigit, kCode21, kAll, kPort };
    Kind kind = Kind::kRefused;
    std::uint8_t yy = 0;
    std::uint8_t code = 0;  // port code
};

// The digit count decides between a code key and a position: 8YY with three or four digits is a
// special position, with one or two only 821 is taken.
// A show names 8YY other than 821 as a position whatever the count.
PlanKey ParsePlanKey(const TerminalRecord& record, std::uint8_t p, std::uint8_t count, bool show) {
    const char x = record.line.At(p);
    const std::uint8_t yy = ParseByteField(record, p + 1, 2, 0, 99);
    if (yy != kFieldRefused) {
        if (x == '7' && count <= 2) {
            return IsTwoDigitCodeKey(yy) ? PlanKey{PlanKey::Kind::kTwoDigit, yy, 0} : PlanKey{};
        }
        if (x == '6') {
            return yy >= 1 && yy <= 4 ? PlanKey{PlanKey::Kind::kFourDigit, yy, 0} : PlanKey{};
        }
        if (x == '8' && yy == 21 && count <= 2) return {PlanKey::Kind::kCode21, yy, 0};
        if (x == '8' && count <= 2 && !show) return {};
        if (x == '9' && yy == 99) return {PlanKey::Kind::kAll, yy, 0};
    }
    const std::uint8_t code = MapSlotCodeWide(ParsePositionSpecial(record, p));
    if (code == 0 || code == kPositionRefused) return {};
    return {PlanKey::Kind::kPort, 0, code};
}

std::span<std::uint8_t> FourDigitCode(DataImage& image, std::uint8_t yy) {
    return BlockBytes(image, kCodeBlock, 102u + 2u * yy, 2);
}

// The *082 number record of port code c (1-144), bytes 0-1; empty for any other code.
std::span<std::uint8_t> NumberRecord(DataImage& image, std::uint8_t code) {
    auto& records = image.port_code_tables.records;
    if (code == 0 || code > records.size()) return {};
    return std::span(records[code - 1u]).first(2);
}

// A port's number: block 17 for codes 1-128, the number records for the special ports.
std::span<std::uint8_t> PortNumber(DataImage& image, std::uint8_t code) {
    if (code <= kLastBlockNumberCode) {
        return BlockBytes(image, kNumberBlock, kNumberRecordBytes * (code - 1u), 2);
    }
    return NumberRecord(image, code);
}

// ---------------------------------------------------------------------------------------------
// Slots 96, 98 and 99.

constexpr std::uint8_t kCardUnitCode = 15;
constexpr std::uint8_t kCardSlotShown = 35;
constexpr std::uint8_t kNoCardShown = 255;
constexpr std::uint8_t kPortKindsShown = 31;  // the alternative kind that lists the four ports
constexpr std::uint8_t kSlotCount = 27;

constexpr std::uint8_t kLineFlag = 0x80;  // the bit *016 shows

constexpr std::size_t kTerminalFlagByte = 2;  // attribute byte 2 of a terminal record
constexpr std::uint8_t kFlag017 = 0x80;

// The byte that *017 and *018 key k names: the own byte for 0, else attribute byte 2 of the
// terminal the table names; nullptr when the entry names no terminal.
std::uint8_t* FlagByte017(ProgrammingState& state, std::uint8_t k) {
    if (k == 0) return &state.image.Setting(SettingByte::k017);
    TerminalRecord* terminal = FindTerminal(state.terminals, state.image.terminals_017[k - 1u]);
    return terminal != nullptr ? &terminal->attributes[kTerminalFlagByte] : nullptr;
}

}  // namespace

// --- Slot 90 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler090(ProgrammingState& state, TerminalRecord& record) {
    const GroupRange range = ParseGroupRange(record, FirstFieldPosition(state), kGroups, true);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t index = ParseByteField(record, range.index_at, 1, 0, 6);
    const std::uint8_t value = ParseByteField(record, range.data_at, 1, 0, 1);
    if (index == kFieldRefused || value == kFieldRefused) return kHandlerRejected;
    const bool both = CurrentDescriptor(state).SubType() == kBothArraysItem;
    const std::uint8_t mask =
        index == 0 ? std::uint8_t{0xFC} : static_cast<std::uint8_t>(1u << (index + 1u));
    for (unsigned g = range.first; g <= range.last; ++g) {
        auto group = GroupRecord(state.image, static_cast<std::uint8_t>(g));
        if (group.empty()) return kHandlerRejected;
        bool ok = true;
        if (both) ok = SetMaskBits(group[kFirstArrayByte], mask, value);
        ok = SetMaskBits(group[kSecondArrayByte], mask, value) && ok;
        if (!ok) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler090(ProgrammingState& state, TerminalRecord& record) {
    GroupRange range;
    const std::uint8_t g = SingleGroup(state, record, kGroups, true, range);
    if (g == 0) return kHandlerRejected;
    const std::uint8_t index = ParseByteField(record, range.index_at, 1, 1, 6);
    if (index == kFieldRefused) return kHandlerRejected;
    const bool both = CurrentDescriptor(state).SubType() == kBothArraysItem;
    const std::uint8_t byte =
        GroupRecord(state.image, g)[both ? kFirstArrayByte : kSecondArrayByte];
    AppendMaskFlag(record, byte, static_cast<std::uint8_t>(1u << (index + 1u)));
    return kHandlerAccepted;
}

// --- Slot 91 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler091(ProgrammingState& state, TerminalRecord& record) {
    const GroupRange range = ParseGroupRange(record, FirstFieldPosition(state), kGroups, false);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data_at, 1, 1, 4);
    if (value == kFieldRefused) return kHandlerRejected;
    for (unsigned g = range.first; g <= range.last; ++g) {
        std::uint8_t& byte =
            GroupRecord(state.image, static_cast<std::uint8_t>(g))[kGroupValueByte];
        SetBits02(static_cast<std::uint8_t>(value - 1), byte);
        if (GetBits02(byte) != value - 1) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler091(ProgrammingState& state, TerminalRecord& record) {
    GroupRange range;
    const std::uint8_t g = SingleGroup(state, record, kGroups, false, range);
    if (g == 0) return kHandlerRejected;
    AppendDigit(record, GetBits02(GroupRecord(state.image, g)[kGroupValueByte]) + 1u);
    return kHandlerAccepted;
}

// --- Slot 92 ---------------------------------------------------------------------------------
// A mismatch does not stop the walk; the answer is still the mismatch.

namespace {

std::uint8_t* LevelByte(ProgrammingState& state, std::uint8_t g) {
    if (CurrentDescriptor(state).SubType() == 1)
        return &GroupRecord(state.image, g)[kGroupValueByte];
    return state.image.BlockByte(kLevelBlock, kLevelRecordBytes * (g - 1u) + kLevelByte);
}

BitField LevelField(ProgrammingState& state) {
    return CurrentDescriptor(state).SubType() == 1 ? kHighNibble : kLowNibble;
}

}  // namespace

std::uint8_t StoreHandler092(ProgrammingState& state, TerminalRecord& record) {
    const GroupRange range = ParseGroupRange(record, FirstFieldPosition(state), kGroups, false);
    if (!range.Valid()) return kHandlerRejected;
    const bool star641 = CurrentDescriptor(state).SubType() == 1;
    const std::uint8_t value =
        ParseByteField(record, range.data_at, 2, star641 ? 1 : 0, star641 ? 7 : 3);
    if (value == kFieldRefused) return kHandlerRejected;
    const BitField field = LevelField(state);
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned g = range.first; g <= range.last; ++g) {
        std::uint8_t* byte = LevelByte(state, static_cast<std::uint8_t>(g));
        if (byte == nullptr) return kHandlerRejected;
        field.set(value, *byte);
        if (field.get(*byte) != value) answer = kHandlerMismatch;
    }
    return answer;
}

std::uint8_t ShowHandler092(ProgrammingState& state, TerminalRecord& record) {
    GroupRange range;
    const std::uint8_t g = SingleGroup(state, record, kGroups, false, range);
    const std::uint8_t* byte = g != 0 ? LevelByte(state, g) : nullptr;
    if (byte == nullptr) return kHandlerRejected;
    AppendNumber(record, LevelField(state).get(*byte), 2, 10);
    return kHandlerAccepted;
}

// --- Slot 94 ---------------------------------------------------------------------------------
// Line: "XYY-dddd". The number leaves every table before it is stored; a refused entry has
// changed nothing.

std::uint8_t StoreHandler094(ProgrammingState& state, TerminalRecord& record) {
    ReturnZeroHook();
    DataImage& image = state.image;
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t data = p + 4;
    const std::uint8_t count = CountLeadingDigits(record.line.Text().substr(data), kMaxDigits);
    const std::uint8_t* counts = image.BlockByte(kCountBlock, DialDigitValue(record.line.At(data)));
    if (count == 0 || counts == nullptr || count != GetBits01(*counts) + 1u) {
        return kHandlerRejected;
    }
    const PlanKey key = ParsePlanKey(record, p, count, false);
    if (key.kind == PlanKey::Kind::kRefused) return kHandlerRejected;

    std::array<std::uint8_t, 2> packed{};
    PackDialDigits(record, kMaxDigits, data, packed);
    const auto remove = [&](std::uint8_t selector) {
        RemoveUnitReferences(image, state.modified, packed[0], packed[1], count, selector);
    };
    switch (key.kind) {
        case PlanKey::Kind::kTwoDigit:
            remove(3);
            *image.BlockByte(kCodeBlock, key.yy) = packed[0];
            return kHandlerAccepted;
        case PlanKey::Kind::kFourDigit: {
            remove(3);
            auto bytes = FourDigitCode(image, key.yy);
            PackDialDigits(record, kMaxDigits, data, bytes);
            return VerifyDialDigits(record, kMaxDigits, data, bytes);
        }
        case PlanKey::Kind::kCode21:
            remove(3);
            image.Setting(SettingByte::k082Code21) = packed[0];
            return kHandlerAccepted;
        case PlanKey::Kind::kAll:
            remove(2);
            return kHandlerAccepted;
        case PlanKey::Kind::kPort:
            break;
        case PlanKey::Kind::kRefused:
            return kHandlerRejected;
    }
    remove(3);
    if (key.code <= kLastBlockNumberCode) {
        auto bytes = PortNumber(image, key.code);
        PackDialDigits(record, kMaxDigits, data, bytes);
        RelinkSecondChain(image, key.code);
        RelinkNameChain(image, key.code);
        if (VerifyDialDigits(record, kMaxDigits, data, bytes) != 0) return kHandlerMismatch;
    }
    auto number = NumberRecord(image, key.code);
    PackDialDigits(record, kMaxDigits, data, number);
    MarkModified(state.modified, key.code);
    return VerifyDialDigits(record, kMaxDigits, data, number);
}

std::uint8_t ShowHandler094(ProgrammingState& state, TerminalRecord& record) {
    DataImage& image = state.image;
    // The key's form alone decides; a two-digit code key counts as two digits.
    const PlanKey key = ParsePlanKey(record, FirstFieldPosition(state), 2, true);
    switch (key.kind) {
        case PlanKey::Kind::kTwoDigit:
            UnpackDialDigits(record, 2, BlockBytes(image, kCodeBlock, key.yy, 1));
            return kHandlerAccepted;
        case PlanKey::Kind::kCode21: {
            const std::uint8_t code = image.Setting(SettingByte::k082Code21);
            UnpackDialDigits(record, 2, std::span(&code, 1));
            return kHandlerAccepted;
        }
        case PlanKey::Kind::kFourDigit:
            UnpackDialDigits(record, kMaxDigits, FourDigitCode(image, key.yy));
            return kHandlerAccepted;
        case PlanKey::Kind::kPort:
            UnpackDialDigits(record, kMaxDigits, PortNumber(image, key.code));
            return kHandlerAccepted;
        case PlanKey::Kind::kAll:
        case PlanKey::Kind::kRefused:
            break;
    }
    return kHandlerRejected;
}

// --- Slot 95 ---------------------------------------------------------------------------------
// The data: one position, or two separated by ","; one position stands for both.

std::uint8_t StoreHandler095(ProgrammingState& state, TerminalRecord& record) {
    const GroupRange range = ParseGroupRange(record, FirstFieldPosition(state), kGroups, false);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t first = MapSlotCodeWide(ParsePosition72(record, range.data_at));
    const std::uint8_t second =
        record.line.At(range.data_at + 4u) != ' '
            ? MapSlotCodeWide(ParsePosition72(record, static_cast<std::uint8_t>(range.data_at + 4)))
            : first;
    if (first == kPositionRefused || second == kPositionRefused) return kHandlerRejected;
    const bool checked = CurrentDescriptor(state).SubType() == kCheckedPairItem;
    const std::size_t first_byte = checked ? 8 : 9;
    const std::size_t second_byte = checked ? 16 : 17;

    // *323: in a group whose byte 2 is above 15 both ports must have the *642 bit of the
    // group's *641 value; one without it refuses the whole entry before anything is written.
    if (checked) {
        for (unsigned g = range.first; g <= range.last; ++g) {
            const std::uint8_t level = GroupRecord(state.image, static_cast<std::uint8_t>(g))[2];
            if (level <= 15) continue;
            const std::uint8_t v = GetBits46(level);
            for (std::uint8_t code : {first, second}) {
                if (code == 0) continue;
                auto port = PortRecord(state.image, 1, 48, code);
                if (port.empty() || (port[5] & (1u << v)) == 0) return kHandlerRejected;
            }
        }
    }
    for (unsigned g = range.first; g <= range.last; ++g) {
        auto group = GroupRecord(state.image, static_cast<std::uint8_t>(g));
        group[first_byte] = first;
        group[second_byte] = second;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler095(ProgrammingState& state, TerminalRecord& record) {
    GroupRange range;
    const std::uint8_t g = SingleGroup(state, record, kGroups, false, range);
    if (g == 0) return kHandlerRejected;
    const bool checked = CurrentDescriptor(state).SubType() == kCheckedPairItem;
    auto group = GroupRecord(state.image, g);
    AppendPortCode(record, group[checked ? 8 : 9]);
    record.line.Append(',');
    AppendPortCode(record, group[checked ? 16 : 17]);
    return kHandlerAccepted;
}

// --- Slot 96 ---------------------------------------------------------------------------------

std::uint8_t ShowHandler096(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t unit = ParseByteField(record, FirstFieldPosition(state), 2, 11, 39);
    if (unit == kFieldRefused) return kHandlerRejected;
    if (unit == kCardUnitCode) {
        const bool reported = state.image.Setting(SettingByte::kCardInformation) != 0;
        AppendNumber(record, reported ? kCardSlotShown : kNoCardShown, 3, 10);
        return kHandlerAccepted;
    }
    const std::uint8_t slot = MapUnitCodeToSlot(unit);
    if (slot >= kSlotCount) return kHandlerRejected;
    const std::uint8_t kind = GetSlotAltKind(state.image, slot);
    if (kind != kPortKindsShown) {
        AppendNumber(record, kind, 3, 10);
        return kHandlerAccepted;
    }
    for (std::uint8_t port = 0; port < 4; ++port) {
        if (port != 0) record.line.Append(',');
        AppendNumber(record, GetPortKind(state.image, slot, port), 3, 10);
    }
    return kHandlerAccepted;
}

// --- Slot 97 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler097(ProgrammingState& state, TerminalRecord& record) {
    const GroupRange range = ParseGroupRange(record, FirstFieldPosition(state), kLines016, false);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data_at, 1, 0, 1);
    if (value == kFieldRefused) return kHandlerRejected;
    const std::uint8_t mask = CurrentDescriptor(state).Mask();
    for (unsigned g = range.first; g <= range.last; ++g) {
        if (!SetMaskBits(state.image.lines_016[g - 1u], mask, value)) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler097(ProgrammingState& state, TerminalRecord& record) {
    GroupRange range;
    const std::uint8_t g = SingleGroup(state, record, kLines016, false, range);
    if (g == 0) return kHandlerRejected;
    AppendMaskFlag(record, state.image.lines_016[g - 1u], kLineFlag);
    return kHandlerAccepted;
}

// --- Slots 98 and 99 -------------------------------------------------------------------------

std::uint8_t ShowHandler098(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 2, 0, 2);
    const std::uint8_t* byte = k != kFieldRefused ? FlagByte017(state, k) : nullptr;
    if (byte == nullptr) return kHandlerRejected;
    record.line.Append(k == 0 && (*byte & 0x02) != 0 ? '1' : '0');
    AppendMaskFlag(record, *byte, 0x01);
    return kHandlerAccepted;
}

std::uint8_t StoreHandler099(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t k = ParseByteField(record, p, 2, 0, 2);
    const std::uint8_t v = ParseByteField(record, p + 3, 1, 0, 1);
    if (k == kFieldRefused || v == kFieldRefused) return kHandlerRejected;
    std::uint8_t* byte = FlagByte017(state, k);
    if (byte == nullptr) return kHandlerRejected;
    SetMaskBits(*byte, kFlag017, v);
    return kHandlerAccepted;
}

std::uint8_t ShowHandler099(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 2, 0, 2);
    const std::uint8_t* byte = k != kFieldRefused ? FlagByte017(state, k) : nullptr;
    if (byte == nullptr) return kHandlerRejected;
    AppendMaskFlag(record, *byte, kFlag017);
    return kHandlerAccepted;
}

}  // namespace qzs
