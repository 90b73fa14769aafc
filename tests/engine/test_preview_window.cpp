// The preview's frame window on the offscreen platform over a real preview object with three
// recorded pages of a real report: caption, toolbar states, status texts, navigation through the
// toolbar (events fired before the move), the outline and its selection, the close query, a close
// refused from inside a handler, click zoom at its limits, the layout with bars hidden, the
// splitter's 3-pixel threshold, scrolling and the print range handed to the host; PNGs of it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "engine/preview/preview_object.h"
#include "engine/preview/ui/frame_window.h"
#include "engine/preview/ui/viewer_dialog_views.h"
#include "platform/gdi/handles.h"
#include "tests/engine/event_sink.h"
#include "tests/engine/report_model_fixture.h"
#include "tests/fixtures/offscreen_widgets.h"

namespace kp::preview::ui {
namespace {

using namespace reportfix;
namespace fs = std::filesystem;

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(
    new qzs_test::OffscreenWidgets("engine_test_preview_window"));

using Sink = TestEventSink;

void Flush() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

class PreviewWindow : public ReportTest {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kpprevwXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        const char* old = getenv("TMPDIR");
        hadTmp_ = old != nullptr;
        if (old) oldTmp_ = old;
        setenv("TMPDIR", dir_.c_str(), 1);
        ReportTest::SetUp();
        Variant made{};
        ASSERT_EQ(app_->Invoke(ApplicationObject::kCreatePreview, kInvokeMethod, nullptr, &made),
                  0);
        preview_ = static_cast<PreviewObject*>(static_cast<ScriptableObject*>(made.pdispVal));
        ASSERT_NE(preview_, nullptr);
        ASSERT_EQ(app_->Sinks().AdviseSink(&sink_, &cookie_), 0);
    }
    // Previews in the real frame windows.
    void AddServices(EngineServices& services) override {
        ReportTest::AddServices(services);
        AddPreviewServices(services);
        preview::AddPreviewWindowServices(services);
    }
    void TearDown() override {
        if (cookie_ != 0) app_->Sinks().UnadviseSink(cookie_);
        if (preview_ != nullptr) {
            Variant none{};
            EXPECT_EQ(preview_->Invoke(KPM_PREVIEW_CLOSE, kInvokeMethod, nullptr, &none), 0);
        }
        Flush();
        ReportTest::TearDown();
        if (hadTmp_) {
            setenv("TMPDIR", oldTmp_.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        fs::remove_all(dir_);
    }

    int32_t Call(int32_t id, std::vector<Variant> args = {}) {
        InvokeArgs a{args.data(), uint32_t(args.size())};
        Variant result{};
        return preview_->Invoke(id, kInvokeMethod, &a, &result);
    }
    uint32_t Get(int32_t id) {
        Variant v{};
        EXPECT_EQ(GetValue(preview_, id, &v), 0) << id;
        return v.ulVal;
    }
    int Page() { return int(Get(KPM_PREVIEW_PAGE)); }
    int Zoom() { return int(Get(KPM_PREVIEW_ZOOM) & 0xFFFF); }

    // A page of a report: a black box and a text.
    ReportObject* Sample() {
        ReportObject* report = NewReport();
        ItemObject* box = Add(report, 1, ctrlclass::kBox, u"B", {2000, 2000, 6000, 4000});
        EXPECT_EQ(Put(box->mainInterface(), KPM_SHAPE_CONTROL_FILL_COLOR, VariantUI4(0x000000)), 0);
        ItemObject* text = Add(report, 2, ctrlclass::kText, u"T", {2000, 6000, 12000, 8000});
        Bstr t = BstrAllocView(u"ページ");
        EXPECT_EQ(Put(text->mainInterface(), KPM_TEXT_CONTROL_TEXT, VariantBstr(t)), 0);
        BstrFree(t);
        return report;
    }

    // Opens the top-level window and records three pages.
    void OpenWithPages(int pages = 3) {
        ASSERT_EQ(Call(KPM_PREVIEW_OPEN_PREVIEW, {VariantUI4(1)}), 0);
        ReportObject* report = Sample();
        for (int i = 0; i < pages; ++i)
            ASSERT_EQ(Call(KPM_PREVIEW_PRINT, {VariantDispatch(report)}), 0);
        ASSERT_NE(Frame(), nullptr);
        Flush();
    }

    FrameWindow* Frame() {
        const uint32_t handle = preview_->core().frameHandle();
        if (handle == 0) return nullptr;
        return dynamic_cast<FrameWindow*>(static_cast<QWidget*>(plat::WindowFromHandle(handle)));
    }
    QAction* Tool(int id) { return Frame()->toolBar()->findChild<QAction*>(QString::number(id)); }
    void Screenshot(const char* name) {
        const char* binary = std::getenv("QZS_BINARY_DIR");
        const fs::path folder = fs::path(binary ? binary : ".") / "artifacts";
        fs::create_directories(folder);
        Flush();
        EXPECT_TRUE(Frame()->grab().save(QString::fromStdString((folder / name).string())));
    }

    PreviewObject* preview_ = nullptr;
    Sink sink_;
    uint32_t cookie_ = 0;
    std::string dir_, oldTmp_;
    bool hadTmp_ = false;
};

TEST_F(PreviewWindow, ShowsCaptionToolbarAndStatus) {
    OpenWithPages();
    FrameWindow* frame = Frame();
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(frame->isWindow());
    EXPECT_EQ(frame->windowTitle(), QString::fromUtf8("印刷プレビュー"));
    EXPECT_GE(frame->minimumWidth(), 300);
    EXPECT_GE(frame->minimumHeight(), 200);
    EXPECT_EQ(Get(KPM_PREVIEW_HWND), frame->Handle());

    // The default mask shows every button of the preview, separator 1002 included.
    struct Row {
        int id;
        const char* text;
        bool enabled;
        bool checked;
    };
    const Row rows[] = {
        {40001, "終了", true, false},  {40010, "見出", true, false}, {40002, "先頭", false, false},
        {40003, "前頁", false, false}, {40004, "次頁", true, false}, {40005, "最終", true, false},
        {40009, "単独", true, true},   {40006, "上下", true, false}, {40007, "左右", true, false},
        {40008, "印刷", true, false},
    };
    QStringList shown;
    for (QAction* a : frame->toolBar()->actions())
        if (a->isVisible() && !a->isSeparator()) shown << a->text();
    QStringList expected;
    for (const Row& r : rows) expected << QString::fromUtf8(r.text);
    EXPECT_EQ(shown, expected);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        EXPECT_EQ(Tool(r.id)->isEnabled(), r.enabled);
        EXPECT_EQ(Tool(r.id)->isChecked(), r.checked);
    }
    EXPECT_EQ(Tool(40004)->toolTip(), QString::fromUtf8("次ページを表示します。"));
    for (int separator : {1000, 1001, 1002, 1003, 1004}) {
        ASSERT_NE(Tool(separator), nullptr) << separator;
        EXPECT_TRUE(Tool(separator)->isSeparator());
    }

    EXPECT_EQ(frame->statusPart(0)->text(), "");
    EXPECT_EQ(frame->statusPart(1)->text(), QStringLiteral("Zoom: %1%").arg(Zoom()));
    EXPECT_EQ(frame->statusPart(2)->text(), "Page : 1/3");
    // The parts end 220 and 135 pixels before the bar's end.
    const int w = frame->statusBar()->width();
    EXPECT_EQ(frame->statusPart(1)->x(), w - 220);
    EXPECT_EQ(frame->statusPart(2)->x(), w - 135);
    Screenshot("preview_frame.png");

    // A mask without navigation hides those buttons.
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_TOOLS, VariantUI4(0x10000003)), 0);
    EXPECT_FALSE(Tool(40004)->isVisible());
    EXPECT_FALSE(Tool(40009)->isVisible());
    EXPECT_TRUE(Tool(40001)->isVisible());
    EXPECT_TRUE(Tool(40008)->isVisible());
}

