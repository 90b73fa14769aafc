// The printer job over the scripted printer system and a recording document: capabilities coded
// into paper and source numbers, the settings record checked against the printer, the members
// by state, pending edits and their refusals, the document's opening and closing, job status.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/application.h"
#include "engine/core/module.h"
#include "engine/core/report.h"
#include "engine/output/printer_job.h"
#include "engine/output/printer_settings.h"
#include "engine_fakes.h"
#include "platform/gdi/handles.h"

namespace {

using namespace kp;
using namespace plat;

// ---------------------------------------------------------------------------------------------
// The printer: A4, A3, Letter, a second A4 and an odd size; three trays and one unknown; two
// resolutions; custom sizes from postcard to A3; 99 copies; colour.
PrinterCapabilities OfficeCaps() {
    PrinterCapabilities c;
    c.media = fakes::OfficeMedia();
    c.defaultMedia = "iso_a4_210x297mm";
    c.sources = {
        {"auto", "Automatic"}, {"tray-1", "Tray 1"}, {"manual", "Manual"}, {"tray-9", "Tray 9"}};
    c.defaultSource = "auto";
    c.resolutions = {{300, 300}, {600, 600}};
    c.defaultResolution = {600, 600};
    c.copiesMax = 99;
    c.color = true;
    c.customMinWidth = 10000;
    c.customMinLength = 14800;
    c.customMaxWidth = 29700;
    c.customMaxLength = 42000;
    c.customMargins = {"", "", 0, 0, 500, 500, 500, 500};
    return c;
}

// ---------------------------------------------------------------------------------------------
// The recording document

struct DocScript {
    std::vector<std::string> log;
    std::atomic<int> startPageMs{0};
    int32_t startDoc = 0;
    int32_t endDoc = 0;
    int32_t abortDoc = 0;
    int32_t nextJob = 41;
    bool make = true;
    bool reset = true;
    std::function<bool()> abortProc;
};
DocScript& D() {
    static DocScript d;
    return d;
}
void ResetScript() {
    D().log.clear();
    D().startPageMs = 0;
    D().startDoc = D().endDoc = D().abortDoc = 0;
    D().nextJob = 41;
    D().make = D().reset = true;
    D().abortProc = nullptr;
}

class RecordingDocument : public PrinterDocument {
  public:
    explicit RecordingDocument(const PageGeometry& page) : dc_(Info(page)) {}
    DeviceContext* dc() override { return &dc_; }
    bool Reset(const PageGeometry& page, const DevMode& dm) override {
        D().log.push_back("reset " + std::to_string(page.physicalWidth) + "x" +
                          std::to_string(page.physicalHeight) + " paper " +
                          std::to_string(dm.dmPaperSize));
        return D().reset;
    }
    int32_t StartDoc(const std::string& title, int32_t* jobId) override {
        D().log.push_back("startdoc " + title);
        *jobId = D().nextJob;
        return D().startDoc;
    }
    int32_t StartPage() override {
        if (D().startPageMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(D().startPageMs));
        D().log.push_back("startpage");
        return 0;
    }
    int32_t EndPage() override {
        D().log.push_back("endpage");
        return 0;
    }
    int32_t EndDoc() override {
        D().log.push_back("enddoc");
        return D().endDoc;
    }
    int32_t AbortDoc() override {
        D().log.push_back("abortdoc");
        return D().abortDoc;
    }
    void SetAbortProc(std::function<bool()> proc) override { D().abortProc = std::move(proc); }

  private:
    static DeviceInfo Info(const PageGeometry& page) {
        DeviceInfo info =
            DeviceInfo::ForPixels(page.horzRes, page.vertRes, page.dpiX, kDtRasPrinter);
        info.physicalWidth = page.physicalWidth;
        info.physicalHeight = page.physicalHeight;
        info.physicalOffsetX = page.offsetX;
        info.physicalOffsetY = page.offsetY;
        return info;
    }
    InfoDc dc_;
};

std::unique_ptr<PrinterDocument> MakeRecordingDocument(const std::string&, const PrinterModel&,
                                                       const PageGeometry& page, const DevMode&) {
    if (!D().make) return nullptr;
    return std::make_unique<RecordingDocument>(page);
}

// ---------------------------------------------------------------------------------------------
// Fixture

int moduleToken;

class PrinterJobTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetScript();
        fakes::Control() = {};
        SetControlLibraryLoader(&fakes::kFakeLoader);
        printers_ = std::make_shared<FakePrinterSystem>();
        printers_->SetPrinters(fakes::ThreePrinters());
        printers_->SetCapabilities("Office", OfficeCaps());
        SetPrinterSystem(printers_);
        EngineServices services;
        services.children.newPrinterJob = NewPrinterJob;
        services.children.openPrinterJob = OpenPrinterJob;
        AddReportServices(services);
        services.printerDocument = MakeRecordingDocument;
        InitModule(&moduleToken);
        void* out = nullptr;
        ASSERT_EQ(CreateEngineObject(services, &iid::kApplication, &iid::kApplication, &out), 0);
        app_ = static_cast<ApplicationObject*>(static_cast<Unknown*>(out));
        app_->Site().SetSite(1);
    }
    void TearDown() override {
        InitModule(nullptr);
        SetPrinterSystem(nullptr);
        SetControlLibraryLoader(nullptr);
    }

    int32_t CreateJob(const char16_t* name, PrinterJobObject** job) {
        Variant arg = VariantBstr(BstrAlloc(name));
        InvokeArgs args{&arg, 1};
        Variant result{};
        const int32_t code =
            app_->Invoke(KPM_APPLICATION_CREATE_PRINTER, kInvokeMethod, &args, &result);
        BstrFree(arg.bstrVal);
        *job = result.pdispVal
                   ? static_cast<PrinterJobObject*>(static_cast<ScriptableObject*>(result.pdispVal))
                   : nullptr;
        return code;
    }
    PrinterJobObject* Office() {
        PrinterJobObject* job = nullptr;
        EXPECT_EQ(CreateJob(u"Office", &job), 0);
        return job;
    }
    static int32_t Put(PrinterJobObject* job, int32_t id, Variant v) {
        InvokeArgs args{&v, 1};
        Variant result{};
        return job->Invoke(id, kInvokePut, &args, &result);
    }
    static int32_t Get(PrinterJobObject* job, int32_t id, Variant* out) {
        *out = Variant{};
        return job->Invoke(id, kInvokeGet, nullptr, out);
    }
    static int32_t Call(PrinterJobObject* job, int32_t id, std::vector<Variant> args,
                        Variant* out = nullptr) {
        Variant local{};
        InvokeArgs block{args.data(), static_cast<uint32_t>(args.size())};
        return job->Invoke(id, kInvokeMethod, &block, out ? out : &local);
    }
    // Opens the document without a cancel dialog.
    static int32_t OpenDoc(PrinterJobObject* job) {
        EXPECT_EQ(Put(job, KPM_PRINTER_JOB_CANCEL_DLG, VariantBool(false)), 0);
        return Call(job, KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(0)});
    }
    static Variant Ptr(void* p) {
        Variant v{};
        v.vt = VT_PTR;
        v.byref = p;
        return v;
    }

    std::shared_ptr<FakePrinterSystem> printers_;
    ApplicationObject* app_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Coding of the capabilities

