// The remote service: the remote menu, the dial dialog's start, dial, status events, transfer
// and hang-up on the fake dial-up provider and a recording session, and the error texts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/data_file_dialog.h"
#include "app/dial_dialog.h"
#include "app/dial_errors.h"
#include "app/progress.h"
#include "app/remote_menu.h"
#include "platform/dialup/fake_dialup.h"
#include "settings/data_image_startup.h"
#include "tests/app/app_test_support.h"
#include "tests/net/fake_transfer_files.h"

namespace qzs::app {
namespace {

namespace fs = std::filesystem;
using plat::DialEvent;
using plat::FakeDialUp;
using testing::ScriptedMessages;
using testing::ScriptedRunner;

class RecordingSession : public TransferSessionPort {
  public:
    std::vector<std::string>* calls = nullptr;
    int answer = 0;

    void SetHost(std::string_view, int) override {}
    void SetHosts(std::string_view host, int port, std::string_view local, int listen) override {
        calls->push_back("SetHosts " + std::string(host) + " " + std::to_string(port) + " " +
                         std::string(local) + " " + std::to_string(listen));
    }
    void SetDataFolder(std::string_view folder) override {
        folder_ = std::string(folder);
        calls->push_back("SetDataFolder");
    }
    std::string GetDataFolder() const override { return folder_; }
    int Transfer(std::string name) {
        calls->push_back(std::move(name));
        return answer;
    }
    int UploadUnitData(int remote) override {
        return Transfer("UploadUnitData " + std::to_string(remote));
    }
    int DownloadUnitData(int remote) override {
        return Transfer("DownloadUnitData " + std::to_string(remote));
    }
    int UploadSpeedDial() override { return Transfer("UploadSpeedDial"); }
    int DownloadSpeedDial() override { return Transfer("DownloadSpeedDial"); }
    int ExportDataFiles() override {
        calls->push_back("ExportDataFiles");
        return export_answer;
    }
    int export_answer = 0;

  private:
    std::string folder_;
};

template <std::size_t N>
void Put(std::array<char, N>& field, const std::string& text) {
    std::fill(field.begin(), field.end(), '\0');
    std::copy_n(text.begin(), std::min(text.size(), N - 1), field.begin());
}

struct Shell {
    ScriptedMessages messages;
    ScriptedRunner runner;
    qzs::testing::FakeTransferFiles files;
    FakeDialUp dialup;
    std::vector<std::string> calls;
    RecordingSession* session = nullptr;
    std::deque<std::function<void()>> posted;
    std::map<int, DialogPresenter*> open;  // the modeless windows shown, by resource id
    std::unique_ptr<CDataSettingApp> app;

