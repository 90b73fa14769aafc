// Slots 170-179: the address pairs of the ten units (*9500, *9501, *9502), which stay unique
// among the units in use, and the records of the network ports 65-128 (*9521, *9523, *9530).
// P below is the first field position on the line.
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
constexpr std::uint8_t kUnitCodeMask = 0x1F;
constexpr std::uint8_t kUnitValueShift = 5;

// ---------------------------------------------------------------------------------------------
// Units: positions 101-106 are units 1-6, 109-112 units 7-10; 107 and 108 hold none.

// A typed unit: 0 for "000" and for 107 and 108, 1-10, or 255 for anything else.
std::uint8_t ParseUnitNumber(const TerminalRecord& record, std::uint8_t position) {
    const std::uint8_t x = ParseByteField(record, position, 1, 0, 9);
    const std::uint8_t yy = ParseByteField(record, position + 1, 2, 0, 99);
    if (x == kFieldRefused || yy == kFieldRefused) return kFieldRefused;
    if (x == 0 && yy == 0) return 0;
    if (x < 1 || x > 3 || yy < 1 || yy > 36) return kFieldRefused;
    const unsigned index = (x - 1u) * 36u + yy;
    if (index > GetUnitLimit()) return kFieldRefused;
    if (index == 7 || index == 8) return 0;
    return static_cast<std::uint8_t>(index < 9 ? index : index - 2);
}

// "000" gives 0; any other entry 255: the positions 1-64 that would be well formed have no
// mapping on this model, so they name nothing a handler could write.
std::uint8_t ParseZeroPosition(const TerminalRecord& record, std::uint8_t position) {
    return ParseByteField(record, position, 3, 0, 0) == 0 ? 0 : kFieldRefused;
}

std::array<std::uint8_t, kUnitEntryBytes>& UnitEntry(DataImage& image, unsigned unit) {
    return image.unit_entry_table[unit - 1];
}
bool UnitInUse(const DataImage& image, unsigned unit) {
    return image.unit_status_table[unit - 1][0] != kUnitNotInUse;
}

// The key of *9500 and *9501: a first unit, then "-" or a last unit of three digits.
struct UnitKey {
    std::uint8_t first = 0;  // 0: refused
    std::uint8_t last = 0;
    std::uint8_t data = 0;
    bool single = false;
};

UnitKey ParseUnitKey(const TerminalRecord& record, std::uint8_t p) {
    UnitKey key;
    key.first = ParseUnitNumber(record, p);
    key.single = record.line.At(p + 4u) == '-';
    if (key.single) {
        key.last = key.first;
        key.data = static_cast<std::uint8_t>(p + 5);
    } else {
        // A last unit typed short leaves its "-" out of place.
        if (record.line.At(p + 7u) != '-') return {};
        key.last = ParseUnitNumber(record, static_cast<std::uint8_t>(p + 4));
        key.data = static_cast<std::uint8_t>(p + 8);
    }
    if (key.first == 0 || key.first == kFieldRefused || key.last == 0 ||
        key.last == kFieldRefused || key.last < key.first) {
        return {};
    }
    return key;
}

// The clash test of a range: another unit in use with the same number byte and code. For *9501
// the units below the given one compare only the number's low five bits.
bool UnitPairCheckRange(const DataImage& image, unsigned unit, std::uint8_t number,
                        std::uint8_t code, bool low_bits_below) {
    for (unsigned i = 1; i <= GetUnitLimit(); ++i) {
        if (i == 7 || i == 8) continue;  // positions 107 and 108 hold no unit
        const unsigned other = i < 9 ? i : i - 2;
        if (other == unit || !UnitInUse(image, other)) continue;
        const auto& entry = image.unit_entry_table[other - 1];
        const bool same_number = low_bits_below && other < unit
                                     ? (entry[1] & kUnitCodeMask) == (number & kUnitCodeMask)
                                     : entry[1] == number;
        if (same_number && (entry[0] & kUnitCodeMask) == code) return true;
    }
    return false;
}

