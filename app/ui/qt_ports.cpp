#include "app/ui/qt_ports.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QStringList>
#include <QThread>

namespace qzs::app::ui {

std::optional<std::string> ChooseFile(const FileChooserRequest& request) {
    // "text|pattern|text|pattern|" becomes Qt's "text (pattern);;text (pattern)".
    const QStringList parts =
        QString::fromStdString(request.filter).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        filters << QStringLiteral("%1 (%2)").arg(parts[i].trimmed(), parts[i + 1]);
    }
    QFileDialog dialog(nullptr, QString::fromStdString(request.title));
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QString::fromStdString(request.default_extension));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The system's dialog asks before an existing file is overwritten.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front().toStdString();
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
