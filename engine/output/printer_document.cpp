#include "engine/output/printer_document.h"

#include <unistd.h>

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "engine/core/application.h"
#include "platform/gdi/printer_dc.h"

namespace kp {

namespace {

int32_t FromPrintError(plat::PrintError e) {
    switch (e) {
        case plat::PrintError::kOk:
            return rc::kOk;
        case plat::PrintError::kQueueFull:
            return rc::kQueueFull;
        case plat::PrintError::kNoSpace:
            return rc::kNoSpoolSpace;
        default:
            return rc::kDocumentFailed;
    }
}

std::string TemporaryPdf() {
    std::string dir = "/tmp";
    if (const char* env = std::getenv("TMPDIR"); env && env[0] == '/') dir = env;
    std::string path = dir + "/KPXXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0) return {};
    ::close(fd);
    return path;
}

class SpooledDocument final : public PrinterDocument {
  public:
    SpooledDocument(std::string printer, const PrinterModel& model, const PageGeometry& page,
                    const plat::DevMode& settings)
        : printer_(std::move(printer)),
          options_(JobOptionsFor(model, settings)),
          dc_(PrinterDeviceInfo(page)) {}

    ~SpooledDocument() override {
        dc_.Close();
        if (!path_.empty()) std::remove(path_.c_str());
    }

    plat::DeviceContext* dc() override { return &dc_; }
    void SetAbortProc(std::function<bool()> proc) override { dc_.SetAbortProc(std::move(proc)); }

    bool Reset(const PageGeometry& page, const plat::DevMode&) override {
        return dc_.Reset(PrinterDeviceInfo(page));
    }

    int32_t StartDoc(const std::string& title, int32_t* jobId) override {
        path_ = TemporaryPdf();
        if (path_.empty() || !dc_.Open(path_, title)) return rc::kDocumentFailed;
        const plat::PrintError e =
            plat::GetPrinterSystem()->CreateJob(printer_, title, options_, &job_);
        if (e != plat::PrintError::kOk) return FromPrintError(e);
        *jobId = job_;
        return rc::kOk;
    }

    int32_t StartPage() override { return dc_.StartPage() ? rc::kOk : rc::kPageFailed; }
    int32_t EndPage() override { return dc_.EndPage() ? rc::kOk : rc::kPageFailed; }

    int32_t EndDoc() override {
        const bool written = dc_.Close();
        if (!written) {
            AbortDoc();
            return rc::kDocumentFailed;
        }
        const plat::PrintError e = plat::GetPrinterSystem()->SubmitDocument(printer_, job_, path_);
        std::remove(path_.c_str());
        path_.clear();
        return FromPrintError(e);
    }

    int32_t AbortDoc() override {
        dc_.Close();
        if (!path_.empty()) std::remove(path_.c_str());
        path_.clear();
        if (job_ <= 0) return rc::kOk;
        const plat::PrintError e = plat::GetPrinterSystem()->CancelJob(printer_, job_);
        if (e == plat::PrintError::kOk) return rc::kOk;
        // A job that has ended already (cancelled from its queue, say) needs no abort.
        plat::JobState state;
        if (plat::GetPrinterSystem()->GetJobState(printer_, job_, &state) ==
                plat::PrintError::kOk &&
            state.state >= plat::kJobCanceled) {
            return rc::kOk;
        }
        return rc::kDocumentFailed;
    }

  private:
    std::string printer_;
    plat::JobOptions options_;
    plat::PrinterDc dc_;
    std::string path_;
    int32_t job_ = 0;
};

}  // namespace

plat::DeviceInfo PrinterDeviceInfo(const PageGeometry& page) {
    plat::DeviceInfo info =
        plat::DeviceInfo::ForPixels(page.horzRes, page.vertRes, page.dpiX, plat::kDtRasPrinter);
    info.logPixelsY = page.dpiY;
    info.physicalWidth = page.physicalWidth;
    info.physicalHeight = page.physicalHeight;
    info.physicalOffsetX = page.offsetX;
    info.physicalOffsetY = page.offsetY;
    return info;
}

std::unique_ptr<PrinterDocument> MakeSpooledDocument(const std::string& printer,
                                                     const PrinterModel& model,
                                                     const PageGeometry& page,
                                                     const plat::DevMode& settings) {
    // Pages are painted through Qt's font and PDF engines, which need the host's application.
    if (QGuiApplication::instance() == nullptr) return nullptr;
    return std::make_unique<SpooledDocument>(printer, model, page, settings);
}

void BindPrinterJobFactories() {
    ChildFactories f = GetChildFactories();
    f.newPrinterJob = NewPrinterJob;
    f.openPrinterJob = OpenPrinterJob;
    SetChildFactories(f);
    SetPrinterDocumentFactory(MakeSpooledDocument);
}

}  // namespace kp