// True when a unit of the range, in use, would share its pair once every unit of the range has
// its new values: the units of one range are checked against each other's new values as well.
// The new values are put in place for the test only.
template <typename Change>
bool RangeWouldClash(DataImage& image, const UnitKey& key, Change change, bool low_bits_below) {
    auto before = image.unit_entry_table;
    for (unsigned u = key.first; u <= key.last; ++u) change(UnitEntry(image, u));
    bool clash = false;
    for (unsigned u = key.first; u <= key.last && !clash; ++u) {
        if (!UnitInUse(image, u)) continue;
        const auto& entry = UnitEntry(image, u);
        const auto code = static_cast<std::uint8_t>(entry[0] & kUnitCodeMask);
        clash = key.single
                    ? IsPairUsedByOtherUnit(image, static_cast<std::uint8_t>(u), entry[1], code)
                    : UnitPairCheckRange(image, u, entry[1], code, low_bits_below);
    }
    image.unit_entry_table = before;
    return clash;
}

// A unit shown: one unit only, 1-10.
std::uint8_t ParseShownUnit(const TerminalRecord& record, std::uint8_t p) {
    const UnitKey key = ParseUnitKey(record, p);
    return key.first != 0 && key.single ? key.first : 0;
}

// ---------------------------------------------------------------------------------------------
// Network ports: a position of the upper half of its 72-block, whose port is 65 or more. The
// walk of a range takes the positions as they are (no 13-to-37 step).

constexpr PositionClass kNetworkPositions{&ParsePosition72, &MapSlotCodeWide, false};
constexpr std::uint8_t kFirstNetworkPort = 65;
constexpr std::size_t kNumberBytes = 4;
constexpr std::size_t kNumberSetByte = 13;
constexpr std::uint8_t kNumberSetBit = 0x80;
constexpr std::size_t kDialCodeByte = 4;     // five digits, slot 177
constexpr std::size_t kFourDigitsByte = 11;  // *9523
constexpr std::size_t kCodeByte = 15;        // *9530
constexpr std::uint32_t kNumberMax = 268435455;
constexpr std::uint8_t kNumberDigits = 9;

// Bytes 0-3 of a record, least significant first.
std::uint32_t StoredNumber(std::span<const std::uint8_t> bytes) {
    std::uint32_t number = 0;
    for (std::size_t b = kNumberBytes; b-- > 0;) number = number << 8 | bytes[b];
    return number;
}

bool IsNetworkPosition(std::uint8_t position) {
    return position != 0 && position != kPositionRefused && (position - 1u) % 72u >= 36u &&
           MapSlotCodeWide(position) >= kFirstNetworkPort;
}

// The record of port 65 and above; empty for a lower port or one past the table.
std::span<std::uint8_t> IpPortRecord(DataImage& image, std::uint8_t port) {
    if (port < kFirstNetworkPort || port == kPositionRefused) return {};
    const std::size_t f = port - 64u;
    if (f > image.ip_port_records.size()) return {};
    return image.ip_port_records[f - 1];
}

// A range of network positions: both ends must be network positions.
PositionRange ParseNetworkRange(const TerminalRecord& record, std::uint8_t p) {
    const PositionRange range = ParsePositionRange(record, p, kNetworkPositions, 0);
    if (!range.Valid() || !IsNetworkPosition(range.first) || !IsNetworkPosition(range.last)) {
        return {};
    }
    return range;
}

// The record of a single network position, for the shows.
std::span<std::uint8_t> ShownIpPortRecord(ProgrammingState& state, const TerminalRecord& record) {
    const PositionRange range = ParseNetworkRange(record, FirstFieldPosition(state));
    if (!range.Valid() || !range.single) return {};
    return IpPortRecord(state.image, MapSlotCodeWide(range.first));
}

