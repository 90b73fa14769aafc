// qzs-report pdf as a shell uses it: reports built from a description, exported page by page
// with the document texts, refused without --overwrite, usage errors before any file is
// touched, and each page rendered by pdftoppm with its fill, line and text where qzs-report png
// draws them.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <string>

#include "pdf_test_support.h"

namespace {

using namespace pdftest;

const char* const kTool = QZS_REPORT_TOOL;

// Two reports of one text, a blue rule and a red box: A4 portrait and landscape.
const char* const kDesc =
    "report paper=9 orientation=%d unit=1 cpi=1 cpl=1 title=\"t\"\n"
    "text t1 layer=1 rect=2000,2000,18000,3000 font=\"ＭＳ ゴシック\" size=12 align=left "
    "valign=top color=000000 text=\"見積書 ｶﾅ ABC-123 漢字\"\n"
    "line l1 layer=1 rect=2000,3500,18000,3500 width=30 color=0000FF\n"
    "box b1 layer=2 rect=2000,4000,6000,6000 width=20 color=000000 fill=FF0000\n";

class ReportPdfTool : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int orientation : {1, 2}) {
            char desc[1024];
            std::snprintf(desc, sizeof desc, kDesc, orientation);
            const std::string stem = dir.File(orientation == 1 ? "portrait" : "landscape");
            WriteFile(stem + ".desc", desc);
            int status = -1;
            RunCommand(Tool("build " + stem + ".desc " + stem + ".k3r"), &status);
            ASSERT_EQ(status, 0);
        }
        portrait = dir.File("portrait.k3r");
        landscape = dir.File("landscape.k3r");
    }
    static std::string Tool(const std::string& args) {
        return std::string(kTool) + " " + args + " 2>&1";
    }

    TempDir dir;
    std::string portrait, landscape;
};

