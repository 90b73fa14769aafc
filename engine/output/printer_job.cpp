#include "engine/output/printer_job.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "engine/core/application.h"
#include "engine/core/member_table.h"
#include "engine/core/module.h"
#include "engine/core/report.h"
#include "engine/include/kpengn_members.h"
#include "engine/output/printer_select_dialog.h"
#include "platform/gdi/handles.h"

namespace kp {

using plat::DevMode;
using plat::Variant;
using namespace plat;  // VarType names

namespace {

constexpr char16_t kDefaultJobName[] = u"無題";
constexpr char16_t kDefaultCancelMessage[] = u"印刷中です。";

char16_t LowerAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

bool SameNameIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// A BSTR's text, up to its stored length.
std::u16string WideOf(const OleChar* s) {
    return std::u16string(BstrView(s).data(), WideLen(s));
}

int16_t Saturate16(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

bool IsDocumentState(uint16_t s) {
    return s == kJobDocumentOpen || s == kJobPrintingPage;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Member tables

const PropertyRow<PrinterJobObject> PrinterJobObject::kProperties[] = {
    {KP_PROPERTY(PRINTER_JOB, SUPPORT_PAPERS), &PrinterJobObject::GetSupportPapers, nullptr},
    {KP_PROPERTY(PRINTER_JOB, SUPPORT_SOURCES), &PrinterJobObject::GetSupportSources, nullptr},
    {KP_PROPERTY(PRINTER_JOB, INFO_SIZE), &PrinterJobObject::GetInfoSize, nullptr},
    {KP_PROPERTY(PRINTER_JOB, PRINTER_NAME), &PrinterJobObject::GetPrinterName, nullptr},
    {KP_PROPERTY(PRINTER_JOB, DEVICE_NAME), &PrinterJobObject::GetDeviceName, nullptr},
    {KP_PROPERTY(PRINTER_JOB, CANCEL_DLG_CAPTION), &PrinterJobObject::GetCancelDlgCaption,
     &PrinterJobObject::PutCancelDlgCaption},
    {KP_PROPERTY(PRINTER_JOB, CANCEL_DLG), &PrinterJobObject::GetCancelDlg,
     &PrinterJobObject::PutCancelDlg},
    {KP_PROPERTY(PRINTER_JOB, CANCEL_DLG_MESSAGE), &PrinterJobObject::GetCancelDlgMessage,
     &PrinterJobObject::PutCancelDlgMessage},
    {KP_PROPERTY(PRINTER_JOB, CANCEL_BUTTON), &PrinterJobObject::GetCancelButton,
     &PrinterJobObject::PutCancelButton},
    {KP_PROPERTY(PRINTER_JOB, STATUS), &PrinterJobObject::GetStatus, nullptr},
    {KP_PROPERTY(PRINTER_JOB, MIN_PAPER_WIDTH), &PrinterJobObject::GetMinPaperWidth, nullptr},
    {KP_PROPERTY(PRINTER_JOB, MIN_PAPER_LENGTH), &PrinterJobObject::GetMinPaperLength, nullptr},
    {KP_PROPERTY(PRINTER_JOB, MAX_PAPER_WIDTH), &PrinterJobObject::GetMaxPaperWidth, nullptr},
    {KP_PROPERTY(PRINTER_JOB, MAX_PAPER_LENGTH), &PrinterJobObject::GetMaxPaperLength, nullptr},
    {KP_PROPERTY(PRINTER_JOB, PAPER_SIZE), &PrinterJobObject::GetPaperSize,
     &PrinterJobObject::PutPaperSize},
    {KP_PROPERTY(PRINTER_JOB, PAPER_WIDTH), &PrinterJobObject::GetPaperWidth,
     &PrinterJobObject::PutPaperWidth},
    {KP_PROPERTY(PRINTER_JOB, PAPER_LENGTH), &PrinterJobObject::GetPaperLength,
     &PrinterJobObject::PutPaperLength},
    {KP_PROPERTY(PRINTER_JOB, SOURCE), &PrinterJobObject::GetSource, &PrinterJobObject::PutSource},
    {KP_PROPERTY(PRINTER_JOB, ORIENTATION), &PrinterJobObject::GetOrientation,
     &PrinterJobObject::PutOrientation},
    {KP_PROPERTY(PRINTER_JOB, COPIES), &PrinterJobObject::GetCopies, &PrinterJobObject::PutCopies},
    {KP_PROPERTY(PRINTER_JOB, QUALITY), &PrinterJobObject::GetQuality,
     &PrinterJobObject::PutQuality},
    {KP_PROPERTY(PRINTER_JOB, COLOR), &PrinterJobObject::GetColor, &PrinterJobObject::PutColor},
    {KP_PROPERTY(PRINTER_JOB, ASYNC_MODE), &PrinterJobObject::GetASyncMode,
     &PrinterJobObject::PutASyncMode},
    {KP_PROPERTY(PRINTER_JOB, PAGE_COUNT), &PrinterJobObject::GetPageCount, nullptr},
    {KP_PROPERTY(PRINTER_JOB, MULTI_PRINT), &PrinterJobObject::GetMultiPrint,
     &PrinterJobObject::PutMultiPrint},
    {KP_PROPERTY(PRINTER_JOB, MULTI_PRINT_LAYOUT), &PrinterJobObject::GetMultiPrintLayout,
     &PrinterJobObject::PutMultiPrintLayout},
    {KP_PROPERTY(PRINTER_JOB, SCALE), &PrinterJobObject::GetScale, &PrinterJobObject::PutScale},
    {KP_PROPERTY(PRINTER_JOB, JOB_NAME), &PrinterJobObject::GetJobName,
     &PrinterJobObject::PutJobName},
    {KP_PROPERTY(PRINTER_JOB, JOB_NUMBER), &PrinterJobObject::GetJobNumber, nullptr},
    {KP_PROPERTY(PRINTER_JOB, MIN_TOP_MARGIN), &PrinterJobObject::GetMinTopMargin, nullptr},
    {KP_PROPERTY(PRINTER_JOB, MIN_LEFT_MARGIN), &PrinterJobObject::GetMinLeftMargin, nullptr},
    {KP_PROPERTY(PRINTER_JOB, MIN_BOTTOM_MARGIN), &PrinterJobObject::GetMinBottomMargin, nullptr},
    {KP_PROPERTY(PRINTER_JOB, MIN_RIGHT_MARGIN), &PrinterJobObject::GetMinRightMargin, nullptr},
    {KP_PROPERTY(PRINTER_JOB, HDC), &PrinterJobObject::GetHdc, nullptr},
    {KP_PROPERTY(PRINTER_JOB, SCALE_PRINT), &PrinterJobObject::GetScalePrint,
     &PrinterJobObject::PutScalePrint},
    {KP_PROPERTY(PRINTER_JOB, SCALE_PAPER_FIT), &PrinterJobObject::GetScalePaperFit,
     &PrinterJobObject::PutScalePaperFit},
    {KP_PROPERTY(PRINTER_JOB, SCALE_PRINT_LAYOUT), &PrinterJobObject::GetScalePrintLayout,
     &PrinterJobObject::PutScalePrintLayout},
    {KP_PROPERTY(PRINTER_JOB, PAPER_SIZE_SUPPORTED), &PrinterJobObject::GetPaperSizeSupported,
     nullptr},
    {KP_PROPERTY(PRINTER_JOB, PAPER_WIDTH_SUPPORTED), &PrinterJobObject::GetPaperWidthSupported,
     nullptr},
    {KP_PROPERTY(PRINTER_JOB, PAPER_LENGTH_SUPPORTED), &PrinterJobObject::GetPaperLengthSupported,
     nullptr},
    {KP_PROPERTY(PRINTER_JOB, SOURCE_SUPPORTED), &PrinterJobObject::GetSourceSupported, nullptr},
    {KP_PROPERTY(PRINTER_JOB, ORIENTATION_SUPPORTED), &PrinterJobObject::GetOrientationSupported,
     nullptr},
    {KP_PROPERTY(PRINTER_JOB, COPIES_SUPPORTED), &PrinterJobObject::GetCopiesSupported, nullptr},
    {KP_PROPERTY(PRINTER_JOB, QUALITY_SUPPORTED), &PrinterJobObject::GetQualitySupported, nullptr},
    {KP_PROPERTY(PRINTER_JOB, COLOR_SUPPORTED), &PrinterJobObject::GetColorSupported, nullptr},
    {KP_PROPERTY(PRINTER_JOB, SUPPORTED_FIELDS), &PrinterJobObject::GetSupportedFields, nullptr},
    {KP_PROPERTY(PRINTER_JOB, DEV_MODE_PAPER_WIDTH), nullptr,
     &PrinterJobObject::PutDevModePaperWidth},
    {KP_PROPERTY(PRINTER_JOB, DEV_MODE_PAPER_LENGTH), nullptr,
     &PrinterJobObject::PutDevModePaperLength},
};

const MethodRow<PrinterJobObject> PrinterJobObject::kMethods[] = {
    {KP_METHOD(PRINTER_JOB, OPEN_PRINTER), &PrinterJobObject::OpenPrinterMember},
    {KP_METHOD(PRINTER_JOB, CLOSE_PRINTER), &PrinterJobObject::ClosePrinterMember},
    {KP_METHOD(PRINTER_JOB, CLOSE), &PrinterJobObject::CloseMember},
    {KP_METHOD(PRINTER_JOB, GET_PAPER), &PrinterJobObject::GetPaperMember},
    {KP_METHOD(PRINTER_JOB, GET_PAPER_NAME), &PrinterJobObject::GetPaperNameMember},
    {KP_METHOD(PRINTER_JOB, GET_SOURCE), &PrinterJobObject::GetSourceMember},
    {KP_METHOD(PRINTER_JOB, GET_SOURCE_NAME), &PrinterJobObject::GetSourceNameMember},
    {KP_METHOD(PRINTER_JOB, GET_JOB_STATUS), &PrinterJobObject::GetJobStatusMember},
    {KP_METHOD(PRINTER_JOB, SET_JOB_STATUS), &PrinterJobObject::SetJobStatusMember},
    {KP_METHOD(PRINTER_JOB, PRINT), &PrinterJobObject::PrintMember},
    {KP_METHOD(PRINTER_JOB, FILE_PRINT), &PrinterJobObject::FilePrintMember},
    {KP_METHOD(PRINTER_JOB, PREVIEW_PRINT), &PrinterJobObject::PreviewPrintMember},
    {KP_METHOD(PRINTER_JOB, SHOW_PRT_SELECT_DLG), &PrinterJobObject::ShowPrtSelectDlgMember},
    {KP_METHOD(PRINTER_JOB, UPDATE_INFO), &PrinterJobObject::UpdateInfoMember},
    {KP_METHOD(PRINTER_JOB, RESET_PENDING_SETTINGS), &PrinterJobObject::ResetPendingSettingsMember},
    {KP_METHOD(PRINTER_JOB, GET_DEV_MODE), &PrinterJobObject::GetDevModeMember},
    {KP_METHOD(PRINTER_JOB, SET_DEV_MODE), &PrinterJobObject::SetDevModeMember},
    {KP_METHOD(PRINTER_JOB, FIND_PAPER_BY_SIZE), &PrinterJobObject::FindPaperBySizeMember},
    {KP_METHOD(PRINTER_JOB, DRAW_REPORT_ON_PRINTER), &PrinterJobObject::DrawReportOnPrinterMember},
    {KP_METHOD(PRINTER_JOB, GET_PAPER_LENGTH), &PrinterJobObject::GetPaperLengthMember},
    {KP_METHOD(PRINTER_JOB, GET_PAPER_WIDTH), &PrinterJobObject::GetPaperWidthMember},
};

// ---------------------------------------------------------------------------------------------
// Life

PrinterJobObject::PrinterJobObject() = default;

PrinterJobObject::~PrinterJobObject() {
    ReleaseThread();
    std::lock_guard guard(lock_);
    if (app_ != nullptr) app_->UnregisterPrinter(this);
    cancel_.Destroy();
    loop_.DiscardDocument();
    if (dcOwnerIndex_ != -1) {
        RemovePrintDcOwner(dcOwnerIndex_);
        dcOwnerIndex_ = -1;
    }
}

int32_t PrinterJobObject::QueryInterface(const InterfaceId* iid, void** out) {
    return app_ ? app_->QueryInterface(iid, out) : rc::kNotReady;
}
int32_t PrinterJobObject::AddRef() {
    return app_ ? app_->AddRef() : 1;
}
int32_t PrinterJobObject::Release() {
    return app_ ? app_->Release() : 1;
}
int32_t PrinterJobObject::GetTypeInfo(ClassInfo** out) {
    if (app_ == nullptr) return rc::kNotReady;
    return app_->Classes().ClassInfoQueryInterface(&iid::kPrinterJob, out);
}

int32_t PrinterJobObject::Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                                 Variant* result) {
    // Every member of the public table has its row here (the ones Invoke takes itself aside).
    static_assert(std::size(kProperties) + std::size(kMethods) == KP_MEMBER_COUNT(PRINTER_JOB));
    // A Close asked for inside this member (by a sink, or from a pump) is done once the member
    // has ended, a throw included; the job may be gone then and nothing of it is touched.
    users_.fetch_add(1);
    const int32_t code = GuardedCall([&] {
        return DispatchMember<PrinterJobObject>(*this, kProperties, kMethods, memberId, kind, args,
                                                result);
    });
    GuardedCall([&] {
        LeaveUse();
        return rc::kOk;
    });
    return code;
}

void PrinterJobObject::LeaveUse() {
    if (users_.fetch_sub(1) == (kCloseWaiting | 1)) TryClose();
}

bool PrinterJobObject::TryClose() {
    if (users_.load() != kCloseWaiting) return false;
    const uint16_t s = state_.load();
    if (s == kJobPrintingPage || s == kJobSelecting) return false;
    {
        std::lock_guard threadGuard(threadLock_);
        if (threadBusy_) return false;
    }
    // Only one of those finding the job idle closes it.
    uint32_t waiting = kCloseWaiting;
    if (!users_.compare_exchange_strong(waiting, 0)) return false;
    FinishClose();
    return true;
}

void PrinterJobObject::FinishClose() {
    {
        std::lock_guard guard(lock_);
        const uint16_t s = state_.load();
        if (s == kJobDocumentOpen || s == kJobCancelled) ClosePrinter(false);
    }
    delete this;
}

std::optional<DevMode> PrinterJobObject::CurrentDevMode() {
    std::lock_guard guard(lock_);
    return settings_.Current();
}

DeviceContext* PrinterJobObject::DocumentDc() {
    std::lock_guard guard(lock_);
    return loop_.Dc();
}

PrinterModel PrinterJobObject::Model() {
    std::lock_guard guard(lock_);
    return binding_.Model();
}

// ---------------------------------------------------------------------------------------------
// Binding to a printer and reading what it can do

int32_t PrinterJobObject::Open(ApplicationObject* app, const OleChar* printerName) {
    std::lock_guard guard(lock_);
    if (state_.load() != kJobConstructed) return rc::kWrongState;
    app_ = app;
    if (printerName == nullptr) return rc::kBadArgument;
    const std::u16string requested = WideOf(printerName);
    if (app == nullptr) return rc::kNotReady;

    std::u16string name, driver, port;
    bool found = false;
    for (uint32_t n = 0, count = app->PrinterCount(); n < count; ++n) {
        if (app->PrinterAt(n, &name, &driver, &port) && SameNameIgnoringCase(name, requested)) {
            found = true;
            break;
        }
    }
    if (!found) return rc::kNoSuchPrinter;
    std::string cupsName;
    if (!Utf8FromWide(name, &cupsName)) return rc::kStringConversion;
    binding_.SetNames(cupsName, requested, driver, port);
    settings_.Current().reset();

    if (const int32_t code = ReadPrinterCapabilities(cupsName); code != rc::kOk) return code;
    cancel_.SetMessage(kDefaultCancelMessage);
    jobName_ = kDefaultJobName;
    jobNameSet_ = true;
    state_.store(kJobReady);
    return rc::kOk;
}

int32_t PrinterJobObject::ReadPrinterCapabilities(const std::string& printer) {
    if (state_.load() != kJobConstructed) return rc::kWrongState;
    PrinterModel model;
    if (const int32_t code = PrinterBinding::Query(printer, &model); code != rc::kOk) {
        binding_.Clear();
        return code;
    }
    if (const int32_t code = BindPrinterModel(std::move(model), std::nullopt); code != rc::kOk) {
        binding_.Clear();
        return code;
    }
    return rc::kOk;
}

int32_t PrinterJobObject::BindPrinterModel(PrinterModel model,
                                           const std::optional<DevMode>& settings) {
    binding_.Bind(std::move(model));
    if (settings || !settings_.Current()) {
        if (const int32_t code = settings_.Apply(settings ? *settings : binding_.Model().defaults);
            code != rc::kOk) {
            return code;
        }
    }
    binding_.MeasureInfo(*settings_.Current());
    binding_.AdoptLimits();
    return rc::kOk;
}

int32_t PrinterJobObject::ResetPrinterDC(PrinterDocument* doc) {
    const uint16_t before = state_.exchange(kJobResetting);
    const int32_t code = loop_.ResetDocument(doc);
    state_.store(before);
    return code;
}

// ---------------------------------------------------------------------------------------------
// Shared shapes

int32_t PrinterJobObject::RefusedPut(bool cancelDialogPut) const {
    const uint16_t s = state_.load();
    if (s == kJobCancelled) return rc::kJobCancelled;
    if (!cancelDialogPut && s == kJobPrintingPage) return rc::kBusy;
    return rc::kWrongState;
}

int32_t PrinterJobObject::GetGuarded(Variant* v, bool needsDevMode, auto read) {
    std::lock_guard guard(lock_);
    if (state_.load() == kJobConstructed) return rc::kWrongState;
    if (needsDevMode && !settings_.Current()) return rc::kNotReady;
    read(v);
    return rc::kOk;
}

int32_t PrinterJobObject::GetBool(Variant* v, int32_t value) {
    return GetGuarded(v, false, [&](Variant* out) { out->boolVal = value ? -1 : 0; });
}

int32_t PrinterJobObject::GetString(Variant* v, const std::u16string& s, bool isSet) {
    std::lock_guard guard(lock_);
    if (state_.load() == kJobConstructed) return rc::kWrongState;
    if (!isSet) return rc::kOk;
    v->bstrVal = BstrAllocView(s);
    return v->bstrVal ? rc::kOk : rc::kOutOfMemory;
}

// A put taken in state 16, and with `open` in state 128 too; `put` hears which and answers.
int32_t PrinterJobObject::PutWhen(bool open, bool cancelDialogPut, auto put) {
    std::lock_guard guard(lock_);
    const uint16_t s = state_.load();
    if (s != kJobReady && (!open || s != kJobDocumentOpen)) return RefusedPut(cancelDialogPut);
    return put(s == kJobReady);
}

// Layout settings: in state 16 the live value and its deferred copy, in 128 the copy alone.
int32_t PrinterJobObject::PutLayout(const Variant& a, auto write) {
    return PutWhen(true, false, [&](bool ready) {
        if (const int32_t code = write(settings_.Deferred(), a); code != rc::kOk) return code;
        if (ready) write(settings_.Layout(), a);
        return rc::kOk;
    });
}

// The list entry of an index, refused beyond the list's end.
int32_t PrinterJobObject::GetListed(const Variant* args, const auto& list, auto read) {
    std::lock_guard guard(lock_);
    if (state_.load() == kJobConstructed) return rc::kWrongState;
    if (args[0].uiVal >= list.size()) return rc::kOutOfRange;
    return read(list[args[0].uiVal]);
}

// A paper's size by its code (0.1 mm), while the job is bound to a printer.
int32_t PrinterJobObject::GetPaperOfCode(const Variant* args, Variant* v, bool length) {
    if (state_.load() == kJobConstructed) return rc::kBusy;
    std::lock_guard guard(lock_);
    if (!binding_.Bound()) return rc::kNotReady;
    const CodedPaper* paper = binding_.PaperOfCode(args[0].iVal);
    if (paper == nullptr) return rc::kUnknownPaper;
    v->iVal = Saturate16(length ? paper->length : paper->width);
    return rc::kOk;
}

// ---------------------------------------------------------------------------------------------
// Properties

int32_t PrinterJobObject::GetSupportPapers(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) {
        o->iVal = static_cast<int16_t>(binding_.Model().papers.size());
    });
}
int32_t PrinterJobObject::GetSupportSources(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) {
        o->iVal = static_cast<int16_t>(binding_.Model().sources.size());
    });
}
int32_t PrinterJobObject::GetInfoSize(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) {
        o->uiVal = settings_.Current() ? static_cast<uint16_t>(settings_.Current()->dmSize +
                                                               settings_.Current()->dmDriverExtra)
                                       : 0;
    });
}
int32_t PrinterJobObject::GetPrinterName(Variant* v) {
    return GetString(v, binding_.PrinterNameWide(), !binding_.PrinterNameWide().empty());
}
int32_t PrinterJobObject::GetDeviceName(Variant* v) {
    return GetString(v, binding_.DriverName(), !binding_.DriverName().empty());
}
int32_t PrinterJobObject::GetCancelDlgCaption(Variant* v) {
    return GetString(v, cancel_.Caption(), !cancel_.Caption().empty());
}
// The dialog's texts and button show at once while the document is open.
int32_t PrinterJobObject::PutCancelDlgCaption(const Variant& a) {
    return PutWhen(true, true, [&](bool) {
        cancel_.SetCaption(WideOf(a.bstrVal));
        return rc::kOk;
    });
}
int32_t PrinterJobObject::GetCancelDlg(Variant* v) {
    return GetBool(v, cancel_.Wanted());
}
int32_t PrinterJobObject::PutCancelDlg(const Variant& a) {
    return PutWhen(false, true, [&](bool) {
        cancel_.SetWanted(a.boolVal != 0);
        return rc::kOk;
    });
}
int32_t PrinterJobObject::GetCancelDlgMessage(Variant* v) {
    return GetString(v, cancel_.Message(), !cancel_.Message().empty());
}
int32_t PrinterJobObject::PutCancelDlgMessage(const Variant& a) {
    return PutWhen(true, true, [&](bool) {
        cancel_.SetMessage(WideOf(a.bstrVal));
        return rc::kOk;
    });
}
int32_t PrinterJobObject::GetCancelButton(Variant* v) {
    return GetBool(v, cancel_.Button());
}
int32_t PrinterJobObject::PutCancelButton(const Variant& a) {
    return PutWhen(true, true, [&](bool) {
        cancel_.SetButton(a.boolVal != 0);
        return rc::kOk;
    });
}
int32_t PrinterJobObject::GetStatus(Variant* v) {
    v->uiVal = state_.load();
    return rc::kOk;
}
int32_t PrinterJobObject::GetMinPaperWidth(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) { o->iVal = binding_.MinWidth(); });
}
int32_t PrinterJobObject::GetMinPaperLength(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) { o->iVal = binding_.MinLength(); });
}
int32_t PrinterJobObject::GetMaxPaperWidth(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) { o->iVal = binding_.MaxWidth(); });
}
int32_t PrinterJobObject::GetMaxPaperLength(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) { o->iVal = binding_.MaxLength(); });
}
int32_t PrinterJobObject::GetPaperSize(Variant* v) {
    return GetGuarded(v, true, [&](Variant* o) { o->iVal = settings_.Current()->dmPaperSize; });
}
int32_t PrinterJobObject::GetPaperWidth(Variant* v) {
    return GetGuarded(v, true, [&](Variant* o) { o->iVal = settings_.Current()->dmPaperWidth; });
}
int32_t PrinterJobObject::GetPaperLength(Variant* v) {
    return GetGuarded(v, true, [&](Variant* o) { o->iVal = settings_.Current()->dmPaperLength; });
}
int32_t PrinterJobObject::GetSource(Variant* v) {
    return GetGuarded(v, true, [&](Variant* o) { o->iVal = settings_.Current()->dmDefaultSource; });
}
int32_t PrinterJobObject::GetOrientation(Variant* v) {
    return GetGuarded(v, true, [&](Variant* o) {
        o->uiVal = static_cast<uint16_t>(settings_.Current()->dmOrientation);
    });
}
int32_t PrinterJobObject::GetCopies(Variant* v) {
    return GetGuarded(v, true, [&](Variant* o) {
        o->uiVal = static_cast<uint16_t>(settings_.Current()->dmCopies);
    });
}
int32_t PrinterJobObject::GetQuality(Variant* v) {
    return GetGuarded(v, true, [&](Variant* o) { o->iVal = settings_.Current()->dmPrintQuality; });
}
int32_t PrinterJobObject::GetColor(Variant* v) {
    return GetGuarded(v, true, [&](Variant* o) {
        o->uiVal = static_cast<uint16_t>(settings_.Current()->dmColor);
    });
}

