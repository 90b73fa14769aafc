// A device context that paints on any QPaintDevice (images now; printer pages later) at a given
// resolution. Shapes are drawn without antialiasing, as GDI draws them, and text from the
// outlines of the face platform/fonts resolves, never through Qt's font matching, so that every
// back end shows one face with one set of advances.
#pragma once

#include <memory>

#include "platform/gdi/device_context.h"

class QPaintDevice;
class QPainter;

namespace plat {

class QPainterDc final : public DeviceContext {
  public:
    // The device's width and height in pixels at dpi dots per inch; painting ends with the
    // context (the device must outlive it).
    QPainterDc(QPaintDevice* device, int32_t dpi, int32_t technology = kDtRasDisplay);
    ~QPainterDc() override;

  protected:
    void StrokeDevicePath(const DevicePath& path) override;
    void FillDevicePath(const DevicePath& path, const BrushState& brush) override;
    void FillDeviceRect(const RECT& rect, const BrushState& brush, uint32_t rop) override;
    void DrawDeviceText(const DeviceText& text) override;
    void DrawDeviceDib(const RECT& dest, const RECT& source, std::span<const uint8_t> bits,
                       const BITMAPINFOHEADER& header, std::span<const RGBQUAD> colors) override;

  private:
    void ApplyClip();
    void ApplyBackground();

    std::unique_ptr<QPainter> painter_;
};

}  // namespace plat
