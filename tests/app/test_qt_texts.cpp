// Qt's own texts as the program shows them. With the Japanese catalogue loaded, no text of a live
// message box or file chooser is still Qt's untranslated source text ("OK" reads the same in both
// languages); the source texts are read from the same windows before the catalogue is loaded.
// The chooser shows the data file filters once each, takes a name that does not exist (the data
// file dialog reports it in its own words) and opens again in the folder chosen last.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/data_file_dialog.h"
#include "app/ui/dialog_view.h"
#include "app/ui/qt_ports.h"
#include "platform/qt_japanese.h"
#include "tests/fixtures/offscreen_widgets.h"
#include "tests/fixtures/private_tmpdir.h"

namespace qzs::app::ui {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new qzs_test::OffscreenWidgets("app_test_qt_texts"));

using Texts = std::set<QString>;

// What Qt writes into a window: labels, button texts and tips, the actions of its menus and the
// column titles of its views. Lists of files and folders are left out: they name the disk.
Texts TextsOf(QWidget* window) {
    Texts texts;
    // A view without column titles numbers its columns: no language in that.
    auto add = [&texts](const QString& text) {
        bool number = false;
        text.trimmed().toInt(&number);
        if (!text.trimmed().isEmpty() && !number) texts.insert(text);
    };
    for (auto* label : window->findChildren<QLabel*>()) add(label->text());
    for (auto* button : window->findChildren<QAbstractButton*>()) {
        add(button->text());
        add(button->toolTip());
    }
    for (auto* action : window->findChildren<QAction*>()) add(action->text());
    for (auto* view : window->findChildren<QAbstractItemView*>()) {
        auto* model = view->model();
        if (model == nullptr) continue;
        for (int column = 0; column < model->columnCount(); ++column) {
            add(model->headerData(column, Qt::Horizontal).toString());
        }
    }
    return texts;
}

QWidget* ShownTopLevel(const char* class_name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->inherits(class_name)) return w;
    }
    return nullptr;
}

// Runs open(), which shows a modal window of the given class; gathers its texts and lets the
// inspect step look at it while it is open, then cancels it.
Texts TextsWhileOpen(const char* class_name, const std::function<void()>& open,
                     const std::function<void(QWidget*)>& inspect = {}) {
    Texts texts;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QWidget* window = ShownTopLevel(class_name);
        if (window == nullptr) return;
        seen = true;
        texts = TextsOf(window);
        if (inspect) inspect(window);
        qobject_cast<QDialog*>(window)->done(QDialog::Rejected);
    });
    open();
    EXPECT_TRUE(seen) << class_name << " did not open";
    return texts;
}

struct BoxCase {
    const char* name;
    MessageIcon icon;
    MessageButtons buttons;
};
const BoxCase kBoxes[] = {
    {.name = "OK, information", .icon = MessageIcon::kInformation, .buttons = MessageButtons::kOk},
    {.name = "OK, warning", .icon = MessageIcon::kWarning, .buttons = MessageButtons::kOk},
    {.name = "Yes/No", .icon = MessageIcon::kQuestion, .buttons = MessageButtons::kYesNo},
    {.name = "OK/Cancel", .icon = MessageIcon::kQuestion, .buttons = MessageButtons::kOkCancel},
    {.name = "no icon", .icon = MessageIcon::kNone, .buttons = MessageButtons::kOk},
};

struct ChooserCase {
    const char* name;
    bool save;
    int kind;
    std::vector<QString> filters;  // as the chooser lists them, each once
};
const ChooserCase kChoosers[] = {
    {.name = "load, data setting", .save = false, .kind = 0,
     .filters = {QString::fromUtf8("qzdatﾌｧｲﾙ(*.qzdat)")}},
    {.name = "load, common phone book", .save = false, .kind = 1,
     .filters = {QString::fromUtf8("qzdatﾌｧｲﾙ(*.qzdat)"), QString::fromUtf8("csvﾌｧｲﾙ(*.csv)")}},
    {.name = "save, my phone book", .save = true, .kind = 2,
     .filters = {QString::fromUtf8("qzdatﾌｧｲﾙ(*.qzdat)")}},
    {.name = "save, common phone book", .save = true, .kind = 1,
     .filters = {QString::fromUtf8("qzdatﾌｧｲﾙ(*.qzdat)"), QString::fromUtf8("csvﾌｧｲﾙ(*.csv)")}},
};

FileChooserRequest Request(const ChooserCase& c) {
    return FileChooserRequest{.save = c.save,
                              .title = c.save ? "ファイルの保存" : "ファイルの選択",
                              .filter = CDataFileDialog::FilterFor(c.kind),
                              .default_extension = "qzdat"};
}