int32_t PrinterJobObject::PutPaperSize(const Variant& a) {
    return PutWhen(true, false, [&](bool ready) { return settings_.PutPaperSize(a.iVal, ready); });
}

int32_t PrinterJobObject::PutPaperWidth(const Variant& a) {
    return PutWhen(true, false, [&](bool ready) { return settings_.PutPaperWidth(a.iVal, ready); });
}

int32_t PrinterJobObject::PutPaperLength(const Variant& a) {
    return PutWhen(true, false,
                   [&](bool ready) { return settings_.PutPaperLength(a.iVal, ready); });
}

int32_t PrinterJobObject::PutSource(const Variant& a) {
    return PutWhen(true, false, [&](bool ready) { return settings_.PutSource(a.iVal, ready); });
}

int32_t PrinterJobObject::PutOrientation(const Variant& a) {
    return PutWhen(true, false,
                   [&](bool ready) { return settings_.PutOrientation(a.uiVal, ready); });
}

int32_t PrinterJobObject::PutCopies(const Variant& a) {
    return PutWhen(false, false, [&](bool) { return settings_.PutCopies(a.uiVal); });
}

int32_t PrinterJobObject::PutQuality(const Variant& a) {
    return PutWhen(false, false, [&](bool) { return settings_.PutQuality(a.iVal); });
}

