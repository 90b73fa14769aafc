// Offline data files and the speed-dial CSV: the data image saved to and loaded from files of
// 192-byte records (a dated header with the user information, then sheet lines), the two
// speed-dial directories as CSV text, and the key sheet.
//
// The caller sets state.data_file (folder ending in '/', file name, CSV column order) and calls
// SaveDataFile / LoadDataFile in one hold of the ApplicationLock; both take it themselves too.
//
// Kinds: 0 data setting (the listings of command groups 0-9), 1 system speed-dial CSV, 2
// per-telephone speed-dial CSV, 146 the key sheet. Any other kind answers 0 and touches no file.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace qzs {

struct ProgrammingState;
struct UserInformation;

inline constexpr int kDataFileCreateError = 30;  // the file cannot be created or opened
inline constexpr int kDataFileWriteError = 31;   // a write, the close or the rename failed
inline constexpr int kDataFileFormatError = 32;  // not a file of the kind: nothing changed

inline constexpr int kDataSettingKind = 0;
inline constexpr int kSystemSpeedDialKind = 1;
inline constexpr int kTelephoneSpeedDialKind = 2;

inline constexpr std::size_t kDataFileRecordBytes = 192;

struct DataFileHooks {
    // Called once per record written or read: the program keeps its windows alive and advances
    // the file-creation progress.
    std::function<void()> progress;
    // The local time written into the header; the system's clock when empty.
    std::function<std::tm()> local_time;
};

// 0 saved; kDataFileCreateError when neither the file nor, after creating the folder with its
// parents, the file in it can be created; kDataFileWriteError when writing fails (the file is
// written under a temporary name and renamed over the old one, which a failure keeps).
[[nodiscard]] int SaveDataFile(ProgrammingState& state, int kind, const DataFileHooks& hooks = {});
// 0 loaded; kDataFileCreateError when the file cannot be opened; kDataFileFormatError when it is
// not a file of the kind (checked whole before anything changes).
[[nodiscard]] int LoadDataFile(ProgrammingState& state, int kind, const DataFileHooks& hooks = {});

// LoadDataFile on the bytes of a file already read: the same checks and the same answers.
[[nodiscard]] int LoadDataFileBytes(ProgrammingState& state, int kind, std::string_view file,
                                    const DataFileHooks& hooks = {});

// The command that one data-setting record replays: its printed form with the value filled in
// (and the fixed patches of a few commands); empty when the record is not well formed.
std::string DataFileCommand(std::string_view record);

// The first record of every data file: the local time and the six texts of the user
// information, 192 bytes ending in CR LF.
std::string FormatDataFileHeader(const UserInformation& info, const std::tm& local_time);

// Resets the tables that a complete data-setting file sets again.
void ClearImageTables(ProgrammingState& state);

}  // namespace qzs
