// Slots 180-189: per-port values and digit groups over a range of positions (*305, *310-*313),
// the *160 records, three per-unit number tables (*185, *9284, *161), *349, and the type and
// digits of *616 and *601. P below is the first field position on the line.
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

// ---------------------------------------------------------------------------------------------
// Slot 180 (no command): one bit per port in block 129.

constexpr int kPortBitBlock = 129;
constexpr std::size_t kPortBitBytes = 16;

// ---------------------------------------------------------------------------------------------
// Slot 181 (no command): units a 1-8 at byte 92 + 4a of block 143. That block holds 96 bytes,
// so every unit's entry lies past its end and is refused rather than written outside it.

constexpr int kUnitDigitBlock = 143;
constexpr std::size_t kUnitDigitBase = 92;
constexpr std::size_t kUnitDigitEntryBytes = 4;

std::span<std::uint8_t> UnitDigitEntry(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t a = ParseByteField(record, FirstFieldPosition(state), 1, 1, 8);
    if (a == kFieldRefused) return {};
    return BlockBytes(state.image, kUnitDigitBlock, kUnitDigitBase + kUnitDigitEntryBytes * a,
                      kUnitDigitEntryBytes);
}

// ---------------------------------------------------------------------------------------------
// Slot 182 (*305): block 83, port records of 116 bytes; value c (1-10) at byte c + 3.

constexpr int kPortValueBlock = 83;
constexpr std::size_t kPortValueRecordBytes = 116;
constexpr std::size_t kPortValueFirstByte = 4;
constexpr std::uint8_t kPortValueCount = 10;
constexpr std::uint8_t kPortValueMax = 24;

// ---------------------------------------------------------------------------------------------
// Slots 183 and 184 (*310-*313): digit groups of block 149, port records of 32 bytes. Digit i
// (1-based) of a group is in byte (i + 1) / 2 - 1, the low nibble for odd i.

constexpr int kDigitGroupBlock = 149;
constexpr std::size_t kDigitGroupRecordBytes = 32;

struct DigitGroupItem {
    std::uint8_t slot;
    std::uint8_t item;
    std::uint8_t first_byte;
    std::uint8_t digits;
};

constexpr std::array kDigitGroupItems{
    DigitGroupItem{183, 1, 0, 8},    // *310
    DigitGroupItem{183, 2, 4, 8},    // *311
    DigitGroupItem{184, 1, 8, 24},   // *312
    DigitGroupItem{184, 2, 20, 24},  // *313
};

const DigitGroupItem* FindDigitGroup(ProgrammingState& state, std::uint8_t slot) {
    const std::uint8_t item = CurrentDescriptor(state).SubType();
    for (const DigitGroupItem& row : kDigitGroupItems) {
        if (row.slot == slot && row.item == item) return &row;
    }
    return nullptr;
}

std::uint8_t GetGroupDigit(std::span<const std::uint8_t> group, unsigned i) {
    const std::uint8_t byte = group[(i + 1) / 2 - 1];
    return i % 2 == 1 ? GetLowNibble(byte) : GetHighNibble(byte);
}

bool SetGroupDigit(std::span<std::uint8_t> group, unsigned i, std::uint8_t value) {
    std::uint8_t& byte = group[(i + 1) / 2 - 1];
    if (i % 2 == 1) {
        SetLowNibble(value, byte);
    } else {
        SetHighNibble(value, byte);
    }
    return GetGroupDigit(group, i) == value;
}

std::span<std::uint8_t> DigitGroup(DataImage& image, const DigitGroupItem& item,
                                   std::uint8_t code) {
    auto port = PortRecord(image, kDigitGroupBlock, kDigitGroupRecordBytes, code);
    return port.empty() ? port : port.subspan(item.first_byte, (item.digits + 1u) / 2);
}

// ---------------------------------------------------------------------------------------------
// Slot 185 (*160): byte d - 1 of record k: bit 7 a flag, bits 0-4 a value 0-16.

constexpr std::uint8_t kRecordCount160 = 8;
constexpr std::uint8_t kFlag160 = 0x80;
constexpr std::uint8_t kValueMask160 = 0x1F;

// ---------------------------------------------------------------------------------------------
// Slot 186: *185 (block 116, 80 entries of 8 bytes: twelve digits, a value), *9284 (block 36,
// 8 entries of 15 bytes: eleven characters, byte 12 a value) and *161 (the *161 table).

