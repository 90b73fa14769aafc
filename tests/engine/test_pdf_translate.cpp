// Metafile pages to PDF content: record sequences assembled here, translated, and the page's
// inflated content stream compared with the operators expected; the errors of bad objects,
// limits and records that fail the checks; the device state starting afresh on each page.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "emf_builder.h"
#include "engine/output/pdf_fonts.h"
#include "engine/output/pdf_format.h"
#include "engine/output/pdf_translate.h"
#include "engine/output/pdf_writer.h"
#include "pdf_test_support.h"
#include "platform/fonts/font_resolver.h"
#include "platform/gdi/gdi_objects.h"

namespace kp {
namespace {

using namespace pdftest;
using namespace pdf_code;
using emftest::Emf;
using emftest::Record;

constexpr uint32_t kStock = 0x80000000u;

// The page is A4 at 96 dpi: a logical unit is 0.75 pt, y counted down from the top.
double Px(double x) {
    return x * 0.75;
}
double Py(double y) {
    return (29700 * 96 / 2540.0 - y) * 0.75;
}
std::string P(double x, double y, const char* op) {
    return PdfFormat("%.3f %.3f ", Px(x), Py(y)) + op;
}
const std::string kBlackPen = "1 J 1 j\r0.750 w\r0.00 0.00 0.00 RG\r";

class Translate : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(writer.AllocateTables(), kOk); }

    // Translates the pages into a document and answers the first error, or 0.
    int Export(const std::vector<Emf>& pages) {
        fonts.Clear();  // each document names its own fonts
        int rc = writer.CreateFile(dir.File("t.pdf"), true);
        for (const auto& page : pages) {
            if (rc != kOk) break;
            const auto bytes = page.Bytes();
            rc = ConvertMetafilePage(writer, fonts, bytes, 21000, 29700);
        }
        if (rc != kOk) {
            writer.Abandon();
            return rc;
        }
        const std::u16string* none[5] = {};
        rc = writer.FinishFile(none, fonts);
        pdf = ReadFile(dir.File("t.pdf"));
        return rc;
    }
    std::string Content(const Emf& page) {
        EXPECT_EQ(Export({page}), kOk);
        return PageContent(pdf);
    }

    TempDir dir;
    PdfFileWriter writer;
    PdfFontTable fonts;
    std::string pdf;
};

struct ContentCase {
    const char* name;
    std::function<void(Emf&)> records;
    std::string content;
};

