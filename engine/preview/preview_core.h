// The window side shared by the live preview and the report-file viewer: the window settings a
// host sets before and while the window is open, the recorded pages and the two shown ones, page
// moves, zoom, arrangement, the outline, the printing dialog, and the frame window's events. Both
// objects keep one of these and reach its members through their own member ids; the Qt frame is
// a view over it, made through a factory that only exists where Qt Widgets are linked in.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/core/scriptable.h"
#include "engine/core/services.h"
#include "engine/include/kpengn_members.h"
#include "engine/output/cancel_dialog.h"
#include "engine/preview/frame_presenter.h"
#include "engine/preview/page_list.h"
#include "engine/preview/page_player.h"

namespace plat {
class DeviceContext;
}

namespace kp {
class ApplicationObject;
class ReportObject;
}  // namespace kp

namespace kp::preview {

namespace code {
inline constexpr int32_t kBadArgument = -7;
inline constexpr int32_t kOutOfRange = -8;
inline constexpr int32_t kNoFrame = -9;
inline constexpr int32_t kWrongState = -10301;
inline constexpr int32_t kBusy = -10313;
inline constexpr int32_t kPrintingDialog = -11005;
inline constexpr int32_t kFrameFailed = -14002;
inline constexpr int32_t kChildWithoutParent = -14003;
inline constexpr int32_t kParentGone = -14004;
inline constexpr int32_t kNoDc = -14012;
inline constexpr int32_t kNoOutlineEntry = -14020;
inline constexpr int32_t kCancelled = -14021;
}  // namespace code

// Object states.
inline constexpr uint16_t kStateConstructed = 1;
inline constexpr uint16_t kStateIdle = 16;
inline constexpr uint16_t kStateOpen = 128;
inline constexpr uint16_t kStateRecording = 256;
inline constexpr uint16_t kStateCancelled = 4096;

// Events of both objects (the first argument is always the object).
enum PreviewEventId : int32_t {
    kEvOnPrint = KPM_EVENT_PREVIEW_ON_PRINT,
    kEvNextPage = KPM_EVENT_PREVIEW_ON_NEXT_PAGE,
    kEvPrevPage = KPM_EVENT_PREVIEW_ON_PREV_PAGE,
    kEvTopPage = KPM_EVENT_PREVIEW_ON_TOP_PAGE,
    kEvLastPage = KPM_EVENT_PREVIEW_ON_LAST_PAGE,
    kEvCancel = KPM_EVENT_PREVIEW_ON_CANCEL,
    kEvPrintButton = KPM_EVENT_PREVIEW_ON_PRINT_BUTTON,
    kEvCloseQuery = KPM_EVENT_PREVIEW_ON_CLOSE_QUERY,
    kEvClose = KPM_EVENT_PREVIEW_ON_CLOSE,
    kEvViewChange = KPM_EVENT_PREVIEW_ON_VIEW_CHANGE,
    kEvLeftClick = KPM_EVENT_PREVIEW_ON_LEFT_CLICK,
    kEvRightClick = KPM_EVENT_PREVIEW_ON_RIGHT_CLICK,
    kEvViewerClose = KPM_EVENT_FILE_OBJECT_ON_VIEWER_CLOSE,
};

inline constexpr int32_t kDefaultPosition = INT32_MIN;  // 0x80000000: the system's choice
inline constexpr uint32_t kStyleTopLevel = 0x1;
inline constexpr uint32_t kStyleChild = 0x10000;
inline constexpr int kDefaultPaneWidth = 100;

class PreviewCore;

// The frame window as the core drives it. Every call comes from the thread that owns the view.
class FrameView {
  public:
    // The frame's libqzsgdi window handle.
    virtual uint32_t Handle() const = 0;
    // The canvas's client size in pixels.
    virtual Size CanvasSize() const = 0;
    // Toolbar, status texts, visibility of the bars and the outline, scroll bars: all read back
    // from the core.
    virtual void Update() = 0;
    virtual void Repaint() = 0;
    // The frame's outer rectangle on the screen {left, top, width, height}.
    virtual void Geometry(int32_t* left, int32_t* top, int32_t* width, int32_t* height) const = 0;
    virtual void Move(int32_t left, int32_t top, int32_t width, int32_t height) = 0;
    virtual void ShowState(bool maximised, bool minimised) = 0;
    virtual void FitToParent() = 0;
    virtual void AddOutline(int page, int parentPage, const std::u16string& text) = 0;
    virtual void SelectOutline(int page) = 0;
    // Dialog 1003: false when cancelled; -1 in *failed when it could not be shown.
    virtual bool AskPrintRange(int current, int count, int* start, int* end) = 0;
    virtual void Beep() = 0;
    // The frame goes (and frees itself); the core has forgotten it already. Safe inside the
    // view's own handlers.
    virtual void Destroy() = 0;

