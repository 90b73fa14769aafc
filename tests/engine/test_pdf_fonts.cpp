// The font objects of an exported document against the text expected of each shape, the
// ToUnicode CMap's blocks, and the font table's matching.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "emf_builder.h"
#include "engine/output/pdf_fonts.h"
#include "engine/output/pdf_format.h"
#include "engine/output/pdf_translate.h"
#include "engine/output/pdf_writer.h"
#include "engine/output/unicode_aj1.h"
#include "pdf_test_support.h"
#include "platform/fonts/font_resolver.h"

namespace kp {
namespace {

using namespace pdftest;
using namespace pdf_code;
using emftest::Emf;

class PdfFonts : public ::testing::Test {
  protected:
    // One page with the records; the document's text.
    std::string Export(const Emf& page) {
        PdfFileWriter w;
        PdfFontTable pageFonts;
        EXPECT_EQ(w.AllocateTables(), kOk);
        EXPECT_EQ(w.CreateFile(dir.File("f.pdf"), true), kOk);
        EXPECT_EQ(ConvertMetafilePage(w, pageFonts, page.Bytes(), 21000, 29700), kOk);
        const std::u16string* none[5] = {};
        EXPECT_EQ(w.FinishFile(none, pageFonts), kOk);
        return ReadFile(dir.File("f.pdf"));
    }
    // The font object named /F0000 by the page and the objects it leads to.
    struct Objects {
        std::string font, descendant, descriptor, toUnicode, cidToGid;
    };
    Objects Font(const std::string& pdf) {
        Objects o;
        const auto pages = PageObjects(pdf);
        const std::string resources = Object(pdf, Ref(Object(pdf, pages.at(0)), "/Font"));
        o.font = Object(pdf, Ref(resources, "/F0000"));
        const uint32_t d = Ref(o.font, "/DescendantFonts [");
        o.descendant = d != 0 ? Object(pdf, d) : std::string();
        o.descriptor = Object(pdf, Ref(d != 0 ? o.descendant : o.font, "/FontDescriptor"));
        if (uint32_t t = Ref(o.font, "/ToUnicode")) o.toUnicode = Object(pdf, t);
        if (uint32_t c = Ref(o.descendant, "/CIDToGIDMap")) o.cidToGid = Object(pdf, c);
        return o;
    }

