// The program's main window (the top menu) and the dialog that asks for the main unit's address.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "app/dialog.h"

namespace qzs::app {

class CDataSettingApp;

// Dialog 220.
class CTopMenuDialog : public DialogPresenter {
  public:
    static constexpr int kMainUnit = 1134;
    static constexpr int kFiles = 1135;
    static constexpr int kRemote = 1010;
    static constexpr int kExit = 1133;
    static constexpr int kVersion = 2503;
    static constexpr int kSupported = 2504;

    explicit CTopMenuDialog(CDataSettingApp& app);

    void OnInit() override;
    void OnCloseRequest() override;
    bool OnEnter() override { return true; }
    bool OnEscape() override;

    // The menus that the top menu opens are built elsewhere; until they are given, their buttons
    // stay disabled.
    using MenuFactory = std::function<std::unique_ptr<DialogPresenter>()>;
    void set_installer_menu(MenuFactory make) { make_installer_menu_ = std::move(make); }
    void set_remote_menu(MenuFactory make) { make_remote_menu_ = std::move(make); }

  protected:
    void OnCommand(int id) override;

  private:
    bool ConfirmExit();
    void UpdateButtons();

    CDataSettingApp& app_;
    MenuFactory make_installer_menu_;
    MenuFactory make_remote_menu_;
};

// Dialog 375.
class CHostAddressDialog : public DialogPresenter {
  public:
    static constexpr int kHost = 2550;
    static constexpr int kPort = 2548;
    static constexpr int kPortLabel = 2549;
    static constexpr int kAddress = 2547;

    explicit CHostAddressDialog(CDataSettingApp& app);
    void OnInit() override;

  protected:
    void OnCommand(int id) override;

  private:
    void Accept();
    CDataSettingApp& app_;
};

}  // namespace qzs::app
