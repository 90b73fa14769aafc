// One printer as the engine's host sees it: the chosen CUPS destination with what it can do (the
// printer binding), the current settings record with the host's pending edits and the layout
// settings of the engine's own print loop (the settings editor), the print loop with the
// spooled document while one is open, and the cancel dialog. The job itself is the host's face
// of them: its members, the state each member needs, the job lock, closing and the events.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/scriptable.h"
#include "engine/core/services.h"
#include "engine/output/cancel_dialog.h"
#include "engine/output/print_loop.h"
#include "engine/output/printer_binding.h"
#include "engine/output/printer_codes.h"
#include "engine/output/printer_settings.h"
#include "engine/output/printer_settings_editor.h"
#include "platform/gdi/device_context.h"
#include "platform/printing/devmode.h"

namespace kp {

class ApplicationObject;

class PrinterJobObject final : public ScriptableObject {
  public:
    PrinterJobObject();
    ~PrinterJobObject() override;
    PrinterJobObject(const PrinterJobObject&) = delete;
    PrinterJobObject& operator=(const PrinterJobObject&) = delete;

    // Binds the job to the application's printer of that name (equal length, case ignored) and
    // reads what it can do; state 1 to 16.
    int32_t Open(ApplicationObject* app, const plat::OleChar* printerName);

    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;
    int32_t GetTypeInfo(ClassInfo** out) override;
    int32_t Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                   plat::Variant* result) override;

    uint16_t State() const { return state_.load(); }
    // The cancel action (the cancel dialog's button): 128 or 256 to 4096, else -9. Fires
    // PrintCancel while the job still has its old state.
    int32_t CancelPrintJob();
    // The abort procedure of the job's document: 0 stops the spooler's current call.
    int32_t AbortProc();
    // The abort procedure as the document's context calls it while a page is drawn: on the
    // GUI thread the waiting events are delivered first, so a click on the cancel dialog counts.
    int32_t PrintAbortProc();
    ApplicationObject* Application() const { return app_; }

    // For the engine's tests: the current settings record and the printer's coded model.
    std::optional<plat::DevMode> CurrentDevMode();
    PrinterModel Model();
    plat::DeviceContext* DocumentDc();

    // One page of a source onto the open document, when the job's state lets it in.
    int32_t PrintPage(PageSource& source);
    // The print loop's placement of a page (print_loop.h).
    int32_t ComputePrintScale(int32_t width, int32_t length, int16_t orientation) {
        return loop_.ComputePrintScale(width, length, orientation);
    }
    int32_t ComputePrintOrigin(int32_t width, int32_t length, int16_t orientation,
                               plat::POINT* origin) {
        return loop_.ComputePrintOrigin(width, length, orientation, origin);
    }
    bool MatchPaperToReport(int16_t* code, int32_t width, int32_t length) {
        return loop_.MatchPaperToReport(code, width, length);
    }
    plat::SIZE PageExtent() const { return loop_.PageExtent(); }

  private:
    using LayoutSettings = PrinterSettingsEditor::LayoutSettings;

    int32_t ReadPrinterCapabilities(const std::string& printer);
    // Binds the coded printer: its lists, extents and fields, and the settings record (the given
    // one, else the printer's defaults when the job has none yet) measured on it.
    int32_t BindPrinterModel(PrinterModel model, const std::optional<plat::DevMode>& settings);
    // The loop's reset of the printer's context, in state 64 while it runs.
    int32_t ResetPrinterDC(PrinterDocument* doc);
    int32_t RefusedPut(bool cancelDialogPut) const;