TEST_F(PreviewWindow, ToolbarNavigationFiresBeforeTheMove) {
    OpenWithPages();
    std::vector<std::pair<int32_t, int>> fired;  // event, page while it ran
    sink_.onEvent = [&](int32_t id, const InvokeArgs*) {
        if (id >= 22002 && id <= 22005) fired.push_back({id, Page()});
    };
    struct Step {
        int command;
        int32_t event;
        int pageAfter;
        bool firstEnabled, nextEnabled;
    };
    const Step steps[] = {
        {40005, 22005, 3, true, false}, {40003, 22003, 2, true, true},
        {40004, 22002, 3, true, false}, {40004, 22002, 3, true, false},  // at the end: no move
        {40002, 22004, 1, false, true}, {40003, 22003, 1, false, true},  // at the start
    };
    FrameWindow* frame = Frame();
    for (const Step& s : steps) {
        SCOPED_TRACE(s.command);
        const int before = Page();
        fired.clear();
        // Enabled by hand so that the ends reach the core too: the event fires, no move.
        Tool(s.command)->setEnabled(true);
        Tool(s.command)->trigger();
        ASSERT_EQ(fired.size(), 1u);
        EXPECT_EQ(fired[0].first, s.event);
        EXPECT_EQ(fired[0].second, before);
        EXPECT_EQ(Page(), s.pageAfter);
        EXPECT_EQ(Tool(40002)->isEnabled(), s.firstEnabled);
        EXPECT_EQ(Tool(40003)->isEnabled(), s.firstEnabled);
        EXPECT_EQ(Tool(40004)->isEnabled(), s.nextEnabled);
        EXPECT_EQ(Tool(40005)->isEnabled(), s.nextEnabled);
        EXPECT_EQ(frame->statusPart(2)->text(), QStringLiteral("Page : %1/3").arg(s.pageAfter));
    }
}

