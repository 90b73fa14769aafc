// The user information dialog (223): the customer's texts that every data file carries.
#pragma once

#include "app/dialog.h"
#include "programming/state.h"

namespace qzs::app {

class CUserInfoDialog : public DialogPresenter {
  public:
    static constexpr int kUserName = 1296;
    static constexpr int kPersonInCharge = 1297;
    static constexpr int kAreaCode = 2653;
    static constexpr int kPhoneNumber = 2176;
    static constexpr int kInstallationDate = 1299;
    static constexpr int kMemo = 1300;

    CUserInfoDialog(ProgrammingState& state, MessagePort* messages);
    void OnInit() override;

  protected:
    void OnCommand(int id) override;

  private:
    void OnOK();
    ProgrammingState& state_;
    MessagePort* messages_;
};

}  // namespace qzs::app
