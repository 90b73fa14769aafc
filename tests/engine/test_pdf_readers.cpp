// The exported PDFs through real readers: qpdf checks the structure, pdffonts names each font
// shape as decided, pdftotext gives the Japanese text back exactly, pdftoppm renders fills,
// lines and text where they were drawn, and every embedded subset loads in fontTools and passes
// the OpenType sanitiser.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "emf_builder.h"
#include "engine/output/font_ansi.h"
#include "engine/output/pdf_format.h"
#include "engine/output/pdf_translate.h"
#include "engine/output/pdf_writer.h"
#include "pdf_test_support.h"
#include "platform/automation/automation.h"
#include "platform/fonts/font_resolver.h"

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
        EXPECT_EQ(w.AllocateTables(), kOk);
        EXPECT_EQ(w.CreateFile(path, true), kOk);
        for (const auto& p : pages) {
            const int rc = ConvertMetafilePage(w, p.Bytes(), 21000, 29700);
            EXPECT_EQ(rc, kOk);
            if (rc != kOk) return rc;
        }
        const std::u16string* none[5] = {};
        return w.FinishFile(none);
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

}  // namespace
}  // namespace kp
