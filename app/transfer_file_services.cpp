#include "app/transfer_file_services.h"

#include <ctime>

#include "app/progress.h"
#include "settings/data_file.h"
#include "settings/sheet_lines.h"

namespace qzs::app {

StateTransferFiles::StateTransferFiles(ProgrammingState& state, std::function<void()> pump)
    : state_(state), pump_(std::move(pump)) {}

std::string StateTransferFiles::PasswordSheetLine() {
    ListCommandGroup(state_, '0');
    const std::vector<SheetLine> lines = CopySheetLines(state_);
    if (lines.empty()) return {};
    return std::string(lines.front().data(), lines.front().size());
}

std::string StateTransferFiles::DataFileHeader() {
    UserInformation info;
    {
        ApplicationLock::Guard guard(state_.lock);
        info = state_.user_information;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return net::FormatDataFileHeader(info, local);
}

int StateTransferFiles::Run(bool save, int kind, const std::string& folder, const std::string& name,
                            int csv_layout) {
    int records = 0;
    DataFileHooks hooks;
    hooks.progress = [this, &records] {
        if (pump_) pump_();
        ProgressRegistry::Instance().Post(kFileCreationCaption, WM_UPDATE_BYSTEP, ++records);
    };
    ApplicationLock::Guard guard(state_.lock);
    state_.data_file.folder = folder;
    state_.data_file.name = name;
    state_.data_file.transfer_csv_layout = csv_layout;
    const int result =
        save ? qzs::SaveDataFile(state_, kind, hooks) : qzs::LoadDataFile(state_, kind, hooks);
    // Every other reader of the phone books keeps the column order of the offline files.
    state_.data_file.transfer_csv_layout = 0;
    return result;
}

int StateTransferFiles::SaveDataFile(int kind, const std::string& folder, const std::string& name,
                                     int csv_layout) {
    return Run(true, kind, folder, name, csv_layout);
}

int StateTransferFiles::LoadDataFile(int kind, const std::string& folder, const std::string& name,
                                     int csv_layout) {
    return Run(false, kind, folder, name, csv_layout);
}

}  // namespace qzs::app
