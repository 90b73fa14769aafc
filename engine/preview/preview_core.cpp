#include "engine/preview/preview_core.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <mutex>

#include "engine/core/application.h"
#include "engine/core/report.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/handles.h"

namespace kp::preview {

using plat::Variant;
using plat::VT_BOOL;
using plat::VT_BSTR;
using plat::VT_BYREF;
using plat::VT_UI4;

namespace {

bool OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

}  // namespace

bool IsWindowHandle(uint32_t handle) {
    return handle != 0 && plat::WindowFromHandle(handle) != nullptr;
}

// ---------------------------------------------------------------------------------------------
// Life

PreviewCore::InUse::~InUse() {
    --core_.inUse_;
}

PreviewCore::PreviewCore(ScriptableObject* owner, bool viewer) : owner_(owner), viewer_(viewer) {}

PreviewCore::~PreviewCore() {
    std::lock_guard guard(lock_);
    DestroyPrintingDialog();
    if (frame_ != nullptr) std::exchange(frame_, nullptr)->Destroy();
    ReleaseShown();
    pages_.Clear();
}

int32_t PreviewCore::Initialize(ApplicationObject* app) {
    std::lock_guard guard(lock_);
    app_ = app;
    tempPath_.clear();
    if (app_ != nullptr) {
        plat::Bstr path = nullptr;
        if (app_->GetTempPath(&path) == 0 && path != nullptr) {
            plat::Utf8FromWide(plat::BstrView(path), &tempPath_);
        }
        plat::BstrFree(path);
    }
    if (const int32_t rc = pages_.Open(tempPath_); rc != 0) return rc;
    state_.store(kStateIdle);
    return rc::kOk;
}

uint32_t PreviewCore::frameHandle() const {
    return frame_ != nullptr ? frame_->Handle() : 0;
}

int32_t PreviewCore::Fire(int32_t event, std::vector<Variant> args) {
    if (app_ == nullptr) return -1;
    args.insert(args.begin(), plat::VariantDispatch(owner_));
    InvokeArgs block{args.data(), static_cast<uint32_t>(args.size())};
    return app_->FireEvent(event, &block);
}

// ---------------------------------------------------------------------------------------------
// Shapes of the members

bool PreviewCore::StateIn(std::initializer_list<uint16_t> states) const {
    const uint16_t s = state_.load();
    return std::find(states.begin(), states.end(), s) != states.end();
}

int32_t PreviewCore::GetFlag(Variant* v, bool flag) {
    v->boolVal = flag ? plat::VARIANT_TRUE : plat::VARIANT_FALSE;
    return rc::kOk;
}

int32_t PreviewCore::PutBoolIn(const Variant& a, bool* flag,
                               std::initializer_list<uint16_t> states) {
    std::lock_guard guard(lock_);
    if (!StateIn(states)) return code::kWrongState;
    *flag = a.boolVal != 0;
    return rc::kOk;
}

int32_t PreviewCore::GetText(Variant* v, const std::u16string& text) {
    v->bstrVal = nullptr;
    if (text.empty()) return rc::kOk;
    v->bstrVal = plat::BstrAllocView(text);
    return v->bstrVal != nullptr ? rc::kOk : rc::kOutOfMemory;
}

int32_t PreviewCore::PutText(const Variant& a, std::u16string* text,
                             std::initializer_list<uint16_t> states) {
    std::lock_guard guard(lock_);
    if (states.size() != 0 && !StateIn(states)) return code::kWrongState;
    *text = a.bstrVal != nullptr ? std::u16string(plat::BstrView(a.bstrVal)) : std::u16string();
    return rc::kOk;
}

// Window position and size: pixels, or the system's default before the window opens.
int32_t PreviewCore::PutPosition(const Variant& a, int32_t* field, bool size) {
    std::lock_guard guard(lock_);
    const int32_t value = a.lVal;
    const bool valid = size ? (value >= 1 && value <= 3000) : value >= 0;
    if (!valid && !(value == kDefaultPosition && state_.load() == kStateIdle)) {
        return code::kOutOfRange;
    }
    // A child frame keeps its parent's client area.
    if (frame_ != nullptr && child_) return rc::kOk;
    *field = value;
    if (frame_ != nullptr && value != kDefaultPosition) frame_->Move(left_, top_, width_, height_);
    return rc::kOk;
}

// Page members work on an open object; a page being recorded makes them wait.
int32_t PreviewCore::PageMemberState() const {
    const uint16_t s = state_.load();
    if (s == kStateRecording) return code::kBusy;
    return s == kStateOpen ? rc::kOk : code::kWrongState;
}

// ---------------------------------------------------------------------------------------------
// Properties

int32_t PreviewCore::GetWindowTop(Variant* v) {
    v->lVal = top_;
    return rc::kOk;
}
int32_t PreviewCore::PutWindowTop(const Variant& a) {
    return PutPosition(a, &top_, false);
}
int32_t PreviewCore::GetWindowLeft(Variant* v) {
    v->lVal = left_;
    return rc::kOk;
}
int32_t PreviewCore::PutWindowLeft(const Variant& a) {
    return PutPosition(a, &left_, false);
}
int32_t PreviewCore::GetWindowRight(Variant* v) {
    v->lVal = width_;
    return rc::kOk;
}
int32_t PreviewCore::PutWindowRight(const Variant& a) {
    return PutPosition(a, &width_, true);
}
int32_t PreviewCore::GetWindowBottom(Variant* v) {
    v->lVal = height_;
    return rc::kOk;
}
int32_t PreviewCore::PutWindowBottom(const Variant& a) {
    return PutPosition(a, &height_, true);
}

int32_t PreviewCore::GetWindowMax(Variant* v) {
    return GetFlag(v, windowMax_);
}
int32_t PreviewCore::PutWindowMax(const Variant& a) {
    std::lock_guard guard(lock_);
    windowMax_ = a.boolVal != 0;
    if (windowMax_) windowMin_ = false;
    if (frame_ != nullptr && !child_) frame_->ShowState(windowMax_, windowMin_);
    return rc::kOk;
}
int32_t PreviewCore::GetWindowMin(Variant* v) {
    return GetFlag(v, windowMin_);
}
int32_t PreviewCore::PutWindowMin(const Variant& a) {
    std::lock_guard guard(lock_);
    windowMin_ = a.boolVal != 0;
    if (windowMin_) windowMax_ = false;
    if (frame_ != nullptr && !child_) frame_->ShowState(windowMax_, windowMin_);
    return rc::kOk;
}

int32_t PreviewCore::GetParentWindow(Variant* v) {
    v->ulVal = parentWindow_;
    return rc::kOk;
}
int32_t PreviewCore::PutParentWindow(const Variant& a) {
    std::lock_guard guard(lock_);
    if (state_.load() != kStateIdle) return code::kWrongState;
    if (a.ulVal != 0 && !IsWindowHandle(a.ulVal)) return code::kBadArgument;
    parentWindow_ = a.ulVal;
    return rc::kOk;
}

int32_t PreviewCore::GetStatus(Variant* v) {
    v->uiVal = state_.load();
    return rc::kOk;
}

int32_t PreviewCore::GetPageCount(Variant* v) {
    std::lock_guard guard(lock_);
    if (const int32_t rc = PageMemberState(); rc != rc::kOk) return rc;
    v->ulVal = static_cast<uint32_t>(pages_.Count());
    return rc::kOk;
}

int32_t PreviewCore::GetPage(Variant* v) {
    std::lock_guard guard(lock_);
    const uint16_t s = state_.load();
    if (s == kStateRecording) return code::kBusy;
    if (s != kStateOpen && s != kStateCancelled) return code::kWrongState;
    v->ulVal = static_cast<uint32_t>(current_);
    return rc::kOk;
}
int32_t PreviewCore::PutPage(const Variant& a) {
    InUse use(*this);
    std::lock_guard guard(lock_);
    const uint16_t s = state_.load();
    if (s == kStateRecording) return code::kBusy;
    if (s != kStateOpen && s != kStateCancelled) return code::kWrongState;
    if (a.ulVal < 1 || a.ulVal > static_cast<uint32_t>(pages_.Count())) return code::kOutOfRange;
    return MoveToPage(static_cast<int>(a.ulVal));
}

int32_t PreviewCore::GetTools(Variant* v) {
    v->ulVal = tools_;
    return rc::kOk;
}
int32_t PreviewCore::PutTools(const Variant& a) {
    std::lock_guard guard(lock_);
    if (!StateIn({kStateIdle, kStateOpen})) return code::kWrongState;
    tools_ = a.ulVal;
    UpdateView();
    return rc::kOk;
}

int32_t PreviewCore::GetZoom(Variant* v) {
    v->uiVal = static_cast<uint16_t>(zoom_);
    return rc::kOk;
}
int32_t PreviewCore::PutZoom(const Variant& a) {
    std::lock_guard guard(lock_);
    const uint16_t s = state_.load();
    if (s == kStateRecording) return code::kBusy;
    if (s != kStateIdle && s != kStateOpen && s != kStateCancelled) return code::kWrongState;
    return SetZoom(a.uiVal);
}

int32_t PreviewCore::SetZoom(int zoom) {
    if (zoom < kMinZoom || zoom > kMaxZoom) return code::kOutOfRange;
    zoom_ = zoom;
    if (StateIn({kStateOpen, kStateCancelled})) {
        UpdateScroll(false);
        UpdateView();
        RepaintView();
    }
    return rc::kOk;
}

int32_t PreviewCore::GetTitle(Variant* v) {
    return GetText(v, title_);
}
int32_t PreviewCore::PutTitle(const Variant& a) {
    return PutText(a, &title_, {kStateIdle});
}

int32_t PreviewCore::GetCancelButton(Variant* v) {
    return GetFlag(v, cancelButton_);
}
int32_t PreviewCore::PutCancelButton(const Variant& a) {
    std::lock_guard guard(lock_);
    if (const int32_t rc = PutBoolIn(a, &cancelButton_, {kStateIdle, kStateOpen}); rc != rc::kOk)
        return rc;
    if (printingPresenter_) {
        printingPresenter_->SetButton(cancelButton_);
        if (printingView_) printingView_->Refresh();
    }
    return rc::kOk;
}

int32_t PreviewCore::GetCancelMessage(Variant* v) {
    return GetText(v, cancelMessage_);
}
int32_t PreviewCore::PutCancelMessage(const Variant& a) {
    std::lock_guard guard(lock_);
    if (const int32_t rc = PutText(a, &cancelMessage_, {kStateIdle, kStateOpen}); rc != rc::kOk)
        return rc;
    if (printingPresenter_) {
        printingPresenter_->SetMessage(cancelMessage_);
        if (printingView_) printingView_->Refresh();
    }
    return rc::kOk;
}

int32_t PreviewCore::GetCancelDlgTitle(Variant* v) {
    return GetText(v, cancelDlgTitle_);
}
int32_t PreviewCore::PutCancelDlgTitle(const Variant& a) {
    std::lock_guard guard(lock_);
    if (const int32_t rc = PutText(a, &cancelDlgTitle_, {kStateIdle, kStateOpen}); rc != rc::kOk)
        return rc;
    if (printingPresenter_) {
        printingPresenter_->SetCaption(cancelDlgTitle_);
        if (printingView_) printingView_->Refresh();
    }
    return rc::kOk;
}

int32_t PreviewCore::GetReportIndexLevel(Variant* v) {
    std::lock_guard guard(lock_);
    if (state_.load() != kStateOpen) return code::kWrongState;
    v->ulVal = static_cast<uint32_t>(indexLevel_);
    return rc::kOk;
}
int32_t PreviewCore::PutReportIndexLevel(const Variant& a) {
    std::lock_guard guard(lock_);
    if (state_.load() != kStateOpen) return code::kWrongState;
    const uint32_t level = a.ulVal;
    if (level == 0 || level == 0xFFFFFFFFu) {
        indexLevel_ = static_cast<int32_t>(level);
        return rc::kOk;
    }
    if (level > static_cast<uint32_t>(pages_.Count())) return code::kOutOfRange;
    if (std::find(outlinePages_.begin(), outlinePages_.end(), static_cast<int32_t>(level)) ==
        outlinePages_.end()) {
        return code::kNoOutlineEntry;
    }
    indexLevel_ = static_cast<int32_t>(level);
    return rc::kOk;
}

int32_t PreviewCore::GetReportIndexTitle(Variant* v) {
    return GetText(v, indexTitle_);
}
int32_t PreviewCore::PutReportIndexTitle(const Variant& a) {
    return PutText(a, &indexTitle_, {});
}

int32_t PreviewCore::GetFitToWindow(Variant* v) {
    return GetFlag(v, fitToWindow_);
}
int32_t PreviewCore::PutFitToWindow(const Variant& a) {
    std::lock_guard guard(lock_);
    if (const int32_t rc = PutBoolIn(a, &fitToWindow_, {kStateIdle, kStateOpen}); rc != rc::kOk)
        return rc;
    if (fitToWindow_ && state_.load() == kStateOpen) Fit();
    return rc::kOk;
}

int32_t PreviewCore::GetIndexVisible(Variant* v) {
    return GetFlag(v, indexVisible_);
}
int32_t PreviewCore::PutIndexVisible(const Variant& a) {
    std::lock_guard guard(lock_);
    const int32_t rc =
        PutBoolIn(a, &indexVisible_, {kStateIdle, kStateOpen, kStateCancelled});
    if (rc == rc::kOk) UpdateView();
    return rc;
}

int32_t PreviewCore::GetStatusBarVisible(Variant* v) {
    return GetFlag(v, statusBarVisible_);
}
int32_t PreviewCore::PutStatusBarVisible(const Variant& a) {
    std::lock_guard guard(lock_);
    const int32_t rc = PutBoolIn(a, &statusBarVisible_, {kStateIdle, kStateOpen});
    if (rc == rc::kOk) UpdateView();
    return rc;
}

int32_t PreviewCore::GetToolBarVisible(Variant* v) {
    return GetFlag(v, toolBarVisible_);
}
int32_t PreviewCore::PutToolBarVisible(const Variant& a) {
    std::lock_guard guard(lock_);
    const int32_t rc = PutBoolIn(a, &toolBarVisible_, {kStateIdle, kStateOpen});
    if (rc == rc::kOk) UpdateView();
    return rc;
}

int32_t PreviewCore::GetTwoPages(Variant* v) {
    return GetFlag(v, twoPages_);
}
int32_t PreviewCore::PutTwoPages(const Variant& a) {
    std::lock_guard guard(lock_);
    const int32_t rc = PutBoolIn(a, &twoPages_, {kStateIdle, kStateOpen, kStateCancelled});
    if (rc == rc::kOk) ApplyTwoPages();
    return rc;
}

int32_t PreviewCore::GetTwoPagesVertical(Variant* v) {
    return GetFlag(v, twoPagesVertical_);
}
int32_t PreviewCore::PutTwoPagesVertical(const Variant& a) {
    std::lock_guard guard(lock_);
    const int32_t rc =
        PutBoolIn(a, &twoPagesVertical_, {kStateIdle, kStateOpen, kStateCancelled});
    if (rc == rc::kOk) ApplyTwoPages();
    return rc;
}

int32_t PreviewCore::GetClickZoom(Variant* v) {
    return GetFlag(v, clickZoom_);
}
int32_t PreviewCore::PutClickZoom(const Variant& a) {
    return PutBoolIn(a, &clickZoom_, {kStateIdle, kStateOpen});
}

int32_t PreviewCore::GetHwnd(Variant* v) {
    std::lock_guard guard(lock_);
    if (state_.load() != kStateOpen) return code::kWrongState;
    if (frame_ == nullptr) return code::kNoFrame;
    v->ulVal = frame_->Handle();
    return rc::kOk;
}

// ---------------------------------------------------------------------------------------------
// Methods

int32_t PreviewCore::OpenWindow(uint32_t style, bool requireIdle) {
    const bool topLevel = (style & kStyleTopLevel) != 0;
    const bool child = (style & kStyleChild) != 0;
    if (topLevel == child) return code::kBadArgument;
    if (topLevel && parentWindow_ != 0 && !IsWindowHandle(parentWindow_)) {
        return code::kParentGone;
    }
    if (child && !IsWindowHandle(parentWindow_)) return code::kChildWithoutParent;
    std::lock_guard guard(lock_);
    if (state_.load() != (requireIdle ? kStateIdle : kStateOpen) || frame_ != nullptr) {
        return code::kWrongState;
    }
    const FrameViewFactory factory = app_ != nullptr ? app_->Services().frameView : nullptr;
    // The frame is a window of the host's GUI thread.
    if (factory == nullptr || !OnGuiThread()) return code::kFrameFailed;
    child_ = child;
    current_ = 0;
    twoPages_ = twoPagesVertical_ = false;
    scrollX_ = scrollY_ = 0;
    FrameView* frame = factory(this, child, parentWindow_);
    if (frame == nullptr) return code::kFrameFailed;
    frame_ = frame;
    state_.store(kStateOpen);
    if (!child_) {
        int32_t l = 0, t = 0, w = 0, h = 0;
        frame_->Geometry(&l, &t, &w, &h);
        left_ = l;
        top_ = t;
        width_ = w;
        height_ = h;
    }
    UpdateView();
    if (!child_ && (windowMax_ != windowMin_)) frame_->ShowState(windowMax_, windowMin_);
    return rc::kOk;
}

int32_t PreviewCore::OpenPreviewMember(const Variant* args, Variant*) {
    InUse use(*this);
    return OpenWindow(args[0].ulVal, true);
}

int32_t PreviewCore::ClosePreviewMember(const Variant*, Variant*) {
    return ClosePreview();
}

int32_t PreviewCore::ClosePreview() {
    {
        std::lock_guard guard(lock_);
        if (!StateIn({kStateOpen, kStateCancelled})) return code::kWrongState;
        // Inside a window handler (or a sink it fired) the frame still runs: it closes as soon
        // as the handler has ended.
        if (handlerDepth_ > 0) {
            closePending_ = true;
            return rc::kOk;
        }
    }
    int32_t result;
    {
        std::lock_guard guard(lock_);
        if (!viewer_) state_.store(kStateIdle);
        result = TearDown();
    }
    if (closeHook_) {
        if (const int32_t hook = closeHook_(); result == rc::kOk) result = hook;
    }
    Fire(viewer_ ? kEvViewerClose : kEvClose);
    return result;
}

int32_t PreviewCore::TearDown() {
    std::lock_guard guard(lock_);
    DestroyPrintingDialog();
    if (frame_ != nullptr) std::exchange(frame_, nullptr)->Destroy();
    ReleaseShown();
    outlinePages_.clear();
    current_ = 0;
    return pages_.Clear();
}

int32_t PreviewCore::PrintMember(const Variant* args, Variant*) {
    int32_t result;
    {
        InUse use(*this);
        std::lock_guard guard(lock_);
        const uint16_t s = state_.load();
        if (s != kStateOpen) return s == kStateCancelled ? code::kCancelled : code::kWrongState;
        auto* object = static_cast<ScriptableObject*>(args[0].pdispVal);
        if (const int32_t rc = PrepareReport(object); rc != rc::kOk) return rc;
        result = RecordPage(AsReport(object));
    }
    PumpPrintingDialog();
    return result;
}

int32_t PreviewCore::RecordPage(ReportObject* report) {
    std::lock_guard guard(lock_);
    if (report == nullptr) return code::kBadArgument;
    state_.store(kStateRecording);
    const std::u16string* heading =
        indexLevel_ != -1 && !indexTitle_.empty() ? &indexTitle_ : nullptr;
    int count = 0;
    const int32_t rc = RecordPreviewPage(pages_, report, indexLevel_, heading, &count);
    state_.store(kStateOpen);
    if (rc != rc::kOk) return rc;
    PreviewPageRecord record;
    pages_.Get(count, &record);
    PageAdded(count, record.outlineParent, record.heading);
    return rc::kOk;
}

void PreviewCore::PageAdded(int count, int32_t outlineParent, const std::u16string& heading) {
    std::lock_guard guard(lock_);
    if (outlineParent != -1) {
        outlinePages_.push_back(count);
        // The parent is the entry of that page, or the top level.
        int parent = 0;
        if (outlineParent > 0 &&
            std::find(outlinePages_.begin(), outlinePages_.end(), outlineParent) !=
                outlinePages_.end()) {
            parent = outlineParent;
        }
        if (frame_ != nullptr) frame_->AddOutline(count, parent, heading.empty() ? u" " : heading);
    }
    if (count == 1 && current_ == 0) {
        MoveToPage(1);
    } else {
        if (count == 2 && twoPages_) ApplyTwoPages();
        UpdateView();
    }
}

int32_t PreviewCore::PrepareReport(ScriptableObject* object) {
    std::lock_guard guard(lock_);
    const uint16_t s = state_.load();
    if (s != kStateOpen) return s == kStateCancelled ? code::kCancelled : code::kWrongState;
    ReportObject* report = AsReport(object);
    if (report == nullptr) return code::kBadArgument;
    // The preview draws on its frame's context; the viewer also without a frame, on the
    // screen's. Both are the screen's 96 dpi here.
    if (frame_ == nullptr && !viewer_) return code::kBadArgument;
    plat::InfoDc dc;
    if (dc.handle() == 0) return code::kNoDc;
    LockReportUse(report);
    const int32_t rc =
        report->Draw(nullptr, dc.handle(), dc.handle(), 0, 0, 0, 0, drawflag::kEverything);
    UnlockReportUse(report);
    return rc;
}

int32_t PreviewCore::PrepareReportMember(const Variant* args, Variant*) {
    InUse use(*this);
    return PrepareReport(static_cast<ScriptableObject*>(args[0].pdispVal));
}

int32_t PreviewCore::ShowPrintingDialogMember(const Variant*, Variant*) {
    std::lock_guard guard(lock_);
    const uint16_t s = state_.load();
    if (s != kStateOpen) return s == kStateCancelled ? code::kCancelled : code::kWrongState;
    if (printingPresenter_) return rc::kOk;
    printingPresenter_ = std::make_unique<CancelDialogPresenter>([this] {
        std::lock_guard inner(lock_);
        if (state_.load() != kStateOpen) return;
        Fire(kEvCancel);
        state_.store(kStateCancelled);
    });
    printingPresenter_->SetCaption(cancelDlgTitle_);
    printingPresenter_->SetMessage(cancelMessage_);
    printingPresenter_->SetButton(cancelButton_);
    printingView_ = MakeCancelDialogView(
        printingPresenter_.get(), frame_ != nullptr ? plat::WindowFromHandle(frame_->Handle())
                                                    : nullptr);
    if (!printingView_) {
        printingPresenter_.reset();
        return code::kPrintingDialog;
    }
    return rc::kOk;
}

int32_t PreviewCore::HidePrintingDialogMember(const Variant*, Variant*) {
    std::lock_guard guard(lock_);
    DestroyPrintingDialog();
    return rc::kOk;
}

void PreviewCore::DestroyPrintingDialog() {
    if (printingView_) DestroyCancelDialogView(std::move(printingView_));
    printingView_.reset();
    printingPresenter_.reset();
}

void PreviewCore::PumpPrintingDialog() {
    bool dialog;
    {
        std::lock_guard guard(lock_);
        dialog = printingView_ != nullptr;
    }
    if (dialog && OnGuiThread()) QCoreApplication::processEvents();
}

int32_t PreviewCore::FitToParentMember(const Variant*, Variant*) {
    std::lock_guard guard(lock_);
    const uint16_t s = state_.load();
    if (s != kStateOpen) return s == kStateCancelled ? code::kCancelled : code::kWrongState;
    if (frame_ != nullptr && child_) frame_->FitToParent();
    return rc::kOk;
}

int32_t PreviewCore::RefreshMember(const Variant*, Variant*) {
    std::lock_guard guard(lock_);
    const uint16_t s = state_.load();
    if (s != kStateOpen) return s == kStateCancelled ? code::kCancelled : code::kWrongState;
    RepaintView();
    return rc::kOk;
}

// ---------------------------------------------------------------------------------------------
// Pages and geometry

void PreviewCore::ReleaseShown() {
    // The application frees its reports before its previews when it goes: a shown page may be
    // gone already.
    for (ReportObject*& report : shown_) {
        if (report != nullptr && IsReportObject(report)) DestroyReportObject(report);
        report = nullptr;
    }
}

int32_t PreviewCore::MoveToPage(int n) {
    std::lock_guard guard(lock_);
    if (n == current_) return rc::kOk;
    if (n < 1 || n > pages_.Count()) return code::kOutOfRange;
    if (current_ == 0 || (n != current_ + 1 && n != current_ - 1)) {
        ReleaseShown();
    } else if (n == current_ + 1) {
        if (shown_[0] != nullptr) DestroyReportObject(shown_[0]);
        shown_[0] = std::exchange(shown_[1], nullptr);
        shownRecords_[0] = shownRecords_[1];
    } else {
        if (shown_[1] != nullptr) DestroyReportObject(shown_[1]);
        shown_[1] = std::exchange(shown_[0], nullptr);
        shownRecords_[1] = shownRecords_[0];
    }
    if (shown_[0] == nullptr) {
        if (const int32_t rc = LoadRecordedPage(app_, pages_, n, &shown_[0], &shownRecords_[0]);
            rc != rc::kOk) {
            ReleaseShown();
            current_ = 0;
            UpdateView();
            RepaintView();
            return rc;
        }
    } else {
        pages_.Get(n, &shownRecords_[0]);
    }
    int32_t result = rc::kOk;
    if (n + 1 <= pages_.Count() && shown_[1] == nullptr) {
        const int32_t rc = LoadRecordedPage(app_, pages_, n + 1, &shown_[1], &shownRecords_[1]);
        if (rc != rc::kOk) {
            shown_[1] = nullptr;
            if (rc == kPageFileMissing) result = rc;
        }
    } else if (n + 1 > pages_.Count() && shown_[1] != nullptr) {
        DestroyReportObject(std::exchange(shown_[1], nullptr));
    }
    current_ = n;
    if (frame_ != nullptr) frame_->SelectOutline(n);
    if (fitToWindow_) {
        Fit();
    }
    UpdateScroll(true);
    UpdateView();
    RepaintView();
    return result;
}

void PreviewCore::ApplyTwoPages() {
    if (!StateIn({kStateOpen, kStateCancelled})) return;
    if (twoPages_ && current_ != 0 && shown_[1] == nullptr && current_ + 1 <= pages_.Count()) {
        // A page that cannot be loaded is simply not shown beside.
        LoadRecordedPage(app_, pages_, current_ + 1, &shown_[1], &shownRecords_[1]);
    }
    if (fitToWindow_) Fit();
    UpdateScroll(true);
    UpdateView();
    RepaintView();
}

ViewState PreviewCore::View() const {
    ViewState v;
    v.tools = tools_;
    v.currentPage = current_;
    v.pageCount = pages_.Count();
    v.twoPages = twoPages_;
    v.twoPagesVertical = twoPagesVertical_;
    v.indexVisible = indexVisible_;
    return v;
}

std::vector<ToolState> PreviewCore::ToolbarState() const {
    std::lock_guard guard(lock_);
    return Toolbar(View(), viewer_);
}

std::string PreviewCore::StatusZoomText() const {
    return ZoomText(zoom_);
}

std::string PreviewCore::StatusPageText() const {
    std::lock_guard guard(lock_);
    return PageText(current_, pages_.Count());
}

Arrangement PreviewCore::CurrentArrangement() const {
    constexpr int kDpi = 96;
    auto paper = [](const PreviewPageRecord& r) {
        return PaperRecord{r.orientation, r.paperWidth, r.paperLength};
    };
    const Size first = PageSizeAt100(paper(shownRecords_[0]), kDpi, kDpi);
    const Size second = PageSizeAt100(paper(shownRecords_[1]), kDpi, kDpi);
    const bool hasSecond = twoPages_ && shown_[1] != nullptr;
    return Arrange(first, hasSecond ? &second : nullptr, twoPages_, twoPagesVertical_);
}

ScrollGeometry PreviewCore::CurrentScrolling() const {
    const Size canvas = frame_ != nullptr ? frame_->CanvasSize() : Size{};
    return Scrolling(canvas, CurrentArrangement().area, zoom_, current_ != 0);
}

void PreviewCore::Fit() {
    if (frame_ == nullptr || current_ == 0) return;
    const Size canvas = frame_->CanvasSize();
    if (canvas.width <= 0 || canvas.height <= 0) return;
    SetZoom(FitZoom(canvas, CurrentArrangement().area));
}

void PreviewCore::UpdateScroll(bool toCorner) {
    if (frame_ == nullptr) return;
    const ScrollGeometry g = CurrentScrolling();
    if (toCorner) {
        scrollX_ = g.rangeX > 0 ? ScrollToPageCorner(g.rangeX, g.offsetX, zoom_) : 0;
        scrollY_ = g.rangeY > 0 ? ScrollToPageCorner(g.rangeY, g.offsetY, zoom_) : 0;
    }
    scrollX_ = std::clamp(scrollX_, 0, std::max(0, g.rangeX));
    scrollY_ = std::clamp(scrollY_, 0, std::max(0, g.rangeY));
}

void PreviewCore::UpdateView() {
    if (frame_ != nullptr) frame_->Update();
}

void PreviewCore::RepaintView() {
    if (frame_ != nullptr) frame_->Repaint();
}

void PreviewCore::Paint(plat::DeviceContext* dc, Size canvas) {
    std::lock_guard guard(lock_);
    const plat::HBRUSH teal = plat::CreateSolidBrush(plat::Rgb(0, 128, 128));
    const plat::HBRUSH white = plat::CreateSolidBrush(plat::Rgb(255, 255, 255));
    dc->FillRect(plat::RECT{0, 0, canvas.width, canvas.height}, teal);
    if (current_ != 0 && shown_[0] != nullptr) {
        const Arrangement arrangement = CurrentArrangement();
        const ScrollGeometry g = Scrolling(canvas, arrangement.area, zoom_, true);
        const int originX = g.offsetX - scrollX_;
        const int originY = g.offsetY - scrollY_;
        auto device = [&](const Rect& r) {
            return plat::RECT{originX + r.left * zoom_ / 100, originY + r.top * zoom_ / 100,
                              originX + r.right * zoom_ / 100, originY + r.bottom * zoom_ / 100};
        };
        const std::array<std::pair<ReportObject*, Rect>, 2> pages{
            std::pair{shown_[0], arrangement.first},
            std::pair{arrangement.hasSecond ? shown_[1] : nullptr, arrangement.second}};
        for (const auto& [report, rect] : pages) {
            if (report == nullptr) continue;
            const plat::RECT onCanvas = device(rect);
            dc->FillRect(onCanvas, white);
            dc->SaveDC();
            const plat::HRGN clip =
                plat::CreateRectRgn(onCanvas.left, onCanvas.top, onCanvas.right, onCanvas.bottom);
            dc->SelectClipRgn(clip);
            plat::DeleteObject(clip);
            // Logical units are pixels at 100 %, the page's corner at the origin.
            dc->SetMapMode(plat::kMmAnisotropic);
            dc->SetWindowExtEx(100, 100);
            dc->SetViewportExtEx(zoom_, zoom_);
            dc->SetViewportOrgEx(onCanvas.left, onCanvas.top);
            for (int layer = 0; layer < 5; ++layer) {
                report->layers().layer(layer).SetVisible(layerDisplay_[size_t(layer)] ? 1 : 0);
            }
            LockReportUse(report);
            report->Draw(nullptr, dc->handle(), dc->handle(), 0, 0, 0, 0, drawflag::kLayers);
            UnlockReportUse(report);
            dc->RestoreDC(-1);
        }
    }
    plat::DeleteObject(teal);
    plat::DeleteObject(white);
}

int32_t PreviewCore::PlayPage(uint32_t dc, int n, double offsetX, double offsetY) {
    std::lock_guard guard(lock_);
    PlayOptions options;
    options.layers = layerPrint_;
    options.offsetX = offsetX;
    options.offsetY = offsetY;
    return PlayRecordedPage(app_, pages_, n, dc, options);
}

// ---------------------------------------------------------------------------------------------
// Window events

void PreviewCore::EndHandler() {
    bool close = false;
    {
        std::lock_guard guard(lock_);
        if (--handlerDepth_ == 0 && closePending_) {
            closePending_ = false;
            close = true;
        }
    }
    if (close) ClosePreview();
}

namespace {
// A window handler: the object in use, and a close asked for inside it deferred to its end.
struct Handler {
    explicit Handler(PreviewCore& core, int* depth, std::function<void()> end)
        : use(core), end_(std::move(end)) {
        ++*depth;
    }
    ~Handler() { end_(); }
    PreviewCore::InUse use;
    std::function<void()> end_;
};
}  // namespace

void PreviewCore::OnCommand(int command) {
    Handler handler(*this, &handlerDepth_, [this] { EndHandler(); });
    switch (command) {
        case kCmdExit: {
            if (child_) {
                ClosePreview();
                return;
            }
            int16_t answer = plat::VARIANT_TRUE;
            Variant arg{};
            arg.vt = VT_BOOL | VT_BYREF;
            arg.byref = &answer;
            const int32_t delivered = Fire(kEvCloseQuery, {arg});
            if (delivered == -1 || answer != 0) ClosePreview();
            return;
        }
        case kCmdFirst:
        case kCmdPrev:
        case kCmdNext:
        case kCmdLast: {
            static constexpr int32_t kEvents[] = {kEvTopPage, kEvPrevPage, kEvNextPage,
                                                  kEvLastPage};
            Fire(kEvents[command - kCmdFirst]);
            std::lock_guard guard(lock_);
            if (closePending_ || frame_ == nullptr) return;
            const int target = NavigationTarget(command, View());
            if (target != 0) MoveToPage(target);
            return;
        }
        case kCmdTwoVertical:
        case kCmdTwoSide:
        case kCmdSingle: {
            Fire(kEvViewChange);
            std::lock_guard guard(lock_);
            if (closePending_ || frame_ == nullptr) return;
            twoPagesVertical_ = command == kCmdTwoVertical;
            twoPages_ = command != kCmdSingle;
            ApplyTwoPages();
            return;
        }
        case kCmdOutline: {
            std::lock_guard guard(lock_);
            indexVisible_ = !indexVisible_;
            UpdateView();
            return;
        }
        case kCmdPrint:
            if (viewer_) {
                if (viewerCommands_) viewerCommands_(command);
            } else {
                PrintButton();
            }
            return;
        case kCmdLayerPrint:
        case kCmdDocumentInfo:
            if (viewer_ && viewerCommands_) viewerCommands_(command);
            return;
        default:
            return;
    }
}

void PreviewCore::PrintButton() {
    int16_t taken = plat::VARIANT_FALSE;
    Variant arg{};
    arg.vt = VT_BOOL | VT_BYREF;
    arg.byref = &taken;
    const int32_t delivered = Fire(kEvPrintButton, {arg});
    if (delivered != -1 && taken != 0) return;
    int current, count;
    {
        std::lock_guard guard(lock_);
        if (frame_ == nullptr || closePending_) return;
        current = current_;
        count = pages_.Count();
    }
    if (count < 1) return;
    int start = 0, end = 0;
    if (!frame_->AskPrintRange(current, count, &start, &end)) return;
    Fire(kEvOnPrint, {plat::VariantUI4(static_cast<uint32_t>(start)),
                      plat::VariantUI4(static_cast<uint32_t>(end))});
}

void PreviewCore::OnCanvasClick(bool left) {
    Handler handler(*this, &handlerDepth_, [this] { EndHandler(); });
    Fire(left ? kEvLeftClick : kEvRightClick);
    std::lock_guard guard(lock_);
    if (!clickZoom_ || frame_ == nullptr || closePending_) return;
    int zoom = zoom_;
    if (!ClickZoom(zoom_, left, &zoom)) {
        frame_->Beep();
        return;
    }
    SetZoom(zoom);
}

void PreviewCore::OnScroll(bool horizontal, int position) {
    std::lock_guard guard(lock_);
    (horizontal ? scrollX_ : scrollY_) = position;
    UpdateScroll(false);
    UpdateView();
    RepaintView();
}

void PreviewCore::OnScrollLines(bool horizontal, int lines) {
    std::lock_guard guard(lock_);
    OnScroll(horizontal, (horizontal ? scrollX_ : scrollY_) + lines * kScrollStep);
}

void PreviewCore::OnCanvasResized() {
    std::lock_guard guard(lock_);
    if (fitToWindow_) Fit();
    UpdateScroll(false);
    UpdateView();
    RepaintView();
}

void PreviewCore::OnOutlineSelected(int page) {
    Handler handler(*this, &handlerDepth_, [this] { EndHandler(); });
    std::lock_guard guard(lock_);
    if (page != 0 && page != current_) MoveToPage(page);
}

void PreviewCore::OnSplitterReleased(int startX, int endX) {
    std::lock_guard guard(lock_);
    paneWidth_ = SplitterRelease(paneWidth_, startX, endX);
    UpdateView();
}

bool PreviewCore::OnCloseRequested() {
    Handler handler(*this, &handlerDepth_, [this] { EndHandler(); });
    if (child_) return true;
    int16_t answer = plat::VARIANT_TRUE;
    Variant arg{};
    arg.vt = VT_BOOL | VT_BYREF;
    arg.byref = &answer;
    const int32_t delivered = Fire(kEvCloseQuery, {arg});
    return delivered == -1 || answer != 0;
}

void PreviewCore::OnFrameDestroyed() {
    {
        std::lock_guard guard(lock_);
        // The view frees itself.
        frame_ = nullptr;
    }
    ClosePreview();
}

void PreviewCore::OnFrameGeometry(int32_t left, int32_t top, int32_t width, int32_t height) {
    std::lock_guard guard(lock_);
    if (child_) return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
}

void PreviewCore::OnFrameShowState(bool maximised, bool minimised) {
    std::lock_guard guard(lock_);
    if (child_) return;
    windowMax_ = maximised;
    windowMin_ = minimised && !maximised;
}

}  // namespace kp::preview
