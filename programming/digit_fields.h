// Typed numbers on a terminal's display line and the packed fields of the data image: the
// parsers and formatters every handler reads and writes with, and the bit-field setters and
// getters. Plain functions without state.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "programming/terminal.h"

namespace qzs {

// --- Reading digits from the display line (positions 0-26 of the record's line) ---

// The n characters from the position read as one decimal number; 255 when it lies outside
// [min, max] or when a character is not a digit ('0'-'9'). So 255 is never a valid value.
std::uint8_t ParseByteField(const TerminalRecord& record, std::uint8_t position, std::uint8_t n,
                            std::uint8_t min, std::uint8_t max);
// The same with 0xFFFF outside [min, max]; a blank reads as 0, any other non-digit refuses.
std::uint16_t ParseWordField(const TerminalRecord& record, std::uint8_t position, std::uint8_t n,
                             std::uint16_t min, std::uint16_t max);
// The same with 0xFFFFFFFF outside [min, max]; a blank reads as 0, any other non-digit refuses.
std::uint32_t ParseDwordField(const TerminalRecord& record, std::uint8_t position, std::uint8_t n,
                              std::uint32_t min, std::uint32_t max);

// Length of the field from the position up to the first blank or the end of the line, at most
// 16; 255 when one of its characters is not a digit, except that a one-character field gives 1.
std::uint8_t MeasureDigitField(const TerminalRecord& record, std::uint8_t position);
// Characters '0'-'9' at the start of the text, at most n (and at most the text's length).
std::uint8_t CountLeadingDigits(std::string_view text, std::uint8_t n);
// '1'-'9' -> 1-9, '0' -> 10, anything else 0: the digit values of the dial-digit code.
std::uint8_t DialDigitValue(char c);

// --- Writing digits onto the display line ---

// Appends exactly n digits of the value, most significant first, leading zeros kept. A value
// wider than n digits shows its low n digits. Base 16 gives upper-case hexadecimal digits, any
// other base decimal. The line takes what fits.
void AppendNumber(TerminalRecord& record, std::uint16_t value, std::uint8_t n, std::uint8_t base);
void AppendLongNumber(TerminalRecord& record, std::uint32_t value, std::uint8_t n,
                      std::uint8_t base);
// 0-9 -> '0'-'9', 10-15 -> 'A'-'F'; only the low four bits of the value count.
char NibbleToHexChar(std::uint8_t value);
// '0'-'9' -> 0-9, any other character its code minus 55 ('A' -> 10), kept to four bits.
std::uint8_t HexCharToNibble(char c);

// --- Bit fields of the data image ---
// A setter first clears its field, then sets it; a value it does not list leaves the field 0.
// Nothing outside the field changes. A getter answers the field's value from the byte.

void SetBits67(std::uint8_t value, std::uint8_t& byte);      // 1-3
void SetBits45(std::uint8_t value, std::uint8_t& byte);      // 1-3
void SetBits23(std::uint8_t value, std::uint8_t& byte);      // 1-3
void SetBits01(std::uint8_t value, std::uint8_t& byte);      // 1-3
void SetBits57(std::uint8_t value, std::uint8_t& byte);      // 1-7
void SetBits02(std::uint8_t value, std::uint8_t& byte);      // 1-7
void SetBits46(std::uint8_t value, std::uint8_t& byte);      // 1-7
void SetBits34(std::uint8_t value, std::uint8_t& byte);      // 1-3
void SetBits12(std::uint8_t value, std::uint8_t& byte);      // 1 and 2 only
void SetHighNibble(std::uint8_t value, std::uint8_t& byte);  // the value's low four bits
void SetLowNibble(std::uint8_t value, std::uint8_t& byte);   // 0-15
void SetByteField(std::uint8_t value, std::uint8_t& byte);
// Little-endian words.
void SetWordField(std::uint16_t value, std::span<std::uint8_t, 2> bytes);
void SetDwordField(std::uint32_t value, std::span<std::uint8_t, 4> bytes);
// The whole byte as one bit: n 1-8 -> 1 << (n - 1); any other n leaves the byte 0.
void SetOneHot(std::uint8_t n, std::uint8_t& byte);

std::uint8_t GetBits67(std::uint8_t byte);
std::uint8_t GetBits45(std::uint8_t byte);
std::uint8_t GetBits23(std::uint8_t byte);
std::uint8_t GetBits01(std::uint8_t byte);
std::uint8_t GetBits57(std::uint8_t byte);
std::uint8_t GetBits02(std::uint8_t byte);
std::uint8_t GetBits46(std::uint8_t byte);
std::uint8_t GetBits34(std::uint8_t byte);
std::uint8_t GetBits12(std::uint8_t byte);
std::uint8_t GetHighNibble(std::uint8_t byte);
std::uint8_t GetLowNibble(std::uint8_t byte);
std::uint8_t GetByteField(std::uint8_t byte);
std::uint16_t GetWordField(std::span<const std::uint8_t, 2> bytes);
std::uint32_t GetDwordField(std::span<const std::uint8_t, 4> bytes);
// 1-based number of the highest set bit (1 for 0x01, 8 for 0x80); 0 for 0.
std::uint8_t GetOneHotIndex(std::uint8_t byte);

}  // namespace qzs
