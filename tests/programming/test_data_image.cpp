#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "programming/data_image.h"

namespace qzs {
namespace {

class DataImageTest : public ::testing::Test {
  protected:
    std::unique_ptr<DataImage> owned = std::make_unique<DataImage>();
    DataImage& image = *owned;
};

TEST_F(DataImageTest, SharedBlocksShowOneWriteEverywhere) {
    struct Case {
        int written;
        int first_seen;
        int last_seen;
    };
    const Case cases[] = {
        {106, 106, 115},                   // ten listings of one 4-byte array
        {115, 106, 115},                   // the last listing writes the same array
        {119, 119, 120}, {158, 158, 159},  // the signature copy
        {179, 178, 179},                   // the slot card type table
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        auto block = image.Block(c.written);
        std::fill(block.begin(), block.end(), 0);
        block.back() = 0x5A;
        for (int b = c.first_seen; b <= c.last_seen; ++b) {
            EXPECT_EQ(image.Block(b).size(), block.size()) << b;
            EXPECT_EQ(image.Block(b).back(), 0x5A) << b;
        }
        // The neighbours outside the shared run keep their own storage.
        EXPECT_NE(image.Block(c.first_seen - 1).data(), block.data());
        EXPECT_NE(image.Block(c.last_seen + 1).data(), block.data());
    }
}

TEST_F(DataImageTest, CopyingBlocks106To115OutGivesTenEqualCopies) {
    const std::array<std::uint8_t, 4> value{1, 2, 3, 4};
    std::ranges::copy(value, image.Block(110).begin());
    std::vector<std::uint8_t> out;
    for (int b = 106; b <= 115; ++b) {
        auto block = image.Block(b);
        out.insert(out.end(), block.begin(), block.end());
    }
    ASSERT_EQ(out.size(), 40u);
    for (std::size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i], value[i % 4]) << i;
}

// Every block other than the listed sharers has storage of its own: fill each with its number and
// each must read back whole, or two blocks overlap.
TEST_F(DataImageTest, BlocksDoNotOverlap) {
    for (int b = 0; b < kBlockCount; ++b) {
        auto block = image.Block(b);
        ASSERT_EQ(block.size(), BlockSize(b)) << b;
        std::fill(block.begin(), block.end(), static_cast<std::uint8_t>(b));
    }
    std::size_t listed = 0;
    for (int b = 0; b < kBlockCount; ++b) {
        auto block = image.Block(b);
        listed += block.size();
        // A shared array holds the number of its last listing.
        int owner = b;
        if (b >= 106 && b <= 115) owner = 115;
        if (b == 119) owner = 120;
        if (b == 158) owner = 159;
        if (b == 178) owner = 179;
        EXPECT_TRUE(std::ranges::all_of(block, [&](std::uint8_t v) { return v == owner; })) << b;
    }
    EXPECT_EQ(listed, kDirectoryBytes);
}

TEST_F(DataImageTest, BlockNumbersAndOffsetsOutsideTheDirectoryAreRefused) {
    EXPECT_TRUE(image.Block(-1).empty());
    EXPECT_TRUE(image.Block(180).empty());
    EXPECT_EQ(BlockSize(-1), 0u);
    EXPECT_EQ(BlockSize(180), 0u);
    EXPECT_EQ(image.BlockByte(0, 4), nullptr);
    EXPECT_EQ(image.BlockByte(180, 0), nullptr);
    EXPECT_EQ(image.BlockByte(-1, 0), nullptr);
    EXPECT_EQ(image.BlockByte(169, 133480), nullptr);
    ASSERT_NE(image.BlockByte(169, 133479), nullptr);
    EXPECT_EQ(image.BlockByte(169, 133479), &image.Block(169).back());
}

TEST(DataBlockDirectory, AreasAddressTheirRunsOfBlocks) {
    struct Case {
        int area;
        int index;
        int block;  // -1: refused
    };
    const Case cases[] = {
        {0, 0, 0},   {0, 118, 118}, {0, 119, -1}, {1, 0, 119}, {1, 38, 157},
        {1, 39, -1}, {2, 0, 158},   {2, 19, 177}, {2, 20, -1}, {3, 0, 178},
        {3, 1, 179}, {3, 2, -1},    {4, 0, -1},   {-1, 0, -1}, {0, -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AreaBlock(c.area, c.index), c.block) << c.area << "," << c.index;
        if (c.block >= 0) {
            EXPECT_EQ(BlockArea(c.block), c.area) << c.block;
        }
    }
    EXPECT_EQ(BlockArea(180), -1);
    EXPECT_EQ(BlockArea(-1), -1);
}

TEST_F(DataImageTest, SignatureStandsInBlock0AndItsCopy) {
    EXPECT_FALSE(HasImageSignature(image));
    WriteImageSignature(image);
    const std::array<std::uint8_t, 4> expected{0x00, 0x5A, 0xA5, 0xFF};
    for (int b : {0, 158, 159}) {
        EXPECT_TRUE(std::ranges::equal(image.Block(b), expected)) << b;
    }
    EXPECT_TRUE(HasImageSignature(image));
    // The clear of *007 overwrites block 0 only.
    std::ranges::copy(std::array<std::uint8_t, 4>{0xFF, 0xFF, 0xFF, 0x00}, image.Block(0).begin());
    EXPECT_FALSE(HasImageSignature(image));
    EXPECT_TRUE(std::ranges::equal(image.Block(158), expected));
}

TEST_F(DataImageTest, PointerEntriesReachTheirBytes) {
    enum Place { kBlock, kFirst, kSecond, kNone };
    struct Case {
        unsigned entry;
        Place place;
        int block;
        std::size_t offset;
    };
    const Case cases[] = {
        {0, kBlock, 3, 0},   {1, kBlock, 3, 2},    {20, kBlock, 3, 21},  {26, kBlock, 3, 27},
        {27, kBlock, 3, 32}, {28, kBlock, 3, 33},  {29, kBlock, 3, 44},  {31, kBlock, 3, 46},
        {32, kBlock, 40, 0}, {34, kBlock, 40, 4},  {38, kBlock, 40, 35}, {39, kBlock, 40, 11},
        {40, kBlock, 55, 0}, {46, kBlock, 55, 9},  {47, kBlock, 55, 11}, {56, kBlock, 55, 22},
        {57, kBlock, 55, 8}, {58, kBlock, 63, 0},  {61, kBlock, 63, 8},  {62, kBlock, 63, 11},
        {63, kFirst, 0, 0},  {79, kFirst, 0, 16},  {80, kSecond, 0, 2},  {81, kSecond, 0, 0},
        {82, kSecond, 0, 1}, {83, kSecond, 0, 14}, {84, kSecond, 0, 15}, {85, kSecond, 0, 13},
        {86, kNone, 0, 0},   {255, kNone, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        const std::uint8_t* expected = nullptr;
        if (c.place == kBlock) expected = image.BlockByte(c.block, c.offset);
        if (c.place == kFirst) expected = &image.first_pointer_area[c.offset];
        if (c.place == kSecond) expected = &image.second_pointer_area[c.offset];
        if (c.place != kNone) {
            ASSERT_NE(expected, nullptr);
        }
        EXPECT_EQ(DataBytePointer(image, c.entry), expected);
        EXPECT_EQ(DataBytePointer(static_cast<const DataImage&>(image), c.entry), expected);
    }
}

TEST_F(DataImageTest, PointerEntriesAreDistinctBytes) {
    std::vector<const std::uint8_t*> seen;
    for (unsigned e = 0; e < kDataBytePointerCount; ++e) {
        const std::uint8_t* p = DataBytePointer(image, e);
        ASSERT_NE(p, nullptr) << e;
        EXPECT_EQ(std::ranges::count(seen, p), 0) << e;
        seen.push_back(p);
    }
    // The *002 flag: entry 20, bit 0x10.
    *DataBytePointer(image, 20) |= 0x10;
    EXPECT_EQ(image.Block(3)[21], 0x10);
}

TEST(ModifiedFlags, RecordNumbersMarkTheirGroupByte) {
    struct Case {
        std::uint8_t record;
        int group;  // -1: nothing marked
    };
    const Case cases[] = {
        {0, -1}, {1, 1}, {50, 1}, {51, 2}, {100, 2}, {101, 3}, {250, 5}, {251, 6}, {255, 6},
    };
    for (const Case& c : cases) {
        ModifiedFlags flags;
        MarkModified(flags, c.record);
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(flags.bytes[i], i == c.group ? 0xFF : 0x00) << int{c.record} << " byte " << i;
        }
    }
}

TEST(ModifiedFlags, RangesMarkEveryGroupBetweenTheirEnds) {
    struct Case {
        std::uint8_t first;
        std::uint8_t last;
        std::array<std::uint8_t, 7> expected;
    };
    const Case cases[] = {
        {1, 255, {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {50, 51, {0, 0xFF, 0xFF, 0, 0, 0, 0}},
        {255, 255, {0, 0, 0, 0, 0, 0, 0xFF}},
        {101, 150, {0, 0, 0, 0xFF, 0, 0, 0}},
        {0, 255, {}},  // no record 0: refused whole
        {0, 0, {}},
        {60, 40, {}},  // reversed
    };
    for (const Case& c : cases) {
        ModifiedFlags flags;
        MarkModifiedRange(flags, c.first, c.last);
        EXPECT_EQ(flags.bytes, c.expected) << int{c.first} << "-" << int{c.last};
    }
}

TEST(ModifiedFlags, OnlyClearBytesAreSet) {
    ModifiedFlags flags;
    flags.bytes[2] = 0x01;
    MarkModified(flags, 60);
    MarkModifiedRange(flags, 51, 100);
    EXPECT_EQ(flags.bytes[2], 0x01);
    MarkSystemModified(flags);
    EXPECT_EQ(flags.bytes, (std::array<std::uint8_t, 7>{0xFF, 0, 0x01, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace qzs
