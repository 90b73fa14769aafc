#include "app/ui/dialog_view.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace qzs::app::ui {
namespace {

QString ToQ(const std::string& text) {
    return QString::fromStdString(text);
}

// Every dialog view alive, in the order they were made: the last one still shown is the
// innermost dialog when no window is active (between two windows, or before the first shows).
QList<DialogView*>& LiveViews() {
    static QList<DialogView*> views;
    return views;
}

}  // namespace

QIcon ProgramIcon() {
    return QIcon(QStringLiteral(":/korva-qzs/korva-qzs.png"));
}

namespace {

class FocusMarkStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        if ((element != CE_PushButton && element != CE_RadioButton) ||
            (option->state & State_HasFocus) == 0) {
            return;
        }
        const QRect mark = element == CE_PushButton
                               ? option->rect.adjusted(4, 4, -5, -5)
                               : subElementRect(SE_RadioButtonFocusRect, option, widget);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(option->palette.color(QPalette::WindowText), 1, Qt::DotLine));
        painter->drawRect(mark);
        painter->restore();
    }
};

}  // namespace

void InstallProgramLook(QApplication& application) {
    QApplication::setWindowIcon(ProgramIcon());
    application.setStyle(new FocusMarkStyle(QStyleFactory::create(application.style()->name())));
}

QWidget* OpenerWindow() {
    if (QWidget* active = QApplication::activeWindow(); active != nullptr && active->isVisible()) {
        return active;
    }
    const QList<DialogView*>& views = LiveViews();
    for (auto it = views.crbegin(); it != views.crend(); ++it) {
        if ((*it)->isVisible()) return *it;
    }
    return nullptr;
}

std::function<void()> ShowModeless(DialogPresenter& dialog) {
    auto* view = new DialogView(dialog, OpenerWindow());
    view->setModal(false);
    view->show();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QPointer<DialogView> guard(view);
    return [guard] {
        if (guard.isNull()) return;
        guard->hide();
        delete guard.data();
    };
}

