// What every qzs-report subcommand shares: the engine library loaded as a host loads it (its
// two exports, nothing else), one application with its site set and its layer orders kept, and
// calls by member id that stop the tool with "error CODE MEMBER" on the first failure.
//
// Subcommands live in their own files and register themselves with a ReportCommand object, so
// that each output path adds its own without touching the others.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/scriptable.h"

namespace qzsreport {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitEngine = 1;
inline constexpr int kExitUsage = 2;

// An engine answer other than 0: the code and the member or function that gave it.
struct EngineError {
    int32_t code;
    std::string member;
};

// "error CODE MEMBER" on stderr; answers kExitEngine.
int ReportEngineError(const EngineError& error);
// The message on stderr; answers kExitUsage.
int UsageError(const std::string& message);

// The loaded engine and its application.
class Engine {
  public:
    // Loads libkpengn30.so (beside the tool's build folder's engine, else by the loader's
    // search), creates the application, sets its site and its property 6.
    static Engine& Get();

    kp::ScriptableObject* app() const { return app_; }
    bool loaded() const { return app_ != nullptr; }
    const std::string& loadError() const { return loadError_; }

  private:
    Engine();
    void* controls_ = nullptr;
    void* library_ = nullptr;
    kp::ScriptableObject* app_ = nullptr;
    std::string loadError_;
};

// Calls through Invoke. Each throws EngineError on a non-zero answer, naming member.
plat::Variant Get(kp::ScriptableObject* object, int32_t id, const char* member);
void Put(kp::ScriptableObject* object, int32_t id, plat::Variant value, const char* member);
plat::Variant Call(kp::ScriptableObject* object, int32_t id, std::vector<plat::Variant> args,
                   const char* member);
// The object a get or call answered (VT_DISPATCH).
kp::ScriptableObject* AsObject(const plat::Variant& value);

// Opens an existing report file through the application (OpenReport).
kp::ScriptableObject* OpenReport(const std::string& path);
// The page of a report at dpi in pixels, across and down (paper x dpi / 254, rounded).
// The page across and down in tenths of a millimetre, as the orientation turns the paper.
void PageTenths(kp::ScriptableObject* report, int32_t* across, int32_t* down);
void PagePixels(kp::ScriptableObject* report, int32_t dpi, int32_t* across, int32_t* down);

// Options shared by the picture subcommands: --dpi N, --flags HEX. false for a bad value.
bool ParseDpi(std::string_view text, int32_t* dpi);
bool ParseFlags(std::string_view text, uint32_t* flags);

// A subcommand: its name, a one-line usage and the function run with the arguments after the
// name. It answers the exit code; engine failures may be thrown as EngineError.
struct ReportCommand {
    using Run = std::function<int(const std::vector<std::string>& args)>;
    ReportCommand(const char* name, const char* usage, Run run);
    const char* name;
    const char* usage;
    Run run;
};

const std::vector<const ReportCommand*>& Commands();

}  // namespace qzsreport
