#include "engine/output/print_loop.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/core/report.h"
#include "engine/core/services.h"
#include "engine/output/printer_codes.h"
#include "platform/gdi/handles.h"

namespace kp {

using plat::DevMode;
using namespace plat;  // device caps and mapping modes

namespace {

int16_t Clamp16(int32_t v) {
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The page sources

int32_t ReportPageSource::Check() {
    report_ = IsReportObject(object_) ? static_cast<ReportObject*>(object_) : nullptr;
    return report_ ? rc::kOk : rc::kBadArgument;
}
void ReportPageSource::Lock() {
    LockReportUse(report_);
}
void ReportPageSource::Unlock() {
    UnlockReportUse(report_);
}
bool ReportPageSource::Paper(int16_t* code, int32_t* width, int32_t* length, int16_t* orientation) {
    *code = GetPaperSizeCode(report_);
    *width = GetPaperWidth(report_);
    *length = GetPaperLength(report_);
    *orientation = GetPaperOrientation(report_);
    return true;
}
int32_t ReportPageSource::Draw(DeviceContext* dc) {
    return report_->Draw(nullptr, dc->handle(), 0, 0, 0, 0, 0, 0x2001);
}

int32_t MakeRecordedPageSource(const RecordedPageAccess& access, bool file,
                               ScriptableObject* object, uint32_t page,
                               std::unique_ptr<PageSource>* out) {
    const auto make = file ? access.file : access.preview;
    if (make == nullptr) return rc::kNotImplemented;
    *out = make(object, page);
    return *out ? rc::kOk : rc::kOutOfMemory;
}

void PumpGuiEvents() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr && QThread::currentThread() == app->thread()) {
        QCoreApplication::processEvents();
    }
}

// ---------------------------------------------------------------------------------------------
// The document

int32_t PrintLoop::ResetDocument(PrinterDocument* doc) {
    auto& current = job_.settings.Current();
    PageGeometry page;
    if (!current || !MeasurePage(job_.printer.Model(), *current, &page) ||
        (doc != nullptr && !doc->Reset(page, *current))) {
        return rc::kResetFailed;
    }
    job_.settings.ApplyMeasurement(page, &*current);
    if (doc != nullptr) {
        DeviceContext* dc = doc->dc();
        dc->SetMapMode(kMmText);
        dc->SetMapMode(kMmAnisotropic);
        dc->SetWindowExtEx(1, 1);
        dc->SetViewportExtEx(1, 1);
    }
    return rc::kOk;
}

int32_t PrintLoop::StartDocument(std::unique_ptr<PrinterDocument>& doc, const std::string& title) {
    int32_t jobId = 0;
    if (const int32_t code = doc->StartDoc(title, &jobId); code != rc::kOk) return code;
    DiscardDocument();
    document_ = std::move(doc);
    document_->SetAbortProc(job_.abortProc);
    pageCount_ = 0;
    documentStarted_ = true;
    jobNumber_ = jobId;
    return rc::kOk;
}

int32_t PrintLoop::EndDocument(bool deliver) {
    secondHalf_ = false;
    int32_t pageError = rc::kOk;
    int32_t docError = rc::kOk;
    if (document_) {
        if (sheetOpen_) {
            pageError = document_->EndPage();
            sheetOpen_ = false;
        } else if (pageCount_ == 0) {
            // A document without pages still gives its one blank sheet.
            document_->StartPage();
            document_->EndPage();
        }
    }
    pageCount_ = 0;
    if (documentStarted_ && document_) {
        docError = deliver ? document_->EndDoc() : document_->AbortDoc();
    }
    documentStarted_ = false;
    // A failed EndDoc or AbortDoc is never success (the document's codes already say what the
    // spooler answered); a page failure alone answers as the page did.
    if (docError != rc::kOk) return docError;
    return pageError != rc::kOk ? rc::kDocumentFailed : rc::kOk;
}

int32_t PrintLoop::EndSheet() {
    const int32_t code = sheetOpen_ && document_ ? document_->EndPage() : rc::kOk;
    sheetOpen_ = secondHalf_ = false;
    return code;
}

// A document the job has ended has no sheet open and is no longer started: only one still open
// is stopped here.
void PrintLoop::DiscardDocument() {
    if (document_) {
        if (sheetOpen_) document_->EndPage();
        if (documentStarted_) document_->AbortDoc();
    }
    sheetOpen_ = secondHalf_ = documentStarted_ = false;
    document_.reset();
}

// ---------------------------------------------------------------------------------------------
// The pages

int32_t PrintLoop::ComputePrintScale(int32_t width, int32_t length, int16_t orientation) const {
    const PrinterSettingsEditor::LayoutSettings& layout = job_.settings.Layout();
    const auto& current = job_.settings.Current();
    if (!layout.scalePrint) return 100;
    if (!layout.scalePaperFit) return layout.scale;
    const double aw = orientation == kDmOrientLandscape ? length : width;
    const double al = orientation == kDmOrientLandscape ? width : length;
    if (!current || aw <= 0 || al <= 0) return 100;  // nothing to fit to: one to one
    double pw = current->dmPaperWidth, pl = current->dmPaperLength;
    if (layout.multiPrint && layout.multiPrintLayout == 2) pl *= 0.5;
    if (layout.multiPrint && layout.multiPrintLayout != 2) pw *= 0.5;
    const double rw = pw / aw, rl = pl / al;
    const double r = rl < rw ? rl : rw;  // a tie takes the width's
    // Never 0: a scale of 0 would make the viewport extent, and every drawn length, vanish.
    return std::clamp(static_cast<int32_t>(r * 100 + 0.5), 1, 32767);
}

int32_t PrintLoop::ComputePrintOrigin(int32_t width, int32_t length, int16_t orientation,
                                      POINT* origin) {
    if (!document_) return rc::kNotReady;
    const PrinterSettingsEditor::LayoutSettings& layout = job_.settings.Layout();
    DeviceContext* dc = document_->dc();
    const int32_t offX = dc->GetDeviceCaps(kPhysicalOffsetX);
    const int32_t offY = dc->GetDeviceCaps(kPhysicalOffsetY);
    const int32_t pw = dc->GetDeviceCaps(kPhysicalWidth);
    const int32_t ph = dc->GetDeviceCaps(kPhysicalHeight);
    const double dpiX = dc->GetDeviceCaps(kLogPixelsX);
    const double dpiY = dc->GetDeviceCaps(kLogPixelsY);
    if (dpiX <= 0 || dpiY <= 0) return rc::kNoPrinterDc;
    const auto px = [](double v) {
        return static_cast<int32_t>(std::clamp(std::trunc(v + 0.5), -2147483648.0, 2147483647.0));
    };
    int32_t across = px(width * dpiX / 254), down = px(length * dpiY / 254);
    if (orientation == kDmOrientLandscape) std::swap(across, down);
    pageExtent_ = {across, down};
    if (!layout.scalePrint && !layout.multiPrint) {
        *origin = {-offX, -offY};
        return rc::kOk;
    }
    const int32_t xe = orientation == kDmOrientLandscape ? length : width;
    const int32_t ye = orientation == kDmOrientLandscape ? width : length;
    const int32_t xpx = px(xe * dpiX / 254), ypx = px(ye * dpiY / 254);
    SIZE ext{100, 100};
    if (layout.scalePrint) ext = dc->GetViewportExtEx();
    int32_t x0 = 0, y0 = 0, aw = pw, ah = ph;
    const bool vertical = layout.multiPrintLayout == 2;
    if (layout.multiPrint) {
        const int32_t half = static_cast<int32_t>((vertical ? ph : pw) * 0.5 + 0.5);
        (vertical ? ah : aw) = half;
        if (secondHalf_) (vertical ? y0 : x0) = half;
    }
    if (layout.scalePrint) {
        const int32_t sw = px(ext.cx * double(xpx) * 0.01);
        const int32_t sh = px(ext.cy * double(ypx) * 0.01);
        const int16_t align = layout.scalePrintLayout;
        if (align == 2 || (align == 3 && !layout.multiPrint)) {
            x0 += (aw - sw) / 2;
            y0 += (ah - sh) / 2;
        } else if (align == 3) {
            if (vertical) {
                x0 += (aw - sw) / 2;
                if (!secondHalf_) y0 += ah - sh;
            } else {
                y0 += (ah - sh) / 2;
                if (!secondHalf_) x0 += aw - sw;
            }
        }
    }
    *origin = {x0 - offX, y0 - offY};
    return rc::kOk;
}

bool PrintLoop::MatchPaperToReport(int16_t* code, int32_t width, int32_t length) const {
    return job_.printer.MatchPaper(code, width, length);
}

int32_t PrintLoop::RunPage(PageSource& source) {
    if (const int32_t code = source.Check(); code != rc::kOk) {
        PumpGuiEvents();
        return code;
    }
    bool pump = true;
    source.Lock();
    const int32_t result = PageSteps(source, &pump);
    if (pump) PumpGuiEvents();
    source.Unlock();
    return result;
}

int32_t PrintLoop::MatchPrinterPaper(int16_t code, int32_t width, int32_t length,
                                     int16_t orientation, int32_t scale) {
    if (!MatchPaperToReport(&code, width, length)) {
        std::lock_guard guard(job_.lock);
        const int16_t found = job_.printer.Bound()
                                  ? job_.printer.FindPaperBySize(Clamp16(width), Clamp16(length))
                                  : int16_t{-1};
        if (found == -1) return rc::kUnknownPaper;
        code = found;
    }
    std::lock_guard guard(job_.lock);
    if (!job_.settings.Current()) return rc::kNotReady;
    DevMode& dm = *job_.settings.Current();
    if (dm.dmPaperSize == code && dm.dmPaperLength == length && dm.dmPaperWidth == width &&
        dm.dmOrientation == orientation) {
        return rc::kOk;
    }
    const DevMode before = dm;
    dm.dmPaperSize = code;
    dm.dmPaperLength = Clamp16(length);
    dm.dmPaperWidth = Clamp16(width);
    dm.dmOrientation = orientation;
    if (job_.resetPage() != rc::kOk) {
        dm = before;
        return rc::kResetFailed;
    }
    // The reset put the context back to one to one.
    DeviceContext* dc = document_->dc();
    dc->SetMapMode(kMmAnisotropic);
    dc->SetWindowExtEx(100, 100);
    dc->SetViewportExtEx(scale, scale);
    return rc::kOk;
}

// The page's own rectangle clips what it draws.
void PrintLoop::SetPageClip(DeviceContext* dc) {
    POINT corners[2] = {{0, 0}, {pageExtent_.cx, pageExtent_.cy}};
    dc->LPtoDP(corners);
    const HRGN clip = CreateRectRgn(corners[0].x, corners[0].y, corners[1].x, corners[1].y);
    dc->SelectClipRgn(clip);
    DeleteObject(clip);
}

int32_t PrintLoop::PageSteps(PageSource& source, bool* pump) {
    int16_t code = 0, orientation = 0;
    int32_t width = 0, length = 0;
    *pump = false;  // set-up failures skip the pump
    if (!source.Paper(&code, &width, &length, &orientation)) return source.PaperError();
    // No division by a zero page below.
    if (width <= 0 || length <= 0) return source.PaperError();
    DeviceContext* dc = nullptr;
    {
        std::lock_guard guard(job_.lock);
        if (!document_) return rc::kNotReady;
        dc = document_->dc();
    }
    const int32_t scale = ComputePrintScale(width, length, orientation);
    // Recorded pages want the compatible graphics mode: the only mode these contexts have.
    dc->SetMapMode(kMmAnisotropic);
    dc->SetWindowExtEx(100, 100);
    dc->SetViewportExtEx(scale, scale);

    const PrinterSettingsEditor::LayoutSettings& layout = job_.settings.Layout();
    if (!layout.scalePrint && !layout.multiPrint) {
        const int32_t c = MatchPrinterPaper(code, width, length, orientation, scale);
        if (c != rc::kOk) return c;
    }
    POINT origin{};
    if (const int32_t c = ComputePrintOrigin(width, length, orientation, &origin); c != rc::kOk) {
        return c;
    }
    if (!dc->SetWindowOrgEx(0, 0) || !dc->SetViewportOrgEx(origin.x, origin.y)) return -10205;
    {
        std::lock_guard guard(job_.lock);
        if (!sheetOpen_) {
            if (const int32_t c = document_->StartPage(); c != rc::kOk) {
                return job_.cancelled() ? rc::kJobCancelled : c;
            }
            sheetOpen_ = true;
        }
        SetPageClip(dc);
    }
    *pump = true;
    // The printer context never asks for bands: the page is drawn once.
    int32_t result = source.Draw(dc);
    dc->SelectClipRgn(0);
    // The abort procedure's turn at the page's end: a click on the cancel dialog waiting in the
    // queue stops this page.
    PumpGuiEvents();
    if (job_.cancelled() && (result == rc::kOk || (result == -1 && source.IsReport()))) {
        // The abort procedure stopped the spooler's work on this page.
        result = rc::kJobCancelled;
    }
    if (result != rc::kOk) return result;
    std::lock_guard guard(job_.lock);
    if (sheetOpen_ && (!layout.multiPrint || secondHalf_)) {
        const int32_t c = document_->EndPage();
        sheetOpen_ = false;
        if (c != rc::kOk) {
            *pump = false;
            return job_.cancelled() ? rc::kOk : c;
        }
    }
    secondHalf_ = !secondHalf_;
    return rc::kOk;
}

}  // namespace kp
