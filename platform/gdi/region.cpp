#include "platform/gdi/region.h"

#include <algorithm>
#include <utility>

namespace plat {

namespace {

struct Span {
    int32_t left;
    int32_t right;
    bool operator==(const Span&) const = default;
};

// The x spans of a region's band that covers the slab [top, bottom), which lies wholly inside
// or outside each band because the slabs are cut at every band edge.
std::vector<Span> SpansAt(const std::vector<RECT>& rects, int32_t top) {
    std::vector<Span> spans;
    for (const RECT& r : rects) {
        if (r.top <= top && top < r.bottom) spans.push_back({r.left, r.right});
        if (r.top > top) break;
    }
    return spans;
}

bool Keep(bool inA, bool inB, int32_t mode) {
    switch (mode) {
        case kRgnAnd:
            return inA && inB;
        case kRgnOr:
            return inA || inB;
        case kRgnXor:
            return inA != inB;
        case kRgnDiff:
            return inA && !inB;
        default:
            return inA;
    }
}

bool Covers(const std::vector<Span>& spans, int32_t x) {
    for (const Span& s : spans) {
        if (s.left <= x && x < s.right) return true;
    }
    return false;
}

// Combines the spans of one slab: cut at every edge of both, keep the pieces the mode keeps,
// join touching pieces.
std::vector<Span> CombineSpans(const std::vector<Span>& a, const std::vector<Span>& b,
                               int32_t mode) {
    std::vector<int32_t> xs;
    for (const Span& s : a) xs.insert(xs.end(), {s.left, s.right});
    for (const Span& s : b) xs.insert(xs.end(), {s.left, s.right});
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    std::vector<Span> out;
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
        if (!Keep(Covers(a, xs[i]), Covers(b, xs[i]), mode)) continue;
        if (!out.empty() && out.back().right == xs[i]) {
            out.back().right = xs[i + 1];
        } else {
            out.push_back({xs[i], xs[i + 1]});
        }
    }
    return out;
}

// Builds the banded rectangles from slabs, merging a slab into the band above when it touches
// it and has the same spans.
class BandBuilder {
  public:
    void Add(int32_t top, int32_t bottom, std::vector<Span> spans) {
        if (spans.empty()) return;
        if (!bands_.empty() && bands_.back().bottom == top && bands_.back().spans == spans) {
            bands_.back().bottom = bottom;
            return;
        }
        bands_.push_back({top, bottom, std::move(spans)});
    }
    std::vector<RECT> Rects() const {
        std::vector<RECT> rects;
        for (const Band& b : bands_) {
            for (const Span& s : b.spans) rects.push_back({s.left, b.top, s.right, b.bottom});
        }
        return rects;
    }

  private:
    struct Band {
        int32_t top;
        int32_t bottom;
        std::vector<Span> spans;
    };
    std::vector<Band> bands_;
};

void AddEdges(const std::vector<RECT>& rects, std::vector<int32_t>* ys) {
    for (const RECT& r : rects) ys->insert(ys->end(), {r.top, r.bottom});
}

}  // namespace

Region::Region(const RECT& rect) {
    RECT r{std::min(rect.left, rect.right), std::min(rect.top, rect.bottom),
           std::max(rect.left, rect.right), std::max(rect.top, rect.bottom)};
    if (r.left < r.right && r.top < r.bottom) rects_.push_back(r);
}

Region Region::FromRects(std::span<const RECT> rects) {
    std::vector<RECT> normal;
    for (const RECT& r : rects) {
        Region one(r);
        if (!one.empty()) normal.push_back(one.rects_.front());
    }
    std::vector<int32_t> ys;
    AddEdges(normal, &ys);
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    std::sort(normal.begin(), normal.end(),
              [](const RECT& a, const RECT& b) { return a.top < b.top; });
    BandBuilder builder;
    for (size_t i = 0; i + 1 < ys.size(); ++i) {
        std::vector<Span> spans = SpansAt(normal, ys[i]);
        std::sort(spans.begin(), spans.end(),
                  [](const Span& a, const Span& b) { return a.left < b.left; });
        std::vector<Span> merged;
        for (const Span& s : spans) {
            if (!merged.empty() && s.left <= merged.back().right) {
                merged.back().right = std::max(merged.back().right, s.right);
            } else {
                merged.push_back(s);
            }
        }
        builder.Add(ys[i], ys[i + 1], std::move(merged));
    }
    Region out;
    out.rects_ = builder.Rects();
    return out;
}

bool Region::Combine(const Region& a, const Region& b, int32_t mode, Region* out) {
    if (mode < kRgnAnd || mode > kRgnCopy) return false;
    if (mode == kRgnCopy) {
        *out = a;
        return true;
    }
    std::vector<int32_t> ys;
    AddEdges(a.rects_, &ys);
    AddEdges(b.rects_, &ys);
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    BandBuilder builder;
    for (size_t i = 0; i + 1 < ys.size(); ++i) {
        builder.Add(ys[i], ys[i + 1],
                    CombineSpans(SpansAt(a.rects_, ys[i]), SpansAt(b.rects_, ys[i]), mode));
    }
    out->rects_ = builder.Rects();
    return true;
}

RECT Region::Box() const {
    if (rects_.empty()) return {};
    RECT box = rects_.front();
    for (const RECT& r : rects_) {
        box.left = std::min(box.left, r.left);
        box.right = std::max(box.right, r.right);
        box.bottom = std::max(box.bottom, r.bottom);
    }
    return box;
}

int32_t Region::Complexity() const {
    if (rects_.empty()) return kNullRegion;
    return rects_.size() == 1 ? kSimpleRegion : kComplexRegion;
}

bool Region::Contains(int32_t x, int32_t y) const {
    for (const RECT& r : rects_) {
        if (r.left <= x && x < r.right && r.top <= y && y < r.bottom) return true;
    }
    return false;
}

void Region::Offset(int32_t dx, int32_t dy) {
    for (RECT& r : rects_) {
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
    }
}

}  // namespace plat
