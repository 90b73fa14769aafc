// The remote service's windows on the offscreen platform: the remote menu and the dial dialog
// with their texts, and a dial on the fake provider whose events cross from its thread into the
// real event loop and start the transfer.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/dial_dialog.h"
#include "app/remote_menu.h"
#include "app/ui/dialog_view.h"
#include "app/ui/qt_ports.h"
#include "platform/dialup/fake_dialup.h"
#include "settings/data_image_startup.h"
#include "tests/app/app_test_support.h"
#include "tests/fixtures/offscreen_widgets.h"

namespace qzs::app::ui {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new qzs_test::OffscreenWidgets("app_test_remote_views"));

class RecordingSession : public TransferSessionPort {
  public:
    std::vector<std::string> calls;
    void SetHost(std::string_view, int) override {}
    void SetHosts(std::string_view host, int, std::string_view local, int) override {
        calls.push_back("SetHosts " + std::string(host) + " " + std::string(local));
    }
    void SetDataFolder(std::string_view) override {}
    std::string GetDataFolder() const override { return {}; }
    int UploadUnitData(int) override { return Run("UploadUnitData"); }
    int DownloadUnitData(int) override { return Run("DownloadUnitData"); }
    int UploadSpeedDial() override { return Run("UploadSpeedDial"); }
    int DownloadSpeedDial() override { return Run("DownloadSpeedDial"); }
    int ExportDataFiles() override { return 0; }

  private:
    int Run(const char* name) {
        calls.push_back(name);
        return 0;
    }
};

struct Shell {
    testing::ScriptedMessages messages;
    testing::ScriptedRunner runner;
    plat::FakeDialUp dialup;
    RecordingSession* session = nullptr;
    std::unique_ptr<CDataSettingApp> app;
    Shell() {
        ShellPorts ports;
        ports.messages = &messages;
        ports.runner = &runner;
        ports.dialup = &dialup;
        ports.pump = &PumpEvents;
        ports.make_session = [this] {
            auto s = std::make_unique<RecordingSession>();
            session = s.get();
            return s;
        };
        ports.post = [](std::function<void()> work) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work),
                                      Qt::QueuedConnection);
        };
        ports.show_modeless = [](DialogPresenter& dialog) -> std::function<void()> {
            auto* view = new DialogView(dialog);
            view->setModal(false);
            view->show();
            return [view] {
                view->hide();
                delete view;
            };
        };
        app = std::make_unique<CDataSettingApp>(std::move(ports));
        InitDataImage(app->state());
        UserInformation& info = app->state().user_information;
        std::copy_n("03    ", 6, info.area_code.begin());
        std::copy_n("12345678", 8, info.telephone_number.begin());
        dialup.entries = {"office", "branch"};
        dialup.addresses = {"192.168.7.2", "192.168.7.1"};
    }
};

QString WidgetText(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    return {};
}

TEST(RemoteViews, MenuAndDialDialogShowTheirTexts) {
    Shell shell;
    CRemoteMenuDialog menu(*shell.app, shell.dialup);
    CDialDialog dial(*shell.app, shell.dialup, 3);
    struct Row {
        DialogPresenter* presenter;
        const char* caption;
        std::vector<std::pair<int, const char*>> texts;
    } rows[] = {
        {&menu,
         "ＰＣリモートメニュー",
         {{1080, "ﾘﾓｰﾄ主装置ﾃﾞｰﾀｱｯﾌﾟﾛｰﾄﾞ"},
          {2133, "ﾘﾓｰﾄ短縮ﾃﾞｰﾀﾀﾞｳﾝﾛｰﾄﾞ"},
          {1076, "終了"},
          {2566, "「あり」：重複登録可（重複チェック無効）"}}},
        {&dial,
         "発信先選択",
         {{2653, "03"}, {1298, "12345678"}, {2662, "branch"}, {2660, "発信"}, {2, "戻る"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.caption);
        DialogView view(*row.presenter);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        EXPECT_EQ(view.windowTitle(), QString::fromUtf8(row.caption));
        for (const auto& [id, text] : row.texts) {
            EXPECT_EQ(WidgetText(view.ControlWidget(id)), QString::fromUtf8(text)) << id;
        }
    }
    // The combo lists the last entry first; choosing one reaches the logic.
    CDialDialog again(*shell.app, shell.dialup, 3);
    DialogView view(again);
    auto* combo = qobject_cast<QComboBox*>(view.ControlWidget(CDialDialog::kConnection));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1), QStringLiteral("office"));
    emit combo->activated(1);
    EXPECT_EQ(again.connection_name(), "office");
}

TEST(RemoteViews, ADialThroughTheEventLoopReachesTheTransfer) {
    Shell shell;
    shell.app->CreateSessionIfMissing();
    shell.dialup.threaded = true;
    shell.dialup.scripts.push_back(
        {0, {{0, 0, 0, 0}, {0, 3, 0, 0}, {0, 4, 0, 0}, {0, 14, 0, 0}, {0, 8192, 0, 0}}});
    CDialDialog dial(*shell.app, shell.dialup, 3);
    dial.set_pump_pause_ms(1);
    DialogView view(dial);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QTest::mouseClick(view.ControlWidget(CDialDialog::kDial), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shell.messages.shown.empty(); }, 20000));
    EXPECT_EQ(shell.session->calls,
              (std::vector<std::string>{"SetHosts 192.168.7.1 192.168.7.2", "UploadSpeedDial"}));
    ASSERT_EQ(shell.messages.shown.size(), 1u);
    EXPECT_EQ(shell.messages.shown[0].caption, "リモート短縮データアップロードの終了");
    EXPECT_EQ(shell.dialup.HangUpCount(), 1);
    EXPECT_TRUE(view.ControlWidget(CDialDialog::kDial)->isEnabled());
    QTest::mouseClick(view.ControlWidget(kIdCancel), Qt::LeftButton);
    EXPECT_FALSE(view.isVisible());
    EXPECT_EQ(shell.dialup.HangUpCount(), 1);
}

}  // namespace
}  // namespace qzs::app::ui
