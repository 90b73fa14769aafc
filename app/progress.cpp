#include "app/progress.h"

#include <string>

#include "app/application.h"

namespace qzs::app {

ProgressDialogBase::ProgressDialogBase(int resource_id, std::string caption, int pump_passes)
    : DialogPresenter(resource_id, std::move(caption), {0, 0, 360, 130}),
      pump_passes_(pump_passes) {}

void ProgressDialogBase::InitBar() {
    SetPosition(kBar, 0);
    SetText(kPercent, "0");
}

bool ProgressDialogBase::HandleMessage(int message, std::intptr_t wparam) {
    const int value = static_cast<int>(wparam);
    switch (message) {
        case WM_UPDATE_PRG:
            UpDatePrg(value);
            return true;
        case WM_SET_STARTPOS:
            start_pos_ = value;
            return true;
        case WM_SET_ENDPOS:
            end_pos_ = value;
            return true;
        case WM_SET_RANGE:
            range_ = value;
            return true;
        case WM_UPDATE_BYSTEP:
            UpDateByStep(value);
            return true;
        default:
            return false;
    }
}

void ProgressDialogBase::UpDatePrg(int pos) {
    // Only the upper bound is applied: a negative value is shown as it came.
    if (pos > 100) pos = 100;
    SetPosition(kBar, pos);
    SetText(kPercent, std::to_string(pos));
    if (pump_) {
        for (int i = 0; i < pump_passes_; ++i) pump_();
    }
}

void ProgressDialogBase::UpDateByStep(int n) {
    int pos = 0;
    if (range_ == 0) {
        pos = end_pos_;
    } else if (n < 0) {
        pos = start_pos_;
    } else {
        const double share = static_cast<double>(n) / static_cast<double>(range_);
        const double value = start_pos_ + (end_pos_ - start_pos_) * share;
        // Truncated toward zero; anything past the end is the end.
        if (value >= end_pos_) {
            pos = end_pos_;
        } else {
            pos = value < -1000.0 ? -1000 : static_cast<int>(value);  // clamped below anyway
        }
    }
    if (pos < 0) pos = 0;
    if (pos > 100) pos = 100;
    UpDatePrg(pos);
}

namespace {

std::string TransferLabel(int kind, int remote) {
    const char* text = "";
    switch (kind) {
        case 1:
            text = "主装置データアップロード実行中です。";
            break;
        case 2:
            text = "主装置データダウンロード実行中です。";
            break;
        case 3:
            text = "短縮データアップロード実行中です。";
            break;
        case 4:
            text = "短縮データダウンロード実行中です。";
            break;
        default:
            break;
    }
    return remote != 0 ? std::string("リモート") + text : std::string(text);
}

}  // namespace

CTransferProgressDialog::CTransferProgressDialog()
    : ProgressDialogBase(339, kTransferProgressCaption, 10) {
    Add({kLabel, ControlKind::kReadOnlyEdit, "", {16, 14, 328, 22}});
    Add({kBar, ControlKind::kProgress, "", {16, 48, 260, 22}});
    Add({kPercent, ControlKind::kReadOnlyEdit, "", {284, 48, 40, 22}});
    Add({kPercentSign, ControlKind::kLabel, "%", {328, 50, 16, 18}});
}

void CTransferProgressDialog::SetKind(int transfer_kind, int remote) {
    transfer_kind_ = transfer_kind;
    remote_ = remote;
}

void CTransferProgressDialog::OnInit() {
    SetText(kLabel, TransferLabel(transfer_kind_, remote_));
    InitBar();
}

CFileCreationDialog::CFileCreationDialog() : ProgressDialogBase(377, kFileCreationCaption, 2) {
    Add({2558, ControlKind::kLabel, "ダウンロード用ファイルを作成中です。", {16, 14, 328, 20}});
    Add({kBar, ControlKind::kProgress, "", {16, 48, 260, 22}});
    Add({kPercent, ControlKind::kReadOnlyEdit, "", {284, 48, 40, 22}});
    Add({kPercentSign, ControlKind::kLabel, "%", {328, 50, 16, 18}});
}

void CFileCreationDialog::OnInit() {
    InitBar();
}

CConnectingDialog::CConnectingDialog(std::function<void(int message)> notify_owner)
    : DialogPresenter(380, kConnectingCaption, {0, 0, 300, 110}),
      notify_owner_(std::move(notify_owner)) {
    Add({2559, ControlKind::kLabel, "接続状態 ：", {16, 20, 80, 20}});
    Add({kState, ControlKind::kReadOnlyEdit, "", {100, 18, 180, 22}});
    Add({kIdCancel, ControlKind::kButton, "キャンセル", {190, 64, 90, 28}});
}

void CConnectingDialog::OnInit() {
    SetText(kState, "主装置呼出中");
}

bool CConnectingDialog::HandleMessage(int message, std::intptr_t /*wparam*/) {
    if (message != WM_UPDATE_PRG) return false;
    SetText(kState, "主装置呼出中");
    return true;
}

void CConnectingDialog::OnCommand(int id) {
    if (id != kIdCancel) return;
    if (notify_owner_) notify_owner_(kCancelNotice);
    End(kIdCancel);
}

ProgressRegistry& ProgressRegistry::Instance() {
    static ProgressRegistry registry;
    return registry;
}

int ProgressRegistry::Add(const std::string& caption, Poster poster) {
    std::lock_guard lock(mutex_);
    const int token = next_token_++;
    windows_[token] = Entry{caption, std::move(poster)};
    return token;
}

void ProgressRegistry::Remove(int token) {
    std::lock_guard lock(mutex_);
    windows_.erase(token);
}

bool ProgressRegistry::Exists(const std::string& caption) const {
    std::lock_guard lock(mutex_);
    for (const auto& [token, entry] : windows_) {
        if (entry.caption == caption) return true;
    }
    return false;
}

bool ProgressRegistry::Post(const std::string& caption, int message, std::intptr_t wparam) const {
    Poster poster;
    {
        std::lock_guard lock(mutex_);
        // The newest window of the caption is the one found, as a search by caption finds the
        // top-most.
        for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
            if (it->second.caption == caption) {
                poster = it->second.poster;
                break;
            }
        }
    }
    if (!poster) return false;
    poster(message, wparam);
    return true;
}

ShownProgress::ShownProgress(CDataSettingApp& app, std::unique_ptr<ProgressDialogBase> dialog)
    : dialog_(std::move(dialog)) {
    dialog_->set_pump(app.ports().pump);
    ProgressDialogBase* target = dialog_.get();
    token_ = ProgressRegistry::Instance().Add(
        dialog_->caption(),
        [target](int message, std::intptr_t wparam) { target->HandleMessage(message, wparam); });
    // The window initialises its dialog when it is made; without one it is done here.
    if (app.ports().show_modeless) {
        close_ = app.ports().show_modeless(*dialog_);
    } else {
        dialog_->OnInit();
    }
    pump_ = app.ports().pump;
}

ShownProgress::~ShownProgress() {
    Hide();
    ProgressRegistry::Instance().Remove(token_);
}

void ShownProgress::PumpTen() {
    for (int i = 0; pump_ && i < 10; ++i) pump_();
}

void ShownProgress::Hide() {
    if (close_) close_();
    close_ = nullptr;
}

}  // namespace qzs::app