TEST(PrinterCoding, StandardPaperCodesBySize) {
    struct {
        int32_t w, l;
        uint16_t code;
        const char* why;
    } cases[] = {
        {2100, 2970, 9, "A4"},
        {2099, 2971, 9, "A4 within 0.1 mm each way"},
        {2098, 2970, 0, "0.2 mm off is no A4"},
        {2970, 4200, 8, "A3"},
        {2159, 2794, 1, "Letter before its look-alikes"},
        {1820, 2570, 13, "JIS B5"},
        {1000, 1480, 43, "postcard"},
        {2350, 1050, 92, "the turned You #4 (the table's corrected size)"},
        {1230, 2340, 0, "no standard size"},
    };
    for (const auto& c : cases) EXPECT_EQ(StandardPaperCode(c.w, c.l), c.code) << c.why;
}

// Papers as CUPS lists them, with the sizes a driver's whole points convert to.
TEST(PrinterCoding, PapersByTheirMediaName) {
    const struct {
        const char* media;
        int32_t width, length;  // 0.01 mm, as the queue converted them
        uint16_t code;
        int32_t codedWidth, codedLength;  // 0.1 mm
        const char* why;
    } cases[] = {
        {"iso_a4_210x297mm", 20990, 29704, 9, 2100, 2970, "595 x 842 points"},
        {"iso_a3_297x420mm", 29704, 42016, 8, 2970, 4200, "842 x 1191 points: 1.6 mm long"},
        {"jis_b4_257x364mm", 25717, 36407, 12, 2570, 3640, "729 x 1032 points"},
        {"jis_b5_182x257mm", 18203, 25717, 13, 1820, 2570, "516 x 729 points"},
        {"na_letter_8.5x11in", 21590, 27940, 1, 2159, 2794, "Letter before its look-alikes"},
        {"na_legal_8.5x14in", 21590, 35560, 5, 2159, 3556, "Legal"},
        {"iso_b5_176x250mm", 17600, 25000, 34, 1760, 2500, "ISO B5 is not JIS B5"},
        {"om_square_220x220mm", 22000, 22000, 47, 2200, 2200, "a standard size by another name"},
        {"Tabloid-ish", 27990, 43230, 3, 2794, 4318, "no size in the name: within 1 mm"},
        {"Near A4", 21110, 29700, 0, 2111, 2970, "no size in the name: 1.1 mm off"},
        {"oe_odd_123x234mm", 12300, 23400, 0, 1230, 2340, "no standard paper"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        MediaInfo m;
        m.media = c.media;
        m.width = c.width;
        m.length = c.length;
        const CodedSize size = StandardPaperOf(m);
        EXPECT_EQ(size.code, c.code);
        EXPECT_EQ(size.width, c.codedWidth);
        EXPECT_EQ(size.length, c.codedLength);
    }
}

TEST(PrinterCoding, PapersSourcesAndDefaults) {
    const PrinterModel m = CodePrinter("Office", OfficeCaps());
    std::vector<uint16_t> codes;
    for (const auto& p : m.papers) codes.push_back(p.code);
    // The second A4 and the odd size take codes of their own; the user size comes last.
    EXPECT_EQ(codes, (std::vector<uint16_t>{9, 8, 1, 257, 258, 256}));
    EXPECT_EQ(m.papers[4].width, 1230);
    std::vector<int16_t> sources;
    for (const auto& s : m.sources) sources.push_back(s.code);
    EXPECT_EQ(sources, (std::vector<int16_t>{7, 1, 4, 257}));
    EXPECT_EQ(m.fields, kDmOrientation | kDmPaperSize | kDmPaperWidth | kDmPaperLength | kDmCopies |
                            kDmDefaultSource | kDmPrintQuality | kDmYResolution | kDmColor);
    EXPECT_EQ(m.defaults.dmPaperSize, 9);
    EXPECT_EQ(m.defaults.dmDefaultSource, 7);
    EXPECT_EQ(m.defaults.dmPrintQuality, 600);
    EXPECT_EQ(m.defaults.dmSize, 156);
    EXPECT_EQ(m.copiesLimit, 99);
    EXPECT_EQ(m.minWidth, 1000);
    EXPECT_EQ(m.maxLength, 4200);
}

TEST(PrinterCoding, MergeChecksEveryField) {
    const PrinterModel m = CodePrinter("Office", OfficeCaps());
    struct Case {
        void (*edit)(DevMode&);
        void (*check)(const DevMode&);
        const char* why;
    } cases[] = {
        {[](DevMode& d) { d.dmOrientation = 3; },
         [](const DevMode& d) { EXPECT_EQ(d.dmOrientation, 1); },
         "orientation 3 takes the default"},
        {[](DevMode& d) { d.dmPaperSize = 11; },
         [](const DevMode& d) { EXPECT_EQ(d.dmPaperSize, 9); }, "A5 is not among the papers"},
        {[](DevMode& d) {
             d.dmPaperSize = 8;
             d.dmPaperWidth = 1;
         },
         [](const DevMode& d) { EXPECT_EQ(d.dmPaperWidth, 2970); },
         "a standard paper gets its own size"},
        {[](DevMode& d) {
             d.dmPaperSize = 256;
             d.dmPaperWidth = 1500;
             d.dmPaperLength = 2000;
         },
         [](const DevMode& d) {
             EXPECT_EQ(d.dmPaperSize, 256);
             EXPECT_EQ(d.dmPaperWidth, 1500);
         },
         "a user size inside the extents"},
        {[](DevMode& d) {
             d.dmPaperSize = 256;
             d.dmPaperWidth = 500;
             d.dmPaperLength = 2000;
         },
         [](const DevMode& d) { EXPECT_EQ(d.dmPaperSize, 9); }, "a user size below the extents"},
        {[](DevMode& d) { d.dmCopies = 500; }, [](const DevMode& d) { EXPECT_EQ(d.dmCopies, 99); },
         "copies above the limit"},
        {[](DevMode& d) { d.dmCopies = -3; }, [](const DevMode& d) { EXPECT_EQ(d.dmCopies, 1); },
         "copies below 1"},
        {[](DevMode& d) { d.dmPrintQuality = 1200; },
         [](const DevMode& d) { EXPECT_EQ(d.dmPrintQuality, 600); }, "an unknown resolution"},
        {[](DevMode& d) { d.dmPrintQuality = -4; },
         [](const DevMode& d) { EXPECT_EQ(d.dmPrintQuality, -4); }, "a quality keeps"},
        {[](DevMode& d) { d.dmDefaultSource = 3; },
         [](const DevMode& d) { EXPECT_EQ(d.dmDefaultSource, 7); }, "a source the printer lacks"},
        {[](DevMode& d) {
             d.dmFields = 0;
             d.dmOrientation = 2;
         },
         [](const DevMode& d) { EXPECT_EQ(d.dmOrientation, 1); }, "unmarked fields are not taken"},
    };
    for (const auto& c : cases) {
        DevMode d = m.defaults;
        c.edit(d);
        SCOPED_TRACE(c.why);
        c.check(MergeDevMode(m, d));
    }
}

TEST(PrinterCoding, PageAndJobOptions) {
    const PrinterModel m = CodePrinter("Office", OfficeCaps());
    DevMode d = m.defaults;
    PageGeometry g;
    ASSERT_TRUE(MeasurePage(m, d, &g));
    EXPECT_EQ(g.physicalWidth, 4961);  // 210 mm at 600 dpi
    EXPECT_EQ(g.physicalHeight, 7016);
    EXPECT_EQ(g.offsetX, 100);  // 4.23 mm
    EXPECT_EQ(g.horzRes, 4961 - 200);
    d.dmOrientation = 2;
    ASSERT_TRUE(MeasurePage(m, d, &g));
    EXPECT_EQ(g.physicalWidth, 7016) << "landscape turns the page";
    d.dmPrintQuality = 0;
    d.dmYResolution = 0;
    PrinterModel noRes = m;
    noRes.resolutions.clear();
    noRes.defaults.dmPrintQuality = 0;
    EXPECT_FALSE(MeasurePage(noRes, d, &g)) << "no resolution: no page, no division by zero";

    DevMode user = m.defaults;
    user.dmPaperSize = 256;
    user.dmPaperWidth = 1005;
    user.dmPaperLength = 1480;
    user.dmCopies = 3;
    user.dmDefaultSource = 257;
    user.dmColor = 1;
    user.dmPrintQuality = -1;
    EXPECT_EQ(JobOptionsFor(m, user), (JobOptions{{"media", "Custom.100.5x148mm"},
                                                  {"media-source", "tray-9"},
                                                  {"copies", "3"},
                                                  {"print-color-mode", "monochrome"},
                                                  {"print-quality", "3"}}));
    EXPECT_EQ(JobOptionsFor(m, m.defaults), (JobOptions{{"media", "iso_a4_210x297mm"},
                                                        {"media-source", "auto"},
                                                        {"copies", "1"},
                                                        {"print-color-mode", "monochrome"},
                                                        {"printer-resolution", "600x600dpi"}}));
}

// ---------------------------------------------------------------------------------------------
// Creation and the members by state

TEST_F(PrinterJobTest, NamesMatchWholeAndWithoutCase) {
    PrinterJobObject* job = nullptr;
    EXPECT_EQ(CreateJob(u"office", &job), 0);
    ASSERT_NE(job, nullptr);
    Variant v;
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_STATUS, &v), 0);
    EXPECT_EQ(v.uiVal, 16);
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_PRINTER_NAME, &v), 0);
    EXPECT_EQ(std::u16string(BstrView(v.bstrVal)), u"office");
    VariantClear(&v);
    EXPECT_EQ(app_->ChildCount(ChildKind::kPrinter), 1u);
    EXPECT_EQ(CreateJob(u"Offic", &job), rc::kNoSuchPrinter);
    EXPECT_EQ(CreateJob(u"Office2", &job), rc::kNoSuchPrinter);
    EXPECT_EQ(job, nullptr);
    EXPECT_EQ(app_->ChildCount(ChildKind::kPrinter), 1u) << "failed jobs are destroyed";
    // A printer that does not answer its capability query cannot be opened.
    EXPECT_EQ(CreateJob(u"Label/small", &job), rc::kPrinterOpenFailed);

    PrinterJobObject fresh;
    EXPECT_EQ(Get(&fresh, KPM_PRINTER_JOB_STATUS, &v), 0);
    EXPECT_EQ(v.uiVal, 1) << "Status answers in state 1";
    EXPECT_EQ(Get(&fresh, KPM_PRINTER_JOB_PAPER_SIZE, &v), rc::kWrongState);
    EXPECT_EQ(Get(&fresh, KPM_PRINTER_JOB_PRINTER_NAME, &v), rc::kWrongState);
}

