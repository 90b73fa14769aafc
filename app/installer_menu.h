// The installer menu (102): the four transfers with the main unit and their progress windows,
// the file "data-set.txt" after a whole-data upload, the phone-book duplicate setting, and the
// doors to the user information, the data-setting menu and the sheet printing.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/dialog.h"
#include "app/duplicate_setting.h"

namespace qzs::app {

class CDataSettingApp;

// Builds "data-set.txt" in the folder (with its trailing separator) from the dset files there:
// a header record of 192 bytes, then the records of each file without their leading blanks.
// False when the file could not be written.
bool BuildDataSetFile(const std::string& folder);

class CInstallerMenuDialog : public DialogPresenter {
  public:
    static constexpr int kUserInformation = 1082;
    static constexpr int kPrintSheets = 1081;
    static constexpr int kUnitUpload = 1080;
    static constexpr int kUnitDownload = 2132;
    static constexpr int kSpeedDialUpload = 1083;
    static constexpr int kSpeedDialDownload = 2133;
    static constexpr int kDataSetting = 1077;
    static constexpr int kDuplicatesAllowed = 2564;
    static constexpr int kDuplicatesRefused = 2565;
    static constexpr int kExit = 1076;
    // The system menu's item of the about box.
    static constexpr int kAboutCommand = 0x10;

    explicit CInstallerMenuDialog(CDataSettingApp& app);

    void OnInit() override;
    bool OnEscape() override;
    void OnCloseRequest() override;
    // The about box's item of the window menu, and its commands.
    std::vector<MenuItem> SystemMenuItems() const override;
    void OnSystemCommand(int id) override;

    // Runs one road of the menu: 1 main-unit upload, 2 its download, 3 speed-dial upload,
    // 4 speed-dial download. Answers 0 on success, -1 on failure, 1 when the user cancelled or the
    // kind is none of these.
    int RunTransfer(int kind);

    bool busy() const { return busy_; }

  protected:
    void OnCommand(int id) override;

  private:
    class InertGuard;

    int Confirm(const char* text, const char* caption);
    void Inform(const char* text, const char* caption);
    void CommunicationError();
    void SetInert(bool inert);
    void RunMenu(DialogPresenter* menu);
    std::string StartFolder() const;

    CDataSettingApp& app_;
    bool busy_ = false;
    std::vector<std::pair<int, bool>> saved_enabled_;
    DuplicateSetting duplicates_;
};

// Dialog 100.
class CAboutDialog : public DialogPresenter {
  public:
    CAboutDialog();

  protected:
    void OnCommand(int id) override;
};

}  // namespace qzs::app
