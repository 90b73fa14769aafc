// qzs-report k3v-write OUT (--sample N | REPORT.k30...) [--password P]
// qzs-report k3v-render FILE N OUT.png [--dpi D] [--layers DIGITS] [--offset X,Y] [--password P]
// qzs-report k3v-view FILE [--page N] [--password P] [--screenshot PNG]
//
// Writes a saved report file as a host does through the report-file object: CreateFile,
// (DocPassword and DocProtect), FileCreate, ReportIndexLevel 0, one FileAddPage per page,
// FileCloseFile, FileRelease. The pages are either N sample pages or the given report files in
// order. The engine's code is linked in here rather than loaded, with the controls beside it, so
// that the file side runs without the engine library; an existing OUT is replaced.
//
// k3v-render opens a saved file in the viewer as a host does (FileOpen, FileOpenViewer) without
// a window, answers its dialogs from the options (the password for every try of the password
// dialog; the layers and offsets typed into the layer-print dialog) and plays page N the way a
// printer job does, onto white paper at D dots per inch, written as PNG.
//
// k3v-view shows a saved file in the viewer's window, 800 x 600, as a host opens it (the tool
// owns the widgets application; it needs a display, xvfb-run, or QT_QPA_PLATFORM=offscreen). It
// runs until the window is closed; with --screenshot it grabs the window once page N shows and
// ends.
#include <stdlib.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QWidget>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/atomic_file.h"
#include "engine/core/application.h"
#include "engine/core/control_interfaces.h"
#include "engine/core/module.h"
#include "engine/core/report.h"
#include "engine/include/kpengn_members.h"
#include "engine/preview/file_object.h"
#include "engine/preview/report_file.h"
#include "engine/preview/ui/frame_window.h"
#include "engine/preview/ui/viewer_dialog_views.h"
#include "platform/gdi/handles.h"
#include "platform/gdi/qpainter_dc.h"
#include "reportctrl/controls.h"
#include "reportctrl/linked_loader.h"
#include "tools/png_output.h"
#include "tools/report_host.h"
#include "platform/qt_japanese.h"

namespace qzsreport {
namespace {

using namespace plat;
using kp::ScriptableObject;
using kp::preview::FileObject;

constexpr int32_t kMaxSamplePages = 100000;

// A count as typed: at most six decimal digits, nothing else.
std::optional<int> CountArg(const std::string& text) {
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoi(text);
}

struct K3vArgs {
    std::string out;
    int samples = 0;
    std::vector<std::string> files;
    std::optional<std::string> password;
};

std::optional<K3vArgs> ParseK3vArgs(const std::vector<std::string>& args) {
    K3vArgs k;
    bool haveOut = false, haveSample = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--sample") {
            if (haveSample || i + 1 >= args.size()) return std::nullopt;
            const std::optional<int> n = CountArg(args[++i]);
            if (!n || *n < 1 || *n > kMaxSamplePages) return std::nullopt;
            k.samples = *n;
            haveSample = true;
            continue;
        }
        if (a == "--password") {
            if (k.password || i + 1 >= args.size()) return std::nullopt;
            k.password = args[++i];
            continue;
        }
        if (a.starts_with("--")) return std::nullopt;
        if (!haveOut) {
            k.out = a;
            haveOut = true;
        } else {
            k.files.push_back(a);
        }
    }
    if (!haveOut || k.out.empty() || haveSample == !k.files.empty()) return std::nullopt;
    return k;
}

