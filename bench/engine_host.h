// The engine's code linked into a benchmark as qzs-report links it: one application with the
// controls beside it, saved report files written through the report-file object as a host
// writes them, and that object's viewer opened on them.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/core/application.h"
#include "engine/core/control_interfaces.h"
#include "engine/core/module.h"
#include "engine/core/report.h"
#include "engine/core/services.h"
#include "engine/include/kpengn_members.h"
#include "engine/preview/file_object.h"
#include "platform/automation/automation.h"
#include "reportctrl/controls.h"
#include "reportctrl/linked_loader.h"

namespace benchhost {

using plat::Variant;

inline void Check(int32_t code, const char* member) {
    if (code != 0) throw std::runtime_error(std::string(member) + " " + std::to_string(code));
}

inline void Put(kp::ScriptableObject* object, int32_t id, Variant value, const char* member) {
    kp::InvokeArgs args{&value, 1};
    Variant result{};
    Check(object->Invoke(id, kp::kInvokePut, &args, &result), member);
}

inline Variant Call(kp::ScriptableObject* object, int32_t id, std::vector<Variant> args,
                    const char* member) {
    kp::InvokeArgs a{args.empty() ? nullptr : args.data(), static_cast<uint32_t>(args.size())};
    Variant result{};
    Check(object->Invoke(id, kp::kInvokeMethod, &a, &result), member);
    return result;
}

inline kp::ScriptableObject* AsObject(const Variant& v) {
    return static_cast<kp::ScriptableObject*>(v.pdispVal);
}

// A string argument that lives as long as the call.
struct Text {
    explicit Text(std::u16string_view text) : bstr(plat::BstrAllocView(text)) {}
    explicit Text(const std::string& utf8) : Text(plat::WideFromUtf8(utf8)) {}
    ~Text() { plat::BstrFree(bstr); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    Variant v() const { return plat::VariantBstr(bstr); }
    plat::Bstr bstr;
};

class LinkedEngine {
  public:
    // more: services beyond reports and files (the viewer's windows, say).
    explicit LinkedEngine(void (*more)(kp::EngineServices&) = nullptr) {
        kp::SetControlLibraryLoader(&kpctrl::kLinkedLoader);
        kp::EngineServices services;
        kp::AddReportServices(services);
        kp::preview::AddFileObjectServices(services);
        if (more != nullptr) more(services);
        kp::InitModule(&module_, services);
        void* out = nullptr;
        Check(kp::CreateEngineObject(&kp::iid::kApplication, &kp::iid::kApplication, &out),
              "WCreateObject");
        app_ = static_cast<kp::ApplicationObject*>(static_cast<plat::Unknown*>(out));
        app_->Site().SetSite(1);
        Put(app_, KPM_APPLICATION_KEEP_LAYER_ORDER, plat::VariantBool(true), "KeepLayerOrder");
    }
    ~LinkedEngine() {
        kp::InitModule(nullptr);
        kp::SetControlLibraryLoader(nullptr);
    }
    LinkedEngine(const LinkedEngine&) = delete;
    LinkedEngine& operator=(const LinkedEngine&) = delete;

    kp::ApplicationObject* app() const { return app_; }

    kp::ReportObject* NewReport() {
        kp::ScriptableObject* object =
            AsObject(Call(app_, KPM_APPLICATION_CREATE_REPORT, {}, "CreateReport"));
        kp::ReportObject* report = kp::AsReport(object);
        if (report == nullptr) throw std::runtime_error("CreateReport");
        Put(object, kp::ReportObject::kUnit, plat::VariantUI2(1), "Unit");           // 0.01 mm
        Put(object, kp::ReportObject::kPaperSize, plat::VariantI2(9), "PaperSize");  // A4
        Put(object, kp::ReportObject::kPaperOrientation, plat::VariantI2(1), "Orientation");
        return report;
    }

    // A new file object, released with the holder.
    struct File {
        kp::preview::FileObject* object = nullptr;
        ~File() {
            if (object == nullptr) return;
            Variant ignored{};
            kp::InvokeArgs none{nullptr, 0};
            object->Invoke(kp::preview::FileObject::kFileRelease, kp::kInvokeMethod, &none,
                           &ignored);
        }
    };
    void NewFile(File* file) {
        file->object = static_cast<kp::preview::FileObject*>(
            AsObject(Call(app_, KPM_APPLICATION_CREATE_FILE, {}, "CreateFile")));
    }

  private:
    int module_ = 0;
    kp::ApplicationObject* app_ = nullptr;
};

inline kp::ItemObject* AddObject(kp::ReportObject* report, int layer, const kp::InterfaceId& cls,
                                 kp::RectL rect) {
    kp::ItemObject* object = nullptr;
    Check(report->layers().layer(layer - 1).objects().Create(nullptr, cls, rect, &object, 0),
          "Create");
    return object;
}

inline void AddText(kp::ReportObject* report, kp::RectL rect, std::u16string_view face,
                    float points, std::u16string_view text) {
    kp::ItemObject* item = AddObject(report, 2, kp::ctrlclass::kText, rect);
    Text f(face), t(text);
    Put(item->mainInterface(), kpctrl::member::kFontName, f.v(), "FontName");
    Variant size{};
    size.vt = plat::VT_R4;
    size.fltVal = points;
    Put(item->mainInterface(), kpctrl::member::kFontSize, size, "FontSize");
    Put(item->mainInterface(), kpctrl::member::kText, t.v(), "Text");
}

inline void AddLine(kp::ReportObject* report, kp::RectL rect, int32_t width) {
    kp::ItemObject* line = AddObject(report, 3, kp::ctrlclass::kLine, rect);
    Put(line->mainInterface(), kpctrl::member::kLineWidth, plat::VariantI4(width), "LineWidth");
}

// Writes the reports as the pages of a saved file at path (".k3v" is added), each report made
// by page(n) and closed after it went in.
template <class MakePage>
std::string WriteSavedFile(LinkedEngine& engine, const std::string& path, int pages,
                           MakePage page) {
    LinkedEngine::File file;
    engine.NewFile(&file);
    Text p(path);
    Call(file.object, kp::preview::FileObject::kFileCreate, {p.v(), plat::VariantBool(true)},
         "FileCreate");
    Put(file.object, kp::preview::FileObject::kReportIndexLevel, plat::VariantUI4(0),
        "ReportIndexLevel");
    for (int n = 1; n <= pages; ++n) {
        kp::ReportObject* report = page(n);
        Call(file.object, kp::preview::FileObject::kFileAddPage, {plat::VariantDispatch(report)},
             "FileAddPage");
        Call(report, kp::ReportObject::kCloseReport, {}, "CloseReport");
    }
    Call(file.object, kp::preview::FileObject::kFileCloseFile, {}, "FileCloseFile");
    return path + ".k3v";
}

}  // namespace benchhost
