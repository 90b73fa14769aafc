#include "programming/digit_fields.h"

#include <array>
#include <cstddef>
#include <optional>

namespace qzs {

namespace {

enum class BlankReads { kRefused, kZero };

// Reads n line characters as one decimal number. The number is built in 64 bits and the walk
// ends as soon as it passes the limit, so even a 16-digit field (or a longer one) can neither
// wrap round nor come back as a small value that happens to lie inside the range. A blank or a
// separator where a digit must stand refuses the field: it would otherwise add its low four bits
// as if it were a digit.
std::optional<std::uint64_t> ReadDecimal(const DisplayLine& line, std::uint8_t position,
                                         std::uint8_t n, BlankReads blank, std::uint64_t limit) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = line.At(std::size_t{position} + i);  // past the line: 0, not a digit
        std::uint64_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint64_t>(c - '0');
        } else if (c != ' ' || blank == BlankReads::kRefused) {
            return std::nullopt;
        }
        value = value * 10 + digit;
        if (value > limit) return std::nullopt;
    }
    return value;
}

template <typename T>
T ParseField(const TerminalRecord& record, std::uint8_t position, std::uint8_t n, T min, T max,
             BlankReads blank) {
    constexpr T kRefused = static_cast<T>(~T{0});
    const std::optional<std::uint64_t> value = ReadDecimal(record.line, position, n, blank, max);
    if (!value || *value < min) return kRefused;
    return static_cast<T>(*value);
}

// The digits are produced from the least significant end, so a value wider than the field
// keeps its low digits instead of putting a quotient above 15 through NibbleToHexChar.
void AppendDigits(DisplayLine& line, std::uint32_t value, std::uint8_t n, std::uint8_t base) {
    const std::uint32_t radix = base == 16 ? 16 : 10;  // the handlers ask for 10 or 16 only
    std::array<char, 255> digits{};
    for (std::size_t i = n; i > 0; --i) {
        digits[i - 1] = NibbleToHexChar(static_cast<std::uint8_t>(value % radix));
        value /= radix;
    }
    line.Append(std::string_view(digits.data(), n));
}

// A field of `mask` at `shift`: cleared, then set when first <= value <= last.
template <unsigned kShift, std::uint8_t kMask, std::uint8_t kFirst, std::uint8_t kLast>
void SetField(std::uint8_t value, std::uint8_t& byte) {
    byte = static_cast<std::uint8_t>(byte & ~(kMask << kShift));
    if (value >= kFirst && value <= kLast) byte = static_cast<std::uint8_t>(byte | value << kShift);
}

template <unsigned kShift, std::uint8_t kMask>
std::uint8_t GetField(std::uint8_t byte) {
    return static_cast<std::uint8_t>((byte >> kShift) & kMask);
}

}  // namespace

std::uint8_t ParseByteField(const TerminalRecord& record, std::uint8_t position, std::uint8_t n,
                            std::uint8_t min, std::uint8_t max) {
    return ParseField<std::uint8_t>(record, position, n, min, max, BlankReads::kRefused);
}

std::uint16_t ParseWordField(const TerminalRecord& record, std::uint8_t position, std::uint8_t n,
                             std::uint16_t min, std::uint16_t max) {
    return ParseField<std::uint16_t>(record, position, n, min, max, BlankReads::kZero);
}

std::uint32_t ParseDwordField(const TerminalRecord& record, std::uint8_t position, std::uint8_t n,
                              std::uint32_t min, std::uint32_t max) {
    return ParseField<std::uint32_t>(record, position, n, min, max, BlankReads::kZero);
}

std::uint8_t MeasureDigitField(const TerminalRecord& record, std::uint8_t position) {
    constexpr std::uint8_t kLongest = 16;
    std::uint8_t length = 0;
    bool all_digits = true;
    for (; length < kLongest; ++length) {
        const char c = record.line.At(std::size_t{position} + length);
        // The terminator past the 27th character ends the field like a blank.
        if (c == ' ' || c == '\0') break;
        if (c < '0' || c > '9') all_digits = false;
    }
    if (!all_digits && length != 1) return 255;
    return length;
}

std::uint8_t CountLeadingDigits(std::string_view text, std::uint8_t n) {
    std::uint8_t count = 0;
    while (count < n && count < text.size() && text[count] >= '0' && text[count] <= '9') ++count;
    return count;
}

