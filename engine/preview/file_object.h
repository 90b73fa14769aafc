// The report-file object a host creates through the application: it writes saved report files
// (".k3v") page by page from live reports, and opens existing ones for the viewer. The viewer's
// window and members are added to the same object; what they share with the file side (the
// document information, the path opened, the fonts and pages loaded) is kept here as members.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/core/font_usage.h"
#include "engine/core/object_signature.h"
#include "engine/core/scriptable.h"
#include "engine/include/kpengn_members.h"
#include "engine/preview/file_records.h"
#include "engine/preview/page_list.h"
#include "engine/preview/preview_core.h"
#include "engine/preview/report_file.h"
#include "engine/preview/viewer_dialogs.h"
#include "engine/preview/viewer_logic.h"

namespace kp {
class ApplicationObject;
}

namespace kp::preview {

// Result codes of the object beside those of file_records.h.
inline constexpr int32_t kFileNotIdle = -10301;         // a document member put while busy
inline constexpr int32_t kFileInUse = -10313;           // closing or releasing from inside a member
inline constexpr int32_t kFileNoOutlineLevel = -14020;  // the page named has no outline entry

class FileObject final : public ScriptableObject {
  public:
    enum Member : int32_t {
        kDocTitle = KPM_FILE_OBJECT_DOC_TITLE,
        kDocAuthor = KPM_FILE_OBJECT_DOC_AUTHOR,
        kDocPassword = KPM_FILE_OBJECT_DOC_PASSWORD,
        kDocProtect = KPM_FILE_OBJECT_DOC_PROTECT,
        kDocNoPrint = KPM_FILE_OBJECT_DOC_NO_PRINT,
        kDocCreator = KPM_FILE_OBJECT_DOC_CREATOR,
        kDocSubTitle = KPM_FILE_OBJECT_DOC_SUB_TITLE,
        kDocKeywords = KPM_FILE_OBJECT_DOC_KEYWORDS,
        kDocUpdateDate = KPM_FILE_OBJECT_DOC_UPDATE_DATE,
        kStatus = KPM_FILE_OBJECT_STATUS,
        kReportIndexLevel = KPM_FILE_OBJECT_REPORT_INDEX_LEVEL,
        kReportIndexTitle = KPM_FILE_OBJECT_REPORT_INDEX_TITLE,
        kIndexVisible = KPM_FILE_OBJECT_INDEX_VISIBLE,
        kDocFlag = KPM_FILE_OBJECT_DOC_FLAG,
        kFileCreate = KPM_FILE_OBJECT_FILE_CREATE,
        kFileOpen = KPM_FILE_OBJECT_FILE_OPEN,
        kFileCloseFile = KPM_FILE_OBJECT_FILE_CLOSE_FILE,
        kFileRelease = KPM_FILE_OBJECT_FILE_RELEASE,
        kFileAddPage = KPM_FILE_OBJECT_FILE_ADD_PAGE,
        kSaveCopyAs = KPM_FILE_OBJECT_SAVE_COPY_AS,
        // The viewer's window and page members (the preview's 20xx twins).
        kWindowTop = KPM_FILE_OBJECT_WINDOW_TOP,
        kWindowLeft = KPM_FILE_OBJECT_WINDOW_LEFT,
        kWindowRight = KPM_FILE_OBJECT_WINDOW_RIGHT,
        kWindowBottom = KPM_FILE_OBJECT_WINDOW_BOTTOM,
        kWindowMax = KPM_FILE_OBJECT_WINDOW_MAX,
        kWindowMin = KPM_FILE_OBJECT_WINDOW_MIN,
        kParentWindow = KPM_FILE_OBJECT_PARENT_WINDOW,
        kPageCount = KPM_FILE_OBJECT_PAGE_COUNT,
        kPage = KPM_FILE_OBJECT_PAGE,
        kTools = KPM_FILE_OBJECT_TOOLS,
        kZoom = KPM_FILE_OBJECT_ZOOM,
        kTitle = KPM_FILE_OBJECT_TITLE,
        kCancelButton = KPM_FILE_OBJECT_CANCEL_BUTTON,
        kCancelMessage = KPM_FILE_OBJECT_CANCEL_MESSAGE,
        kCancelDlgTitle = KPM_FILE_OBJECT_CANCEL_DLG_TITLE,
        kFitToWindow = KPM_FILE_OBJECT_FIT_TO_WINDOW,
        kStatusBarVisible = KPM_FILE_OBJECT_STATUS_BAR_VISIBLE,
        kToolBarVisible = KPM_FILE_OBJECT_TOOL_BAR_VISIBLE,
        kTwoPages = KPM_FILE_OBJECT_TWO_PAGES,
        kTwoPagesVertical = KPM_FILE_OBJECT_TWO_PAGES_VERTICAL,
        kClickZoom = KPM_FILE_OBJECT_CLICK_ZOOM,
        kLayerDisplay1 = KPM_FILE_OBJECT_LAYER_DISPLAY1,
        kLayerPrint1 = KPM_FILE_OBJECT_LAYER_PRINT1,
        kHwnd = KPM_FILE_OBJECT_HWND,
        kFileOpenViewer = KPM_FILE_OBJECT_FILE_OPEN_VIEWER,
        kFileCloseViewer = KPM_FILE_OBJECT_FILE_CLOSE_VIEWER,
        kShowPrintingDialog = KPM_FILE_OBJECT_SHOW_PRINTING_DIALOG,
        kHidePrintingDialog = KPM_FILE_OBJECT_HIDE_PRINTING_DIALOG,
        kFitToParent = KPM_FILE_OBJECT_FIT_TO_PARENT,
        kRefresh = KPM_FILE_OBJECT_REFRESH,
        kPrepareReport = KPM_FILE_OBJECT_PREPARE_REPORT,
        kShowDocumentInfo = KPM_FILE_OBJECT_SHOW_DOCUMENT_INFO,
        kShowLayerPrintSettings = KPM_FILE_OBJECT_SHOW_LAYER_PRINT_SETTINGS,
        kPrintWithRangeDialog = KPM_FILE_OBJECT_PRINT_WITH_RANGE_DIALOG,
    };
    enum State : uint16_t { kIdle = 16, kOpen = 128, kRecording = 256, kCancelled = 4096 };