// Terminals whose attribute bytes 0-1 hold FF FF are switched off.
bool TerminalSwitchedOff(const ProgrammingState& state, unsigned terminal) {
    const TerminalRecord* r = FindTerminal(state.terminals, terminal);
    return r != nullptr && r->attributes[0] == 0xFF && r->attributes[1] == 0xFF;
}
void SwitchTerminalOff(ProgrammingState& state, unsigned terminal) {
    TerminalRecord* r = FindTerminal(state.terminals, terminal);
    if (r == nullptr) return;
    r->attributes[0] = 0xFF;
    r->attributes[1] = 0xFF;
}

// A record i (0-63) whose number goes: its terminal i + 65 is switched off when the first
// terminal of its group of four is.
void SwitchOffWithItsGroup(ProgrammingState& state, unsigned i) {
    if (TerminalSwitchedOff(state, 4 * (i / 4) + 1)) SwitchTerminalOff(state, i + 65);
}

// The one to four dial digits typed at the position: digits, then blanks only. 0 when the entry
// is not such a run.
std::uint8_t CountTypedDigits(const TerminalRecord& record, std::uint8_t position,
                              std::uint8_t most) {
    std::uint8_t n = 0;
    while (n < most && ParseByteField(record, position + n, 1, 0, 9) != kFieldRefused) ++n;
    for (std::uint8_t i = n; i < most; ++i) {
        if (record.line.At(std::size_t{position} + i) != ' ') return 0;
    }
    // A digit right after the longest run is one too many.
    if (n == most && ParseByteField(record, position + most, 1, 0, 9) != kFieldRefused) return 0;
    return n;
}

bool LoneZero(const TerminalRecord& record, std::uint8_t position) {
    return record.line.At(position) == '0' && record.line.At(position + 1u) == ' ';
}

// Slot 174: key 1-2; eight hexadecimal digits in block 78 bytes 0-3 or 4-7.
constexpr int kHexBlock = 78;
constexpr std::size_t kHexBytes = 4;
constexpr std::uint8_t kHexDigits = 8;

}  // namespace

// --- Slot 170 --------------------------------------------------------------------------------

std::uint8_t StoreHandler170(ProgrammingState& state, TerminalRecord& record) {
    const UnitKey key = ParseUnitKey(record, FirstFieldPosition(state));
    if (key.first == 0) return kHandlerRejected;
    const std::uint8_t code = ParseByteField(record, key.data, 2, 0, 31);
    if (code == kFieldRefused) return kHandlerRejected;
    const auto set_code = [&](std::array<std::uint8_t, kUnitEntryBytes>& entry) {
        entry[0] = static_cast<std::uint8_t>((entry[0] & ~kUnitCodeMask) | code);
    };
    if (RangeWouldClash(state.image, key, set_code, false)) return kHandlerRejected;
    for (unsigned u = key.first; u <= key.last; ++u) {
        auto& entry = UnitEntry(state.image, u);
        set_code(entry);
        if ((entry[0] & kUnitCodeMask) != code) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler170(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t unit = ParseShownUnit(record, FirstFieldPosition(state));
    if (unit == 0) return kHandlerRejected;
    AppendNumber(record, UnitEntry(state.image, unit)[0] & kUnitCodeMask, 2, 10);
    return kHandlerAccepted;
}

// --- Slot 171 --------------------------------------------------------------------------------
// A unit in use that does not read back ends the walk; one not in use lets it go on.

std::uint8_t StoreHandler171(ProgrammingState& state, TerminalRecord& record) {
    const UnitKey key = ParseUnitKey(record, FirstFieldPosition(state));
    if (key.first == 0) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, key.data, 1, 0, 7);
    if (value == kFieldRefused) return kHandlerRejected;
    const auto set_value = [&](std::array<std::uint8_t, kUnitEntryBytes>& entry) {
        entry[1] = static_cast<std::uint8_t>((entry[1] & kUnitCodeMask) | value << kUnitValueShift);
    };
    if (RangeWouldClash(state.image, key, set_value, true)) return kHandlerRejected;
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned u = key.first; u <= key.last; ++u) {
        auto& entry = UnitEntry(state.image, u);
        set_value(entry);
        if (entry[1] >> kUnitValueShift == value) continue;
        answer = kHandlerMismatch;
        if (UnitInUse(state.image, u)) break;
    }
    return answer;
}

