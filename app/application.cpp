#include "app/application.h"

#include <unistd.h>

#include <array>
#include <climits>

#include "app/installer_menu.h"
#include "app/progress.h"
#include "app/remote_menu.h"
#include "app/top_menu.h"
#include "settings/data_image_startup.h"

namespace qzs::app {
namespace {

CDataSettingApp* g_application = nullptr;

// The start directory keeps at most 260 characters and its terminator.
constexpr std::size_t kStartDirectoryLimit = 261;

}  // namespace

CDataSettingApp* TheApplication() {
    return g_application;
}

CDataSettingApp::CDataSettingApp(ShellPorts ports)
    : ports_(std::move(ports)), state_(std::make_unique<ProgrammingState>()) {
    g_application = this;
}

CDataSettingApp::~CDataSettingApp() {
    if (g_application == this) g_application = nullptr;
}

bool CDataSettingApp::InitInstance() {
    // A directory that cannot be read, or one longer than the buffer, leaves the start directory
    // empty: every path built from it is then relative to wherever the program runs.
    std::array<char, PATH_MAX> buffer{};
    if (::getcwd(buffer.data(), buffer.size()) != nullptr &&
        std::string_view(buffer.data()).size() < kStartDirectoryLimit) {
        start_directory_ = buffer.data();
    }
    {
        ApplicationLock::Guard guard(state_->lock);
        InitDataImage(*state_);
        state_->duplicate_check_flag = 0;
    }
    session_.reset();
    online_mode_ = 0;

    CTopMenuDialog top_menu(*this);
    top_menu.set_installer_menu([this] { return std::make_unique<CInstallerMenuDialog>(*this); });
    if (ports_.dialup != nullptr) {
        top_menu.set_remote_menu(
            [this] { return std::make_unique<CRemoteMenuDialog>(*this, *ports_.dialup); });
    }
    if (ports_.runner != nullptr) ports_.runner->RunModal(top_menu);
    return false;
}

int CDataSettingApp::ExitInstance() {
    session_.reset();
    return 0;
}

void CDataSettingApp::CreateSessionIfMissing() {
    if (session_ != nullptr) return;
    if (ports_.make_session) {
        session_ = ports_.make_session();
        return;
    }
    net::TransferPorts ports;
    ports.show_error = [this](std::string_view text) {
        if (ports_.messages != nullptr) {
            ports_.messages->ShowMessage(text, "エラー", MessageIcon::kWarning,
                                         MessageButtons::kOk);
        }
    };
    ports.post = [](std::string_view caption, int message, std::intptr_t wparam) {
        ProgressRegistry::Instance().Post(std::string(caption), message, wparam);
    };
    ports.pump = ports_.pump;
    session_ = std::make_unique<net::CTransferSession>(ports_.transfer_files, std::move(ports));
}

void CDataSettingApp::SetWaitCursor(bool wait) const {
    if (ports_.set_wait_cursor) ports_.set_wait_cursor(wait);
}

}  // namespace qzs::app
