#include "engine/preview/ui/viewer_dialog_views.h"

#include "engine/preview/file_object.h"
#include "platform/gdi/handles.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kp::preview::ui {
namespace {

QString Q(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}
QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}
QString Id(int id) {
    return QStringLiteral("c%1").arg(id);
}

QDialogButtonBox* OkCancel(QDialog* dialog, const char* okText) {
    auto* box = new QDialogButtonBox(dialog);
    QPushButton* ok = box->addButton(Q(okText), QDialogButtonBox::AcceptRole);
    ok->setObjectName(Id(1));
    ok->setDefault(true);
    QPushButton* cancel = box->addButton(Q("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(Id(2));
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

}  // namespace

DocumentInfoView::DocumentInfoView(const DocumentInfo& info, QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q(kDocumentInfoCaption));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    for (const InfoField& f : DocumentInfoFields(info)) {
        auto* field = new QLineEdit(Q(f.text), this);
        field->setReadOnly(true);
        field->setMinimumWidth(240);
        field->setObjectName(Id(f.id));
        form->addRow(Q(f.label), field);
    }
    layout->addLayout(form);
    layout->addWidget(OkCancel(this, "OK"));
}

PasswordView::PasswordView(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q("パスワード"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(Q("この文章は保護されています。"), this));
    auto* form = new QFormLayout;
    edit_ = new QLineEdit(this);
    edit_->setObjectName(Id(1033));
    edit_->setEchoMode(QLineEdit::Password);
    form->addRow(Q("文章パスワード"), edit_);
    layout->addLayout(form);
    layout->addWidget(OkCancel(this, "OK"));
}

LayerPrintView::LayerPrintView(const LayerPrintSettings& current, QWidget* parent)
    : QDialog(parent), dialog_(current) {
    setWindowTitle(Q(kLayerPrintCaption));
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < 5; ++i) {
        checks_[i] = new QCheckBox(Q(LayerPrintDialog::LayerLabel(i + 1)), this);
        checks_[i]->setObjectName(Id(1019 + i));
        checks_[i]->setChecked(dialog_.layer(i));
        layout->addWidget(checks_[i]);
    }
    auto* group = new QGroupBox(Q(kLayerPrintGroup), this);
    auto* form = new QFormLayout(group);
    x_ = new QLineEdit(Q(dialog_.xText()), group);
    y_ = new QLineEdit(Q(dialog_.yText()), group);
    x_->setObjectName(Id(1024));
    y_->setObjectName(Id(1025));
    for (QLineEdit* e : {x_, y_}) e->setMaxLength(int(kOffsetEditLimit));
    form->addRow(Q("横方向(&S)"), x_);
    form->addRow(Q("縦方向(&E)"), y_);
    layout->addWidget(group);
    layout->addWidget(OkCancel(this, "設定(&P)"));
}

LayerPrintSettings LayerPrintView::Result() const {
    LayerPrintDialog d = dialog_;
    for (int i = 0; i < 5; ++i) d.SetLayer(i, checks_[i]->isChecked());
    d.SetXText(x_->text().toStdString());
    d.SetYText(y_->text().toStdString());
    return d.Accept();
}

PrintRangeView::PrintRangeView(int current, int count, QWidget* parent)
    : QDialog(parent), dialog_(current, count) {
    setWindowTitle(Q(kPrintRangeCaption));
    auto* layout = new QVBoxLayout(this);
    all_ = new QRadioButton(Q("全て印刷 (&A)"), this);
    current_ = new QRadioButton(Q("現在のページを印刷(&N)"), this);
    typed_ = new QRadioButton(Q("指定したページを印刷(&C)"), this);
    all_->setObjectName(Id(1000));
    current_->setObjectName(Id(1002));
    typed_->setObjectName(Id(1004));
    auto* group = new QButtonGroup(this);
    group->addButton(all_, int(RangeChoice::kAll));
    group->addButton(current_, int(RangeChoice::kCurrent));
    group->addButton(typed_, int(RangeChoice::kTyped));
    all_->setChecked(true);
    start_ = new QLineEdit(Q(dialog_.startText()), this);
    end_ = new QLineEdit(Q(dialog_.endText()), this);
    start_->setObjectName(Id(1006));
    end_->setObjectName(Id(1007));
    for (QLineEdit* e : {start_, end_}) e->setMaxLength(5);
    for (QWidget* w : {static_cast<QWidget*>(all_), static_cast<QWidget*>(current_),
                       static_cast<QWidget*>(typed_), static_cast<QWidget*>(start_),
                       static_cast<QWidget*>(end_)})
        layout->addWidget(w);
    layout->addWidget(OkCancel(this, "OK"));
    connect(group, &QButtonGroup::idClicked, this, [this](int id) {
        dialog_.Choose(RangeChoice(id));
        Refresh();
    });
    Refresh();
}

void PrintRangeView::Refresh() {
    start_->setEnabled(dialog_.EditsEnabled());
    end_->setEnabled(dialog_.EditsEnabled());
}

void PrintRangeView::accept() {
    dialog_.SetStartText(start_->text().toStdString());
    dialog_.SetEndText(end_->text().toStdString());
    result_ = dialog_.Accept();
    if (!result_.ok) {
        QMessageBox::information(this, Q(kRangeCaption), Q(result_.message));
        return;  // the dialog stays open
    }
    QDialog::accept();
}

namespace {
// Modal to the frame it belongs to only: the host's windows and other frames go on taking input.
int RunOwned(QDialog& view) {
    if (view.parentWidget() != nullptr) view.setWindowModality(Qt::WindowModal);
    return view.exec();
}

}  // namespace

int QtViewerDialogPort::AskPassword(std::u16string* typed) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return -1;
    PasswordView view(parent_);
    if (RunOwned(view) != QDialog::Accepted) return 2;
    const QString text = view.edit()->text();
    typed->assign(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
    return 1;
}

void QtViewerDialogPort::Warn(const std::string& text, const std::string& caption) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    QMessageBox::warning(parent_, Q(caption), Q(text));
}

namespace {
bool HaveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}
}  // namespace

int QtViewerDialogPort::ShowDocumentInfo(const DocumentInfo& info) {
    if (!HaveWidgets()) return -1;
    DocumentInfoView view(info, parent_);
    RunOwned(view);
    return 0;
}

int QtViewerDialogPort::AskLayerPrint(LayerPrintSettings* settings) {
    if (!HaveWidgets()) return -1;
    LayerPrintView view(*settings, parent_);
    if (RunOwned(view) != QDialog::Accepted) return 2;
    *settings = view.Result();
    return 1;
}

int QtViewerDialogPort::AskPrintRange(int current, int count, int* start, int* end) {
    if (!HaveWidgets()) return -1;
    PrintRangeView view(current, count, parent_);
    if (RunOwned(view) != QDialog::Accepted) return 2;
    *start = view.Result().start;
    *end = view.Result().end;
    return 1;
}

void AddQtViewerDialogServices(EngineServices& services) {
    services.viewerDialogs = [](uint32_t owner) -> std::unique_ptr<ViewerDialogPort> {
        return std::make_unique<QtViewerDialogPort>(
            static_cast<QWidget*>(plat::WindowFromHandle(owner)));
    };
}

}  // namespace kp::preview::ui
