// The built engine library as a host sees it: exactly two exported symbols, a control library
// that must be found by name, and an application object created and released through the
// exports.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "engine/core/engine_class.h"
#include "engine/core/event_sinks.h"
#include "engine/core/exports.h"
#include "engine/core/scriptable.h"
#include "engine/include/kpengn_members.h"

namespace {

using namespace kp;
using namespace plat;

std::string EnginePath() {
    const char* dir = std::getenv("QZS_BINARY_DIR");
    return std::string(dir ? dir : QZS_BINARY_DIR) + "/engine/libkpengn30.so";
}

// Defined symbols of the dynamic symbol table, as nm lists them.
std::set<std::string> DynamicSymbols(const std::string& path) {
    std::set<std::string> names;
    const std::string command = "nm -D --defined-only '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return names;
    char line[1024];
    while (fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) names.insert(name);
    }
    pclose(pipe);
    return names;
}

TEST(EngineLibrary, ExportsExactlyTheTwoEntryPoints) {
    const std::string path = EnginePath();
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    EXPECT_EQ(DynamicSymbols(path), (std::set<std::string>{"WCreateObject", "WGetClassInfo"}));
}

TEST(EngineLibrary, CreatesAndReleasesTheApplicationThroughTheExports) {
    void* engine = dlopen(EnginePath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(engine, nullptr) << dlerror();
    auto getClassInfo = reinterpret_cast<WGetClassInfoFn>(dlsym(engine, "WGetClassInfo"));
    auto createObject = reinterpret_cast<WCreateObjectFn>(dlsym(engine, "WCreateObject"));
    ASSERT_NE(getClassInfo, nullptr);
    ASSERT_NE(createObject, nullptr);
    EXPECT_EQ(dlsym(engine, "_ZN2kp10InitModuleEPv"), nullptr) << "internals stay hidden";

    void* out = reinterpret_cast<void*>(1);
    // Without the control library nothing can be created (unless one is installed where the
    // loader finds it, which this check then leaves alone).
    if (void* installed = dlopen("libkpctrl30.so", RTLD_NOW | RTLD_LOCAL)) {
        dlclose(installed);
    } else if (!std::filesystem::exists(std::filesystem::path(EnginePath()).parent_path() /
                                        "libkpctrl30.so")) {
        EXPECT_EQ(createObject(&kEngineClassId, &iid::kApplication, &out), -10000);
        EXPECT_EQ(out, nullptr);
    }

    // The control library, loaded here first, is found by its name when the engine asks.
    void* control = dlopen(QZS_KPCTRL30_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(control, nullptr) << dlerror();

    void* classList = nullptr;
    ASSERT_EQ(getClassInfo(&classList), 0);
    auto* list = static_cast<EngineClassInfo*>(static_cast<plat::Unknown*>(classList));
    EXPECT_EQ(list->GetClassCount(), 1);
    EXPECT_EQ(list->GetClassAttribute(0), 24);

    const InterfaceId events{0x00010000, 0x00000101};
    EXPECT_EQ(createObject(&events, &iid::kApplication, &out), -3);
    EXPECT_EQ(out, nullptr);

    ASSERT_EQ(createObject(&kEngineClassId, &iid::kApplication, &out), 0);
    ASSERT_NE(out, nullptr);
    auto* app = static_cast<ScriptableObject*>(static_cast<plat::Unknown*>(out));

    Variant result{};
    EXPECT_EQ(app->Invoke(KPM_APPLICATION_CONTROL_LIBRARY_NAME, kInvokeGet, nullptr, &result), -11)
        << "no site yet";
    void* site = nullptr;
    ASSERT_EQ(app->QueryInterface(&iid::kSiteHolder, &site), 0);
    EXPECT_EQ(static_cast<SiteHolder*>(static_cast<plat::Unknown*>(site))->SetSite(1), 0);
    EXPECT_EQ(app->Release(), 1) << "the site holder's reference";
    ASSERT_EQ(app->Invoke(KPM_APPLICATION_CONTROL_LIBRARY_NAME, kInvokeGet, nullptr, &result), 0);
    EXPECT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(BstrView(result.bstrVal), u"libkpctrl30.so");
    VariantClear(&result);
    // The library binds its PDF documents: one is made and released again.
    ASSERT_EQ(app->Invoke(KPM_APPLICATION_CREATE_PDF_DOCUMENT, kInvokeMethod, nullptr, &result), 0);
    ASSERT_EQ(result.vt, VT_DISPATCH);
    ASSERT_NE(result.pdispVal, nullptr);
    auto* document = static_cast<ScriptableObject*>(result.pdispVal);
    Variant state{};
    EXPECT_EQ(document->Invoke(KPM_PDF_DOCUMENT_STATE, kInvokeGet, nullptr, &state), 0);
    EXPECT_EQ(state.iVal, 16);
    EXPECT_EQ(document->Invoke(KPM_PDF_DOCUMENT_PDF_RELEASE, kInvokeMethod, nullptr, &state), 0);
    EXPECT_EQ(app->Release(), 0);

    // An application the host forgets is destroyed when the library is unloaded.
    ASSERT_EQ(createObject(&kEngineClassId, &iid::kScriptable, &out), 0);
    EXPECT_EQ(dlclose(engine), 0);
    EXPECT_EQ(dlclose(control), 0);
}

}  // namespace
