#include <dlfcn.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "engine/core/event_sinks.h"
#include "engine/core/exports.h"
#include "engine/include/kpengn_members.h"
#include "reportif/kpcif30.h"
#include "reportif/kpcif_internal.h"

#define KPCIF_EXPORT extern "C" __attribute__((visibility("default")))

namespace kpcif {
namespace {

using kp::ScriptableObject;
using namespace plat;

// Preview events and the numbers the event procedure sees them as.
constexpr int32_t kFirstPreviewEvent = KPM_EVENT_PREVIEW_ON_PRINT,
                  kLastPreviewEvent = KPM_EVENT_PREVIEW_ON_RIGHT_CLICK;
constexpr int kEventOffset = KPM_EVENT_PREVIEW_ON_PRINT - 1001;

// The library's own failure: a handle that is not live or of another kind.
constexpr int32_t kBadHandle = 4;
// The layer numbers a report has.
constexpr int kLayers = 5;

struct Entry {
    HandleKind kind;
    ScriptableObject* object;
    int editLayer = 1;  // until KPRSetEditLayer: the layer the program fills
};

class EventSink;

// Everything the library keeps. The lock guards these fields only; engine calls run without it,
// since the engine calls back into the event sink from inside them.
struct State {
    std::mutex lock;
    void* engine = nullptr;
    WCreateObjectFn create = nullptr;
    ScriptableObject* app = nullptr;
    EventSink* sink = nullptr;
    uint32_t cookie = 0;
    int errorDisplay = 0;
    uint32_t lastError = 0;
    KPEventProc proc = nullptr;
    // Handles are never reused, so a stale handle finds nothing.
    uint32_t nextHandle = 1;
    std::map<uint32_t, Entry> handles;
};

State& S() {
    static State state;
    return state;
}

// The engine file: QZS_ENGINE when set, else beside this library, else the engine folder of the
// build tree beside the running program's folder, else by the loader's search.
std::string EngineFile() {
    if (const char* env = std::getenv("QZS_ENGINE"); env != nullptr && env[0] != '\0') return env;
    std::error_code ec;
    std::vector<std::filesystem::path> candidates;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&EngineFile), &info) != 0 && info.dli_fname != nullptr) {
        candidates.push_back(std::filesystem::path(info.dli_fname).parent_path() /
                             "libkpengn30.so");
    }
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        candidates.push_back(self.parent_path() / "libkpengn30.so");
        candidates.push_back(self.parent_path().parent_path() / "engine/libkpengn30.so");
    }
    for (const auto& candidate : candidates) {
        if (std::filesystem::exists(candidate, ec)) return candidate.string();
    }
    return "libkpengn30.so";
}

void Report(int32_t code, const char* what) {
    const uint32_t magnitude =
        code < 0 ? 0u - static_cast<uint32_t>(code) : static_cast<uint32_t>(code);
    State& s = S();
    int display = 0;
    {
        std::lock_guard guard(s.lock);
        s.lastError = magnitude;
        display = s.errorDisplay;
    }
    if (display != 0) std::fprintf(stderr, "kpcif30: %s failed (%u)\n", what, magnitude);
}

// ---------------------------------------------------------------------------------------------
// Preview events

uint32_t HandleOfObjectLocked(State& s, const plat::Unknown* object, HandleKind kind) {
    for (const auto& [handle, entry] : s.handles) {
        if (entry.kind == kind && static_cast<const plat::Unknown*>(entry.object) == object) {
            return handle;
        }
    }
    return 0;
}

// The pointer a by-reference page number argument carries, or null.
// A page number of an event: by reference, or by value as the preview's print event passes its
// range (then the copy is what the procedure reads).
uint32_t* PageArgument(const Variant& value, uint32_t* copy) {
    if (value.vt == (VT_BYREF | VT_UI4) || value.vt == (VT_BYREF | VT_I4)) {
        return static_cast<uint32_t*>(value.byref);
    }
    if (value.vt == VT_UI4 || value.vt == VT_I4) {
        *copy = value.ulVal;
        return copy;
    }
    return nullptr;
}

