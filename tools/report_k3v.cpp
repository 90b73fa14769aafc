// qzs-report k3v-write OUT (--sample N | REPORT.k30...) [--password P]
//
// Writes a saved report file as a host does through the report-file object: CreateFile,
// (DocPassword and DocProtect), FileCreate, ReportIndexLevel 0, one FileAddPage per page,
// FileCloseFile, FileRelease. The pages are either N sample pages or the given report files in
// order. The engine's code is linked in here rather than loaded, with the controls beside it, so
// that the file side runs without the engine library; an existing OUT is replaced.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/application.h"
#include "engine/core/control_interfaces.h"
#include "engine/core/module.h"
#include "engine/core/report.h"
#include "engine/preview/file_object.h"
#include "engine/preview/report_file.h"
#include "reportctrl/controls.h"
#include "tools/report_host.h"

namespace qzsreport {
namespace {

using namespace plat;
using kp::ScriptableObject;
using kp::preview::FileObject;

constexpr int32_t kAppKeepLayerOrder = 6;
constexpr int32_t kAppCreateFile = 10004, kAppCreateReport = 10005, kAppOpenReport = 10010;
constexpr int32_t kMaxSamplePages = 100000;

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
            const std::string& n = args[++i];
            if (n.empty() || n.size() > 6 || n.find_first_not_of("0123456789") != std::string::npos)
                return std::nullopt;
            k.samples = std::stoi(n);
            if (k.samples < 1 || k.samples > kMaxSamplePages) return std::nullopt;
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

// The controls come from the linked-in control library instead of libkpctrl30.so.
int32_t LinkedClassInfo(void** out) {
    *out = static_cast<kp::ControlClassList*>(kpctrl::GetControlClassList());
    return 0;
}
int gLinkedControls;
void* OpenLinked(const char*) {
    return &gLinkedControls;
}
void* LinkedSymbol(void*, const char* name) {
    const std::string symbol(name);
    if (symbol == "WGetClassInfo") return reinterpret_cast<void*>(&LinkedClassInfo);
    if (symbol == "WCreateObject") return reinterpret_cast<void*>(&kpctrl::CreateControl);
    return nullptr;
}
void CloseLinked(void*) {}
constexpr kp::ControlLibraryLoader kLinkedLoader{OpenLinked, LinkedSymbol, CloseLinked};

// The engine of this process: attached on construction, and detached (every object it still
// holds destroyed) on every way out.
class LinkedEngine {
  public:
    LinkedEngine() {
        kp::SetControlLibraryLoader(&kLinkedLoader);
        kp::InitModule(&module_);
        kp::BindReportFactories();
        kp::preview::BindFileObjectFactory();
        void* out = nullptr;
        if (const int32_t code =
                kp::CreateEngineObject(&kp::iid::kApplication, &kp::iid::kApplication, &out);
            code != 0) {
            throw EngineError{code, "WCreateObject"};
        }
        app_ = static_cast<kp::ApplicationObject*>(static_cast<Unknown*>(out));
        app_->Site().SetSite(1);
        Put(app_, kAppKeepLayerOrder, VariantBool(true), "KeepLayerOrder");
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
    ScriptableObject* object = AsObject(Call(app, kAppCreateReport, {}, "CreateReport"));
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
            AsObject(Call(app, kAppOpenReport, {VariantBstr(name)}, "OpenReport"));
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
    ScriptableObject* file = AsObject(Call(app, kAppCreateFile, {}, "CreateFile"));
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

const ReportCommand kK3vWrite("k3v-write",
                              "k3v-write OUT (--sample N | REPORT.k30...) [--password P]",
                              K3vWrite);

}  // namespace
}  // namespace qzsreport