std::uint8_t ShowHandler171(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t unit = ParseShownUnit(record, FirstFieldPosition(state));
    if (unit == 0) return kHandlerRejected;
    AppendDigit(record,
                static_cast<std::uint8_t>(UnitEntry(state.image, unit)[1] >> kUnitValueShift));
    return kHandlerAccepted;
}

// --- Slots 172 and 173 -------------------------------------------------------------------------
// No command reaches them, and their positions are read by ParseZeroPosition, which names no
// unit: "000" is taken without a change, anything else and a value out of range are refused.

namespace {

// The data position after a first and an optional last position read by ParseZeroPosition
// ("000,-v" or "000,000-v"); 0 when a position is refused.
std::uint8_t ZeroRangeData(const TerminalRecord& record, std::uint8_t p) {
    if (ParseZeroPosition(record, p) != 0) return 0;
    if (record.line.At(p + 4u) == '-') return static_cast<std::uint8_t>(p + 5);
    if (record.line.At(p + 7u) != '-' ||
        ParseZeroPosition(record, static_cast<std::uint8_t>(p + 4)) != 0) {
        return 0;
    }
    return static_cast<std::uint8_t>(p + 8);
}

std::uint8_t StoreNoUnit(ProgrammingState& state, const TerminalRecord& record, std::uint8_t max) {
    const std::uint8_t data = ZeroRangeData(record, FirstFieldPosition(state));
    if (data == 0 || ParseByteField(record, data, 1, 1, max) == kFieldRefused) {
        return kHandlerRejected;
    }
    return kHandlerAccepted;
}

}  // namespace

std::uint8_t StoreHandler172(ProgrammingState& state, TerminalRecord& record) {
    return StoreNoUnit(state, record, 3);
}

std::uint8_t ShowHandler172(ProgrammingState&, TerminalRecord&) {
    return kHandlerRejected;  // no position names a unit to show
}

std::uint8_t StoreHandler173(ProgrammingState& state, TerminalRecord& record) {
    return StoreNoUnit(state, record, 2);
}

std::uint8_t ShowHandler173(ProgrammingState&, TerminalRecord&) {
    return kHandlerRejected;  // no position names a unit to show
}

// --- Slot 174 --------------------------------------------------------------------------------

std::uint8_t StoreHandler174(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t key = ParseByteField(record, p, 1, 1, 2);
    if (key == kFieldRefused) return kHandlerRejected;
    const auto data = static_cast<std::uint8_t>(p + 2);
    for (std::uint8_t i = 0; i < kHexDigits; ++i) {
        const char c = record.line.At(std::size_t{data} + i);
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return kHandlerRejected;
    }
    auto bytes = BlockBytes(state.image, kHexBlock, kHexBytes * (key - 1u), kHexBytes);
    PackHexDigits(record, kHexDigits, data, bytes);
    return VerifyHexDigits(record, kHexDigits, data, bytes);
}

std::uint8_t ShowHandler174(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t key = ParseByteField(record, FirstFieldPosition(state), 1, 1, 2);
    if (key == kFieldRefused) return kHandlerRejected;
    UnpackHexDigits(record, kHexDigits,
                    BlockBytes(state.image, kHexBlock, kHexBytes * (key - 1u), kHexBytes));
    return kHandlerAccepted;
}

// --- Slot 175 --------------------------------------------------------------------------------