TEST_F(Translate, RecordSequencesToContent) {
    const std::string rect = P(10, 20, "") + PdfFormat("%.3f %.3f ", 15.0, -15.0);
    const ContentCase cases[] = {
        {"colours and mapping alone draw nothing",
         [](Emf& e) {
             e.One(24, 0xFF)
                 .One(25, 0xFF00)
                 .Pair(9, 2, 2)
                 .Pair(11, 3, 3)
                 .Pair(10, 5, 5)
                 .Pair(12, 1, 1);
         },
         ""},
        {"a line outside a path strokes with the selected pen",
         [](Emf& e) { e.Pen(1, 0x200, 4, 0x0000FF).Select(1).Pair(27, 10, 20).Pair(54, 30, 40); },
         "0 J 1 j\r3.000 w\r1.00 0.00 0.00 RG\r" + P(10, 20, "m\r") + P(30, 40, "l\r S n\r")},
        {"a stroked path",
         [](Emf& e) {
             e.Simple(59).Pair(27, 10, 20).Pair(54, 30, 40).Simple(61).Simple(60);
             e.Add(Record(64).Rect(0, 0, 0, 0));
         },
         // The move is written when it is made and again by the line that follows it.
         "q\r" + P(10, 20, "m\r") + P(10, 20, "m\r") + P(30, 40, "l\r") + "h\r" + kBlackPen +
             "S\rQ\r"},
        {"stroke after abort writes nothing",
         [](Emf& e) {
             e.Simple(59).Pair(27, 10, 20).Pair(54, 30, 40).Simple(68);
             e.Add(Record(64).Rect(0, 0, 0, 0));
         },
         ""},
        {"restore -3 at level 1 pops one level", [](Emf& e) { e.Simple(33).One(34, uint32_t(-3)); },
         "q\rQ\r"},
        {"an absolute restore brings back the state of that save",
         [](Emf& e) { e.Simple(33).Simple(33).Simple(33).One(34, 2); }, "q\rq\rq\rQ\rQ\rQ\r"},
        {"open levels are closed at the end of the page", [](Emf& e) { e.Simple(33).Simple(33); },
         "q\rq\rQ\rQ\r"},
        {"opaque text without characters paints only its background",
         [](Emf& e) {
             e.TextW(10, 20, u"", 2, {10, 20, 30, 40});
         },
         "1.00 1.00 1.00 rg\r" + rect + "re f\r"},
        {"polyline with the pen first",
         [](Emf& e) {
             e.Poly16(87, {{1, 2}, {3, 4}, {5, 6}});
         },
         kBlackPen + P(1, 2, "m\r") + P(3, 4, "l\r") + P(5, 6, "l\r") + "S n\r"},
        {"polyline-to and Béziers continue from the position",
         [](Emf& e) {
             e.Simple(59).Pair(27, 1, 1).Poly16(89, {{2, 2}}).Poly16(88, {{3, 3}, {4, 4}, {5, 5}});
         },
         ""},
        {"poly-polyline",
         [](Emf& e) {
             e.PolyPolyline16({{{1, 1}, {2, 2}}, {{3, 3}, {4, 4}}});
         },
         PdfFormat("%.3f %.3f ", Px(1), Py(1)) + " m\r" + PdfFormat("%.3f %.3f ", Px(2), Py(2)) +
             " l\r" + PdfFormat("%.3f %.3f ", Px(3), Py(3)) + " m\r" +
             PdfFormat("%.3f %.3f ", Px(4), Py(4)) + " l\r" + kBlackPen + "S\r"},
        {"polygon filled with the brush and stroked",
         [](Emf& e) {
             e.Brush(2, 0, 0x00FF00).Select(2).Poly16(86, {{0, 0}, {10, 0}, {10, 10}});
         },
         P(0, 0, "m\r") + P(10, 0, "l\r") + P(10, 10, "l\r") + kBlackPen +
             "0.00 1.00 0.00 rg\rh B n\r"},
        {"a null pen fills only, a hollow brush strokes only",
         [](Emf& e) {
             e.Brush(2, 0, 0x0000FF).Select(2).Select(kStock | 8).Poly16(86, {{0, 0}, {1, 1}});
             e.Select(kStock | 7).Select(kStock | 5).Poly16(86, {{0, 0}, {1, 1}});
         },
         P(0, 0, "m\r") + P(1, 1, "l\r") + "1.00 0.00 0.00 rg\rh f n\r" + P(0, 0, "m\r") +
             P(1, 1, "l\r") + kBlackPen + "h S n\r"},
        {"pattern copy fills with the brush colour; a monochrome brush mixes its colours",
         [](Emf& e) {
             e.Brush(2, 0, 0x0000FF).Select(2).PatBlt(10, 20, 20, 20);
             // Three 0 bits and one 1 bit: 3/4 text colour (black), 1/4 background (white).
             e.One(24, 0)
                 .One(25, 0xFFFFFF)
                 .MonoBrush(3, 1, 0, 2, 2, {0x40, 0, 0, 0, 0x00, 0, 0, 0});
             e.Select(3).PatBlt(0, 0, 4, 4);
         },
         "1.00 0.00 0.00 rg\r" +
             PdfFormat("%.2f %.2f %.2f %.2f re f\r", Px(10), Py(20) - 15.0, 15.0, 15.0) +
             "0.25 0.25 0.25 rg\r" +
             PdfFormat("%.2f %.2f %.2f %.2f re f\r", 0.0, Py(0) - 3.0, 3.0, 3.0)},
        {"a clip of two stacked rectangles is one outline of eight points",
         [](Emf& e) {
             e.Clip(5, {{0, 0, 100, 50}, {0, 50, 100, 100}});
         },
         P(0, 0, "m\r") + P(0, 47, "l\r") + P(0, 50, "l\r") + P(0, 97, "l\r") + P(97, 97, "l\r") +
             P(97, 50, "l\r") + P(97, 47, "l\r") + P(97, 0, "l\r") + "h W* n\r"},
        {"an empty clip region is the whole frame", [](Emf& e) { e.Clip(2, {}); },
         PdfFormat("%.2f %.2f %.2f %.2f re\r", 0.0, 0.0, 21000 * 72 / 2540.0, 29700 * 72 / 2540.0) +
             "h W n\r"},
        {"an image keeps its matrix to itself",
         [](Emf& e) {
             e.Dib(10, 20, 40, 20, 2, 1, 24, {}, {1, 2, 3, 4, 5, 6, 0, 0});
         },
         PdfFormat("q\r%.3f 0 0 %.3f %.3f %.3f cm\r/im1 Do\rQ\r", 30.0, -15.0, Px(10), Py(20))},
        {"a source narrower than the bitmap stretches the whole bitmap",
         [](Emf& e) { e.Dib(0, 0, 10, 10, 4, 2, 24, {}, std::vector<uint8_t>(32, 0), 2, 1); },
         PdfFormat("q\r%.3f 0 0 %.3f %.3f %.3f cm\r/im1 Do\rQ\r", 15.0, -15.0, 0.0, Py(0))},
        {"viewport scaling reaches coordinates and pen widths",
         [](Emf& e) {
             e.Pair(9, 1, 1).Pair(11, 2, 2).Add(Record(31).I32(3).I32(2).I32(3).I32(2));
             e.Pair(27, 0, 0).Pair(54, 10, 0);
         },
         "1 J 1 j\r2.250 w\r0.00 0.00 0.00 RG\r" + P(0, 0, "m\r") + P(30, 0, "l\r S n\r")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PdfFileWriter w;
        PdfFontTable pageFonts;
        ASSERT_EQ(w.AllocateTables(), kOk);
        ASSERT_EQ(w.CreateFile(dir.File("case.pdf"), true), kOk);
        Emf e;
        c.records(e);
        ASSERT_EQ(ConvertMetafilePage(w, pageFonts, e.Bytes(), 21000, 29700), kOk);
        const std::u16string* none[5] = {};
        ASSERT_EQ(w.FinishFile(none, pageFonts), kOk);
        EXPECT_EQ(PageContent(ReadFile(dir.File("case.pdf"))), c.content);
    }
}

struct ErrorCase {
    const char* name;
    std::function<void(Emf&)> records;
    int code;
};

TEST_F(Translate, Errors) {
    const ErrorCase cases[] = {
        {"selecting an unused index", [](Emf& e) { e.Select(5); }, kBadObject},
        {"creating at an index in use", [](Emf& e) { e.Pen(1, 0, 1, 0).Pen(1, 0, 1, 0); },
         kBadObject},
        {"creating past the handle table", [](Emf& e) { e.Pen(500, 0, 1, 0); }, kBadObject},
        {"deleting an unused index", [](Emf& e) { e.One(40, 9); }, kBadObject},
        {"fifty-one pens",
         [](Emf& e) {
             for (uint32_t i = 1; i <= 51; ++i) e.Pen(i, 0, 1, 0);
         },
         kGdiTableFull},
        {"saving past 499 levels",
         [](Emf& e) {
             for (int i = 0; i < 499; ++i) e.Simple(33);
         },
         kSaveDepth},
        {"a line with the pen deleted",
         [](Emf& e) { e.Pen(1, 0, 1, 0).Select(1).One(40, 1).Pair(54, 1, 1); }, kBadObject},
        {"text with the font deleted",
         [](Emf& e) { e.Font(3, -10, u"IPAGothic").Select(3).One(40, 3).TextW(0, 0, u"a"); },
         kBadObject},
        {"a monochrome brush of 8 bits",
         [](Emf& e) {
             e.MonoBrush(3, 8, 0, 1, 1, {0, 0, 0, 0});
         },
         kMonoBrush},
        {"a monochrome brush of palette indices",
         [](Emf& e) {
             e.MonoBrush(3, 1, 1, 1, 1, {0, 0, 0, 0});
         },
         kMonoBrush},
        {"a 32-bit image",
         [](Emf& e) {
             e.Dib(0, 0, 1, 1, 1, 1, 32, {}, {0, 0, 0, 0});
         },
         kImageDepth},
        {"a 16-bit image",
         [](Emf& e) {
             e.Dib(0, 0, 1, 1, 1, 1, 16, {}, {0, 0, 0, 0});
         },
         kImageDepth},
        {"2,001 images on a page",
         [](Emf& e) {
             for (int i = 0; i < 2001; ++i) e.Dib(0, 0, 1, 1, 1, 1, 24, {}, {0, 0, 0, 0});
         },
         kPageImages},
        {"a comment longer than its record",
         [](Emf& e) { e.Add(Record(70).U32(100).Bytes("##EMBED###")); }, kBadMetafile},
        {"text whose characters lie past the record",
         [](Emf& e) {
             Record r(84);
             r.Rect(0, 0, 0, 0).U32(1).U32(0).U32(0).I32(0).I32(0).U32(50).U32(76).U32(0);
             r.Rect(0, 0, 0, 0).U32(0).U16(u'a');
             e.Add(r);
         },
         kBadMetafile},
        {"poly-polyline counts that do not add up",
         [](Emf& e) { e.Add(Record(90).Rect(0, 0, 0, 0).U32(1).U32(1).U32(5).U32(0)); },
         kBadMetafile},
        {"a clip region claiming more rectangles than it holds",
         [](Emf& e) {
             e.Add(Record(75)
                       .U32(48)
                       .I32(5)
                       .U32(32)
                       .U32(1)
                       .U32(9)
                       .U32(16)
                       .Rect(0, 0, 0, 0)
                       .Rect(0, 0, 1, 1));
         },
         kBadMetafile},
        {"a bitmap header past its record",
         [](Emf& e) {
             Record r(81);
             r.Rect(0, 0, 0, 0);
             for (int i = 0; i < 4; ++i) r.I32(0);
             r.I32(1).I32(1).U32(80).U32(4000).U32(80).U32(4).U32(0).U32(0).I32(1).I32(1);
             e.Add(r);
         },
         kBadMetafile},
        {"a bitmap whose bits hold fewer rows than it declares",
         [](Emf& e) {
             e.Dib(0, 0, 1, 1, 1, 2, 24, {}, {0, 0, 0, 0});
         },
         kBadMetafile},
        {"a bitmap of 2^30 rows in a few bytes",
         [](Emf& e) {
             e.Dib(0, 0, 1, 1, 1, 1 << 30, 8, {}, {0, 0, 0, 0});
         },
         kBadMetafile},
        {"a top-down bitmap whose bits hold fewer rows",
         [](Emf& e) {
             e.Dib(0, 0, 1, 1, 8, -3, 1, {0, 0xFFFFFF}, std::vector<uint8_t>(8, 0));
         },
         kBadMetafile},
        {"a record size that is no multiple of four",
         [](Emf& e) {
             e.Add(std::vector<uint8_t>{24, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0});
         },
         kBadMetafile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PdfFileWriter w;
        PdfFontTable pageFonts;
        ASSERT_EQ(w.AllocateTables(), kOk);
        ASSERT_EQ(w.CreateFile(dir.File("err.pdf"), true), kOk);
        Emf e;
        c.records(e);
        EXPECT_EQ(ConvertMetafilePage(w, pageFonts, e.Bytes(), 21000, 29700), c.code);
    }
    // A file shorter than it says, and bytes that are no metafile at all.
    Emf e;
    auto bytes = e.Bytes();
    bytes.erase(bytes.end() - 4, bytes.end());
    EXPECT_EQ(ConvertMetafilePage(writer, fonts, bytes, 100, 100), kBadMetafile);
    EXPECT_EQ(ConvertMetafilePage(writer, fonts, std::vector<uint8_t>(200, 0), 100, 100),
              kBadMetafile);
}

TEST_F(Translate, EachPageStartsWithAFreshDeviceState) {
    Emf first, second;
    first.Pen(1, 0, 5, 0xFF).Select(1).Simple(33);
    second.Pen(1, 0, 1, 0).Pair(54, 10, 10);
    ASSERT_EQ(Export({first, second}), kOk);
    EXPECT_EQ(PageContent(pdf, 0), "q\rQ\r");
    // The second page's pen 1 is its own, and its selected pen is the stock black pen.
    EXPECT_EQ(PageContent(pdf, 1), kBlackPen + P(0, 0, "m\r") + P(10, 10, "l\r S n\r"));
}

// ---------------------------------------------------------------------------------------------
// Text

plat::OutlineMetrics MetricsOf(const char16_t* face) {
    plat::LogicalFont f;
    f.faceName = face;
    f.height = -1000;
    f.charSet = plat::kShiftJisCharset;
    auto ff = plat::OpenLogicalFont(f);
    return ff ? ff->OutlineMetricsAt(-1000) : plat::OutlineMetrics{};
}

TEST_F(Translate, TextSizedByTheEmWithItsBaselineAtTheAscent) {
    const auto m = MetricsOf(u"IPAGothic");
    ASSERT_GT(m.text.ascent, 0);
    struct Case {
        int32_t height;
        double em;
    } cases[] = {{-20, 20.0}, {22, 22.0 * 1000 / (m.text.ascent + m.text.descent)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.height);
        Emf e;
        e.Font(1, c.height, u"IPAGothic").Select(1).One(24, 0xFF0000).TextW(100, 200, u"A");
        const std::string content = Content(e);
        const double baseline = 200 + std::lround(c.em * m.text.ascent / 1000.0);
        EXPECT_EQ(content, "BT\r0.00 0.00 1.00 rg\r" + PdfFormat("/F0000 %.3f Tf\r", c.em * 0.75) +
                               PdfFormat("%.3f %.3f %.3f %.3f %.3f %.3f Tm\r0 Tc 0 Tw ", 1.0, 0.0,
                                         -0.0, 1.0, Px(100), Py(baseline)) +
                               "<0041> Tj\rET\r");
    }
}

TEST_F(Translate, TextEncodings) {
    struct Case {
        const char* name;
        std::function<void(Emf&)> records;
        std::string shows;  // the hexadecimal strings, in order
    } cases[] = {
        {"a wide 0x5C in a Shift-JIS font is written as the yen sign's code",
         [](Emf& e) { e.Font(1, -10, u"IPAGothic").Select(1).TextW(0, 0, u"a\\"); }, "<006100A5>"},
        {"ANSI text: single bytes in two digits, pairs in four",
         [](Emf& e) { e.Font(1, -10, u"IPAGothic").Select(1).TextA(0, 0, "A\x82\xa0\xb1"); },
         "<4182A0B1>"},
        {"a simple font gets Windows-1252 codes",
         [](Emf& e) { e.Font(1, -10, u"DejaVu Sans", 0).Select(1).TextW(0, 0, u"a\u20ac\u00e9"); },
         "<6180E9>"},
        {"a vertical face draws its single-byte run with the horizontal font",
         [](Emf& e) { e.Font(1, -10, u"@IPAGothic").Select(1).TextW(0, 0, u"日A"); },
         "<65E5> Tj\r/F0001 7.500 Tf\r<0041>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PdfFileWriter w;
        PdfFontTable pageFonts;
        ASSERT_EQ(w.AllocateTables(), kOk);
        ASSERT_EQ(w.CreateFile(dir.File("text.pdf"), true), kOk);
        Emf e;
        c.records(e);
        ASSERT_EQ(ConvertMetafilePage(w, pageFonts, e.Bytes(), 21000, 29700), kOk);
        const std::u16string* none[5] = {};
        ASSERT_EQ(w.FinishFile(none, pageFonts), kOk);
        const std::string content = PageContent(ReadFile(dir.File("text.pdf")));
        const size_t from = content.find("Tw ") + 3;
        const size_t to = content.rfind(" Tj\rET\r");
        ASSERT_NE(to, std::string::npos) << content;
        EXPECT_EQ(content.substr(from, to - from), c.shows);
    }
}

TEST_F(Translate, EmbeddingCommentReachesOnlyTheNextText) {
    Emf e;
    e.Font(1, -10, u"IPAGothic")
        .Select(1)
        .Comment("##EMBED###")
        .TextW(0, 0, u"あ")
        .TextW(0, 20, u"い");
    e.Comment("##EMBED##").TextW(0, 40, u"う");  // not the comment
    ASSERT_EQ(writer.CreateFile(dir.File("e.pdf"), true), kOk);
    ASSERT_EQ(ConvertMetafilePage(writer, fonts, e.Bytes(), 21000, 29700), kOk);
    ASSERT_EQ(fonts.count(), 2);
    EXPECT_TRUE(fonts.At(0)->embed);
    EXPECT_EQ(fonts.ListUsed(0), u"あ");
    EXPECT_FALSE(fonts.At(1)->embed);
    // Two heights of one face share one font entry.
    Emf more;
    more.Font(1, -30, u"IPAGothic").Select(1).TextW(0, 0, u"x");
    ASSERT_EQ(ConvertMetafilePage(writer, fonts, more.Bytes(), 21000, 29700), kOk);
    EXPECT_EQ(fonts.count(), 2);
}

TEST_F(Translate, ClippedTextKeepsItsClipToItself) {
    Emf e;
    e.Font(1, -10, u"IPAGothic").Select(1).TextW(10, 20, u"a", 4, {10, 20, 30, 40});
    const std::string content = Content(e);
    const std::string clip =
        "q\r" + P(10, 20, "") + PdfFormat("%.3f %.3f ", 15.0, -15.0) + "re h W n\rBT\r";
    EXPECT_EQ(content.substr(0, clip.size()), clip);
    EXPECT_EQ(content.substr(content.size() - 5), "ET\rQ\r");
}

}  // namespace
}  // namespace kp