    // Members reached through Invoke.
    int32_t GetSupportPapers(plat::Variant* v);
    int32_t GetSupportSources(plat::Variant* v);
    int32_t GetInfoSize(plat::Variant* v);
    int32_t GetPrinterName(plat::Variant* v);
    int32_t GetDeviceName(plat::Variant* v);
    int32_t GetCancelDlgCaption(plat::Variant* v);
    int32_t PutCancelDlgCaption(const plat::Variant& a);
    int32_t GetCancelDlg(plat::Variant* v);
    int32_t PutCancelDlg(const plat::Variant& a);
    int32_t GetCancelDlgMessage(plat::Variant* v);
    int32_t PutCancelDlgMessage(const plat::Variant& a);
    int32_t GetCancelButton(plat::Variant* v);
    int32_t PutCancelButton(const plat::Variant& a);
    int32_t GetStatus(plat::Variant* v);
    int32_t GetMinPaperWidth(plat::Variant* v);
    int32_t GetMinPaperLength(plat::Variant* v);
    int32_t GetMaxPaperWidth(plat::Variant* v);
    int32_t GetMaxPaperLength(plat::Variant* v);
    int32_t GetPaperSize(plat::Variant* v);
    int32_t PutPaperSize(const plat::Variant& a);
    int32_t GetPaperWidth(plat::Variant* v);
    int32_t PutPaperWidth(const plat::Variant& a);
    int32_t GetPaperLength(plat::Variant* v);
    int32_t PutPaperLength(const plat::Variant& a);
    int32_t GetSource(plat::Variant* v);
    int32_t PutSource(const plat::Variant& a);
    int32_t GetOrientation(plat::Variant* v);
    int32_t PutOrientation(const plat::Variant& a);
    int32_t GetCopies(plat::Variant* v);
    int32_t PutCopies(const plat::Variant& a);
    int32_t GetQuality(plat::Variant* v);
    int32_t PutQuality(const plat::Variant& a);
    int32_t GetColor(plat::Variant* v);
    int32_t PutColor(const plat::Variant& a);
    int32_t GetASyncMode(plat::Variant* v);
    int32_t PutASyncMode(const plat::Variant& a);
    int32_t GetPageCount(plat::Variant* v);
    int32_t GetMultiPrint(plat::Variant* v);
    int32_t PutMultiPrint(const plat::Variant& a);
    int32_t GetMultiPrintLayout(plat::Variant* v);
    int32_t PutMultiPrintLayout(const plat::Variant& a);
    int32_t GetScale(plat::Variant* v);
    int32_t PutScale(const plat::Variant& a);
    int32_t GetJobName(plat::Variant* v);
    int32_t PutJobName(const plat::Variant& a);
    int32_t GetJobNumber(plat::Variant* v);
    int32_t GetMinTopMargin(plat::Variant* v);
    int32_t GetMinLeftMargin(plat::Variant* v);
    int32_t GetMinBottomMargin(plat::Variant* v);
    int32_t GetMinRightMargin(plat::Variant* v);
    int32_t GetHdc(plat::Variant* v);
    int32_t GetScalePrint(plat::Variant* v);
    int32_t PutScalePrint(const plat::Variant& a);
    int32_t GetScalePaperFit(plat::Variant* v);
    int32_t PutScalePaperFit(const plat::Variant& a);
    int32_t GetScalePrintLayout(plat::Variant* v);
    int32_t PutScalePrintLayout(const plat::Variant& a);
    int32_t GetPaperSizeSupported(plat::Variant* v);
    int32_t GetPaperWidthSupported(plat::Variant* v);
    int32_t GetPaperLengthSupported(plat::Variant* v);
    int32_t GetSourceSupported(plat::Variant* v);
    int32_t GetOrientationSupported(plat::Variant* v);
    int32_t GetCopiesSupported(plat::Variant* v);
    int32_t GetQualitySupported(plat::Variant* v);
    int32_t GetColorSupported(plat::Variant* v);
    int32_t GetSupportedFields(plat::Variant* v);
    int32_t PutDevModePaperWidth(const plat::Variant& a);
    int32_t PutDevModePaperLength(const plat::Variant& a);

