#include "app/top_menu.h"

#include <charconv>

#include "app/application.h"

namespace qzs::app {
namespace {

constexpr const char* kExitQuestion =
    "\u3000パソコンデータ設定用プログラム（Qz3/S）を終了しますか？";

int Message(CDataSettingApp& app, std::string_view text, std::string_view caption, MessageIcon icon,
            MessageButtons buttons) {
    MessagePort* port = app.ports().messages;
    // Without a way to ask, a question is answered as the default button would be.
    if (port == nullptr) return buttons == MessageButtons::kYesNo ? kIdYes : kIdOk;
    return port->ShowMessage(text, caption, icon, buttons);
}

}  // namespace

CTopMenuDialog::CTopMenuDialog(CDataSettingApp& app)
    : DialogPresenter(220, "パソコンデータ設定用プログラム（Qz3/S）", {0, 0, 360, 260}), app_(app) {
    Add({kMainUnit, ControlKind::kButton, "主装置設定", {60, 20, 240, 40}});
    Add({kFiles, ControlKind::kButton, "ファイル作成", {60, 70, 240, 40}});
    Add({kRemote, ControlKind::kButton, "リモートサービス", {60, 120, 240, 40}});
    Add({kExit, ControlKind::kButton, "終了", {250, 220, 90, 28}});
    Add({kVersion, ControlKind::kLabel, "バージョン： ", {16, 176, 330, 18}});
    Add({kSupported, ControlKind::kLabel, "対応主装置版数：", {16, 196, 330, 18}});
}

void CTopMenuDialog::OnInit() {
    SetText(kVersion, "バージョン： \tVer 11.1.0.1");
    SetText(kSupported, "対応主装置版数：「1-X」～「11-X」");
    app_.CreateSessionIfMissing();
    UpdateButtons();
}

void CTopMenuDialog::UpdateButtons() {
    Enable(kMainUnit, static_cast<bool>(make_installer_menu_));
    Enable(kFiles, static_cast<bool>(make_installer_menu_));
    Enable(kRemote, static_cast<bool>(make_remote_menu_));
}

void CTopMenuDialog::OnCommand(int id) {
    DialogRunner* runner = app_.ports().runner;
    auto run_menu = [runner](const MenuFactory& make) {
        if (runner == nullptr || !make) return;
        std::unique_ptr<DialogPresenter> menu = make();
        if (menu) runner->RunModal(*menu);
    };
    switch (id) {
        case kMainUnit: {
            app_.set_online_mode(1);
            CHostAddressDialog host(app_);
            if (runner != nullptr && runner->RunModal(host) == kIdOk) {
                run_menu(make_installer_menu_);
            }
            break;
        }
        case kFiles:
            app_.set_online_mode(0);
            run_menu(make_installer_menu_);
            break;
        case kRemote:
            run_menu(make_remote_menu_);
            break;
        case kExit:
            if (ConfirmExit()) End(1);
            break;
        default:
            break;
    }
}

bool CTopMenuDialog::ConfirmExit() {
    return Message(app_, kExitQuestion, "終了確認", MessageIcon::kQuestion,
                   MessageButtons::kYesNo) != kIdNo;
}

void CTopMenuDialog::OnCloseRequest() {
    if (ConfirmExit()) End(2);
}

bool CTopMenuDialog::OnEscape() {
    if (ConfirmExit()) End(2);
    return true;
}

CHostAddressDialog::CHostAddressDialog(CDataSettingApp& app)
    : DialogPresenter(375, "ホスト名/IPアドレス入力", {0, 0, 380, 150}), app_(app) {
    Add({2551,
         ControlKind::kLabel,
         "主装置のホスト名/IPアドレスを入力してください。",
         {16, 14, 350, 18}});
    Control& host = Add({kHost, ControlKind::kEdit, "", {16, 40, 348, 24}});
    host.max_bytes = 64;
    Control& label = Add({kPortLabel, ControlKind::kLabel, "使用ポート", {16, 74, 80, 18}});
    label.visible = false;
    Control& port = Add({kPort, ControlKind::kEdit, "", {100, 72, 60, 22}});
    port.visible = false;
    port.enabled = false;
    port.max_bytes = 5;
    Control& address = Add({kAddress, ControlKind::kEdit, "", {170, 72, 120, 22}});
    address.visible = false;
    Control& ok = Add({kIdOk, ControlKind::kButton, "OK", {184, 108, 86, 28}});
    ok.is_default = true;
    Add({kIdCancel, ControlKind::kButton, "ｷｬﾝｾﾙ", {278, 108, 86, 28}});
}

void CHostAddressDialog::OnInit() {
    SetText(kHost, "");
    SetText(kPort, "9000");
}

void CHostAddressDialog::OnCommand(int id) {
    if (id == kIdOk) {
        Accept();
    } else if (id == kIdCancel) {
        End(kIdCancel);
    }
}

void CHostAddressDialog::Accept() {
    const std::string host_text = Text(kHost);
    auto error = [&](const char* text) {
        Message(app_, text, "エラー", MessageIcon::kExclamation, MessageButtons::kOk);
    };
    if (host_text.empty()) {
        error("\nホスト名または、IPアドレスを入力してください。\n");
        return;
    }
    // The check looks for Shift-JIS lead bytes: half-width katakana (single bytes 0xA1-0xDF)
    // pass, every double-byte character is refused. A text CP932 cannot hold is refused alike.
    std::string bytes;
    bool double_byte = !ToCp932(host_text, &bytes);
    for (unsigned char b : bytes) {
        if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) double_byte = true;
    }
    if (double_byte) {
        error("\nホスト名は半角英数字で入力してください。\n");
        return;
    }
    // The port is read as a signed integer; text that is not a number reads as 0.
    const std::string port_text = Text(kPort);
    int port = 0;
    const char* first = port_text.data();
    while (first != port_text.data() + port_text.size() && *first == ' ') ++first;
    std::from_chars(first, port_text.data() + port_text.size(), port);
    if (port <= 0) {
        error("\nポート番号を入力してください。\n");
        return;
    }
    app_.CreateSessionIfMissing();
    app_.session()->SetHost(bytes, port);
    End(kIdOk);
}

}  // namespace qzs::app