int32_t PrinterJobObject::PutColor(const Variant& a) {
    return PutWhen(false, false, [&](bool) { return settings_.PutColor(a.uiVal); });
}

int32_t PrinterJobObject::GetASyncMode(Variant* v) {
    return GetBool(v, asyncMode_);
}
int32_t PrinterJobObject::PutASyncMode(const Variant& a) {
    return PutWhen(false, false, [&](bool) {
        asyncMode_ = a.boolVal != 0;
        return rc::kOk;
    });
}
int32_t PrinterJobObject::GetPageCount(Variant* v) {
    std::lock_guard guard(lock_);
    if (state_.load() != kJobDocumentOpen) return rc::kWrongState;
    v->ulVal = loop_.PageCount();
    return rc::kOk;
}
int32_t PrinterJobObject::GetJobNumber(Variant* v) {
    std::lock_guard guard(lock_);
    if (state_.load() != kJobDocumentOpen) return rc::kWrongState;
    v->ulVal = static_cast<uint32_t>(loop_.JobNumber());
    return rc::kOk;
}
int32_t PrinterJobObject::GetMultiPrint(Variant* v) {
    return GetBool(v, settings_.Layout().multiPrint);
}
int32_t PrinterJobObject::PutMultiPrint(const Variant& a) {
    return PutLayout(a, [](LayoutSettings& l, const Variant& x) {
        l.multiPrint = x.boolVal != 0;
        return rc::kOk;
    });
}
int32_t PrinterJobObject::GetMultiPrintLayout(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) {
        o->uiVal = static_cast<uint16_t>(settings_.Layout().multiPrintLayout);
    });
}
int32_t PrinterJobObject::PutMultiPrintLayout(const Variant& a) {
    return PutLayout(a, [](LayoutSettings& l, const Variant& x) {
        if (x.uiVal != 1 && x.uiVal != 2) return rc::kOutOfRange;
        l.multiPrintLayout = static_cast<int16_t>(x.uiVal);
        return rc::kOk;
    });
}
int32_t PrinterJobObject::GetScale(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) { o->uiVal = settings_.Layout().scale; });
}
int32_t PrinterJobObject::PutScale(const Variant& a) {
    return PutLayout(a, [](LayoutSettings& l, const Variant& x) {
        if (x.uiVal < 5 || x.uiVal > 1000) return rc::kOutOfRange;
        l.scale = x.uiVal;
        return rc::kOk;
    });
}
int32_t PrinterJobObject::GetScalePrint(Variant* v) {
    return GetBool(v, settings_.Layout().scalePrint);
}
int32_t PrinterJobObject::PutScalePrint(const Variant& a) {
    return PutLayout(a, [](LayoutSettings& l, const Variant& x) {
        l.scalePrint = x.boolVal != 0;
        return rc::kOk;
    });
}
int32_t PrinterJobObject::GetScalePaperFit(Variant* v) {
    return GetBool(v, settings_.Layout().scalePaperFit);
}
int32_t PrinterJobObject::PutScalePaperFit(const Variant& a) {
    return PutLayout(a, [](LayoutSettings& l, const Variant& x) {
        l.scalePaperFit = x.boolVal != 0;
        return rc::kOk;
    });
}
int32_t PrinterJobObject::GetScalePrintLayout(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) {
        o->uiVal = static_cast<uint16_t>(settings_.Layout().scalePrintLayout);
    });
}
int32_t PrinterJobObject::PutScalePrintLayout(const Variant& a) {
    return PutLayout(a, [](LayoutSettings& l, const Variant& x) {
        if (x.uiVal < 1 || x.uiVal > 3) return rc::kOutOfRange;
        l.scalePrintLayout = static_cast<int16_t>(x.uiVal);
        return rc::kOk;
    });
}
int32_t PrinterJobObject::GetJobName(Variant* v) {
    return GetString(v, jobName_, jobNameSet_);
}
int32_t PrinterJobObject::PutJobName(const Variant& a) {
    return PutWhen(false, false, [&](bool) {
        jobName_ = WideOf(a.bstrVal);
        jobNameSet_ = !jobName_.empty();
        return rc::kOk;
    });
}
int32_t PrinterJobObject::GetMinTopMargin(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) { o->iVal = settings_.MarginTop(); });
}
int32_t PrinterJobObject::GetMinLeftMargin(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) { o->iVal = settings_.MarginLeft(); });
}
int32_t PrinterJobObject::GetMinBottomMargin(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) { o->iVal = settings_.MarginBottom(); });
}
int32_t PrinterJobObject::GetMinRightMargin(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) { o->iVal = settings_.MarginRight(); });
}
int32_t PrinterJobObject::GetHdc(Variant* v) {
    std::lock_guard guard(lock_);
    if (state_.load() == kJobConstructed) return rc::kWrongState;
    if (!binding_.Info()) return rc::kNotReady;
    v->ulVal = binding_.Info()->handle();
    return rc::kOk;
}
int32_t PrinterJobObject::GetPaperSizeSupported(Variant* v) {
    return GetBool(v, binding_.Supports(kDmPaperSize));
}
int32_t PrinterJobObject::GetPaperWidthSupported(Variant* v) {
    return GetBool(v, binding_.Supports(kDmPaperWidth));
}
int32_t PrinterJobObject::GetPaperLengthSupported(Variant* v) {
    return GetBool(v, binding_.Supports(kDmPaperLength));
}
int32_t PrinterJobObject::GetSourceSupported(Variant* v) {
    return GetBool(v, binding_.Supports(kDmDefaultSource));
}
int32_t PrinterJobObject::GetOrientationSupported(Variant* v) {
    return GetBool(v, binding_.Supports(kDmOrientation));
}
int32_t PrinterJobObject::GetCopiesSupported(Variant* v) {
    return GetBool(v, binding_.Supports(kDmCopies));
}
int32_t PrinterJobObject::GetQualitySupported(Variant* v) {
    return GetBool(v, binding_.Supports(kDmPrintQuality));
}
int32_t PrinterJobObject::GetColorSupported(Variant* v) {
    return GetBool(v, binding_.Supports(kDmColor));
}
int32_t PrinterJobObject::GetSupportedFields(Variant* v) {
    return GetGuarded(v, false, [&](Variant* o) { o->ulVal = binding_.Fields(); });
}
int32_t PrinterJobObject::PutDevModePaperWidth(const Variant& a) {
    return PutWhen(false, false, [&](bool) {
        if (!settings_.Current()) return rc::kNotReady;
        settings_.Current()->dmPaperWidth = a.iVal;
        return rc::kOk;
    });
}
int32_t PrinterJobObject::PutDevModePaperLength(const Variant& a) {
    return PutWhen(false, false, [&](bool) {
        if (!settings_.Current()) return rc::kNotReady;
        settings_.Current()->dmPaperLength = a.iVal;
        return rc::kOk;
    });
}

