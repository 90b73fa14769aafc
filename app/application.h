// The one application object: start-up and shut-down of the program, the state of the data image
// it owns, and the few globals of the shell (start directory, online mode). Other parts reach it
// through TheApplication().
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/dialog.h"
#include "programming/state.h"

namespace qzs::app {

// What the shell needs of the transfer session with a main unit. The top menu creates the one
// session of the program and the host dialog hands it the main unit's address; the transfer code
// stands behind this.
class TransferSessionPort {
  public:
    virtual ~TransferSessionPort() = default;
    virtual void SetHost(std::string_view host, int port) = 0;
};

// Until a transfer session exists, this keeps what the host dialog gives.
class HostOnlySession : public TransferSessionPort {
  public:
    void SetHost(std::string_view host, int port) override {
        host_ = std::string(host);
        port_ = port;
    }
    const std::string& host() const { return host_; }
    int port() const { return port_; }

  private:
    std::string host_;
    int port_ = 0;
};

// What the windowed program gives the application: message boxes, modal dialogs, the cursor.
struct ShellPorts {
    MessagePort* messages = nullptr;
    DialogRunner* runner = nullptr;
    std::function<void(bool wait)> set_wait_cursor;
    // Makes the program's one transfer session; the argument is the owner window (unused here).
    std::function<std::unique_ptr<TransferSessionPort>()> make_session;
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
