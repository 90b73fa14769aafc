// The printer job against the private CUPS of the cups_queue fixture: what the engine reads of
// the test queue, pages printed through the print loop and the printer context to the receiving
// printer (read back with pdfinfo and pdftotext), job numbers and status, a cancelled document
// and a queue that refuses jobs.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "engine/core/application.h"
#include "engine/core/module.h"
#include "engine/output/printer_document.h"
#include "engine/output/printer_job.h"
#include "engine_fakes.h"
#include "platform/gdi/gdi_objects.h"
#include "tests/fixtures/printing/cups_queue.h"

namespace {

using namespace kp;
using namespace plat;

std::string Shell(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return out;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0)
        out.append(buffer.data(), n);
    return out;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// A report-sized page with one line of text near its top left.
struct TextPage : PageSource {
    int16_t code = 9;
    int32_t width = 2100, length = 2970;
    int16_t orientation = 1;
    void Lock() override {}
    void Unlock() override {}
    bool Paper(int16_t* c, int32_t* w, int32_t* l, int16_t* o) override {
        *c = code;
        *w = width;
        *l = length;
        *o = orientation;
        return true;
    }
    int32_t PaperError() const override { return -13000; }
    bool IsReport() const override { return true; }
    int32_t Draw(DeviceContext* dc) override {
        LOGFONTW font;
        font.lfHeight = -(dc->GetDeviceCaps(kLogPixelsY) / 4);  // 18 points
        font.lfCharSet = 128;
        const std::u16string face = u"IPAGothic";
        std::copy(face.begin(), face.end(), font.lfFaceName);
        const HFONT f = CreateFontIndirectW(font);
        const HGDIOBJ old = dc->SelectObject(f);
        dc->SetBkMode(kTransparent);
        const int32_t inch = dc->GetDeviceCaps(kLogPixelsX);
        const bool ok = dc->ExtTextOutW(inch, inch, 0, nullptr, u"QZS PRINT TEST");
        dc->SelectObject(old);
        DeleteObject(f);
        return ok ? 0 : -1;
    }
};

int moduleToken;

// Printing needs no Qt application: this process never makes one.
class EnginePrinting : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(QCoreApplication::instance(), nullptr);
        queue_ = qzs_test::CupsQueue::Load();
        ASSERT_TRUE(queue_.valid) << "the cups_queue fixture did not start";
        queue_.Connect();
        SetPrinterSystem(MakeCupsPrinterSystem());
        SetControlLibraryLoader(&fakes::kFakeLoader);
        InitModule(&moduleToken);
        EngineServices services;
        AddPrinterJobServices(services);
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

    PrinterJobObject* Job(const std::string& name) {
        Variant arg = VariantBstr(BstrFromUtf8(name));
        InvokeArgs args{&arg, 1};
        Variant result{};
        const int32_t code =
            app_->Invoke(KPM_APPLICATION_CREATE_PRINTER, kInvokeMethod, &args, &result);
        BstrFree(arg.bstrVal);
        EXPECT_EQ(code, 0) << name;
        return result.pdispVal
                   ? static_cast<PrinterJobObject*>(static_cast<ScriptableObject*>(result.pdispVal))
                   : nullptr;
    }
    static int32_t Put(PrinterJobObject* job, int32_t id, Variant v) {
        InvokeArgs args{&v, 1};
        Variant r{};
        return job->Invoke(id, kInvokePut, &args, &r);
    }
    static int32_t Call(PrinterJobObject* job, int32_t id, std::vector<Variant> args,
                        Variant* out = nullptr) {
        Variant local{};
        InvokeArgs block{args.data(), static_cast<uint32_t>(args.size())};
        return job->Invoke(id, kInvokeMethod, &block, out ? out : &local);
    }
    static int32_t Open(PrinterJobObject* job) {
        EXPECT_EQ(Put(job, KPM_PRINTER_JOB_CANCEL_DLG, VariantBool(false)), 0);
        return Call(job, KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(0)});
    }
    // Waits for the job to end; its spooler status word.
    uint32_t WaitForEnd(PrinterJobObject* job, uint32_t id) {
        Variant v{};
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            EXPECT_EQ(Call(job, KPM_PRINTER_JOB_GET_JOB_STATUS, {VariantUI4(id)}, &v), 0);
            if (v.ulVal & 0x1100) break;  // complete or deleted
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return v.ulVal;
    }

    qzs_test::CupsQueue queue_;
    ApplicationObject* app_ = nullptr;
};

TEST_F(EnginePrinting, ReadsTheTestQueue) {
    PrinterJobObject* job = Job("");  // the default printer
    ASSERT_NE(job, nullptr);
    const PrinterModel m = job->Model();
    std::vector<uint16_t> codes;
    for (const auto& p : m.papers) codes.push_back(p.code);
    EXPECT_EQ(codes.back(), 256) << "the user size comes last";
    std::sort(codes.begin(), codes.end());
    // Letter, A3, A4, A5, JIS B5, postcard (in the scheduler's order) and the user size.
    EXPECT_EQ(codes, (std::vector<uint16_t>{1, 8, 9, 11, 13, 43, 256}));
    std::vector<int16_t> sources;
    for (const auto& s : m.sources) sources.push_back(s.code);
    EXPECT_EQ(sources, (std::vector<int16_t>{7, 1, 4}));
    EXPECT_EQ(m.minWidth, 1000);
    EXPECT_EQ(m.maxLength, 4200);
    const DevMode dm = *job->CurrentDevMode();
    EXPECT_EQ(dm.dmPaperSize, 9);
    EXPECT_EQ(dm.dmPaperWidth, 2100);
    EXPECT_EQ(dm.dmPrintQuality, 600);
    Variant v{};
    InvokeArgs none{nullptr, 0};
    ASSERT_EQ(job->Invoke(KPM_PRINTER_JOB_MIN_LEFT_MARGIN, kInvokeGet, &none, &v), 0);
    EXPECT_EQ(v.iVal, 40) << "4.23 mm margins, whole millimetres";
}

