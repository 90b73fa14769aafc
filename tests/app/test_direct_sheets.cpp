// The sheets as plain text pages: the decimal fields, the text a sheet line prints as, the page
// splitting against a recording context, and the printing onto a scripted printer system.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/direct_sheets.h"
#include "platform/automation/automation.h"
#include "platform/gdi/device_context.h"
#include "platform/printing/printers.h"
#include "programming/state.h"
#include "settings/data_image_startup.h"
#include "tests/fixtures/command_output.h"

namespace {

using qzs::app::DirectSheetText;
using qzs::app::FormatDecimalField;
using qzs::app::PrintSheetPages;
using qzs::app::SheetDate;

constexpr SheetDate kDay{2026, 3, 9};

TEST(FormatDecimalField, WidthsOneToThreeZeroFillTheRestStayBlank) {
    const struct {
        int value;
        int width;
        const char* text;
    } cases[] = {
        {7, 1, "7"},   {9, 1, "9"},    {10, 1, "0"},        {0, 2, "00"},    {5, 2, "05"},
        {99, 2, "99"}, {100, 2, "00"}, {42, 3, "042"},      {999, 3, "999"}, {1000, 3, "000"},
        {-1, 2, "00"}, {5, 4, "    "}, {12345, 5, "     "}, {5, 0, ""},      {5, -3, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDecimalField(c.value, c.width), c.text) << c.value << " width " << c.width;
    }
}

std::u16string U16(const char* utf8) {
    return plat::WideFromUtf8(utf8);
}

// CP932 bytes of a UTF-8 text.
std::string Sjis(const char* utf8) {
    std::string out;
    EXPECT_TRUE(plat::Cp932FromWide(plat::WideFromUtf8(utf8), &out)) << utf8;
    return out;
}

TEST(DirectSheetText, CutAtSixtyFourBytesWithoutHalfCharacters) {
    const std::string a62(62, 'a');
    const std::string a63(63, 'a');
    const struct {
        std::string line;
        std::u16string text;
        const char* what;
    } cases[] = {
        {a62 + Sjis("漢") + "tail", U16((a62 + "漢").c_str()), "a character in columns 62-63"},
        {a63 + Sjis("漢") + "tail", U16(a63.c_str()), "a lead byte in column 63 goes whole"},
        {std::string("12\0\0"
                     "34",
                     6),
         u"12  34", "NUL bytes print as blanks"},
        {"ab\x80"
         "cd",
         u"ab\uFFFDcd", "an undefined byte"},
        {std::string("x\x81\0y", 4), u"x\uFFFD y", "a lead byte without its trail byte"},
        {Sjis("ｶﾅ名称"), U16("ｶﾅ名称"), "half-width kana and kanji"},
        {"short", u"short", "a line shorter than the cut"},
    };
    for (const auto& c : cases) EXPECT_EQ(DirectSheetText(c.line), c.text) << c.what;
}

// A printer-like context that keeps every text drawn, at 254 dots per inch so that device
// units are the page's 0.1 mm.
class RecordingDc final : public plat::DeviceContext {
  public:
    RecordingDc()
        : plat::DeviceContext(plat::DeviceInfo::ForPixels(2100, 2970, 254, plat::kDtRasPrinter)) {}

    struct Text {
        std::u16string text;
        plat::POINT at;
    };
    std::vector<std::vector<Text>> pages;

  protected:
    void DrawDeviceText(const plat::DeviceText& text) override {
        if (!pages.empty()) pages.back().push_back({text.text, text.origins.at(0)});
    }
};

class RecordingSink final : public qzs::app::SheetPageSink {
  public:
    plat::DeviceContext& dc() override { return dc_; }
    bool StartPage() override {
        if (open_) return false;
        open_ = true;
        dc_.pages.emplace_back();
        return true;
    }
    bool EndPage() override {
        const bool was = open_;
        open_ = false;
        return was && fail_end_page_ != static_cast<int>(dc_.pages.size());
    }
    const std::vector<std::vector<RecordingDc::Text>>& pages() const { return dc_.pages; }
    int fail_end_page_ = 0;