  protected:
    virtual ~FrameView() = default;
};

// True when the handle names a live window of the process.
bool IsWindowHandle(uint32_t handle);

class PreviewCore {
  public:
    // owner is the object events name first; viewer selects the viewer's toolbar and events.
    PreviewCore(ScriptableObject* owner, bool viewer);
    ~PreviewCore();
    PreviewCore(const PreviewCore&) = delete;
    PreviewCore& operator=(const PreviewCore&) = delete;

    // The temporary folder of the application and the page list in it; state 16.
    int32_t Initialize(ApplicationObject* app);
    ApplicationObject* app() const { return app_; }
    bool viewer() const { return viewer_; }

    std::recursive_mutex& lock() { return lock_; }
    // Members and window handlers run "in use": a sink inside them cannot free the object.
    class InUse {
      public:
        explicit InUse(PreviewCore& core) : core_(core) { ++core_.inUse_; }
        ~InUse();
        InUse(const InUse&) = delete;
        InUse& operator=(const InUse&) = delete;

      private:
        PreviewCore& core_;
    };
    bool IsInUse() const { return inUse_.load() > 0; }
    // For a page user that holds the lock across calls (the printer job's page lock).
    void inUseAdd(int delta) { inUse_ += delta; }

    uint16_t state() const { return state_.load(); }
    void SetState(uint16_t s) { state_.store(s); }
    PreviewPageList& pages() { return pages_; }
    const std::array<bool, 5>& layerPrint() const { return layerPrint_; }
    void SetLayerPrint(const std::array<bool, 5>& layers) { layerPrint_ = layers; }
    int32_t reportIndexLevel() const { return indexLevel_; }
    bool indexVisible() const { return indexVisible_; }
    void SetIndexVisibleValue(bool on) { indexVisible_ = on; }
    uint32_t frameHandle() const;
    bool hasFrame() const { return frame_ != nullptr; }

    // ----- Properties (the preview's member ids; the viewer maps its own onto these)
    int32_t GetWindowTop(plat::Variant* v);
    int32_t PutWindowTop(const plat::Variant& a);
    int32_t GetWindowLeft(plat::Variant* v);
    int32_t PutWindowLeft(const plat::Variant& a);
    int32_t GetWindowRight(plat::Variant* v);
    int32_t PutWindowRight(const plat::Variant& a);
    int32_t GetWindowBottom(plat::Variant* v);
    int32_t PutWindowBottom(const plat::Variant& a);
    int32_t GetWindowMax(plat::Variant* v);
    int32_t PutWindowMax(const plat::Variant& a);
    int32_t GetWindowMin(plat::Variant* v);
    int32_t PutWindowMin(const plat::Variant& a);
    int32_t GetParentWindow(plat::Variant* v);
    int32_t PutParentWindow(const plat::Variant& a);
    int32_t GetStatus(plat::Variant* v);
    int32_t GetPageCount(plat::Variant* v);
    int32_t GetPage(plat::Variant* v);
    int32_t PutPage(const plat::Variant& a);
    int32_t GetTools(plat::Variant* v);
    int32_t PutTools(const plat::Variant& a);
    int32_t GetZoom(plat::Variant* v);
    int32_t PutZoom(const plat::Variant& a);
    int32_t GetTitle(plat::Variant* v);
    int32_t PutTitle(const plat::Variant& a);
    int32_t GetCancelButton(plat::Variant* v);
    int32_t PutCancelButton(const plat::Variant& a);
    int32_t GetCancelMessage(plat::Variant* v);
    int32_t PutCancelMessage(const plat::Variant& a);
    int32_t GetCancelDlgTitle(plat::Variant* v);
    int32_t PutCancelDlgTitle(const plat::Variant& a);
    int32_t GetReportIndexLevel(plat::Variant* v);
    int32_t PutReportIndexLevel(const plat::Variant& a);
    int32_t GetReportIndexTitle(plat::Variant* v);
    int32_t PutReportIndexTitle(const plat::Variant& a);
    int32_t GetFitToWindow(plat::Variant* v);
    int32_t PutFitToWindow(const plat::Variant& a);
    int32_t GetIndexVisible(plat::Variant* v);
    int32_t PutIndexVisible(const plat::Variant& a);
    int32_t GetStatusBarVisible(plat::Variant* v);
    int32_t PutStatusBarVisible(const plat::Variant& a);
    int32_t GetToolBarVisible(plat::Variant* v);
    int32_t PutToolBarVisible(const plat::Variant& a);
    int32_t GetTwoPages(plat::Variant* v);
    int32_t PutTwoPages(const plat::Variant& a);
    int32_t GetTwoPagesVertical(plat::Variant* v);
    int32_t PutTwoPagesVertical(const plat::Variant& a);
    int32_t GetClickZoom(plat::Variant* v);
    int32_t PutClickZoom(const plat::Variant& a);
    template <int N>
    int32_t GetLayerDisplay(plat::Variant* v) {
        return GetFlag(v, layerDisplay_[N]);
    }
    template <int N>
    int32_t PutLayerDisplay(const plat::Variant& a) {
        const int32_t rc = PutBoolIn(a, &layerDisplay_[N], {kStateIdle, kStateOpen});
        if (rc == 0) RepaintView();
        return rc;
    }
    template <int N>
    int32_t GetLayerPrint(plat::Variant* v) {
        return GetFlag(v, layerPrint_[N]);
    }
    template <int N>
    int32_t PutLayerPrint(const plat::Variant& a) {
        return PutBoolIn(a, &layerPrint_[N], {kStateIdle, kStateOpen});
    }
    int32_t GetHwnd(plat::Variant* v);

