// The live preview through its members with real reports and a recording frame in place of the
// Qt window: puts by state, opening, recording pages, moving between them, the close query,
// sinks that close from inside events, click zoom, the canvas, and its pages on a printer.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QImage>
#include <filesystem>
#include <functional>
#include <optional>

#include "engine/output/printer_job.h"
#include "engine/preview/preview_object.h"
#include "platform/gdi/handles.h"
#include "platform/gdi/qpainter_dc.h"
#include "tests/engine/event_sink.h"
#include "tests/engine/image_document.h"
#include "tests/engine/report_model_fixture.h"
#include "tests/fixtures/private_tmpdir.h"

namespace kp {
namespace {

using namespace reportfix;
using namespace preview;
namespace fs = std::filesystem;

QCoreApplication* App() {
    static int argc = 1;
    static char name[] = "test_preview_object";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return app;
}

// The frame window as the core drives it, without a screen.
class FakeFrame final : public FrameView {
  public:
    explicit FakeFrame(PreviewCore* core) : core_(core), handle_(plat::RegisterWindow(this)) {
        ++live;
    }
    uint32_t Handle() const override { return handle_; }
    Size CanvasSize() const override { return canvas; }
    void Update() override { ++updates; }
    void Repaint() override { ++repaints; }
    void Geometry(int32_t* l, int32_t* t, int32_t* w, int32_t* h) const override {
        *l = 10, *t = 20, *w = 640, *h = 480;
    }
    void Move(int32_t, int32_t, int32_t, int32_t) override {}
    void ShowState(bool, bool) override {}
    void FitToParent() override {}
    void AddOutline(int page, int parent, const std::u16string& text) override {
        outline.push_back({page, parent, text});
    }
    void SelectOutline(int) override {}
    bool AskPrintRange(int, int count, int* start, int* end) override {
        *start = 1;
        *end = count;
        return rangeAnswer;
    }
    void Beep() override { ++beeps; }
    void Destroy() override { delete this; }

    struct Entry {
        int page, parent;
        std::u16string text;
    };
    static inline int live = 0;
    static inline FakeFrame* last = nullptr;
    static inline Size canvas{800, 600};
    static inline bool rangeAnswer = true;
    PreviewCore* core_;
    uint32_t handle_;
    int updates = 0, repaints = 0, beeps = 0;
    std::vector<Entry> outline;

  private:
    ~FakeFrame() override {
        plat::UnregisterWindow(handle_);
        --live;
        if (last == this) last = nullptr;
    }
};

FrameView* MakeFakeFrame(PreviewCore* core, bool, uint32_t) {
    FakeFrame::last = new FakeFrame(core);
    return FakeFrame::last;
}

using Sink = TestEventSink;

class PreviewObjectTest : public ReportTest {
  protected:
    void SetUp() override {
        App();
        ReportTest::SetUp();
        scratch_.emplace("kppreview");
        ASSERT_TRUE(scratch_->valid());
        dir_ = scratch_->tmp();
        FakeFrame::canvas = {800, 600};
        FakeFrame::rangeAnswer = true;
        Variant made{};
        ASSERT_EQ(app_->Invoke(ApplicationObject::kCreatePreview, kInvokeMethod, nullptr, &made),
                  0);
        preview_ = static_cast<PreviewObject*>(static_cast<ScriptableObject*>(made.pdispVal));
        ASSERT_NE(preview_, nullptr);
    }
    // Previews whose frames are the stand-in.
    void AddServices(EngineServices& services) override {
        ReportTest::AddServices(services);
        AddPreviewServices(services);
        services.frameView = &MakeFakeFrame;
    }
    void TearDown() override {
        if (cookie_ != 0) app_->Sinks().UnadviseSink(cookie_);
        ReportTest::TearDown();  // the application frees the preview still registered
        EXPECT_EQ(FakeFrame::live, 0);
        // Every page file went with its list.
        EXPECT_TRUE(scratch_->TmpIsEmpty()) << dir_;
        scratch_.reset();
    }