    TempDir dir;
};

TEST_F(PdfFonts, ShiftJisNotEmbeddedBoldItalic) {
    Emf e;
    e.Font(1, -20, u"IPAGothic", 128, 700, true).Select(1).TextW(0, 0, u"漢A");
    const auto o = Font(Export(e));
    EXPECT_NE(o.font.find("/Subtype /Type0\r/Name /F0000\r/BaseFont /IPAGothic,BoldItalic\r"),
              std::string::npos)
        << o.font;
    EXPECT_NE(o.font.find("/Encoding /UniJIS-UCS2-HW-H\r>>\rendobj"), std::string::npos);
    EXPECT_EQ(o.font.find("/ToUnicode"), std::string::npos);
    EXPECT_NE(o.descendant.find("/Subtype /CIDFontType2\r/BaseFont /IPAGothic,BoldItalic\r"
                                "/WinCharSet 128 /FontDescriptor "),
              std::string::npos)
        << o.descendant;
    EXPECT_NE(o.descendant.find("/CIDSystemInfo << /Registry (Adobe) /Ordering (Japan1) "
                                "/Supplement 2 >>\r/DW 1000\r/W [ 231 389 500 631 [ 500 ] ]\r"),
              std::string::npos)
        << o.descendant;
    // No map names an object that was never written.
    EXPECT_EQ(o.descendant.find("/CIDToGIDMap"), std::string::npos);
    // Italic (64), non-symbolic (32) and IPAGothic is fixed-pitch (1).
    EXPECT_NE(o.descriptor.find("/FontName /IPAGothic,BoldItalic\r/Flags 97\r"), std::string::npos)
        << o.descriptor;
    EXPECT_NE(o.descriptor.find("/StemV 159\r/StemH 159\r"), std::string::npos);
    EXPECT_NE(o.descriptor.find("/Leading "), std::string::npos);
}

TEST_F(PdfFonts, ShiftJisEmbeddedUtf16) {
    Emf e;
    e.Font(1, -20, u"IPAGothic").Select(1).Comment("##EMBED###").TextW(0, 0, u"漢A\\");
    const std::string pdf = Export(e);
    const auto o = Font(pdf);
    EXPECT_NE(o.font.find("/BaseFont /EmbedFont0000\r/ToUnicode "), std::string::npos) << o.font;
    EXPECT_NE(o.font.find("/Encoding /Identity-H\r"), std::string::npos);
    EXPECT_NE(o.descendant.find("/Ordering (Identity)/Supplement 0 >>\r/DW 1000\r/W ["),
              std::string::npos)
        << o.descendant;
    // The half-width letter takes half an em in the widths.
    plat::LogicalFont lf;
    lf.faceName = u"IPAGothic";
    auto face = plat::OpenLogicalFont(lf);
    ASSERT_NE(face, nullptr);
    EXPECT_NE(o.descendant.find(PdfFormat(" %d [ 500", face->GlyphIndex(U'A'))), std::string::npos)
        << o.descendant;
    const std::string cmap = Inflate(StreamData(o.toUnicode));
    EXPECT_NE(cmap.find(PdfFormat("<%04x> <6f22>\n", face->GlyphIndex(U'漢'))), std::string::npos);
    // The backslash is drawn with the yen sign's glyph, which the subset holds.
    EXPECT_NE(cmap.find(PdfFormat("<%04x> <00a5>\n", face->GlyphIndex(U'\u00a5'))),
              std::string::npos)
        << cmap;
    const std::string file = Object(pdf, Ref(o.descriptor, "/FontFile2"));
    const std::string subset = Inflate(StreamData(file));
    EXPECT_NE(file.find(PdfFormat("/Length1 %d >>", subset.size())), std::string::npos) << file;
    EXPECT_NE(o.descriptor.find("/FontName /EmbedFont0000\r"), std::string::npos);
    EXPECT_EQ(o.descriptor.find("/MissingWidth"), std::string::npos);
}

TEST_F(PdfFonts, ShiftJisEmbeddedAnsiUsesTheJapan1Map) {
    Emf e;
    e.Font(1, -20, u"IPAMincho").Select(1).Comment("##EMBED###").TextA(0, 0, "A\x8a\xbf");
    const auto o = Font(Export(e));
    EXPECT_NE(o.font.find("/Encoding /90ms-RKSJ-H\r"), std::string::npos) << o.font;
    EXPECT_EQ(o.font.find("/ToUnicode"), std::string::npos);
    EXPECT_NE(o.descendant.find("/Ordering (Japan1) /Supplement 2"), std::string::npos);
    const std::string map = Inflate(StreamData(o.cidToGid));
    ASSERT_EQ(map.size(), 40960u);
    // The map gives the glyph of 漢's Adobe-Japan1 CID.
    plat::LogicalFont lf;
    lf.faceName = u"IPAMincho";
    auto face = plat::OpenLogicalFont(lf);
    const int cid = UnicodeToAj1Cid(u'漢');
    ASSERT_GT(cid, 0);
    const uint32_t glyph = uint8_t(map[2 * size_t(cid)]) << 8 | uint8_t(map[2 * size_t(cid) + 1]);
    EXPECT_EQ(glyph, face->GlyphIndex(U'漢'));
}

TEST_F(PdfFonts, SimpleFontWidths) {
    Emf e;
    e.Font(1, -20, u"DejaVu Sans", 0).Select(1).TextW(0, 0, u"a");
    const auto o = Font(Export(e));
    EXPECT_NE(o.font.find("/Subtype /TrueType\r/Name /F0000\r/BaseFont /DejaVuSans\r/FirstChar 32\r"
                          "/LastChar "),
              std::string::npos)
        << o.font;
    const size_t open = o.font.find("/Widths [\r") + 10;
    const size_t close = o.font.find("]\r/FontDescriptor");
    std::vector<int> widths;
    std::istringstream in(o.font.substr(open, close - open));
    for (int w; in >> w;) widths.push_back(w);
    const int first = 32, last = first + int(widths.size()) - 1;
    EXPECT_NE(o.font.find(PdfFormat("/LastChar %d\r", last)), std::string::npos);
    ASSERT_GT(last, 0x90);
    plat::LogicalFont lf;
    lf.faceName = u"DejaVu Sans";
    auto face = plat::OpenLogicalFont(lf);
    auto advance = [&](char32_t c) {
        auto w = face->CharAbcWidth(c, -1000);
        return w.a + w.b + w.c;
    };
    EXPECT_EQ(widths['a' - first], advance(U'a'));
    EXPECT_EQ(widths[0x80 - first], advance(U'\u20ac'));  // Windows-1252: the euro sign
    // An undefined code keeps its place with the average width.
    const int average = face->OutlineMetricsAt(-1000).text.averageCharWidth;
    EXPECT_EQ(widths[0x81 - first], average);
    EXPECT_EQ(widths[0x82 - first], advance(U'\u201a'));
    EXPECT_NE(o.font.find("/Encoding /WinAnsiEncoding\r"), std::string::npos);
}

TEST(ToUnicodeCMap, BlocksOfAHundred) {
    std::map<char16_t, uint16_t> glyphs;
    for (int i = 0; i < 250; ++i) glyphs[char16_t(0x4E00 + i)] = uint16_t(10 + i);
    glyphs[u'?'] = 0;  // a failed look-up maps to no character
    const std::string cmap = WriteToUnicodeCMap(glyphs);
    EXPECT_EQ(cmap.substr(0, 61), "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n");
    size_t at = 0;
    std::vector<std::string> heads;
    while ((at = cmap.find("beginbfchar\n", at)) != std::string::npos) {
        const size_t line = cmap.rfind('\n', at) + 1;
        heads.push_back(cmap.substr(line, at - line));
        ++at;
    }
    EXPECT_EQ(heads, (std::vector<std::string>{"100 ", "100 ", "50 "}));
    EXPECT_NE(cmap.find("100 beginbfchar\n<000a> <4e00>\n"), std::string::npos);
    EXPECT_NE(cmap.find("<0103> <4ef9>\nendbfchar\nendcmap CMapName currentdict /CMap "
                        "defineresource pop end end\n"),
              std::string::npos);
    EXPECT_EQ(WriteToUnicodeCMap({}), "");
}

TEST(PdfFontTableTest, MatchesAllButHeightAndCharacterSet) {
    PdfFontTable table;
    plat::LOGFONTW f;
    f.lfHeight = -10;
    std::copy_n(u"IPAGothic", 9, f.lfFaceName);
    int a = -1, b = -1;
    ASSERT_EQ(table.Add(f, true, false, false, a), kOk);
    plat::LOGFONTW g = f;
    g.lfHeight = 30;
    g.lfCharSet = 0;
    EXPECT_EQ(table.Find(g, true, false, false), a);
    EXPECT_EQ(table.Find(g, false, false, false), -1);
    EXPECT_EQ(table.Find(g, true, true, false), -1);
    g.lfWeight = 700;
    EXPECT_EQ(table.Find(g, true, false, false), -1);
    // Entries go past the first fifty.
    for (int i = 0; i < 60; ++i) {
        plat::LOGFONTW h = f;
        h.lfWidth = i + 1;
        ASSERT_EQ(table.Add(h, true, false, false, b), kOk);
    }
    EXPECT_EQ(b, 60);
    EXPECT_GE(table.capacity(), 61);
    table.MarkWide(0, u"ba");
    ASSERT_EQ(table.MarkAnsi(0, "\x82\xa0"), kOk);
    EXPECT_EQ(table.ListUsed(0), u"abあ");
    EXPECT_EQ(table.SetObject(99, 1), kFontIndex);
}

}  // namespace
}  // namespace kp
