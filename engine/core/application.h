// The top-level object a host creates through WCreateObject: the engine-wide settings of one
// host (folders, default user, installed printers), the factory and owner of every other engine
// object (five tables of 1000 slots), the host's event sinks and the class information.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/class_info.h"
#include "engine/core/event_sinks.h"
#include "engine/core/scriptable.h"
#include "engine/core/services.h"
#include "engine/include/kpengn_members.h"

namespace kp {

class ApplicationObject;

// The kinds of child, in the order of the application's tables.
enum class ChildKind : int {
    kReport = 0,
    kPreview = 1,
    kFileObject = 2,
    kPdfDocument = 3,
    kPrinter = 4,
};
inline constexpr size_t kChildKinds = 5;
inline constexpr size_t kChildSlots = 1000;


class ApplicationObject final : public ScriptableObject {
  public:
    // Invoke ids.
    enum Member : int32_t {
        kCurrentPath = KPM_APPLICATION_CURRENT_PATH,
        kTempPath = KPM_APPLICATION_TEMP_PATH,
        kPrinterDevices = KPM_APPLICATION_PRINTER_DEVICES,
        kDefaultUserId = KPM_APPLICATION_DEFAULT_USER_ID,
        kDefaultUserPassword = KPM_APPLICATION_DEFAULT_USER_PASSWORD,
        kKeepLayerOrder = KPM_APPLICATION_KEEP_LAYER_ORDER,
        kControlLibraryName = KPM_APPLICATION_CONTROL_LIBRARY_NAME,
        kCreatePreview = KPM_APPLICATION_CREATE_PREVIEW,
        kCreatePrinter = KPM_APPLICATION_CREATE_PRINTER,
        kCreatePrinterForReport = KPM_APPLICATION_CREATE_PRINTER_FOR_REPORT,
        kCreateFile = KPM_APPLICATION_CREATE_FILE,
        kCreateReport = KPM_APPLICATION_CREATE_REPORT,
        kPrinterDeviceName = KPM_APPLICATION_PRINTER_DEVICE_NAME,
        kPrinterName = KPM_APPLICATION_PRINTER_NAME,
        kPrinterPortName = KPM_APPLICATION_PRINTER_PORT_NAME,
        kReservedCreate = KPM_APPLICATION_RESERVED,
        kOpenReport = KPM_APPLICATION_OPEN_REPORT,
        kCreatePdfDocument = KPM_APPLICATION_CREATE_PDF_DOCUMENT,
    };

    // The application makes its children with these and hands them what else they need.
    explicit ApplicationObject(const EngineServices& services = {});
    // Destroys every child still in the tables; the host's references to them are invalid then.
    ~ApplicationObject() override;
    ApplicationObject(const ApplicationObject&) = delete;
    ApplicationObject& operator=(const ApplicationObject&) = delete;

    // Folders and printers, as WCreateObject sets the object up.
    int32_t Initialize();

    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;
    int32_t GetTypeInfo(ClassInfo** out) override;
    int32_t Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                   plat::Variant* result) override;

    // The child tables. Register answers 0 or -10312 when the kind's table is full; Unregister
    // always answers 0.
    int32_t RegisterChild(ChildKind kind, ScriptableObject* child);
    int32_t UnregisterChild(ChildKind kind, ScriptableObject* child);
    int32_t RegisterReport(ScriptableObject* c) { return RegisterChild(ChildKind::kReport, c); }
    int32_t RegisterPreview(ScriptableObject* c) { return RegisterChild(ChildKind::kPreview, c); }
    int32_t RegisterFileObject(ScriptableObject* c) {
        return RegisterChild(ChildKind::kFileObject, c);
    }
    int32_t RegisterPdfDocument(ScriptableObject* c) {
        return RegisterChild(ChildKind::kPdfDocument, c);
    }
    int32_t RegisterPrinter(ScriptableObject* c) { return RegisterChild(ChildKind::kPrinter, c); }
    int32_t UnregisterReport(ScriptableObject* c) { return UnregisterChild(ChildKind::kReport, c); }
    int32_t UnregisterPreview(ScriptableObject* c) {
        return UnregisterChild(ChildKind::kPreview, c);
    }
    int32_t UnregisterFileObject(ScriptableObject* c) {
        return UnregisterChild(ChildKind::kFileObject, c);
    }
    int32_t UnregisterPdfDocument(ScriptableObject* c) {
        return UnregisterChild(ChildKind::kPdfDocument, c);
    }
    int32_t UnregisterPrinter(ScriptableObject* c) {
        return UnregisterChild(ChildKind::kPrinter, c);
    }
    size_t ChildCount(ChildKind kind);

    // Events of every engine object leave through here.
    int32_t FireEvent(int32_t eventId, const InvokeArgs* args) {
        return sinks_.FireEvent(eventId, args);
    }

    // New copies (null when unset); -5 when the copy fails.
    int32_t GetCurrentPath(plat::Bstr* out);
    int32_t GetTempPath(plat::Bstr* out);
    // Printer n (0-based) as listed at creation; false when n is out of range. The strings stay
    // the application's.
    uint32_t PrinterCount();
    bool PrinterAt(uint32_t n, std::u16string* name, std::u16string* driver, std::u16string* port);
    // Held by the PDF document around the recording of a page.
    std::recursive_mutex& DrawingLock() { return drawingLock_; }
    bool KeepLayerOrder();