    void SetUpPrinters(FakePrinterSystem& printers) override {
        plat::PrinterCapabilities caps;
        caps.media = {{"iso_a4_210x297mm", "A4", 21000, 29700, 0, 0, 0, 0}};
        caps.defaultMedia = "iso_a4_210x297mm";
        caps.resolutions = {{100, 100}};
        caps.defaultResolution = {100, 100};
        printers.SetPrinters({{"Office", "Generic", "ipp://office", true}});
        printers.SetCapabilities("Office", caps);
    }

    void Advise() { ASSERT_EQ(app_->Sinks().AdviseSink(&sink_, &cookie_), 0); }

    int32_t Call(int32_t id, std::vector<Variant> args = {}) {
        Variant result{};
        InvokeArgs block{args.data(), static_cast<uint32_t>(args.size())};
        return preview_->Invoke(id, kInvokeMethod, &block, &result);
    }
    int32_t PutP(int32_t id, Variant v) { return Put(preview_, id, v); }
    Variant GetP(int32_t id, int32_t* rc = nullptr) {
        Variant v{};
        const int32_t code = GetValue(preview_, id, &v);
        if (rc) *rc = code;
        return v;
    }
    int32_t Open() { return Call(KPM_PREVIEW_OPEN_PREVIEW, {VariantUI4(kStyleTopLevel)}); }

    // A page with a black box on layer 1 and a second box on layer 2.
    ReportObject* Page() {
        ReportObject* report = NewReport();
        ItemObject* box = Add(report, 1, ctrlclass::kBox, u"B", {2000, 2000, 6000, 4000});
        EXPECT_EQ(Put(box->mainInterface(), KPM_SHAPE_CONTROL_FILL_COLOR, VariantUI4(0x000000)), 0);
        ItemObject* other = Add(report, 2, ctrlclass::kBox, u"C", {2000, 8000, 6000, 10000});
        EXPECT_EQ(Put(other->mainInterface(), KPM_SHAPE_CONTROL_FILL_COLOR, VariantUI4(0x000000)),
                  0);
        return report;
    }
    int32_t Record(ReportObject* report) {
        return Call(KPM_PREVIEW_PRINT, {VariantDispatch(static_cast<ScriptableObject*>(report))});
    }

