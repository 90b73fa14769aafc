#include "engine/preview/file_object.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <new>

#include "base/atomic_file.h"
#include "engine/core/application.h"
#include "engine/core/class_info.h"
#include "engine/core/member_table.h"
#include "engine/core/report.h"
#include "engine/preview/font_embedding.h"
#include "engine/preview/page_player.h"
#include "engine/preview/recorded_page_source.h"
#include "platform/gdi/device_context.h"

namespace kp::preview {

using plat::Variant;
using namespace plat;  // VarType names

namespace {

// A path argument as UTF-8; empty for none (and for text that does not convert).
std::string PathOf(const Variant& argument) {
    std::string out;
    if (argument.bstrVal == nullptr || !Utf8FromWide(BstrView(argument.bstrVal), &out)) return {};
    return out;
}

// Raises the in-use count for as long as a member runs.
struct InUse {
    explicit InUse(int32_t& count) : count_(count) { ++count_; }
    ~InUse() { --count_; }
    int32_t& count_;
};

// A page is recorded in state 256 and the object is open again afterwards, whatever happens.
struct Recording {
    explicit Recording(std::function<void(uint16_t)> set) : set_(std::move(set)) {
        set_(FileObject::kRecording);
    }
    ~Recording() { set_(FileObject::kOpen); }
    std::function<void(uint16_t)> set_;
};

// A port for when no dialog can be shown: every dialog fails.
class NoDialogs final : public ViewerDialogPort {
  public:
    int AskPassword(std::u16string*) override { return -1; }
    void Warn(const std::string&, const std::string&) override {}
};

// The Qt dialogs need a widgets application and its thread.
bool OnWidgetsThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && app->inherits("QApplication") &&
           QThread::currentThread() == app->thread();
}

// The loading was stopped by a close asked for meanwhile; not an error of the file.
constexpr int32_t kLoadStopped = 1;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Member tables

const PropertyRow<FileObject> FileObject::kProperties[] = {
    {KP_PROPERTY(FILE_OBJECT, DOC_TITLE), &FileObject::GetDocTitle, &FileObject::PutDocTitle},
    {KP_PROPERTY(FILE_OBJECT, DOC_AUTHOR), &FileObject::GetDocAuthor, &FileObject::PutDocAuthor},
    {KP_PROPERTY(FILE_OBJECT, DOC_PASSWORD), &FileObject::GetDocPassword,
     &FileObject::PutDocPassword},
    {KP_PROPERTY(FILE_OBJECT, DOC_PROTECT), &FileObject::GetDocProtect, &FileObject::PutDocProtect},
    {KP_PROPERTY(FILE_OBJECT, DOC_NO_PRINT), &FileObject::GetDocNoPrint,
     &FileObject::PutDocNoPrint},
    {KP_PROPERTY(FILE_OBJECT, DOC_CREATOR), &FileObject::GetDocCreator, &FileObject::PutDocCreator},
    {KP_PROPERTY(FILE_OBJECT, DOC_SUB_TITLE), &FileObject::GetDocSubTitle,
     &FileObject::PutDocSubTitle},
    {KP_PROPERTY(FILE_OBJECT, DOC_KEYWORDS), &FileObject::GetDocKeywords,
     &FileObject::PutDocKeywords},
    {KP_PROPERTY(FILE_OBJECT, DOC_UPDATE_DATE), &FileObject::GetDocUpdateDate,
     &FileObject::PutDocUpdateDate},
    {KP_PROPERTY(FILE_OBJECT, STATUS), &FileObject::GetStatus, nullptr},
    {KP_PROPERTY(FILE_OBJECT, REPORT_INDEX_LEVEL), &FileObject::GetReportIndexLevel,
     &FileObject::PutReportIndexLevel},
    {KP_PROPERTY(FILE_OBJECT, REPORT_INDEX_TITLE), &FileObject::GetReportIndexTitle,
     &FileObject::PutReportIndexTitle},
    {KP_PROPERTY(FILE_OBJECT, INDEX_VISIBLE), &FileObject::GetIndexVisible,
     &FileObject::PutIndexVisible},
    {KP_PROPERTY(FILE_OBJECT, DOC_FLAG), &FileObject::GetDocFlag, &FileObject::PutDocFlag},
};

const MethodRow<FileObject> FileObject::kMethods[] = {
    {KP_METHOD(FILE_OBJECT, FILE_CREATE), &FileObject::FileCreateMember},
    {KP_METHOD(FILE_OBJECT, FILE_OPEN), &FileObject::FileOpenMember},
    {KP_METHOD(FILE_OBJECT, FILE_CLOSE_FILE), &FileObject::FileCloseFileMember},
    {KP_METHOD(FILE_OBJECT, FILE_ADD_PAGE), &FileObject::FileAddPageMember},
    {KP_METHOD(FILE_OBJECT, SAVE_COPY_AS), &FileObject::SaveCopyAsMember},
    {KP_METHOD(FILE_OBJECT, FILE_OPEN_VIEWER), &FileObject::FileOpenViewerMember},
    {KP_METHOD(FILE_OBJECT, FILE_CLOSE_VIEWER), &FileObject::FileCloseViewerMember},
    {KP_METHOD(FILE_OBJECT, SHOW_DOCUMENT_INFO), &FileObject::ShowDocumentInfoMember},
    {KP_METHOD(FILE_OBJECT, SHOW_LAYER_PRINT_SETTINGS), &FileObject::ShowLayerPrintSettingsMember},
    {KP_METHOD(FILE_OBJECT, PRINT_WITH_RANGE_DIALOG), &FileObject::PrintWithRangeDialogMember},
};

// The window side's members under the viewer's ids.
const PropertyRow<PreviewCore> FileObject::kViewerProperties[] = {
    {KP_PROPERTY(FILE_OBJECT, WINDOW_TOP), &PreviewCore::GetWindowTop, &PreviewCore::PutWindowTop},
    {KP_PROPERTY(FILE_OBJECT, WINDOW_LEFT), &PreviewCore::GetWindowLeft,
     &PreviewCore::PutWindowLeft},
    {KP_PROPERTY(FILE_OBJECT, WINDOW_RIGHT), &PreviewCore::GetWindowRight,
     &PreviewCore::PutWindowRight},
    {KP_PROPERTY(FILE_OBJECT, WINDOW_BOTTOM), &PreviewCore::GetWindowBottom,
     &PreviewCore::PutWindowBottom},
    {KP_PROPERTY(FILE_OBJECT, WINDOW_MAX), &PreviewCore::GetWindowMax, &PreviewCore::PutWindowMax},
    {KP_PROPERTY(FILE_OBJECT, WINDOW_MIN), &PreviewCore::GetWindowMin, &PreviewCore::PutWindowMin},
    {KP_PROPERTY(FILE_OBJECT, PARENT_WINDOW), &PreviewCore::GetParentWindow,
     &PreviewCore::PutParentWindow},
    {KP_PROPERTY(FILE_OBJECT, PAGE_COUNT), &PreviewCore::GetPageCount, nullptr},
    {KP_PROPERTY(FILE_OBJECT, PAGE), &PreviewCore::GetPage, &PreviewCore::PutPage},
    {KP_PROPERTY(FILE_OBJECT, TOOLS), &PreviewCore::GetTools, &PreviewCore::PutTools},
    {KP_PROPERTY(FILE_OBJECT, ZOOM), &PreviewCore::GetZoom, &PreviewCore::PutZoom},
    {KP_PROPERTY(FILE_OBJECT, TITLE), &PreviewCore::GetTitle, &PreviewCore::PutTitle},
    {KP_PROPERTY(FILE_OBJECT, CANCEL_BUTTON), &PreviewCore::GetCancelButton,
     &PreviewCore::PutCancelButton},
    {KP_PROPERTY(FILE_OBJECT, CANCEL_MESSAGE), &PreviewCore::GetCancelMessage,
     &PreviewCore::PutCancelMessage},
    {KP_PROPERTY(FILE_OBJECT, CANCEL_DLG_TITLE), &PreviewCore::GetCancelDlgTitle,
     &PreviewCore::PutCancelDlgTitle},
    {KP_PROPERTY(FILE_OBJECT, FIT_TO_WINDOW), &PreviewCore::GetFitToWindow,
     &PreviewCore::PutFitToWindow},
    {KP_PROPERTY(FILE_OBJECT, STATUS_BAR_VISIBLE), &PreviewCore::GetStatusBarVisible,
     &PreviewCore::PutStatusBarVisible},
    {KP_PROPERTY(FILE_OBJECT, TOOL_BAR_VISIBLE), &PreviewCore::GetToolBarVisible,
     &PreviewCore::PutToolBarVisible},
    {KP_PROPERTY(FILE_OBJECT, TWO_PAGES), &PreviewCore::GetTwoPages, &PreviewCore::PutTwoPages},
    {KP_PROPERTY(FILE_OBJECT, TWO_PAGES_VERTICAL), &PreviewCore::GetTwoPagesVertical,
     &PreviewCore::PutTwoPagesVertical},
    {KP_PROPERTY(FILE_OBJECT, CLICK_ZOOM), &PreviewCore::GetClickZoom, &PreviewCore::PutClickZoom},
    {KP_PROPERTY(FILE_OBJECT, LAYER_DISPLAY1), &PreviewCore::GetLayerDisplay<0>,
     &PreviewCore::PutLayerDisplay<0>},
    {KP_PROPERTY(FILE_OBJECT, LAYER_DISPLAY2), &PreviewCore::GetLayerDisplay<1>,
     &PreviewCore::PutLayerDisplay<1>},
    {KP_PROPERTY(FILE_OBJECT, LAYER_DISPLAY3), &PreviewCore::GetLayerDisplay<2>,
     &PreviewCore::PutLayerDisplay<2>},
    {KP_PROPERTY(FILE_OBJECT, LAYER_DISPLAY4), &PreviewCore::GetLayerDisplay<3>,
     &PreviewCore::PutLayerDisplay<3>},
    {KP_PROPERTY(FILE_OBJECT, LAYER_DISPLAY5), &PreviewCore::GetLayerDisplay<4>,
     &PreviewCore::PutLayerDisplay<4>},
    {KP_PROPERTY(FILE_OBJECT, LAYER_PRINT1), &PreviewCore::GetLayerPrint<0>,
     &PreviewCore::PutLayerPrint<0>},
    {KP_PROPERTY(FILE_OBJECT, LAYER_PRINT2), &PreviewCore::GetLayerPrint<1>,
     &PreviewCore::PutLayerPrint<1>},
    {KP_PROPERTY(FILE_OBJECT, LAYER_PRINT3), &PreviewCore::GetLayerPrint<2>,
     &PreviewCore::PutLayerPrint<2>},
    {KP_PROPERTY(FILE_OBJECT, LAYER_PRINT4), &PreviewCore::GetLayerPrint<3>,
     &PreviewCore::PutLayerPrint<3>},
    {KP_PROPERTY(FILE_OBJECT, LAYER_PRINT5), &PreviewCore::GetLayerPrint<4>,
     &PreviewCore::PutLayerPrint<4>},
    {KP_PROPERTY(FILE_OBJECT, HWND), &PreviewCore::GetHwnd, nullptr},
};

const MethodRow<PreviewCore> FileObject::kViewerMethods[] = {
    {KP_METHOD(FILE_OBJECT, SHOW_PRINTING_DIALOG), &PreviewCore::ShowPrintingDialogMember},
    {KP_METHOD(FILE_OBJECT, HIDE_PRINTING_DIALOG), &PreviewCore::HidePrintingDialogMember},
    {KP_METHOD(FILE_OBJECT, FIT_TO_PARENT), &PreviewCore::FitToParentMember},
    {KP_METHOD(FILE_OBJECT, REFRESH), &PreviewCore::RefreshMember},
    {KP_METHOD(FILE_OBJECT, PREPARE_REPORT), &PreviewCore::PrepareReportMember},
};

bool FileObject::IsViewerMember(int32_t memberId) {
    for (const auto& row : kViewerProperties)
        if (row.id == memberId) return true;
    for (const auto& row : kViewerMethods)
        if (row.id == memberId) return true;
    return false;
}

// ---------------------------------------------------------------------------------------------
// Life

FileObject::FileObject(ApplicationObject* owner)
    : signature_(static_cast<ScriptableObject*>(this), signature::kFile),
      owner_(owner),
      core_(static_cast<ScriptableObject*>(this), true) {
    core_.Initialize(owner_);
    core_.SetCloseHook([this] {
        std::lock_guard guard(lock_);
        viewerFonts_.RemoveFonts();
        viewerOpen_ = false;
        return rc::kOk;
    });
    core_.SetViewerCommands([this](int command) { OnViewerCommand(command); });
}

FileObject::~FileObject() {
    {
        std::lock_guard guard(lock_);
        CloseLocked();
    }
    if (owner_ != nullptr) owner_->UnregisterFileObject(this);
}

int32_t FileObject::QueryInterface(const InterfaceId* iid, void** out) {
    if (out == nullptr) return rc::kBadPointer;
    *out = nullptr;
    if (owner_ == nullptr) return rc::kNotReady;
    return owner_->QueryInterface(iid, out);
}

int32_t FileObject::AddRef() {
    return owner_ != nullptr ? owner_->AddRef() : 1;
}

int32_t FileObject::Release() {
    return owner_ != nullptr ? owner_->Release() : 1;
}

int32_t FileObject::GetTypeInfo(ClassInfo** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (owner_ == nullptr) return rc::kNotReady;
    return owner_->Classes().ClassInfoQueryInterface(&iid::kFileObject, out);
}

int32_t FileObject::Reserved(void*, void*) {
    return rc::kFailed;
}

int32_t FileObject::Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                           Variant* result) {
    // Every member of the public table has its row here (the ones Invoke takes itself aside).
    static_assert(std::size(kProperties) + std::size(kMethods) + std::size(kViewerProperties) +
                      std::size(kViewerMethods) + 1 ==
                  KP_MEMBER_COUNT(FILE_OBJECT));
    return GuardedCall([&]() -> int32_t {
        if (!CheckObjectSignature(static_cast<ScriptableObject*>(this), signature::kFile))
            return rc::kBadSignature;
        if (memberId == kFileRelease && kind == kInvokeMethod) {
            if (args != nullptr && args->count != 0) return rc::kBadArgument;
            if (SafeIsBadWritePtr(result, sizeof(Variant))) return rc::kBadPointer;
            {
                std::lock_guard guard(lock_);
                // A sink called from inside a member or a window handler must not pull the object
                // from under it.
                if (inUse_ != 0 || core_.IsInUse()) return kFileInUse;
                if (state_ != kIdle) CloseLocked();
            }
            result->vt = VT_EMPTY;
            delete this;
            return rc::kOk;
        }
        int32_t rc;
        {
            std::lock_guard guard(lock_);
            InUse use(inUse_);
            if (IsViewerMember(memberId)) {
                PreviewCore::InUse coreUse(core_);
                rc = DispatchMember<PreviewCore>(core_, kViewerProperties, kViewerMethods, memberId,
                                                 kind, args, result);
            } else {
                rc = DispatchMember<FileObject>(*this, kProperties, kMethods, memberId, kind, args,
                                                result);
            }
        }
        RunPendingClose();
        return rc;
    });
}

