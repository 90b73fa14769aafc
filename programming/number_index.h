// The system speed-dial rows and the sorted index of their numbers (NumberIndex, block 171).
//
// An index entry holds row + 1 of a system row, 0 for an empty entry. The empty entries stand at
// the low end and the rows follow in ascending order of their number text, so the last row sits at
// the index of the layout's row count (80, 600 or 1000). Entries come from a block that files and
// the main unit overwrite: every one is bounded before it is used as a row, and an index whose
// entries are out of range, twice present or mixed with empties is rebuilt from the rows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qzs {

class DataImage;

// --- Speed-dial rows (block 169) ---

inline constexpr int kSpeedDialBlock = 169;
inline constexpr int kSpeedDialModeBlock = 160;  // SpeedDialRowsMode: 0, 1 or 2
inline constexpr std::size_t kSpeedDialRecordBytes = 71;
inline constexpr std::size_t kSpeedDialRowCount = 1880;
inline constexpr std::size_t kSpeedDialNumberByte = 0;  // 24 nibbles, low nibble first
inline constexpr std::size_t kSpeedDialNumberDigits = 24;
inline constexpr std::size_t kSpeedDialKanaByte = 25;
inline constexpr std::size_t kSpeedDialKanjiByte = 46;
inline constexpr std::size_t kSpeedDialNameBytes = 20;
inline constexpr std::size_t kSpeedDialGroupByte = 67;
// The largest system-row layout; no index entry names a row beyond it.
inline constexpr std::size_t kMaxSystemRows = 1000;

// System rows of a layout mode (0: 80, 1: 600, 2: 1000); 0 for another mode.
std::size_t SystemRowsOfMode(int mode);

// The 71 bytes of row r; empty for a row outside the block.
std::span<std::uint8_t> SpeedDialRow(DataImage& image, std::size_t row);
std::span<const std::uint8_t> SpeedDialRow(const DataImage& image, std::size_t row);

// --- Number texts ---

// A number as text: '1'-'9', '0', '*', '#', 'P', '-', 'M' (codes 1-15), ending at the first 0
// byte and 0-filled to 24 characters.
using NumberText = std::array<char, kSpeedDialNumberDigits>;

// The text of up to 24 characters (stopping at a 0 byte), 0-filled.
NumberText MakeNumberText(std::string_view text);
// The 24 nibbles of a stored number (low nibble first) as text, ending at the first nibble 0.
NumberText UnpackSpeedDialNumber(std::span<const std::uint8_t, 12> stored);
// Compares two texts as unsigned bytes; the end of a text sorts before any character. Answers 0
// when equal, 1 when a sorts after b, 2 when a sorts before b.
int CompareSpeedDialNumber(const NumberText& a, const NumberText& b);

// --- The index (block 171) ---

inline constexpr int kNumberIndexBlock = 171;
inline constexpr std::size_t kNumberIndexEntries = 1001;
inline constexpr std::uint16_t kNumberIndexLast = 600;  // the range of the 600-row layout
inline constexpr std::uint16_t kIndexNotFound = 0xFFFF;
// Flags of a search that found nothing, beside the last index probed (low 12 bits): the last
// probe compared greater (the text belongs before it) or smaller (after it).
inline constexpr std::uint16_t kProbedLeft = 0x1000;
inline constexpr std::uint16_t kProbedRight = 0x2000;
inline constexpr std::uint16_t kProbeIndexMask = 0x0FFF;

std::uint16_t NumberIndexEntry(const DataImage& image, std::size_t index);

// Binary search of indexes 0 to last (at most 1000): the index of an entry whose row's number
// equals the text, else the last index probed with kProbedLeft or kProbedRight. Empty entries,
// and entries that name no system row, count as smaller than any text.
std::uint16_t FindNumberIndex(const DataImage& image, const NumberText& text, std::uint16_t last);
// FindNumberIndex over indexes 0-600.
std::uint16_t NumberIndexSearch(const DataImage& image, const NumberText& text);
// An index whose row holds the same number and is not row r; kIndexNotFound when no other row
// does. The equal neighbours of the entry found are looked at too, so a probe that lands on row r
// itself does not hide another row with the same number.
std::uint16_t NumberIndexOf(const DataImage& image, const NumberText& text, std::size_t row);

// Takes row r out of the index and, when its number is not empty, puts it back at its sorted
// place (before the rows with the same number). The mode sets the range: 0 -> indexes 0-80,
// 2 -> 0-600, 4 -> 0-1000; any other mode, or a row beyond the largest layout, does nothing.
void MoveInNumberIndex(DataImage& image, std::size_t row, int mode);

// Moves the index to a larger row count: when old_top is below new_top (at most 1000), entries
// 1 to old_top move to new_top - old_top + 1 to new_top and entries 0 to new_top - old_top
// become 0; otherwise nothing changes.
void ShiftWordList(DataImage& image, std::uint16_t new_top, std::uint16_t old_top);

// Refills indexes 0 to `rows` from the system rows 0 to rows - 1 (rows at most 1000): the rows
// with a number in ascending order of their number (rows with the same number in row order),
// ending at index `rows`, empties below.
void RebuildNumberIndex(DataImage& image, std::size_t rows);

// True when indexes 0 to last hold empties at the low end, then entries that each name a row of
// the largest layout once. The order of the numbers is not checked.
bool NumberIndexWellFormed(const DataImage& image, std::uint16_t last);

}  // namespace qzs
