#include "platform/gdi/printer_dc.h"

#include <cmath>

#include "platform/gdi/emf_recorder.h"
#include "platform/gdi/gdi_objects.h"

namespace plat {

namespace {

bool Usable(const DeviceInfo& page) {
    return page.logPixelsX > 0 && page.logPixelsY > 0 && page.physicalWidth > 0 &&
           page.physicalHeight > 0 && page.horzRes > 0 && page.vertRes > 0;
}

// The printable area in 0.01 mm, the picture frame of a page's metafile.
RECT PrintableFrame(const DeviceInfo& page) {
    const auto hmm = [](int32_t pixels, int32_t dpi) {
        return static_cast<int32_t>(std::lround(pixels * 2540.0 / dpi));
    };
    return RECT{0, 0, hmm(page.horzRes, page.logPixelsX), hmm(page.vertRes, page.logPixelsY)};
}

}  // namespace

PrinterDc::PrinterDc(const DeviceInfo& page) : DeviceContext(page) {}

PrinterDc::~PrinterDc() = default;

bool PrinterDc::Reset(const DeviceInfo& page) {
    if (!Usable(page)) return false;
    SetDevice(page);
    return true;
}

bool PrinterDc::StartPage() {
    if (page_ || !Usable(device())) return false;
    pageDevice_ = device();
    page_ = std::make_unique<EmfRecorder>(pageDevice_, PrintableFrame(pageDevice_), u"");
    CarryStateInto(*page_);
    ++pages_;
    return true;
}

bool PrinterDc::EndPage() {
    if (!page_) return false;
    Page page{pageDevice_, page_->Close()};
    page_.reset();
    // A stopped document's page is not worth the sink's work: the document is being abandoned.
    if (aborted_) return true;
    return sink_ ? sink_(std::move(page)) : true;
}

void PrinterDc::DropPage() {
    page_.reset();
}

void PrinterDc::CarryStateInto(EmfRecorder& page) {
    // A printer context keeps its attributes from page to page (only ResetDC changes the
    // device), so each page's metafile starts from what the context holds at StartPage.
    const State& s = state();
    page.SetMapMode(s.mapMode);
    page.SetWindowExtEx(s.windowExt.cx, s.windowExt.cy);
    page.SetViewportExtEx(s.viewportExt.cx, s.viewportExt.cy);
    page.SetWindowOrgEx(s.windowOrg.x, s.windowOrg.y);
    page.SetViewportOrgEx(s.viewportOrg.x, s.viewportOrg.y);
    page.SetTextColor(s.textColor);
    page.SetBkColor(s.bkColor);
    page.SetBkMode(s.bkMode);
    for (HGDIOBJ object : {HGDIOBJ(s.penHandle), HGDIOBJ(s.brushHandle), HGDIOBJ(s.fontHandle)}) {
        if (object != 0) page.SelectObject(object);
    }
    page.MoveToEx(s.position.x, s.position.y);
    if (s.clip) {
        const HRGN region = CreateRegion(*s.clip);
        page.ExtSelectClipRgn(region, kRgnCopy);
        DeleteObject(region);
    }
}

EmfRecorder* PrinterDc::Recorder() const {
    return aborted_ ? nullptr : page_.get();
}

EmfRecorder* PrinterDc::Drawing() {
    if (!page_ || aborted_) return nullptr;
    if (++drawCalls_ % kAbortInterval == 0 && abortProc_ && !abortProc_()) {
        aborted_ = true;
        return nullptr;
    }
    return page_.get();
}

// Every call keeps the context's own state (what the caller reads back, and what the next page
// starts from) and, inside a page, is recorded with the same arguments.

int32_t PrinterDc::SaveDC() {
    const int32_t depth = DeviceContext::SaveDC();
    if (EmfRecorder* r = Recorder()) r->SaveDC();
    return depth;
}

bool PrinterDc::RestoreDC(int32_t level) {
    const bool ok = DeviceContext::RestoreDC(level);
    if (EmfRecorder* r = Recorder(); ok && r) r->RestoreDC(level);
    return ok;
}

int32_t PrinterDc::SetMapMode(int32_t mode) {
    const int32_t previous = DeviceContext::SetMapMode(mode);
    if (EmfRecorder* r = Recorder()) r->SetMapMode(mode);
    return previous;
}

bool PrinterDc::SetWindowOrgEx(int32_t x, int32_t y, POINT* previous) {
    const bool ok = DeviceContext::SetWindowOrgEx(x, y, previous);
    if (EmfRecorder* r = Recorder()) r->SetWindowOrgEx(x, y);
    return ok;
}

bool PrinterDc::SetViewportOrgEx(int32_t x, int32_t y, POINT* previous) {
    const bool ok = DeviceContext::SetViewportOrgEx(x, y, previous);
    if (EmfRecorder* r = Recorder()) r->SetViewportOrgEx(x, y);
    return ok;
}

bool PrinterDc::OffsetWindowOrgEx(int32_t dx, int32_t dy, POINT* previous) {
    const bool ok = DeviceContext::OffsetWindowOrgEx(dx, dy, previous);
    if (EmfRecorder* r = Recorder()) r->OffsetWindowOrgEx(dx, dy);
    return ok;
}

bool PrinterDc::OffsetViewportOrgEx(int32_t dx, int32_t dy, POINT* previous) {
    const bool ok = DeviceContext::OffsetViewportOrgEx(dx, dy, previous);
    if (EmfRecorder* r = Recorder()) r->OffsetViewportOrgEx(dx, dy);
    return ok;
}

bool PrinterDc::SetWindowExtEx(int32_t cx, int32_t cy, SIZE* previous) {
    const bool ok = DeviceContext::SetWindowExtEx(cx, cy, previous);
    if (EmfRecorder* r = Recorder()) r->SetWindowExtEx(cx, cy);
    return ok;
}

bool PrinterDc::SetViewportExtEx(int32_t cx, int32_t cy, SIZE* previous) {
    const bool ok = DeviceContext::SetViewportExtEx(cx, cy, previous);
    if (EmfRecorder* r = Recorder()) r->SetViewportExtEx(cx, cy);
    return ok;
}

bool PrinterDc::ScaleWindowExtEx(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                                 SIZE* previous) {
    const bool ok = DeviceContext::ScaleWindowExtEx(xNum, xDenom, yNum, yDenom, previous);
    if (EmfRecorder* r = Recorder()) r->ScaleWindowExtEx(xNum, xDenom, yNum, yDenom);
    return ok;
}

bool PrinterDc::ScaleViewportExtEx(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                                   SIZE* previous) {
    const bool ok = DeviceContext::ScaleViewportExtEx(xNum, xDenom, yNum, yDenom, previous);
    if (EmfRecorder* r = Recorder()) r->ScaleViewportExtEx(xNum, xDenom, yNum, yDenom);
    return ok;
}

COLORREF PrinterDc::SetTextColor(COLORREF color) {
    const COLORREF previous = DeviceContext::SetTextColor(color);
    if (EmfRecorder* r = Recorder()) r->SetTextColor(color);
    return previous;
}

COLORREF PrinterDc::SetBkColor(COLORREF color) {
    const COLORREF previous = DeviceContext::SetBkColor(color);
    if (EmfRecorder* r = Recorder()) r->SetBkColor(color);
    return previous;
}

int32_t PrinterDc::SetBkMode(int32_t mode) {
    const int32_t previous = DeviceContext::SetBkMode(mode);
    if (EmfRecorder* r = Recorder()) r->SetBkMode(mode);
    return previous;
}

HGDIOBJ PrinterDc::SelectObject(HGDIOBJ object) {
    const HGDIOBJ previous = DeviceContext::SelectObject(object);
    if (EmfRecorder* r = Recorder(); previous != 0 && r) r->SelectObject(object);
    return previous;
}

bool PrinterDc::MoveToEx(int32_t x, int32_t y, POINT* previous) {
    const bool ok = DeviceContext::MoveToEx(x, y, previous);
    if (EmfRecorder* r = Recorder()) r->MoveToEx(x, y);
    return ok;
}

// Inside a path the line calls only build it; they draw when the path is stroked.
bool PrinterDc::LineTo(int32_t x, int32_t y) {
    EmfRecorder* r = InPath() ? Recorder() : Drawing();
    const bool ok = DeviceContext::LineTo(x, y);
    if (r) r->LineTo(x, y);
    return ok;
}

bool PrinterDc::Polyline(std::span<const POINT> points) {
    EmfRecorder* r = InPath() ? Recorder() : Drawing();
    const bool ok = DeviceContext::Polyline(points);
    if (r) r->Polyline(points);
    return ok;
}

bool PrinterDc::PolylineTo(std::span<const POINT> points) {
    EmfRecorder* r = InPath() ? Recorder() : Drawing();
    const bool ok = DeviceContext::PolylineTo(points);
    if (r) r->PolylineTo(points);
    return ok;
}

bool PrinterDc::PolyBezierTo(std::span<const POINT> points) {
    EmfRecorder* r = InPath() ? Recorder() : Drawing();
    const bool ok = DeviceContext::PolyBezierTo(points);
    if (r) r->PolyBezierTo(points);
    return ok;
}

bool PrinterDc::Polygon(std::span<const POINT> points) {
    EmfRecorder* r = InPath() ? Recorder() : Drawing();
    const bool ok = DeviceContext::Polygon(points);
    if (r) r->Polygon(points);
    return ok;
}

bool PrinterDc::PolyPolyline(std::span<const POINT> points, std::span<const uint32_t> counts) {
    EmfRecorder* r = InPath() ? Recorder() : Drawing();
    const bool ok = DeviceContext::PolyPolyline(points, counts);
    if (r) r->PolyPolyline(points, counts);
    return ok;
}

bool PrinterDc::FillRect(const RECT& rect, HBRUSH brush) {
    EmfRecorder* r = Drawing();
    const bool ok = DeviceContext::FillRect(rect, brush);
    if (r) r->FillRect(rect, brush);
    return ok;
}

bool PrinterDc::PatBlt(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop) {
    EmfRecorder* r = Drawing();
    const bool ok = DeviceContext::PatBlt(x, y, width, height, rop);
    if (r) r->PatBlt(x, y, width, height, rop);
    return ok;
}

bool PrinterDc::BeginPath() {
    const bool ok = DeviceContext::BeginPath();
    if (EmfRecorder* r = Recorder()) r->BeginPath();
    return ok;
}

bool PrinterDc::EndPath() {
    const bool ok = DeviceContext::EndPath();
    if (EmfRecorder* r = Recorder()) r->EndPath();
    return ok;
}

bool PrinterDc::CloseFigure() {
    const bool ok = DeviceContext::CloseFigure();
    if (EmfRecorder* r = Recorder()) r->CloseFigure();
    return ok;
}

bool PrinterDc::StrokePath() {
    EmfRecorder* r = Drawing();
    const bool ok = DeviceContext::StrokePath();
    if (r) r->StrokePath();
    return ok;
}

bool PrinterDc::AbortPath() {
    const bool ok = DeviceContext::AbortPath();
    if (EmfRecorder* r = Recorder()) r->AbortPath();
    return ok;
}

int32_t PrinterDc::ExtSelectClipRgn(HRGN region, int32_t mode) {
    const int32_t complexity = DeviceContext::ExtSelectClipRgn(region, mode);
    if (EmfRecorder* r = Recorder()) r->ExtSelectClipRgn(region, mode);
    return complexity;
}

bool PrinterDc::ExtTextOutW(int32_t x, int32_t y, uint32_t options, const RECT* rect,
                            std::u16string_view text, std::span<const int32_t> dx) {
    EmfRecorder* r = Drawing();
    const bool ok = DeviceContext::ExtTextOutW(x, y, options, rect, text, dx);
    if (r) r->ExtTextOutW(x, y, options, rect, text, dx);
    return ok;
}

bool PrinterDc::ExtTextOutA(int32_t x, int32_t y, uint32_t options, const RECT* rect,
                            std::string_view text, std::span<const int32_t> dx) {
    EmfRecorder* r = Drawing();
    const bool ok = DeviceContext::ExtTextOutA(x, y, options, rect, text, dx);
    if (r) r->ExtTextOutA(x, y, options, rect, text, dx);
    return ok;
}

int32_t PrinterDc::StretchDIBits(int32_t xDest, int32_t yDest, int32_t destWidth,
                                 int32_t destHeight, int32_t xSrc, int32_t ySrc, int32_t srcWidth,
                                 int32_t srcHeight, std::span<const uint8_t> bits,
                                 const BITMAPINFOHEADER& header, std::span<const RGBQUAD> colors,
                                 uint32_t usage, uint32_t rop) {
    EmfRecorder* r = Drawing();
    const int32_t rows =
        DeviceContext::StretchDIBits(xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth,
                                     srcHeight, bits, header, colors, usage, rop);
    if (r) {
        r->StretchDIBits(xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, bits,
                         header, colors, usage, rop);
    }
    return rows;
}

bool PrinterDc::GdiComment(std::span<const uint8_t> data) {
    const bool ok = DeviceContext::GdiComment(data);
    if (EmfRecorder* r = Recorder()) r->GdiComment(data);
    return ok;
}

}  // namespace plat
