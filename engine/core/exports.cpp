// The shared library's only exported symbols, and its load and unload hooks.
#include "engine/core/exports.h"

#include <dlfcn.h>

#include "engine/core/application.h"
#include "engine/core/engine_class.h"
#include "engine/core/module.h"
#include "engine/core/report.h"
#include "engine/output/pdf_document.h"
#include "engine/output/printer_document.h"
#include "engine/preview/file_object.h"
#include "engine/preview/preview_object.h"
#include "engine/preview/ui/frame_window.h"
#include "engine/preview/ui/viewer_dialog_views.h"
#include "platform/gdi/device_context.h"

extern "C" {

// Neither entry lets an exception out to the host: it answers a code instead.
__attribute__((visibility("default"))) int32_t WGetClassInfo(void** out) {
    return kp::GuardedCall([&] { return kp::EngineGetClassInfo(out); });
}

__attribute__((visibility("default"))) int32_t WCreateObject(const plat::InterfaceId* classId,
                                                             const plat::InterfaceId* iid,
                                                             void** out) {
    return kp::GuardedCall([&] { return kp::CreateEngineObject(classId, iid, out); });
}
}

namespace {

// The PDF export reaches reports through these, so that it needs nothing of the report model.
void AddPdfReportServices(kp::EngineServices& services) {
    kp::PdfReportAccess& access = services.pdfReports;
    access.paper = [](kp::ScriptableObject* object, int32_t* width, int32_t* length,
                      int32_t* orientation) -> int32_t {
        kp::ReportObject* report = kp::AsReport(object);
        if (report == nullptr) return kp::rc::kBadArgument;
        *width = report->paperWidth();
        *length = report->paperLength();
        *orientation = report->paperOrientation();
        return kp::rc::kOk;
    };
    access.draw = [](kp::ScriptableObject* object, plat::DeviceContext* dc,
                     plat::DeviceContext* attribute, const plat::RECT& rect,
                     uint32_t flags) -> int32_t {
        kp::ReportObject* report = kp::AsReport(object);
        if (report == nullptr || dc == nullptr) return kp::rc::kBadArgument;
        return report->Draw(nullptr, dc->handle(), attribute != nullptr ? attribute->handle() : 0,
                            rect.left, rect.top, rect.right, rect.bottom, flags);
    };
    access.use = [](kp::ScriptableObject* object, int32_t delta) {
        if (kp::ReportObject* report = kp::AsReport(object); report != nullptr) {
            if (delta > 0) {
                kp::LockReportUse(report);
            } else {
                kp::UnlockReportUse(report);
            }
        }
    };
}

// Process attach: the module handle is the library's load address.
__attribute__((constructor)) void AttachEngine() {
    Dl_info info{};
    void* base = nullptr;
    if (dladdr(reinterpret_cast<void*>(&AttachEngine), &info) != 0) base = info.dli_fbase;
    // Everything the library links, once: every application of the host is made with it.
    kp::EngineServices services;
    kp::AddPdfDocumentServices(services);
    kp::AddReportServices(services);
    AddPdfReportServices(services);
    kp::AddPrinterJobServices(services);
    kp::preview::AddFileObjectServices(services);
    kp::AddPreviewServices(services);
    kp::preview::AddPreviewWindowServices(services);
    kp::preview::ui::AddQtViewerDialogServices(services);
    kp::InitModule(base != nullptr ? base : reinterpret_cast<void*>(&AttachEngine), services);
}

// Process detach: destroys what the host left alive, then the module's own memory.
__attribute__((destructor)) void DetachEngine() {
    kp::InitModule(nullptr);
    kp::ReleaseModuleMemory();
}

}  // namespace
