// Emptying whole data tables (at start-up and when the speed-dial layout changes) and the two
// small clean-ups that store handlers call.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qzs {

class DataImage;
struct ModifiedFlags;

inline constexpr std::size_t kPortCodeRecordCount = 144;

// Two per-port tables outside the blocks whose two-byte entries hold codes: 12-byte records with
// entries at bytes 4 and 6, and 4-byte records with entries at bytes 0 and 2; record k (1-144) at
// k - 1. An entry whose first byte is 240 or more is no code.
struct PortCodeTables {
    std::array<std::array<std::uint8_t, 12>, kPortCodeRecordCount> records{};
    std::array<std::array<std::uint8_t, 4>, kPortCodeRecordCount> pairs{};
};

// Mode 0, 1 or 2: zeroes every block of directory area 0, 1 or 2; another mode does nothing.
void ClearDataTables(DataImage& image, int mode);
// Clears the per-telephone speed-dial rows of the layout: mode 0 the first 12 bytes of the
// number and of both names and the group byte of rows 80-1359; mode 1 rows 600-1879 whole; mode 2
// rows 1000-1639 whole. Another mode does nothing.
void ClearTelephoneSpeedDial(DataImage& image, int mode);
// Clears the system rows of the layout (mode 0: the first 12 bytes of the number and names of
// rows 0-79; mode 1 rows 0-599 whole; mode 2 rows 0-999 whole), setting each row's group to 1;
// then, whatever the mode, empties the name chains with their heads, the number index and the
// 2,000 bytes of block 142.
void ClearSystemSpeedDial(DataImage& image, int mode);
// Zeroes block 167 and the first 5 bytes of block 125.
void ClearListWorkArea(DataImage& image);
// Clears every entry of the two port code tables whose first byte is 240 or more, marking record
// k modified for each entry cleared in it.
void ClearInvalidEntries(DataImage& image, ModifiedFlags& flags);

// Block 38 holds rows of 30 one-byte entries (row r at byte 96r, rows 1-3); block 37 holds, for
// each value v (1-24), a 16-bit mask at bytes 4-5 of its 6-byte entry with bit r set while v
// stands in row r.

// Clears member n (1-30) of row a (1-3) and, when the value it held stands nowhere else in the
// row, row a's bit in that value's mask. A row or member outside those ranges changes nothing; a
// held value above 24 has no mask, so only the member is cleared.
void RemoveGroupMembership(DataImage& image, std::uint8_t row, std::uint8_t member);
// True when the value stands in none of the 30 entries of row 1-3 other than the 1-based
// position. Entries compare as bytes, so 0 matches empty entries. A row outside 1-3 answers false.
bool IsValueUnusedInRow(const DataImage& image, std::uint8_t row, std::uint8_t position,
                        std::uint8_t value);

}  // namespace qzs