// The engine of this process: attached on construction, and detached (every object it still
// holds destroyed) on every way out. The viewer's windows and dialogs only where asked for (they
// need the QApplication made before).
class LinkedEngine {
  public:
    explicit LinkedEngine(bool windows = false) {
        kp::SetControlLibraryLoader(&kpctrl::kLinkedLoader);
        kp::EngineServices services;
        kp::AddReportServices(services);
        kp::preview::AddFileObjectServices(services);
        if (windows) {
            kp::preview::AddPreviewWindowServices(services);
            kp::preview::ui::AddQtViewerDialogServices(services);
        }
        kp::InitModule(&module_, services);
        void* out = nullptr;
        if (const int32_t code =
                kp::CreateEngineObject(&kp::iid::kApplication, &kp::iid::kApplication, &out);
            code != 0) {
            throw EngineError{code, "WCreateObject"};
        }
        app_ = static_cast<kp::ApplicationObject*>(static_cast<Unknown*>(out));
        app_->Site().SetSite(1);
        Put(app_, KPM_APPLICATION_KEEP_LAYER_ORDER, VariantBool(true), "KeepLayerOrder");
    }
    ~LinkedEngine() {
        kp::InitModule(nullptr);
        kp::SetControlLibraryLoader(nullptr);
    }
    LinkedEngine(const LinkedEngine&) = delete;
    LinkedEngine& operator=(const LinkedEngine&) = delete;

    kp::ApplicationObject* app() const { return app_; }

  private:
    int module_ = 0;
    kp::ApplicationObject* app_ = nullptr;
};

void PutBstr(ScriptableObject* object, int32_t id, std::u16string_view text, const char* member) {
    Bstr value = BstrAllocView(text);
    if (value == nullptr) throw EngineError{-5, member};
    try {
        Put(object, id, VariantBstr(value), member);
    } catch (...) {
        BstrFree(value);
        throw;
    }
    BstrFree(value);
}

kp::ItemObject* AddObject(kp::ReportObject* report, int layer, const kp::InterfaceId& classId,
                          kp::RectL rect) {
    kp::ItemObject* object = nullptr;
    const int32_t code =
        report->layers().layer(layer - 1).objects().Create(nullptr, classId, rect, &object, 0);
    if (code != 0 || object == nullptr) throw EngineError{code != 0 ? code : -5, "Create"};
    return object;
}

// Sample page k on A4 portrait in 0.01 mm: a solid black box on layer 1, "ページk" on layer 2
// and a 0.5 mm line on layer 3.
ScriptableObject* SamplePage(kp::ApplicationObject* app, int k) {
    ScriptableObject* object =
        AsObject(Call(app, KPM_APPLICATION_CREATE_REPORT, {}, "CreateReport"));
    kp::ReportObject* report = kp::AsReport(object);
    if (report == nullptr) throw EngineError{-7, "CreateReport"};
    Put(object, kp::ReportObject::kUnit, VariantUI2(1), "Unit");
    Put(object, kp::ReportObject::kPaperSize, VariantI2(9), "PaperSize");
    Put(object, kp::ReportObject::kPaperOrientation, VariantI2(1), "PaperOrientation");

    kp::ItemObject* box = AddObject(report, 1, kp::ctrlclass::kBox, {2000, 2000, 6000, 4000});
    Put(box->mainInterface(), kpctrl::member::kFillColor, VariantUI4(0x000000), "FillColor");

    kp::ItemObject* text = AddObject(report, 2, kp::ctrlclass::kText, {2000, 6000, 12000, 8000});
    PutBstr(text->mainInterface(), kpctrl::member::kFontName, u"ＭＳ ゴシック", "FontName");
    Variant size{};
    size.vt = VT_R4;
    size.fltVal = 24.0f;
    Put(text->mainInterface(), kpctrl::member::kFontSize, size, "FontSize");
    std::u16string caption = u"ページ";
    for (char c : std::to_string(k)) caption.push_back(char16_t(c));
    PutBstr(text->mainInterface(), kpctrl::member::kText, caption, "Text");

    kp::ItemObject* line = AddObject(report, 3, kp::ctrlclass::kLine, {2000, 10000, 19000, 10000});
    Put(line->mainInterface(), kpctrl::member::kLineWidth, VariantI4(50), "LineWidth");
    return object;
}

