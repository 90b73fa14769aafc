// A device context that paints on any QPaintDevice (images, windows, printer pages) at a given
// resolution. Shapes are drawn without antialiasing, as GDI draws them (text on a window is
// smoothed, for reading on the screen), and text from the
// outlines of the face platform/fonts resolves, never through Qt's font matching, so that every
// back end shows one face with one set of advances.
#pragma once

#include <QRect>
#include <memory>
#include <optional>

#include "platform/gdi/device_context.h"

class QPaintDevice;
class QPainter;

namespace plat {

class QPainterDc : public DeviceContext {
  public:
    // The device's width and height in pixels at dpi dots per inch; painting ends with the
    // context (the device must outlive it).
    QPainterDc(QPaintDevice* device, int32_t dpi, int32_t technology = kDtRasDisplay);
    ~QPainterDc() override;

  protected:
    // For contexts whose painter comes and goes (a printer's pages): nothing is painted while
    // none is attached.
    explicit QPainterDc(const DeviceInfo& device);
    QPainter* painter() const { return painter_.get(); }
    void AttachPainter(std::unique_ptr<QPainter> painter);
    std::unique_ptr<QPainter> DetachPainter();
    // The part of the surface that can take ink (a printer's printable area), in device units;
    // every clip is cut to it.
    void SetSurfaceClip(std::optional<QRect> clip) { surfaceClip_ = clip; }
    // The glyphs of a text run, filled in the text colour; outlines here.
    virtual void PaintGlyphs(const DeviceText& text, int32_t height);

    void StrokeDevicePath(const DevicePath& path) override;
    void FillDevicePath(const DevicePath& path, const BrushState& brush) override;
    void FillDeviceRect(const RECT& rect, const BrushState& brush, uint32_t rop) override;
    void DrawDeviceText(const DeviceText& text) override;
    void DrawDeviceDib(const RECT& dest, const RECT& source, std::span<const uint8_t> bits,
                       const BITMAPINFOHEADER& header, std::span<const RGBQUAD> colors) override;

  private:
    bool PaintCachedGlyphs(const DeviceText& text, int32_t height);
    void ApplyClip();
    void ApplyBackground();

    std::unique_ptr<QPainter> painter_;
    std::optional<QRect> surfaceClip_;
    bool smoothText_ = false;
};

}  // namespace plat