TEST_F(PreviewWindow, ArrangementButtonsAreCheckedByTheCore) {
    OpenWithPages();
    struct Case {
        int command;
        bool twoPages, vertical;
    };
    for (const Case c :
         {Case{40006, true, true}, Case{40007, true, false}, Case{40009, false, false}}) {
        SCOPED_TRACE(c.command);
        Tool(c.command)->trigger();
        EXPECT_EQ(Get(KPM_PREVIEW_TWO_PAGES) != 0, c.twoPages);
        EXPECT_EQ(Get(KPM_PREVIEW_TWO_PAGES_VERTICAL) != 0, c.vertical);
        EXPECT_EQ(Tool(40006)->isChecked(), c.twoPages && c.vertical);
        EXPECT_EQ(Tool(40007)->isChecked(), c.twoPages && !c.vertical);
        EXPECT_EQ(Tool(40009)->isChecked(), !c.twoPages);
    }
    Tool(40007)->trigger();
    Screenshot("preview_two_pages.png");
}

TEST_F(PreviewWindow, OutlineEntriesAndTheirSelection) {
    ASSERT_EQ(Call(KPM_PREVIEW_OPEN_PREVIEW, {VariantUI4(1)}), 0);
    ReportObject* report = Sample();
    auto record = [&](uint32_t level, std::u16string_view heading) {
        ASSERT_EQ(Put(preview_, KPM_PREVIEW_REPORT_INDEX_LEVEL, VariantUI4(level)), 0);
        Bstr h = heading.empty() ? nullptr : BstrAllocView(heading);
        ASSERT_EQ(Put(preview_, KPM_PREVIEW_REPORT_INDEX_TITLE, VariantBstr(h)), 0);
        BstrFree(h);
        ASSERT_EQ(Call(KPM_PREVIEW_PRINT, {VariantDispatch(report)}), 0);
    };
    record(0, u"第1章");      // page 1 at the top
    record(1, u"第1節");      // page 2 under page 1
    record(0xFFFFFFFF, u"");  // page 3 without an entry
    record(0, u"");           // page 4 at the top
    FrameWindow* frame = Frame();
    QTreeWidget* tree = frame->outline();
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    QTreeWidgetItem* chapter = tree->topLevelItem(0);
    EXPECT_EQ(chapter->text(0), QString::fromUtf8("第1章"));
    EXPECT_EQ(chapter->data(0, Qt::UserRole).toInt(), 1);
    ASSERT_EQ(chapter->childCount(), 1);
    EXPECT_EQ(chapter->child(0)->text(0), QString::fromUtf8("第1節"));
    EXPECT_EQ(chapter->child(0)->data(0, Qt::UserRole).toInt(), 2);
    EXPECT_FALSE(tree->topLevelItem(1)->text(0).trimmed().isEmpty()) << "the page's own heading";
    EXPECT_EQ(tree->topLevelItem(1)->data(0, Qt::UserRole).toInt(), 4);
    EXPECT_EQ(tree->currentItem(), chapter) << "page 1 is shown";

    // Hidden until the button shows it; the canvas then starts right of the pane and band.
    EXPECT_FALSE(tree->isVisible());
    EXPECT_EQ(frame->canvas()->x(), 0);
    Tool(40010)->trigger();
    EXPECT_TRUE(Tool(40010)->isChecked());
    EXPECT_NE(Get(KPM_PREVIEW_INDEX_VISIBLE), 0u);
    EXPECT_TRUE(tree->isVisible());
    EXPECT_EQ(tree->width(), 100);
    EXPECT_EQ(frame->canvas()->x(), frame->splitter()->geometry().right() + 1);
    Screenshot("preview_outline.png");

    tree->setCurrentItem(tree->topLevelItem(1));
    EXPECT_EQ(Page(), 4);
    tree->setCurrentItem(chapter->child(0));
    EXPECT_EQ(Page(), 2);
    // A page moved to by other means selects its entry.
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_PAGE, VariantUI4(1)), 0);
    EXPECT_EQ(tree->currentItem(), chapter);
    Tool(40010)->trigger();
    EXPECT_FALSE(tree->isVisible());
}

