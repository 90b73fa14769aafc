// The printer selection dialog: its logic keyed by control ids over a scripted printer system
// (which controls the option bits and the output-paper box leave usable, the paper chosen when
// the printer changes, the copies and scale fields, the status texts), and the job's member with
// the real dialog under the offscreen Qt platform, driven while its modal loop runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/application.h"
#include "engine/core/module.h"
#include "engine/output/printer_job.h"
#include "engine/output/printer_select_dialog.h"
#include "engine_fakes.h"

namespace {

using namespace kp;
using namespace plat;
using Dlg = PrinterSelectDialog;

const char kGeneral[] = "\xE7\xB7\x8F\xE5\x8B\x99";  // 総務, the second printer of the fakes

using fakes::Media;

// Office: A4, A3, Letter, two sizes of its own (codes 257, 258), custom sizes, three trays.
PrinterCapabilities OfficeCaps() {
    PrinterCapabilities c;
    c.media = {Media("iso_a4_210x297mm", "A4", 21000, 29700),
               Media("iso_a3_297x420mm", "A3", 29700, 42000),
               Media("na_letter_8.5x11in", "Letter", 21590, 27940),
               Media("oe_odd_123x234mm", "Odd", 12300, 23400),
               Media("oe_square_150x150mm", "Square", 15000, 15000)};
    c.defaultMedia = "iso_a4_210x297mm";
    c.sources = {{"auto", "Automatic"}, {"tray-1", "Tray 1"}, {"manual", "Manual"}};
    c.defaultSource = "auto";
    c.resolutions = {{600, 600}};
    c.defaultResolution = {600, 600};
    c.copiesMax = 99;
    c.customMinWidth = 5000;
    c.customMinLength = 5000;
    c.customMaxWidth = 29700;
    c.customMaxLength = 42000;
    return c;
}

// 総務: A4, B5 (its default), the square size as its only size of its own (code 257), no custom
// sizes, two trays (the lower its default); paused and out of paper. Its queue names neither A4
// nor B5 (one comes as its keyword, the other without a name).
PrinterCapabilities GeneralCaps() {
    PrinterCapabilities c;
    c.media = {Media("iso_a4_210x297mm", "iso_a4_210x297mm", 21000, 29700),
               Media("jis_b5_182x257mm", "", 18200, 25700),
               Media("oe_sq_150x150mm", "Square 150", 15000, 15000)};
    c.defaultMedia = "jis_b5_182x257mm";
    c.sources = {{"tray-1", "Upper"}, {"tray-2", "Lower"}};
    c.defaultSource = "tray-2";
    c.resolutions = {{300, 300}};
    c.defaultResolution = {300, 300};
    c.copiesMax = 9;
    c.state = kPrinterStopped;
    c.stateReasons = {"media-empty-error"};
    return c;
}

// Label/small: one label size and custom sizes up to Letter; one source; copies cannot be set.
PrinterCapabilities LabelCaps() {
    PrinterCapabilities c;
    c.media = {Media("oe_label_62x100mm", "Label", 6200, 10000)};
    c.defaultMedia = "oe_label_62x100mm";
    c.sources = {{"main", "Roll"}};
    c.resolutions = {{300, 300}};
    c.defaultResolution = {300, 300};
    c.customMinWidth = 2000;
    c.customMinLength = 2000;
    c.customMaxWidth = 30000;
    c.customMaxLength = 40000;
    return c;
}

void EnsureGui() {
    static QApplication* gui = [] {
        static int argc = 1;
        static char name[] = "test_printer_select_dialog";
        static char* argv[] = {name, nullptr};
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    (void)gui;
}

class PrinterSelect : public ::testing::Test {
  protected:
    void SetUp() override {
        printers_ = std::make_shared<FakePrinterSystem>();
        printers_->SetPrinters(fakes::ThreePrinters());
        printers_->SetCapabilities("Office", OfficeCaps());
        printers_->SetCapabilities(kGeneral, GeneralCaps());
        printers_->SetCapabilities("Label/small", LabelCaps());
        SetPrinterSystem(printers_);
    }
    void TearDown() override { SetPrinterSystem(nullptr); }

    // The dialog started on a printer with its own settings record, changed by edit.
    Dlg Started(const char* printer, const std::function<void(DevMode&)>& edit = {},
                const Dlg::Layout& layout = {}, uint32_t bits = 0) {
        const PrinterModel model = CodePrinter(printer, Caps(printer));
        DevMode dm = model.defaults;
        if (edit) edit(dm);
        Dlg d;
        EXPECT_TRUE(d.Initialise(printer, &dm, layout, model.copiesLimit));
        EXPECT_EQ(d.Start(bits), 0);
        return d;
    }
    PrinterCapabilities Caps(const std::string& printer) {
        PrinterCapabilities caps;
        printers_->ReadCapabilities(printer, &caps);
        return caps;
    }
    static std::optional<int32_t> Click(Dlg& d, int32_t id, bool on = true) {
        d.SetCheck(id, on);
        return d.Command(id, Dlg::kClicked);
    }
    static std::optional<int32_t> ChoosePrinter(Dlg& d, const std::string& name) {
        const auto& items = d.control(Dlg::kPrinterList).items;
        const auto it = std::find(items.begin(), items.end(), name);
        d.Select(Dlg::kPrinterList, static_cast<int32_t>(it - items.begin()));
        return d.Command(Dlg::kPrinterList, Dlg::kSelectionChanged);
    }

    std::shared_ptr<FakePrinterSystem> printers_;
};

// ---------------------------------------------------------------------------------------------
// The logic

TEST_F(PrinterSelect, InitialisationNeedsAKnownPrinterAndARecord) {
    const DevMode dm = CodePrinter("Office", OfficeCaps()).defaults;
    struct {
        const char* printer;
        bool withRecord;
        bool ok;
        const char* why;
    } cases[] = {
        {"Office", true, true, "listed and answering"},
        {"office", true, false, "names compare exactly"},
        {"Office", false, false, "no record"},
        {"", true, false, "no name"},
        {"Nowhere", true, false, "unknown printer"},
    };
    for (const auto& c : cases) {
        Dlg d;
        EXPECT_EQ(d.Initialise(c.printer, c.withRecord ? &dm : nullptr, {}, 0), c.ok) << c.why;
        EXPECT_EQ(d.HasLists(), c.ok) << c.why;
    }
    // Listed but not answering: no printer of that name can be opened.
    printers_ = std::make_shared<FakePrinterSystem>();
    printers_->SetPrinters(fakes::ThreePrinters());
    printers_->SetCapabilities("Office", OfficeCaps());
    SetPrinterSystem(printers_);
    Dlg d;
    EXPECT_FALSE(d.Initialise("Label/small", &dm, {}, 0));
    // Answering but missing from the printer list, or no list at all.
    printers_->SetCapabilities("Ghost", OfficeCaps());
    EXPECT_FALSE(d.Initialise("Ghost", &dm, {}, 0));
    printers_->SetListFails(true);
    EXPECT_FALSE(d.Initialise("Office", &dm, {}, 0));
    EXPECT_FALSE(d.HasLists());
    EXPECT_EQ(RunPrinterSelectDialog(&d, nullptr, 0), Dlg::kNoLists);
}

TEST_F(PrinterSelect, TheShownPrinter) {
    Dlg d = Started("Office", [](DevMode& dm) {
        dm.dmPaperSize = 8;  // A3
        dm.dmDefaultSource = kDmBinManual;
        dm.dmOrientation = kDmOrientLandscape;
        dm.dmCopies = 3;
    });
    EXPECT_EQ(d.control(Dlg::kPrinterList).items,
              (std::vector<std::string>{"Office", kGeneral, "Label/small"}));
    EXPECT_EQ(d.control(Dlg::kPrinterList).selected, 0);
    EXPECT_EQ(d.control(Dlg::kDriverText).text, "Generic PostScript");
    EXPECT_EQ(d.control(Dlg::kPortText).text, "ipp://office/ipp");
    EXPECT_EQ(d.control(Dlg::kStatusText).text, "準備完了");
    EXPECT_EQ(
        d.control(Dlg::kPaperList).items,
        (std::vector<std::string>{"A4", "A3", "Letter", "Odd", "Square", "ユーザー定義サイズ"}));
    EXPECT_EQ(d.control(Dlg::kPaperList).selected, 1);
    EXPECT_EQ(d.control(Dlg::kSourceList).selected, 2);
    EXPECT_TRUE(d.control(Dlg::kLandscape).checked);
    EXPECT_FALSE(d.control(Dlg::kPortrait).checked);
    EXPECT_EQ(d.control(Dlg::kCopiesEdit).text, "3");
    EXPECT_EQ(d.control(Dlg::kCopiesSpin).high, 99);
    EXPECT_EQ(d.Settings().dmPaperWidth, 2970) << "the paper's own size";
    // Paused and out of paper at once is no single state.
    ASSERT_FALSE(ChoosePrinter(d, kGeneral));
    EXPECT_EQ(d.control(Dlg::kStatusText).text, "不明");
    EXPECT_EQ(d.control(Dlg::kPaperList).items,
              (std::vector<std::string>{"A4", "B5", "Square 150"}))
        << "papers the queue does not name are named as people do";
    EXPECT_EQ(d.control(Dlg::kDriverText).text, "Laser 9000");
    // A printer without copies shows 1 and keeps both controls shut.
    ASSERT_FALSE(ChoosePrinter(d, "Label/small"));
    EXPECT_FALSE(d.control(Dlg::kCopiesEdit).enabled);
    EXPECT_FALSE(d.control(Dlg::kCopiesSpin).enabled);
    EXPECT_EQ(d.control(Dlg::kCopiesEdit).text, "1");
    // A printer that stops answering ends the dialog.
    printers_->SetCapabilities("Office", {});
    EXPECT_EQ(ChoosePrinter(d, "Office"), Dlg::kQueryFailed) << "no papers";
}

TEST(PrinterSelectTexts, StatusTexts) {
    struct {
        uint32_t status;
        const char* text;
    } cases[] = {
        {0, "準備完了"},       {0x1, "一時停止"},
        {0x10, "用紙切れ"},    {0x100, "Ｉ／Ｏアクティブ"},
        {0x1000, "利用不可"},  {0x800000, "利用不可"},
        {0x1000000, "省電力"}, {0x11, "不明"},
        {0x2000000, "不明"},
    };
    for (const auto& c : cases) EXPECT_STREQ(Dlg::StatusText(c.status), c.text) << c.status;
}

TEST_F(PrinterSelect, OptionBitsAndTheOutputPaperBox) {
    const std::vector<int32_t> all = {Dlg::kPrinterList, Dlg::kOutputPaper,   Dlg::kProperties,
                                      Dlg::kPaperList,   Dlg::kSourceList,    Dlg::kMultiPrint,
                                      Dlg::kPortrait,    Dlg::kLandscape,     Dlg::kScaleOn,
                                      Dlg::kScaleOff,    Dlg::kAlignTopLeft,  Dlg::kAlignCentreLine,
                                      Dlg::kFitToPaper,  Dlg::kFreeScale,     Dlg::kScaleEdit,
                                      Dlg::kScaleSpin,   Dlg::kOneAboveOther, Dlg::kSideBySide};
    Dlg::Layout scaledMulti;
    scaledMulti.scalePrint = 1;
    scaledMulti.multiPrint = 1;
    Dlg::Layout fitted = scaledMulti;
    fitted.scalePaperFit = 1;
    fitted.multiPrint = 0;
    struct {
        const char* why;
        uint32_t bits;
        Dlg::Layout layout;
        bool box;
        std::vector<int32_t> enabled;
    } cases[] = {
        {"box clear: the upper half and orientation",
         0,
         scaledMulti,
         false,
         {Dlg::kPrinterList, Dlg::kOutputPaper, Dlg::kSourceList, Dlg::kPortrait, Dlg::kLandscape}},
        {"box checked: paper and layout",
         0,
         scaledMulti,
         true,
         {Dlg::kPrinterList, Dlg::kOutputPaper, Dlg::kPaperList, Dlg::kSourceList, Dlg::kMultiPrint,
          Dlg::kPortrait, Dlg::kLandscape, Dlg::kScaleOn, Dlg::kScaleOff, Dlg::kAlignTopLeft,
          Dlg::kAlignCentreLine, Dlg::kFitToPaper, Dlg::kFreeScale, Dlg::kScaleEdit,
          Dlg::kScaleSpin, Dlg::kOneAboveOther, Dlg::kSideBySide}},
        {"fit to paper: no free scale; one page per sheet: no direction",
         0,
         fitted,
         true,
         {Dlg::kPrinterList, Dlg::kOutputPaper, Dlg::kPaperList, Dlg::kSourceList, Dlg::kMultiPrint,
          Dlg::kPortrait, Dlg::kLandscape, Dlg::kScaleOn, Dlg::kScaleOff, Dlg::kAlignTopLeft,
          Dlg::kAlignCentreLine, Dlg::kFitToPaper, Dlg::kFreeScale}},
        {"not scaled: no alignment or scale",
         0,
         {},
         true,
         {Dlg::kPrinterList, Dlg::kOutputPaper, Dlg::kPaperList, Dlg::kSourceList, Dlg::kMultiPrint,
          Dlg::kPortrait, Dlg::kLandscape, Dlg::kScaleOn, Dlg::kScaleOff}},
        {"every option bit but the printer's",
         0x2D,
         scaledMulti,
         true,
         {Dlg::kPrinterList, Dlg::kOutputPaper, Dlg::kPaperList, Dlg::kSourceList,
          Dlg::kAlignTopLeft, Dlg::kAlignCentreLine, Dlg::kFitToPaper, Dlg::kFreeScale,
          Dlg::kScaleEdit, Dlg::kScaleSpin, Dlg::kOneAboveOther, Dlg::kSideBySide}},
        {"the printer bit alone",
         0x10,
         {},
         false,
         {Dlg::kSourceList, Dlg::kPortrait, Dlg::kLandscape}},
    };
    for (const auto& c : cases) {
        Dlg d = Started("Office", {}, c.layout, c.bits);
        if (c.box) {
            EXPECT_FALSE(Click(d, Dlg::kOutputPaper));
        }
        for (int32_t id : all) {
            const bool expected =
                std::find(c.enabled.begin(), c.enabled.end(), id) != c.enabled.end();
            EXPECT_EQ(d.control(id).enabled, expected) << c.why << ": control " << id;
        }
    }
}

TEST_F(PrinterSelect, LayoutShownAndReadBack) {
    Dlg::Layout layout;
    layout.scalePrint = 1;
    layout.scalePrintLayout = 3;
    layout.multiPrint = 1;
    layout.multiPrintLayout = 2;
    layout.scale = 80;
    Dlg d = Started("Office", {}, layout);
    // Shown from the start, though not changeable until the box is checked.
    EXPECT_TRUE(d.control(Dlg::kScaleOn).checked);
    EXPECT_TRUE(d.control(Dlg::kAlignCentreLine).checked);
    EXPECT_TRUE(d.control(Dlg::kOneAboveOther).checked) << "MultiPrintLayout 2 is direction 1";
    EXPECT_EQ(d.control(Dlg::kScaleEdit).text, "80");
    EXPECT_FALSE(d.control(Dlg::kAlignCentreLine).enabled);
    EXPECT_FALSE(Click(d, Dlg::kOutputPaper));
    EXPECT_FALSE(Click(d, Dlg::kAlignCentre));
    EXPECT_FALSE(d.control(Dlg::kAlignCentreLine).checked) << "the group clears";
    EXPECT_FALSE(Click(d, Dlg::kSideBySide));
    EXPECT_FALSE(Click(d, Dlg::kMultiPrint, false));
    EXPECT_FALSE(d.control(Dlg::kSideBySide).enabled);
    const Dlg::Layout chosen = d.Chosen();
    EXPECT_EQ(chosen.scalePrintLayout, 2);
    EXPECT_EQ(chosen.multiPrintLayout, 1);
    EXPECT_EQ(chosen.multiPrint, 0);
    EXPECT_EQ(chosen.scale, 80);
    EXPECT_TRUE(d.OutputPaper());
    EXPECT_EQ(d.Command(Dlg::kOk, Dlg::kClicked), Dlg::kEndOk);
    EXPECT_EQ(d.Command(Dlg::kCancel, Dlg::kClicked), Dlg::kEndCancel);
}

TEST_F(PrinterSelect, CopiesAndScaleFields) {
    struct {
        int32_t id;
        const char* typed;
        const char* shown;
        int32_t value;
    } cases[] = {
        {Dlg::kCopiesEdit, "7", "7", 7},      {Dlg::kCopiesEdit, "0", "1", 1},
        {Dlg::kCopiesEdit, "abc", "1", 1},    {Dlg::kCopiesEdit, "", "1", 1},
        {Dlg::kCopiesEdit, "123", "12", 12},  {Dlg::kScaleEdit, "3", "3", 3},
        {Dlg::kScaleEdit, "0", "5", 5},       {Dlg::kScaleEdit, "abc", "5", 5},
        {Dlg::kScaleEdit, "250", "250", 250}, {Dlg::kScaleEdit, "12345", "123", 123},
    };
    Dlg::Layout scaled;
    scaled.scalePrint = 1;
    for (const auto& c : cases) {
        Dlg d = Started("Office", {}, scaled);
        EXPECT_FALSE(Click(d, Dlg::kOutputPaper));
        d.SetText(c.id, c.typed);
        EXPECT_FALSE(d.Command(c.id, Dlg::kEditChanged)) << "an edit never ends the dialog";
        EXPECT_EQ(d.control(c.id).text, c.shown) << c.typed;
        const int32_t value = c.id == Dlg::kCopiesEdit ? d.Settings().dmCopies : d.Chosen().scale;
        EXPECT_EQ(value, c.value) << c.typed;
        EXPECT_EQ(d.control(c.id == Dlg::kCopiesEdit ? Dlg::kCopiesSpin : Dlg::kScaleSpin).position,
                  c.value);
    }
}

TEST_F(PrinterSelect, PaperAndSourceWhenThePrinterChanges) {
    const PrinterModel general = CodePrinter(kGeneral, GeneralCaps());
    struct {
        const char* why;
        int16_t paper;
        const char* to;
        int16_t code;
        int16_t width, length;
        const char* shown;
    } cases[] = {
        {"the code is the new printer's too", 9, kGeneral, 9, 2100, 2970, "A4"},
        {"a paper of the same size under another code", 258, kGeneral, 257, 1500, 1500,
         "Square 150"},
        {"neither code nor size: user-defined where the printer takes it", 1, "Label/small", 256,
         2159, 2794, "ユーザー定義サイズ"},
        {"neither code nor size: else the printer's default paper", 1, kGeneral, 13, 1820, 2570,
         "B5"},
    };
    for (const auto& c : cases) {
        Dlg d = Started("Office", [&](DevMode& dm) {
            const PrinterModel office = CodePrinter("Office", OfficeCaps());
            for (const auto& p : office.papers) {
                if (p.code == static_cast<uint16_t>(c.paper)) {
                    dm.dmPaperSize = c.paper;
                    dm.dmPaperWidth = static_cast<int16_t>(p.width);
                    dm.dmPaperLength = static_cast<int16_t>(p.length);
                }
            }
            dm.dmOrientation = kDmOrientLandscape;
        });
        ASSERT_FALSE(ChoosePrinter(d, c.to)) << c.why;
        const DevMode& dm = d.Settings();
        EXPECT_EQ(dm.dmPaperSize, c.code) << c.why;
        EXPECT_EQ(dm.dmPaperWidth, c.width) << c.why;
        EXPECT_EQ(dm.dmPaperLength, c.length) << c.why;
        EXPECT_EQ(dm.dmOrientation, kDmOrientLandscape) << c.why << ": carried over";
        const Dlg::Control& papers = d.control(Dlg::kPaperList);
        ASSERT_GE(papers.selected, 0) << c.why;
        EXPECT_EQ(papers.items[papers.selected], c.shown) << c.why;
        EXPECT_STREQ(dm.dmDeviceName, CodePrinter(c.to, Caps(c.to)).defaults.dmDeviceName) << c.why;
    }
    // Office's automatic tray is none of 総務's: its default tray is taken.
    Dlg d = Started("Office");
    ASSERT_FALSE(ChoosePrinter(d, kGeneral));
    EXPECT_EQ(d.Settings().dmDefaultSource, general.defaults.dmDefaultSource);
    EXPECT_EQ(d.control(Dlg::kSourceList).selected, 1);
    EXPECT_EQ(uint32_t{d.Settings().dmFields}, general.fields) << "the new printer's own fields";
    // Choosing a paper and a tray by name.
    d.Select(Dlg::kPaperList, 0);
    EXPECT_FALSE(d.Command(Dlg::kPaperList, Dlg::kSelectionChanged));
    EXPECT_EQ(d.Settings().dmPaperSize, 9);
    EXPECT_EQ(d.Settings().dmPaperLength, 2970);
    d.Select(Dlg::kSourceList, 0);
    EXPECT_FALSE(d.Command(Dlg::kSourceList, Dlg::kSelectionChanged));
    EXPECT_EQ(d.Settings().dmDefaultSource, kDmBinUpper);
    d.Select(Dlg::kSourceList, 5);
    EXPECT_EQ(d.Command(Dlg::kSourceList, Dlg::kSelectionChanged), Dlg::kFailed)
        << "nothing selected";
    // Orientation follows its buttons.
    EXPECT_FALSE(Click(d, Dlg::kLandscape));
    EXPECT_EQ(d.Settings().dmOrientation, kDmOrientLandscape);
    EXPECT_FALSE(d.control(Dlg::kPortrait).checked);
}

TEST_F(PrinterSelect, APaperNoneOfThePrinterHasFailsTheStart) {
    // Neither the code nor the size, no user size, and the default paper of a printer first
    // shown is none (0): the chain ends instead of going round.
    const PrinterModel general = CodePrinter(kGeneral, GeneralCaps());
    DevMode dm = general.defaults;
    dm.dmPaperSize = 1;
    dm.dmPaperWidth = 2159;
    dm.dmPaperLength = 2794;
    Dlg d;
    ASSERT_TRUE(d.Initialise(kGeneral, &dm, {}, 9));
    EXPECT_EQ(d.Start(0), Dlg::kFailed);
}

// ---------------------------------------------------------------------------------------------
// The job's member with the real dialog

int moduleToken;

class SelectDialogJob : public PrinterSelect {
  protected:
    void SetUp() override {
        EnsureGui();
        PrinterSelect::SetUp();
        SetControlLibraryLoader(&fakes::kFakeLoader);
        EngineServices services;
        services.children.newPrinterJob = NewPrinterJob;
        services.children.openPrinterJob = OpenPrinterJob;
        InitModule(&moduleToken);
        void* out = nullptr;
        ASSERT_EQ(CreateEngineObject(services, &iid::kApplication, &iid::kApplication, &out), 0);
        app_ = static_cast<ApplicationObject*>(static_cast<Unknown*>(out));
        app_->Site().SetSite(1);
        Variant arg = VariantBstr(BstrAlloc(u"Office"));
        InvokeArgs args{&arg, 1};
        Variant result{};
        ASSERT_EQ(app_->Invoke(KPM_APPLICATION_CREATE_PRINTER, kInvokeMethod, &args, &result), 0);
        BstrFree(arg.bstrVal);
        job_ = static_cast<PrinterJobObject*>(static_cast<ScriptableObject*>(result.pdispVal));
    }
    void TearDown() override {
        InitModule(nullptr);
        SetControlLibraryLoader(nullptr);
        PrinterSelect::TearDown();
        QApplication::processEvents();
    }

    int32_t Put(int32_t id, Variant v) {
        InvokeArgs args{&v, 1};
        Variant r{};
        return job_->Invoke(id, kInvokePut, &args, &r);
    }
    Variant Get(int32_t id) {
        Variant v{};
        EXPECT_EQ(job_->Invoke(id, kInvokeGet, nullptr, &v), 0) << id;
        return v;
    }
    std::string GetText(int32_t id) {
        Variant v = Get(id);
        std::string s;
        Utf8FromWide(std::u16string(BstrView(v.bstrVal).data(), WideLen(v.bstrVal)), &s);
        BstrFree(v.bstrVal);
        return s;
    }
    // ShowPrtSelectDlg while script works the dialog; a dialog the script leaves open is
    // cancelled.
    int32_t Select(const std::function<void(QDialog*)>& script, Variant* value, uint32_t bits = 0) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            QDialog* dialog = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->objectName() == "PrinterSelectDialog1000" && w->isVisible())
                    dialog = qobject_cast<QDialog*>(w);
            }
            ran = true;
            if (dialog == nullptr) return;
            script(dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        Variant args[2] = {VariantUI4(0), VariantUI4(bits)};
        InvokeArgs block{args, 2};
        *value = Variant{};
        const int32_t code =
            job_->Invoke(KPM_PRINTER_JOB_SHOW_PRT_SELECT_DLG, kInvokeMethod, &block, value);
        EXPECT_TRUE(ran);
        return code;
    }
    template <class W>
    static W* Find(QDialog* d, int32_t id) {
        W* w = d->findChild<W*>(QString::number(id));
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    static void ClickOn(QDialog* d, int32_t id) { Find<QAbstractButton>(d, id)->click(); }
    static void Choose(QDialog* d, int32_t id, const char* text) {
        auto* list = Find<QComboBox>(d, id);
        const int index = list->findText(QString::fromUtf8(text));
        ASSERT_GE(index, 0) << text;
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    static void Type(QDialog* d, int32_t id, const char* text) {
        auto* edit = Find<QLineEdit>(d, id);
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromUtf8(text));
    }

    ApplicationObject* app_ = nullptr;
    PrinterJobObject* job_ = nullptr;
};

TEST_F(SelectDialogJob, TextsOfTheDialog) {
    Variant value;
    QString caption, properties, note, status, ok, cancel, output, label;
    bool propertiesEnabled = true;
    ASSERT_EQ(Select(
                  [&](QDialog* d) {
                      caption = d->windowTitle();
                      properties = Find<QPushButton>(d, 1008)->text();
                      propertiesEnabled = Find<QPushButton>(d, 1008)->isEnabled();
                      ok = Find<QPushButton>(d, 1)->text();
                      cancel = Find<QPushButton>(d, 2)->text();
                      output = Find<QCheckBox>(d, 1014)->text();
                      status = Find<QLabel>(d, 1005)->text();
                      note = d->findChild<QLabel*>("note")->text();
                      for (QLabel* l : d->findChildren<QLabel*>()) {
                          if (l->buddy() == Find<QComboBox>(d, 1001)) label = l->text();
                      }
                      ClickOn(d, 2);
                  },
                  &value),
              0);
    EXPECT_EQ(caption, QString::fromUtf8("プリンタ選択"));
    EXPECT_EQ(properties, QString::fromUtf8("プロパティ (&S)"));
    EXPECT_FALSE(propertiesEnabled) << "no driver dialog";
    EXPECT_EQ(ok, "OK");
    EXPECT_EQ(cancel, QString::fromUtf8("ｷｬﾝｾﾙ"));
    EXPECT_EQ(output, QString::fromUtf8("出力用紙指定 (&O)"));
    EXPECT_EQ(status, QString::fromUtf8("準備完了"));
    EXPECT_EQ(note, QString::fromUtf8("※位置合わせの「中央線」はマルチ印刷時のみ有効です。"));
    EXPECT_EQ(label, QString::fromUtf8("プリンタ(&P) ："));
}

TEST_F(SelectDialogJob, CancelChangesNothing) {
    ASSERT_EQ(Put(KPM_PRINTER_JOB_MULTI_PRINT_LAYOUT, VariantUI2(2)), 0);
    const DevMode before = *job_->CurrentDevMode();
    Variant value;
    ASSERT_EQ(Select(
                  [&](QDialog* d) {
                      Choose(d, 1001, kGeneral);
                      ClickOn(d, 1014);
                      ClickOn(d, 1120);
                      ClickOn(d, 2);
                  },
                  &value),
              0);
    EXPECT_EQ(value.vt, VT_BOOL);
    EXPECT_EQ(value.boolVal, 0);
    EXPECT_EQ(job_->State(), kJobReady);
    EXPECT_EQ(GetText(KPM_PRINTER_JOB_PRINTER_NAME), "Office");
    EXPECT_EQ(DevModeBytes(*job_->CurrentDevMode()), DevModeBytes(before));
    EXPECT_EQ(Get(KPM_PRINTER_JOB_SCALE_PRINT).boolVal, 0) << "ScalePrint";
    EXPECT_EQ(Get(KPM_PRINTER_JOB_MULTI_PRINT_LAYOUT).uiVal, 2) << "MultiPrintLayout";
    EXPECT_EQ(Get(KPM_PRINTER_JOB_SUPPORT_PAPERS).iVal, 6) << "Office's papers";
}

TEST_F(SelectDialogJob, OkUntouchedKeepsTheLayout) {
    for (uint16_t layout : {1, 2}) {
        for (bool box : {false, true}) {
            ASSERT_EQ(Put(KPM_PRINTER_JOB_MULTI_PRINT_LAYOUT, VariantUI2(layout)), 0);
            ASSERT_EQ(Put(KPM_PRINTER_JOB_SCALE_PRINT_LAYOUT, VariantUI2(3)), 0);
            Variant value;
            ASSERT_EQ(Select(
                          [&](QDialog* d) {
                              if (box) ClickOn(d, 1014);
                              ClickOn(d, 1);
                          },
                          &value),
                      0);
            EXPECT_EQ(value.boolVal, 1);
            EXPECT_EQ(Get(KPM_PRINTER_JOB_MULTI_PRINT_LAYOUT).uiVal, layout) << "box " << box;
            EXPECT_EQ(Get(KPM_PRINTER_JOB_SCALE_PRINT_LAYOUT).uiVal, 3) << "box " << box;
            EXPECT_EQ(job_->State(), kJobReady);
        }
    }
}

TEST_F(SelectDialogJob, OkTakesThePrinterAndItsLists) {
    Variant value;
    ASSERT_EQ(Select(
                  [&](QDialog* d) {
                      Choose(d, 1001, kGeneral);
                      EXPECT_EQ(Find<QLabel>(d, 1005)->text(), QString::fromUtf8("不明"));
                      Choose(d, 1009, "Upper");
                      // The layout is changed but the box is left clear again.
                      ClickOn(d, 1014);
                      ClickOn(d, 1120);
                      ClickOn(d, 1016);
                      ClickOn(d, 1014);
                      ClickOn(d, 1);
                  },
                  &value),
              0);
    EXPECT_EQ(value.boolVal, 1);
    EXPECT_EQ(GetText(KPM_PRINTER_JOB_PRINTER_NAME), kGeneral);
    EXPECT_EQ(GetText(KPM_PRINTER_JOB_DEVICE_NAME), "Laser 9000");
    const DevMode dm = *job_->CurrentDevMode();
    EXPECT_STREQ(dm.dmDeviceName, CodePrinter(kGeneral, GeneralCaps()).defaults.dmDeviceName);
    EXPECT_EQ(dm.dmPaperSize, 9) << "A4 carried over";
    EXPECT_EQ(dm.dmDefaultSource, kDmBinUpper);
    EXPECT_EQ(dm.dmPrintQuality, 300) << "the new printer's resolution";
    EXPECT_EQ(Get(KPM_PRINTER_JOB_SCALE_PRINT).boolVal, 0) << "layout not taken";
    EXPECT_EQ(Get(KPM_PRINTER_JOB_MULTI_PRINT).boolVal, 0);
    // Every list and extent is the new printer's.
    EXPECT_EQ(Get(KPM_PRINTER_JOB_SUPPORT_PAPERS).iVal, 3);
    EXPECT_EQ(Get(KPM_PRINTER_JOB_SUPPORT_SOURCES).iVal, 2);
    EXPECT_EQ(Get(KPM_PRINTER_JOB_MAX_PAPER_WIDTH).iVal, 0) << "no custom sizes";
    Variant name{};
    Variant index = VariantUI2(1);
    InvokeArgs args{&index, 1};
    ASSERT_EQ(job_->Invoke(KPM_PRINTER_JOB_GET_PAPER_NAME, kInvokeMethod, &args, &name), 0);
    EXPECT_EQ(std::u16string(BstrView(name.bstrVal).data(), WideLen(name.bstrVal)), u"B5");
    BstrFree(name.bstrVal);
    EXPECT_EQ(Put(KPM_PRINTER_JOB_COPIES, VariantUI2(12)), rc::kOutOfRange)
        << "the new copies limit of 9";
    EXPECT_EQ(Put(KPM_PRINTER_JOB_COPIES, VariantUI2(9)), 0);
}

TEST_F(SelectDialogJob, OkWithTheBoxTakesTheLayout) {
    ASSERT_EQ(Put(KPM_PRINTER_JOB_MULTI_PRINT_LAYOUT, VariantUI2(1)), 0);
    const struct {
        const char* typed;
        uint16_t scale;
    } cases[] = {{"3", 3}, {"0", 5}, {"250", 250}};
    for (const auto& c : cases) {
        ASSERT_EQ(Put(KPM_PRINTER_JOB_MULTI_PRINT, VariantBool(false)), 0);
        Variant value;
        ASSERT_EQ(Select(
                      [&](QDialog* d) {
                          ClickOn(d, 1014);
                          ClickOn(d, 1120);
                          ClickOn(d, 1141);
                          ClickOn(d, 1131);
                          ClickOn(d, 1016);
                          ClickOn(d, 1150);
                          Type(d, 1021, c.typed);
                          ClickOn(d, 1);
                      },
                      &value),
                  0);
        EXPECT_EQ(value.boolVal, 1);
        EXPECT_EQ(Get(KPM_PRINTER_JOB_SCALE).uiVal, c.scale) << c.typed;
        EXPECT_NE(Get(KPM_PRINTER_JOB_SCALE_PRINT).boolVal, 0);
        EXPECT_EQ(Get(KPM_PRINTER_JOB_SCALE_PAPER_FIT).boolVal, 0);
        EXPECT_NE(Get(KPM_PRINTER_JOB_MULTI_PRINT).boolVal, 0);
        EXPECT_EQ(Get(KPM_PRINTER_JOB_SCALE_PRINT_LAYOUT).uiVal, 2);
        EXPECT_EQ(Get(KPM_PRINTER_JOB_MULTI_PRINT_LAYOUT).uiVal, 2) << "one above the other";
        // A later UpdateInfo keeps what the user chose.
        Variant none{};
        ASSERT_EQ(job_->Invoke(KPM_PRINTER_JOB_UPDATE_INFO, kInvokeMethod, nullptr, &none), 0);
        EXPECT_EQ(Get(KPM_PRINTER_JOB_SCALE).uiVal, c.scale);
        EXPECT_EQ(Get(KPM_PRINTER_JOB_MULTI_PRINT_LAYOUT).uiVal, 2);
    }
}

TEST_F(SelectDialogJob, ANewPrinterThatCannotBeTakenLeavesTheJob) {
    const DevMode before = *job_->CurrentDevMode();
    Variant value;
    // The printer goes away while the dialog is open.
    EXPECT_EQ(Select(
                  [&](QDialog* d) {
                      Choose(d, 1001, kGeneral);
                      printers_->SetCapabilities(kGeneral, {});
                      ClickOn(d, 1);
                  },
                  &value),
              rc::kNotReady);
    EXPECT_EQ(job_->State(), kJobReady);
    EXPECT_EQ(GetText(KPM_PRINTER_JOB_PRINTER_NAME), "Office");
    EXPECT_EQ(DevModeBytes(*job_->CurrentDevMode()), DevModeBytes(before));
    EXPECT_EQ(Get(KPM_PRINTER_JOB_SUPPORT_PAPERS).iVal, 6);
    // A printer change the dialog cannot show ends it: a printer without papers, a printer
    // that no longer answers.
    printers_->SetCapabilities(kGeneral, GeneralCaps());
    printers_->SetCapabilities("Label/small", {});
    EXPECT_EQ(Select([&](QDialog* d) { Choose(d, 1001, "Label/small"); }, &value),
              rc::kSelectQueryFailed);
    EXPECT_EQ(job_->State(), kJobReady);
    printers_ = std::make_shared<FakePrinterSystem>();
    printers_->SetPrinters(fakes::ThreePrinters());
    printers_->SetCapabilities("Office", OfficeCaps());
    SetPrinterSystem(printers_);
    EXPECT_EQ(Select([&](QDialog* d) { Choose(d, 1001, kGeneral); }, &value), rc::kSelectFailed);
    EXPECT_EQ(job_->State(), kJobReady);
    EXPECT_EQ(GetText(KPM_PRINTER_JOB_PRINTER_NAME), "Office");
}

}  // namespace