ScriptableObject* OpenReportFile(kp::ApplicationObject* app, const std::string& path) {
    Bstr name = BstrFromUtf8(path);
    if (name == nullptr) throw EngineError{-7, "OpenReport"};
    try {
        ScriptableObject* report =
            AsObject(Call(app, KPM_APPLICATION_OPEN_REPORT, {VariantBstr(name)}, "OpenReport"));
        BstrFree(name);
        return report;
    } catch (...) {
        BstrFree(name);
        throw;
    }
}

int K3vWrite(const std::vector<std::string>& args) {
    const auto k = ParseK3vArgs(args);
    if (!k) {
        return UsageError(
            "usage: qzs-report k3v-write OUT (--sample N | REPORT.k30...) [--password P]");
    }
    std::error_code ec;
    const std::string full = std::filesystem::absolute(k->out, ec).string();
    const std::string out = ec ? k->out : full;

    LinkedEngine engine;
    kp::ApplicationObject* app = engine.app();
    ScriptableObject* file = AsObject(Call(app, KPM_APPLICATION_CREATE_FILE, {}, "CreateFile"));
    auto* fileObject = static_cast<FileObject*>(file);
    const int pages = k->samples > 0 ? k->samples : int(k->files.size());
    if (k->password) {
        bool ok = true;
        const std::u16string password = WideFromUtf8(*k->password, &ok);
        if (!ok) return UsageError("the password is not UTF-8");
        PutBstr(file, FileObject::kDocPassword, password, "DocPassword");
        Put(file, FileObject::kDocProtect, VariantBool(true), "DocProtect");
    }
    {
        bool ok = true;
        const std::u16string wide = WideFromUtf8(out, &ok);
        Bstr path = ok ? BstrAllocView(wide) : nullptr;
        if (path == nullptr) throw EngineError{-7, "FileCreate"};
        try {
            Call(file, FileObject::kFileCreate, {VariantBstr(path), VariantBool(true)},
                 "FileCreate");
        } catch (...) {
            BstrFree(path);
            throw;
        }
        BstrFree(path);
    }
    Put(file, FileObject::kReportIndexLevel, VariantUI4(0), "ReportIndexLevel");
    for (int n = 1; n <= pages; ++n) {
        ScriptableObject* report =
            k->samples > 0 ? SamplePage(app, n) : OpenReportFile(app, k->files[size_t(n - 1)]);
        try {
            Call(file, FileObject::kFileAddPage, {VariantDispatch(report)}, "FileAddPage");
        } catch (...) {
            Call(report, kp::ReportObject::kCloseReport, {}, "CloseReport");
            throw;
        }
        Call(report, kp::ReportObject::kCloseReport, {}, "CloseReport");
    }
    Call(file, FileObject::kFileCloseFile, {}, "FileCloseFile");
    const int fonts = fileObject->FontsWritten();
    Call(file, FileObject::kFileRelease, {}, "FileRelease");
    std::printf("%s: %d pages, %d fonts\n", kp::preview::ReportFilePath(out).c_str(), pages, fonts);
    return kExitOk;
}

// ---------------------------------------------------------------------------------------------
// k3v-render

struct RenderArgs {
    std::string in, out;
    int page = 0;
    int32_t dpi = 96;
    std::optional<std::array<bool, 5>> layers;
    std::optional<std::pair<std::string, std::string>> offset;  // as typed, millimetres
    std::optional<std::string> password;
};

