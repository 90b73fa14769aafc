#include "engine/core/module.h"

#include <dlfcn.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "engine/core/application.h"
#include "engine/core/object_signature.h"

namespace kp {

namespace {

void* DlOpen(const char* file) {
    return dlopen(file, RTLD_NOW | RTLD_LOCAL);
}
void* DlSym(void* library, const char* name) {
    return dlsym(library, name);
}
void DlClose(void* library) {
    dlclose(library);
}

constexpr ControlLibraryLoader kDlLoader{DlOpen, DlSym, DlClose};

struct DcOwner {
    // Written under the module lock, read without it by the abort procedure.
    std::atomic<uint32_t> dc{0};
    std::atomic<ScriptableObject*> job{nullptr};
};

struct ModuleState {
    std::unique_ptr<std::recursive_mutex> lock;
    std::atomic<void*> handle{nullptr};
    std::vector<ApplicationObject*> registry;
    std::atomic<bool> shuttingDown{false};
    void* controlLibrary = nullptr;
    std::atomic<ClassInfoEntryFn> controlClassInfo{nullptr};
    std::atomic<CreateObjectEntryFn> controlCreate{nullptr};
    std::array<DcOwner, kPrintDcOwnerSlots> dcOwners;
    std::atomic<char16_t> unknownChar{0};
    const ControlLibraryLoader* loader = &kDlLoader;
    EngineServices services;  // under the lock
};

// Created on first use and freed only by ReleaseModuleMemory: at process exit the static
// destructors of a library run before its unload hook, which still needs this state.
constinit std::mutex gStateLock;
ModuleState* gState = nullptr;

ModuleState& State() {
    std::lock_guard guard(gStateLock);
    if (gState == nullptr) gState = new ModuleState;
    return *gState;
}

void ClearDcOwners(ModuleState& s) {
    for (auto& entry : s.dcOwners) {
        entry.dc.store(0);
        entry.job.store(nullptr);
    }
}

// Under the module lock.
int32_t BindControlLibrary(ModuleState& s) {
    if (s.controlLibrary != nullptr) return rc::kOk;
    void* library = s.loader->open(kControlLibraryFile);
    if (library == nullptr) return rc::kControlLibraryMissing;
    void* classInfo = s.loader->symbol(library, "WGetClassInfo");
    void* create = s.loader->symbol(library, "WCreateObject");
    if (classInfo == nullptr || create == nullptr) {
        s.loader->close(library);
        return rc::kControlLibraryIncomplete;
    }
    s.controlLibrary = library;
    s.controlClassInfo.store(reinterpret_cast<ClassInfoEntryFn>(classInfo));
    s.controlCreate.store(reinterpret_cast<CreateObjectEntryFn>(create));
    return rc::kOk;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

void InitModule(void* moduleHandle) {
    InitModule(moduleHandle, EngineServices{});
}

void InitModule(void* moduleHandle, const EngineServices& services) {
    ModuleState& s = State();
    if (moduleHandle != nullptr) {
        s.lock = std::make_unique<std::recursive_mutex>();
        s.services = services;
        s.handle.store(moduleHandle);
        s.registry.clear();
        s.shuttingDown.store(false);
        s.unknownChar.store(0);
        ReadPdfSettings();
        ClearDcOwners(s);
        return;
    }
    s.handle.store(nullptr);
    // The objects go first: their destructors, and their children's, may still take the module
    // lock (print DC owners), so the lock is only deleted when nothing can reach it any more.
    ReleaseAllEngineObjects();
    s.services = EngineServices{};
    s.lock.reset();
}

EngineServices ModuleServices() {
    ModuleState& s = State();
    if (!s.lock) return {};
    std::lock_guard guard(*s.lock);
    return s.services;
}

int32_t RegisterEngineObject(ApplicationObject* object) {
    if (object == nullptr) return rc::kBadPointer;
    ModuleState& s = State();
    if (!s.lock) return rc::kNotReady;
    std::lock_guard guard(*s.lock);
    if (const int32_t code = BindControlLibrary(s); code != rc::kOk) return code;
    for (auto& slot : s.registry) {
        if (slot == nullptr) {
            slot = object;
            return rc::kOk;
        }
    }
    try {
        s.registry.push_back(object);
    } catch (const std::bad_alloc&) {
        return rc::kOutOfMemory;
    }
    return rc::kOk;
}

int32_t UnregisterEngineObject(ApplicationObject* object) {
    ModuleState& s = State();
    if (s.shuttingDown.load() || object == nullptr || !s.lock) return 0;
    std::lock_guard guard(*s.lock);
    for (auto& slot : s.registry) {
        if (slot == object) {
            slot = nullptr;
            return 1;
        }
    }
    return 0;
}

void ReleaseAllEngineObjects() {
    ModuleState& s = State();
    s.shuttingDown.store(true);
    std::vector<ApplicationObject*> objects;
    void* library = nullptr;
    {
        std::unique_lock<std::recursive_mutex> guard;
        if (s.lock) guard = std::unique_lock(*s.lock);
        objects.swap(s.registry);
        library = s.controlLibrary;
        s.controlLibrary = nullptr;
    }
    // Destroyed outside the lock: a printer job's destructor waits for its print thread, which
    // may itself need the module lock to give up its DC-owner entry.
    for (ApplicationObject* object : objects) {
        if (object != nullptr) DestroyApplicationObject(object);
    }
    s.controlClassInfo.store(nullptr);
    s.controlCreate.store(nullptr);
    if (library != nullptr) s.loader->close(library);
}

void* GetModuleInstance() {
    return State().handle.load();
}
ClassInfoEntryFn GetControlClassInfoEntry() {
    return State().controlClassInfo.load();
}
CreateObjectEntryFn GetControlCreateEntry() {
    return State().controlCreate.load();
}

int32_t AddPrintDcOwner(uint32_t dc, ScriptableObject* job) {
    ModuleState& s = State();
    if (!s.lock) return -1;
    std::lock_guard guard(*s.lock);
    for (int32_t i = 0; i < kPrintDcOwnerSlots; ++i) {
        auto& entry = s.dcOwners[i];
        if (entry.dc.load() == 0 && entry.job.load() == nullptr) {
            entry.job.store(job);
            entry.dc.store(dc);
            return i;
        }
    }
    return -1;
}

void RemovePrintDcOwner(int32_t index) {
    if (index < 0 || index >= kPrintDcOwnerSlots) return;
    ModuleState& s = State();
    if (!s.lock) return;
    std::lock_guard guard(*s.lock);
    s.dcOwners[index].dc.store(0);
    s.dcOwners[index].job.store(nullptr);
}

int32_t FindPrintDcOwner(uint32_t dc, ScriptableObject** job) {
    ModuleState& s = State();
    for (int32_t i = 0; i < kPrintDcOwnerSlots; ++i) {
        auto& entry = s.dcOwners[i];
        if (entry.dc.load() == dc) {
            if (job != nullptr) *job = entry.job.load();
            return i;
        }
    }
    return -1;
}

char16_t GetUnknownChar() {
    return State().unknownChar.load();
}

std::string PdfSettingsPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = std::string(home) + "/.config";
    } else {
        return {};
    }
    return base + "/Tessaryn/Kelvaprint/3.1/PDF";
}

int32_t ReadPdfSettings() {
    ModuleState& s = State();
    s.unknownChar.store(0);
    const std::string path = PdfSettingsPath();
    if (path.empty()) return rc::kFailed;
    // Read only: the engine never writes its settings.
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file) return rc::kFailed;