TEST_F(PrinterJobTest, ReadsCapabilitiesAndMeasures) {
    PrinterJobObject* job = Office();
    Variant v;
    const struct {
        int32_t id;
        int32_t value;
    } gets[] = {
        {KPM_PRINTER_JOB_SUPPORT_PAPERS, 6},
        {KPM_PRINTER_JOB_SUPPORT_SOURCES, 4},
        {KPM_PRINTER_JOB_INFO_SIZE, 156},
        {KPM_PRINTER_JOB_MIN_PAPER_WIDTH, 1000},
        {KPM_PRINTER_JOB_MIN_PAPER_LENGTH, 1480},
        {KPM_PRINTER_JOB_MAX_PAPER_WIDTH, 2970},
        {KPM_PRINTER_JOB_MAX_PAPER_LENGTH, 4200},
        {KPM_PRINTER_JOB_PAPER_SIZE, 9},
        {KPM_PRINTER_JOB_PAPER_WIDTH, 2100},
        {KPM_PRINTER_JOB_PAPER_LENGTH, 2970},
        {KPM_PRINTER_JOB_SOURCE, 7},
        {KPM_PRINTER_JOB_ORIENTATION, 1},
        {KPM_PRINTER_JOB_COPIES, 1},
        {KPM_PRINTER_JOB_QUALITY, 600},
        {KPM_PRINTER_JOB_MIN_TOP_MARGIN, 40},
        {KPM_PRINTER_JOB_MIN_LEFT_MARGIN, 40},
        {KPM_PRINTER_JOB_MIN_BOTTOM_MARGIN, 45},
        {KPM_PRINTER_JOB_MIN_RIGHT_MARGIN, 45},
        {KPM_PRINTER_JOB_SCALE, 100},
        {KPM_PRINTER_JOB_SCALE_PRINT_LAYOUT, 1},
    };
    for (const auto& g : gets) {
        ASSERT_EQ(Get(job, g.id, &v), 0) << g.id;
        EXPECT_EQ(v.vt == VT_UI2 ? v.uiVal : v.iVal, g.value) << g.id;
    }
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_COPIES_SUPPORTED, &v), 0);
    EXPECT_EQ(v.boolVal, -1);
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_SUPPORTED_FIELDS, &v), 0);
    EXPECT_EQ(v.ulVal, 0x2F0Fu);
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_HDC, &v), 0);
    DeviceContext* info = DcFromHandle(v.ulVal);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetDeviceCaps(kPhysicalWidth), 4961);
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_PAGE_COUNT, &v), rc::kWrongState)
        << "PageCount only with a document";
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_CANCEL_DLG_MESSAGE, &v), 0);
    EXPECT_EQ(std::u16string(BstrView(v.bstrVal)), u"印刷中です。");
    VariantClear(&v);
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_JOB_NAME, &v), 0);
    EXPECT_EQ(std::u16string(BstrView(v.bstrVal)), u"無題");
    VariantClear(&v);
}

