// A device context with GDI semantics. The base class keeps the whole state as GDI does (save
// levels, mapping, colours, selected objects, current position, path, clip region) and measures
// text with the face platform/fonts resolves; back ends only add what they do with the drawing:
// InfoDc nothing, EmfRecorder records every call as an EMF record, QPainterDc paints.
//
// Coordinates given to the drawing operations are logical units; the back ends receive device
// units, converted once here (rounded half up, as GDI rounds).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fonts/font_face.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/gdi_types.h"
#include "platform/gdi/region.h"

namespace plat {

// What GetDeviceCaps tells about a device.
struct DeviceInfo {
    int32_t technology = kDtRasDisplay;
    int32_t horzRes = 0;  // pixels
    int32_t vertRes = 0;
    int32_t horzSizeMm = 0;
    int32_t vertSizeMm = 0;
    int32_t logPixelsX = 96;
    int32_t logPixelsY = 96;
    int32_t bitsPixel = 24;
    // Printers: the whole paper and where the printable area starts, in pixels.
    int32_t physicalWidth = 0;
    int32_t physicalHeight = 0;
    int32_t physicalOffsetX = 0;
    int32_t physicalOffsetY = 0;

    // A device of width x height pixels at dpi dots per inch; the size in millimetres rounded.
    static DeviceInfo ForPixels(int32_t width, int32_t height, int32_t dpi,
                                int32_t technology = kDtRasDisplay);
    // The screen: 1920 x 1080 pixels at 96 dpi.
    static DeviceInfo Screen();
};

// A pen as a context holds it once selected.
struct PenState {
    uint32_t style = kPsSolid;  // with cap, join and type bits
    uint32_t width = 0;         // logical units; 0 draws one pixel
    COLORREF color = 0;
    uint32_t brushStyle = kBsSolid;
    uint32_t hatch = 0;
    std::vector<uint32_t> styleEntries;
    bool extended = false;  // made by ExtCreatePen
    bool operator==(const PenState&) const = default;
};

struct BrushState {
    uint32_t style = kBsSolid;
    COLORREF color = 0;
    uint32_t hatch = 0;
    // Monochrome patterns (kBsPattern): rows of 1-bit pixels as given to CreateMonoPatternBrush.
    int32_t patternWidth = 0;
    int32_t patternHeight = 0;
    std::vector<uint8_t> patternBits;
    bool operator==(const BrushState&) const = default;

    // Bit (x, y) of the pattern, y counted from the top; true for a 1 bit.
    bool PatternBit(int32_t x, int32_t y) const;
};

// A path in device units, as the back ends receive it: figures of lines and cubic Béziers.
struct DevicePath {
    enum class Segment : uint8_t { kLine, kBezier };
    struct Figure {
        POINT start;
        // Lines take one point each, Béziers three (two controls and the end).
        std::vector<Segment> segments;
        std::vector<POINT> points;
        bool closed = false;
    };
    std::vector<Figure> figures;
    bool empty() const { return figures.empty(); }
};

// One call of ExtTextOut as the back ends receive it: glyph origins already placed.
struct DeviceText {
    std::u16string text;         // UTF-16 (ExtTextOutA converted from CP932)
    std::vector<POINT> origins;  // device position of each code unit's cell (top-left)
    uint32_t options = 0;        // kEtoOpaque, kEtoClipped
    std::optional<RECT> rect;    // device rectangle of the options
    LOGFONTW font;               // with lfHeight in device units
    std::shared_ptr<const FontFace> face;
    int32_t ascent = 0;  // device units, of the realised font
    double angle = 0;    // escapement in degrees, counter-clockwise
};

class DeviceContext {
  public:
    virtual ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    // This context's handle in the process-wide table (see DcFromHandle).
    HDC handle() const { return handle_; }
    const DeviceInfo& device() const { return device_; }

    // ----- Device
    virtual int32_t GetDeviceCaps(int32_t index) const;

    // ----- Save levels. SaveDC answers the new depth (0 on failure). RestoreDC takes a negative
    // count relative to the current depth or an absolute level 1..depth; anything else fails and
    // changes nothing. Saved: mapping, colours, modes, selected objects, position, clip region.
    virtual int32_t SaveDC();
    virtual bool RestoreDC(int32_t level);
    int32_t GetSaveDepth() const { return static_cast<int32_t>(saved_.size()); }