    // The registry value was read into a 256-byte buffer; anything longer did not fit.
    constexpr size_t kValueBuffer = 256;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (!EqualsIgnoringAsciiCase(std::string_view(line).substr(0, eq), "UnknownChar")) {
            continue;
        }
        const std::string_view value = std::string_view(line).substr(eq + 1);
        // With its terminator the value must be 2 or 3 bytes: one single-byte or one
        // double-byte character (or two single-byte ones, of which the first counts).
        const size_t dataSize = value.size() + 1;
        if (dataSize > kValueBuffer || dataSize < 2 || dataSize > 3) return rc::kFailed;
        std::u16string wide;
        if (!plat::WideFromCp932(value, &wide) || wide.empty()) return rc::kFailed;
        s.unknownChar.store(wide[0]);
        return rc::kOk;
    }
    return rc::kFailed;
}

void ReleaseModuleMemory() {
    {
        std::lock_guard guard(gStateLock);
        delete gState;
        gState = nullptr;
    }
    ReleaseObjectSignatureTable();
}

void SetControlLibraryLoader(const ControlLibraryLoader* loader) {
    State().loader = loader ? loader : &kDlLoader;
}

size_t EngineRegistrySlotCount() {
    ModuleState& s = State();
    if (!s.lock) return 0;
    std::lock_guard guard(*s.lock);
    return s.registry.size();
}

}  // namespace kp
