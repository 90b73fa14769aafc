// The Qt windows of the shell's dialogs on the offscreen platform: each opens with its caption and
// texts, presses reach the logic, and the program itself starts and ends cleanly.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/application.h"
#include "app/data_file_dialog.h"
#include "app/error_dialog.h"
#include "app/installer_menu.h"
#include "app/print_dialogs.h"
#include "app/progress.h"
#include "app/top_menu.h"
#include "app/ui/dialog_view.h"
#include "app/user_info_dialog.h"
#include "settings/data_image_startup.h"
#include "tests/app/app_test_support.h"
#include "tests/fixtures/offscreen_widgets.h"

namespace qzs::app::ui {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new qzs_test::OffscreenWidgets("app_test_views"));

QString Caption(const std::string& text) {
    return QString::fromStdString(text);
}

std::filesystem::path ArtifactFolder() {
    const char* binary = std::getenv("QZS_BINARY_DIR");
    std::filesystem::path folder = std::filesystem::path(binary ? binary : ".") / "artifacts";
    std::filesystem::create_directories(folder);
    return folder;
}

struct Shell {
    testing::ScriptedMessages messages;
    testing::ScriptedRunner runner;
    std::unique_ptr<CDataSettingApp> app;
    Shell() {
        ShellPorts ports;
        ports.messages = &messages;
        ports.runner = &runner;
        app = std::make_unique<CDataSettingApp>(std::move(ports));
        InitDataImage(app->state());
    }
};

QString WidgetText(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    return {};
}

// Every control of the view shows what its presenter holds.
void ExpectViewShows(DialogView& view) {
    EXPECT_EQ(view.windowTitle(), Caption(view.presenter().caption()));
    for (const Control& c : view.presenter().controls()) {
        QWidget* w = view.ControlWidget(c.id);
        ASSERT_NE(w, nullptr) << c.id;
        if (c.kind == ControlKind::kButton || c.kind == ControlKind::kLabel ||
            c.kind == ControlKind::kEdit || c.kind == ControlKind::kReadOnlyEdit ||
            c.kind == ControlKind::kRadio || c.kind == ControlKind::kGroupBox) {
            EXPECT_EQ(WidgetText(w), Caption(c.text)) << c.id;
        }
        EXPECT_EQ(w->isVisibleTo(&view), c.visible) << c.id;
    }
}

TEST(Views, EachDialogOpensWithItsCaptionAndTexts) {
    Shell shell;
    CTopMenuDialog top(*shell.app);
    CHostAddressDialog host(*shell.app);
    CTransferProgressDialog transfer;
    transfer.SetKind(3, 1);
    CFileCreationDialog creation;
    CConnectingDialog connecting([](int) {});
    CErrorDialog error;
    error.SetMessage("登録済みの番号です");
    DataFilePorts ports;
    CDataFileDialog files(ports);
    CUserInfoDialog user(shell.app->state(), &shell.messages);
    CInstallerMenuDialog installer(*shell.app);
    // The sheet selection as the view shows it; nothing is printed here (the mode dialog starts
    // the engine when it opens: its view is shown with the engine's preview).
    SheetPrintContext sheets;
    sheets.state = &shell.app->state();
    sheets.messages = &shell.messages;
    CPrintSelectDialog sheetSelect(sheets, shell.runner);

    struct Row {
        DialogPresenter* presenter;
        const char* caption;
        int control;
        const char* text;
    };
    const Row rows[] = {
        {&top, "パソコンデータ設定用プログラム（Qz3/S）", 2503, "バージョン： \tVer 11.1.0.1"},
        {&host, "ホスト名/IPアドレス入力", 2550, ""},
        {&transfer, "データ通信実行中", 1006, "リモート短縮データアップロード実行中です。"},
        {&creation, "ファイル作成中", 1009, "0"},
        {&connecting, "主装置接続中", 1006, "主装置呼出中"},
        {&error, "エラー", 2568, "登録済みの番号です"},
        {&files, "ファイル選択", 2554, "共通電話帳ファイル"},
        {&user, "ユーザー情報設定", 1, "登録"},
        {&installer, "工事者用メニュー", 2132, "主装置データダウンロード"},
        {&sheetSelect, "システムデータシート印刷選択", 1007, "ボタン設定印刷"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.caption);
        DialogView view(*row.presenter);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        EXPECT_EQ(view.windowTitle(), QString::fromUtf8(row.caption));
        EXPECT_EQ(WidgetText(view.ControlWidget(row.control)), QString::fromUtf8(row.text));
        ExpectViewShows(view);
        if (row.presenter == &top) {
            view.grab().save(QString::fromStdString((ArtifactFolder() / "top_menu.png").string()));
        }
        if (row.presenter == &installer) {
            // The about box is offered on the window's context menu.
            ASSERT_EQ(view.actions().size(), 1);
            view.actions().front()->trigger();
            EXPECT_EQ(shell.runner.opened.back(), 100);
        }
        if (row.presenter == &sheetSelect) {
            view.grab().save(
                QString::fromStdString((ArtifactFolder() / "print_select.png").string()));
        }
        if (row.presenter == &user) {
            view.grab().save(
                QString::fromStdString((ArtifactFolder() / "user_information.png").string()));
        }
    }
}

TEST(Views, KeysAndClicksReachTheLogic) {
    Shell shell;
    CTopMenuDialog top(*shell.app);
    DialogView view(top);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    // Esc asks; No keeps the menu open.
    shell.messages.answers = {kIdNo};
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(shell.messages.shown.size(), 1u);
    // The exit button asks; Yes closes with result 1.
    shell.messages.answers = {kIdYes};
    QTest::mouseClick(view.ControlWidget(CTopMenuDialog::kExit), Qt::LeftButton);
    EXPECT_FALSE(view.isVisible());
    EXPECT_EQ(view.result(), 1);

    // Typing past a byte limit keeps the old text.
    CUserInfoDialog user(shell.app->state(), &shell.messages);
    DialogView user_view(user);
    user_view.show();
    auto* area = qobject_cast<QLineEdit*>(user_view.ControlWidget(CUserInfoDialog::kAreaCode));
    ASSERT_NE(area, nullptr);
    QTest::keyClicks(area, "0312345");
    EXPECT_EQ(area->text(), QStringLiteral("031234"));
    EXPECT_EQ(user.Text(CUserInfoDialog::kAreaCode), "031234");

    // A progress message repaints the bar through the presenter.
    CTransferProgressDialog progress;
    DialogView progress_view(progress);
    progress.HandleMessage(WM_UPDATE_PRG, 42);
    EXPECT_EQ(WidgetText(progress_view.ControlWidget(ProgressDialogBase::kPercent)),
              QStringLiteral("42"));
}

TEST(Program, StartsUnderTheOffscreenPlatformAndEndsCleanly) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("KORVA_QZS_SCRIPT", "exit", 1);
        ::execl(QZS_KORVA_QZS, QZS_KORVA_QZS, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    // Under the sanitizers a leak report would turn the exit code non-zero.
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Program, WithoutADisplayItSaysSoAndFails) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::unsetenv("QT_QPA_PLATFORM");
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::execl(QZS_KORVA_QZS, QZS_KORVA_QZS, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
}  // namespace qzs::app::ui
