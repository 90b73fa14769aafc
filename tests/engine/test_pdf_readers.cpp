// The exported PDFs through real readers: qpdf checks the structure, pdffonts names each font
// shape as decided, pdftotext gives the Japanese text back exactly, pdftoppm renders fills,
// lines and text where they were drawn, and every embedded subset loads in fontTools and passes
// the OpenType sanitiser.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "emf_builder.h"
#include "engine/core/font_ansi.h"
#include "engine/core/module.h"
#include "engine/output/pdf_fonts.h"
#include "engine/output/pdf_format.h"
#include "engine/output/pdf_translate.h"
#include "engine/output/pdf_writer.h"
#include "pdf_test_support.h"
#include "platform/automation/automation.h"
#include "platform/fonts/font_resolver.h"
#include "platform/gdi/emf_recorder.h"
#include "platform/gdi/gdi_objects.h"

namespace kp {
namespace {

using namespace pdftest;
using namespace pdf_code;
using emftest::Emf;

std::string SourceDir() {
    const char* env = std::getenv("QZS_SOURCE_DIR");
    return env != nullptr ? env : QZS_SOURCE_DIR;
}

class Readers : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(plat::RegisterProcessFont(SourceDir() +
                                              "/tests/fixtures/fonts/qzs-fixture-symbol.ttf"));
    }

    // Writes the pages into path; answers PdfClose's code.
    int Export(const std::string& path, const std::vector<Emf>& pages) {
        PdfFileWriter w;
        PdfFontTable pageFonts;
        EXPECT_EQ(w.AllocateTables(), kOk);
        EXPECT_EQ(w.CreateFile(path, true), kOk);
        for (const auto& p : pages) {
            const int rc = ConvertMetafilePage(w, pageFonts, p.Bytes(), 21000, 29700);
            EXPECT_EQ(rc, kOk);
            if (rc != kOk) return rc;
        }
        const std::u16string* none[5] = {};
        return w.FinishFile(none, pageFonts);
    }
    static void QpdfClean(const std::string& path) {
        int status = -1;
        const std::string out = RunCommand("qpdf --check " + path + " 2>&1", &status);
        EXPECT_EQ(status, 0) << out;
        EXPECT_NE(out.find("No syntax or stream encoding errors found"), std::string::npos) << out;
    }

    // Each /FontFile2 of the file loads in fontTools and passes ots-sanitize.
    void CheckEmbeddedFonts(const std::string& path) {
        const std::string pdf = ReadFile(path);
        int found = 0;
        for (size_t p = pdf.find("/FontFile2 "); p != std::string::npos;
             p = pdf.find("/FontFile2 ", p + 1)) {
            const uint32_t object = Ref(pdf.substr(p, 30), "/FontFile2");
            const std::string font = dir.File("font" + std::to_string(object) + ".ttf");
            int status = -1;
            RunCommand(PdfFormat("qpdf --show-object=%d --filtered-stream-data ", object) + path +
                           " > " + font,
                       &status);
            ASSERT_EQ(status, 0);
            RunCommand(
                "/usr/bin/python3 -c \"import sys; from fontTools.ttLib import TTFont; "
                "f = TTFont(sys.argv[1]); [f[t] for t in f.keys()]\" " +
                    font + " 2>&1",
                &status);
            EXPECT_EQ(status, 0) << "fontTools refused " << font;
            const std::string ots =
                RunCommand("ots-sanitize " + font + " " + font + ".ots 2>&1", &status);
            EXPECT_EQ(status, 0) << ots;
            ++found;
        }
        EXPECT_GT(found, 0);
    }

    TempDir dir;
};

// One text record in a font of each shape.
struct FontShape {
    const char* name;
    std::u16string face;
    uint8_t charSet;
    bool embed;
    bool wide;
    std::u16string text;
    std::string type, encoding, emb, uni;  // pdffonts' columns
};

// Without the line ends and form feeds pdftotext puts after a page.
std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\f')) s.pop_back();
    return s;
}

plat::OutlineMetrics MetricsOf(const char16_t* face) {
    plat::LogicalFont f;
    f.faceName = face;
    f.height = -1000;
    auto ff = plat::OpenLogicalFont(f);
    return ff ? ff->OutlineMetricsAt(-1000) : plat::OutlineMetrics{};
}

