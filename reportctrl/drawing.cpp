// Drawing of the controls. Everything a control draws reaches the PDF export as metafile records,
// so it keeps to the calls the metafile translation understands: colours and the background
// mode, pens, solid brushes and fonts, MoveToEx/LineTo, closed polylines for outlines, polygons
// for fills, text at its top-left corner after the comment that has its font embedded, and
// SaveDC, SetViewportOrgEx and RestoreDC for groups. Rectangle, Ellipse and SetTextAlign have no
// translation and are never used.
#include "reportctrl/drawing.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/core/units.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/handles.h"
#include "reportctrl/controls.h"

namespace kpctrl {

namespace rc = kp::rc;

namespace {

// The comment after which the PDF export embeds the font of the next text, exactly these ten
// bytes.
constexpr std::array<uint8_t, 10> kEmbedComment{'#', '#', 'E', 'M', 'B', 'E', 'D', '#', '#', '#'};

plat::RECT Normalized(const RectL& r) {
    return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
            std::max(r.top, r.bottom)};
}

// Selects an object into a DC for the length of a scope and puts the previous one back.
class Selection {
  public:
    Selection(plat::DeviceContext* dc, plat::HGDIOBJ object)
        : dc_(dc), previous_(dc->SelectObject(object)) {}
    ~Selection() {
        if (previous_ != 0) dc_->SelectObject(previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    bool ok() const { return previous_ != 0; }

  private:
    plat::DeviceContext* dc_;
    plat::HGDIOBJ previous_;
};

}  // namespace

bool DeviceDotsPerInch(uint32_t dc, int32_t* x, int32_t* y) {
    const plat::DeviceContext* context = plat::DcFromHandle(dc);
    if (context == nullptr) return false;
    kp::DeviceMetrics metrics;
    metrics.rasterDisplay = context->GetDeviceCaps(plat::kTechnology) == plat::kDtRasDisplay;
    metrics.horzRes = context->GetDeviceCaps(plat::kHorzRes);
    metrics.vertRes = context->GetDeviceCaps(plat::kVertRes);
    metrics.horzSizeMm = context->GetDeviceCaps(plat::kHorzSize);
    metrics.vertSizeMm = context->GetDeviceCaps(plat::kVertSize);
    metrics.logPixelsX = context->GetDeviceCaps(plat::kLogPixelsX);
    metrics.logPixelsY = context->GetDeviceCaps(plat::kLogPixelsY);
    kp::GetDeviceDotsPerInch(metrics, x, y);
    return *x > 0 && *y > 0;
}

int32_t ReportControl::ConvertWidth(int32_t width, int32_t dpiX, int32_t* pixels) {
    *pixels = 0;
    // Width 0 stays the one-pixel pen.
    if (width == 0) return rc::kOk;
    kp::ControlSite* site = nullptr;
    {
        std::lock_guard guard(lock_);
        site = site_;
        if (site == nullptr) return rc::kNotReady;
        site->AddRef();
    }
    // Widths run along x, with the horizontal pitch.
    RectL span{0, 0, width, 0};
    const int32_t code = site->ConvertRect(kp::kConvertToInternal, &span);
    site->Release();
    if (code != rc::kOk) return code;
    *pixels = std::max(1, std::abs(InternalToPixels(span.right - span.left, dpiX)));
    return rc::kOk;
}

int32_t TextControl::DrawContent(const DrawRequest& request) {
    Data data;
    {
        std::lock_guard guard(lock());
        data = data_;
    }
    if (data.text.empty()) return rc::kOk;
    plat::DeviceContext* dc = plat::DcFromHandle(request.drawDc);
    if (dc == nullptr) return rc::kBadArgument;

    plat::LOGFONTW logFont;
    logFont.lfHeight =
        -static_cast<int32_t>(std::lround(data.fontSize / 100.0 * request.dpiY / 72.0));
    logFont.lfWeight = 400;
    logFont.lfCharSet = plat::kShiftJisCharset;
    std::copy_n(data.fontName.begin(), std::min(data.fontName.size(), plat::kMaxFaceNameLength),
                logFont.lfFaceName);
    plat::GdiObject font(plat::CreateFontIndirectW(logFont));
    if (!font) return rc::kOutOfMemory;

    const int32_t oldMode = dc->SetBkMode(plat::kTransparent);
    const plat::COLORREF oldColor = dc->SetTextColor(data.color);
    int32_t code = rc::kOk;
    {
        Selection selected(dc, font.get());
        plat::SIZE extent;
        if (!selected.ok() || !dc->GetTextExtentPoint32W(data.text, &extent)) {
            code = rc::kBadArgument;
        } else {
            const plat::RECT cell = Normalized(request.pixels);
            int32_t x = cell.left;
            if (data.align == kAlignCenter) {
                x = cell.left + (cell.right - cell.left - extent.cx) / 2;
            } else if (data.align == kAlignRight) {
                x = cell.right - extent.cx;
            }
            int32_t y = cell.top;
            if (data.valign == kVAlignMiddle) {
                y = cell.top + (cell.bottom - cell.top - extent.cy) / 2;
            } else if (data.valign == kVAlignBottom) {
                y = cell.bottom - extent.cy;
            }
            dc->GdiComment(kEmbedComment);
            if (!dc->ExtTextOutW(x, y, plat::kEtoClipped, &cell, data.text)) {
                code = rc::kBadArgument;
            }
        }
    }
    dc->SetTextColor(oldColor);
    if (oldMode != 0) dc->SetBkMode(oldMode);
    return code;
}

int32_t ShapeControl::DrawContent(const DrawRequest& request) {
    Data data;
    {
        std::lock_guard guard(lock());
        data = data_;
    }
    plat::DeviceContext* dc = plat::DcFromHandle(request.drawDc);
    if (dc == nullptr) return rc::kBadArgument;
    int32_t width = 0;
    if (const int32_t code = ConvertWidth(data.lineWidth, request.dpiX, &width); code != 0) {
        return code;
    }
    plat::GdiObject pen(plat::CreatePen(plat::kPsSolid, width, data.lineColor));
    if (!pen) return rc::kOutOfMemory;
    Selection selectedPen(dc, pen.get());
    if (!selectedPen.ok()) return rc::kBadArgument;

    const RectL& r = request.pixels;
    if (!box_) {
        // From the left-top corner to the right-bottom one as given: either diagonal.
        const bool ok = dc->MoveToEx(r.left, r.top) && dc->LineTo(r.right, r.bottom);
        return ok ? rc::kOk : rc::kBadArgument;
    }
    const std::array<plat::POINT, 5> outline{{{r.left, r.top},
                                              {r.right, r.top},
                                              {r.right, r.bottom},
                                              {r.left, r.bottom},
                                              {r.left, r.top}}};
    if (data.fillColor != kNoFill) {
        plat::LOGBRUSH solid;
        solid.lbStyle = plat::kBsSolid;
        solid.lbColor = data.fillColor;
        plat::GdiObject brush(plat::CreateBrushIndirect(solid));
        if (!brush) return rc::kOutOfMemory;
        Selection selectedBrush(dc, brush.get());
        if (!selectedBrush.ok() || !dc->Polygon(std::span(outline).first(4))) {
            return rc::kBadArgument;
        }
    }
    return dc->Polyline(outline) ? rc::kOk : rc::kBadArgument;
}

int32_t GroupControl::CallMembers(uint32_t drawDc, uint32_t attributeDc, uint32_t flags) {
    kp::ControlSite* holder = nullptr;
    {
        std::lock_guard guard(lock());
        holder = site();
        if (holder == nullptr) return rc::kNotReady;
        holder->AddRef();
    }
    // The engine is called without the control's lock, which it may be holding the other way.
    void* entry = nullptr;
    const int32_t found = holder->QueryInterface(&kp::iid::kMemberDrawing, &entry);
    holder->Release();
    if (found != rc::kOk || entry == nullptr) return rc::kNotReady;
    auto* members = static_cast<kp::MemberDrawing*>(static_cast<plat::Unknown*>(entry));
    // The members' rectangles are relative to the group; the origin has been moved for them, so
    // no clip rectangle of the page applies. Inherit 0: an inheriting pass would restore the
    // DC's last saved state and so undo the move.
    const int32_t code = members->DrawMembers(drawDc, attributeDc, nullptr, 0, flags);
    members->DrawMembersEnd();
    members->Release();
    return code;
}

int32_t GroupControl::Measure(uint32_t drawDc, uint32_t attributeDc, uint32_t flags) {
    return CallMembers(drawDc, attributeDc, flags);
}

int32_t GroupControl::DrawContent(const DrawRequest& request) {
    plat::DeviceContext* dc = plat::DcFromHandle(request.drawDc);
    if (dc == nullptr) return rc::kBadArgument;
    const plat::RECT box = Normalized(request.pixels);
    // The viewport origin is in device units: move it by the group's corner as the DC maps it.
    std::array<plat::POINT, 2> corner{{{0, 0}, {box.left, box.top}}};
    if (!dc->LPtoDP(corner)) return rc::kBadArgument;
    if (dc->SaveDC() == 0) return rc::kBadArgument;
    const plat::POINT origin = dc->GetViewportOrgEx();
    int32_t code = rc::kBadArgument;
    if (dc->SetViewportOrgEx(origin.x + corner[1].x - corner[0].x,
                             origin.y + corner[1].y - corner[0].y)) {
        code = CallMembers(request.drawDc, request.attributeDc, request.flags);
    }
    dc->RestoreDC(-1);
    return code;
}

}  // namespace kpctrl
