// The web server's form services over a real image: a post changes the image, the page is filled
// from it, and duplicate rows are reported as the server's warning expects them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "net/state_form_services.h"
#include "settings/data_image_startup.h"
#include "settings/settings_pages.h"
#include "settings/speed_dial.h"

namespace qzs::net {
namespace {

class StateFormServicesTest : public ::testing::Test {
  protected:
    std::unique_ptr<ProgrammingState> state = std::make_unique<ProgrammingState>();
    StateFormServices services{*state};

    void SetUp() override { InitDataImage(*state); }

    std::string Fill(std::string_view text) {
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* out = ::open_memstream(&buffer, &size);
        services.FillFormTemplate(text, out);
        std::fclose(out);
        std::string page(buffer, size);
        std::free(buffer);
        return page;
    }
};

TEST_F(StateFormServicesTest, APostShowsInTheFilledPage) {
    const char* page = "<input type=\"text\" name=\"h155\"><br>";
    EXPECT_EQ(Fill(page), "<input type=\"text\" name=\"h155\" value=\"03\"><br>");
    services.ApplyFormPost(*FormFields::Split("h155=06"));
    EXPECT_EQ(Fill(page), "<input type=\"text\" name=\"h155\" value=\"06\"><br>");
}

TEST_F(StateFormServicesTest, DuplicateRowsAreReportedWhileChecking) {
    EXPECT_EQ(services.DuplicateCheckFlag(), 0);
    state->duplicate_check_flag = 1;
    EXPECT_EQ(services.DuplicateCheckFlag(), 1);
    services.CommitSpeedDialPage(0, 0, 2);
    services.ApplyFormPost(*FormFields::Split(
        "s003n1=0312&s003n2=a&s003n3=b&s003n4=00&"
        "s004n1=0312&s004n2=c&s004n3=d&s004n4=00"));
    const DuplicateReport report = services.Duplicates();
    EXPECT_GE(report.count, 1);
    EXPECT_EQ(report.first, 3);
    EXPECT_EQ(report.second, 4);
    // The next post starts a new list.
    services.ApplyFormPost(*FormFields::Split("h155=06"));
    EXPECT_EQ(services.Duplicates().count, 0);
    // The rows reach the live block only with the page's commit.
    SpeedDialRecord record;
    ASSERT_EQ(GetSystemSpeedDial(*state, 4, record), 1);
    EXPECT_STREQ(record.number.data(), "");
    services.CommitSpeedDialPage(1, 1, 1);
    ASSERT_EQ(GetSystemSpeedDial(*state, 4, record), 1);
    EXPECT_STREQ(record.number.data(), "0312");
}

// The server with these services and the generated pages: a post to a page changes the image,
// and the page comes back filled with the new value.
TEST_F(StateFormServicesTest, TheServerPostsAndServesAGeneratedPage) {
    namespace fs = std::filesystem;
    std::string page;
    for (const std::string& name : SettingsPageNames()) {
        std::ifstream in(fs::path(QZS_HTML_DIR) / name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        if (text.str().find("name=\"h002\"") != std::string::npos) page = name;
    }
    ASSERT_FALSE(page.empty()) << "no page carries *002";

    CEasyHttpServer server(state->lock, &services, ServerPorts{});
    server.SetPort(0);
    server.SetDocumentRoot(std::string(QZS_HTML_DIR) + "/");
    server.SetDefaultPage(std::string(kSettingsStartPage));
    for (const std::string& name : SettingsPageNames()) server.AddDynamicPage(name, "dlltest.dll");
    ASSERT_EQ(server.Start(), 1);
    const std::string command =
        "curl --http1.0 -s -d 'h002=0' http://127.0.0.1:" + std::to_string(server.BoundPort()) +
        "/" + page;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    std::string answer;
    char chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) answer.append(chunk, n);
    ::pclose(pipe);
    server.Stop();
    EXPECT_NE(answer.find("name=\"h002\"  value=\"0\" checked >"), std::string::npos) << answer;
    EXPECT_NE(answer.find("</html>"), std::string::npos);
}

}  // namespace
}  // namespace qzs::net
