// A printer's device context. The device is the printable area of the sheet at the settings'
// resolution, device (0, 0) at its corner, as a printer's context is. Each page is recorded as
// an enhanced metafile of that device and handed whole to the page sink when it ends; whoever
// made the context turns the pages into the spooled document. Nothing here needs a windowing
// system or a GUI application, so a page may be drawn on any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/gdi/device_context.h"

namespace plat {

class EmfRecorder;

class PrinterDc final : public DeviceContext {
  public:
    // One finished page: the device it was drawn for (sheet, offsets, printable size, dots per
    // inch in logPixelsX and logPixelsY) and its metafile.
    struct Page {
        DeviceInfo device;
        std::vector<uint8_t> metafile;
    };
    // Takes a finished page; false when it could not be kept (the page then counts as failed).
    using PageSink = std::function<bool(Page&& page)>;

    // page: the device of the first pages.
    explicit PrinterDc(const DeviceInfo& page);
    ~PrinterDc() override;

    void SetPageSink(PageSink sink) { sink_ = std::move(sink); }
    // The device of the pages that follow (ResetDC); false for a zero page or resolution. A
    // page already being drawn keeps its sheet.
    bool Reset(const DeviceInfo& page);
    // Drawing is recorded between these two; outside them it changes the state only. EndPage
    // fails without an open page or when the sink refuses the page.
    bool StartPage();
    bool EndPage();
    // Drops an open page unrecorded.
    void DropPage();
    int32_t PagesStarted() const { return pages_; }

    // The document's abort procedure, asked every kAbortInterval drawing calls of a page as a
    // spooler asks while it takes a long page: false stops the document, and every later call
    // is dropped from its pages.
    static constexpr int32_t kAbortInterval = 64;
    void SetAbortProc(std::function<bool()> proc) { abortProc_ = std::move(proc); }
    bool Aborted() const { return aborted_; }

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
    // The open page's recorder for a call that changes state; null outside a page or once
    // the document is stopped.
    EmfRecorder* Recorder() const;
    // The same for a drawing call, which is counted; the abort procedure is asked at every
    // interval and may stop the document here.
    EmfRecorder* Drawing();
    // A new page's recorder starts from the state the context has now.
    void CarryStateInto(EmfRecorder& page);

    PageSink sink_;
    std::unique_ptr<EmfRecorder> page_;
    DeviceInfo pageDevice_;  // the device the open page was started with
    int32_t pages_ = 0;
    std::function<bool()> abortProc_;
    uint32_t drawCalls_ = 0;
    bool aborted_ = false;
};

}  // namespace plat