    std::optional<qzs_test::PrivateTmpDir> scratch_;
    std::string dir_;  // TMPDIR
    PreviewObject* preview_ = nullptr;
    Sink sink_;
    uint32_t cookie_ = 0;
    bool takeOver_ = false;
};

// ---------------------------------------------------------------------------------------------

TEST_F(PreviewObjectTest, PutsAndGetsByState) {
    enum Setup { kIdle, kOpen, kOpenWithPages, kRecording };
    struct Row {
        Setup setup;
        int32_t id;
        Variant value;
        int32_t expected;
    };
    const Row rows[] = {
        {kIdle, KPM_PREVIEW_WINDOW_RIGHT, VariantI4(3001), code::kOutOfRange},
        {kIdle, KPM_PREVIEW_WINDOW_RIGHT, VariantI4(3000), 0},
        {kIdle, KPM_PREVIEW_WINDOW_RIGHT, VariantI4(kDefaultPosition), 0},
        {kOpen, KPM_PREVIEW_WINDOW_RIGHT, VariantI4(kDefaultPosition), code::kOutOfRange},
        {kIdle, KPM_PREVIEW_WINDOW_TOP, VariantI4(-1), code::kOutOfRange},
        {kIdle, KPM_PREVIEW_ZOOM, VariantUI2(4), code::kOutOfRange},
        {kIdle, KPM_PREVIEW_ZOOM, VariantUI2(1001), code::kOutOfRange},
        {kIdle, KPM_PREVIEW_ZOOM, VariantUI2(5), 0},
        {kOpen, KPM_PREVIEW_ZOOM, VariantUI2(1000), 0},
        {kRecording, KPM_PREVIEW_ZOOM, VariantUI2(100), code::kBusy},
        {kIdle, KPM_PREVIEW_TITLE, VariantBstr(nullptr), 0},
        {kOpen, KPM_PREVIEW_TITLE, VariantBstr(nullptr), code::kWrongState},
        {kIdle, KPM_PREVIEW_PARENT_WINDOW, VariantUI4(0x7fff1234), code::kBadArgument},
        {kOpen, KPM_PREVIEW_PARENT_WINDOW, VariantUI4(0), code::kWrongState},
        {kIdle, KPM_PREVIEW_PAGE, VariantUI4(1), code::kWrongState},
        {kOpenWithPages, KPM_PREVIEW_PAGE, VariantUI4(0), code::kOutOfRange},
        {kOpenWithPages, KPM_PREVIEW_PAGE, VariantUI4(3), code::kOutOfRange},
        {kOpenWithPages, KPM_PREVIEW_PAGE, VariantUI4(2), 0},
        {kOpenWithPages, KPM_PREVIEW_PAGE, VariantUI4(1), 0},  // the current page again
        {kRecording, KPM_PREVIEW_PAGE, VariantUI4(1), code::kBusy},
        {kIdle, KPM_PREVIEW_REPORT_INDEX_LEVEL, VariantUI4(0), code::kWrongState},
        {kOpenWithPages, KPM_PREVIEW_REPORT_INDEX_LEVEL, VariantUI4(0), 0},
        {kOpenWithPages, KPM_PREVIEW_REPORT_INDEX_LEVEL, VariantUI4(0xFFFFFFFF), 0},
        {kOpenWithPages, KPM_PREVIEW_REPORT_INDEX_LEVEL, VariantUI4(2), code::kNoOutlineEntry},
        {kOpenWithPages, KPM_PREVIEW_REPORT_INDEX_LEVEL, VariantUI4(3), code::kOutOfRange},
        {kOpen, KPM_PREVIEW_TOOLS, VariantUI4(0x3), 0},
        {kRecording, KPM_PREVIEW_TOOLS, VariantUI4(0x3), code::kWrongState},
        {kIdle, KPM_PREVIEW_LAYER_DISPLAY1, VariantBool(false), 0},
        {kRecording, KPM_PREVIEW_LAYER_PRINT1, VariantBool(false), code::kWrongState},
        {kRecording, KPM_PREVIEW_TWO_PAGES, VariantBool(true), code::kWrongState},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "setup " << row.setup << " id " << row.id);
        if (row.setup != kIdle) {
            ASSERT_EQ(Open(), 0);
            if (row.setup == kOpenWithPages) {
                ASSERT_EQ(Record(Page()), 0);
                ASSERT_EQ(Record(Page()), 0);
            }
            if (row.setup == kRecording) preview_->core().SetState(kStateRecording);
        }
        EXPECT_EQ(PutP(row.id, row.value), row.expected);
        if (preview_->core().state() == kStateRecording) preview_->core().SetState(kStateOpen);
        if (preview_->core().state() != kStateIdle) {
            ASSERT_EQ(Call(KPM_PREVIEW_CLOSE_PREVIEW), 0);
        }
    }
    // Gets that need an open window.
    int32_t rc = 0;
    GetP(KPM_PREVIEW_PAGE_COUNT, &rc);
    EXPECT_EQ(rc, code::kWrongState);
    GetP(KPM_PREVIEW_HWND, &rc);
    EXPECT_EQ(rc, code::kWrongState);
    ASSERT_EQ(Open(), 0);
    EXPECT_EQ(GetP(KPM_PREVIEW_HWND, &rc).ulVal, FakeFrame::last->Handle());
    preview_->core().SetState(kStateRecording);
    GetP(KPM_PREVIEW_PAGE_COUNT, &rc);
    EXPECT_EQ(rc, code::kBusy);
    preview_->core().SetState(kStateOpen);
    EXPECT_EQ(GetP(KPM_PREVIEW_PAGE_COUNT, &rc).ulVal, 0u);
    EXPECT_EQ(GetP(KPM_PREVIEW_STATUS).uiVal, kStateOpen);
    // The frame's own rectangle is stored when it opens.
    EXPECT_EQ(GetP(KPM_PREVIEW_WINDOW_LEFT).lVal, 10);
    EXPECT_EQ(GetP(KPM_PREVIEW_WINDOW_BOTTOM).lVal, 480);
}

TEST_F(PreviewObjectTest, OpenStylesAndParents) {
    struct Row {
        uint32_t style;
        uint32_t parent;
        int32_t expected;
    };
    const Row rows[] = {
        {0, 0, code::kBadArgument},
        {kStyleTopLevel | kStyleChild, 0, code::kBadArgument},
        {kStyleChild, 0, code::kChildWithoutParent},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Call(KPM_PREVIEW_OPEN_PREVIEW, {VariantUI4(row.style)}), row.expected)
            << row.style;
        EXPECT_EQ(preview_->core().state(), kStateIdle);
    }
    // Without a window layer (an application made without one) no frame can be made.
    {
        EngineServices withoutWindows;
        AddServices(withoutWindows);
        withoutWindows.frameView = nullptr;
        void* out = nullptr;
        ASSERT_EQ(CreateEngineObject(withoutWindows, &iid::kApplication, &iid::kApplication, &out),
                  0);
        auto* bare = static_cast<ApplicationObject*>(static_cast<Unknown*>(out));
        bare->Site().SetSite(1);
        Variant made{};
        ASSERT_EQ(bare->Invoke(ApplicationObject::kCreatePreview, kInvokeMethod, nullptr, &made),
                  0);
        auto* windowless =
            static_cast<PreviewObject*>(static_cast<ScriptableObject*>(made.pdispVal));
        Variant style = VariantUI4(kStyleTopLevel);
        InvokeArgs args{&style, 1};
        Variant result{};
        EXPECT_EQ(windowless->Invoke(12001, kInvokeMethod, &args, &result), code::kFrameFailed);
        EXPECT_EQ(windowless->core().state(), kStateIdle);
        EXPECT_EQ(bare->Release(), 0);
    }
    ASSERT_EQ(Open(), 0);
    EXPECT_EQ(Open(), code::kWrongState);
    // A child inside the first frame's window.
    Variant made{};
    ASSERT_EQ(app_->Invoke(ApplicationObject::kCreatePreview, kInvokeMethod, nullptr, &made), 0);
    auto* inner = static_cast<ScriptableObject*>(made.pdispVal);
    ASSERT_EQ(Put(inner, KPM_PREVIEW_PARENT_WINDOW, VariantUI4(FakeFrame::last->Handle())), 0);
    Variant v = VariantUI4(kStyleChild);
    InvokeArgs args{&v, 1};
    Variant result{};
    EXPECT_EQ(inner->Invoke(KPM_PREVIEW_OPEN_PREVIEW, kInvokeMethod, &args, &result), 0);
    EXPECT_EQ(inner->Invoke(KPM_PREVIEW_CLOSE, kInvokeMethod, nullptr, &result), 0);
}

