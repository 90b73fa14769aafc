// Opens arbitrary bytes as a saved report file the way a host does, FileOpen and then
// FileOpenViewer on a report-file object, headless (no window), with the password dialog
// cancelled; the first pages loaded are played at 10 dpi. The first byte chooses whether the rest
// is the file itself or the expanded container (deflated here, so that mutations reach the
// streams and records rather than stopping at zlib's checks).
#include <stdlib.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <QImage>

#include "engine/core/application.h"
#include "engine/core/control_interfaces.h"
#include "engine/core/module.h"
#include "engine/core/report.h"
#include "engine/preview/file_object.h"
#include "platform/gdi/qpainter_dc.h"
#include "reportctrl/controls.h"
#include "reportctrl/linked_loader.h"

namespace {

using namespace kp::preview;

class Cancel : public ViewerDialogPort {
  public:
    int AskPassword(std::u16string*) override { return 2; }
    void Warn(const std::string&, const std::string&) override {}
};

struct Scratch {
    Scratch() {
        char pattern[] = "/tmp/kpviewfuzzXXXXXX";
        if (mkdtemp(pattern)) dir = pattern;
        // The loader's own temporary files go here too, so a leak would show as a folder that
        // cannot be removed.
        setenv("TMPDIR", dir.c_str(), 1);
    }
    ~Scratch() {
        unlink((dir + "/in.k3v").c_str());
        rmdir(dir.c_str());
    }
    std::string dir;
};

Scratch& Dir() {
    static Scratch scratch;
    return scratch;
}

// One application for the whole run.
kp::ApplicationObject* App() {
    static kp::ApplicationObject* app = [] {
        static int module = 0;
        kp::SetControlLibraryLoader(&kpctrl::kLinkedLoader);
        kp::InitModule(&module);
        kp::EngineServices services;
        kp::AddReportServices(services);
        AddFileObjectServices(services);
        void* out = nullptr;
        if (kp::CreateEngineObject(services, &kp::iid::kApplication, &kp::iid::kApplication,
                                   &out) != 0)
            return static_cast<kp::ApplicationObject*>(nullptr);
        auto* a = static_cast<kp::ApplicationObject*>(static_cast<plat::Unknown*>(out));
        a->Site().SetSite(1);
        return a;
    }();
    return app;
}

int32_t Call(kp::ScriptableObject* object, int32_t id, std::vector<plat::Variant> args,
             plat::Variant* result = nullptr) {
    kp::InvokeArgs block{args.data(), uint32_t(args.size())};
    plat::Variant ignored{};
    return object->Invoke(id, kp::kInvokeMethod, &block, result ? result : &ignored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || Dir().dir.empty()) return 0;
    std::vector<uint8_t> file;
    if (data[0] & 1) {
        uLongf packed = compressBound(uLong(size - 1));
        file.resize(packed);
        if (compress2(file.data(), &packed, data + 1, uLong(size - 1), 6) != Z_OK) return 0;
        file.resize(packed);
    } else {
        file.assign(data + 1, data + size);
    }
    const std::string path = Dir().dir + "/in.k3v";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (!file.empty()) fwrite(file.data(), 1, file.size(), f);
    fclose(f);

    kp::ApplicationObject* app = App();
    if (app == nullptr) return 0;
    plat::Variant created{};
    if (Call(app, kp::ApplicationObject::kCreateFile, {}, &created) != 0) return 0;
    auto* object = static_cast<FileObject*>(static_cast<kp::ScriptableObject*>(created.pdispVal));
    ReportFileLimits limits;
    limits.maxExpandedBytes = 8u << 20;
    limits.maxPages = 200;
    limits.maxFontBytes = 4u << 20;
    object->SetLoadLimits(limits);
    Cancel port;
    object->SetDialogPort(&port);
    plat::Bstr name = plat::BstrFromUtf8(path);
    if (Call(object, FileObject::kFileOpen, {plat::VariantBstr(name)}) == 0) {
        Call(object, FileObject::kFileOpenViewer, {plat::VariantUI4(1)});
        const int pages = std::min(object->ViewerPageCount(), 3);
        for (int n = 1; n <= pages; ++n) {
            PreviewPageRecord record;
            if (object->ViewerGetPageRecord(n, &record) != 0) break;
            QImage image(84, 118, QImage::Format_RGB32);
            image.fill(0xffffffu);
            plat::QPainterDc dc(&image, 10, plat::kDtRasPrinter);
            object->ViewerPlayPage(dc.handle(), n);
        }
        Call(object, FileObject::kFileCloseViewer, {});
    }
    plat::BstrFree(name);
    // Releasing closes the file and removes whatever the loading left.
    Call(object, FileObject::kFileRelease, {});
    return 0;
}
