#include "app/data_file_dialog.h"

#include <sys/statvfs.h>

#include <cstdio>
#include <filesystem>

namespace qzs::app {
namespace {

constexpr const char* kLoadTitle = "ファイルの選択";
constexpr const char* kSaveTitle = "ファイルの保存";
constexpr const char* kOpenErrorText =
    "ファイルが読み込めません。\n\n他のアプリケーションで使用していないか、確認して下さい。";

constexpr int kDataFileCreateError = 30;

// Folder with its trailing separator, and the bare name, of a chosen path.
void SplitPath(const std::string& path, std::string* folder, std::string* name) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        folder->clear();
        *name = path;
    } else {
        *folder = path.substr(0, slash + 1);
        *name = path.substr(slash + 1);
    }
}

}  // namespace

FileDialogGlobals& FileDialogState() {
    static FileDialogGlobals globals;
    return globals;
}

CDataFileDialog::CDataFileDialog(DataFilePorts ports)
    : DialogPresenter(378, "ファイル選択", {0, 0, 300, 260}), ports_(std::move(ports)) {
    Add({kDataSetting, ControlKind::kButton, "データ設定", {40, 16, 220, 36}});
    Add({kButtons,
         ControlKind::kButton,
         "ﾜﾝﾀｯﾁ・内線ﾜﾝﾀｯﾁ・ﾎﾞｯｸｽ・\nなんでもボタン設定ファイル",
         {40, 60, 220, 48}});
    Add({kCommonBook, ControlKind::kButton, "共通電話帳ファイル", {40, 116, 220, 36}});
    Add({kMyBook, ControlKind::kButton, "マイ電話帳ファイル", {40, 160, 220, 36}});
    Add({kIdCancel, ControlKind::kButton, "キャンセル", {170, 216, 90, 28}});
}

void CDataFileDialog::OnInit() {
    load_ = FileDialogState().mode == 0;
}

std::string CDataFileDialog::FilterFor(int dialog_kind) {
    if (dialog_kind == 1) return " qzdatﾌｧｲﾙ(*.qzdat)|*.qzdat|csvﾌｧｲﾙ(*.csv)|*.csv|";
    return " qzdatﾌｧｲﾙ(*.qzdat)|*.qzdat|";
}

std::uint64_t CDataFileDialog::RequiredFreeBytes(int dialog_kind) {
    switch (dialog_kind) {
        case 0:
            return 750000;
        case 1:
            return 7000;
        case 2:
            return 4000;
        default:
            return 50000;
    }
}

int CDataFileDialog::SubsystemKind(int dialog_kind) {
    return dialog_kind == 3 ? 146 : dialog_kind;
}

void CDataFileDialog::OnCommand(int id) {
    if (busy_) return;
    int kind = -1;
    switch (id) {
        case kDataSetting:
            kind = 0;
            break;
        case kButtons:
            kind = 3;
            break;
        case kCommonBook:
            kind = 1;
            break;
        case kMyBook:
            kind = 2;
            break;
        case kIdCancel:
            End(kIdCancel);
            return;
        default:
            return;
    }
    FileDialogState().kind = kind;
    if (load_) {
        LoadFile();
        // The phone book just loaded replaces what the web pages were editing.
        if ((kind == 1 || kind == 2) && ports_.files != nullptr) {
            ports_.files->CommitSpeedDialPage(0, 0, 2);
        }
    } else {
        SaveFile();
    }
}

void CDataFileDialog::OnCloseRequest() {
    if (busy_) return;
    DialogPresenter::OnCloseRequest();
}

void CDataFileDialog::Message(const char* text, const char* caption) {
    if (ports_.messages != nullptr) {
        ports_.messages->ShowMessage(text, caption, MessageIcon::kExclamation, MessageButtons::kOk);
    }
}

void CDataFileDialog::SetBusy(bool busy) {
    busy_ = busy;
    for (int id : {kDataSetting, kButtons, kCommonBook, kMyBook, kIdCancel}) Enable(id, !busy);
    set_close_enabled(!busy);
    if (ports_.set_wait_cursor) ports_.set_wait_cursor(busy);
}

void CDataFileDialog::LoadFile() {
    const int kind = FileDialogState().kind;
    const FileChooserRequest request{false, kLoadTitle, FilterFor(kind), "qzdat"};
    std::string folder;
    std::string name;
    for (;;) {
        if (!ports_.choose_file) return;
        const std::optional<std::string> path = ports_.choose_file(request);
        if (!path) return;
        std::error_code error;
        if (!std::filesystem::is_regular_file(*path, error)) {
            Message(" ファイルが見つかりません。再度ファイルを選択して下さい。", "ファイルの確認");
            continue;
        }
        std::FILE* file = std::fopen(path->c_str(), "rb");
        if (file == nullptr) {
            Message(kOpenErrorText, "オープンエラー");
            continue;
        }
        std::fclose(file);
        SplitPath(*path, &folder, &name);
        break;
    }
    if (ports_.files == nullptr) return;
    SetBusy(true);
    const int result = ports_.files->LoadDataFile(SubsystemKind(kind), folder, name);
    SetBusy(false);
    if (result == kDataFileCreateError) {
        Message("\nファイルがありません。\n", "エラー");
    } else if (result != 0) {
        Message("\nファイルデータ取得エラー発生\n", "エラー");
    }
}

void CDataFileDialog::SaveFile() {
    const int kind = FileDialogState().kind;
    const FileChooserRequest request{true, kSaveTitle, FilterFor(kind), "qzdat"};
    if (!ports_.choose_file) return;
    const std::optional<std::string> path = ports_.choose_file(request);
    if (!path) return;
    std::string folder;
    std::string name;
    SplitPath(*path, &folder, &name);

    if (ports_.files != nullptr && (kind == 1 || kind == 2)) {
        ports_.files->CountFreeSpeedDialRows(kind == 1 ? 0 : 1);
    }
    // When the volume cannot tell its free space, the save goes ahead: the data-file code writes
    // to a temporary name and reports a failed write, so nothing is lost by trying.
    const std::optional<std::uint64_t> free =
        ports_.free_bytes ? ports_.free_bytes(folder.empty() ? "." : folder)
                          : FreeBytesOfFolder(folder.empty() ? "." : folder);
    if (free && *free < RequiredFreeBytes(kind)) {
        Message("\n空き容量が不足しています。\n", "エラー");
        return;
    }
    if (ports_.files == nullptr) return;
    SetBusy(true);
    const int result = ports_.files->SaveDataFile(SubsystemKind(kind), folder, name);
    SetBusy(false);
    if (result != 0) Message("\nファイルデータ保存エラー発生\n", "エラー");
}

std::optional<std::uint64_t> FreeBytesOfFolder(const std::string& folder) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

}  // namespace qzs::app
