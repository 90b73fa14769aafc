// The print road from the printer context to the spooled PDF, read back with poppler: the sheet
// is the page, device (0, 0) lies at the printable area's corner and nothing reaches the margins,
// two pages that share a sheet each keep to their own clip, and text stays text in an embedded
// font. No Qt application exists in this process.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "engine/output/printer_document.h"
#include "pdf_test_support.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/printer_dc.h"

namespace kp {
namespace {

using namespace pdftest;
using namespace plat;

// A4 at 150 dpi, so that poppler's 150-dpi raster counts the device's own pixels; the printable
// area starts 60 pixels in from the left and 90 down from the top.
constexpr int32_t kOffX = 60, kOffY = 90;
DeviceInfo A4At150() {
    DeviceInfo d = DeviceInfo::ForPixels(1240 - 2 * kOffX, 1754 - 2 * kOffY, 150, kDtRasPrinter);
    d.physicalWidth = 1240;
    d.physicalHeight = 1754;
    d.physicalOffsetX = kOffX;
    d.physicalOffsetY = kOffY;
    return d;
}

class PrinterPdfTest : public ::testing::Test {
  protected:
    // Draws the pages on a printer context into a document; the document's path.
    std::string Print(const std::vector<std::function<void(PrinterDc&)>>& pages) {
        const std::string path = dir.File("printed.pdf");
        PrinterPdf pdf;
        EXPECT_EQ(pdf.Open(path, u"printed"), 0);
        PrinterDc dc(A4At150());
        dc.SetPageSink([&](PrinterDc::Page&& page) { return pdf.AddPage(page, 2100, 2970) == 0; });
        for (const auto& draw : pages) {
            EXPECT_TRUE(dc.StartPage());
            draw(dc);
            EXPECT_TRUE(dc.EndPage());
        }
        EXPECT_EQ(pdf.Finish(), 0);
        return path;
    }
    static void Box(PrinterDc& dc, RECT r) {
        const HBRUSH black = CreateSolidBrush(0);
        dc.FillRect(r, black);
        DeleteObject(black);
    }
    static void Clip(PrinterDc& dc, RECT r, int32_t mode = kRgnCopy) {
        const HRGN region = CreateRectRgnIndirect(r);
        dc.ExtSelectClipRgn(region, mode);
        DeleteObject(region);
    }

    TempDir dir;
};

TEST_F(PrinterPdfTest, SheetPlacementAndClips) {
    const std::string path = Print({[](PrinterDc& dc) {
        // Reaching into the margins: only the printable part is printed.
        Box(dc, {-40, -40, 100, 100});
        // A clip narrowed from the whole device goes with the next clip that replaces it.
        Clip(dc, {0, 0, 1120, 200}, kRgnAnd);
        Box(dc, {150, 150, 300, 250});
        dc.SelectClipRgn(0);
        // Two pages on one sheet, each clipped to its half in turn, as the print loop does.
        Clip(dc, {0, 300, 560, 900});
        Box(dc, {0, 400, 1120, 500});
        dc.SelectClipRgn(0);
        Clip(dc, {560, 300, 1120, 900});
        Box(dc, {0, 700, 1120, 800});
        dc.SelectClipRgn(0);
    }});
    EXPECT_NE(RunCommand("pdfinfo " + path).find("595.28 x 841.89 pts (A4)"), std::string::npos);
    const Raster r = Render(path, dir.File("printed"));
    ASSERT_NEAR(r.width, 1240, 1);  // poppler rounds the page up
    ASSERT_NEAR(r.height, 1754, 1);
    const struct {
        const char* where;
        int x, y;  // device pixels of the printable area
        bool dark;
    } expected[] = {
        {.where = "inside the first box", .x = 50, .y = 50, .dark = true},
        {.where = "the first box in the left margin", .x = -20, .y = 50, .dark = false},
        {.where = "the first box in the top margin", .x = 50, .y = -20, .dark = false},
        {.where = "the narrowed box inside its clip", .x = 200, .y = 180, .dark = true},
        {.where = "the narrowed box beyond its clip", .x = 200, .y = 220, .dark = false},
        {.where = "left half, its own band", .x = 200, .y = 450, .dark = true},
        {.where = "left half's band beyond its clip", .x = 900, .y = 450, .dark = false},
        {.where = "right half, its own band", .x = 900, .y = 750, .dark = true},
        {.where = "right half's band beyond its clip", .x = 200, .y = 750, .dark = false},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(r.Dark(e.x + kOffX, e.y + kOffY), e.dark) << e.where;
    }
}

TEST_F(PrinterPdfTest, TextStaysTextInAnEmbeddedFont) {
    const auto text = [](const char16_t* face, uint8_t charSet, const std::u16string& what) {
        return [=](PrinterDc& dc) {
            LOGFONTW lf;
            lf.lfHeight = -50;
            lf.lfCharSet = charSet;
            std::u16string(face).copy(lf.lfFaceName, 31);
            const HFONT font = CreateFontIndirectW(lf);
            dc.SelectObject(font);
            dc.SetBkMode(kTransparent);
            dc.ExtTextOutW(100, 100, 0, nullptr, what);
            dc.SelectObject(GetStockObject(kSystemFont));
            DeleteObject(font);
        };
    };
    const std::string path = Print(
        {text(u"ＭＳ ゴシック", 128, u"QZS 印刷の文字"), text(u"IPAGothic", 0, u"QZS LATIN TEXT")});
    const std::string extracted = RunCommand("pdftotext -enc UTF-8 " + path + " -");
    EXPECT_NE(extracted.find("QZS 印刷の文字"), std::string::npos) << extracted;
    EXPECT_NE(extracted.find("QZS LATIN TEXT"), std::string::npos) << extracted;
    // pdffonts: two heading lines, then a font a line ending "emb sub uni object ID".
    const std::string fonts = RunCommand("pdffonts " + path);
    std::istringstream lines(fonts);
    std::string line;
    size_t count = 0, embedded = 0;
    for (int n = 0; std::getline(lines, line); ++n) {
        if (n < 2) continue;
        std::istringstream words(line);
        std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
        ASSERT_GE(w.size(), 5u) << fonts;
        ++count;
        embedded += w[w.size() - 5] == "yes";
    }
    EXPECT_EQ(count, 2u) << fonts;
    EXPECT_EQ(embedded, 2u) << fonts;
}

}  // namespace
}  // namespace kp
