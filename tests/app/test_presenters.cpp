// The shell's dialogs driven through their logic: the top menu's exit question, the host checks,
// the progress arithmetic and registry, the error reports from several threads, the data file
// dialog's kinds, filters, free-space limits and busy state, and the user information limits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/data_file_dialog.h"
#include "app/data_setting_menu.h"
#include "app/error_dialog.h"
#include "app/progress.h"
#include "app/top_menu.h"
#include "app/user_info_dialog.h"
#include "settings/data_image_startup.h"
#include "settings/speed_dial.h"
#include "tests/app/app_test_support.h"

namespace qzs::app {
namespace {

using testing::ScriptedMessages;
using testing::ScriptedRunner;

constexpr const char* kExitQuestion =
    "\u3000パソコンデータ設定用プログラム（Qz3/S）を終了しますか？";

struct Shell {
    ScriptedMessages messages;
    ScriptedRunner runner;
    std::unique_ptr<CDataSettingApp> app;

    Shell() {
        ShellPorts ports;
        ports.messages = &messages;
        ports.runner = &runner;
        app = std::make_unique<CDataSettingApp>(std::move(ports));
        InitDataImage(app->state());
    }
};

// ---------------------------------------------------------------------------------------------
// Top menu

TEST(TopMenu, ExitQuestionDecidesWhetherTheMenuEnds) {
    enum class Way { kButton, kCloseBox, kEscape };
    struct Row {
        const char* name;
        Way way;
        int answer;
        bool ends;
        int result;
    };
    const Row rows[] = {
        {"exit button, Yes", Way::kButton, kIdYes, true, 1},
        {"exit button, No", Way::kButton, kIdNo, false, 0},
        {"close box, Yes", Way::kCloseBox, kIdYes, true, 2},
        {"close box, No", Way::kCloseBox, kIdNo, false, 0},
        {"Esc, Yes", Way::kEscape, kIdYes, true, 2},
        {"Esc, No keeps the menu and swallows the key", Way::kEscape, kIdNo, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Shell shell;
        CTopMenuDialog menu(*shell.app);
        menu.OnInit();
        shell.messages.answers = {row.answer};
        switch (row.way) {
            case Way::kButton:
                menu.Press(CTopMenuDialog::kExit);
                break;
            case Way::kCloseBox:
                menu.OnCloseRequest();
                break;
            case Way::kEscape:
                EXPECT_TRUE(menu.OnEscape());
                break;
        }
        ASSERT_EQ(shell.messages.shown.size(), 1u);
        EXPECT_EQ(shell.messages.shown[0].text, kExitQuestion);
        EXPECT_EQ(shell.messages.shown[0].caption, "終了確認");
        EXPECT_EQ(shell.messages.shown[0].buttons, MessageButtons::kYesNo);
        EXPECT_EQ(shell.messages.shown[0].icon, MessageIcon::kQuestion);
        EXPECT_EQ(menu.ended(), row.ends);
        if (row.ends) {
            EXPECT_EQ(menu.result(), row.result);
        }
    }
}

TEST(TopMenu, InitialisationWritesTheLabelsAndCreatesTheSession) {
    Shell shell;
    CTopMenuDialog menu(*shell.app);
    EXPECT_EQ(shell.app->session(), nullptr);
    menu.OnInit();
    EXPECT_EQ(menu.caption(), "パソコンデータ設定用プログラム（Qz3/S）");
    EXPECT_EQ(menu.Text(CTopMenuDialog::kVersion), "バージョン： \tVer 11.1.0.1");
    EXPECT_EQ(menu.Text(CTopMenuDialog::kSupported), "対応主装置版数：「1-X」～「11-X」");
    EXPECT_EQ(menu.Text(CTopMenuDialog::kMainUnit), "主装置設定");
    EXPECT_EQ(menu.Text(CTopMenuDialog::kFiles), "ファイル作成");
    EXPECT_EQ(menu.Text(CTopMenuDialog::kRemote), "リモートサービス");
    EXPECT_EQ(menu.Text(CTopMenuDialog::kExit), "終了");
    EXPECT_NE(shell.app->session(), nullptr);
}

// A stand-in installer menu that ends at once and records that it ran.
class EndingMenu : public DialogPresenter {
  public:
    explicit EndingMenu(int* runs) : DialogPresenter(102, "menu", {}), runs_(runs) {}
    void OnInit() override {
        ++*runs_;
        End(kIdCancel);
    }

  protected:
    void OnCommand(int) override {}

  private:
    int* runs_;
};

TEST(TopMenu, MainUnitButtonAsksForTheHostFirstAndFilesResetOnlineMode) {
    Shell shell;
    CTopMenuDialog menu(*shell.app);
    int installer_runs = 0;
    menu.set_installer_menu([&] { return std::make_unique<EndingMenu>(&installer_runs); });
    menu.OnInit();
    ASSERT_TRUE(menu.IsEnabled(CTopMenuDialog::kMainUnit));
    EXPECT_FALSE(menu.IsEnabled(CTopMenuDialog::kRemote));  // no remote menu given

    // Cancel in the host dialog: back to the top menu without the installer menu.
    shell.runner.user = [](DialogPresenter& d) {
        if (d.resource_id() == 375) d.Press(kIdCancel);
    };
    menu.Press(CTopMenuDialog::kMainUnit);
    EXPECT_EQ(shell.app->online_mode(), 1);
    EXPECT_EQ(installer_runs, 0);

    shell.runner.user = [](DialogPresenter& d) {
        if (d.resource_id() == 375) {
            d.OnEdit(CHostAddressDialog::kHost, "192.168.0.10");
            d.Press(kIdOk);
        }
    };
    menu.Press(CTopMenuDialog::kMainUnit);
    EXPECT_EQ(installer_runs, 1);
    auto* session = dynamic_cast<net::CTransferSession*>(shell.app->session());
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->host(), "192.168.0.10");
    EXPECT_EQ(session->port(), 9000);

    menu.Press(CTopMenuDialog::kFiles);
    EXPECT_EQ(shell.app->online_mode(), 0);
    EXPECT_EQ(installer_runs, 2);
}

TEST(HostAddress, ChecksTheHostAndThePort) {
    const std::string sixty_four(64, 'a');
    struct Row {
        const char* name;
        std::string host;
        std::string port;     // empty: the preset 9000
        const char* message;  // nullptr: accepted
    };
    const Row rows[] = {
        {"empty", "", "", "\nホスト名または、IPアドレスを入力してください。\n"},
        {"full-width letters", "ｍａｉｎ", "", "\nホスト名は半角英数字で入力してください。\n"},
        {"a kanji among ASCII", "pbx東京", "", "\nホスト名は半角英数字で入力してください。\n"},
        {"half-width katakana", "ﾎｽﾄ", "", nullptr},
        {"64 characters", sixty_four, "", nullptr},
        {"dotted address", "10.0.0.1", "", nullptr},
        {"port 0", "10.0.0.1", "0", "\nポート番号を入力してください。\n"},
        {"port not a number", "10.0.0.1", "abc", "\nポート番号を入力してください。\n"},
        {"port -1", "10.0.0.1", "-1", "\nポート番号を入力してください。\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Shell shell;
        CHostAddressDialog dialog(*shell.app);
        dialog.OnInit();
        EXPECT_EQ(dialog.Text(CHostAddressDialog::kPort), "9000");
        EXPECT_FALSE(dialog.IsVisible(CHostAddressDialog::kPort));
        ASSERT_TRUE(dialog.OnEdit(CHostAddressDialog::kHost, row.host));
        if (!row.port.empty()) dialog.SetText(CHostAddressDialog::kPort, row.port);
        dialog.Press(kIdOk);
        if (row.message == nullptr) {
            EXPECT_TRUE(dialog.ended());
            EXPECT_EQ(dialog.result(), kIdOk);
            EXPECT_TRUE(shell.messages.shown.empty());
        } else {
            EXPECT_FALSE(dialog.ended());
            ASSERT_EQ(shell.messages.shown.size(), 1u);
            EXPECT_EQ(shell.messages.shown[0].text, row.message);
            EXPECT_EQ(shell.messages.shown[0].caption, "エラー");
            EXPECT_EQ(shell.messages.shown[0].icon, MessageIcon::kExclamation);
        }
    }
}

TEST(HostAddress, TheEditTakesAtMostSixtyFourBytes) {
    Shell shell;
    CHostAddressDialog dialog(*shell.app);
    EXPECT_TRUE(dialog.OnEdit(CHostAddressDialog::kHost, std::string(64, 'x')));
    EXPECT_FALSE(dialog.OnEdit(CHostAddressDialog::kHost, std::string(65, 'x')));
    EXPECT_EQ(dialog.Text(CHostAddressDialog::kHost), std::string(64, 'x'));
}

// ---------------------------------------------------------------------------------------------
// Progress

TEST(Progress, StepArithmeticAndBounds) {
    struct Row {
        const char* name;
        int start, end, range;  // range -1: never set
        int message;
        int value;
        const char* shown;
        int bar;
    };
    const Row rows[] = {
        {"a quarter of 20-60", 20, 60, 1000, WM_UPDATE_BYSTEP, 250, "30", 30},
        {"past the end stops at the end", 20, 60, 1000, WM_UPDATE_BYSTEP, 5000, "60", 60},
        {"truncated toward zero", 0, 100, 3, WM_UPDATE_BYSTEP, 1, "33", 33},
        {"no range jumps to the end", 20, 60, -1, WM_UPDATE_BYSTEP, 1, "60", 60},
        {"no range and no end shows 0", 0, 0, -1, WM_UPDATE_BYSTEP, 7, "0", 0},
        {"a negative step is the start", 20, 60, 10, WM_UPDATE_BYSTEP, -3, "20", 20},
        {"steps never go below 0", -50, 60, 10, WM_UPDATE_BYSTEP, 0, "0", 0},
        {"steps never go above 100", 0, 300, 10, WM_UPDATE_BYSTEP, 9, "100", 100},
        {"a percent above 100 shows 100", 0, 0, -1, WM_UPDATE_PRG, 150, "100", 100},
        {"a negative percent shows as it came", 0, 0, -1, WM_UPDATE_PRG, -5, "-5", -5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CTransferProgressDialog dialog;
        dialog.SetKind(1, 0);
        dialog.OnInit();
        dialog.HandleMessage(WM_SET_STARTPOS, row.start);
        dialog.HandleMessage(WM_SET_ENDPOS, row.end);
        if (row.range >= 0) dialog.HandleMessage(WM_SET_RANGE, row.range);
        dialog.HandleMessage(row.message, row.value);
        EXPECT_EQ(dialog.Text(ProgressDialogBase::kPercent), row.shown);
        EXPECT_EQ(dialog.Find(ProgressDialogBase::kBar)->position, row.bar);
    }
}

TEST(Progress, LabelsByKindAndRemoteFlag) {
    struct Row {
        int kind, remote;
        const char* label;
    };
    const Row rows[] = {
        {1, 0, "主装置データアップロード実行中です。"},
        {2, 0, "主装置データダウンロード実行中です。"},
        {3, 0, "短縮データアップロード実行中です。"},
        {4, 0, "短縮データダウンロード実行中です。"},
        {2, 1, "リモート主装置データダウンロード実行中です。"},
        {0, 0, ""},
        {5, 1, "リモート"},
    };
    for (const Row& row : rows) {
        CTransferProgressDialog dialog;
        dialog.SetKind(row.kind, row.remote);
        dialog.OnInit();
        EXPECT_EQ(dialog.Text(ProgressDialogBase::kLabel), row.label) << row.kind;
        EXPECT_EQ(dialog.Text(ProgressDialogBase::kPercent), "0");
    }
}

TEST(Progress, EachUpdatePumpsABoundedNumberOfPasses) {
    int passes = 0;
    CTransferProgressDialog transfer;
    transfer.set_pump([&] { ++passes; });
    transfer.UpDatePrg(10);
    EXPECT_EQ(passes, 10);
    passes = 0;
    CFileCreationDialog files;
    files.set_pump([&] { ++passes; });
    files.HandleMessage(WM_UPDATE_BYSTEP, 1);
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(files.caption(), "ファイル作成中");
    EXPECT_EQ(files.Text(2558), "ダウンロード用ファイルを作成中です。");
}

TEST(Progress, EnterAndEscDoNothing) {
    CTransferProgressDialog dialog;
    dialog.OnInit();
    EXPECT_TRUE(dialog.OnEnter());
    EXPECT_TRUE(dialog.OnEscape());
    dialog.OnCloseRequest();
    EXPECT_FALSE(dialog.ended());
}

TEST(Progress, ConnectingDialogKeepsItsTextAndCancelTellsTheOwner) {
    std::vector<int> notices;
    CConnectingDialog dialog([&](int message) { notices.push_back(message); });
    dialog.OnInit();
    EXPECT_EQ(dialog.Text(CConnectingDialog::kState), "主装置呼出中");
    dialog.SetText(CConnectingDialog::kState, "something else");
    EXPECT_TRUE(dialog.HandleMessage(WM_UPDATE_PRG, 77));
    EXPECT_EQ(dialog.Text(CConnectingDialog::kState), "主装置呼出中");
    EXPECT_TRUE(dialog.OnEscape());
    EXPECT_FALSE(dialog.ended());
    dialog.Press(kIdCancel);
    EXPECT_EQ(notices, std::vector<int>{1125});
    EXPECT_TRUE(dialog.ended());
}

TEST(Progress, RegistryFindsTheNewestWindowOfACaption) {
    ProgressRegistry& registry = ProgressRegistry::Instance();
    EXPECT_FALSE(registry.Post(kFileCreationCaption, WM_UPDATE_PRG, 1));
    std::vector<std::pair<int, std::intptr_t>> first;
    std::vector<std::pair<int, std::intptr_t>> second;
    {
        ScopedProgressWindow a(kFileCreationCaption,
                               [&](int m, std::intptr_t w) { first.emplace_back(m, w); });
        EXPECT_TRUE(registry.Exists(kFileCreationCaption));
        EXPECT_FALSE(registry.Exists(kTransferProgressCaption));
        {
            ScopedProgressWindow b(kFileCreationCaption,
                                   [&](int m, std::intptr_t w) { second.emplace_back(m, w); });
            EXPECT_TRUE(registry.Post(kFileCreationCaption, WM_UPDATE_BYSTEP, 5));
        }
        EXPECT_TRUE(registry.Post(kFileCreationCaption, WM_SET_RANGE, 9));
    }
    EXPECT_FALSE(registry.Post(kFileCreationCaption, WM_UPDATE_PRG, 1));
    EXPECT_EQ(second, (std::vector<std::pair<int, std::intptr_t>>{{WM_UPDATE_BYSTEP, 5}}));
    EXPECT_EQ(first, (std::vector<std::pair<int, std::intptr_t>>{{WM_SET_RANGE, 9}}));
}

// ---------------------------------------------------------------------------------------------
// Error dialog

// Answers OK after a while and counts how many dialogs are open at once.
class SlowRunner : public DialogRunner {
  public:
    std::atomic<int> open{0};
    std::atomic<int> most{0};
    std::vector<std::string> texts;
    std::mutex texts_mutex;

    int RunModal(DialogPresenter& dialog) override {
        const int now = ++open;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        dialog.OnInit();
        {
            std::lock_guard lock(texts_mutex);
            texts.push_back(dialog.Text(CErrorDialog::kText));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        dialog.Press(kIdOk);
        --open;
        return dialog.result();
    }
};

TEST(ErrorDialog, ReportsFromManyThreadsComeOneAfterTheOther) {
    SlowRunner runner;
    std::atomic<int> on_gui_thread{0};
    std::mutex gui;  // stands for the one GUI thread
    ErrorReporter reporter(runner, [&](const std::function<void()>& work) {
        std::lock_guard lock(gui);
        ++on_gui_thread;
        work();
    });
    std::vector<std::thread> workers;
    std::atomic<int> results{0};
    for (int i = 0; i < 4; ++i) {
        workers.emplace_back([&, i] {
            if (reporter.Report("duplicate " + std::to_string(i)) == kIdOk) ++results;
        });
    }
    for (std::thread& t : workers) t.join();
    EXPECT_EQ(results, 4);
    EXPECT_EQ(runner.most, 1);
    EXPECT_EQ(on_gui_thread, 4);
    EXPECT_EQ(runner.texts.size(), 4u);
    CErrorDialog dialog;
    EXPECT_EQ(dialog.caption(), "エラー");
    EXPECT_EQ(dialog.Text(kIdOk), "OK");
}

// ---------------------------------------------------------------------------------------------
// Data file dialog

class FakeDataFiles : public DataFileServices {
  public:
    CDataFileDialog* dialog = nullptr;
    int result = 0;
    std::vector<std::string> calls;

    int LoadDataFile(int kind, const std::string& folder, const std::string& name) override {
        Record("load", kind, folder, name);
        return result;
    }
    int SaveDataFile(int kind, const std::string& folder, const std::string& name) override {
        Record("save", kind, folder, name);
        return result;
    }
    void CommitSpeedDialPage(int flag, int page, int scope) override {
        calls.push_back("commit " + std::to_string(flag) + "," + std::to_string(page) + "," +
                        std::to_string(scope));
    }
    void CountFreeSpeedDialRows(int telephone) override {
        calls.push_back("count " + std::to_string(telephone));
    }

  private:
    void Record(const char* what, int kind, const std::string& folder, const std::string& name) {
        calls.push_back(std::string(what) + " " + std::to_string(kind) + " " + folder + name);
        // While the file is read or written, the dialog cannot be closed and its buttons do
        // nothing.
        if (dialog != nullptr) {
            EXPECT_TRUE(dialog->busy());
            for (int id : {2552, 2553, 2554, 2555, kIdCancel}) EXPECT_FALSE(dialog->IsEnabled(id));
            EXPECT_FALSE(dialog->close_enabled());
            dialog->Press(CDataFileDialog::kDataSetting);
            dialog->OnCloseRequest();
            EXPECT_FALSE(dialog->ended());
        }
    }
};

class DataFileDialogTest : public ::testing::Test {
  protected:
    ScriptedMessages messages;
    FakeDataFiles files;
    std::deque<std::optional<std::string>> chosen;
    std::vector<FileChooserRequest> requests;
    std::optional<std::uint64_t> free_space = 1u << 30;
    std::vector<bool> cursor;
    std::filesystem::path folder;

    void SetUp() override {
        folder =
            std::filesystem::temp_directory_path() / ("qzs-datafile-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "saved.qzdat") << "x";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::unique_ptr<CDataFileDialog> Open(int mode) {
        FileDialogState().mode = mode;
        DataFilePorts ports;
        ports.messages = &messages;
        ports.files = &files;
        ports.choose_file = [this](const FileChooserRequest& r) {
            requests.push_back(r);
            if (chosen.empty()) return std::optional<std::string>();
            auto path = chosen.front();
            chosen.pop_front();
            return path;
        };
        ports.free_bytes = [this](const std::string&) { return free_space; };
        ports.set_wait_cursor = [this](bool wait) { cursor.push_back(wait); };
        auto dialog = std::make_unique<CDataFileDialog>(std::move(ports));
        dialog->OnInit();
        files.dialog = dialog.get();
        return dialog;
    }
    std::string Path(const char* name) { return (folder / name).string(); }
};

TEST_F(DataFileDialogTest, KindsFiltersAndWhatIsHandedOver) {
    struct Row {
        int button;
        int kind;
        int passed;
        bool csv;
    };
    const Row rows[] = {
        {2552, 0, 0, false}, {2553, 3, 146, false}, {2554, 1, 1, true}, {2555, 2, 2, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.button);
        for (int mode : {0, 1}) {
            files.calls.clear();
            requests.clear();
            auto dialog = Open(mode);
            chosen = {Path("saved.qzdat")};
            dialog->Press(row.button);
            EXPECT_EQ(FileDialogState().kind, row.kind);
            ASSERT_EQ(requests.size(), 1u);
            EXPECT_EQ(requests[0].save, mode == 1);
            EXPECT_EQ(requests[0].title, mode == 0 ? "ファイルの選択" : "ファイルの保存");
            EXPECT_EQ(requests[0].default_extension, "qzdat");
            EXPECT_EQ(requests[0].filter, row.csv
                                              ? " qzdatﾌｧｲﾙ(*.qzdat)|*.qzdat|csvﾌｧｲﾙ(*.csv)|*.csv|"
                                              : " qzdatﾌｧｲﾙ(*.qzdat)|*.qzdat|");
            const std::string call = std::string(mode == 0 ? "load " : "save ") +
                                     std::to_string(row.passed) + " " + folder.string() +
                                     "/saved.qzdat";
            EXPECT_NE(std::find(files.calls.begin(), files.calls.end(), call), files.calls.end())
                << call;
            // Loading a phone book resets the web pages' working copy from the rows just loaded.
            const bool commits = mode == 0 && (row.kind == 1 || row.kind == 2);
            EXPECT_EQ(files.calls.back() == "commit 0,0,2", commits);
            EXPECT_FALSE(dialog->busy());
            EXPECT_TRUE(dialog->IsEnabled(row.button));
            EXPECT_EQ(cursor.back(), false);
        }
    }
}

TEST_F(DataFileDialogTest, FreeSpaceLimitsOfEachKind) {
    struct Row {
        int button;
        std::uint64_t needed;
    };
    for (const Row& row : {Row{2552, 750000}, Row{2554, 7000}, Row{2555, 4000}, Row{2553, 50000}}) {
        for (std::uint64_t free : {row.needed - 1, row.needed}) {
            SCOPED_TRACE(std::to_string(row.button) + " with " + std::to_string(free));
            files.calls.clear();
            messages.shown.clear();
            free_space = free;
            auto dialog = Open(1);
            chosen = {Path("new.qzdat")};
            dialog->Press(row.button);
            const bool saved = !files.calls.empty() && files.calls.back().rfind("save", 0) == 0;
            EXPECT_EQ(saved, free >= row.needed);
            if (!saved) {
                ASSERT_EQ(messages.shown.size(), 1u);
                EXPECT_EQ(messages.shown[0].text, "\n空き容量が不足しています。\n");
            }
        }
    }
    // Space that cannot be told does not stop the save.
    files.calls.clear();
    free_space.reset();
    auto dialog = Open(1);
    chosen = {Path("new.qzdat")};
    dialog->Press(2552);
    ASSERT_FALSE(files.calls.empty());
    EXPECT_EQ(files.calls.back().rfind("save 0", 0), 0u);
}

TEST_F(DataFileDialogTest, LoadAsksAgainForAMissingFileAndReportsFailures) {
    auto dialog = Open(0);
    chosen = {Path("missing.qzdat"), Path("also-missing.qzdat"), std::nullopt};
    dialog->Press(2552);
    EXPECT_EQ(requests.size(), 3u);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, " ファイルが見つかりません。再度ファイルを選択して下さい。");
    EXPECT_EQ(messages.shown[0].caption, "ファイルの確認");
    EXPECT_TRUE(files.calls.empty());

    struct Row {
        int result;
        const char* message;  // nullptr: none
    };
    for (const Row& row : {Row{0, nullptr}, Row{30, "\nファイルがありません。\n"},
                           Row{5, "\nファイルデータ取得エラー発生\n"}}) {
        messages.shown.clear();
        files.result = row.result;
        chosen = {Path("saved.qzdat")};
        dialog->Press(2552);
        if (row.message == nullptr) {
            EXPECT_TRUE(messages.shown.empty());
        } else {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, row.message);
            EXPECT_EQ(messages.shown[0].caption, "エラー");
        }
        EXPECT_TRUE(dialog->IsEnabled(2552));
    }
    files.result = 1;
    messages.shown.clear();
    auto saver = Open(1);
    chosen = {Path("saved.qzdat")};
    saver->Press(2552);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "\nファイルデータ保存エラー発生\n");
    saver->Press(kIdCancel);
    EXPECT_TRUE(saver->ended());
}

// ---------------------------------------------------------------------------------------------
// Data-setting menu

struct MenuFixture {
    Shell shell;
    std::vector<std::string> browsers;
    bool browser_starts = true;
    std::optional<std::uint64_t> memory = 1u << 30;
    std::vector<int> file_dialog_modes;
    std::filesystem::path program_dir;

    MenuFixture() {
        program_dir = std::filesystem::temp_directory_path() /
                      ("qzs-menu-" + std::to_string(::getpid()) + "/");
        std::filesystem::create_directories(program_dir / "HTMLFiles");
        std::ofstream(program_dir / "HTMLFiles" / "01hosyu.html") << "start";
    }
    ~MenuFixture() { std::filesystem::remove_all(program_dir); }

    std::unique_ptr<CDataSettingMenuDialog> Open() {
        DataSettingMenuPorts ports;
        ports.messages = &shell.messages;
        ports.runner = &shell.runner;
        ports.available_memory = [this] { return memory; };
        ports.open_browser = [this](const std::string& url) {
            browsers.push_back(url);
            return browser_starts;
        };
        ports.program_directory = program_dir.string();
        ports.port = 0;
        ports.make_file_dialog = [this] {
            file_dialog_modes.push_back(FileDialogState().mode);
            return std::make_unique<CDataFileDialog>(DataFilePorts{});
        };
        auto menu = std::make_unique<CDataSettingMenuDialog>(shell.app->state(), std::move(ports));
        menu->OnInit();
        return menu;
    }
};

TEST(DataSettingMenu, MemoryLimitDecidesWhetherTheServerStarts) {
    for (std::uint64_t memory :
         {CDataSettingMenuDialog::kMemoryNeeded - 1, CDataSettingMenuDialog::kMemoryNeeded}) {
        SCOPED_TRACE(memory);
        MenuFixture f;
        f.memory = memory;
        auto menu = f.Open();
        menu->Press(CDataSettingMenuDialog::kDetails);
        const bool enough = memory >= CDataSettingMenuDialog::kMemoryNeeded;
        EXPECT_EQ(menu->server().IsRunning(), enough);
        EXPECT_EQ(f.browsers.size(), enough ? 1u : 0u);
        if (!enough) {
            ASSERT_EQ(f.shell.messages.shown.size(), 1u);
            EXPECT_EQ(f.shell.messages.shown[0].text,
                      "\nメモリ不足のため、\nサーバが起動できませんでした。\n");
        }
    }
}

TEST(DataSettingMenu, ServesThePagesBesideTheProgramAndOpensTheBrowserOnItsPort) {
    MenuFixture f;
    auto menu = f.Open();
    EXPECT_EQ(menu->caption(), "メニュー選択");
    menu->Press(CDataSettingMenuDialog::kDetails);
    ASSERT_TRUE(menu->server().IsRunning());
    const net::ServerSettings settings = menu->server().GetSettings();
    EXPECT_EQ(settings.document_root, f.program_dir.string() + "HTMLFiles/");
    EXPECT_EQ(settings.default_page, "01hosyu.html");
    EXPECT_EQ(menu->server().FindDynamicPage("/18nandemo_40m.html"), 1);
    EXPECT_EQ(menu->server().FindDynamicPage("/19one_11m.html"), 0);
    EXPECT_EQ(SettingsPageNames().size(), 164u);
    ASSERT_EQ(f.browsers.size(), 1u);
    EXPECT_EQ(f.browsers[0],
              "http://127.0.0.1:" + std::to_string(menu->server().BoundPort()) + "/");
    // A second press opens one more browser and changes nothing else.
    menu->Press(CDataSettingMenuDialog::kDetails);
    EXPECT_EQ(f.browsers.size(), 2u);
    menu->Press(kIdCancel);
    EXPECT_FALSE(menu->server().IsRunning());
    EXPECT_TRUE(menu->ended());
}

TEST(DataSettingMenu, TheAddressIsShownWhileTheServerRunsAndToldWhenNoBrowserStarts) {
    for (bool starts : {true, false}) {
        SCOPED_TRACE(starts);
        MenuFixture f;
        f.browser_starts = starts;
        auto menu = f.Open();
        EXPECT_FALSE(menu->IsVisible(CDataSettingMenuDialog::kAddress));
        menu->Press(CDataSettingMenuDialog::kDetails);
        ASSERT_TRUE(menu->server().IsRunning());
        const std::string address =
            "http://127.0.0.1:" + std::to_string(menu->server().BoundPort()) + "/";
        EXPECT_TRUE(menu->IsVisible(CDataSettingMenuDialog::kAddress));
        EXPECT_EQ(menu->Text(CDataSettingMenuDialog::kAddress), address);
        if (starts) {
            EXPECT_TRUE(f.shell.messages.shown.empty());
        } else {
            ASSERT_EQ(f.shell.messages.shown.size(), 1u);
            EXPECT_NE(f.shell.messages.shown[0].text.find(address), std::string::npos)
                << f.shell.messages.shown[0].text;
        }
        menu->Press(kIdCancel);
        EXPECT_FALSE(menu->IsVisible(CDataSettingMenuDialog::kAddress));
    }
}

// xdg-open as it is found on PATH: a stand-in that ends with a status, or none at all.
TEST(DataSettingMenu, TheOpenerFailsWhenXdgOpenIsMissingOrEndsWithAFailure) {
    struct Case {
        const char* script;  // nullptr: no xdg-open on PATH
        bool opened;
        bool waits = false;  // still running when the watch ends: the windows were pumped
    };
    const Case cases[] = {
        {.script = "#!/bin/sh\nexit 3\n", .opened = false},
        {.script = "#!/bin/sh\n[ \"$1\" = http://127.0.0.1:8080/ ] || exit 9\nexit 0\n", .opened = true},
        {.script = "#!/bin/sh\nexec sleep 2\n", .opened = true, .waits = true},
        {.script = nullptr, .opened = false},
    };
    const char* old_path = std::getenv("PATH");
    const std::string saved = old_path != nullptr ? old_path : "";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script != nullptr ? c.script : "missing");
        const std::filesystem::path bin = std::filesystem::temp_directory_path() /
                                          ("qzs-xdg-" + std::to_string(::getpid()));
        std::filesystem::create_directories(bin);
        if (c.script != nullptr) {
            std::ofstream(bin / "xdg-open") << c.script;
            std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
        }
        ::setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);
        if (c.script == nullptr) ::setenv("PATH", bin.string().c_str(), 1);
        int pumped = 0;  // the windows stay alive while the opener is watched
        EXPECT_EQ(OpenBrowserWithXdgOpen("http://127.0.0.1:8080/", [&pumped] { ++pumped; },
                                         std::chrono::milliseconds(500)),
                  c.opened);
        if (c.waits) {
            EXPECT_GT(pumped, 0);
        }
        ::setenv("PATH", saved.c_str(), 1);
        std::filesystem::remove_all(bin);
    }
}

