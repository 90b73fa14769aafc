// The data-setting menu (222): starts the web server inside the program with the settings pages
// and opens the browser on it, and loads or saves offline data files through dialog 378.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/data_file_dialog.h"
#include "app/dialog.h"
#include "net/http_server.h"
#include "programming/state.h"

namespace qzs::app {

struct DataSettingMenuPorts {
    MessagePort* messages = nullptr;
    DialogRunner* runner = nullptr;
    // Makes the data file dialog for one visit.
    std::function<std::unique_ptr<CDataFileDialog>()> make_file_dialog;
    // Available physical memory in bytes; nothing when it cannot be told.
    std::function<std::optional<std::uint64_t>()> available_memory;
    // Opens the browser on the address; false when it could not be started.
    std::function<bool(const std::string& url)> open_browser;
    // One pass over the waiting GUI events, while the browser's opener is watched.
    std::function<void()> pump;
    // The folder of the program file, with its trailing separator.
    std::string program_directory;
    net::FormServices* forms = nullptr;
    net::ServerPorts server_ports;
    // The port the server asks for; tests use 0 (any free port).
    std::uint16_t port = 80;
};

// The 164 dynamic pages of the settings, in table order ("01hosyu_01m.html" ...).
const std::vector<std::string>& SettingsPageNames();

class CDataSettingMenuDialog : public DialogPresenter {
  public:
    static constexpr int kLoad = 1294;
    static constexpr int kSave = 1295;
    static constexpr int kDetails = 1077;
    // The settings pages' address while the server runs: a browser that could not start, or
    // that died after starting, still leaves the user the way in.
    static constexpr int kAddressLabel = 3221;
    static constexpr int kAddress = 3222;
    static constexpr std::uint64_t kMemoryNeeded = 12288000;

    CDataSettingMenuDialog(ProgrammingState& state, DataSettingMenuPorts ports);
    ~CDataSettingMenuDialog() override;

    void OnInit() override;
    void OnCloseRequest() override;
    bool OnEscape() override;

    net::CEasyHttpServer& server() { return *server_; }
    std::string BrowserAddress() const;

  protected:
    void OnCommand(int id) override;

  private:
    void StartServerAndBrowser();
    void OpenFileDialog(int mode);
    void Leave();
    void CommitAllWhenChecking();
    void Message(const char* text);

    ProgrammingState& state_;
    DataSettingMenuPorts ports_;
    std::unique_ptr<net::CEasyHttpServer> server_;
    bool last_browser_start_ = false;
    bool opening_browser_ = false;
};

// MemAvailable of /proc/meminfo in bytes.
std::optional<std::uint64_t> AvailableMemory();
// The folder of this program's file, with its trailing "/".
std::string ProgramDirectory();
// Starts xdg-open on the address with an argument vector (no shell); false when it cannot run
// or ends with a failure within its first seconds (no browser to hand the address to). The pump
// keeps the windows alive meanwhile; xdg-open still running then has handed the address on.
bool OpenBrowserWithXdgOpen(const std::string& url, const std::function<void()>& pump = {},
                            std::chrono::milliseconds watch = std::chrono::seconds(3));

}  // namespace qzs::app
