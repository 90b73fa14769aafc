// The web server's form services over a real image: a post changes the image, the page is filled
// from it, and duplicate rows are reported as the server's warning expects them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "net/state_form_services.h"
#include "settings/data_image_startup.h"
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
    services.ApplyFormPost("h155=06");
    EXPECT_EQ(Fill(page), "<input type=\"text\" name=\"h155\" value=\"06\"><br>");
}

TEST_F(StateFormServicesTest, DuplicateRowsAreReportedWhileChecking) {
    EXPECT_EQ(services.DuplicateCheckFlag(), 0);
    state->duplicate_check_flag = 1;
    EXPECT_EQ(services.DuplicateCheckFlag(), 1);
    services.CommitSpeedDialPage(0, 0, 2);
    services.ApplyFormPost(
        "s003n1=0312&s003n2=a&s003n3=b&s003n4=00&"
        "s004n1=0312&s004n2=c&s004n3=d&s004n4=00");
    const DuplicateReport report = services.Duplicates();
    EXPECT_GE(report.count, 1);
    EXPECT_EQ(report.first, 3);
    EXPECT_EQ(report.second, 4);
    // The next post starts a new list.
    services.ApplyFormPost("h155=06");
    EXPECT_EQ(services.Duplicates().count, 0);
    // The rows reach the live block only with the page's commit.
    SpeedDialRecord record;
    ASSERT_EQ(GetSystemSpeedDial(*state, 4, record), 1);
    EXPECT_STREQ(record.number.data(), "");
    services.CommitSpeedDialPage(1, 1, 1);
    ASSERT_EQ(GetSystemSpeedDial(*state, 4, record), 1);
    EXPECT_STREQ(record.number.data(), "0312");
}

}  // namespace
}  // namespace qzs::net
