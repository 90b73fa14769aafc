// The data sheets filled page by page against a recorder of the report interface: page counts
// and group splits of every kind on a fresh data image, the page texts, the row rules, and a
// failing call that ends the filling before its page is output.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/sheet_fill.h"
#include "programming/state.h"
#include "settings/data_image_startup.h"

namespace qzs::app {
namespace {

// Records the texts of each page; every call succeeds unless fail_text names the field whose
// text call fails.
class Recorder final : public ReportInterface {
  public:
    using Page = std::map<std::string, std::string>;
    std::vector<Page> pages;
    Page current;
    std::vector<std::string> calls;
    std::string fail_text;
    int clears = 0;
    int font_sizes = 0;

    int StartEngine(int*) override { return 1; }
    int Exit(int*) override { return 1; }
    int SetErrorDispMode(int) override { return 1; }
    int GetLastErrorCode(int* code) override { return *code = 0, 1; }
    int SetWEventProc(ReportEventCallback) override { return 1; }
    uint32_t LoadReport(const std::string&) override { return 1; }
    int SetLayerVisible(uint32_t, int, int) override { return 1; }
    int SetEditLayer(uint32_t, int) override { return 1; }
    int ClearLayerData(uint32_t report, int layer) override {
        EXPECT_EQ(report, 7u);
        EXPECT_EQ(layer, 1);
        ++clears;
        current.clear();
        return 1;
    }
    int DeleteReport(uint32_t) override { return 1; }
    int SetText(uint32_t, const std::string& name, const std::string& text) override {
        if (name == fail_text) return 0;
        current[name] = text;
        return 1;
    }
    int SetFontSize(uint32_t, const std::string&, float size) override {
        EXPECT_EQ(size, 9.0f);
        ++font_sizes;
        return 1;
    }
    uint32_t CreatePreview() override { return 1; }
    int GetPreviewStatus(uint32_t, int*) override { return 1; }
    int SetPreviewLayer(uint32_t, int, int) override { return 1; }
    int SetPrintLayer(uint32_t, int, int) override { return 1; }
    int SetToolBarItems(uint32_t, uint32_t) override { return 1; }
    int SetAutoScale(uint32_t, int) override { return 1; }
    int SetPreviewScale(uint32_t, int) override { return 1; }
    int SetPreviewMode(uint32_t, int) override { return 1; }
    int SetWindowCaption(uint32_t, const std::string&) override { return 1; }
    int OpenPreview(uint32_t, int) override { return 1; }
    int PreviewReportPrint(uint32_t preview, uint32_t report) override {
        calls.push_back("preview " + std::to_string(preview) + " " + std::to_string(report));
        pages.push_back(current);
        return 1;
    }
    int ClosePreview(uint32_t) override { return 1; }
    int DeletePreview(uint32_t) override { return 1; }
    uint32_t CreatePrinter(const std::string&) override { return 1; }
    int ShowPrinterDialog(uint32_t, uint32_t, int) override { return 1; }
    int SetJobName(uint32_t, const std::string&) override { return 1; }
    int SetScalePrint(uint32_t, int) override { return 1; }
    int SetPaperSize(uint32_t, int) override { return 1; }
    int SetOrientation(uint32_t, int) override { return 1; }
    int SetScalePaperFit(uint32_t, int) override { return 1; }
    int SetMultiPrint(uint32_t, int) override { return 1; }
    int SetMultiPrintLayout(uint32_t, int) override { return 1; }
    int SetScalePrintLayout(uint32_t, int) override { return 1; }
    int SetCancelDlg(uint32_t, int) override { return 1; }
    int UpdateInfo(uint32_t) override { return 1; }
    int OpenPrinter(uint32_t, uint32_t) override { return 1; }
    int PrinterReportPrint(uint32_t printer, uint32_t report) override {
        calls.push_back("printer " + std::to_string(printer) + " " + std::to_string(report));
        pages.push_back(current);
        return 1;
    }
    int PreviewPrint(uint32_t, uint32_t, uint32_t) override { return 1; }
    int GetPrinterStatus(uint32_t, int*) override { return 1; }
    int ClosePrinter(uint32_t, int) override { return 1; }
    int DeletePrinter(uint32_t) override { return 1; }
};

class SheetFillTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state_ = std::make_unique<ProgrammingState>();
        InitDataImage(*state_);
    }
    int Fill(int kind, int mode = kPrintModePreview) {
        FillTarget target;
        target.mode = mode;
        target.report = 7;
        target.preview = 8;
        target.printer = 9;
        target.wait_cursor = [this](bool on) { waits_ += on ? 1 : 0; };
        return FillReport(rec_, *state_, kind, target, SheetDate{2026, 3, 9});
    }
    std::unique_ptr<ProgrammingState> state_;
    Recorder rec_;
    int waits_ = 0;
};

