// Text through the QPainter back end on a window is smoothed, so that a page shown at 50 % reads;
// the same text on an image (what files, pictures and printer pages are made from) keeps GDI's
// hard pixels. Half-tone pixels are counted in the text's cell.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <cstdlib>
#include <string>

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
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "platform_test_screen_text";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

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

}  // namespace
