// The remote menu (379): the four transfers over a dial-up link, each through the dial dialog,
// the phone-book duplicate setting, and the doors to the user information, the data-setting menu
// and the sheet printing, as on the installer menu.
#pragma once

#include "app/dialog.h"
#include "app/duplicate_setting.h"
#include "platform/dialup/dialup.h"

namespace qzs::app {

class CDataSettingApp;

class CRemoteMenuDialog : public DialogPresenter {
  public:
    static constexpr int kUserInformation = 1082;
    static constexpr int kPrintSheets = 1081;
    static constexpr int kUnitUpload = 1080;
    static constexpr int kUnitDownload = 2132;
    static constexpr int kSpeedDialUpload = 1083;
    static constexpr int kSpeedDialDownload = 2133;
    static constexpr int kDataSetting = 1077;
    static constexpr int kDuplicatesAllowed = 2566;
    static constexpr int kDuplicatesRefused = 2567;
    static constexpr int kExit = 1076;

    CRemoteMenuDialog(CDataSettingApp& app, plat::DialUpProvider& provider);

    void OnInit() override;

    // The confirmation of the kind and, on OK, the dial dialog for it. Answers 1 when the user
    // cancelled, else the dial dialog's result.
    int RunRemoteTransfer(int kind);

  protected:
    void OnCommand(int id) override;

  private:
    CDataSettingApp& app_;
    plat::DialUpProvider& provider_;
    DuplicateSetting duplicates_;
};

}  // namespace qzs::app
