// qzs-report printers [--caps] | print FILE... --printer NAME [options] |
// job ID --printer NAME [status|pause|resume|cancel|restart|delete]
//
// The printers the engine sees, reports printed through a printer job (one document, one Print
// per file), and a spooled job's status and control, all through the engine's members.
#include <QApplication>
#include <charconv>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>

#include "engine/core/event_sinks.h"
#include "engine/include/kpengn_members.h"
#include "platform/printing/devmode.h"
#include "platform/qt_japanese.h"
#include "tools/report_host.h"

namespace qzsreport {
namespace {

using namespace plat;
using kp::ScriptableObject;

std::string Utf8(const Variant& v) {
    std::string text;
    Utf8FromWide(BstrView(v.bstrVal), &text);
    return text;
}

// Printing needs no GUI; the printer selection dialog does. For --select the tool owns the
// application, offscreen when there is no display.
std::unique_ptr<QGuiApplication> MakeGui() {
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    static int argc = 1;
    static char name[] = "qzs-report";
    static char* argv[] = {name, nullptr};
    // A widgets application: --select shows the engine's printer selection dialog.
    auto gui = std::make_unique<QApplication>(argc, argv);
    plat::LoadQtJapanese(*gui, "qzs-report");
    return gui;
}

ScriptableObject* CreatePrinter(const std::string& name) {
    Bstr text = BstrFromUtf8(name);
    if (text == nullptr && !name.empty()) throw EngineError{-7, "CreatePrinter"};
    Variant result{};
    try {
        result = Call(Engine::Get().app(), KPM_APPLICATION_CREATE_PRINTER, {VariantBstr(text)},
                      "CreatePrinter");
    } catch (...) {
        BstrFree(text);
        throw;
    }
    BstrFree(text);
    return AsObject(result);
}

// The copies limit is the largest Copies put the job accepts (a larger one answers -8).
int32_t CopiesLimit(ScriptableObject* job) {
    int32_t low = 1, high = 32767;
    while (low < high) {
        const int32_t mid = low + (high - low + 1) / 2;
        Variant v = VariantUI2(static_cast<uint16_t>(mid));
        kp::InvokeArgs args{&v, 1};
        Variant r{};
        if (job->Invoke(KPM_PRINTER_JOB_COPIES, kp::kInvokePut, &args, &r) == 0) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    Call(job, KPM_PRINTER_JOB_RESET_PENDING_SETTINGS, {}, "ResetPendingSettings");
    return low;
}

void PrintCaps(ScriptableObject* job) {
    const int16_t papers = Get(job, KPM_PRINTER_JOB_SUPPORT_PAPERS, "SupportPapers").iVal;
    for (int16_t i = 0; i < papers; ++i) {
        const uint16_t code =
            Call(job, KPM_PRINTER_JOB_GET_PAPER, {VariantUI2(i)}, "GetPaper").uiVal;
        Variant name = Call(job, KPM_PRINTER_JOB_GET_PAPER_NAME, {VariantUI2(i)}, "GetPaperName");
        const int16_t w =
            Call(job, KPM_PRINTER_JOB_GET_PAPER_WIDTH, {VariantI2(code)}, "GetPaperExtent").iVal;
        const int16_t l =
            Call(job, KPM_PRINTER_JOB_GET_PAPER_LENGTH, {VariantI2(code)}, "GetPaperExtent").iVal;
        std::printf("  paper %u %dx%d %s\n", code, w, l, Utf8(name).c_str());
        VariantClear(&name);
    }
    const int16_t sources = Get(job, KPM_PRINTER_JOB_SUPPORT_SOURCES, "SupportSources").iVal;
    for (int16_t i = 0; i < sources; ++i) {
        const uint16_t code =
            Call(job, KPM_PRINTER_JOB_GET_SOURCE, {VariantUI2(i)}, "GetSource").uiVal;
        Variant name = Call(job, KPM_PRINTER_JOB_GET_SOURCE_NAME, {VariantUI2(i)}, "GetSourceName");
        std::printf("  source %u %s\n", code, Utf8(name).c_str());
        VariantClear(&name);
    }
    // The settings record names the resolution the printer prints at by default.
    DevMode dm{};
    Variant ptr{};
    ptr.vt = VT_PTR;
    ptr.byref = &dm;
    Call(job, KPM_PRINTER_JOB_GET_DEV_MODE, {ptr}, "GetDevMode");
    const int16_t x = dm.dmPrintQuality;
    const int16_t y = dm.dmYResolution;
    std::printf("  resolution %dx%d\n", x, y > 0 ? y : x);
    std::printf("  copies %d\n", CopiesLimit(job));
    std::printf("  fields 0x%X\n",
                Get(job, KPM_PRINTER_JOB_SUPPORTED_FIELDS, "SupportedFields").ulVal);
    std::printf("  extents %dx%d %dx%d\n",
                Get(job, KPM_PRINTER_JOB_MIN_PAPER_WIDTH, "MinPaperWidth").iVal,
                Get(job, KPM_PRINTER_JOB_MIN_PAPER_LENGTH, "MinPaperLength").iVal,
                Get(job, KPM_PRINTER_JOB_MAX_PAPER_WIDTH, "MaxPaperWidth").iVal,
                Get(job, KPM_PRINTER_JOB_MAX_PAPER_LENGTH, "MaxPaperLength").iVal);
    std::printf("  margins %d %d %d %d\n",
                Get(job, KPM_PRINTER_JOB_MIN_TOP_MARGIN, "MinTopMargin").iVal,
                Get(job, KPM_PRINTER_JOB_MIN_LEFT_MARGIN, "MinLeftMargin").iVal,
                Get(job, KPM_PRINTER_JOB_MIN_BOTTOM_MARGIN, "MinBottomMargin").iVal,
                Get(job, KPM_PRINTER_JOB_MIN_RIGHT_MARGIN, "MinRightMargin").iVal);
}

int Printers(const std::vector<std::string>& args) {
    bool caps = false;
    for (const auto& a : args) {
        if (a != "--caps") return UsageError("usage: qzs-report printers [--caps]");
        caps = true;
    }
    Engine& engine = Engine::Get();
    if (!engine.loaded()) return UsageError(engine.loadError());
    ScriptableObject* app = engine.app();
    // The default printer is the one an empty name opens.
    std::string defaultName;
    {
        Variant result{};
        Variant empty = VariantBstr(nullptr);
        kp::InvokeArgs a{&empty, 1};
        if (app->Invoke(KPM_APPLICATION_CREATE_PRINTER, kp::kInvokeMethod, &a, &result) == 0) {
            ScriptableObject* job = AsObject(result);
            Variant name = Get(job, KPM_PRINTER_JOB_PRINTER_NAME, "PrinterName");
            defaultName = Utf8(name);
            VariantClear(&name);
            Call(job, KPM_PRINTER_JOB_CLOSE, {}, "Close");
        }
    }
    const uint32_t count = Get(app, KPM_APPLICATION_PRINTER_DEVICES, "PrinterDevices").ulVal;
    for (uint32_t n = 0; n < count; ++n) {
        Variant name = Call(app, KPM_APPLICATION_PRINTER_NAME, {VariantUI4(n)}, "PrinterName");
        Variant model =
            Call(app, KPM_APPLICATION_PRINTER_DEVICE_NAME, {VariantUI4(n)}, "PrinterDeviceName");
        Variant port =
            Call(app, KPM_APPLICATION_PRINTER_PORT_NAME, {VariantUI4(n)}, "PrinterPortName");
        const std::string printer = Utf8(name);
        std::printf("%s\t%s\t%s%s\n", printer.c_str(), Utf8(model).c_str(), Utf8(port).c_str(),
                    printer == defaultName ? "\tdefault" : "");
        VariantClear(&name);
        VariantClear(&model);
        VariantClear(&port);
        if (caps) {
            ScriptableObject* job = CreatePrinter(printer);
            PrintCaps(job);
            Call(job, KPM_PRINTER_JOB_CLOSE, {}, "Close");
        }
    }
    return kExitOk;
}

bool Number(const std::string& text, int32_t low, int32_t high, int32_t* out) {
    int32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size() || v < low || v > high) return false;
    *out = v;
    return true;
}

// The asynchronous Print's end, as a host's sink hears it.
class EndSink final : public ScriptableObject {
  public:
    int32_t QueryInterface(const kp::InterfaceId*, void** out) override {
        *out = this;
        return 0;
    }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t GetTypeInfo(kp::ClassInfo**) override { return -2; }
    int32_t Invoke(int32_t id, int32_t, const kp::InvokeArgs* args, Variant*) override {
        if (id != KPM_EVENT_PRINTER_JOB_PRINT_END || args == nullptr || args->count < 2) return 0;
        std::lock_guard guard(lock_);
        result_ = args->args[1].lVal;
        cv_.notify_all();
        return 0;
    }
    int32_t Wait() {
        std::unique_lock lock(lock_);
        cv_.wait(lock, [&] { return result_.has_value(); });
        const int32_t r = *result_;
        result_.reset();
        return r;
    }