// The library's one sink in the application's event list. It passes the preview events to the
// program's procedure; the engine's preset answers stay unless the procedure writes them.
class EventSink final : public ScriptableObject {
  public:
    int32_t QueryInterface(const InterfaceId* iid, void** out) override {
        if (out == nullptr) return kp::rc::kBadPointer;
        *out = nullptr;
        if (iid == nullptr) return kp::rc::kBadPointer;
        if (IsEqualInterfaceId(*iid, kp::iid::kApplicationEvents) ||
            IsEqualInterfaceId(*iid, kp::iid::kScriptable) ||
            IsEqualInterfaceId(*iid, kp::iid::kBase)) {
            *out = static_cast<Unknown*>(this);
            return kp::rc::kOk;
        }
        return kp::rc::kNotImplemented;
    }
    // Owned by the library; the list takes no references.
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t GetTypeInfo(kp::ClassInfo** out) override {
        if (out != nullptr) *out = nullptr;
        return kp::rc::kNotImplemented;
    }
    int32_t Invoke(int32_t eventId, int32_t /*kind*/, const kp::InvokeArgs* args,
                   Variant* result) override {
        if (eventId < kFirstPreviewEvent || eventId > kLastPreviewEvent) return kp::rc::kOk;
        State& s = S();
        KPEventProc proc = nullptr;
        uint32_t preview = 0;
        uint32_t* first = nullptr;
        uint32_t* last = nullptr;
        uint32_t firstValue = 0, lastValue = 0;
        if (args != nullptr && args->args != nullptr) {
            if (args->count >= 1 && args->args[0].vt == VT_DISPATCH) {
                std::lock_guard guard(s.lock);
                preview = HandleOfObjectLocked(s, args->args[0].pdispVal, HandleKind::kPreview);
            }
            if (args->count >= 2) first = PageArgument(args->args[1], &firstValue);
            if (args->count >= 3) last = PageArgument(args->args[2], &lastValue);
        }
        {
            std::lock_guard guard(s.lock);
            proc = s.proc;
        }
        // Events of previews the program did not make through this library are not its own.
        if (proc == nullptr || preview == 0) return kp::rc::kOk;
        uint32_t firstLocal = 0, lastLocal = 0;
        const int handled =
            proc(preview, eventId - kEventOffset, first != nullptr ? first : &firstLocal,
                 last != nullptr ? last : &lastLocal);
        if (result != nullptr) {
            result->vt = VT_I4;
            result->lVal = handled;
        }
        return kp::rc::kOk;
    }
};

// ---------------------------------------------------------------------------------------------
// Engine binding

// Binds the engine and makes the application when there is none. Answers 0 or the failure.
int32_t BindLocked(State& s) {
    if (s.app != nullptr) return kp::rc::kOk;
    if (s.engine == nullptr) {
        const std::string file = EngineFile();
        // The engine finds its control library by name through its own run path; under the
        // sanitizers dlopen's caller is their runtime, whose search does not see the engine's
        // folder. Loaded first from beside the engine, the library is found by its name either
        // way (and stays loaded with the process, as the engine's own load would keep it).
        if (const size_t slash = file.rfind('/'); slash != std::string::npos) {
            const std::string controls = file.substr(0, slash + 1) + "libkpctrl30.so";
            if (::access(controls.c_str(), R_OK) == 0) dlopen(controls.c_str(), RTLD_NOW);
        }
        s.engine = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (s.engine == nullptr) return kp::rc::kFailed;
        s.create = reinterpret_cast<WCreateObjectFn>(dlsym(s.engine, "WCreateObject"));
    }
    if (s.create == nullptr) return kp::rc::kFailed;
    void* out = nullptr;
    if (int32_t code = s.create(&kp::kEngineClassId, &kp::iid::kApplication, &out); code != 0) {
        return code;
    }
    auto* app = static_cast<ScriptableObject*>(static_cast<Unknown*>(out));
    void* site = nullptr;
    if (app->QueryInterface(&kp::iid::kSiteHolder, &site) == 0) {
        static_cast<kp::SiteHolder*>(static_cast<Unknown*>(site))->SetSite(1);
        app->Release();
    }
    // Layer orders as the layout files store them.
    Variant keep = VariantBool(true);
    kp::InvokeArgs args{&keep, 1};
    Variant ignored{};
    app->Invoke(KPM_APPLICATION_KEEP_LAYER_ORDER, kp::kInvokePut, &args, &ignored);
    void* list = nullptr;
    if (app->QueryInterface(&kp::iid::kEventSource, &list) == 0) {
        auto* source = static_cast<kp::EventSource*>(static_cast<Unknown*>(list));
        void* sinks = nullptr;
        if (source->FindEventList(&kp::iid::kApplicationEvents, &sinks) == 0) {
            auto* sinkList = static_cast<kp::EventSinkList*>(static_cast<Unknown*>(sinks));
            if (s.sink == nullptr) s.sink = new EventSink;
            sinkList->AdviseSink(static_cast<Unknown*>(s.sink), &s.cookie);
            sinkList->Release();
        }
        source->Release();
    }
    s.app = app;
    return kp::rc::kOk;
}

ScriptableObject* App(const char* what) {
    State& s = S();
    int32_t code = 0;
    ScriptableObject* app = nullptr;
    {
        std::lock_guard guard(s.lock);
        code = BindLocked(s);
        app = s.app;
    }
    if (app == nullptr) Report(code != 0 ? code : kp::rc::kFailed, what);
    return app;
}

// ---------------------------------------------------------------------------------------------
// Calls

// One Invoke; failures are recorded under the function's name.
bool Invoke(ScriptableObject* object, int32_t id, int32_t kind, std::vector<Variant> args,
            Variant* result, const char* what) {
    kp::InvokeArgs invokeArgs{args.empty() ? nullptr : args.data(),
                              static_cast<uint32_t>(args.size())};
    Variant local{};
    const int32_t code = object->Invoke(id, kind, &invokeArgs, result != nullptr ? result : &local);
    if (code != 0) {
        Report(code, what);
        return false;
    }
    return true;
}

