#include "app/installer_menu.h"

#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <memory>

#include "app/application.h"
#include "app/data_file_dialog.h"
#include "app/duplicate_setting.h"
#include "app/progress.h"
#include "app/user_info_dialog.h"

namespace qzs::app {
namespace {

constexpr const char* kCommunicationError = "\n通信エラーが発生しました。\n";
constexpr std::size_t kRecord = 192;

std::unique_ptr<ProgressDialogBase> TransferDialog(int kind) {
    auto dialog = std::make_unique<CTransferProgressDialog>();
    dialog->SetKind(kind, 0);
    return dialog;
}

}  // namespace

bool BuildDataSetFile(const std::string& folder) {
    std::string out(kRecord, '\0');
    {
        const std::time_t now = std::time(nullptr);
        std::tm t{};
        localtime_r(&now, &t);
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
                      t.tm_mday, t.tm_hour, t.tm_min);
        std::string header = stamp;
        for (int i = 0; i < 4; ++i) header += "," + std::string(24, ' ');
        header += "," + std::string(72, ' ');
        header += "," + std::string(4, ' ');
        header += '\n';
        header += '\0';
        out = header;
    }
    for (int group = 0; group <= 9; ++group) {
        char name[32];
        if (group < 9) {
            std::snprintf(name, sizeof name, "dset-%d00.txt", group);
        } else {
            std::snprintf(name, sizeof name, "dset-%d000.txt", group);
        }
        std::FILE* in = std::fopen((folder + name).c_str(), "rb");
        if (in == nullptr) continue;
        char block[kRecord];
        // Its own header record is skipped.
        if (std::fread(block, 1, kRecord, in) == kRecord) {
            std::size_t n = 0;
            while ((n = std::fread(block, 1, kRecord, in)) > 0) {
                std::string_view text(block, n);
                text = text.substr(0, text.find('\0'));
                while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
                    text.remove_prefix(1);
                }
                out += text;
            }
        }
        std::fclose(in);
    }
    // Written beside under a temporary name and renamed, so that a full disk leaves the old file.
    const std::string path = folder + "data-set.txt";
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

CInstallerMenuDialog::CInstallerMenuDialog(CDataSettingApp& app)
    : DialogPresenter(102, "工事者用メニュー", {0, 0, 520, 430}),
      app_(app),
      duplicates_(3008, kDuplicatesAllowed, kDuplicatesRefused) {
    Add({3001, ControlKind::kLabel, "共通設定項目", {16, 10, 230, 18}});
    Add({kUserInformation, ControlKind::kButton, "ユーザー情報設定", {16, 32, 230, 30}});
    Add({kPrintSheets, ControlKind::kButton, "システムデータシート印刷", {16, 68, 230, 30}});
    Add({3002, ControlKind::kLabel, "データ通信項目", {266, 10, 238, 18}});
    Add({kUnitUpload, ControlKind::kButton, "主装置データアップロード", {266, 32, 238, 30}});
    Add({3003, ControlKind::kLabel, "（主装置→ＰＣへデータ取得）", {266, 64, 238, 16}});
    Add({kUnitDownload, ControlKind::kButton, "主装置データダウンロード", {266, 84, 238, 30}});
    Add({3004, ControlKind::kLabel, "（ＰＣ→主装置へデータ書込）", {266, 116, 238, 16}});
    Add({kSpeedDialUpload, ControlKind::kButton, "短縮データアップロード", {266, 140, 238, 30}});
    Add({3005, ControlKind::kLabel, "（主装置→ＰＣへデータ取得）", {266, 172, 238, 16}});
    Add({kSpeedDialDownload, ControlKind::kButton, "短縮データダウンロード", {266, 192, 238, 30}});
    Add({3006, ControlKind::kLabel, "（ＰＣ→主装置へデータ書込）", {266, 224, 238, 16}});
    Add({3007, ControlKind::kLabel, "データ設定・短縮設定項目", {16, 110, 230, 18}});
    Add({kDataSetting, ControlKind::kButton, "データ設定", {16, 132, 230, 30}});
    for (const Control& control : duplicates_.Controls()) Add(control);
    Add({kExit, ControlKind::kButton, "終了", {404, 380, 100, 30}});
}

void CInstallerMenuDialog::OnInit() {
    if (app_.online_mode() == 0) {
        for (int id : {kUnitUpload, kUnitDownload, kSpeedDialDownload, kSpeedDialUpload}) {
            Enable(id, false);
        }
    }
    // The doors whose dialogs the program was not given stay shut.
    Enable(kDataSetting, static_cast<bool>(app_.ports().make_data_setting_menu));
    Enable(kPrintSheets, static_cast<bool>(app_.ports().make_print_selection));
    duplicates_.Show(*this, app_);
}

bool CInstallerMenuDialog::OnEscape() {
    if (!busy_) End(kIdCancel);
    return true;
}

void CInstallerMenuDialog::OnCloseRequest() {
    if (!busy_) End(kIdCancel);
}