std::string Utf8(const std::u16string& s) {
    std::string out;
    plat::Utf8FromWide(s, &out);
    return out;
}

TEST_F(Readers, FontShapes) {
    const std::u16string japanese = u"漢字かなカナ\uff76\uff85ASCII 123";
    const FontShape shapes[] = {
        {"UTF-16 not embedded", u"IPAGothic", 128, false, true, japanese, "CID TrueType",
         "UniJIS-UCS2-HW-H", "no", "no"},
        {"UTF-16 embedded", u"IPAGothic", 128, true, true, japanese, "CID TrueType", "Identity-H",
         "yes", "yes"},
        {"ANSI not embedded", u"IPAMincho", 128, false, false, japanese, "CID TrueType",
         "90ms-RKSJ-H", "no", "no"},
        {"ANSI embedded", u"IPAMincho", 128, true, false, japanese, "CID TrueType", "90ms-RKSJ-H",
         "yes", "no"},
        {"charset 0", u"DejaVu Sans", 0, false, true, u"Caf\u00e9 \u20ac5", "TrueType", "WinAnsi",
         "no", "no"},
        {"charset 0 embedded", u"DejaVu Sans", 0, true, true, u"Caf\u00e9 \u20ac5", "TrueType",
         "WinAnsi", "yes", "no"},
        {"a symbol font with only a (3,0) cmap", u"QzsFixtureSymbol", 2, true, true, u"AB A",
         "CID TrueType", "Identity-H", "yes", "yes"},
    };
    for (const auto& s : shapes) {
        SCOPED_TRACE(s.name);
        Emf e;
        e.Font(1, -40, s.face, s.charSet).Select(1);
        if (s.embed) e.Comment("##EMBED###");
        if (s.wide) {
            e.TextW(100, 100, s.text);
        } else {
            e.TextA(100, 100, Utf16ToAnsi(s.text));
        }
        const std::string path = dir.File("shape.pdf");
        ASSERT_EQ(Export(path, {e}), kOk);
        QpdfClean(path);
        const std::string fonts = RunCommand("pdffonts " + path + " 2>&1");
        std::istringstream lines(fonts);
        std::string line;
        std::getline(lines, line);
        std::getline(lines, line);
        std::getline(lines, line);
        // name, type (one or two words), encoding, emb, sub, uni, object, id.
        std::vector<std::string> words;
        std::istringstream w(line);
        for (std::string x; w >> x;) words.push_back(x);
        ASSERT_GE(words.size(), 8u) << fonts;
        const size_t n = words.size();
        EXPECT_EQ(words[n - 5], s.emb) << fonts;
        EXPECT_EQ(words[n - 3], s.uni) << fonts;
        EXPECT_EQ(words[n - 6], s.encoding) << fonts;
        EXPECT_NE(line.find(s.type), std::string::npos) << fonts;
        if (s.embed) CheckEmbeddedFonts(path);
        if (s.charSet != 2) {
            EXPECT_EQ(Trimmed(RunCommand("pdftotext -enc UTF-8 " + path + " - 2>/dev/null")),
                      Utf8(s.text));
        }
    }
}

// Three thousand distinct characters on one page come back exactly from an embedded font. (Not
// embedded, the reader maps the codes through Adobe-Japan1, which gives a few characters that
// share a glyph there, such as U+5BEC and U+5BDB, back as one of them.)
TEST_F(Readers, ThreeThousandDistinctCharacters) {
    plat::LogicalFont lf;
    lf.faceName = u"IPAGothic";
    lf.height = -1000;
    auto face = plat::OpenLogicalFont(lf);
    ASSERT_NE(face, nullptr);
    std::vector<std::u16string> lines(1);
    for (char16_t c = 0x4E00; c < 0x9FFF && lines.size() <= 60; ++c) {
        if (face->GlyphIndex(c) == 0 || Utf16ToAnsi(std::u16string(1, c)) == "?") continue;
        if (lines.back().size() == 50) lines.emplace_back();
        lines.back() += c;
    }
    lines.pop_back();
    ASSERT_EQ(lines.size(), 60u);
    std::string want;
    for (const auto& l : lines) want += Utf8(l) + "\n";
    want.pop_back();
    Emf e;
    e.Font(1, -12, u"IPAGothic").Select(1);
    for (size_t i = 0; i < lines.size(); ++i) {
        e.Comment("##EMBED###");
        e.TextW(20, 20 + 16 * int32_t(i), lines[i]);
    }
    const std::string path = dir.File("many.pdf");
    ASSERT_EQ(Export(path, {e}), kOk);
    QpdfClean(path);
    EXPECT_EQ(Trimmed(RunCommand("pdftotext -enc UTF-8 " + path + " - 2>/dev/null")), want);
    CheckEmbeddedFonts(path);
}