bool Put(ScriptableObject* object, int32_t id, Variant value, const char* what) {
    return Invoke(object, id, kp::kInvokePut, {value}, nullptr, what);
}

ScriptableObject* GetObject(ScriptableObject* object, int32_t id, std::vector<Variant> args,
                            int32_t kind, const char* what) {
    Variant result{};
    if (!Invoke(object, id, kind, std::move(args), &result, what)) return nullptr;
    if (result.vt != VT_DISPATCH || result.pdispVal == nullptr) {
        Report(kp::rc::kFailed, what);
        return nullptr;
    }
    return static_cast<ScriptableObject*>(result.pdispVal);
}

// The live object and entry of a handle, or a recorded failure.
ScriptableObject* Lookup(uint32_t handle, HandleKind kind, const char* what,
                         int* editLayer = nullptr) {
    State& s = S();
    {
        std::lock_guard guard(s.lock);
        const auto it = s.handles.find(handle);
        if (it != s.handles.end() && it->second.kind == kind) {
            if (editLayer != nullptr) *editLayer = it->second.editLayer;
            return it->second.object;
        }
    }
    Report(kBadHandle, what);
    return nullptr;
}

uint32_t AddHandle(HandleKind kind, ScriptableObject* object) {
    State& s = S();
    std::lock_guard guard(s.lock);
    // After 2^32 - 1 handles the counter would reach 0 again; it skips 0 and stops at the end.
    if (s.nextHandle == 0) return 0;
    const uint32_t handle = s.nextHandle++;
    s.handles.emplace(handle, Entry{kind, object});
    return handle;
}

void RemoveHandle(uint32_t handle) {
    State& s = S();
    std::lock_guard guard(s.lock);
    s.handles.erase(handle);
}

// CP932 text as a new Bstr; an empty text is an empty (not null) string. A byte or pair that
// CP932 does not define becomes U+FFFD, so that a damaged name still prints readably.
UniqueBstr Text(const char* text, const char* what) {
    std::u16string wide;
    const std::string_view bytes = text != nullptr ? std::string_view(text) : std::string_view();
    for (size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<uint8_t>(bytes[i]);
        const bool pairLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
        size_t width = 1;
        if (pairLead && i + 1 < bytes.size()) {
            const auto trail = static_cast<uint8_t>(bytes[i + 1]);
            if ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC)) width = 2;
        }
        std::u16string one;
        if (WideFromCp932(bytes.substr(i, width), &one) && one.size() == 1) {
            wide += one;
        } else {
            wide += u'\uFFFD';
        }
        i += width;
    }
    Bstr value = BstrAllocView(wide);
    if (value == nullptr) Report(kp::rc::kOutOfMemory, what);
    return UniqueBstr(value);
}

ScriptableObject* Layer(ScriptableObject* report, int layer, const char* what) {
    if (layer < 1 || layer > kLayers) {
        Report(kp::rc::kOutOfRange, what);
        return nullptr;
    }
    ScriptableObject* layers = GetObject(report, KPM_REPORT_LAYERS, {}, kp::kInvokeGet, what);
    if (layers == nullptr) return nullptr;
    return GetObject(layers, KPM_LAYER_COLLECTION_LAYER, {VariantUI2(static_cast<uint16_t>(layer))},
                     kp::kInvokeMethod, what);
}

// The text control of the named object on the report's edit layer.
ScriptableObject* TextControl(uint32_t handle, const char* name, const char* what) {
    int editLayer = 1;
    ScriptableObject* report = Lookup(handle, HandleKind::kReport, what, &editLayer);
    if (report == nullptr) return nullptr;
    ScriptableObject* layer = Layer(report, editLayer, what);
    if (layer == nullptr) return nullptr;
    ScriptableObject* objects = GetObject(layer, KPM_LAYER_OBJECTS, {}, kp::kInvokeGet, what);
    if (objects == nullptr) return nullptr;
    UniqueBstr objectName = Text(name, what);
    if (objectName == nullptr) return nullptr;
    ScriptableObject* item = GetObject(objects, KPM_OBJECT_COLLECTION_OBJECT,
                                       {VariantDispatch(nullptr), VariantBstr(objectName.get())},
                                       kp::kInvokeMethod, what);
    if (item == nullptr) return nullptr;
    return GetObject(item, KPM_DRAWING_OBJECT_DRAW_OBJECT, {}, kp::kInvokeGet, what);
}

int PutOn(uint32_t handle, HandleKind kind, int32_t id, Variant value, const char* what) {
    ScriptableObject* object = Lookup(handle, kind, what);
    return object != nullptr && Put(object, id, value, what) ? 1 : 0;
}

