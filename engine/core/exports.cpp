// The shared library's only exported symbols, and its load and unload hooks.
#include "engine/core/exports.h"

#include <dlfcn.h>

#include "engine/core/application.h"
#include "engine/core/engine_class.h"
#include "engine/core/module.h"
#include "engine/output/pdf_document.h"
#include "engine/core/report.h"

extern "C" {

__attribute__((visibility("default"))) int32_t WGetClassInfo(void** out) {
    return kp::EngineGetClassInfo(out);
}

__attribute__((visibility("default"))) int32_t WCreateObject(const plat::InterfaceId* classId,
                                                             const plat::InterfaceId* iid,
                                                             void** out) {
    return kp::CreateEngineObject(classId, iid, out);
}
}

namespace {

// Process attach: the module handle is the library's load address.
__attribute__((constructor)) void AttachEngine() {
    Dl_info info{};
    void* base = nullptr;
    if (dladdr(reinterpret_cast<void*>(&AttachEngine), &info) != 0) base = info.dli_fbase;
    kp::InitModule(base != nullptr ? base : reinterpret_cast<void*>(&AttachEngine));
    kp::BindPdfDocumentFactory();
    kp::BindReportFactories();
}

// Process detach: destroys what the host left alive, then the module's own memory.
__attribute__((destructor)) void DetachEngine() {
    kp::InitModule(nullptr);
    kp::ReleaseModuleMemory();
}

}  // namespace
