#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "programming/data_image.h"
#include "programming/state.h"
#include "settings/block_copy.h"

namespace qzs {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t n, unsigned seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed * 31 + i * 7 + 1);
    return b;
}

Bytes BlockBytes(const ProgrammingState& state, int block) {
    const auto span = state.image.Block(block);
    return Bytes(span.begin(), span.end());
}

class BlockCopyTest : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();

    void FillEveryBlock() {
        for (int b = 0; b < kBlockCount; ++b) {
            const Bytes p = Pattern(BlockSize(b), static_cast<unsigned>(b));
            std::ranges::copy(p, state->image.Block(b).begin());
        }
    }
};

TEST_F(BlockCopyTest, EveryBlockCopiesInAndOutWhole) {
    for (int area = 0; area < kAreaCount; ++area) {
        for (int index = 0; index < kAreaBlockCount[area]; ++index) {
            const int block = kAreaFirstBlock[area] + index;
            const Bytes in = Pattern(BlockSize(block) + 5, static_cast<unsigned>(block + 3));
            std::size_t size = 99;
            ASSERT_EQ(CopyBlockIn(*state, area, index, in, size), 1) << block;
            EXPECT_EQ(size, BlockSize(block));
            Bytes out(size + 3, 0xEE);
            ASSERT_EQ(CopyBlockOut(*state, area, index, out, size), 1);
            EXPECT_EQ(size, BlockSize(block));
            EXPECT_TRUE(std::equal(out.begin(), out.begin() + static_cast<long>(size), in.begin()));
            EXPECT_EQ(out[size], 0xEE) << "nothing written past the block";
        }
    }
}

TEST_F(BlockCopyTest, SharedBlocksStayShared) {
    const Bytes in{1, 2, 3, 4};
    std::size_t size = 0;
    ASSERT_EQ(CopyBlockIn(*state, 2, 0, in, size), 1);  // block 158
    EXPECT_EQ(BlockBytes(*state, 159), in);
    ASSERT_EQ(CopyBlockIn(*state, 3, 1, Pattern(27, 9), size), 1);  // block 179
    EXPECT_EQ(BlockBytes(*state, 178), Pattern(27, 9));
}

TEST_F(BlockCopyTest, PlacesOutsideTheDirectoryAndShortBuffersAreRefused) {
    FillEveryBlock();
    const auto before = std::make_unique<DataImage>(state->image);
    struct Case {
        int area;
        int index;
        std::size_t buffer;
    };
    const Case cases[] = {
        {-1, 0, 8}, {4, 0, 8},    {0, -1, 8}, {0, 119, 8},  // area 0 has 119 blocks
        {1, 39, 8}, {2, 20, 8},   {3, 2, 64}, {100, 0, 8},
        {0, 0, 3},  {2, 11, 100},  // block 0 has 4 bytes, block 169 133,480
    };
    for (const Case& c : cases) {
        Bytes buffer(c.buffer, 0x55);
        std::size_t size = 77;
        EXPECT_EQ(CopyBlockIn(*state, c.area, c.index, buffer, size), 0)
            << c.area << " " << c.index;
        EXPECT_EQ(size, 0u);
        EXPECT_EQ(CopyBlockOut(*state, c.area, c.index, buffer, size), 0);
        EXPECT_EQ(size, 0u);
        EXPECT_EQ(buffer, Bytes(c.buffer, 0x55));
    }
    EXPECT_EQ(std::memcmp(&state->image, before.get(), sizeof(DataImage)), 0);
}

TEST_F(BlockCopyTest, GroupSizes) {
    struct Case {
        int group;
        std::size_t size;
    };
    const Case cases[] = {
        {1, 41247},
        {2, 173684},
        {4, 133480},
        {8, 27},
        {48, 40311},
        {153, 191348},  // the unpacking of group 2
        {9, 181298},
        {10, 0x9000},
        {11, 108},
        {12, 0},
        {-1, 0},
        // Counted from the directory: the area 0 blocks 0-105 and 116-118, area 2 2-8 and 11-13,
        // 1-8 and 11-13, 14-18.
        {0, 40311},
        {5, 144414},
        {6, 144418},
        {7, 29250},
        {3, 40311 + 41247 + 173684},
        {51, 40311 + 41247 + 191348},
    };
    for (const Case& c : cases) EXPECT_EQ(BlockGroupSize(c.group), c.size) << c.group;
}