TEST_F(PreviewWindow, SplitterMovesFromThreePixels) {
    OpenWithPages();
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_INDEX_VISIBLE, VariantBool(true)), 0);
    FrameWindow* frame = Frame();
    QWidget* band = frame->splitter();
    ASSERT_TRUE(band->isVisible());
    const QPoint at(1, band->height() / 2);
    auto drag = [&](int dx) {
        QTest::mousePress(band, Qt::LeftButton, {}, at);
        QTest::mouseRelease(band, Qt::LeftButton, {}, at + QPoint(dx, 0));
    };
    drag(2);
    EXPECT_EQ(preview_->core().paneWidth(), 100);
    drag(-2);
    EXPECT_EQ(preview_->core().paneWidth(), 100);
    drag(3);
    EXPECT_EQ(preview_->core().paneWidth(), 103);
    EXPECT_EQ(frame->outline()->width(), 103);
    drag(-40);
    EXPECT_EQ(preview_->core().paneWidth(), 63);
    // The drag stays 30 pixels inside the client area.
    QTest::mousePress(band, Qt::LeftButton, {}, at);
    QTest::mouseRelease(band, Qt::LeftButton, {}, QPoint(-500, at.y()));
    EXPECT_EQ(preview_->core().paneWidth(), 30 - 1);
}

TEST_F(PreviewWindow, CloseQueryKeepsOrClosesTheWindow) {
    OpenWithPages();
    int queries = 0, closes = 0;
    sink_.onEvent = [&](int32_t id, const InvokeArgs* args) {
        if (id == 22009) ++closes;
        if (id != 22008) return;
        ++queries;
        *static_cast<int16_t*>(args->args[1].byref) = 0;  // keep it open
    };
    EXPECT_FALSE(Frame()->close());
    Flush();
    EXPECT_EQ(queries, 1);
    ASSERT_NE(Frame(), nullptr);
    EXPECT_TRUE(Frame()->isVisible());
    EXPECT_EQ(Get(KPM_PREVIEW_STATUS), 128u);
    // The exit button asks the same.
    Tool(40001)->trigger();
    Flush();
    EXPECT_EQ(queries, 2);
    ASSERT_NE(Frame(), nullptr);
    EXPECT_EQ(closes, 0);

    app_->Sinks().UnadviseSink(std::exchange(cookie_, 0));
    const uint32_t handle = Frame()->Handle();
    QPointer<QWidget> window = Frame();
    window->close();
    EXPECT_EQ(preview_->core().frameHandle(), 0u);
    EXPECT_EQ(plat::WindowFromHandle(handle), nullptr) << "the handle is gone with the window";
    EXPECT_EQ(Get(KPM_PREVIEW_STATUS), 16u);
    Flush();
    EXPECT_TRUE(window.isNull());
}

TEST_F(PreviewWindow, CloseQueryAnsweredYesAndExitButton) {
    OpenWithPages();
    int closes = 0;
    sink_.onEvent = [&](int32_t id, const InvokeArgs*) { closes += id == 22009; };
    QPointer<QWidget> window = Frame();
    Tool(40001)->trigger();  // the sink leaves the preset "yes"
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(Get(KPM_PREVIEW_STATUS), 16u);
    Flush();
    EXPECT_TRUE(window.isNull());
    // The window can be opened again.
    OpenWithPages(1);
    EXPECT_EQ(Frame()->statusPart(2)->text(), "Page : 1/1");
}