TEST_F(PrinterJobTest, PutsByState) {
    PrinterJobObject* job = Office();
    struct Case {
        int32_t id;
        Variant value;
        int32_t in16, in128, in4096;
    } cases[] = {
        {KPM_PRINTER_JOB_PAPER_SIZE, VariantI2(8), 0, 0, rc::kJobCancelled},
        {KPM_PRINTER_JOB_ORIENTATION, VariantUI2(2), 0, 0, rc::kJobCancelled},
        {KPM_PRINTER_JOB_COPIES, VariantUI2(2), 0, rc::kWrongState, rc::kJobCancelled},
        {KPM_PRINTER_JOB_COLOR, VariantUI2(2), 0, rc::kWrongState, rc::kJobCancelled},
        {KPM_PRINTER_JOB_ASYNC_MODE, VariantBool(true), 0, rc::kWrongState, rc::kJobCancelled},
        {KPM_PRINTER_JOB_SCALE, VariantUI2(50), 0, 0, rc::kJobCancelled},
        {KPM_PRINTER_JOB_JOB_NAME, VariantBstr(nullptr), 0, rc::kWrongState, rc::kJobCancelled},
        {KPM_PRINTER_JOB_CANCEL_DLG, VariantBool(false), 0, rc::kWrongState, rc::kJobCancelled},
        {KPM_PRINTER_JOB_CANCEL_BUTTON, VariantBool(true), 0, 0, rc::kJobCancelled},
        {KPM_PRINTER_JOB_DEV_MODE_PAPER_WIDTH, VariantI2(2100), 0, rc::kWrongState,
         rc::kJobCancelled},
    };
    for (auto& c : cases) EXPECT_EQ(Put(job, c.id, c.value), c.in16) << c.id;
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_RESET_PENDING_SETTINGS, {}), 0);
    ASSERT_EQ(OpenDoc(job), 0);
    for (auto& c : cases) EXPECT_EQ(Put(job, c.id, c.value), c.in128) << c.id;
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_RESET_PENDING_SETTINGS, {}), 0);
    EXPECT_EQ(job->CancelPrintJob(), 0);
    for (auto& c : cases) EXPECT_EQ(Put(job, c.id, c.value), c.in4096) << c.id;
    Variant v;
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_JOB_NUMBER, &v), rc::kWrongState)
        << "JobNumber in state 4096";
    EXPECT_EQ(job->CancelPrintJob(), rc::kNotReady) << "cancelled once";
}

TEST_F(PrinterJobTest, PrinterSelectionWithoutTheDialog) {
    PrinterJobObject* job = Office();
    const std::vector<Variant> none = {VariantUI4(0), VariantUI4(0)};
    Variant v{};
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG, none, &v), rc::kSelectFailed)
        << "no GUI for the dialog";
    EXPECT_EQ(job->State(), kJobReady);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG, {VariantUI4(0)}, &v), rc::kBadArgument)
        << "two arguments";
    ASSERT_EQ(OpenDoc(job), 0);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG, none, &v), rc::kWrongState);
    EXPECT_EQ(job->CancelPrintJob(), 0);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG, none, &v), rc::kJobCancelled);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(false)}), 0);
    // The job's printer has left the printer list meanwhile: no dialog can be prepared.
    printers_->SetPrinters({{"Elsewhere", "", "", false}});
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG, none, &v), rc::kSelectNotPrepared);
    EXPECT_EQ(job->State(), kJobReady);
    Get(job, KPM_PRINTER_JOB_PRINTER_NAME, &v);
    EXPECT_EQ(std::u16string(BstrView(v.bstrVal)), u"Office");
    VariantClear(&v);
}

TEST_F(PrinterJobTest, LayoutPutsWaitForUpdateInDocument) {
    PrinterJobObject* job = Office();
    Variant v;
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_SCALE, VariantUI2(4)), rc::kOutOfRange);
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_SCALE, VariantUI2(1001)), rc::kOutOfRange);
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_SCALE_PRINT_LAYOUT, VariantUI2(4)), rc::kOutOfRange);
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_MULTI_PRINT_LAYOUT, VariantUI2(0)), rc::kOutOfRange);
    ASSERT_EQ(OpenDoc(job), 0);
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_SCALE, VariantUI2(50)), 0);
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_SCALE, &v), 0);
    EXPECT_EQ(v.uiVal, 100) << "not before UpdateInfo";
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_UPDATE_INFO, {}), 0);
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_SCALE, &v), 0);
    EXPECT_EQ(v.uiVal, 50);
    // A put left deferred when the document closes stays deferred through an UpdateInfo with
    // no settings to apply.
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_SCALE, VariantUI2(70)), 0);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(false)}), 0);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_UPDATE_INFO, {}), 0);
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_SCALE, &v), 0);
    EXPECT_EQ(v.uiVal, 50);
}

TEST_F(PrinterJobTest, PendingEditsAndTheirRefusals) {
    PrinterJobObject* job = Office();
    Variant v;
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_PAPER_WIDTH, VariantI2(1500)), rc::kPaperNotInList)
        << "a standard paper";
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_PAPER_SIZE, VariantI2(11)), rc::kPaperNotInList)
        << "A5 is not listed";
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_SOURCE, VariantI2(3)), rc::kSourceNotInList);
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_ORIENTATION, VariantUI2(3)), rc::kOutOfRange);
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_COPIES, VariantUI2(100)), rc::kOutOfRange);
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_QUALITY, VariantI2(1200)), rc::kOutOfRange);
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_COLOR, VariantUI2(3)), rc::kOutOfRange);
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_PAPER_WIDTH, VariantI2(20001)), rc::kOutOfRange);

    ASSERT_EQ(Put(job, KPM_PRINTER_JOB_PAPER_SIZE, VariantI2(256)), 0);
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_PAPER_WIDTH, VariantI2(1500)), 0)
        << "accepted once the size is user-defined";
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_PAPER_LENGTH, VariantI2(2000)), 0);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(0)}), rc::kOpenWithEdits);
    DevMode dm = *job->CurrentDevMode();
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_SET_DEV_MODE, {Ptr(&dm)}), rc::kEditsPending);
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_PAPER_SIZE, &v), 0);
    EXPECT_EQ(v.iVal, 9) << "nothing applied yet";
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_UPDATE_INFO, {}), 0);
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_PAPER_SIZE, &v), 0);
    EXPECT_EQ(v.iVal, 256);
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_PAPER_WIDTH, &v), 0);
    EXPECT_EQ(v.iVal, 1500);

    // An orientation alone keeps the user size: zero pending sizes are no edits.
    ASSERT_EQ(Put(job, KPM_PRINTER_JOB_ORIENTATION, VariantUI2(2)), 0);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_UPDATE_INFO, {}), 0);
    EXPECT_EQ(job->CurrentDevMode()->dmPaperWidth, 1500);
    EXPECT_EQ(job->CurrentDevMode()->dmPaperLength, 2000);
    // In landscape the host's width runs along the paper's length.
    ASSERT_EQ(Put(job, KPM_PRINTER_JOB_PAPER_WIDTH, VariantI2(1800)), 0);
    ASSERT_EQ(Put(job, KPM_PRINTER_JOB_PAPER_LENGTH, VariantI2(1200)), 0);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_UPDATE_INFO, {}), 0);
    EXPECT_EQ(job->CurrentDevMode()->dmPaperLength, 1800);
    EXPECT_EQ(job->CurrentDevMode()->dmPaperWidth, 1200);

    // A whole record waits too, and refuses the puts meanwhile.
    dm = job->CurrentDevMode().value();
    dm.dmPaperSize = 8;
    dm.dmOrientation = 1;
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_SET_DEV_MODE, {Ptr(&dm)}), 0);
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_PAPER_SIZE, VariantI2(9)), rc::kReplacementWaiting);
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_COLOR, VariantUI2(2)), rc::kReplacementWaiting);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_UPDATE_INFO, {}), 0);
    EXPECT_EQ(job->CurrentDevMode()->dmPaperSize, 8);
    EXPECT_EQ(job->CurrentDevMode()->dmPaperWidth, 2970) << "measured from the device";
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_UPDATE_INFO, {}), 0) << "nothing waiting: nothing touched";
}

