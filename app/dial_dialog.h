// The dial dialog (353) of the remote service: it dials the chosen dial-up entry, follows the
// dial's status events, and once the link is up runs the transfer of its kind with the main unit
// at the far end of the link, then hangs up.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/dialog.h"
#include "app/progress.h"
#include "platform/dialup/dialup.h"

namespace qzs::app {

class CDataSettingApp;

class CDialDialog : public DialogPresenter {
  public:
    static constexpr int kDestination = 2661;
    static constexpr int kAreaCode = 2653;
    static constexpr int kPhoneNumber = 1298;
    static constexpr int kConnection = 2662;
    static constexpr int kDial = 2660;
    // The dial-up's own reason of a failed dial, under the message the dialog shows for it.
    static constexpr int kReason = 3205;
    // Posted to itself when the link is up.
    static constexpr int WM_DATATRANSFER_START = 1025;
    static constexpr const char* kUser = "604817";
    static constexpr const char* kPassword = "604817";

    CDialDialog(CDataSettingApp& app, plat::DialUpProvider& provider, int transfer_kind);
    // Stops listening and hangs up a link still live.
    ~CDialDialog() override;

    void OnInit() override;
    bool OnEnter() override;
    bool OnEscape() override;
    void OnCloseRequest() override;
    void OnSelect(int id, int index) override;

    // A status event of the provider, on the GUI thread.
    void OnChangeStatusRas1(const plat::DialEvent& event);
    // WM_DATATRANSFER_START and the connecting dialog's cancel notice (1125).
    void HandleMessage(int message);

    int transfer_kind() const { return transfer_kind_; }
    int link_state() const { return link_state_; }
    int hanging_up() const { return hanging_up_; }
    int last_status() const { return last_status_; }
    bool dialog_enabled() const { return dialog_enabled_; }
    bool connecting_open() const { return connecting_ != nullptr; }
    const std::string& connection_name() const { return connection_name_; }
    const std::string& server_address() const { return server_address_; }
    const std::string& client_address() const { return client_address_; }
    // The pause of each pump pass around the start of a transfer (100 ms); tests shorten it.
    void set_pump_pause_ms(int ms) { pump_pause_ms_ = ms; }

  protected:
    void OnCommand(int id) override;

  private:
    void OnDial();
    void OnCancel(int result);
    void HangUp();
    void StartFileTransfer();
    // Writes the files a download sends; false when one of them could not be written.
    [[nodiscard]] bool PrepareDataFiles();
    // The common error of a transfer that failed.
    void TransferError();
    void OpenConnecting();
    void HideConnecting();
    void CloseConnecting();
    void SetDialogEnabled(bool enabled);
    void Pump(int passes);
    void Error(const std::string& text, const char* caption = "エラー");
    // Queues the work for a later pass of the GUI loop; dropped when the dialog is gone by then.
    void Post(std::function<void(CDialDialog&)> work);

    CDataSettingApp& app_;
    plat::DialUpProvider& provider_;
    int transfer_kind_;
    std::string area_code_;  // as stored, padding and all
    std::string phone_number_;
    std::string connection_name_;
    std::string server_address_;
    std::string client_address_;
    int link_state_ = 0;
    int hanging_up_ = 0;
    int last_status_ = 0;
    int dial_ = 0;            // the number of the current dial; events of others are dropped
    bool dial_live_ = false;  // the provider has a dial or link of ours to hang up
    bool dialog_enabled_ = true;
    bool busy_ = false;  // a transfer runs inside the dialog's own handler
    int pump_pause_ms_ = 100;
    std::unique_ptr<CConnectingDialog> connecting_;
    std::function<void()> close_connecting_;
    std::shared_ptr<CDialDialog*> alive_;
};

}  // namespace qzs::app