constexpr std::uint8_t kItem185 = 0;
constexpr std::uint8_t kItem9284 = 2;
constexpr std::uint8_t kItem161 = 3;

constexpr int kNumberValueBlock = 116;
constexpr std::size_t kNumberValueEntryBytes = 8;
constexpr std::size_t kNumberValueClearBytes = 7;  // bytes 0-6; byte 7 is not the entry's
constexpr std::uint8_t kNumberValueEntries = 80;
constexpr std::size_t kNumberValueByte = 6;
constexpr std::uint8_t kNumberValueDigits = 12;

constexpr int kTextValueBlock = 36;
constexpr std::size_t kTextValueEntryBytes = 15;
constexpr std::size_t kTextValueChars = 11;
constexpr std::size_t kTextValueByte = 12;
constexpr std::uint8_t kTextValueEntries = 8;

constexpr std::uint8_t kShortCodeEntries = 32;
constexpr std::uint8_t kShortCodeDigits = 6;
// The value is typed as 5-8 and kept as 1-4.
constexpr std::uint8_t kShortCodeShownBase = 4;

std::span<std::uint8_t> NumberValueEntry(DataImage& image, std::uint8_t k) {
    return BlockBytes(image, kNumberValueBlock, kNumberValueEntryBytes * (k - 1u),
                      kNumberValueEntryBytes);
}

std::span<std::uint8_t> TextValueEntry(DataImage& image, std::uint8_t k) {
    return BlockBytes(image, kTextValueBlock, kTextValueEntryBytes * (k - 1u),
                      kTextValueEntryBytes);
}

void ClearBytes(std::span<std::uint8_t> bytes) {
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
}

std::uint8_t Store185(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t k = ParseByteField(record, p, 2, 0, kNumberValueEntries);
    const std::uint8_t v = ParseByteField(record, p + 3, 1, 0, 6);
    if (k == kFieldRefused || v == kFieldRefused) return kHandlerRejected;
    const auto number = static_cast<std::uint8_t>(p + 5);
    const bool no_number = IsEmptyField(record, number);
    if (v == 0 && no_number) {
        const unsigned first = k == 0 ? 1 : k;
        const unsigned last = k == 0 ? kNumberValueEntries : k;
        for (unsigned e = first; e <= last; ++e) {
            auto entry = NumberValueEntry(state.image, static_cast<std::uint8_t>(e));
            if (entry.empty()) return kHandlerRejected;
            ClearBytes(entry.first(kNumberValueClearBytes));
        }
        return kHandlerAccepted;
    }
    if (k == 0 || v == 0 || no_number) return kHandlerRejected;
    auto entry = NumberValueEntry(state.image, k);
    if (entry.empty()) return kHandlerRejected;
    entry[kNumberValueByte] = v;
    const auto digits = entry.first(kNumberValueDigits / 2);
    PackDialDigits(record, kNumberValueDigits, number, digits);
    return VerifyDialDigits(record, kNumberValueDigits, number, digits);
}

// The text is the line's characters as typed, a blank kept as 0; "00000" clears it.
std::uint8_t Store9284(ProgrammingState& state, const TerminalRecord& record) {
    UnitRange range;
    if (!ParseUnitRange(state, record, kTextValueEntries, range)) return kHandlerRejected;
    const std::uint8_t v = ParseByteField(record, range.data, 1, 0, 1);
    if (v == kFieldRefused) return kHandlerRejected;
    const auto text = static_cast<std::uint8_t>(range.data + 2);
    const bool clear = HoldsLoneField(record, text, "00000");
    std::array<std::uint8_t, kTextValueChars> chars{};
    if (!clear) {
        for (std::size_t i = 0; i < chars.size(); ++i) {
            const char c = record.line.At(text + i);
            chars[i] = c == ' ' ? 0 : static_cast<std::uint8_t>(c);
        }
    }
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned k = range.first; k <= range.last; ++k) {
        auto entry = TextValueEntry(state.image, static_cast<std::uint8_t>(k));
        if (entry.empty()) return kHandlerRejected;
        entry[kTextValueByte] = v;
        if (entry[kTextValueByte] != v) return kHandlerMismatch;
        std::copy(chars.begin(), chars.end(), entry.begin());
        if (!std::equal(chars.begin(), chars.end(), entry.begin()) && answer == kHandlerAccepted) {
            answer = kHandlerMismatch;
        }
    }
    return answer;
}

