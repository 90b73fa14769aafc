#include "programming/packed_digits.h"

#include "programming/digit_fields.h"

namespace qzs {

namespace {

constexpr std::uint8_t kMatch = 0;
constexpr std::uint8_t kMismatch = 2;

enum class Order { kHighFirst, kLowFirst };

// The code has nibbles for the blank, the ten digits and five signs only. Giving any other
// character its code minus '0' would let it carry bits above the nibble into its neighbour (a
// letter) or store a sign it does not stand for (':' as '0'); it packs as 0 instead, so the
// neighbour stays intact and the verify that follows every pack reports the difference.
std::uint8_t DialNibble(char c) {
    switch (c) {
        case '0':
            return 10;
        case '#':
            return 11;
        case 'c':
            return 12;
        case ',':
            return 13;
        case '-':
            return 14;
        case '=':
            return 15;
        default:
            return DialDigitValue(c);  // '1'-'9' -> 1-9, blank and the rest 0
    }
}

// The display character of a dial nibble, 1-15.
char DialChar(std::uint8_t nibble) {
    static constexpr char kChars[16] = {' ', '1', '2', '3', '4', '5', '6', '7',
                                        '8', '9', '0', '#', 'c', ',', '-', '='};
    return kChars[nibble & 0x0F];
}

// Two-character code: as the dial code with '0' at 0. The blank has no code; it and every other
// character without one pack as 0 and read back as '0', which the verify reports.
std::uint8_t TwoCharNibble(char c) {
    return c == '0' ? 0 : DialNibble(c);
}

char TwoCharChar(std::uint8_t nibble) {
    // Nibble 10 has no character of its own and reads back as the one after '9'.
    static constexpr char kChars[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                        '8', '9', ':', '#', 'c', ',', '-', '='};
    return kChars[nibble & 0x0F];
}

std::uint8_t HexNibble(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    return 0;  // no hexadecimal digit: must not reach the neighbouring nibble
}

bool InHighNibble(std::size_t i, Order order) {
    return (i % 2 == 0) == (order == Order::kHighFirst);
}

std::uint8_t NibbleAt(std::uint8_t byte, bool high) {
    return static_cast<std::uint8_t>(high ? byte >> 4 : byte & 0x0F);
}

void PutNibble(std::uint8_t& byte, bool high, std::uint8_t nibble) {
    nibble &= 0x0F;
    byte = high ? static_cast<std::uint8_t>((byte & 0x0F) | nibble << 4)
                : static_cast<std::uint8_t>((byte & 0xF0) | nibble);
}

template <typename Encode>
void PackNibbles(const DisplayLine& line, std::uint8_t n, std::uint8_t p,
                 std::span<std::uint8_t> bytes, Order order, Encode encode) {
    for (std::size_t i = 0; i < n && i / 2 < bytes.size(); ++i) {
        PutNibble(bytes[i / 2], InHighNibble(i, order), encode(line.At(std::size_t{p} + i)));
    }
}

template <typename Decode>
std::uint8_t VerifyNibbles(const DisplayLine& line, std::uint8_t n, std::uint8_t p,
                           std::span<const std::uint8_t> bytes, Order order, Decode decode) {
    for (std::size_t i = 0; i < n; ++i) {
        if (i / 2 >= bytes.size()) return kMismatch;
        const std::uint8_t nibble = NibbleAt(bytes[i / 2], InHighNibble(i, order));
        if (decode(nibble) != line.At(std::size_t{p} + i)) return kMismatch;
    }
    return kMatch;
}

// Appends the characters of up to n nibbles, ending before the first nibble equal to `end`
// (none ends the walk when `end` lies outside 0-15).
template <typename Decode>
void UnpackNibbles(DisplayLine& line, std::uint8_t n, std::span<const std::uint8_t> bytes,
                   Order order, unsigned end, Decode decode) {
    for (std::size_t i = 0; i < n && i / 2 < bytes.size(); ++i) {
        const std::uint8_t nibble = NibbleAt(bytes[i / 2], InHighNibble(i, order));
        if (nibble == end) return;
        line.Append(decode(nibble));
    }
}

constexpr unsigned kNoEnd = 16;

// Bit n of an array of little-endian 16-bit words: byte 2 (n div 16) + (n mod 16) div 8.
std::size_t WordBitByte(std::size_t bit) {
    return bit / 16 * 2 + bit % 16 / 8;
}

}  // namespace

void PackDialDigits(const TerminalRecord& record, std::uint8_t n, std::uint8_t p,
                    std::span<std::uint8_t> bytes) {
    PackNibbles(record.line, n, p, bytes, Order::kHighFirst, DialNibble);
}

std::uint8_t VerifyDialDigits(const TerminalRecord& record, std::uint8_t n, std::uint8_t p,
                              std::span<const std::uint8_t> bytes) {
    return VerifyNibbles(record.line, n, p, bytes, Order::kHighFirst, DialChar);
}

void UnpackDialDigits(TerminalRecord& record, std::uint8_t n, std::span<const std::uint8_t> bytes) {
    UnpackNibbles(record.line, n, bytes, Order::kHighFirst, 0, DialChar);
}

void PackDialDigitsLowFirst(const TerminalRecord& record, std::uint8_t n, std::uint8_t p,
                            std::span<std::uint8_t> bytes) {
    PackNibbles(record.line, n, p, bytes, Order::kLowFirst, DialNibble);
}

std::uint8_t VerifyDialDigitsLowFirst(const TerminalRecord& record, std::uint8_t n, std::uint8_t p,
                                      std::span<const std::uint8_t> bytes) {
    return VerifyNibbles(record.line, n, p, bytes, Order::kLowFirst, DialChar);
}

void UnpackDialDigitsLowFirst(TerminalRecord& record, std::uint8_t n,
                              std::span<const std::uint8_t> bytes) {
    UnpackNibbles(record.line, n, bytes, Order::kLowFirst, 0, DialChar);
}

void UnpackBcdDigits(TerminalRecord& record, std::uint8_t n, std::span<const std::uint8_t> bytes) {
    UnpackNibbles(record.line, n, bytes, Order::kHighFirst, 15,
                  [](std::uint8_t nibble) { return static_cast<char>('0' + nibble); });
}

void SetBitFromEntry(std::size_t bit, std::uint8_t value, std::span<std::uint8_t> bytes) {
    if (bit / 8 >= bytes.size()) return;
    const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
    if (value == 0) bytes[bit / 8] = static_cast<std::uint8_t>(bytes[bit / 8] & ~mask);
    if (value == 1) bytes[bit / 8] = static_cast<std::uint8_t>(bytes[bit / 8] | mask);
}

std::uint8_t VerifyBit(std::size_t bit, std::uint8_t value, std::span<const std::uint8_t> bytes) {
    if (bit / 8 >= bytes.size()) return kMismatch;
    const unsigned actual = bytes[bit / 8] >> (bit % 8) & 1u;
    return actual == value ? kMatch : kMismatch;
}

void AppendBit(TerminalRecord& record, std::size_t bit, std::span<const std::uint8_t> bytes) {
    if (bit / 8 >= bytes.size()) return;
    record.line.Append((bytes[bit / 8] >> (bit % 8) & 1u) ? '1' : '0');
}

// A little-endian word array holds bit n of word k in byte 2k or 2k + 1, so these are the byte
// operations on that byte; the length check keeps whole words.
void SetWordBit(std::size_t bit, std::uint8_t value, std::span<std::uint8_t> words) {
    if (bit / 16 >= words.size() / 2) return;
    SetBitFromEntry(WordBitByte(bit) * 8 + bit % 8, value, words);
}

std::uint8_t VerifyWordBit(std::size_t bit, std::uint8_t value,
                           std::span<const std::uint8_t> words) {
    if (bit / 16 >= words.size() / 2) return kMismatch;
    return VerifyBit(WordBitByte(bit) * 8 + bit % 8, value, words);
}

void AppendWordBit(TerminalRecord& record, std::size_t bit, std::span<const std::uint8_t> words) {
    if (bit / 16 >= words.size() / 2) return;
    AppendBit(record, WordBitByte(bit) * 8 + bit % 8, words);
}

void PackHexDigits(const TerminalRecord& record, std::uint8_t n, std::uint8_t p,
                   std::span<std::uint8_t> bytes) {
    PackNibbles(record.line, n, p, bytes, Order::kHighFirst, HexNibble);
}

std::uint8_t VerifyHexDigits(const TerminalRecord& record, std::uint8_t n, std::uint8_t p,
                             std::span<const std::uint8_t> bytes) {
    return VerifyNibbles(record.line, n, p, bytes, Order::kHighFirst, NibbleToHexChar);
}

void UnpackHexDigits(TerminalRecord& record, std::uint8_t n, std::span<const std::uint8_t> bytes) {
    UnpackNibbles(record.line, n, bytes, Order::kHighFirst, kNoEnd, NibbleToHexChar);
}

std::uint8_t ClearPackedDigits(std::uint8_t n, std::span<std::uint8_t> bytes) {
    const std::size_t whole = n / 2;
    for (std::size_t k = 0; k < whole && k < bytes.size(); ++k) bytes[k] = 0;
    if (whole + (n % 2) > bytes.size()) return kMismatch;
    if (n % 2 == 0) return kMatch;
    bytes[whole] &= 0x0F;
    return bytes[whole] != 0 ? kMismatch : kMatch;
}

void PackTwoCharCode(const TerminalRecord& record, std::uint8_t p, std::uint8_t& byte) {
    std::span<std::uint8_t> one(&byte, 1);
    PackNibbles(record.line, 2, p, one, Order::kHighFirst, TwoCharNibble);
}

std::uint8_t VerifyTwoCharCode(const TerminalRecord& record, std::uint8_t p, std::uint8_t byte) {
    return VerifyNibbles(record.line, 2, p, std::span<const std::uint8_t>(&byte, 1),
                         Order::kHighFirst, TwoCharChar);
}

void AppendTwoCharCode(TerminalRecord& record, std::uint8_t byte) {
    record.line.Append(TwoCharChar(static_cast<std::uint8_t>(byte >> 4)));
    record.line.Append(TwoCharChar(static_cast<std::uint8_t>(byte & 0x0F)));
}

}  // namespace qzs