// ---------------------------------------------------------------------------------------------
// Settings methods

int32_t PrinterJobObject::UpdateInfoMember(const Variant*, Variant*) {
    std::lock_guard guard(lock_);
    const uint16_t s = state_.load();
    if (s == kJobReady) {
        if (!settings_.Current()) return rc::kNotReady;
        // Nothing to apply: the layout's deferred copy stays deferred too.
        if (!settings_.HasWaitingChanges()) return rc::kOk;
        if (const int32_t code = settings_.UpdateReady(); code != rc::kOk) return code;
    } else if (s == kJobDocumentOpen) {
        if (!settings_.Current()) return rc::kNotReady;
        if (const int32_t code = loop_.EndSheet(); code != rc::kOk) return code;
        if (const int32_t code =
                settings_.UpdateOpen([this] { return ResetPrinterDC(loop_.Document()); });
            code != rc::kOk) {
            return code;
        }
    } else if (s == kJobPrintingPage) {
        return rc::kBusy;
    } else if (s == kJobCancelled) {
        return rc::kJobCancelled;
    } else {
        return rc::kWrongState;
    }
    settings_.CommitEdits();
    return rc::kOk;
}

int32_t PrinterJobObject::ResetPendingSettingsMember(const Variant*, Variant*) {
    return PutWhen(true, false, [&](bool) {
        settings_.DropEdits();
        return rc::kOk;
    });
}