std::uint8_t Store161(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t k = ParseByteField(record, p, 2, 0, kShortCodeEntries);
    const std::uint8_t v = ParseByteField(record, p + 3, 1, 0, 8);
    if (k == kFieldRefused || v == kFieldRefused) return kHandlerRejected;
    const auto number = static_cast<std::uint8_t>(p + 5);
    const bool no_number = IsEmptyField(record, number);
    auto& table = state.image.table_161;
    if (v == 0 && no_number) {
        if (k == 0) {
            for (auto& entry : table) ClearBytes(entry);
        } else {
            ClearBytes(table[k - 1u]);
        }
        return kHandlerAccepted;
    }
    if (k == 0 || v <= kShortCodeShownBase || no_number) return kHandlerRejected;
    auto& entry = table[k - 1u];
    entry[0] = static_cast<std::uint8_t>(v - kShortCodeShownBase);
    const auto digits = std::span<std::uint8_t>(entry).subspan(1);
    PackDialDigits(record, kShortCodeDigits, number, digits);
    return VerifyDialDigits(record, kShortCodeDigits, number, digits);
}

// ---------------------------------------------------------------------------------------------
// Slot 187 (*349): block 80 byte 8, bit 4 "a value is set", bits 0-3 the value 1-7.

constexpr int kSetValueBlock = 80;
constexpr std::size_t kSetValueByte = 8;
constexpr std::uint8_t kValueSetMask = 0x10;
constexpr std::uint8_t kValueFieldMask = 0x1F;

// ---------------------------------------------------------------------------------------------
// Slots 188 and 189 (*616, *601): a type 1-12 and the digits it takes.

enum class TypeDigits : std::uint8_t { kNone, kOne, kTwo };

TypeDigits DigitsOfType(std::uint8_t type) {
    switch (type) {
        case 1:
        case 4:
        case 10:
        case 12:
            return TypeDigits::kOne;
        case 2:
        case 3:
        case 5:
        case 6:
            return TypeDigits::kTwo;
        default:
            return TypeDigits::kNone;
    }
}

constexpr std::uint8_t kLastType = 12;
constexpr std::uint8_t kTypeDigitMax = 6;

struct TypedEntry {
    std::uint8_t t = kFieldRefused;
    std::uint8_t x = 0;
    std::uint8_t y = 0;
};

// Type at the position, x at + 3, y at + 5: the fields the type needs, and no others.
TypedEntry ParseTypedEntry(const TerminalRecord& record, std::uint8_t position) {
    TypedEntry entry;
    const std::uint8_t t = ParseByteField(record, position, 2, 1, kLastType);
    if (t == kFieldRefused) return {};
    const TypeDigits digits = DigitsOfType(t);
    const auto x_at = static_cast<std::uint8_t>(position + 3);
    const auto y_at = static_cast<std::uint8_t>(position + 5);
    if (digits != TypeDigits::kNone) {
        entry.x = ParseByteField(record, x_at, 1, 1, kTypeDigitMax);
        if (entry.x == kFieldRefused) return {};
    } else if (!IsEmptyField(record, x_at)) {
        return {};
    }
    if (digits == TypeDigits::kTwo) {
        entry.y = ParseByteField(record, y_at, 1, 1, kTypeDigitMax);
        if (entry.y == kFieldRefused) return {};
    } else if (!IsEmptyField(record, y_at)) {
        return {};
    }
    entry.t = t;
    return entry;
}

// Sets the two digits of a byte (x low, y high) and answers whether both read back.
bool SetDigitPair(std::uint8_t& byte, std::uint8_t x, std::uint8_t y) {
    SetLowNibble(x, byte);
    SetHighNibble(y, byte);
    return GetLowNibble(byte) == x && GetHighNibble(byte) == y;
}

bool SetLowDigit(std::uint8_t& byte, std::uint8_t x) {
    SetLowNibble(x, byte);
    return GetLowNibble(byte) == x;
}

// "tt,x,y", "tt,x," or "tt,,"; a stored type without a meaning (0, 13-15) cannot be shown.
std::uint8_t AppendTypedEntry(TerminalRecord& record, std::uint8_t type_byte,
                              std::uint8_t digit_byte) {
    const std::uint8_t t = GetLowNibble(type_byte);
    if (t == 0 || t > kLastType) return kHandlerRejected;
    AppendNumber(record, t, 2, 10);
    record.line.Append(',');
    switch (DigitsOfType(t)) {
        case TypeDigits::kTwo:
            AppendNumber(record, GetLowNibble(digit_byte), 1, 10);
            record.line.Append(',');
            AppendNumber(record, GetHighNibble(digit_byte), 1, 10);
            break;
        case TypeDigits::kOne:
            AppendNumber(record, GetLowNibble(digit_byte), 1, 10);
            record.line.Append(',');
            break;
        case TypeDigits::kNone:
            record.line.Append(',');
            break;
    }
    return kHandlerAccepted;
}