// A page as the drawing layer records it, with the text control's embedding comment.
TEST_F(Readers, PageRecordedByTheDrawingLayer) {
    const auto device = plat::DeviceInfo::ForPixels(794, 1123, 96);
    plat::EmfRecorder dc(device, plat::RECT{0, 0, 21000, 29700}, u"KelvaprintV3.0");
    plat::LOGFONTW font;
    font.lfHeight = -24;
    font.lfCharSet = plat::kShiftJisCharset;
    std::copy_n(u"IPAMincho", 9, font.lfFaceName);
    plat::GdiObject f(plat::CreateFontIndirectW(font));
    plat::GdiObject pen(plat::CreatePen(plat::kPsSolid, 2, plat::Rgb(0, 0, 255)));
    plat::GdiObject brush(plat::CreateSolidBrush(plat::Rgb(0, 128, 0)));
    dc.SaveDC();
    dc.SelectObject(f.get());
    dc.SelectObject(pen.get());
    dc.SelectObject(brush.get());
    dc.SetBkMode(plat::kTransparent);
    const std::string_view embed = "##EMBED###";
    dc.GdiComment({reinterpret_cast<const uint8_t*>(embed.data()), embed.size()});
    plat::RECT cell{50, 50, 700, 90};
    dc.ExtTextOutW(50, 50, plat::kEtoClipped, &cell, u"見積書 ｶﾅ ABC-123");
    dc.MoveToEx(50, 100);
    dc.LineTo(700, 100);
    const plat::POINT box[] = {{50, 120}, {200, 120}, {200, 200}, {50, 200}};
    dc.Polygon(box);
    dc.PatBlt(300, 120, 100, 80, plat::kRopPatCopy);
    dc.RestoreDC(-1);
    const auto bytes = dc.Close();
    PdfFileWriter w;
    PdfFontTable pageFonts;
    ASSERT_EQ(w.AllocateTables(), kOk);
    const std::string path = dir.File("recorded.pdf");
    ASSERT_EQ(w.CreateFile(path, false), kOk);
    ASSERT_EQ(ConvertMetafilePage(w, pageFonts, bytes, 21000, 29700), kOk);
    const std::u16string* none[5] = {};
    ASSERT_EQ(w.FinishFile(none, pageFonts), kOk);
    QpdfClean(path);
    EXPECT_EQ(Trimmed(RunCommand("pdftotext -enc UTF-8 " + path + " - 2>/dev/null")),
              Utf8(u"見積書 ｶﾅ ABC-123"));
    CheckEmbeddedFonts(path);
    const std::string content = PageContent(ReadFile(path));
    EXPECT_NE(content.find("0.00 0.50 0.00 rg\r"), std::string::npos) << content;
    EXPECT_NE(content.find("0.00 0.00 1.00 RG\r"), std::string::npos) << content;
}