    EventSinkList& Sinks() { return sinks_; }
    const EngineServices& Services() const { return services_; }
    // A print thread whose job was closed on that thread (from the job's own PrintEnd, or by a
    // Close that waited for the page) is still on its way out through this application's event
    // list when the job is gone. The application keeps it and joins it before it goes itself;
    // `ended` is set by the thread as its last act, so that ended ones are joined early.
    void KeepEndingThread(std::thread thread, std::shared_ptr<const std::atomic<bool>> ended);
    EventSource& Events() { return eventSource_; }
    SiteHolder& Site() { return siteHolder_; }
    ClassInfoSet& Classes() { return classInfo_; }

  private:
    // Members reached through Invoke.
    int32_t GetCurrentPathMember(plat::Variant* value);
    int32_t PutCurrentPath(const plat::Variant& argument);
    int32_t GetTempPathMember(plat::Variant* value);
    int32_t PutTempPath(const plat::Variant& argument);
    int32_t GetPrinterDevices(plat::Variant* value);
    int32_t GetDefaultUserId(plat::Variant* value);
    int32_t PutDefaultUserId(const plat::Variant& argument);
    int32_t GetDefaultUserPassword(plat::Variant* value);
    int32_t PutDefaultUserPassword(const plat::Variant& argument);
    int32_t GetKeepLayerOrder(plat::Variant* value);
    int32_t PutKeepLayerOrder(const plat::Variant& argument);
    int32_t GetControlLibraryName(plat::Variant* value);

    int32_t CreatePreviewMember(const plat::Variant* args, plat::Variant* value);
    int32_t CreatePrinterMember(const plat::Variant* args, plat::Variant* value);
    int32_t CreatePrinterForReportMember(const plat::Variant* args, plat::Variant* value);
    int32_t CreateFileMember(const plat::Variant* args, plat::Variant* value);
    int32_t CreateReportMember(const plat::Variant* args, plat::Variant* value);
    int32_t PrinterDeviceNameMember(const plat::Variant* args, plat::Variant* value);
    int32_t PrinterNameMember(const plat::Variant* args, plat::Variant* value);
    int32_t PrinterPortNameMember(const plat::Variant* args, plat::Variant* value);
    int32_t ReservedCreateMember(const plat::Variant* args, plat::Variant* value);
    int32_t OpenReportMember(const plat::Variant* args, plat::Variant* value);
    int32_t CreatePdfDocumentMember(const plat::Variant* args, plat::Variant* value);

    // Factories; each leaves the new child in *out or null.
    int32_t CreatePreview(ScriptableObject** out);
    int32_t CreateFile(ScriptableObject** out);
    int32_t CreateReport(ScriptableObject** out);
    int32_t OpenReport(const plat::OleChar* fileName, ScriptableObject** out);
    int32_t CreatePdfDocument(ScriptableObject** out);
    int32_t CreateDefaultPrinter(ScriptableObject** out);
    int32_t CreatePrinterByName(const plat::OleChar* name, ScriptableObject** out);
    int32_t CreatePrinterForReport(plat::Unknown* report, uint32_t parentWindow,
                                   uint32_t dialogOptions, ScriptableObject** out);
    // Registers a new child and runs its initialisation; on any failure the child is destroyed.
    template <class Init>
    int32_t AdoptChild(ChildKind kind, ScriptableObject* child, Init init, ScriptableObject** out);

    int32_t GetPathMember(plat::Bstr ApplicationObject::*path, plat::Variant* value);
    int32_t PutPathMember(plat::Bstr ApplicationObject::*path, const plat::Variant& argument);
    int32_t GetStringMember(plat::Bstr ApplicationObject::*field, plat::Variant* value);
    int32_t PutUserString(plat::Bstr ApplicationObject::*field, const plat::Variant& argument);
    int32_t PrinterStringMember(const std::vector<plat::Bstr>& list, const plat::Variant* args,
                                plat::Variant* value);
    void ClearPrinters();

    static const PropertyRow<ApplicationObject> kProperties[];
    static const MethodRow<ApplicationObject> kMethods[];

    struct EndingThread {
        std::thread thread;
        std::shared_ptr<const std::atomic<bool>> ended;
    };
    void JoinEndingThreads(bool onlyEnded);

    const EngineServices services_;
    std::recursive_mutex drawingLock_;
    int32_t refs_ = 0;
    std::mutex endingLock_;
    std::vector<EndingThread> ending_;
    std::recursive_mutex lock_;  // the object lock
    std::array<std::array<ScriptableObject*, kChildSlots>, kChildKinds> children_{};
    EventSinkList sinks_;
    EventSource eventSource_;
    ClassInfoSet classInfo_;
    SiteHolder siteHolder_;
    plat::Bstr currentPath_ = nullptr;
    plat::Bstr tempPath_ = nullptr;
    std::vector<plat::Bstr> printerNames_;
    std::vector<plat::Bstr> portNames_;
    std::vector<plat::Bstr> driverNames_;
    plat::Bstr defaultUserId_ = nullptr;
    plat::Bstr defaultUserPassword_ = nullptr;
    int32_t keepLayerOrder_ = 0;
};

// Creates the application, sets it up, answers the interface asked for and registers it with the
// module. -4 for null pointers, -3 for another class id; on any failure the object is destroyed
// and *out is null. The first takes the module's services, the second the ones given.
int32_t CreateEngineObject(const InterfaceId* classId, const InterfaceId* iid, void** out);
int32_t CreateEngineObject(const EngineServices& services, const InterfaceId* classId,
                           const InterfaceId* iid, void** out);

// Destroys an application directly (module detach), not through Release.
void DestroyApplicationObject(ApplicationObject* object);

}  // namespace kp