constexpr std::uint8_t kTypedRecords = 7;
constexpr std::uint8_t kTypedEntries616 = 20;
constexpr std::size_t kTypedEntryBytes616 = 12;

std::span<std::uint8_t> Entry616(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t a = ParseByteField(record, p, 2, 1, kTypedRecords);
    const std::uint8_t b = ParseByteField(record, p + 3, 2, 1, kTypedEntries616);
    if (a == kFieldRefused || b == kFieldRefused) return {};
    return TableEntry(state.image.table_616, a - 1u)
        .subspan(kTypedEntryBytes616 * (b - 1u), kTypedEntryBytes616);
}

constexpr int kTypedBlock601 = 150;
constexpr std::size_t kTypedRecordBytes601 = 84;
constexpr std::size_t kSecondDigitByte601 = 76;

std::span<std::uint8_t> Record601(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t a = ParseByteField(record, FirstFieldPosition(state), 2, 1, kTypedRecords);
    if (a == kFieldRefused) return {};
    return BlockBytes(state.image, kTypedBlock601, kTypedRecordBytes601 * a, kTypedRecordBytes601);
}

}  // namespace

// --- Slot 180 --------------------------------------------------------------------------------
// No command: "ppp,-v" or "ppp,qqq-v" over wide class positions, as the other per-port bits.

std::uint8_t StoreHandler180(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kWidePositions, 0);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, range.data_at, 1, 0, 1);
    if (value == kFieldRefused) return kHandlerRejected;
    auto bits = BlockBytes(state.image, kPortBitBlock, 0, kPortBitBytes);
    if (bits.empty()) return kHandlerRejected;
    return WalkPositionRange(range, kWidePositions, WalkRule::kStopAtFailure,
                             [&](std::uint8_t code) -> std::uint8_t {
                                 SetBitFromEntry(code - 1u, value, bits);
                                 return VerifyBit(code - 1u, value, bits);
                             });
}

std::uint8_t ShowHandler180(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t code =
        ParseSinglePositionPort(record, FirstFieldPosition(state), kWidePositions, 0);
    auto bits = BlockBytes(state.image, kPortBitBlock, 0, kPortBitBytes);
    if (code == 0 || bits.empty()) return kHandlerRejected;
    AppendBit(record, code - 1u, bits);
    return kHandlerAccepted;
}

// --- Slot 181 --------------------------------------------------------------------------------
// No command: unit a (1 digit), a value 0-3 at P + 2, four dial digits at P + 4; value 0 with
// "0000" clears the entry.

std::uint8_t StoreHandler181(ProgrammingState& state, TerminalRecord& record) {
    auto entry = UnitDigitEntry(state, record);
    if (entry.empty()) return kHandlerRejected;
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t value = ParseByteField(record, p + 2, 1, 0, 3);
    if (value == kFieldRefused) return kHandlerRejected;
    const auto digits = static_cast<std::uint8_t>(p + 4);
    if (value == 0 && HoldsLoneField(record, digits, "0000")) {
        ClearBytes(entry);
        return kHandlerAccepted;
    }
    SetBits01(value, entry[2]);
    if (GetBits01(entry[2]) != value) return kHandlerMismatch;
    PackDialDigits(record, 4, digits, entry.first(2));
    return VerifyDialDigits(record, 4, digits, entry.first(2));
}

std::uint8_t ShowHandler181(ProgrammingState& state, TerminalRecord& record) {
    auto entry = UnitDigitEntry(state, record);
    if (entry.empty()) return kHandlerRejected;
    AppendDigit(record, GetBits01(entry[2]));
    record.line.Append(',');
    UnpackDialDigits(record, 4, entry.first(2));
    return kHandlerAccepted;
}

// --- Slot 182 --------------------------------------------------------------------------------
// Positions, value index c (00 = all ten, value then 00 only), value v; the first port that
// does not read back ends the walk.