    Shell() {
        ShellPorts ports;
        ports.messages = &messages;
        ports.runner = &runner;
        ports.transfer_files = &files;
        ports.dialup = &dialup;
        ports.make_session = [this] {
            auto s = std::make_unique<RecordingSession>();
            s->calls = &calls;
            session = s.get();
            return s;
        };
        ports.show_modeless = [this](DialogPresenter& dialog) -> std::function<void()> {
            dialog.OnInit();
            calls.push_back("show " + std::to_string(dialog.resource_id()));
            open[dialog.resource_id()] = &dialog;
            return [this, id = dialog.resource_id()] {
                calls.push_back("close " + std::to_string(id));
                open.erase(id);
            };
        };
        ports.post = [this](std::function<void()> work) { posted.push_back(std::move(work)); };
        app = std::make_unique<CDataSettingApp>(std::move(ports));
        InitDataImage(app->state());
        app->CreateSessionIfMissing();
        UserInfo("ユーザー", "03    ", "1234 5678           ");
        dialup.entries = {"first", "second", "third"};
        dialup.addresses = {"10.0.0.2", "10.0.0.1"};
    }
    void UserInfo(const std::string& user, const std::string& area, const std::string& phone) {
        UserInformation& info = app->state().user_information;
        std::string bytes;
        ToCp932(user, &bytes);
        Put(info.user_name, bytes);
        Put(info.area_code, area);
        Put(info.telephone_number, phone);
    }
    // Runs what the GUI loop would run next, until nothing waits.
    void RunPosted() {
        while (!posted.empty()) {
            auto work = std::move(posted.front());
            posted.pop_front();
            work();
        }
    }
    void Deliver() {
        dialup.Deliver();
        RunPosted();
    }
    std::unique_ptr<CDialDialog> Dialog(int kind) {
        auto dialog = std::make_unique<CDialDialog>(*app, dialup, kind);
        dialog->set_pump_pause_ms(0);
        dialog->OnInit();
        return dialog;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& m : messages.shown) out.push_back(m.caption + ": " + m.text);
        return out;
    }
};

std::vector<DialEvent> Connected() {
    return {{0, 0, 0, 0}, {0, 3, 0, 0}, {0, 4, 0, 0}, {0, 14, 0, 0}, {0, 8192, 0, 0}};
}

TEST(RemoteMenu, RadiosDoorsAndConfirmations) {
    Shell shell;
    shell.app->state().duplicate_check_flag = 1;
    CRemoteMenuDialog menu(*shell.app, shell.dialup);
    menu.OnInit();
    EXPECT_EQ(menu.caption(), "ＰＣリモートメニュー");
    EXPECT_EQ(menu.Text(CRemoteMenuDialog::kUnitUpload), "ﾘﾓｰﾄ主装置ﾃﾞｰﾀｱｯﾌﾟﾛｰﾄﾞ");
    EXPECT_TRUE(menu.IsChecked(CRemoteMenuDialog::kDuplicatesRefused));
    EXPECT_FALSE(menu.IsChecked(CRemoteMenuDialog::kDuplicatesAllowed));
    EXPECT_EQ(menu.Text(CRemoteMenuDialog::kDuplicatesAllowed),
              "「あり」：重複登録可（重複チェック無効）");
    menu.Press(CRemoteMenuDialog::kDuplicatesAllowed);
    EXPECT_EQ(shell.app->state().duplicate_check_flag, 0);
    EXPECT_TRUE(menu.IsChecked(CRemoteMenuDialog::kDuplicatesAllowed));
    EXPECT_FALSE(menu.IsChecked(CRemoteMenuDialog::kDuplicatesRefused));
    menu.Press(CRemoteMenuDialog::kDuplicatesRefused);
    EXPECT_EQ(shell.app->state().duplicate_check_flag, 1);
    EXPECT_FALSE(menu.IsEnabled(CRemoteMenuDialog::kDataSetting));
    EXPECT_FALSE(menu.IsEnabled(CRemoteMenuDialog::kPrintSheets));
    menu.Press(CRemoteMenuDialog::kUserInformation);
    EXPECT_EQ(shell.runner.opened, std::vector<int>{223});

    struct Row {
        int button;
        const char* caption;
        const char* text_start;
    } rows[] = {
        {CRemoteMenuDialog::kUnitUpload, "リモート主装置データアップロード確認",
         "\nリモート主装置データアップロードを開始します。\n"},
        {CRemoteMenuDialog::kUnitDownload, "リモート主装置データダウンロード確認",
         "\nリモート主装置データダウンロードを開始します。\n主装置側の短縮データ以外"},
        {CRemoteMenuDialog::kSpeedDialUpload, "リモート短縮データアップロード確認",
         "\nリモート短縮データアップロードを開始します。\n"},
        {CRemoteMenuDialog::kSpeedDialDownload, "リモート短縮データダウンロード確認",
         "\nリモート短縮データダウンロードを開始します。\n主装置側の短縮データが変更されます。"},
    };
    for (const Row& row : rows) {
        for (int answer : {kIdCancel, kIdOk}) {
            SCOPED_TRACE(std::string(row.caption) + " " + std::to_string(answer));
            shell.messages.shown.clear();
            shell.runner.opened.clear();
            shell.messages.answers = {answer};
            menu.Press(row.button);
            ASSERT_FALSE(shell.messages.shown.empty());
            EXPECT_EQ(shell.messages.shown[0].caption, row.caption);
            EXPECT_TRUE(shell.messages.shown[0].text.starts_with(row.text_start));
            EXPECT_EQ(shell.messages.shown[0].buttons, MessageButtons::kOkCancel);
            EXPECT_EQ(shell.messages.shown[0].icon, MessageIcon::kQuestion);
            EXPECT_EQ(shell.runner.opened,
                      answer == kIdOk ? std::vector<int>{353} : std::vector<int>{});
        }
    }
    // The dial dialogs opened and closed without a dial: nothing to hang up.
    EXPECT_EQ(shell.dialup.HangUpCount(), 0);
    menu.Press(CRemoteMenuDialog::kExit);
    EXPECT_EQ(menu.result(), 1);
}

TEST(RemoteMenu, TopMenuOpensItAndDataSettingResetsTheFileKind) {
    Shell shell;
    FileDialogState().kind = 2;
    int kind_when_opened = -1;
    class EndingMenu : public DialogPresenter {
      public:
        EndingMenu() : DialogPresenter(222, "menu", {}) {}
        void OnInit() override { End(kIdCancel); }

      protected:
        void OnCommand(int) override {}
    };
    ShellPorts ports = shell.app->ports();
    ports.make_data_setting_menu = [] { return std::make_unique<EndingMenu>(); };
    ports.make_session = nullptr;
    CDataSettingApp app(std::move(ports));
    shell.runner.user = [&](DialogPresenter& dialog) {
        if (dialog.resource_id() == 220) {
            ASSERT_TRUE(dialog.IsEnabled(1010));
            dialog.Press(1010);
            dialog.Press(1133);
        } else if (dialog.resource_id() == 379) {
            dialog.Press(CRemoteMenuDialog::kDataSetting);
            dialog.Press(CRemoteMenuDialog::kExit);
        } else if (dialog.resource_id() == 222) {
            kind_when_opened = FileDialogState().kind;
        }
    };
    app.InitInstance();
    EXPECT_EQ(shell.runner.opened, (std::vector<int>{220, 379, 222}));
    EXPECT_EQ(kind_when_opened, 0);
    // The remote menu made the session it dials for.
    EXPECT_NE(app.session(), nullptr);
}

TEST(DialDialog, StartShowsTheUserInformationAndListsEntriesLastFirst) {
    Shell shell;
    auto dialog = shell.Dialog(1);
    EXPECT_FALSE(dialog->ended());
    EXPECT_EQ(dialog->caption(), "発信先選択");
    EXPECT_EQ(dialog->Text(CDialDialog::kDestination), "ユーザー");
    EXPECT_EQ(dialog->Text(CDialDialog::kAreaCode), "03");
    EXPECT_EQ(dialog->Text(CDialDialog::kPhoneNumber), "1234 5678");
    const Control* combo = dialog->Find(CDialDialog::kConnection);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->items, (std::vector<std::string>{"third", "second", "first"}));
    EXPECT_EQ(combo->selected, 0);
    EXPECT_EQ(combo->text, "third");
    dialog->OnSelect(CDialDialog::kConnection, 2);
    EXPECT_EQ(dialog->connection_name(), "first");