    // ----- Mapping. Window and viewport extents change only in kMmIsotropic and kMmAnisotropic
    // (elsewhere the calls succeed and change nothing, as in GDI); isotropic mode shrinks one
    // viewport extent to keep the aspect. Zero extents and denominators fail.
    virtual int32_t SetMapMode(int32_t mode);  // the previous mode, 0 on failure
    int32_t GetMapMode() const { return state_.mapMode; }
    virtual bool SetWindowOrgEx(int32_t x, int32_t y, POINT* previous = nullptr);
    virtual bool SetViewportOrgEx(int32_t x, int32_t y, POINT* previous = nullptr);
    virtual bool OffsetWindowOrgEx(int32_t dx, int32_t dy, POINT* previous = nullptr);
    virtual bool OffsetViewportOrgEx(int32_t dx, int32_t dy, POINT* previous = nullptr);
    virtual bool SetWindowExtEx(int32_t cx, int32_t cy, SIZE* previous = nullptr);
    virtual bool SetViewportExtEx(int32_t cx, int32_t cy, SIZE* previous = nullptr);
    virtual bool ScaleWindowExtEx(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                                  SIZE* previous = nullptr);
    virtual bool ScaleViewportExtEx(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                                    SIZE* previous = nullptr);
    POINT GetWindowOrgEx() const { return state_.windowOrg; }
    POINT GetViewportOrgEx() const { return state_.viewportOrg; }
    SIZE GetWindowExtEx() const { return state_.windowExt; }
    SIZE GetViewportExtEx() const { return state_.viewportExt; }
    bool LPtoDP(std::span<POINT> points) const;
    bool DPtoLP(std::span<POINT> points) const;

    // ----- Colours and modes
    virtual COLORREF SetTextColor(COLORREF color);  // the previous colour
    COLORREF GetTextColor() const { return state_.textColor; }
    virtual COLORREF SetBkColor(COLORREF color);
    COLORREF GetBkColor() const { return state_.bkColor; }
    virtual int32_t SetBkMode(int32_t mode);  // kTransparent or kOpaque; previous, 0 on failure
    int32_t GetBkMode() const { return state_.bkMode; }

    // ----- Objects. SelectObject takes pens, brushes and fonts (regions: use SelectClipRgn) and
    // answers the previous one of that kind, 0 on failure.
    virtual HGDIOBJ SelectObject(HGDIOBJ object);
    // The selected pen, brush or font handle for kObjPen, kObjBrush or kObjFont.
    HGDIOBJ GetCurrentObject(int32_t type) const;
    const PenState& pen() const { return state_.pen; }
    const BrushState& brush() const { return state_.brush; }
    const LOGFONTW& font() const { return state_.font; }

    // ----- Lines, polygons, Béziers. Inside a path they add to it; otherwise they draw with the
    // selected pen (polygons filled with the selected brush, alternate filling).
    virtual bool MoveToEx(int32_t x, int32_t y, POINT* previous = nullptr);
    virtual bool LineTo(int32_t x, int32_t y);
    POINT GetCurrentPositionEx() const { return state_.position; }
    virtual bool Polyline(std::span<const POINT> points);      // at least 2 points
    virtual bool PolylineTo(std::span<const POINT> points);    // at least 1
    virtual bool PolyBezierTo(std::span<const POINT> points);  // a multiple of 3
    virtual bool Polygon(std::span<const POINT> points);       // at least 2
    virtual bool PolyPolyline(std::span<const POINT> points, std::span<const uint32_t> counts);
    // Fills with a brush; the right and bottom edges are not filled. Does not change the
    // selected brush.
    virtual bool FillRect(const RECT& rect, HBRUSH brush);
    // kRopPatCopy (the selected brush), kRopBlackness, kRopWhiteness.
    virtual bool PatBlt(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop);

    // ----- Paths
    virtual bool BeginPath();
    virtual bool EndPath();
    virtual bool CloseFigure();
    virtual bool StrokePath();  // strokes and discards a closed (EndPath) path
    virtual bool AbortPath();
    bool InPath() const { return pathOpen_; }

    // ----- Clipping, in device units as GDI keeps it. ExtSelectClipRgn combines the region
    // with the current clip (no clip counts as the whole device); region 0 with kRgnCopy
    // removes the clip. Answers the new clip's complexity or kRegionError.
    virtual int32_t ExtSelectClipRgn(HRGN region, int32_t mode);
    int32_t SelectClipRgn(HRGN region) { return ExtSelectClipRgn(region, kRgnCopy); }
    // The clip's box in logical units (the device's surface without a clip); its complexity.
    int32_t GetClipBox(RECT* box) const;
    const std::optional<Region>& clipRegion() const { return state_.clip; }

    // ----- Text. The reference point is the top-left of the first cell (TA_TOP | TA_LEFT).
    // dx, when given, holds one advance per code unit (logical units); otherwise the font's
    // advances are used. The rectangle is in logical units and used with kEtoOpaque (painted
    // in the background colour) and kEtoClipped.
    virtual bool ExtTextOutW(int32_t x, int32_t y, uint32_t options, const RECT* rect,
                             std::u16string_view text, std::span<const int32_t> dx = {});
    // Text in CP932 bytes; dx holds one advance per byte (a double-byte character's advance
    // on its lead byte, 0 on the trail byte).
    virtual bool ExtTextOutA(int32_t x, int32_t y, uint32_t options, const RECT* rect,
                             std::string_view text, std::span<const int32_t> dx = {});
    // Advances of each code unit in logical units (a surrogate pair's on its first unit, 0 on
    // the second); false without a face.
    bool GetCharAdvances(std::u16string_view text, std::vector<int32_t>* advances);
    bool GetTextExtentPoint32W(std::u16string_view text, SIZE* size);
    // Metrics of the selected font in logical units.
    bool GetTextMetrics(FontMetrics* metrics);
    // The sfnt face of the selected font, found when first asked; nullptr when none can be
    // found or a stock font is selected (those are the device's raster fonts, without sfnt
    // data, as in GDI; they still measure and draw with a face of their name).
    std::shared_ptr<const FontFace> SelectedFace();
    // GetFontData on the selected font (see FontFace::GetFontData); nothing without a face.
    std::optional<size_t> GetFontData(uint32_t tag, uint32_t offset, std::span<uint8_t> out);

