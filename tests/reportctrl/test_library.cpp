// The built libkpctrl30.so as the engine meets it: its two exports alone, none of the engine's
// code inside, and controls created and released through the exports.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "engine/core/control_interfaces.h"

namespace {

using namespace kp;

using ClassInfoFn = int32_t (*)(void** out);
using CreateFn = int32_t (*)(const InterfaceId*, const InterfaceId*, void** out);

// The lines a command prints.
std::vector<std::string> Lines(const std::string& command) {
    std::vector<std::string> lines;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return lines;
    char line[1024];
    while (fgets(line, sizeof line, pipe)) lines.emplace_back(line);
    pclose(pipe);
    return lines;
}

TEST(ControlLibrary, ExportsExactlyTheTwoEntryPointsAndNeedsNoEngine) {
    std::set<std::string> names;
    for (const std::string& line : Lines("nm -D --defined-only '" QZS_KPCTRL30_PATH "'")) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) names.insert(name);
    }
    EXPECT_EQ(names, (std::set<std::string>{"WCreateObject", "WGetClassInfo"}));

    std::string needed;
    for (const std::string& line : Lines("readelf -d '" QZS_KPCTRL30_PATH "'")) {
        if (line.find("(NEEDED)") != std::string::npos) needed += line;
    }
    EXPECT_NE(needed.find("libc.so"), std::string::npos) << needed;
    EXPECT_EQ(needed.find("kpengn30"), std::string::npos) << needed;
}

TEST(ControlLibrary, ClassListAndControlsThroughTheExports) {
    // The library's Qt pulls in libgomp, which allocates when it loads and never frees; a host
    // that has Qt keeps it loaded, this test has none, and the dlclose below would unload it and
    // leave its block to the leak checker. Held here for the life of the test program.
    static void* const gomp = dlopen("libgomp.so.1", RTLD_NOW | RTLD_GLOBAL);
    (void)gomp;
    void* library = dlopen(QZS_KPCTRL30_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto classInfo = reinterpret_cast<ClassInfoFn>(dlsym(library, "WGetClassInfo"));
    auto create = reinterpret_cast<CreateFn>(dlsym(library, "WCreateObject"));
    ASSERT_NE(classInfo, nullptr);
    ASSERT_NE(create, nullptr);

    EXPECT_EQ(classInfo(nullptr), rc::kBadPointer);
    void* out = nullptr;
    ASSERT_EQ(classInfo(&out), 0);
    void* again = nullptr;
    ASSERT_EQ(classInfo(&again), 0);
    EXPECT_EQ(out, again) << "one static list";
    auto* list = static_cast<ControlClassList*>(static_cast<plat::Unknown*>(out));
    void* viaQuery = nullptr;
    ASSERT_EQ(list->QueryInterface(&iid::kClassList, &viaQuery), 0);
    EXPECT_EQ(viaQuery, out);
    ASSERT_EQ(list->GetCount(), 4);

    for (int i = 0; i < list->GetCount(); ++i) {
        ControlClassEntry* entry = nullptr;
        ASSERT_EQ(list->GetEntry(i, &entry), 0);
        ControlClassDescription description{};
        ASSERT_EQ(entry->GetDescription(&description), 0);
        void* control = nullptr;
        ASSERT_EQ(create(&description.classId, &iid::kSiteHolder, &control), 0);
        auto* holder = static_cast<ControlSiteHolder*>(static_cast<plat::Unknown*>(control));
        plat::Bstr name = nullptr;
        EXPECT_EQ(holder->GetName(&name), 0);
        EXPECT_FALSE(plat::BstrView(name).empty());
        plat::BstrFree(name);
        EXPECT_EQ(holder->Release(), 0);
    }
    const InterfaceId unknown{0x40150000, 0x100};
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(create(&unknown, &iid::kSiteHolder, &out), rc::kWrongClass);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(dlclose(library), 0);
}

}  // namespace