int32_t PrinterJobObject::GetDevModeMember(const Variant* args, Variant*) {
    std::lock_guard guard(lock_);
    const uint16_t s = state_.load();
    if (s == kJobConstructed || s == kJobResetting) return rc::kBusy;
    if (!settings_.Current()) return rc::kNotReady;
    if (args[0].byref == nullptr) return rc::kDevModeBuffer;
    std::memcpy(args[0].byref, &*settings_.Current(), sizeof(DevMode));
    return rc::kOk;
}

int32_t PrinterJobObject::SetDevModeMember(const Variant* args, Variant*) {
    std::lock_guard guard(lock_);
    const auto* given = static_cast<const DevMode*>(args[0].byref);
    // The record's own size fields are the caller's word only: a record that is not ours in
    // size, or that claims a driver part beyond any driver's, is refused before it is copied.
    if (given == nullptr) return rc::kDevModeBuffer;
    DevMode copy;
    std::memcpy(&copy, given, sizeof copy);
    if (copy.dmSize != kDevModeSize || copy.dmDriverExtra > 8192) return rc::kDevModeBuffer;
    const uint16_t s = state_.load();
    if (s != kJobReady) return s == kJobPrintingPage ? rc::kBusy : RefusedPut(false);
    if (settings_.HasPendingEdits()) return rc::kEditsPending;
    copy.dmDriverExtra = 0;  // a foreign driver part is dropped
    settings_.SetReplacement(copy);
    return rc::kOk;
}

