// The PDF document object: its members in each state with each kind of argument, opening and
// closing files, and pages recorded from a stand-in report through a stand-in printer job or
// the screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/application.h"
#include "engine/core/object_signature.h"
#include "engine/output/pdf_document.h"
#include "engine_fakes.h"
#include "pdf_test_support.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/handles.h"

namespace kp {
namespace {

using namespace pdftest;
using namespace pdf_code;
using fakes::Answer;
using fakes::FakeChild;
using plat::Variant;

// The stand-in report's paper and what its drawing does.
struct ReportScript {
    int32_t width = 2100, length = 2970, orientation = 1;
    int32_t paperCode = 0;
    int32_t drawCode = 0;
    int uses = 0;
    int draws = 0;
    plat::RECT rect{};
    uint32_t flags = 0;
    double dpi = 0;
};
ReportScript& Script() {
    static ReportScript s;
    return s;
}

int32_t Paper(ScriptableObject*, int32_t* w, int32_t* l, int32_t* o) {
    *w = Script().width;
    *l = Script().length;
    *o = Script().orientation;
    return Script().paperCode;
}
int32_t Draw(ScriptableObject*, plat::DeviceContext* dc, plat::DeviceContext* attribute,
             const plat::RECT& rect, uint32_t flags) {
    ++Script().draws;
    Script().rect = rect;
    Script().flags = flags;
    Script().dpi = attribute->GetDeviceCaps(plat::kLogPixelsX);
    plat::GdiObject brush(plat::CreateSolidBrush(plat::Rgb(255, 0, 0)));
    dc->SelectObject(brush.get());
    dc->PatBlt(10, 10, 50, 50, plat::kRopPatCopy);
    return Script().drawCode;
}
void Use(ScriptableObject*, int32_t delta) {
    Script().uses += delta;
}

class PdfDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Script() = {};
        EngineServices services;
        services.pdfReports = {&Paper, &Draw, &Use};
        AddPdfDocumentServices(services);
        app = new ApplicationObject(services);
        app->Site().SetSite(1);
        Variant out{};
        ASSERT_EQ(app->Invoke(ApplicationObject::kCreatePdfDocument, kInvokeMethod, nullptr, &out),
                  0);
        doc = static_cast<PdfDocumentObject*>(static_cast<ScriptableObject*>(out.pdispVal));
        ASSERT_NE(doc, nullptr);
        doc->writer().SetClock([] { return std::time_t{1796922553}; });
    }
    void TearDown() override {
        delete app;  // destroys the documents and reports still in its tables
    }

    int32_t Call(int32_t id, int32_t kind, std::vector<Variant> args, Variant* result = nullptr) {
        Variant local{};
        InvokeArgs block{args.data(), uint32_t(args.size())};
        return doc->Invoke(id, kind, args.empty() ? nullptr : &block,
                           result != nullptr ? result : &local);
    }
    static Variant Text(const char16_t* s) {
        Variant v{};
        v.vt = plat::VT_BSTR;
        v.bstrVal = s != nullptr ? plat::BstrAllocView(s) : nullptr;
        return v;
    }
    static Variant Bool(int16_t b) {
        Variant v{};
        v.vt = plat::VT_BOOL;
        v.boolVal = b;
        return v;
    }
    static Variant Ui2(uint16_t n) {
        Variant v{};
        v.vt = plat::VT_UI2;
        v.uiVal = n;
        return v;
    }
    static Variant Dispatch(ScriptableObject* o) {
        Variant v{};
        v.vt = plat::VT_DISPATCH;
        v.pdispVal = o;
        return v;
    }
    int32_t Open(const std::string& path, bool overwrite) {
        std::u16string wide(path.begin(), path.end());
        Variant name = Text(wide.c_str());
        const int32_t rc =
            Call(PdfDocumentObject::kPdfOpen, kInvokeMethod, {name, Bool(overwrite ? -1 : 0)});
        plat::VariantClear(&name);
        return rc;
    }
    FakeChild* Report(std::string_view tag = signature::kReport) {
        auto* r = new FakeChild(ChildKind::kReport, tag);
        r->app = app;
        app->RegisterReport(r);
        return r;
    }

    TempDir dir;
    ApplicationObject* app = nullptr;
    PdfDocumentObject* doc = nullptr;
};