int CallOn(uint32_t handle, HandleKind kind, int32_t id, std::vector<Variant> args,
           const char* what) {
    ScriptableObject* object = Lookup(handle, kind, what);
    return object != nullptr &&
                   Invoke(object, id, kp::kInvokeMethod, std::move(args), nullptr, what)
               ? 1
               : 0;
}

// Deletes the engine object and its handle; a handle of another kind is left alone.
int DeleteOn(uint32_t handle, HandleKind kind, int32_t id, const char* what) {
    ScriptableObject* object = Lookup(handle, kind, what);
    if (object == nullptr) return 0;
    const bool done = Invoke(object, id, kp::kInvokeMethod, {}, nullptr, what);
    // The handle goes either way: an object the engine could not close is no longer usable.
    RemoveHandle(handle);
    return done ? 1 : 0;
}

int GetStatus(uint32_t handle, HandleKind kind, int32_t id, int* status, const char* what) {
    if (status == nullptr) {
        Report(kp::rc::kBadPointer, what);
        return 0;
    }
    ScriptableObject* object = Lookup(handle, kind, what);
    if (object == nullptr) return 0;
    Variant result{};
    if (!Invoke(object, id, kp::kInvokeGet, {}, &result, what)) return 0;
    *status = result.vt == VT_UI2 ? result.uiVal : result.lVal;
    return 1;
}

Variant Bool(int on) {
    return VariantBool(on != 0);
}

int PreviewLayer(uint32_t preview, int32_t firstId, int layer, int on, const char* what) {
    return PutOn(preview, HandleKind::kPreview, firstId + layer - 1, Bool(on), what);
}

// Runs the body of an exported function: whatever it throws is recorded as the last error
// (-5 for memory, -1 otherwise) and answered as a failure (0), since the caller is C.
template <class R, class F>
R Guarded(const char* what, F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        Report(kp::rc::kOutOfMemory, what);
    } catch (...) {
        Report(kp::rc::kFailed, what);
    }
    return 0;
}

}  // namespace

ScriptableObject* ObjectOf(uint32_t handle, HandleKind kind) {
    State& s = S();
    std::lock_guard guard(s.lock);
    const auto it = s.handles.find(handle);
    return it != s.handles.end() && it->second.kind == kind ? it->second.object : nullptr;
}

ScriptableObject* Application() {
    return App("Application");
}

void NoteFailure(int32_t code, const char* what) {
    Report(code, what);
}

}  // namespace kpcif

using namespace kpcif;
using plat::Variant;

KPCIF_EXPORT int KPStartEngine(int* code) {
    return Guarded<int>("KPStartEngine", [&]() -> int {
        State& s = S();
        int32_t answer = 0;
        {
            std::lock_guard guard(s.lock);
            answer = BindLocked(s);
        }
        if (code != nullptr) *code = answer;
        if (answer != 0) Report(answer, "KPStartEngine");
        return answer == 0 ? 1 : 0;
    });
}

KPCIF_EXPORT int KPExit(int* code) {
    return Guarded<int>("KPExit", [&]() -> int {
        State& s = S();
        ScriptableObject* app = nullptr;
        {
            std::lock_guard guard(s.lock);
            app = s.app;
            s.app = nullptr;
            s.handles.clear();
            s.cookie = 0;
        }
        // The application destroys every child still in its tables as it goes.
        if (app != nullptr) app->Release();
        if (code != nullptr) *code = 0;
        return 1;
    });
}

KPCIF_EXPORT int KPSetErrorDispMode(int mode) {
    return Guarded<int>("KPSetErrorDispMode", [&]() -> int {
        State& s = S();
        std::lock_guard guard(s.lock);
        s.errorDisplay = mode;
        return 1;
    });
}

KPCIF_EXPORT int KPGetLastErrorCode(int* code) {
    return Guarded<int>("KPGetLastErrorCode", [&]() -> int {
        if (code == nullptr) return 0;
        State& s = S();
        std::lock_guard guard(s.lock);
        *code = static_cast<int>(s.lastError);
        return 1;
    });
}

KPCIF_EXPORT int KPSetWEventProc(KPEventProc proc) {
    return Guarded<int>("KPSetWEventProc", [&]() -> int {
        State& s = S();
        std::lock_guard guard(s.lock);
        s.proc = proc;
        return 1;
    });
}

KPCIF_EXPORT uint32_t KPRLoadReport(const char* path) {
    return Guarded<uint32_t>("KPRLoadReport", [&]() -> uint32_t {
        ScriptableObject* app = App("KPRLoadReport");
        if (app == nullptr) return 0;
        // The engine takes the name as text and opens it as UTF-8 on this system.
        UniqueBstr name = Text(path, "KPRLoadReport");
        if (name == nullptr) return 0;
        ScriptableObject* report =
            GetObject(app, KPM_APPLICATION_OPEN_REPORT, {plat::VariantBstr(name.get())},
                      kp::kInvokeMethod, "KPRLoadReport");
        return report != nullptr ? AddHandle(HandleKind::kReport, report) : 0;
    });
}

