#include "app/data_setting_menu.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "settings/settings_pages.h"
#include "settings/speed_dial.h"

extern char** environ;

namespace qzs::app {

// The page table lives with the pages' descriptions, which the page generator writes from.
const std::vector<std::string>& SettingsPageNames() {
    return qzs::SettingsPageNames();
}

CDataSettingMenuDialog::CDataSettingMenuDialog(ProgrammingState& state, DataSettingMenuPorts ports)
    : DialogPresenter(222, "メニュー選択", {0, 0, 280, 290}),
      state_(state),
      ports_(std::move(ports)),
      server_(
          std::make_unique<net::CEasyHttpServer>(state.lock, ports_.forms, ports_.server_ports)) {
    Add({kDetails, ControlKind::kButton, "詳細設定", {40, 16, 200, 40}});
    Add({kLoad, ControlKind::kButton, "ファイルデータ読込", {40, 66, 200, 40}});
    Add({kSave, ControlKind::kButton, "ファイルデータ保存", {40, 116, 200, 40}});
    Control& label =
        Add({kAddressLabel, ControlKind::kLabel, "設定画面のアドレス：", {16, 166, 248, 18}});
    label.visible = false;
    Control& address = Add({kAddress, ControlKind::kReadOnlyEdit, "", {16, 186, 248, 24}});
    address.visible = false;
    Add({kIdCancel, ControlKind::kButton, "戻る", {150, 240, 90, 28}});
}

CDataSettingMenuDialog::~CDataSettingMenuDialog() {
    server_->Stop();
}

void CDataSettingMenuDialog::OnInit() {
    Enable(kDetails, true);
}

void CDataSettingMenuDialog::OnCommand(int id) {
    switch (id) {
        case kDetails:
            StartServerAndBrowser();
            break;
        case kLoad:
            OpenFileDialog(0);
            break;
        case kSave:
            // The saved file must hold the web edits still waiting in the working copy.
            CommitAllWhenChecking();
            OpenFileDialog(1);
            break;
        case kIdCancel:
            Leave();
            break;
        default:
            break;
    }
}

void CDataSettingMenuDialog::OnCloseRequest() {
    Leave();
}

bool CDataSettingMenuDialog::OnEscape() {
    Leave();
    return true;
}

void CDataSettingMenuDialog::Message(const char* text) {
    if (ports_.messages != nullptr) {
        ports_.messages->ShowMessage(text, "エラー", MessageIcon::kExclamation,
                                     MessageButtons::kOk);
    }
}

void CDataSettingMenuDialog::CommitAllWhenChecking() {
    ApplicationLock::Guard guard(state_.lock);
    if (state_.duplicate_check_flag == 1) CommitSpeedDialPage(state_, 1, 0, 2);
}

std::string CDataSettingMenuDialog::BrowserAddress() const {
    return "http://127.0.0.1:" + std::to_string(server_->BoundPort()) + "/";
}

void CDataSettingMenuDialog::StartServerAndBrowser() {
    if (!server_->IsRunning()) {
        const std::optional<std::uint64_t> memory =
            ports_.available_memory ? ports_.available_memory() : AvailableMemory();
        // Memory that cannot be told does not stop the server.
        if (memory && *memory < kMemoryNeeded) {
            Message("\nメモリ不足のため、\nサーバが起動できませんでした。\n");
            return;
        }
        server_->SetPort(ports_.port);
        server_->SetDocumentRoot(ports_.program_directory + "HTMLFiles/");
        server_->SetDefaultPage("01hosyu.html");
        for (const std::string& page : SettingsPageNames())
            server_->AddDynamicPage(page, "dlltest.dll");
        if (server_->Start() != 1) {
            server_->Stop();
            Message("\nサーバの起動に失敗しました。\n");
            return;
        }
        ApplicationLock::Guard guard(state_.lock);
        CommitSpeedDialPage(state_, 0, 0, 2);
    }
    // The server listens on the loopback address only, so the browser is sent there, on the
    // port actually bound. The menu shows that address for as long as the server runs.
    const std::string address = BrowserAddress();
    SetText(kAddress, address);
    Show(kAddressLabel, true);
    Show(kAddress, true);
    // While the opener is watched the windows are pumped; a second press meanwhile waits for it.
    if (opening_browser_) return;
    opening_browser_ = true;
    last_browser_start_ = ports_.open_browser ? ports_.open_browser(address)
                                              : OpenBrowserWithXdgOpen(address, ports_.pump);
    opening_browser_ = false;
    // A browser that cannot be started would otherwise leave the user with nothing, and the port
    // may not be the usual one.
    if (!last_browser_start_ && ports_.messages != nullptr) {
        ports_.messages->ShowMessage("\nブラウザを起動できませんでした。\n"
                                     "ブラウザで次のアドレスを開いてください。\n\n" +
                                         address + "\n",
                                     "エラー", MessageIcon::kExclamation, MessageButtons::kOk);
    }
}

void CDataSettingMenuDialog::OpenFileDialog(int mode) {
    FileDialogState().mode = mode;
    if (!ports_.make_file_dialog || ports_.runner == nullptr) return;
    std::unique_ptr<CDataFileDialog> dialog = ports_.make_file_dialog();
    if (dialog) ports_.runner->RunModal(*dialog);
}

void CDataSettingMenuDialog::Leave() {
    server_->Stop();
    Show(kAddressLabel, false);
    Show(kAddress, false);
    CommitAllWhenChecking();
    End(kIdCancel);
}

std::optional<std::uint64_t> AvailableMemory() {
    std::ifstream in("/proc/meminfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("MemAvailable:", 0) == 0) {
            std::istringstream fields(line.substr(13));
            std::uint64_t kilobytes = 0;
            if (fields >> kilobytes) return kilobytes * 1024;
        }
    }
    return std::nullopt;
}

std::string ProgramDirectory() {
    std::array<char, PATH_MAX> path{};
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) return "./";
    std::string text(path.data(), static_cast<std::size_t>(n));
    return text.substr(0, text.find_last_of('/') + 1);
}

bool OpenBrowserWithXdgOpen(const std::string& url, const std::function<void()>& pump,
                            std::chrono::milliseconds watch) {
    char program[] = "xdg-open";
    std::string address = url;
    char* argv[] = {program, address.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
    // xdg-open that finds no browser says so at once by its exit status; one that found a
    // browser may wait for it to end. Watched for a short while, then reaped on a thread of its
    // own so that the menu never waits for the browser.
    const auto until = std::chrono::steady_clock::now() + watch;
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0) return false;
        if (pump) pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::thread([pid] {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }).detach();
    return true;
}

}  // namespace qzs::app
