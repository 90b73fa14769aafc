// The data-sheet preview as a user reaches it, on a real X display with a window manager and
// real input through the X server: the selection dialog 316, the print-mode dialog 351, its
// preview; the preview takes its toolbar, a click, keys and the wheel while 351 waits, prints
// pages 2-3 to the private CUPS from its own print button, closes with 終了, and then 351 closes
// with 戻る. A dialog that blocked every other window (application modal) stops this walk at the
// preview's first button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/print_dialogs.h"
#include "app/ui/dialog_view.h"
#include "app/ui/qt_ports.h"
#include "platform/qt_japanese.h"
#include "tests/fixtures/command_output.h"
#include "tests/fixtures/display/x_display.h"
#include "tests/reportif/sheet_road.h"

namespace {

using qzs_test::XDisplay;

QWidget* Shown(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name && w->isVisible()) return w;
    }
    return nullptr;
}

QWidget* Child(QWidget* window, const QString& name) {
    return window == nullptr ? nullptr : window->findChild<QWidget*>(name);
}

QWidget* ToolButton(QWidget* frame, int command) {
    auto* bar = frame == nullptr ? nullptr : frame->findChild<QToolBar*>(QStringLiteral("20"));
    if (bar == nullptr) return nullptr;
    for (QAction* action : bar->actions()) {
        if (action->objectName() == QString::number(command)) return bar->widgetForAction(action);
    }
    return nullptr;
}

QString Part(QWidget* frame, int part) {
    auto* label = frame == nullptr ? nullptr : frame->findChild<QLabel*>(QStringLiteral("part%1").arg(part));
    return label == nullptr ? QString() : label->text();
}

// A window is ready for a click once it is shown, exposed, and placed and activated by the
// window manager.
bool Ready(QWidget* window) {
    return window != nullptr && window->isVisible() && window->windowHandle() != nullptr &&
           window->windowHandle()->isExposed() && window->isActiveWindow();
}

// The walk: steps run from a timer in whatever modal loop is running, each waiting for its
// condition and then acting through the X server, so that no step sits under a loop it opened.
class Walk {
  public:
    struct Step {
        const char* what;
        std::function<bool()> ready;  // the state the step waits for
        std::function<void()> act;    // what the user does then
    };

    explicit Walk(std::vector<Step> steps) : steps_(std::move(steps)) {
        timer_.setInterval(100);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    }
    void Start(std::function<void()> give_up) {
        give_up_ = std::move(give_up);
        deadline_ = Clock::now() + std::chrono::seconds(20);
        timer_.start();
    }
    bool done() const { return next_ == steps_.size(); }
    std::string stuck() const { return stuck_; }

  private:
    using Clock = std::chrono::steady_clock;
    void Tick() {
        if (busy_ || next_ == steps_.size()) return;
        busy_ = true;
        Step& step = steps_[next_];
        if (step.ready()) {
            // Let the window manager finish placing what just appeared before it is clicked.
            QTest::qWait(150);
            ++next_;
            deadline_ = Clock::now() + std::chrono::seconds(20);
            step.act();
        } else if (Clock::now() > deadline_) {
            stuck_ = step.what;
            timer_.stop();
            give_up_();
        }
        busy_ = false;
        if (next_ == steps_.size()) timer_.stop();
    }

    std::vector<Step> steps_;
    size_t next_ = 0;
    bool busy_ = false;
    QTimer timer_;
    Clock::time_point deadline_;
    std::function<void()> give_up_;
    std::string stuck_;
};