TEST_F(PreviewObjectTest, RecordsPagesAndMovesBetweenThem) {
    Advise();
    std::vector<int> pageAtEvent;
    sink_.onEvent = [&](int32_t id, const InvokeArgs*) {
        if (id == kEvNextPage || id == kEvLastPage)
            pageAtEvent.push_back(preview_->core().currentPage());
    };
    EXPECT_EQ(Record(Page()), code::kWrongState) << "not open";
    ASSERT_EQ(Open(), 0);
    EXPECT_EQ(Record(reinterpret_cast<ReportObject*>(preview_)), code::kBadArgument);
    ASSERT_EQ(PutP(KPM_PREVIEW_REPORT_INDEX_LEVEL, VariantUI4(0)), 0);
    ASSERT_EQ(Record(Page()), 0);
    EXPECT_EQ(preview_->core().currentPage(), 1) << "the first page shows at once";
    ASSERT_EQ(PutP(KPM_PREVIEW_REPORT_INDEX_LEVEL, VariantUI4(1)), 0);
    Bstr title = BstrAllocView(u"明細");
    ASSERT_EQ(PutP(KPM_PREVIEW_REPORT_INDEX_TITLE, VariantBstr(title)), 0);
    BstrFree(title);
    ASSERT_EQ(Record(Page()), 0);
    ASSERT_EQ(PutP(KPM_PREVIEW_REPORT_INDEX_LEVEL, VariantUI4(0xFFFFFFFF)), 0);
    ASSERT_EQ(Record(Page()), 0);
    EXPECT_EQ(GetP(KPM_PREVIEW_PAGE_COUNT).ulVal, 3u);

    // Outline: page 1 at the top level ("1ページ"), page 2 under it with its title, page 3 none.
    FakeFrame* frame = FakeFrame::last;
    ASSERT_EQ(frame->outline.size(), 2u);
    EXPECT_EQ(frame->outline[0].parent, 0);
    EXPECT_EQ(frame->outline[0].text, u"1ページ");
    EXPECT_EQ(frame->outline[1].parent, 1);
    EXPECT_EQ(frame->outline[1].text, u"明細");

    auto enabled = [&](int command) {
        for (const ToolState& t : preview_->core().ToolbarState())
            if (t.def->id == command) return t.visible && t.enabled;
        return false;
    };
    struct Step {
        int command;
        int page;  // after it
        bool first, prev, next, last;
    };
    const Step steps[] = {
        {0, 1, false, false, true, true},
        {kCmdNext, 2, true, true, true, true},
        {kCmdLast, 3, true, true, false, false},
        {kCmdNext, 3, true, true, false, false},  // nowhere to go
        {kCmdPrev, 2, true, true, true, true},
        {kCmdFirst, 1, false, false, true, true},
    };
    for (const Step& s : steps) {
        if (s.command != 0) preview_->core().OnCommand(s.command);
        EXPECT_EQ(preview_->core().currentPage(), s.page) << s.command;
        EXPECT_EQ(enabled(kCmdFirst), s.first) << s.command;
        EXPECT_EQ(enabled(kCmdPrev), s.prev) << s.command;
        EXPECT_EQ(enabled(kCmdNext), s.next) << s.command;
        EXPECT_EQ(enabled(kCmdLast), s.last) << s.command;
    }
    // The events came before the moves.
    EXPECT_EQ(pageAtEvent, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(preview_->core().StatusPageText(), "Page : 1/3");

    // Two pages side by side load the next page beside the current one.
    preview_->core().OnCommand(kCmdTwoSide);
    EXPECT_TRUE(preview_->core().CurrentArrangement().hasSecond);
    preview_->core().OnCommand(kCmdSingle);
    EXPECT_FALSE(preview_->core().CurrentArrangement().hasSecond);
    EXPECT_EQ(std::count(sink_.events.begin(), sink_.events.end(), kEvViewChange), 2);

    // The print button without a sink taking it over asks for the range and fires 22001.
    std::vector<uint32_t> range;
    sink_.onEvent = [&](int32_t id, const InvokeArgs* args) {
        if (id == kEvOnPrint) range = {args->args[1].ulVal, args->args[2].ulVal};
        if (id == kEvPrintButton && takeOver_) *static_cast<int16_t*>(args->args[1].byref) = -1;
    };
    preview_->core().OnCommand(kCmdPrint);
    EXPECT_EQ(range, (std::vector<uint32_t>{1, 3}));
    range.clear();
    takeOver_ = true;
    preview_->core().OnCommand(kCmdPrint);
    EXPECT_TRUE(range.empty()) << "the host took the printing over";

    ASSERT_EQ(Call(KPM_PREVIEW_CLOSE_PREVIEW), 0);
    EXPECT_EQ(sink_.events.back(), kEvClose);
    EXPECT_EQ(preview_->core().state(), kStateIdle);
    EXPECT_EQ(FakeFrame::live, 0);
    EXPECT_TRUE(fs::is_empty(dir_)) << "closing drops the page files";
}

TEST_F(PreviewObjectTest, SinksThatCloseFromInsideEvents) {
    Advise();
    ASSERT_EQ(Open(), 0);
    ASSERT_EQ(Record(Page()), 0);
    ASSERT_EQ(Record(Page()), 0);

    // Freeing the object from inside its event is refused; closing the window waits for the
    // handler's end.
    int32_t closeAnswer = 0, closePreviewAnswer = 1;
    sink_.onEvent = [&](int32_t id, const InvokeArgs*) {
        if (id != kEvNextPage) return;
        Variant result{};
        closeAnswer = preview_->Invoke(KPM_PREVIEW_CLOSE, kInvokeMethod, nullptr, &result);
        closePreviewAnswer =
            preview_->Invoke(KPM_PREVIEW_CLOSE_PREVIEW, kInvokeMethod, nullptr, &result);
        EXPECT_EQ(FakeFrame::live, 1) << "the frame outlives the handler";
    };
    preview_->core().OnCommand(kCmdNext);
    EXPECT_EQ(closeAnswer, code::kBusy);
    EXPECT_EQ(closePreviewAnswer, 0);
    EXPECT_EQ(FakeFrame::live, 0);
    EXPECT_EQ(preview_->core().state(), kStateIdle);
    EXPECT_EQ(preview_->core().currentPage(), 0) << "no move after the close";
    EXPECT_EQ(sink_.events.back(), kEvClose);

    // The close query: false keeps the frame, no sink closes it.
    ASSERT_EQ(Open(), 0);
    sink_.onEvent = [&](int32_t id, const InvokeArgs* args) {
        if (id == kEvCloseQuery) *static_cast<int16_t*>(args->args[1].byref) = 0;
    };
    preview_->core().OnCommand(kCmdExit);
    EXPECT_EQ(FakeFrame::live, 1);
    EXPECT_EQ(preview_->core().state(), kStateOpen);
    app_->Sinks().UnadviseSink(std::exchange(cookie_, 0));
    preview_->core().OnCommand(kCmdExit);
    EXPECT_EQ(FakeFrame::live, 0);
    EXPECT_EQ(preview_->core().state(), kStateIdle);

    // Cancelled: pages are refused, the window still closes.
    ASSERT_EQ(Open(), 0);
    preview_->core().SetState(kStateCancelled);
    EXPECT_EQ(Record(Page()), code::kCancelled);
    EXPECT_EQ(Call(KPM_PREVIEW_SHOW_PRINTING_DIALOG), code::kCancelled);
    EXPECT_EQ(Call(KPM_PREVIEW_CLOSE_PREVIEW), 0);
    EXPECT_EQ(preview_->core().state(), kStateIdle);
    // Without a QApplication there is no printing dialog.
    ASSERT_EQ(Open(), 0);
    EXPECT_EQ(Call(KPM_PREVIEW_SHOW_PRINTING_DIALOG), code::kPrintingDialog);
    EXPECT_EQ(Call(KPM_PREVIEW_HIDE_PRINTING_DIALOG), 0);
}

TEST_F(PreviewObjectTest, ClickZoomAndFit) {
    ASSERT_EQ(Open(), 0);
    ASSERT_EQ(Record(Page()), 0);
    // Fitted: an A4 page plus its margins into 800 x 600.
    const int fitted = preview_->core().zoom();
    EXPECT_EQ(fitted, FitZoom({800, 600}, preview_->core().CurrentArrangement().area));
    EXPECT_EQ(preview_->core().StatusZoomText(), "Zoom: " + std::to_string(fitted) + "%");
    ASSERT_EQ(PutP(KPM_PREVIEW_FIT_TO_WINDOW, VariantBool(false)), 0);
    struct Row {
        int zoom;
        bool left;
        int after;
        int beeps;
    };
    const Row rows[] = {{100, true, 105, 0},
                        {1000, true, 1000, 1},
                        {5, false, 5, 1},
                        {6, false, 6, 1},
                        {10, false, 5, 0}};
    for (const Row& r : rows) {
        ASSERT_EQ(PutP(KPM_PREVIEW_ZOOM, VariantUI2(uint16_t(r.zoom))), 0);
        const int before = FakeFrame::last->beeps;
        preview_->core().OnCanvasClick(r.left);
        EXPECT_EQ(preview_->core().zoom(), r.after) << r.zoom;
        EXPECT_EQ(FakeFrame::last->beeps - before, r.beeps) << r.zoom;
    }
    ASSERT_EQ(PutP(KPM_PREVIEW_CLICK_ZOOM, VariantBool(false)), 0);
    preview_->core().OnCanvasClick(true);
    EXPECT_EQ(preview_->core().zoom(), 5) << "click zoom off";
}

TEST_F(PreviewObjectTest, CanvasShowsTheDisplayedLayers) {
    ASSERT_EQ(Open(), 0);
    ASSERT_EQ(Record(Page()), 0);
    auto paint = [&] {
        QImage image(800, 600, QImage::Format_RGB32);
        image.fill(Qt::red);
        {
            plat::QPainterDc dc(&image, 96);
            preview_->core().Paint(&dc, {800, 600});
        }
        return image;
    };
    auto dark = [](const QImage& image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) n += qGray(image.pixel(x, y)) < 40;
        return n;
    };
    const QImage both = paint();
    EXPECT_EQ(both.pixel(2, 2), qRgb(0, 128, 128)) << "the area around the page";
    ASSERT_EQ(PutP(KPM_PREVIEW_LAYER_DISPLAY2, VariantBool(false)), 0);
    const QImage first = paint();
    EXPECT_GT(dark(first), 100);
    EXPECT_GT(dark(both), dark(first) + 100) << "layer 2 hidden on screen";
}