TEST_F(BlockCopyTest, GroupsPackAndUnpackBackToBack) {
    FillEveryBlock();
    auto target = std::make_unique<ProgrammingState>();
    for (int group : {1, 4, 5, 6, 8}) {
        Bytes packed(BlockGroupSize(group) + 10, 0);
        std::size_t size = 0;
        ASSERT_EQ(SerializeBlockGroup(*state, group, packed, size), 1) << group;
        EXPECT_EQ(size, BlockGroupSize(group));
        std::size_t read = 0;
        ASSERT_EQ(DeserializeBlockGroup(*target, group, packed, read), 1) << group;
        EXPECT_EQ(read, size);
    }
    // Groups 1, 4, 5, 6 and 8 cover area 1 from index 1, area 2 indexes 1-8 and 11-13, area 3
    // index 1; blocks 119, 158 and 178 share storage with 120, 159 and 179.
    for (int b = 0; b < kBlockCount; ++b) {
        const bool covered = (b >= 119 && b <= 157) || (b >= 159 && b <= 166) ||
                             (b >= 169 && b <= 171) || b == 158 || b >= 178;
        EXPECT_EQ(BlockBytes(*target, b) == BlockBytes(*state, b), covered) << b;
    }

    // Group 1 lays its blocks back to back: block 120 first, then 121.
    Bytes packed(BlockGroupSize(1));
    std::size_t size = 0;
    ASSERT_EQ(SerializeBlockGroup(*state, 1, packed, size), 1);
    EXPECT_TRUE(
        std::ranges::equal(Bytes(packed.begin(), packed.begin() + 2048), BlockBytes(*state, 120)));
    EXPECT_TRUE(std::ranges::equal(Bytes(packed.begin() + 2048, packed.begin() + 2048 + 96),
                                   BlockBytes(*state, 121)));
}

TEST_F(BlockCopyTest, UnpackingListsAndRefusals) {
    FillEveryBlock();
    std::size_t size = 0;
    // Group 7 unpacks the paged-button block (area 2 index 10) before the key tables.
    const Bytes source = Pattern(16384 + 29250, 5);
    auto target = std::make_unique<ProgrammingState>();
    ASSERT_EQ(DeserializeBlockGroup(*target, 7, source, size), 1);
    EXPECT_EQ(size, 16384u + 29250u);
    EXPECT_EQ(BlockBytes(*target, 168), Bytes(source.begin(), source.begin() + 16384));
    EXPECT_EQ(BlockBytes(*target, 172), Bytes(source.begin() + 16384, source.begin() + 16386));

    // A group-2 pack is shorter than what its unpacking reads: refused, nothing changed.
    Bytes packed(BlockGroupSize(2));
    ASSERT_EQ(SerializeBlockGroup(*state, 2, packed, size), 1);
    auto fresh = std::make_unique<ProgrammingState>();
    EXPECT_EQ(DeserializeBlockGroup(*fresh, 2, packed, size), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(std::ranges::all_of(fresh->image.Block(160), [](auto b) { return b == 0; }));

    struct Case {
        int group;
        std::size_t buffer;
    };
    for (const Case& c : {Case{48, 50000}, Case{51, 400000}, Case{11, 200}, Case{9, 200000},
                          Case{1, 41246}, Case{12, 10}}) {
        Bytes out(c.buffer, 0x5A);
        size = 1;
        EXPECT_EQ(SerializeBlockGroup(*state, c.group, out, size), 0) << c.group;
        EXPECT_EQ(size, 0u);
        EXPECT_EQ(out, Bytes(c.buffer, 0x5A));
    }
    Bytes short_source(BlockGroupSize(4) - 1, 1);
    EXPECT_EQ(DeserializeBlockGroup(*fresh, 4, short_source, size), 0);
    EXPECT_EQ(DeserializeBlockGroup(*fresh, 11, Bytes(200), size), 0);
}

}  // namespace
}  // namespace qzs
