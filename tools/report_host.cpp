#include "tools/report_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "engine/core/event_sinks.h"
#include "engine/core/exports.h"
#include "engine/include/kpengn_members.h"

namespace qzsreport {

using namespace plat;

namespace {

std::vector<const ReportCommand*>& Registry() {
    static std::vector<const ReportCommand*> commands;
    return commands;
}

std::string EngineFile() {
    if (const char* env = std::getenv("QZS_ENGINE"); env != nullptr && env[0] != '\0') {
        return env;
    }
    // The build keeps the engine in engine/ beside tools/; an installation, beside the tool.
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        for (const auto& candidate : {self.parent_path().parent_path() / "engine/libkpengn30.so",
                                      self.parent_path() / "libkpengn30.so"}) {
            if (std::filesystem::exists(candidate, ec)) return candidate.string();
        }
    }
    return "libkpengn30.so";
}

}  // namespace

int ReportEngineError(const EngineError& error) {
    std::fprintf(stderr, "error %d %s\n", error.code, error.member.c_str());
    return kExitEngine;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return kExitUsage;
}

Engine& Engine::Get() {
    static Engine engine;
    return engine;
}

Engine::Engine() {
    const std::string file = EngineFile();
    // The engine finds its control library by name through its own run path; under the
    // sanitizers dlopen's caller is their runtime, whose search does not see the engine's folder.
    // Loaded first from beside the engine, the library is found by its name either way.
    if (const size_t slash = file.rfind('/'); slash != std::string::npos) {
        const std::string controls = file.substr(0, slash + 1) + "libkpctrl30.so";
        if (std::filesystem::exists(controls)) controls_ = dlopen(controls.c_str(), RTLD_NOW);
    }
    library_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        const char* why = dlerror();
        loadError_ = why != nullptr ? why : file;
        return;
    }
    auto create = reinterpret_cast<WCreateObjectFn>(dlsym(library_, "WCreateObject"));
    if (create == nullptr) {
        loadError_ = "no WCreateObject in " + file;
        return;
    }
    void* out = nullptr;
    if (int32_t code = create(&kp::kEngineClassId, &kp::iid::kApplication, &out); code != 0) {
        loadError_ = "error " + std::to_string(code) + " WCreateObject";
        return;
    }
    auto* app = static_cast<kp::ScriptableObject*>(static_cast<Unknown*>(out));
    void* site = nullptr;
    if (app->QueryInterface(&kp::iid::kSiteHolder, &site) == 0) {
        static_cast<kp::SiteHolder*>(static_cast<Unknown*>(site))->SetSite(1);
        app->Release();
    }
    app_ = app;
    // Layer orders as the files store them.
    Variant keep = VariantBool(true);
    kp::InvokeArgs args{&keep, 1};
    Variant result{};
    app_->Invoke(KPM_APPLICATION_KEEP_LAYER_ORDER, kp::kInvokePut, &args, &result);
}

Variant Get(kp::ScriptableObject* object, int32_t id, const char* member) {
    Variant result{};
    const int32_t code = object->Invoke(id, kp::kInvokeGet, nullptr, &result);
    if (code != 0) throw EngineError{code, member};
    return result;
}

void Put(kp::ScriptableObject* object, int32_t id, Variant value, const char* member) {
    kp::InvokeArgs args{&value, 1};
    Variant result{};
    const int32_t code = object->Invoke(id, kp::kInvokePut, &args, &result);
    if (code != 0) throw EngineError{code, member};
}

Variant Call(kp::ScriptableObject* object, int32_t id, std::vector<Variant> args,
             const char* member) {
    kp::InvokeArgs invokeArgs{args.empty() ? nullptr : args.data(),
                              static_cast<uint32_t>(args.size())};
    Variant result{};
    const int32_t code = object->Invoke(id, kp::kInvokeMethod, &invokeArgs, &result);
    if (code != 0) throw EngineError{code, member};
    return result;
}

kp::ScriptableObject* AsObject(const Variant& value) {
    return static_cast<kp::ScriptableObject*>(value.pdispVal);
}

kp::ScriptableObject* OpenReport(const std::string& path) {
    std::error_code ec;
    const std::string full = std::filesystem::absolute(path, ec).string();
    Bstr name = BstrFromUtf8(ec ? path : full);
    if (name == nullptr) throw EngineError{-7, "OpenReport"};
    Variant result{};
    try {
        result = Call(Engine::Get().app(), KPM_APPLICATION_OPEN_REPORT, {VariantBstr(name)},
                      "OpenReport");
    } catch (...) {
        BstrFree(name);
        throw;
    }
    BstrFree(name);
    return AsObject(result);
}

void PageTenths(kp::ScriptableObject* report, int32_t* across, int32_t* down) {
    // The paper in tenths of a millimetre is what the report keeps; the gets answer it in the
    // report's unit, so unit 1 (hundredths) is asked for and divided.
    const Variant unit = Get(report, KPM_REPORT_UNIT, "Unit");
    Put(report, KPM_REPORT_UNIT, VariantUI2(1), "Unit");
    const int32_t width = Get(report, KPM_REPORT_PAPER_WIDTH, "PaperWidth").lVal / 10;
    const int32_t length = Get(report, KPM_REPORT_PAPER_LENGTH, "PaperLength").lVal / 10;
    Put(report, KPM_REPORT_UNIT, VariantUI2(unit.uiVal), "Unit");
    const bool portrait = Get(report, KPM_REPORT_PAPER_ORIENTATION, "PaperOrientation").iVal == 1;
    *across = portrait ? width : length;
    *down = portrait ? length : width;
}

void PagePixels(kp::ScriptableObject* report, int32_t dpi, int32_t* across, int32_t* down) {
    int32_t w = 0, h = 0;
    PageTenths(report, &w, &h);
    *across = static_cast<int32_t>(std::lround(w * static_cast<double>(dpi) / 254.0));
    *down = static_cast<int32_t>(std::lround(h * static_cast<double>(dpi) / 254.0));
}

bool ParseDpi(std::string_view text, int32_t* dpi) {
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value < 1 || value > 2400) {
        return false;
    }
    *dpi = value;
    return true;
}

bool ParseFlags(std::string_view text, uint32_t* flags) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return false;
    *flags = value;
    return true;
}

ReportCommand::ReportCommand(const char* n, const char* u, Run r)
    : name(n), usage(u), run(std::move(r)) {
    Registry().push_back(this);
}

const std::vector<const ReportCommand*>& Commands() {
    return Registry();
}

}  // namespace qzsreport

int main(int argc, char** argv) {
    using namespace qzsreport;
    std::vector<std::string> args(argv + 1, argv + argc);
    auto usage = [] {
        std::string text = "usage:";
        for (const ReportCommand* command : Commands()) {
            text += "\n  qzs-report ";
            text += command->usage;
        }
        return UsageError(text);
    };
    if (args.empty()) return usage();
    for (const ReportCommand* command : Commands()) {
        if (args[0] != command->name) continue;
        args.erase(args.begin());
        try {
            return command->run(args);
        } catch (const EngineError& error) {
            return ReportEngineError(error);
        }
    }
    return usage();
}