  private:
    RecordingDc dc_;
    bool open_ = false;
};

qzs::SheetLine Line(const std::string& text) {
    qzs::SheetLine line;
    line.fill(' ');
    std::copy(text.begin(), text.begin() + std::min(text.size(), line.size()), line.begin());
    return line;
}

std::vector<qzs::SheetLine> Lines(int count) {
    std::vector<qzs::SheetLine> lines;
    for (int i = 0; i < count; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "row%03d", i);
        lines.push_back(Line(text));
    }
    return lines;
}

TEST(PrintSheetPages, SixtyTwoRowsAPageUnderHeaderTitleAndColumnHead) {
    const struct {
        int lines;
        int pages;
        int last_rows;
    } cases[] = {{0, 1, 0}, {1, 1, 1}, {62, 1, 62}, {63, 2, 1}, {130, 3, 6}};
    for (const auto& c : cases) {
        RecordingSink sink;
        ASSERT_TRUE(PrintSheetPages(sink, 1, Lines(c.lines), kDay)) << c.lines;
        ASSERT_EQ(static_cast<int>(sink.pages().size()), c.pages) << c.lines;
        int row = 0;
        for (size_t p = 0; p < sink.pages().size(); ++p) {
            const auto& texts = sink.pages()[p];
            const int rows = p + 1 == sink.pages().size() ? c.last_rows : 62;
            ASSERT_EQ(static_cast<int>(texts.size()), 3 + rows) << c.lines << " page " << p + 1;
            char page[32];
            std::snprintf(page, sizeof page, "page%03zu", p + 1);
            const std::u16string header = U16("データシート        2026  年  03  月  09  日  ") +
                                          std::u16string(11, u' ') + U16(page);
            EXPECT_EQ(texts[0].text, header);
            EXPECT_EQ(texts[0].at, (plat::POINT{150, 50}));
            EXPECT_EQ(texts[1].text, U16("システム短縮"));
            EXPECT_EQ(texts[1].at, (plat::POINT{150, 100}));
            EXPECT_EQ(texts[2].text,
                      U16("短縮: 電話番号                 : カナ名称     : 漢字名称     :Ｇ"));
            EXPECT_EQ(texts[2].at, (plat::POINT{150, 150}));
            for (int r = 0; r < rows; ++r, ++row) {
                char text[32];
                std::snprintf(text, sizeof text, "row%03d", row);
                const auto& drawn = texts[static_cast<size_t>(3 + r)];
                EXPECT_EQ(drawn.text, U16(text) + std::u16string(58, u' '));
                EXPECT_EQ(drawn.at.x, 150);
                EXPECT_EQ(drawn.at.y, 200 + 42 * r);
            }
        }
    }
}

TEST(PrintSheetPages, TitlesAndHeadsOfTheKinds) {
    const struct {
        int kind;
        const char* title;
        const char* head;
    } cases[] = {
        {'0', "保守・システム系コマンド", "コマンド        表示内容"},
        {'3', "外線着信系コマンド", "コマンド        表示内容"},
        {'9', "外部機器・ＩＳＤＮ・課金に関するコマンド", "コマンド        表示内容"},
        {'2', "全データ設定", "コマンド        表示内容"},
        {2, "電話機毎短縮", "TEL:短縮: 電話番号                 : カナ名称     : 漢字名称"},
    };
    for (const auto& c : cases) {
        RecordingSink sink;
        ASSERT_TRUE(PrintSheetPages(sink, c.kind, Lines(1), kDay)) << c.kind;
        ASSERT_EQ(sink.pages().size(), 1u);
        ASSERT_EQ(sink.pages()[0].size(), 4u);
        EXPECT_EQ(sink.pages()[0][1].text, U16(c.title)) << c.kind;
        EXPECT_EQ(sink.pages()[0][2].text, U16(c.head)) << c.kind;
    }
}

TEST(PrintSheetPages, OtherKindsAndFailedPagesAnswerFalse) {
    for (const int kind : {0, 3, -1, int{'a'}, '0' - 1, '9' + 1}) {
        RecordingSink sink;
        EXPECT_FALSE(PrintSheetPages(sink, kind, Lines(3), kDay)) << kind;
        EXPECT_TRUE(sink.pages().empty()) << kind;
    }
    // A page that cannot be ended stops the printing there.
    RecordingSink sink;
    sink.fail_end_page_ = 2;
    EXPECT_FALSE(PrintSheetPages(sink, 1, Lines(200), kDay));
    EXPECT_EQ(sink.pages().size(), 2u);
}

