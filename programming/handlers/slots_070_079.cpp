// Slots 70-79: attributes of the per-port records over a range of positions (*140, *113, *325,
// *710, *718, *642, *520, *701, *719, *9140, *9253, *366, *707, *180), the *351 number table and
// the *009 counters. P below is the first field position on the line.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "programming/character_table.h"
#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

constexpr int kPortBlock = 1;  // 128 port records of 48 bytes
constexpr std::size_t kPortRecordBytes = 48;

// Where a port's attribute lies: a record of a block, or the entry of the per-port option table.
struct PortPlace {
    int block;  // -1: the per-port option table
    std::size_t record_bytes;
    std::size_t offset;  // first byte of the field in the record
};

constexpr PortPlace kOptionTable{-1, 8, 0};

// Byte `offset` of a port's entry in the per-port option table.
constexpr PortPlace OptionTableAt(std::size_t offset) {
    return {kOptionTable.block, kOptionTable.record_bytes, offset};
}

// The bytes of port code c's record from the place's offset to the record's end; empty when
// the code has no record.
std::span<std::uint8_t> PortBytes(DataImage& image, const PortPlace& place, std::uint8_t code) {
    std::span<std::uint8_t> record;
    if (place.block < 0) {
        if (code == 0 || code > image.port_options.size()) return {};
        record = image.port_options[code - 1u];
    } else {
        record = PortRecord(image, place.block, place.record_bytes, code);
    }
    if (record.size() <= place.offset) return {};
    return record.subspan(place.offset);
}

// The data may follow the key fields of either form; a value read there must be whole and in
// range, so a short index or value refuses rather than reading the next separator.
std::uint8_t ReadValue(const TerminalRecord& record, std::uint8_t at, std::uint8_t digits,
                       std::uint8_t min, std::uint8_t max) {
    return ParseByteField(record, at, digits, min, max);
}

// Shows append in the entry's own form: one digit as a hexadecimal character, two as decimals.
void AppendValue(TerminalRecord& record, std::uint8_t value, std::uint8_t digits) {
    if (digits == 1) {
        AppendDigit(record, value);
    } else {
        AppendNumber(record, value, digits, 10);
    }
}

// ---------------------------------------------------------------------------------------------
// Slots 74 and 76: one value into a field of the port's record.

struct PortFieldItem {
    std::uint8_t item;
    PositionClass positions;
    PortPlace place;
    BitField field;
    std::uint8_t digits;
    std::uint8_t min;
    std::uint8_t max;
};

// *325 reads plain positions and maps them as the wide class does; on the first bank the two
// give the same codes.
constexpr PositionClass kPlainThroughWideMap{&ParsePosition36, &MapSlotCodeWide, true};

constexpr std::array kSlot74Items{
    PortFieldItem{
        1, kPlainThroughWideMap, {kPortBlock, kPortRecordBytes, 3}, kLowNibble, 2, 0, 4},  // *325
    PortFieldItem{
        2, kWidePositions, {kPortBlock, kPortRecordBytes, 2}, kLowNibble, 2, 1, 3},  // *710
    PortFieldItem{3, kWidePositions, {127, 4, 0}, kLowNibble, 2, 0, 3},              // *718
};

// Sub-types 1-3 carry no command; 1 and 2 write block 52 (12-byte records), 3 the low bits of
// option byte 1, which *701 also covers.
constexpr std::array kSlot76Items{
    PortFieldItem{1, kPlainPositions, {52, 12, 10}, kBits01, 1, 0, 3},
    PortFieldItem{2, kWidePositions, {52, 12, 9}, kBits01, 1, 0, 3},
    PortFieldItem{3, kPlainPositions, OptionTableAt(1), kBits01, 1, 0, 1},
    PortFieldItem{4, kWidePositions, OptionTableAt(1), kBits46, 1, 1, 2},   // *9140
    PortFieldItem{5, kWidePositions, OptionTableAt(0), kBits45, 1, 0, 2},   // *520
    PortFieldItem{6, kPlainPositions, OptionTableAt(1), kBits02, 1, 0, 4},  // *701
    PortFieldItem{7, kWidePositions, OptionTableAt(5), kBits02, 1, 0, 6},   // *719
    PortFieldItem{8, kWidePositions, OptionTableAt(5), kBits45, 1, 0, 2},   // *9253
};

