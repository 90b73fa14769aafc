#include "platform/gdi/printer_dc.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRawFont>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace plat {

PrinterDc::PrinterDc(const DeviceInfo& page) : QPainterDc(page) {}

PrinterDc::~PrinterDc() {
    Close();
}

bool PrinterDc::Open(const std::string& pdfPath, const std::string& title) {
    if (writer_ || QGuiApplication::instance() == nullptr) return false;
    writer_ = std::make_unique<QPdfWriter>(QString::fromStdString(pdfPath));
    writer_->setTitle(QString::fromStdString(title));
    writer_->setCreator(QStringLiteral("KORVA-QZS"));
    SetPageLayout();
    pages_ = 0;
    return true;
}

bool PrinterDc::Reset(const DeviceInfo& page) {
    if (page.logPixelsX <= 0 || page.logPixelsY <= 0 || page.physicalWidth <= 0 ||
        page.physicalHeight <= 0) {
        return false;
    }
    SetDevice(page);
    // A page already painting keeps its sheet; the next one takes the new paper.
    if (writer_ && !pageOpen_) SetPageLayout();
    return true;
}

void PrinterDc::SetPageLayout() {
    const DeviceInfo& d = device();
    writer_->setResolution(d.logPixelsX);
    const QSizeF mm(d.physicalWidth * 25.4 / d.logPixelsX, d.physicalHeight * 25.4 / d.logPixelsY);
    writer_->setPageLayout(QPageLayout(QPageSize(mm, QPageSize::Millimeter), QPageLayout::Portrait,
                                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
}

bool PrinterDc::StartPage() {
    if (!writer_ || pageOpen_) return false;
    SetPageLayout();
    if (pages_ == 0) {
        auto painter = std::make_unique<QPainter>();
        if (!painter->begin(writer_.get())) return false;
        held_ = std::move(painter);
    } else if (!writer_->newPage()) {
        return false;
    }
    const DeviceInfo& d = device();
    QTransform t;
    t.translate(d.physicalOffsetX, d.physicalOffsetY);
    if (d.logPixelsY != d.logPixelsX) t.scale(1.0, double(d.logPixelsX) / d.logPixelsY);
    held_->setWorldTransform(t);
    SetSurfaceClip(QRect(0, 0, d.horzRes, d.vertRes));
    AttachPainter(std::move(held_));
    pageOpen_ = true;
    ++pages_;
    return true;
}

bool PrinterDc::EndPage() {
    if (!pageOpen_) return false;
    held_ = DetachPainter();
    pageOpen_ = false;
    return true;
}

bool PrinterDc::Close() {
    if (pageOpen_) EndPage();
    bool ok = true;
    if (held_) ok = held_->end();
    held_.reset();
    writer_.reset();
    return ok;
}

QRawFont* PrinterDc::RawFont(const std::shared_ptr<const FontFace>& face, double pixelSize) {
    // A collection's later faces are not reachable through Qt's loader: those keep outlines.
    if (face->faceIndex() != 0 || pixelSize <= 0) return nullptr;
    const auto key = std::make_pair(face->path(), pixelSize);
    auto it = fonts_.find(key);
    if (it == fonts_.end()) {
        Font entry;
        entry.face = face;
        // The face's own file, registered with Qt for this process: Qt's PDF engine embeds only
        // the fonts of its database (a raw font read from bytes goes out as outlines). The
        // family is the file's, so no matching can pick another face.
        auto family = families_.find(face->path());
        if (family == families_.end()) {
            const int id = QFontDatabase::addApplicationFont(QString::fromStdString(face->path()));
            family = families_
                         .emplace(face->path(),
                                  id < 0 ? QString()
                                         : QFontDatabase::applicationFontFamilies(id).value(0))
                         .first;
        }
        if (!family->second.isEmpty()) {
            QFont qfont(family->second);
            qfont.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
            qfont.setHintingPreference(QFont::PreferNoHinting);
            qfont.setStyleStrategy(QFont::NoFontMerging);
            entry.font = QRawFont::fromFont(qfont);
        }
        it = fonts_.emplace(key, std::move(entry)).first;
    }
    return it->second.font.isValid() ? &it->second.font : nullptr;
}

void PrinterDc::PaintGlyphs(const DeviceText& text, int32_t height) {
    // Turned text keeps the outlines: a glyph run has no per-run rotation of its own.
    // Qt's fonts belong to the thread that makes them and die with it, while the PDF engine
    // embeds them when the document ends: off the GUI thread (an asynchronous print's own
    // thread) text keeps to outlines.
    QCoreApplication* app = QCoreApplication::instance();
    const bool guiThread = app != nullptr && QThread::currentThread() == app->thread();
    if (text.angle != 0 || text.face == nullptr || !guiThread) {
        QPainterDc::PaintGlyphs(text, height);
        return;
    }
    const FontMetrics m = text.face->Metrics(height);
    const double pixelSize = m.height - m.internalLeading;
    QRawFont* font = RawFont(text.face, pixelSize);
    if (font == nullptr) {
        QPainterDc::PaintGlyphs(text, height);
        return;
    }
    QVector<quint32> glyphs;
    QVector<QPointF> positions;
    for (size_t i = 0; i < text.text.size(); ++i) {
        char32_t ch = text.text[i];
        const size_t at = i;
        if (ch >= 0xD800 && ch < 0xDC00 && i + 1 < text.text.size() && text.text[i + 1] >= 0xDC00 &&
            text.text[i + 1] < 0xE000) {
            ch = 0x10000 + ((ch - 0xD800) << 10) + (text.text[i + 1] - 0xDC00);
            ++i;
        }
        glyphs.push_back(text.face->GlyphIndex(ch));
        positions.push_back(QPointF(text.origins[at].x, text.origins[at].y + text.ascent));
    }
    QGlyphRun run;
    run.setRawFont(*font);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    painter()->setPen(
        QColor(RedOf(state().textColor), GreenOf(state().textColor), BlueOf(state().textColor)));
    painter()->drawGlyphRun(QPointF(0, 0), run);
}

bool PrinterDc::Continue() {
    if (aborted_) return false;
    if (++drawCalls_ % kAbortInterval == 0 && abortProc_ && !abortProc_()) aborted_ = true;
    return !aborted_;
}

// One call of the host counts once, also where a back-end primitive is drawn through another.
template <class Draw>
void PrinterDc::Counted(Draw draw) {
    if (drawDepth_ == 0 && !Continue()) return;
    if (aborted_) return;
    ++drawDepth_;
    draw();
    --drawDepth_;
}

void PrinterDc::StrokeDevicePath(const DevicePath& path) {
    Counted([&] { QPainterDc::StrokeDevicePath(path); });
}

void PrinterDc::FillDevicePath(const DevicePath& path, const BrushState& brush) {
    Counted([&] { QPainterDc::FillDevicePath(path, brush); });
}

void PrinterDc::FillDeviceRect(const RECT& rect, const BrushState& brush, uint32_t rop) {
    Counted([&] { QPainterDc::FillDeviceRect(rect, brush, rop); });
}

void PrinterDc::DrawDeviceText(const DeviceText& text) {
    Counted([&] { QPainterDc::DrawDeviceText(text); });
}

void PrinterDc::DrawDeviceDib(const RECT& dest, const RECT& source, std::span<const uint8_t> bits,
                              const BITMAPINFOHEADER& header, std::span<const RGBQUAD> colors) {
    Counted([&] { QPainterDc::DrawDeviceDib(dest, source, bits, header, colors); });
}

}  // namespace plat
