// A real browser on the settings pages: headless Chromium, driven by browser_forms.js, opens the
// start page, goes to a settings page, changes a value and submits; the image then holds the new
// value (read through the keypad road) and the page comes back showing it. The same for a phone
// book page with duplicate numbers refused: the warning is reported and the rows are committed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/http_server.h"
#include "net/state_form_services.h"
#include "programming/state.h"
#include "settings/command_bridge.h"
#include "settings/data_image_startup.h"
#include "settings/speed_dial.h"

namespace qzs::net {
namespace {

std::string NodeModules() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    const std::string base = cache != nullptr ? cache : std::string(home ? home : ".") + "/.cache";
    return base + "/korva-qzs/node/node_modules";
}

class BrowserTest : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();
    std::unique_ptr<StateFormServices> forms;
    std::unique_ptr<CEasyHttpServer> server;
    std::vector<std::string> reports;

    void SetUp() override {
        if (::access("/usr/bin/chromium", X_OK) != 0 ||
            ::access((NodeModules() + "/playwright-core").c_str(), R_OK) != 0) {
            // CI has to run these: there a missing browser is a failure, not a skip.
            const char* ci = std::getenv("CI");
            if (ci != nullptr && std::string_view(ci) == "true") {
                FAIL() << "CI=true: chromium or playwright-core is not installed";
            }
            GTEST_SKIP() << "chromium or playwright-core is not installed (scripts/qzs.sh test)";
        }
        InitDataImage(*state);
        forms = std::make_unique<StateFormServices>(*state);
        ServerPorts ports;
        ports.report_duplicate = [this](std::string_view text) { reports.emplace_back(text); };
        server = std::make_unique<CEasyHttpServer>(state->lock, forms.get(), ports);
        server->SetPort(0);
        server->SetDocumentRoot(std::string(QZS_HTML_DIR) + "/");
        server->SetDefaultPage("01hosyu.html");
        server->AddDynamicPage("01hosyu_01m.html", "dlltest.dll");
        server->AddDynamicPage("16tansyuku_01m.html", "dlltest.dll");
        ASSERT_EQ(server->Start(), 1);
    }

    // The browser's JSON line for a scenario.
    std::string Drive(const std::string& scenario) {
        const std::string command = "NODE_PATH='" + NodeModules() + "' node '" + QZS_SOURCE_DIR +
                                    "/tests/net/browser_forms.js' " +
                                    "http://127.0.0.1:" + std::to_string(server->BoundPort()) +
                                    " " + scenario + " 2>&1";
        std::FILE* pipe = ::popen(command.c_str(), "r");
        std::string out;
        char chunk[4096];
        std::size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
        EXPECT_EQ(::pclose(pipe), 0) << out;
        return out;
    }

    std::string Shown(const std::string& keys) { return RunCommandForResult(*state, 1, keys).line; }
};

TEST_F(BrowserTest, ASettingChangedInTheBrowserReachesTheImage) {
    EXPECT_EQ(Shown("*002#").substr(0, 5), "002=1");
    const std::string out = Drive("setting");
    EXPECT_NE(out.find("\"before\":true"), std::string::npos) << out;
    EXPECT_NE(out.find("\"after\":true"), std::string::npos) << out;
    EXPECT_NE(out.find("\"page\":\"保守 1 "), std::string::npos) << out;
    EXPECT_EQ(Shown("*002#").substr(0, 5), "002=0");
}

TEST_F(BrowserTest, APhoneBookPostWithADuplicateIsWarnedAndCommitted) {
    state->duplicate_check_flag = 1;
    const std::string out = Drive("phonebook");
    ASSERT_EQ(reports.size(), 1u) << out;
    EXPECT_EQ(reports[0], "短縮番号000番と001番が重複して登録されています。");
    EXPECT_NE(out.find("\"row2\":\"0455551234\""), std::string::npos) << out;
    // The page comes back as typed (it shows the working copy); the commit stored the page's
    // rows again with duplicates refused, so the live row 001 lost the number row 000 holds.
    EXPECT_NE(out.find("\"row1\":\"0312345678\""), std::string::npos) << out;
    auto live = [this](int r) {
        SpeedDialRecord row{};
        EXPECT_EQ(GetSystemSpeedDial(*state, r, row), 1);
        return std::string(row.number.data());
    };
    EXPECT_EQ(live(0).substr(0, 10), "0312345678");
    EXPECT_EQ(live(1), "");
    EXPECT_EQ(live(2).substr(0, 10), "0455551234");
}

}  // namespace
}  // namespace qzs::net