std::uint8_t StoreHandler182(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kPlainPositions, 2);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t c = ParseByteField(record, range.index_at, 2, 0, kPortValueCount);
    const std::uint8_t v = ParseByteField(record, range.data_at, 2, 0, kPortValueMax);
    if (c == kFieldRefused || v == kFieldRefused || (c == 0 && v != 0)) return kHandlerRejected;
    const unsigned first = c == 0 ? 1 : c;
    const unsigned last = c == 0 ? kPortValueCount : c;
    return WalkPositionRange(
        range, kPlainPositions, WalkRule::kStopAtFailure, [&](std::uint8_t code) -> std::uint8_t {
            auto port = PortRecord(state.image, kPortValueBlock, kPortValueRecordBytes, code);
            if (port.empty()) return kHandlerRejected;
            for (unsigned i = first; i <= last; ++i) {
                std::uint8_t& byte = port[kPortValueFirstByte + i - 1];
                SetByteField(v, byte);
                if (GetByteField(byte) != v) return kHandlerMismatch;
            }
            return kHandlerAccepted;
        });
}

std::uint8_t ShowHandler182(ProgrammingState& state, TerminalRecord& record) {
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kPlainPositions, 2);
    if (!range.Valid() || !range.single) return kHandlerRejected;
    const std::uint8_t c = ParseByteField(record, range.index_at, 2, 1, kPortValueCount);
    auto port = PortRecord(state.image, kPortValueBlock, kPortValueRecordBytes,
                           kPlainPositions.map(range.first));
    if (c == kFieldRefused || port.empty()) return kHandlerRejected;
    AppendNumber(record, port[kPortValueFirstByte + c - 1u], 2, 10);
    return kHandlerAccepted;
}

// --- Slots 183 and 184 -----------------------------------------------------------------------
// Positions (wide class), digit index d (00 = every digit of the group), digit e. A digit that
// does not read back makes the answer 2; that port's other digits are still written and the
// walk ends after it.

std::uint8_t StoreDigitGroup(ProgrammingState& state, TerminalRecord& record, std::uint8_t slot) {
    const DigitGroupItem* item = FindDigitGroup(state, slot);
    if (item == nullptr) return kHandlerRejected;
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kWidePositions, 2);
    if (!range.Valid()) return kHandlerRejected;
    const std::uint8_t d = ParseByteField(record, range.index_at, 2, 0, item->digits);
    const std::uint8_t e = ParseByteField(record, range.data_at, 1, 0, 9);
    if (d == kFieldRefused || e == kFieldRefused) return kHandlerRejected;
    const unsigned first = d == 0 ? 1 : d;
    const unsigned last = d == 0 ? item->digits : d;
    return WalkPositionRange(range, kWidePositions, WalkRule::kStopAtFailure,
                             [&](std::uint8_t code) -> std::uint8_t {
                                 auto group = DigitGroup(state.image, *item, code);
                                 if (group.empty()) return kHandlerRejected;
                                 bool ok = true;
                                 for (unsigned i = first; i <= last; ++i) {
                                     ok = SetGroupDigit(group, i, e) && ok;
                                 }
                                 return ok ? kHandlerAccepted : kHandlerMismatch;
                             });
}

// Index 00 shows the digit the whole group shares, and cannot be shown when the digits differ.
std::uint8_t ShowDigitGroup(ProgrammingState& state, TerminalRecord& record, std::uint8_t slot) {
    const DigitGroupItem* item = FindDigitGroup(state, slot);
    if (item == nullptr) return kHandlerRejected;
    const PositionRange range =
        ParsePositionRange(record, FirstFieldPosition(state), kWidePositions, 2);
    if (!range.Valid() || !range.single) return kHandlerRejected;
    const std::uint8_t d = ParseByteField(record, range.index_at, 2, 0, item->digits);
    auto group = DigitGroup(state.image, *item, kWidePositions.map(range.first));
    if (d == kFieldRefused || group.empty()) return kHandlerRejected;
    if (d != 0) {
        AppendNumber(record, GetGroupDigit(group, d), 1, 10);
        return kHandlerAccepted;
    }
    const std::uint8_t common = GetGroupDigit(group, 1);
    for (unsigned i = 2; i <= item->digits; ++i) {
        if (GetGroupDigit(group, i) != common) return kHandlerRejected;
    }
    AppendNumber(record, common, 1, 10);
    return kHandlerAccepted;
}

