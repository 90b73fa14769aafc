#include "engine/preview/file_object.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <new>

#include "engine/core/application.h"
#include "engine/core/class_info.h"
#include "engine/core/report.h"
#include "engine/preview/font_embedding.h"
#include "engine/preview/page_player.h"
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
    explicit Recording(uint16_t& state) : state_(state) { state_ = FileObject::kRecording; }
    ~Recording() { state_ = FileObject::kOpen; }
    uint16_t& state_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Member tables

const PropertyRow<FileObject> FileObject::kProperties[] = {
    {kDocTitle, VT_BSTR, &FileObject::GetDocTitle, &FileObject::PutDocTitle},
    {kDocAuthor, VT_BSTR, &FileObject::GetDocAuthor, &FileObject::PutDocAuthor},
    {kDocPassword, VT_BSTR, &FileObject::GetDocPassword, &FileObject::PutDocPassword},
    {kDocProtect, VT_BOOL, &FileObject::GetDocProtect, &FileObject::PutDocProtect},
    {kDocNoPrint, VT_BOOL, &FileObject::GetDocNoPrint, &FileObject::PutDocNoPrint},
    {kDocCreator, VT_BSTR, &FileObject::GetDocCreator, &FileObject::PutDocCreator},
    {kDocSubTitle, VT_BSTR, &FileObject::GetDocSubTitle, &FileObject::PutDocSubTitle},
    {kDocKeywords, VT_BSTR, &FileObject::GetDocKeywords, &FileObject::PutDocKeywords},
    {kDocUpdateDate, VT_DATE, &FileObject::GetDocUpdateDate, &FileObject::PutDocUpdateDate},
    {kStatus, VT_UI2, &FileObject::GetStatus, nullptr},
    {kReportIndexLevel, VT_UI4, &FileObject::GetReportIndexLevel, &FileObject::PutReportIndexLevel},
    {kReportIndexTitle, VT_BSTR, &FileObject::GetReportIndexTitle,
     &FileObject::PutReportIndexTitle},
    {kIndexVisible, VT_BOOL, &FileObject::GetIndexVisible, &FileObject::PutIndexVisible},
    {kDocFlag, VT_BOOL, &FileObject::GetDocFlag, &FileObject::PutDocFlag},
    // viewer: the window and page members join here.
};

const MethodRow<FileObject> FileObject::kMethods[] = {
    {kFileCreate, VT_EMPTY, 2, {VT_BSTR, VT_BOOL}, &FileObject::FileCreateMember},
    {kFileOpen, VT_EMPTY, 1, {VT_BSTR}, &FileObject::FileOpenMember},
    {kFileCloseFile, VT_EMPTY, 0, {}, &FileObject::FileCloseFileMember},
    {kFileAddPage, VT_EMPTY, 1, {VT_DISPATCH}, &FileObject::FileAddPageMember},
    {kSaveCopyAs, VT_EMPTY, 1, {VT_BSTR}, &FileObject::SaveCopyAsMember},
    // viewer: FileOpenViewer, FileCloseViewer and the others join here.
};

// ---------------------------------------------------------------------------------------------
// Life

FileObject::FileObject(ApplicationObject* owner)
    : signature_(static_cast<ScriptableObject*>(this), signature::kFile), owner_(owner) {}

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
    if (!CheckObjectSignature(static_cast<ScriptableObject*>(this), signature::kFile))
        return rc::kBadSignature;
    if (memberId == kFileRelease && kind == kInvokeMethod) {
        if (args != nullptr && args->count != 0) return rc::kBadArgument;
        if (SafeIsBadWritePtr(result, sizeof(Variant))) return rc::kBadPointer;
        {
            std::lock_guard guard(lock_);
            // A sink called from inside a member must not pull the object from under it.
            if (inUse_ != 0) return kFileInUse;
            if (state_ != kIdle) CloseLocked();
        }
        result->vt = VT_EMPTY;
        delete this;
        return rc::kOk;
    }
    std::lock_guard guard(lock_);
    InUse use(inUse_);
    return DispatchMember<FileObject>(*this, kProperties, kMethods, memberId, kind, args, result);
}

ScriptableObject* NewFileObject(ApplicationObject* owner) {
    return new (std::nothrow) FileObject(owner);
}

void BindFileObjectFactory() {
    ChildFactories f = GetChildFactories();
    f.newFileObject = &NewFileObject;
    SetChildFactories(f);
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
    value->uiVal = state_;
    return rc::kOk;
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
    info.indexVisible = indexVisible_;
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
    indexVisible_ = info.indexVisible != 0 ? -1 : 0;
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
    state_ = kOpen;
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
    state_ = kOpen;
    return rc::kOk;
}

int32_t FileObject::FileCloseFile() {
    std::lock_guard guard(lock_);
    // Closing from a sink inside another member would pull the file from under that member.
    if (inUse_ > 1) return kFileInUse;
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
    DropViewerData();
    state_ = kIdle;
    return result;
}

int32_t FileObject::FileAddPage(ScriptableObject* object) {
    std::lock_guard guard(lock_);
    if (state_ != kOpen || !writer_.IsOpen()) return kFileWrongState;
    if (!CheckObjectSignature(object, signature::kReport)) return rc::kBadArgument;
    ReportObject* report = AsReport(object);
    if (report == nullptr) return rc::kBadArgument;
    Recording recording(state_);

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
    std::error_code ec;
    std::filesystem::copy_file(openedPath_, path, std::filesystem::copy_options::overwrite_existing,
                               ec);
    return ec ? kFileCopyFailed : rc::kOk;
}

// ---------------------------------------------------------------------------------------------
// viewer

void FileObject::DropViewerData() {
    viewerPages_.Clear();
    viewerFonts_.RemoveFonts();
}

}  // namespace kp::preview
