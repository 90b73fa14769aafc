#include "app/ui/qt_ports.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QVariant>
#include <QWidget>
#include <QStringList>
#include <QThread>

#include "app/ui/dialog_view.h"
#include "platform/gdi/handles.h"

namespace qzs::app::ui {

namespace {

// The chooser's type column: Qt's catalogue leaves "Folder" and "... File" untranslated.
class JapaneseFileTypes : public QFileIconProvider {
  public:
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) return QStringLiteral("フォルダー");
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("ファイル")
                                : suffix.toUpper() + QStringLiteral(" ファイル");
    }
};

// The folder the user chose a file in last, during this run; the next chooser opens there.
QString& LastFolder() {
    static QString folder;
    return folder;
}

}  // namespace

QStringList NameFilters(const std::string& filter) {
    // "text|pattern|text|pattern|": each text already names its pattern, as in
    // "qzdatﾌｧｲﾙ(*.qzdat)", which Qt reads as it stands; a text without one gets it added.
    const QStringList parts =
        QString::fromStdString(filter).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString text = parts[i].trimmed();
        const QString pattern = parts[i + 1].trimmed();
        filters << (text.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')'))
                        ? text
                        : QStringLiteral("%1 (%2)").arg(text, pattern));
    }
    return filters;
}

std::optional<std::string> ChooseFile(const FileChooserRequest& request) {
    QFileDialog dialog(OpenerWindow(), QString::fromStdString(request.title));
    dialog.setObjectName(QStringLiteral("fileChooser"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setNameFilters(NameFilters(request.filter));
    dialog.setDefaultSuffix(QString::fromStdString(request.default_extension));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Loading takes any name as well: a file that does not exist is the data file dialog's to
    // report, in its own words, before the chooser comes back.
    dialog.setFileMode(QFileDialog::AnyFile);
    // The system's dialog asks before an existing file is overwritten.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    // Qt's own chooser on every desktop: its texts come from the Japanese catalogue the program
    // loads, where a desktop's native chooser would follow that desktop's language instead.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    static JapaneseFileTypes types;
    dialog.setIconProvider(&types);
    if (!LastFolder().isEmpty()) dialog.setDirectory(LastFolder());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString chosen = dialog.selectedFiles().front();
    LastFolder() = QFileInfo(chosen).absolutePath();
    return chosen.toStdString();
}

uint32_t ActiveWindowHandle() {
    QWidget* window = OpenerWindow();
    if (window == nullptr) return 0;
    // Each window is entered in the shared table once, and leaves it with its end.
    static const char* const kProperty = "qzsWindowHandle";
    const QVariant known = window->property(kProperty);
    if (known.isValid()) return known.toUInt();
    const uint32_t handle = plat::RegisterWindow(static_cast<QWidget*>(window));
    if (handle == 0) return 0;
    window->setProperty(kProperty, handle);
    QObject::connect(window, &QObject::destroyed, [handle] { plat::UnregisterWindow(handle); });
    return handle;
}

void SetWaitCursor(bool wait) {
    if (wait) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
    }
}

void PumpEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void RunOnGuiThread(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(app, work, Qt::BlockingQueuedConnection);
}

}  // namespace qzs::app::ui