TEST(DataSettingMenu, SpeedDialEditsAreCommittedWhenCheckingIsOn) {
    for (int flag : {0, 1}) {
        SCOPED_TRACE(flag);
        MenuFixture f;
        ProgrammingState& state = f.shell.app->state();
        state.duplicate_check_flag = flag;
        auto menu = f.Open();
        // An edit waiting in the working copy.
        SpeedDialRecord record{};
        std::snprintf(record.number.data(), record.number.size(), "0312345678");
        record.group = '1';
        ASSERT_EQ(StageSystemSpeedDial(state, 5, record, 0), 1);
        SpeedDialRecord live{};
        GetSystemSpeedDial(state, 5, live);
        const bool staged_only = std::string(live.number.data()).rfind("0312345678", 0) != 0;
        menu->Press(CDataSettingMenuDialog::kSave);
        ASSERT_EQ(f.file_dialog_modes, std::vector<int>{1});
        GetSystemSpeedDial(state, 5, live);
        if (flag == 1) {
            EXPECT_TRUE(staged_only);
            EXPECT_EQ(std::string(live.number.data()).substr(0, 10), "0312345678")
                << "saving commits the working copy first";
        }
        menu->Press(CDataSettingMenuDialog::kLoad);
        EXPECT_EQ(f.file_dialog_modes, (std::vector<int>{1, 0}));
        menu->OnEscape();
        EXPECT_TRUE(menu->ended());
    }
}