int32_t PrinterJobObject::GetPaperMember(const Variant* args, Variant* v) {
    return GetListed(args, binding_.Model().papers, [&](const auto& paper) {
        v->uiVal = paper.code;
        return rc::kOk;
    });
}

int32_t PrinterJobObject::GetPaperNameMember(const Variant* args, Variant* v) {
    return GetListed(args, binding_.Model().papers, [&](const auto& paper) {
        v->bstrVal = BstrFromUtf8(paper.name);
        return v->bstrVal ? rc::kOk : rc::kOutOfMemory;
    });
}

int32_t PrinterJobObject::GetSourceMember(const Variant* args, Variant* v) {
    return GetListed(args, binding_.Model().sources, [&](const auto& source) {
        v->uiVal = static_cast<uint16_t>(source.code);
        return rc::kOk;
    });
}

int32_t PrinterJobObject::GetSourceNameMember(const Variant* args, Variant* v) {
    return GetListed(args, binding_.Model().sources, [&](const auto& source) {
        v->bstrVal = BstrFromUtf8(source.name);
        return v->bstrVal ? rc::kOk : rc::kOutOfMemory;
    });
}

int32_t PrinterJobObject::FindPaperBySizeMember(const Variant* args, Variant* v) {
    v->iVal = -1;
    if (state_.load() == kJobConstructed) return rc::kBusy;
    std::lock_guard guard(lock_);
    if (!binding_.Bound()) return rc::kNotReady;
    v->iVal = binding_.FindPaperBySize(args[0].iVal, args[1].iVal);
    return rc::kOk;
}

int32_t PrinterJobObject::GetPaperLengthMember(const Variant* args, Variant* v) {
    return GetPaperOfCode(args, v, true);
}

int32_t PrinterJobObject::GetPaperWidthMember(const Variant* args, Variant* v) {
    return GetPaperOfCode(args, v, false);
}

// ---------------------------------------------------------------------------------------------
// Job status

int32_t PrinterJobObject::GetJobStatusMember(const Variant* args, Variant* v) {
    if (state_.load() == kJobConstructed) return rc::kWrongState;
    std::lock_guard guard(lock_);
    return binding_.JobStatus(static_cast<int32_t>(args[0].ulVal), &v->ulVal);
}

int32_t PrinterJobObject::SetJobStatusMember(const Variant* args, Variant*) {
    if (state_.load() == kJobConstructed) return rc::kWrongState;
    std::lock_guard guard(lock_);
    return binding_.ControlJob(static_cast<int32_t>(args[0].ulVal), args[1].ulVal);
}

// ---------------------------------------------------------------------------------------------
// The document

