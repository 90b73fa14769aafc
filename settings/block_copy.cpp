#include "settings/block_copy.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <vector>

#include "programming/data_image.h"
#include "programming/state.h"

namespace qzs {
namespace {

// Indexes first to last of one area.
struct Run {
    int area;
    int first;
    int last;
};

using RunList = std::vector<Run>;

// The blocks of a group in packing order; empty for a group without such a list.
RunList PackList(int group) {
    switch (group) {
        case 0:
            return {{0, 0, 105}, {0, 116, 118}};
        case 1:
            return {{1, 1, 38}};
        case 2:
            return {{2, 1, 8}, {2, 11, 19}};
        case 3: {
            RunList all = PackList(0);
            for (int g : {1, 2}) {
                const RunList more = PackList(g);
                all.insert(all.end(), more.begin(), more.end());
            }
            return all;
        }
        case 4:
            return {{2, 11, 11}};
        case 5:
            return {{2, 2, 8}, {2, 11, 13}};
        case 6:
            return {{2, 1, 8}, {2, 11, 13}};
        case 7:
            return {{2, 14, 18}};
        case 8:
            return {{3, 1, 1}};
        default:
            return {};
    }
}

// Unpacking reads other lists for some groups: the full runs of area 0 and area 2, and the
// paged-button block before the key tables of group 7.
RunList UnpackList(int group) {
    switch (group) {
        case 0:
            // The stored group also fed the sheet-line buffer with the whole packed buffer; this
            // program has no such buffer behind the serializer, and nothing unpacks group 0.
            return {{0, 0, 105}};
        case 2:
            return {{2, 1, 19}};
        case 3:
        case 51: {
            RunList all = UnpackList(group == 3 ? 0 : 48);
            for (int g : {1, 2}) {
                const RunList more = UnpackList(g);
                all.insert(all.end(), more.begin(), more.end());
            }
            return all;
        }
        case 7:
            return {{2, 10, 10}, {2, 14, 18}};
        case 48:
            return {{0, 0, 105}, {0, 116, 118}};
        default:
            return PackList(group);
    }
}

std::size_t ListBytes(const RunList& list) {
    std::size_t bytes = 0;
    for (const Run& r : list) {
        for (int i = r.first; i <= r.last; ++i) bytes += BlockSize(AreaBlock(r.area, i));
    }
    return bytes;
}

}  // namespace

int CopyBlockIn(ProgrammingState& state, int area, int index, std::span<const std::uint8_t> source,
                std::size_t& size) {
    ApplicationLock::Guard guard(state.lock);
    size = 0;
    const std::span<std::uint8_t> block = state.image.Block(AreaBlock(area, index));
    if (block.empty() || source.size() < block.size()) return 0;
    std::copy_n(source.begin(), block.size(), block.begin());
    size = block.size();
    return 1;
}

int CopyBlockOut(ProgrammingState& state, int area, int index, std::span<std::uint8_t> target,
                 std::size_t& size) {
    ApplicationLock::Guard guard(state.lock);
    size = 0;
    const std::span<const std::uint8_t> block = state.image.Block(AreaBlock(area, index));
    if (block.empty() || target.size() < block.size()) return 0;
    std::copy(block.begin(), block.end(), target.begin());
    size = block.size();
    return 1;
}

int SerializeBlockGroup(ProgrammingState& state, int group, std::span<std::uint8_t> target,
                        std::size_t& size) {
    ApplicationLock::Guard guard(state.lock);
    size = 0;
    const RunList list = PackList(group);
    const std::size_t bytes = ListBytes(list);
    if (list.empty() || target.size() < bytes) return 0;
    std::size_t at = 0;
    for (const Run& r : list) {
        for (int i = r.first; i <= r.last; ++i) {
            std::size_t copied = 0;
            CopyBlockOut(state, r.area, i, target.subspan(at), copied);
            at += copied;
        }
    }
    size = at;
    return 1;
}

int DeserializeBlockGroup(ProgrammingState& state, int group, std::span<const std::uint8_t> source,
                          std::size_t& size) {
    ApplicationLock::Guard guard(state.lock);
    size = 0;
    const RunList list = UnpackList(group);
    const std::size_t bytes = ListBytes(list);
    if (list.empty() || source.size() < bytes) return 0;
    std::size_t at = 0;
    for (const Run& r : list) {
        for (int i = r.first; i <= r.last; ++i) {
            std::size_t copied = 0;
            CopyBlockIn(state, r.area, i, source.subspan(at), copied);
            at += copied;
        }
    }
    size = at;
    return 1;
}

std::size_t BlockGroupSize(int group) {
    // Stated sizes of groups that pack no block of this image; kept for whoever sizes a buffer by
    // them.
    switch (group) {
        case 9:
            return 181298;
        case 10:
            return 0x9000;
        case 11:
            return 108;
        case 48:
        case 51:
            return ListBytes(UnpackList(group));
        case 153:  // what the unpacking of group 2 reads
            return ListBytes(UnpackList(2));
        default:
            return ListBytes(PackList(group));
    }
}

}  // namespace qzs