template <std::size_t N>
std::uint8_t StorePortField(ProgrammingState& state, const TerminalRecord& record,
                            const std::array<PortFieldItem, N>& items) {
    const PortFieldItem* row = FindItem(items, CurrentDescriptor(state).SubType());
    if (row == nullptr) return kHandlerRejected;
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), row->positions, 0);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t value = ReadValue(record, range.data_at, row->digits, row->min, row->max);
    if (value == kFieldRefused) return kHandlerRejected;
    return WalkPositionRange(range, row->positions, WalkRule::kStopAtFailure, [&](std::uint8_t c) {
        auto bytes = PortBytes(state.image, row->place, c);
        if (bytes.empty()) return kHandlerRejected;
        row->field.set(value, bytes[0]);
        return row->field.get(bytes[0]) == value ? kHandlerAccepted : kHandlerMismatch;
    });
}

template <std::size_t N>
std::uint8_t ShowPortField(ProgrammingState& state, TerminalRecord& record,
                           const std::array<PortFieldItem, N>& items) {
    const PortFieldItem* row = FindItem(items, CurrentDescriptor(state).SubType());
    if (row == nullptr) return kHandlerRejected;
    const std::uint8_t code =
        ParseSinglePositionPort(record, FirstFieldPosition(state), row->positions, 0);
    auto bytes = PortBytes(state.image, row->place, code);
    if (bytes.empty()) return kHandlerRejected;
    AppendValue(record, row->field.get(bytes[0]), row->digits);
    return kHandlerAccepted;
}

// ---------------------------------------------------------------------------------------------
// Slots 72, 75, 77 and 79: one bit of a port's bit array by index, or all of its bits by
// index 0.

struct PortBitsItem {
    PositionClass positions;
    PortPlace place;  // the bit array begins at the place's byte
    std::uint8_t index_digits;
    std::uint8_t index_max;
    std::uint8_t index_bit;  // bit of index 1; index n is bit index_bit + n - 1
    std::uint8_t all_first;  // the bits index 0 sets
    std::uint8_t all_count;
};

constexpr PortBitsItem kBits113{
    kSpecialPositions, {kPortBlock, kPortRecordBytes, 4}, 1, 4, 0, 0, 8};
constexpr PortBitsItem kBits642{kPlainPositions, {kPortBlock, kPortRecordBytes, 5}, 2, 7, 1, 1, 15};
constexpr PortBitsItem kBits366{kWidePositions, {83, 116, 1}, 2, 24, 0, 0, 24};
constexpr PortBitsItem kBits180{
    kSpecialPositions, {kPortBlock, kPortRecordBytes, 7}, 2, 8, 0, 0, 8};

std::uint8_t StorePortBits(ProgrammingState& state, const TerminalRecord& record,
                           const PortBitsItem& item) {
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), item.positions, item.index_digits);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t index =
        ParseByteField(record, range.index_at, item.index_digits, 0, item.index_max);
    const std::uint8_t value = ReadValue(record, range.data_at, 1, 0, 1);
    if (index == kFieldRefused || value == kFieldRefused) return kHandlerRejected;
    const std::size_t first = index == 0 ? item.all_first : item.index_bit + index - 1u;
    const std::size_t count = index == 0 ? item.all_count : 1;
    return WalkPositionRange(range, item.positions, WalkRule::kStopAtFailure, [&](std::uint8_t c) {
        auto bytes = PortBytes(state.image, item.place, c);
        if (bytes.size() * 8 < first + count) return kHandlerRejected;
        std::uint8_t answer = kHandlerAccepted;
        for (std::size_t bit = first; bit < first + count; ++bit) {
            SetBitFromEntry(bit, value, bytes);
            if (VerifyBit(bit, value, bytes) != 0) answer = kHandlerMismatch;
        }
        return answer;
    });
}

// The bytes of a port's bit array that index 0 covers, as whole bytes (the summary compares
// whole bytes: 3 for *366, 1 for *180).
std::span<std::uint8_t> SummaryBytes(DataImage& image, const PortBitsItem& item,
                                     std::uint8_t code) {
    auto bytes = PortBytes(image, item.place, code);
    const std::size_t count = item.all_count / 8u;
    return bytes.size() < count ? std::span<std::uint8_t>{} : bytes.first(count);
}

// Index 0 shows one bit for a range: the bit 0 of the first port's field, provided that every
// byte of every port's field holds that bit throughout.
std::uint8_t ShowPortBitsSummary(ProgrammingState& state, TerminalRecord& record,
                                 const PortBitsItem& item, const PositionRange& range) {
    auto first = SummaryBytes(state.image, item, item.positions.map(range.first));
    if (first.empty()) return kHandlerRejected;
    const std::uint8_t reference = first[0] & 0x01;
    const std::uint8_t expected = reference != 0 ? 0xFF : 0x00;
    const std::uint8_t answer =
        WalkPositionRange(range, item.positions, WalkRule::kStopAtFailure, [&](std::uint8_t c) {
            auto bytes = SummaryBytes(state.image, item, c);
            if (bytes.empty()) return kHandlerRejected;
            return std::all_of(bytes.begin(), bytes.end(),
                               [&](std::uint8_t b) { return b == expected; })
                       ? kHandlerAccepted
                       : kHandlerRejected;
        });
    if (answer != kHandlerAccepted) return kHandlerRejected;
    record.line.Append(reference != 0 ? '1' : '0');
    return kHandlerAccepted;
}

