// The cancel dialog of an open printer document under the offscreen Qt platform: its texts,
// its button by click and by key, a hidden button, changes while the document is open, and a
// cancel arriving while a page prints.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>

#include "engine/core/application.h"
#include "engine/core/module.h"
#include "engine/output/printer_job.h"
#include "engine_fakes.h"

namespace {

using namespace kp;
using namespace plat;

class QuietDocument : public PrinterDocument {
  public:
    QuietDocument() : dc_(DeviceInfo::ForPixels(4761, 6816, 600, kDtRasPrinter)) {}
    DeviceContext* dc() override { return &dc_; }
    bool Reset(const PageGeometry&, const DevMode&) override { return true; }
    int32_t StartDoc(const std::string&, int32_t* id) override {
        *id = 7;
        return 0;
    }
    int32_t StartPage() override { return 0; }
    int32_t EndPage() override { return 0; }
    int32_t EndDoc() override { return 0; }
    int32_t AbortDoc() override { return 0; }

  private:
    InfoDc dc_;
};

std::unique_ptr<PrinterDocument> MakeQuiet(const std::string&, const PrinterModel&,
                                           const PageGeometry&, const DevMode&) {
    return std::make_unique<QuietDocument>();
}

class Sink final : public ScriptableObject {
  public:
    int cancels = 0;
    int32_t QueryInterface(const InterfaceId*, void** out) override {
        *out = this;
        return 0;
    }
    int32_t AddRef() override { return 1; }
    int32_t Release() override { return 1; }
    int32_t GetTypeInfo(ClassInfo**) override { return -2; }
    int32_t Invoke(int32_t id, int32_t, const InvokeArgs*, Variant*) override {
        if (id == 21001) ++cancels;
        return 0;
    }
};

struct Page : PageSource {
    std::function<void()> whileDrawing;
    void Lock() override {}
    void Unlock() override {}
    bool Paper(int16_t* c, int32_t* w, int32_t* l, int16_t* o) override {
        *c = 9;
        *w = 2100;
        *l = 2970;
        *o = 1;
        return true;
    }
    int32_t PaperError() const override { return -13000; }
    bool IsReport() const override { return true; }
    int32_t Draw(DeviceContext*) override {
        if (whileDrawing) whileDrawing();
        return 0;
    }
};

int moduleToken;

class CancelDialog : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_cancel_dialog";
        static char* argv[] = {name, nullptr};
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        gui_ = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete gui_;
        gui_ = nullptr;
    }
    void SetUp() override {
        SetControlLibraryLoader(&fakes::kFakeLoader);
        printers_ = std::make_shared<FakePrinterSystem>();
        printers_->SetPrinters(fakes::ThreePrinters());
        PrinterCapabilities caps;
        caps.media = {{"iso_a4_210x297mm", "A4", 21000, 29700, 423, 423, 423, 423}};
        caps.defaultMedia = "iso_a4_210x297mm";
        caps.resolutions = {{600, 600}};
        caps.defaultResolution = {600, 600};
        printers_->SetCapabilities("Office", caps);
        SetPrinterSystem(printers_);
        EngineServices services;
        services.children.newPrinterJob = NewPrinterJob;
        services.children.openPrinterJob = OpenPrinterJob;
        services.printerDocument = MakeQuiet;
        InitModule(&moduleToken);
        void* out = nullptr;
        ASSERT_EQ(CreateEngineObject(services, &iid::kApplication, &iid::kApplication, &out), 0);
        app_ = static_cast<ApplicationObject*>(static_cast<Unknown*>(out));
        app_->Site().SetSite(1);
        ASSERT_EQ(app_->Sinks().AdviseSink(&sink_, &cookie_), 0);
        Variant arg = VariantBstr(BstrAlloc(u"Office"));
        InvokeArgs args{&arg, 1};
        Variant result{};
        ASSERT_EQ(app_->Invoke(KPM_APPLICATION_CREATE_PRINTER, kInvokeMethod, &args, &result), 0);
        BstrFree(arg.bstrVal);
        job_ = static_cast<PrinterJobObject*>(static_cast<ScriptableObject*>(result.pdispVal));
    }
    void TearDown() override {
        app_->Sinks().UnadviseSink(cookie_);
        InitModule(nullptr);
        SetPrinterSystem(nullptr);
        SetControlLibraryLoader(nullptr);
        QApplication::processEvents();
    }
    int32_t Put(int32_t id, Variant v) {
        InvokeArgs args{&v, 1};
        Variant r{};
        return job_->Invoke(id, kInvokePut, &args, &r);
    }
    int32_t Call(int32_t id, std::vector<Variant> args) {
        InvokeArgs block{args.data(), static_cast<uint32_t>(args.size())};
        Variant r{};
        return job_->Invoke(id, kInvokeMethod, &block, &r);
    }
    static QDialog* Dialog() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "CancelDialog102" && w->isVisible())
                return qobject_cast<QDialog*>(w);
        }
        return nullptr;
    }
    static QPushButton* Button() { return Dialog()->findChild<QPushButton*>("1017"); }
    static QString Message() { return Dialog()->findChild<QLabel*>("1016")->text(); }

    static QApplication* gui_;
    std::shared_ptr<FakePrinterSystem> printers_;
    ApplicationObject* app_ = nullptr;
    PrinterJobObject* job_ = nullptr;
    Sink sink_;
    uint32_t cookie_ = 0;
};
QApplication* CancelDialog::gui_ = nullptr;