std::uint8_t StoreHandler175(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t unit = ParseUnitNumber(record, p);
    const std::uint8_t number = ParseByteField(record, p + 4, 2, 0, 99);
    if (unit == 0 || unit == kFieldRefused || number == kFieldRefused) return kHandlerRejected;
    auto& entry = UnitEntry(state.image, unit);
    std::uint8_t& status = state.image.unit_status_table[unit - 1][0];
    if (number == kUnitNotInUse) {
        status = kUnitNotInUse;
        entry[1] = static_cast<std::uint8_t>(entry[1] & ~kUnitCodeMask);
        return status == kUnitNotInUse ? kHandlerAccepted : kHandlerMismatch;
    }
    if (number > kUnitCodeMask) return kHandlerRejected;
    const auto byte1 = static_cast<std::uint8_t>((entry[1] & ~kUnitCodeMask) | number);
    if (IsPairUsedByOtherUnit(state.image, unit, byte1, entry[0] & kUnitCodeMask)) {
        return kHandlerRejected;
    }
    entry[1] = byte1;
    status = 0;
    return (entry[1] & kUnitCodeMask) == number ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler175(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t unit = ParseUnitNumber(record, FirstFieldPosition(state));
    if (unit == 0 || unit == kFieldRefused) return kHandlerRejected;
    const bool in_use = UnitInUse(state.image, unit);
    AppendNumber(record, in_use ? UnitEntry(state.image, unit)[1] & kUnitCodeMask : kUnitNotInUse,
                 2, 10);
    return kHandlerAccepted;
}

// --- Slot 176 --------------------------------------------------------------------------------
// Which half of its 72-block the position lies in is not tested here: any port of 65 and above.

std::uint8_t StoreHandler176(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t position = ParsePosition72(record, p);
    if (position == 0 || position == kPositionRefused) return kHandlerRejected;
    const std::uint8_t port = MapSlotCodeWide(position);
    auto own = IpPortRecord(state.image, port);
    if (own.empty()) return kHandlerRejected;
    const auto data = static_cast<std::uint8_t>(p + 4);
    const bool clear = LoneZero(record, data);
    std::uint32_t number = 0;
    if (!clear) {
        if (CountTypedDigits(record, data, kNumberDigits) != kNumberDigits) return kHandlerRejected;
        number = ParseDwordField(record, data, kNumberDigits, 0, kNumberMax);
        if (number == 0xFFFFFFFF) return kHandlerRejected;
        // A number stands on one port only: any other record holding it loses it. The port's own
        // record keeps it, so storing its number again does not switch its terminal off.
        for (std::size_t i = 0; i < state.image.ip_port_records.size(); ++i) {
            auto& other = state.image.ip_port_records[i];
            if (other.data() == own.data()) continue;
            if (StoredNumber(other) != number || (other[kNumberSetByte] & kNumberSetBit) == 0)
                continue;
            SetDwordField(0, std::span<std::uint8_t, 4>(other.data(), 4));
            other[kNumberSetByte] =
                static_cast<std::uint8_t>(other[kNumberSetByte] & ~kNumberSetBit);
            SwitchOffWithItsGroup(state, static_cast<unsigned>(i));
        }
    }
    std::span<std::uint8_t, 4> number_bytes(own.data(), 4);
    SetDwordField(number, number_bytes);
    if (StoredNumber(own) != number) return kHandlerMismatch;
    if (clear) {
        own[kNumberSetByte] = static_cast<std::uint8_t>(own[kNumberSetByte] & ~kNumberSetBit);
        SwitchOffWithItsGroup(state, port - 65u);
    } else {
        own[kNumberSetByte] = static_cast<std::uint8_t>(own[kNumberSetByte] | kNumberSetBit);
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler176(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t position = ParsePosition72(record, FirstFieldPosition(state));
    if (position == 0 || position == kPositionRefused) return kHandlerRejected;
    auto own = IpPortRecord(state.image, MapSlotCodeWide(position));
    if (own.empty()) return kHandlerRejected;
    if ((own[kNumberSetByte] & kNumberSetBit) == 0) return kHandlerAccepted;
    AppendLongNumber(record, StoredNumber(own), kNumberDigits, 10);
    return kHandlerAccepted;
}

// --- Slot 177 --------------------------------------------------------------------------------
// No command reaches it. A network position at P and five dial digits at P + 4; the code leaves
// every other record that holds it.

std::uint8_t StoreHandler177(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t position = ParsePosition72(record, p);
    if (!IsNetworkPosition(position)) return kHandlerRejected;
    auto own = IpPortRecord(state.image, MapSlotCodeWide(position));
    const auto data = static_cast<std::uint8_t>(p + 4);
    if (own.empty() || CountTypedDigits(record, data, 5) != 5) return kHandlerRejected;
    for (auto& other : state.image.ip_port_records) {
        if (other.data() == own.data()) continue;
        auto code = std::span(other).subspan(kDialCodeByte, 3);
        if (VerifyDialDigits(record, 5, data, code) == 0) ClearPackedDigits(5, code);
    }
    auto code = own.subspan(kDialCodeByte, 3);
    PackDialDigits(record, 5, data, code);
    return VerifyDialDigits(record, 5, data, code);
}

std::uint8_t ShowHandler177(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t position = ParsePosition72(record, FirstFieldPosition(state));
    if (!IsNetworkPosition(position)) return kHandlerRejected;
    auto own = IpPortRecord(state.image, MapSlotCodeWide(position));
    if (own.empty()) return kHandlerRejected;
    UnpackDialDigits(record, 5, own.subspan(kDialCodeByte, 3));
    return kHandlerAccepted;
}

// --- Slot 178 --------------------------------------------------------------------------------
// Every port of the range is written; the answer is that of the first port that did not read
// back, not only of the last.

std::uint8_t StoreHandler178(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range = ParseNetworkRange(record, FirstFieldPosition(state));
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t code = ParseByteField(record, range.data_at, 2, 0, 24);
    if (code == kFieldRefused || code == 9 || !PassesCodeFilter(CodeFilterA, code)) {
        return kHandlerRejected;
    }
    return WalkPositionRange(range, kNetworkPositions, WalkRule::kGoOn, [&](std::uint8_t port) {
        auto own = IpPortRecord(state.image, port);
        if (own.empty()) return kHandlerAccepted;  // a lower port is no network port: skipped
        PackTwoCharCode(record, range.data_at, own[kCodeByte]);
        return VerifyTwoCharCode(record, range.data_at, own[kCodeByte]);
    });
}

std::uint8_t ShowHandler178(ProgrammingState& state, TerminalRecord& record) {
    auto own = ShownIpPortRecord(state, record);
    if (own.empty()) return kHandlerRejected;
    AppendTwoCharCode(record, own[kCodeByte]);
    return kHandlerAccepted;
}

// --- Slot 179 --------------------------------------------------------------------------------
// Sub-type 1 (*9523) reads network positions; sub-type 0, which no command uses, reads them with
// ParseZeroPosition, so only "000" is taken and nothing is written.

std::uint8_t StoreHandler179(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    if (CurrentDescriptor(state).SubType() == 0) {
        const std::uint8_t data = ZeroRangeData(record, p);
        if (data == 0 || CountTypedDigits(record, data, 4) == 0) return kHandlerRejected;
        return kHandlerAccepted;
    }
    const PositionRange range = ParseNetworkRange(record, p);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t data = range.data_at;
    const bool clear = LoneZero(record, data);
    if (!clear && CountTypedDigits(record, data, 4) == 0) return kHandlerRejected;
    return WalkPositionRange(range, kNetworkPositions, WalkRule::kStopAtFailure,
                             [&](std::uint8_t port) {
                                 auto own = IpPortRecord(state.image, port);
                                 if (own.empty()) return kHandlerAccepted;
                                 auto digits = own.subspan(kFourDigitsByte, 2);
                                 if (clear) return ClearPackedDigits(4, digits);
                                 PackDialDigits(record, 4, data, digits);
                                 return VerifyDialDigits(record, 4, data, digits);
                             });
}

std::uint8_t ShowHandler179(ProgrammingState& state, TerminalRecord& record) {
    if (CurrentDescriptor(state).SubType() == 0) return kHandlerRejected;
    auto own = ShownIpPortRecord(state, record);
    if (own.empty()) return kHandlerRejected;
    UnpackDialDigits(record, 4, own.subspan(kFourDigitsByte, 2));
    return kHandlerAccepted;
}

}  // namespace qzs
