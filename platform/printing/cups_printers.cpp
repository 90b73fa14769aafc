#include <cups/cups.h>
#include <cups/ipp.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>

#include "platform/printing/printers.h"

namespace plat {

namespace {

PrinterInfo FromDest(const cups_dest_t& dest) {
    PrinterInfo info;
    info.name = dest.name ? dest.name : "";
    if (dest.instance) info.name += std::string("/") + dest.instance;
    if (const char* model =
            cupsGetOption("printer-make-and-model", dest.num_options, dest.options)) {
        info.makeAndModel = model;
    }
    if (const char* uri = cupsGetOption("device-uri", dest.num_options, dest.options)) {
        info.deviceUri = uri;
    }
    info.isDefault = dest.is_default != 0;
    return info;
}

struct DestDeleter {
    void operator()(cups_dest_t* d) const { cupsFreeDests(1, d); }
};
struct InfoDeleter {
    void operator()(cups_dinfo_t* d) const { cupsFreeDestInfo(d); }
};
struct IppDeleter {
    void operator()(ipp_t* p) const { ippDelete(p); }
};
using DestPtr = std::unique_ptr<cups_dest_t, DestDeleter>;
using InfoPtr = std::unique_ptr<cups_dinfo_t, InfoDeleter>;
using IppPtr = std::unique_ptr<ipp_t, IppDeleter>;

// "queue/instance" names an instance of a queue.
DestPtr NamedDest(const std::string& printer) {
    const auto slash = printer.find('/');
    const std::string queue = printer.substr(0, slash);
    const std::string instance = slash == std::string::npos ? "" : printer.substr(slash + 1);
    return DestPtr(cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(),
                                    instance.empty() ? nullptr : instance.c_str()));
}

std::vector<std::string> Strings(ipp_attribute_t* attr) {
    std::vector<std::string> out;
    for (int i = 0; attr && i < ippGetCount(attr); ++i) {
        if (const char* s = ippGetString(attr, i, nullptr)) out.emplace_back(s);
    }
    return out;
}

// The smallest margin the destination supports along one edge (0.01 mm), 0 when it says none.
int32_t SmallestMargin(cups_dest_t* dest, cups_dinfo_t* info, const char* name) {
    ipp_attribute_t* attr = cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, info, name);
    int32_t best = INT_MAX;
    for (int i = 0; attr && i < ippGetCount(attr); ++i) {
        best = std::min(best, static_cast<int32_t>(ippGetInteger(attr, i)));
    }
    return best == INT_MAX ? 0 : best;
}

PrintError FromIppStatus(ipp_status_t status) {
    switch (status) {
        case IPP_STATUS_OK:
        case IPP_STATUS_OK_IGNORED_OR_SUBSTITUTED:
        case IPP_STATUS_OK_CONFLICTING:
            return PrintError::kOk;
        case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        case IPP_STATUS_ERROR_TOO_MANY_JOBS:
        case IPP_STATUS_ERROR_BUSY:
            return PrintError::kQueueFull;
        case IPP_STATUS_ERROR_REQUEST_ENTITY:
            return PrintError::kNoSpace;
        case IPP_STATUS_ERROR_NOT_FOUND:
            return PrintError::kNoSuchJob;
        default:
            return PrintError::kFailed;
    }
}

std::string JobUri(int32_t jobId) {
    return "ipp://localhost/jobs/" + std::to_string(jobId);
}

// The job must belong to the named queue: a job id of another queue is no job of this printer.
bool JobOnQueue(ipp_t* response, const std::string& printer) {
    ipp_attribute_t* attr = ippFindAttribute(response, "job-printer-uri", IPP_TAG_URI);
    const char* uri = attr ? ippGetString(attr, 0, nullptr) : nullptr;
    if (uri == nullptr) return true;
    const std::string queue = printer.substr(0, printer.find('/'));
    const std::string tail = "/printers/" + queue;
    const std::string u = uri;
    return u.size() >= tail.size() && u.compare(u.size() - tail.size(), tail.size(), tail) == 0;
}

class CupsPrinterSystem : public PrinterSystem {
  public:
    bool ListPrinters(std::vector<PrinterInfo>* out) override {
        out->clear();
        cups_dest_t* dests = nullptr;
        const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
        for (int i = 0; i < count; ++i) out->push_back(FromDest(dests[i]));
        cupsFreeDests(count, dests);
        return true;
    }