constexpr const char* kBoxText = "ファイルデータ保存エラー発生";

// The box's own texts, without the program's message.
Texts BoxTexts(const BoxCase& c) {
    QtMessagePort port;
    Texts texts = TextsWhileOpen(
        "QMessageBox", [&] { port.ShowMessage(kBoxText, "エラー", c.icon, c.buttons); });
    texts.erase(QString::fromUtf8(kBoxText));
    return texts;
}

Texts ChooserTexts(const ChooserCase& c) {
    return TextsWhileOpen("QFileDialog", [&] { ChooseFile(Request(c)); });
}

// Every text of the translated window that is also one of Qt's source texts, "OK" aside.
std::vector<QString> Untranslated(const Texts& translated, const Texts& source) {
    std::vector<QString> left;
    for (const QString& text : translated) {
        if (source.count(text) != 0 && text != QStringLiteral("OK")) left.push_back(text);
    }
    return left;
}

std::string Joined(const std::vector<QString>& texts) {
    return QStringList(texts.begin(), texts.end()).join(QStringLiteral(" | ")).toStdString();
}

TEST(QtTexts, MessageBoxesAndFileChoosersSpeakJapaneseOnceTheCatalogueIsLoaded) {
    std::vector<Texts> box_sources, chooser_sources;
    for (const BoxCase& c : kBoxes) box_sources.push_back(BoxTexts(c));
    for (const ChooserCase& c : kChoosers) chooser_sources.push_back(ChooserTexts(c));
    // The source texts really are Qt's English ones: the check below has something to find.
    EXPECT_EQ(box_sources[2].count(QStringLiteral("&Yes")), 1u);
    EXPECT_EQ(chooser_sources[0].count(QStringLiteral("Cancel")), 1u);

    ASSERT_TRUE(plat::LoadQtJapanese(*QCoreApplication::instance(), "app_test_qt_texts"));
    for (size_t i = 0; i < std::size(kBoxes); ++i) {
        const Texts translated = BoxTexts(kBoxes[i]);
        EXPECT_EQ(translated.size(), box_sources[i].size()) << kBoxes[i].name;
        EXPECT_TRUE(Untranslated(translated, box_sources[i]).empty())
            << kBoxes[i].name << ": " << Joined(Untranslated(translated, box_sources[i]));
    }
    for (size_t i = 0; i < std::size(kChoosers); ++i) {
        const Texts translated = ChooserTexts(kChoosers[i]);
        EXPECT_GT(translated.size(), 10u) << kChoosers[i].name;
        EXPECT_TRUE(Untranslated(translated, chooser_sources[i]).empty())
            << kChoosers[i].name << ": " << Joined(Untranslated(translated, chooser_sources[i]));
    }

    for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
}

TEST(QtTexts, ChooserListsEachFilterOnce) {
    for (const ChooserCase& c : kChoosers) {
        std::vector<QString> shown;
        TextsWhileOpen("QFileDialog", [&] { ChooseFile(Request(c)); },
                       [&](QWidget* window) {
                           auto* types = window->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                           ASSERT_NE(types, nullptr);
                           for (int i = 0; i < types->count(); ++i) shown.push_back(types->itemText(i));
                       });
        EXPECT_EQ(shown, c.filters) << c.name;
    }
}

TEST(QtTexts, ChooserTakesAMissingNameAndOpensAgainInTheFolderUsedLast) {
    qzs_test::PrivateTmpDir tmp("qzs-chooser-");
    ASSERT_TRUE(tmp.valid());
    const std::filesystem::path folder = std::filesystem::path(tmp.dir()) / "データ";
    std::filesystem::create_directories(folder);
    const QString missing = QString::fromStdString((folder / "ない.qzdat").string());

    std::optional<std::string> chosen;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(ShownTopLevel("QFileDialog"));
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(missing);
        QMetaObject::invokeMethod(dialog, "accept");
        // Qt's own "file not found" box would be a second window now.
        if (QWidget* box = ShownTopLevel("QMessageBox")) {
            ADD_FAILURE() << "Qt answered the missing file itself";
            qobject_cast<QDialog*>(box)->done(0);
            dialog->reject();
        }
    });
    chosen = ChooseFile(Request(kChoosers[0]));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(QString::fromStdString(*chosen), missing);

    QString opened_in;
    TextsWhileOpen("QFileDialog", [&] { ChooseFile(Request(kChoosers[2])); },
                   [&](QWidget* window) {
                       opened_in = qobject_cast<QFileDialog*>(window)->directory().absolutePath();
                   });
    EXPECT_EQ(opened_in, QString::fromStdString(folder.string()));
}

}  // namespace
}  // namespace qzs::app::ui