KPCIF_EXPORT int KPRSetLayerVisible(uint32_t report, int layer, int visible) {
    return Guarded<int>("KPRSetLayerVisible", [&]() -> int {
        ScriptableObject* object = Lookup(report, HandleKind::kReport, "KPRSetLayerVisible");
        if (object == nullptr) return 0;
        ScriptableObject* target = Layer(object, layer, "KPRSetLayerVisible");
        return target != nullptr &&
                       Put(target, KPM_LAYER_VISIBLE, Bool(visible), "KPRSetLayerVisible")
                   ? 1
                   : 0;
    });
}

KPCIF_EXPORT int KPRSetEditLayer(uint32_t report, int layer) {
    return Guarded<int>("KPRSetEditLayer", [&]() -> int {
        ScriptableObject* object = Lookup(report, HandleKind::kReport, "KPRSetEditLayer");
        if (object == nullptr || Layer(object, layer, "KPRSetEditLayer") == nullptr) return 0;
        State& s = S();
        std::lock_guard guard(s.lock);
        const auto it = s.handles.find(report);
        if (it == s.handles.end()) return 0;
        it->second.editLayer = layer;
        return 1;
    });
}

KPCIF_EXPORT int KPRClearLayerData(uint32_t report, int layer) {
    return Guarded<int>("KPRClearLayerData", [&]() -> int {
        ScriptableObject* object = Lookup(report, HandleKind::kReport, "KPRClearLayerData");
        if (object == nullptr) return 0;
        ScriptableObject* target = Layer(object, layer, "KPRClearLayerData");
        if (target == nullptr) return 0;
        ScriptableObject* objects =
            GetObject(target, KPM_LAYER_OBJECTS, {}, kp::kInvokeGet, "KPRClearLayerData");
        return objects != nullptr && Invoke(objects, KPM_OBJECT_COLLECTION_CLEAR_DATA,
                                            kp::kInvokeMethod, {}, nullptr, "KPRClearLayerData")
                   ? 1
                   : 0;
    });
}

KPCIF_EXPORT int KPRDeleteReport(uint32_t report) {
    return Guarded<int>("KPRDeleteReport", [&]() -> int {
        return DeleteOn(report, HandleKind::kReport, KPM_REPORT_CLOSE_REPORT, "KPRDeleteReport");
    });
}

KPCIF_EXPORT int KPOSetText(uint32_t report, const char* name, const char* text) {
    return Guarded<int>("KPOSetText", [&]() -> int {
        ScriptableObject* control = TextControl(report, name, "KPOSetText");
        if (control == nullptr) return 0;
        UniqueBstr value = Text(text, "KPOSetText");
        return value != nullptr && Put(control, KPM_TEXT_CONTROL_TEXT,
                                       plat::VariantBstr(value.get()), "KPOSetText")
                   ? 1
                   : 0;
    });
}

KPCIF_EXPORT int KPOSetFontSize(uint32_t report, const char* name, float size) {
    return Guarded<int>("KPOSetFontSize", [&]() -> int {
        ScriptableObject* control = TextControl(report, name, "KPOSetFontSize");
        if (control == nullptr) return 0;
        Variant value{};
        value.vt = plat::VT_R4;
        value.fltVal = size;
        return Put(control, KPM_TEXT_CONTROL_FONT_SIZE, value, "KPOSetFontSize") ? 1 : 0;
    });
}

KPCIF_EXPORT uint32_t KPVCreatePreview() {
    return Guarded<uint32_t>("KPVCreatePreview", [&]() -> uint32_t {
        ScriptableObject* app = App("KPVCreatePreview");
        if (app == nullptr) return 0;
        ScriptableObject* preview = GetObject(app, KPM_APPLICATION_CREATE_PREVIEW, {},
                                              kp::kInvokeMethod, "KPVCreatePreview");
        return preview != nullptr ? AddHandle(HandleKind::kPreview, preview) : 0;
    });
}

KPCIF_EXPORT int KPVGetStatus(uint32_t preview, int* status) {
    return Guarded<int>("KPVGetStatus", [&]() -> int {
        return GetStatus(preview, HandleKind::kPreview, KPM_PREVIEW_STATUS, status, "KPVGetStatus");
    });
}