// End-user-defined characters: without an EUDC font (as usual here) the ordinary font draws
// them and the document still closes; a configured stand-in character replaces them; with an
// EUDC font their runs are embedded from it, cut from the ordinary characters around them.
TEST_F(Readers, EndUserDefinedCharacters) {
    TempDir config;
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string before = saved != nullptr ? saved : "";
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    std::filesystem::create_directories(config.path() + "/korva-qzs");
    std::filesystem::create_directories(config.path() + "/Tessaryn/Kelvaprint/3.1");
    struct Case {
        const char* name;
        bool eudcFont;
        const char* unknown;  // UnknownChar, CP932
        std::u16string text;
        std::u16string extracted;
        int fonts;
    } cases[] = {
        // IPAGothic has nothing at U+E000: glyph 0, which maps to no character.
        {"no EUDC font, no stand-in", false, nullptr, u"A\ue000B", u"AB", 1},
        {"no EUDC font, a stand-in", false, "?", u"A\ue000B", u"A?B", 1},
        {"an EUDC font", true, nullptr, u"A\ue000\ue001B\ue003", u"A\ue000\ue001B\ue003", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(config.path() + "/korva-qzs/eudc.conf",
                  c.eudcFont ? "SystemDefaultEUDCFont = " + SourceDir() +
                                   "/tests/fixtures/fonts/qzs-fixture-eudc.tte\n"
                             : std::string());
        WriteFile(config.path() + "/Tessaryn/Kelvaprint/3.1/PDF",
                  c.unknown != nullptr ? std::string("UnknownChar=") + c.unknown + "\n" : "");
        ReadPdfSettings();
        Emf e;
        e.Font(1, -40, u"IPAGothic").Select(1).Comment("##EMBED###").TextW(100, 100, c.text);
        const std::string path = dir.File("eudc.pdf");
        ASSERT_EQ(Export(path, {e}), kOk);
        QpdfClean(path);
        const std::string fonts = RunCommand("pdffonts " + path + " 2>&1");
        EXPECT_EQ(std::count(fonts.begin(), fonts.end(), '\n'), 2 + c.fonts) << fonts;
        if (c.eudcFont) {
            EXPECT_NE(fonts.find("EmbedFont0001+EUDC"), std::string::npos) << fonts;
        }
        std::string text = RunCommand("pdftotext -enc UTF-8 " + path + " - 2>/dev/null");
        text.erase(std::remove_if(text.begin(), text.end(),
                                  [](char ch) { return ch == '\n' || ch == '\f'; }),
                   text.end());
        EXPECT_EQ(text, Utf8(c.extracted));
    }
    WriteFile(config.path() + "/Tessaryn/Kelvaprint/3.1/PDF", "");
    ReadPdfSettings();
    if (saved != nullptr) {
        ::setenv("XDG_CONFIG_HOME", before.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

TEST_F(Readers, RenderedWhereDrawn) {
    constexpr double kScale = 150.0 / 96.0;  // logical units of the page are 96-dpi pixels
    const auto m = MetricsOf(u"IPAGothic");
    ASSERT_GT(m.text.ascent, 0);
    Emf e;
    e.Brush(2, 0, 0x0000FF).Select(2).PatBlt(100, 100, 100, 50);
    e.Pen(3, 0, 3, 0).Select(3).Pair(27, 100, 300).Pair(54, 400, 300);
    e.Font(1, -40, u"IPAGothic").Select(1).TextW(100, 400, u"\u25a0");
    const std::string path = dir.File("draw.pdf");
    ASSERT_EQ(Export(path, {e}), kOk);
    const Raster r = Render(path, dir.File("draw"));
    ASSERT_GT(r.width, 0);
    auto at = [&](double v) { return int(std::lround(v * kScale)); };
    // The box: filled inside, white two pixels outside.
    EXPECT_TRUE(r.Red(at(150), at(125)));
    EXPECT_TRUE(r.Red(at(100) + 2, at(100) + 2));
    EXPECT_FALSE(r.Red(at(100) - 3, at(125)));
    EXPECT_FALSE(r.Red(at(200) + 3, at(125)));
    // The line: ink on it, none three pixels beside it.
    EXPECT_TRUE(r.Dark(at(250), at(300)));
    EXPECT_FALSE(r.Dark(at(250), at(300) + 6));
    // The square's ink lies in its cell: from the reference point down to the baseline.
    int top = r.height, bottom = -1, left = r.width, right = -1;
    for (int y = at(350); y < at(500); ++y) {
        for (int x = at(50); x < at(300); ++x) {
            if (!r.Dark(x, y)) continue;
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    ASSERT_GE(bottom, 0) << "no text ink";
    const double baseline = 400 + 40.0 * m.text.ascent / 1000.0;
    EXPECT_GE(top, at(400) - 2);
    EXPECT_LE(bottom, at(baseline + 40.0 * m.text.descent / 1000.0) + 2);
    EXPECT_GE(left, at(100) - 2);
    EXPECT_LE(right, at(140) + 2);
}

}  // namespace
}  // namespace kp
