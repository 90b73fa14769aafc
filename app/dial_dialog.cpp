#include "app/dial_dialog.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "app/application.h"
#include "app/dial_errors.h"
#include "app/installer_menu.h"

namespace qzs::app {
namespace {

constexpr int kUnitPort = 9000;

template <std::size_t N>
std::string Field(const std::array<char, N>& field) {
    return std::string(field.data(), std::find(field.begin(), field.end(), '\0'));
}

// An empty text, or one that begins with a blank, was never set.
bool IsSet(const std::string& bytes) {
    return !bytes.empty() && bytes.front() != ' ';
}

std::string Shown(std::string bytes) {
    bytes.erase(bytes.find_last_not_of(' ') + 1);
    return FromCp932(bytes);
}

bool IsConnectingState(int status) {
    return (status >= 0 && status <= 22) || (status >= 4096 && status <= 4099);
}

}  // namespace

CDialDialog::CDialDialog(CDataSettingApp& app, plat::DialUpProvider& provider, int transfer_kind)
    : DialogPresenter(353, "発信先選択", {0, 0, 380, 220}),
      app_(app),
      provider_(provider),
      transfer_kind_(transfer_kind),
      alive_(std::make_shared<CDialDialog*>(this)) {
    Add({3201, ControlKind::kLabel, "発信先名称", {16, 18, 90, 18}});
    Add({kDestination, ControlKind::kReadOnlyEdit, "", {110, 16, 250, 22}});
    Add({3202, ControlKind::kLabel, "市外局番", {16, 50, 90, 18}});
    Add({kAreaCode, ControlKind::kReadOnlyEdit, "", {110, 48, 90, 22}});
    Add({3203, ControlKind::kLabel, "電話番号", {16, 82, 90, 18}});
    Add({kPhoneNumber, ControlKind::kReadOnlyEdit, "", {110, 80, 250, 22}});
    Add({3204, ControlKind::kLabel, "接続名", {16, 116, 90, 18}});
    Add({kConnection, ControlKind::kComboBox, "", {110, 112, 250, 26}});
    Add({kReason, ControlKind::kLabel, "", {16, 146, 344, 18}});
    Control& dial = Add({kDial, ControlKind::kButton, "発信", {170, 172, 90, 30}});
    dial.is_default = true;
    Add({kIdCancel, ControlKind::kButton, "戻る", {270, 172, 90, 30}});
}

CDialDialog::~CDialDialog() {
    // Nothing of the provider may reach this dialog once it is gone.
    provider_.Unsubscribe();
    alive_.reset();
    if (dial_live_) provider_.HangUp();
    CloseConnecting();
}

void CDialDialog::Post(std::function<void(CDialDialog&)> work) {
    std::weak_ptr<CDialDialog*> alive = alive_;
    auto run = [alive, work = std::move(work)] {
        if (std::shared_ptr<CDialDialog*> dialog = alive.lock()) work(**dialog);
    };
    if (app_.ports().post) {
        app_.ports().post(std::move(run));
    } else {
        run();
    }
}

void CDialDialog::OnInit() {
    link_state_ = 0;
    std::string user_name;
    {
        ApplicationLock::Guard guard(app_.lock());
        const UserInformation& info = app_.state().user_information;
        user_name = Field(info.user_name);
        area_code_ = Field(info.area_code);
        phone_number_ = Field(info.telephone_number);
    }
    if (IsSet(user_name)) SetText(kDestination, Shown(user_name));
    if (!IsSet(area_code_)) {
        Error("市外局番が設定されていません。");
        End(1);
        return;
    }
    SetText(kAreaCode, Shown(area_code_));
    if (!IsSet(phone_number_)) {
        Error("電話番号が設定されていません。");
        End(1);
        return;
    }
    SetText(kPhoneNumber, Shown(phone_number_));
    last_status_ = 0;
    // The last entry comes first and is the one chosen.
    const int count = provider_.EntryCount();
    for (int i = count - 1; i >= 0; --i) AddItem(kConnection, provider_.EntryName(i));
    if (count > 0) Select(kConnection, 0);
    hanging_up_ = 0;
    // The provider's thread hands each event over to the GUI thread.
    std::weak_ptr<CDialDialog*> alive = alive_;
    provider_.Subscribe([this, alive](const plat::DialEvent& event) {
        if (alive.expired()) return;
        Post([event](CDialDialog& dialog) { dialog.OnChangeStatusRas1(event); });
    });
}

void CDialDialog::Error(const std::string& text, const char* caption) {
    if (MessagePort* port = app_.ports().messages) {
        port->ShowMessage(text, caption, MessageIcon::kExclamation, MessageButtons::kOk);
    }
}

void CDialDialog::OnSelect(int id, int index) {
    DialogPresenter::OnSelect(id, index);
    if (id == kConnection) connection_name_ = Text(kConnection);
}

void CDialDialog::SetDialogEnabled(bool enabled) {
    dialog_enabled_ = enabled;
    for (int id : {kDial, static_cast<int>(kIdCancel), kConnection}) Enable(id, enabled);
}

void CDialDialog::OpenConnecting() {
    CloseConnecting();
    connecting_ = std::make_unique<CConnectingDialog>([this](int message) {
        // The notice is posted: it arrives after the connecting dialog's own handling is over.
        Post([message](CDialDialog& dialog) { dialog.HandleMessage(message); });
    });
    if (app_.ports().show_modeless) {
        close_connecting_ = app_.ports().show_modeless(*connecting_);
    } else {
        connecting_->OnInit();
    }
}

void CDialDialog::HideConnecting() {
    if (close_connecting_) close_connecting_();
    close_connecting_ = nullptr;
}

void CDialDialog::CloseConnecting() {
    HideConnecting();
    connecting_.reset();
}

void CDialDialog::HangUp() {
    hanging_up_ = 1;
    // A dial or link that already ended has nothing left to hang up.
    if (dial_live_) {
        dial_live_ = false;
        provider_.HangUp();
    }
    link_state_ = 0;
}

void CDialDialog::OnCommand(int id) {
    if (busy_) return;
    if (id == kDial) {
        OnDial();
    } else if (id == kIdCancel) {
        OnCancel(kIdCancel);
    }
}

bool CDialDialog::OnEnter() {
    if (busy_ || !dialog_enabled_) return true;
    return DialogPresenter::OnEnter();
}

bool CDialDialog::OnEscape() {
    // While the transfer runs inside this dialog it stays; while a dial is under way Esc leaves
    // as 戻る does, hanging up.
    if (!busy_) OnCancel(1);
    return true;
}

void CDialDialog::OnCloseRequest() {
    if (!busy_) OnCancel(kIdCancel);
}

void CDialDialog::OnCancel(int result) {
    HangUp();
    provider_.Unsubscribe();
    CloseConnecting();
    End(result);
}

void CDialDialog::OnDial() {
    SetText(kReason, "");
    if (link_state_ == 0 && provider_.ActiveLinkCount() > 0) {
        Error("既にダイヤルアップ接続中の為、発信できません。");
        return;
    }
    connection_name_ = Text(kConnection);
    if (connection_name_.empty()) {
        Error("接続先が登録されていません。\nﾀﾞｲﾔﾙｱｯﾌﾟ接続を追加して下さい。");
        return;
    }
    SetDialogEnabled(false);
    // The files a download sends are written before the line is dialled; one that cannot be
    // written stops the road there, as a failed transfer does, instead of sending an older one.
    if ((transfer_kind_ == 2 || transfer_kind_ == 4) && !PrepareDataFiles()) {
        TransferError();
        SetDialogEnabled(true);
        return;
    }
    OpenConnecting();
    hanging_up_ = 0;

    // The stored fields are blank padded; the dial takes the digits alone and refuses anything
    // that is not a dial digit before a process is started.
    std::string number;
    int result = plat::kDialBadArgument;
    if (plat::NormaliseDialNumber(area_code_ + phone_number_, &number)) {
        plat::DialRequest request{connection_name_, number, "", kUser, kPassword, ""};
        int dial = 0;
        result = provider_.Dial(request, &dial);
        if (result == 0) {
            dial_ = dial;
            dial_live_ = true;
            return;
        }
    }
    MessagePort* messages = app_.ports().messages;
    LineErrorText(result, "Error translating address", messages);
    const std::string text =
        RasErrorText(result, &provider_, messages, [this] { HideConnecting(); });
    HideConnecting();
    Error(text + "(" + std::to_string(result) + ")", "ダイヤルエラー");
    CloseConnecting();
    SetDialogEnabled(true);
}

void CDialDialog::TransferError() {
    if (MessagePort* port = app_.ports().messages) {
        port->ShowMessage("\n通信エラーが発生しました。\n", "エラー", MessageIcon::kWarning,
                          MessageButtons::kOk);
    }
}

bool CDialDialog::PrepareDataFiles() {
    ShownProgress creation(app_, std::make_unique<CFileCreationDialog>());
    app_.CreateSessionIfMissing();
    TransferSessionPort* session = app_.session();
    const std::string folder = app_.start_directory();
    const std::string data_folder = folder + "/";
    session->SetDataFolder(folder);
    net::TransferFileServices* files = app_.ports().transfer_files;
    // Both phone books, in the layout the other roads leave behind them (0) before a whole-data
    // download, in the main unit's (1) before a speed-dial download.
    const int layout = transfer_kind_ == 2 ? 0 : 1;
    bool written = true;
    if (files != nullptr) {
        written = files->SaveDataFile(1, data_folder, "sys-tan.txt", layout) == 0 &&
                  files->SaveDataFile(2, data_folder, "tel-tan.txt", layout) == 0;
    }
    if (written && transfer_kind_ == 2) written = session->ExportDataFiles() == 0;
    return written;
}

void CDialDialog::OnChangeStatusRas1(const plat::DialEvent& event) {
    // A late event of an earlier dial must not drive this one.
    if (event.dial != dial_) return;
    if (hanging_up_ == 1) return;
    if (event.error != 0 && link_state_ > 0) {
        RasErrorText(event.error, &provider_, app_.ports().messages, [this] { HideConnecting(); });
        // The message above stays as it stands; the dial-up's own words go to the program's log
        // and to the detail line, where a support call can read them off.
        const std::string reason = provider_.LastReason();
        if (!reason.empty()) {
            std::fprintf(stderr, "korva-qzs: dial-up failed (%d): %s\n", event.error,
                         reason.c_str());
            SetText(kReason, reason);
        }
        // The link is given up whole: hung up, and the connecting dialog gone, not just hidden.
        HangUp();
        CloseConnecting();
        SetDialogEnabled(true);
        return;
    }
    if (connecting_ != nullptr) connecting_->HandleMessage(WM_UPDATE_PRG, event.status);
    last_status_ = event.status;
    if (event.status == plat::kDialConnected) {
        link_state_ = 2;
        Post([](CDialDialog& dialog) { dialog.HandleMessage(WM_DATATRANSFER_START); });
    } else if (event.status == plat::kDialDisconnected) {
        // The link ended by itself: nothing is left to hang up.
        dial_live_ = false;
        link_state_ = 0;
    } else if (IsConnectingState(event.status)) {
        link_state_ = 1;
    }
}

void CDialDialog::HandleMessage(int message) {
    if (message == WM_DATATRANSFER_START) {
        // Queued behind a hang-up or a dropped link, it finds nothing to transfer over.
        if (link_state_ == 2 && hanging_up_ == 0 && !busy_) StartFileTransfer();
    } else if (message == CConnectingDialog::kCancelNotice) {
        HangUp();
        CloseConnecting();
        SetDialogEnabled(true);
    }
}

void CDialDialog::Pump(int passes) {
    for (int i = 0; i < passes; ++i) {
        if (app_.ports().pump) app_.ports().pump();
        if (pump_pause_ms_ > 0) ::usleep(static_cast<useconds_t>(pump_pause_ms_) * 1000);
    }
}

void CDialDialog::StartFileTransfer() {
    busy_ = true;
    set_close_enabled(false);
    plat::LinkAddresses addresses;
    if (!provider_.Projection(connection_name_, &addresses)) addresses = {};
    client_address_ = addresses.local;
    server_address_ = addresses.remote;
    CloseConnecting();
    Pump(10);

    app_.CreateSessionIfMissing();
    TransferSessionPort* session = app_.session();
    const std::string folder = app_.start_directory();
    session->SetHosts(server_address_, kUnitPort, client_address_, kUnitPort);
    session->SetDataFolder(folder);

    auto dialog = std::make_unique<CTransferProgressDialog>();
    dialog->SetKind(transfer_kind_, 1);
    ShownProgress progress(app_, std::move(dialog));
    progress.Percent(0);
    Pump(50);

    int result = -1;
    switch (transfer_kind_) {
        case 1:
            result = session->UploadUnitData(1);
            break;
        case 2:
            result = session->DownloadUnitData(1);
            break;
        case 3:
            result = session->UploadSpeedDial();
            break;
        case 4:
            // The layout of the phone books matters only where they are written and read, and
            // those calls take it themselves.
            result = session->DownloadSpeedDial();
            break;
        default:
            break;
    }
    busy_ = false;
    set_close_enabled(true);
    if (result != 0) {
        progress.Hide();
        TransferError();
        HangUp();
        SetDialogEnabled(true);
        return;
    }
    HangUp();
    const std::string data_folder = folder + "/";
    net::TransferFileServices* files = app_.ports().transfer_files;
    if (transfer_kind_ == 1) {
        // A data-set.txt that cannot be written leaves the transfer a success, as on the LAN.
        (void)BuildDataSetFile(data_folder);
    } else if (transfer_kind_ == 3 && files != nullptr) {
        // Received phone books that do not load are a failed transfer, as on the LAN.
        if (files->LoadDataFile(1, data_folder, "sys-tan.txt", 1) != 0 ||
            files->LoadDataFile(2, data_folder, "tel-tan.txt", 1) != 0) {
            progress.Hide();
            TransferError();
            SetDialogEnabled(true);
            return;
        }
    }
    progress.Percent(100);
    progress.Hide();
    static constexpr const char* kDone[][2] = {
        {"\nリモート主装置データアップロードが正常に終了しました。\n",
         "リモート主装置データアップロードの終了"},
        {"\nリモート主装置データダウンロードが正常に終了しました。\n",
         "リモート主装置データダウンロードの終了"},
        {"\nリモート短縮データアップロードが正常に終了しました。\n",
         "リモート短縮データアップロードの終了"},
        {"\nリモート短縮データダウンロードが正常に終了しました。\n",
         "リモート短縮データダウンロードの終了"},
    };
    if (MessagePort* port = app_.ports().messages) {
        const auto& done = kDone[transfer_kind_ - 1];
        port->ShowMessage(done[0], done[1], MessageIcon::kInformation, MessageButtons::kOk);
    }
    SetDialogEnabled(true);
}

}  // namespace qzs::app
