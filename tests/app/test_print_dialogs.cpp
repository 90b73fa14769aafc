// The sheet printing dialogs against a recorder of the report interface: the call sequences of
// the three roads, the messages of each failure, a second preview, closing while the preview is
// open, the selection dialog's buttons and the preview's print event.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/print_dialogs.h"
#include "programming/state.h"
#include "settings/data_image_startup.h"

namespace qzs::app {
namespace {

// Logs every call by its library name (page filling calls are counted, not logged) and answers
// 1, or the scripted answer of a name.
class Recorder final : public ReportInterface {
  public:
    std::vector<std::string> log;
    std::map<std::string, int> answers;
    int preview_status = 0;
    int printer_status = 0;
    int last_error = 0;
    int pages = 0;

    int Log(const std::string& call, const std::string& name) {
        log.push_back(call);
        const auto it = answers.find(name);
        return it != answers.end() ? it->second : 1;
    }
    static std::string N(uint32_t v) { return std::to_string(v); }

    int StartEngine(int* c) override { return *c == 0 ? Log("KPStartEngine", "KPStartEngine") : 0; }
    int Exit(int*) override { return Log("KPExit", "KPExit"); }
    int SetErrorDispMode(int m) override {
        return Log("KPSetErrorDispMode " + N(m), "KPSetErrorDispMode");
    }
    int GetLastErrorCode(int* c) override {
        *c = last_error;
        return Log("KPGetLastErrorCode", "KPGetLastErrorCode");
    }
    int SetWEventProc(ReportEventCallback p) override {
        EXPECT_EQ(p, &ReportEventProc);
        return Log("KPSetWEventProc", "KPSetWEventProc");
    }
    uint32_t LoadReport(const std::string&) override {
        return static_cast<uint32_t>(Log("KPRLoadReport", "KPRLoadReport")) * 7;
    }
    int SetLayerVisible(uint32_t, int n, int v) override {
        return Log("KPRSetLayerVisible " + N(n) + " " + N(v), "KPRSetLayerVisible");
    }
    int SetEditLayer(uint32_t, int n) override {
        return Log("KPRSetEditLayer " + N(n), "KPRSetEditLayer");
    }
    int ClearLayerData(uint32_t, int) override { return 1; }
    int DeleteReport(uint32_t) override { return Log("KPRDeleteReport", "KPRDeleteReport"); }
    int SetText(uint32_t, const std::string&, const std::string&) override {
        const auto it = answers.find("KPOSetText");
        return it != answers.end() ? it->second : 1;
    }
    int SetFontSize(uint32_t, const std::string&, float) override { return 1; }
    uint32_t CreatePreview() override {
        return static_cast<uint32_t>(Log("KPVCreatePreview", "KPVCreatePreview")) * 8;
    }
    int GetPreviewStatus(uint32_t, int* s) override {
        *s = preview_status;
        return Log("KPVGetStatus", "KPVGetStatus");
    }
    int SetPreviewLayer(uint32_t, int n, int on) override {
        return Log("KPVSetPreviewLayer" + N(n) + " " + N(on), "KPVSetPreviewLayer");
    }
    int SetPrintLayer(uint32_t, int n, int on) override {
        return Log("KPVSetPrintLayer" + N(n) + " " + N(on), "KPVSetPrintLayer");
    }
    int SetToolBarItems(uint32_t, uint32_t i) override {
        return Log("KPVSetToolBarItems " + N(i), "KPVSetToolBarItems");
    }
    int SetAutoScale(uint32_t, int on) override {
        return Log("KPVSetAutoScale " + N(on), "KPVSetAutoScale");
    }
    int SetPreviewScale(uint32_t, int p) override {
        return Log("KPVSetPreviewScale " + N(p), "KPVSetPreviewScale");
    }
    int SetPreviewMode(uint32_t, int m) override {
        return Log("KPVSetPreviewMode " + N(m), "KPVSetPreviewMode");
    }
    int SetWindowCaption(uint32_t, const std::string&) override {
        return Log("KPVSetWindowCaption", "KPVSetWindowCaption");
    }
    int OpenPreview(uint32_t, int s) override {
        return Log("KPVOpenPreview " + N(s), "KPVOpenPreview");
    }
    int PreviewReportPrint(uint32_t, uint32_t) override {
        ++pages;
        return 1;
    }
    int ClosePreview(uint32_t) override { return Log("KPVClosePreview", "KPVClosePreview"); }
    int DeletePreview(uint32_t) override { return Log("KPVDeletePreview", "KPVDeletePreview"); }
    uint32_t CreatePrinter(const std::string& name) override {
        EXPECT_EQ(name, "");
        return static_cast<uint32_t>(Log("KPPCreatePrinter", "KPPCreatePrinter")) * 9;
    }
    int ShowPrinterDialog(uint32_t, uint32_t owner, int o) override {
        return Log("KPPShowDlg " + N(owner) + " " + N(o), "KPPShowDlg");
    }
    int SetJobName(uint32_t, const std::string&) override {
        return Log("KPPSetJobName", "KPPSetJobName");
    }
    int SetScalePrint(uint32_t, int v) override { return Log("KPPSetScalePrint " + N(v), "x"); }
    int SetPaperSize(uint32_t, int v) override { return Log("KPPSetPaperSize " + N(v), "x"); }
    int SetOrientation(uint32_t, int v) override { return Log("KPPSetOrientation " + N(v), "x"); }
    int SetScalePaperFit(uint32_t, int v) override {
        return Log("KPPSetScalePaperFit " + N(v), "x");
    }
    int SetMultiPrint(uint32_t, int v) override { return Log("KPPSetMultiPrint " + N(v), "x"); }
    int SetMultiPrintLayout(uint32_t, int v) override {
        return Log("KPPSetMultiPrintLayout " + N(v), "x");
    }
    int SetScalePrintLayout(uint32_t, int v) override {
        return Log("KPPSetScalePrintLayout " + N(v), "x");
    }
    int SetCancelDlg(uint32_t, int v) override {
        return Log("KPPSetCancelDlg " + N(v), "KPPSetCancelDlg");
    }
    int UpdateInfo(uint32_t) override { return Log("KPPUpdateInfo", "x"); }
    int OpenPrinter(uint32_t, uint32_t owner) override {
        return Log("KPPOpenPrinter " + N(owner), "KPPOpenPrinter");
    }
    int PrinterReportPrint(uint32_t, uint32_t) override {
        ++pages;
        return 1;
    }
    int PreviewPrint(uint32_t, uint32_t, uint32_t page) override {
        return Log("KPPPreviewPrint " + N(page), "KPPPreviewPrint");
    }
    int GetPrinterStatus(uint32_t, int* s) override {
        *s = printer_status;
        return Log("KPPGetStatus", "KPPGetStatus");
    }
    int ClosePrinter(uint32_t, int c) override {
        return Log("KPPClosePrinter " + N(c), "KPPClosePrinter");
    }
    int DeletePrinter(uint32_t) override { return Log("KPPDeletePrinter", "KPPDeletePrinter"); }
};

struct Message {
    std::string text, caption;
    MessageIcon icon;
};
class Messages final : public MessagePort {
  public:
    std::vector<Message> shown;
    int ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon,
                    MessageButtons) override {
        shown.push_back({std::string(text), std::string(caption), icon});
        return kIdOk;
    }
};

class PrintDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state_ = std::make_unique<ProgrammingState>();
        InitDataImage(*state_);
        context_.rif = &rec_;
        context_.state = state_.get();
        context_.messages = &messages_;
        context_.start_directory = "/opt/qzs";
        context_.active_window = [] { return 42u; };
        context_.today = [] { return SheetDate{2026, 3, 9}; };
        SetReportEventContext(&context_);
    }
    void TearDown() override { SetReportEventContext(nullptr); }
    std::unique_ptr<ProgrammingState> state_;
    Recorder rec_;
    Messages messages_;
    SheetPrintContext context_;
};

