// Slots 204-210: four digits per port (*9141), a digit per entry (*9226), the *422 values and
// numbers, the *699 schedule entries, the *9210/*9211 numbers and codes, the *824 dates, and
// *9361 with the default profile it loads. P below is the first field position on the line.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "programming/default_profile.h"
#include "programming/handlers/handler_support.h"
#include "programming/handlers/handlers.h"
#include "programming/packed_digits.h"
#include "programming/port_codecs.h"

namespace qzs {
namespace {

constexpr std::uint8_t kFieldRefused = 255;

// Block 80, byte 47: the flag under the descriptor's mask.
constexpr int kProfileFlagBlock = 80;
constexpr std::size_t kProfileFlagByte = 47;

std::uint8_t& ProfileFlagByte(DataImage& image) {
    return *image.BlockByte(kProfileFlagBlock, kProfileFlagByte);
}

// Slot 204 (*9141): block 140, four-byte port records, bytes 2-3 four dial digits.
constexpr int kPortDigitBlock = 140;
constexpr std::size_t kPortDigitRecordBytes = 4;
constexpr std::uint8_t kPortDigitCount = 4;

std::span<std::uint8_t> PortDigits(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t code = MapSlotCodeWide(ParsePosition72(record, FirstFieldPosition(state)));
    if (code == kPositionRefused) return {};
    auto port = PortRecord(state.image, kPortDigitBlock, kPortDigitRecordBytes, code);
    return port.empty() ? port : port.subspan(2, 2);
}

// Slot 205 (*9226): block 80, byte 50 + 39k (k 0-3), bits 4-7.
constexpr int kEntryDigitBlock = 80;
constexpr std::size_t kEntryDigitFirstByte = 50;
constexpr std::size_t kEntryDigitStride = 39;

std::uint8_t* EntryDigitByte(ProgrammingState& state, const TerminalRecord& record) {
    const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 1, 0, 3);
    if (k == kFieldRefused) return nullptr;
    return state.image.BlockByte(kEntryDigitBlock, kEntryDigitFirstByte + kEntryDigitStride * k);
}

// Slot 206 (*422): kind 1 a value 0-8, kind 2 a number of up to 11 dial digits.
constexpr std::uint8_t kValueKind = 1;
constexpr std::uint8_t kNumberKind = 2;
constexpr std::uint8_t kValueMax = 8;
constexpr std::uint8_t kNumberDigits = 11;

void ClearValueEntry(DataImage& image, std::size_t a) {
    image.values_422[a][0] = 0;
    std::fill(image.numbers_422[a].begin(), image.numbers_422[a].end(), std::uint8_t{0});
}

// Slot 207 (*699): which of the digits x (at T + 3) and y (at T + 5) a type takes, their ranges
// and where they go. Types without a row (0, 13-15) are refused.
enum class DigitPlace : std::uint8_t { kNone, kByte5Low, kByte5High, kByte6Low };

struct ScheduleType {
    std::uint8_t type;
    std::uint8_t x_min, x_max;  // x_max 0: x must be empty
    DigitPlace x_place;
    std::uint8_t y_min, y_max;  // y_max 0: y must be empty
    DigitPlace y_place;
};

constexpr std::array kScheduleTypes{
    ScheduleType{1, 1, 6, DigitPlace::kByte5Low, 0, 0, DigitPlace::kNone},
    ScheduleType{4, 1, 6, DigitPlace::kByte5Low, 0, 0, DigitPlace::kNone},
    ScheduleType{2, 1, 6, DigitPlace::kByte5Low, 1, 6, DigitPlace::kByte5High},
    ScheduleType{3, 1, 6, DigitPlace::kByte5Low, 1, 6, DigitPlace::kByte5High},
    ScheduleType{5, 1, 6, DigitPlace::kByte5Low, 1, 6, DigitPlace::kByte5High},
    ScheduleType{6, 1, 6, DigitPlace::kByte5Low, 1, 6, DigitPlace::kByte5High},
    ScheduleType{7, 0, 3, DigitPlace::kByte6Low, 0, 0, DigitPlace::kNone},
    ScheduleType{8, 0, 3, DigitPlace::kByte6Low, 0, 0, DigitPlace::kNone},
    ScheduleType{10, 0, 3, DigitPlace::kByte6Low, 1, 6, DigitPlace::kByte5Low},
    ScheduleType{12, 0, 3, DigitPlace::kByte6Low, 1, 6, DigitPlace::kByte5Low},
    ScheduleType{9, 0, 0, DigitPlace::kNone, 0, 0, DigitPlace::kNone},
    ScheduleType{11, 0, 0, DigitPlace::kNone, 0, 0, DigitPlace::kNone},
};

const ScheduleType* FindScheduleType(std::uint8_t type) {
    for (const ScheduleType& row : kScheduleTypes) {
        if (row.type == type) return &row;
    }
    return nullptr;
}

constexpr std::size_t kScheduleTypeByte = 4;

// Reads a digit field that the type requires (min-max) or requires empty (max 0); 255 refuses.
std::uint8_t ParseScheduleDigit(const TerminalRecord& record, std::uint8_t position,
                                std::uint8_t min, std::uint8_t max) {
    if (max == 0) return IsEmptyField(record, position) ? 0 : kFieldRefused;
    return ParseByteField(record, position, 1, min, max);
}

// Sets the nibble and answers whether it reads back.
bool SetScheduleDigit(std::span<std::uint8_t> entry, DigitPlace place, std::uint8_t value) {
    switch (place) {
        case DigitPlace::kNone:
            return true;
        case DigitPlace::kByte5Low:
            SetLowNibble(value, entry[5]);
            return GetLowNibble(entry[5]) == value;
        case DigitPlace::kByte5High:
            SetHighNibble(value, entry[5]);
            return GetHighNibble(entry[5]) == value;
        case DigitPlace::kByte6Low:
            SetLowNibble(value, entry[6]);
            return GetLowNibble(entry[6]) == value;
    }
    return false;
}

std::span<std::uint8_t> ScheduleEntry(DataImage& image, std::size_t a, std::size_t b,
                                      std::size_t c) {
    if (a >= kTable699Records || b >= kTable699Groups || c < 1 || c > kTable699Entries) return {};
    return std::span<std::uint8_t>(image.table_699[a])
        .subspan(kTable699GroupBytes * b + kTable699EntryBytes * (c - 1), kTable699EntryBytes);
}

// Slot 208 (*9210, *9211): two 16-digit numbers and two two-digit codes per record.
constexpr std::uint8_t kCodeItem = 2;
constexpr std::size_t kLongNumberBytes = 8;
constexpr std::uint8_t kLongNumberDigits = 16;
constexpr std::size_t kCodeFirstByte = 16;

std::span<std::uint8_t> NumberOrCode(ProgrammingState& state, const TerminalRecord& record,
                                     bool code) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t k = ParseByteField(record, p, 1, 1, 5);
    const std::uint8_t m = ParseByteField(record, p + 2, 1, 1, 2);
    if (k == kFieldRefused || m == kFieldRefused) return {};
    auto bytes = TableEntry(state.image.table_9210, k - 1u);
    return code ? bytes.subspan(kCodeFirstByte + m - 1u, 1)
                : bytes.subspan(kLongNumberBytes * (m - 1u), kLongNumberBytes);
}

