// Every window of the program on a real X display with its window manager, as a user sees it:
// each is shown, photographed with its frame into artifacts/screens/ under the build folder (for
// a person to look at), and checked for what a picture shows at once: the whole window lies on
// the screen, and no caption, button, radio or label text is cut (every text fits its control,
// the half-width katakana of the remote menu and the captions of 316 included).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/data_file_dialog.h"
#include "app/data_setting_menu.h"
#include "app/dial_dialog.h"
#include "app/error_dialog.h"
#include "app/installer_menu.h"
#include "app/print_dialogs.h"
#include "app/progress.h"
#include "app/remote_menu.h"
#include "app/top_menu.h"
#include "app/ui/dialog_view.h"
#include "app/ui/qt_ports.h"
#include "app/user_info_dialog.h"
#include "platform/dialup/fake_dialup.h"
#include "platform/qt_japanese.h"
#include "settings/data_image_startup.h"
#include "tests/app/app_test_support.h"
#include "tests/fixtures/display/x_display.h"

namespace qzs::app::ui {
namespace {

void Photograph(QWidget* window, const std::string& name) {
    EXPECT_TRUE(qzs_test::XDisplay::Photograph(window, name)) << name;
}

// Texts that do not fit their control, as "text (needed > given)".
std::vector<std::string> CutTexts(QWidget* window) {
    std::vector<std::string> cut;
    auto check = [&cut](QWidget* w, const QString& text, QSize needed) {
        if (!w->isVisible() || text.isEmpty()) return;
        if (needed.width() > w->width() || needed.height() > w->height()) {
            cut.push_back(text.toStdString() + " (" + std::to_string(needed.width()) + "x" +
                          std::to_string(needed.height()) + " > " + std::to_string(w->width()) +
                          "x" + std::to_string(w->height()) + ")");
        }
    };
    for (auto* b : window->findChildren<QAbstractButton*>()) check(b, b->text(), b->sizeHint());
    for (auto* l : window->findChildren<QLabel*>()) {
        if (l->wordWrap() || !l->pixmap().isNull()) continue;
        check(l, l->text(), l->sizeHint());
    }
    for (auto* g : window->findChildren<QGroupBox*>()) {
        const int title = g->fontMetrics().horizontalAdvance(g->title()) + 16;
        check(g, g->title(), QSize(title, g->fontMetrics().height()));
    }
    return cut;
}

void ExpectWholeAndUncut(QWidget* window, const std::string& name) {
    // The title bar, about as wide as the window, holds the icon and three buttons beside the
    // caption, in a bold face.
    QFont title = window->font();
    title.setBold(true);
    EXPECT_LE(QFontMetrics(title).horizontalAdvance(window->windowTitle()) + 110, window->width())
        << name << ": the caption does not fit its title bar";
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->geometry())) << name << " lies outside the screen";
    const std::vector<std::string> cut = CutTexts(window);
    EXPECT_TRUE(cut.empty()) << name << ": " << ::testing::PrintToString(cut);
}

struct Program {
    testing::ScriptedMessages messages;
    testing::ScriptedRunner runner;
    plat::FakeDialUp dialup;
    std::unique_ptr<CDataSettingApp> app;
    std::filesystem::path program_dir;

    Program() {
        ShellPorts ports;
        ports.messages = &messages;
        ports.runner = &runner;
        ports.dialup = &dialup;
        app = std::make_unique<CDataSettingApp>(std::move(ports));
        app->set_online_mode(1);
        InitDataImage(app->state());
        UserInformation& info = app->state().user_information;
        std::copy_n("03    ", 6, info.area_code.begin());
        std::copy_n("12345678", 8, info.telephone_number.begin());
        dialup.entries = {"office", "branch"};
        program_dir = std::filesystem::path(QZS_BINARY_DIR) / "artifacts" / "screens-program/";
        std::filesystem::create_directories(program_dir / "HTMLFiles");
        std::ofstream(program_dir / "HTMLFiles" / "01hosyu.html") << "start";
    }
};

