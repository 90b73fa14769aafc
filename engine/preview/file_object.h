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
#include "engine/preview/file_records.h"
#include "engine/preview/page_list.h"
#include "engine/preview/report_file.h"

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
        kDocTitle = 3002,
        kDocAuthor = 3003,
        kDocPassword = 3004,
        kDocProtect = 3005,
        kDocNoPrint = 3006,
        kDocCreator = 3007,
        kDocSubTitle = 3008,
        kDocKeywords = 3009,
        kDocUpdateDate = 3011,
        kStatus = 3026,
        kReportIndexLevel = 3035,
        kReportIndexTitle = 3036,
        kIndexVisible = 3038,
        kDocFlag = 3044,
        kFileCreate = 13001,
        kFileOpen = 13002,
        kFileCloseFile = 13003,
        kFileRelease = 13006,
        kFileAddPage = 13007,
        kSaveCopyAs = 13016,
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
    int32_t InvokeLocked(int32_t memberId, int32_t kind, const InvokeArgs* args,
                         plat::Variant* result);
    int32_t CloseLocked();

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
    int32_t GetIndexVisible(plat::Variant* v) { return GetBool(&FileObject::indexVisible_, v); }
    int32_t PutIndexVisible(const plat::Variant& a) {
        return PutBool(&FileObject::indexVisible_, a);
    }

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
    int32_t indexVisible_ = 0;

    // Reading: the path FileOpen opened, and whether SaveCopyAs may still copy it.
    std::string openedPath_;
    bool copyPending_ = false;

    // ---------------------------------------------------------------------------------------
    // viewer
    //
    // The window, its page list and the fonts registered while showing an opened file. Both
    // are dropped (page files and font files removed) whenever the file is closed.
  private:
    PreviewPageList viewerPages_;
    ReportFileReader viewerFonts_;
    void DropViewerData();
};

// The application's factory of file objects; null when memory runs out.
ScriptableObject* NewFileObject(ApplicationObject* owner);
// Binds the factory into the application's child factories, keeping the others.
void BindFileObjectFactory();

}  // namespace kp::preview
