// Qt's own texts in Japanese: the buttons of message boxes, the whole file chooser, the
// standard dialogs' messages. Every program of ours that owns a QApplication loads Qt's Japanese
// catalogue (Debian's qt6-translations-l10n) right after making it, so that no Qt-made text a
// user sees stays English.
#pragma once

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>
#include <cstdio>

namespace plat {

// Installs the catalogue into the application; false (and a line on stderr naming the program)
// when it cannot be read, in which case Qt's texts stay as they are.
inline bool LoadQtJapanese(QCoreApplication& app, const char* program) {
    // Dates, sizes and the chooser's own formats follow the language of its texts.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    auto* translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_ja"), folder)) {
        delete translator;
        std::fprintf(stderr,
                     "%s: Qt's Japanese texts (qtbase_ja.qm) are missing in %s: install "
                     "qt6-translations-l10n\n",
                     program, folder.toLocal8Bit().constData());
        return false;
    }
    app.installTranslator(translator);
    return true;
}

}  // namespace plat