TEST_F(SheetFillTest, PageCountsOfEveryKind) {
    const struct {
        int kind;
        size_t pages;
        int clears;  // a phone-book page without rows is begun but not output
    } cases[] = {{0, 54, 54}, {1, 15, 16}, {2, 6, 7}, {3, 10, 10}};
    for (const auto& c : cases) {
        rec_ = Recorder();
        waits_ = 0;
        EXPECT_EQ(Fill(c.kind), 1) << c.kind;
        EXPECT_EQ(rec_.pages.size(), c.pages) << c.kind;
        EXPECT_EQ(rec_.clears, c.clears) << c.kind;
        EXPECT_EQ(waits_, c.clears) << c.kind;
    }
}

TEST_F(SheetFillTest, DataSettingGroupsSplitAndNumberTheirPages) {
    ASSERT_EQ(Fill(0), 1);
    ASSERT_EQ(rec_.pages.size(), 54u);
    const int groupPages[] = {5, 6, 19, 1, 8, 2, 1, 1, 2, 1, 1, 5, 1, 1};
    size_t page = 0;
    for (int group = 0; group < 14; ++group) {
        for (int p = 1; p <= groupPages[group]; ++p, ++page) {
            ASSERT_LT(page, rec_.pages.size());
            char text[32];
            std::snprintf(text, sizeof text, "page %02d／%02d", p, groupPages[group]);
            EXPECT_EQ(rec_.pages[page]["ComPageNO"], Cp932(text)) << "group " << group;
            std::snprintf(text, sizeof text, " %zu／54 ", page + 1);
            EXPECT_EQ(rec_.pages[page]["PageNO"], Cp932(text));
        }
    }
    EXPECT_EQ(rec_.pages[0]["TitleMain"], Cp932("保守・システム系コマンド"));
    EXPECT_EQ(rec_.pages[53]["TitleMain"], Cp932("ディジタルコードレスに関するコマンド"));
    EXPECT_EQ(rec_.pages[0]["Date"], Cp932(" 2026年03月09日 "));
    EXPECT_EQ(rec_.pages[0]["ComTitle4"], Cp932(" コマンド "));
    // The splits by command number: the last row of group 7 is at most 9199, the first row of
    // group 8 above it, and so on to group 12's 9499.
    const int lastCommand[] = {9199, 9250, 9280, 9299, 9399, 9499};
    size_t groupStart = 5 + 6 + 19 + 1 + 8 + 2 + 1;  // first page of group 7
    for (int g = 7; g <= 12; ++g) {
        const size_t lastPage = groupStart + groupPages[g] - 1;
        const size_t nextPage = lastPage + 1;
        std::string lastRow;
        for (int n = 1; n <= 160; ++n) {
            const auto it = rec_.pages[lastPage].find("Com" + std::to_string(n));
            if (it != rec_.pages[lastPage].end()) lastRow = it->second;
        }
        ASSERT_GE(lastRow.size(), 4u) << g;
        EXPECT_LE(std::stoi(lastRow.substr(0, 4)), lastCommand[g - 7]) << g;
        const std::string firstNext = rec_.pages[nextPage]["Com1"];
        ASSERT_GE(firstNext.size(), 4u) << g;
        EXPECT_GT(std::stoi(firstNext.substr(0, 4)), lastCommand[g - 7]) << g;
        groupStart = nextPage;
    }
    // Every row got its font size before its text.
    size_t rows = 0;
    for (const auto& p : rec_.pages) {
        for (const auto& [name, text] : p)
            rows += name.rfind("Com", 0) == 0 && name.size() > 3 &&
                    name.find("Page") == std::string::npos &&
                    name.find("Title") == std::string::npos;
    }
    EXPECT_EQ(static_cast<size_t>(rec_.font_sizes), rows);
}

