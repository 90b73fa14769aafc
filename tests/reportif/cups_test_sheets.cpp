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
#include "tests/fixtures/printing/cups_queue.h"
#include "tests/fixtures/command_output.h"

namespace {

class Messages final : public qzs::app::MessagePort {
  public:
    std::vector<std::string> shown;
    int ShowMessage(std::string_view text, std::string_view, qzs::app::MessageIcon,
                    qzs::app::MessageButtons) override {
        shown.emplace_back(text);
        return qzs::app::kIdOk;
    }
};

TEST(SheetPrinting, MyPhoneBookOnTwoUpLandscapeSheets) {
    static int argc = 1;
    static char name[] = "cups_test_sheets";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The engine shows its cancel dialog, a widget, on this thread.
    QApplication gui(argc, argv);
    const qzs_test::CupsQueue queue = qzs_test::CupsQueue::Load();
    ASSERT_TRUE(queue.valid);
    queue.Connect();
    setenv("QZS_ENGINE", QZS_KPENGN30_PATH, 1);
    // The engine finds its control library by name; loaded here first, a sanitizer's dlopen
    // cannot hide it.
    ASSERT_NE(dlopen(QZS_KPCTRL30_PATH, RTLD_NOW | RTLD_LOCAL), nullptr) << dlerror();
    const size_t before = queue.Received().size();

    auto state = std::make_unique<qzs::ProgrammingState>();
    qzs::InitDataImage(*state);
    kpcif::KpcifReportInterface rif;
    Messages messages;
    qzs::app::SheetPrintContext context;
    context.rif = &rif;
    context.state = state.get();
    context.messages = &messages;
    context.start_directory = std::string(QZS_BINARY_DIR) + "/tools";
    context.today = [] { return qzs::app::SheetDate{2026, 3, 9}; };
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
    EXPECT_NE(info.find("Page size:       842 x 595 pts"), std::string::npos) << info;
    const std::string first = qzs_test::CommandOutput("pdftotext -f 1 -l 1 '" + received.back() + "' -");
    EXPECT_NE(first.find("マイ電話帳"), std::string::npos) << first;
    EXPECT_NE(first.find("page 001"), std::string::npos) << first;
    EXPECT_NE(first.find("page 002"), std::string::npos) << first;
    const std::string last = qzs_test::CommandOutput("pdftotext -f 3 -l 3 '" + received.back() + "' -");
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