const std::vector<std::string> kLoad = {"KPSetErrorDispMode 0",   "KPRLoadReport",
                                        "KPRSetLayerVisible 1 1", "KPRSetLayerVisible 2 0",
                                        "KPRSetLayerVisible 3 0", "KPRSetLayerVisible 4 0",
                                        "KPRSetLayerVisible 5 0"};
const std::vector<std::string> kDefaults = {"KPPSetJobName",
                                            "KPPSetScalePrint 1",
                                            "KPPSetPaperSize 9",
                                            "KPPSetOrientation 2",
                                            "KPPSetScalePaperFit 1",
                                            "KPPSetMultiPrint 1",
                                            "KPPSetMultiPrintLayout 1",
                                            "KPPSetScalePrintLayout 3",
                                            "KPPUpdateInfo"};
const std::vector<std::string> kPrintLayers = {"KPRSetLayerVisible 1 1", "KPRSetLayerVisible 2 1",
                                               "KPRSetLayerVisible 3 0", "KPRSetLayerVisible 4 0",
                                               "KPRSetLayerVisible 5 0"};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST_F(PrintDialogsTest, CallSequencesOfTheThreeRoads) {
    const auto preview =
        Join({kLoad,
              {"KPVCreatePreview", "KPVGetStatus", "KPVSetPreviewLayer1 1", "KPVSetPreviewLayer2 1",
               "KPVSetPreviewLayer3 0", "KPVSetPreviewLayer4 0", "KPVSetPreviewLayer5 0",
               "KPVSetToolBarItems 268436978", "KPVSetAutoScale 0", "KPVSetPreviewScale 50",
               "KPVSetPreviewMode 1", "KPVSetWindowCaption", "KPVOpenPreview 1",
               "KPRSetEditLayer 1", "KPRDeleteReport", "KPVGetStatus", "KPSetWEventProc"}});
    const auto print = Join({kLoad,
                             {"KPPCreatePrinter"},
                             kDefaults,
                             {"KPPSetCancelDlg 1", "KPPOpenPrinter 42"},
                             kPrintLayers,
                             {"KPRSetEditLayer 1", "KPPGetStatus", "KPPClosePrinter 1",
                              "KPPDeletePrinter", "KPRDeleteReport"}});
    const auto dialog = Join({kLoad,
                              {"KPPCreatePrinter", "KPPShowDlg 42 0", "KPPSetJobName",
                               "KPPSetCancelDlg 1", "KPPOpenPrinter 42"},
                              kPrintLayers,
                              {"KPRSetEditLayer 1", "KPPGetStatus", "KPPClosePrinter 1",
                               "KPPDeletePrinter", "KPRDeleteReport"}});
    const struct {
        int button;
        const std::vector<std::string>& calls;
    } roads[] = {{1001, preview}, {1005, print}, {1003, dialog}};
    for (const auto& road : roads) {
        rec_ = Recorder();
        CPrintModeDialog dialog(context_);
        dialog.set_sheet_kind(2);
        dialog.Press(road.button);
        EXPECT_EQ(rec_.log, road.calls) << road.button;
        EXPECT_EQ(rec_.pages, 6) << road.button;
        EXPECT_TRUE(messages_.shown.empty()) << road.button;
    }
}