    explicit FileObject(ApplicationObject* owner);
    // Finishes a file still open for writing, drops what a viewer loaded and leaves the
    // application's table.
    ~FileObject() override;
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;

    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;
    int32_t GetTypeInfo(ClassInfo** out) override;
    int32_t Reserved(void* first, void* second) override;
    int32_t Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                   plat::Variant* result) override;

    uint16_t state() const { return state_; }

    // Members as Invoke reaches them; paths are UTF-8 here.
    int32_t FileCreate(const std::string& path, bool overwrite);
    int32_t FileOpen(const std::string& path);
    int32_t FileCloseFile();
    int32_t FileAddPage(ScriptableObject* report);
    int32_t SaveCopyAs(const std::string& path);

  private:
    // Invoke with the lock held and the in-use count raised.
    int32_t CloseLocked();
    // Both states move together: the file's and the window side's.
    void SetState(uint16_t state);

    // Document members.
    int32_t GetString(std::u16string FileObject::*field, plat::Variant* value);
    int32_t PutString(std::u16string FileObject::*field, const plat::Variant& argument);
    int32_t GetBool(int32_t FileObject::*field, plat::Variant* value);
    int32_t PutBool(int32_t FileObject::*field, const plat::Variant& argument);
    int32_t GetDocTitle(plat::Variant* v) { return GetString(&FileObject::title_, v); }
    int32_t PutDocTitle(const plat::Variant& a) { return PutString(&FileObject::title_, a); }
    int32_t GetDocAuthor(plat::Variant* v) { return GetString(&FileObject::author_, v); }
    int32_t PutDocAuthor(const plat::Variant& a) { return PutString(&FileObject::author_, a); }
    int32_t GetDocPassword(plat::Variant* v) { return GetString(&FileObject::password_, v); }
    int32_t PutDocPassword(const plat::Variant& a) { return PutString(&FileObject::password_, a); }
    int32_t GetDocCreator(plat::Variant* v) { return GetString(&FileObject::creator_, v); }
    int32_t PutDocCreator(const plat::Variant& a) { return PutString(&FileObject::creator_, a); }
    int32_t GetDocSubTitle(plat::Variant* v) { return GetString(&FileObject::subTitle_, v); }
    int32_t PutDocSubTitle(const plat::Variant& a) { return PutString(&FileObject::subTitle_, a); }
    int32_t GetDocKeywords(plat::Variant* v) { return GetString(&FileObject::keywords_, v); }
    int32_t PutDocKeywords(const plat::Variant& a) { return PutString(&FileObject::keywords_, a); }
    int32_t GetDocProtect(plat::Variant* v) { return GetBool(&FileObject::protect_, v); }
    int32_t PutDocProtect(const plat::Variant& a) { return PutBool(&FileObject::protect_, a); }
    int32_t GetDocNoPrint(plat::Variant* v) { return GetBool(&FileObject::noPrint_, v); }
    int32_t PutDocNoPrint(const plat::Variant& a) { return PutBool(&FileObject::noPrint_, a); }
    int32_t GetDocFlag(plat::Variant* v) { return GetBool(&FileObject::flag_, v); }
    int32_t PutDocFlag(const plat::Variant& a) { return PutBool(&FileObject::flag_, a); }
    int32_t GetDocUpdateDate(plat::Variant* value);
    int32_t PutDocUpdateDate(const plat::Variant& argument);
    int32_t GetStatus(plat::Variant* value);

