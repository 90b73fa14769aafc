// The two fixed sets of timer and number values that the confirmed setting *9361 loads, and the
// checked setters it writes them through. Each setter answers 0 (written and read back equal),
// 1 (an argument out of range; nothing written) or 2 (read back different).
#pragma once

#include <cstdint>

namespace qzs {

class DataImage;

// Block 91, byte item - 1: set 1, item 1-3, value 0-99.
std::uint8_t SetProfileByte(DataImage& image, unsigned set, unsigned item, unsigned value);
// Block 32, the 16-bit word of row 1-13, word 1-3, at byte 12 x row + 2 x (word - 1): set 1,
// value 2-998.
std::uint8_t SetProfileWord(DataImage& image, unsigned set, unsigned row, unsigned word,
                            unsigned value);
// Block 57, entry 1-64 of 20 bytes: byte 0 = the byte value, then the number's two bytes (a dial
// number packed high nibble first) in bytes 1 and 2, bytes 3-6 cleared. Entry n with byte and
// number 0 clears bytes 0-6 of that entry; entry 0 with both 0 clears them in all 64 entries.
std::uint8_t SetEntryNumber(DataImage& image, unsigned entry, unsigned byte, std::uint16_t number);
// Block 57, the word 1-3 of an entry at bytes 8, 10, 12: value at most 998 and not 1. Entry 0 with
// the value 0 clears that word in all 64 entries.
std::uint8_t SetEntryWord(DataImage& image, unsigned entry, unsigned word, unsigned value);
// Block 57, byte 14 of entry 1-64: value 0-99.
std::uint8_t SetEntryByte(DataImage& image, unsigned entry, unsigned value);

// Loads profile 0 or 1 and answers the first nonzero setter answer (what was written before it
// stays); another profile answers 1 and changes nothing.
[[nodiscard]] std::uint8_t LoadDefaultSettings(DataImage& image, unsigned profile);

}  // namespace qzs