// Slot 209 (*824): year, month, day at D, D + 3, D + 6.
constexpr std::array<std::uint8_t, 3> kDateMax{99, 12, 31};

}  // namespace

// --- Slot 204 --------------------------------------------------------------------------------

std::uint8_t StoreHandler204(ProgrammingState& state, TerminalRecord& record) {
    auto digits = PortDigits(state, record);
    if (digits.empty()) return kHandlerRejected;
    const auto data = static_cast<std::uint8_t>(FirstFieldPosition(state) + 4);
    PackDialDigits(record, kPortDigitCount, data, digits);
    return VerifyDialDigits(record, kPortDigitCount, data, digits);
}

std::uint8_t ShowHandler204(ProgrammingState& state, TerminalRecord& record) {
    auto digits = PortDigits(state, record);
    if (digits.empty()) return kHandlerRejected;
    UnpackDialDigits(record, kPortDigitCount, digits);
    return kHandlerAccepted;
}

// --- Slot 205 --------------------------------------------------------------------------------
// "0" clears the digit; two digits 01-07 set it; a single other digit and 00 are refused.

std::uint8_t StoreHandler205(ProgrammingState& state, TerminalRecord& record) {
    std::uint8_t* byte = EntryDigitByte(state, record);
    if (byte == nullptr) return kHandlerRejected;
    const auto data = static_cast<std::uint8_t>(FirstFieldPosition(state) + 2);
    if (HoldsLoneField(record, data, "0")) {
        SetHighNibble(0, *byte);
        return GetHighNibble(*byte) == 0 ? kHandlerAccepted : kHandlerMismatch;
    }
    if (IsEmptyField(record, data + 1u)) return kHandlerRejected;
    const std::uint8_t value = ParseByteField(record, data, 2, 1, 7);
    if (value == kFieldRefused) return kHandlerRejected;
    SetHighNibble(value, *byte);
    return GetHighNibble(*byte) == value ? kHandlerAccepted : kHandlerMismatch;
}