    // ----- Bitmaps: a DIB of 1, 4, 8 or 24 bits per pixel (uncompressed); the colour table
    // holds 2, 16 or 256 entries for the first three (fewer with biClrUsed). bits must hold
    // every row, padded to 32 bits. Answers the number of rows drawn, 0 on failure.
    virtual int32_t StretchDIBits(int32_t xDest, int32_t yDest, int32_t destWidth,
                                  int32_t destHeight, int32_t xSrc, int32_t ySrc, int32_t srcWidth,
                                  int32_t srcHeight, std::span<const uint8_t> bits,
                                  const BITMAPINFOHEADER& header, std::span<const RGBQUAD> colors,
                                  uint32_t usage, uint32_t rop);

    // ----- Comments: recorded by metafile contexts, ignored by others.
    virtual bool GdiComment(std::span<const uint8_t> data);

  protected:
    explicit DeviceContext(const DeviceInfo& device);
    // A printer context reset to other paper (ResetDC): the device changes, the state stays.
    void SetDevice(const DeviceInfo& device) { device_ = device; }

    // What the back ends draw, in device units. Nothing by default (an information context).
    // Strokes use the pen, fills the brush of the current state (colours and modes included);
    // the clip region is in state().clip.
    virtual void StrokeDevicePath(const DevicePath& path);
    virtual void FillDevicePath(const DevicePath& path, const BrushState& brush);
    // PatBlt and FillRect: rect normalized, non-empty.
    virtual void FillDeviceRect(const RECT& rect, const BrushState& brush, uint32_t rop);
    virtual void DrawDeviceText(const DeviceText& text);
    virtual void DrawDeviceDib(const RECT& dest, const RECT& source, std::span<const uint8_t> bits,
                               const BITMAPINFOHEADER& header, std::span<const RGBQUAD> colors);

    struct State {
        int32_t mapMode = kMmText;
        POINT windowOrg;
        POINT viewportOrg;
        SIZE windowExt{1, 1};
        SIZE viewportExt{1, 1};
        COLORREF textColor = 0;
        COLORREF bkColor = 0xFFFFFF;
        int32_t bkMode = kOpaque;
        HPEN penHandle = 0;
        PenState pen;
        HBRUSH brushHandle = 0;
        BrushState brush;
        HFONT fontHandle = 0;
        LOGFONTW font;
        POINT position;
        std::optional<Region> clip;  // device units; nothing = whole device
    };
    const State& state() const { return state_; }
    // The path being built or closed and not yet stroked, in device units.
    const DevicePath& currentPath() const { return path_; }

    // Logical to device for one point and for a length along x or y (magnitude, at least 0).
    POINT ToDevice(POINT p) const;
    double ScaleX() const;
    double ScaleY() const;
    // The device height of a logical font height (sign kept).
    int32_t DeviceFontHeight(int32_t logicalHeight) const;
    // The face text is measured and drawn with (stock fonts included); nullptr when none.
    std::shared_ptr<const FontFace> DrawingFace();

  private:
    void ApplyMapMode(int32_t mode);
    void FixIsotropic();
    void SetFont(HFONT handle, const LOGFONTW& font);
    void StartFigure(POINT at);
    // Adds a polyline piece to the open path or draws it.
    void AddToPathOrStroke(POINT from, std::span<const POINT> points, bool bezier);
    bool DrawText16(int32_t x, int32_t y, uint32_t options, const RECT* rect,
                    std::u16string_view text, std::span<const int32_t> dx);

    HDC handle_ = 0;
    DeviceInfo device_;
    State state_;
    std::vector<State> saved_;

    // The path: open between BeginPath and EndPath, then kept until stroked or aborted.
    bool pathOpen_ = false;
    bool pathClosed_ = false;
    DevicePath path_;  // device units

    std::shared_ptr<const FontFace> face_;
    bool faceLooked_ = false;
};

// A context for measuring and state only: fonts, metrics and mapping, no drawing.
class InfoDc final : public DeviceContext {
  public:
    explicit InfoDc(const DeviceInfo& device = DeviceInfo::Screen()) : DeviceContext(device) {}
};

}  // namespace plat