std::uint8_t ShowPortBits(ProgrammingState& state, TerminalRecord& record, const PortBitsItem& item,
                          bool summary) {
    const std::uint8_t p = FirstFieldPosition(state);
    const PositionRange range = ParsePositionRange(record, p, item.positions, item.index_digits);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t index =
        ParseByteField(record, range.index_at, item.index_digits, 0, item.index_max);
    if (index == kFieldRefused) return kHandlerRejected;
    if (index == 0) {
        return summary ? ShowPortBitsSummary(state, record, item, range) : kHandlerRejected;
    }
    if (!range.single) return kHandlerRejected;
    const std::uint8_t code = item.positions.map(range.first);
    auto bytes = PortBytes(state.image, item.place, code);
    if (code == kPositionRefused || bytes.empty()) return kHandlerRejected;
    AppendBit(record, item.index_bit + index - 1u, bytes);
    return kHandlerAccepted;
}

// ---------------------------------------------------------------------------------------------
// Slot 70 (*140): two values 0-6 into bits 0-2 of bytes 20 and 28 of the port record.

constexpr std::size_t kFirstValueByte = 20;
constexpr std::size_t kSecondValueByte = 28;

// ---------------------------------------------------------------------------------------------
// Slot 71 (*351): twelve numbers with a port code and a flag.

constexpr int kPortFlagBlock = 97;  // 12 entries of 4 bytes: byte 2 port code, byte 3 flags
constexpr std::size_t kPortFlagEntryBytes = 4;
constexpr std::uint8_t kNumberEntries351 = 12;
constexpr std::uint8_t kNumberDigits351 = 8;

std::span<std::uint8_t> PortFlagEntry351(DataImage& image, std::uint8_t k) {
    return BlockBytes(image, kPortFlagBlock, kPortFlagEntryBytes * (k - 1u), kPortFlagEntryBytes);
}

void ClearEntry351(DataImage& image, std::uint8_t k) {
    image.numbers_351[k - 1u].fill(0);
    auto entry = PortFlagEntry351(image, k);
    entry[2] = 0;
    entry[3] = static_cast<std::uint8_t>(entry[3] & ~0x01);
}

// ---------------------------------------------------------------------------------------------
// Slot 73 (*009): the four counters of a port.

std::span<std::uint8_t> Counters009(DataImage& image, std::uint8_t code) {
    if (code == 0 || code > image.counters_009.size()) return {};
    return image.counters_009[code - 1u];
}

std::uint8_t ClearCounters(DataImage& image, std::uint8_t code) {
    auto counters = Counters009(image, code);
    if (counters.empty()) return kHandlerRejected;
    std::fill(counters.begin(), counters.end(), std::uint8_t{0});
    return std::all_of(counters.begin(), counters.end(), [](std::uint8_t b) { return b == 0; })
               ? kHandlerAccepted
               : kHandlerMismatch;
}

bool HoldsClearData(const TerminalRecord& record, std::uint8_t at) {
    return record.line.At(at) == '0' && record.line.At(at + 1u) == '0';
}

// ---------------------------------------------------------------------------------------------
// Slot 78 (*707): a second port's code in byte 14 of the port record.

constexpr std::size_t kPartnerByte = 14;

}  // namespace

// --- Slot 70 ---------------------------------------------------------------------------------
// The second value may be left out; it then takes the first.

std::uint8_t StoreHandler070(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kSpecialPositions, 0);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t first = ReadValue(record, range.data_at, 1, 0, 6);
    const std::uint8_t second = record.line.At(range.data_at + 2u) != ' '
                                    ? ReadValue(record, range.data_at + 2, 1, 0, 6)
                                    : first;
    if (first == kFieldRefused || second == kFieldRefused) return kHandlerRejected;
    // A difference in either field is a mismatch: the port then does not hold what was entered.
    return WalkPositionRange(
        range, kSpecialPositions, WalkRule::kStopAtFailure, [&](std::uint8_t c) {
            auto bytes = PortRecord(state.image, kPortBlock, kPortRecordBytes, c);
            if (bytes.empty()) return kHandlerRejected;
            SetBits02(first, bytes[kFirstValueByte]);
            SetBits02(second, bytes[kSecondValueByte]);
            return GetBits02(bytes[kFirstValueByte]) == first &&
                           GetBits02(bytes[kSecondValueByte]) == second
                       ? kHandlerAccepted
                       : kHandlerMismatch;
        });
}

