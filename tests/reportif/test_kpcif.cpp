// The report interface library over the built engine: exactly its 51 names exported, reports
// loaded from layouts that qzs-report builds, every report and text setter read back through the
// engine's own members, and failures recorded as the last error without crashing.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/include/kpengn_members.h"
#include "reportif/kpcif30.h"
#include "reportif/kpcif_internal.h"
#include "tests/fixtures/failing_allocation.h"

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

std::set<std::string> DynamicSymbols(const std::string& path) {
    std::set<std::string> names;
    FILE* pipe = popen(("nm -D --defined-only '" + path + "'").c_str(), "r");
    if (pipe == nullptr) return names;
    char line[1024];
    while (fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) names.insert(name);
    }
    pclose(pipe);
    return names;
}

TEST(ReportInterfaceLibrary, ExportsExactlyItsFunctions) {
    const std::set<std::string> expected = {
        "KPStartEngine",
        "KPExit",
        "KPSetErrorDispMode",
        "KPGetLastErrorCode",
        "KPSetWEventProc",
        "KPRLoadReport",
        "KPRSetLayerVisible",
        "KPRSetEditLayer",
        "KPRClearLayerData",
        "KPRDeleteReport",
        "KPOSetText",
        "KPOSetFontSize",
        "KPVCreatePreview",
        "KPVGetStatus",
        "KPVSetPreviewLayer1",
        "KPVSetPreviewLayer2",
        "KPVSetPreviewLayer3",
        "KPVSetPreviewLayer4",
        "KPVSetPreviewLayer5",
        "KPVSetPrintLayer1",
        "KPVSetPrintLayer2",
        "KPVSetPrintLayer3",
        "KPVSetPrintLayer4",
        "KPVSetPrintLayer5",
        "KPVSetToolBarItems",
        "KPVSetAutoScale",
        "KPVSetPreviewScale",
        "KPVSetWindowCaption",
        "KPVSetPreviewMode",
        "KPVOpenPreview",
        "KPVReportPrint",
        "KPVClosePreview",
        "KPVDeletePreview",
        "KPPCreatePrinter",
        "KPPShowDlg",
        "KPPSetJobName",
        "KPPSetScalePrint",
        "KPPSetPaperSize",
        "KPPSetOrientation",
        "KPPSetScalePaperFit",
        "KPPSetMultiPrint",
        "KPPSetMultiPrintLayout",
        "KPPSetScalePrintLayout",
        "KPPSetCancelDlg",
        "KPPUpdateInfo",
        "KPPOpenPrinter",
        "KPPReportPrint",
        "KPPPreviewPrint",
        "KPPGetStatus",
        "KPPClosePrinter",
        "KPPDeletePrinter",
    };
    ASSERT_EQ(expected.size(), 51u);
    EXPECT_EQ(DynamicSymbols(QZS_KPCIF30_PATH), expected);
}