ScriptableObject* NewFileObject(ApplicationObject* owner) {
    return new (std::nothrow) FileObject(owner);
}

namespace {
std::unique_ptr<PageSource> FilePageSource(ScriptableObject* object, uint32_t page) {
    return std::make_unique<RecordedPageSource<FileObject>>(object, page, signature::kFile);
}
}  // namespace

void AddFileObjectServices(EngineServices& services) {
    services.children.newFileObject = &NewFileObject;
    services.recordedPages.file = &FilePageSource;
}

// ---------------------------------------------------------------------------------------------
// Document members

int32_t FileObject::GetString(std::u16string FileObject::*field, Variant* value) {
    const std::u16string& text = this->*field;
    if (text.empty()) return rc::kOk;
    value->bstrVal = BstrAllocView(text);
    return value->bstrVal != nullptr ? rc::kOk : rc::kOutOfMemory;
}

int32_t FileObject::PutString(std::u16string FileObject::*field, const Variant& argument) {
    if (state_ != kIdle && state_ != kOpen) return kFileNotIdle;
    try {
        this->*field = argument.bstrVal != nullptr ? std::u16string(BstrView(argument.bstrVal))
                                                   : std::u16string();
    } catch (const std::bad_alloc&) {
        return rc::kOutOfMemory;
    }
    return rc::kOk;
}