TEST_F(PreviewWindow, HandlersRefuseFreeingTheObject) {
    OpenWithPages();
    std::vector<int32_t> answers;
    sink_.onEvent = [&](int32_t id, const InvokeArgs* args) {
        if (id != 22002 && id != 22011) return;
        auto* object = static_cast<ScriptableObject*>(args->args[0].pdispVal);
        Variant none{};
        answers.push_back(object->Invoke(KPM_PREVIEW_CLOSE, kInvokeMethod, nullptr, &none));
    };
    Tool(40004)->trigger();
    QTest::mouseClick(Frame()->canvas(), Qt::LeftButton);
    EXPECT_EQ(answers, (std::vector<int32_t>{-10313, -10313}));
    EXPECT_EQ(Page(), 2);

    // A close asked for inside a handler runs once it has ended.
    sink_.onEvent = [&](int32_t id, const InvokeArgs* args) {
        if (id != 22002) return;
        auto* object = static_cast<ScriptableObject*>(args->args[0].pdispVal);
        Variant none{};
        answers.push_back(object->Invoke(KPM_PREVIEW_CLOSE_PREVIEW, kInvokeMethod, nullptr, &none));
    };
    QPointer<QWidget> window = Frame();
    Tool(40004)->trigger();
    EXPECT_EQ(answers.back(), 0);
    EXPECT_EQ(Get(KPM_PREVIEW_STATUS), 16u);
    Flush();
    EXPECT_TRUE(window.isNull());
}

TEST_F(PreviewWindow, ClickZoomAndItsLimits) {
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_FIT_TO_WINDOW, VariantBool(false)), 0);
    OpenWithPages();
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_ZOOM, VariantUI2(100)), 0);
    std::vector<int32_t> clicks;
    sink_.onEvent = [&](int32_t id, const InvokeArgs*) {
        if (id == 22011 || id == 22012) clicks.push_back(id);
    };
    FrameWindow* frame = Frame();
    QWidget* canvas = frame->canvas();
    struct Case {
        int zoomBefore;
        std::function<void()> act;
        int zoomAfter;
        int32_t event;
    };
    const Case cases[] = {
        {100, [&] { QTest::mouseClick(canvas, Qt::LeftButton); }, 105, 22011},
        {100, [&] { QTest::mouseClick(canvas, Qt::RightButton); }, 95, 22012},
        // The second press of a double click arrives as the double click: it zooms as well.
        {100, [&] { QTest::mouseDClick(canvas, Qt::LeftButton); }, 105, 22011},
        {100, [&] { QTest::mouseDClick(canvas, Qt::RightButton); }, 95, 22012},
        {100, [&] { QTest::keyClick(canvas, Qt::Key_Plus, Qt::ControlModifier); }, 105, 22011},
        {100, [&] { QTest::keyClick(canvas, Qt::Key_Minus, Qt::ControlModifier); }, 95, 22012},
        {1000, [&] { QTest::mouseClick(canvas, Qt::LeftButton); }, 1000, 22011},  // beeps
        {995, [&] { QTest::mouseClick(canvas, Qt::LeftButton); }, 1000, 22011},
        {5, [&] { QTest::mouseClick(canvas, Qt::RightButton); }, 5, 22012},  // beeps
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zoomBefore);
        SCOPED_TRACE(c.zoomAfter);
        ASSERT_EQ(Put(preview_, KPM_PREVIEW_ZOOM, VariantUI2(uint16_t(c.zoomBefore))), 0);
        clicks.clear();
        c.act();
        EXPECT_EQ(Zoom(), c.zoomAfter);
        ASSERT_FALSE(clicks.empty());
        EXPECT_EQ(clicks.back(), c.event);
        EXPECT_EQ(frame->statusPart(1)->text(), QStringLiteral("Zoom: %1%").arg(c.zoomAfter));
    }
    // Without click zoom the clicks are only events.
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_CLICK_ZOOM, VariantBool(false)), 0);
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_ZOOM, VariantUI2(100)), 0);
    clicks.clear();
    QTest::mouseClick(canvas, Qt::LeftButton);
    EXPECT_EQ(Zoom(), 100);
    EXPECT_EQ(clicks, std::vector<int32_t>{22011});
}

