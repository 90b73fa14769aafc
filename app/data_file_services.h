// The data file dialog's services over the program's one ProgrammingState: each call holds the
// application lock around setting the folder and name and the load or save, keeps the windows
// alive once per record and tells the file-creation progress window (when one is shown) how far
// it got.
#pragma once

#include <functional>
#include <string>

#include "app/data_file_dialog.h"
#include "app/progress.h"

namespace qzs {
struct ProgrammingState;
}

namespace qzs::app {

class StateDataFileServices : public DataFileServices {
  public:
    // pump: one pass over the waiting GUI events, called once per record; may be empty.
    StateDataFileServices(ProgrammingState& state, EventPump pump);

    [[nodiscard]] int LoadDataFile(int kind, const std::string& folder,
                                   const std::string& name) override;
    [[nodiscard]] int SaveDataFile(int kind, const std::string& folder,
                                   const std::string& name) override;
    void CommitSpeedDialPage(int flag, int page, int scope) override;
    void CountFreeSpeedDialRows(int telephone) override;

  private:
    [[nodiscard]] int Run(bool save, int kind, const std::string& folder, const std::string& name);

    ProgrammingState& state_;
    EventPump pump_;
};

}  // namespace qzs::app