    bool DefaultPrinter(std::string* name) override {
        std::vector<PrinterInfo> printers;
        ListPrinters(&printers);
        for (const auto& p : printers) {
            if (p.isDefault) {
                *name = p.name;
                return true;
            }
        }
        return false;
    }

    bool ReadCapabilities(const std::string& printer, PrinterCapabilities* out) override {
        DestPtr dest = NamedDest(printer);
        if (!dest) return false;
        InfoPtr info(cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get()));
        if (!info) return false;
        cups_dest_t* d = dest.get();
        cups_dinfo_t* di = info.get();
        PrinterCapabilities caps;

        const int media = cupsGetDestMediaCount(CUPS_HTTP_DEFAULT, d, di, CUPS_MEDIA_FLAGS_DEFAULT);
        for (int i = 0; i < media; ++i) {
            cups_size_t size{};
            if (!cupsGetDestMediaByIndex(CUPS_HTTP_DEFAULT, d, di, i, CUPS_MEDIA_FLAGS_DEFAULT,
                                         &size)) {
                continue;
            }
            MediaInfo m;
            m.media = size.media;
            const char* local =
                cupsLocalizeDestMedia(CUPS_HTTP_DEFAULT, d, di, CUPS_MEDIA_FLAGS_DEFAULT, &size);
            // Without a translation of its own libcups hands the keyword back; the coding of
            // the papers names those.
            m.name = local ? local : size.media;
            m.width = size.width;
            m.length = size.length;
            m.left = size.left;
            m.top = size.top;
            m.right = size.right;
            m.bottom = size.bottom;
            // The same paper may come once per margin variant; the first is kept.
            const bool seen = std::any_of(caps.media.begin(), caps.media.end(),
                                          [&](const MediaInfo& x) { return x.media == m.media; });
            if (!seen) caps.media.push_back(std::move(m));
        }
        // The destination's media-default; libcups' own default query answers Letter for any
        // queue without a "media" option.
        if (ipp_attribute_t* a = cupsFindDestDefault(CUPS_HTTP_DEFAULT, d, di, "media")) {
            if (const char* s = ippGetString(a, 0, nullptr)) caps.defaultMedia = s;
        }

        for (const auto& value :
             Strings(cupsFindDestSupported(CUPS_HTTP_DEFAULT, d, di, "media"))) {
            pwg_media_t* pwg = nullptr;
            if (value.rfind("custom_min_", 0) == 0 && (pwg = pwgMediaForPWG(value.c_str()))) {
                caps.customMinWidth = pwg->width;
                caps.customMinLength = pwg->length;
            } else if (value.rfind("custom_max_", 0) == 0 &&
                       (pwg = pwgMediaForPWG(value.c_str()))) {
                caps.customMaxWidth = pwg->width;
                caps.customMaxLength = pwg->length;
            }
        }
        if (caps.customMaxWidth == 0 || caps.customMinWidth == 0) {
            caps.customMinWidth = caps.customMinLength = 0;
            caps.customMaxWidth = caps.customMaxLength = 0;
        } else {
            caps.customMargins.left = SmallestMargin(d, di, "media-left-margin");
            caps.customMargins.top = SmallestMargin(d, di, "media-top-margin");
            caps.customMargins.right = SmallestMargin(d, di, "media-right-margin");
            caps.customMargins.bottom = SmallestMargin(d, di, "media-bottom-margin");
        }

        for (const auto& keyword :
             Strings(cupsFindDestSupported(CUPS_HTTP_DEFAULT, d, di, "media-source"))) {
            const char* local =
                cupsLocalizeDestValue(CUPS_HTTP_DEFAULT, d, di, "media-source", keyword.c_str());
            caps.sources.push_back({keyword, local ? local : keyword});
        }
        if (ipp_attribute_t* a = cupsFindDestDefault(CUPS_HTTP_DEFAULT, d, di, "media-source")) {
            if (const char* s = ippGetString(a, 0, nullptr)) caps.defaultSource = s;
        } else if (ipp_attribute_t* col =
                       cupsFindDestDefault(CUPS_HTTP_DEFAULT, d, di, "media-col")) {
            // Schedulers that give no media-source-default keep it in the default media-col.
            ipp_attribute_t* src =
                ippFindAttribute(ippGetCollection(col, 0), "media-source", IPP_TAG_ZERO);
            if (const char* s = src ? ippGetString(src, 0, nullptr) : nullptr) {
                caps.defaultSource = s;
            }
        }