TEST_F(CancelDialog, TextsAndTheButton) {
    ASSERT_EQ(Call(KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(0)}), 0);
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_EQ(Dialog()->windowTitle(), QString::fromUtf8("印刷中"));
    EXPECT_EQ(Message(), QString::fromUtf8("印刷中です。"));
    EXPECT_EQ(Button()->text(), QString::fromUtf8("印刷中止(&C)"));
    EXPECT_TRUE(Button()->isVisible());
    // Changes while the document is open show at once; an empty caption is an empty text.
    ASSERT_EQ(Put(KPM_PRINTER_JOB_CANCEL_DLG_CAPTION, VariantBstr(nullptr)), 0);
    Bstr text = BstrAlloc(u"「 月報 」を印刷中です。");
    ASSERT_EQ(Put(KPM_PRINTER_JOB_CANCEL_DLG_MESSAGE, VariantBstr(text)), 0);
    BstrFree(text);
    EXPECT_EQ(Dialog()->windowTitle(), QString());
    EXPECT_EQ(Message(), QString::fromUtf8("「 月報 」を印刷中です。"));
    QTest::mouseClick(Button(), Qt::LeftButton);
    EXPECT_EQ(job_->State(), kJobCancelled);
    EXPECT_EQ(sink_.cancels, 1);
    QTest::mouseClick(Button(), Qt::LeftButton);
    EXPECT_EQ(sink_.cancels, 1) << "cancelled once";
    ASSERT_EQ(Call(KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), 0);
    EXPECT_EQ(Dialog(), nullptr) << "the dialog goes with the document";
}

TEST_F(CancelDialog, KeysOnTheButton) {
    struct {
        int key;
        Qt::KeyboardModifiers mods;
        bool cancels;
        const char* why;
    } cases[] = {
        {Qt::Key_C, Qt::NoModifier, false, "C alone"},
        {Qt::Key_X, Qt::AltModifier, false, "another letter with Alt"},
        {Qt::Key_C, Qt::AltModifier, true, "Alt+C"},
        {Qt::Key_Return, Qt::NoModifier, true, "Enter"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Call(KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(0)}), 0);
        sink_.cancels = 0;
        QTest::keyClick(Button(), static_cast<Qt::Key>(c.key), c.mods);
        EXPECT_EQ(job_->State() == kJobCancelled, c.cancels) << c.why;
        ASSERT_EQ(Call(KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(false)}), 0);
    }
}

TEST_F(CancelDialog, HiddenButtonCannotCancel) {
    ASSERT_EQ(Put(KPM_PRINTER_JOB_CANCEL_BUTTON, VariantBool(false)), 0);
    ASSERT_EQ(Call(KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(0)}), 0);
    EXPECT_FALSE(Button()->isVisible());
    EXPECT_EQ(Message(), QString::fromUtf8("印刷中です。"));
    QTest::keyClick(Button(), Qt::Key_Return);
    EXPECT_EQ(job_->State(), kJobDocumentOpen);
    ASSERT_EQ(Put(KPM_PRINTER_JOB_CANCEL_BUTTON, VariantBool(true)), 0);
    EXPECT_TRUE(Button()->isVisible()) << "shown again at once";
    ASSERT_EQ(Call(KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(false)}), 0);
    // Without the dialog the document opens all the same.
    ASSERT_EQ(Put(KPM_PRINTER_JOB_CANCEL_DLG, VariantBool(false)), 0);
    ASSERT_EQ(Call(KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(0)}), 0);
    EXPECT_EQ(Dialog(), nullptr);
    ASSERT_EQ(Call(KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(false)}), 0);
}

TEST_F(CancelDialog, ClickDuringAPage) {
    ASSERT_EQ(Call(KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(0)}), 0);
    Page page;
    // The click waits in the queue; the loop's pump delivers it.
    page.whileDrawing = [&] {
        QMouseEvent* press = new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5),
                                             Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent* release =
            new QMouseEvent(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::postEvent(Button(), press);
        QCoreApplication::postEvent(Button(), release);
    };
    EXPECT_EQ(job_->PrintPage(page), rc::kJobCancelled) << "the page's end delivers the click";
    EXPECT_EQ(job_->State(), kJobCancelled);
    EXPECT_EQ(sink_.cancels, 1);
    page.whileDrawing = nullptr;
    EXPECT_EQ(job_->PrintPage(page), rc::kJobCancelled);
    ASSERT_EQ(Call(KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), 0);
}

}  // namespace