TEST_F(PdfDocumentTest, MembersByStateAndArgument) {
    struct Case {
        const char* name;
        int32_t id;
        int32_t kind;
        std::vector<Variant> args;
        bool open;  // in state 128
        int32_t code;
    } cases[] = {
        {"state is read only", KPM_PDF_DOCUMENT_STATE, kInvokePut, {Ui2(1)}, false, -6},
        {"a text is set in any state", KPM_PDF_DOCUMENT_TITLE, kInvokePut, {Text(u"t")}, true, 0},
        {"a text wants a string", KPM_PDF_DOCUMENT_TITLE, kInvokePut, {Ui2(1)}, false, -7},
        {"a property takes one argument",
         KPM_PDF_DOCUMENT_TITLE,
         kInvokePut,
         {Text(u"a"), Text(u"b")},
         false,
         -7},
        {"506 only while idle", KPM_PDF_DOCUMENT_VALUE506, kInvokePut, {Text(u"x")}, true, -10301},
        {"506 while idle", KPM_PDF_DOCUMENT_VALUE506, kInvokePut, {Text(u"x")}, false, 0},
        {"a switch only while idle",
         KPM_PDF_DOCUMENT_SWITCH509,
         kInvokePut,
         {Bool(0)},
         true,
         -10301},
        {"a switch wants a boolean", KPM_PDF_DOCUMENT_SWITCH509, kInvokePut, {Ui2(0)}, false, -7},
        {"517 above 2", KPM_PDF_DOCUMENT_VALUE517, kInvokePut, {Ui2(3)}, false, -8},
        {"517 wants a 16-bit value", KPM_PDF_DOCUMENT_VALUE517, kInvokePut, {Bool(1)}, false, -7},
        {"517 only while idle", KPM_PDF_DOCUMENT_VALUE517, kInvokePut, {Ui2(1)}, true, -10301},
        {"518 refuses full-width characters",
         KPM_PDF_DOCUMENT_VALUE518,
         kInvokePut,
         {Text(u"ab\uff21")},
         false,
         -7},
        {"518 takes half-width kana",
         KPM_PDF_DOCUMENT_VALUE518,
         kInvokePut,
         {Text(u"\uff71bc")},
         false,
         0},
        {"519 refuses full-width characters",
         KPM_PDF_DOCUMENT_VALUE519,
         kInvokePut,
         {Text(u"\u3042")},
         false,
         -7},
        {"519 takes half-width kana",
         KPM_PDF_DOCUMENT_VALUE519,
         kInvokePut,
         {Text(u"\uff71bc")},
         false,
         0},
        {"518 only while idle", KPM_PDF_DOCUMENT_VALUE518, kInvokePut, {Text(u"a")}, true, -10301},
        {"an unknown property", 520, kInvokeGet, {}, false, -6},
        {"an unknown method", 604, kInvokeMethod, {}, false, -6},
        {"an unknown kind", KPM_PDF_DOCUMENT_STATE, 3, {}, false, -7},
        {"open with one argument",
         KPM_PDF_DOCUMENT_PDF_OPEN,
         kInvokeMethod,
         {Text(u"x")},
         false,
         -7},
        {"open with a wrong type",
         KPM_PDF_DOCUMENT_PDF_OPEN,
         kInvokeMethod,
         {Text(u"x"), Ui2(0)},
         false,
         -7},
        {"close with an argument", KPM_PDF_DOCUMENT_PDF_CLOSE, kInvokeMethod, {Bool(0)}, false, -7},
        {"add page with one argument",
         KPM_PDF_DOCUMENT_PDF_ADD_PAGE,
         kInvokeMethod,
         {Dispatch(nullptr)},
         true,
         -7},
        {"open while open",
         KPM_PDF_DOCUMENT_PDF_OPEN,
         kInvokeMethod,
         {Text(u"/tmp/x.pdf"), Bool(0)},
         true,
         -15200},
        {"add page while idle",
         KPM_PDF_DOCUMENT_PDF_ADD_PAGE,
         kInvokeMethod,
         {Dispatch(nullptr), Dispatch(nullptr)},
         false,
         -15200},
        {"add page of a null report",
         KPM_PDF_DOCUMENT_PDF_ADD_PAGE,
         kInvokeMethod,
         {Dispatch(nullptr), Dispatch(nullptr)},
         true,
         -7},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.open) {
            ASSERT_EQ(Open(dir.File("m.pdf"), true), 0);
        }
        EXPECT_EQ(Call(c.id, c.kind, c.args), c.code);
        if (c.open) {
            EXPECT_EQ(Call(KPM_PDF_DOCUMENT_PDF_CLOSE, kInvokeMethod, {}), 0);
        }
        for (auto& a : c.args) {
            if (a.vt == plat::VT_BSTR) plat::BstrFree(a.bstrVal);
        }
    }
}

