// The Qt window of a dialog presenter: it builds the controls the presenter lists, shows their
// state after every change and forwards presses, typing, Enter, Esc and the close box.
#pragma once

#include <QDialog>
#include <QMap>

#include "app/dialog.h"

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

    DialogPresenter& presenter_;
    QMap<int, QWidget*> widgets_;
    bool refreshing_ = false;
};

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