  private:
    std::mutex lock_;
    std::condition_variable cv_;
    std::optional<int32_t> result_;
};

int Print(const std::vector<std::string>& args) {
    const char* usage =
        "usage: qzs-report print FILE... --printer NAME [--fit|--scale N] [--align N] "
        "[--multi N] [--paper CODE] [--orientation N] [--copies N] [--source CODE] [--async] "
        "[--select]";
    std::vector<std::string> files;
    std::string printer;
    bool fit = false, async = false, select = false, havePrinter = false;
    int32_t scale = 0, align = 0, multi = 0, paper = 0, orientation = 0, copies = 0, source = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        auto value = [&](int32_t low, int32_t high, int32_t* out) {
            return hasValue && Number(args[++i], low, high, out);
        };
        if (a == "--printer" && hasValue) {
            printer = args[++i];
            havePrinter = true;
        } else if (a == "--fit") {
            fit = true;
        } else if (a == "--async") {
            async = true;
        } else if (a == "--select") {
            select = true;
        } else if (a == "--scale") {
            if (!value(1, 65535, &scale)) return UsageError(usage);
        } else if (a == "--align") {
            if (!value(1, 3, &align)) return UsageError(usage);
        } else if (a == "--multi") {
            if (!value(1, 2, &multi)) return UsageError(usage);
        } else if (a == "--paper") {
            if (!value(1, 32767, &paper)) return UsageError(usage);
        } else if (a == "--orientation") {
            if (!value(1, 2, &orientation)) return UsageError(usage);
        } else if (a == "--copies") {
            if (!value(1, 32767, &copies)) return UsageError(usage);
        } else if (a == "--source") {
            if (!value(-32768, 32767, &source)) return UsageError(usage);
        } else if (a.starts_with("--")) {
            return UsageError(usage);
        } else {
            files.push_back(a);
        }
    }
    if (files.empty() || !havePrinter || (fit && scale != 0)) return UsageError(usage);
    auto gui = select ? MakeGui() : nullptr;
    Engine& engine = Engine::Get();
    if (!engine.loaded()) return UsageError(engine.loadError());