TEST_F(PrintDialogsTest, FailureMessages) {
    const struct {
        const char* name;
        std::map<std::string, int> answers;
        int error;
        int printer_status;
        int button;
        const char* text;  // null: no message
        const char* caption;
    } cases[] = {
        {"missing layout",
         {{"KPRLoadReport", 0}},
         114,
         0,
         1005,
         "レポートファイルが見つかりません。",
         "エラー"},
        {"dialog cancelled", {{"KPPShowDlg", 0}}, 10311, 0, 1003, nullptr, nullptr},
        {"printer failed", {{"KPPOpenPrinter", 0}}, 5, 0, 1005, "印刷エラーです。", "エラー"},
        {"cancelled job",
         {{"KPOSetText", 0}},
         10112,
         4096,
         1005,
         "印刷／プレビューは中止されました。",
         "KORVA-QZS"},
    };
    for (const auto& c : cases) {
        rec_ = Recorder();
        rec_.answers = c.answers;
        rec_.last_error = c.error;
        rec_.printer_status = c.printer_status;
        messages_.shown.clear();
        CPrintModeDialog dialog(context_);
        dialog.Press(c.button);
        if (c.text == nullptr) {
            EXPECT_TRUE(messages_.shown.empty()) << c.name;
        } else {
            ASSERT_EQ(messages_.shown.size(), 1u) << c.name;
            EXPECT_EQ(messages_.shown[0].text, c.text) << c.name;
            EXPECT_EQ(messages_.shown[0].caption, c.caption) << c.name;
        }
    }
}

