// The installer menu: its initial state, the four transfer roads around the session (order of the
// file work, confirmations, progress, messages), the menu kept inert while a transfer runs,
// "data-set.txt", and one road end to end against the simulated main unit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/data_file_dialog.h"
#include "app/installer_menu.h"
#include "app/progress.h"
#include "settings/data_image_startup.h"
#include "tests/app/app_test_support.h"
#include "tests/fixtures/main_unit/sim_main_unit.h"
#include "tests/net/fake_transfer_files.h"

namespace qzs::app {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedMessages;
using testing::ScriptedRunner;

class TempDir {
  public:
    TempDir() {
        char name[] = "/tmp/qzs-installer-XXXXXX";
        path_ = ::mkdtemp(name);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// A session that records what the menu asks of it and answers as told.
class RecordingSession : public TransferSessionPort {
  public:
    std::vector<std::string>* calls = nullptr;
    int answer = 0;
    std::function<void()> during;  // runs inside each transfer

    void SetHost(std::string_view, int) override {}
    void SetHosts(std::string_view, int, std::string_view, int) override {}
    void SetDataFolder(std::string_view folder) override {
        folder_ = std::string(folder);
        calls->push_back("SetDataFolder");
    }
    std::string GetDataFolder() const override { return folder_; }
    int Transfer(const char* name) {
        calls->push_back(name);
        ProgressRegistry::Instance().Post(kTransferProgressCaption, WM_UPDATE_PRG, 50);
        if (during) during();
        return answer;
    }
    int UploadUnitData(int remote) override {
        return Transfer(remote == 0 ? "UploadUnitData 0" : "UploadUnitData 1");
    }
    int DownloadUnitData(int remote) override {
        return Transfer(remote == 0 ? "DownloadUnitData 0" : "DownloadUnitData 1");
    }
    int UploadSpeedDial() override { return Transfer("UploadSpeedDial"); }
    int DownloadSpeedDial() override { return Transfer("DownloadSpeedDial"); }
    void ExportDataFiles() override {
        calls->push_back("ExportDataFiles");
        ProgressRegistry::Instance().Post(kFileCreationCaption, WM_UPDATE_PRG, 100);
    }

  private:
    std::string folder_;
};

struct Shell {
    ScriptedMessages messages;
    ScriptedRunner runner;
    qzs::testing::FakeTransferFiles files;
    std::vector<std::string> calls;
    RecordingSession* session = nullptr;
    std::vector<std::string> progress;  // "caption percent" of every bar update
    std::unique_ptr<CDataSettingApp> app;

    explicit Shell(bool fake_session = true) {
        ShellPorts ports;
        ports.messages = &messages;
        ports.runner = &runner;
        ports.transfer_files = &files;
        if (fake_session) {
            ports.make_session = [this] {
                auto s = std::make_unique<RecordingSession>();
                s->calls = &calls;
                session = s.get();
                return s;
            };
        }
        ports.show_modeless = [this](DialogPresenter& dialog) -> std::function<void()> {
            dialog.OnInit();
            dialog.changed = [this, &dialog] {
                const Control* bar = dialog.Find(ProgressDialogBase::kBar);
                if (bar != nullptr) {
                    progress.push_back(dialog.caption() + " " + std::to_string(bar->position));
                }
            };
            calls.push_back("show " + std::to_string(dialog.resource_id()));
            return [this, id = dialog.resource_id()] {
                calls.push_back("close " + std::to_string(id));
            };
        };
        app = std::make_unique<CDataSettingApp>(std::move(ports));
        InitDataImage(app->state());
        app->set_online_mode(1);
    }
    std::vector<std::string> FileCalls() const { return files.calls; }
};

TEST(InstallerMenu, InitialStateFollowsModeAndDuplicateFlag) {
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        Shell shell;
        shell.app->set_online_mode(mode);
        shell.app->state().duplicate_check_flag = 1;
        CInstallerMenuDialog menu(*shell.app);
        menu.OnInit();
        EXPECT_EQ(menu.caption(), "工事者用メニュー");
        for (int id :
             {CInstallerMenuDialog::kUnitUpload, CInstallerMenuDialog::kUnitDownload,
              CInstallerMenuDialog::kSpeedDialUpload, CInstallerMenuDialog::kSpeedDialDownload}) {
            EXPECT_EQ(menu.IsEnabled(id), mode == 1) << id;
        }
        // Their dialogs were not given: the data setting and the sheet printing stay shut.
        EXPECT_FALSE(menu.IsEnabled(CInstallerMenuDialog::kDataSetting));
        EXPECT_FALSE(menu.IsEnabled(CInstallerMenuDialog::kPrintSheets));
        EXPECT_TRUE(menu.Text(CInstallerMenuDialog::kDuplicatesRefused).starts_with("◉"));
        menu.Press(CInstallerMenuDialog::kDuplicatesAllowed);
        EXPECT_EQ(shell.app->state().duplicate_check_flag, 0);
        EXPECT_TRUE(menu.Text(CInstallerMenuDialog::kDuplicatesAllowed).starts_with("◉"));
        ASSERT_EQ(menu.SystemMenuItems().size(), 1u);
        EXPECT_EQ(menu.SystemMenuItems()[0].text, "KORVA-NVS のﾊﾞｰｼﾞｮﾝ情報(&A)...");
        menu.OnSystemCommand(0x13);
        EXPECT_EQ(shell.runner.opened, std::vector<int>{100});
        menu.Press(CInstallerMenuDialog::kUserInformation);
        EXPECT_EQ(shell.runner.opened.back(), 223);
        EXPECT_FALSE(menu.ended());
        menu.Press(CInstallerMenuDialog::kExit);
        EXPECT_EQ(menu.result(), 1);
    }
}

// A stand-in for a menu the installer menu opens.
class EndingMenu : public DialogPresenter {
  public:
    explicit EndingMenu(int id) : DialogPresenter(id, "menu", {}) {}
    void OnInit() override { End(kIdCancel); }