    std::vector<ScriptableObject*> reports;
    ScriptableObject* job = nullptr;
    auto closeAll = [&] {
        for (ScriptableObject* r : reports) {
            Variant none{};
            r->Invoke(KPM_REPORT_CLOSE_REPORT, kp::kInvokeMethod, nullptr, &none);
        }
        if (job != nullptr) {
            Variant none{};
            job->Invoke(KPM_PRINTER_JOB_CLOSE, kp::kInvokeMethod, nullptr, &none);
        }
    };
    EndSink sink;
    kp::EventSinkList* sinks = nullptr;
    uint32_t cookie = 0;
    auto unadvise = [&] {
        if (sinks == nullptr) return;
        if (cookie != 0) sinks->UnadviseSink(cookie);
        engine.app()->Release();  // the reference FindEventList took
        sinks = nullptr;
    };
    try {
        for (const auto& f : files) reports.push_back(OpenReport(f));
        job = CreatePrinter(printer);
        if (fit || scale != 0) {
            Put(job, KPM_PRINTER_JOB_SCALE_PRINT, VariantBool(true), "ScalePrint");
            Put(job, KPM_PRINTER_JOB_SCALE_PAPER_FIT, VariantBool(fit), "ScalePaperFit");
            if (scale != 0)
                Put(job, KPM_PRINTER_JOB_SCALE, VariantUI2(static_cast<uint16_t>(scale)), "Scale");
        }
        if (align != 0)
            Put(job, KPM_PRINTER_JOB_SCALE_PRINT_LAYOUT, VariantUI2(static_cast<uint16_t>(align)),
                "ScalePrintLayout");
        if (multi != 0) {
            Put(job, KPM_PRINTER_JOB_MULTI_PRINT, VariantBool(true), "MultiPrint");
            Put(job, KPM_PRINTER_JOB_MULTI_PRINT_LAYOUT, VariantUI2(static_cast<uint16_t>(multi)),
                "MultiPrintLayout");
        }
        if (paper != 0)
            Put(job, KPM_PRINTER_JOB_PAPER_SIZE, VariantI2(static_cast<int16_t>(paper)),
                "PaperSize");
        if (orientation != 0) {
            Put(job, KPM_PRINTER_JOB_ORIENTATION, VariantUI2(static_cast<uint16_t>(orientation)),
                "Orientation");
        }
        if (copies != 0)
            Put(job, KPM_PRINTER_JOB_COPIES, VariantUI2(static_cast<uint16_t>(copies)), "Copies");
        if (source != 0)
            Put(job, KPM_PRINTER_JOB_SOURCE, VariantI2(static_cast<int16_t>(source)), "Source");
        Call(job, KPM_PRINTER_JOB_UPDATE_INFO, {}, "UpdateInfo");
        if (select) {
            const Variant taken = Call(job, KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG,
                                       {VariantUI4(0), VariantUI4(0)}, "ShowPrtSelectDlg");
            if (taken.boolVal == 0) throw EngineError{-10311, "ShowPrtSelectDlg"};
        }
        // The tool shows no cancel dialog: its window would have no one to click it.
        Put(job, KPM_PRINTER_JOB_CANCEL_DLG, VariantBool(false), "CancelDlg");
        if (async) {
            Put(job, KPM_PRINTER_JOB_ASYNC_MODE, VariantBool(true), "ASyncMode");
            // PrintEnd reaches the tool through the application's event source.
            void* source = nullptr;
            if (const int32_t code = engine.app()->QueryInterface(&kp::iid::kEventSource, &source);
                code != 0) {
                throw EngineError{code, "QueryInterface"};
            }
            auto* events = static_cast<kp::EventSource*>(static_cast<plat::Unknown*>(source));
            void* list = nullptr;
            if (const int32_t code = events->FindEventList(&kp::iid::kApplicationEvents, &list);
                code != 0) {
                throw EngineError{code, "FindEventList"};
            }
            sinks = static_cast<kp::EventSinkList*>(static_cast<plat::Unknown*>(list));
            if (const int32_t code = sinks->AdviseSink(&sink, &cookie); code != 0) {
                throw EngineError{code, "AdviseSink"};
            }
        }
        Call(job, KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(0)}, "OpenPrinter");
        for (ScriptableObject* report : reports) {
            Variant arg = VariantDispatch(report);
            kp::InvokeArgs a{&arg, 1};
            Variant r{};
            int32_t code = job->Invoke(KPM_PRINTER_JOB_PRINT, kp::kInvokeMethod, &a, &r);
            if (code == -10400) code = sink.Wait();
            if (code != 0) throw EngineError{code, "Print"};
        }
        const uint32_t id = Get(job, KPM_PRINTER_JOB_JOB_NUMBER, "JobNumber").ulVal;
        const uint32_t pages = Get(job, KPM_PRINTER_JOB_PAGE_COUNT, "PageCount").ulVal;
        Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}, "ClosePrinter");
        std::printf("job %u pages %u\n", id, pages);
    } catch (...) {
        closeAll();
        unadvise();
        throw;
    }
    closeAll();
    unadvise();
    return kExitOk;
}

