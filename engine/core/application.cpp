#include "engine/core/application.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "engine/core/member_table.h"
#include "engine/core/module.h"
#include "engine/core/object_signature.h"
#include "platform/printing/printers.h"

namespace kp {

using namespace plat;

namespace {

// The name the control library is loaded by on this system (the property reports the name
// actually used, so that a host can find the same library).
constexpr char16_t kControlLibraryNameText[] = u"libkpctrl30.so";

// A get through Invoke that must answer the expected type.
int32_t GetTyped(ScriptableObject* object, int32_t id, VarType type, Variant* out) {
    *out = Variant{};
    const int32_t code = object->Invoke(id, kInvokeGet, nullptr, out);
    if (code != rc::kOk) {
        if (out->vt == VT_BSTR) BstrFree(out->bstrVal);
        *out = Variant{};
        return code;
    }
    if (out->vt != type) {
        VariantClear(out);
        return rc::kBadArgument;
    }
    return rc::kOk;
}

int32_t Put(ScriptableObject* object, int32_t id, Variant value) {
    InvokeArgs args{&value, 1};
    Variant result{};
    return object->Invoke(id, kInvokePut, &args, &result);
}

bool IsEmpty(const OleChar* s) {
    return s == nullptr || BstrLen(s) == 0;
}

// A folder given to CurrentPath or TempPath must exist. One trailing separator is dropped and
// put back as the directory's own, so "/" and "/tmp/" are accepted like "/tmp".
bool FolderExists(const OleChar* path) {
    if (IsEmpty(path)) return false;
    std::string narrow;
    if (!Utf8FromWide(BstrView(path), &narrow) || narrow.empty()) return false;
    if (narrow.find('\0') != std::string::npos) return false;
    if (narrow.back() == '/') narrow.pop_back();
    narrow += '/';
    struct stat st {};
    return stat(narrow.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The temporary folder ends in a separator, as children append file names to it.
std::string TemporaryFolder() {
    std::string dir = "/tmp";
    if (const char* env = std::getenv("TMPDIR"); env && env[0] == '/') dir = env;
    if (dir.back() != '/') dir += '/';
    return dir;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Member tables

const PropertyRow<ApplicationObject> ApplicationObject::kProperties[] = {
    {KP_PROPERTY(APPLICATION, CURRENT_PATH), &ApplicationObject::GetCurrentPathMember,
     &ApplicationObject::PutCurrentPath},
    {KP_PROPERTY(APPLICATION, TEMP_PATH), &ApplicationObject::GetTempPathMember,
     &ApplicationObject::PutTempPath},
    {KP_PROPERTY(APPLICATION, PRINTER_DEVICES), &ApplicationObject::GetPrinterDevices, nullptr},
    {KP_PROPERTY(APPLICATION, DEFAULT_USER_ID), &ApplicationObject::GetDefaultUserId,
     &ApplicationObject::PutDefaultUserId},
    {KP_PROPERTY(APPLICATION, DEFAULT_USER_PASSWORD), &ApplicationObject::GetDefaultUserPassword,
     &ApplicationObject::PutDefaultUserPassword},
    {KP_PROPERTY(APPLICATION, KEEP_LAYER_ORDER), &ApplicationObject::GetKeepLayerOrder,
     &ApplicationObject::PutKeepLayerOrder},
    {KP_PROPERTY(APPLICATION, CONTROL_LIBRARY_NAME), &ApplicationObject::GetControlLibraryName,
     nullptr},
};

const MethodRow<ApplicationObject> ApplicationObject::kMethods[] = {
    {KP_METHOD(APPLICATION, CREATE_PREVIEW), &ApplicationObject::CreatePreviewMember},
    {KP_METHOD(APPLICATION, CREATE_PRINTER), &ApplicationObject::CreatePrinterMember},
    {KP_METHOD(APPLICATION, CREATE_PRINTER_FOR_REPORT),
     &ApplicationObject::CreatePrinterForReportMember},
    {KP_METHOD(APPLICATION, CREATE_FILE), &ApplicationObject::CreateFileMember},
    {KP_METHOD(APPLICATION, CREATE_REPORT), &ApplicationObject::CreateReportMember},
    {KP_METHOD(APPLICATION, PRINTER_DEVICE_NAME), &ApplicationObject::PrinterDeviceNameMember},
    {KP_METHOD(APPLICATION, PRINTER_NAME), &ApplicationObject::PrinterNameMember},
    {KP_METHOD(APPLICATION, PRINTER_PORT_NAME), &ApplicationObject::PrinterPortNameMember},
    {KP_METHOD(APPLICATION, RESERVED), &ApplicationObject::ReservedCreateMember},
    {KP_METHOD(APPLICATION, OPEN_REPORT), &ApplicationObject::OpenReportMember},
    {KP_METHOD(APPLICATION, CREATE_PDF_DOCUMENT), &ApplicationObject::CreatePdfDocumentMember},
};

// ---------------------------------------------------------------------------------------------
// Life

ApplicationObject::ApplicationObject(const EngineServices& services)
    : services_(services),
      sinks_(this), eventSource_(this, &sinks_), classInfo_(this), siteHolder_(this) {}

ApplicationObject::~ApplicationObject() {
    // First of all: a print thread still leaving through the event list must be out of it
    // before the list and the children go.
    JoinEndingThreads(false);
    // Table by table, reports first. Each slot is read again under the lock, because a child's
    // destructor unregisters itself and may destroy other children of its own.
    static constexpr ChildKind kOrder[] = {ChildKind::kReport, ChildKind::kPreview,
                                           ChildKind::kFileObject, ChildKind::kPrinter,
                                           ChildKind::kPdfDocument};
    for (ChildKind kind : kOrder) {
        for (size_t slot = 0; slot < kChildSlots; ++slot) {
            ScriptableObject* child;
            {
                std::lock_guard guard(lock_);
                child = children_[static_cast<size_t>(kind)][slot];
                children_[static_cast<size_t>(kind)][slot] = nullptr;
            }
            delete child;
        }
    }
    UnregisterEngineObject(this);
    BstrFree(currentPath_);
    BstrFree(tempPath_);
    BstrFree(defaultUserId_);
    BstrFree(defaultUserPassword_);
    ClearPrinters();
}

void ApplicationObject::KeepEndingThread(std::thread thread,
                                         std::shared_ptr<const std::atomic<bool>> ended) {
    // The ones already ended are joined now (at once: they have nothing left to do), so that a
    // host closing many jobs from their PrintEnd does not pile up finished threads.
    JoinEndingThreads(true);
    std::lock_guard guard(endingLock_);
    ending_.push_back({std::move(thread), std::move(ended)});
}

void ApplicationObject::JoinEndingThreads(bool onlyEnded) {
    std::vector<EndingThread> joining;
    {
        std::lock_guard guard(endingLock_);
        for (auto it = ending_.begin(); it != ending_.end();) {
            if (!onlyEnded || (it->ended && it->ended->load())) {
                joining.push_back(std::move(*it));
                it = ending_.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Joined outside the lock: a thread on its way out may still hand over another.
    for (EndingThread& e : joining) {
        if (e.thread.get_id() == std::this_thread::get_id()) {
            // The host released the application from inside an event on this very thread; the
            // thread returns into the host's own call, which released what it stands in.
            e.thread.detach();
        } else if (e.thread.joinable()) {
            e.thread.join();
        }
    }
}

void DestroyApplicationObject(ApplicationObject* object) {
    delete object;
}

int32_t ApplicationObject::Initialize() {
    std::lock_guard guard(lock_);
    BstrFree(currentPath_);
    BstrFree(tempPath_);
    BstrFree(defaultUserId_);
    BstrFree(defaultUserPassword_);
    currentPath_ = tempPath_ = defaultUserId_ = defaultUserPassword_ = nullptr;

    // A folder that cannot be read leaves its path null; one that cannot be converted fails.
    // Held so that a conversion that throws does not leak it.
    if (const std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
        cwd) {
        currentPath_ = BstrFromUtf8(cwd.get());
        if (!currentPath_) return rc::kStringConversion;
    }
    tempPath_ = BstrFromUtf8(TemporaryFolder());
    if (!tempPath_) return rc::kStringConversion;

    ClearPrinters();
    std::vector<PrinterInfo> printers;
    if (!GetPrinterSystem()->ListPrinters(&printers)) return rc::kPrinterEnumFailed;
    try {
        for (const auto& p : printers) {
            UniqueBstr driver(BstrFromUtf8(p.makeAndModel));
            UniqueBstr name(BstrFromUtf8(p.name));
            UniqueBstr port(BstrFromUtf8(p.deviceUri));
            if (!driver || !name || !port) {
                ClearPrinters();
                return rc::kStringConversion;
            }
            driverNames_.push_back(nullptr);
            printerNames_.push_back(nullptr);
            portNames_.push_back(nullptr);
            driverNames_.back() = driver.release();
            printerNames_.back() = name.release();
            portNames_.back() = port.release();
        }
    } catch (const std::bad_alloc&) {
        ClearPrinters();
        return rc::kOutOfMemory;
    }
    return rc::kOk;
}

void ApplicationObject::ClearPrinters() {
    for (auto* list : {&printerNames_, &portNames_, &driverNames_}) {
        for (Bstr s : *list) BstrFree(s);
        list->clear();
    }
}

int32_t ApplicationObject::QueryInterface(const InterfaceId* iid, void** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (SafeIsBadReadPtr(iid, sizeof(InterfaceId))) return rc::kBadPointer;
    plat::Unknown* answer = nullptr;
    if (IsEqualInterfaceId(*iid, iid::kApplication) || IsEqualInterfaceId(*iid, iid::kBase) ||
        IsEqualInterfaceId(*iid, iid::kScriptable)) {
        answer = this;
    } else if (IsEqualInterfaceId(*iid, iid::kEventSource)) {
        answer = &eventSource_;
    } else if (IsEqualInterfaceId(*iid, iid::kSiteHolder)) {
        answer = &siteHolder_;
    } else if (IsEqualInterfaceId(*iid, iid::kTypeLibrary)) {
        ClassInfo* library = nullptr;
        classInfo_.GetInterfaceByType(typecode::kTypeLibrary, &library);
        answer = library;
    } else {
        return rc::kNotImplemented;
    }
    AddRef();
    *out = answer;
    return rc::kOk;
}

int32_t ApplicationObject::AddRef() {
    std::lock_guard guard(lock_);
    return ++refs_;
}

int32_t ApplicationObject::Release() {
    std::unique_lock guard(lock_);
    if (refs_ <= 1) {
        refs_ = 0;
        guard.unlock();
        delete this;
        return 0;
    }
    return --refs_;
}

int32_t ApplicationObject::GetTypeInfo(ClassInfo** out) {
    return classInfo_.ClassInfoQueryInterface(&iid::kApplication, out);
}

int32_t ApplicationObject::Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                                  Variant* result) {
    // Every member of the public table has its row here (the ones Invoke takes itself aside).
    static_assert(std::size(kProperties) + std::size(kMethods) == KP_MEMBER_COUNT(APPLICATION));
    return GuardedCall([&]() -> int32_t {
        if (!siteHolder_.HasSite()) return rc::kNoSite;
        return DispatchMember<ApplicationObject>(*this, kProperties, kMethods, memberId, kind, args,
                                                 result);
    });
}

// ---------------------------------------------------------------------------------------------
// Child tables

int32_t ApplicationObject::RegisterChild(ChildKind kind, ScriptableObject* child) {
    std::lock_guard guard(lock_);
    for (auto& slot : children_[static_cast<size_t>(kind)]) {
        if (slot == nullptr) {
            slot = child;
            return rc::kOk;
        }
    }
    return rc::kChildTableFull;
}

int32_t ApplicationObject::UnregisterChild(ChildKind kind, ScriptableObject* child) {
    std::lock_guard guard(lock_);
    for (auto& slot : children_[static_cast<size_t>(kind)]) {
        if (slot == child) {
            slot = nullptr;
            break;
        }
    }
    return rc::kOk;
}

size_t ApplicationObject::ChildCount(ChildKind kind) {
    std::lock_guard guard(lock_);
    size_t n = 0;
    for (auto* slot : children_[static_cast<size_t>(kind)]) n += slot != nullptr;
    return n;
}

// ---------------------------------------------------------------------------------------------
// Paths and user strings

int32_t ApplicationObject::GetPathMember(Bstr ApplicationObject::*path, Variant* value) {
    std::lock_guard guard(lock_);
    if (this->*path == nullptr) return rc::kOk;
    value->bstrVal = BstrCopy(this->*path);
    return value->bstrVal ? rc::kOk : rc::kOutOfMemory;
}

int32_t ApplicationObject::PutPathMember(Bstr ApplicationObject::*path, const Variant& argument) {
    if (!FolderExists(argument.bstrVal)) return rc::kBadArgument;
    Bstr copy = BstrCopy(argument.bstrVal);
    if (!copy) return rc::kOutOfMemory;
    std::lock_guard guard(lock_);
    BstrFree(this->*path);
    this->*path = copy;
    return rc::kOk;
}

int32_t ApplicationObject::GetStringMember(Bstr ApplicationObject::*field, Variant* value) {
    return GetPathMember(field, value);
}

int32_t ApplicationObject::PutUserString(Bstr ApplicationObject::*field, const Variant& argument) {
    Bstr copy = nullptr;
    if (!IsEmpty(argument.bstrVal)) {
        copy = BstrCopy(argument.bstrVal);
        if (!copy) return rc::kOutOfMemory;
    }
    std::lock_guard guard(lock_);
    BstrFree(this->*field);
    this->*field = copy;
    return rc::kOk;
}

int32_t ApplicationObject::GetCurrentPathMember(Variant* value) {
    return GetPathMember(&ApplicationObject::currentPath_, value);
}
int32_t ApplicationObject::PutCurrentPath(const Variant& argument) {
    return PutPathMember(&ApplicationObject::currentPath_, argument);
}
int32_t ApplicationObject::GetTempPathMember(Variant* value) {
    return GetPathMember(&ApplicationObject::tempPath_, value);
}
int32_t ApplicationObject::PutTempPath(const Variant& argument) {
    return PutPathMember(&ApplicationObject::tempPath_, argument);
}
int32_t ApplicationObject::GetDefaultUserId(Variant* value) {
    return GetStringMember(&ApplicationObject::defaultUserId_, value);
}
int32_t ApplicationObject::PutDefaultUserId(const Variant& argument) {
    return PutUserString(&ApplicationObject::defaultUserId_, argument);
}
int32_t ApplicationObject::GetDefaultUserPassword(Variant* value) {
    return GetStringMember(&ApplicationObject::defaultUserPassword_, value);
}
int32_t ApplicationObject::PutDefaultUserPassword(const Variant& argument) {
    return PutUserString(&ApplicationObject::defaultUserPassword_, argument);
}

int32_t ApplicationObject::GetCurrentPath(Bstr* out) {
    if (SafeIsBadWritePtr(out, sizeof(Bstr))) return rc::kBadPointer;
    Variant value{};
    const int32_t code = GetCurrentPathMember(&value);
    *out = value.bstrVal;
    return code;
}

int32_t ApplicationObject::GetTempPath(Bstr* out) {
    if (SafeIsBadWritePtr(out, sizeof(Bstr))) return rc::kBadPointer;
    Variant value{};
    const int32_t code = GetTempPathMember(&value);
    *out = value.bstrVal;
    return code;
}

int32_t ApplicationObject::GetKeepLayerOrder(Variant* value) {
    std::lock_guard guard(lock_);
    value->boolVal = static_cast<int16_t>(keepLayerOrder_);
    return rc::kOk;
}

int32_t ApplicationObject::PutKeepLayerOrder(const Variant& argument) {
    std::lock_guard guard(lock_);
    keepLayerOrder_ = argument.boolVal;
    return rc::kOk;
}

bool ApplicationObject::KeepLayerOrder() {
    std::lock_guard guard(lock_);
    return keepLayerOrder_ != 0;
}

int32_t ApplicationObject::GetControlLibraryName(Variant* value) {
    value->bstrVal = BstrAlloc(kControlLibraryNameText);
    return value->bstrVal ? rc::kOk : rc::kOutOfMemory;
}

// ---------------------------------------------------------------------------------------------
// Printers

int32_t ApplicationObject::GetPrinterDevices(Variant* value) {
    std::lock_guard guard(lock_);
    value->ulVal = static_cast<uint32_t>(printerNames_.size());
    return rc::kOk;
}

uint32_t ApplicationObject::PrinterCount() {
    std::lock_guard guard(lock_);
    return static_cast<uint32_t>(printerNames_.size());
}

bool ApplicationObject::PrinterAt(uint32_t n, std::u16string* name, std::u16string* driver,
                                  std::u16string* port) {
    std::lock_guard guard(lock_);
    if (n >= printerNames_.size()) return false;
    if (name) *name = BstrView(printerNames_[n]);
    if (driver) *driver = BstrView(driverNames_[n]);
    if (port) *port = BstrView(portNames_[n]);
    return true;
}

int32_t ApplicationObject::PrinterStringMember(const std::vector<Bstr>& list, const Variant* args,
                                               Variant* value) {
    std::lock_guard guard(lock_);
    const uint32_t n = args[0].ulVal;
    if (n >= list.size()) return rc::kBadArgument;
    value->bstrVal = BstrCopy(list[n]);
    return value->bstrVal ? rc::kOk : rc::kOutOfMemory;
}

int32_t ApplicationObject::PrinterDeviceNameMember(const Variant* args, Variant* value) {
    return PrinterStringMember(driverNames_, args, value);
}
int32_t ApplicationObject::PrinterNameMember(const Variant* args, Variant* value) {
    return PrinterStringMember(printerNames_, args, value);
}
int32_t ApplicationObject::PrinterPortNameMember(const Variant* args, Variant* value) {
    return PrinterStringMember(portNames_, args, value);
}

// ---------------------------------------------------------------------------------------------
// Factories

template <class Init>
int32_t ApplicationObject::AdoptChild(ChildKind kind, ScriptableObject* child, Init init,
                                      ScriptableObject** out) {
    *out = nullptr;
    if (child == nullptr) return rc::kOutOfMemory;
    int32_t code = RegisterChild(kind, child);
    if (code == rc::kOk) code = init(child);
    if (code != rc::kOk) {
        // Given up here as well, in case the child failed before it knew its application.
        UnregisterChild(kind, child);
        delete child;
        return code;
    }
    *out = child;
    return rc::kOk;
}

int32_t ApplicationObject::CreatePreview(ScriptableObject** out) {
    const ChildFactories& f = services_.children;
    *out = nullptr;
    if (!f.newPreview || !f.initializePreview) return rc::kNotImplemented;
    return AdoptChild(
        ChildKind::kPreview, f.newPreview(),
        [&](ScriptableObject* c) { return f.initializePreview(c, this); }, out);
}

int32_t ApplicationObject::CreateFile(ScriptableObject** out) {
    const ChildFactories& f = services_.children;
    *out = nullptr;
    if (!f.newFileObject) return rc::kNotImplemented;
    return AdoptChild(
        ChildKind::kFileObject, f.newFileObject(this), [](ScriptableObject*) { return rc::kOk; },
        out);
}

int32_t ApplicationObject::CreatePdfDocument(ScriptableObject** out) {
    const ChildFactories& f = services_.children;
    *out = nullptr;
    if (!f.newPdfDocument) return rc::kNotImplemented;
    return AdoptChild(
        ChildKind::kPdfDocument, f.newPdfDocument(this), [](ScriptableObject*) { return rc::kOk; },
        out);
}

int32_t ApplicationObject::CreateReport(ScriptableObject** out) {
    const ChildFactories& f = services_.children;
    *out = nullptr;
    if (!f.newReport || !f.attachReport) return rc::kNotImplemented;
    return AdoptChild(
        ChildKind::kReport, f.newReport(),
        [&](ScriptableObject* c) { return f.attachReport(c, this); }, out);
}

int32_t ApplicationObject::OpenReport(const OleChar* fileName, ScriptableObject** out) {
    const ChildFactories& f = services_.children;
    *out = nullptr;
    if (!f.newReport || !f.attachReport) return rc::kNotImplemented;
    return AdoptChild(
        ChildKind::kReport, f.newReport(),
        [&](ScriptableObject* c) {
            if (const int32_t code = f.attachReport(c, this); code != rc::kOk) return code;
            Variant name = VariantBstr(const_cast<OleChar*>(fileName));
            InvokeArgs args{&name, 1};
            Variant result{};
            return c->Invoke(KPM_REPORT_LOAD_REPORT_FILE, kInvokeMethod, &args, &result);
        },
        out);
}

int32_t ApplicationObject::CreatePrinterByName(const OleChar* name, ScriptableObject** out) {
    const ChildFactories& f = services_.children;
    *out = nullptr;
    if (!f.newPrinterJob || !f.openPrinterJob) return rc::kNotImplemented;
    return AdoptChild(
        ChildKind::kPrinter, f.newPrinterJob(),
        [&](ScriptableObject* c) { return f.openPrinterJob(c, this, name); }, out);
}

int32_t ApplicationObject::CreateDefaultPrinter(ScriptableObject** out) {
    *out = nullptr;
    const ChildFactories& f = services_.children;
    if (!f.newPrinterJob || !f.openPrinterJob) return rc::kNotImplemented;
    std::string name;
    if (!GetPrinterSystem()->DefaultPrinter(&name)) return rc::kNoDefaultPrinter;
    UniqueBstr device(BstrFromUtf8(name));
    if (!device) return rc::kStringConversion;
    return CreatePrinterByName(device.get(), out);
}

int32_t ApplicationObject::CreatePrinterForReport(plat::Unknown* reportObject,
                                                  uint32_t parentWindow, uint32_t dialogOptions,
                                                  ScriptableObject** out) {
    *out = nullptr;
    if (!CheckObjectSignature(reportObject, signature::kReport)) return rc::kBadArgument;
    auto* report = static_cast<ScriptableObject*>(reportObject);

    Variant mode{};
    if (const int32_t code = GetTyped(report, KPM_REPORT_PRINTER_SELECT_MODE, VT_UI2, &mode);
        code != rc::kOk) {
        return code;
    }
    if (mode.uiVal == 1) return CreateDefaultPrinter(out);

    Variant printerName{};
    if (const int32_t code = GetTyped(report, KPM_REPORT_PRINTER_NAME, VT_BSTR, &printerName);
        code != rc::kOk) {
        return code;
    }
    UniqueBstr printer(printerName.bstrVal);
    // A report without a printer name is treated as CreatePrinter treats an empty name: the
    // default printer.
    auto byName = [&]() {
        return IsEmpty(printer.get()) ? CreateDefaultPrinter(out)
                                      : CreatePrinterByName(printer.get(), out);
    };
    if (mode.uiVal == 2) return byName();

    int32_t code = byName();
    if (code == rc::kNoSuchPrinter) code = CreateDefaultPrinter(out);
    if (code != rc::kOk) return code;
    ScriptableObject* job = *out;

    // From here on a failure closes the job again.
    Variant paperSize{}, paperWidth{}, paperLength{}, orientation{}, title{};
    UniqueBstr titleText;
    UniqueBstr message;
    int16_t selected = 0;
    do {
        if ((code = GetTyped(report, KPM_REPORT_PAPER_SIZE, VT_I2, &paperSize)) != rc::kOk) break;
        if ((code = GetTyped(report, KPM_REPORT_PAPER_WIDTH, VT_I4, &paperWidth)) != rc::kOk) break;
        if ((code = GetTyped(report, KPM_REPORT_PAPER_LENGTH, VT_I4, &paperLength)) != rc::kOk)
            break;
        if ((code = GetTyped(report, KPM_REPORT_PAPER_ORIENTATION, VT_I2, &orientation)) !=
            rc::kOk) {
            break;
        }
        if ((code = GetTyped(report, KPM_REPORT_TITLE, VT_BSTR, &title)) != rc::kOk) break;
        titleText.reset(title.bstrVal);
        if (titleText) {
            std::u16string text = u"\u300C ";  // 「
            text += BstrView(titleText.get());
            text += u" \u300D\u3092\u5370\u5237\u4E2D\u3067\u3059\u3002";  // 」を印刷中です。
            message.reset(BstrAllocView(text));
            if (!message) {
                code = rc::kOutOfMemory;
                break;
            }
        }
        if ((code = Put(job, KPM_PRINTER_JOB_JOB_NAME, VariantBstr(titleText.get()))) != rc::kOk)
            break;
        if ((code = Put(job, KPM_PRINTER_JOB_CANCEL_DLG_MESSAGE, VariantBstr(message.get()))) !=
            rc::kOk)
            break;
        code = Put(job, KPM_PRINTER_JOB_PAPER_SIZE, VariantI2(paperSize.iVal));
        if (code != rc::kOk && code != rc::kPaperNotInList) break;
        if ((code = Put(job, KPM_PRINTER_JOB_DEV_MODE_PAPER_WIDTH,
                        VariantI2(static_cast<int16_t>(paperWidth.lVal)))) != rc::kOk) {
            break;
        }
        if ((code = Put(job, KPM_PRINTER_JOB_DEV_MODE_PAPER_LENGTH,
                        VariantI2(static_cast<int16_t>(paperLength.lVal)))) != rc::kOk) {
            break;
        }
        if ((code = Put(job, KPM_PRINTER_JOB_ORIENTATION,
                        VariantUI2(static_cast<uint16_t>(orientation.iVal)))) != rc::kOk) {
            break;
        }
        Variant result{};
        if ((code = job->Invoke(KPM_PRINTER_JOB_UPDATE_INFO, kInvokeMethod, nullptr, &result)) !=
            rc::kOk) {
            break;
        }
        Variant dialogArgs[2] = {VariantUI4(parentWindow), VariantUI4(dialogOptions)};
        InvokeArgs args{dialogArgs, 2};
        result = Variant{};
        code = job->Invoke(KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG, kInvokeMethod, &args, &result);
        selected = result.boolVal;
    } while (false);

    if (code == rc::kOk && selected != 0) return rc::kOk;
    Variant closed{};
    job->Invoke(KPM_PRINTER_JOB_CLOSE, kInvokeMethod, nullptr, &closed);
    *out = nullptr;
    return code != rc::kOk ? code : rc::kPrinterSelectionCancelled;
}

// The method members hand the new child out without taking a reference: a child lives in its
// table until its own close member or the application's end, and its AddRef and Release are the
// application's.
int32_t ApplicationObject::CreatePreviewMember(const Variant*, Variant* value) {
    ScriptableObject* child = nullptr;
    const int32_t code = CreatePreview(&child);
    value->pdispVal = child;
    return code;
}

int32_t ApplicationObject::CreatePrinterMember(const Variant* args, Variant* value) {
    ScriptableObject* child = nullptr;
    const int32_t code = IsEmpty(args[0].bstrVal) ? CreateDefaultPrinter(&child)
                                                  : CreatePrinterByName(args[0].bstrVal, &child);
    value->pdispVal = child;
    return code;
}

int32_t ApplicationObject::CreatePrinterForReportMember(const Variant* args, Variant* value) {
    ScriptableObject* child = nullptr;
    const int32_t code =
        CreatePrinterForReport(args[0].pdispVal, args[1].ulVal, args[2].ulVal, &child);
    value->pdispVal = child;
    return code;
}

int32_t ApplicationObject::CreateFileMember(const Variant*, Variant* value) {
    ScriptableObject* child = nullptr;
    const int32_t code = CreateFile(&child);
    value->pdispVal = child;
    return code;
}

int32_t ApplicationObject::CreateReportMember(const Variant*, Variant* value) {
    ScriptableObject* child = nullptr;
    const int32_t code = CreateReport(&child);
    value->pdispVal = child;
    return code;
}

int32_t ApplicationObject::ReservedCreateMember(const Variant*, Variant*) {
    return rc::kFailed;
}

int32_t ApplicationObject::OpenReportMember(const Variant* args, Variant* value) {
    ScriptableObject* child = nullptr;
    const int32_t code = OpenReport(args[0].bstrVal, &child);
    value->pdispVal = child;
    return code;
}

int32_t ApplicationObject::CreatePdfDocumentMember(const Variant*, Variant* value) {
    ScriptableObject* child = nullptr;
    const int32_t code = CreatePdfDocument(&child);
    value->pdispVal = child;
    return code;
}

// ---------------------------------------------------------------------------------------------
// Creation through the export

int32_t CreateEngineObject(const InterfaceId* classId, const InterfaceId* iid, void** out) {
    return CreateEngineObject(ModuleServices(), classId, iid, out);
}

int32_t CreateEngineObject(const EngineServices& services, const InterfaceId* classId,
                           const InterfaceId* iid, void** out) {
    if (SafeIsBadWritePtr(out, sizeof(void*))) return rc::kBadPointer;
    *out = nullptr;
    if (SafeIsBadReadPtr(classId, sizeof(InterfaceId)) ||
        SafeIsBadReadPtr(iid, sizeof(InterfaceId))) {
        return rc::kBadPointer;
    }
    if (!IsEqualInterfaceId(*classId, kEngineClassId)) return rc::kWrongClass;

    // Until it is registered a failure, or a throw, destroys the object directly: the reference
    // QueryInterface took is not the host's yet.
    std::unique_ptr<ApplicationObject> app(new (std::nothrow) ApplicationObject(services));
    if (!app) return rc::kOutOfMemory;
    const int32_t code = GuardedCall([&] {
        int32_t step = app->Initialize();
        if (step == rc::kOk) step = app->QueryInterface(iid, out);
        if (step == rc::kOk) step = RegisterEngineObject(app.get());
        return step;
    });
    if (code != rc::kOk) {
        *out = nullptr;
        return code;
    }
    app.release();
    return rc::kOk;
}

}  // namespace kp