TEST_F(SheetFillTest, PhoneBookRowsAndTitles) {
    ASSERT_EQ(Fill(1, 3), 1);
    ASSERT_EQ(rec_.pages.size(), 15u);
    EXPECT_EQ(rec_.calls.front(), "printer 9 7");
    EXPECT_EQ(rec_.pages[0]["Short1"], "000");
    EXPECT_EQ(rec_.pages[14]["Short40"], "599");
    EXPECT_EQ(rec_.pages[14]["PageNO"], "page 015");
    EXPECT_EQ(rec_.pages[0]["GNoTitle"], Cp932(" Ｇ "));
    EXPECT_EQ(rec_.pages[0]["KanjiTitle"], Cp932(" カナ名称 "));

    rec_ = Recorder();
    ASSERT_EQ(Fill(2), 1);
    ASSERT_EQ(rec_.pages.size(), 6u);
    EXPECT_EQ(rec_.pages[0]["GNo1"], "101");
    EXPECT_EQ(rec_.pages[0]["Short1"], "980");
    EXPECT_EQ(rec_.pages[5]["GNo40"], "112");
    EXPECT_EQ(rec_.pages[5]["Short40"], "999");
    EXPECT_EQ(rec_.pages[0]["GNoTitle"], Cp932("  ＴＥＬ  "));
}

TEST_F(SheetFillTest, ButtonSheetsHaveTwoGroups) {
    ASSERT_EQ(Fill(3), 1);
    ASSERT_EQ(rec_.pages.size(), 10u);
    for (size_t p = 0; p < 10; ++p) {
        EXPECT_EQ(rec_.pages[p]["TitleMain"],
                  Cp932(p < 2 ? "ワンタッチ・内線ワンタッチ・ボックス設定"
                              : "なんでもワンタッチボタン設定"))
            << p;
    }
    EXPECT_EQ(rec_.pages[2]["ComPageNO"], Cp932("page 01／08"));
    EXPECT_EQ(rec_.pages[9]["PageNO"], Cp932(" 10／10 "));
    EXPECT_EQ(rec_.font_sizes, 0);
}

TEST_F(SheetFillTest, AFailedTextCallEndsWithoutOutput) {
    const struct {
        int kind;
        const char* field;
    } cases[] = {{0, "Com3"}, {0, "ComPageNO"}, {1, "Kana2"}, {2, "GNoTitle"}, {3, "Date"}};
    for (const auto& c : cases) {
        rec_ = Recorder();
        rec_.fail_text = c.field;
        EXPECT_EQ(Fill(c.kind), 0) << c.kind << " " << c.field;
        EXPECT_TRUE(rec_.pages.empty()) << c.kind << " " << c.field;
    }
}

SheetLine Line(const std::string& text) {
    SheetLine line;
    line.fill(' ');
    std::copy(text.begin(), text.end(), line.begin());
    return line;
}

TEST(SheetRowText, PairOfBlanksRule) {
    const std::string pad(20, 'k');
    const struct {
        std::string tail;  // from byte 20
        std::string text;
    } cases[] = {
        {"ab  cd", "ab"},                            // a pair ends the text
        {"ab cd", "ab cd"},                          // a single blank does not
        {"ab  cd>x", "ab  cd>x"},                    // '>' within 10 after the pair: kept
        {"ab" + std::string(10, ' ') + "x>", "ab"},  // '>' 11 after the first blank: ends
        {"ab" + std::string(9, ' ') + "x>", "ab" + std::string(9, ' ') + "x>"},  // exactly 10: kept
        {"a>  b>", "a>"},                                           // the pair follows '>': ends
        {std::string("ab\0cd", 5), "ab"},                           // a NUL ends it
        {"abcdefghijklmnopqrstuvwxyz", "abcdefghijklmnopqrstuvw"},  // bytes 20-42 only
    };
    for (const auto& c : cases) EXPECT_EQ(KeyRowText(Line(pad + c.tail)), c.text) << c.tail;

    const std::string key(16, 'k');
    EXPECT_EQ(CommandRowText(Line(key + "9100 01:AB")), "9100");
    EXPECT_EQ(CommandRowText(Line(key + "9100-01:AB")), "9100-01:AB");
}

}  // namespace
}  // namespace qzs::app