TEST_F(PrinterJobTest, SettingsRecordExchange) {
    PrinterJobObject* job = Office();
    DevMode out{};
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_GET_DEV_MODE, {Ptr(&out)}), 0);
    EXPECT_EQ(DevModeBytes(out), DevModeBytes(*job->CurrentDevMode()));
    EXPECT_EQ(std::string(out.dmDeviceName), "Office");
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_GET_DEV_MODE, {Ptr(nullptr)}), rc::kDevModeBuffer);

    DevMode bad = out;
    bad.dmSize = 220;
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_SET_DEV_MODE, {Ptr(&bad)}), rc::kDevModeBuffer)
        << "not our record's size";
    bad = out;
    bad.dmDriverExtra = 9000;
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_SET_DEV_MODE, {Ptr(&bad)}), rc::kDevModeBuffer)
        << "a driver part too large";
    bad.dmDriverExtra = 64;
    bad.dmCopies = 5;
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_SET_DEV_MODE, {Ptr(&bad)}), 0);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_UPDATE_INFO, {}), 0);
    EXPECT_EQ(job->CurrentDevMode()->dmDriverExtra, 0) << "a foreign driver part is dropped";
    EXPECT_EQ(job->CurrentDevMode()->dmCopies, 5);
}

TEST_F(PrinterJobTest, ManyResolutionsLeaveTheTableEmpty) {
    PrinterCapabilities caps = OfficeCaps();
    caps.resolutions.clear();
    for (int i = 1; i <= 100; ++i) caps.resolutions.push_back({i * 10, i * 10});
    caps.defaultResolution = {600, 600};
    printers_->SetCapabilities("Office", caps);
    PrinterJobObject* job = Office();
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_QUALITY, VariantI2(600)), rc::kOutOfRange);
    EXPECT_EQ(Put(job, KPM_PRINTER_JOB_QUALITY, VariantI2(-4)), 0);
}

TEST_F(PrinterJobTest, ListsAndLookups) {
    PrinterJobObject* job = Office();
    Variant v;
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_GET_PAPER, {VariantUI2(3)}, &v), 0);
    EXPECT_EQ(v.uiVal, 257);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_GET_PAPER, {VariantUI2(6)}, &v), rc::kOutOfRange)
        << "index = count";
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_GET_PAPER_NAME, {VariantUI2(1)}, &v), 0);
    EXPECT_EQ(std::u16string(BstrView(v.bstrVal)), u"A3");
    VariantClear(&v);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_GET_SOURCE, {VariantUI2(3)}, &v), 0);
    EXPECT_EQ(v.uiVal, 257);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_GET_SOURCE_NAME, {VariantUI2(4)}, &v), rc::kOutOfRange);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_FIND_PAPER_BY_SIZE, {VariantI2(2101), VariantI2(2969)}, &v),
              0);
    EXPECT_EQ(v.iVal, 9);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_FIND_PAPER_BY_SIZE, {VariantI2(1), VariantI2(1)}, &v), 0);
    EXPECT_EQ(v.iVal, -1);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_GET_PAPER_LENGTH, {VariantI2(8)}, &v), 0);
    EXPECT_EQ(v.iVal, 4200);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_GET_PAPER_WIDTH, {VariantI2(258)}, &v), 0);
    EXPECT_EQ(v.iVal, 1230);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_GET_PAPER_WIDTH, {VariantI2(70)}, &v), rc::kUnknownPaper);
}

// ---------------------------------------------------------------------------------------------
// The document

TEST_F(PrinterJobTest, OpenAndCloseTheDocument) {
    PrinterJobObject* job = Office();
    Variant v;
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(0)}), rc::kCancelDialogFailed)
        << "no GUI for a cancel dialog";
    EXPECT_EQ(job->State(), kJobReady);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(12345)}), rc::kBadArgument)
        << "not a window";
    D().make = false;
    EXPECT_EQ(OpenDoc(job), rc::kNoPrinterDc);
    D().make = true;
    D().startDoc = rc::kQueueFull;
    EXPECT_EQ(OpenDoc(job), rc::kQueueFull);
    EXPECT_EQ(job->State(), kJobReady);
    ResetScript();
    ASSERT_EQ(OpenDoc(job), 0);
    EXPECT_EQ(job->State(), kJobDocumentOpen);
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_JOB_NUMBER, &v), 0);
    EXPECT_EQ(v.ulVal, 41u) << "the spooler's job id";
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(0)}), rc::kDocumentBusy);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), 0);
    EXPECT_EQ(D().log, (std::vector<std::string>{"reset 4961x7016 paper 9", "startdoc 無題",
                                                 "startpage", "endpage", "enddoc"}))
        << "a document without pages gets one blank sheet";
    EXPECT_EQ(job->State(), kJobReady);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), rc::kWrongState);

    // After a cancel the document is aborted whatever JobCancel says; an abort that fails is
    // no success.
    ResetScript();
    ASSERT_EQ(OpenDoc(job), 0);
    ASSERT_EQ(job->CancelPrintJob(), 0);
    EXPECT_EQ(job->AbortProc(), 0);
    D().abortDoc = rc::kDocumentFailed;
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), rc::kDocumentFailed);
    EXPECT_EQ(D().log.back(), "abortdoc");
    EXPECT_EQ(job->State(), kJobReady);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE, {}), 0);
    EXPECT_EQ(app_->ChildCount(ChildKind::kPrinter), 0u);
}