KPCIF_EXPORT int KPVSetPreviewLayer1(uint32_t v, int on) {
    return Guarded<int>("KPVSetPreviewLayer1", [&]() -> int {
        return PreviewLayer(v, KPM_PREVIEW_LAYER_DISPLAY1, 1, on, "KPVSetPreviewLayer1");
    });
}
KPCIF_EXPORT int KPVSetPreviewLayer2(uint32_t v, int on) {
    return Guarded<int>("KPVSetPreviewLayer2", [&]() -> int {
        return PreviewLayer(v, KPM_PREVIEW_LAYER_DISPLAY1, 2, on, "KPVSetPreviewLayer2");
    });
}
KPCIF_EXPORT int KPVSetPreviewLayer3(uint32_t v, int on) {
    return Guarded<int>("KPVSetPreviewLayer3", [&]() -> int {
        return PreviewLayer(v, KPM_PREVIEW_LAYER_DISPLAY1, 3, on, "KPVSetPreviewLayer3");
    });
}
KPCIF_EXPORT int KPVSetPreviewLayer4(uint32_t v, int on) {
    return Guarded<int>("KPVSetPreviewLayer4", [&]() -> int {
        return PreviewLayer(v, KPM_PREVIEW_LAYER_DISPLAY1, 4, on, "KPVSetPreviewLayer4");
    });
}
KPCIF_EXPORT int KPVSetPreviewLayer5(uint32_t v, int on) {
    return Guarded<int>("KPVSetPreviewLayer5", [&]() -> int {
        return PreviewLayer(v, KPM_PREVIEW_LAYER_DISPLAY1, 5, on, "KPVSetPreviewLayer5");
    });
}
KPCIF_EXPORT int KPVSetPrintLayer1(uint32_t v, int on) {
    return Guarded<int>("KPVSetPrintLayer1", [&]() -> int {
        return PreviewLayer(v, KPM_PREVIEW_LAYER_PRINT1, 1, on, "KPVSetPrintLayer1");
    });
}
KPCIF_EXPORT int KPVSetPrintLayer2(uint32_t v, int on) {
    return Guarded<int>("KPVSetPrintLayer2", [&]() -> int {
        return PreviewLayer(v, KPM_PREVIEW_LAYER_PRINT1, 2, on, "KPVSetPrintLayer2");
    });
}
KPCIF_EXPORT int KPVSetPrintLayer3(uint32_t v, int on) {
    return Guarded<int>("KPVSetPrintLayer3", [&]() -> int {
        return PreviewLayer(v, KPM_PREVIEW_LAYER_PRINT1, 3, on, "KPVSetPrintLayer3");
    });
}
KPCIF_EXPORT int KPVSetPrintLayer4(uint32_t v, int on) {
    return Guarded<int>("KPVSetPrintLayer4", [&]() -> int {
        return PreviewLayer(v, KPM_PREVIEW_LAYER_PRINT1, 4, on, "KPVSetPrintLayer4");
    });
}
KPCIF_EXPORT int KPVSetPrintLayer5(uint32_t v, int on) {
    return Guarded<int>("KPVSetPrintLayer5", [&]() -> int {
        return PreviewLayer(v, KPM_PREVIEW_LAYER_PRINT1, 5, on, "KPVSetPrintLayer5");
    });
}

KPCIF_EXPORT int KPVSetToolBarItems(uint32_t preview, uint32_t items) {
    return Guarded<int>("KPVSetToolBarItems", [&]() -> int {
        return PutOn(preview, HandleKind::kPreview, KPM_PREVIEW_TOOLS, plat::VariantUI4(items),
                     "KPVSetToolBarItems");
    });
}

KPCIF_EXPORT int KPVSetAutoScale(uint32_t preview, int on) {
    return Guarded<int>("KPVSetAutoScale", [&]() -> int {
        return PutOn(preview, HandleKind::kPreview, KPM_PREVIEW_FIT_TO_WINDOW, Bool(on),
                     "KPVSetAutoScale");
    });
}

KPCIF_EXPORT int KPVSetPreviewScale(uint32_t preview, int percent) {
    return Guarded<int>("KPVSetPreviewScale", [&]() -> int {
        if (percent < 0 || percent > 0xFFFF) {
            Report(kp::rc::kOutOfRange, "KPVSetPreviewScale");
            return 0;
        }
        return PutOn(preview, HandleKind::kPreview, KPM_PREVIEW_ZOOM,
                     plat::VariantUI2(static_cast<uint16_t>(percent)), "KPVSetPreviewScale");
    });
}

KPCIF_EXPORT int KPVSetWindowCaption(uint32_t preview, const char* caption) {
    return Guarded<int>("KPVSetWindowCaption", [&]() -> int {
        ScriptableObject* object = Lookup(preview, HandleKind::kPreview, "KPVSetWindowCaption");
        if (object == nullptr) return 0;
        plat::UniqueBstr text = Text(caption, "KPVSetWindowCaption");
        return text != nullptr && Put(object, KPM_PREVIEW_TITLE, plat::VariantBstr(text.get()),
                                      "KPVSetWindowCaption")
                   ? 1
                   : 0;
    });
}

KPCIF_EXPORT int KPVSetPreviewMode(uint32_t preview, int mode) {
    return Guarded<int>("KPVSetPreviewMode", [&]() -> int {
        // The mode is the page arrangement: 1 one page, 2 two side by side, 3 two stacked; the
        // engine keeps it as two flags, two pages and the second below the first. The direction
        // goes first so that switching two pages on shows the arrangement asked for at once.
        if (mode < 1 || mode > 3) {
            Report(kp::rc::kOutOfRange, "KPVSetPreviewMode");
            return 0;
        }
        return PutOn(preview, HandleKind::kPreview, KPM_PREVIEW_TWO_PAGES_VERTICAL,
                     plat::VariantBool(mode == 3), "KPVSetPreviewMode") != 0 &&
                       PutOn(preview, HandleKind::kPreview, KPM_PREVIEW_TWO_PAGES,
                             plat::VariantBool(mode != 1), "KPVSetPreviewMode") != 0
                   ? 1
                   : 0;
    });
}