class PreviewPrintTest : public PreviewObjectTest {
  protected:
    void SetUp() override {
        PreviewObjectTest::SetUp();
        ImageDocument::onStartPage = nullptr;
        ASSERT_EQ(Open(), 0);
        ASSERT_EQ(Record(Page()), 0);
        ASSERT_EQ(Record(Page()), 0);
    }
    void TearDown() override {
        ImageDocument::onStartPage = nullptr;
        PreviewObjectTest::TearDown();
    }
    // Printer jobs whose documents are images.
    void AddServices(EngineServices& services) override {
        PreviewObjectTest::AddServices(services);
        services.children.newPrinterJob = NewPrinterJob;
        services.children.openPrinterJob = OpenPrinterJob;
        services.printerDocument = &MakeImageDocument;
    }
    // A job on the one printer with its document open and no cancel dialog.
    ScriptableObject* OpenJob() {
        Bstr name = BstrAllocView(u"Office");
        Variant arg = VariantBstr(name);
        InvokeArgs args{&arg, 1};
        Variant made{};
        EXPECT_EQ(app_->Invoke(ApplicationObject::kCreatePrinter, kInvokeMethod, &args, &made), 0);
        BstrFree(name);
        auto* job = static_cast<ScriptableObject*>(made.pdispVal);
        EXPECT_EQ(Put(job, KPM_PRINTER_JOB_CANCEL_DLG, VariantBool(false)), 0);
        EXPECT_EQ(CallOn(job, KPM_PRINTER_JOB_OPEN_PRINTER, {VariantUI4(0)}), 0);
        return job;
    }
    static int32_t CallOn(ScriptableObject* object, int32_t id, std::vector<Variant> a) {
        Variant result{};
        InvokeArgs block{a.data(), static_cast<uint32_t>(a.size())};
        return object->Invoke(id, kInvokeMethod, &block, &result);
    }
};

