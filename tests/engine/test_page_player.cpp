// Pages of real reports through the preview's page list and saved report files: a page with
// text, a box and a line on three layers drawn directly, played back from its recorded file, and
// reopened from a .k3v file look the same cell by cell; layers and print offsets apply.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QImage>
#include <filesystem>
#include <optional>

#include "engine/core/font_usage.h"
#include "engine/preview/font_embedding.h"
#include "engine/preview/page_player.h"
#include "platform/gdi/qpainter_dc.h"
#include "tests/engine/report_model_fixture.h"
#include "tests/fixtures/private_tmpdir.h"

namespace kp::preview {
namespace {

using namespace reportfix;
namespace fs = std::filesystem;

constexpr int kDpi = 96;

class PagePlayer : public ReportTest {
  protected:
    void SetUp() override {
        ReportTest::SetUp();
        scratch_.emplace("kpplay");
        ASSERT_TRUE(scratch_->valid());
        dir_ = scratch_->tmp();
    }
    void TearDown() override {
        scratch_.reset();
        ReportTest::TearDown();
    }

    // Layer 1 a filled box, layer 2 text, layer 3 a thin box standing for a line.
    ReportObject* Sample() {
        ReportObject* report = NewReport();
        ItemObject* box = Add(report, 1, ctrlclass::kBox, u"B", {2000, 2000, 6000, 4000});
        EXPECT_EQ(Put(box->mainInterface(), KPM_SHAPE_CONTROL_FILL_COLOR, VariantUI4(0x000000)), 0);
        ItemObject* text = Add(report, 2, ctrlclass::kText, u"T", {2000, 6000, 12000, 8000});
        Bstr t = BstrAllocView(u"ページ1");
        EXPECT_EQ(Put(text->mainInterface(), KPM_TEXT_CONTROL_TEXT, VariantBstr(t)), 0);
        BstrFree(t);
        ItemObject* line = Add(report, 3, ctrlclass::kBox, u"L", {2000, 10000, 19000, 10050});
        EXPECT_EQ(Put(line->mainInterface(), KPM_SHAPE_CONTROL_FILL_COLOR, VariantUI4(0x000000)),
                  0);
        return report;
    }

    QImage Blank() const {
        QImage image(794, 1123, QImage::Format_RGB32);
        image.fill(Qt::white);
        return image;
    }

    // Dark pixels per 8x8 cell.
    static std::vector<int> Cells(const QImage& image) {
        std::vector<int> cells;
        for (int cy = 0; cy + 8 <= image.height(); cy += 8)
            for (int cx = 0; cx + 8 <= image.width(); cx += 8) {
                int n = 0;
                for (int y = cy; y < cy + 8; ++y)
                    for (int x = cx; x < cx + 8; ++x) n += qGray(image.pixel(x, y)) < 128;
                cells.push_back(n);
            }
        return cells;
    }

    static void ExpectSame(const QImage& a, const QImage& b, const char* what) {
        const std::vector<int> ca = Cells(a), cb = Cells(b);
        int total = 0, differing = 0;
        for (size_t i = 0; i < ca.size(); ++i) {
            total += ca[i];
            differing += std::abs(ca[i] - cb[i]);
        }
        EXPECT_GT(total, 1000) << what;
        EXPECT_LE(differing, total / 200) << what;  // ±0.5 %
    }