TEST_F(PreviewWindow, ScrollBarsWheelAndKeys) {
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_FIT_TO_WINDOW, VariantBool(false)), 0);
    OpenWithPages();
    FrameWindow* frame = Frame();
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_ZOOM, VariantUI2(20)), 0);
    EXPECT_FALSE(frame->verticalBar()->isVisible()) << "the page fits";
    EXPECT_FALSE(frame->horizontalBar()->isVisible());
    EXPECT_FALSE(frame->sizeBox()->isVisible());

    ASSERT_EQ(Put(preview_, KPM_PREVIEW_ZOOM, VariantUI2(300)), 0);
    QScrollBar* v = frame->verticalBar();
    QScrollBar* h = frame->horizontalBar();
    ASSERT_TRUE(v->isVisible());
    ASSERT_TRUE(h->isVisible());
    EXPECT_TRUE(frame->sizeBox()->isVisible());
    EXPECT_EQ(v->pageStep(), 20);
    EXPECT_EQ(v->maximum() % 20, 0);
    EXPECT_EQ(frame->canvas()->geometry().right() + 1, v->x());
    EXPECT_EQ(frame->canvas()->geometry().bottom() + 1, h->y());
    Screenshot("preview_zoomed.png");

    const int y0 = v->value(), x0 = h->value();
    QWidget* canvas = frame->canvas();
    QWheelEvent down(QPointF(5, 5), canvas->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas, &down);
    EXPECT_EQ(preview_->core().scrollY(), y0 + 20);
    EXPECT_EQ(v->value(), y0 + 20);
    QTest::keyClick(canvas, Qt::Key_Up);
    EXPECT_EQ(v->value(), y0);
    QTest::keyClick(canvas, Qt::Key_Right);
    EXPECT_EQ(h->value(), x0 + 20);
    // Moving a bar scrolls the canvas; the core clamps at the range's end.
    v->setValue(v->maximum());
    EXPECT_EQ(preview_->core().scrollY(), v->maximum());
    QTest::keyClick(canvas, Qt::Key_Down);
    EXPECT_EQ(preview_->core().scrollY(), v->maximum());
    h->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(preview_->core().scrollX(), x0 + 60);
}

TEST_F(PreviewWindow, HiddenBarsGiveTheCanvasTheWholeHeight) {
    // A small fixed zoom: no scroll bar takes space either.
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_FIT_TO_WINDOW, VariantBool(false)), 0);
    OpenWithPages();
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_ZOOM, VariantUI2(20)), 0);
    FrameWindow* frame = Frame();
    EXPECT_LT(frame->canvas()->height(), frame->height());
    EXPECT_EQ(frame->canvas()->y(), frame->toolBar()->height());
    EXPECT_EQ(frame->canvas()->geometry().bottom() + 1, frame->statusBar()->y());
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_TOOL_BAR_VISIBLE, VariantBool(false)), 0);
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_STATUS_BAR_VISIBLE, VariantBool(false)), 0);
    EXPECT_FALSE(frame->toolBar()->isVisible());
    EXPECT_FALSE(frame->statusBar()->isVisible());
    EXPECT_EQ(frame->canvas()->geometry(), frame->rect());
    Screenshot("preview_bare.png");
    frame->resize(frame->width() * 2, frame->height() * 2);
    Flush();
    EXPECT_EQ(frame->canvas()->geometry(), frame->rect());
    EXPECT_EQ(int(Get(KPM_PREVIEW_WINDOW_RIGHT)), frame->frameGeometry().width())
        << "the size is stored";
    EXPECT_EQ(int(Get(KPM_PREVIEW_WINDOW_BOTTOM)), frame->frameGeometry().height());
    // Fitting, a larger window shows the page larger.
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_FIT_TO_WINDOW, VariantBool(true)), 0);
    const int zoom = Zoom();
    frame->resize(frame->width() * 3 / 2, frame->height() * 3 / 2);
    Flush();
    EXPECT_GT(Zoom(), zoom);
}