// A number as typed into an offset edit: a whole decimal, nothing after it.
bool IsOffsetText(const std::string& text) {
    if (text.empty()) return false;
    double value = 0;
    const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

std::optional<RenderArgs> ParseRenderArgs(const std::vector<std::string>& args) {
    RenderArgs r;
    std::vector<std::string> plain;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valued = i + 1 < args.size();
        if (a == "--dpi" && valued) {
            if (!ParseDpi(args[++i], &r.dpi)) return std::nullopt;
        } else if (a == "--layers" && valued && !r.layers) {
            const std::string& digits = args[++i];
            std::array<bool, 5> on{};
            if (digits.empty() || digits.size() > 5) return std::nullopt;
            for (char c : digits) {
                if (c < '1' || c > '5' || on[size_t(c - '1')]) return std::nullopt;
                on[size_t(c - '1')] = true;
            }
            r.layers = on;
        } else if (a == "--offset" && valued && !r.offset) {
            const std::string& both = args[++i];
            const size_t comma = both.find(',');
            if (comma == std::string::npos) return std::nullopt;
            std::pair<std::string, std::string> xy{both.substr(0, comma), both.substr(comma + 1)};
            if (!IsOffsetText(xy.first) || !IsOffsetText(xy.second)) return std::nullopt;
            r.offset = xy;
        } else if (a == "--password" && valued && !r.password) {
            r.password = args[++i];
        } else if (a.starts_with("--")) {
            return std::nullopt;
        } else {
            plain.push_back(a);
        }
    }
    if (plain.size() != 3) return std::nullopt;
    const std::optional<int> n = CountArg(plain[1]);
    if (!n) return std::nullopt;
    r.in = plain[0];
    r.page = *n;
    r.out = plain[2];
    if (r.in.empty() || r.out.empty() || r.page < 1) return std::nullopt;
    return r;
}