TEST_F(EnginePrinting, ThreeA4PagesWithTheirText) {
    const size_t before = queue_.Received().size();
    PrinterJobObject* job = Job(queue_.queue);
    ASSERT_NE(job, nullptr);
    ASSERT_EQ(Put(job, KPM_PRINTER_JOB_COPIES, VariantUI2(1)), 0);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_UPDATE_INFO, {}), 0);
    ASSERT_EQ(Open(job), 0);
    Variant number{};
    InvokeArgs none{nullptr, 0};
    ASSERT_EQ(job->Invoke(KPM_PRINTER_JOB_JOB_NUMBER, kInvokeGet, &none, &number), 0);
    EXPECT_GT(number.ulVal, 0u);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_GET_JOB_STATUS, {VariantUI4(number.ulVal)}, &number), 0);
    ASSERT_EQ(job->Invoke(KPM_PRINTER_JOB_JOB_NUMBER, kInvokeGet, &none, &number), 0);
    const uint32_t id = number.ulVal;
    Variant status{};
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_GET_JOB_STATUS, {VariantUI4(id)}, &status), 0);
    EXPECT_EQ(status.ulVal, 0x8u) << "CUPS holds our job while its document is written";
    TextPage page;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(job->PrintPage(page), 0);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), 0);
    EXPECT_EQ(WaitForEnd(job, id), 0x1080u);

    const auto received = queue_.WaitForReceived(before + 1);
    ASSERT_EQ(received.size(), before + 1);
    const std::string info = Shell("pdfinfo " + received.back());
    EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
    EXPECT_NE(info.find("Page size:       595.28 x 841.89 pts (A4)"), std::string::npos) << info;
    const std::string text = Shell("pdftotext " + received.back() + " -");
    EXPECT_EQ(Count(text, "QZS PRINT TEST"), 3u) << text;
}

TEST_F(EnginePrinting, DataSheetSettingsGiveTwoLandscapeSheets) {
    const size_t before = queue_.Received().size();
    PrinterJobObject* job = Job(queue_.queue);
    ASSERT_NE(job, nullptr);
    ASSERT_EQ(Put(job, KPM_PRINTER_JOB_ORIENTATION, VariantUI2(2)), 0);
    ASSERT_EQ(Put(job, KPM_PRINTER_JOB_SCALE_PRINT, VariantBool(true)), 0);
    ASSERT_EQ(Put(job, KPM_PRINTER_JOB_SCALE_PAPER_FIT, VariantBool(true)), 0);
    ASSERT_EQ(Put(job, KPM_PRINTER_JOB_MULTI_PRINT, VariantBool(true)), 0);
    ASSERT_EQ(Put(job, KPM_PRINTER_JOB_SCALE_PRINT_LAYOUT, VariantUI2(3)), 0);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_UPDATE_INFO, {}), 0);
    ASSERT_EQ(Open(job), 0);
    TextPage page;
    page.orientation = 2;
    for (int i = 0; i < 4; ++i) ASSERT_EQ(job->PrintPage(page), 0);
    ASSERT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), 0);
    const auto received = queue_.WaitForReceived(before + 1);
    ASSERT_EQ(received.size(), before + 1);
    const std::string info = Shell("pdfinfo " + received.back());
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
    EXPECT_NE(info.find("Page size:       841.89 x 595.28 pts (A4)"), std::string::npos)
        << "landscape: " << info;
    EXPECT_EQ(Count(Shell("pdftotext " + received.back() + " -"), "QZS PRINT TEST"), 4u);
}

TEST_F(EnginePrinting, CancelledDocumentAndRefusingQueue) {
    const size_t before = queue_.Received().size();
    PrinterJobObject* job = Job(queue_.queue);
    ASSERT_NE(job, nullptr);
    ASSERT_EQ(Open(job), 0);
    Variant number{};
    InvokeArgs none{nullptr, 0};
    ASSERT_EQ(job->Invoke(KPM_PRINTER_JOB_JOB_NUMBER, kInvokeGet, &none, &number), 0);
    const uint32_t id = number.ulVal;
    TextPage page;
    ASSERT_EQ(job->PrintPage(page), 0);
    ASSERT_EQ(job->CancelPrintJob(), 0);
    EXPECT_EQ(job->PrintPage(page), rc::kJobCancelled);
    EXPECT_EQ(Call(job, KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), 0)
        << "the abort answers success";
    EXPECT_EQ(WaitForEnd(job, id) & 0x100u, 0x100u) << "deleted";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(queue_.Received().size(), before) << "nothing printed";

    PrinterJobObject* refusing = Job(queue_.rejecting);
    ASSERT_NE(refusing, nullptr);
    EXPECT_EQ(Open(refusing), rc::kQueueFull);
    EXPECT_EQ(refusing->State(), kJobReady);
}

}  // namespace
