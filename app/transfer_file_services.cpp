#include "app/transfer_file_services.h"

#include <ctime>

#include "app/progress.h"
#include "settings/data_file.h"
#include "settings/main_unit_files.h"
#include "settings/sheet_lines.h"

namespace qzs::app {

StateTransferFiles::StateTransferFiles(ProgrammingState& state, std::function<void()> pump)
    : state_(state), pump_(std::move(pump)) {}

namespace {

// The data image and the settings beside it that applying a received file may change.
class StateCheckpoint : public net::ImageCheckpoint {
  public:
    explicit StateCheckpoint(ProgrammingState& state) : state_(state) {
        ApplicationLock::Guard guard(state_.lock);
        image_ = state_.image;
        modified_ = state_.modified;
        port619_flags_ = state_.port619_flags;
        one_touch_lock_flags_ = state_.one_touch_lock_flags;
        paged_button_lock_flags_ = state_.paged_button_lock_flags;
        dset082_digit_count_ = state_.dset082_digit_count;
    }
    void Restore() override {
        ApplicationLock::Guard guard(state_.lock);
        state_.image = image_;
        state_.modified = modified_;
        state_.port619_flags = port619_flags_;
        state_.one_touch_lock_flags = one_touch_lock_flags_;
        state_.paged_button_lock_flags = paged_button_lock_flags_;
        state_.dset082_digit_count = dset082_digit_count_;
    }

  private:
    ProgrammingState& state_;
    DataImage image_;
    ModifiedFlags modified_;
    Port619Flags port619_flags_;
    OneTouchLockFlags one_touch_lock_flags_{};
    PagedButtonLockFlags paged_button_lock_flags_{};
    std::int32_t dset082_digit_count_ = 0;
};

}  // namespace

std::unique_ptr<net::ImageCheckpoint> StateTransferFiles::Checkpoint() {
    return std::make_unique<StateCheckpoint>(state_);
}

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
    return qzs::FormatDataFileHeader(info, local);
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

TransferFileHooks StateTransferFiles::Hooks() {
    TransferFileHooks hooks;
    hooks.pump = pump_;
    hooks.step = [](int step) {
        ProgressRegistry::Instance().Post(kFileCreationCaption, WM_UPDATE_BYSTEP, step);
    };
    return hooks;
}

int StateTransferFiles::WriteDataSetFile(int group, const std::string& folder, int progress,
                                         int firmware_501) {
    return qzs::WriteDataSetFile(state_, group, folder, progress, firmware_501, Hooks());
}

int StateTransferFiles::MakeKeySheetFiles(const std::string& one_touch_path,
                                          const std::string& nandemo_path, int firmware_below4,
                                          int progress, int firmware_501) {
    return qzs::MakeKeySheetFiles(state_, one_touch_path, nandemo_path, firmware_below4, progress,
                                  firmware_501, Hooks());
}

int StateTransferFiles::MakeSysTanXml(std::FILE* source, std::FILE* target, int firmware_100) {
    return qzs::MakeSysTanXml(source, target, firmware_100);
}

int StateTransferFiles::MakeTelTanXml(std::FILE* source, std::FILE* target, int firmware_100) {
    return qzs::MakeTelTanXml(source, target, firmware_100);
}

int StateTransferFiles::ConvertSysTanXml(const std::vector<std::string>& systan, std::FILE* local,
                                         int firmware_100) {
    return qzs::ConvertSysTanXml(systan, local, firmware_100);
}

int StateTransferFiles::ConvertTelTanXml(const std::vector<std::string>& teltan, std::FILE* local,
                                         int firmware_100) {
    return qzs::ConvertTelTanXml(teltan, local, firmware_100);
}

int StateTransferFiles::ApplyOneTouchXml(const std::vector<std::string>& i92, std::FILE* local) {
    return qzs::ApplyOneTouchXml(state_, i92, local);
}

int StateTransferFiles::ApplyNandemoXml(const std::vector<std::string>& i14, std::FILE* local,
                                        int firmware_below4) {
    return qzs::ApplyNandemoXml(state_, i14, local, firmware_below4);
}

int StateTransferFiles::ApplyDsetElement(int number, const std::string& text, std::FILE* local,
                                         int firmware_501) {
    qzs::ApplyDsetElement(state_, number, text, local, firmware_501);
    return 1;
}

}  // namespace qzs::app
