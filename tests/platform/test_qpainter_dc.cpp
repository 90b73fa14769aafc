// The QPainter back end: each scene drawn straight onto an image and recorded, played back
// onto another image, gives the same pixels; what the pixels show is checked by counting them
// in regions (edges, rows, insides and outsides, ink in its cell), never by comparing files.
#include <gtest/gtest.h>

#include <QImage>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/emf_reader.h"
#include "platform/gdi/emf_recorder.h"
#include "platform/gdi/qpainter_dc.h"
#include "tests/platform/emf_test_support.h"

namespace {

using plat::POINT;
using plat::RECT;
using Scene = std::function<void(plat::DeviceContext&)>;

constexpr int kWidth = 200;
constexpr int kHeight = 100;
constexpr int kDpi = 96;

QImage White() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

QImage Direct(const Scene& scene) {
    QImage image = White();
    {
        plat::QPainterDc dc(&image, kDpi);
        scene(dc);
    }
    return image;
}

// Recorded, checked by the second reader, played back.
QImage Played(const Scene& scene) {
    plat::EmfRecorder rec(plat::DeviceInfo::ForPixels(kWidth, kHeight, kDpi), std::nullopt,
                          u"KelvaprintV3.0");
    scene(rec);
    const std::vector<uint8_t> file = rec.Close();
    qzs_test::ExpectSecondReaderAgrees(file);
    QImage image = White();
    {
        plat::QPainterDc dc(&image, kDpi);
        std::string error;
        EXPECT_TRUE(plat::PlayEnhMetaFile(dc, file, &error)) << error;
    }
    return image;
}

// Pixels inside the rectangle [left, right) x [top, bottom) that pass the test.
int Count(const QImage& image, const RECT& r, const std::function<bool(QRgb)>& test) {
    int n = 0;
    for (int y = std::max(0, r.top); y < std::min(kHeight, r.bottom); ++y) {
        for (int x = std::max(0, r.left); x < std::min(kWidth, r.right); ++x) {
            if (test(image.pixel(x, y))) ++n;
        }
    }
    return n;
}

const auto kInk = [](QRgb c) { return qGray(c) < 128; };
const auto kRed = [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; };
const RECT kAll{0, 0, kWidth, kHeight};

// Direct and played give the same pixels; the checks then run on the direct image.
QImage Both(const Scene& scene) {
    const QImage direct = Direct(scene);
    const QImage played = Played(scene);
    EXPECT_EQ(direct, played) << "playback differs from direct drawing";
    return direct;
}

plat::HFONT Gothic(int32_t height) {
    plat::LOGFONTW lf;
    lf.lfHeight = height;
    lf.lfCharSet = plat::kShiftJisCharset;
    const std::u16string face = u"ＭＳ ゴシック";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    return plat::CreateFontIndirectW(lf);
}

TEST(QPainterDc, BoxEdgesAsAClosedPolyline) {
    const QImage image = Both([](plat::DeviceContext& dc) {
        dc.Polyline(std::vector<POINT>{{10, 10}, {60, 10}, {60, 40}, {10, 40}, {10, 10}});
    });
    EXPECT_GE(Count(image, {10, 10, 61, 11}, kInk), 50) << "top edge";
    EXPECT_GE(Count(image, {10, 40, 61, 41}, kInk), 50) << "bottom edge";
    EXPECT_GE(Count(image, {10, 10, 11, 41}, kInk), 30) << "left edge";
    EXPECT_GE(Count(image, {60, 10, 61, 41}, kInk), 30) << "right edge";
    EXPECT_EQ(Count(image, {11, 11, 60, 40}, kInk), 0) << "nothing inside";
    EXPECT_EQ(Count(image, kAll, kInk), Count(image, {10, 10, 61, 41}, kInk)) << "nothing outside";
}

TEST(QPainterDc, WideLineCoversItsRows) {
    const QImage image = Both([](plat::DeviceContext& dc) {
        plat::GdiObject pen(plat::CreatePen(plat::kPsSolid, 3, 0));
        dc.SelectObject(pen.get());
        dc.MoveToEx(20, 50);
        dc.LineTo(120, 50);
        dc.SelectObject(plat::GetStockObject(plat::kBlackPen));
    });
    for (int row : {49, 50, 51}) {
        EXPECT_GE(Count(image, {22, row, 118, row + 1}, kInk), 96) << "row " << row;
    }
    EXPECT_EQ(Count(image, {0, 0, kWidth, 48}, kInk), 0);
    EXPECT_EQ(Count(image, {0, 53, kWidth, kHeight}, kInk), 0);
}

TEST(QPainterDc, PolygonFillsInsideOnly) {
    const QImage image = Both([](plat::DeviceContext& dc) {
        plat::GdiObject brush(plat::CreateSolidBrush(plat::Rgb(255, 0, 0)));
        dc.SelectObject(plat::GetStockObject(plat::kNullPen));
        dc.SelectObject(brush.get());
        dc.Polygon(std::vector<POINT>{{130, 10}, {190, 10}, {190, 50}, {130, 50}});
        dc.SelectObject(plat::GetStockObject(plat::kWhiteBrush));
    });
    EXPECT_EQ(Count(image, {131, 11, 189, 49}, kRed), 58 * 38) << "the whole inside";
    EXPECT_EQ(Count(image, kAll, kRed), Count(image, {130, 10, 191, 51}, kRed)) << "none outside";
}

TEST(QPainterDc, FillRectClipAndPatterns) {
    const QImage image = Both([](plat::DeviceContext& dc) {
        plat::GdiObject red(plat::CreateSolidBrush(plat::Rgb(255, 0, 0)));
        plat::GdiObject clip(plat::CreateRectRgn(0, 0, 100, 50));
        dc.SaveDC();
        dc.SelectClipRgn(clip.get());
        // Half of this rectangle lies outside the clip.
        dc.FillRect({50, 20, 150, 80}, red.get());
        dc.RestoreDC(-1);
        const uint8_t bits[] = {0xAA, 0, 0, 0, 0x55, 0, 0, 0, 0xAA, 0, 0, 0, 0x55, 0, 0, 0,
                                0xAA, 0, 0, 0, 0x55, 0, 0, 0, 0xAA, 0, 0, 0, 0x55, 0, 0, 0};
        plat::GdiObject mono(plat::CreateMonoPatternBrush(8, 8, bits));
        dc.SelectObject(mono.get());
        dc.PatBlt(0, 60, 40, 40, plat::kRopPatCopy);
        plat::GdiObject hatch(plat::CreateHatchBrush(plat::kHsCross, 0));
        dc.SelectObject(hatch.get());
        dc.SetBkMode(plat::kTransparent);
        dc.PatBlt(160, 60, 40, 40, plat::kRopPatCopy);
        dc.SelectObject(plat::GetStockObject(plat::kWhiteBrush));
    });
    EXPECT_EQ(Count(image, {50, 20, 100, 50}, kRed), 50 * 30) << "inside the clip";
    EXPECT_EQ(Count(image, {100, 0, kWidth, kHeight}, kRed), 0) << "right of the clip";
    EXPECT_EQ(Count(image, {0, 50, kWidth, kHeight}, kRed), 0) << "below the clip";
    // A checkerboard: half of its pixels in the text colour (black).
    EXPECT_EQ(Count(image, {0, 60, 40, 100}, kInk), 800);
    const int hatched = Count(image, {160, 60, 200, 100}, kInk);
    EXPECT_GT(hatched, 100);
    EXPECT_LT(hatched, 800);
}

TEST(QPainterDc, BitmapsStretched) {
    const QImage image = Both([](plat::DeviceContext& dc) {
        plat::BITMAPINFOHEADER h;
        h.biWidth = 2;
        h.biHeight = 2;  // bottom-up: the first stored row is the bottom one
        h.biBitCount = 24;
        const uint8_t bits[] = {0, 0, 255, 255, 255, 255, 0, 0,   // bottom: red, white
                                0, 0, 0,   0,   0,   255, 0, 0};  // top: black, red
        dc.StretchDIBits(10, 10, 40, 40, 0, 0, 2, 2, bits, h, {}, plat::kDibRgbColors,
                         plat::kRopSrcCopy);
        plat::BITMAPINFOHEADER m;
        m.biWidth = 8;
        m.biHeight = -1;
        m.biBitCount = 1;
        const plat::RGBQUAD colors[] = {{0, 0, 255, 0}, {255, 255, 255, 0}};
        const uint8_t mono[] = {0x0F, 0, 0, 0};
        dc.StretchDIBits(100, 10, 80, 10, 0, 0, 8, 1, mono, m, colors, plat::kDibRgbColors,
                         plat::kRopSrcCopy);
        plat::BITMAPINFOHEADER e;
        e.biWidth = 2;
        e.biHeight = 1;
        e.biBitCount = 8;
        e.biClrUsed = 2;  // a shortened colour table
        const plat::RGBQUAD table[] = {{255, 255, 255, 0}, {0, 0, 255, 0}};
        const uint8_t indexes[] = {1, 0, 0, 0};
        dc.StretchDIBits(100, 30, 40, 10, 0, 0, 2, 1, indexes, e, table, plat::kDibRgbColors,
                         plat::kRopSrcCopy);
    });
    EXPECT_EQ(Count(image, {100, 30, 120, 40}, kRed), 200) << "8 bits: index 1";
    EXPECT_EQ(Count(image, {120, 30, 140, 40}, kRed), 0) << "8 bits: index 0";
    EXPECT_EQ(Count(image, {10, 10, 30, 30}, kInk), 400) << "top left black";
    EXPECT_EQ(Count(image, {30, 10, 50, 30}, kRed), 400) << "top right red";
    EXPECT_EQ(Count(image, {10, 30, 30, 50}, kRed), 400) << "bottom left red";
    EXPECT_EQ(Count(image, {30, 30, 50, 50}, kInk), 0) << "bottom right white";
    EXPECT_EQ(Count(image, {100, 10, 140, 20}, kRed), 400) << "0 bits: colour 0";
    EXPECT_EQ(Count(image, {140, 10, 180, 20}, kRed), 0) << "1 bits: white";
}

TEST(QPainterDc, JapaneseInkInsideItsCell) {
    int32_t advance = 0, cell = 0;
    const QImage image = Both([&](plat::DeviceContext& dc) {
        plat::GdiObject font(Gothic(-40));
        dc.SelectObject(font.get());
        plat::SIZE size;
        ASSERT_TRUE(dc.GetTextExtentPoint32W(u"漢", &size));
        advance = size.cx;
        cell = size.cy;
        dc.SetBkMode(plat::kTransparent);
        dc.ExtTextOutW(30, 20, 0, nullptr, u"漢");
        dc.SelectObject(plat::GetStockObject(plat::kSystemFont));
    });
    EXPECT_EQ(advance, 40) << "a full-width character is one em wide";
    const int inside = Count(image, {30, 20, 30 + advance, 20 + cell}, kInk);
    EXPECT_GT(inside, 200) << "the character has ink";
    EXPECT_EQ(Count(image, kAll, kInk), inside) << "no ink outside its cell";
}

TEST(QPainterDc, UnderlineAndStrikeoutSpanTheText) {
    int32_t width = 0, ascent = 0;
    const QImage image = Both([&](plat::DeviceContext& dc) {
        plat::LOGFONTW lf;
        lf.lfHeight = -40;
        lf.lfUnderline = 1;
        lf.lfStrikeOut = 1;
        const std::u16string face = u"ＭＳ ゴシック";
        std::copy(face.begin(), face.end(), lf.lfFaceName);
        plat::GdiObject font(plat::CreateFontIndirectW(lf));
        dc.SelectObject(font.get());
        plat::SIZE size;
        ASSERT_TRUE(dc.GetTextExtentPoint32W(u"・・", &size));
        plat::FontMetrics m;
        ASSERT_TRUE(dc.GetTextMetrics(&m));
        width = size.cx;
        ascent = m.ascent;
        dc.SetBkMode(plat::kTransparent);
        // Middle dots leave the rows under the baseline and at the strikeout height almost empty.
        dc.ExtTextOutW(20, 10, 0, nullptr, u"・・");
        dc.SelectObject(plat::GetStockObject(plat::kSystemFont));
    });
    auto fullRows = [&](int top, int bottom) {
        int rows = 0;
        for (int y = top; y < bottom; ++y) {
            if (Count(image, {20, y, 20 + width, y + 1}, kInk) >= width - 1) ++rows;
        }
        return rows;
    };
    EXPECT_GE(fullRows(10 + ascent, 10 + ascent + 10), 1) << "an underline below the baseline";
    EXPECT_GE(fullRows(10, 10 + ascent), 1) << "a strikeout above it";
}

TEST(QPainterDc, CentredTextIsCentred) {
    const QImage image = Both([](plat::DeviceContext& dc) {
        plat::GdiObject font(Gothic(-24));
        dc.SelectObject(font.get());
        plat::SIZE size;
        ASSERT_TRUE(dc.GetTextExtentPoint32W(u"中央", &size));
        const RECT box{0, 0, kWidth, kHeight};
        // Centred in the rectangle from the measured extent, clipped to it, opaque white.
        dc.ExtTextOutW((kWidth - size.cx) / 2, (kHeight - size.cy) / 2,
                       plat::kEtoClipped | plat::kEtoOpaque, &box, u"中央");
        dc.SelectObject(plat::GetStockObject(plat::kSystemFont));
    });
    int left = kWidth, right = -1, top = kHeight, bottom = -1;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (!kInk(image.pixel(x, y))) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    ASSERT_GE(right, left);
    EXPECT_NEAR((left + right) / 2.0, kWidth / 2.0, 3.0);
    EXPECT_NEAR((top + bottom) / 2.0, kHeight / 2.0, 4.0);
}

TEST(QPainterDc, MappingAndPathsMatchPlayback) {
    // Isotropic mapping with a moved viewport, a stroked path with a Bézier, dashed lines and
    // an opaque background: whatever the pixels, playback must give the same.
    Both([](plat::DeviceContext& dc) {
        dc.SetMapMode(plat::kMmIsotropic);
        dc.SetWindowExtEx(100, 100);
        dc.SetViewportExtEx(200, 200);
        dc.SetViewportOrgEx(5, 5);
        plat::GdiObject pen(plat::ExtCreatePen(plat::kPsGeometric | plat::kPsEndCapSquare, 2,
                                               {plat::kBsSolid, plat::Rgb(0, 0, 255), 0}));
        dc.SelectObject(pen.get());
        dc.BeginPath();
        dc.MoveToEx(5, 5);
        dc.PolyBezierTo(std::vector<POINT>{{20, 40}, {40, -10}, {60, 30}});
        dc.LineTo(60, 5);
        dc.CloseFigure();
        dc.EndPath();
        dc.StrokePath();
        plat::GdiObject dash(plat::CreatePen(plat::kPsDash, 0, plat::Rgb(0, 128, 0)));
        dc.SelectObject(dash.get());
        dc.SetBkColor(plat::Rgb(255, 255, 0));
        dc.MoveToEx(0, 45);
        dc.LineTo(90, 45);
        dc.SelectObject(plat::GetStockObject(plat::kBlackPen));
    });
}

TEST(QPainterDc, ToolDrawsThePng) {
    plat::EmfRecorder rec(plat::DeviceInfo::ForPixels(kWidth, kHeight, kDpi), std::nullopt, u"");
    plat::GdiObject brush(plat::CreateSolidBrush(plat::Rgb(255, 0, 0)));
    rec.FillRect({10, 10, 30, 20}, brush.get());
    const std::vector<uint8_t> file = rec.Close();
    const std::string emf = qzs_test::TempPath("tool.emf");
    const std::string png = qzs_test::TempPath("tool.png");
    qzs_test::WriteFile(emf, file);
    int status = 0;
    const std::string out = qzs_test::RunCommand(
        QZS_BINARY_DIR "/tools/qzs-emf png " + emf + " " + png + " 2>&1", &status);
    ASSERT_EQ(status, 0) << out;
    QImage image(QString::fromStdString(png));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), kWidth);
    EXPECT_EQ(image.height(), kHeight);
    EXPECT_EQ(Count(image, kAll, kRed), 200);
    EXPECT_EQ(Count(image, {10, 10, 30, 20}, kRed), 200);
    std::filesystem::remove(emf);
    std::filesystem::remove(png);
}

}  // namespace