TEST_F(PreviewWindow, PrintButtonHandsTheRangeToTheHost) {
    OpenWithPages();
    Tool(40004)->trigger();
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    bool takeOver = false;
    sink_.onEvent = [&](int32_t id, const InvokeArgs* args) {
        if (id == 22007 && takeOver) *static_cast<int16_t*>(args->args[1].byref) = -1;
        if (id == 22001) ranges.push_back({args->args[1].ulVal, args->args[2].ulVal});
    };
    // The dialog answers as the user would: a choice, then OK; or Cancel.
    auto answer = [](int choice, bool ok) {
        QTimer::singleShot(0, [choice, ok] {
            auto* view = qobject_cast<PrintRangeView*>(QApplication::activeModalWidget());
            ASSERT_NE(view, nullptr);
            auto* radio = view->findChild<QAbstractButton*>(QStringLiteral("c%1").arg(choice));
            ASSERT_NE(radio, nullptr);
            radio->click();
            if (ok) {
                view->accept();
            } else {
                view->reject();
            }
        });
    };
    answer(1000, true);
    Tool(40008)->trigger();
    answer(1002, true);
    Tool(40008)->trigger();
    answer(1000, false);
    Tool(40008)->trigger();
    EXPECT_EQ(ranges, (std::vector<std::pair<uint32_t, uint32_t>>{{1, 3}, {2, 2}}));
    // A host that takes the button over gets no dialog.
    takeOver = true;
    Tool(40008)->trigger();
    EXPECT_EQ(ranges.size(), 2u);
}

TEST_F(PreviewWindow, ChildFrameFillsItsParent) {
    auto host = std::make_unique<QWidget>();
    host->resize(640, 480);
    host->show();
    const uint32_t parent = plat::RegisterWindow(static_cast<QWidget*>(host.get()));
    ASSERT_EQ(Put(preview_, KPM_PREVIEW_PARENT_WINDOW, VariantUI4(parent)), 0);
    auto openChild = [&] {
        ASSERT_EQ(Call(KPM_PREVIEW_OPEN_PREVIEW, {VariantUI4(0x10000)}), 0);
        ReportObject* report = Sample();
        ASSERT_EQ(Call(KPM_PREVIEW_PRINT, {VariantDispatch(report)}), 0);
        ASSERT_NE(Frame(), nullptr);
    };
    openChild();
    FrameWindow* frame = Frame();
    EXPECT_FALSE(frame->isWindow());
    EXPECT_EQ(frame->parentWidget(), host.get());
    EXPECT_EQ(frame->geometry(), host->rect());
    EXPECT_FALSE(frame->statusBar()->isSizeGripEnabled());
    host->resize(700, 500);
    ASSERT_EQ(Call(KPM_PREVIEW_FIT_TO_PARENT), 0);
    EXPECT_EQ(frame->geometry(), host->rect());
    // The exit button closes a child at once, without asking.
    int queries = 0, closes = 0;
    sink_.onEvent = [&](int32_t id, const InvokeArgs*) {
        queries += id == 22008;
        closes += id == 22009;
    };
    QPointer<QWidget> window = frame;
    Tool(40001)->trigger();
    EXPECT_EQ(queries, 0);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(Get(KPM_PREVIEW_STATUS), 16u);
    Flush();
    EXPECT_TRUE(window.isNull());

    // A child destroyed with its parent closes the preview.
    openChild();
    const uint32_t handle = Frame()->Handle();
    plat::UnregisterWindow(parent);
    host.reset();
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(Get(KPM_PREVIEW_STATUS), 16u);
    EXPECT_EQ(preview_->core().frameHandle(), 0u);
    EXPECT_EQ(plat::WindowFromHandle(handle), nullptr);
}

TEST_F(PreviewWindow, NoFrameOffTheGuiThread) {
    FrameView* made = reinterpret_cast<FrameView*>(1);
    std::thread([&] { made = MakeFrameView(&preview_->core(), false, 0); }).join();
    EXPECT_EQ(made, nullptr);
    int32_t opened = 0;
    std::thread([&] { opened = Call(KPM_PREVIEW_OPEN_PREVIEW, {VariantUI4(1)}); }).join();
    EXPECT_EQ(opened, -14002);
    EXPECT_EQ(Get(KPM_PREVIEW_STATUS), 16u);
    // A child without a window to live in is refused by the factory as well.
    EXPECT_EQ(MakeFrameView(&preview_->core(), true, 0), nullptr);
}

}  // namespace
}  // namespace kp::preview::ui