std::uint8_t ShowHandler205(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t* byte = EntryDigitByte(state, record);
    if (byte == nullptr) return kHandlerRejected;
    const std::uint8_t value = GetHighNibble(*byte);
    if (value == 0) {
        record.line.Append('0');
    } else {
        AppendNumber(record, value, 2, 10);
    }
    return kHandlerAccepted;
}

// --- Slot 206 --------------------------------------------------------------------------------
// Entry a (0-2), kind b, then two digits (kind 1) or a number (kind 2). A value clears the
// entry's number and a number the entry's value, so the show knows which of the two it holds.

std::uint8_t StoreHandler206(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t a = ParseByteField(record, p, 1, 0, 2);
    const std::uint8_t b = ParseByteField(record, p + 2, 1, kValueKind, kNumberKind);
    if (a == kFieldRefused || b == kFieldRefused) return kHandlerRejected;
    const auto data = static_cast<std::uint8_t>(p + 4);
    DataImage& image = state.image;
    if (b == kValueKind) {
        if (MeasureDigitField(record, data) != 2) return kHandlerRejected;
        if (a == 0) {
            if (!HoldsLoneField(record, data, "00")) return kHandlerRejected;
            ClearValueEntry(image, 0);
            ClearValueEntry(image, 1);
            return kHandlerAccepted;
        }
        const std::uint8_t value = ParseByteField(record, data, 2, 0, kValueMax);
        if (value == kFieldRefused) return kHandlerRejected;
        ClearValueEntry(image, a - 1u);
        image.values_422[a - 1u][0] = value;
        return kHandlerAccepted;
    }
    if (a == 0) return kHandlerRejected;
    image.values_422[a - 1u][0] = 0;
    PackDialDigits(record, kNumberDigits, data, image.numbers_422[a - 1u]);
    return VerifyDialDigits(record, kNumberDigits, data, image.numbers_422[a - 1u]);
}

std::uint8_t ShowHandler206(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t a = ParseByteField(record, FirstFieldPosition(state), 1, 1, 2);
    if (a == kFieldRefused) return kHandlerRejected;
    const std::uint8_t value = state.image.values_422[a - 1u][0];
    const auto& number = state.image.numbers_422[a - 1u];
    if (value == 0 && GetHighNibble(number[0]) != 0) {
        record.line.Append("2,");
        UnpackDialDigits(record, kNumberDigits, number);
    } else {
        record.line.Append("1,");
        AppendNumber(record, value, 2, 10);
    }
    return kHandlerAccepted;
}