    struct Row {
        const char* area;
        const char* phone;
        const char* message;
    } rows[] = {
        {"", "123", "市外局番が設定されていません。"},
        {" 03", "123", "市外局番が設定されていません。"},
        {"03", "", "電話番号が設定されていません。"},
        {"03", "  12", "電話番号が設定されていません。"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.area) + "/" + row.phone);
        Shell missing;
        missing.UserInfo(" ", row.area, row.phone);
        auto d = missing.Dialog(1);
        EXPECT_TRUE(d->ended());
        EXPECT_EQ(d->result(), 1);
        EXPECT_EQ(d->Text(CDialDialog::kDestination), "");
        EXPECT_EQ(missing.Texts(), std::vector<std::string>{std::string("エラー: ") + row.message});
    }
}

TEST(DialDialog, DialRefusalsAndPaddedFields) {
    struct Row {
        const char* name;
        int active_links;
        std::vector<std::string> entries;
        const char* area;
        int answer;
        std::vector<std::string> messages;
        bool dialled;
    } rows[] = {
        {"padded fields dial", 0, {"a"}, "03    ", 0, {}, true},
        {"another link is up",
         1,
         {"a"},
         "03",
         0,
         {"エラー: 既にダイヤルアップ接続中の為、発信できません。"},
         false},
        {"no entry",
         0,
         {},
         "03",
         0,
         {"エラー: 接続先が登録されていません。\nﾀﾞｲﾔﾙｱｯﾌﾟ接続を追加して下さい。"},
         false},
        {"refused", 0, {"a"}, "03", -2003, {"ダイヤルエラー: Entryが見つからない(-2003)"}, true},
        {"bad number", 0, {"a"}, "03-", 0, {"ダイヤルエラー: 引数が異常(-5)"}, false},
        {"provider's own",
         0,
         {"a"},
         "03",
         633,
         {"PPPエラー: PPPエラー  ポートは使用中です（ロックできません）",
          "ダイヤルエラー: ポートは使用中です（ロックできません）(633)"},
         true},
        {"line error first",
         0,
         {"a"},
         "03",
         static_cast<int>(0x80000018u),
         {"Error translating address: 通話ハンドル無効エラー", "PPPエラー: PPPエラー  不明なエラー",
          "ダイヤルエラー: 不明なエラー(-2147483624)"},
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Shell shell;
        shell.dialup.entries = row.entries;
        shell.dialup.active_links = row.active_links;
        shell.dialup.scripts.push_back({row.answer, {}});
        shell.UserInfo("u", row.area, "1234 5678   ");
        auto dialog = shell.Dialog(3);
        dialog->Press(CDialDialog::kDial);
        const auto calls = shell.dialup.Calls();
        const bool dialled = std::any_of(
            calls.begin(), calls.end(), [](const std::string& c) { return c.starts_with("Dial"); });
        EXPECT_EQ(dialled, row.dialled);
        EXPECT_EQ(shell.Texts(), row.messages);
        if (row.answer == 0 && row.messages.empty()) {
            EXPECT_EQ(calls.back(), "Dial a 0312345678  604817 604817 ");
            EXPECT_FALSE(dialog->dialog_enabled());
            EXPECT_TRUE(dialog->connecting_open());
        } else {
            EXPECT_TRUE(dialog->dialog_enabled());
            EXPECT_FALSE(dialog->connecting_open());
            EXPECT_EQ(shell.dialup.HangUpCount(), 0);
        }
    }
}

TEST(DialDialog, StatusEvents) {
    // Intermediate states: dialling; each is handed to the connecting dialog.
    for (int status : {0, 1, 22, 4096, 4099}) {
        Shell shell;
        shell.dialup.scripts.push_back({0, {{0, status, 0, 0}}});
        auto dialog = shell.Dialog(1);
        dialog->Press(CDialDialog::kDial);
        EXPECT_EQ(dialog->link_state(), 0);
        shell.Deliver();
        EXPECT_EQ(dialog->link_state(), 1) << status;
        EXPECT_EQ(dialog->last_status(), status);
        EXPECT_TRUE(dialog->connecting_open());
    }
    // An unknown state changes nothing but the last status.
    {
        Shell shell;
        shell.dialup.scripts.push_back({0, {{0, 0, 0, 0}, {0, 50, 0, 0}}});
        auto dialog = shell.Dialog(1);
        dialog->Press(CDialDialog::kDial);
        shell.Deliver();
        EXPECT_EQ(dialog->link_state(), 1);
        EXPECT_EQ(dialog->last_status(), 50);
    }
    // An error: its text as it stands, the dial-up's own reason in the log and on the detail
    // line, the link hung up, the connecting dialog gone, the dialog enabled.
    {
        Shell shell;
        shell.dialup.scripts.push_back({0, {{0, 0, 0, 0}, {0, 3, 691, 19}, {0, 8193, 0, 0}}});
        shell.dialup.reason = "CHAP authentication failed";
        auto dialog = shell.Dialog(1);
        dialog->Press(CDialDialog::kDial);
        EXPECT_EQ(dialog->Text(CDialDialog::kReason), "");
        ::testing::internal::CaptureStderr();
        shell.Deliver();
        const std::string log = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(shell.Texts(),
                  std::vector<std::string>{
                      "PPPエラー: PPPエラー  認証が拒否されました（ユーザー名またはパスワード）"});
        EXPECT_NE(log.find("CHAP authentication failed"), std::string::npos) << log;
        EXPECT_EQ(dialog->Text(CDialDialog::kReason), "CHAP authentication failed");
        EXPECT_EQ(shell.dialup.HangUpCount(), 1);
        EXPECT_FALSE(dialog->connecting_open());
        EXPECT_TRUE(dialog->dialog_enabled());
        EXPECT_EQ(dialog->link_state(), 0);
        EXPECT_EQ(dialog->last_status(), 0);  // the later 8193 was ignored
        EXPECT_NE(std::find(shell.calls.begin(), shell.calls.end(), "close 380"),
                  shell.calls.end());
    }
    // 8193 while dialling: idle, and nothing left to hang up.
    {
        Shell shell;
        shell.dialup.scripts.push_back({0, {{0, 0, 0, 0}, {0, 8193, 0, 0}}});
        auto dialog = shell.Dialog(1);
        dialog->Press(CDialDialog::kDial);
        shell.Deliver();
        EXPECT_EQ(dialog->link_state(), 0);
        EXPECT_EQ(dialog->last_status(), 8193);
        dialog->HandleMessage(CConnectingDialog::kCancelNotice);
        EXPECT_EQ(shell.dialup.HangUpCount(), 0);
        EXPECT_TRUE(dialog->dialog_enabled());
    }
    // Events after the hang-up, and of an older dial, are dropped.
    {
        Shell shell;
        shell.dialup.scripts.push_back({0, {{0, 0, 0, 0}}});
        shell.dialup.scripts.push_back({0, {{1, 8192, 0, 0}, {0, 5, 0, 0}}});
        auto dialog = shell.Dialog(1);
        dialog->Press(CDialDialog::kDial);
        shell.Deliver();
        dialog->HandleMessage(CConnectingDialog::kCancelNotice);
        EXPECT_EQ(shell.dialup.HangUpCount(), 1);
        dialog->OnChangeStatusRas1({1, 8192, 0, 0});
        EXPECT_EQ(dialog->link_state(), 0);
        dialog->Press(CDialDialog::kDial);  // the second dial: number 2
        shell.Deliver();
        EXPECT_EQ(dialog->link_state(), 1);
        EXPECT_EQ(dialog->last_status(), 5);
        EXPECT_TRUE(shell.posted.empty());
        EXPECT_EQ(std::count(shell.calls.begin(), shell.calls.end(), "UploadUnitData 1"), 0);
    }
}

TEST(DialDialog, TransfersPerKind) {
    struct Row {
        int kind;
        int answer;
        std::vector<std::string> calls;
        std::vector<std::string> file_calls;
        std::string last_message;
    };
    const std::string hosts = "SetHosts 10.0.0.1 9000 10.0.0.2 9000";
    const Row rows[] = {
        {1,
         0,
         {"show 380", "close 380", hosts, "SetDataFolder", "show 339", "UploadUnitData 1",
          "close 339"},
         {},
         "リモート主装置データアップロードの終了: "
         "\nリモート主装置データアップロードが正常に終了しま"
         "した。\n"},
        {2,
         0,
         {"show 377", "SetDataFolder", "ExportDataFiles", "close 377", "show 380", "close 380",
          hosts, "SetDataFolder", "show 339", "DownloadUnitData 1", "close 339"},
         {"SaveDataFile 1 sys-tan.txt 0", "SaveDataFile 2 tel-tan.txt 0"},
         "リモート主装置データダウンロードの終了: \nリモート主装置データダウンロードが正常に終了"
         "しました。\n"},
        {3,
         0,
         {"show 380", "close 380", hosts, "SetDataFolder", "show 339", "UploadSpeedDial",
          "close 339"},
         {"LoadDataFile 1 sys-tan.txt 1", "LoadDataFile 2 tel-tan.txt 1"},
         "リモート短縮データアップロードの終了: \nリモート短縮データアップロードが正常に終了しまし"
         "た。\n"},
        {4,
         0,
         {"show 377", "SetDataFolder", "close 377", "show 380", "close 380", hosts, "SetDataFolder",
          "show 339", "DownloadSpeedDial", "close 339"},
         {"SaveDataFile 1 sys-tan.txt 1", "SaveDataFile 2 tel-tan.txt 1"},
         "リモート短縮データダウンロードの終了: \nリモート短縮データダウンロードが正常に終了しまし"
         "た。\n"},
        {3,
         -1,
         {"show 380", "close 380", hosts, "SetDataFolder", "show 339", "UploadSpeedDial",
          "close 339"},
         {},
         "エラー: \n通信エラーが発生しました。\n"},
    };
    char name[] = "/tmp/qzs-remote-XXXXXX";
    const fs::path dir = ::mkdtemp(name);
    const fs::path cwd = fs::current_path();
    fs::current_path(dir);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.kind) + " " + std::to_string(row.answer));
        Shell shell;
        // The start directory is taken by the start-up; the test's runner opens nothing.
        shell.app->InitInstance();
        InitDataImage(shell.app->state());
        shell.UserInfo("u", "03", "1234");
        shell.calls.clear();
        shell.session->answer = row.answer;
        shell.dialup.scripts.push_back({0, Connected()});
        auto dialog = shell.Dialog(row.kind);
        dialog->Press(CDialDialog::kDial);
        shell.Deliver();
        EXPECT_EQ(shell.calls, row.calls);
        EXPECT_EQ(shell.files.calls, row.file_calls);
        EXPECT_EQ(shell.Texts().back(), row.last_message);
        EXPECT_EQ(shell.dialup.HangUpCount(), 1);
        EXPECT_TRUE(dialog->dialog_enabled());
        EXPECT_FALSE(dialog->ended());
        EXPECT_EQ(dialog->server_address(), "10.0.0.1");
        EXPECT_EQ(dialog->client_address(), "10.0.0.2");
        EXPECT_EQ(fs::exists(dir / "data-set.txt"), row.kind == 1 && row.answer == 0);
        fs::remove(dir / "data-set.txt");
        // 戻る after the transfer: the link is already down.
        dialog->Press(kIdCancel);
        EXPECT_EQ(shell.dialup.HangUpCount(), 1);
        EXPECT_TRUE(dialog->ended());
    }
    fs::current_path(cwd);
    fs::remove_all(dir);
}