TEST_F(PrinterJobTest, JobStatusAndControl) {
    PrinterJobObject* job = Office();
    int32_t id = 0;
    ASSERT_EQ(printers_->CreateJob("Office", "t", {}, &id), PrintError::kOk);
    Variant v;
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_GET_JOB_STATUS, {VariantUI4(id)}, &v), 0);
    EXPECT_EQ(v.ulVal, 0x8u);
    printers_->SetJobState(id, {kJobCompleted, {}});
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_GET_JOB_STATUS, {VariantUI4(id)}, &v), 0);
    EXPECT_EQ(v.ulVal, 0x1080u);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_GET_JOB_STATUS, {VariantUI4(999)}, &v), rc::kNoSuchJob);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_SET_JOB_STATUS, {VariantUI4(id), VariantUI4(6)}),
              rc::kOutOfRange);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_SET_JOB_STATUS, {VariantUI4(id), VariantUI4(4)}), 0)
        << "restart an ended job";
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_SET_JOB_STATUS, {VariantUI4(id), VariantUI4(2)}),
              rc::kJobControlFailed)
        << "release a job that is not held";
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_SET_JOB_STATUS, {VariantUI4(999), VariantUI4(3)}),
              rc::kNoSuchJob);
    FakePrinterSystem::Job record;
    ASSERT_TRUE(printers_->GetJob(id, &record));
    EXPECT_EQ(record.controls,
              (std::vector<JobControl>{JobControl::kRestart, JobControl::kRelease}));
}

// ---------------------------------------------------------------------------------------------
// The print loop

// A page of given paper that counts its draws; it may act while it draws.
struct FakePage : PageSource {
    int16_t code = 9;
    int32_t width = 2100, length = 2970;
    int16_t orientation = 1;
    bool paperFails = false;
    int32_t draws = 0, locks = 0, unlocks = 0;
    int32_t drawResult = 0;
    std::function<void()> whileDrawing;
    void Lock() override { ++locks; }
    void Unlock() override { ++unlocks; }
    bool Paper(int16_t* c, int32_t* w, int32_t* l, int16_t* o) override {
        *c = code;
        *w = width;
        *l = length;
        *o = orientation;
        return !paperFails;
    }
    int32_t PaperError() const override { return -13000; }
    bool IsReport() const override { return true; }
    int32_t Draw(DeviceContext*) override {
        ++draws;
        if (whileDrawing) whileDrawing();
        return drawResult;
    }
};

struct Layout {
    bool scalePrint, fit, multi;
    uint16_t multiLayout, align, scale;
};

void SetLayout(PrinterJobObject* job, const Layout& l) {
    auto put = [&](int32_t id, Variant v) {
        InvokeArgs args{&v, 1};
        Variant r{};
        ASSERT_EQ(job->Invoke(id, kInvokePut, &args, &r), 0) << id;
    };
    put(KPM_PRINTER_JOB_SCALE_PRINT, VariantBool(l.scalePrint));
    put(KPM_PRINTER_JOB_SCALE_PAPER_FIT, VariantBool(l.fit));
    put(KPM_PRINTER_JOB_MULTI_PRINT, VariantBool(l.multi));
    put(KPM_PRINTER_JOB_MULTI_PRINT_LAYOUT, VariantUI2(l.multiLayout));
    put(KPM_PRINTER_JOB_SCALE_PRINT_LAYOUT, VariantUI2(l.align));
    put(KPM_PRINTER_JOB_SCALE, VariantUI2(l.scale));
}

TEST_F(PrinterJobTest, ScaleOfThePage) {
    PrinterJobObject* job = Office();
    struct {
        Layout layout;
        int32_t w, l;
        int16_t o;
        int32_t scale;
        const char* why;
    } cases[] = {
        {{false, true, true, 2, 1, 50}, 2100, 2970, 1, 100, "not scaled: one to one"},
        {{true, false, false, 1, 1, 50}, 2100, 2970, 1, 50, "the given scale"},
        {{true, true, false, 1, 1, 100}, 2100, 2970, 1, 100, "A4 fits A4"},
        {{true, true, true, 2, 1, 100}, 2100, 2970, 1, 50, "two above each other: half length"},
        {{true, true, true, 1, 1, 100}, 2100, 2970, 1, 50, "side by side: half width"},
        {{true, true, false, 1, 1, 100}, 2970, 4200, 1, 71, "A3 onto A4"},
        {{true, true, false, 1, 1, 100}, 2100, 2970, 2, 71, "landscape A4 onto upright A4"},
        {{true, true, false, 1, 1, 100}, 20000, 20000, 1, 11, "a huge page"},
        {{true, true, false, 1, 1, 100}, 30000, 30000, 1, 7, "never 0"},
    };
    for (const auto& c : cases) {
        SetLayout(job, c.layout);
        EXPECT_EQ(job->ComputePrintScale(c.w, c.l, c.o), c.scale) << c.why;
    }
}

TEST_F(PrinterJobTest, OriginOfThePage) {
    PrinterJobObject* job = Office();
    // A4 at 600 dpi: 4961 x 7016 pixels, the printable corner at (100, 100); at 50 % the page
    // is 2481 x 3508 pixels, the halves 2481 wide or 3508 high.
    struct {
        Layout layout;
        int16_t o;
        bool secondHalf;
        POINT origin;
        const char* why;
    } cases[] = {
        {{false, false, false, 1, 3, 100},
         1,
         false,
         {-100, -100},
         "paper corner, whatever the alignment"},
        {{false, false, true, 1, 1, 100},
         1,
         false,
         {-100, -100},
         "two-up unscaled: top left of the left half"},
        {{false, false, true, 1, 1, 100}, 1, true, {2381, -100}, "the right half"},
        {{false, false, true, 2, 1, 100}, 1, true, {-100, 3408}, "the lower half"},
        {{true, false, false, 1, 1, 50}, 1, false, {-100, -100}, "top left"},
        {{true, false, false, 1, 2, 50}, 1, false, {1140, 1654}, "centred"},
        {{true, false, false, 1, 3, 50}, 1, false, {1140, 1654}, "centre line alone centres"},
        {{true, false, true, 2, 3, 50},
         1,
         false,
         {1140, -100},
         "layout 2, first half sits on the line"},
        {{true, false, true, 2, 3, 50}, 1, true, {1140, 3408}, "second half hangs from it"},
        {{true, false, true, 1, 3, 50}, 1, false, {-100, 1654}, "layout 1, left of the line"},
        {{true, false, true, 1, 3, 50}, 1, true, {2381, 1654}, "right of the line"},
        {{true, false, true, 1, 2, 50}, 1, true, {2381, 1654}, "centred in the right half"},
        {{true, false, false, 1, 2, 50}, 2, false, {626, 2167}, "a landscape page centred"},
    };
    ResetScript();
    ASSERT_EQ(OpenDoc(job), 0);
    for (const auto& c : cases) {
        SetLayout(job, c.layout);
        ASSERT_EQ(Call(job, KPM_PRINTER_JOB_UPDATE_INFO, {}), 0);
        // The half is the one the next page goes to: two pages fill a sheet.
        FakePage page;
        page.orientation = c.o;
        if (c.secondHalf) {
            ASSERT_EQ(job->PrintPage(page), 0);  // fills the first half
        }
        const int32_t s = job->ComputePrintScale(2100, 2970, c.o);
        job->DocumentDc()->SetMapMode(kMmAnisotropic);
        job->DocumentDc()->SetWindowExtEx(100, 100);
        job->DocumentDc()->SetViewportExtEx(s, s);
        POINT origin{};
        ASSERT_EQ(job->ComputePrintOrigin(2100, 2970, c.o, &origin), 0);
        EXPECT_EQ(origin.x, c.origin.x) << c.why;
        EXPECT_EQ(origin.y, c.origin.y) << c.why;
        // Close the sheet again for the next case.
        ASSERT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(false)}), 0);
        ASSERT_EQ(OpenDoc(job), 0);
    }
}

