// A region as GDI keeps one: rectangles in y-x bands. Bands are sorted from top to bottom, the
// rectangles of a band share its top and bottom and are sorted from left to right without
// touching, and two neighbouring bands that touch never hold the same spans (they are merged).
// So two regions covering the same pixels hold the same rectangles.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/gdi/gdi_types.h"

namespace plat {

class Region {
  public:
    Region() = default;
    // A rectangle with its edges put in order; empty when it has no area.
    explicit Region(const RECT& rect);
    // The union of rectangles in any order.
    static Region FromRects(std::span<const RECT> rects);

    // kRgnAnd, kRgnOr, kRgnXor, kRgnDiff (a without b) or kRgnCopy (a); nothing for other modes.
    static bool Combine(const Region& a, const Region& b, int32_t mode, Region* out);

    const std::vector<RECT>& rects() const { return rects_; }
    bool empty() const { return rects_.empty(); }
    // The bounding box; all zero for an empty region.
    RECT Box() const;
    // kNullRegion, kSimpleRegion (one rectangle) or kComplexRegion.
    int32_t Complexity() const;
    bool Contains(int32_t x, int32_t y) const;
    void Offset(int32_t dx, int32_t dy);

    bool operator==(const Region&) const = default;

  private:
    std::vector<RECT> rects_;
};

}  // namespace plat
