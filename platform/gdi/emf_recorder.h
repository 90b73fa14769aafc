// A device context that records its calls as a real enhanced metafile, as GDI's metafile
// context does: every state change and drawing call becomes its EMF record, objects are
// created in the metafile when first selected and get the lowest free object index (stock
// objects are 0x80000000 | number), and Close writes the EOF record and fills the header.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/device_context.h"
#include "platform/gdi/emf_format.h"
#include "platform/gdi/handle_table.h"

namespace plat {

class EmfRecorder final : public DeviceContext, private detail::ObjectDeletionListener {
  public:
    // reference: the device the picture is recorded for (its pixels and millimetres go into the
    // header and its resolution serves the mapping). frame: the picture's frame in 0.01 mm
    // (inclusive); without one the frame is worked out from what was drawn. description: the
    // header's description text (an empty one writes none).
    EmfRecorder(const DeviceInfo& reference, const std::optional<RECT>& frame,
                std::u16string_view description);
    ~EmfRecorder() override;

    // Ends the recording: the metafile's bytes. Recording stops; later calls record nothing and
    // a second Close answers nothing.
    std::vector<uint8_t> Close();

    int32_t SaveDC() override;
    bool RestoreDC(int32_t level) override;
    int32_t SetMapMode(int32_t mode) override;
    bool SetWindowOrgEx(int32_t x, int32_t y, POINT* previous = nullptr) override;
    bool SetViewportOrgEx(int32_t x, int32_t y, POINT* previous = nullptr) override;
    bool OffsetWindowOrgEx(int32_t dx, int32_t dy, POINT* previous = nullptr) override;
    bool OffsetViewportOrgEx(int32_t dx, int32_t dy, POINT* previous = nullptr) override;
    bool SetWindowExtEx(int32_t cx, int32_t cy, SIZE* previous = nullptr) override;
    bool SetViewportExtEx(int32_t cx, int32_t cy, SIZE* previous = nullptr) override;
    bool ScaleWindowExtEx(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                          SIZE* previous = nullptr) override;
    bool ScaleViewportExtEx(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                            SIZE* previous = nullptr) override;
    COLORREF SetTextColor(COLORREF color) override;
    COLORREF SetBkColor(COLORREF color) override;
    int32_t SetBkMode(int32_t mode) override;
    HGDIOBJ SelectObject(HGDIOBJ object) override;
    bool MoveToEx(int32_t x, int32_t y, POINT* previous = nullptr) override;
    bool LineTo(int32_t x, int32_t y) override;
    bool Polyline(std::span<const POINT> points) override;
    bool PolylineTo(std::span<const POINT> points) override;
    bool PolyBezierTo(std::span<const POINT> points) override;
    bool Polygon(std::span<const POINT> points) override;
    bool PolyPolyline(std::span<const POINT> points, std::span<const uint32_t> counts) override;
    bool FillRect(const RECT& rect, HBRUSH brush) override;
    bool PatBlt(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop) override;
    bool BeginPath() override;
    bool EndPath() override;
    bool CloseFigure() override;
    bool StrokePath() override;
    bool AbortPath() override;
    int32_t ExtSelectClipRgn(HRGN region, int32_t mode) override;
    bool ExtTextOutW(int32_t x, int32_t y, uint32_t options, const RECT* rect,
                     std::u16string_view text, std::span<const int32_t> dx = {}) override;
    bool ExtTextOutA(int32_t x, int32_t y, uint32_t options, const RECT* rect,
                     std::string_view text, std::span<const int32_t> dx = {}) override;
    int32_t StretchDIBits(int32_t xDest, int32_t yDest, int32_t destWidth, int32_t destHeight,
                          int32_t xSrc, int32_t ySrc, int32_t srcWidth, int32_t srcHeight,
                          std::span<const uint8_t> bits, const BITMAPINFOHEADER& header,
                          std::span<const RGBQUAD> colors, uint32_t usage, uint32_t rop) override;
    bool GdiComment(std::span<const uint8_t> data) override;

  private:
    void OnObjectDeleted(HGDIOBJ object) override;

    bool recording() const { return !closed_; }
    // Starts a record of a type; End patches its size and counts it.
    void Begin(uint32_t type);
    void End();
    void Simple(uint32_t type);                    // type and size only
    void OneValue(uint32_t type, uint32_t value);  // one 32-bit field
    void TwoValues(uint32_t type, int32_t a, int32_t b);
    // The metafile index of an object, creating it in the metafile first when needed.
    uint32_t IndexFor(HGDIOBJ object);
    void WritePoly(uint32_t type16, uint32_t type32, std::span<const POINT> points,
                   std::span<const uint32_t> counts, bool withCounts);
    // Bounds of logical points in device units, inclusive, and joined into the header's.
    RECT BoundsOf(std::span<const POINT> logical);
    void AddBounds(const RECT& deviceInclusive);
    bool WriteText(uint32_t type, int32_t x, int32_t y, uint32_t options, const RECT* rect,
                   std::span<const uint8_t> chars, size_t count, size_t unit,
                   std::span<const int32_t> dx, int32_t width, int32_t height);

    DeviceInfo reference_;
    std::optional<RECT> frame_;
    std::u16string description_;
    emf::Writer out_;
    size_t recordStart_ = 0;
    uint32_t records_ = 0;
    bool closed_ = false;
    std::vector<HGDIOBJ> objects_{0};  // index -> object; index 0 is the metafile itself
    uint32_t highestIndex_ = 0;
    std::optional<RECT> bounds_;  // device units, inclusive
};

}  // namespace plat
