// The transfer's file services over the program's state: the password from the listing of
// command group 0, the header record of a received file, the offline phone-book files written
// before and read after a transfer, and the converters of the transfer files themselves (the dset,
// phone-book and button files in the main unit's form). The writers post their steps to the
// file-creation progress window.
#pragma once

#include <functional>
#include <string>

#include "net/transfer_files.h"
#include "programming/state.h"
#include "settings/main_unit_files.h"

namespace qzs::app {

class StateTransferFiles : public net::TransferFileServices {
  public:
    // pump: one pass over the waiting GUI events, called once per record of a data file.
    StateTransferFiles(ProgrammingState& state, std::function<void()> pump);

    std::unique_ptr<net::ImageCheckpoint> Checkpoint() override;
    std::string PasswordSheetLine() override;
    std::string DataFileHeader() override;
    [[nodiscard]] int SaveDataFile(int kind, const std::string& folder, const std::string& name,
                                   int csv_layout) override;
    [[nodiscard]] int LoadDataFile(int kind, const std::string& folder, const std::string& name,
                                   int csv_layout) override;

    [[nodiscard]] int WriteDataSetFile(int group, const std::string& folder, int progress,
                                       int firmware_501) override;
    [[nodiscard]] int MakeKeySheetFiles(const std::string& one_touch_path,
                                        const std::string& nandemo_path, int firmware_below4,
                                        int progress, int firmware_501) override;
    int MakeSysTanXml(std::FILE* source, std::FILE* target, int firmware_100) override;
    int MakeTelTanXml(std::FILE* source, std::FILE* target, int firmware_100) override;
    int ConvertSysTanXml(const std::vector<std::string>& systan, std::FILE* local,
                         int firmware_100) override;
    int ConvertTelTanXml(const std::vector<std::string>& teltan, std::FILE* local,
                         int firmware_100) override;
    int ApplyOneTouchXml(const std::vector<std::string>& i92, std::FILE* local) override;
    int ApplyNandemoXml(const std::vector<std::string>& i14, std::FILE* local,
                        int firmware_below4) override;
    int ApplyDsetElement(int number, const std::string& text, std::FILE* local,
                         int firmware_501) override;

  protected:
    ProgrammingState& state_;

  private:
    TransferFileHooks Hooks();
    [[nodiscard]] int Run(bool save, int kind, const std::string& folder, const std::string& name,
                          int csv_layout);
    std::function<void()> pump_;
};

}  // namespace qzs::app
