// The controls of the dialog model as a user meets them: a radio group keeps one choice, arrow
// keys move the choice round its group past disabled radios, the group is one tab stop, Enter
// presses the focused push button of a dialog without a default button, and group boxes lie
// behind what they frame. The logic first, then the same on the Qt window (offscreen).
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "app/dialog.h"
#include "app/ui/dialog_view.h"
#include "tests/fixtures/offscreen_widgets.h"

namespace qzs::app {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new qzs_test::OffscreenWidgets("app_test_dialog_controls"));

// Two groups in their frames: 11-13 (12 disabled) and 21-22; two push buttons, no default.
class Form : public DialogPresenter {
  public:
    explicit Form(bool with_default = false) : DialogPresenter(900, "form", {0, 0, 300, 220}) {
        Add({10, ControlKind::kGroupBox, "first", {4, 4, 140, 110}});
        for (int id : {11, 12, 13}) {
            Control& c = Add({id, ControlKind::kRadio, "r", {12, 24 + (id - 11) * 28, 120, 24}});
            c.group = 10;
            c.enabled = id != 12;
        }
        Add({20, ControlKind::kGroupBox, "second", {150, 4, 140, 110}});
        for (int id : {21, 22}) {
            Control& c = Add({id, ControlKind::kRadio, "r", {158, 24 + (id - 21) * 28, 120, 24}});
            c.group = 20;
        }
        Control& ok = Add({kIdOk, ControlKind::kButton, "OK", {20, 170, 80, 28}});
        ok.is_default = with_default;
        Add({kIdCancel, ControlKind::kButton, "戻る", {120, 170, 80, 28}});
        Check(11);
        Check(22);
    }
    std::vector<int> pressed;

  protected:
    void OnCommand(int id) override { pressed.push_back(id); }
};

TEST(DialogControls, RadiosKeepOneChoicePerGroupAndArrowsMoveRoundIt) {
    struct Case {
        int from;
        int step;
        int next;  // 0: no move
        const char* why;
    };
    const Case cases[] = {
        {.from = 11, .step = 1, .next = 13, .why = "the disabled radio is passed over"},
        {.from = 13, .step = 1, .next = 11, .why = "from the last round to the first"},
        {.from = 11, .step = -1, .next = 13, .why = "from the first back to the last"},
        {.from = 22, .step = -1, .next = 21, .why = "each group on its own"},
        {.from = kIdOk, .step = 1, .next = 0, .why = "a push button is no group"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        Form form;
        form.Check(c.from);
        EXPECT_EQ(form.MoveInGroup(c.from, c.step), c.next);
        if (c.next == 0) continue;
        EXPECT_TRUE(form.IsChecked(c.next));
        EXPECT_FALSE(form.IsChecked(c.from));
        EXPECT_EQ(form.pressed, std::vector<int>{c.next}) << "the dialog hears the new choice";
        // The other group keeps its choice.
        const int other = c.next < 20 ? 22 : 11;
        EXPECT_TRUE(form.IsChecked(other));
    }
    Form form;
    form.Press(12);
    EXPECT_TRUE(form.IsChecked(11)) << "a disabled radio cannot be chosen";
    EXPECT_TRUE(form.pressed.empty());
}

TEST(DialogControls, EnterPressesTheFocusedPushButtonOnlyWithoutADefault) {
    struct Case {
        bool with_default;
        int focused;
        std::vector<int> pressed;
        const char* why;
    };
    const Case cases[] = {
        {.with_default = false, .focused = kIdCancel, .pressed = {kIdCancel}, .why = "focused"},
        {.with_default = false, .focused = 11, .pressed = {}, .why = "a radio is not pressed"},
        {.with_default = false, .focused = 0, .pressed = {}, .why = "nothing focused"},
        {.with_default = true, .focused = kIdCancel, .pressed = {kIdOk}, .why = "the default"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        Form form(c.with_default);
        form.SetFocused(c.focused);
        form.OnEnter();
        EXPECT_EQ(form.pressed, c.pressed);
    }
}

TEST(DialogControls, TheWindowShowsGroupsAsOneTabStopAndTakesArrowsAndEnter) {
    Form form;
    ui::DialogView view(form);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    auto* r11 = qobject_cast<QRadioButton*>(view.ControlWidget(11));
    auto* r13 = qobject_cast<QRadioButton*>(view.ControlWidget(13));
    auto* r21 = qobject_cast<QRadioButton*>(view.ControlWidget(21));
    ASSERT_TRUE(r11 && r13 && r21);
    EXPECT_TRUE(r11->isChecked());
    EXPECT_FALSE(view.ControlWidget(12)->isEnabled());
    // Only the checked radio of a group is reached with Tab.
    EXPECT_TRUE(r11->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(r13->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(r21->focusPolicy() & Qt::TabFocus);

    r11->setFocus();
    QTest::keyClick(r11, Qt::Key_Down);
    EXPECT_TRUE(r13->isChecked());
    EXPECT_FALSE(r11->isChecked());
    EXPECT_TRUE(r13->hasFocus());
    EXPECT_TRUE(r13->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(r11->focusPolicy() & Qt::TabFocus);

    // A click on the checked radio leaves it checked.
    QTest::mouseClick(r13, Qt::LeftButton);
    EXPECT_TRUE(r13->isChecked());

    // The frames lie behind the radios they hold.
    auto* frame = qobject_cast<QGroupBox*>(view.ControlWidget(10));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), QStringLiteral("first"));
    EXPECT_LT(view.children().indexOf(frame), view.children().indexOf(r11));

    form.pressed.clear();
    view.ControlWidget(kIdCancel)->setFocus();
    QTest::keyClick(view.ControlWidget(kIdCancel), Qt::Key_Return);
    EXPECT_EQ(form.pressed, std::vector<int>{kIdCancel});
}

// A dialog opened from another belongs to it: a modal one is modal to that window alone (the
// engine's frames, top-level windows of their own, stay usable), a progress window is owned by
// it and stays above it, and both open centred over it.
TEST(DialogControls, DialogsBelongToTheWindowThatOpenedThem) {
    Form menu;
    ui::DialogView opener(menu);
    opener.move(200, 150);
    opener.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&opener));
    opener.activateWindow();

    Form progress;
    const std::function<void()> close = ui::ShowModeless(progress);
    QWidget* modeless = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* view = qobject_cast<ui::DialogView*>(w);
        if (view != nullptr && &view->presenter() == &progress) modeless = view;
    }
    ASSERT_NE(modeless, nullptr);
    EXPECT_EQ(modeless->parentWidget(), &opener);
    EXPECT_EQ(modeless->windowModality(), Qt::NonModal);
    close();

    Form inner;
    QWidget* parent = nullptr;
    Qt::WindowModality modality = Qt::NonModal;
    QPoint centre;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* view = qobject_cast<ui::DialogView*>(w);
            if (view == nullptr || &view->presenter() != &inner || !view->isVisible()) continue;
            parent = view->parentWidget();
            modality = view->windowModality();
            centre = view->geometry().center();
            inner.End(kIdCancel);
        }
    });
    ui::QtDialogRunner runner;
    EXPECT_EQ(runner.RunModal(inner), kIdCancel);
    EXPECT_EQ(parent, &opener);
    EXPECT_EQ(modality, Qt::WindowModal);
    EXPECT_LE((centre - opener.geometry().center()).manhattanLength(), 4);
}

}  // namespace
}  // namespace qzs::app