// The viewer's dialogs as the options answer them.
class ScriptedDialogs final : public kp::preview::ViewerDialogPort {
  public:
    explicit ScriptedDialogs(const RenderArgs& args) : args_(args) {}
    int AskPassword(std::u16string* typed) override {
        if (!args_.password) return 2;
        bool ok = true;
        *typed = WideFromUtf8(*args_.password, &ok);
        return ok ? 1 : 2;
    }
    void Warn(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    // Typed into the dialog: the edits keep their five characters.
    int AskLayerPrint(kp::preview::LayerPrintSettings* settings) override {
        kp::preview::LayerPrintDialog dialog(*settings);
        if (args_.layers) {
            for (int i = 0; i < 5; ++i) dialog.SetLayer(i, (*args_.layers)[size_t(i)]);
        }
        if (args_.offset) {
            dialog.SetXText(args_.offset->first);
            dialog.SetYText(args_.offset->second);
        }
        *settings = dialog.Accept();
        return 1;
    }

  private:
    const RenderArgs& args_;
};

// The file object, released on every way out.
struct FileHolder {
    ScriptableObject* file;
    ~FileHolder() {
        if (file == nullptr) return;
        Variant ignored{};
        kp::InvokeArgs none{nullptr, 0};
        file->Invoke(FileObject::kFileRelease, kp::kInvokeMethod, &none, &ignored);
    }
};

// FileOpen of the file object; false when the path is not UTF-8.
bool OpenSavedFile(FileObject* file, const std::string& in) {
    Bstr path = BstrFromUtf8(in);
    if (path == nullptr) return false;
    try {
        Call(file, FileObject::kFileOpen, {VariantBstr(path)}, "FileOpen");
    } catch (...) {
        BstrFree(path);
        throw;
    }
    BstrFree(path);
    return true;
}

int K3vRender(const std::vector<std::string>& args) {
    const auto r = ParseRenderArgs(args);
    if (!r) {
        return UsageError(
            "usage: qzs-report k3v-render FILE N OUT.png [--dpi D] [--layers DIGITS] "
            "[--offset X,Y] [--password P]");
    }
    std::error_code ec;
    const std::string full = std::filesystem::absolute(r->in, ec).string();
    const std::string in = ec ? r->in : full;

    // Drawing needs Qt's fonts and images but never a window: no widgets application, so the
    // viewer opens without its frame.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "qzs-report";
    static char* argv[] = {name, nullptr};
    QGuiApplication gui(argc, argv);

    LinkedEngine engine;
    FileHolder holder{AsObject(Call(engine.app(), KPM_APPLICATION_CREATE_FILE, {}, "CreateFile"))};
    auto* file = static_cast<FileObject*>(holder.file);
    ScriptedDialogs dialogs(*r);
    file->SetDialogPort(&dialogs);
    if (!OpenSavedFile(file, in)) return UsageError("the path is not UTF-8");
    Call(file, FileObject::kFileOpenViewer, {VariantUI4(1)}, "FileOpenViewer");
    if (r->layers || r->offset) {
        Call(file, FileObject::kShowLayerPrintSettings, {}, "ShowLayerPrintSettings");
    }
    const int count = file->ViewerPageCount();
    kp::preview::PreviewPageRecord record;
    if (const int32_t code = file->ViewerGetPageRecord(r->page, &record); code != 0)
        throw EngineError{code, "ViewerPlayPage"};
    const bool portrait = record.orientation == 1;
    const int32_t w = portrait ? record.paperWidth : record.paperLength;
    const int32_t h = portrait ? record.paperLength : record.paperWidth;
    const auto pixels = [&](int32_t tenths) {
        return static_cast<int32_t>(std::lround(tenths * static_cast<double>(r->dpi) / 254.0));
    };
    const int32_t across = pixels(w), down = pixels(h);
    if (across < 1 || down < 1) throw EngineError{kp::preview::kPaperUnreadable, "ViewerPlayPage"};
    QImage image(across, down, QImage::Format_RGB32);
    if (image.isNull()) throw EngineError{-5, "ViewerPlayPage"};
    image.fill(Qt::white);
    {
        QPainterDc dc(&image, r->dpi, kDtRasPrinter);
        if (const int32_t code = file->ViewerPlayPage(dc.handle(), r->page); code != 0)
            throw EngineError{code, "ViewerPlayPage"};
    }
    Call(file, FileObject::kFileCloseViewer, {}, "FileCloseViewer");
    Call(file, FileObject::kFileCloseFile, {}, "FileCloseFile");

    if (!qzs::tools::SavePngAtomically(image, r->out)) return UsageError("cannot write " + r->out);
    std::printf("page %d/%d: %dx%d\n", r->page, count, across, down);
    return kExitOk;
}

// ---------------------------------------------------------------------------------------------
// k3v-view

struct ViewArgs {
    std::string in;
    int page = 1;
    std::optional<std::string> password;
    std::optional<std::string> screenshot;
};

std::optional<ViewArgs> ParseViewArgs(const std::vector<std::string>& args) {
    ViewArgs v;
    bool haveIn = false, havePage = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valued = i + 1 < args.size();
        if (a == "--page" && valued && !havePage) {
            const std::optional<int> n = CountArg(args[++i]);
            if (!n || *n < 1) return std::nullopt;
            v.page = *n;
            havePage = true;
        } else if (a == "--password" && valued && !v.password) {
            v.password = args[++i];
        } else if (a == "--screenshot" && valued && !v.screenshot) {
            v.screenshot = args[++i];
            if (v.screenshot->empty()) return std::nullopt;
        } else if (a.starts_with("--") || haveIn) {
            return std::nullopt;
        } else {
            v.in = a;
            haveIn = !a.empty();
        }
    }
    if (!haveIn) return std::nullopt;
    return v;
}

// The viewer's own dialogs on the screen; the password, when given, answers each try.
class ViewDialogs final : public kp::preview::ui::QtViewerDialogPort {
  public:
    explicit ViewDialogs(const std::optional<std::string>& password) : password_(password) {}
    int AskPassword(std::u16string* typed) override {
        if (!password_) return QtViewerDialogPort::AskPassword(typed);
        bool ok = true;
        *typed = WideFromUtf8(*password_, &ok);
        return ok ? 1 : 2;
    }
    // With the password given nobody sits at the screen to read a wrong one's warnings.
    void Warn(const std::string& text, const std::string& caption) override {
        if (!password_) return QtViewerDialogPort::Warn(text, caption);
        std::fprintf(stderr, "%s\n", text.c_str());
    }

  private:
    const std::optional<std::string>& password_;
};

