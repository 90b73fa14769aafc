// Text through the QPainter back end on a window is smoothed, so that a page shown at 50 % reads;
// the same text on an image (what files, pictures and printer pages are made from) keeps GDI's
// hard pixels. Half-tone pixels are counted in the text's cell.
//
// A window's glyphs come from images kept across paints: each drawing is held to the outlines
// filled in place with the same smoothing, for sizes, faces, colours and angles met one after the
// other, so that a kept glyph never stands in for another.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/fonts/font_face.h"
#include "platform/gdi/qpainter_dc.h"

namespace {

constexpr int kWidth = 120;
constexpr int kHeight = 60;

void DrawText(plat::DeviceContext& dc) {
    plat::LOGFONTW lf;
    lf.lfHeight = -24;
    lf.lfCharSet = plat::kShiftJisCharset;
    const std::u16string face = u"ＭＳ ゴシック";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    plat::GdiObject font(plat::CreateFontIndirectW(lf));
    dc.SelectObject(font.get());
    dc.SetBkMode(plat::kTransparent);
    dc.ExtTextOutW(10, 10, 0, nullptr, u"漢字aw");
    dc.SelectObject(plat::GetStockObject(plat::kSystemFont));
}

class TextWindow : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override {
        plat::QPainterDc dc(this, 96);
        DrawText(dc);
    }
};

QApplication& App() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "platform_test_screen_text";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// The run's outlines filled in place in one path, smoothed, in the text colour: window text as
// it is meant to look.
class OutlineDc final : public plat::QPainterDc {
  public:
    using QPainterDc::QPainterDc;

  protected:
    void PaintGlyphs(const plat::DeviceText& text, int32_t height) override {
        class Sink final : public plat::OutlineSink {
          public:
            explicit Sink(QPainterPath* p) : p_(p) {}
            void MoveTo(double x, double y) override { p_->moveTo(x, y); }
            void LineTo(double x, double y) override { p_->lineTo(x, y); }
            void QuadTo(double cx, double cy, double x, double y) override {
                p_->quadTo(cx, cy, x, y);
            }
            void CubicTo(double ax, double ay, double bx, double by, double x, double y) override {
                p_->cubicTo(ax, ay, bx, by, x, y);
            }

          private:
            QPainterPath* p_;
        };
        QPainterPath glyphs;
        glyphs.setFillRule(Qt::WindingFill);
        for (size_t i = 0; i < text.text.size(); ++i) {
            QPainterPath outline;
            Sink sink(&outline);
            if (!text.face->GlyphOutline(text.text[i], height, sink)) continue;
            QTransform t;
            t.translate(text.origins[i].x, text.origins[i].y);
            t.rotate(-text.angle);
            t.translate(0, text.ascent);
            glyphs.addPath(t.map(outline));
        }
        const plat::COLORREF c = state().textColor;
        painter()->save();
        painter()->setRenderHint(QPainter::Antialiasing, true);
        painter()->fillPath(glyphs, QColor(plat::RedOf(c), plat::GreenOf(c), plat::BlueOf(c)));
        painter()->restore();
    }
};

struct TextRun {
    std::u16string face;
    int32_t height;      // logical units, negative: the em
    int32_t escapement;  // tenths of a degree
    plat::COLORREF colour;
    int x, y;
    std::u16string text;
};

void DrawRuns(plat::DeviceContext& dc, const std::vector<TextRun>& runs) {
    dc.SetBkMode(plat::kTransparent);
    for (const TextRun& r : runs) {
        plat::LOGFONTW lf;
        lf.lfHeight = r.height;
        lf.lfEscapement = r.escapement;
        lf.lfOrientation = r.escapement;
        lf.lfCharSet = plat::kShiftJisCharset;
        std::copy(r.face.begin(), r.face.end(), lf.lfFaceName);
        plat::GdiObject font(plat::CreateFontIndirectW(lf));
        dc.SelectObject(font.get());
        dc.SetTextColor(r.colour);
        dc.ExtTextOutW(r.x, r.y, 0, nullptr, r.text);
        dc.SelectObject(plat::GetStockObject(plat::kSystemFont));
    }
}

