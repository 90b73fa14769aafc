#include "engine/output/cancel_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

#include "engine/output/printer_codes.h"
#include "platform/gdi/handles.h"

namespace kp {

void CancelDialogPresenter::OnCommand(int32_t id, int32_t notification) {
    if (id != kCancelButtonId || notification != 0 || !button_ || !cancel_) return;
    // The action may end the presenter's owner, and the presenter with it.
    const std::function<void()> cancel = cancel_;
    cancel();
}

bool CancelDialogPresenter::IsButtonKey(int key, bool alt) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || (key == Qt::Key_C && alt);
}

namespace {

QString ToQ(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

class Dialog final : public QDialog, public CancelDialogView {
  public:
    Dialog(CancelDialogPresenter* presenter, QWidget* owner)
        : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
          presenter_(presenter) {
        setObjectName(QStringLiteral("CancelDialog102"));
        setModal(false);
        auto* layout = new QVBoxLayout(this);
        message_ = new QLabel(this);
        message_->setObjectName(QStringLiteral("1016"));
        message_->setAlignment(Qt::AlignCenter);
        message_->setWordWrap(true);
        button_ = new QPushButton(ToQ(CancelDialogPresenter::kButtonText), this);
        button_->setObjectName(QStringLiteral("1017"));
        button_->setDefault(true);
        button_->installEventFilter(this);
        layout->addWidget(message_);
        layout->addWidget(button_, 0, Qt::AlignHCenter);
        connect(button_, &QPushButton::clicked, this, [this] { Press(); });
        Refresh();
        // The dialog units of 227 x 71 at the default font.
        resize(340, 115);
        const QRect area =
            owner ? owner->frameGeometry() : QApplication::primaryScreen()->availableGeometry();
        move(area.left() + area.width() / 2 - width() / 2,
             area.top() + area.height() / 2 - height() / 2);
        show();
        button_->setFocus();
    }

    void Refresh() override {
        const QString caption = ToQ(presenter_->caption());
        const QString message = ToQ(presenter_->message());
        const bool visible = presenter_->buttonVisible();
        auto apply = [this, caption, message, visible] {
            setWindowTitle(caption);
            message_->setText(message);
            button_->setVisible(visible);
        };
        if (QThread::currentThread() == thread()) {
            apply();
        } else {
            QMetaObject::invokeMethod(this, apply, Qt::QueuedConnection);
        }
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == button_ && event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (CancelDialogPresenter::IsButtonKey(key->key(),
                                                   key->modifiers() & Qt::AltModifier)) {
                Press();
                return true;
            }
        }
        return QDialog::eventFilter(watched, event);
    }
    // The dialog closes with its document, not with Escape or the window's close.
    void reject() override {}

  public:
    // True while the button's command runs: the cancel may end the job that owns the dialog,
    // and the dialog must then outlive its own handler.
    bool pressing() const { return pressing_; }

  private:
    void Press() {
        pressing_ = true;
        presenter_->OnCommand(CancelDialogPresenter::kCancelButtonId, 0);
        pressing_ = false;
    }

    CancelDialogPresenter* presenter_;
    bool pressing_ = false;
    QLabel* message_;
    QPushButton* button_;
};

}  // namespace

std::unique_ptr<CancelDialogView> MakeCancelDialogView(CancelDialogPresenter* presenter,
                                                       void* ownerWindow) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || QThread::currentThread() != app->thread()) return nullptr;
    return std::make_unique<Dialog>(presenter, static_cast<QWidget*>(ownerWindow));
}

void DestroyCancelDialogView(std::unique_ptr<CancelDialogView> view) {
    auto* dialog = dynamic_cast<Dialog*>(view.get());
    if (dialog == nullptr) return;
    const bool ownThread = QThread::currentThread() == dialog->thread();
    if (ownThread && !dialog->pressing()) return;  // freed here, with the pointer
    view.release();
    if (ownThread) dialog->hide();
    dialog->deleteLater();
}

int32_t JobCancelDialog::Show(uint32_t ownerWindow) {
    if (!wanted_) return rc::kOk;
    presenter_ = std::make_unique<CancelDialogPresenter>(cancel_);
    presenter_->SetCaption(caption_);
    presenter_->SetMessage(message_);
    presenter_->SetButton(button_);
    view_ = MakeCancelDialogView(presenter_.get(),
                                 ownerWindow ? plat::WindowFromHandle(ownerWindow) : nullptr);
    if (!view_) {
        presenter_.reset();
        return rc::kCancelDialogFailed;
    }
    return rc::kOk;
}

void JobCancelDialog::Destroy() {
    DestroyCancelDialogView(std::move(view_));
    view_.reset();
    presenter_.reset();
}

void JobCancelDialog::SetCaption(std::u16string text) {
    caption_ = std::move(text);
    Refresh();
}
void JobCancelDialog::SetMessage(std::u16string text) {
    message_ = std::move(text);
    Refresh();
}
void JobCancelDialog::SetButton(bool shown) {
    button_ = shown;
    Refresh();
}

void JobCancelDialog::Refresh() {
    if (!presenter_) return;
    presenter_->SetCaption(caption_);
    presenter_->SetMessage(message_);
    presenter_->SetButton(button_);
    if (view_) view_->Refresh();
}

}  // namespace kp