int32_t FileObject::GetBool(int32_t FileObject::*field, Variant* value) {
    value->boolVal = this->*field != 0 ? -1 : 0;
    return rc::kOk;
}

int32_t FileObject::PutBool(int32_t FileObject::*field, const Variant& argument) {
    if (state_ != kIdle && state_ != kOpen) return kFileNotIdle;
    this->*field = argument.boolVal != 0 ? -1 : 0;
    return rc::kOk;
}

int32_t FileObject::GetDocUpdateDate(Variant* value) {
    value->date = updateDate_;
    return rc::kOk;
}

int32_t FileObject::PutDocUpdateDate(const Variant& argument) {
    if (state_ != kIdle && state_ != kOpen) return kFileNotIdle;
    updateDate_ = argument.date;
    return rc::kOk;
}

int32_t FileObject::GetStatus(Variant* value) {
    // The printing dialog's cancel moves only the window side.
    value->uiVal = core_.state() == kStateCancelled ? uint16_t(kCancelled) : state_;
    return rc::kOk;
}

void FileObject::SetState(uint16_t state) {
    state_ = state;
    core_.SetState(state);
}

int32_t FileObject::GetIndexVisible(Variant* value) {
    return core_.GetIndexVisible(value);
}

int32_t FileObject::PutIndexVisible(const Variant& argument) {
    if (state_ != kIdle && state_ != kOpen) return kFileNotIdle;
    return core_.PutIndexVisible(argument);
}

