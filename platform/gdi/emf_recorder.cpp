#include "platform/gdi/emf_recorder.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/automation/automation.h"

namespace plat {

namespace {

bool Fits16(const POINT& p) {
    return p.x >= INT16_MIN && p.x <= INT16_MAX && p.y >= INT16_MIN && p.y <= INT16_MAX;
}

int32_t Sum(int32_t a, int32_t b) {
    const int64_t s = int64_t{a} + b;
    return static_cast<int32_t>(std::clamp<int64_t>(s, INT32_MIN, INT32_MAX));
}

bool IsCp932Lead(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

}  // namespace

EmfRecorder::EmfRecorder(const DeviceInfo& reference, const std::optional<RECT>& frame,
                         std::u16string_view description)
    : DeviceContext(reference), reference_(reference), frame_(frame), description_(description) {
    detail::AddDeletionListener(this);
    // The description is the application part followed by an empty picture name, each ended by
    // a NUL, as the header's description pair expects.
    std::u16string text = description_;
    if (!text.empty()) text.append(2, u'\0');
    Begin(emf::kHeader);
    out_.Rect({});  // bounds, filled by Close
    out_.Rect({});  // frame, filled by Close
    out_.U32(emf::kSignature);
    out_.U32(emf::kVersion);
    out_.U32(0);  // bytes
    out_.U32(0);  // records
    out_.U16(0);  // handles
    out_.U16(0);
    out_.U32(static_cast<uint32_t>(text.size()));
    out_.U32(text.empty() ? 0 : emf::kHeaderSize);
    out_.U32(0);  // palette entries
    out_.I32(reference.horzRes);
    out_.I32(reference.vertRes);
    out_.I32(reference.horzSizeMm);
    out_.I32(reference.vertSizeMm);
    out_.U32(0);  // pixel format size, offset, OpenGL
    out_.U32(0);
    out_.U32(0);
    out_.I32(reference.horzSizeMm * 1000);
    out_.I32(reference.vertSizeMm * 1000);
    for (char16_t c : text) out_.U16(c);
    End();
}

EmfRecorder::~EmfRecorder() {
    detail::RemoveDeletionListener(this);
}

std::vector<uint8_t> EmfRecorder::Close() {
    if (closed_) return {};
    Begin(emf::kEof);
    out_.U32(0);   // palette entries
    out_.U32(16);  // their offset
    out_.U32(20);  // this record's size again
    End();
    closed_ = true;

    const RECT bounds = bounds_.value_or(RECT{0, 0, -1, -1});
    RECT frame;
    if (frame_) {
        frame = *frame_;
    } else if (bounds_ && reference_.horzRes > 0 && reference_.vertRes > 0) {
        // 0.01 mm per pixel of the reference device.
        const double sx = reference_.horzSizeMm * 100.0 / reference_.horzRes;
        const double sy = reference_.vertSizeMm * 100.0 / reference_.vertRes;
        auto r = [](double v) { return static_cast<int32_t>(std::floor(v + 0.5)); };
        frame = {r(bounds.left * sx), r(bounds.top * sy), r((bounds.right + 1) * sx) - 1,
                 r((bounds.bottom + 1) * sy) - 1};
    } else {
        frame = {0, 0, -1, -1};
    }
    auto patchRect = [&](size_t at, const RECT& rc) {
        out_.PatchU32(at, static_cast<uint32_t>(rc.left));
        out_.PatchU32(at + 4, static_cast<uint32_t>(rc.top));
        out_.PatchU32(at + 8, static_cast<uint32_t>(rc.right));
        out_.PatchU32(at + 12, static_cast<uint32_t>(rc.bottom));
    };
    patchRect(8, bounds);
    patchRect(24, frame);
    out_.PatchU32(48, static_cast<uint32_t>(out_.size()));
    out_.PatchU32(52, records_);
    std::vector<uint8_t>& bytes = out_.bytes();
    const uint32_t handles = highestIndex_ + 1;
    bytes[56] = static_cast<uint8_t>(handles);
    bytes[57] = static_cast<uint8_t>(handles >> 8);
    return std::move(bytes);
}

// ----- Record writing

void EmfRecorder::Begin(uint32_t type) {
    recordStart_ = out_.size();
    out_.U32(type);
    out_.U32(0);
}

void EmfRecorder::End() {
    out_.Pad4();
    out_.PatchU32(recordStart_ + 4, static_cast<uint32_t>(out_.size() - recordStart_));
    ++records_;
}

void EmfRecorder::Simple(uint32_t type) {
    if (!recording()) return;
    Begin(type);
    End();
}

void EmfRecorder::OneValue(uint32_t type, uint32_t value) {
    if (!recording()) return;
    Begin(type);
    out_.U32(value);
    End();
}

void EmfRecorder::TwoValues(uint32_t type, int32_t a, int32_t b) {
    if (!recording()) return;
    Begin(type);
    out_.I32(a);
    out_.I32(b);
    End();
}

void EmfRecorder::AddBounds(const RECT& r) {
    if (!bounds_) {
        bounds_ = r;
        return;
    }
    bounds_->left = std::min(bounds_->left, r.left);
    bounds_->top = std::min(bounds_->top, r.top);
    bounds_->right = std::max(bounds_->right, r.right);
    bounds_->bottom = std::max(bounds_->bottom, r.bottom);
}

RECT EmfRecorder::BoundsOf(std::span<const POINT> logical) {
    RECT r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (const POINT& p : logical) {
        const POINT d = ToDevice(p);
        r = {std::min(r.left, d.x), std::min(r.top, d.y), std::max(r.right, d.x),
             std::max(r.bottom, d.y)};
    }
    if (logical.empty()) return {0, 0, -1, -1};
    AddBounds(r);
    return r;
}

uint32_t EmfRecorder::IndexFor(HGDIOBJ object) {
    int32_t stock = 0;
    if (IsStockObject(object, &stock)) return kEmfStockBit | static_cast<uint32_t>(stock);
    for (size_t i = 1; i < objects_.size(); ++i) {
        if (objects_[i] == object) return static_cast<uint32_t>(i);
    }
    // GDI hands out the lowest free index.
    size_t index = 1;
    while (index < objects_.size() && objects_[index] != 0) ++index;
    if (index == objects_.size()) objects_.push_back(0);
    objects_[index] = object;
    highestIndex_ = std::max(highestIndex_, static_cast<uint32_t>(index));
    const uint32_t ih = static_cast<uint32_t>(index);

    if (auto pen = detail::Lookup<detail::PenObject>(object, HandleKind::kPen)) {
        const PenState& p = pen->pen;
        if (p.extended) {
            // The style entries follow the fixed part; a pen without any ends the record
            // there (52 bytes), as the format's variable part allows.
            Begin(emf::kExtCreatePen);
            out_.U32(ih);
            out_.Zeros(16);  // no brush bitmap: offsets and sizes 0
            out_.U32(p.style);
            out_.U32(p.width);
            out_.U32(p.brushStyle);
            out_.U32(p.color);
            out_.U32(p.hatch);
            out_.U32(static_cast<uint32_t>(p.styleEntries.size()));
            for (uint32_t e : p.styleEntries) out_.U32(e);
        } else {
            Begin(emf::kCreatePen);
            out_.U32(ih);
            out_.U32(p.style);
            out_.U32(p.width);
            out_.U32(0);
            out_.U32(p.color);
        }
        End();
    } else if (auto brush = detail::Lookup<detail::BrushObject>(object, HandleKind::kBrush)) {
        const BrushState& b = brush->brush;
        if (b.style == kBsPattern) {
            const uint32_t bitsSize = static_cast<uint32_t>(b.patternBits.size());
            Begin(emf::kCreateMonoBrush);
            out_.U32(ih);
            out_.U32(kDibRgbColors);
            out_.U32(32);  // the bitmap header follows the fixed part
            out_.U32(48);  // header and two colours
            out_.U32(80);
            out_.U32(bitsSize);
            out_.U32(40);
            out_.I32(b.patternWidth);
            out_.I32(b.patternHeight);
            out_.U16(1);
            out_.U16(1);
            out_.U32(0);
            out_.U32(bitsSize);
            out_.Zeros(16);
            out_.U32(0);  // black, then white
            out_.U32(0x00FFFFFF);
            out_.Bytes(b.patternBits);
        } else {
            Begin(emf::kCreateBrushIndirect);
            out_.U32(ih);
            out_.U32(b.style);
            out_.U32(b.color);
            out_.U32(b.hatch);
        }
        End();
    } else if (auto font = detail::Lookup<detail::FontObject>(object, HandleKind::kFont)) {
        const LOGFONTW& f = font->font;
        Begin(emf::kExtCreateFontIndirectW);
        out_.U32(ih);
        out_.I32(f.lfHeight);
        out_.I32(f.lfWidth);
        out_.I32(f.lfEscapement);
        out_.I32(f.lfOrientation);
        out_.I32(f.lfWeight);
        for (uint8_t b : {f.lfItalic, f.lfUnderline, f.lfStrikeOut, f.lfCharSet, f.lfOutPrecision,
                          f.lfClipPrecision, f.lfQuality, f.lfPitchAndFamily}) {
            out_.Bytes(std::span(&b, 1));
        }
        for (char16_t c : f.lfFaceName) out_.U16(c);
        // Full name, style, version, style size, match, reserved, vendor, culture and PANOSE
        // stay zero: nothing that reads these records uses them.
        out_.Zeros(emf::kExtLogFontSize - sizeof(LOGFONTW));
        End();
    }
    return ih;
}

void EmfRecorder::OnObjectDeleted(HGDIOBJ object) {
    for (size_t i = 1; i < objects_.size(); ++i) {
        if (objects_[i] != object) continue;
        objects_[i] = 0;
        OneValue(emf::kDeleteObject, static_cast<uint32_t>(i));
        return;
    }
}

void EmfRecorder::WritePoly(uint32_t type16, uint32_t type32, std::span<const POINT> points,
                            std::span<const uint32_t> counts, bool withCounts) {
    if (!recording()) return;
    const RECT bounds = BoundsOf(points);
    // GDI takes the 16-bit form whenever every point fits.
    const bool small = std::all_of(points.begin(), points.end(), Fits16);
    Begin(small ? type16 : type32);
    out_.Rect(bounds);
    if (withCounts) {
        out_.U32(static_cast<uint32_t>(counts.size()));
        out_.U32(static_cast<uint32_t>(points.size()));
        for (uint32_t c : counts) out_.U32(c);
    } else {
        out_.U32(static_cast<uint32_t>(points.size()));
    }
    for (const POINT& p : points) {
        if (small) {
            out_.I16(static_cast<int16_t>(p.x));
            out_.I16(static_cast<int16_t>(p.y));
        } else {
            out_.I32(p.x);
            out_.I32(p.y);
        }
    }
    End();
}

// ----- State

int32_t EmfRecorder::SaveDC() {
    const int32_t level = DeviceContext::SaveDC();
    if (level) Simple(emf::kSaveDc);
    return level;
}

bool EmfRecorder::RestoreDC(int32_t level) {
    // Only restores that succeed are recorded, so that a player's levels follow this context's;
    // the record's level is always relative (negative), as the format requires, so an absolute
    // level n at depth d is written as n - d - 1.
    const int32_t depth = GetSaveDepth();
    if (!DeviceContext::RestoreDC(level)) return false;
    const int32_t relative = level < 0 ? level : level - depth - 1;
    OneValue(emf::kRestoreDc, static_cast<uint32_t>(relative));
    return true;
}

int32_t EmfRecorder::SetMapMode(int32_t mode) {
    const int32_t previous = DeviceContext::SetMapMode(mode);
    if (previous) OneValue(emf::kSetMapMode, static_cast<uint32_t>(mode));
    return previous;
}

bool EmfRecorder::SetWindowOrgEx(int32_t x, int32_t y, POINT* previous) {
    if (!DeviceContext::SetWindowOrgEx(x, y, previous)) return false;
    TwoValues(emf::kSetWindowOrgEx, x, y);
    return true;
}

bool EmfRecorder::SetViewportOrgEx(int32_t x, int32_t y, POINT* previous) {
    if (!DeviceContext::SetViewportOrgEx(x, y, previous)) return false;
    TwoValues(emf::kSetViewportOrgEx, x, y);
    return true;
}

// Offsets are recorded as the origins they give, as GDI's metafile context does.
bool EmfRecorder::OffsetWindowOrgEx(int32_t dx, int32_t dy, POINT* previous) {
    if (!DeviceContext::OffsetWindowOrgEx(dx, dy, previous)) return false;
    TwoValues(emf::kSetWindowOrgEx, GetWindowOrgEx().x, GetWindowOrgEx().y);
    return true;
}

bool EmfRecorder::OffsetViewportOrgEx(int32_t dx, int32_t dy, POINT* previous) {
    if (!DeviceContext::OffsetViewportOrgEx(dx, dy, previous)) return false;
    TwoValues(emf::kSetViewportOrgEx, GetViewportOrgEx().x, GetViewportOrgEx().y);
    return true;
}

bool EmfRecorder::SetWindowExtEx(int32_t cx, int32_t cy, SIZE* previous) {
    if (!DeviceContext::SetWindowExtEx(cx, cy, previous)) return false;
    TwoValues(emf::kSetWindowExtEx, cx, cy);
    return true;
}

bool EmfRecorder::SetViewportExtEx(int32_t cx, int32_t cy, SIZE* previous) {
    if (!DeviceContext::SetViewportExtEx(cx, cy, previous)) return false;
    TwoValues(emf::kSetViewportExtEx, cx, cy);
    return true;
}

bool EmfRecorder::ScaleWindowExtEx(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                                   SIZE* previous) {
    if (!DeviceContext::ScaleWindowExtEx(xNum, xDenom, yNum, yDenom, previous)) return false;
    if (recording()) {
        Begin(emf::kScaleWindowExtEx);
        for (int32_t v : {xNum, xDenom, yNum, yDenom}) out_.I32(v);
        End();
    }
    return true;
}

bool EmfRecorder::ScaleViewportExtEx(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                                     SIZE* previous) {
    if (!DeviceContext::ScaleViewportExtEx(xNum, xDenom, yNum, yDenom, previous)) return false;
    if (recording()) {
        Begin(emf::kScaleViewportExtEx);
        for (int32_t v : {xNum, xDenom, yNum, yDenom}) out_.I32(v);
        End();
    }
    return true;
}

COLORREF EmfRecorder::SetTextColor(COLORREF color) {
    OneValue(emf::kSetTextColor, color);
    return DeviceContext::SetTextColor(color);
}

COLORREF EmfRecorder::SetBkColor(COLORREF color) {
    OneValue(emf::kSetBkColor, color);
    return DeviceContext::SetBkColor(color);
}

int32_t EmfRecorder::SetBkMode(int32_t mode) {
    const int32_t previous = DeviceContext::SetBkMode(mode);
    if (previous) OneValue(emf::kSetBkMode, static_cast<uint32_t>(mode));
    return previous;
}

HGDIOBJ EmfRecorder::SelectObject(HGDIOBJ object) {
    const HGDIOBJ previous = DeviceContext::SelectObject(object);
    if (previous && recording()) OneValue(emf::kSelectObject, IndexFor(object));
    return previous;
}

// ----- Drawing

bool EmfRecorder::MoveToEx(int32_t x, int32_t y, POINT* previous) {
    DeviceContext::MoveToEx(x, y, previous);
    TwoValues(emf::kMoveToEx, x, y);
    return true;
}

bool EmfRecorder::LineTo(int32_t x, int32_t y) {
    const POINT ends[2] = {GetCurrentPositionEx(), {x, y}};
    DeviceContext::LineTo(x, y);
    if (recording()) {
        BoundsOf(ends);
        TwoValues(emf::kLineTo, x, y);
    }
    return true;
}

bool EmfRecorder::Polyline(std::span<const POINT> points) {
    if (!DeviceContext::Polyline(points)) return false;
    WritePoly(emf::kPolyline16, emf::kPolyline, points, {}, false);
    return true;
}

bool EmfRecorder::PolylineTo(std::span<const POINT> points) {
    const POINT from = GetCurrentPositionEx();
    if (!DeviceContext::PolylineTo(points)) return false;
    BoundsOf(std::span(&from, 1));
    WritePoly(emf::kPolylineTo16, emf::kPolylineTo, points, {}, false);
    return true;
}

bool EmfRecorder::PolyBezierTo(std::span<const POINT> points) {
    const POINT from = GetCurrentPositionEx();
    if (!DeviceContext::PolyBezierTo(points)) return false;
    BoundsOf(std::span(&from, 1));
    WritePoly(emf::kPolyBezierTo16, emf::kPolyBezierTo, points, {}, false);
    return true;
}

bool EmfRecorder::Polygon(std::span<const POINT> points) {
    if (!DeviceContext::Polygon(points)) return false;
    WritePoly(emf::kPolygon16, emf::kPolygon, points, {}, false);
    return true;
}

bool EmfRecorder::PolyPolyline(std::span<const POINT> points, std::span<const uint32_t> counts) {
    if (!DeviceContext::PolyPolyline(points, counts)) return false;
    WritePoly(emf::kPolyPolyline16, emf::kPolyPolyline, points, counts, true);
    return true;
}

bool EmfRecorder::FillRect(const RECT& rect, HBRUSH brush) {
    if (!recording()) return DeviceContext::FillRect(rect, brush);
    // As GDI records it: the brush selected, a pattern copy, the old brush selected again.
    if (GetObjectType(brush) != kObjBrush) return false;
    const HGDIOBJ previous = SelectObject(brush);
    if (!previous) return false;
    const bool ok = PatBlt(rect.left, rect.top, Sum(rect.right, -rect.left),
                           Sum(rect.bottom, -rect.top), kRopPatCopy);
    SelectObject(previous);
    return ok;
}

bool EmfRecorder::PatBlt(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop) {
    if (!DeviceContext::PatBlt(x, y, width, height, rop)) return false;
    if (!recording()) return true;
    const POINT corners[2] = {{x, y}, {Sum(x, width) - 1, Sum(y, height) - 1}};
    const RECT bounds = BoundsOf(corners);
    Begin(emf::kBitBlt);
    out_.Rect(bounds);
    out_.I32(x);
    out_.I32(y);
    out_.I32(width);
    out_.I32(height);
    out_.U32(rop);
    out_.I32(0);  // no source: its point, an identity transform, no colour, no bitmap
    out_.I32(0);
    for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) out_.F32(f);
    out_.Zeros(4 * 6);
    End();
    return true;
}

bool EmfRecorder::BeginPath() {
    DeviceContext::BeginPath();
    Simple(emf::kBeginPath);
    return true;
}

bool EmfRecorder::EndPath() {
    if (!DeviceContext::EndPath()) return false;
    Simple(emf::kEndPath);
    return true;
}

bool EmfRecorder::CloseFigure() {
    if (!DeviceContext::CloseFigure()) return false;
    Simple(emf::kCloseFigure);
    return true;
}

bool EmfRecorder::StrokePath() {
    std::vector<POINT> device;
    for (const auto& f : currentPath().figures) {
        device.push_back(f.start);
        device.insert(device.end(), f.points.begin(), f.points.end());
    }
    if (!DeviceContext::StrokePath()) return false;
    if (!recording()) return true;
    RECT bounds{0, 0, -1, -1};
    if (!device.empty()) {
        bounds = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        for (const POINT& d : device) {
            bounds = {std::min(bounds.left, d.x), std::min(bounds.top, d.y),
                      std::max(bounds.right, d.x), std::max(bounds.bottom, d.y)};
        }
        AddBounds(bounds);
    }
    Begin(emf::kStrokePath);
    out_.Rect(bounds);
    End();
    return true;
}

bool EmfRecorder::AbortPath() {
    DeviceContext::AbortPath();
    Simple(emf::kAbortPath);
    return true;
}

int32_t EmfRecorder::ExtSelectClipRgn(HRGN region, int32_t mode) {
    const std::optional<Region> r = region ? GetRegion(region) : std::nullopt;
    const int32_t result = DeviceContext::ExtSelectClipRgn(region, mode);
    if (result == kRegionError || !recording()) return result;
    Begin(emf::kExtSelectClipRgn);
    if (!r) {
        out_.U32(0);
        out_.U32(static_cast<uint32_t>(mode));
    } else {
        const auto& rects = r->rects();
        const uint32_t n = static_cast<uint32_t>(rects.size());
        out_.U32(32 + 16 * n);
        out_.U32(static_cast<uint32_t>(mode));
        out_.U32(32);  // region data header: its size, rectangles, count, size, bounds
        out_.U32(1);
        out_.U32(n);
        out_.U32(16 * n);
        out_.Rect(r->Box());
        for (const RECT& rc : rects) out_.Rect(rc);
    }
    End();
    return result;
}

bool EmfRecorder::WriteText(uint32_t type, int32_t x, int32_t y, uint32_t options, const RECT* rect,
                            std::span<const uint8_t> chars, size_t count, size_t unit,
                            std::span<const int32_t> dx, int32_t width, int32_t height) {
    RECT bounds{0, 0, -1, -1};
    if (count > 0) {
        const POINT corners[2] = {{x, y}, {Sum(x, width) - 1, Sum(y, height) - 1}};
        bounds = BoundsOf(corners);
    }
    if (rect && (options & kEtoOpaque)) {
        const POINT corners[2] = {{rect->left, rect->top}, {rect->right - 1, rect->bottom - 1}};
        const RECT r = BoundsOf(corners);
        bounds = count > 0
                     ? RECT{std::min(bounds.left, r.left), std::min(bounds.top, r.top),
                            std::max(bounds.right, r.right), std::max(bounds.bottom, r.bottom)}
                     : r;
    }
    constexpr uint32_t kStringAt = 76;
    const size_t stringBytes = (count * unit + 3) / 4 * 4;
    Begin(type);
    out_.Rect(bounds);
    out_.U32(1);  // compatible graphics mode
    const float exScale =
        reference_.horzRes > 0 ? float(reference_.horzSizeMm * 100.0 / reference_.horzRes) : 0;
    const float eyScale =
        reference_.vertRes > 0 ? float(reference_.vertSizeMm * 100.0 / reference_.vertRes) : 0;
    out_.F32(exScale);
    out_.F32(eyScale);
    out_.I32(x);
    out_.I32(y);
    out_.U32(static_cast<uint32_t>(count));
    out_.U32(kStringAt);
    out_.U32(options);
    out_.Rect(rect ? *rect : RECT{});
    out_.U32(static_cast<uint32_t>(kStringAt + stringBytes));
    out_.Bytes(chars);
    out_.Pad4();
    for (size_t i = 0; i < count; ++i) out_.I32(dx[i]);
    End();
    return true;
}

bool EmfRecorder::ExtTextOutW(int32_t x, int32_t y, uint32_t options, const RECT* rect,
                              std::u16string_view text, std::span<const int32_t> dx) {
    if (!recording()) return DeviceContext::ExtTextOutW(x, y, options, rect, text, dx);
    // The record always carries the advances, as GDI's does.
    std::vector<int32_t> advances;
    if (!dx.empty()) {
        if (dx.size() < text.size()) return false;
        advances.assign(dx.begin(), dx.begin() + static_cast<ptrdiff_t>(text.size()));
    } else if (!text.empty() && !GetCharAdvances(text, &advances)) {
        return false;
    }
    if (!DeviceContext::ExtTextOutW(x, y, options, rect, text, advances)) return false;
    int32_t width = 0;
    for (int32_t a : advances) width = Sum(width, a);
    FontMetrics m;
    const int32_t height = !text.empty() && GetTextMetrics(&m) ? m.height : 0;
    std::vector<uint8_t> chars;
    for (char16_t c : text) {
        chars.push_back(static_cast<uint8_t>(c));
        chars.push_back(static_cast<uint8_t>(c >> 8));
    }
    return WriteText(emf::kExtTextOutW, x, y, options, rect, chars, text.size(), 2, advances, width,
                     height);
}

bool EmfRecorder::ExtTextOutA(int32_t x, int32_t y, uint32_t options, const RECT* rect,
                              std::string_view text, std::span<const int32_t> dx) {
    if (!recording()) return DeviceContext::ExtTextOutA(x, y, options, rect, text, dx);
    std::vector<int32_t> advances;
    if (!dx.empty()) {
        if (dx.size() < text.size()) return false;
        advances.assign(dx.begin(), dx.begin() + static_cast<ptrdiff_t>(text.size()));
    } else {
        // A double-byte character's advance on its lead byte, 0 on its trail byte.
        advances.assign(text.size(), 0);
        for (size_t i = 0; i < text.size();) {
            const size_t n =
                IsCp932Lead(static_cast<uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
            std::u16string unit;
            std::vector<int32_t> a;
            if (!WideFromCp932(text.substr(i, n), &unit) || !GetCharAdvances(unit, &a)) {
                return false;
            }
            for (int32_t v : a) advances[i] = Sum(advances[i], v);
            i += n;
        }
    }
    if (!DeviceContext::ExtTextOutA(x, y, options, rect, text, advances)) return false;
    int32_t width = 0;
    for (int32_t a : advances) width = Sum(width, a);
    FontMetrics m;
    const int32_t height = !text.empty() && GetTextMetrics(&m) ? m.height : 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    return WriteText(emf::kExtTextOutA, x, y, options, rect, std::span(bytes, text.size()),
                     text.size(), 1, advances, width, height);
}

int32_t EmfRecorder::StretchDIBits(int32_t xDest, int32_t yDest, int32_t destWidth,
                                   int32_t destHeight, int32_t xSrc, int32_t ySrc, int32_t srcWidth,
                                   int32_t srcHeight, std::span<const uint8_t> bits,
                                   const BITMAPINFOHEADER& header, std::span<const RGBQUAD> colors,
                                   uint32_t usage, uint32_t rop) {
    const int32_t rows =
        DeviceContext::StretchDIBits(xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth,
                                     srcHeight, bits, header, colors, usage, rop);
    if (rows == 0 || !recording()) return rows;
    const uint32_t bpp = header.biBitCount;
    uint32_t ncolors = 0;
    if (bpp <= 8) ncolors = header.biClrUsed ? std::min(header.biClrUsed, 1u << bpp) : 1u << bpp;
    const uint64_t stride = (uint64_t(header.biWidth) * bpp + 31) / 32 * 4;
    const uint64_t height = header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
    const uint32_t bitsSize = static_cast<uint32_t>(stride * height);
    const uint32_t bmiSize = 40 + 4 * ncolors;
    const POINT corners[2] = {{xDest, yDest},
                              {Sum(xDest, destWidth) - 1, Sum(yDest, destHeight) - 1}};
    const RECT bounds = BoundsOf(corners);
    Begin(emf::kStretchDiBits);
    out_.Rect(bounds);
    for (int32_t v : {xDest, yDest, xSrc, ySrc, srcWidth, srcHeight}) out_.I32(v);
    out_.U32(80);
    out_.U32(bmiSize);
    out_.U32(80 + bmiSize);
    out_.U32(bitsSize);
    out_.U32(usage);
    out_.U32(rop);
    out_.I32(destWidth);
    out_.I32(destHeight);
    out_.U32(40);
    out_.I32(header.biWidth);
    out_.I32(header.biHeight);
    out_.U16(1);
    out_.U16(header.biBitCount);
    out_.U32(0);
    out_.U32(header.biSizeImage);
    out_.I32(header.biXPelsPerMeter);
    out_.I32(header.biYPelsPerMeter);
    out_.U32(header.biClrUsed);
    out_.U32(header.biClrImportant);
    for (uint32_t i = 0; i < ncolors; ++i) {
        const RGBQUAD& q = colors[i];
        for (uint8_t b : {q.rgbBlue, q.rgbGreen, q.rgbRed, q.rgbReserved})
            out_.Bytes(std::span(&b, 1));
    }
    out_.Bytes(bits.first(bitsSize));
    End();
    return rows;
}

bool EmfRecorder::GdiComment(std::span<const uint8_t> data) {
    // A record's size is a 32-bit count.
    if (data.size() > std::numeric_limits<uint32_t>::max() - 16) return false;
    if (!recording()) return true;
    Begin(emf::kGdiComment);
    out_.U32(static_cast<uint32_t>(data.size()));
    out_.Bytes(data);
    End();
    return true;
}

}  // namespace plat