// A download whose files cannot be written is never dialled: no older file is sent.
TEST(DialDialog, ADownloadWhoseFilesCannotBeWrittenIsNotDialled) {
    struct Row {
        const char* name;
        int kind;
        const char* failing_file;
        int export_answer;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {.name = "whole data, phone book",
         .kind = 2,
         .failing_file = "tel-tan.txt",
         .export_answer = 0,
         .calls = {"show 377", "SetDataFolder", "close 377"}},
        {.name = "whole data, dset files",
         .kind = 2,
         .failing_file = "",
         .export_answer = -1,
         .calls = {"show 377", "SetDataFolder", "ExportDataFiles", "close 377"}},
        {.name = "speed dial",
         .kind = 4,
         .failing_file = "sys-tan.txt",
         .export_answer = 0,
         .calls = {"show 377", "SetDataFolder", "close 377"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Shell shell;
        shell.app->CreateSessionIfMissing();
        shell.session->export_answer = row.export_answer;
        shell.files.failing_file = row.failing_file;
        auto dialog = shell.Dialog(row.kind);
        dialog->Press(CDialDialog::kDial);
        shell.Deliver();
        EXPECT_EQ(shell.calls, row.calls);
        const std::vector<std::string> dialup = shell.dialup.Calls();
        EXPECT_EQ(std::count_if(dialup.begin(), dialup.end(),
                                [](const std::string& c) { return c.starts_with("Dial "); }),
                  0);
        EXPECT_EQ(shell.Texts().back(), "エラー: \n通信エラーが発生しました。\n");
        EXPECT_TRUE(dialog->dialog_enabled());
    }
}

// The roads out of a dial under way (the dialog is disabled then: 戻る is not one of them; it
// follows the transfer in the table of kinds, where success and failure hang up once as well).
TEST(DialDialog, EveryRoadOutOfADialHangsUpOnce) {
    enum Road { kConnectingCancel, kClose, kEscape, kDestroyed };
    for (Road road : {kConnectingCancel, kClose, kEscape, kDestroyed}) {
        SCOPED_TRACE(road);
        Shell shell;
        shell.dialup.scripts.push_back({0, {{0, 0, 0, 0}, {0, 3, 0, 0}}});
        auto dialog = shell.Dialog(1);
        dialog->Press(CDialDialog::kDial);
        shell.Deliver();
        ASSERT_EQ(dialog->link_state(), 1);
        EXPECT_FALSE(dialog->IsEnabled(kIdCancel));
        switch (road) {
            case kConnectingCancel:
                dialog->HandleMessage(CConnectingDialog::kCancelNotice);
                EXPECT_FALSE(dialog->ended());
                EXPECT_TRUE(dialog->dialog_enabled());
                break;
            case kClose:
                dialog->OnCloseRequest();
                EXPECT_EQ(dialog->result(), kIdCancel);
                break;
            case kEscape:
                dialog->OnEscape();
                EXPECT_EQ(dialog->result(), 1);
                break;
            case kDestroyed:
                dialog.reset();
                break;
        }
        EXPECT_EQ(shell.dialup.HangUpCount(), 1);
        if (dialog) {
            EXPECT_EQ(dialog->ended(), road != kConnectingCancel);
            EXPECT_FALSE(dialog->connecting_open());
            // What still comes of that dial is dropped; leaving now hangs up nothing more.
            dialog->OnChangeStatusRas1({1, 8192, 0, 0});
            EXPECT_EQ(dialog->link_state(), 0);
            dialog->OnCloseRequest();
            dialog.reset();
        }
        EXPECT_EQ(shell.dialup.HangUpCount(), 1);
        shell.RunPosted();
    }
}

// The connecting dialog's キャンセル reaches the dial dialog as the posted notice.
TEST(DialDialog, ConnectingDialogCancelIsPosted) {
    Shell shell;
    shell.dialup.scripts.push_back({0, {{0, 0, 0, 0}, {0, 4097, 0, 0}}});
    auto dialog = shell.Dialog(1);
    dialog->Press(CDialDialog::kDial);
    shell.Deliver();
    ASSERT_EQ(shell.open.count(380), 1u);
    DialogPresenter* connecting = shell.open[380];
    EXPECT_EQ(connecting->caption(), "主装置接続中");
    EXPECT_EQ(connecting->Text(CConnectingDialog::kState), "主装置呼出中");
    connecting->Press(kIdCancel);
    // Nothing happens inside the connecting dialog's own handler.
    EXPECT_EQ(shell.dialup.HangUpCount(), 0);
    shell.RunPosted();
    EXPECT_EQ(shell.dialup.HangUpCount(), 1);
    EXPECT_FALSE(dialog->connecting_open());
    EXPECT_EQ(shell.open.count(380), 0u);
    EXPECT_TRUE(dialog->dialog_enabled());
    EXPECT_EQ(dialog->link_state(), 0);
}

TEST(DialErrors, RasErrorTexts) {
    struct Row {
        int code;
        const char* text;
    } rows[] = {
        {0, "エラーなし"},
        {-5, "引数が異常"},
        {-11, "このＯＳではサポートされていない機能"},
        {-1003, "ISiteインターフェイスをインスタンス化できない"},
        {-1010, "ScriptTypeプロパティで設定されている言語が見つからない"},
        {-2004, "Dial()が呼び出されていない (接続中ではない)"},
        {-2009, "指定のPhoneNumberのサイズが大きい"},
        {-2010, "指定のPhoneNumberのサイズが大きい"},
        {-2014, "Already exists"},
        {-2017, "指定のDevice Infoのサイズが大きい"},
        {-3001, "NetbiosとIPX/SPXがインストールされていません"},
        {-3012, "DNSへの要求でタイムアウト"},
        {-3021, "dns format error"},
        {-3028, "不正なパケット"},
    };
    for (const Row& row : rows) {
        ScriptedMessages messages;
        EXPECT_EQ(RasErrorText(row.code, nullptr, &messages, nullptr), row.text) << row.code;
        EXPECT_TRUE(messages.shown.empty());
    }
    // Every number of the table has a text; its gaps have none.
    int known = 0;
    for (int code = -3100; code <= 0; ++code) known += KnownRasErrorText(code).has_value();
    EXPECT_EQ(known, 11 + 8 + 17 + 28);
    for (int code : {-1, -12, -1002, -1011, -2000, -2018, -3000, -3029}) {
        EXPECT_FALSE(KnownRasErrorText(code).has_value()) << code;
    }

    FakeDialUp provider;
    struct Box {
        int code;
        const char* text;
    } boxes[] = {{676, "回線が話中か、キャリアが検出されませんでした"},
                 {600, "不明なエラー"},
                 {1000, "不明なエラー"},
                 {-6000, "不明なエラー"},
                 {7, "不明なエラー"}};
    for (const Box& box : boxes) {
        ScriptedMessages messages;
        int hidden = 0;
        EXPECT_EQ(RasErrorText(box.code, &provider, &messages, [&] { ++hidden; }), box.text);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, std::string("PPPエラー  ") + box.text);
        EXPECT_EQ(messages.shown[0].caption, "PPPエラー");
        EXPECT_EQ(messages.shown[0].icon, MessageIcon::kNone);
        EXPECT_EQ(hidden, 1);
    }
}

TEST(DialErrors, LineErrorTexts) {
    struct Row {
        std::uint32_t code;
        const char* text;  // null: no box, the code comes back
    } rows[] = {
        {0x80000001u, " LINEERR_ALLOCATED"},
        {0x80000018u, "通話ハンドル無効エラー"},
        {0x80000056u, " LINEERR_NOMULTIPLEINSTANCE"},
        {0x80000030u, " LINEERR_INVALMESSAGEID"},
        {0x80000032u, " LINEERR_INVALPARAM"},
        {0x80000004u, nullptr},
        {0x80000031u, nullptr},
        {0x80000000u, nullptr},
        {0x80000057u, nullptr},
        {static_cast<std::uint32_t>(-5), nullptr},
        {0u, nullptr},
    };
    for (const Row& row : rows) {
        ScriptedMessages messages;
        messages.answers = {kIdOk};
        const int code = static_cast<int>(row.code);
        const int answer = LineErrorText(code, "Error translating address", &messages);
        if (row.text == nullptr) {
            EXPECT_EQ(answer, code);
            EXPECT_TRUE(messages.shown.empty());
        } else {
            EXPECT_EQ(answer, kIdOk);
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, row.text);
            EXPECT_EQ(messages.shown[0].caption, "Error translating address");
        }
    }
    int named = 0;
    for (std::uint32_t code = 0x80000000u; code <= 0x80000060u; ++code) {
        named += !LineErrorName(static_cast<int>(code)).empty();
    }
    EXPECT_EQ(named, 84);
}

}  // namespace
}  // namespace qzs::app
