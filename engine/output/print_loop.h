// The print loop of a printer job: the spooled document while it is open, and each page put on
// it - the scale and the place of the page on the sheet, the printer's paper made to match a
// page printed one to one, the sheet started and ended (one page a sheet, or two with
// MultiPrint), the page clipped and drawn. The job's state, its lock and its members stay the
// job's: the loop runs once the job has let a page in, and hears of a cancel through the job.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "engine/output/printer_binding.h"
#include "engine/output/printer_settings.h"
#include "engine/output/printer_settings_editor.h"
#include "platform/gdi/device_context.h"
#include "platform/printing/devmode.h"

namespace kp {

class ReportObject;
class ScriptableObject;
struct RecordedPageAccess;

// The spooled document of an open job: its printer device context and the spooler job behind
// it. StartDoc makes the job (its id is the host's JobNumber); pages are drawn on dc() between
// StartPage and EndPage; EndDoc hands the document over, AbortDoc cancels the job. Results are
// 0 or the engine's spooler codes (-12000 full or refusing, -12001 no space, -12003 other,
// -12004 a page failure).
class PrinterDocument {
  public:
    virtual ~PrinterDocument() = default;
    virtual plat::DeviceContext* dc() = 0;
    // New page geometry for the pages that follow (ResetDC); false when it cannot be used.
    virtual bool Reset(const PageGeometry& page, const plat::DevMode& settings) = 0;
    virtual int32_t StartDoc(const std::string& title, int32_t* jobId) = 0;
    virtual int32_t StartPage() = 0;
    virtual int32_t EndPage() = 0;
    virtual int32_t EndDoc() = 0;
    virtual int32_t AbortDoc() = 0;
    // The procedure the context asks while a page is drawn; false stops the document.
    virtual void SetAbortProc(std::function<bool()> proc) { (void)proc; }
};

// Where a page comes from: a report drawing itself, a page recorded in a preview, a page of a
// report file. The print loop locks the source around its page, asks for its paper and has it
// draw on the printer's context.
class PageSource {
  public:
    virtual ~PageSource() = default;
    // 0 when the source is what the member was given (a report, a preview, a file object),
    // else the member's answer (-7).
    virtual int32_t Check() { return 0; }
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // Paper code, width and length (0.1 mm) and orientation; false when the source cannot say.
    virtual bool Paper(int16_t* code, int32_t* width, int32_t* length, int16_t* orientation) = 0;
    // The answer when Paper fails: -13000 for a report, -13001 for recorded pages.
    virtual int32_t PaperError() const = 0;
    // Recorded pages are played in the compatible graphics mode; a report's draw result of -1
    // after a cancel reads as the cancel.
    virtual bool IsReport() const = 0;
    virtual int32_t Draw(plat::DeviceContext* dc) = 0;
};

// A report page: the report draws itself onto the printer's context.
class ReportPageSource final : public PageSource {
  public:
    explicit ReportPageSource(ScriptableObject* object) : object_(object) {}
    int32_t Check() override;
    void Lock() override;
    void Unlock() override;
    bool Paper(int16_t* code, int32_t* width, int32_t* length, int16_t* orientation) override;
    int32_t PaperError() const override { return -13000; }
    bool IsReport() const override { return true; }
    int32_t Draw(plat::DeviceContext* dc) override;

  private:
    ScriptableObject* object_;
    ReportObject* report_ = nullptr;
};

// Page n of a preview (file false) or of a report file, made by the library that owns those
// objects: 0, -2 when the library gives no such pages, -5 when the source cannot be made.
int32_t MakeRecordedPageSource(const RecordedPageAccess& access, bool file,
                               ScriptableObject* object, uint32_t page,
                               std::unique_ptr<PageSource>* out);

// Delivers the waiting events when called on the GUI thread (a click on the cancel dialog among
// them); a print thread has no events of its own, and without a QApplication there are none.
void PumpGuiEvents();

class PrintLoop {
  public:
    // What the loop takes of its job. The settings and the binding are read under `lock`, the
    // job lock, which the loop holds for its short steps only: it draws without it, so that a
    // cancel from the dialog's thread can land meanwhile. `resetPage` is the job's reset of the
    // printer's context to the current record (ResetDocument with the job's own state around
    // it); `abortProc` is the job's abort procedure, installed on every document started.
    struct JobParts {
        const PrinterBinding& printer;
        PrinterSettingsEditor& settings;
        std::recursive_mutex& lock;
        std::function<bool()> cancelled;
        std::function<int32_t()> resetPage;
        std::function<bool()> abortProc;
    };

    explicit PrintLoop(JobParts job) : job_(std::move(job)) {}
    PrintLoop(const PrintLoop&) = delete;
    PrintLoop& operator=(const PrintLoop&) = delete;

    // The document

    // Measures the current settings record on the printer and sets doc (null: none) to it, its
    // mapping back to one to one; the record takes the measured paper and the minimum margins.
    // -10202 when the record cannot be measured or doc refuses it.
    int32_t ResetDocument(PrinterDocument* doc);
    // Starts doc under the title; only a started document replaces the one before, which ends
    // then, and the job's abort procedure is installed on it. A failure leaves doc with the
    // caller and the old document as it was.
    int32_t StartDocument(std::unique_ptr<PrinterDocument>& doc, const std::string& title);
    // Ends the open document: a sheet left half full is ended, a document without pages gets
    // its one blank sheet, and the spooler gets the document (deliver) or aborts it. A failed
    // EndDoc or AbortDoc answers as the document did; a page failure alone answers -12003.
    int32_t EndDocument(bool deliver);
    // Ends an open sheet before the settings change under the open document.
    int32_t EndSheet();
    // Stops whatever of the document is still open and lets it go (the job going away).
    void DiscardDocument();

    PrinterDocument* Document() const { return document_.get(); }
    plat::DeviceContext* Dc() const { return document_ ? document_->dc() : nullptr; }
    int32_t JobNumber() const { return jobNumber_; }
    uint32_t PageCount() const { return pageCount_; }
    // A page printed, counted once the job has the document back.
    void CountPage() { ++pageCount_; }

    // The pages

    // One page of a source onto the open document: checked, locked, placed, drawn, unlocked,
    // the events delivered. The job has let the page in (state 256) and takes it back after.
    int32_t RunPage(PageSource& source);
    // The scale in percent for both axes of a page of that size and orientation.
    int32_t ComputePrintScale(int32_t width, int32_t length, int16_t orientation) const;
    // The viewport origin in device pixels; sets the page extent. -9 without a document.
    int32_t ComputePrintOrigin(int32_t width, int32_t length, int16_t orientation,
                               plat::POINT* origin);
    // True when the printer takes the page; a code above 256 may be replaced by the printer's
    // paper of that size.
    bool MatchPaperToReport(int16_t* code, int32_t width, int32_t length) const;
    plat::SIZE PageExtent() const { return pageExtent_; }

  private:
    int32_t PageSteps(PageSource& source, bool* pump);
    // A page printed one to one wants the printer's paper the same: 0, or why it cannot have it.
    int32_t MatchPrinterPaper(int16_t code, int32_t width, int32_t length, int16_t orientation,
                              int32_t scale);
    void SetPageClip(plat::DeviceContext* dc);

    const JobParts job_;
    std::unique_ptr<PrinterDocument> document_;
    bool documentStarted_ = false;
    bool sheetOpen_ = false;
    // The next page goes to the second half of a MultiPrint sheet; flipped after every page.
    bool secondHalf_ = false;
    uint32_t pageCount_ = 0;
    int32_t jobNumber_ = 0;
    plat::SIZE pageExtent_{0, 0};
};

}  // namespace kp
