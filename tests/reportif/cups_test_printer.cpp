// The report interface library's printer functions on the private CUPS: each setter read back
// through the engine's own member (a wrong member id or value type fails its row), the default
// printer selected by the empty name, the job status, and a document of three pages printed by
// a process that has no Qt application.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "engine/include/kpengn_members.h"
#include "reportif/kpcif30.h"
#include "reportif/kpcif_internal.h"
#include "tests/fixtures/command_output.h"
#include "tests/fixtures/printing/cups_queue.h"

namespace {

// The engine finds its control library by name beside itself; loading it here first keeps that
// true when a sanitizer's dlopen hides the engine's own search path.
inline void LoadEngineHere() {
    setenv("QZS_ENGINE", QZS_KPENGN30_PATH, 1);
    static void* control = dlopen(QZS_KPCTRL30_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(control, nullptr) << dlerror();
}

using kp::ScriptableObject;
using namespace plat;

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(ReportInterfacePrinter, ThreePagesWithoutAnyQtApplication) {
    const qzs_test::CupsQueue queue = qzs_test::CupsQueue::Load();
    ASSERT_TRUE(queue.valid);
    queue.Connect();
    LoadEngineHere();
    int code = 0;
    ASSERT_EQ(KPStartEngine(&code), 1) << code;
    // The engine brings Qt in (its preview windows need it), but nobody made an application.
    void* core = dlopen("libQt6Core.so.6", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(core, nullptr) << "the engine links Qt";
    auto* self = static_cast<void**>(dlsym(core, "_ZN16QCoreApplication4selfE"));
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(*self, nullptr) << "a Qt application exists";
    dlclose(core);

    std::string path;  // the library takes CP932, as the program hands it the path
    ASSERT_TRUE(Cp932FromWide(
        WideFromUtf8(
            (std::filesystem::path(QZS_BINARY_DIR) / "tools/QzSReport/データ設定.k30").string()),
        &path));
    const uint32_t report = KPRLoadReport(path.c_str());
    ASSERT_NE(report, 0u);
    ASSERT_EQ(KPOSetText(report, "TitleMain", "QZS THREE PAGES"), 1);

    const size_t before = queue.Received().size();
    const uint32_t printer = KPPCreatePrinter(queue.queue.c_str());
    ASSERT_NE(printer, 0u);
    ASSERT_EQ(KPPSetCancelDlg(printer, 0), 1);
    ASSERT_EQ(KPPOpenPrinter(printer, 0), 1) << "the printer context needs no application";
    for (int page = 0; page < 3; ++page) EXPECT_EQ(KPPReportPrint(printer, report), 1) << page;
    ASSERT_EQ(KPPClosePrinter(printer, 1), 1);
    EXPECT_EQ(KPPDeletePrinter(printer), 1);
    EXPECT_EQ(KPRDeleteReport(report), 1);

    const auto received = queue.WaitForReceived(before + 1);
    ASSERT_EQ(received.size(), before + 1);
    const std::string info = qzs_test::CommandOutput("pdfinfo '" + received.back() + "'");
    EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
    EXPECT_NE(info.find("Page size:       595.28 x 841.89 pts (A4)"), std::string::npos) << info;
    const std::string text = qzs_test::CommandOutput("pdftotext '" + received.back() + "' -");
    EXPECT_EQ(Count(text, "QZS THREE PAGES"), 3u) << text;
    EXPECT_EQ(KPExit(&code), 1);
}

TEST(ReportInterfacePrinter, SettersReadBackThroughTheEngine) {
    const qzs_test::CupsQueue queue = qzs_test::CupsQueue::Load();
    ASSERT_TRUE(queue.valid);
    queue.Connect();
    LoadEngineHere();

    const uint32_t printer = KPPCreatePrinter("");
    ASSERT_NE(printer, 0u);
    ScriptableObject* job = kpcif::ObjectOf(printer, kpcif::HandleKind::kPrinter);
    ASSERT_NE(job, nullptr);

    const struct Row {
        const char* name;
        std::function<int()> set;
        int32_t id;
        VarType type;
        int64_t value;  // BOOL rows: nonzero for true
    } rows[] = {
        {"ScalePrint", [&] { return KPPSetScalePrint(printer, 1); }, KPM_PRINTER_JOB_SCALE_PRINT,
         VT_BOOL, 1},
        {"PaperSize", [&] { return KPPSetPaperSize(printer, 9); }, KPM_PRINTER_JOB_PAPER_SIZE,
         VT_I2, 9},
        {"Orientation", [&] { return KPPSetOrientation(printer, 2); }, KPM_PRINTER_JOB_ORIENTATION,
         VT_UI2, 2},
        {"ScalePaperFit", [&] { return KPPSetScalePaperFit(printer, 1); },
         KPM_PRINTER_JOB_SCALE_PAPER_FIT, VT_BOOL, 1},
        {"MultiPrint", [&] { return KPPSetMultiPrint(printer, 1); }, KPM_PRINTER_JOB_MULTI_PRINT,
         VT_BOOL, 1},
        {"MultiPrintLayout", [&] { return KPPSetMultiPrintLayout(printer, 1); },
         KPM_PRINTER_JOB_MULTI_PRINT_LAYOUT, VT_UI2, 1},
        {"ScalePrintLayout", [&] { return KPPSetScalePrintLayout(printer, 3); },
         KPM_PRINTER_JOB_SCALE_PRINT_LAYOUT, VT_UI2, 3},
        {"CancelDlg", [&] { return KPPSetCancelDlg(printer, 1); }, KPM_PRINTER_JOB_CANCEL_DLG,
         VT_BOOL, 1},
    };
    // Settings of the printer's own record wait for KPPUpdateInfo, so all are read back after it.
    for (const Row& row : rows) EXPECT_EQ(row.set(), 1) << row.name;
    EXPECT_EQ(KPPUpdateInfo(printer), 1);
    for (const Row& row : rows) {
        Variant v{};
        kp::InvokeArgs none{nullptr, 0};
        ASSERT_EQ(job->Invoke(row.id, kp::kInvokeGet, &none, &v), 0) << row.name;
        EXPECT_EQ(v.vt, row.type) << row.name;
        switch (row.type) {
            case VT_BOOL:
                EXPECT_EQ(v.boolVal != 0, row.value != 0) << row.name;
                break;
            case VT_I2:
                EXPECT_EQ(v.iVal, row.value) << row.name;
                break;
            default:
                EXPECT_EQ(v.uiVal, row.value) << row.name;
                break;
        }
    }

    // "MX-QzS ｼｽﾃﾑﾃﾞｰﾀ" in CP932.
    EXPECT_EQ(KPPSetJobName(printer, "MX-QzS \xBC\xBD\xC3\xD1\xC3\xDE\xB0\xC0"), 1);
    Variant name{};
    kp::InvokeArgs none{nullptr, 0};
    ASSERT_EQ(job->Invoke(KPM_PRINTER_JOB_JOB_NAME, kp::kInvokeGet, &none, &name), 0);
    ASSERT_EQ(name.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(BstrView(name.bstrVal)), u"MX-QzS ｼｽﾃﾑﾃﾞｰﾀ");
    VariantClear(&name);

    int status = 0;
    EXPECT_EQ(KPPGetStatus(printer, &status), 1);
    EXPECT_EQ(status & 4096, 0);
    EXPECT_EQ(KPPGetStatus(printer, nullptr), 0);
    // Out-of-range values fail before they reach the engine.
    EXPECT_EQ(KPPSetPaperSize(printer, 70000), 0);
    EXPECT_EQ(KPPSetOrientation(printer, -1), 0);

    EXPECT_EQ(KPPDeletePrinter(printer), 1);
    EXPECT_EQ(kpcif::ObjectOf(printer, kpcif::HandleKind::kPrinter), nullptr);
    EXPECT_EQ(KPPSetPaperSize(printer, 9), 0);
    int code = 0;
    EXPECT_EQ(KPGetLastErrorCode(&code), 1);
    EXPECT_EQ(code, 4);
    EXPECT_EQ(KPExit(&code), 1);
}

}  // namespace