// PrintDataSheets against a scripted printer system, without any Qt application.
class PrintDataSheetsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake_ = std::make_shared<plat::FakePrinterSystem>();
        plat::SetPrinterSystem(fake_);
        state_ = std::make_unique<qzs::ProgrammingState>();
        qzs::InitDataImage(*state_);
    }
    void TearDown() override { plat::SetPrinterSystem(nullptr); }
    // Two printers, the default second; the first takes A4 among other papers.
    void OnePrinter() {
        fake_->SetPrinters({{"first", "", "", false}, {"second", "", "", true}});
        plat::PrinterCapabilities caps;
        caps.media = {{"na_letter_8.5x11in", "Letter", 21590, 27940, 423, 423, 423, 423},
                      {"iso_a4_210x297mm", "A4", 21000, 29700, 423, 423, 423, 423}};
        caps.defaultResolution = {600, 600};
        fake_->SetCapabilities("first", caps);
        fake_->SetCapabilities("second", caps);
    }

    std::shared_ptr<plat::FakePrinterSystem> fake_;
    std::unique_ptr<qzs::ProgrammingState> state_;
};

TEST_F(PrintDataSheetsTest, OtherKindsAnswerTwoWithoutAskingForPrinters) {
    OnePrinter();
    for (const int kind : {3, 4, -1, 10, int{'a'}, int{'/'}, int{':'}}) {
        EXPECT_EQ(qzs::app::PrintDataSheets(*state_, kind, kDay), 2) << kind;
    }
    EXPECT_EQ(fake_->ListCalls(), 0);
    EXPECT_EQ(fake_->JobCount(), 0u);
}

TEST_F(PrintDataSheetsTest, NoPrinterAnswersOne) {
    EXPECT_EQ(qzs::app::PrintDataSheets(*state_, 1, kDay), 1);
    fake_->SetListFails(true);
    EXPECT_EQ(qzs::app::PrintDataSheets(*state_, 0, kDay), 1);
    EXPECT_EQ(fake_->JobCount(), 0u);
}

TEST_F(PrintDataSheetsTest, SystemListOnTheFirstPrinterAsOneA4Job) {
    OnePrinter();
    ASSERT_EQ(qzs::app::PrintDataSheets(*state_, 1, kDay), 0);
    ASSERT_EQ(fake_->JobCount(), 1u);
    plat::FakePrinterSystem::Job job;
    ASSERT_TRUE(fake_->GetJob(1, &job));
    EXPECT_EQ(job.printer, "first");
    EXPECT_EQ(job.title, "MX-4.10Nv データ設定");
    EXPECT_EQ(job.options,
              (plat::JobOptions{
                  {"media", "iso_a4_210x297mm"}, {"orientation-requested", "3"}, {"copies", "1"}}));
    ASSERT_TRUE(job.submitted);
    const std::string pdf = ::testing::TempDir() + "direct-" + std::to_string(getpid()) + ".pdf";
    std::ofstream(pdf, std::ios::binary) << job.document;
    // 600 system rows, 62 a page.
    EXPECT_EQ(qzs_test::CommandOutput("qpdf --show-npages '" + pdf + "'"), "10\n");
    EXPECT_NE(qzs_test::CommandOutput("pdfinfo '" + pdf + "'").find("(A4)"), std::string::npos);
    const std::string last = qzs_test::CommandOutput("pdftotext -f 10 -l 10 '" + pdf + "' -");
    EXPECT_NE(last.find("page010"), std::string::npos) << last;
    EXPECT_NE(last.find("599"), std::string::npos) << last;
    std::remove(pdf.c_str());
}

TEST_F(PrintDataSheetsTest, AFailedJobIsCancelledAndAnswersOne) {
    OnePrinter();
    fake_->FailNextCreate(plat::PrintError::kQueueFull);
    EXPECT_EQ(qzs::app::PrintDataSheets(*state_, 2, kDay), 1);
    fake_->FailNextSubmit(plat::PrintError::kNoSpace);
    EXPECT_EQ(qzs::app::PrintDataSheets(*state_, 2, kDay), 1);
    ASSERT_EQ(fake_->JobCount(), 1u);
    plat::FakePrinterSystem::Job job;
    ASSERT_TRUE(fake_->GetJob(1, &job));
    EXPECT_FALSE(job.submitted);
    EXPECT_EQ(job.state.state, plat::kJobCanceled);
}

}  // namespace
