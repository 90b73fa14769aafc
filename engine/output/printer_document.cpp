#include "engine/output/printer_document.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "engine/core/application.h"
#include "engine/output/pdf_translate.h"
#include "engine/output/pdf_writer.h"
#include "platform/automation/automation.h"
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
          dc_(PrinterDeviceInfo(page)),
          sheet_(page) {
        dc_.SetPageSink([this](plat::PrinterDc::Page&& p) { return AddPage(p); });
    }

    ~SpooledDocument() override {
        pdf_.Abandon();
        if (!path_.empty()) std::remove(path_.c_str());
    }

    plat::DeviceContext* dc() override { return &dc_; }
    void SetAbortProc(std::function<bool()> proc) override { dc_.SetAbortProc(std::move(proc)); }

    bool Reset(const PageGeometry& page, const plat::DevMode&) override {
        if (!dc_.Reset(PrinterDeviceInfo(page))) return false;
        sheet_ = page;
        return true;
    }

    int32_t StartDoc(const std::string& title, int32_t* jobId) override {
        path_ = TemporaryPdf();
        if (path_.empty()) return rc::kDocumentFailed;
        if (const int code = pdf_.Open(path_, plat::WideFromUtf8(title)); code != pdf_code::kOk) {
            return code == pdf_code::kTables ? rc::kSpoolOutOfMemory : rc::kDocumentFailed;
        }
        const plat::PrintError e =
            plat::GetPrinterSystem()->CreateJob(printer_, title, options_, &job_);
        if (e != plat::PrintError::kOk) return FromPrintError(e);
        *jobId = job_;
        return rc::kOk;
    }

    int32_t StartPage() override {
        if (!dc_.StartPage()) return rc::kPageFailed;
        // A page keeps the sheet it was started on, as the context keeps its device.
        pageSheet_ = sheet_;
        return rc::kOk;
    }
    int32_t EndPage() override { return dc_.EndPage() ? rc::kOk : rc::kPageFailed; }

    int32_t EndDoc() override {
        if (!pdf_.IsOpen()) {
            AbortDoc();
            return rc::kDocumentFailed;
        }
        const int written = pdf_.Finish();
        if (written != pdf_code::kOk) {
            AbortDoc();
            return written == pdf_code::kDiskFull ? rc::kNoSpoolSpace : rc::kDocumentFailed;
        }
        const plat::PrintError e = plat::GetPrinterSystem()->SubmitDocument(printer_, job_, path_);
        std::remove(path_.c_str());
        path_.clear();
        return FromPrintError(e);
    }

    int32_t AbortDoc() override {
        dc_.DropPage();
        pdf_.Abandon();
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
    // A finished page goes through the export's translator into the document at once, on
    // whatever thread drew it; only its metafile was held meanwhile.
    bool AddPage(const plat::PrinterDc::Page& page) {
        return pdf_.AddPage(page, pageSheet_.sheetWidth, pageSheet_.sheetLength) == pdf_code::kOk;
    }

    std::string printer_;
    plat::JobOptions options_;
    plat::PrinterDc dc_;
    PageGeometry sheet_;      // of the pages that follow
    PageGeometry pageSheet_;  // of the page being drawn
    PrinterPdf pdf_;
    std::string path_;
    int32_t job_ = 0;
};

}  // namespace

int PrinterPdf::Open(const std::string& path, std::u16string title) {
    if (const int code = writer_.AllocateTables(); code != pdf_code::kOk) return code;
    fonts_.Clear();
    if (const int code = writer_.CreateFile(path, true); code != pdf_code::kOk) {
        writer_.FreeTables();
        return code;
    }
    title_ = std::move(title);
    return pdf_code::kOk;
}

int PrinterPdf::AddPage(const plat::PrinterDc::Page& page, int32_t sheetWidth,
                        int32_t sheetLength) {
    if (!writer_.IsOpen()) return pdf_code::kPosition;
    return ConvertPrinterPage(writer_, fonts_, page.metafile, page.device, sheetWidth * 10,
                              sheetLength * 10);
}

int PrinterPdf::Finish() {
    if (!writer_.IsOpen()) return pdf_code::kPosition;
    const std::u16string creator = u"KORVA-QZS", none;
    const std::u16string* texts[5] = {&creator, &title_, &none, &none, &none};
    const int written = writer_.FinishFile(texts, fonts_);
    writer_.FreeTables();
    fonts_.Clear();
    return written;
}

void PrinterPdf::Abandon() {
    writer_.Abandon();
    writer_.FreeTables();
    fonts_.Clear();
}

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
    return std::unique_ptr<PrinterDocument>(new (std::nothrow)
                                                SpooledDocument(printer, model, page, settings));
}

void AddPrinterJobServices(EngineServices& services) {
    services.children.newPrinterJob = NewPrinterJob;
    services.children.openPrinterJob = OpenPrinterJob;
    services.printerDocument = MakeSpooledDocument;
}

}  // namespace kp