// --- Slot 207 --------------------------------------------------------------------------------
// Keys a (00 all records 1-7), b (7 all groups), c (0 all entries); type t, digits x and y.

std::uint8_t StoreHandler207(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t a = ParseByteField(record, p, 2, 0, 7);
    const std::uint8_t b = ParseByteField(record, p + 3, 1, 0, 7);
    const std::uint8_t c = ParseByteField(record, p + 5, 1, 0, 4);
    const std::uint8_t t = ParseByteField(record, p + 7, 2, 1, 12);
    if (a == kFieldRefused || b == kFieldRefused || c == kFieldRefused || t == kFieldRefused) {
        return kHandlerRejected;
    }
    const ScheduleType* type = FindScheduleType(t);
    if (type == nullptr) return kHandlerRejected;
    const std::uint8_t x = ParseScheduleDigit(record, p + 10, type->x_min, type->x_max);
    const std::uint8_t y = ParseScheduleDigit(record, p + 12, type->y_min, type->y_max);
    if (x == kFieldRefused || y == kFieldRefused) return kHandlerRejected;

    const unsigned a_first = a == 0 ? 1 : a;
    const unsigned a_last = a == 0 ? kTable699Records - 1 : a;
    const unsigned b_first = b == 7 ? 0 : b;
    const unsigned b_last = b == 7 ? kTable699Groups - 1 : b;
    const unsigned c_first = c == 0 ? 1 : c;
    const unsigned c_last = c == 0 ? kTable699Entries : c;
    for (unsigned ra = a_first; ra <= a_last; ++ra) {
        for (unsigned gb = b_first; gb <= b_last; ++gb) {
            for (unsigned ec = c_first; ec <= c_last; ++ec) {
                auto entry = ScheduleEntry(state.image, ra, gb, ec);
                if (entry.empty()) return kHandlerRejected;
                SetLowNibble(t, entry[kScheduleTypeByte]);
                const bool ok = GetLowNibble(entry[kScheduleTypeByte]) == t &&
                                SetScheduleDigit(entry, type->x_place, x) &&
                                SetScheduleDigit(entry, type->y_place, y);
                if (!ok) return kHandlerMismatch;
            }
        }
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler207(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t a = ParseByteField(record, p, 2, 1, 7);
    const std::uint8_t b = ParseByteField(record, p + 3, 1, 0, 6);
    const std::uint8_t c = ParseByteField(record, p + 5, 1, 1, 4);
    if (a == kFieldRefused || b == kFieldRefused || c == kFieldRefused) return kHandlerRejected;
    auto entry = ScheduleEntry(state.image, a, b, c);
    if (entry.empty()) return kHandlerRejected;
    const std::uint8_t t = GetLowNibble(entry[kScheduleTypeByte]);
    AppendNumber(record, t, 2, 10);
    record.line.Append(',');
    const ScheduleType* type = FindScheduleType(t);
    const auto digit = [&](DigitPlace place) {
        const std::uint8_t value = place == DigitPlace::kByte5Low    ? GetLowNibble(entry[5])
                                   : place == DigitPlace::kByte5High ? GetHighNibble(entry[5])
                                                                     : GetLowNibble(entry[6]);
        AppendNumber(record, value, 1, 10);
    };
    if (type == nullptr || type->x_place == DigitPlace::kNone) {
        record.line.Append(',');
        return kHandlerAccepted;
    }
    digit(type->x_place);
    record.line.Append(',');
    if (type->y_place != DigitPlace::kNone) digit(type->y_place);
    return kHandlerAccepted;
}

// --- Slot 208 --------------------------------------------------------------------------------
// Record k, item m; *9210 a number ("000" clears it), *9211 a two-digit code.

std::uint8_t StoreHandler208(ProgrammingState& state, TerminalRecord& record) {
    const bool code = CurrentDescriptor(state).SubType() == kCodeItem;
    auto bytes = NumberOrCode(state, record, code);
    if (bytes.empty()) return kHandlerRejected;
    const auto data = static_cast<std::uint8_t>(FirstFieldPosition(state) + 4);
    if (!code && HoldsLoneField(record, data, "000")) {
        std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
        return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t v) { return v == 0; })
                   ? kHandlerAccepted
                   : kHandlerMismatch;
    }
    const std::uint8_t digits = code ? 2 : kLongNumberDigits;
    PackDialDigits(record, digits, data, bytes);
    return VerifyDialDigits(record, digits, data, bytes);
}