// A Close from inside a page (a pump, or the cancel's event) waits for the page's end: the job
// goes when the member that printed returns, and not before.
TEST_F(PreviewPrintTest, CloseFromInsideAPageWaitsForItsEnd) {
    auto* self = static_cast<ScriptableObject*>(preview_);
    for (const bool viaCancel : {false, true}) {
        SCOPED_TRACE(viaCancel ? "from the cancel's event" : "from inside the page");
        ScriptableObject* job = OpenJob();
        ASSERT_EQ(app_->ChildCount(ChildKind::kPrinter), 1u);
        Advise();
        sink_.onEvent = [&](int32_t id, const InvokeArgs*) {
            if (id == KPM_EVENT_PRINTER_JOB_PRINT_CANCEL) {
                EXPECT_EQ(CallOn(job, KPM_PRINTER_JOB_CLOSE, {}), 0);
            }
        };
        size_t during = 0;
        ImageDocument::onStartPage = [&] {
            if (viaCancel) {
                static_cast<PrinterJobObject*>(job)->CancelPrintJob();
            } else {
                EXPECT_EQ(CallOn(job, KPM_PRINTER_JOB_CLOSE, {}), 0);
            }
            during = app_->ChildCount(ChildKind::kPrinter);
        };
        const int32_t printed =
            CallOn(job, KPM_PRINTER_JOB_PREVIEW_PRINT, {VariantDispatch(self), VariantUI4(1)});
        EXPECT_EQ(printed, viaCancel ? rc::kJobCancelled : 0);
        EXPECT_EQ(during, 1u) << "alive while its page printed";
        EXPECT_EQ(app_->ChildCount(ChildKind::kPrinter), 0u) << "gone after";
        ImageDocument::onStartPage = nullptr;
        app_->Sinks().UnadviseSink(std::exchange(cookie_, 0));
        sink_.onEvent = nullptr;
    }
}