TEST_F(PdfDocumentTest, StoredValuesReadBack) {
    Variant v{};
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_STATE, kInvokeGet, {}, &v), 0);
    EXPECT_EQ(v.vt, plat::VT_I2);
    EXPECT_EQ(v.iVal, 16);
    // Switches: 507 off, 508-511 on, 512-516 off; any true value reads back as 1.
    for (int id = KPM_PDF_DOCUMENT_SWITCH507; id <= KPM_PDF_DOCUMENT_SWITCH516; ++id) {
        ASSERT_EQ(Call(id, kInvokeGet, {}, &v), 0);
        EXPECT_EQ(v.vt, plat::VT_BOOL);
        EXPECT_EQ(v.boolVal,
                  id >= KPM_PDF_DOCUMENT_SWITCH508 && id <= KPM_PDF_DOCUMENT_SWITCH511 ? 1 : 0)
            << id;
    }
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_SWITCH507, kInvokePut, {Bool(-1)}), 0);
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_SWITCH507, kInvokeGet, {}, &v), 0);
    EXPECT_EQ(v.boolVal, 1);
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_VALUE517, kInvokePut, {Ui2(2)}), 0);
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_VALUE517, kInvokeGet, {}, &v), 0);
    EXPECT_EQ(v.vt, plat::VT_UI1);
    EXPECT_EQ(v.bVal, 2);
    // A refused 518 keeps its old value.
    Variant abc = Text(u"abc"), wide = Text(u"\u3042");
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_VALUE518, kInvokePut, {abc}), 0);
    EXPECT_EQ(Call(KPM_PDF_DOCUMENT_VALUE518, kInvokePut, {wide}), -7);
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_VALUE518, kInvokeGet, {}, &v), 0);
    EXPECT_EQ(plat::BstrView(v.bstrVal), u"abc");
    plat::BstrFree(v.bstrVal);
    // A text and its clearing.
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_SUBJECT, kInvokePut, {abc}), 0);
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_SUBJECT, kInvokeGet, {}, &v), 0);
    EXPECT_EQ(plat::BstrView(v.bstrVal), u"abc");
    plat::BstrFree(v.bstrVal);
    Variant empty = Text(nullptr);
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_SUBJECT, kInvokePut, {empty}), 0);
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_SUBJECT, kInvokeGet, {}, &v), 0);
    EXPECT_EQ(v.bstrVal, nullptr);
    plat::BstrFree(abc.bstrVal);
    plat::BstrFree(wide.bstrVal);
}

TEST_F(PdfDocumentTest, OpenAndClose) {
    const std::string path = dir.File("out.pdf");
    // Closing what was never opened writes nothing.
    EXPECT_EQ(Call(KPM_PDF_DOCUMENT_PDF_CLOSE, kInvokeMethod, {}), -15010);
    EXPECT_EQ(doc->state(), 16);
    EXPECT_EQ(dir.Count(), 0u);
    Variant empty = Text(u"");
    EXPECT_EQ(Call(KPM_PDF_DOCUMENT_PDF_OPEN, kInvokeMethod, {empty, Bool(0)}), -15201);
    plat::VariantClear(&empty);
    WriteFile(path, "mine");
    EXPECT_EQ(Open(path, false), -15017);
    EXPECT_EQ(doc->state(), 16);
    EXPECT_EQ(ReadFile(path), "mine");
    ASSERT_EQ(Open(path, true), 0);
    EXPECT_EQ(doc->state(), 128);
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_PDF_CLOSE, kInvokeMethod, {}), 0);
    EXPECT_EQ(doc->state(), 16);
    EXPECT_EQ(ReadFile(path).substr(0, 8), "%PDF-1.3");
    // Opened again after closing.
    ASSERT_EQ(Open(dir.File("again.pdf"), false), 0);
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_PDF_CLOSE, kInvokeMethod, {}), 0);
    EXPECT_EQ(dir.Count(), 2u);
}