std::uint8_t ShowHandler208(ProgrammingState& state, TerminalRecord& record) {
    const bool code = CurrentDescriptor(state).SubType() == kCodeItem;
    auto bytes = NumberOrCode(state, record, code);
    if (bytes.empty()) return kHandlerRejected;
    UnpackDialDigits(record, code ? 2 : kLongNumberDigits, bytes);
    return kHandlerAccepted;
}

// --- Slot 209 --------------------------------------------------------------------------------
// Date k: year, month, day. All three 0 means no date; a year of 00 alone is taken as well.

std::uint8_t StoreHandler209(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t p = FirstFieldPosition(state);
    const std::uint8_t k = ParseByteField(record, p, 1, 1, 2);
    if (k == kFieldRefused) return kHandlerRejected;
    std::array<std::uint8_t, 3> fields{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        fields[i] =
            ParseByteField(record, static_cast<std::uint8_t>(p + 2 + 3 * i), 2, 0, kDateMax[i]);
        if (fields[i] == kFieldRefused) return kHandlerRejected;
    }
    const auto zeros = std::count(fields.begin(), fields.end(), std::uint8_t{0});
    const bool only_year = zeros == 1 && fields[0] == 0;
    if (zeros != 0 && zeros != 3 && !only_year) return kHandlerRejected;
    auto& date = state.image.dates_824[k - 1u];
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto at = static_cast<std::uint8_t>(p + 2 + 3 * i);
        const std::span<std::uint8_t> byte(&date[i], 1);
        PackHexDigits(record, 2, at, byte);
        if (VerifyHexDigits(record, 2, at, byte) != kHandlerAccepted) return kHandlerMismatch;
    }
    return kHandlerAccepted;
}

std::uint8_t ShowHandler209(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t k = ParseByteField(record, FirstFieldPosition(state), 1, 1, 2);
    if (k == kFieldRefused) return kHandlerRejected;
    const auto& date = state.image.dates_824[k - 1u];
    for (std::size_t i = 0; i < date.size(); ++i) {
        if (i != 0) record.line.Append(',');
        UnpackHexDigits(record, 2, std::span<const std::uint8_t>(&date[i], 1));
    }
    return kHandlerAccepted;
}

// Reached after the Y/N confirmation with the chosen digit at the first field.
std::uint8_t StoreHandler210(ProgrammingState& state, TerminalRecord& record) {
    const std::uint8_t profile = ParseByteField(record, FirstFieldPosition(state), 1, 0, 1);
    if (profile == kFieldRefused) return kHandlerRejected;
    SetMaskBits(ProfileFlagByte(state.image), CurrentDescriptor(state).Mask(), profile);
    return LoadDefaultSettings(state.image, profile);
}

// Shows the flag with its own "c": the confirmation entry steps the cursor back over both, so
// that the digit typed next overwrites them.
std::uint8_t ShowHandler210(ProgrammingState& state, TerminalRecord& record) {
    AppendMaskFlag(record, ProfileFlagByte(state.image), CurrentDescriptor(state).Mask());
    record.line.Append('c');
    return kHandlerAccepted;
}

}  // namespace qzs