int32_t PrinterJobObject::OpenPrinterMember(const Variant* args, Variant*) {
    std::lock_guard guard(lock_);
    const uint32_t parent = args[0].ulVal;
    if (parent != 0 && KindOfHandle(parent) != HandleKind::kWindow) return rc::kBadArgument;
    const uint16_t s = state_.load();
    if (s != kJobReady) {
        if (s == kJobResetting || s == kJobDocumentOpen || s == kJobPrintingPage) {
            return rc::kDocumentBusy;
        }
        return s == kJobCancelled ? rc::kJobCancelled : rc::kWrongState;
    }
    if (settings_.HasWaitingChanges()) return rc::kOpenWithEdits;
    if (!settings_.Current()) return rc::kNotReady;
    state_.store(kJobDocumentOpen);

    const auto fail = [&](int32_t code, std::unique_ptr<PrinterDocument>& doc, int32_t owner) {
        cancel_.Destroy();
        if (owner >= 0) RemovePrintDcOwner(owner);
        doc.reset();
        state_.store(kJobReady);
        return code;
    };
    PageGeometry page;
    // State 16 is only reached through Open with an application.
    const PrinterDocumentFactory factory = app_->Services().printerDocument;
    std::unique_ptr<PrinterDocument> doc;
    if (factory != nullptr && MeasurePage(binding_.Model(), *settings_.Current(), &page)) {
        doc = factory(binding_.PrinterName(), binding_.Model(), page, *settings_.Current());
    }
    if (!doc) return fail(rc::kNoPrinterDc, doc, -1);
    const int32_t owner = AddPrintDcOwner(doc->dc()->handle(), this);
    if (owner < 0) return fail(rc::kNotReady, doc, -1);
    // The cancel dialog is a window of the host's GUI thread: without a QApplication, or off
    // its thread, it cannot be made.
    if (const int32_t code = cancel_.Show(parent); code != rc::kOk) return fail(code, doc, owner);

    // The new document replaces the old one only once it is started; until then the reset
    // works on it alone.
    if (const int32_t code = ResetPrinterDC(doc.get()); code != rc::kOk) {
        return fail(code, doc, owner);
    }
    std::string title;
    if (!Utf8FromWide(jobNameSet_ ? jobName_ : std::u16string(kDefaultJobName), &title)) {
        return fail(rc::kStringConversion, doc, owner);
    }
    if (const int32_t code = loop_.StartDocument(doc, title); code != rc::kOk) {
        return fail(code, doc, owner);
    }
    if (dcOwnerIndex_ != -1) RemovePrintDcOwner(dcOwnerIndex_);
    dcOwnerIndex_ = owner;
    return rc::kOk;
}

int32_t PrinterJobObject::ClosePrinter(bool jobCancel) {
    std::lock_guard guard(lock_);
    const uint16_t s = state_.load();
    if (s != kJobDocumentOpen && s != kJobCancelled) return rc::kWrongState;
    cancel_.Destroy();
    // After a cancel the document is aborted whatever the host asked for.
    const int32_t code = loop_.EndDocument(jobCancel && s != kJobCancelled);
    state_.store(kJobReady);
    if (dcOwnerIndex_ != -1) {
        RemovePrintDcOwner(dcOwnerIndex_);
        dcOwnerIndex_ = -1;
    }
    return code;
}

int32_t PrinterJobObject::ClosePrinterMember(const Variant* args, Variant*) {
    return ClosePrinter(args[0].boolVal != 0);
}

// The job goes when the member returns (Invoke), or, when it is busy, once what keeps it busy
// has ended: freeing it under a running page or dialog would pull it from under them.
int32_t PrinterJobObject::CloseMember(const Variant*, Variant*) {
    users_.fetch_or(kCloseWaiting);
    return rc::kOk;
}

int32_t PrinterJobObject::CancelPrintJob() {
    uint16_t s = state_.load();
    if (!IsDocumentState(s)) return rc::kNotReady;
    // The host hears of the cancel while the job still has its old state; a Close from its
    // sink waits for the cancel to end.
    users_.fetch_add(1);
    if (app_ != nullptr) {
        Variant arg = VariantDispatch(this);
        InvokeArgs args{&arg, 1};
        app_->FireEvent(KPM_EVENT_PRINTER_JOB_PRINT_CANCEL, &args);
    }
    // The page loop's end and this cancel both change the state by compare-and-swap, so a
    // cancel that lands while a page ends is never overwritten.
    int32_t result = rc::kNotReady;
    while (IsDocumentState(s)) {
        if (state_.compare_exchange_weak(s, kJobCancelled)) {
            result = rc::kOk;
            break;
        }
    }
    LeaveUse();
    return result;
}

// ---------------------------------------------------------------------------------------------
// The printer selection dialog

int32_t PrinterJobObject::ShowPrtSelectDlgMember(const Variant* args, Variant* v) {
    std::string name;
    std::optional<DevMode> settings;
    PrinterSelectDialog::Layout layout;
    uint16_t copiesLimit = 0;
    {
        std::lock_guard guard(lock_);
        const uint16_t s = state_.load();
        if (s != kJobReady) return s == kJobCancelled ? rc::kJobCancelled : rc::kWrongState;
        state_.store(kJobSelecting);
        name = binding_.PrinterName();
        settings = settings_.Current();
        layout = settings_.SelectionLayout();
        copiesLimit = binding_.CopiesLimit();
    }
    // The job stays in state 32 while the dialog runs, without its lock: other members are
    // refused by the state rather than kept waiting for the user.
    const auto finish = [this](int32_t code) {
        state_.store(kJobReady);
        return code;
    };
    PrinterSelectDialog dialog;
    if (!dialog.Initialise(name, settings ? &*settings : nullptr, layout, copiesLimit)) {
        return finish(rc::kSelectNotPrepared);
    }
    const uint32_t parent = args[0].ulVal;
    switch (RunPrinterSelectDialog(&dialog, parent ? WindowFromHandle(parent) : nullptr,
                                   args[1].ulVal)) {
        case PrinterSelectDialog::kEndOk:
            break;
        case PrinterSelectDialog::kEndCancel:
            v->boolVal = 0;
            return finish(rc::kOk);
        case PrinterSelectDialog::kNoLists:
            return finish(rc::kSelectNoLists);
        case PrinterSelectDialog::kQueryFailed:
            return finish(rc::kSelectQueryFailed);
        default:
            return finish(rc::kSelectFailed);
    }

    std::lock_guard guard(lock_);
    if (dialog.OutputPaper()) settings_.TakeChosenLayout(dialog.Chosen());
    // Everything the new printer needs is read and checked before anything of the job is
    // replaced, so that a failure leaves the job on its old printer whole.
    PrinterModel model;
    if (PrinterBinding::Query(dialog.PrinterName(), &model) != rc::kOk)
        return finish(rc::kNotReady);
    PageGeometry page;
    if (!MeasurePage(model, PrinterSettingsEditor::MergedForPrinter(model, dialog.Settings()),
                     &page)) {
        return finish(rc::kNotReady);
    }
    bool nameOk = false, driverOk = false, portOk = false;
    std::u16string wide = WideFromUtf8(dialog.PrinterName(), &nameOk);
    std::u16string driver = WideFromUtf8(dialog.DriverName(), &driverOk);
    std::u16string port = WideFromUtf8(dialog.PortName(), &portOk);
    if (!nameOk || !driverOk || !portOk) return finish(rc::kNotReady);
    binding_.SetNames(dialog.PrinterName(), std::move(wide), std::move(driver), std::move(port));
    if (const int32_t code = BindPrinterModel(std::move(model), dialog.Settings());
        code != rc::kOk) {
        return finish(code);
    }
    v->boolVal = 1;
    return finish(rc::kOk);
}