TEST_F(PdfDocumentTest, PagesThroughTheScreenAndAJob) {
    const std::string path = dir.File("pages.pdf");
    ASSERT_EQ(Open(path, false), 0);
    FakeChild* report = Report();
    // Portrait through the screen.
    ASSERT_EQ(
        Call(KPM_PDF_DOCUMENT_PDF_ADD_PAGE, kInvokeMethod, {Dispatch(nullptr), Dispatch(report)}),
        0);
    EXPECT_EQ(Script().flags, kPdfDrawFlags);
    EXPECT_EQ(Script().rect, (plat::RECT{0, 0, 794, 1123}));  // A4 at 96 dpi
    EXPECT_EQ(Script().uses, 0);                              // raised and lowered again
    // A job's device context: 300 dpi, landscape.
    plat::InfoDc printer(plat::DeviceInfo::ForPixels(2480, 3508, 300, plat::kDtRasPrinter));
    FakeChild job(ChildKind::kPrinter, "job");
    job.answers[kPrinterJobDcMember] = Answer(0, plat::VT_I4, int32_t(printer.handle()));
    Script().orientation = 2;
    ASSERT_EQ(
        Call(KPM_PDF_DOCUMENT_PDF_ADD_PAGE, kInvokeMethod, {Dispatch(&job), Dispatch(report)}), 0);
    EXPECT_EQ(Script().dpi, 300);
    EXPECT_EQ(Script().rect, (plat::RECT{0, 0, 3508, 2480}));
    // A job that is not open answers its own error and nothing is drawn.
    job.answers[kPrinterJobDcMember] = Answer(-10301, plat::VT_I4, 0);
    EXPECT_EQ(
        Call(KPM_PDF_DOCUMENT_PDF_ADD_PAGE, kInvokeMethod, {Dispatch(&job), Dispatch(report)}),
        -10301);
    job.answers[kPrinterJobDcMember] = Answer(0, plat::VT_BSTR, 0, u"dc");
    EXPECT_EQ(
        Call(KPM_PDF_DOCUMENT_PDF_ADD_PAGE, kInvokeMethod, {Dispatch(&job), Dispatch(report)}),
        -15004);
    EXPECT_EQ(Script().draws, 2);
    // Paper that cannot be read, drawing that fails, a report of another class.
    Script().paperCode = -1;
    EXPECT_EQ(
        Call(KPM_PDF_DOCUMENT_PDF_ADD_PAGE, kInvokeMethod, {Dispatch(nullptr), Dispatch(report)}),
        -14008);
    Script().paperCode = 0;
    Script().drawCode = -12345;
    EXPECT_EQ(
        Call(KPM_PDF_DOCUMENT_PDF_ADD_PAGE, kInvokeMethod, {Dispatch(nullptr), Dispatch(report)}),
        -12345);
    FakeChild* other = Report("KPObject30");
    EXPECT_EQ(
        Call(KPM_PDF_DOCUMENT_PDF_ADD_PAGE, kInvokeMethod, {Dispatch(nullptr), Dispatch(other)}),
        -7);
    EXPECT_EQ(doc->state(), 128);
    EXPECT_EQ(Script().uses, 0);
    ASSERT_EQ(Call(KPM_PDF_DOCUMENT_PDF_CLOSE, kInvokeMethod, {}), 0);

    const std::string pdf = ReadFile(path);
    const auto pages = PageObjects(pdf);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_NE(Object(pdf, pages[0]).find("/MediaBox [ 0 0 595.28 841.89 ]"), std::string::npos);
    EXPECT_NE(Object(pdf, pages[1]).find("/MediaBox [ 0 0 841.89 595.28 ]"), std::string::npos);
    // Inside the page's clip, the red square at 10 pixels of each page's own resolution; the
    // clip is given up at the end.
    const std::string first = PageContent(pdf, 0), second = PageContent(pdf, 1);
    EXPECT_EQ(first.substr(0, 19), "0.000 841.890 m\r0.0");
    EXPECT_NE(first.find("h W* n\r1.00 0.00 0.00 rg\r7.50 796.89 37.50 37.50 re f\r0.00 0.00 "
                         "595.28 841.89 re\rh W* n\r"),
              std::string::npos)
        << first;
    EXPECT_NE(second.find("1.00 0.00 0.00 rg\r2.40 580.88 12.00 12.00 re f\r"), std::string::npos)
        << second;
    int status = -1;
    RunCommand("qpdf --check " + path + " >/dev/null 2>&1", &status);
    EXPECT_EQ(status, 0);
}

TEST_F(PdfDocumentTest, ReleaseLeavesTheApplicationAndDropsAnOpenFile) {
    ASSERT_EQ(Open(dir.File("dropped.pdf"), false), 0);
    EXPECT_EQ(app->ChildCount(ChildKind::kPdfDocument), 1u);
    EXPECT_EQ(Call(KPM_PDF_DOCUMENT_PDF_RELEASE, kInvokeMethod, {}), 0);
    doc = nullptr;
    EXPECT_EQ(app->ChildCount(ChildKind::kPdfDocument), 0u);
    EXPECT_EQ(dir.Count(), 0u);
}

}  // namespace
}  // namespace kp