        if (ipp_attribute_t* a =
                cupsFindDestSupported(CUPS_HTTP_DEFAULT, d, di, "printer-resolution")) {
            for (int i = 0; i < ippGetCount(a); ++i) {
                int y = 0;
                ipp_res_t units = IPP_RES_PER_INCH;
                const int x = ippGetResolution(a, i, &y, &units);
                if (units == IPP_RES_PER_CM) {
                    caps.resolutions.push_back({static_cast<int32_t>(x * 2.54 + 0.5),
                                                static_cast<int32_t>(y * 2.54 + 0.5)});
                } else {
                    caps.resolutions.push_back({x, y});
                }
            }
        }
        if (ipp_attribute_t* a =
                cupsFindDestDefault(CUPS_HTTP_DEFAULT, d, di, "printer-resolution")) {
            int y = 0;
            ipp_res_t units = IPP_RES_PER_INCH;
            const int x = ippGetResolution(a, 0, &y, &units);
            caps.defaultResolution = {x, y};
        } else if (!caps.resolutions.empty()) {
            caps.defaultResolution = caps.resolutions.front();
        }

        if (ipp_attribute_t* a = cupsFindDestSupported(CUPS_HTTP_DEFAULT, d, di, "copies")) {
            int upper = 1;
            if (ippGetValueTag(a) == IPP_TAG_RANGE) {
                ippGetRange(a, 0, &upper);
            } else if (ippGetValueTag(a) == IPP_TAG_INTEGER) {
                upper = ippGetInteger(a, 0);
            }
            caps.copiesMax = std::clamp(upper, 1, 32767);
        }

        for (const auto& mode :
             Strings(cupsFindDestSupported(CUPS_HTTP_DEFAULT, d, di, "print-color-mode"))) {
            if (mode == "color") caps.color = true;
        }
        if (ipp_attribute_t* a =
                cupsFindDestDefault(CUPS_HTTP_DEFAULT, d, di, "print-color-mode")) {
            const char* s = ippGetString(a, 0, nullptr);
            caps.colorDefault = s && std::strcmp(s, "color") == 0;
        }
        if (ipp_attribute_t* a =
                cupsFindDestDefault(CUPS_HTTP_DEFAULT, d, di, "orientation-requested")) {
            if (ippGetValueTag(a) == IPP_TAG_ENUM) caps.orientationDefault = ippGetInteger(a, 0);
        }