// The paper matching itself is the binding's (test_printer_binding.cpp); here the print loop's
// answer when no paper fits, and its scaled way round that.
TEST_F(PrinterJobTest, PaperMatching) {
    // Without settable width and length a user size never matches.
    PrinterCapabilities caps = OfficeCaps();
    caps.customMaxWidth = caps.customMinWidth = 0;
    printers_->SetCapabilities("Office", caps);
    PrinterJobObject* fixed = Office();
    int16_t user = 256;
    EXPECT_FALSE(fixed->MatchPaperToReport(&user, 1500, 2000));
    ASSERT_EQ(OpenDoc(fixed), 0);
    FakePage page;
    page.code = 256;
    page.width = 1500;
    page.length = 2000;
    EXPECT_EQ(fixed->PrintPage(page), rc::kUnknownPaper) << "one to one: no paper fits";
    SetLayout(fixed, {true, true, false, 1, 1, 100});
    ASSERT_EQ(Call(fixed, KPM_PRINTER_JOB_UPDATE_INFO, {}), 0);
    EXPECT_EQ(fixed->PrintPage(page), 0) << "scaled, it prints";
}

TEST_F(PrinterJobTest, SheetsPagesAndResets) {
    PrinterJobObject* job = Office();
    ResetScript();
    ASSERT_EQ(OpenDoc(job), 0);
    FakePage a4;
    ASSERT_EQ(job->PrintPage(a4), 0);
    EXPECT_EQ(a4.locks, 1);
    EXPECT_EQ(a4.unlocks, 1);
    FakePage a3;
    a3.code = 8;
    a3.width = 2970;
    a3.length = 4200;
    ASSERT_EQ(job->PrintPage(a3), 0);
    Variant v;
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_PAGE_COUNT, &v), 0);
    EXPECT_EQ(v.ulVal, 2u);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), 0);
    EXPECT_EQ(D().log, (std::vector<std::string>{"reset 4961x7016 paper 9", "startdoc 無題",
                                                 "startpage", "endpage", "reset 7016x9921 paper 8",
                                                 "startpage", "endpage", "enddoc"}))
        << "the same paper needs no reset; A3 does";

    // Two-up: three pages make two sheets, the second half empty.
    SetLayout(job, {false, false, true, 1, 1, 100});
    ResetScript();
    ASSERT_EQ(OpenDoc(job), 0);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(job->PrintPage(a4), 0);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), 0);
    int sheets = 0;
    for (const auto& line : D().log) sheets += line == "startpage";
    EXPECT_EQ(sheets, 2);

    // A failed paper query and a failed draw count no page.
    ResetScript();
    ASSERT_EQ(OpenDoc(job), 0);
    FakePage broken;
    broken.paperFails = true;
    EXPECT_EQ(job->PrintPage(broken), -13000);
    broken.paperFails = false;
    broken.width = 0;
    EXPECT_EQ(job->PrintPage(broken), -13000) << "a page without width";
    broken.width = 2100;
    broken.drawResult = -7;
    EXPECT_EQ(job->PrintPage(broken), -7);
    EXPECT_EQ(Get(job, KPM_PRINTER_JOB_PAGE_COUNT, &v), 0);
    EXPECT_EQ(v.ulVal, 0u);
    EXPECT_EQ(broken.unlocks, 3);
}

TEST_F(PrinterJobTest, LoopStatesAndCancelMidPage) {
    PrinterJobObject* job = Office();
    FakePage page;
    EXPECT_EQ(job->PrintPage(page), rc::kWrongState);
    EXPECT_EQ(page.locks, 0);
    ASSERT_EQ(OpenDoc(job), 0);
    // Re-entered while its page prints: refused, nothing changed.
    int32_t inner = 0;
    page.whileDrawing = [&] {
        FakePage again;
        inner = job->PrintPage(again);
        EXPECT_EQ(again.locks, 0);
    };
    ASSERT_EQ(job->PrintPage(page), 0);
    EXPECT_EQ(inner, rc::kBusy);
    EXPECT_EQ(job->State(), kJobDocumentOpen);

    // The context's abort procedure goes on until the cancel, and stops the page after it.
    ASSERT_TRUE(D().abortProc);
    page.whileDrawing = [&] {
        EXPECT_TRUE(D().abortProc());
        EXPECT_EQ(job->CancelPrintJob(), 0);
        EXPECT_FALSE(D().abortProc());
    };
    EXPECT_EQ(job->PrintPage(page), rc::kJobCancelled);
    EXPECT_EQ(job->State(), kJobCancelled);
    page.whileDrawing = nullptr;
    EXPECT_EQ(job->PrintPage(page), rc::kJobCancelled) << "later pages are refused";
    D().log.clear();
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), 0);
    EXPECT_EQ(D().log.back(), "abortdoc");
}

// The cancel and the end of a page race: the cancel is never lost.
TEST_F(PrinterJobTest, CancelHammeredAgainstThePageEnd) {
    PrinterJobObject* job = Office();
    for (int round = 0; round < 300; ++round) {
        ASSERT_EQ(OpenDoc(job), 0);
        std::atomic<bool> go{false};
        int32_t cancelled = -1;
        std::thread canceller([&] {
            while (!go.load()) {
            }
            for (int i = 0; i < round % 7; ++i) std::this_thread::yield();
            cancelled = job->CancelPrintJob();
        });
        FakePage page;
        go = true;
        for (int i = 0; i < 3 && job->State() != kJobCancelled; ++i) job->PrintPage(page);
        canceller.join();
        if (cancelled == 0) {
            ASSERT_EQ(job->State(), kJobCancelled) << "round " << round;
        }
        job->CancelPrintJob();
        ASSERT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(false)}), 0);
    }
}

// ---------------------------------------------------------------------------------------------
// Print with a report, at once and on the print thread

// A host's event sink that hands each event to the test.
class Sink final : public ScriptableObject {
  public:
    std::function<void(int32_t, const InvokeArgs*)> onEvent;
    int32_t QueryInterface(const InterfaceId*, void** out) override {
        *out = this;
        return 0;
    }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t GetTypeInfo(ClassInfo**) override { return -2; }
    int32_t Invoke(int32_t id, int32_t, const InvokeArgs* args, Variant*) override {
        if (onEvent) onEvent(id, args);
        return 0;
    }
};