KPCIF_EXPORT int KPVOpenPreview(uint32_t preview, int style) {
    return Guarded<int>("KPVOpenPreview", [&]() -> int {
        return CallOn(preview, HandleKind::kPreview, KPM_PREVIEW_OPEN_PREVIEW,
                      {plat::VariantUI4(static_cast<uint32_t>(style))}, "KPVOpenPreview");
    });
}

KPCIF_EXPORT int KPVReportPrint(uint32_t preview, uint32_t report) {
    return Guarded<int>("KPVReportPrint", [&]() -> int {
        ScriptableObject* page = Lookup(report, HandleKind::kReport, "KPVReportPrint");
        if (page == nullptr) return 0;
        return CallOn(preview, HandleKind::kPreview, KPM_PREVIEW_PRINT,
                      {plat::VariantDispatch(page)}, "KPVReportPrint");
    });
}

KPCIF_EXPORT int KPVClosePreview(uint32_t preview) {
    return Guarded<int>("KPVClosePreview", [&]() -> int {
        return CallOn(preview, HandleKind::kPreview, KPM_PREVIEW_CLOSE_PREVIEW, {},
                      "KPVClosePreview");
    });
}

KPCIF_EXPORT int KPVDeletePreview(uint32_t preview) {
    return Guarded<int>("KPVDeletePreview", [&]() -> int {
        return DeleteOn(preview, HandleKind::kPreview, KPM_PREVIEW_CLOSE, "KPVDeletePreview");
    });
}

KPCIF_EXPORT uint32_t KPPCreatePrinter(const char* name) {
    return Guarded<uint32_t>("KPPCreatePrinter", [&]() -> uint32_t {
        ScriptableObject* app = App("KPPCreatePrinter");
        if (app == nullptr) return 0;
        // An empty name selects the default printer.
        plat::UniqueBstr printerName = Text(name, "KPPCreatePrinter");
        if (printerName == nullptr) return 0;
        ScriptableObject* printer =
            GetObject(app, KPM_APPLICATION_CREATE_PRINTER, {plat::VariantBstr(printerName.get())},
                      kp::kInvokeMethod, "KPPCreatePrinter");
        return printer != nullptr ? AddHandle(HandleKind::kPrinter, printer) : 0;
    });
}

KPCIF_EXPORT int KPPShowDlg(uint32_t printer, uint32_t owner, int options) {
    return Guarded<int>("KPPShowDlg", [&]() -> int {
        return CallOn(printer, HandleKind::kPrinter, KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG,
                      {plat::VariantUI4(owner), plat::VariantUI4(static_cast<uint32_t>(options))},
                      "KPPShowDlg");
    });
}

KPCIF_EXPORT int KPPSetJobName(uint32_t printer, const char* name) {
    return Guarded<int>("KPPSetJobName", [&]() -> int {
        ScriptableObject* object = Lookup(printer, HandleKind::kPrinter, "KPPSetJobName");
        if (object == nullptr) return 0;
        plat::UniqueBstr text = Text(name, "KPPSetJobName");
        return text != nullptr && Put(object, KPM_PRINTER_JOB_JOB_NAME,
                                      plat::VariantBstr(text.get()), "KPPSetJobName")
                   ? 1
                   : 0;
    });
}

namespace {
int PutPrinterI2(uint32_t printer, int32_t id, int value, const char* what) {
    if (value < INT16_MIN || value > INT16_MAX) {
        Report(kp::rc::kOutOfRange, what);
        return 0;
    }
    return PutOn(printer, HandleKind::kPrinter, id, plat::VariantI2(static_cast<int16_t>(value)),
                 what);
}
int PutPrinterUI2(uint32_t printer, int32_t id, int value, const char* what) {
    if (value < 0 || value > UINT16_MAX) {
        Report(kp::rc::kOutOfRange, what);
        return 0;
    }
    return PutOn(printer, HandleKind::kPrinter, id, plat::VariantUI2(static_cast<uint16_t>(value)),
                 what);
}
}  // namespace

