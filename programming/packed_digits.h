// Dial strings, hexadecimal strings, single bits and two-character codes as the data image packs
// them, and the display characters they stand for. Three shapes recur:
//   pack:   n line characters from line position p into a byte array;
//   verify: the packed array against the same n line characters: 0 equal, 2 different (the
//           read-back answer of a store);
//   append: the characters of a packed array at the end of the display line.
// Every nibble written stays within its four bits, and nothing is read or written outside the
// array given: a verify that would need more than the array holds answers 2.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "programming/terminal.h"

namespace qzs {

// Dial-digit code, one nibble per character: 0 end of string (a blank on the line), 1-9 '1'-'9',
// 10 '0', 11 '#', 12 'c', 13 ',', 14 '-', 15 '='. Any other character has no code and packs as 0,
// which the verify then reports.

// High first: character 2k in the high nibble of byte k, character 2k+1 in the low nibble. For
// odd n the low nibble of the last byte keeps its old value.
void PackDialDigits(const TerminalRecord& record, std::uint8_t n, std::uint8_t p,
                    std::span<std::uint8_t> bytes);
std::uint8_t VerifyDialDigits(const TerminalRecord& record, std::uint8_t n, std::uint8_t p,
                              std::span<const std::uint8_t> bytes);
// Appends up to n characters, stopping before the first nibble 0.
void UnpackDialDigits(TerminalRecord& record, std::uint8_t n, std::span<const std::uint8_t> bytes);

// Low first: character 2k in the low nibble, character 2k+1 in the high nibble. For odd n the
// high nibble of the last byte keeps its old value.
void PackDialDigitsLowFirst(const TerminalRecord& record, std::uint8_t n, std::uint8_t p,
                            std::span<std::uint8_t> bytes);
std::uint8_t VerifyDialDigitsLowFirst(const TerminalRecord& record, std::uint8_t n, std::uint8_t p,
                                      std::span<const std::uint8_t> bytes);
void UnpackDialDigitsLowFirst(TerminalRecord& record, std::uint8_t n,
                              std::span<const std::uint8_t> bytes);

// Appends '0' + nibble for up to n nibbles, high first, stopping before the first nibble 15.
void UnpackBcdDigits(TerminalRecord& record, std::uint8_t n, std::span<const std::uint8_t> bytes);

// Bit n of a byte array is bit n mod 8 of byte n div 8. Value 0 clears it, 1 sets it, any other
// value leaves it.
void SetBitFromEntry(std::size_t bit, std::uint8_t value, std::span<std::uint8_t> bytes);
std::uint8_t VerifyBit(std::size_t bit, std::uint8_t value, std::span<const std::uint8_t> bytes);
// Appends '0' or '1'.
void AppendBit(TerminalRecord& record, std::size_t bit, std::span<const std::uint8_t> bytes);

// The same on an array of little-endian 16-bit words: bit n mod 16 of word n div 16.
void SetWordBit(std::size_t bit, std::uint8_t value, std::span<std::uint8_t> words);
std::uint8_t VerifyWordBit(std::size_t bit, std::uint8_t value,
                           std::span<const std::uint8_t> words);
void AppendWordBit(TerminalRecord& record, std::size_t bit, std::span<const std::uint8_t> words);

// Upper-case hexadecimal characters, one a nibble, high first. A character other than '0'-'9'
// and 'A'-'F' packs as 0. For odd n the low nibble of the last byte keeps its old value.
void PackHexDigits(const TerminalRecord& record, std::uint8_t n, std::uint8_t p,
                   std::span<std::uint8_t> bytes);
std::uint8_t VerifyHexDigits(const TerminalRecord& record, std::uint8_t n, std::uint8_t p,
                             std::span<const std::uint8_t> bytes);
// Appends exactly n characters (no end marker).
void UnpackHexDigits(TerminalRecord& record, std::uint8_t n, std::span<const std::uint8_t> bytes);

// Clears the first n div 2 bytes; for odd n also the high nibble of the next byte, answering 2
// when that byte's low nibble is not 0 (or when the array is shorter than n digits), else 0.
std::uint8_t ClearPackedDigits(std::uint8_t n, std::span<std::uint8_t> bytes);

// Two line characters in one byte, the first in the high nibble: the dial-digit nibbles except
// that '0' is 0. A blank, like any character without a code, packs as 0 and so reads back as
// '0'. Nibble 10 reads back as ':'.
void PackTwoCharCode(const TerminalRecord& record, std::uint8_t p, std::uint8_t& byte);
std::uint8_t VerifyTwoCharCode(const TerminalRecord& record, std::uint8_t p, std::uint8_t byte);
void AppendTwoCharCode(TerminalRecord& record, std::uint8_t byte);

}  // namespace qzs