TEST_F(ReportPdfTool, ExportsEachReportAsAPage) {
    const std::string out = dir.File("out.pdf");
    int status = -1;
    const std::string said = RunCommand(Tool("pdf " + portrait + " " + landscape + " --out " + out +
                                             " --title '見積 一' --author me"),
                                        &status);
    ASSERT_EQ(status, 0) << said;
    EXPECT_EQ(said, "pdf " + out + " pages 2 bytes " +
                        std::to_string(std::filesystem::file_size(out)) + "\n");
    const std::string info = RunCommand("pdfinfo -f 1 -l 2 " + out);
    EXPECT_NE(info.find("Title:           見積 一\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Author:          me\n"), std::string::npos);
    EXPECT_NE(info.find("Page    1 size:  595.28 x 841.89 pts"), std::string::npos) << info;
    EXPECT_NE(info.find("Page    2 size:  841.89 x 595.28 pts"), std::string::npos) << info;
    EXPECT_EQ(RunCommand("pdftotext -enc UTF-8 -f 1 -l 1 " + out + " -"),
              "見積書 ｶﾅ ABC-123 漢字\n\n\f");
    RunCommand("qpdf --check " + out + " >/dev/null", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(RunCommand("pdffonts " + out).find("EmbedFont0000"), std::string::npos);
}

TEST_F(ReportPdfTool, RefusalsAndUsage) {
    const std::string out = dir.File("kept.pdf");
    WriteFile(out, "mine");
    int status = -1;
    EXPECT_EQ(RunCommand(Tool("pdf " + portrait + " --out " + out), &status),
              "error -15017 PdfOpen\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(ReadFile(out), "mine");
    RunCommand(Tool("pdf " + portrait + " --out " + out + " --overwrite"), &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(out).substr(0, 8), "%PDF-1.3");

    // A report that cannot be opened leaves no file behind.
    const std::string none = dir.File("none.pdf");
    EXPECT_EQ(RunCommand(Tool("pdf " + dir.File("missing.k3r") + " --out " + none), &status),
              "error -114 OpenReport\n");
    EXPECT_EQ(status, 1);
    const size_t files = dir.Count();

    const char* const usages[] = {
        "pdf",
        "pdf --out x.pdf",
        "pdf FILE",
        "pdf FILE --out",
        "pdf FILE --out x.pdf --title",
        "pdf FILE --out x.pdf --color red",
        "pdf FILE --out x.pdf --out y.pdf",
    };
    for (const char* u : usages) {
        std::string args = u;
        const size_t at = args.find("FILE");
        if (at != std::string::npos) args.replace(at, 4, portrait);
        const std::string said = RunCommand(std::string(kTool) + " " + args + " 2>&1", &status);
        EXPECT_EQ(status, 2) << u;
        EXPECT_NE(said.find("usage: qzs-report pdf FILE... --out OUT.pdf"), std::string::npos) << u;
    }
    EXPECT_EQ(dir.Count(), files);
}

// Dark, red and blue pixels' bounding boxes in a region of an image.
struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool empty() const { return right < 0; }
};
template <class Pred>
Box Ink(const QImage& image, int x0, int y0, int x1, int y1, Pred pred) {
    Box b;
    for (int y = std::max(0, y0); y < std::min(image.height(), y1); ++y) {
        for (int x = std::max(0, x0); x < std::min(image.width(), x1); ++x) {
            if (!pred(QColor(image.pixel(x, y)))) continue;
            b.left = std::min(b.left, x);
            b.right = std::max(b.right, x);
            b.top = std::min(b.top, y);
            b.bottom = std::max(b.bottom, y);
        }
    }
    return b;
}

TEST_F(ReportPdfTool, RenderedWhereThePictureDrawsIt) {
    const std::string out = dir.File("page.pdf");
    int status = -1;
    RunCommand(Tool("pdf " + portrait + " --out " + out), &status);
    ASSERT_EQ(status, 0);
    RunCommand(Tool("png " + portrait + " " + dir.File("picture.png") + " --dpi 150"), &status);
    ASSERT_EQ(status, 0);
    RunCommand("pdftoppm -r 150 -singlefile -png " + out + " " + dir.File("rendered"), &status);
    ASSERT_EQ(status, 0);
    const QImage picture(QString::fromStdString(dir.File("picture.png")));
    const QImage rendered(QString::fromStdString(dir.File("rendered.png")));
    ASSERT_FALSE(picture.isNull());
    ASSERT_FALSE(rendered.isNull());

    auto red = [](const QColor& c) { return c.red() > 200 && c.green() < 80 && c.blue() < 80; };
    auto blue = [](const QColor& c) { return c.blue() > 150 && c.red() < 100 && c.green() < 100; };
    auto dark = [](const QColor& c) { return c.red() < 110 && c.green() < 110 && c.blue() < 110; };
    // 1 mm is 5.9 pixels at 150 dpi: the text lies in 20..30 mm down, the rule at 35 mm, the
    // box in 40..60 mm.
    struct Part {
        const char* name;
        int y0, y1;
        std::function<bool(const QColor&)> pred;
        bool wholeWidth;  // compare the right edge too
    } parts[] = {
        {"box fill", 230, 360, red, true},
        {"rule", 195, 220, blue, true},
        {"text", 110, 185, dark, false},
    };
    for (const auto& p : parts) {
        SCOPED_TRACE(p.name);
        const Box a = Ink(picture, 0, p.y0, picture.width(), p.y1, p.pred);
        const Box b = Ink(rendered, 0, p.y0, rendered.width(), p.y1, p.pred);
        ASSERT_FALSE(a.empty());
        ASSERT_FALSE(b.empty());
        EXPECT_NEAR(a.left, b.left, 2);
        EXPECT_NEAR(a.top, b.top, 2);
        EXPECT_NEAR(a.bottom, b.bottom, 2);
        if (p.wholeWidth) {
            EXPECT_NEAR(a.right, b.right, 2);
        } else {
            // Text advances are whole pixels on the picture and exact in the PDF.
            EXPECT_NEAR(a.right - a.left, b.right - b.left, (a.right - a.left) * 0.03);
        }
    }
}

}  // namespace