KPCIF_EXPORT int KPPSetScalePrint(uint32_t printer, int on) {
    return Guarded<int>("KPPSetScalePrint", [&]() -> int {
        return PutOn(printer, HandleKind::kPrinter, KPM_PRINTER_JOB_SCALE_PRINT, Bool(on),
                     "KPPSetScalePrint");
    });
}
KPCIF_EXPORT int KPPSetPaperSize(uint32_t printer, int paper) {
    return Guarded<int>("KPPSetPaperSize", [&]() -> int {
        return PutPrinterI2(printer, KPM_PRINTER_JOB_PAPER_SIZE, paper, "KPPSetPaperSize");
    });
}
KPCIF_EXPORT int KPPSetOrientation(uint32_t printer, int orientation) {
    return Guarded<int>("KPPSetOrientation", [&]() -> int {
        return PutPrinterUI2(printer, KPM_PRINTER_JOB_ORIENTATION, orientation,
                             "KPPSetOrientation");
    });
}
KPCIF_EXPORT int KPPSetScalePaperFit(uint32_t printer, int on) {
    return Guarded<int>("KPPSetScalePaperFit", [&]() -> int {
        return PutOn(printer, HandleKind::kPrinter, KPM_PRINTER_JOB_SCALE_PAPER_FIT, Bool(on),
                     "KPPSetScalePaperFit");
    });
}
KPCIF_EXPORT int KPPSetMultiPrint(uint32_t printer, int on) {
    return Guarded<int>("KPPSetMultiPrint", [&]() -> int {
        return PutOn(printer, HandleKind::kPrinter, KPM_PRINTER_JOB_MULTI_PRINT, Bool(on),
                     "KPPSetMultiPrint");
    });
}
KPCIF_EXPORT int KPPSetMultiPrintLayout(uint32_t printer, int layout) {
    return Guarded<int>("KPPSetMultiPrintLayout", [&]() -> int {
        return PutPrinterUI2(printer, KPM_PRINTER_JOB_MULTI_PRINT_LAYOUT, layout,
                             "KPPSetMultiPrintLayout");
    });
}
KPCIF_EXPORT int KPPSetScalePrintLayout(uint32_t printer, int layout) {
    return Guarded<int>("KPPSetScalePrintLayout", [&]() -> int {
        return PutPrinterUI2(printer, KPM_PRINTER_JOB_SCALE_PRINT_LAYOUT, layout,
                             "KPPSetScalePrintLayout");
    });
}
KPCIF_EXPORT int KPPSetCancelDlg(uint32_t printer, int on) {
    return Guarded<int>("KPPSetCancelDlg", [&]() -> int {
        return PutOn(printer, HandleKind::kPrinter, KPM_PRINTER_JOB_CANCEL_DLG, Bool(on),
                     "KPPSetCancelDlg");
    });
}

KPCIF_EXPORT int KPPUpdateInfo(uint32_t printer) {
    return Guarded<int>("KPPUpdateInfo", [&]() -> int {
        return CallOn(printer, HandleKind::kPrinter, KPM_PRINTER_JOB_UPDATE_INFO, {},
                      "KPPUpdateInfo");
    });
}

KPCIF_EXPORT int KPPOpenPrinter(uint32_t printer, uint32_t owner) {
    return Guarded<int>("KPPOpenPrinter", [&]() -> int {
        return CallOn(printer, HandleKind::kPrinter, KPM_PRINTER_JOB_OPEN_PRINTER,
                      {plat::VariantUI4(owner)}, "KPPOpenPrinter");
    });
}

KPCIF_EXPORT int KPPReportPrint(uint32_t printer, uint32_t report) {
    return Guarded<int>("KPPReportPrint", [&]() -> int {
        ScriptableObject* page = Lookup(report, HandleKind::kReport, "KPPReportPrint");
        if (page == nullptr) return 0;
        return CallOn(printer, HandleKind::kPrinter, KPM_PRINTER_JOB_PRINT,
                      {plat::VariantDispatch(page)}, "KPPReportPrint");
    });
}

KPCIF_EXPORT int KPPPreviewPrint(uint32_t printer, uint32_t preview, uint32_t page) {
    return Guarded<int>("KPPPreviewPrint", [&]() -> int {
        ScriptableObject* source = Lookup(preview, HandleKind::kPreview, "KPPPreviewPrint");
        if (source == nullptr) return 0;
        return CallOn(printer, HandleKind::kPrinter, KPM_PRINTER_JOB_PREVIEW_PRINT,
                      {plat::VariantDispatch(source), plat::VariantUI4(page)}, "KPPPreviewPrint");
    });
}

KPCIF_EXPORT int KPPGetStatus(uint32_t printer, int* status) {
    return Guarded<int>("KPPGetStatus", [&]() -> int {
        return GetStatus(printer, HandleKind::kPrinter, KPM_PRINTER_JOB_STATUS, status,
                         "KPPGetStatus");
    });
}

KPCIF_EXPORT int KPPClosePrinter(uint32_t printer, int complete) {
    return Guarded<int>("KPPClosePrinter", [&]() -> int {
        return CallOn(printer, HandleKind::kPrinter, KPM_PRINTER_JOB_CLOSE_PRINTER,
                      {Bool(complete)}, "KPPClosePrinter");
    });
}

KPCIF_EXPORT int KPPDeletePrinter(uint32_t printer) {
    return Guarded<int>("KPPDeletePrinter", [&]() -> int {
        return DeleteOn(printer, HandleKind::kPrinter, KPM_PRINTER_JOB_CLOSE, "KPPDeletePrinter");
    });
}
