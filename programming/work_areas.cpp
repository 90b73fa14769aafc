#include "programming/work_areas.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace qzs {
namespace {

struct ByteRun {
    int block;
    std::size_t first;
    std::size_t count;
};

constexpr std::size_t kWorkEntries = 129;
constexpr std::array<ByteRun, 4> kWorkRuns{{
    {164, 0, kWorkEntries * 2},
    {164, 260, kWorkEntries * 2},
    {165, 0, 20},
    {166, 0, 20},
}};

}  // namespace

void ClearWorkAreas(DataImage& image) {
    for (const auto& run : kWorkRuns) {
        auto block = image.Block(run.block);
        const std::size_t first = std::min(run.first, block.size());
        const std::size_t count = std::min(run.count, block.size() - first);
        std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(first), count, std::uint8_t{0});
    }
}

}  // namespace qzs