template <class Dc>
class RunsWindow : public QWidget {
  public:
    explicit RunsWindow(const std::vector<TextRun>& runs) : runs_(runs) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), Qt::white);
        Dc dc(this, 96);
        DrawRuns(dc, runs_);
    }

  private:
    const std::vector<TextRun>& runs_;
};

template <class Dc>
QImage Shown(const std::vector<TextRun>& runs, int width, int height) {
    RunsWindow<Dc> window(runs);
    window.resize(width, height);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    window.render(&image);
    return image;
}

// Pixels between ink and paper.
int HalfTones(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int g = qGray(image.pixel(x, y));
            if (g > 40 && g < 215) ++n;
        }
    }
    return n;
}

TEST(ScreenText, SmoothOnAWindowHardOnAnImage) {
    App();

    QImage hard(kWidth, kHeight, QImage::Format_RGB32);
    hard.fill(Qt::white);
    {
        plat::QPainterDc dc(&hard, 96);
        DrawText(dc);
    }
    TextWindow window;
    window.resize(kWidth, kHeight);
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(Qt::white));
    QImage shown(kWidth, kHeight, QImage::Format_RGB32);
    shown.fill(Qt::white);
    window.render(&shown);

    EXPECT_EQ(HalfTones(hard), 0) << "an image keeps hard edges";
    EXPECT_GT(HalfTones(shown), 40) << "a window's text is smoothed";
}

TEST(ScreenText, KeptGlyphsLookAsTheOutlinesFilledInPlace) {
    App();
    const std::u16string gothic = u"ＭＳ ゴシック", mincho = u"ＭＳ 明朝";
    const plat::COLORREF black = plat::Rgb(0, 0, 0), red = plat::Rgb(200, 0, 0);
    const std::u16string text = u"漢字かなカナAw09";
    struct Case {
        const char* what;
        std::vector<TextRun> runs;
    };
    const std::vector<Case> cases = {
        {.what = "two sizes, the smaller after the larger",
         .runs = {{gothic, -24, 0, black, 4, 4, text}, {gothic, -12, 0, black, 4, 40, text}}},
        {.what = "a size met again after another",
         .runs = {{gothic, -16, 0, black, 4, 4, text},
                  {gothic, -17, 0, black, 4, 30, text},
                  {gothic, -16, 0, black, 4, 60, text}}},
        {.what = "two faces, the same characters",
         .runs = {{gothic, -20, 0, black, 4, 4, text}, {mincho, -20, 0, black, 4, 40, text}}},
        {.what = "one glyph in two colours",
         .runs = {{gothic, -18, 0, red, 4, 4, text}, {gothic, -18, 0, black, 4, 40, text}}},
        {.what = "cell heights beside em heights",
         .runs = {{gothic, 20, 0, black, 4, 4, text}, {gothic, -20, 0, black, 4, 40, text}}},
        {.what = "rotated text beside upright text of the same size",
         .runs = {{gothic, -18, 900, black, 20, 180, text},
                  {gothic, -18, 450, black, 60, 180, text},
                  {gothic, -18, 0, black, 120, 150, text}}},
    };
    constexpr int kW = 320, kH = 200;
    for (int pass = 0; pass < 2; ++pass) {  // the second finds every glyph already kept
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (pass == 0 ? "" : ", painted again"));
            const QImage reference = Shown<OutlineDc>(c.runs, kW, kH);
            const QImage shown = Shown<plat::QPainterDc>(c.runs, kW, kH);
            int ink = 0, worst = 0, apart = 0;
            for (int y = 0; y < kH; ++y) {
                for (int x = 0; x < kW; ++x) {
                    const QRgb a = reference.pixel(x, y), b = shown.pixel(x, y);
                    if (qGray(a) < 128) ++ink;
                    const int d =
                        std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))});
                    worst = std::max(worst, d);
                    if (d > 2) ++apart;
                }
            }
            EXPECT_GT(ink, 300) << "the text is drawn";
            // Blending an image of the coverage rounds once more than filling does.
            EXPECT_LE(worst, 3);
            EXPECT_EQ(apart, 0);
        }
    }
}

}  // namespace