    std::optional<qzs_test::PrivateTmpDir> scratch_;
    std::string dir_;  // TMPDIR
};

TEST_F(PagePlayer, RecordedAndReopenedPagesLookAsDrawn) {
    ReportObject* report = Sample();
    QImage direct = Blank();
    {
        QPainterDc dc(&direct, kDpi);
        ASSERT_EQ(report->Draw(nullptr, dc.handle(), dc.handle(), 0, 0, 0, 0, 1), 0);
    }

    PreviewPageList list;
    ASSERT_EQ(list.Open(""), 0);
    int count = 0;
    ASSERT_EQ(RecordPreviewPage(list, report, -1, nullptr, &count), 0);
    EXPECT_EQ(count, 1);
    PreviewPageRecord record;
    ASSERT_EQ(list.Get(1, &record), 0);
    EXPECT_EQ(record.paperWidth, GetPaperWidth(report));
    QImage played = Blank();
    {
        QPainterDc dc(&played, kDpi);
        ASSERT_EQ(PlayRecordedPage(app_, list, 1, dc.handle(), {}), 0);
    }
    ExpectSame(direct, played, "played from the page list");

    // Three pages into a .k3v file, reopened into a second list.
    const std::string path = dir_ + "/three";
    {
        ReportFileWriter writer;
        ASSERT_EQ(writer.Create(path, true), 0);
        for (int n = 0; n < 3; ++n)
            ASSERT_EQ(AddReportPage(writer, report, {}, -1, nullptr, nullptr), 0);
        ASSERT_EQ(writer.Close(0, nullptr), 0);
    }
    PreviewPageList viewer;
    ASSERT_EQ(viewer.Open(""), 0);
    ReportFileReader reader;
    DocumentInfo info;
    ASSERT_EQ(LoadReportFilePages(app_, reader, path + ".k3v", {}, nullptr, &info, viewer), 0);
    ASSERT_EQ(viewer.Count(), 3);
    ASSERT_EQ(viewer.Get(3, &record), 0);
    EXPECT_EQ(record.heading, u"3ページ");
    QImage reopened = Blank();
    {
        QPainterDc dc(&reopened, kDpi);
        ASSERT_EQ(PlayRecordedPage(app_, viewer, 3, dc.handle(), {}), 0);
    }
    ExpectSame(direct, reopened, "reopened from the file");
    reopened.save(QString::fromStdString(dir_ + "/x.png"));

    // A page whose file went missing.
    ASSERT_EQ(viewer.Get(2, &record), 0);
    fs::remove(record.file);
    QImage none = Blank();
    {
        QPainterDc dc(&none, kDpi);
        EXPECT_EQ(PlayRecordedPage(app_, viewer, 2, dc.handle(), {}), kPageFileMissing);
        EXPECT_EQ(PlayRecordedPage(app_, viewer, 4, dc.handle(), {}), kPageOutOfRange);
    }
    list.Clear();
    viewer.Clear();
    DestroyReportObject(report);
}

TEST_F(PagePlayer, LayersAndOffsetsApplyToPlayedPagesOnly) {
    ReportObject* report = Sample();
    PreviewPageList list;
    ASSERT_EQ(list.Open(""), 0);
    int count = 0;
    ASSERT_EQ(RecordPreviewPage(list, report, 0, nullptr, &count), 0);
    auto dark = [](const QImage& image, int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += qGray(image.pixel(x, y)) < 128;
        return n;
    };
    // The box covers 20-60 mm across, 20-40 mm down: pixels 76-227, 76-151 at 96 dpi.
    QImage plain = Blank(), withoutBox = Blank(), moved = Blank();
    {
        QPainterDc dc(&plain, kDpi);
        ASSERT_EQ(PlayRecordedPage(app_, list, 1, dc.handle(), {}), 0);
    }
    PlayOptions noLayer1;
    noLayer1.layers[0] = false;
    {
        QPainterDc dc(&withoutBox, kDpi);
        ASSERT_EQ(PlayRecordedPage(app_, list, 1, dc.handle(), noLayer1), 0);
    }
    PlayOptions offset;
    offset.offsetX = 10;  // 10 mm = about 38 pixels to the right
    {
        QPainterDc dc(&moved, kDpi);
        ASSERT_EQ(PlayRecordedPage(app_, list, 1, dc.handle(), offset), 0);
    }
    EXPECT_GT(dark(plain, 80, 80, 110, 140), 1500);
    EXPECT_EQ(dark(withoutBox, 80, 80, 220, 140), 0);
    EXPECT_EQ(dark(moved, 80, 80, 110, 140), 0) << "the box left its old place";
    EXPECT_GT(dark(moved, 120, 80, 260, 140), 7000) << "and stands 10 mm to the right";
    // The recorded file itself is untouched: playing plainly again shows it where it was.
    QImage again = Blank();
    {
        QPainterDc dc(&again, kDpi);
        ASSERT_EQ(PlayRecordedPage(app_, list, 1, dc.handle(), {}), 0);
    }
    EXPECT_EQ(Cells(again), Cells(plain));
    DestroyReportObject(report);
}

TEST_F(PagePlayer, FilesEmbedTheFontsTheirPagesUse) {
    ReportObject* report = Sample();
    Bstr face = BstrAllocView(u"ＭＳ ゴシック");
    ItemObject* text = Objects(report, 2).Find(u"T", nullptr);
    ASSERT_NE(text, nullptr);
    ASSERT_EQ(Put(text->mainInterface(), KPM_TEXT_CONTROL_FONT_NAME, VariantBstr(face)), 0);
    BstrFree(face);
    std::unique_ptr<FontUsageTable> fonts;
    ASSERT_EQ(FontUsageTableCreate(fonts), 0);
    const std::string path = dir_ + "/fonts";
    ReportFileWriter writer;
    ASSERT_EQ(writer.Create(path, true), 0);
    ASSERT_EQ(AddReportPage(writer, report, {}, -1, nullptr, fonts.get()), 0);
    ASSERT_GT(fonts->count(), 0);
    ASSERT_EQ(writer.Close(fonts->count(),
                           [&](int i, std::vector<uint8_t>* out) {
                               return SubsetForFile(fonts.get(), i, out);
                           }),
              0);
    PreviewPageList list;
    ASSERT_EQ(list.Open(""), 0);
    ReportFileReader reader;
    DocumentInfo info;
    ASSERT_EQ(LoadReportFilePages(app_, reader, path + ".k3v", {}, nullptr, &info, list), 0);
    ASSERT_FALSE(reader.FontFiles().empty()) << "the page's face is embedded and registered";
    const auto size = fs::file_size(reader.FontFiles()[0]);
    EXPECT_GT(size, 100u);
    EXPECT_LT(size, 1000000u) << "a subset, not the whole 6 MB font";
    reader.RemoveFonts();
    list.Clear();
    DestroyReportObject(report);
}

}  // namespace
}  // namespace kp::preview
