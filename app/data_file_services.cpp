#include "app/data_file_services.h"

#include "programming/state.h"
#include "settings/data_file.h"
#include "settings/speed_dial.h"
#include "settings/speed_dial_lines.h"

namespace qzs::app {

StateDataFileServices::StateDataFileServices(ProgrammingState& state, EventPump pump)
    : state_(state), pump_(std::move(pump)) {}

int StateDataFileServices::Run(bool save, int kind, const std::string& folder,
                               const std::string& name) {
    int records = 0;
    DataFileHooks hooks;
    hooks.progress = [this, &records] {
        if (pump_) pump_();
        ProgressRegistry::Instance().Post(kFileCreationCaption, WM_UPDATE_BYSTEP, ++records);
    };
    ApplicationLock::Guard guard(state_.lock);
    state_.data_file.folder = folder;
    state_.data_file.name = name;
    return save ? qzs::SaveDataFile(state_, kind, hooks) : qzs::LoadDataFile(state_, kind, hooks);
}

int StateDataFileServices::LoadDataFile(int kind, const std::string& folder,
                                        const std::string& name) {
    return Run(false, kind, folder, name);
}

int StateDataFileServices::SaveDataFile(int kind, const std::string& folder,
                                        const std::string& name) {
    return Run(true, kind, folder, name);
}

void StateDataFileServices::CommitSpeedDialPage(int flag, int page, int scope) {
    qzs::CommitSpeedDialPage(state_, flag, page, scope);
}

void StateDataFileServices::CountFreeSpeedDialRows(int telephone) {
    qzs::CountFreeSpeedDialRows(state_, telephone);
}

}  // namespace qzs::app