    // ----- Methods
    // Opens the frame (state 16 to 128, or kept at 128 for the viewer, whose file is open).
    int32_t OpenWindow(uint32_t style, bool requireIdle);
    int32_t OpenPreviewMember(const plat::Variant* args, plat::Variant* v);
    // Closes the frame and drops the pages; inside a handler it waits for the handler's end.
    int32_t ClosePreview();
    int32_t ClosePreviewMember(const plat::Variant* args, plat::Variant* v);
    int32_t PrintMember(const plat::Variant* args, plat::Variant* v);
    int32_t ShowPrintingDialogMember(const plat::Variant* args, plat::Variant* v);
    int32_t HidePrintingDialogMember(const plat::Variant* args, plat::Variant* v);
    int32_t FitToParentMember(const plat::Variant* args, plat::Variant* v);
    int32_t RefreshMember(const plat::Variant* args, plat::Variant* v);
    int32_t PrepareReportMember(const plat::Variant* args, plat::Variant* v);

    // Records the report's current page; the page list in state 256 meanwhile.
    int32_t RecordPage(ReportObject* report);
    // Draws the report once on a context of the frame (of the screen for the viewer without
    // one).
    int32_t PrepareReport(ScriptableObject* report);
    // After a page was recorded: the outline entry, page 1 shown, the toolbar and status.
    void PageAdded(int count, int32_t outlineParent, const std::u16string& heading);
    // Delivers the waiting events while the printing dialog exists (outside the lock).
    void PumpPrintingDialog();
    // Destroys the frame and everything shown; the page list is cleared (its result).
    int32_t TearDown();
    // The closing steps the object adds (the viewer's fonts, its own event).
    void SetCloseHook(std::function<int32_t()> hook) { closeHook_ = std::move(hook); }
    // A close asked for inside a handler, run once the outermost one ends; true when the object
    // must stop what it is doing (loading).
    bool ClosePending() const { return closePending_; }

    // ----- Page moves and geometry
    int32_t MoveToPage(int n);
    int currentPage() const { return current_; }
    int zoom() const { return zoom_; }
    int32_t SetZoom(int zoom);
    ViewState View() const;
    Arrangement CurrentArrangement() const;
    ScrollGeometry CurrentScrolling() const;
    int scrollX() const { return scrollX_; }
    int scrollY() const { return scrollY_; }
    bool toolBarVisible() const { return toolBarVisible_; }
    bool statusBarVisible() const { return statusBarVisible_; }
    bool isChild() const { return child_; }
    const std::u16string& title() const { return title_; }
    int paneWidth() const { return paneWidth_; }
    std::vector<ToolState> ToolbarState() const;
    std::string StatusZoomText() const;
    std::string StatusPageText() const;

