// Nothing thrown inside the engine reaches its host: with every allocation of a call made to fail
// in turn, the entry point and the members answer a code and the host sees no exception.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "engine/core/report.h"
#include "engine/output/pdf_document.h"
#include "engine/preview/file_object.h"
#include "engine/preview/preview_object.h"
#include "engine_fakes.h"
#include "tests/fixtures/failing_allocation.h"

namespace {

using namespace kp;
using namespace plat;

int moduleToken;

class NoThrow : public ::testing::Test {
  protected:
    void SetUp() override {
        fakes::Control() = {};
        SetControlLibraryLoader(&fakes::kFakeLoader);
        auto printers = std::make_shared<plat::FakePrinterSystem>();
        printers->SetPrinters(fakes::ThreePrinters());
        SetPrinterSystem(printers);
        // The module is attached with them, as the library attaches it.
        EngineServices services;
        AddReportServices(services);
        AddPdfDocumentServices(services);
        AddPreviewServices(services);
        preview::AddFileObjectServices(services);
        InitModule(&moduleToken, services);
    }
    void TearDown() override {
        InitModule(nullptr);
        SetPrinterSystem(nullptr);
        SetControlLibraryLoader(nullptr);
    }

    static ApplicationObject* NewApplication() {
        void* out = nullptr;
        EXPECT_EQ(CreateEngineObject(&iid::kApplication, &iid::kApplication, &out), 0);
        auto* app = static_cast<ApplicationObject*>(static_cast<Unknown*>(out));
        if (app != nullptr) app->Site().SetSite(1);
        return app;
    }
};

struct Step {
    const char* name;
    // The object called, made beforehand on the fresh application; null: the application.
    std::function<ScriptableObject*(ApplicationObject* app)> prepare = nullptr;
    // Runs the call once and answers its code.
    std::function<int32_t(ApplicationObject* app, ScriptableObject* target)> call;
};

// The arguments are made before the failures are armed: the test's own allocations are not the
// call's.
int32_t Method(ScriptableObject* object, int32_t id, std::vector<Variant>& args) {
    InvokeArgs block{args.data(), static_cast<uint32_t>(args.size())};
    Variant result{};
    const int32_t code = object->Invoke(id, kInvokeMethod, &block, &result);
    if (result.vt == VT_BSTR) BstrFree(result.bstrVal);
    return code;
}

ScriptableObject* Made(ApplicationObject* app, int32_t id) {
    Variant result{};
    if (app->Invoke(id, kInvokeMethod, nullptr, &result) != 0) return nullptr;
    return static_cast<ScriptableObject*>(result.pdispVal);
}

TEST_F(NoThrow, EveryFailedAllocationIsAnsweredAsACode) {
    const std::string pdfPath = ::testing::TempDir() + "no-throw.pdf";
    const UniqueBstr pdfName(BstrFromUtf8(pdfPath));
    std::vector<Variant> none, first{VariantUI4(0)};
    std::vector<Variant> open{VariantBstr(pdfName.get()), VariantBool(true)};
    auto appMethod = [](int32_t id, std::vector<Variant>& args) {
        return [id, &args](ApplicationObject*, ScriptableObject* target) {
            return Method(target, id, args);
        };
    };
    const Step steps[] = {
        {.name = "CreateEngineObject",
         .call =
             [](ApplicationObject*, ScriptableObject*) {
                 void* out = reinterpret_cast<void*>(1);
                 const int32_t code =
                     CreateEngineObject(&iid::kApplication, &iid::kApplication, &out);
                 if (code == 0) {
                     static_cast<Unknown*>(out)->Release();
                 } else {
                     EXPECT_EQ(out, nullptr);
                 }
                 return code;
             }},
        {.name = "CreateReport", .call = appMethod(KPM_APPLICATION_CREATE_REPORT, none)},
        {.name = "CreatePreview", .call = appMethod(KPM_APPLICATION_CREATE_PREVIEW, none)},
        {.name = "CreateFile", .call = appMethod(KPM_APPLICATION_CREATE_FILE, none)},
        {.name = "CreatePdfDocument", .call = appMethod(KPM_APPLICATION_CREATE_PDF_DOCUMENT, none)},
        {.name = "PrinterName", .call = appMethod(KPM_APPLICATION_PRINTER_NAME, first)},
        {.name = "PdfOpen and PdfClose",
         .prepare =
             [](ApplicationObject* app) { return Made(app, KPM_APPLICATION_CREATE_PDF_DOCUMENT); },
         .call =
             [&](ApplicationObject*, ScriptableObject* pdf) {
                 int32_t code = Method(pdf, KPM_PDF_DOCUMENT_PDF_OPEN, open);
                 if (code == 0) code = Method(pdf, KPM_PDF_DOCUMENT_PDF_CLOSE, none);
                 return code;
             }},
    };
    for (const Step& step : steps) {
        // Fail the first allocation, then the second, and so on, until a run no longer reaches
        // the failing one; each run must answer, never throw.
        for (long failAt = 0;; ++failAt) {
            ApplicationObject* app = NewApplication();
            ASSERT_NE(app, nullptr);
            ScriptableObject* target = step.prepare ? step.prepare(app) : app;
            ASSERT_NE(target, nullptr) << step.name;
            qzs_test::gAllocationFailed = false;
            qzs_test::gFailAllocationIn = failAt;
            int32_t code = 0;
            try {
                code = step.call(app, target);
            } catch (...) {
                qzs_test::gFailAllocationIn = -1;
                ADD_FAILURE() << step.name << ": an exception left the call at allocation "
                              << failAt;
                app->Release();
                break;
            }
            qzs_test::gFailAllocationIn = -1;
            app->Release();
            if (!qzs_test::gAllocationFailed) {
                EXPECT_EQ(code, 0) << step.name;
                break;
            }
            EXPECT_LT(code, 0) << step.name << " reported success at allocation " << failAt;
            ASSERT_LT(failAt, 10000) << step.name;
        }
    }
    std::remove(pdfPath.c_str());
}

}  // namespace
