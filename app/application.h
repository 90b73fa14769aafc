// The one application object: start-up and shut-down of the program, the state of the data image
// it owns, and the few globals of the shell (start directory, online mode). Other parts reach it
// through TheApplication().
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/data_file_dialog.h"
#include "app/dialog.h"
#include "net/transfer_files.h"
#include "net/transfer_session.h"
#include "platform/dialup/dialup.h"
#include "programming/state.h"

namespace qzs::app {

// What the menus call of the program's one transfer session with a main unit.
using TransferSessionPort = net::TransferEntryPoints;

// What the windowed program gives the application: message boxes, modal dialogs, the cursor.
struct ShellPorts {
    MessagePort* messages = nullptr;
    DialogRunner* runner = nullptr;
    std::function<void(bool wait)> set_wait_cursor;
    // Makes the program's one transfer session; without it the session is a CTransferSession on
    // transfer_files, reaching the windows through these ports.
    std::function<std::unique_ptr<TransferSessionPort>()> make_session;
    // The converters of the transfer files; without them a transfer fails at its first file.
    net::TransferFileServices* transfer_files = nullptr;
    // One pass over the waiting GUI events.
    std::function<void()> pump;
    // Shows the window of a presenter without a modal loop; the answer hides and destroys it.
    std::function<std::function<void()>(DialogPresenter&)> show_modeless;
    // The menus the installer menu opens; a missing one leaves its button disabled.
    std::function<std::unique_ptr<DialogPresenter>()> make_data_setting_menu;
    std::function<std::unique_ptr<DialogPresenter>()> make_print_selection;
    // The offline data file dialog, for the data-setting menu to open; it loads and saves through
    // the program's data image.
    std::function<std::unique_ptr<CDataFileDialog>()> make_file_dialog;
    // Runs the work on the GUI thread in a later pass of its event loop; callable from any
    // thread. Without it the work runs at once on the calling thread.
    std::function<void(std::function<void()>)> post;
    // The dial-up links of the remote service; without them the top menu's remote button stays
    // disabled.
    plat::DialUpProvider* dialup = nullptr;
};

class CDataSettingApp {
  public:
    explicit CDataSettingApp(ShellPorts ports);
    ~CDataSettingApp();
    CDataSettingApp(const CDataSettingApp&) = delete;
    CDataSettingApp& operator=(const CDataSettingApp&) = delete;

    // Prepares the state and runs the top menu modally; answers false always (the program ends
    // when the top menu closes), as the framework expects.
    bool InitInstance();
    int ExitInstance();

    ProgrammingState& state() { return *state_; }
    ApplicationLock& lock() { return state_->lock; }
    const std::string& start_directory() const { return start_directory_; }
    int online_mode() const { return online_mode_; }
    void set_online_mode(int mode) { online_mode_ = mode; }

    TransferSessionPort* session() { return session_.get(); }
    void CreateSessionIfMissing();

    const ShellPorts& ports() const { return ports_; }
    // The program's converters work on this object's own state, so they can only be given once
    // it exists; before the first transfer.
    void set_transfer_files(net::TransferFileServices* files) { ports_.transfer_files = files; }
    void SetWaitCursor(bool wait) const;

  private:
    ShellPorts ports_;
    std::unique_ptr<ProgrammingState> state_;
    std::unique_ptr<TransferSessionPort> session_;
    std::string start_directory_;
    int online_mode_ = 0;
};

// The application object of this process; null before it exists and after it is gone.
CDataSettingApp* TheApplication();

}  // namespace qzs::app