  protected:
    void OnCommand(int) override {}
};

TEST(InstallerMenu, TopMenuOpensItAndItOpensTheDataSettingMenu) {
    ScriptedMessages messages;
    ScriptedRunner runner;
    ShellPorts ports;
    ports.messages = &messages;
    ports.runner = &runner;
    ports.make_data_setting_menu = [] { return std::make_unique<EndingMenu>(222); };
    CDataSettingApp app(std::move(ports));
    FileDialogState().kind = 2;
    int kind_when_opened = -1;
    runner.user = [&](DialogPresenter& dialog) {
        if (dialog.resource_id() == 220) {
            dialog.Press(1135);  // files: the installer menu offline
            dialog.Press(1133);
        } else if (dialog.resource_id() == 102) {
            EXPECT_FALSE(dialog.IsEnabled(CInstallerMenuDialog::kUnitUpload));
            ASSERT_TRUE(dialog.IsEnabled(CInstallerMenuDialog::kDataSetting));
            dialog.Press(CInstallerMenuDialog::kDataSetting);
            dialog.Press(CInstallerMenuDialog::kExit);
        } else if (dialog.resource_id() == 222) {
            kind_when_opened = FileDialogState().kind;
        }
    };
    app.InitInstance();
    EXPECT_EQ(runner.opened, (std::vector<int>{220, 102, 222}));
    EXPECT_EQ(kind_when_opened, 0);
}

TEST(InstallerMenu, RoadsAroundTheSession) {
    struct Row {
        const char* name;
        int button;
        int answer;
        std::vector<std::string> calls;
        std::vector<std::string> file_calls;
        const char* last_text;
        const char* last_caption;
    };
    const std::string ok_upload = "\n主装置データアップロードが正常に終了しました。\n";
    const Row rows[] = {
        {"unit upload",
         CInstallerMenuDialog::kUnitUpload,
         0,
         {"show 339", "SetDataFolder", "UploadUnitData 0", "close 339"},
         {},
         "\n主装置データアップロードが正常に終了しました。\n",
         "主装置データアップロードの終了"},
        {"unit download",
         CInstallerMenuDialog::kUnitDownload,
         0,
         {"show 377", "SetDataFolder", "ExportDataFiles", "close 377", "show 339",
          "DownloadUnitData 0", "close 339"},
         {"SaveDataFile 1 sys-tan.txt 1", "SaveDataFile 2 tel-tan.txt 0"},
         "\n主装置データダウンロードが正常に終了しました。\n",
         "主装置データダウンロードの終了"},
        {"speed-dial upload",
         CInstallerMenuDialog::kSpeedDialUpload,
         0,
         {"show 339", "SetDataFolder", "UploadSpeedDial", "close 339"},
         {"LoadDataFile 1 sys-tan.txt 1", "LoadDataFile 2 tel-tan.txt 1"},
         "\n短縮データアップロードが正常に終了しました。\n",
         "短縮データアップロードの終了"},
        {"speed-dial download",
         CInstallerMenuDialog::kSpeedDialDownload,
         0,
         {"show 339", "SetDataFolder", "DownloadSpeedDial", "close 339"},
         {"SaveDataFile 1 sys-tan.txt 1", "SaveDataFile 2 tel-tan.txt 1"},
         "\n短縮データダウンロードが正常に終了しました。\n",
         "短縮データダウンロードの終了"},
        {"speed-dial upload failing loads nothing",
         CInstallerMenuDialog::kSpeedDialUpload,
         -1,
         {"show 339", "SetDataFolder", "UploadSpeedDial", "close 339"},
         {},
         "\n通信エラーが発生しました。\n",
         "エラー"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Shell shell;
        CInstallerMenuDialog menu(*shell.app);
        menu.OnInit();
        shell.app->CreateSessionIfMissing();
        shell.session->answer = row.answer;
        menu.Press(row.button);
        EXPECT_EQ(shell.calls, row.calls);
        EXPECT_EQ(shell.FileCalls(), row.file_calls);
        ASSERT_EQ(shell.messages.shown.size(), 2u);
        EXPECT_EQ(shell.messages.shown[0].buttons, MessageButtons::kOkCancel);
        EXPECT_EQ(shell.messages.shown[0].icon, MessageIcon::kQuestion);
        EXPECT_EQ(shell.messages.shown[1].text, row.last_text);
        EXPECT_EQ(shell.messages.shown[1].caption, row.last_caption);
        EXPECT_EQ(shell.messages.shown[1].icon,
                  row.answer == 0 ? MessageIcon::kInformation : MessageIcon::kExclamation);
        // The session's post reached the shown dialog; success ends at 100.
        EXPECT_NE(std::find(shell.progress.begin(), shell.progress.end(), "データ通信実行中 50"),
                  shell.progress.end());
        EXPECT_EQ(shell.progress.back() == "データ通信実行中 100", row.answer == 0);
        EXPECT_FALSE(menu.busy());
        EXPECT_TRUE(menu.IsEnabled(row.button));
    }
}

TEST(InstallerMenu, AKindWithoutAButtonDoesNothing) {
    for (int kind : {0, 5, -1, 99}) {
        SCOPED_TRACE(kind);
        Shell shell;
        CInstallerMenuDialog menu(*shell.app);
        menu.OnInit();
        EXPECT_EQ(menu.RunTransfer(kind), 1);
        EXPECT_TRUE(shell.calls.empty());
        EXPECT_TRUE(shell.FileCalls().empty());
        EXPECT_TRUE(shell.messages.shown.empty());
        EXPECT_FALSE(menu.busy());
        EXPECT_TRUE(menu.IsEnabled(CInstallerMenuDialog::kSpeedDialDownload));
        EXPECT_TRUE(menu.close_enabled());
    }
}

TEST(InstallerMenu, CancelledConfirmationDoesNothing) {
    for (int button :
         {CInstallerMenuDialog::kUnitUpload, CInstallerMenuDialog::kUnitDownload,
          CInstallerMenuDialog::kSpeedDialUpload, CInstallerMenuDialog::kSpeedDialDownload}) {
        Shell shell;
        CInstallerMenuDialog menu(*shell.app);
        menu.OnInit();
        shell.messages.answers = {kIdCancel};
        menu.Press(button);
        EXPECT_TRUE(shell.calls.empty()) << button;
        EXPECT_TRUE(shell.FileCalls().empty());
        EXPECT_EQ(shell.messages.shown.size(), 1u);
    }
}

TEST(InstallerMenu, MenuIsInertWhileATransferRuns) {
    Shell shell;
    CInstallerMenuDialog menu(*shell.app);
    menu.OnInit();
    shell.app->CreateSessionIfMissing();
    bool checked = false;
    shell.session->during = [&] {
        // What the pumping would deliver: a second press, Esc and the close box.
        EXPECT_FALSE(menu.IsEnabled(CInstallerMenuDialog::kSpeedDialUpload));
        EXPECT_FALSE(menu.close_enabled());
        const std::size_t before = shell.calls.size();
        menu.Press(CInstallerMenuDialog::kSpeedDialUpload);
        menu.OnEscape();
        menu.OnCloseRequest();
        EXPECT_EQ(shell.calls.size(), before);
        EXPECT_FALSE(menu.ended());
        checked = true;
    };
    menu.Press(CInstallerMenuDialog::kUnitUpload);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(menu.IsEnabled(CInstallerMenuDialog::kSpeedDialUpload));
    EXPECT_FALSE(menu.IsEnabled(CInstallerMenuDialog::kDataSetting));  // was shut before
    EXPECT_TRUE(menu.close_enabled());
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(InstallerMenu, DataSetFileJoinsTheRecordsOfTheDsetFiles) {
    TempDir dir;
    auto record = [](const std::string& text) {
        std::string r = text;
        r.resize(192, '\0');
        return r;
    };
    const std::string header(192, 'H');
    // Two records after the header, the second a short last block; a dset file of exactly one
    // record adds nothing; a missing one is skipped.
    std::ofstream(dir.path() / "dset-000.txt", std::ios::binary)
        << header << record("  \t*000#1\r\n") << std::string("\n*001#2");
    std::ofstream(dir.path() / "dset-9000.txt", std::ios::binary) << header;
    ASSERT_TRUE(BuildDataSetFile(dir.path().string() + "/"));
    const std::string text = ReadFile(dir.path() / "data-set.txt");
    ASSERT_EQ(text.size(), 192u + 8u + 6u);
    EXPECT_EQ(text.substr(12, 179), "," + std::string(24, ' ') + "," + std::string(24, ' ') + "," +
                                        std::string(24, ' ') + "," + std::string(24, ' ') + "," +
                                        std::string(72, ' ') + "," + std::string(4, ' ') + "\n");
    EXPECT_EQ(text[191], '\0');
    EXPECT_EQ(text.substr(192), "*000#1\r\n*001#2");
    EXPECT_FALSE(BuildDataSetFile((dir.path() / "missing").string() + "/"));
}

TEST(InstallerMenu, SpeedDialDownloadEndToEnd) {
    TempDir dir;
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    {
        Shell shell(false);
        qzs::testing::UnitConfig config;
        config.pc_port = qzs::testing::SimMainUnit::FreePort();
        qzs::testing::SimMainUnit unit(config);
        shell.app->InitInstance();  // takes the start directory; no runner window opens menus
        shell.app->set_online_mode(1);
        shell.app->CreateSessionIfMissing();
        auto* session = dynamic_cast<net::CTransferSession*>(shell.app->session());
        ASSERT_NE(session, nullptr);
        session->SetHost("127.0.0.1", unit.port());
        session->set_listening_port(config.pc_port);
        session->set_timings(net::TransferTimings::Fast());
        CInstallerMenuDialog menu(*shell.app);
        menu.OnInit();
        EXPECT_EQ(menu.RunTransfer(4), 0);
        unit.Join();
        EXPECT_TRUE(unit.errors().empty());
        ASSERT_EQ(unit.received().size(), 3u);
        EXPECT_EQ(unit.received()[0].second,
                  "<root>\n<systan>csv sys-tan.txt\r\n</systan>\n</root>\n");
        EXPECT_EQ(shell.progress.back(), "データ通信実行中 100");
        EXPECT_EQ(shell.messages.shown.back().text,
                  "\n短縮データダウンロードが正常に終了しました。\n");
    }
    fs::current_path(cwd);
}

}  // namespace
}  // namespace qzs::app
