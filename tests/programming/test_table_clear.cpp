#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "programming/data_image.h"
#include "programming/name_chains.h"
#include "programming/number_index.h"
#include "programming/table_clear.h"

namespace qzs {
namespace {

bool AllAre(std::span<const std::uint8_t> bytes, std::uint8_t value) {
    return std::all_of(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return b == value; });
}

std::unique_ptr<DataImage> FilledImage(std::uint8_t value) {
    auto image = std::make_unique<DataImage>();
    for (int b = 0; b < kBlockCount; ++b) {
        auto block = image->Block(b);
        std::fill(block.begin(), block.end(), value);
    }
    return image;
}

TEST(TableClear, EachModeEmptiesOneArea) {
    for (int mode : {0, 1, 2, 3, -1}) {
        auto image = FilledImage(0xEE);
        ClearDataTables(*image, mode);
        for (int b = 0; b < kBlockCount; ++b) {
            const bool cleared = mode <= 2 && BlockArea(b) == mode;  // area 3 is never cleared
            EXPECT_TRUE(AllAre(image->Block(b), cleared ? 0 : 0xEE))
                << "mode " << mode << " block " << b;
        }
    }
    auto image = FilledImage(0xEE);
    for (int mode : {0, 1, 2}) ClearDataTables(*image, mode);
    EXPECT_TRUE(AllAre(image->Block(178), 0xEE));
    EXPECT_TRUE(AllAre(image->Block(179), 0xEE));
}

TEST(TableClear, TelephoneRowsOfEachLayout) {
    const struct {
        int mode;
        std::size_t first, last;  // rows cleared
        bool whole;
    } cases[] = {
        {0, 80, 1359, false},
        {1, 600, 1879, true},
        {2, 1000, 1639, true},
        {3, 1, 0, true},
    };
    for (const auto& c : cases) {
        auto image = FilledImage(0xEE);
        ClearTelephoneSpeedDial(*image, c.mode);
        for (std::size_t r = 0; r < kSpeedDialRowCount; ++r) {
            const auto row = SpeedDialRow(*image, r);
            if (r < c.first || r > c.last) {
                ASSERT_TRUE(AllAre(row, 0xEE)) << "mode " << c.mode << " row " << r;
            } else if (c.whole) {
                ASSERT_TRUE(AllAre(row, 0)) << "mode " << c.mode << " row " << r;
            } else {
                // The short rows of layout 0: 12 bytes of number and of each name, and the group.
                ASSERT_TRUE(AllAre(row.subspan(0, 12), 0)) << r;
                ASSERT_TRUE(AllAre(row.subspan(12, 13), 0xEE)) << r;
                ASSERT_TRUE(AllAre(row.subspan(25, 12), 0)) << r;
                ASSERT_TRUE(AllAre(row.subspan(37, 9), 0xEE)) << r;
                ASSERT_TRUE(AllAre(row.subspan(46, 12), 0)) << r;
                ASSERT_TRUE(AllAre(row.subspan(58, 9), 0xEE)) << r;
                ASSERT_EQ(row[67], 0) << r;
                ASSERT_TRUE(AllAre(row.subspan(68), 0xEE)) << r;
            }
        }
    }
}

TEST(TableClear, SystemRowsOfEachLayoutAndTheSideTables) {
    const struct {
        int mode;
        std::size_t rows;
    } cases[] = {{0, 80}, {1, 600}, {2, 1000}, {7, 0}};
    for (const auto& c : cases) {
        auto image = FilledImage(0xEE);
        ClearSystemSpeedDial(*image, c.mode);
        for (std::size_t r = 0; r < kSpeedDialRowCount; ++r) {
            const auto row = SpeedDialRow(*image, r);
            if (r >= c.rows) {
                ASSERT_TRUE(AllAre(row, 0xEE)) << "mode " << c.mode << " row " << r;
                continue;
            }
            ASSERT_EQ(row[kSpeedDialGroupByte], 1) << "mode " << c.mode << " row " << r;
            if (c.mode == 0) {
                // Bytes 12-24 of the number and 12-20 of the names stay.
                ASSERT_TRUE(AllAre(row.subspan(0, 12), 0)) << r;
                ASSERT_TRUE(AllAre(row.subspan(12, 13), 0xEE)) << r;
                ASSERT_TRUE(AllAre(row.subspan(25, 12), 0)) << r;
                ASSERT_TRUE(AllAre(row.subspan(37, 9), 0xEE)) << r;
                ASSERT_TRUE(AllAre(row.subspan(46, 12), 0)) << r;
                ASSERT_TRUE(AllAre(row.subspan(58, 9), 0xEE)) << r;
                ASSERT_TRUE(AllAre(row.subspan(68), 0xEE)) << r;
            } else {
                ASSERT_TRUE(AllAre(row.first(67), 0)) << r;
                ASSERT_TRUE(AllAre(row.subspan(68), 0)) << r;
            }
        }
        // Whatever the mode, the chains, the index and block 142 are emptied.
        for (int b : {162, 163, 170, 177, 171, 142}) {
            EXPECT_TRUE(AllAre(image->Block(b), 0)) << "mode " << c.mode << " block " << b;
        }
        EXPECT_TRUE(AllAre(image->Block(164), 0xEE));
    }
}

TEST(TableClear, ListWorkArea) {
    auto image = FilledImage(0xEE);
    ClearListWorkArea(*image);
    EXPECT_TRUE(AllAre(image->Block(167), 0));
    EXPECT_TRUE(AllAre(image->Block(125).first(5), 0));
    EXPECT_TRUE(AllAre(image->Block(125).subspan(5), 0xEE));
}

TEST(TableClear, InvalidEntriesAreClearedAndTheirRecordsMarked) {
    auto image = std::make_unique<DataImage>();
    auto& t = image->port_code_tables;
    for (auto& r : t.records) r.fill(0x11);
    for (auto& r : t.pairs) r.fill(0x22);
    t.records[0][4] = 240;    // record 1: group byte 1
    t.records[99][6] = 239;   // record 100: still a code
    t.records[99][4] = 0x05;  // its second byte may be anything
    t.records[99][5] = 0xFF;
    t.pairs[50][2] = 0xFF;     // record 51: group byte 2
    t.pairs[143][0] = 250;     // record 144: group byte 3
    t.records[143][0] = 0xF0;  // bytes 0-3 of the 12-byte records are not entries
    ModifiedFlags flags;
    ClearInvalidEntries(*image, flags);

    EXPECT_EQ(t.records[0][4], 0);
    EXPECT_EQ(t.records[0][5], 0);
    EXPECT_EQ(t.records[0][6], 0x11);
    EXPECT_EQ(t.records[99][4], 0x05);
    EXPECT_EQ(t.records[99][5], 0xFF);
    EXPECT_EQ(t.records[99][6], 239);
    EXPECT_EQ(t.pairs[50][2], 0);
    EXPECT_EQ(t.pairs[50][3], 0);
    EXPECT_EQ(t.pairs[50][0], 0x22);
    EXPECT_EQ(t.pairs[143][0], 0);
    EXPECT_EQ(t.pairs[143][1], 0);
    EXPECT_EQ(t.records[143][0], 0xF0);
    EXPECT_EQ(flags.bytes, (std::array<std::uint8_t, 7>{0, 0xFF, 0xFF, 0xFF, 0, 0, 0}));
}

// Rows of block 38 (row r at byte 96r, 30 entries) and the masks of block 37 (value v at
// 6(v - 1) + 4, bit r for row r).
std::uint8_t& Member(DataImage& image, int row, int position) {
    return image.Block(38)[96 * row + position - 1];
}

unsigned Mask(const DataImage& image, int value) {
    const auto block = image.Block(37);
    return block[6 * (value - 1) + 4] | (block[6 * (value - 1) + 5] << 8);
}

void SetMask(DataImage& image, int value, unsigned mask) {
    auto block = image.Block(37);
    block[6 * (value - 1) + 4] = static_cast<std::uint8_t>(mask);
    block[6 * (value - 1) + 5] = static_cast<std::uint8_t>(mask >> 8);
}

TEST(TableClear, RemoveGroupMembershipClearsTheRowBitWhenTheValueIsGone) {
    const struct {
        int row, member;
        std::uint8_t held;
        bool held_twice;  // the value stands at another position of the row too
        bool member_cleared;
        unsigned mask_after;  // mask of the held value, 0b1110 before
        const char* why;
    } cases[] = {
        {2, 5, 7, false, true, 0b1010, "the last place of 7 in row 2"},
        {2, 5, 7, true, true, 0b1110, "7 still stands elsewhere in row 2"},
        {1, 30, 24, false, true, 0b1100, "the last member and the last value"},
        {3, 1, 1, false, true, 0b0110, "row 3"},
        {2, 5, 200, false, true, 0b1110, "a value with no mask"},
        {2, 5, 25, false, true, 0b1110, "a value with no mask"},
        {2, 5, 0, false, true, 0b1110, "an empty member"},
        {4, 5, 7, false, false, 0b1110, "no row 4"},
        {0, 5, 7, false, false, 0b1110, "row 0 is no group"},
        {2, 0, 7, false, false, 0b1110, "no member 0"},
        {2, 31, 7, false, false, 0b1110, "no member 31"},
    };
    for (const auto& c : cases) {
        auto image = std::make_unique<DataImage>();
        for (int v = 1; v <= 24; ++v) SetMask(*image, v, 0b1110);
        const int row = std::clamp(c.row, 0, 3);
        const int position = std::clamp(c.member, 1, 30);
        Member(*image, row, position) = c.held;
        if (c.held_twice) Member(*image, row, position == 9 ? 10 : 9) = c.held;
        Member(*image, row == 1 ? 2 : 1, 3) = c.held;  // another row does not count
        RemoveGroupMembership(*image, static_cast<std::uint8_t>(c.row),
                              static_cast<std::uint8_t>(c.member));
        EXPECT_EQ(Member(*image, row, position), c.member_cleared ? 0 : c.held) << c.why;
        for (int v = 1; v <= 24; ++v) {
            EXPECT_EQ(Mask(*image, v), v == c.held ? c.mask_after : 0b1110u) << c.why;
        }
    }
}

TEST(TableClear, IsValueUnusedInRow) {
    auto image = std::make_unique<DataImage>();
    Member(*image, 1, 4) = 9;
    Member(*image, 1, 30) = 3;
    Member(*image, 2, 1) = 3;
    const struct {
        int row, position, value;
        bool unused;
    } cases[] = {
        {1, 4, 9, true},  {1, 5, 9, false}, {1, 30, 3, true}, {1, 1, 3, false},
        {2, 1, 3, true},  {3, 1, 3, true},  {1, 4, 0, false},  // empty entries hold 0
        {0, 1, 5, false}, {4, 1, 5, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValueUnusedInRow(*image, static_cast<std::uint8_t>(c.row),
                                     static_cast<std::uint8_t>(c.position),
                                     static_cast<std::uint8_t>(c.value)),
                  c.unused)
            << c.row << "/" << c.position << "/" << c.value;
    }
}

}  // namespace
}  // namespace qzs
