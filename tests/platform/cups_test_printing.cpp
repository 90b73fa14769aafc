// The CUPS back end of the printer system against the private scheduler of the cups_queue
// fixture: destinations, capabilities read from qzs-test.ppd, and jobs from creation to the
// document the receiving printer keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "platform/printing/printers.h"
#include "tests/fixtures/printing/cups_queue.h"
#include "tests/fixtures/printing/tiny_pdf.h"

namespace {

using namespace plat;

class CupsBackEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        queue_ = qzs_test::CupsQueue::Load();
        ASSERT_TRUE(queue_.valid) << "the cups_queue fixture did not start";
        queue_.Connect();
        cups_ = MakeCupsPrinterSystem();
        pdf_ = (std::filesystem::temp_directory_path() /
                ("qzs-cups-test-" + std::to_string(::getpid()) + ".pdf"))
                   .string();
        ASSERT_TRUE(qzs_test::WriteTinyPdf(pdf_, {"ONE", "TWO"}));
    }
    void TearDown() override { std::filesystem::remove(pdf_); }

    // Polls the job until it ends (canceled, aborted or completed) or 20 s pass.
    JobState WaitForEnd(int32_t job) {
        JobState s;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            EXPECT_EQ(cups_->GetJobState(queue_.queue, job, &s), PrintError::kOk);
            if (s.state >= kJobCanceled) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return s;
    }

    qzs_test::CupsQueue queue_;
    std::shared_ptr<PrinterSystem> cups_;
    std::string pdf_;
};

TEST_F(CupsBackEnd, ListsTheQueuesWithTheDefault) {
    std::vector<PrinterInfo> printers;
    ASSERT_TRUE(cups_->ListPrinters(&printers));
    ASSERT_EQ(printers.size(), 3u);
    const auto find = [&](const std::string& name) {
        return std::find_if(printers.begin(), printers.end(),
                            [&](const PrinterInfo& p) { return p.name == name; });
    };
    ASSERT_NE(find(queue_.queue), printers.end());
    ASSERT_NE(find(queue_.rejecting), printers.end());
    ASSERT_NE(find(queue_.points), printers.end());
    EXPECT_TRUE(find(queue_.queue)->isDefault);
    EXPECT_FALSE(find(queue_.points)->isDefault);
    EXPECT_FALSE(find(queue_.rejecting)->isDefault);
    EXPECT_EQ(find(queue_.queue)->makeAndModel, "KORVA QZS Test Printer");
    EXPECT_NE(find(queue_.queue)->deviceUri.find("snmp=false"), std::string::npos);
    std::string name;
    ASSERT_TRUE(cups_->DefaultPrinter(&name));
    EXPECT_EQ(name, queue_.queue);
}

TEST_F(CupsBackEnd, CapabilitiesFromThePpd) {
    PrinterCapabilities caps;
    ASSERT_TRUE(cups_->ReadCapabilities(queue_.queue, &caps));
    // 12 points of margin are 423 hundredths of a millimetre.
    const auto a4 = std::find_if(caps.media.begin(), caps.media.end(),
                                 [](const MediaInfo& m) { return m.media == "iso_a4_210x297mm"; });
    ASSERT_NE(a4, caps.media.end());
    EXPECT_EQ(a4->width, 21000);
    EXPECT_EQ(a4->length, 29700);
    EXPECT_EQ(a4->left, 423);
    EXPECT_EQ(a4->top, 423);
    EXPECT_EQ(caps.defaultMedia, "iso_a4_210x297mm");
    EXPECT_EQ(caps.media.size(), 6u) << "A4, A3, A5, JIS B5, Letter, Postcard";
    // Custom sizes from postcard to A3.
    EXPECT_EQ(caps.customMinWidth, 10000);
    EXPECT_EQ(caps.customMinLength, 14800);
    EXPECT_EQ(caps.customMaxWidth, 29700);
    EXPECT_EQ(caps.customMaxLength, 42000);
    EXPECT_EQ(caps.customMargins.left, 423);
    std::vector<std::string> sources;
    for (const auto& s : caps.sources) sources.push_back(s.keyword);
    EXPECT_EQ(sources, (std::vector<std::string>{"auto", "tray-1", "manual"}));
    EXPECT_EQ(caps.resolutions, (std::vector<Resolution>{{300, 300}, {600, 600}}));
    EXPECT_EQ(caps.defaultResolution, (Resolution{600, 600}));
    EXPECT_GT(caps.copiesMax, 1);
    EXPECT_TRUE(caps.color);
    EXPECT_TRUE(caps.accepting);

    PrinterCapabilities refusing;
    ASSERT_TRUE(cups_->ReadCapabilities(queue_.rejecting, &refusing));
    EXPECT_FALSE(refusing.accepting);
    EXPECT_FALSE(cups_->ReadCapabilities("no-such-queue", &refusing));
}

