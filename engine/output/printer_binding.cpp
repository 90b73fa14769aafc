#include "engine/output/printer_binding.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "engine/output/printer_codes.h"

namespace kp {

using namespace plat;

namespace {

// Debugger output of the engine: lines go to standard error when QZS_DEBUG_OUTPUT is set, as a
// debugger would have shown them; otherwise they are dropped.
void DebugOutput(const char* line) {
    static const bool enabled = std::getenv("QZS_DEBUG_OUTPUT") != nullptr;
    if (enabled) std::fputs(line, stderr);
}

}  // namespace

int32_t PrinterBinding::Query(const std::string& printer, PrinterModel* out) {
    PrinterCapabilities caps;
    if (!GetPrinterSystem()->ReadCapabilities(printer, &caps)) return rc::kPrinterOpenFailed;
    PrinterModel model = CodePrinter(printer, caps);
    if (model.papers.empty()) return rc::kCapabilityQueryFailed;
    *out = std::move(model);
    return rc::kOk;
}

void PrinterBinding::Bind(PrinterModel model) {
    model_ = std::move(model);
    bound_ = true;
    resolutions_.clear();
    if (!model_.resolutions.empty() && model_.resolutions.size() <= 99) {
        resolutions_ = model_.resolutions;
    }
}

void PrinterBinding::MeasureInfo(const DevMode& settings) {
    infoDc_.reset();
    PageGeometry page;
    if (!MeasurePage(model_, settings, &page)) return;
    DeviceInfo info = DeviceInfo::ForPixels(page.horzRes, page.vertRes, page.dpiX, kDtRasPrinter);
    info.logPixelsY = page.dpiY;
    info.physicalWidth = page.physicalWidth;
    info.physicalHeight = page.physicalHeight;
    info.physicalOffsetX = page.offsetX;
    info.physicalOffsetY = page.offsetY;
    infoDc_ = std::make_unique<InfoDc>(info);
}

void PrinterBinding::AdoptLimits() {
    minWidth_ = model_.minWidth;
    minLength_ = model_.minLength;
    maxWidth_ = model_.maxWidth;
    maxLength_ = model_.maxLength;
    fields_ = model_.fields;
    copiesLimit_ = model_.copiesLimit;
}

void PrinterBinding::Clear() {
    model_ = PrinterModel{};
    bound_ = false;
    resolutions_.clear();
    infoDc_.reset();
    minWidth_ = minLength_ = maxWidth_ = maxLength_ = 0;
    fields_ = 0;
    portName_.clear();
}

void PrinterBinding::SetNames(std::string printer, std::u16string wide, std::u16string driver,
                              std::u16string port) {
    printerName_ = std::move(printer);
    printerNameWide_ = std::move(wide);
    driverName_ = std::move(driver);
    portName_ = std::move(port);
}

bool PrinterBinding::MatchPaper(int16_t* code, int32_t width, int32_t length) const {
    const uint16_t c = static_cast<uint16_t>(*code);
    if (c > kDmPaperUser) {
        for (const auto& p : model_.papers) {
            if (static_cast<int16_t>(p.width) == static_cast<int16_t>(width) &&
                static_cast<int16_t>(p.length) == static_cast<int16_t>(length) &&
                p.code != kDmPaperUser) {
                *code = static_cast<int16_t>(p.code);
                return true;
            }
        }
        return false;
    }
    if (c < kDmPaperUser) {
        return std::any_of(model_.papers.begin(), model_.papers.end(),
                           [&](const CodedPaper& p) { return p.code == c; });
    }
    return (fields_ & (kDmPaperWidth | kDmPaperLength)) != 0 && minWidth_ != 0 && maxWidth_ != 0 &&
           minWidth_ <= width && width <= maxWidth_ && minLength_ <= length && length <= maxLength_;
}

int16_t PrinterBinding::FindPaperBySize(int32_t width, int32_t length) const {
    for (size_t i = 0; i < model_.papers.size(); ++i) {
        const CodedPaper& p = model_.papers[i];
        if (std::abs(p.width - width) <= 1 && std::abs(p.length - length) <= 1) {
            return static_cast<int16_t>(p.code);
        }
        char line[48];
        std::snprintf(line, sizeof line, "%d,%d,%d\n", static_cast<int>(i), p.width, p.length);
        DebugOutput(line);
    }
    return -1;
}

const CodedPaper* PrinterBinding::PaperOfCode(int16_t code) const {
    for (const auto& p : model_.papers) {
        if (p.code == static_cast<uint16_t>(code)) return &p;
    }
    return nullptr;
}

int32_t PrinterBinding::JobStatus(int32_t job, uint32_t* word) const {
    JobState state;
    const PrintError e = GetPrinterSystem()->GetJobState(printerName_, job, &state);
    if (e == PrintError::kNoSuchJob) return rc::kNoSuchJob;
    if (e != PrintError::kOk) return rc::kJobQueryFailed;
    *word = JobStatusWord(state);
    return rc::kOk;
}

int32_t PrinterBinding::ControlJob(int32_t job, uint32_t command) const {
    static constexpr JobControl kControls[] = {JobControl::kHold, JobControl::kRelease,
                                               JobControl::kCancel, JobControl::kRestart,
                                               JobControl::kPurge};
    if (command < 1 || command > 5) return rc::kOutOfRange;
    const PrintError e = GetPrinterSystem()->ControlJob(printerName_, job, kControls[command - 1]);
    if (e == PrintError::kNoSuchJob) return rc::kNoSuchJob;
    return e == PrintError::kOk ? rc::kOk : rc::kJobControlFailed;
}

}  // namespace kp