TEST(SheetWalk, PreviewFromThePrintModeDialogTakesInputPrintsAndCloses) {
    std::string why;
    ASSERT_TRUE(XDisplay::Use(&why)) << why;
    qzs_test::SheetRoad road;
    ASSERT_TRUE(road.Ready());
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    // As the program looks: its icon, its focus marks and Qt's texts in Japanese.
    auto* gui = qobject_cast<QApplication*>(QCoreApplication::instance());
    qzs::app::ui::InstallProgramLook(*gui);
    plat::LoadQtJapanese(*gui, "reportif_xtest_sheet_walk");
    road.context.active_window = &qzs::app::ui::ActiveWindowHandle;
    qzs::app::SetReportEventContext(&road.context);
    const size_t before = road.queue.Received().size();

    qzs::app::ui::QtDialogRunner runner;
    qzs::app::CPrintSelectDialog select(road.context, runner);
    QWidget* frame = nullptr;
    int scrolled_from = -1;
    auto frame_shown = [&] {
        frame = Shown(QStringLiteral("PreviewFrame"));
        return Ready(frame) && Part(frame, 2) == QStringLiteral("Page : 1/15");
    };
    auto range_dialog = [] { return QApplication::activeModalWidget(); };
    Walk walk({
        {"316 shown", [] { return Ready(Shown("dialog316")); },
         [] { XDisplay::Click(Child(Shown("dialog316"), "control1002")); }},
        {"351 shown", [] { return Ready(Shown("dialog351")); },
         [] {
             XDisplay::Photograph(Shown("dialog351"), "20_print_mode");
             XDisplay::Click(Child(Shown("dialog351"), "control1001"));
         }},
        {"the preview on page 1", frame_shown, [&] {
             XDisplay::Photograph(frame, "21_preview");
             XDisplay::Click(ToolButton(frame, 40004));
         }},
        {"次頁 shows page 2", [&] { return Part(frame, 2) == QStringLiteral("Page : 2/15"); },
         [&] { XDisplay::Click(Child(frame, "10"), QPoint(20, 20)); }},
        {"a click zooms in", [&] { return Part(frame, 1) == QStringLiteral("Zoom: 55%"); },
         [] { XDisplay::Key("ctrl+KP_Add"); }},
        {"Ctrl + zooms in", [&] { return Part(frame, 1) == QStringLiteral("Zoom: 60%"); },
         [&] { frame->resize(420, 320); }},
        {"a small frame scrolls",
         [&] {
             auto* bar = frame->findChild<QScrollBar*>(QStringLiteral("1"));
             if (bar == nullptr || bar->maximum() == 0) return false;
             scrolled_from = bar->value();
             return true;
         },
         [&] { XDisplay::Click(Child(frame, "10"), QPoint(40, 40), 5); }},
        {"the wheel scrolls",
         [&] {
             auto* bar = frame->findChild<QScrollBar*>(QStringLiteral("1"));
             return bar->value() > scrolled_from;
         },
         [&] { XDisplay::Click(ToolButton(frame, 40008)); }},
        {"the print range dialog",
         [&] { return Ready(range_dialog()) && Child(range_dialog(), "c1004") != nullptr; },
         [&] {
             XDisplay::Photograph(range_dialog(), "22_print_range");
             XDisplay::Click(Child(range_dialog(), "c1004"));
         }},
        {"pages typed",
         [&] { return Child(range_dialog(), "c1006") && Child(range_dialog(), "c1006")->isEnabled(); },
         [&] {
             QWidget* dialog = range_dialog();
             XDisplay::Click(Child(dialog, "c1006"));
             XDisplay::Key("ctrl+a");
             XDisplay::Type("2");
             XDisplay::Click(Child(dialog, "c1007"));
             XDisplay::Key("ctrl+a");
             XDisplay::Type("3");
             XDisplay::Click(Child(dialog, "c1"));
         }},
        {"pages 2-3 printed", [&] { return road.queue.Received().size() == before + 1; },
         [&] { XDisplay::Click(ToolButton(frame, 40001)); }},
        {"終了 closes the preview", [] { return Shown(QStringLiteral("PreviewFrame")) == nullptr; },
         [] { XDisplay::Click(Child(Shown("dialog351"), "control2")); }},
        {"戻る closes 351", [] { return Shown("dialog351") == nullptr && Ready(Shown("dialog316")); },
         [] { XDisplay::Click(Child(Shown("dialog316"), "control2")); }},
    });
    walk.Start([] {
        // Stuck: close what is open, innermost first, so that the test ends and says where.
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QStringLiteral("PreviewFrame") && w->isVisible()) w->close();
        }
        for (const char* name : {"dialog351", "dialog316"}) {
            if (auto* view = qobject_cast<qzs::app::ui::DialogView*>(Shown(name))) {
                view->presenter().End(qzs::app::kIdCancel);
            }
        }
    });
    runner.RunModal(select);
    EXPECT_TRUE(walk.done()) << "stuck waiting for: " << walk.stuck();
    EXPECT_TRUE(road.messages.shown.empty()) << road.messages.shown.front();

    const auto received = road.queue.WaitForReceived(before + 1);
    ASSERT_EQ(received.size(), before + 1);
    const std::string text = qzs_test::CommandOutput("pdftotext '" + received.back() + "' -");
    EXPECT_NE(text.find("page 002"), std::string::npos) << text;
    EXPECT_NE(text.find("page 003"), std::string::npos) << text;
    EXPECT_EQ(text.find("page 001"), std::string::npos) << text;

    int ignored = 0;
    road.rif.Exit(&ignored);
    qzs::app::SetReportEventContext(nullptr);
}

}  // namespace
