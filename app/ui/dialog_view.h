// The Qt window of a dialog presenter: it builds the controls the presenter lists, shows their
// state after every change and forwards presses, typing, Enter, Esc and the close box.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QMap>
#include <functional>

#include "app/dialog.h"

class QApplication;
class QWidget;

namespace qzs::app::ui {

class DialogView : public QDialog {
    Q_OBJECT
  public:
    explicit DialogView(DialogPresenter& presenter, QWidget* parent = nullptr);
    ~DialogView() override;

    QWidget* ControlWidget(int id) const { return widgets_.value(id, nullptr); }
    DialogPresenter& presenter() { return presenter_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

  private:
    void Build();
    void Refresh();
    bool IsTabStop(const Control& radio) const;

    DialogPresenter& presenter_;
    QMap<int, QWidget*> widgets_;
    bool refreshing_ = false;
};

// The window a new dialog, message box or file chooser belongs to: the window the user works in
// (the active one, as the system's active-window call answers), else the innermost dialog of the
// program still shown, else none. Dialogs are modal to that window only, so that a window of
// another hierarchy (the engine's preview and viewer frames) keeps taking input.
QWidget* OpenerWindow();

// Shows the window of a presenter without a modal loop, owned by the opener so that it stays
// above it; the answer hides and destroys it.
std::function<void()> ShowModeless(DialogPresenter& dialog);

// The program's own icon (icon 128 of the about box, and every window's icon).
QIcon ProgramIcon();

// The program's look on the application: its icon on every window, and a style that marks the
// focused push button or radio with a dotted frame, as the system's dialogs do, so that Tab and
// Enter can be followed by eye.
void InstallProgramLook(QApplication& application);

// Message boxes with the system's buttons and icons.
class QtMessagePort : public MessagePort {
  public:
    int ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon,
                    MessageButtons buttons) override;
};

// Modal dialogs as windows on the GUI thread.
class QtDialogRunner : public DialogRunner {
  public:
    int RunModal(DialogPresenter& dialog) override;
};

}  // namespace qzs::app::ui
