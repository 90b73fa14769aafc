// Subsets of installed fonts (Debian fonts-ipafont-*, fonts-vlgothic, fonts-droid-fallback,
// fonts-dejavu-extra), checked by fontTools and FreeType rather than by this code.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "engine/output/ttf_subset.h"
#include "platform/automation/automation.h"
#include "platform/fonts/font_face.h"
#include "platform/gdi/device_context.h"
#include "tests/fixtures/fonts/font_test_support.h"

namespace {

using namespace fonttest;

// The used code units as the export lists them: each once, in ascending order.
std::u16string UsedCodes(const std::u16string& text) {
    std::set<char16_t> used(text.begin(), text.end());
    used.erase(u'\n');
    used.erase(u'\r');
    return std::u16string(used.begin(), used.end());
}

std::u16string DataSheetCodes() {
    std::vector<uint8_t> bytes = ReadBytes(Fixture("datasheet.txt"));
    return UsedCodes(plat::WideFromUtf8(std::string(bytes.begin(), bytes.end())));
}

plat::LogicalFont Font(std::u16string face) {
    plat::LogicalFont f;
    f.faceName = std::move(face);
    f.height = -1000;
    f.charSet = plat::kShiftJisCharset;
    return f;
}

// The Japanese faces the reports name reach the IPA fonts through a device context, as the
// PDF export reads them.
struct FaceCase {
    const char16_t* face;
    const std::string* expectedFile;
};

void PrintTo(const FaceCase& c, std::ostream* os) {
    *os << *c.expectedFile;
}

class TtfSubsetThroughDc : public ::testing::TestWithParam<FaceCase> {};

TEST_P(TtfSubsetThroughDc, DataSheetSubsetIsSound) {
    plat::InfoDc dc;
    plat::GdiObject font(plat::CreateFontIndirectW(plat::ToLogFontW(Font(GetParam().face))));
    dc.SelectObject(font.get());
    auto face = dc.SelectedFace();
    ASSERT_NE(face, nullptr);
    // fontconfig may name the file through a symbolic link (fonts-japanese-gothic.ttf).
    ASSERT_EQ(std::filesystem::canonical(face->path()), *GetParam().expectedFile);

    std::u16string codes = DataSheetCodes();
    ASSERT_GE(codes.size(), 290u);
    std::vector<uint8_t> subset;
    std::vector<uint8_t> map(kp::kCidMapBytes);
    ASSERT_EQ(kp::SubsetTrueTypeFontWithoutEudc(dc, u"EmbedFont0003", true, codes, subset, map),
              kp::kTtfOk);
    // IPA fonts use long loca offsets.
    EXPECT_EQ(Get16(SfntEditor{subset}.Table(Tag("head")), 50), 1);
    SubsetFindings found =
        ExpectSoundSubset(*GetParam().expectedFile, 0, subset, codes, "ordinary", "EmbedFont0003");
    // Every character of the sheet but the two spaces has its own glyph, plus glyph 0.
    EXPECT_EQ(found.kept, int(codes.size()) - 2 + 1);
}

INSTANTIATE_TEST_SUITE_P(IpaFonts, TtfSubsetThroughDc,
                         ::testing::Values(FaceCase{u"ＭＳ ゴシック", &kIpaGothic},
                                           FaceCase{u"ＭＳ 明朝", &kIpaMincho}));

// Fonts with composite glyphs (nested ones in DejaVu) and a short-loca font, read from their
// files.
struct FileCase {
    const std::string* path;
    const char16_t* text;
    int locaFormat;
    int minComposites;
};

void PrintTo(const FileCase& c, std::ostream* os) {
    *os << *c.path;
}

class TtfSubsetOfFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(TtfSubsetOfFile, SubsetIsSound) {
    auto face = plat::FontFace::Open(*GetParam().path);
    ASSERT_NE(face, nullptr);
    std::u16string codes = UsedCodes(GetParam().text);
    std::vector<uint8_t> subset;
    ASSERT_EQ(kp::SubsetSfnt(face->fileBytes(), face->faceOffset(), kp::SubsetKind::kOrdinary,
                             u"EmbedFont0001", true, codes, subset),
              kp::kTtfOk);
    EXPECT_EQ(Get16(SfntEditor{subset}.Table(Tag("head")), 50), GetParam().locaFormat);
    SubsetFindings found =
        ExpectSoundSubset(*GetParam().path, 0, subset, codes, "ordinary", "EmbedFont0001");
    EXPECT_GE(found.composites, GetParam().minComposites);
}

INSTANTIATE_TEST_SUITE_P(
    InstalledFonts, TtfSubsetOfFile,
    ::testing::Values(FileCase{&kVlGothic, u"⺅⺉⺎⺐⼀⼁⼂⼃ 漢字テスト、データシート", 1, 8},
                      FileCase{&kDroidFallback, u"㐇㐈㐉㐊㐋 主装置設定一覧", 1, 5},
                      FileCase{&kDejaVuExtraLight,
                               u"ÀÁÂÃÄÇÈÉÊËǕǖǗǘǞǟǠǡǬǭǻȪ ¼½¾ ŉ Hello, world! 0123", 0, 20}));

TEST(TtfSubsetReal, OnlySpacesKeepGlyphZeroAlone) {
    plat::InfoDc dc;
    plat::GdiObject font(plat::CreateFontIndirectW(plat::ToLogFontW(Font(u"ＭＳ ゴシック"))));
    dc.SelectObject(font.get());
    std::u16string codes = u" \u3000";
    std::vector<uint8_t> subset;
    ASSERT_EQ(kp::SubsetTrueTypeFontWithoutEudc(dc, u"EmbedFont0000", true, codes, subset),
              kp::kTtfOk);
    SubsetFindings found =
        ExpectSoundSubset(kIpaGothic, 0, subset, codes, "ordinary", "EmbedFont0000");
    EXPECT_EQ(found.kept, 1);
    FreeTypeFont sub(subset);
    EXPECT_GT(sub.Points(0), 0);
}

TEST(TtfSubsetReal, CharacterMissingFromTheFontKeepsGlyphZeroAndGoesOn) {
    plat::InfoDc dc;
    plat::GdiObject font(plat::CreateFontIndirectW(plat::ToLogFontW(Font(u"ＭＳ ゴシック"))));
    dc.SelectObject(font.get());
    // U+E000 is a private-use character IPAGothic does not have.
    uint16_t glyph = 0xFFFF;
    EXPECT_EQ(kp::FindFontGlyph(dc, 0xE000, glyph), kp::kTtfGlyphNotFound);
    EXPECT_EQ(kp::FindFontGlyph(dc, u'A', glyph), kp::kTtfOk);
    EXPECT_NE(glyph, 0);

    std::u16string codes = u"A\uE000\u3042";
    std::vector<uint8_t> subset;
    ASSERT_EQ(kp::SubsetTrueTypeFontWithoutEudc(dc, u"EmbedFont0000", true, codes, subset),
              kp::kTtfOk);
    SubsetFindings found =
        ExpectSoundSubset(kIpaGothic, 0, subset, codes, "ordinary", "EmbedFont0000");
    EXPECT_EQ(found.kept, 3);  // glyph 0, 'A' and 'あ'
}

}  // namespace
