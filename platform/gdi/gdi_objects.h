// GDI objects: pens, brushes, fonts and regions live in the process-wide handle table, apart
// from any device context, as in GDI. Selecting one into a context copies what the context
// needs, so deleting an object never leaves a context with a dangling one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/fonts/logical_font.h"
#include "platform/gdi/gdi_types.h"

namespace plat {

class Region;

// All creators answer 0 for arguments GDI would refuse.
HPEN CreatePen(uint32_t style, int32_t width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN& pen);
// A pen with end cap and join bits; cosmetic pens are one pixel wide (width must be 1) and solid
// brushed; geometric pens take a solid brush. Style entries only with a user style (7), unused
// otherwise.
HPEN ExtCreatePen(uint32_t style, uint32_t width, const LOGBRUSH& brush,
                  std::span<const uint32_t> styleEntries = {});

HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(uint32_t hatch, COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH& brush);  // solid, null or hatched
// A monochrome pattern brush from the rows of a 1-bit DIB (each row padded to 32 bits, bottom-up
// when height is positive): 0 bits paint in the context's text colour, 1 bits in its background
// colour, as GDI paints monochrome patterns. Width and height 1..64.
HBRUSH CreateMonoPatternBrush(int32_t width, int32_t height, std::span<const uint8_t> bits);

HFONT CreateFontIndirectW(const LOGFONTW& font);

HRGN CreateRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom);
HRGN CreateRectRgnIndirect(const RECT& rect);
HRGN CreateRegion(const Region& region);
// Combines into dest (which may be one of the sources); answers the result's complexity or
// kRegionError (bad handle or mode; dest is then unchanged).
int32_t CombineRgn(HRGN dest, HRGN a, HRGN b, int32_t mode);
int32_t OffsetRgn(HRGN region, int32_t dx, int32_t dy);
int32_t GetRgnBox(HRGN region, RECT* box);
bool PtInRegion(HRGN region, int32_t x, int32_t y);
bool EqualRgn(HRGN a, HRGN b);
// A copy of the region behind a handle, or nothing.
std::optional<Region> GetRegion(HRGN region);

// The shared stock objects; 0 for numbers that are not stock objects here.
HGDIOBJ GetStockObject(int32_t object);
// True for a stock object handle; its number in *number.
bool IsStockObject(HGDIOBJ object, int32_t* number = nullptr);

// Deletes a pen, brush, font or region (stock objects stay and answer true). Contexts that have
// it selected keep their copies; metafile recorders holding it write its deletion.
bool DeleteObject(HGDIOBJ object);
// kObjPen, kObjExtPen, kObjBrush, kObjFont, kObjRegion, kObjDc, or 0.
int32_t GetObjectType(HGDIOBJ object);

// What an object was made from; nothing for a handle of another kind.
std::optional<LOGPEN> GetLogPen(HPEN pen);  // an extended pen as style, width and colour
std::optional<LOGBRUSH> GetLogBrush(HBRUSH brush);
std::optional<LOGFONTW> GetLogFont(HFONT font);

// Between the drawing layer's record and the font layer's logical font (face names cut to 31).
LOGFONTW ToLogFontW(const LogicalFont& font);
LogicalFont ToLogicalFont(const LOGFONTW& font);

// Owns one GDI object and deletes it when it goes.
class GdiObject {
  public:
    GdiObject() = default;
    explicit GdiObject(HGDIOBJ object) : object_(object) {}
    ~GdiObject() { reset(); }
    GdiObject(GdiObject&& other) noexcept : object_(other.release()) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    HGDIOBJ get() const { return object_; }
    explicit operator bool() const { return object_ != 0; }
    HGDIOBJ release() {
        HGDIOBJ o = object_;
        object_ = 0;
        return o;
    }
    void reset(HGDIOBJ object = 0) {
        if (object_) DeleteObject(object_);
        object_ = object;
    }

  private:
    HGDIOBJ object_ = 0;
};

}  // namespace plat
