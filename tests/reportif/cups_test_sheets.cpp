// The direct print road end to end on the private CUPS: the print-mode dialog's RunReport in
// mode 3 over libkpcif30's code and the engine, my phone book onto A4 landscape sheets two pages
// each, under the system's job name.
#include <cups/cups.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/print_dialogs.h"
#include "programming/state.h"
#include "reportif/report_interface_kpcif.h"
#include "settings/data_image_startup.h"
#include "tests/fixtures/command_output.h"
#include "tests/reportif/sheet_road.h"

namespace {

using qzs_test::CupsQueue;
using qzs_test::SheetRoad;

TEST(SheetPrinting, MyPhoneBookOnTwoUpLandscapeSheets) {
    SheetRoad road;
    ASSERT_TRUE(road.Ready());
    const CupsQueue& queue = road.queue;
    const size_t before = queue.Received().size();
    auto& rif = road.rif;
    auto& messages = road.messages;
    auto& context = road.context;
    qzs::app::CPrintModeDialog dialog(context);
    dialog.OnInit();
    dialog.set_sheet_kind(2);
    EXPECT_EQ(dialog.RunReport(0, 3), 1);
    EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
    int ignored = 0;
    rif.Exit(&ignored);

    const auto received = queue.WaitForReceived(before + 1);
    ASSERT_EQ(received.size(), before + 1);
    const std::string info = qzs_test::CommandOutput("pdfinfo '" + received.back() + "'");
    EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
    EXPECT_NE(info.find("Page size:       841.89 x 595.28 pts (A4)"), std::string::npos) << info;
    const std::string first =
        qzs_test::CommandOutput("pdftotext -f 1 -l 1 '" + received.back() + "' -");
    EXPECT_NE(first.find("マイ電話帳"), std::string::npos) << first;
    EXPECT_NE(first.find("page 001"), std::string::npos) << first;
    EXPECT_NE(first.find("page 002"), std::string::npos) << first;
    const std::string last =
        qzs_test::CommandOutput("pdftotext -f 3 -l 3 '" + received.back() + "' -");
    EXPECT_NE(last.find("page 006"), std::string::npos) << last;
    EXPECT_NE(last.find("112"), std::string::npos) << last;

    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
    bool named = false;
    for (int i = 0; i < count; ++i) {
        named = named || std::string(jobs[i].title) == "MX-QzS ｼｽﾃﾑﾃﾞｰﾀ";
    }
    cupsFreeJobs(count, jobs);
    EXPECT_TRUE(named);
}

}  // namespace
