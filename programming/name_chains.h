// Sorted circular chains through which the main unit browses by name: the system speed-dial rows
// by kana name (one chain of all rows and one per group 1-7, with a head per initial-character
// class), and the 128 port codes by name and by number.
//
// Links, heads and counts live in blocks that files and the main unit overwrite. Every link is
// bounded before it is followed and every walk stops after as many steps as there are nodes.
// Before a relink changes a chain, the chain's blocks are checked to agree with each other and
// with the rows: links in range and mutually inverse, one closed cycle holding every linked node,
// each class head on the first node of its class along it, the first-node word on the lowest
// head, the count equal to the cycle's length. A chain that does not is rebuilt from its rows;
// only then do bytes of a chain change beyond what the relink of the one entry writes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qzs {

class DataImage;

inline constexpr std::size_t kNameClassCount = 19;  // classes 0-18

// --- Speed-dial chains: node n = row + 1 ---

inline constexpr int kSpeedDialLinkBlock = 162;        // (previous, next) word pairs, node n at 4n
inline constexpr std::size_t kGroupLinkOffset = 4004;  // the second table: the group chains
inline constexpr int kSpeedDialClassHeadBlock = 163;   // words 0-18 heads, word 19 the count
inline constexpr int kSpeedDialGroupHeadBlock = 170;   // group g at byte 40g, same layout
inline constexpr int kSpeedDialFirstNodeBlock = 177;   // word 0 all names, word g group g
inline constexpr std::size_t kCountWord = 19;
inline constexpr std::size_t kSpeedDialGroupCount = 8;  // groups 1-7 are chained
inline constexpr std::size_t kMaxSpeedDialNode = 1000;
inline constexpr std::size_t kRelinkRowLimit = 600;  // rows 0-600 can be relinked

// --- Code chains: code c = 1-128 ---

inline constexpr std::size_t kCodeCount = 128;
inline constexpr int kCodeNameBlock = 153;  // 20 bytes per code; 10 are compared
inline constexpr std::size_t kCodeNameBytes = 20;
inline constexpr std::size_t kCodeNameCompared = 10;
inline constexpr int kCodeNumberBlock = 17;     // 8 bytes per code; bytes 0-1 four digit nibbles
inline constexpr int kCodeNameLinkBlock = 164;  // byte 2c previous, 2c + 1 next
inline constexpr int kCodeNameHeadBlock = 165;  // byte 0
inline constexpr std::size_t kCodeNumberChainBytes = 262;
inline constexpr std::size_t kCodeNumberHeadByte = 258;

// The number chain's links (byte 2c previous, 2c + 1 next) and head (byte 258), kept outside the
// blocks.
using CodeNumberChainArea = std::array<std::uint8_t, kCodeNumberChainBytes>;

// Initial-character class of a byte: half-width kana rows a-wa 0-9, Latin letters in groups of
// three (P-S and W-Z four) 10-17, everything else 18.
std::uint8_t NameClass(std::uint8_t byte);

// The name order over two fields of the same length (20 bytes of a kana name, the first 10 of a
// code name): -1 s before t, 1 s after t, 0 equal (also in any bytes after the names' end).
int CompareChainNames(std::span<const std::uint8_t> s, std::span<const std::uint8_t> t);
// Whether four digit nibbles (high first, ending at a nibble 0) sort before the others by digit
// rank ('#' first, then '0', '1'-'9', then the signs); equal numbers are not before.
bool CodeNumberBefore(std::array<std::uint8_t, 2> s, std::array<std::uint8_t, 2> t);

// Rows 0-600: takes node row + 1 out of the all-names chain and its group chain and links it
// back into both by its current kana name and group (1-7; other groups are in no group chain).
// A row with an empty kana name stays out. Rows with the same name keep the order in which they
// were linked. A larger row changes nothing.
void RelinkSpeedDialChains(DataImage& image, std::size_t row);

// Code 0 empties the code name chain (bytes 0-259 of block 164 and all of block 165); codes
// 1-128 are taken out and, when their name is not empty, linked back at their sorted place
// (equal names ordered by number); a code above 128 changes nothing.
void RelinkNameChain(DataImage& image, unsigned code);
// The same for the number chain, which holds codes with an empty number too; code 0 empties
// its whole area.
void RelinkSecondChain(DataImage& image, unsigned code);

// Empties every speed-dial chain with its heads, counts and first nodes.
void ClearSpeedDialChains(DataImage& image);

// True when the chain's blocks agree with each other as described above.
bool SpeedDialNameChainWellFormed(const DataImage& image);
bool SpeedDialGroupChainsWellFormed(const DataImage& image);
bool CodeNameChainWellFormed(const DataImage& image);
bool CodeNumberChainWellFormed(const DataImage& image);

}  // namespace qzs