    // Paints the canvas onto dc (its client is canvas, in pixels).
    void Paint(plat::DeviceContext* dc, Size canvas);
    // Plays recorded page n onto a printer's context with the print layers (and offsets).
    int32_t PlayPage(uint32_t dc, int n, double offsetX, double offsetY);

    // ----- Window events (from the view, on its thread)
    void OnCommand(int command);
    void OnCanvasClick(bool left);
    void OnScroll(bool horizontal, int position);
    void OnScrollLines(bool horizontal, int lines);
    void OnCanvasResized();
    void OnOutlineSelected(int page);
    void OnSplitterReleased(int startX, int endX);
    // The user closes a top-level frame: the close query; true when it may close.
    bool OnCloseRequested();
    // The frame is gone (closed by the user or its parent).
    void OnFrameDestroyed();
    void OnFrameGeometry(int32_t left, int32_t top, int32_t width, int32_t height);
    void OnFrameShowState(bool maximised, bool minimised);
    // The print button of the viewer (what 40008 runs there); set by the file object.
    void SetViewerCommands(std::function<void(int command)> commands) {
        viewerCommands_ = std::move(commands);
    }

    // Fires an event with the object first and the given arguments after it.
    int32_t Fire(int32_t event, std::vector<plat::Variant> args = {});

  private:
    int32_t GetFlag(plat::Variant* v, bool flag);
    int32_t PutBoolIn(const plat::Variant& a, bool* flag, std::initializer_list<uint16_t> states);
    int32_t GetText(plat::Variant* v, const std::u16string& text);
    int32_t PutText(const plat::Variant& a, std::u16string* text,
                    std::initializer_list<uint16_t> states);
    int32_t PutPosition(const plat::Variant& a, int32_t* field, bool size);
    bool StateIn(std::initializer_list<uint16_t> states) const;
    int32_t PageMemberState() const;
    void ReleaseShown();
    void ApplyTwoPages();
    void Fit();
    void UpdateScroll(bool toCorner);
    void UpdateView();
    void RepaintView();
    void PrintButton();
    void DestroyPrintingDialog();
    void EndHandler();

    friend class InUse;

    ScriptableObject* owner_;
    const bool viewer_;
    ApplicationObject* app_ = nullptr;
    mutable std::recursive_mutex lock_;
    std::atomic<int> inUse_{0};
    std::atomic<uint16_t> state_{kStateConstructed};
    int handlerDepth_ = 0;
    bool closePending_ = false;

    int32_t left_ = kDefaultPosition, top_ = kDefaultPosition;
    int32_t width_ = kDefaultPosition, height_ = kDefaultPosition;
    bool windowMax_ = false, windowMin_ = false;
    bool cancelButton_ = true, fitToWindow_ = true, indexVisible_ = false;
    bool statusBarVisible_ = true, toolBarVisible_ = true, clickZoom_ = true;
    bool twoPages_ = false, twoPagesVertical_ = false, child_ = false;
    uint32_t parentWindow_ = 0;
    int zoom_ = 100;
    uint32_t tools_ = kDefaultTools;
    int32_t indexLevel_ = -1;
    std::u16string title_ = u"印刷プレビュー";
    std::u16string cancelMessage_ = u"印刷中です。";
    std::u16string cancelDlgTitle_ = u"印刷中";
    std::u16string indexTitle_;
    std::array<bool, 5> layerDisplay_{true, true, true, true, true};
    std::array<bool, 5> layerPrint_{true, true, true, true, true};
    std::string tempPath_;

    PreviewPageList pages_;
    std::vector<int32_t> outlinePages_;  // pages with an outline entry
    int current_ = 0;
    std::array<ReportObject*, 2> shown_{nullptr, nullptr};
    std::array<PreviewPageRecord, 2> shownRecords_{};
    int scrollX_ = 0, scrollY_ = 0;
    int paneWidth_ = kDefaultPaneWidth;

    FrameView* frame_ = nullptr;
    std::unique_ptr<CancelDialogPresenter> printingPresenter_;
    std::unique_ptr<CancelDialogView> printingView_;
    std::function<int32_t()> closeHook_;
    std::function<void(int)> viewerCommands_;
};

}  // namespace kp::preview
