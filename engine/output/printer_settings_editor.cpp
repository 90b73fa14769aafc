#include "engine/output/printer_settings_editor.h"

#include <algorithm>
#include <cmath>

#include "engine/output/printer_codes.h"

namespace kp {

using plat::DevMode;
using namespace plat;

namespace {

int16_t Saturate16(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

}  // namespace

DevMode PrinterSettingsEditor::MergedForPrinter(const PrinterModel& model, const DevMode& dm) {
    DevMode merged = MergeDevMode(model, dm);
    if (merged.dmPaperSize == kDmPaperUser) {
        merged.dmPaperWidth = dm.dmPaperWidth;
        merged.dmPaperLength = dm.dmPaperLength;
    }
    return merged;
}

int32_t PrinterSettingsEditor::Apply(const DevMode& dm) {
    if (!printer_.Bound()) return rc::kNotReady;
    DevMode merged = MergedForPrinter(printer_.Model(), dm);
    PageGeometry page;
    if (!MeasurePage(printer_.Model(), merged, &page)) return rc::kNoPrinterDc;
    ApplyMeasurement(page, &merged);
    current_ = merged;
    return rc::kOk;
}

void PrinterSettingsEditor::ApplyMeasurement(const PageGeometry& page, DevMode* dm) {
    // The rounding of the page measurement: every value plus 0.5, truncated; margins through
    // whole millimetres.
    const double dx = page.dpiX, dy = page.dpiY;
    const auto round = [](double v) { return std::trunc(v + 0.5); };
    int32_t across = page.physicalWidth, down = page.physicalHeight;
    double ax = dx, ay = dy;
    if (dm->dmOrientation == kDmOrientLandscape) {
        // The record keeps the paper upright: its width is the turned page's height. (Writing
        // the turned width would turn a user-defined size again at the next reset.)
        std::swap(across, down);
        std::swap(ax, ay);
    }
    dm->dmPaperWidth = Saturate16(round(across / ax * 254));
    dm->dmPaperLength = Saturate16(round(down / ay * 254));
    const double left = round(page.offsetX / dx * 25.4);
    const double top = round(page.offsetY / dy * 25.4);
    marginLeft_ = Saturate16(left * 10);
    marginTop_ = Saturate16(top * 10);
    marginRight_ =
        Saturate16(round((page.physicalWidth / dx * 25.4 - page.horzRes / dx * 25.4 - left) * 10));
    marginBottom_ =
        Saturate16(round((page.physicalHeight / dy * 25.4 - page.vertRes / dy * 25.4 - top) * 10));
    physicalWidth_ = page.physicalWidth;
    physicalHeight_ = page.physicalHeight;
}

int32_t PrinterSettingsEditor::CheckPut(bool ready) const {
    if (!ready) return rc::kOk;
    if (replacement_) return rc::kReplacementWaiting;
    if (!current_) return rc::kNotReady;
    return rc::kOk;
}

bool PrinterSettingsEditor::HasPendingEdits() const {
    const DevMode& p = pending_;
    return p.dmOrientation || p.dmPaperSize || p.dmPaperLength || p.dmPaperWidth || p.dmCopies ||
           p.dmDefaultSource || p.dmPrintQuality || p.dmColor;
}

int32_t PrinterSettingsEditor::PutPaperSize(int16_t code, bool ready) {
    const auto& papers = printer_.Model().papers;
    const auto paper = std::find_if(papers.begin(), papers.end(), [&](const CodedPaper& p) {
        return p.code == static_cast<uint16_t>(code);
    });
    if (paper == papers.end()) return rc::kPaperNotInList;
    if (const int32_t refused = CheckPut(ready); refused != rc::kOk) return refused;
    pending_.dmPaperSize = code;
    if (code != kDmPaperUser) {
        pending_.dmPaperWidth = static_cast<int16_t>(paper->width);
        pending_.dmPaperLength = static_cast<int16_t>(paper->length);
    }
    return rc::kOk;
}

int32_t PrinterSettingsEditor::PutPaperWidth(int16_t width, bool ready) {
    if (width < -20000 || width > 20000) return rc::kOutOfRange;
    if (!printer_.Supports(kDmPaperWidth)) return rc::kFieldNotSupported;
    if (pending_.dmPaperSize != kDmPaperUser &&
        (!current_ || current_->dmPaperSize != kDmPaperUser)) {
        return rc::kPaperNotInList;
    }
    if (const int32_t refused = CheckPut(ready); refused != rc::kOk) return refused;
    pending_.dmPaperWidth = width;
    return rc::kOk;
}

int32_t PrinterSettingsEditor::PutPaperLength(int16_t length, bool ready) {
    if (length < -20000 || length > 20000) return rc::kOutOfRange;
    if (!printer_.Supports(kDmPaperLength)) return rc::kFieldNotSupported;
    if (pending_.dmPaperSize != kDmPaperUser &&
        (!current_ || current_->dmPaperSize != kDmPaperUser)) {
        return rc::kPaperNotInList;
    }
    if (const int32_t refused = CheckPut(ready); refused != rc::kOk) return refused;
    pending_.dmPaperLength = length;
    return rc::kOk;
}

int32_t PrinterSettingsEditor::PutSource(int16_t source, bool ready) {
    if (!printer_.Supports(kDmDefaultSource)) return rc::kFieldNotSupported;
    const auto& sources = printer_.Model().sources;
    if (std::none_of(sources.begin(), sources.end(),
                     [&](const CodedSource& c) { return c.code == source; })) {
        return rc::kSourceNotInList;
    }
    if (const int32_t refused = CheckPut(ready); refused != rc::kOk) return refused;
    pending_.dmDefaultSource = source;
    return rc::kOk;
}

int32_t PrinterSettingsEditor::PutOrientation(uint16_t orientation, bool ready) {
    if (orientation != 1 && orientation != 2) return rc::kOutOfRange;
    if (!printer_.Supports(kDmOrientation)) return rc::kFieldNotSupported;
    if (const int32_t refused = CheckPut(ready); refused != rc::kOk) return refused;
    pending_.dmOrientation = static_cast<int16_t>(orientation);
    return rc::kOk;
}

int32_t PrinterSettingsEditor::PutCopies(uint16_t copies) {
    if (!printer_.Supports(kDmCopies)) return rc::kFieldNotSupported;
    if (replacement_) return rc::kReplacementWaiting;
    // 0 would read as "no edit"; it is out of range like a count above the limit.
    if (copies == 0 || copies > printer_.CopiesLimit()) return rc::kOutOfRange;
    if (!current_) return rc::kNotReady;
    pending_.dmCopies = static_cast<int16_t>(copies);
    return rc::kOk;
}

int32_t PrinterSettingsEditor::PutQuality(int16_t quality) {
    if (!printer_.Supports(kDmPrintQuality)) return rc::kFieldNotSupported;
    if (replacement_) return rc::kReplacementWaiting;
    if (!current_) return rc::kNotReady;
    const bool named = quality <= -1 && quality >= -4;
    const auto& resolutions = printer_.Resolutions();
    const bool dots =
        quality > 0 && std::any_of(resolutions.begin(), resolutions.end(),
                                   [&](const Resolution& r) { return r.x == quality; });
    if (!named && !dots) return rc::kOutOfRange;
    pending_.dmPrintQuality = quality;
    return rc::kOk;
}

int32_t PrinterSettingsEditor::PutColor(uint16_t color) {
    if (replacement_) return rc::kReplacementWaiting;
    if (!printer_.Supports(kDmColor)) return rc::kFieldNotSupported;
    if (color != 1 && color != 2) return rc::kOutOfRange;
    if (!current_) return rc::kNotReady;
    pending_.dmColor = static_cast<int16_t>(color);
    return rc::kOk;
}

int32_t PrinterSettingsEditor::UpdateReady() {
    if (!current_) return rc::kNotReady;
    if (!replacement_ && !HasPendingEdits()) return rc::kOk;
    DevMode next = replacement_ ? *replacement_ : *current_;
    if (!replacement_) {
        if (pending_.dmColor) next.dmColor = pending_.dmColor;
        if (pending_.dmCopies) next.dmCopies = pending_.dmCopies;
        if (pending_.dmPaperSize) next.dmPaperSize = pending_.dmPaperSize;
        if (pending_.dmOrientation) next.dmOrientation = pending_.dmOrientation;
        // A zero pending size is no edit: an orientation alone keeps a user-defined size.
        const bool upright = next.dmOrientation == kDmOrientPortrait;
        if (pending_.dmPaperWidth) {
            (upright ? next.dmPaperWidth : next.dmPaperLength) = pending_.dmPaperWidth;
        }
        if (pending_.dmPaperLength) {
            (upright ? next.dmPaperLength : next.dmPaperWidth) = pending_.dmPaperLength;
        }
        if (pending_.dmDefaultSource) next.dmDefaultSource = pending_.dmDefaultSource;
        if (pending_.dmPrintQuality) next.dmPrintQuality = pending_.dmPrintQuality;
    }
    replacement_.reset();
    return Apply(next);
}

int32_t PrinterSettingsEditor::UpdateOpen(const std::function<int32_t()>& reset) {
    if (!current_) return rc::kNotReady;
    const DevMode before = *current_;
    DevMode& dm = *current_;
    bool written = false;
    if (pending_.dmPaperSize) {
        dm.dmPaperSize = pending_.dmPaperSize;
        written = true;
    }
    if (pending_.dmOrientation) {
        dm.dmOrientation = pending_.dmOrientation;
        written = true;
    }
    const bool upright = dm.dmOrientation == kDmOrientPortrait;
    if (pending_.dmPaperWidth) {
        (upright ? dm.dmPaperWidth : dm.dmPaperLength) = pending_.dmPaperWidth;
        written = true;
    }
    if (pending_.dmPaperLength) {
        (upright ? dm.dmPaperLength : dm.dmPaperWidth) = pending_.dmPaperLength;
        written = true;
    }
    if (pending_.dmDefaultSource) {
        dm.dmDefaultSource = pending_.dmDefaultSource;
        written = true;
    }
    if (written) {
        if (const int32_t code = reset(); code != rc::kOk) {
            *current_ = before;  // the pending edits stay for another try
            return code;
        }
    }
    return rc::kOk;
}

void PrinterSettingsEditor::CommitEdits() {
    pending_ = DevMode{};
    layout_ = deferred_;
}

void PrinterSettingsEditor::DropEdits() {
    pending_ = DevMode{};
    replacement_.reset();
    deferred_ = layout_;
}

PrinterSelectDialog::Layout PrinterSettingsEditor::SelectionLayout() const {
    PrinterSelectDialog::Layout layout;
    layout.scalePrint = layout_.scalePrint;
    layout.scalePaperFit = layout_.scalePaperFit;
    layout.multiPrint = layout_.multiPrint;
    layout.scale = layout_.scale;
    layout.scalePrintLayout = layout_.scalePrintLayout;
    layout.multiPrintLayout = layout_.multiPrintLayout;
    return layout;
}

void PrinterSettingsEditor::TakeChosenLayout(const PrinterSelectDialog::Layout& chosen) {
    for (LayoutSettings* l : {&layout_, &deferred_}) {
        l->scalePrint = chosen.scalePrint;
        l->scalePaperFit = chosen.scalePaperFit;
        l->multiPrint = chosen.multiPrint;
        l->scale = chosen.scale;
        l->scalePrintLayout = chosen.scalePrintLayout == 2 || chosen.scalePrintLayout == 3
                                  ? chosen.scalePrintLayout
                                  : int16_t{1};
        l->multiPrintLayout = chosen.multiPrintLayout;
    }
}

}  // namespace kp