    int32_t OpenPrinterMember(const plat::Variant* args, plat::Variant* v);
    int32_t PrintMember(const plat::Variant* args, plat::Variant* v);
    int32_t FilePrintMember(const plat::Variant* args, plat::Variant* v);
    int32_t PreviewPrintMember(const plat::Variant* args, plat::Variant* v);
    int32_t PrintRecordedPage(bool file, const plat::Variant* args);
    int32_t ClosePrinterMember(const plat::Variant* args, plat::Variant* v);
    int32_t ShowPrtSelectDlgMember(const plat::Variant* args, plat::Variant* v);
    int32_t CloseMember(const plat::Variant* args, plat::Variant* v);
    int32_t GetPaperMember(const plat::Variant* args, plat::Variant* v);
    int32_t GetPaperNameMember(const plat::Variant* args, plat::Variant* v);
    int32_t GetSourceMember(const plat::Variant* args, plat::Variant* v);
    int32_t GetSourceNameMember(const plat::Variant* args, plat::Variant* v);
    int32_t GetJobStatusMember(const plat::Variant* args, plat::Variant* v);
    int32_t SetJobStatusMember(const plat::Variant* args, plat::Variant* v);
    int32_t UpdateInfoMember(const plat::Variant* args, plat::Variant* v);
    int32_t ResetPendingSettingsMember(const plat::Variant* args, plat::Variant* v);
    int32_t GetDevModeMember(const plat::Variant* args, plat::Variant* v);
    int32_t SetDevModeMember(const plat::Variant* args, plat::Variant* v);
    int32_t FindPaperBySizeMember(const plat::Variant* args, plat::Variant* v);
    int32_t DrawReportOnPrinterMember(const plat::Variant* args, plat::Variant* v);
    int32_t GetPaperLengthMember(const plat::Variant* args, plat::Variant* v);
    int32_t GetPaperWidthMember(const plat::Variant* args, plat::Variant* v);

    int32_t ClosePrinter(bool jobCancel);
    // Close asked for while the job is busy (a page printing, the selection dialog open, a
    // member running below, the cancel's event, the print thread) waits for that to end.
    // LeaveUse ends a member or a cancel; TryClose does a waiting close when nothing keeps the
    // job any more, and answers whether it did (the job is gone then).
    void LeaveUse();
    bool TryClose();
    void FinishClose();
    int32_t PrintReport(ScriptableObject* report);
    void ReleaseThread();

    // Shared shapes of the members.
    int32_t GetGuarded(plat::Variant* v, bool needsDevMode, auto read);
    int32_t GetBool(plat::Variant* v, int32_t value);
    int32_t GetString(plat::Variant* v, const std::u16string& s, bool isSet);
    int32_t PutWhen(bool open, bool cancelDialogPut, auto put);
    int32_t PutLayout(const plat::Variant& a, auto write);
    int32_t GetListed(const plat::Variant* args, const auto& list, auto read);
    int32_t GetPaperOfCode(const plat::Variant* args, plat::Variant* v, bool length);

    static const PropertyRow<PrinterJobObject> kProperties[];
    static const MethodRow<PrinterJobObject> kMethods[];

    std::atomic<uint16_t> state_{kJobConstructed};
    // The members running on any thread and the cancels inside their event, counted in one word
    // with the bit of a waiting Close: whoever brings the count to 0 with the bit set does the
    // close, and anyone else leaving touches the job no more (another thread may free it the
    // moment after).
    static constexpr uint32_t kCloseWaiting = 0x80000000u;
    std::atomic<uint32_t> users_{0};
    ApplicationObject* app_ = nullptr;
    mutable std::recursive_mutex lock_;  // the job lock

    JobCancelDialog cancel_{[this] { CancelPrintJob(); }};

    PrinterBinding binding_;
    PrinterSettingsEditor settings_{binding_};

    PrintLoop loop_{{binding_, settings_, lock_, [this] { return state_.load() == kJobCancelled; },
                     [this] { return ResetPrinterDC(loop_.Document()); },
                     [this] { return PrintAbortProc() != 0; }}};

    int32_t asyncMode_ = 0;
    std::u16string jobName_;
    bool jobNameSet_ = false;

    // The asynchronous Print's thread lives here and not in the print loop: the loop runs one
    // page on whichever thread calls it, while the thread's start, its end and what may close
    // the job meanwhile are the job's (the users_ word, TryClose, the PrintEnd event). It is
    // joined by the next Print or the destructor. When the job is closed on that thread itself
    // (a PrintEnd sink may call Close), the application takes the thread over and joins it;
    // `threadEnded_` is set by the thread as its last act.
    std::mutex threadLock_;
    std::thread printThread_;
    std::shared_ptr<std::atomic<bool>> threadEnded_;
    bool threadBusy_ = false;
    int32_t dcOwnerIndex_ = -1;
};

// The ChildFactories entries of printer jobs.
ScriptableObject* NewPrinterJob();
int32_t OpenPrinterJob(ScriptableObject* job, ApplicationObject* app,
                       const plat::OleChar* printerName);

}  // namespace kp