// Calls through Invoke for the read-backs; a failure fails the test.
Variant Get(ScriptableObject* object, int32_t id, std::vector<Variant> args = {},
            int32_t kind = kp::kInvokeGet) {
    kp::InvokeArgs invokeArgs{args.empty() ? nullptr : args.data(),
                              static_cast<uint32_t>(args.size())};
    Variant result{};
    EXPECT_EQ(object->Invoke(id, kind, &invokeArgs, &result), 0) << "member " << id;
    return result;
}
ScriptableObject* Obj(const Variant& v) {
    return static_cast<ScriptableObject*>(v.pdispVal);
}
ScriptableObject* LayerOf(ScriptableObject* report, uint16_t n) {
    return Obj(Get(Obj(Get(report, KPM_REPORT_LAYERS)), KPM_LAYER_COLLECTION_LAYER, {VariantUI2(n)},
                   kp::kInvokeMethod));
}
ScriptableObject* ObjectsOf(ScriptableObject* report, uint16_t n) {
    return Obj(Get(LayerOf(report, n), KPM_LAYER_OBJECTS));
}
// The named text control on layer n, or null.
ScriptableObject* ControlOf(ScriptableObject* report, uint16_t n, const char16_t* name) {
    ScriptableObject* objects = ObjectsOf(report, n);
    UniqueBstr text(BstrAlloc(name));
    Variant args[] = {VariantDispatch(nullptr), VariantBstr(text.get())};
    kp::InvokeArgs invokeArgs{args, 2};
    Variant item{};
    if (objects->Invoke(KPM_OBJECT_COLLECTION_OBJECT, kp::kInvokeMethod, &invokeArgs, &item) != 0)
        return nullptr;
    return Obj(Get(Obj(item), KPM_DRAWING_OBJECT_DRAW_OBJECT));
}
std::u16string TextOf(ScriptableObject* control) {
    Variant v = Get(control, KPM_TEXT_CONTROL_TEXT);
    std::u16string text(BstrView(v.bstrVal));
    VariantClear(&v);
    return text;
}
int LastError() {
    int code = -1;
    EXPECT_EQ(KPGetLastErrorCode(&code), 1);
    return code;
}

class KpcifTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        LoadEngineHere();
        dir_ = new std::filesystem::path(std::filesystem::temp_directory_path() /
                                         ("kpcif-" + std::to_string(getpid())));
        std::filesystem::create_directories(*dir_);
        // Two text fields on layer 1, one on layer 2; layers 3 to 5 empty.
        std::ofstream(*dir_ / "t.desc")
            << "report paper=9 orientation=1 unit=1 cpi=1 cpl=1\n"
               "layer 1 visible=1 zorder=1\nlayer 2 visible=1 zorder=2\n"
               "layer 3 visible=1 zorder=3\nlayer 4 visible=1 zorder=4\n"
               "layer 5 visible=1 zorder=5\n"
               "text A layer=1 rect=0,0,1000,500 font=IPAGothic size=12 align=left valign=top "
               "color=000000 text=a\n"
               "text B layer=1 rect=0,600,1000,1100 font=IPAGothic size=12 align=left valign=top "
               "color=000000 text=b\n"
               "text C layer=2 rect=0,1200,1000,1700 font=IPAGothic size=12 align=left "
               "valign=top color=000000 text=c\n";
        const std::string command = std::string("'") + QZS_REPORT_TOOL + "' build '" +
                                    (*dir_ / "t.desc").string() + "' '" +
                                    (*dir_ / "t.k30").string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    static void TearDownTestSuite() {
        int ignored = 0;
        KPExit(&ignored);
        std::filesystem::remove_all(*dir_);
        delete dir_;
    }
    static std::string Layout() { return (*dir_ / "t.k30").string(); }
    static std::filesystem::path* dir_;
};
std::filesystem::path* KpcifTest::dir_ = nullptr;

TEST_F(KpcifTest, LoadsAReportAndAMissingLayoutGives114) {
    int code = -1;
    EXPECT_EQ(KPStartEngine(&code), 1);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(KPRLoadReport((*dir_ / "none.k30").c_str()), 0u);
    EXPECT_EQ(LastError(), 114);
    const uint32_t report = KPRLoadReport(Layout().c_str());
    ASSERT_NE(report, 0u);
    EXPECT_NE(kpcif::ObjectOf(report, kpcif::HandleKind::kReport), nullptr);
    // A successful call leaves the last error as it was.
    EXPECT_EQ(LastError(), 114);
    EXPECT_EQ(KPRDeleteReport(report), 1);
}