std::uint8_t DialDigitValue(char c) {
    if (c == '0') return 10;
    if (c >= '1' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    return 0;
}

void AppendNumber(TerminalRecord& record, std::uint16_t value, std::uint8_t n, std::uint8_t base) {
    AppendDigits(record.line, value, n, base);
}

void AppendLongNumber(TerminalRecord& record, std::uint32_t value, std::uint8_t n,
                      std::uint8_t base) {
    AppendDigits(record.line, value, n, base);
}

char NibbleToHexChar(std::uint8_t value) {
    static constexpr std::string_view kHex = "0123456789ABCDEF";
    return kHex[value & 0x0F];
}

std::uint8_t HexCharToNibble(char c) {
    // Only '0'-'9' and 'A'-'F' reach here from the keypad; anything else is kept to a nibble so
    // that it cannot reach the neighbouring nibble of whatever the caller builds.
    const int code = static_cast<unsigned char>(c);
    const int value = (c >= '0' && c <= '9') ? code - '0' : code - 55;
    return static_cast<std::uint8_t>(value & 0x0F);
}

void SetBits67(std::uint8_t value, std::uint8_t& byte) {
    SetField<6, 0x03, 1, 3>(value, byte);
}
void SetBits45(std::uint8_t value, std::uint8_t& byte) {
    SetField<4, 0x03, 1, 3>(value, byte);
}
void SetBits23(std::uint8_t value, std::uint8_t& byte) {
    SetField<2, 0x03, 1, 3>(value, byte);
}
void SetBits01(std::uint8_t value, std::uint8_t& byte) {
    SetField<0, 0x03, 1, 3>(value, byte);
}
void SetBits57(std::uint8_t value, std::uint8_t& byte) {
    SetField<5, 0x07, 1, 7>(value, byte);
}
void SetBits02(std::uint8_t value, std::uint8_t& byte) {
    SetField<0, 0x07, 1, 7>(value, byte);
}
void SetBits46(std::uint8_t value, std::uint8_t& byte) {
    SetField<4, 0x07, 1, 7>(value, byte);
}
void SetBits34(std::uint8_t value, std::uint8_t& byte) {
    SetField<3, 0x03, 1, 3>(value, byte);
}
// Bits 1-2 take 1 and 2 only; 3 leaves the field 0 like any other value it does not list.
void SetBits12(std::uint8_t value, std::uint8_t& byte) {
    SetField<1, 0x03, 1, 2>(value, byte);
}

void SetHighNibble(std::uint8_t value, std::uint8_t& byte) {
    SetField<4, 0x0F, 0, 15>(static_cast<std::uint8_t>(value & 0x0F), byte);
}

// A value above 15 would have spilled into the high nibble; it is unlisted and leaves 0.
void SetLowNibble(std::uint8_t value, std::uint8_t& byte) {
    SetField<0, 0x0F, 0, 15>(value, byte);
}

void SetByteField(std::uint8_t value, std::uint8_t& byte) {
    byte = value;
}

void SetWordField(std::uint16_t value, std::span<std::uint8_t, 2> bytes) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

void SetDwordField(std::uint32_t value, std::span<std::uint8_t, 4> bytes) {
    for (std::size_t i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void SetOneHot(std::uint8_t n, std::uint8_t& byte) {
    byte = (n >= 1 && n <= 8) ? static_cast<std::uint8_t>(1u << (n - 1)) : 0;
}

std::uint8_t GetBits67(std::uint8_t byte) {
    return GetField<6, 0x03>(byte);
}
std::uint8_t GetBits45(std::uint8_t byte) {
    return GetField<4, 0x03>(byte);
}
std::uint8_t GetBits23(std::uint8_t byte) {
    return GetField<2, 0x03>(byte);
}
std::uint8_t GetBits01(std::uint8_t byte) {
    return GetField<0, 0x03>(byte);
}
std::uint8_t GetBits57(std::uint8_t byte) {
    return GetField<5, 0x07>(byte);
}
std::uint8_t GetBits02(std::uint8_t byte) {
    return GetField<0, 0x07>(byte);
}
std::uint8_t GetBits46(std::uint8_t byte) {
    return GetField<4, 0x07>(byte);
}
std::uint8_t GetBits34(std::uint8_t byte) {
    return GetField<3, 0x03>(byte);
}
std::uint8_t GetBits12(std::uint8_t byte) {
    return GetField<1, 0x03>(byte);
}
std::uint8_t GetHighNibble(std::uint8_t byte) {
    return GetField<4, 0x0F>(byte);
}
std::uint8_t GetLowNibble(std::uint8_t byte) {
    return GetField<0, 0x0F>(byte);
}
std::uint8_t GetByteField(std::uint8_t byte) {
    return byte;
}

std::uint16_t GetWordField(std::span<const std::uint8_t, 2> bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t GetDwordField(std::span<const std::uint8_t, 4> bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i > 0; --i) value = value << 8 | bytes[i - 1];
    return value;
}

std::uint8_t GetOneHotIndex(std::uint8_t byte) {
    std::uint8_t index = 0;
    for (std::uint8_t bit = 1; bit <= 8; ++bit) {
        if (byte & (1u << (bit - 1))) index = bit;
    }
    return index;
}

}  // namespace qzs