TEST_F(PrinterJobTest, PrintsAReport) {
    Variant made{};
    ASSERT_EQ(app_->Invoke(KPM_APPLICATION_CREATE_REPORT, kInvokeMethod, nullptr, &made), 0);
    ScriptableObject* report = static_cast<ScriptableObject*>(made.pdispVal);
    PrinterJobObject* job = Office();
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_PRINT, {VariantDispatch(report)}), rc::kWrongState)
        << "no document";
    ResetScript();
    ASSERT_EQ(OpenDoc(job), 0);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_PRINT, {VariantDispatch(report)}), 0);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_PRINT, {VariantDispatch(job)}), rc::kBadArgument)
        << "not a report";
    EXPECT_EQ(job->State(), kJobDocumentOpen);
    Variant v;
    ASSERT_EQ(Get(job, KPM_PRINTER_JOB_PAGE_COUNT, &v), 0);
    EXPECT_EQ(v.ulVal, 1u);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_FILE_PRINT, {VariantDispatch(report), VariantUI4(1)}),
              rc::kNotImplemented);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), 0);
    EXPECT_EQ(D().log.back(), "enddoc");
}

// The report measures itself on the printer while a document is open; no sheet is started.
TEST_F(PrinterJobTest, DrawReportOnPrinterOnlyInAnOpenDocument) {
    Variant made{};
    ASSERT_EQ(app_->Invoke(KPM_APPLICATION_CREATE_REPORT, kInvokeMethod, nullptr, &made), 0);
    ScriptableObject* report = static_cast<ScriptableObject*>(made.pdispVal);
    PrinterJobObject* job = Office();
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_DRAW_REPORT_ON_PRINTER, {VariantDispatch(report)}),
              rc::kWrongState)
        << "no document";
    ResetScript();
    ASSERT_EQ(OpenDoc(job), 0);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_DRAW_REPORT_ON_PRINTER, {VariantDispatch(job)}),
              rc::kBadArgument)
        << "not a report";
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_DRAW_REPORT_ON_PRINTER, {VariantDispatch(report)}), 0);
    EXPECT_EQ(job->State(), kJobDocumentOpen);
    Variant pages;
    ASSERT_EQ(Get(job, KPM_PRINTER_JOB_PAGE_COUNT, &pages), 0);
    EXPECT_EQ(pages.ulVal, 0u);
    for (const std::string& entry : D().log) EXPECT_NE(entry.rfind("startpage", 0), 0u) << entry;
    ASSERT_EQ(job->CancelPrintJob(), 0);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_DRAW_REPORT_ON_PRINTER, {VariantDispatch(report)}),
              rc::kJobCancelled);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(false)}), 0);
}

TEST_F(PrinterJobTest, AsynchronousPrintAndItsEnd) {
    Variant made{};
    ASSERT_EQ(app_->Invoke(KPM_APPLICATION_CREATE_REPORT, kInvokeMethod, nullptr, &made), 0);
    ScriptableObject* report = static_cast<ScriptableObject*>(made.pdispVal);
    PrinterJobObject* job = Office();
    ASSERT_EQ(Put(job, KPM_PRINTER_JOB_ASYNC_MODE, VariantBool(true)), 0);
    ResetScript();
    ASSERT_EQ(OpenDoc(job), 0);

    std::mutex m;
    std::condition_variable cv;
    std::vector<int32_t> ends;
    Sink sink;
    sink.onEvent = [&](int32_t id, const InvokeArgs* args) {
        if (id != 21002) return;
        std::lock_guard guard(m);
        ends.push_back(args->args[1].lVal);
        cv.notify_all();
    };
    uint32_t cookie = 0;
    ASSERT_EQ(app_->Sinks().AdviseSink(&sink, &cookie), 0);
    auto waitEnds = [&](size_t n) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, std::chrono::seconds(10), [&] { return ends.size() >= n; });
    };

    D().startPageMs = 200;
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_PRINT, {VariantDispatch(report)}), -10400);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_PRINT, {VariantDispatch(report)}), -10402)
        << "still printing";
    ASSERT_TRUE(waitEnds(1));
    D().startPageMs = 0;
    EXPECT_EQ(ends[0], 0);
    // After PrintEnd the next page starts; a job without a document reports its refusal there.
    for (int i = 0; i < 50 && Call(job, KPM_PRINTER_JOB_PRINT, {VariantDispatch(report)}) == -10402;
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(waitEnds(2));
    EXPECT_EQ(ends[1], 0);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), 0);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_PRINT, {VariantDispatch(report)}), -10400);
    ASSERT_TRUE(waitEnds(3));
    EXPECT_EQ(ends[2], rc::kWrongState);

    // A sink that closes the job from inside PrintEnd: the thread is not joined by itself.
    ASSERT_EQ(OpenDoc(job), 0);
    sink.onEvent = [&](int32_t id, const InvokeArgs* args) {
        if (id != 21002) return;
        auto* printer =
            static_cast<PrinterJobObject*>(static_cast<ScriptableObject*>(args->args[0].pdispVal));
        Variant none{};
        printer->Invoke(KPM_PRINTER_JOB_CLOSE, kInvokeMethod, nullptr, &none);
        std::lock_guard guard(m);
        ends.push_back(args->args[1].lVal);
        cv.notify_all();
    };
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_PRINT, {VariantDispatch(report)}), -10400);
    ASSERT_TRUE(waitEnds(4));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(app_->ChildCount(ChildKind::kPrinter), 0u);
    app_->Sinks().UnadviseSink(cookie);
}

// The job closed from inside its own PrintEnd is gone, but its thread is still in the sink and
// then in the application's event list: the host's release of the application waits for it
// instead of pulling the list from under it.
TEST_F(PrinterJobTest, ApplicationOutlivesThePrintThreadOfAClosedJob) {
    Variant made{};
    ASSERT_EQ(app_->Invoke(10005, kInvokeMethod, nullptr, &made), 0);
    PrinterJobObject* job = Office();
    ASSERT_EQ(Put(job, 1024, VariantBool(true)), 0);
    ASSERT_EQ(OpenDoc(job), 0);

    std::mutex m;
    std::condition_variable cv;
    bool closed = false;
    std::atomic<bool> sinkReturned{false};
    Sink sink;
    sink.onEvent = [&](int32_t id, const InvokeArgs* args) {
        if (id != 21002) return;
        Variant none{};
        static_cast<ScriptableObject*>(args->args[0].pdispVal)
            ->Invoke(KPM_PRINTER_JOB_CLOSE, kInvokeMethod, nullptr, &none);
        {
            std::lock_guard guard(m);
            closed = true;
        }
        cv.notify_all();
        // Still inside the event while the host goes on.
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        sinkReturned = true;
    };
    uint32_t cookie = 0;
    ASSERT_EQ(app_->Sinks().AdviseSink(&sink, &cookie), 0);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_PRINT,
                   {VariantDispatch(static_cast<ScriptableObject*>(made.pdispVal))}),
              -10400);
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return closed; }));
    }
    EXPECT_EQ(app_->ChildCount(ChildKind::kPrinter), 0u);
    EXPECT_EQ(app_->Release(), 0);
    app_ = nullptr;
    EXPECT_TRUE(sinkReturned) << "the application went while its event was still being fired";
}

}  // namespace