TEST_F(KpcifTest, LayerVisibilityIsReadBackFromEachLayer) {
    const uint32_t report = KPRLoadReport(Layout().c_str());
    ASSERT_NE(report, 0u);
    ScriptableObject* object = kpcif::ObjectOf(report, kpcif::HandleKind::kReport);
    const int wanted[5] = {1, 0, 0, 1, 0};
    for (int n = 1; n <= 5; ++n) EXPECT_EQ(KPRSetLayerVisible(report, n, wanted[n - 1]), 1) << n;
    for (uint16_t n = 1; n <= 5; ++n) {
        const Variant v = Get(LayerOf(object, n), KPM_LAYER_VISIBLE);
        EXPECT_EQ(v.vt, VT_BOOL) << n;
        EXPECT_EQ(v.boolVal != 0, wanted[n - 1] != 0) << n;
    }
    for (int bad : {0, 6, -1}) {
        EXPECT_EQ(KPRSetLayerVisible(report, bad, 1), 0) << bad;
        EXPECT_EQ(KPRSetEditLayer(report, bad), 0) << bad;
    }
    EXPECT_EQ(KPRDeleteReport(report), 1);
}

TEST_F(KpcifTest, TextAndFontSizeGoToTheEditLayerAndReadBack) {
    const uint32_t report = KPRLoadReport(Layout().c_str());
    ASSERT_NE(report, 0u);
    ScriptableObject* object = kpcif::ObjectOf(report, kpcif::HandleKind::kReport);
    // "データ設定" and a half-width katakana in CP932.
    const char kData[] = "\x83\x66\x81\x5B\x83\x5E\x90\xDD\x92\xE8 \xB1";
    EXPECT_EQ(KPOSetText(report, "A", kData), 1);
    EXPECT_EQ(KPOSetFontSize(report, "A", 9.0f), 1);
    ScriptableObject* a = ControlOf(object, 1, u"A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(TextOf(a), u"データ設定 ｱ");
    const Variant size = Get(a, KPM_TEXT_CONTROL_FONT_SIZE);
    EXPECT_EQ(size.vt, VT_R4);
    EXPECT_FLOAT_EQ(size.fltVal, 9.0f);

    // C lies on layer 2: not found on the default edit layer 1, found once layer 2 is edited.
    EXPECT_EQ(KPOSetText(report, "C", "x"), 0);
    EXPECT_EQ(KPRSetEditLayer(report, 2), 1);
    EXPECT_EQ(KPOSetText(report, "C", "x"), 1);
    EXPECT_EQ(TextOf(ControlOf(object, 2, u"C")), u"x");
    EXPECT_EQ(KPOSetText(report, "A", "y"), 0);
    EXPECT_EQ(KPRSetEditLayer(report, 1), 1);

    // Undefined bytes show as U+FFFD: a lone 0x80, a lead byte without its trail at the end,
    // and a pair CP932 leaves undefined; an empty text is an empty string.
    const struct {
        const char* bytes;
        std::u16string text;
    } cases[] = {
        {"a\x80"
         "b",
         u"a\uFFFDb"},
        {"ab\x82", u"ab\uFFFD"},
        {"\x85\x40z", u"\uFFFDz"},
        {"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KPOSetText(report, "B", c.bytes), 1);
        EXPECT_EQ(TextOf(ControlOf(object, 1, u"B")), c.text) << c.bytes;
    }

    EXPECT_EQ(KPOSetText(report, "B", "b2"), 1);
    EXPECT_EQ(KPRClearLayerData(report, 1), 1);
    EXPECT_EQ(TextOf(ControlOf(object, 1, u"A")), u"");
    EXPECT_EQ(TextOf(ControlOf(object, 1, u"B")), u"");
    EXPECT_EQ(TextOf(ControlOf(object, 2, u"C")), u"x") << "other layers keep their texts";
    EXPECT_EQ(KPRDeleteReport(report), 1);
}

TEST_F(KpcifTest, PreviewSettersReadBackFromThePreview) {
    const uint32_t preview = KPVCreatePreview();
    ASSERT_NE(preview, 0u);
    ScriptableObject* object = kpcif::ObjectOf(preview, kpcif::HandleKind::kPreview);
    ASSERT_NE(object, nullptr);
    int status = 0;
    EXPECT_EQ(KPVGetStatus(preview, &status), 1);
    EXPECT_EQ(status, 16);
    struct Row {
        const char* name;
        std::function<int()> call;
        int32_t id;
        plat::VarType type;
        uint32_t value;  // BOOLs as 0 or 1
    };
    const Row rows[] = {
        {"KPVSetPreviewLayer1", [&] { return KPVSetPreviewLayer1(preview, 0); },
         KPM_PREVIEW_LAYER_DISPLAY1, VT_BOOL, 0},
        {"KPVSetPreviewLayer3", [&] { return KPVSetPreviewLayer3(preview, 1); },
         KPM_PREVIEW_LAYER_DISPLAY3, VT_BOOL, 1},
        {"KPVSetPreviewLayer5", [&] { return KPVSetPreviewLayer5(preview, 0); },
         KPM_PREVIEW_LAYER_DISPLAY5, VT_BOOL, 0},
        {"KPVSetPrintLayer2", [&] { return KPVSetPrintLayer2(preview, 0); },
         KPM_PREVIEW_LAYER_PRINT2, VT_BOOL, 0},
        {"KPVSetPrintLayer4", [&] { return KPVSetPrintLayer4(preview, 0); },
         KPM_PREVIEW_LAYER_PRINT4, VT_BOOL, 0},
        {"KPVSetToolBarItems", [&] { return KPVSetToolBarItems(preview, 0x10000013); },
         KPM_PREVIEW_TOOLS, VT_UI4, 0x10000013},
        {"KPVSetAutoScale", [&] { return KPVSetAutoScale(preview, 0); }, KPM_PREVIEW_FIT_TO_WINDOW,
         VT_BOOL, 0},
        {"KPVSetPreviewScale", [&] { return KPVSetPreviewScale(preview, 150); }, KPM_PREVIEW_ZOOM,
         VT_UI2, 150},
        {"KPVSetPreviewMode 3", [&] { return KPVSetPreviewMode(preview, 3); },
         KPM_PREVIEW_TWO_PAGES_VERTICAL, VT_BOOL, 1},
        {"(stacked)", [] { return 1; }, KPM_PREVIEW_TWO_PAGES, VT_BOOL, 1},
        {"KPVSetPreviewMode 2", [&] { return KPVSetPreviewMode(preview, 2); },
         KPM_PREVIEW_TWO_PAGES_VERTICAL, VT_BOOL, 0},
        {"(side by side)", [] { return 1; }, KPM_PREVIEW_TWO_PAGES, VT_BOOL, 1},
        {"KPVSetPreviewMode 1", [&] { return KPVSetPreviewMode(preview, 1); },
         KPM_PREVIEW_TWO_PAGES, VT_BOOL, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.call(), 1) << row.name;
        const Variant v = Get(object, row.id);
        EXPECT_EQ(v.vt, row.type) << row.name;
        const uint32_t value = row.type == VT_BOOL  ? uint32_t(v.boolVal != 0)
                               : row.type == VT_UI2 ? uint32_t(v.uiVal)
                                                    : v.ulVal;
        EXPECT_EQ(value, row.value) << row.name;
    }
    // "プレビュー" in CP932.
    EXPECT_EQ(KPVSetWindowCaption(preview, "\x83\x76\x83\x8C\x83\x72\x83\x85\x81\x5B"), 1);
    Variant caption = Get(object, KPM_PREVIEW_TITLE);
    EXPECT_EQ(std::u16string(BstrView(caption.bstrVal)), u"プレビュー");
    VariantClear(&caption);
    // The engine's own refusal reaches the last error.
    EXPECT_EQ(KPVSetPreviewScale(preview, 4), 0);
    EXPECT_EQ(LastError(), 8);
    EXPECT_EQ(KPVDeletePreview(preview), 1);
    EXPECT_EQ(kpcif::ObjectOf(preview, kpcif::HandleKind::kPreview), nullptr);
}

TEST_F(KpcifTest, StaleAndWrongKindHandlesFailWithError4) {
    const uint32_t report = KPRLoadReport(Layout().c_str());
    ASSERT_NE(report, 0u);
    int status = 0;
    const struct {
        const char* name;
        int result;
    } wrongKind[] = {
        {"KPVGetStatus", KPVGetStatus(report, &status)},
        {"KPPGetStatus", KPPGetStatus(report, &status)},
        {"KPPSetPaperSize", KPPSetPaperSize(report, 9)},
        {"KPVReportPrint", KPVReportPrint(report, report)},
        {"KPVDeletePreview", KPVDeletePreview(report)},
    };
    for (const auto& row : wrongKind) EXPECT_EQ(row.result, 0) << row.name;
    EXPECT_EQ(LastError(), 4);
    EXPECT_EQ(kpcif::ObjectOf(report, kpcif::HandleKind::kReport) != nullptr, true)
        << "a wrong-kind call leaves the report alone";
    EXPECT_EQ(KPRDeleteReport(report), 1);
    EXPECT_EQ(KPRSetLayerVisible(report, 1, 1), 0);
    EXPECT_EQ(KPOSetText(report, "A", "x"), 0);
    EXPECT_EQ(KPRDeleteReport(report), 0);
    EXPECT_EQ(KPRSetEditLayer(0, 1), 0);
    EXPECT_EQ(LastError(), 4);
    // A new report never gets the old handle back.
    const uint32_t again = KPRLoadReport(Layout().c_str());
    EXPECT_NE(again, 0u);
    EXPECT_NE(again, report);
    EXPECT_EQ(KPRDeleteReport(again), 1);
}

TEST_F(KpcifTest, ExitReleasesEveryHandleAndTheNextCallStartsAgain) {
    const uint32_t report = KPRLoadReport(Layout().c_str());
    ASSERT_NE(report, 0u);
    int code = -1;
    EXPECT_EQ(KPExit(&code), 1);
    EXPECT_EQ(kpcif::ObjectOf(report, kpcif::HandleKind::kReport), nullptr);
    EXPECT_EQ(KPRSetLayerVisible(report, 1, 1), 0);
    const uint32_t next = KPRLoadReport(Layout().c_str());
    EXPECT_NE(next, 0u);
    EXPECT_EQ(KPRSetLayerVisible(next, 1, 1), 1);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The staged layouts offer every field the page filling sets, on layer 1, with layers 2 to 5
// empty, on A4 portrait; a second generation gives the same bytes.
TEST_F(KpcifTest, StagedLayoutsHoldTheSheetFields) {
    std::vector<std::string> sheet = {"TitleMain", "Date", "PageNO", "ComPageNO"};
    for (int n = 1; n <= 4; ++n) sheet.push_back("ComTitle" + std::to_string(n));
    for (int n = 1; n <= 160; ++n) sheet.push_back("Com" + std::to_string(n));
    std::vector<std::string> book = {"TitleMain",  "Date",       "PageNO",    "ShortTitle",
                                     "TelNOTitle", "KanjiTitle", "KanaTitle", "GNoTitle"};
    for (const char* stem : {"Short", "TelNO", "Kanji", "Kana", "GNo"}) {
        for (int n = 1; n <= 40; ++n) book.push_back(stem + std::to_string(n));
    }
    const std::filesystem::path staged = std::filesystem::path(QZS_BINARY_DIR) / "tools/QzSReport";
    const struct {
        const char* file;
        const std::vector<std::string>& fields;
    } layouts[] = {
        {"データ設定.k30", sheet},
        {"システム短ダ.k30", book},
        {"電話機毎短縮.k30", book},
    };
    for (const auto& layout : layouts) {
        // The library takes CP932, as the program hands it the path.
        std::string path;
        ASSERT_TRUE(Cp932FromWide(WideFromUtf8((staged / layout.file).string()), &path));
        const uint32_t report = KPRLoadReport(path.c_str());
        ASSERT_NE(report, 0u) << layout.file;
        ScriptableObject* object = kpcif::ObjectOf(report, kpcif::HandleKind::kReport);
        EXPECT_EQ(Get(object, KPM_REPORT_PAPER_SIZE).iVal, 9) << layout.file;
        EXPECT_EQ(Get(object, KPM_REPORT_PAPER_ORIENTATION).iVal, 1) << layout.file;
        EXPECT_EQ(Get(ObjectsOf(object, 1), KPM_OBJECT_COLLECTION_COUNT, {VariantDispatch(nullptr)},
                      kp::kInvokeMethod)
                      .uiVal,
                  layout.fields.size())
            << layout.file;
        for (uint16_t n = 2; n <= 5; ++n) {
            EXPECT_EQ(Get(ObjectsOf(object, n), KPM_OBJECT_COLLECTION_COUNT,
                          {VariantDispatch(nullptr)}, kp::kInvokeMethod)
                          .uiVal,
                      0)
                << layout.file << " layer " << n;
        }
        for (const std::string& field : layout.fields) {
            EXPECT_EQ(KPOSetText(report, field.c_str(), "x"), 1) << layout.file << " " << field;
        }
        EXPECT_EQ(KPRDeleteReport(report), 1);
    }

    const std::filesystem::path again = *dir_ / "again";
    const std::string command = std::string("'") + QZS_GEN_LAYOUTS + "' '" + QZS_SOURCE_DIR +
                                "/resources/QzSReport/layouts.txt' '" + (*dir_ / "work").string() +
                                "' '" + QZS_REPORT_TOOL + "' '" + again.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const auto& layout : layouts) {
        EXPECT_EQ(ReadFile(again / layout.file), ReadFile(staged / layout.file)) << layout.file;
    }
}

// Whatever fails inside a function, the C caller gets 0 and the code, never an exception: every
// allocation of the call is made to fail in turn, the library's own and the engine's.
TEST_F(KpcifTest, FailedAllocationsAnswerZeroWithTheirCode) {
    const std::string layout = Layout();
    uint32_t report = KPRLoadReport(layout.c_str());
    ASSERT_NE(report, 0u);
    struct Case {
        const char* name;
        std::function<int()> call;
        std::function<void(int)> undo;  // drops what a successful call made
    };
    const Case cases[] = {
        {.name = "KPRLoadReport",
         .call = [&] { return static_cast<int>(KPRLoadReport(layout.c_str())); },
         .undo = [](int handle) { KPRDeleteReport(static_cast<uint32_t>(handle)); }},
        {.name = "KPOSetText",
         .call = [&] { return KPOSetText(report, "A", "\x83\x66\x81\x5B\x83\x5E"); },
         .undo = [](int) {}},
        {.name = "KPRClearLayerData",
         .call = [&] { return KPRClearLayerData(report, 1); },
         .undo = [](int) {}},
        {.name = "KPVCreatePreview",
         .call = [] { return static_cast<int>(KPVCreatePreview()); },
         .undo = [](int handle) { KPVDeletePreview(static_cast<uint32_t>(handle)); }},
    };
    for (const Case& c : cases) {
        for (long failAt = 0;; ++failAt) {
            qzs_test::gAllocationFailed = false;
            qzs_test::gFailAllocationIn = failAt;
            int answer = 0;
            try {
                answer = c.call();
            } catch (...) {
                qzs_test::gFailAllocationIn = -1;
                ADD_FAILURE() << c.name << ": an exception left it at allocation " << failAt;
                break;
            }
            qzs_test::gFailAllocationIn = -1;
            if (answer != 0) c.undo(answer);
            if (!qzs_test::gAllocationFailed) {
                EXPECT_NE(answer, 0) << c.name;
                break;
            }
            if (answer == 0) {
                EXPECT_NE(LastError(), 0) << c.name << " at " << failAt;
            }
            ASSERT_LT(failAt, 100000) << c.name;
        }
    }
    EXPECT_EQ(KPRDeleteReport(report), 1);
}

}  // namespace