std::vector<DialogPresenter::MenuItem> CInstallerMenuDialog::SystemMenuItems() const {
    return {{kAboutCommand, "KORVA-NVS のﾊﾞｰｼﾞｮﾝ情報(&A)..."}};
}

void CInstallerMenuDialog::OnSystemCommand(int id) {
    if ((id & ~0xF) != kAboutCommand || busy_) return;
    CAboutDialog about;
    if (app_.ports().runner != nullptr) app_.ports().runner->RunModal(about);
}

int CInstallerMenuDialog::Confirm(const char* text, const char* caption) {
    MessagePort* port = app_.ports().messages;
    if (port == nullptr) return kIdOk;
    return port->ShowMessage(text, caption, MessageIcon::kQuestion, MessageButtons::kOkCancel);
}

void CInstallerMenuDialog::Inform(const char* text, const char* caption) {
    if (MessagePort* port = app_.ports().messages) {
        port->ShowMessage(text, caption, MessageIcon::kInformation, MessageButtons::kOk);
    }
}

void CInstallerMenuDialog::CommunicationError() {
    if (MessagePort* port = app_.ports().messages) {
        port->ShowMessage(kCommunicationError, "エラー", MessageIcon::kExclamation,
                          MessageButtons::kOk);
    }
}

void CInstallerMenuDialog::SetInert(bool inert) {
    // While a transfer pumps the GUI, a second press on the menu would start a second run on the
    // one session: every control is shut until the transfer ends.
    busy_ = inert;
    set_close_enabled(!inert);
    if (inert) {
        saved_enabled_.clear();
        for (const Control& control : controls()) {
            saved_enabled_.emplace_back(control.id, control.enabled);
        }
        for (const auto& [id, enabled] : saved_enabled_) Enable(id, false);
    } else {
        for (const auto& [id, enabled] : saved_enabled_) Enable(id, enabled);
    }
}

std::string CInstallerMenuDialog::StartFolder() const {
    return app_.start_directory();
}

namespace {

struct Message {
    const char* text;
    const char* caption;
};

// A phone-book file the road saves before sending or loads after receiving (the file's kind, its
// name and the CSV layout it is written in).
struct FileStep {
    int kind = 0;
    const char* name = nullptr;
    int layout = 0;
};

// One transfer road of the menu. The four roads differ only in these columns; the shape around
// the session (confirmation, progress window, inert menu, error and completion messages) is one.
struct TransferRoad {
    int kind;
    Message confirm;
    Message done;
    // The main-unit download writes the local files and the dset files under the file creation
    // window before its progress window opens; the speed-dial download writes them under its
    // progress window.
    bool files_before_progress;
    bool export_dset;
    std::array<FileStep, 2> save_before_sending;
    std::array<FileStep, 2> load_after_receiving;
    bool build_data_set;
    int (*run)(TransferSessionPort&);
};

const TransferRoad kRoads[] = {
    {.kind = 1,
     .confirm = {"\n主装置データアップロードを開始します。\n", "主装置データアップロード確認"},
     .done = {"\n主装置データアップロードが正常に終了しました。\n",
              "主装置データアップロードの終了"},
     .files_before_progress = false,
     .export_dset = false,
     .save_before_sending = {},
     .load_after_receiving = {},
     .build_data_set = true,
     .run = [](TransferSessionPort& s) { return s.UploadUnitData(0); }},
    {.kind = 2,
     .confirm = {"\n主装置データダウンロードを開始します。\n主装置側の短縮データ以外の設定内容が変"
                 "更されます。\n\n【ＯＫ】ボタンをクリックすると主装置のデータ設定が変更されます。"
                 "\nボタンをクリックする前にもう一度確認してからクリックしてください。",
                 "主装置データダウンロード確認"},
     .done = {"\n主装置データダウンロードが正常に終了しました。\n",
              "主装置データダウンロードの終了"},
     .files_before_progress = true,
     .export_dset = true,
     .save_before_sending = {FileStep{1, "sys-tan.txt", 1}, FileStep{2, "tel-tan.txt", 0}},
     .load_after_receiving = {},
     .build_data_set = false,
     .run = [](TransferSessionPort& s) { return s.DownloadUnitData(0); }},
    {.kind = 3,
     .confirm = {"\n短縮データアップロードを開始します。\n", "短縮データアップロード確認"},
     .done = {"\n短縮データアップロードが正常に終了しました。\n", "短縮データアップロードの終了"},
     .files_before_progress = false,
     .export_dset = false,
     .save_before_sending = {},
     .load_after_receiving = {FileStep{1, "sys-tan.txt", 1}, FileStep{2, "tel-tan.txt", 1}},
     .build_data_set = false,
     .run = [](TransferSessionPort& s) { return s.UploadSpeedDial(); }},
    {.kind = 4,
     .confirm =
         {"\n短縮データダウンロードを開始します。\n主装置側の短縮データが変更されます。\n\n"
          "【ＯＫ】ボタンをクリックすると主装置の短縮データが変更されます。\nボタンをクリック"
          "する前にもう一度確認してからクリックしてください。",
          "短縮データダウンロード確認"},
     .done = {"\n短縮データダウンロードが正常に終了しました。\n", "短縮データダウンロードの終了"},
     .files_before_progress = false,
     .export_dset = false,
     .save_before_sending = {FileStep{1, "sys-tan.txt", 1}, FileStep{2, "tel-tan.txt", 1}},
     .load_after_receiving = {},
     .build_data_set = false,
     .run = [](TransferSessionPort& s) { return s.DownloadSpeedDial(); }},
};

}  // namespace

