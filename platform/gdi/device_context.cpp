#include "platform/gdi/device_context.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "platform/automation/automation.h"
#include "platform/fonts/font_resolver.h"
#include "platform/gdi/handle_table.h"

namespace plat {

namespace {

// Deeper saves than this fail: a metafile of nothing but SaveDC records must not eat memory.
constexpr size_t kMaxSaveDepth = 65535;

int32_t Clamp32(double v) {
    if (!(v == v)) return 0;  // NaN
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// GDI rounds device coordinates half up.
int32_t RoundHalfUp(double v) {
    return Clamp32(std::floor(v + 0.5));
}

// Device coordinates stay within GDI's own 28-bit range, so that no back end's width or
// height of a rectangle can overflow.
constexpr double kDeviceLimit = 134217727.0;
int32_t DeviceCoordinate(double v) {
    return RoundHalfUp(std::clamp(v, -kDeviceLimit, kDeviceLimit));
}

RECT Normalized(const RECT& r) {
    return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
            std::max(r.top, r.bottom)};
}

bool IsCp932Lead(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

}  // namespace

DeviceInfo DeviceInfo::ForPixels(int32_t width, int32_t height, int32_t dpi, int32_t technology) {
    DeviceInfo d;
    d.technology = technology;
    d.horzRes = width;
    d.vertRes = height;
    d.logPixelsX = dpi;
    d.logPixelsY = dpi;
    if (dpi > 0) {
        d.horzSizeMm = RoundHalfUp(width * 25.4 / dpi);
        d.vertSizeMm = RoundHalfUp(height * 25.4 / dpi);
    }
    d.physicalWidth = width;
    d.physicalHeight = height;
    return d;
}

DeviceInfo DeviceInfo::Screen() {
    return ForPixels(1920, 1080, 96, kDtRasDisplay);
}

DeviceContext::DeviceContext(const DeviceInfo& device) : device_(device) {
    handle_ = detail::AllocHandle(HandleKind::kDc, std::make_shared<DeviceContext*>(this));
    // A new context holds the stock objects GDI gives one.
    SelectObject(GetStockObject(kBlackPen));
    SelectObject(GetStockObject(kWhiteBrush));
    SelectObject(GetStockObject(kSystemFont));
}

DeviceContext::~DeviceContext() {
    detail::FreeHandle(handle_, HandleKind::kDc);
}

int32_t DeviceContext::GetDeviceCaps(int32_t index) const {
    switch (index) {
        case kTechnology:
            return device_.technology;
        case kHorzSize:
            return device_.horzSizeMm;
        case kVertSize:
            return device_.vertSizeMm;
        case kHorzRes:
            return device_.horzRes;
        case kVertRes:
            return device_.vertRes;
        case kBitsPixel:
            return device_.bitsPixel;
        case kPlanes:
            return 1;
        case kNumColors:
            return -1;  // more than 256 colours
        case kRasterCaps:
            return 0x0001 | 0x0008 | 0x0800;  // bitblt, banding-free, StretchDIBits
        case kLogPixelsX:
            return device_.logPixelsX;
        case kLogPixelsY:
            return device_.logPixelsY;
        case kPhysicalWidth:
            return device_.physicalWidth;
        case kPhysicalHeight:
            return device_.physicalHeight;
        case kPhysicalOffsetX:
            return device_.physicalOffsetX;
        case kPhysicalOffsetY:
            return device_.physicalOffsetY;
        default:
            return 0;
    }
}

// ----- Save levels

int32_t DeviceContext::SaveDC() {
    if (saved_.size() >= kMaxSaveDepth) return 0;
    saved_.push_back(state_);
    return static_cast<int32_t>(saved_.size());
}

bool DeviceContext::RestoreDC(int32_t level) {
    const int64_t depth = static_cast<int64_t>(saved_.size());
    const int64_t target = level < 0 ? depth + level + 1 : level;  // the level to restore
    if (target < 1 || target > depth) return false;
    const LOGFONTW before = state_.font;
    state_ = std::move(saved_[static_cast<size_t>(target - 1)]);
    saved_.resize(static_cast<size_t>(target - 1));
    if (!(before == state_.font)) {
        face_.reset();
        faceLooked_ = false;
    }
    return true;
}

// ----- Mapping

void DeviceContext::ApplyMapMode(int32_t mode) {
    const int32_t w = device_.horzSizeMm;
    const int32_t h = device_.vertSizeMm;
    State& s = state_;
    switch (mode) {
        case kMmText:
            s.windowExt = {1, 1};
            s.viewportExt = {1, 1};
            return;
        case kMmLoMetric:
        case kMmIsotropic:
            s.windowExt = {w * 10, h * 10};
            break;
        case kMmHiMetric:
            s.windowExt = {w * 100, h * 100};
            break;
        case kMmLoEnglish:
            s.windowExt = {w * 1000 / 254, h * 1000 / 254};
            break;
        case kMmHiEnglish:
            s.windowExt = {w * 10000 / 254, h * 10000 / 254};
            break;
        case kMmTwips:
            s.windowExt = {w * 14400 / 254, h * 14400 / 254};
            break;
        default:  // anisotropic keeps the extents it has
            return;
    }
    s.viewportExt = {device_.horzRes, -device_.vertRes};
    // A device without a size still needs non-zero extents.
    if (s.windowExt.cx == 0 || s.windowExt.cy == 0 || s.viewportExt.cx == 0 ||
        s.viewportExt.cy == 0) {
        s.windowExt = {1, 1};
        s.viewportExt = {1, -1};
    }
}

void DeviceContext::FixIsotropic() {
    State& s = state_;
    const double sx = device_.horzRes > 0 && device_.horzSizeMm > 0
                          ? double(device_.horzSizeMm) / device_.horzRes
                          : 1.0;
    const double sy = device_.vertRes > 0 && device_.vertSizeMm > 0
                          ? double(device_.vertSizeMm) / device_.vertRes
                          : 1.0;
    const double xdim = std::fabs(double(s.viewportExt.cx) * sx / s.windowExt.cx);
    const double ydim = std::fabs(double(s.viewportExt.cy) * sy / s.windowExt.cy);
    if (xdim > ydim) {
        int32_t cx = RoundHalfUp(s.viewportExt.cx * ydim / xdim);
        s.viewportExt.cx = cx != 0 ? cx : (s.viewportExt.cx >= 0 ? 1 : -1);
    } else if (ydim > xdim) {
        int32_t cy = RoundHalfUp(s.viewportExt.cy * xdim / ydim);
        s.viewportExt.cy = cy != 0 ? cy : (s.viewportExt.cy >= 0 ? 1 : -1);
    }
}

int32_t DeviceContext::SetMapMode(int32_t mode) {
    if (mode < kMmText || mode > kMmAnisotropic) return 0;
    const int32_t previous = state_.mapMode;
    if (mode == previous && (mode == kMmIsotropic || mode == kMmAnisotropic)) return previous;
    ApplyMapMode(mode);
    state_.mapMode = mode;
    return previous;
}

bool DeviceContext::SetWindowOrgEx(int32_t x, int32_t y, POINT* previous) {
    if (previous) *previous = state_.windowOrg;
    state_.windowOrg = {x, y};
    return true;
}

bool DeviceContext::SetViewportOrgEx(int32_t x, int32_t y, POINT* previous) {
    if (previous) *previous = state_.viewportOrg;
    state_.viewportOrg = {x, y};
    return true;
}

bool DeviceContext::OffsetWindowOrgEx(int32_t dx, int32_t dy, POINT* previous) {
    const POINT o = state_.windowOrg;
    if (previous) *previous = o;
    state_.windowOrg = {Clamp32(double(o.x) + dx), Clamp32(double(o.y) + dy)};
    return true;
}

bool DeviceContext::OffsetViewportOrgEx(int32_t dx, int32_t dy, POINT* previous) {
    const POINT o = state_.viewportOrg;
    if (previous) *previous = o;
    state_.viewportOrg = {Clamp32(double(o.x) + dx), Clamp32(double(o.y) + dy)};
    return true;
}

bool DeviceContext::SetWindowExtEx(int32_t cx, int32_t cy, SIZE* previous) {
    if (previous) *previous = state_.windowExt;
    if (state_.mapMode != kMmIsotropic && state_.mapMode != kMmAnisotropic) return true;
    if (cx == 0 || cy == 0) return false;
    state_.windowExt = {cx, cy};
    if (state_.mapMode == kMmIsotropic) FixIsotropic();
    return true;
}

bool DeviceContext::SetViewportExtEx(int32_t cx, int32_t cy, SIZE* previous) {
    if (previous) *previous = state_.viewportExt;
    if (state_.mapMode != kMmIsotropic && state_.mapMode != kMmAnisotropic) return true;
    if (cx == 0 || cy == 0) return false;
    state_.viewportExt = {cx, cy};
    if (state_.mapMode == kMmIsotropic) FixIsotropic();
    return true;
}

namespace {

bool ScaleExtent(SIZE* ext, int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) {
    if (xNum == 0 || xDenom == 0 || yNum == 0 || yDenom == 0) return false;
    const int64_t cx = int64_t{ext->cx} * xNum / xDenom;
    const int64_t cy = int64_t{ext->cy} * yNum / yDenom;
    if (cx == 0 || cy == 0 || cx != int32_t(cx) || cy != int32_t(cy)) return false;
    *ext = {int32_t(cx), int32_t(cy)};
    return true;
}

}  // namespace

bool DeviceContext::ScaleWindowExtEx(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                                     SIZE* previous) {
    if (previous) *previous = state_.windowExt;
    if (state_.mapMode != kMmIsotropic && state_.mapMode != kMmAnisotropic) return true;
    if (!ScaleExtent(&state_.windowExt, xNum, xDenom, yNum, yDenom)) return false;
    if (state_.mapMode == kMmIsotropic) FixIsotropic();
    return true;
}

bool DeviceContext::ScaleViewportExtEx(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                                       SIZE* previous) {
    if (previous) *previous = state_.viewportExt;
    if (state_.mapMode != kMmIsotropic && state_.mapMode != kMmAnisotropic) return true;
    if (!ScaleExtent(&state_.viewportExt, xNum, xDenom, yNum, yDenom)) return false;
    if (state_.mapMode == kMmIsotropic) FixIsotropic();
    return true;
}

double DeviceContext::ScaleX() const {
    return double(state_.viewportExt.cx) / state_.windowExt.cx;
}

double DeviceContext::ScaleY() const {
    return double(state_.viewportExt.cy) / state_.windowExt.cy;
}

POINT DeviceContext::ToDevice(POINT p) const {
    const State& s = state_;
    return {DeviceCoordinate((double(p.x) - s.windowOrg.x) * ScaleX() + s.viewportOrg.x),
            DeviceCoordinate((double(p.y) - s.windowOrg.y) * ScaleY() + s.viewportOrg.y)};
}

bool DeviceContext::LPtoDP(std::span<POINT> points) const {
    for (POINT& p : points) p = ToDevice(p);
    return true;
}

bool DeviceContext::DPtoLP(std::span<POINT> points) const {
    const State& s = state_;
    for (POINT& p : points) {
        p = {RoundHalfUp((double(p.x) - s.viewportOrg.x) / ScaleX() + s.windowOrg.x),
             RoundHalfUp((double(p.y) - s.viewportOrg.y) / ScaleY() + s.windowOrg.y)};
    }
    return true;
}

int32_t DeviceContext::DeviceFontHeight(int32_t logicalHeight) const {
    return DeviceCoordinate(logicalHeight * std::fabs(ScaleY()));
}

// ----- Colours and modes

COLORREF DeviceContext::SetTextColor(COLORREF color) {
    return std::exchange(state_.textColor, color);
}

COLORREF DeviceContext::SetBkColor(COLORREF color) {
    return std::exchange(state_.bkColor, color);
}

int32_t DeviceContext::SetBkMode(int32_t mode) {
    if (mode != kTransparent && mode != kOpaque) return 0;
    return std::exchange(state_.bkMode, mode);
}

// ----- Objects

void DeviceContext::SetFont(HFONT handle, const LOGFONTW& font) {
    state_.fontHandle = handle;
    if (!(state_.font == font)) {
        face_.reset();
        faceLooked_ = false;
    }
    state_.font = font;
}

HGDIOBJ DeviceContext::SelectObject(HGDIOBJ object) {
    switch (KindOfHandle(object)) {
        case HandleKind::kPen: {
            auto p = detail::Lookup<detail::PenObject>(object, HandleKind::kPen);
            if (!p) return 0;
            state_.pen = p->pen;
            return std::exchange(state_.penHandle, object);
        }
        case HandleKind::kBrush: {
            auto b = detail::Lookup<detail::BrushObject>(object, HandleKind::kBrush);
            if (!b) return 0;
            state_.brush = b->brush;
            return std::exchange(state_.brushHandle, object);
        }
        case HandleKind::kFont: {
            auto f = detail::Lookup<detail::FontObject>(object, HandleKind::kFont);
            if (!f) return 0;
            const HFONT previous = state_.fontHandle;
            SetFont(object, f->font);
            return previous;
        }
        default:
            return 0;
    }
}

HGDIOBJ DeviceContext::GetCurrentObject(int32_t type) const {
    switch (type) {
        case kObjPen:
        case kObjExtPen:
            return state_.penHandle;
        case kObjBrush:
            return state_.brushHandle;
        case kObjFont:
            return state_.fontHandle;
        default:
            return 0;
    }
}

// ----- Lines and paths

void DeviceContext::AddToPathOrStroke(POINT from, std::span<const POINT> points, bool bezier) {
    DevicePath::Figure figure;
    figure.start = ToDevice(from);
    for (size_t i = 0; i < points.size(); ++i) {
        if (!bezier || i % 3 == 0) {
            figure.segments.push_back(bezier ? DevicePath::Segment::kBezier
                                             : DevicePath::Segment::kLine);
        }
        figure.points.push_back(ToDevice(points[i]));
    }
    if (pathOpen_) {
        // Continue the open figure when it ends where this piece starts.
        if (!path_.figures.empty() && !path_.figures.back().closed) {
            DevicePath::Figure& last = path_.figures.back();
            const POINT end = last.points.empty() ? last.start : last.points.back();
            if (end == figure.start) {
                last.segments.insert(last.segments.end(), figure.segments.begin(),
                                     figure.segments.end());
                last.points.insert(last.points.end(), figure.points.begin(), figure.points.end());
                return;
            }
        }
        path_.figures.push_back(std::move(figure));
        return;
    }
    if (state_.pen.style == kPsNull) return;
    DevicePath path;
    path.figures.push_back(std::move(figure));
    StrokeDevicePath(path);
}

void DeviceContext::StartFigure(POINT at) {
    // A move ends the open figure; the next line starts a new one here.
    DevicePath::Figure figure;
    figure.start = ToDevice(at);
    if (!path_.figures.empty() && path_.figures.back().points.empty()) {
        path_.figures.back() = figure;
    } else {
        path_.figures.push_back(figure);
    }
}

bool DeviceContext::MoveToEx(int32_t x, int32_t y, POINT* previous) {
    if (previous) *previous = state_.position;
    state_.position = {x, y};
    if (pathOpen_) StartFigure(state_.position);
    return true;
}

bool DeviceContext::LineTo(int32_t x, int32_t y) {
    const POINT to{x, y};
    AddToPathOrStroke(state_.position, std::span(&to, 1), false);
    state_.position = to;
    return true;
}

bool DeviceContext::Polyline(std::span<const POINT> points) {
    if (points.size() < 2) return false;
    if (pathOpen_) StartFigure(points[0]);  // without moving the current position
    AddToPathOrStroke(points[0], points.subspan(1), false);
    return true;
}

bool DeviceContext::PolylineTo(std::span<const POINT> points) {
    if (points.empty()) return false;
    AddToPathOrStroke(state_.position, points, false);
    state_.position = points.back();
    return true;
}

bool DeviceContext::PolyBezierTo(std::span<const POINT> points) {
    if (points.empty() || points.size() % 3 != 0) return false;
    AddToPathOrStroke(state_.position, points, true);
    state_.position = points.back();
    return true;
}

bool DeviceContext::Polygon(std::span<const POINT> points) {
    if (points.size() < 2) return false;
    DevicePath::Figure figure;
    figure.start = ToDevice(points[0]);
    for (size_t i = 1; i < points.size(); ++i) {
        figure.segments.push_back(DevicePath::Segment::kLine);
        figure.points.push_back(ToDevice(points[i]));
    }
    figure.closed = true;
    if (pathOpen_) {
        path_.figures.push_back(std::move(figure));
        return true;
    }
    DevicePath path;
    path.figures.push_back(std::move(figure));
    if (state_.brush.style != kBsNull) FillDevicePath(path, state_.brush);
    if (state_.pen.style != kPsNull) StrokeDevicePath(path);
    return true;
}

bool DeviceContext::PolyPolyline(std::span<const POINT> points, std::span<const uint32_t> counts) {
    uint64_t total = 0;
    for (uint32_t c : counts) {
        if (c < 2) return false;
        total += c;
    }
    if (counts.empty() || total != points.size()) return false;
    DevicePath path;
    size_t at = 0;
    for (uint32_t c : counts) {
        DevicePath::Figure figure;
        figure.start = ToDevice(points[at]);
        for (size_t i = 1; i < c; ++i) {
            figure.segments.push_back(DevicePath::Segment::kLine);
            figure.points.push_back(ToDevice(points[at + i]));
        }
        at += c;
        path.figures.push_back(std::move(figure));
    }
    if (pathOpen_) {
        for (auto& f : path.figures) path_.figures.push_back(std::move(f));
        return true;
    }
    if (state_.pen.style != kPsNull) StrokeDevicePath(path);
    return true;
}

bool DeviceContext::FillRect(const RECT& rect, HBRUSH brush) {
    auto b = detail::Lookup<detail::BrushObject>(brush, HandleKind::kBrush);
    if (!b) return false;
    RECT r =
        Normalized({ToDevice({rect.left, rect.top}).x, ToDevice({rect.left, rect.top}).y,
                    ToDevice({rect.right, rect.bottom}).x, ToDevice({rect.right, rect.bottom}).y});
    if (r.left < r.right && r.top < r.bottom && b->brush.style != kBsNull) {
        FillDeviceRect(r, b->brush, kRopPatCopy);
    }
    return true;
}

bool DeviceContext::PatBlt(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop) {
    if (rop != kRopPatCopy && rop != kRopBlackness && rop != kRopWhiteness) return false;
    const POINT a = ToDevice({x, y});
    const POINT b = ToDevice({Clamp32(double(x) + width), Clamp32(double(y) + height)});
    const RECT r = Normalized({a.x, a.y, b.x, b.y});
    if (r.left < r.right && r.top < r.bottom) {
        if (rop != kRopPatCopy || state_.brush.style != kBsNull) {
            FillDeviceRect(r, state_.brush, rop);
        }
    }
    return true;
}

bool DeviceContext::BeginPath() {
    path_ = {};
    pathOpen_ = true;
    pathClosed_ = false;
    DevicePath::Figure figure;
    figure.start = ToDevice(state_.position);
    path_.figures.push_back(figure);
    return true;
}

bool DeviceContext::EndPath() {
    if (!pathOpen_) return false;
    pathOpen_ = false;
    pathClosed_ = true;
    std::erase_if(path_.figures, [](const DevicePath::Figure& f) { return f.points.empty(); });
    return true;
}

bool DeviceContext::CloseFigure() {
    if (!pathOpen_ || path_.figures.empty() || path_.figures.back().points.empty()) return false;
    DevicePath::Figure& last = path_.figures.back();
    last.closed = true;
    // Lines after a closed figure start a new one at its start point.
    DevicePath::Figure next;
    next.start = last.start;
    path_.figures.push_back(next);
    return true;
}

bool DeviceContext::StrokePath() {
    if (!pathClosed_) return false;
    if (state_.pen.style != kPsNull && !path_.empty()) StrokeDevicePath(path_);
    path_ = {};
    pathClosed_ = false;
    return true;
}

bool DeviceContext::AbortPath() {
    path_ = {};
    pathOpen_ = false;
    pathClosed_ = false;
    return true;
}

// ----- Clipping

int32_t DeviceContext::ExtSelectClipRgn(HRGN region, int32_t mode) {
    if (region == 0) {
        if (mode != kRgnCopy) return kRegionError;
        state_.clip.reset();
        return kSimpleRegion;
    }
    std::optional<Region> r = GetRegion(region);
    if (!r) return kRegionError;
    const Region current =
        state_.clip ? *state_.clip : Region(RECT{0, 0, device_.horzRes, device_.vertRes});
    Region out;
    if (mode == kRgnCopy) {
        out = *r;
    } else if (!Region::Combine(current, *r, mode, &out)) {
        return kRegionError;
    }
    state_.clip = std::move(out);
    return state_.clip->Complexity();
}

int32_t DeviceContext::GetClipBox(RECT* box) const {
    if (!box) return kRegionError;
    const RECT d = state_.clip ? state_.clip->Box() : RECT{0, 0, device_.horzRes, device_.vertRes};
    POINT corners[2] = {{d.left, d.top}, {d.right, d.bottom}};
    DPtoLP(corners);
    *box = Normalized({corners[0].x, corners[0].y, corners[1].x, corners[1].y});
    return state_.clip ? state_.clip->Complexity() : kSimpleRegion;
}

// ----- Text

std::shared_ptr<const FontFace> DeviceContext::DrawingFace() {
    if (!faceLooked_) {
        face_ = OpenLogicalFont(ToLogicalFont(state_.font));
        faceLooked_ = true;
    }
    return face_;
}

std::shared_ptr<const FontFace> DeviceContext::SelectedFace() {
    if (IsStockObject(state_.fontHandle)) return nullptr;
    return DrawingFace();
}

std::optional<size_t> DeviceContext::GetFontData(uint32_t tag, uint32_t offset,
                                                 std::span<uint8_t> out) {
    auto face = SelectedFace();
    if (!face) return std::nullopt;
    return face->GetFontData(tag, offset, out);
}

bool DeviceContext::GetCharAdvances(std::u16string_view text, std::vector<int32_t>* advances) {
    auto face = DrawingFace();
    if (!face || !advances) return false;
    const int32_t height = DeviceFontHeight(state_.font.lfHeight);
    const double scale = std::fabs(ScaleX());
    advances->assign(text.size(), 0);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t ch = text[i];
        if (ch >= 0xD800 && ch < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            ch = 0x10000 + ((ch - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        }
        (*advances)[i] = RoundHalfUp(face->CharWidth(ch, height) / scale);
        if (ch >= 0x10000) ++i;
    }
    return true;
}

bool DeviceContext::GetTextExtentPoint32W(std::u16string_view text, SIZE* size) {
    std::vector<int32_t> advances;
    FontMetrics m;
    if (!size || !GetCharAdvances(text, &advances) || !GetTextMetrics(&m)) return false;
    int64_t cx = 0;
    for (int32_t a : advances) cx += a;
    *size = {Clamp32(double(cx)), m.height};
    return true;
}

bool DeviceContext::GetTextMetrics(FontMetrics* metrics) {
    auto face = DrawingFace();
    if (!face || !metrics) return false;
    const FontMetrics d = face->Metrics(DeviceFontHeight(state_.font.lfHeight));
    const double sx = std::fabs(ScaleX());
    const double sy = std::fabs(ScaleY());
    auto ly = [&](int32_t v) { return RoundHalfUp(v / sy); };
    *metrics = {ly(d.height),
                ly(d.ascent),
                ly(d.descent),
                ly(d.internalLeading),
                ly(d.externalLeading),
                RoundHalfUp(d.averageCharWidth / sx),
                RoundHalfUp(d.maxCharWidth / sx)};
    return true;
}

bool DeviceContext::DrawText16(int32_t x, int32_t y, uint32_t options, const RECT* rect,
                               std::u16string_view text, std::span<const int32_t> dx) {
    DeviceText out;
    out.options = options & (kEtoOpaque | kEtoClipped);
    if (rect) {
        const POINT a = ToDevice({rect->left, rect->top});
        const POINT b = ToDevice({rect->right, rect->bottom});
        out.rect = Normalized({a.x, a.y, b.x, b.y});
    } else if (out.options != 0) {
        return false;
    }
    if (text.empty()) {
        if (out.rect && (out.options & kEtoOpaque)) DrawDeviceText(out);
        return true;
    }
    auto face = DrawingFace();
    if (!face) return false;
    std::vector<int32_t> advances;
    if (!dx.empty()) {
        if (dx.size() < text.size()) return false;
        advances.assign(dx.begin(), dx.begin() + static_cast<ptrdiff_t>(text.size()));
    } else if (!GetCharAdvances(text, &advances)) {
        return false;
    }
    out.text = std::u16string(text);
    out.face = face;
    out.font = state_.font;
    out.font.lfHeight = DeviceFontHeight(state_.font.lfHeight);
    out.ascent = face->Metrics(out.font.lfHeight).ascent;
    out.angle = state_.font.lfEscapement / 10.0;
    const double rad = out.angle * 3.14159265358979323846 / 180.0;
    double along = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const double lx = x + along * std::cos(rad);
        const double ly = y - along * std::sin(rad);
        out.origins.push_back(ToDevice({RoundHalfUp(lx), RoundHalfUp(ly)}));
        along += advances[i];
    }
    DrawDeviceText(out);
    return true;
}

bool DeviceContext::ExtTextOutW(int32_t x, int32_t y, uint32_t options, const RECT* rect,
                                std::u16string_view text, std::span<const int32_t> dx) {
    return DrawText16(x, y, options, rect, text, dx);
}

bool DeviceContext::ExtTextOutA(int32_t x, int32_t y, uint32_t options, const RECT* rect,
                                std::string_view text, std::span<const int32_t> dx) {
    if (!dx.empty() && dx.size() < text.size()) return false;
    std::u16string wide;
    std::vector<int32_t> wideDx;
    for (size_t i = 0; i < text.size();) {
        const size_t n = IsCp932Lead(static_cast<uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
        std::u16string unit;
        if (!WideFromCp932(text.substr(i, n), &unit) || unit.empty()) return false;
        int32_t advance = 0;
        if (!dx.empty()) {
            advance = Clamp32(double(dx[i]) + (n == 2 ? double(dx[i + 1]) : 0.0));
        }
        for (size_t k = 0; k < unit.size(); ++k) {
            wide.push_back(unit[k]);
            wideDx.push_back(k == 0 ? advance : 0);
        }
        i += n;
    }
    return DrawText16(x, y, options, rect, wide, dx.empty() ? std::span<const int32_t>{} : wideDx);
}

// ----- Bitmaps and comments

int32_t DeviceContext::StretchDIBits(int32_t xDest, int32_t yDest, int32_t destWidth,
                                     int32_t destHeight, int32_t xSrc, int32_t ySrc,
                                     int32_t srcWidth, int32_t srcHeight,
                                     std::span<const uint8_t> bits, const BITMAPINFOHEADER& header,
                                     std::span<const RGBQUAD> colors, uint32_t usage,
                                     uint32_t rop) {
    const int32_t bpp = header.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) return 0;
    if (header.biCompression != 0 || header.biPlanes != 1 || usage != kDibRgbColors) return 0;
    if (rop != kRopSrcCopy) return 0;
    if (header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN) return 0;
    if (bpp <= 8) {
        const uint32_t full = 1u << bpp;
        const uint32_t needed = header.biClrUsed ? std::min(header.biClrUsed, full) : full;
        if (colors.size() < needed) return 0;
    }
    const uint64_t stride = (uint64_t(header.biWidth) * uint64_t(bpp) + 31) / 32 * 4;
    const int64_t rows = header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
    if (bits.size() < stride * uint64_t(rows)) return 0;
    if (srcWidth <= 0 || srcHeight <= 0 || xSrc < 0 || ySrc < 0 ||
        int64_t{xSrc} + srcWidth > header.biWidth || int64_t{ySrc} + srcHeight > rows) {
        return 0;
    }
    // Bottom-up DIBs count ySrc from their bottom row.
    const int32_t top = header.biHeight > 0 ? static_cast<int32_t>(rows - ySrc - srcHeight) : ySrc;
    const RECT source{xSrc, top, xSrc + srcWidth, top + srcHeight};
    const POINT a = ToDevice({xDest, yDest});
    const POINT b =
        ToDevice({Clamp32(double(xDest) + destWidth), Clamp32(double(yDest) + destHeight)});
    const RECT dest{a.x, a.y, b.x, b.y};
    if (dest.left != dest.right && dest.top != dest.bottom) {
        DrawDeviceDib(dest, source, bits, header, colors);
    }
    return srcHeight;
}

bool DeviceContext::GdiComment(std::span<const uint8_t> data) {
    (void)data;
    return true;
}

// ----- What the back ends draw; an information context draws nothing.

void DeviceContext::StrokeDevicePath(const DevicePath&) {}
void DeviceContext::FillDevicePath(const DevicePath&, const BrushState&) {}
void DeviceContext::FillDeviceRect(const RECT&, const BrushState&, uint32_t) {}
void DeviceContext::DrawDeviceText(const DeviceText&) {}
void DeviceContext::DrawDeviceDib(const RECT&, const RECT&, std::span<const uint8_t>,
                                  const BITMAPINFOHEADER&, std::span<const RGBQUAD>) {}

}  // namespace plat
