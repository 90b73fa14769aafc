// State of the loaded engine library: the module lock, the registry of live application objects,
// the binding to the report control library, the table through which a printer abort procedure
// finds its job, and the substitute character for text the PDF writer cannot encode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/core/scriptable.h"
#include "engine/core/services.h"

namespace kp {

class ApplicationObject;

// The two exports of the control library have the shapes of this library's own.
using ClassInfoEntryFn = int32_t (*)(void** out);
using CreateObjectEntryFn = int32_t (*)(const InterfaceId* classId, const InterfaceId* iid,
                                        void** out);

// The control library is found by this name through the dynamic loader's search (the engine is
// linked with $ORIGIN in its run path, so the copy beside the engine is found first).
inline constexpr const char* kControlLibraryFile = "libkpctrl30.so";

// Loading goes through these three calls; the product uses dlopen, dlsym and dlclose.
struct ControlLibraryLoader {
    void* (*open)(const char* file);
    void* (*symbol)(void* library, const char* name);
    void (*close)(void* library);
};

// Attach with the library's handle (its load address), detach with null. Detach first destroys
// the application objects still registered, then the module lock, so that their destructors
// (and their children's) still find the lock.
void InitModule(void* moduleHandle);
// Attach with the services the library's applications are made with (kept until the detach).
void InitModule(void* moduleHandle, const EngineServices& services);
// The services of the attached module (none while detached), for CreateEngineObject.
EngineServices ModuleServices();

// 0, -4 for null, -10000 when the control library cannot be loaded, -10001 when it lacks an
// export, -5 without memory, -9 while the module is not attached.
int32_t RegisterEngineObject(ApplicationObject* object);
// 1 removed, 0 not found, null, or while shutting down.
int32_t UnregisterEngineObject(ApplicationObject* object);
// Destroys every registered application and unbinds the control library.
void ReleaseAllEngineObjects();

void* GetModuleInstance();
ClassInfoEntryFn GetControlClassInfoEntry();
CreateObjectEntryFn GetControlCreateEntry();

inline constexpr int32_t kPrintDcOwnerSlots = 1000;
// Printer device contexts are 32-bit handles; the job is the printer job object.
int32_t AddPrintDcOwner(uint32_t dc, ScriptableObject* job);    // index, or -1 when full
void RemovePrintDcOwner(int32_t index);                         // other indexes are ignored
int32_t FindPrintDcOwner(uint32_t dc, ScriptableObject** job);  // index, or -1; no lock taken

char16_t GetUnknownChar();
// Reads "UnknownChar" from the PDF settings file; 0 when the character was set, -1 when the
// file or the value is missing or unusable (the character is then 0).
int32_t ReadPdfSettings();
// The settings file that stands in for the registry key of the PDF settings:
// $XDG_CONFIG_HOME (or ~/.config) + "/Tessaryn/Kelvaprint/3.1/PDF". Lines "Name=Value", the
// value in CP932 bytes as the registry kept ANSI strings.
std::string PdfSettingsPath();

// Frees the module's own memory once the library is being unloaded, after the detach; nothing of
// the engine may run afterwards.
void ReleaseModuleMemory();

// For tests: replace the loader (null restores dlopen) and look at the registry's size.
void SetControlLibraryLoader(const ControlLibraryLoader* loader);
size_t EngineRegistrySlotCount();

}  // namespace kp