std::uint8_t StoreHandler183(ProgrammingState& state, TerminalRecord& record) {
    return StoreDigitGroup(state, record, 183);
}
std::uint8_t ShowHandler183(ProgrammingState& state, TerminalRecord& record) {
    return ShowDigitGroup(state, record, 183);
}
std::uint8_t StoreHandler184(ProgrammingState& state, TerminalRecord& record) {
    return StoreDigitGroup(state, record, 184);
}
std::uint8_t ShowHandler184(ProgrammingState& state, TerminalRecord& record) {
    return ShowDigitGroup(state, record, 184);
}

// --- Slot 185 --------------------------------------------------------------------------------
// "kk,,d-v,nn" (one record) or "kk,ll,d-v,nn" (records k to l). Every record of the range is
// written; the answer is that of the first one that does not read back.

std::uint8_t StoreHandler185(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    if (record.line.At(p + 6u) == '-') return kHandlerRejected;  // a one-digit last record
    const bool ranged = record.line.At(p + 7u) == '-';
    const std::uint8_t first = ParseByteField(record, p, 2, 1, kRecordCount160);
    if (first == kFieldRefused) return kHandlerRejected;
    const std::uint8_t last =
        ranged ? ParseByteField(record, p + 3, 2, first, kRecordCount160) : first;
    const auto fields = static_cast<std::uint8_t>(ranged ? p + 6 : p + 4);
    const std::uint8_t d = ParseByteField(record, fields, 1, 1, 8);
    const std::uint8_t v = ParseByteField(record, fields + 2, 1, 0, 1);
    const std::uint8_t n = ParseByteField(record, fields + 4, 2, 0, 16);
    if (last == kFieldRefused || d == kFieldRefused || v == kFieldRefused || n == kFieldRefused) {
        return kHandlerRejected;
    }
    const auto byte_value = static_cast<std::uint8_t>(v == 1 ? n | kFlag160 : n);
    std::uint8_t answer = kHandlerAccepted;
    for (unsigned k = first; k <= last; ++k) {
        std::uint8_t& byte = state.image.table_160[k - 1][d - 1u];
        byte = byte_value;
        if (byte != byte_value && answer == kHandlerAccepted) answer = kHandlerMismatch;
    }
    return answer;
}

std::uint8_t ShowHandler185(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    if (record.line.At(p + 5u) != '-') return kHandlerRejected;
    const std::uint8_t k = ParseByteField(record, p, 2, 1, kRecordCount160);
    const std::uint8_t d = ParseByteField(record, p + 4, 1, 1, 8);
    if (k == kFieldRefused || d == kFieldRefused) return kHandlerRejected;
    const std::uint8_t byte = state.image.table_160[k - 1u][d - 1u];
    AppendMaskFlag(record, byte, kFlag160);
    record.line.Append(',');
    AppendNumber(record, byte & kValueMask160, 2, 10);
    return kHandlerAccepted;
}

// --- Slot 186 --------------------------------------------------------------------------------

std::uint8_t StoreHandler186(ProgrammingState& state, TerminalRecord& record) {
    switch (CurrentDescriptor(state).SubType()) {
        case kItem185:
            return Store185(state, record);
        case kItem9284:
            return Store9284(state, record);
        case kItem161:
            return Store161(state, record);
        default:
            return kHandlerRejected;
    }
}

std::uint8_t ShowHandler186(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    switch (CurrentDescriptor(state).SubType()) {
        case kItem185: {
            const std::uint8_t k = ParseByteField(record, p, 2, 1, kNumberValueEntries);
            if (k == kFieldRefused) return kHandlerRejected;
            auto entry = NumberValueEntry(state.image, k);
            if (entry.empty()) return kHandlerRejected;
            AppendDigit(record, entry[kNumberValueByte]);
            record.line.Append(',');
            UnpackDialDigits(record, kNumberValueDigits, entry.first(kNumberValueDigits / 2));
            return kHandlerAccepted;
        }
        case kItem9284: {
            const std::uint8_t k = ParseSingleUnit(state, record, kTextValueEntries);
            if (k == kFieldRefused) return kHandlerRejected;
            auto entry = TextValueEntry(state.image, k);
            if (entry.empty()) return kHandlerRejected;
            AppendDigit(record, entry[kTextValueByte]);
            record.line.Append(',');
            const auto text = entry.first(kTextValueChars);
            AppendStoredText(record, text.first(static_cast<std::size_t>(
                                         std::find(text.begin(), text.end(), 0) - text.begin())));
            return kHandlerAccepted;
        }
        case kItem161: {
            const std::uint8_t k = ParseByteField(record, p, 2, 1, kShortCodeEntries);
            if (k == kFieldRefused) return kHandlerRejected;
            const auto& entry = state.image.table_161[k - 1u];
            AppendDigit(record, static_cast<std::uint8_t>(
                                    entry[0] == 0 ? 0 : entry[0] + kShortCodeShownBase));
            record.line.Append(',');
            UnpackDialDigits(record, kShortCodeDigits, std::span(entry).subspan(1));
            return kHandlerAccepted;
        }
        default:
            return kHandlerRejected;
    }
}