// A driver's sizes in whole points come converted a little off the papers their names give.
TEST_F(CupsBackEnd, PapersOfADriverInWholePoints) {
    PrinterCapabilities caps;
    ASSERT_TRUE(cups_->ReadCapabilities(queue_.points, &caps));
    const struct {
        const char* media;
        int32_t width, length;  // 0.01 mm: points x 2540 / 72
    } expected[] = {
        {.media = "iso_a4_210x297mm", .width = 20990, .length = 29704},
        {.media = "iso_a3_297x420mm", .width = 29704, .length = 42016},
        {.media = "jis_b4_257x364mm", .width = 25717, .length = 36407},
        {.media = "jis_b5_182x257mm", .width = 18203, .length = 25717},
        {.media = "na_letter_8.5x11in", .width = 21590, .length = 27940},
        {.media = "na_legal_8.5x14in", .width = 21590, .length = 35560},
    };
    EXPECT_EQ(caps.media.size(), std::size(expected));
    for (const auto& e : expected) {
        SCOPED_TRACE(e.media);
        const auto m = std::find_if(caps.media.begin(), caps.media.end(),
                                    [&](const MediaInfo& x) { return x.media == e.media; });
        ASSERT_NE(m, caps.media.end());
        EXPECT_NEAR(m->width, e.width, 1);
        EXPECT_NEAR(m->length, e.length, 1);
    }
}

TEST_F(CupsBackEnd, JobFromCreationToTheReceivedDocument) {
    const size_t before = queue_.Received().size();
    int32_t job = 0;
    ASSERT_EQ(cups_->CreateJob(queue_.queue, "qzs job", {{"media", "iso_a4_210x297mm"}}, &job),
              PrintError::kOk);
    EXPECT_GT(job, 0);
    JobState waiting;
    ASSERT_EQ(cups_->GetJobState(queue_.queue, job, &waiting), PrintError::kOk);
    EXPECT_EQ(JobStatusWord(waiting), 0x8u) << "spooling while the document is not in";

    ASSERT_EQ(cups_->SubmitDocument(queue_.queue, job, pdf_), PrintError::kOk);
    const JobState done = WaitForEnd(job);
    EXPECT_EQ(done.state, kJobCompleted);
    EXPECT_EQ(JobStatusWord(done), 0x1080u);
    const auto received = queue_.WaitForReceived(before + 1);
    ASSERT_EQ(received.size(), before + 1);

    // Another queue's job is no job of this one; an unknown id is no job at all.
    JobState other;
    EXPECT_EQ(cups_->GetJobState(queue_.rejecting, job, &other), PrintError::kNoSuchJob);
    EXPECT_EQ(cups_->GetJobState(queue_.queue, 99999, &other), PrintError::kNoSuchJob);
}

TEST_F(CupsBackEnd, CancelledJobPrintsNothing) {
    const size_t before = queue_.Received().size();
    int32_t job = 0;
    ASSERT_EQ(cups_->CreateJob(queue_.queue, "qzs cancelled", {}, &job), PrintError::kOk);
    ASSERT_EQ(cups_->CancelJob(queue_.queue, job), PrintError::kOk);
    JobState s;
    ASSERT_EQ(cups_->GetJobState(queue_.queue, job, &s), PrintError::kOk);
    EXPECT_EQ(s.state, kJobCanceled);
    cups_->SubmitDocument(queue_.queue, job, pdf_);  // too late, whatever the spooler answers
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(queue_.Received().size(), before);
}

TEST_F(CupsBackEnd, HeldJobReleasedAndRejectingQueue) {
    const size_t before = queue_.Received().size();
    int32_t job = 0;
    ASSERT_EQ(cups_->CreateJob(queue_.queue, "qzs held", {{"job-hold-until", "indefinite"}}, &job),
              PrintError::kOk);
    ASSERT_EQ(cups_->SubmitDocument(queue_.queue, job, pdf_), PrintError::kOk);
    JobState s;
    ASSERT_EQ(cups_->GetJobState(queue_.queue, job, &s), PrintError::kOk);
    EXPECT_EQ(s.state, kJobHeld);
    EXPECT_EQ(JobStatusWord(s), 0x1u);
    ASSERT_EQ(cups_->ControlJob(queue_.queue, job, JobControl::kRelease), PrintError::kOk);
    EXPECT_EQ(WaitForEnd(job).state, kJobCompleted);
    EXPECT_EQ(queue_.WaitForReceived(before + 1).size(), before + 1);
    EXPECT_EQ(cups_->ControlJob(queue_.queue, 99999, JobControl::kCancel), PrintError::kNoSuchJob);

    int32_t refused = 0;
    EXPECT_EQ(cups_->CreateJob(queue_.rejecting, "qzs refused", {}, &refused),
              PrintError::kQueueFull);
}

}  // namespace
