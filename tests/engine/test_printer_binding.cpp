// The printer binding on its own: a printer's capabilities read and coded, the lists taken with
// their resolution table and limits, papers matched and looked up by code and size, forgotten
// again.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/output/printer_binding.h"
#include "engine/output/printer_codes.h"
#include "engine_fakes.h"

namespace {

using namespace kp;
using namespace plat;
using fakes::Media;

// A4, A3, a second A4, an odd size; custom sizes from postcard to A3 unless told otherwise.
PrinterCapabilities Caps(bool customSizes = true) {
    PrinterCapabilities c;
    c.media = {Media("iso_a4_210x297mm", "A4", 21000, 29700),
               Media("iso_a3_297x420mm", "A3", 29700, 42000),
               Media("iso_a4_210x297mm_borderless", "A4 (borderless)", 21000, 29700),
               Media("oe_odd_123x234mm", "Odd", 12300, 23400)};
    c.defaultMedia = "iso_a4_210x297mm";
    c.sources = {{"auto", "Automatic"}};
    c.defaultSource = "auto";
    c.resolutions = {{300, 300}, {600, 600}};
    c.defaultResolution = {600, 600};
    c.copiesMax = 99;
    if (customSizes) {
        c.customMinWidth = 10000;
        c.customMinLength = 14800;
        c.customMaxWidth = 29700;
        c.customMaxLength = 42000;
    }
    return c;
}

PrinterBinding Bound(const PrinterCapabilities& caps) {
    PrinterBinding b;
    PrinterModel model = CodePrinter("Office", caps);
    const DevMode defaults = model.defaults;
    b.Bind(std::move(model));
    b.MeasureInfo(defaults);
    b.AdoptLimits();
    return b;
}

class PrinterBindingQuery : public ::testing::Test {
  protected:
    void SetUp() override {
        printers_ = std::make_shared<FakePrinterSystem>();
        SetPrinterSystem(printers_);
    }
    void TearDown() override { SetPrinterSystem(nullptr); }
    std::shared_ptr<FakePrinterSystem> printers_;
};

TEST_F(PrinterBindingQuery, CodesWhatThePrinterAnswers) {
    PrinterCapabilities noPaper = Caps(false);
    noPaper.media.clear();
    printers_->SetCapabilities("Office", Caps());
    printers_->SetCapabilities("Empty", noPaper);
    struct {
        const char* printer;
        int32_t code;
        size_t papers;
    } cases[] = {
        {"Office", rc::kOk, 5},  // the four and the user size
        {"Gone", rc::kPrinterOpenFailed, 0},
        {"Empty", rc::kCapabilityQueryFailed, 0},
    };
    for (const auto& c : cases) {
        PrinterModel model;
        EXPECT_EQ(PrinterBinding::Query(c.printer, &model), c.code) << c.printer;
        EXPECT_EQ(model.papers.size(), c.papers) << c.printer << ": a failure leaves the model";
    }
}

TEST(PrinterBinding, ResolutionTableHoldsAtMost99) {
    for (const size_t count : {size_t{0}, size_t{1}, size_t{99}, size_t{100}}) {
        PrinterModel model;
        for (size_t i = 1; i <= count; ++i) {
            model.resolutions.push_back({static_cast<int32_t>(i), static_cast<int32_t>(i)});
        }
        PrinterBinding b;
        b.Bind(model);
        EXPECT_TRUE(b.Bound());
        EXPECT_EQ(b.Resolutions().size(), count <= 99 ? count : 0) << count << " resolutions";
    }
}

TEST(PrinterBinding, LimitsWaitForAdoptionAndClearForgetsAllButTheNames) {
    PrinterBinding b;
    b.SetNames("Office", u"Office", u"Generic PostScript", u"ipp://office/ipp");
    PrinterModel model = CodePrinter("Office", Caps());
    const DevMode defaults = model.defaults;
    b.Bind(std::move(model));
    EXPECT_EQ(b.MaxWidth(), 0) << "a bound model whose settings failed keeps the old limits";
    EXPECT_EQ(b.Fields(), 0u);
    b.MeasureInfo(defaults);
    ASSERT_NE(b.Info(), nullptr);
    EXPECT_EQ(b.Info()->device().technology, kDtRasPrinter);
    b.AdoptLimits();
    EXPECT_EQ(b.MinWidth(), 1000);
    EXPECT_EQ(b.MaxLength(), 4200);
    EXPECT_EQ(b.CopiesLimit(), 99);
    EXPECT_TRUE(b.Supports(kDmPaperWidth | kDmPaperLength));

    DevMode unmeasurable = defaults;
    unmeasurable.dmPaperSize = 999;
    b.MeasureInfo(unmeasurable);
    EXPECT_EQ(b.Info(), nullptr) << "a paper the printer lacks has no information context";

    b.Clear();
    EXPECT_FALSE(b.Bound());
    EXPECT_TRUE(b.Model().papers.empty());
    EXPECT_TRUE(b.Resolutions().empty());
    EXPECT_EQ(b.Fields(), 0u);
    EXPECT_EQ(b.MaxWidth(), 0);
    EXPECT_EQ(b.PrinterName(), "Office");
    EXPECT_EQ(b.DriverName(), u"Generic PostScript");
}

TEST(PrinterBinding, PaperMatching) {
    const PrinterBinding office = Bound(Caps());
    const PrinterBinding fixed = Bound(Caps(false));
    struct {
        const PrinterBinding* printer;
        int16_t code;
        int32_t w, l;
        bool match;
        int16_t after;
        const char* why;
    } cases[] = {
        {&office, 9, 2100, 2970, true, 9, "A4 is listed"},
        {&office, 11, 1480, 2100, false, 11, "A5 is not"},
        {&office, 300, 2970, 4200, true, 8, "a size code of the report's own finds A3"},
        {&office, 300, 1111, 2222, false, 300, "no paper of that size"},
        {&office, 256, 1500, 2000, true, 256, "a user size inside the extents"},
        {&office, 256, 900, 2000, false, 256, "narrower than the printer takes"},
        {&office, 256, 1500, 4201, false, 256, "longer than the printer takes"},
        {&fixed, 256, 1500, 2000, false, 256, "no settable size: a user size never matches"},
        {&fixed, 9, 2100, 2970, true, 9, "listed papers still match"},
    };
    for (const auto& c : cases) {
        int16_t code = c.code;
        EXPECT_EQ(c.printer->MatchPaper(&code, c.w, c.l), c.match) << c.why;
        EXPECT_EQ(code, c.after) << c.why;
    }
}

TEST(PrinterBinding, LookupsBySizeAndCode) {
    const PrinterBinding b = Bound(Caps());
    struct {
        int32_t w, l;
        int16_t code;
    } bySize[] = {{2101, 2969, 9}, {2100, 2972, -1}, {2970, 4200, 8}, {1, 1, -1}};
    for (const auto& c : bySize) {
        EXPECT_EQ(b.FindPaperBySize(c.w, c.l), c.code) << c.w << "x" << c.l;
    }
    ASSERT_NE(b.PaperOfCode(8), nullptr);
    EXPECT_EQ(b.PaperOfCode(8)->length, 4200);
    EXPECT_EQ(b.PaperOfCode(70), nullptr);
    EXPECT_EQ(PrinterBinding().FindPaperBySize(2100, 2970), -1) << "nothing bound";
}

// The binding asks and moves the jobs of its own printer's queue only; each command is its
// control, and one outside 1 to 5 reaches no queue.
TEST_F(PrinterBindingQuery, JobsOfItsQueue) {
    PrinterBinding office = Bound(Caps());
    office.SetNames("Office", u"Office", u"", u"");
    printers_->SetCapabilities("Office", Caps());
    printers_->SetCapabilities("Label", Caps());
    int32_t id = 0, other = 0;
    ASSERT_EQ(printers_->CreateJob("Office", "t", {}, &id), PrintError::kOk);
    ASSERT_EQ(printers_->CreateJob("Label", "t", {}, &other), PrintError::kOk);
    uint32_t word = 7;
    EXPECT_EQ(office.JobStatus(id, &word), rc::kOk);
    EXPECT_EQ(word, 0x8u) << "held as it comes in";
    word = 7;
    EXPECT_EQ(office.JobStatus(other, &word), rc::kNoSuchJob) << "another printer's job";
    EXPECT_EQ(office.JobStatus(999, &word), rc::kNoSuchJob);
    EXPECT_EQ(word, 7u);

    struct {
        uint32_t command;
        int32_t code;
    } cases[] = {{0, rc::kOutOfRange},
                 {6, rc::kOutOfRange},
                 {1, rc::kOk},
                 {2, rc::kOk},
                 {2, rc::kJobControlFailed},
                 {3, rc::kOk},
                 {5, rc::kJobControlFailed},
                 {4, rc::kOk}};
    for (const auto& c : cases) EXPECT_EQ(office.ControlJob(id, c.command), c.code) << c.command;
    EXPECT_EQ(office.ControlJob(other, 3), rc::kNoSuchJob);
    FakePrinterSystem::Job record;
    ASSERT_TRUE(printers_->GetJob(id, &record));
    EXPECT_EQ(record.controls, (std::vector<JobControl>{JobControl::kHold, JobControl::kRelease,
                                                        JobControl::kRelease, JobControl::kCancel,
                                                        JobControl::kPurge, JobControl::kRestart}));
}

}  // namespace
