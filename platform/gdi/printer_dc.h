// A printer's device context: the pages are painted into one PDF document at the settings'
// resolution, each page the whole sheet (turned for landscape) with device (0, 0) at the corner
// of the printable area and ink clipped to that area, as a printer's context is. Text goes out
// as glyph runs of the face's own file, so that the document keeps it as text.
#pragma once

#include <QRawFont>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/gdi/qpainter_dc.h"

class QPdfWriter;

namespace plat {

class PrinterDc final : public QPainterDc {
  public:
    // page: the device of the first pages (physical size, offsets, printable size, dots per
    // inch in logPixelsX and logPixelsY).
    explicit PrinterDc(const DeviceInfo& page);
    ~PrinterDc() override;

    // Starts the document file; false without a QGuiApplication (Qt's font and PDF engines need
    // one) or when the file cannot be made.
    bool Open(const std::string& pdfPath, const std::string& title);
    // The device of the pages that follow (ResetDC); false for a zero page or resolution.
    bool Reset(const DeviceInfo& page);
    // Drawing lands on the page between these two; outside them it is dropped.
    bool StartPage();
    bool EndPage();
    // Ends the file; false when it could not be written whole.
    bool Close();
    int32_t PagesStarted() const { return pages_; }

    // The document's abort procedure, asked every kAbortInterval drawing calls as a spooler
    // asks while it takes a long page: false stops the document, and every later drawing call
    // is dropped.
    static constexpr int32_t kAbortInterval = 64;
    void SetAbortProc(std::function<bool()> proc) { abortProc_ = std::move(proc); }
    bool Aborted() const { return aborted_; }

  protected:
    void PaintGlyphs(const DeviceText& text, int32_t height) override;
    void StrokeDevicePath(const DevicePath& path) override;
    void FillDevicePath(const DevicePath& path, const BrushState& brush) override;
    void FillDeviceRect(const RECT& rect, const BrushState& brush, uint32_t rop) override;
    void DrawDeviceText(const DeviceText& text) override;
    void DrawDeviceDib(const RECT& dest, const RECT& source, std::span<const uint8_t> bits,
                       const BITMAPINFOHEADER& header, std::span<const RGBQUAD> colors) override;

  private:
    // Counts a drawing call and asks the abort procedure at every interval; false once the
    // document is stopped.
    bool Continue();
    template <class Draw>
    void Counted(Draw draw);
    void SetPageLayout();
    QRawFont* RawFont(const std::shared_ptr<const FontFace>& face, double pixelSize);

    struct Font {
        std::shared_ptr<const FontFace> face;
        QRawFont font;
    };
    std::map<std::pair<std::string, double>, Font> fonts_;
    std::map<std::string, QString> families_;  // font file to its family in Qt's database

    std::unique_ptr<QPdfWriter> writer_;
    std::unique_ptr<QPainter> held_;  // the document's painter between pages
    int32_t pages_ = 0;
    bool pageOpen_ = false;
    std::function<bool()> abortProc_;
    uint32_t drawCalls_ = 0;
    int drawDepth_ = 0;
    bool aborted_ = false;
};

}  // namespace plat