TEST_F(PreviewPrintTest, PagesOnAPrinter) {
    ScriptableObject* job = OpenJob();
    auto call = [&](int32_t id, std::vector<Variant> a) { return CallOn(job, id, std::move(a)); };
    ASSERT_NE(ImageDocument::last, nullptr);
    auto* self = static_cast<ScriptableObject*>(preview_);
    // Layer 2 is not printed: only the first box reaches the paper.
    ASSERT_EQ(PutP(KPM_PREVIEW_LAYER_PRINT2, VariantBool(false)), 0);
    ASSERT_EQ(call(KPM_PRINTER_JOB_PREVIEW_PRINT, {VariantDispatch(self), VariantUI4(1)}), 0);
    const int onePage = ImageDocument::last->Dark();
    EXPECT_GT(onePage, 100);
    EXPECT_EQ(call(KPM_PRINTER_JOB_PREVIEW_PRINT, {VariantDispatch(self), VariantUI4(3)}), -13001);
    EXPECT_EQ(call(KPM_PRINTER_JOB_PREVIEW_PRINT, {VariantDispatch(self), VariantUI4(0)}), -13001);
    EXPECT_EQ(call(KPM_PRINTER_JOB_PREVIEW_PRINT, {VariantDispatch(job), VariantUI4(1)}),
              code::kBadArgument);
    ASSERT_EQ(PutP(KPM_PREVIEW_LAYER_PRINT2, VariantBool(true)), 0);
    ASSERT_EQ(call(KPM_PRINTER_JOB_PREVIEW_PRINT, {VariantDispatch(self), VariantUI4(2)}), 0);
    EXPECT_GT(ImageDocument::last->Dark(), onePage + 100) << "both layers on the second page";
    EXPECT_EQ(ImageDocument::last->pages, 2);
    EXPECT_FALSE(preview_->core().IsInUse()) << "the page lock is given back";
    ASSERT_EQ(call(KPM_PRINTER_JOB_CLOSE_PRINTER, {VariantBool(true)}), 0);
    Variant result{};
    EXPECT_EQ(job->Invoke(KPM_PRINTER_JOB_CLOSE, kInvokeMethod, nullptr, &result), 0);
}

}  // namespace
}  // namespace kp