// Shuts the menu for the length of one transfer, on every way out of it.
class CInstallerMenuDialog::InertGuard {
  public:
    explicit InertGuard(CInstallerMenuDialog& menu) : menu_(menu) { menu_.SetInert(true); }
    ~InertGuard() { menu_.SetInert(false); }
    InertGuard(const InertGuard&) = delete;
    InertGuard& operator=(const InertGuard&) = delete;

  private:
    CInstallerMenuDialog& menu_;
};

int CInstallerMenuDialog::RunTransfer(int kind) {
    const TransferRoad* road = nullptr;
    for (const TransferRoad& candidate : kRoads) {
        if (candidate.kind == kind) road = &candidate;
    }
    // A kind the menu has no button for does nothing at all.
    if (road == nullptr) return 1;

    app_.CreateSessionIfMissing();
    TransferSessionPort* session = app_.session();
    if (session == nullptr) {
        CommunicationError();
        return -1;
    }
    if (Confirm(road->confirm.text, road->confirm.caption) != kIdOk) return 1;
    net::TransferFileServices* files = app_.ports().transfer_files;
    const std::string folder = StartFolder();
    const std::string data_folder = folder + "/";
    const auto write_local_files = [&] {
        session->SetDataFolder(folder);
        if (files != nullptr) {
            for (const FileStep& step : road->save_before_sending) {
                if (step.name != nullptr) {
                    files->SaveDataFile(step.kind, data_folder, step.name, step.layout);
                }
            }
        }
        if (road->export_dset) session->ExportDataFiles();
    };

    int result = 0;
    {
        InertGuard inert(*this);
        if (road->files_before_progress) {
            ShownProgress creation(app_, std::make_unique<CFileCreationDialog>());
            write_local_files();
        }
        ShownProgress progress(app_, TransferDialog(kind));
        progress.PumpTen();
        if (!road->files_before_progress) {
            progress.Percent(0);
            write_local_files();
        }
        result = road->run(*session);
        if (result != 0) {
            progress.Hide();
        } else {
            if (files != nullptr) {
                for (const FileStep& step : road->load_after_receiving) {
                    if (step.name != nullptr) {
                        files->LoadDataFile(step.kind, data_folder, step.name, step.layout);
                    }
                }
            }
            // A data-set.txt that cannot be written leaves the transfer a success: the received
            // files and the data image are complete, and the next upload writes it again.
            if (road->build_data_set) BuildDataSetFile(data_folder);
            progress.Percent(100);
            progress.Hide();
        }
    }
    if (result != 0) {
        CommunicationError();
        return -1;
    }
    Inform(road->done.text, road->done.caption);
    return 0;
}

void CInstallerMenuDialog::RunMenu(DialogPresenter* menu) {
    if (menu != nullptr && app_.ports().runner != nullptr) app_.ports().runner->RunModal(*menu);
}

void CInstallerMenuDialog::OnCommand(int id) {
    if (busy_) return;
    if (duplicates_.OnCommand(*this, app_, id)) return;
    switch (id) {
        case kUserInformation: {
            CUserInfoDialog dialog(app_.state(), app_.ports().messages);
            RunMenu(&dialog);
            break;
        }
        case kPrintSheets:
            if (app_.ports().make_print_selection)
                RunMenu(app_.ports().make_print_selection().get());
            break;
        case kDataSetting:
            FileDialogState().kind = 0;
            if (app_.ports().make_data_setting_menu) {
                RunMenu(app_.ports().make_data_setting_menu().get());
            }
            break;
        case kUnitUpload:
            RunTransfer(1);
            break;
        case kUnitDownload:
            RunTransfer(2);
            break;
        case kSpeedDialUpload:
            RunTransfer(3);
            break;
        case kSpeedDialDownload:
            RunTransfer(4);
            break;
        case kExit:
            End(1);
            break;
        default:
            break;
    }
}

CAboutDialog::CAboutDialog() : DialogPresenter(100, "Hoxutilityのﾊﾞｰｼﾞｮﾝ情報", {0, 0, 300, 120}) {
    Add({128, ControlKind::kIcon, "", {16, 16, 32, 32}});
    Add({3101, ControlKind::kLabel, "Hoxutility Version 1.0", {64, 24, 220, 18}});
    Control& ok = Add({kIdOk, ControlKind::kButton, "OK", {200, 80, 86, 28}});
    ok.is_default = true;
}

void CAboutDialog::OnCommand(int id) {
    if (id == kIdOk) End(kIdOk);
}

}  // namespace qzs::app