TEST_F(PrintDialogsTest, ASecondPreviewOnlyNotifiesAndCancelWaitsForTheWindow) {
    CPrintModeDialog dialog(context_);
    dialog.set_sheet_kind(1);
    dialog.Press(1001);
    const uint32_t preview = dialog.preview();
    ASSERT_NE(preview, 0u);
    rec_.preview_status = kPreviewStatusOpen;
    rec_.log.clear();
    dialog.Press(1001);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, "既にプレビューは表示されています。");
    EXPECT_EQ(dialog.preview(), preview) << "the open preview is kept";
    for (const auto& call : rec_.log) EXPECT_NE(call, "KPVClosePreview");

    dialog.Press(kIdCancel);
    EXPECT_FALSE(dialog.ended());
    EXPECT_EQ(messages_.shown.back().text, "プレビュー表示中です。");
    // Closed by the user: the same preview opens again, and the dialog may close.
    rec_.preview_status = 0;
    rec_.log.clear();
    dialog.Press(1001);
    EXPECT_EQ(dialog.preview(), preview);
    EXPECT_EQ(std::count(rec_.log.begin(), rec_.log.end(), "KPVCreatePreview"), 0);
    dialog.Press(kIdCancel);
    EXPECT_TRUE(dialog.ended());
}

TEST_F(PrintDialogsTest, PreviewPrintEvent) {
    const struct {
        uint32_t first, last;
        int pages;
        bool error;
    } cases[] = {{2, 3, 2, false}, {3, 2, 0, true}, {0xFFFFFFFE, 0xFFFFFFFF, 2, false}};
    for (const auto& c : cases) {
        rec_ = Recorder();
        messages_.shown.clear();
        uint32_t first = c.first, last = c.last;
        EXPECT_EQ(ReportEventProc(8, 1001, &first, &last), 1);
        EXPECT_EQ(
            std::count_if(rec_.log.begin(), rec_.log.end(),
                          [](const std::string& s) { return s.rfind("KPPPreviewPrint", 0) == 0; }),
            c.pages);
        EXPECT_EQ(std::count(rec_.log.begin(), rec_.log.end(), "KPVSetPrintLayer1 1"), 1);
        EXPECT_EQ(messages_.shown.size(), c.error ? 1u : 0u) << c.first;
        if (c.error) {
            EXPECT_EQ(messages_.shown[0].text, "印刷エラーです。");
        }
    }
    uint32_t a = 0, b = 0;
    EXPECT_EQ(ReportEventProc(8, 1008, &a, &b), 1);
    EXPECT_EQ(ReportEventProc(8, 1002, &a, &b), 0);
}

class Runner final : public DialogRunner {
  public:
    std::vector<int> kinds;
    int RunModal(DialogPresenter& dialog) override {
        kinds.push_back(static_cast<CPrintModeDialog&>(dialog).sheet_kind());
        return kIdCancel;
    }
};

TEST_F(PrintDialogsTest, SelectionButtonsRunTheModeDialogAndExit) {
    Runner runner;
    CPrintSelectDialog select(context_, runner);
    for (int id : {1000, 1007, 1002, 1004}) select.Press(id);
    EXPECT_EQ(runner.kinds, (std::vector<int>{0, 3, 1, 2}));
    EXPECT_EQ(std::count(rec_.log.begin(), rec_.log.end(), "KPExit"), 4);
    EXPECT_FALSE(select.ended());
    select.Press(kIdCancel);
    EXPECT_TRUE(select.ended());
    EXPECT_EQ(LayoutPath("/opt/qzs", 3), LayoutPath("/opt/qzs", 0));
}

}  // namespace
}  // namespace qzs::app