DialogView::DialogView(DialogPresenter& presenter, QWidget* parent)
    : QDialog(parent), presenter_(presenter) {
    LiveViews().append(this);
    setWindowTitle(ToQ(presenter.caption()));
    setFixedSize(presenter.size().width, presenter.size().height);
    setObjectName(QStringLiteral("dialog%1").arg(presenter.resource_id()));
    Build();
    // Qt has no window menu of its own to extend: the dialog's items are offered on its context
    // menu instead.
    for (const DialogPresenter::MenuItem& item : presenter.SystemMenuItems()) {
        auto* action = new QAction(ToQ(item.text), this);
        const int command = item.command;
        connect(action, &QAction::triggered, this,
                [this, command] { presenter_.OnSystemCommand(command); });
        addAction(action);
        setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    presenter_.changed = [this] { Refresh(); };
    presenter_.OnInit();
    Refresh();
}

DialogView::~DialogView() {
    LiveViews().removeAll(this);
    presenter_.changed = nullptr;
}

void DialogView::Build() {
    for (const Control& c : presenter_.controls()) {
        QWidget* widget = nullptr;
        switch (c.kind) {
            case ControlKind::kButton: {
                auto* button = new QPushButton(this);
                button->setAutoDefault(false);
                button->setDefault(c.is_default);
                const int id = c.id;
                connect(button, &QPushButton::clicked, this, [this, id] { presenter_.Press(id); });
                widget = button;
                break;
            }
            case ControlKind::kLabel: {
                auto* label = new QLabel(this);
                label->setTextFormat(Qt::PlainText);
                if (c.centred) label->setAlignment(Qt::AlignCenter);
                widget = label;
                break;
            }
            case ControlKind::kIcon: {
                auto* label = new QLabel(this);
                // Icon 128 is the program's own; the others are the system's warning sign.
                label->setPixmap(c.id == 128
                                     ? ProgramIcon().pixmap(32)
                                     : style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32));
                widget = label;
                break;
            }
            case ControlKind::kEdit:
            case ControlKind::kReadOnlyEdit: {
                auto* edit = new QLineEdit(this);
                edit->setReadOnly(c.kind == ControlKind::kReadOnlyEdit);
                if (c.numeric) edit->setInputMethodHints(Qt::ImhDialableCharactersOnly);
                const int id = c.id;
                connect(edit, &QLineEdit::textEdited, this, [this, edit, id](const QString& text) {
                    if (!presenter_.OnEdit(id, text.toStdString())) {
                        // Over the byte limit or not expressible in Shift-JIS: keep the old text.
                        const int cursor = edit->cursorPosition();
                        edit->setText(ToQ(presenter_.Text(id)));
                        edit->setCursorPosition(std::max(0, cursor - 1));
                    }
                });
                edit->installEventFilter(this);
                widget = edit;
                break;
            }
            case ControlKind::kMultiLineEdit: {
                auto* edit = new QPlainTextEdit(this);
                const int id = c.id;
                connect(edit, &QPlainTextEdit::textChanged, this, [this, edit, id] {
                    if (refreshing_) return;
                    if (!presenter_.OnEdit(id, edit->toPlainText().toStdString())) {
                        refreshing_ = true;
                        edit->setPlainText(ToQ(presenter_.Text(id)));
                        edit->moveCursor(QTextCursor::End);
                        refreshing_ = false;
                    }
                });
                widget = edit;
                break;
            }
            case ControlKind::kComboBox: {
                auto* combo = new QComboBox(this);
                combo->setEditable(false);
                const int id = c.id;
                connect(combo, &QComboBox::activated, this,
                        [this, id](int index) { presenter_.OnSelect(id, index); });
                widget = combo;
                break;
            }
            case ControlKind::kRadio: {
                // The presenter keeps the group's one check; Qt's own exclusivity would join every
                // radio of the window into one group.
                auto* radio = new QRadioButton(this);
                radio->setAutoExclusive(false);
                const int id = c.id;
                connect(radio, &QRadioButton::clicked, this, [this, id] { presenter_.Press(id); });
                widget = radio;
                break;
            }
            case ControlKind::kGroupBox: {
                auto* box = new QGroupBox(this);
                box->setFocusPolicy(Qt::NoFocus);
                widget = box;
                break;
            }
            case ControlKind::kProgress: {
                auto* bar = new QProgressBar(this);
                bar->setRange(0, 100);
                bar->setTextVisible(false);
                widget = bar;
                break;
            }
        }
        widget->setObjectName(QStringLiteral("control%1").arg(c.id));
        widget->setGeometry(c.rect.x, c.rect.y, c.rect.width, c.rect.height);
        // Every control reports its focus, for Enter and for the arrow keys of a radio group.
        if (c.kind != ControlKind::kEdit && c.kind != ControlKind::kReadOnlyEdit) {
            widget->installEventFilter(this);
        }
        widgets_.insert(c.id, widget);
    }
    // Frames lie behind the controls they hold.
    for (const Control& c : presenter_.controls()) {
        if (c.kind == ControlKind::kGroupBox) widgets_.value(c.id)->lower();
    }
}

void DialogView::Refresh() {
    if (refreshing_) return;
    refreshing_ = true;
    for (const Control& c : presenter_.controls()) {
        QWidget* widget = widgets_.value(c.id, nullptr);
        if (widget == nullptr) continue;
        widget->setVisible(c.visible);
        widget->setEnabled(c.enabled);
        const QString text = ToQ(c.text);
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            button->setText(text);
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            if (c.kind == ControlKind::kLabel) label->setText(text);
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            if (edit->text() != text) edit->setText(text);
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
            if (plain->toPlainText() != text) plain->setPlainText(text);
        } else if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
            radio->setText(text);
            radio->setChecked(c.checked);
            // One tab stop per group: the checked radio, or the first while none is.
            radio->setFocusPolicy(IsTabStop(c) ? Qt::StrongFocus : Qt::ClickFocus);
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            box->setTitle(text);
        } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
            bar->setValue(std::clamp(c.position, 0, 100));
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            QStringList items;
            for (const std::string& item : c.items) items << ToQ(item);
            QStringList shown;
            for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
            if (shown != items) {
                combo->clear();
                combo->addItems(items);
            }
            if (combo->currentIndex() != c.selected) combo->setCurrentIndex(c.selected);
        }
    }
    // While the dialog is busy its close box does nothing: the presenter ignores the request.
    refreshing_ = false;
    if (presenter_.ended() && isVisible()) done(presenter_.result());
}