std::uint8_t ShowHandler070(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t code =
        ParseSinglePositionPort(record, FirstFieldPosition(state), kSpecialPositions, 0);
    auto bytes = PortRecord(state.image, kPortBlock, kPortRecordBytes, code);
    if (bytes.empty()) return kHandlerRejected;
    AppendDigit(record, GetBits02(bytes[kFirstValueByte]));
    record.line.Append(',');
    AppendDigit(record, GetBits02(bytes[kSecondValueByte]));
    return kHandlerAccepted;
}

// --- Slot 71 ---------------------------------------------------------------------------------
// Line: entry (2 digits), position (3), flag (1), then up to eight digits: "kk,ppp,f,dddddddd".

std::uint8_t StoreHandler071(ProgrammingState& state, TerminalRecord& record) {
    DataImage& image = state.image;
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t k = ParseByteField(record, p, 2, 0, kNumberEntries351);
    const std::uint8_t position = ParsePosition72(record, static_cast<std::uint8_t>(p + 3));
    if (k == kFieldRefused || position == kPositionRefused) return kHandlerRejected;
    const std::uint8_t code = MapSlotCodeWide(position);
    const std::uint8_t flag_at = p + 7;
    const std::uint8_t digits_at = p + 9;
    const std::uint8_t flag = ParseByteField(record, flag_at, 1, 0, 1);

    const bool no_flag = record.line.At(flag_at) == ' ';
    const bool no_digits = record.line.At(digits_at) == ' ';
    if (code == 0 && (no_flag || (flag == 0 && no_digits))) {
        if (k == 0) {
            for (std::uint8_t e = 1; e <= kNumberEntries351; ++e) ClearEntry351(image, e);
        } else {
            ClearEntry351(image, k);
        }
        return kHandlerAccepted;
    }
    // A position that names no port (255 from the map) has nothing to store either.
    if (k == 0 || code == 0 || code == kPositionRefused || flag == kFieldRefused) {
        return kHandlerRejected;
    }
    const std::uint8_t typed =
        CountLeadingDigits(record.line.Text().substr(digits_at), kNumberDigits351);
    // The typed run must end there: a ninth character or a non-digit inside the field is not
    // part of a number of the counted length.
    const char after = record.line.At(std::size_t{digits_at} + typed);
    if (typed != GetLowNibble(image.Setting(SettingByte::k351Digits)) ||
        (typed < kNumberDigits351 && after != ' ' && after != '\0')) {
        return kHandlerRejected;
    }

    std::array<std::uint8_t, 4> number{};
    PackDialDigits(record, kNumberDigits351, digits_at, number);
    const std::uint8_t mask = CurrentDescriptor(state).Mask();
    if (flag == 1) {
        for (std::uint8_t e = 1; e <= kNumberEntries351; ++e) {
            auto entry = PortFlagEntry351(image, e);
            if (e != k && entry[2] == code) entry[3] = static_cast<std::uint8_t>(entry[3] & ~0x01);
        }
    }
    for (std::uint8_t e = 1; e <= kNumberEntries351; ++e) {
        if (image.numbers_351[e - 1u] == number) {
            ClearEntry351(image, e);
            break;
        }
    }
    auto entry = PortFlagEntry351(image, k);
    PackDialDigits(record, kNumberDigits351, digits_at, image.numbers_351[k - 1u]);
    entry[2] = code;
    const bool flag_ok = SetMaskBits(entry[3], mask, flag);
    if (VerifyDialDigits(record, kNumberDigits351, digits_at, image.numbers_351[k - 1u]) != 0 ||
        entry[2] != code || !flag_ok) {
        return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler071(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t k =
        ParseByteField(record, FirstFieldPosition(state), 2, 1, kNumberEntries351);
    if (k == kFieldRefused) return kHandlerRejected;
    auto entry = PortFlagEntry351(state.image, k);
    AppendPortCode(record, entry[2]);
    record.line.Append(',');
    AppendMaskFlag(record, entry[3], CurrentDescriptor(state).Mask());
    record.line.Append(',');
    UnpackDialDigits(record, kNumberDigits351, state.image.numbers_351[k - 1u]);
    return kHandlerAccepted;
}

// --- Slot 72 ---------------------------------------------------------------------------------

std::uint8_t StoreHandler072(ProgrammingState& state, TerminalRecord& record) {
    return StorePortBits(state, record, kBits113);
}

std::uint8_t ShowHandler072(ProgrammingState& state, TerminalRecord& record) {
    return ShowPortBits(state, record, kBits113, false);
}

// --- Slot 73 ---------------------------------------------------------------------------------
// "ppp,-00" clears one port and names it in the notice; "ppp,qqq-00" clears a range.

std::uint8_t StoreHandler073(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kPlainPositions, 0);
    if (!range.Valid() || !HoldsClearData(record, range.data_at)) return kHandlerRejected;
    if (range.single) {
        // A first-bank position always has a port; the check keeps the notice to real ports.
        const std::uint8_t code = MapSlotCode(range.first);
        const std::uint8_t answer = ClearCounters(state.image, code);
        if (answer != kHandlerAccepted) return answer;
        state.key_input.outcome = kOutcomeTerminalNotice;
        state.key_input.notice_terminal = code;
        return kHandlerAccepted;
    }
    state.key_input.outcome = kOutcomePortsCleared;
    return WalkPositionRange(range, kPlainPositions, WalkRule::kStopAtFailure,
                             [&](std::uint8_t c) { return ClearCounters(state.image, c); });
}

std::uint8_t ShowHandler073(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t code =
        ParseSinglePositionPort(record, FirstFieldPosition(state), kPlainPositions, 0);
    auto counters = Counters009(state.image, code);
    if (counters.empty()) return kHandlerRejected;
    for (std::size_t i = 0; i < counters.size(); ++i) {
        if (i != 0) record.line.Append(',');
        AppendNumber(record, counters[i], 3, 10);
    }
    return kHandlerAccepted;
}

// --- Slots 74 and 76 -------------------------------------------------------------------------

std::uint8_t StoreHandler074(ProgrammingState& state, TerminalRecord& record) {
    return StorePortField(state, record, kSlot74Items);
}

std::uint8_t ShowHandler074(ProgrammingState& state, TerminalRecord& record) {
    return ShowPortField(state, record, kSlot74Items);
}

// Sub-type 1 holds a display setting: the character table is reloaded after it is stored.
std::uint8_t StoreHandler076(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t result = StorePortField(state, record, kSlot76Items);
    if (result == kHandlerAccepted && CurrentDescriptor(state).SubType() == 1) {
        ReloadCharacterTable(state.display_characters);
    }
    return result;
}

std::uint8_t ShowHandler076(ProgrammingState& state, TerminalRecord& record) {
    return ShowPortField(state, record, kSlot76Items);
}

// --- Slots 75, 77 and 79 ---------------------------------------------------------------------

std::uint8_t StoreHandler075(ProgrammingState& state, TerminalRecord& record) {
    return StorePortBits(state, record, kBits642);
}

std::uint8_t ShowHandler075(ProgrammingState& state, TerminalRecord& record) {
    return ShowPortBits(state, record, kBits642, false);
}

std::uint8_t StoreHandler077(ProgrammingState& state, TerminalRecord& record) {
    return StorePortBits(state, record, kBits366);
}

std::uint8_t ShowHandler077(ProgrammingState& state, TerminalRecord& record) {
    return ShowPortBits(state, record, kBits366, true);
}

std::uint8_t StoreHandler079(ProgrammingState& state, TerminalRecord& record) {
    return StorePortBits(state, record, kBits180);
}

std::uint8_t ShowHandler079(ProgrammingState& state, TerminalRecord& record) {
    return ShowPortBits(state, record, kBits180, true);
}

// --- Slot 78 ---------------------------------------------------------------------------------
// The data is a second position; 000 clears the link.

std::uint8_t StoreHandler078(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kPlainPositions, 0);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t partner = MapSlotCode(ParsePosition36(record, range.data_at));
    if (partner == kPositionRefused) return kHandlerRejected;
    return WalkPositionRange(range, kPlainPositions, WalkRule::kStopAtFailure, [&](std::uint8_t c) {
        auto bytes = PortRecord(state.image, kPortBlock, kPortRecordBytes, c);
        if (bytes.empty()) return kHandlerRejected;
        bytes[kPartnerByte] = partner;
        return kHandlerAccepted;
    });
}

std::uint8_t ShowHandler078(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t code =
        ParseSinglePositionPort(record, FirstFieldPosition(state), kPlainPositions, 0);
    auto bytes = PortRecord(state.image, kPortBlock, kPortRecordBytes, code);
    if (bytes.empty()) return kHandlerRejected;
    AppendPortCode(record, bytes[kPartnerByte]);
    return kHandlerAccepted;
}

}  // namespace qzs