class Screens : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string why;
        ASSERT_TRUE(qzs_test::XDisplay::Use(&why)) << why;
        static int argc = 1;
        static char name[] = "app_xtest_screens";
        static char* argv[] = {name, nullptr};
        gui_ = new QApplication(argc, argv);
        plat::LoadQtJapanese(*gui_, "app_xtest_screens");
        InstallProgramLook(*gui_);
    }
    static void TearDownTestSuite() {
        delete gui_;
        gui_ = nullptr;
    }
    static QApplication* gui_;
};
QApplication* Screens::gui_ = nullptr;

TEST_F(Screens, EveryDialogOfTheProgramIsWholeOnTheScreenWithNoTextCut) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    Program p;
    CTopMenuDialog top(*p.app);
    CHostAddressDialog host(*p.app);
    CInstallerMenuDialog installer(*p.app);
    CRemoteMenuDialog remote(*p.app, p.dialup);
    CUserInfoDialog user(p.app->state(), &p.messages);
    DataSettingMenuPorts menu_ports;
    menu_ports.messages = &p.messages;
    menu_ports.runner = &p.runner;
    menu_ports.available_memory = [] { return std::optional<std::uint64_t>(1u << 30); };
    menu_ports.open_browser = [](const std::string&) { return true; };
    menu_ports.program_directory = p.program_dir.string();
    menu_ports.port = 0;
    CDataSettingMenuDialog data_setting(p.app->state(), std::move(menu_ports));
    CDataFileDialog files(DataFilePorts{});
    CTransferProgressDialog progress;
    progress.SetKind(1, 0);
    CFileCreationDialog creation;
    CConnectingDialog connecting([](int) {});
    CErrorDialog error;
    error.SetMessage("電話番号が重複しています。");
    CAboutDialog about;
    CDialDialog dial(*p.app, p.dialup, 1);
    SheetPrintContext sheets;
    sheets.state = &p.app->state();
    sheets.messages = &p.messages;
    CPrintSelectDialog print_select(sheets, p.runner);

    struct Row {
        const char* name;
        DialogPresenter* presenter;
        std::function<void(DialogView&)> before = {};  // what the user has done first
    };
    const Row rows[] = {
        {"01_top_menu", &top},
        {"02_host_address", &host},
        {"03_installer_menu", &installer},
        {"04_remote_menu", &remote},
        {"05_user_information", &user},
        {"06_data_setting_menu", &data_setting,
         [&](DialogView&) { data_setting.Press(CDataSettingMenuDialog::kDetails); }},
        {"07_data_file", &files},
        {"08_transfer_progress", &progress,
         [&](DialogView&) { progress.UpDatePrg(40); }},
        {"09_file_creation", &creation},
        {"10_connecting", &connecting},
        {"11_error", &error},
        {"12_about", &about},
        {"13_dial", &dial},
        {"14_print_select", &print_select},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DialogView view(*row.presenter);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
        if (row.before) row.before(view);
        Photograph(&view, row.name);
        ExpectWholeAndUncut(&view, row.name);
    }
    data_setting.Press(kIdCancel);
}

// Runs open(), which shows a modal window of the class; photographs and checks it, then cancels.
void PhotographWhileOpen(const char* class_name, const std::string& name,
                         const std::function<void()>& open) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->inherits(class_name) || !w->isVisible()) continue;
            seen = true;
            ASSERT_TRUE(QTest::qWaitForWindowActive(w));
            Photograph(w, name);
            ExpectWholeAndUncut(w, name);
            qobject_cast<QDialog*>(w)->done(QDialog::Rejected);
        }
    });
    open();
    EXPECT_TRUE(seen) << name;
}

TEST_F(Screens, MessageBoxesAndTheFileChooserInJapanese) {
    QtMessagePort port;
    PhotographWhileOpen("QMessageBox", "15_exit_question", [&] {
        port.ShowMessage("\u3000パソコンデータ設定用プログラム（Qz3/S）を終了しますか？", "終了確認",
                         MessageIcon::kQuestion, MessageButtons::kYesNo);
    });
    PhotographWhileOpen("QFileDialog", "16_file_chooser", [] {
        ChooseFile(FileChooserRequest{.save = false,
                                      .title = "ファイルの選択",
                                      .filter = CDataFileDialog::FilterFor(1),
                                      .default_extension = "qzdat"});
    });
}

}  // namespace
}  // namespace qzs::app::ui
