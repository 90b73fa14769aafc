// The table of fonts and characters a saved report file uses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/font_usage.h"
#include "platform/automation/automation.h"

namespace {

std::unique_ptr<kp::FontUsageTable> NewTable() {
    std::unique_ptr<kp::FontUsageTable> t;
    EXPECT_EQ(kp::FontUsageTableCreate(t), 0);
    return t;
}

std::u16string Codes(const kp::FontUsageTable* t, int index) {
    int n = kp::FontUsageListCodes(t, index, nullptr, 0);
    std::u16string codes(size_t(n), u'\0');
    EXPECT_EQ(kp::FontUsageListCodes(t, index, codes.data(), codes.size()), n);
    return codes;
}

TEST(FontUsage, OneEntryPerFaceAndTextKind) {
    auto t = NewTable();
    EXPECT_EQ(t->count(), 0);
    EXPECT_EQ(t->capacity(), 50);
    int a = -1, b = -1, c = -1, d = -1;
    ASSERT_EQ(kp::FontUsageAddFont(t.get(), u"ＭＳ 明朝", true, a), 0);
    ASSERT_EQ(kp::FontUsageAddFont(t.get(), u"ＭＳ 明朝", true, b), 0);
    ASSERT_EQ(kp::FontUsageAddFont(t.get(), u"ＭＳ 明朝", false, c), 0);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(c, 1);
    // Names compare by length and content, with case.
    const std::u16string withZero(u"ＭＳ 明朝\0x", 7);
    for (std::u16string_view other :
         {std::u16string_view(u"ＭＳ 明朝 "), std::u16string_view(u"ＭＳ 明"),
          std::u16string_view(withZero)}) {
        ASSERT_EQ(kp::FontUsageAddFont(t.get(), other, true, d), 0);
        EXPECT_EQ(d, t->count() - 1);
    }
    ASSERT_EQ(kp::FontUsageAddFont(t.get(), u"Arial", true, a), 0);
    ASSERT_EQ(kp::FontUsageAddFont(t.get(), u"arial", true, b), 0);
    EXPECT_NE(a, b);

    bool found = false;
    int index = 7;
    EXPECT_EQ(kp::FontUsageFindFont(t.get(), u"ＭＳ 明朝", false, found, index), 0);
    EXPECT_TRUE(found);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(kp::FontUsageFindFont(t.get(), u"ＭＳ ゴシック", false, found, index), 0);
    EXPECT_FALSE(found);
    EXPECT_EQ(index, -1);
}

TEST(FontUsage, FiftyFirstFontGrowsTheTable) {
    auto t = NewTable();
    for (int i = 0; i < 50; ++i) {
        int index = -1;
        std::u16string face = u"Face" + std::u16string(1, char16_t(u'A' + i));
        ASSERT_EQ(kp::FontUsageAddFont(t.get(), face, i % 2 == 0, index), 0);
        ASSERT_EQ(index, i);
        std::u16string text(1, char16_t(0x4E00 + i));
        kp::FontUsageMarkWide(t.get(), i, text.c_str(), 0);
        if (i % 3 == 0) kp::FontUsageSetUsed(t.get(), i);
    }
    EXPECT_EQ(t->capacity(), 50);
    int index = -1;
    ASSERT_EQ(kp::FontUsageAddFont(t.get(), u"Face51", true, index), 0);
    EXPECT_EQ(index, 50);
    EXPECT_EQ(t->count(), 51);
    EXPECT_EQ(t->capacity(), 100);
    for (int i = 0; i < 50; ++i) {
        bool wide = false;
        plat::Bstr face = nullptr;
        ASSERT_EQ(kp::FontUsageGetFont(t.get(), i, wide, face), 0);
        EXPECT_EQ(plat::BstrView(face), u"Face" + std::u16string(1, char16_t(u'A' + i)));
        EXPECT_EQ(wide, i % 2 == 0);
        plat::BstrFree(face);
        EXPECT_EQ(kp::FontUsageIsUsed(t.get(), i), i % 3 == 0);
        EXPECT_EQ(Codes(t.get(), i), std::u16string(1, char16_t(0x4E00 + i)));
    }
    EXPECT_EQ(Codes(t.get(), 50), u"");
    EXPECT_FALSE(kp::FontUsageIsUsed(t.get(), 50));
}

TEST(FontUsage, MarkingAndListing) {
    auto t = NewTable();
    int i = -1;
    ASSERT_EQ(kp::FontUsageAddFont(t.get(), u"ＭＳ ゴシック", true, i), 0);
    kp::FontUsageMarkWide(t.get(), i, u"AAB", 0);
    EXPECT_EQ(kp::FontUsageListCodes(t.get(), i, nullptr, 0), 2);
    EXPECT_EQ(Codes(t.get(), i), u"AB");

    // A count marks exactly that many code units, zeros included; 0 stops at the first zero.
    const char16_t withZero[] = {u'あ', u'B', 0, u'C', 0};
    kp::FontUsageMarkWide(t.get(), i, withZero, 0);
    EXPECT_EQ(Codes(t.get(), i), u"ABあ");
    kp::FontUsageMarkWide(t.get(), i, withZero, 4);
    EXPECT_EQ(Codes(t.get(), i), std::u16string(u"\0ABCあ", 5));

    // ANSI text in CP932, up to a zero byte; a byte that starts no character marks U+30FB.
    int j = -1;
    ASSERT_EQ(kp::FontUsageAddFont(t.get(), u"ＭＳ ゴシック", false, j), 0);
    EXPECT_EQ(kp::FontUsageMarkAnsi(t.get(), j, "\x82\xA0Z\x96\xBE", 5), 0);
    EXPECT_EQ(Codes(t.get(), j), u"Zあ明");
    EXPECT_EQ(kp::FontUsageMarkAnsi(t.get(), j, "Y\0X", 3), 0);
    EXPECT_EQ(Codes(t.get(), j), u"YZあ明");
    EXPECT_EQ(kp::FontUsageMarkAnsi(t.get(), j, "\x81", 1), 0);
    EXPECT_EQ(Codes(t.get(), j), u"YZあ\u30FB明");

    // A buffer one code unit too small gets nothing.
    std::u16string buf(4, u'#');
    EXPECT_EQ(kp::FontUsageListCodes(t.get(), j, buf.data(), buf.size()), 0);
    EXPECT_EQ(buf, u"####");
}

TEST(FontUsage, BadIndexesAndMissingTable) {
    auto t = NewTable();
    int i = -1;
    ASSERT_EQ(kp::FontUsageAddFont(t.get(), u"Face", true, i), 0);
    bool wide = false;
    plat::Bstr face = nullptr;
    int32_t value = -1;
    EXPECT_EQ(kp::FontUsageGetValue(t.get(), 0, value), 0);
    EXPECT_EQ(value, 0);
    for (int bad : {1, -1, 1000}) {
        EXPECT_EQ(kp::FontUsageGetFont(t.get(), bad, wide, face), kp::kFontUsageBadIndex);
        EXPECT_EQ(kp::FontUsageGetValue(t.get(), bad, value), kp::kFontUsageBadIndex);
        EXPECT_FALSE(kp::FontUsageIsUsed(t.get(), bad));
        kp::FontUsageSetUsed(t.get(), bad);
        kp::FontUsageMarkWide(t.get(), bad, u"A", 0);
        EXPECT_EQ(kp::FontUsageMarkAnsi(t.get(), bad, "A", 1), 0);
        EXPECT_EQ(kp::FontUsageListCodes(t.get(), bad, nullptr, 0), 0);
    }
    EXPECT_EQ(face, nullptr);
    EXPECT_FALSE(kp::FontUsageIsUsed(t.get(), 0));
    EXPECT_EQ(Codes(t.get(), 0), u"");

    bool found = false;
    EXPECT_EQ(kp::FontUsageFindFont(nullptr, u"Face", true, found, i), kp::kFontUsageNoTable);
    EXPECT_EQ(kp::FontUsageAddFont(nullptr, u"Face", true, i), kp::kFontUsageNoTable);
    EXPECT_EQ(kp::FontUsageGetFont(nullptr, 0, wide, face), kp::kFontUsageNoTable);
    EXPECT_EQ(kp::FontUsageGetValue(nullptr, 0, value), kp::kFontUsageNoTable);
    EXPECT_FALSE(kp::FontUsageIsUsed(nullptr, 0));
    EXPECT_EQ(kp::FontUsageListCodes(nullptr, 0, nullptr, 0), 0);
}

}  // namespace
