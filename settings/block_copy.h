// Whole blocks of the data image copied in and out by their place in the directory (area 0-3 and
// the block's index within it), and a serializer that packs fixed groups of blocks back to back.
// Blocks that share storage stay shared: a copy into one is seen through the other. The settings
// outside the blocks travel with no block copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qzs {

struct ProgrammingState;

// Copies the block's bytes from the source into the block; answers 1 and the block's size. When
// the area and index name no block, or the source holds fewer bytes than the block, answers 0
// with size 0 and copies nothing. Takes the ApplicationLock.
int CopyBlockIn(ProgrammingState& state, int area, int index, std::span<const std::uint8_t> source,
                std::size_t& size);
// The same in the other direction.
int CopyBlockOut(ProgrammingState& state, int area, int index, std::span<std::uint8_t> target,
                 std::size_t& size);

// Groups of the serializer and the blocks they pack, in this order (area: indexes):
//   0  area 0: 0-105, 116-118      (unpacking: 0-105)
//   1  area 1: 1-38
//   2  area 2: 1-8, 11-19          (unpacking: 1-19)
//   3  groups 0, 1 and 2 in turn
//   4  area 2: 11 (the speed-dial rows)
//   5  area 2: 2-8, 11-13
//   6  area 2: 1-8, 11-13
//   7  area 2: 14-18               (unpacking: 10, 14-18)
//   8  area 3: 1
//   48 area 0: 0-105, 116-118      (unpacking only)
//   51 groups 48, 1 and 2 in turn  (unpacking only)
// Packs the group into the target; answers 1 and the bytes written. A group with no packing
// list, or a target too small for it, answers 0 with size 0 and writes nothing.
[[nodiscard]] int SerializeBlockGroup(ProgrammingState& state, int group,
                                      std::span<std::uint8_t> target, std::size_t& size);
// Unpacks the group's unpacking list from the source; answers 1 and the bytes read. A group with
// no such list, or a source shorter than it, answers 0 with size 0 and changes nothing.
[[nodiscard]] int DeserializeBlockGroup(ProgrammingState& state, int group,
                                        std::span<const std::uint8_t> source, std::size_t& size);
// The bytes SerializeBlockGroup writes for the group (for an unpacking-only group, the bytes its
// unpacking reads); 153 gives what the unpacking of group 2 reads; the stated figures for 9, 10
// and 11, which pack no block; 0 for other groups.
std::size_t BlockGroupSize(int group);

}  // namespace qzs