// ---------------------------------------------------------------------------------------------
// Printing a page

int32_t PrinterJobObject::PrintPage(PageSource& source) {
    {
        std::lock_guard guard(lock_);
        uint16_t s = state_.load();
        if (s == kJobReady || s == kJobCancelled) {
            PumpGuiEvents();
            return s == kJobReady ? rc::kWrongState : rc::kJobCancelled;
        }
        // Re-entered from a pump, or called while the job is busy otherwise: nothing printed,
        // nothing changed.
        if (s != kJobDocumentOpen || !state_.compare_exchange_strong(s, kJobPrintingPage)) {
            return s == kJobCancelled ? rc::kJobCancelled : rc::kBusy;
        }
    }
    const int32_t result = loop_.RunPage(source);
    // The end of the page gives the document back unless a cancel came meanwhile; the cancel's
    // own compare-and-swap and this one never overwrite each other.
    uint16_t expected = kJobPrintingPage;
    state_.compare_exchange_strong(expected, kJobDocumentOpen);
    if (result == rc::kOk) {
        std::lock_guard guard(lock_);
        loop_.CountPage();
    }
    return result;
}

int32_t PrinterJobObject::PrintReport(ScriptableObject* report) {
    ReportPageSource page(report);
    return PrintPage(page);
}

// Joins the last print thread outside the thread lock (its PrintEnd sink may be calling Print).
void PrinterJobObject::ReleaseThread() {
    std::thread done;
    std::shared_ptr<std::atomic<bool>> ended;
    {
        std::lock_guard guard(threadLock_);
        done = std::move(printThread_);
        ended = std::move(threadEnded_);
    }
    if (!done.joinable()) return;
    if (done.get_id() != std::this_thread::get_id()) {
        done.join();
        return;
    }
    // The job is being closed on its own print thread, which touches the job no more but is
    // still inside the application's event list: the application joins it before it goes.
    if (app_ != nullptr) {
        app_->KeepEndingThread(std::move(done), std::move(ended));
    } else {
        done.detach();  // a job without an application fires nothing: the thread just returns
    }
}

int32_t PrinterJobObject::PrintMember(const Variant* args, Variant*) {
    auto* report = static_cast<ScriptableObject*>(args[0].pdispVal);
    if (!asyncMode_) return PrintReport(report);
    {
        std::lock_guard guard(threadLock_);
        if (threadBusy_) return -10402;
    }
    ReleaseThread();
    std::lock_guard guard(threadLock_);
    if (threadBusy_) return -10402;
    threadBusy_ = true;
    // Each thread is given its own job and report.
    auto ended = std::make_shared<std::atomic<bool>>(false);
    try {
        printThread_ = std::thread([this, report, ended] {
            // Set when the thread has nothing left to do, whichever way it leaves.
            struct MarkEnded {
                std::atomic<bool>& flag;
                ~MarkEnded() { flag.store(true); }
            } mark{*ended};
            const int32_t result = PrintReport(report);
            ApplicationObject* const app = app_;
            {
                std::lock_guard threadGuard(threadLock_);
                threadBusy_ = false;
            }
            // A Close that came while the page printed is done now, and the host that asked for
            // it hears no more of the job.
            if (TryClose()) return;
            // After the event nothing of the job is touched: a sink may close it.
            if (app != nullptr) {
                Variant event[2] = {VariantDispatch(this), VariantI4(result)};
                InvokeArgs eventArgs{event, 2};
                app->FireEvent(KPM_EVENT_PRINTER_JOB_PRINT_END, &eventArgs);
            }
        });
    } catch (const std::system_error&) {
        threadBusy_ = false;
        return -10401;
    }
    threadEnded_ = std::move(ended);
    return -10400;
}

int32_t PrinterJobObject::PrintRecordedPage(bool file, const Variant* args) {
    if (app_ == nullptr) return rc::kNotImplemented;
    std::unique_ptr<PageSource> page;
    if (const int32_t code = MakeRecordedPageSource(
            app_->Services().recordedPages, file, static_cast<ScriptableObject*>(args[0].pdispVal),
            args[1].ulVal, &page);
        code != rc::kOk) {
        return code;
    }
    return PrintPage(*page);
}

// Lets the report measure itself on the printer's information context (its controls fit their
// texts to this printer's fonts and resolution) while a document is open; nothing is printed.
// The states without an answer of their own (1, 32, 64, 256) answer -10301 and draw nothing.
int32_t PrinterJobObject::DrawReportOnPrinterMember(const Variant* args, Variant*) {
    std::lock_guard guard(lock_);
    const uint16_t s = state_.load();
    if (s == kJobCancelled) return rc::kJobCancelled;
    if (s != kJobDocumentOpen) return rc::kWrongState;
    ReportObject* report = AsReport(static_cast<ScriptableObject*>(args[0].pdispVal));
    if (report == nullptr) return rc::kBadArgument;
    if (!binding_.Info()) return rc::kNotReady;
    LockReportUse(report);
    int32_t result = rc::kReportPaperFailed;
    const int16_t paper = GetPaperSizeCode(report);
    const int16_t orientation = GetPaperOrientation(report);
    if (paper > 0 && (orientation == 1 || orientation == 2)) {
        result = report->Draw(nullptr, binding_.Info()->handle(), 0, 0, 0, 0, 0, 0x20000000);
    }
    UnlockReportUse(report);
    return result;
}

int32_t PrinterJobObject::FilePrintMember(const Variant* args, Variant*) {
    return PrintRecordedPage(true, args);
}

int32_t PrinterJobObject::PreviewPrintMember(const Variant* args, Variant*) {
    return PrintRecordedPage(false, args);
}

int32_t PrinterJobObject::AbortProc() {
    return state_.load() == kJobCancelled ? 0 : 1;
}

int32_t PrinterJobObject::PrintAbortProc() {
    PumpGuiEvents();
    return AbortProc();
}

// ---------------------------------------------------------------------------------------------
// Factories

ScriptableObject* NewPrinterJob() {
    return new (std::nothrow) PrinterJobObject();
}

int32_t OpenPrinterJob(ScriptableObject* job, ApplicationObject* app,
                       const plat::OleChar* printerName) {
    auto* printer = dynamic_cast<PrinterJobObject*>(job);
    if (printer == nullptr) return rc::kBadArgument;
    return printer->Open(app, printerName);
}

}  // namespace kp
