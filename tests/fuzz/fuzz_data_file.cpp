// Offline data files as they come from disk: the first byte chooses the kind (data setting,
// system or per-telephone speed-dial CSV, key sheet), the rest is the file. A load answers 0 or
// the format error, and a refused file leaves the user information as it was.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "programming/state.h"
#include "settings/data_file.h"
#include "settings/data_image_startup.h"
#include "settings/key_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static constexpr int kKinds[] = {qzs::kDataSettingKind, qzs::kSystemSpeedDialKind,
                                     qzs::kTelephoneSpeedDialKind, qzs::kKeySheetKind};
    static const std::unique_ptr<qzs::ProgrammingState> state = [] {
        auto s = std::make_unique<qzs::ProgrammingState>();
        qzs::InitDataImage(*s);
        return s;
    }();
    const int kind = kKinds[data[0] % 4];
    state->data_file.transfer_csv_layout = data[0] / 4 % 2;
    const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);
    const qzs::UserInformation before = state->user_information;
    const int result = qzs::LoadDataFileBytes(*state, kind, file);
    if (result != 0 && result != qzs::kDataFileFormatError) __builtin_trap();
    if (result != 0 && std::memcmp(&before, &state->user_information, sizeof before) != 0) {
        __builtin_trap();
    }
    // Every record's command is bounded by its printed form and value.
    for (std::size_t at = 0; at + qzs::kDataFileRecordBytes <= file.size();
         at += qzs::kDataFileRecordBytes) {
        if (qzs::DataFileCommand(file.substr(at, qzs::kDataFileRecordBytes)).size() > 64) {
            __builtin_trap();
        }
    }
    return 0;
}
