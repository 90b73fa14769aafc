// The transfer's file services over the program's state: the password from the listing of
// command group 0, the header record of a received file, and the offline phone-book files written
// before and read after a transfer. The converters of the transfer files themselves (the dset,
// phone-book and button files in the main unit's form) are added by a class that completes this
// one.
#pragma once

#include <functional>
#include <string>

#include "net/transfer_files.h"
#include "programming/state.h"

namespace qzs::app {

class StateTransferFiles : public net::TransferFileServices {
  public:
    // pump: one pass over the waiting GUI events, called once per record of a data file.
    StateTransferFiles(ProgrammingState& state, std::function<void()> pump);

    std::string PasswordSheetLine() override;
    std::string DataFileHeader() override;
    int SaveDataFile(int kind, const std::string& folder, const std::string& name,
                     int csv_layout) override;
    int LoadDataFile(int kind, const std::string& folder, const std::string& name,
                     int csv_layout) override;

  protected:
    ProgrammingState& state_;

  private:
    int Run(bool save, int kind, const std::string& folder, const std::string& name,
            int csv_layout);
    std::function<void()> pump_;
};

}  // namespace qzs::app