    // Shared with the viewer's table: the outline of the pages written and the index pane.
    int32_t GetReportIndexLevel(plat::Variant* value);
    int32_t PutReportIndexLevel(const plat::Variant& argument);
    int32_t GetReportIndexTitle(plat::Variant* v) { return GetString(&FileObject::indexTitle_, v); }
    int32_t PutReportIndexTitle(const plat::Variant& a) {
        return PutString(&FileObject::indexTitle_, a);
    }
    // The outline pane of the window, also saved with the document information.
    int32_t GetIndexVisible(plat::Variant* value);
    int32_t PutIndexVisible(const plat::Variant& argument);

    int32_t FileCreateMember(const plat::Variant* args, plat::Variant* value);
    int32_t FileOpenMember(const plat::Variant* args, plat::Variant* value);
    int32_t FileCloseFileMember(const plat::Variant* args, plat::Variant* value);
    int32_t FileAddPageMember(const plat::Variant* args, plat::Variant* value);
    int32_t SaveCopyAsMember(const plat::Variant* args, plat::Variant* value);

    static const PropertyRow<FileObject> kProperties[];
    static const MethodRow<FileObject> kMethods[];

  public:
    // What the viewer reads and fills: the document information as the object holds it.
    DocumentInfo CurrentDocumentInfo() const;
    void ApplyDocumentInfo(const DocumentInfo& info);
    // The file FileOpen opened; empty when none (or one being written).
    const std::string& OpenedPath() const { return openedPath_; }
    ApplicationObject* owner() const { return owner_; }
    // The fonts the last FileCloseFile embedded.
    int FontsWritten() const { return fontsWritten_; }
    std::recursive_mutex& lock() { return lock_; }

  private:
    ObjectSignature signature_;
    ApplicationObject* owner_;
    std::recursive_mutex lock_;
    // Members running on this object (a sink called from inside one may call back).
    int32_t inUse_ = 0;
    uint16_t state_ = kIdle;

    // Document information.
    std::u16string title_, author_, password_, creator_, subTitle_, keywords_;
    int32_t protect_ = 0, noPrint_ = 0, flag_ = 0;
    double updateDate_ = 0;