int Job(const std::vector<std::string>& args) {
    const char* usage =
        "usage: qzs-report job ID --printer NAME [status|pause|resume|cancel|restart|delete]";
    int32_t id = 0;
    std::string printer, action = "status";
    bool haveId = false, havePrinter = false, haveAction = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--printer" && i + 1 < args.size()) {
            printer = args[++i];
            havePrinter = true;
        } else if (!haveId && Number(args[i], 1, INT32_MAX, &id)) {
            haveId = true;
        } else if (!haveAction && !args[i].starts_with("--")) {
            action = args[i];
            haveAction = true;
        } else {
            return UsageError(usage);
        }
    }
    static const char* const kActions[] = {"status", "pause",   "resume",
                                           "cancel", "restart", "delete"};
    int32_t command = -1;
    for (int32_t i = 0; i < 6; ++i) {
        if (action == kActions[i]) command = i;
    }
    if (!haveId || !havePrinter || command < 0) return UsageError(usage);
    Engine& engine = Engine::Get();
    if (!engine.loaded()) return UsageError(engine.loadError());
    ScriptableObject* job = CreatePrinter(printer);
    try {
        if (command > 0) {
            Call(
                job, KPM_PRINTER_JOB_SET_JOB_STATUS,
                {VariantUI4(static_cast<uint32_t>(id)), VariantUI4(static_cast<uint32_t>(command))},
                "SetJobStatus");
        }
        const uint32_t status = Call(job, KPM_PRINTER_JOB_GET_JOB_STATUS,
                                     {VariantUI4(static_cast<uint32_t>(id))}, "GetJobStatus")
                                    .ulVal;
        std::printf("status 0x%08X\n", status);
    } catch (...) {
        Call(job, KPM_PRINTER_JOB_CLOSE, {}, "Close");
        throw;
    }
    Call(job, KPM_PRINTER_JOB_CLOSE, {}, "Close");
    return kExitOk;
}

const ReportCommand kPrinters("printers", "printers [--caps]", Printers);
const ReportCommand kPrint("print",
                           "print FILE... --printer NAME [--fit|--scale N] [--align N] [--multi N] "
                           "[--paper CODE] [--orientation N] [--copies N] [--source CODE] "
                           "[--async] [--select]",
                           Print);
const ReportCommand kJob("job", "job ID --printer NAME [status|pause|resume|cancel|restart|delete]",
                         Job);

}  // namespace
}  // namespace qzsreport