int32_t FileObject::GetReportIndexLevel(Variant* value) {
    value->lVal = indexLevel_;
    return rc::kOk;
}

// 0 puts the next pages at the top of the outline, n under page n of the file being written,
// and -1 (all bits set) leaves them out of it.
int32_t FileObject::PutReportIndexLevel(const Variant& argument) {
    if (state_ != kOpen) return kFileWrongState;
    const int32_t level = argument.lVal;
    if (level != 0 && level != -1) {
        if (level < 1 || size_t(level) > pageLevels_.size()) return rc::kOutOfRange;
        if (pageLevels_[size_t(level - 1)] == -1) return kFileNoOutlineLevel;
    }
    indexLevel_ = level;
    return rc::kOk;
}

DocumentInfo FileObject::CurrentDocumentInfo() const {
    DocumentInfo info;
    info.title = title_;
    info.subTitle = subTitle_;
    info.keywords = keywords_;
    info.creator = creator_;
    info.password = password_;
    info.protect = protect_;
    info.noPrint = noPrint_;
    info.author = author_;
    info.indexVisible = core_.indexVisible() ? -1 : 0;
    info.flag = flag_;
    info.updateDate = updateDate_;
    return info;
}

void FileObject::ApplyDocumentInfo(const DocumentInfo& info) {
    title_ = info.title;
    subTitle_ = info.subTitle;
    keywords_ = info.keywords;
    creator_ = info.creator;
    password_ = info.password;
    author_ = info.author;
    updateDate_ = info.updateDate;
    protect_ = info.protect != 0 ? -1 : 0;
    noPrint_ = info.noPrint != 0 ? -1 : 0;
    core_.SetIndexVisibleValue(info.indexVisible != 0);
    flag_ = info.flag != 0 ? -1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Methods

int32_t FileObject::FileCreateMember(const Variant* args, Variant*) {
    return FileCreate(PathOf(args[0]), args[1].boolVal != 0);
}

int32_t FileObject::FileOpenMember(const Variant* args, Variant*) {
    return FileOpen(PathOf(args[0]));
}

int32_t FileObject::FileCloseFileMember(const Variant*, Variant*) {
    return FileCloseFile();
}

int32_t FileObject::FileAddPageMember(const Variant* args, Variant*) {
    return FileAddPage(static_cast<ScriptableObject*>(args[0].pdispVal));
}

int32_t FileObject::SaveCopyAsMember(const Variant* args, Variant*) {
    return SaveCopyAs(PathOf(args[0]));
}

int32_t FileObject::FileCreate(const std::string& path, bool overwrite) {
    std::lock_guard guard(lock_);
    if (state_ != kIdle) return kFileWrongState;
    if (path.empty()) return kFileNoName;
    std::unique_ptr<FontUsageTable> fonts;
    if (FontUsageTableCreate(fonts) != 0) return rc::kOutOfMemory;
    if (const int32_t rc = writer_.Create(path, overwrite); rc != 0) return rc;
    fonts_ = std::move(fonts);
    pageLevels_.clear();
    SetState(kOpen);
    return rc::kOk;
}

int32_t FileObject::FileOpen(const std::string& path) {
    std::lock_guard guard(lock_);
    if (state_ != kIdle) return kFileWrongState;
    if (path.empty()) return kFileNoName;
    // Only a regular file that can be read is taken; the pages are read when the viewer opens.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kFileCannotOpen;
    struct stat st {};
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    if (!regular) return kFileCannotOpen;
    openedPath_ = path;
    copyPending_ = true;
    SetState(kOpen);
    return rc::kOk;
}

int32_t FileObject::FileCloseFile() {
    std::lock_guard guard(lock_);
    // Closing from a sink inside another member (or a window handler) would pull the file
    // from under it.
    if (inUse_ > 1 || core_.IsInUse()) return kFileInUse;
    return CloseLocked();
}

int32_t FileObject::CloseLocked() {
    int32_t result = rc::kOk;
    if (writer_.IsOpen()) {
        FontUsageTable* fonts = fonts_.get();
        int written = 0;
        result = writer_.Close(fonts != nullptr ? fonts->count() : 0,
                               [fonts, &written](int index, std::vector<uint8_t>* subset) {
                                   const int32_t rc = SubsetForFile(fonts, index, subset);
                                   if (rc == 0 && !subset->empty()) ++written;
                                   return rc;
                               });
        fontsWritten_ = written;
    }
    fonts_.reset();
    pageLevels_.clear();
    openedPath_.clear();
    copyPending_ = false;
    // The window side goes idle first, so that the frame's end does not run the viewer's close
    // (and its event) again.
    SetState(kIdle);
    DropViewerData();
    return result;
}

int32_t FileObject::FileAddPage(ScriptableObject* object) {
    std::lock_guard guard(lock_);
    if (state_ != kOpen || !writer_.IsOpen()) return kFileWrongState;
    if (!CheckObjectSignature(object, signature::kReport)) return rc::kBadArgument;
    ReportObject* report = AsReport(object);
    if (report == nullptr) return rc::kBadArgument;
    Recording recording([this](uint16_t s) { SetState(s); });

    // The report is drawn once before it is saved, as the viewer prepares a report: that lays
    // its objects out. Without a window the screen's information context serves.
    {
        std::unique_ptr<plat::InfoDc> screen;
        try {
            screen = std::make_unique<plat::InfoDc>();
        } catch (const std::bad_alloc&) {
            return rc::kOutOfMemory;
        }
        std::lock_guard drawing(owner_ != nullptr ? owner_->DrawingLock() : lock_);
        if (const int32_t rc = report->Draw(nullptr, screen->handle(), screen->handle(), 0, 0, 0, 0,
                                            drawflag::kLayers);
            rc != 0) {
            return rc;
        }
    }

    DocumentInfo info = CurrentDocumentInfo();
    if (writer_.Pages() == 0) {
        Variant value{};
        if (report->Invoke(ReportObject::kValue5022, kInvokeGet, nullptr, &value) == 0)
            info.firstPageValue = value.lVal;
    }
    const std::u16string* heading = indexTitle_.empty() ? nullptr : &indexTitle_;
    const int32_t rc = AddReportPage(writer_, report, info, indexLevel_, heading, fonts_.get());
    if (rc != 0) return rc;
    pageLevels_.push_back(indexLevel_);
    return rc::kOk;
}

int32_t FileObject::SaveCopyAs(const std::string& path) {
    std::lock_guard guard(lock_);
    if (state_ != kOpen) return kFileWrongState;
    if (path.empty()) return kFileNoName;
    // Only the first call after FileOpen copies; a file being written has nothing to copy yet.
    if (!copyPending_) return rc::kOk;
    copyPending_ = false;
    // The copy replaces a file of that name only once it is whole.
    const int in = open(openedPath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return kFileCopyFailed;
    qzs::base::AtomicFile copy(path);
    bool ok = copy.Open();
    char buffer[65536];
    while (ok) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = copy.Write(buffer, size_t(n));
    }
    close(in);
    return ok && copy.Commit() ? rc::kOk : kFileCopyFailed;
}

// ---------------------------------------------------------------------------------------------
// viewer

void FileObject::SetDialogPort(ViewerDialogPort* port) {
    std::lock_guard guard(lock_);
    port_ = port;
}

void FileObject::SetLoadLimits(const ReportFileLimits& limits) {
    std::lock_guard guard(lock_);
    limits_ = limits;
}

ViewerDialogPort* FileObject::DialogPort(std::unique_ptr<ViewerDialogPort>* holder) {
    if (port_ != nullptr) return port_;
    const ViewerDialogPortFactory factory =
        owner_ != nullptr ? owner_->Services().viewerDialogs : nullptr;
    if (factory == nullptr || !OnWidgetsThread()) return nullptr;
    *holder = factory(core_.frameHandle());
    return holder->get();
}

int32_t FileObject::FileOpenViewerMember(const Variant* args, Variant*) {
    return FileOpenViewer(args[0].ulVal);
}

int32_t FileObject::FileCloseViewerMember(const Variant*, Variant*) {
    return FileCloseViewer();
}

int32_t FileObject::ShowDocumentInfoMember(const Variant*, Variant*) {
    return ShowDocumentInfo();
}

int32_t FileObject::ShowLayerPrintSettingsMember(const Variant*, Variant*) {
    return ShowLayerPrintSettings();
}

int32_t FileObject::PrintWithRangeDialogMember(const Variant*, Variant*) {
    return PrintWithRangeDialog();
}

int32_t FileObject::FileOpenViewer(uint32_t style) {
    std::lock_guard guard(lock_);
    // Only a file opened for reading has pages to show; a file being written has none yet.
    if (state_ != kOpen || openedPath_.empty() || writer_.IsOpen()) return kFileWrongState;
    if (viewerOpen_ || core_.hasFrame()) return kFileNotIdle;
    if (const int32_t rc = core_.Initialize(owner_); rc != rc::kOk) return rc;
    core_.SetState(kOpen);
    // Without a window (no widgets application on this thread) the pages still load, so that
    // they can be played and printed.
    const int32_t window = core_.OpenWindow(style, false);
    if (window != rc::kOk && window != code::kFrameFailed) return window;
    viewerOpen_ = true;
    closePending_ = false;

    std::unique_ptr<ViewerDialogPort> made;
    ViewerDialogPort* port = DialogPort(&made);
    NoDialogs none;
    // What the file does not say keeps the object's values.
    DocumentInfo info = CurrentDocumentInfo();
    bool applied = false;
    int32_t rc = LoadReportFilePages(
        owner_, viewerFonts_, openedPath_, limits_, port != nullptr ? port : &none, &info,
        core_.pages(), [&](int count, const PreviewPageRecord& record) -> int32_t {
            if (!applied) {
                // The outline pane shows as the file says before the first page appears.
                ApplyDocumentInfo(info);
                applied = true;
            }
            core_.PageAdded(count, record.outlineParent, record.heading);
            core_.PumpPrintingDialog();
            return closePending_ || core_.ClosePending() || !viewerOpen_ ? kLoadStopped : 0;
        });
    if (!applied) ApplyDocumentInfo(info);
    if (rc == kLoadStopped) rc = rc::kOk;
    return rc;
}

int32_t FileObject::FileCloseViewer() {
    {
        std::lock_guard guard(lock_);
        const uint16_t s = core_.state();
        if (s != kStateOpen && s != kStateCancelled) return kFileNotIdle;
        // From a sink inside another member (loading, a dialog): once that member has ended.
        if (inUse_ > 1) {
            closePending_ = true;
            return rc::kOk;
        }
        closePending_ = false;
    }
    return core_.ClosePreview();
}

void FileObject::RunPendingClose() {
    {
        std::lock_guard guard(lock_);
        if (!closePending_ || inUse_ != 0) return;
        closePending_ = false;
    }
    FileCloseViewer();
}

void FileObject::DropViewerData() {
    core_.TearDown();
    viewerFonts_.RemoveFonts();
    viewerOpen_ = false;
    closePending_ = false;
}

int32_t FileObject::ViewerPlayPage(uint32_t dc, int page) {
    std::lock_guard guard(lock_);
    return core_.PlayPage(dc, page, offsetX_, offsetY_);
}

void FileObject::LockPages() {
    lock_.lock();
    ++inUse_;
    core_.lock().lock();
    core_.inUseAdd(1);
}

void FileObject::UnlockPages() {
    core_.inUseAdd(-1);
    core_.lock().unlock();
    --inUse_;
    lock_.unlock();
}

int32_t FileObject::ShowDocumentInfo() {
    std::lock_guard guard(lock_);
    std::unique_ptr<ViewerDialogPort> made;
    ViewerDialogPort* port = DialogPort(&made);
    if (port == nullptr) return rc::kFailed;
    return port->ShowDocumentInfo(CurrentDocumentInfo()) < 0 ? rc::kFailed : rc::kOk;
}

int32_t FileObject::ShowLayerPrintSettings() {
    std::lock_guard guard(lock_);
    std::unique_ptr<ViewerDialogPort> made;
    ViewerDialogPort* port = DialogPort(&made);
    if (port == nullptr) return rc::kFailed;
    LayerPrintSettings settings;
    settings.layers = core_.layerPrint();
    settings.offsetX = offsetX_;
    settings.offsetY = offsetY_;
    const int answer = port->AskLayerPrint(&settings);
    if (answer < 0) return rc::kFailed;
    if (answer == 1) {
        core_.SetLayerPrint(settings.layers);
        // Only finite offsets move objects; anything else is no offset.
        offsetX_ = std::isfinite(settings.offsetX) ? settings.offsetX : 0;
        offsetY_ = std::isfinite(settings.offsetY) ? settings.offsetY : 0;
    }
    return rc::kOk;
}

int32_t FileObject::PrintWithRangeDialog() {
    std::lock_guard guard(lock_);
    const int count = core_.pages().Count();
    if (count == 0) return rc::kOk;
    std::unique_ptr<ViewerDialogPort> made;
    ViewerDialogPort* port = DialogPort(&made);
    if (port == nullptr) return rc::kFailed;
    int start = 1, end = count;
    const int answer = port->AskPrintRange(core_.currentPage(), count, &start, &end);
    if (answer < 0) return rc::kFailed;
    if (answer != 1) return rc::kOk;
    if (state_ != kOpen) return kFileWrongState;
    // The dialog hands back pages it checked; a scripted answer may not have been.
    if (start < 1 || start > end || end > core_.pages().Count()) return rc::kOutOfRange;
    if (owner_ == nullptr) return rc::kNotReady;

    Variant noName{};
    noName.vt = VT_BSTR;
    InvokeArgs createArgs{&noName, 1};
    Variant created{};
    if (const int32_t rc =
            owner_->Invoke(ApplicationObject::kCreatePrinter, kInvokeMethod, &createArgs, &created);
        rc != rc::kOk) {
        // The user asked to print: a machine without a printer is told, not silently ignored.
        if (rc == rc::kNoDefaultPrinter || rc == rc::kNoSuchPrinter) {
            port->Warn(kNoPrinterText, kNoPrinterCaption);
        }
        return rc;
    }
    auto* job = static_cast<ScriptableObject*>(created.pdispVal);
    if (job == nullptr) return rc::kFailed;
    const auto call = [job](int32_t id, std::vector<Variant> args, Variant* out = nullptr) {
        InvokeArgs block{args.data(), uint32_t(args.size())};
        Variant ignored{};
        return job->Invoke(id, kInvokeMethod, &block, out != nullptr ? out : &ignored);
    };
    constexpr int32_t kOpenPrinter = 11001, kClosePrinter = 11002, kClose = 11003;
    constexpr int32_t kFilePrint = 11011, kShowPrtSelectDlg = 11013;
    const uint32_t frame = core_.frameHandle();
    Variant confirmed{};
    int32_t rc = call(kShowPrtSelectDlg, {VariantUI4(frame), VariantUI4(0)}, &confirmed);
    if (rc != rc::kOk || confirmed.boolVal == 0) {
        call(kClose, {});
        return rc;
    }
    if ((rc = call(kOpenPrinter, {VariantUI4(frame)})) != rc::kOk) {
        call(kClose, {});
        return rc;
    }
    for (int page = start; page <= end; ++page) {
        rc = call(kFilePrint, {VariantDispatch(static_cast<ScriptableObject*>(this)),
                               VariantUI4(uint32_t(page))});
        if (rc != rc::kOk) {
            call(kClosePrinter, {VariantBool(false)});
            call(kClose, {});
            return rc;
        }
    }
    rc = call(kClosePrinter, {VariantBool(true)});
    call(kClose, {});
    return rc;
}

void FileObject::OnViewerCommand(int command) {
    {
        std::lock_guard guard(lock_);
        InUse use(inUse_);
        switch (command) {
            case kCmdPrint:
                PrintWithRangeDialog();
                break;
            case kCmdLayerPrint:
                ShowLayerPrintSettings();
                break;
            case kCmdDocumentInfo:
                ShowDocumentInfo();
                break;
            default:
                break;
        }
    }
    RunPendingClose();
}

}  // namespace kp::preview