void DialogView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        presenter_.OnEscape();
        event->accept();
        if (presenter_.ended()) done(presenter_.result());
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        presenter_.OnEnter();
        event->accept();
        if (presenter_.ended()) done(presenter_.result());
        return;
    }
    QDialog::keyPressEvent(event);
}

bool DialogView::IsTabStop(const Control& radio) const {
    for (const Control& c : presenter_.controls()) {
        if (c.kind != ControlKind::kRadio || c.group != radio.group) continue;
        if (c.checked) return c.id == radio.id;
    }
    for (const Control& c : presenter_.controls()) {
        if (c.kind == ControlKind::kRadio && c.group == radio.group) return c.id == radio.id;
    }
    return false;
}

bool DialogView::eventFilter(QObject* watched, QEvent* event) {
    const int id = widgets_.key(qobject_cast<QWidget*>(watched), 0);
    if (id != 0 && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        const bool entering = event->type() == QEvent::FocusIn;
        if (entering) {
            presenter_.SetFocused(id);
        } else if (presenter_.focused() == id) {
            presenter_.SetFocused(0);
        }
        presenter_.OnFocus(id, entering);
    }
    if (id != 0 && event->type() == QEvent::KeyPress && qobject_cast<QRadioButton*>(watched)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const int step = key == Qt::Key_Down || key == Qt::Key_Right ? 1
                         : key == Qt::Key_Up || key == Qt::Key_Left  ? -1
                                                                     : 0;
        if (step != 0) {
            const int next = presenter_.MoveInGroup(id, step);
            if (QWidget* target = widgets_.value(next, nullptr)) target->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DialogView::closeEvent(QCloseEvent* event) {
    if (!presenter_.ended()) {
        presenter_.OnCloseRequest();
        if (!presenter_.ended()) {
            event->ignore();
            return;
        }
    }
    event->accept();
    QDialog::done(presenter_.result());
}

void DialogView::reject() {
    // Esc reaches keyPressEvent; any other road to reject is the close request.
    presenter_.OnCloseRequest();
    if (presenter_.ended()) QDialog::done(presenter_.result());
}

int QtMessagePort::ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon,
                               MessageButtons buttons) {
    QMessageBox box(OpenerWindow());
    box.setWindowModality(Qt::WindowModal);
    box.setWindowTitle(QString::fromUtf8(caption.data(), static_cast<int>(caption.size())));
    box.setText(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
    switch (icon) {
        case MessageIcon::kExclamation:
        case MessageIcon::kWarning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::kQuestion:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageIcon::kInformation:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::kNone:
            break;
    }
    if (buttons == MessageButtons::kYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? kIdYes : kIdNo;
    }
    if (buttons == MessageButtons::kOkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Ok ? kIdOk : kIdCancel;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return kIdOk;
}

int QtDialogRunner::RunModal(DialogPresenter& dialog) {
    DialogView view(dialog, OpenerWindow());
    // A dialog that ended while it was initialised never shows.
    if (dialog.ended()) return dialog.result();
    // exec() alone would make the dialog application modal and block the engine's preview,
    // which the same dialog asks the user to use.
    view.setWindowModality(Qt::WindowModal);
    view.exec();
    return dialog.ended() ? dialog.result() : kIdCancel;
}

}  // namespace qzs::app::ui