// --- Slot 187 --------------------------------------------------------------------------------
// "0" clears the value; two digits 01-07 set it; a single other digit and 00 are refused.

std::uint8_t StoreHandler187(ProgrammingState& state, TerminalRecord& record) {
    std::uint8_t& byte = *state.image.BlockByte(kSetValueBlock, kSetValueByte);
    const std::uint8_t p = FirstFieldPosition(state);
    if (HoldsLoneField(record, p, "0")) {
        byte = static_cast<std::uint8_t>(byte & ~kValueFieldMask);
        return (byte & kValueFieldMask) == 0 ? kHandlerAccepted : kHandlerMismatch;
    }
    if (IsEmptyField(record, p + 1u)) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, p, 2, 1, 7);
    if (value == kFieldRefused) return kHandlerRejected;
    byte = static_cast<std::uint8_t>(byte | kValueSetMask);
    SetLowNibble(value, byte);
    return (byte & kValueSetMask) != 0 && GetLowNibble(byte) == value ? kHandlerAccepted
                                                                      : kHandlerMismatch;
}

std::uint8_t ShowHandler187(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t byte = *state.image.BlockByte(kSetValueBlock, kSetValueByte);
    if ((byte & kValueSetMask) != 0) {
        AppendNumber(record, GetLowNibble(byte), 2, 10);
    } else {
        record.line.Append('0');
    }
    return kHandlerAccepted;
}

// --- Slot 188 --------------------------------------------------------------------------------
// Record a, entry b, then the type and its digits; a type without digits clears byte 1.

std::uint8_t StoreHandler188(ProgrammingState& state, TerminalRecord& record) {
    auto entry = Entry616(state, record);
    if (entry.empty()) return kHandlerRejected;
    const TypedEntry typed =
        ParseTypedEntry(record, static_cast<std::uint8_t>(FirstFieldPosition(state) + 6));
    if (typed.t == kFieldRefused) return kHandlerRejected;
    if (!SetLowDigit(entry[0], typed.t)) return kHandlerMismatch;
    return SetDigitPair(entry[1], typed.x, typed.y) ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler188(ProgrammingState& state, TerminalRecord& record) {
    auto entry = Entry616(state, record);
    if (entry.empty()) return kHandlerRejected;
    return AppendTypedEntry(record, entry[0], entry[1]);
}

// --- Slot 189 --------------------------------------------------------------------------------
// Record a of block 150, then the type and its digits, kept in byte 1 and again in byte 76; a
// type without digits leaves both as they are.

std::uint8_t StoreHandler189(ProgrammingState& state, TerminalRecord& record) {
    auto entry = Record601(state, record);
    if (entry.empty()) return kHandlerRejected;
    const TypedEntry typed =
        ParseTypedEntry(record, static_cast<std::uint8_t>(FirstFieldPosition(state) + 3));
    if (typed.t == kFieldRefused) return kHandlerRejected;
    if (!SetLowDigit(entry[0], typed.t)) return kHandlerMismatch;
    bool ok = true;
    switch (DigitsOfType(typed.t)) {
        case TypeDigits::kOne:
            ok = SetLowDigit(entry[1], typed.x) && SetLowDigit(entry[kSecondDigitByte601], typed.x);
            break;
        case TypeDigits::kTwo:
            ok = SetDigitPair(entry[1], typed.x, typed.y) &&
                 SetDigitPair(entry[kSecondDigitByte601], typed.x, typed.y);
            break;
        case TypeDigits::kNone:
            break;
    }
    return ok ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler189(ProgrammingState& state, TerminalRecord& record) {
    auto entry = Record601(state, record);
    if (entry.empty()) return kHandlerRejected;
    return AppendTypedEntry(record, entry[0], entry[1]);
}

}  // namespace qzs
