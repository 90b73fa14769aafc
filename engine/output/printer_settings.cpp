#include "engine/output/printer_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/core/paper.h"

namespace kp {

using plat::DevMode;

namespace {

// The paper codes a size may take, in order: the engine's table of 1-118.
constexpr int32_t kLastStandardPaper = 118;

int32_t HundredthsToTenths(int32_t v) {
    return static_cast<int32_t>(std::lround(v / 10.0));
}

int16_t Saturate16(int64_t v) {
    return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
}

std::string Cut(const std::string& text, size_t bytes) {
    return text.size() <= bytes ? text : text.substr(0, bytes);
}

struct SourceKeyword {
    const char* keyword;
    int16_t code;
};
// media-source keywords with a spooler bin of their own; any other keyword is numbered from 257.
constexpr SourceKeyword kSourceKeywords[] = {
    {"top", plat::kDmBinUpper},       {"tray-1", plat::kDmBinUpper},
    {"bottom", plat::kDmBinLower},    {"tray-2", plat::kDmBinLower},
    {"middle", plat::kDmBinMiddle},   {"tray-3", plat::kDmBinMiddle},
    {"manual", plat::kDmBinManual},   {"envelope", plat::kDmBinEnvelope},
    {"auto", plat::kDmBinAuto},       {"large-capacity", plat::kDmBinLargeCapacity},
    {"main", plat::kDmBinFormSource},
};

const CodedPaper* PaperByCode(const PrinterModel& model, int32_t code) {
    for (const auto& p : model.papers) {
        if (p.code == code) return &p;
    }
    return nullptr;
}

bool HasSource(const PrinterModel& model, int32_t code) {
    return std::any_of(model.sources.begin(), model.sources.end(),
                       [&](const CodedSource& s) { return s.code == code; });
}

bool CustomSizeFits(const PrinterModel& model, int32_t width, int32_t length) {
    return (model.fields & (plat::kDmPaperWidth | plat::kDmPaperLength)) != 0 &&
           model.minWidth != 0 && model.maxWidth != 0 && width >= model.minWidth &&
           width <= model.maxWidth && length >= model.minLength && length <= model.maxLength;
}

// The resolution a record prints at: its own when the printer has it, else by quality (draft
// and low the coarsest, high the finest, medium the default).
plat::Resolution ResolutionOf(const PrinterModel& model, const DevMode& dm) {
    const plat::Resolution fallback =
        model.resolutions.empty()
            ? plat::Resolution{dm.dmPrintQuality > 0 ? dm.dmPrintQuality : 0, 0}
            : model.resolutions.front();
    plat::Resolution chosen{0, 0};
    if (dm.dmPrintQuality > 0) {
        for (const auto& r : model.resolutions) {
            if (r.x == dm.dmPrintQuality && (dm.dmYResolution <= 0 || r.y == dm.dmYResolution)) {
                chosen = r;
                break;
            }
        }
        if (chosen.x == 0 && model.resolutions.empty()) {
            chosen = {dm.dmPrintQuality,
                      dm.dmYResolution > 0 ? dm.dmYResolution : dm.dmPrintQuality};
        }
    } else if (!model.resolutions.empty()) {
        auto byArea = model.resolutions;
        std::sort(byArea.begin(), byArea.end(), [](const auto& a, const auto& b) {
            return int64_t{a.x} * a.y < int64_t{b.x} * b.y;
        });
        if (dm.dmPrintQuality == -1 || dm.dmPrintQuality == -2) chosen = byArea.front();
        if (dm.dmPrintQuality == -4) chosen = byArea.back();
    }
    if (chosen.x == 0) {
        chosen = model.defaults.dmPrintQuality > 0
                     ? plat::Resolution{model.defaults.dmPrintQuality, model.defaults.dmYResolution}
                     : fallback;
    }
    if (chosen.y == 0) chosen.y = chosen.x;
    return chosen;
}

}  // namespace

uint16_t StandardPaperCode(int32_t width, int32_t length, int32_t tolerance) {
    // The closest standard size within the tolerance; of equal sizes the lowest code.
    uint16_t best = 0;
    int32_t bestOff = tolerance + 1;
    for (int32_t code = 1; code <= kLastStandardPaper; ++code) {
        const int32_t dims = GetPaperDimensions(code);
        if (dims == -1) continue;
        const int32_t w = (dims >> 16) & 0xFFFF;
        const int32_t l = dims & 0xFFFF;
        const int32_t off = std::max(std::abs(w - width), std::abs(l - length));
        if (off < bestOff) {
            best = static_cast<uint16_t>(code);
            bestOff = off;
        }
    }
    return best;
}

CodedSize StandardPaperOf(const plat::MediaInfo& m) {
    CodedSize size{0, HundredthsToTenths(m.width), HundredthsToTenths(m.length)};
    // The media name says exactly which paper it is; the size the queue converted it to may lie
    // off (a driver's sizes in whole points give an A3 of 297.04 x 420.16 mm).
    int32_t w = 0, l = 0;
    if (plat::PwgMediaSize(m.media, &w, &l)) {
        size.width = HundredthsToTenths(w);
        size.length = HundredthsToTenths(l);
        size.code = StandardPaperCode(size.width, size.length);
    }
    if (size.code == 0) {
        size.code = StandardPaperCode(HundredthsToTenths(m.width), HundredthsToTenths(m.length),
                                      kConvertedPaperTolerance);
    }
    if (size.code != 0) {
        // A standard paper has the size of its code, as a driver lists it.
        const int32_t dims = GetPaperDimensions(size.code);
        size.width = (dims >> 16) & 0xFFFF;
        size.length = dims & 0xFFFF;
    }
    return size;
}

int16_t StandardSourceCode(const std::string& keyword) {
    for (const auto& k : kSourceKeywords) {
        if (keyword == k.keyword) return k.code;
    }
    return 0;
}

uint32_t PrinterStatusBits(const plat::PrinterCapabilities& caps) {
    struct Reason {
        const char* name;
        uint32_t bit;
    };
    // printer-state-reasons with a spooler status bit; their -report, -warning and -error forms
    // count alike.
    static constexpr Reason kReasons[] = {
        {"paused", 0x1},
        {"media-jam", 0x8},
        {"media-empty", 0x10},
        {"media-needed", 0x20},
        {"offline", 0x80},
        {"output-area-full", 0x800},
        {"toner-low", 0x20000},
        {"toner-empty", 0x40000},
        {"marker-supply-low", 0x20000},
        {"marker-supply-empty", 0x40000},
        {"door-open", 0x400000},
        {"cover-open", 0x400000},
    };
    uint32_t bits = 0;
    if (caps.state == plat::kPrinterStopped) bits |= 0x1;
    if (caps.state == plat::kPrinterProcessing) bits |= 0x400;
    for (std::string reason : caps.stateReasons) {
        for (const char* suffix : {"-report", "-warning", "-error"}) {
            const std::string s = suffix;
            if (reason.size() > s.size() &&
                reason.compare(reason.size() - s.size(), s.size(), s) == 0) {
                reason.resize(reason.size() - s.size());
                break;
            }
        }
        for (const auto& r : kReasons) {
            if (reason == r.name) bits |= r.bit;
        }
    }
    return bits;
}

PrinterModel CodePrinter(const std::string& printerName, const plat::PrinterCapabilities& caps) {
    PrinterModel model;
    uint16_t nextPaper = 257;
    for (const auto& m : caps.media) {
        CodedPaper p;
        const CodedSize size = StandardPaperOf(m);
        p.code = size.code;
        p.width = size.width;
        p.length = size.length;
        // Two papers of one standard size keep the code apart: the second is numbered as a size
        // of its own, so that every code names one paper.
        if (p.code == 0 || PaperByCode(model, p.code) != nullptr) p.code = nextPaper++;
        // A queue that gives a paper no name of its own leaves its keyword or nothing.
        p.name =
            Cut(m.name.empty() || m.name == m.media ? plat::PaperDisplayName(m.media) : m.name, 63);
        p.media = m.media;
        p.margins = m;
        model.papers.push_back(std::move(p));
    }
    int16_t nextSource = 257;
    for (const auto& s : caps.sources) {
        CodedSource c;
        c.code = StandardSourceCode(s.keyword);
        if (c.code == 0 || HasSource(model, c.code)) c.code = nextSource++;
        c.name = Cut(s.name, 23);
        c.keyword = s.keyword;
        model.sources.push_back(std::move(c));
    }
    model.resolutions = caps.resolutions;
    model.copiesLimit = static_cast<uint16_t>(std::clamp(caps.copiesMax, 1, 9999));
    model.color = caps.color;
    model.status = PrinterStatusBits(caps);
    if (caps.customMaxWidth != 0) {
        model.minWidth = Saturate16(HundredthsToTenths(caps.customMinWidth));
        model.minLength = Saturate16(HundredthsToTenths(caps.customMinLength));
        model.maxWidth = Saturate16(HundredthsToTenths(caps.customMaxWidth));
        model.maxLength = Saturate16(HundredthsToTenths(caps.customMaxLength));
        model.customMargins = caps.customMargins;
        // The user-defined size is a paper of the list, as spooler drivers list it, so that a
        // host may choose it by code; its size is the largest the printer takes.
        CodedPaper user;
        user.code = plat::kDmPaperUser;
        user.name = "ユーザー定義サイズ";
        user.width = model.maxWidth;
        user.length = model.maxLength;
        user.margins = caps.customMargins;
        model.papers.push_back(std::move(user));
    }

    model.fields = plat::kDmOrientation | plat::kDmPaperSize;
    if (caps.customMaxWidth != 0) model.fields |= plat::kDmPaperWidth | plat::kDmPaperLength;
    if (caps.copiesMax > 1) model.fields |= plat::kDmCopies;
    if (!model.sources.empty()) model.fields |= plat::kDmDefaultSource;
    if (!model.resolutions.empty()) model.fields |= plat::kDmPrintQuality | plat::kDmYResolution;
    if (caps.color) model.fields |= plat::kDmColor;

    DevMode& d = model.defaults;
    d = plat::MakeDevMode(printerName);
    d.dmFields = model.fields;
    d.dmOrientation = plat::kDmOrientPortrait;
    const CodedPaper* paper = nullptr;
    for (const auto& p : model.papers) {
        if (p.media == caps.defaultMedia) paper = &p;
    }
    if (paper == nullptr && !model.papers.empty()) paper = &model.papers.front();
    if (paper != nullptr) {
        d.dmPaperSize = static_cast<int16_t>(paper->code);
        d.dmPaperWidth = Saturate16(paper->width);
        d.dmPaperLength = Saturate16(paper->length);
    }
    d.dmScale = 100;
    d.dmCopies = 1;
    for (const auto& s : model.sources) {
        if (s.keyword == caps.defaultSource) d.dmDefaultSource = s.code;
    }
    if (d.dmDefaultSource == 0 && !model.sources.empty()) {
        d.dmDefaultSource = model.sources.front().code;
    }
    plat::Resolution res = caps.defaultResolution;
    if (res.x == 0 && !caps.resolutions.empty()) res = caps.resolutions.front();
    d.dmPrintQuality = Saturate16(res.x);
    d.dmYResolution = Saturate16(res.y);
    d.dmColor = caps.color && caps.colorDefault ? plat::kDmColorColor : plat::kDmColorMonochrome;
    return model;
}

DevMode MergeDevMode(const PrinterModel& model, const DevMode& in) {
    DevMode out = model.defaults;
    const uint32_t given = in.dmFields & model.fields;
    if ((given & plat::kDmOrientation) && (in.dmOrientation == plat::kDmOrientPortrait ||
                                           in.dmOrientation == plat::kDmOrientLandscape)) {
        out.dmOrientation = in.dmOrientation;
    }
    if (given & plat::kDmPaperSize) {
        if (in.dmPaperSize == plat::kDmPaperUser) {
            if (CustomSizeFits(model, in.dmPaperWidth, in.dmPaperLength)) {
                out.dmPaperSize = plat::kDmPaperUser;
                out.dmPaperWidth = in.dmPaperWidth;
                out.dmPaperLength = in.dmPaperLength;
            }
        } else if (const CodedPaper* p = PaperByCode(model, in.dmPaperSize)) {
            out.dmPaperSize = static_cast<int16_t>(p->code);
            out.dmPaperWidth = Saturate16(p->width);
            out.dmPaperLength = Saturate16(p->length);
        }
    }
    if (given & plat::kDmCopies) {
        out.dmCopies = static_cast<int16_t>(std::clamp<int32_t>(in.dmCopies, 1, model.copiesLimit));
    }
    if ((given & plat::kDmDefaultSource) && HasSource(model, in.dmDefaultSource)) {
        out.dmDefaultSource = in.dmDefaultSource;
    }
    if (given & plat::kDmPrintQuality) {
        const bool byQuality = in.dmPrintQuality <= -1 && in.dmPrintQuality >= -4;
        const bool byDots =
            std::any_of(model.resolutions.begin(), model.resolutions.end(),
                        [&](const plat::Resolution& r) { return r.x == in.dmPrintQuality; });
        if (byQuality || byDots) {
            out.dmPrintQuality = in.dmPrintQuality;
            out.dmYResolution = byDots && (given & plat::kDmYResolution) && in.dmYResolution > 0
                                    ? in.dmYResolution
                                    : (byDots ? in.dmPrintQuality : out.dmYResolution);
        }
    }
    if ((given & plat::kDmColor) &&
        (in.dmColor == plat::kDmColorMonochrome || in.dmColor == plat::kDmColorColor)) {
        out.dmColor = in.dmColor;
    }
    return out;
}

bool MeasurePage(const PrinterModel& model, const DevMode& dm, PageGeometry* out) {
    int32_t width = 0;
    int32_t length = 0;
    plat::MediaInfo margins;
    if (dm.dmPaperSize == plat::kDmPaperUser) {
        width = dm.dmPaperWidth;
        length = dm.dmPaperLength;
        margins = model.customMargins;
    } else if (const CodedPaper* p = PaperByCode(model, dm.dmPaperSize)) {
        width = p->width;
        length = p->length;
        margins = p->margins;
    } else {
        return false;
    }
    const plat::Resolution res = ResolutionOf(model, dm);
    if (width <= 0 || length <= 0 || res.x <= 0 || res.y <= 0) return false;
    int32_t left = margins.left, top = margins.top, right = margins.right, bottom = margins.bottom;
    if (dm.dmOrientation == plat::kDmOrientLandscape) {
        // The sheet is turned a quarter counter-clockwise: its top edge becomes the left one.
        std::swap(width, length);
        const int32_t l = left;
        left = top;
        top = right;
        right = bottom;
        bottom = l;
    }
    const auto px = [](int64_t hundredths, int32_t dpi) {
        return static_cast<int32_t>((hundredths * dpi + 1270) / 2540);
    };
    PageGeometry g;
    g.dpiX = res.x;
    g.dpiY = res.y;
    g.physicalWidth = px(int64_t{width} * 10, res.x);
    g.physicalHeight = px(int64_t{length} * 10, res.y);
    g.offsetX = px(left, res.x);
    g.offsetY = px(top, res.y);
    g.horzRes = std::max(1, g.physicalWidth - g.offsetX - px(right, res.x));
    g.vertRes = std::max(1, g.physicalHeight - g.offsetY - px(bottom, res.y));
    g.sheetWidth = width;
    g.sheetLength = length;
    if (g.physicalWidth <= 0 || g.physicalHeight <= 0) return false;
    *out = g;
    return true;
}

plat::JobOptions JobOptionsFor(const PrinterModel& model, const DevMode& dm) {
    plat::JobOptions options;
    if (dm.dmPaperSize == plat::kDmPaperUser) {
        if (dm.dmPaperWidth > 0 && dm.dmPaperLength > 0) {
            char custom[64];
            std::snprintf(custom, sizeof custom, "Custom.%gx%gmm", dm.dmPaperWidth / 10.0,
                          dm.dmPaperLength / 10.0);
            options.emplace_back("media", custom);
        }
    } else if (const CodedPaper* p = PaperByCode(model, dm.dmPaperSize)) {
        options.emplace_back("media", p->media);
    }
    for (const auto& s : model.sources) {
        if (s.code == dm.dmDefaultSource) options.emplace_back("media-source", s.keyword);
    }
    if (model.fields & plat::kDmCopies) {
        options.emplace_back("copies", std::to_string(std::max<int>(1, dm.dmCopies)));
    }
    if (model.fields & plat::kDmColor) {
        options.emplace_back("print-color-mode",
                             dm.dmColor == plat::kDmColorColor ? "color" : "monochrome");
    }
    if (dm.dmPrintQuality > 0 && !model.resolutions.empty()) {
        const plat::Resolution r = ResolutionOf(model, dm);
        options.emplace_back("printer-resolution",
                             std::to_string(r.x) + "x" + std::to_string(r.y) + "dpi");
    } else if (dm.dmPrintQuality < 0 && dm.dmPrintQuality >= -4) {
        // print-quality: 3 draft, 4 normal, 5 high.
        static constexpr const char* kQuality[] = {"3", "3", "4", "5"};
        options.emplace_back("print-quality", kQuality[-dm.dmPrintQuality - 1]);
    }
    return options;
}

}  // namespace kp