// ---------------------------------------------------------------------------------------------
// User information

std::string Repeat(const char* text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

TEST(UserInformationDialog, ByteLimitsCountShiftJisBytes) {
    Shell shell;
    CUserInfoDialog dialog(shell.app->state(), &shell.messages);
    dialog.OnInit();
    struct Row {
        int id;
        std::string text;
        bool taken;
    };
    const Row rows[] = {
        {CUserInfoDialog::kUserName, std::string(24, 'a'), true},
        {CUserInfoDialog::kUserName, std::string(25, 'a'), false},
        {CUserInfoDialog::kUserName, "株式会社東京電話工業所長", true},     // 12 kanji: 24 bytes
        {CUserInfoDialog::kUserName, "株式会社東京電話工業所長様", false},  // 26 bytes
        {CUserInfoDialog::kUserName, Repeat("ｱ", 24), true},  // half-width: one byte each
        {CUserInfoDialog::kUserName, Repeat("ｱ", 25), false},
        {CUserInfoDialog::kAreaCode, "033333", true},
        {CUserInfoDialog::kAreaCode, "0333333", false},
        // What the data-file header holds: 16 bytes of the number.
        {CUserInfoDialog::kPhoneNumber, std::string(16, '1'), true},
        {CUserInfoDialog::kPhoneNumber, std::string(17, '1'), false},
        {CUserInfoDialog::kMemo, std::string(72, 'm'), true},
        {CUserInfoDialog::kMemo, std::string(73, 'm'), false},
        {CUserInfoDialog::kPersonInCharge, "\xF0\x9F\x98\x80", false},  // no Shift-JIS form
    };
    for (const Row& row : rows) {
        EXPECT_EQ(dialog.OnEdit(row.id, row.text), row.taken) << row.id << " " << row.text;
    }
}

TEST(UserInformationDialog, StoresInOrderAndStopsAtABadNumber) {
    Shell shell;
    ProgrammingState& state = shell.app->state();
    CUserInfoDialog dialog(state, &shell.messages);
    dialog.OnInit();
    dialog.OnEdit(CUserInfoDialog::kUserName, "山田商事");
    dialog.OnEdit(CUserInfoDialog::kPersonInCharge, "鈴木");
    dialog.OnEdit(CUserInfoDialog::kAreaCode, "03-");
    dialog.OnEdit(CUserInfoDialog::kPhoneNumber, "12345678");
    dialog.OnEdit(CUserInfoDialog::kInstallationDate, "2026/12/10");
    dialog.Press(kIdOk);
    EXPECT_FALSE(dialog.ended());
    ASSERT_EQ(shell.messages.shown.size(), 1u);
    EXPECT_EQ(shell.messages.shown[0].text, "\n入力値エラーです。\n");
    EXPECT_EQ(shell.messages.shown[0].icon, MessageIcon::kWarning);
    const UserInformation& info = state.user_information;
    // The two names are already stored; nothing after the area code is.
    EXPECT_EQ(std::string(info.user_name.data(), 8), "\x8E\x52\x93\x63\x8F\xA4\x8E\x96");
    EXPECT_EQ(std::string(info.user_name.data()),
              "\x8E\x52\x93\x63\x8F\xA4\x8E\x96" + std::string(16, ' '));
    EXPECT_EQ(std::string(info.telephone_number.data()), std::string(24, ' '));
    EXPECT_EQ(std::string(info.installation_date.data()), std::string(24, ' '));

    dialog.OnEdit(CUserInfoDialog::kAreaCode, "");  // an empty number passes
    dialog.OnEdit(CUserInfoDialog::kPhoneNumber, "*12#");
    dialog.Press(kIdOk);
    EXPECT_TRUE(dialog.ended());
    EXPECT_EQ(std::string(info.area_code.data()), std::string(6, ' '));
    EXPECT_EQ(std::string(info.telephone_number.data()), "*12#" + std::string(12, ' '));
    EXPECT_EQ(std::string(info.installation_date.data()), "2026/12/10" + std::string(14, ' '));

    // Shown again: trailing blanks gone; a text beginning with a blank counts as not set.
    state.user_information.person_in_charge[0] = ' ';
    CUserInfoDialog again(state, &shell.messages);
    again.OnInit();
    EXPECT_EQ(again.Text(CUserInfoDialog::kUserName), "山田商事");
    EXPECT_EQ(again.Text(CUserInfoDialog::kPersonInCharge), "");
    EXPECT_EQ(again.Text(CUserInfoDialog::kPhoneNumber), "*12#");
    again.Press(kIdCancel);
    EXPECT_TRUE(again.ended());
    EXPECT_EQ(again.result(), kIdCancel);
}

// ---------------------------------------------------------------------------------------------
// Application object

TEST(Application, StartUpRunsTheTopMenuFromTheCurrentDirectory) {
    ScriptedMessages messages;
    ScriptedRunner runner;
    runner.user = [](DialogPresenter& d) {
        if (d.resource_id() == 220) d.Press(CTopMenuDialog::kExit);
    };
    ShellPorts ports;
    ports.messages = &messages;
    ports.runner = &runner;
    CDataSettingApp app(std::move(ports));
    EXPECT_EQ(TheApplication(), &app);
    // Whatever an earlier run left in the image, start-up begins from the factory image.
    app.state().image.BlockByte(0, 1)[0] = 0x77;
    ASSERT_FALSE(HasImageSignature(app.state().image));
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(runner.opened, std::vector<int>{220});
    EXPECT_EQ(app.start_directory(), std::filesystem::current_path().string());
    EXPECT_TRUE(HasImageSignature(app.state().image));
    EXPECT_EQ(app.online_mode(), 0);
    EXPECT_NE(app.session(), nullptr);
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(app.session(), nullptr);
}

}  // namespace
}  // namespace qzs::app