    // Writing.
    ReportFileWriter writer_;
    std::unique_ptr<FontUsageTable> fonts_;
    // The outline parent each written page got (-1: none), for ReportIndexLevel's checks.
    std::vector<int32_t> pageLevels_;
    int fontsWritten_ = 0;
    int32_t indexLevel_ = -1;
    std::u16string indexTitle_;

    // Reading: the path FileOpen opened, and whether SaveCopyAs may still copy it.
    std::string openedPath_;
    bool copyPending_ = false;

    // ---------------------------------------------------------------------------------------
    // viewer
    //
    // The window, its page list and the fonts registered while showing an opened file. Both
    // are dropped (page files and font files removed) whenever the viewer or the file closes.
  public:
    int32_t FileOpenViewer(uint32_t style);
    int32_t FileCloseViewer();
    int32_t ShowDocumentInfo();
    int32_t ShowLayerPrintSettings();
    int32_t PrintWithRangeDialog();
    // For the printer job: page n played with the print layers and moved by the print offsets;
    // the pages held still between the two calls (re-entrant on the same thread).
    int32_t ViewerPlayPage(uint32_t dc, int page);
    void LockPages();
    void UnlockPages();
    int ViewerPageCount() { return core_.pages().Count(); }
    // The names the print loop's page source asks for.
    int32_t PageRecord(int page, PreviewPageRecord* record) {
        return ViewerGetPageRecord(page, record);
    }
    int32_t PlayPage(uint32_t dc, int page) { return ViewerPlayPage(dc, page); }
    // Page n's paper and outline entry; kPageOutOfRange outside 1..ViewerPageCount().
    int32_t ViewerGetPageRecord(int page, PreviewPageRecord* record) {
        return core_.pages().Get(page, record);
    }
    // The offsets in millimetres the next printed pages move by.
    double offsetX() const { return offsetX_; }
    double offsetY() const { return offsetY_; }

    // Answers the viewer's dialogs instead of the screen (not owned; null: the Qt dialogs when a
    // QApplication runs on this thread, else the dialogs fail).
    void SetDialogPort(ViewerDialogPort* port);
    // What loading a file from disk may cost.
    void SetLoadLimits(const ReportFileLimits& limits);

  private:
    static const PropertyRow<PreviewCore> kViewerProperties[];
    static const MethodRow<PreviewCore> kViewerMethods[];
    static bool IsViewerMember(int32_t memberId);

    int32_t FileOpenViewerMember(const plat::Variant* args, plat::Variant* value);
    int32_t FileCloseViewerMember(const plat::Variant* args, plat::Variant* value);
    int32_t ShowDocumentInfoMember(const plat::Variant* args, plat::Variant* value);
    int32_t ShowLayerPrintSettingsMember(const plat::Variant* args, plat::Variant* value);
    int32_t PrintWithRangeDialogMember(const plat::Variant* args, plat::Variant* value);

    // The port dialogs go through now; null when none can be shown. holder keeps a made one.
    ViewerDialogPort* DialogPort(std::unique_ptr<ViewerDialogPort>* holder);
    // Runs a close asked for from inside a member once the outermost member has ended.
    void RunPendingClose();
    // The toolbar's print, layer-print and information buttons.
    void OnViewerCommand(int command);
    void DropViewerData();

    PreviewCore core_;
    ReportFileReader viewerFonts_;
    ReportFileLimits limits_;
    ViewerDialogPort* port_ = nullptr;
    double offsetX_ = 0, offsetY_ = 0;
    // Pages were loaded (or are loading) since FileOpenViewer.
    bool viewerOpen_ = false;
    // FileCloseViewer asked from inside another member (a sink): run once that ends.
    bool closePending_ = false;
};

// The application's factory of file objects; null when memory runs out.
ScriptableObject* NewFileObject(ApplicationObject* owner);
// Puts the factory into the application's child factories, and the print loop's reach into the
// loaded pages.
void AddFileObjectServices(EngineServices& services);

}  // namespace kp::preview
