#include "app/remote_menu.h"

#include "app/application.h"
#include "app/data_file_dialog.h"
#include "app/dial_dialog.h"
#include "app/duplicate_setting.h"
#include "app/user_info_dialog.h"

namespace qzs::app {
namespace {

struct Confirmation {
    const char* text;
    const char* caption;
};

constexpr Confirmation kConfirmations[] = {
    {"\nリモート主装置データアップロードを開始します。\n", "リモート主装置データアップロード確認"},
    {"\nリモート主装置データダウンロードを開始します。\n主装置側の短縮データ以外の設定内容が変更さ"
     "れます。\n\n【ＯＫ】ボタンをクリックすると主装置のデータ設定が変更されます。\nボタンをクリッ"
     "クする前にもう一度確認してからクリックしてください。",
     "リモート主装置データダウンロード確認"},
    {"\nリモート短縮データアップロードを開始します。\n", "リモート短縮データアップロード確認"},
    {"\nリモート短縮データダウンロードを開始します。\n主装置側の短縮データが変更されます。\n\n【Ｏ"
     "Ｋ】ボタンをクリックすると主装置の短縮データが変更されます。\nボタンをクリックする前にもう一"
     "度確認してからクリックしてください。",
     "リモート短縮データダウンロード確認"},
};

}  // namespace

CRemoteMenuDialog::CRemoteMenuDialog(CDataSettingApp& app, plat::DialUpProvider& provider)
    : DialogPresenter(379, "ＰＣリモートメニュー", {0, 0, 520, 430}),
      app_(app),
      provider_(provider),
      duplicates_(3304, kDuplicatesAllowed, kDuplicatesRefused) {
    Add({3301, ControlKind::kLabel, "共通設定項目", {16, 10, 230, 18}});
    Add({kUserInformation, ControlKind::kButton, "ユーザー情報設定", {16, 32, 230, 30}});
    Add({kPrintSheets, ControlKind::kButton, "システムデータシート印刷", {16, 68, 230, 30}});
    Add({3302, ControlKind::kLabel, "データ通信項目", {266, 10, 238, 18}});
    Add({kUnitUpload, ControlKind::kButton, "ﾘﾓｰﾄ主装置ﾃﾞｰﾀｱｯﾌﾟﾛｰﾄﾞ", {266, 32, 238, 30}});
    Add({kUnitDownload, ControlKind::kButton, "ﾘﾓｰﾄ主装置ﾃﾞｰﾀﾀﾞｳﾝﾛｰﾄﾞ", {266, 84, 238, 30}});
    Add({kSpeedDialUpload, ControlKind::kButton, "ﾘﾓｰﾄ短縮ﾃﾞｰﾀｱｯﾌﾟﾛｰﾄﾞ", {266, 140, 238, 30}});
    Add({kSpeedDialDownload, ControlKind::kButton, "ﾘﾓｰﾄ短縮ﾃﾞｰﾀﾀﾞｳﾝﾛｰﾄﾞ", {266, 192, 238, 30}});
    Add({3303, ControlKind::kLabel, "データ設定・短縮設定項目", {16, 110, 230, 18}});
    Add({kDataSetting, ControlKind::kButton, "データ設定", {16, 132, 230, 30}});
    for (const Control& control : duplicates_.Controls()) Add(control);
    Add({kExit, ControlKind::kButton, "終了", {404, 380, 100, 30}});
}

void CRemoteMenuDialog::OnInit() {
    app_.CreateSessionIfMissing();
    // The doors whose dialogs the program was not given stay shut.
    Enable(kDataSetting, static_cast<bool>(app_.ports().make_data_setting_menu));
    Enable(kPrintSheets, static_cast<bool>(app_.ports().make_print_selection));
    duplicates_.Show(*this, app_);
}

int CRemoteMenuDialog::RunRemoteTransfer(int kind) {
    if (kind < 1 || kind > 4) return 1;
    const Confirmation& confirmation = kConfirmations[kind - 1];
    if (MessagePort* port = app_.ports().messages) {
        if (port->ShowMessage(confirmation.text, confirmation.caption, MessageIcon::kQuestion,
                              MessageButtons::kOkCancel) != kIdOk) {
            return 1;
        }
    }
    CDialDialog dial(app_, provider_, kind);
    DialogRunner* runner = app_.ports().runner;
    return runner != nullptr ? runner->RunModal(dial) : kIdCancel;
}

void CRemoteMenuDialog::OnCommand(int id) {
    if (duplicates_.OnCommand(*this, app_, id)) return;
    DialogRunner* runner = app_.ports().runner;
    auto run = [runner](DialogPresenter* dialog) {
        if (dialog != nullptr && runner != nullptr) runner->RunModal(*dialog);
    };
    switch (id) {
        case kUserInformation: {
            CUserInfoDialog dialog(app_.state(), app_.ports().messages);
            run(&dialog);
            break;
        }
        case kPrintSheets:
            if (app_.ports().make_print_selection) run(app_.ports().make_print_selection().get());
            break;
        case kDataSetting:
            FileDialogState().kind = 0;
            if (app_.ports().make_data_setting_menu) {
                run(app_.ports().make_data_setting_menu().get());
            }
            break;
        case kUnitUpload:
            RunRemoteTransfer(1);
            break;
        case kUnitDownload:
            RunRemoteTransfer(2);
            break;
        case kSpeedDialUpload:
            RunRemoteTransfer(3);
            break;
        case kSpeedDialDownload:
            RunRemoteTransfer(4);
            break;
        case kExit:
            End(1);
            break;
        default:
            break;
    }
}

}  // namespace qzs::app