        if (const char* s = cupsGetOption("printer-state", d->num_options, d->options)) {
            caps.state = std::atoi(s);
        }
        if (const char* s = cupsGetOption("printer-state-reasons", d->num_options, d->options)) {
            std::stringstream list(s);
            std::string reason;
            while (std::getline(list, reason, ',')) {
                if (!reason.empty() && reason != "none") caps.stateReasons.push_back(reason);
            }
        }
        if (const char* s =
                cupsGetOption("printer-is-accepting-jobs", d->num_options, d->options)) {
            caps.accepting = std::strcmp(s, "true") == 0 || std::strcmp(s, "1") == 0;
        }
        *out = std::move(caps);
        return true;
    }

    PrintError CreateJob(const std::string& printer, const std::string& title,
                         const JobOptions& options, int32_t* jobId) override {
        DestPtr dest = NamedDest(printer);
        if (!dest) return PrintError::kNoPrinter;
        InfoPtr info(cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get()));
        if (!info) return PrintError::kFailed;
        int count = 0;
        cups_option_t* opts = nullptr;
        for (const auto& [name, value] : options) {
            count = cupsAddOption(name.c_str(), value.c_str(), count, &opts);
        }
        int id = 0;
        const ipp_status_t status = cupsCreateDestJob(CUPS_HTTP_DEFAULT, dest.get(), info.get(),
                                                      &id, title.c_str(), count, opts);
        cupsFreeOptions(count, opts);
        if (status > IPP_STATUS_OK_CONFLICTING || id <= 0) {
            const PrintError e = FromIppStatus(status);
            return e == PrintError::kOk || e == PrintError::kNoSuchJob ? PrintError::kFailed : e;
        }
        *jobId = id;
        return PrintError::kOk;
    }

    PrintError SubmitDocument(const std::string& printer, int32_t jobId,
                              const std::string& pdfPath) override {
        DestPtr dest = NamedDest(printer);
        if (!dest) return PrintError::kNoPrinter;
        InfoPtr info(cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get()));
        if (!info) return PrintError::kFailed;
        std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(pdfPath.c_str(), "rb"), std::fclose);
        if (!file) return PrintError::kFailed;
        if (cupsStartDestDocument(CUPS_HTTP_DEFAULT, dest.get(), info.get(), jobId, "document",
                                  CUPS_FORMAT_PDF, 0, nullptr, 1) != HTTP_STATUS_CONTINUE) {
            const PrintError e = FromIppStatus(cupsLastError());
            return e == PrintError::kOk ? PrintError::kFailed : e;
        }
        char buffer[65536];
        size_t n = 0;
        bool written = true;
        while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
            if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, buffer, n) != HTTP_STATUS_CONTINUE) {
                written = false;
                break;
            }
        }
        const ipp_status_t status =
            cupsFinishDestDocument(CUPS_HTTP_DEFAULT, dest.get(), info.get());
        if (!written || status > IPP_STATUS_OK_CONFLICTING) {
            const PrintError e = FromIppStatus(status);
            return e == PrintError::kOk ? PrintError::kFailed : e;
        }
        return PrintError::kOk;
    }

    PrintError CancelJob(const std::string& printer, int32_t jobId) override {
        DestPtr dest = NamedDest(printer);
        if (!dest) return PrintError::kNoPrinter;
        return FromIppStatus(cupsCancelDestJob(CUPS_HTTP_DEFAULT, dest.get(), jobId));
    }

    PrintError GetJobState(const std::string& printer, int32_t jobId, JobState* out) override {
        ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr,
                     JobUri(jobId).c_str());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                     cupsUser());
        static const char* const kWanted[] = {"job-state", "job-state-reasons", "job-printer-uri"};
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3,
                      nullptr, kWanted);
        IppPtr response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/jobs/"));
        const PrintError e = FromIppStatus(cupsLastError());
        if (e != PrintError::kOk) return e;
        if (!response || !JobOnQueue(response.get(), printer)) return PrintError::kNoSuchJob;
        JobState state;
        if (ipp_attribute_t* a = ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM)) {
            state.state = ippGetInteger(a, 0);
        }
        state.reasons =
            Strings(ippFindAttribute(response.get(), "job-state-reasons", IPP_TAG_KEYWORD));
        *out = std::move(state);
        return PrintError::kOk;
    }

    PrintError ControlJob(const std::string& printer, int32_t jobId, JobControl control) override {
        JobState current;
        if (const PrintError e = GetJobState(printer, jobId, &current); e != PrintError::kOk) {
            return e;
        }
        ipp_op_t op = IPP_OP_CANCEL_JOB;
        switch (control) {
            case JobControl::kHold:
                op = IPP_OP_HOLD_JOB;
                break;
            case JobControl::kRelease:
                op = IPP_OP_RELEASE_JOB;
                break;
            case JobControl::kRestart:
                op = IPP_OP_RESTART_JOB;
                break;
            case JobControl::kCancel:
            case JobControl::kPurge:
                op = IPP_OP_CANCEL_JOB;
                break;
        }
        ipp_t* request = ippNewRequest(op);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr,
                     JobUri(jobId).c_str());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                     cupsUser());
        if (control == JobControl::kPurge) {
            ippAddBoolean(request, IPP_TAG_OPERATION, "purge-job", 1);
        }
        IppPtr response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/jobs/"));
        return FromIppStatus(cupsLastError());
    }
};

}  // namespace

bool PwgMediaSize(const std::string& media, int32_t* width, int32_t* length) {
    // Sizes beyond any paper are no size (libcups parses what it is given).
    pwg_media_t* pwg = media.empty() ? nullptr : pwgMediaForPWG(media.c_str());
    if (pwg == nullptr || pwg->width <= 0 || pwg->length <= 0 || pwg->width > 1000000 ||
        pwg->length > 1000000) {
        return false;
    }
    *width = pwg->width;
    *length = pwg->length;
    return true;
}

std::string PaperDisplayName(const std::string& media) {
    // The names of PPD files are the ones people use ("A4", "B4" of the JIS series, "Letter");
    // libcups knows them for the standard sizes only.
    pwg_media_t* pwg = media.empty() ? nullptr : pwgMediaForPWG(media.c_str());
    if (pwg == nullptr || pwg->ppd == nullptr || *pwg->ppd == '\0') return media;
    return pwg->ppd;
}

std::shared_ptr<PrinterSystem> MakeCupsPrinterSystem() {
    return std::make_shared<CupsPrinterSystem>();
}

}  // namespace plat
