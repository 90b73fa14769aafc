// The Unicode to Adobe-Japan1 table generated from poppler-data's UniJIS-UCS2-H.
#include <gtest/gtest.h>

#include "engine/output/unicode_aj1.h"

namespace {

TEST(UnicodeAj1, TableHasEveryRangeInOrder) {
    auto ranges = kp::UnicodeAj1Ranges();
    ASSERT_EQ(ranges.size(), kp::kUnicodeAj1RangeCount);
    ASSERT_EQ(ranges.size(), 8533u);
    size_t codes = 0;
    for (size_t i = 0; i < ranges.size(); ++i) {
        ASSERT_LE(ranges[i].first, ranges[i].last) << i;
        if (i > 0) {
            ASSERT_LT(ranges[i - 1].last, ranges[i].first) << i;
        }
        codes += ranges[i].last - ranges[i].first + 1u;
    }
    // The code units the CMap maps (counted from the file with an independent reader).
    EXPECT_EQ(codes, 9772u);
}

TEST(UnicodeAj1, KnownCids) {
    // Values read from UniJIS-UCS2-H by hand; IPAGothic names its glyphs by the same CIDs
    // ('A' is "aj34" of the proportional set, 'あ' "aj843").
    struct Case {
        char16_t code;
        int cid;
    } cases[] = {
        {0x0020, 1},   {0x0041, 34},   {0x005C, 97},   {0x007E, 95},  {0x00A5, 61},  {0x3000, 633},
        {0x3042, 843}, {0x4E00, 1200}, {0x9AD8, 2036}, {0xFF5E, 665}, {0xFFE5, 711}, {0xFFE8, 323},
        {0x001F, -1},  {0x0000, -1},   {0xD800, -1},   {0xE000, -1},  {0xFFFF, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(kp::UnicodeToAj1Cid(c.code), c.cid) << int(c.code);
}

}  // namespace
