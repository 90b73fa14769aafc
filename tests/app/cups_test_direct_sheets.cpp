// The system speed-dial list as plain text pages onto the private CUPS: one job under the
// program's document name whose pages hold the header, the column head and the rows.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/direct_sheets.h"
#include "platform/printing/printers.h"
#include "programming/state.h"
#include "settings/data_image_startup.h"
#include "tests/fixtures/command_output.h"
#include "tests/fixtures/printing/cups_queue.h"

namespace {

// The scheduler's destinations with the test queue alone in the list: the sheets go to the first
// destination, and the fixture's rejecting queue sorts before the test queue.
class OnlyQueue final : public plat::PrinterSystem {
  public:
    OnlyQueue(std::shared_ptr<plat::PrinterSystem> cups, std::string queue)
        : cups_(std::move(cups)), queue_(std::move(queue)) {}
    bool ListPrinters(std::vector<plat::PrinterInfo>* out) override {
        std::vector<plat::PrinterInfo> all;
        if (!cups_->ListPrinters(&all)) return false;
        out->clear();
        for (const auto& p : all) {
            if (p.name == queue_) out->push_back(p);
        }
        return true;
    }
    bool DefaultPrinter(std::string* name) override { return cups_->DefaultPrinter(name); }
    bool ReadCapabilities(const std::string& p, plat::PrinterCapabilities* out) override {
        return cups_->ReadCapabilities(p, out);
    }
    plat::PrintError CreateJob(const std::string& p, const std::string& title,
                               const plat::JobOptions& options, int32_t* job) override {
        return cups_->CreateJob(p, title, options, job);
    }
    plat::PrintError SubmitDocument(const std::string& p, int32_t job,
                                    const std::string& pdf) override {
        return cups_->SubmitDocument(p, job, pdf);
    }
    plat::PrintError CancelJob(const std::string& p, int32_t job) override {
        return cups_->CancelJob(p, job);
    }
    plat::PrintError GetJobState(const std::string& p, int32_t job, plat::JobState* out) override {
        return cups_->GetJobState(p, job, out);
    }
    plat::PrintError ControlJob(const std::string& p, int32_t job,
                                plat::JobControl control) override {
        return cups_->ControlJob(p, job, control);
    }

  private:
    std::shared_ptr<plat::PrinterSystem> cups_;
    std::string queue_;
};

// The sheets print without any Qt application.
TEST(DirectSheets, SystemListOntoTheTestQueue) {
    const qzs_test::CupsQueue queue = qzs_test::CupsQueue::Load();
    ASSERT_TRUE(queue.valid);
    queue.Connect();
    plat::SetPrinterSystem(std::make_shared<OnlyQueue>(plat::MakeCupsPrinterSystem(), queue.queue));
    const size_t before = queue.Received().size();

    auto state = std::make_unique<qzs::ProgrammingState>();
    qzs::InitDataImage(*state);
    EXPECT_EQ(qzs::app::PrintDataSheets(*state, 1, {2026, 3, 9}), 0);
    plat::SetPrinterSystem(nullptr);

    const auto received = queue.WaitForReceived(before + 1);
    ASSERT_EQ(received.size(), before + 1);
    const std::string& pdf = received.back();
    const std::string info = qzs_test::CommandOutput("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Pages:           10"), std::string::npos) << info;
    EXPECT_NE(info.find("(A4)"), std::string::npos) << info;
    const std::string first =
        qzs_test::CommandOutput("pdftotext -layout -f 1 -l 1 '" + pdf + "' -");
    // The text extraction keeps the words of the header, not its blanks.
    std::string header = first.substr(0, first.find('\n'));
    std::erase(header, ' ');
    EXPECT_EQ(header, "データシート2026年03月09日page001") << first;
    EXPECT_NE(first.find("システム短縮"), std::string::npos) << first;
    EXPECT_NE(first.find("短縮: 電話番号"), std::string::npos) << first;
    EXPECT_NE(first.find("000"), std::string::npos) << first;
    EXPECT_NE(first.find("061"), std::string::npos) << first;
    EXPECT_EQ(first.find("062"), std::string::npos) << first;
    const std::string last =
        qzs_test::CommandOutput("pdftotext -layout -f 10 -l 10 '" + pdf + "' -");
    EXPECT_NE(last.find("page010"), std::string::npos) << last;
    EXPECT_NE(last.find("599"), std::string::npos) << last;

    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
    bool named = false;
    for (int i = 0; i < count; ++i) {
        named = named || (std::string(jobs[i].title) == "MX-4.10Nv データ設定" &&
                          std::string(jobs[i].dest) == queue.queue);
    }
    cupsFreeJobs(count, jobs);
    EXPECT_TRUE(named);
}

}  // namespace