// The application's events: the viewer's close ends the tool's loop.
class ViewerEvents final : public ScriptableObject {
  public:
    int32_t QueryInterface(const kp::InterfaceId*, void** out) override {
        *out = this;
        return 0;
    }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t GetTypeInfo(kp::ClassInfo**) override { return -2; }
    int32_t Invoke(int32_t id, int32_t, const kp::InvokeArgs*, Variant*) override {
        if (id == kp::preview::kEvViewerClose) QCoreApplication::quit();
        return 0;
    }
};

int K3vView(const std::vector<std::string>& args) {
    const auto v = ParseViewArgs(args);
    if (!v) {
        return UsageError(
            "usage: qzs-report k3v-view FILE [--page N] [--password P] [--screenshot PNG]");
    }
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr &&
        std::getenv("QT_QPA_PLATFORM") == nullptr) {
        return UsageError(
            "qzs-report k3v-view needs a display: run it under xvfb-run, or with "
            "QT_QPA_PLATFORM=offscreen");
    }
    std::error_code ec;
    const std::string full = std::filesystem::absolute(v->in, ec).string();
    const std::string in = ec ? v->in : full;
    static int argc = 1;
    static char name[] = "qzs-report";
    static char* argv[] = {name, nullptr};
    QApplication gui(argc, argv);
    plat::LoadQtJapanese(gui, "qzs-report");

    LinkedEngine engine(true);
    ViewerEvents events;
    uint32_t cookie = 0;
    engine.app()->Sinks().AdviseSink(&events, &cookie);
    struct Unadvise {
        kp::ApplicationObject* app;
        uint32_t cookie;
        ~Unadvise() {
            if (cookie != 0) app->Sinks().UnadviseSink(cookie);
        }
    } unadvise{engine.app(), cookie};
    FileHolder holder{AsObject(Call(engine.app(), KPM_APPLICATION_CREATE_FILE, {}, "CreateFile"))};
    auto* file = static_cast<FileObject*>(holder.file);
    ViewDialogs dialogs(v->password);
    file->SetDialogPort(&dialogs);
    if (!OpenSavedFile(file, in)) return UsageError("the path is not UTF-8");
    Put(file, KPM_FILE_OBJECT_WINDOW_RIGHT, VariantI4(800), "WindowRight");
    Put(file, KPM_FILE_OBJECT_WINDOW_BOTTOM, VariantI4(600), "WindowBottom");
    Call(file, FileObject::kFileOpenViewer, {VariantUI4(1)}, "FileOpenViewer");
    if (v->page != 1)
        Put(file, KPM_FILE_OBJECT_PAGE, VariantUI4(static_cast<uint32_t>(v->page)), "Page");
    if (v->screenshot) {
        Variant hwnd{};
        kp::InvokeArgs none{nullptr, 0};
        if (const int32_t code = file->Invoke(KPM_FILE_OBJECT_HWND, kp::kInvokeGet, &none, &hwnd);
            code != 0)
            throw EngineError{code, "hWnd"};
        auto* window = static_cast<QWidget*>(WindowFromHandle(hwnd.ulVal));
        if (window == nullptr) throw EngineError{-9, "hWnd"};
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        if (!qzs::tools::SavePngAtomically(window->grab().toImage(), *v->screenshot)) {
            std::fprintf(stderr, "cannot write %s\n", v->screenshot->c_str());
            return kExitEngine;
        }
        Call(file, FileObject::kFileCloseViewer, {}, "FileCloseViewer");
    } else {
        QApplication::exec();
    }
    Call(file, FileObject::kFileCloseFile, {}, "FileCloseFile");
    return kExitOk;
}

const ReportCommand kK3vView("k3v-view",
                             "k3v-view FILE [--page N] [--password P] [--screenshot PNG]", K3vView);

const ReportCommand kK3vRender("k3v-render",
                               "k3v-render FILE N OUT.png [--dpi D] [--layers DIGITS] "
                               "[--offset X,Y] [--password P]",
                               K3vRender);

const ReportCommand kK3vWrite("k3v-write",
                              "k3v-write OUT (--sample N | REPORT.k30...) [--password P]",
                              K3vWrite);

}  // namespace
}  // namespace qzsreport
