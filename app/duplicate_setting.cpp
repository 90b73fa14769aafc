#include "app/duplicate_setting.h"

#include <string>

#include "app/application.h"

namespace qzs::app {
namespace {

constexpr const char* kAllowedText = "「あり」：重複登録可（重複チェック無効）";
constexpr const char* kRefusedText = "「なし」：重複登録不可（重複チェック有効）";

}  // namespace

std::array<Control, 3> DuplicateSetting::Controls() const {
    return {
        Control{caption_, ControlKind::kLabel, "電話帳電話番号重複登録設定", {16, 256, 488, 18}},
        Control{allowed_, ControlKind::kButton, kAllowedText, {16, 278, 488, 24}},
        Control{refused_, ControlKind::kButton, kRefusedText, {16, 306, 488, 24}}};
}

void DuplicateSetting::Show(DialogPresenter& menu, CDataSettingApp& app) const {
    int flag = 0;
    {
        ApplicationLock::Guard guard(app.lock());
        flag = app.state().duplicate_check_flag;
    }
    // The radio pair shows as two buttons whose text carries the mark of the chosen one.
    menu.SetText(allowed_, std::string(flag == 0 ? "◉ " : "○ ") + kAllowedText);
    menu.SetText(refused_, std::string(flag != 0 ? "◉ " : "○ ") + kRefusedText);
}

bool DuplicateSetting::OnCommand(DialogPresenter& menu, CDataSettingApp& app, int id) const {
    if (id != allowed_ && id != refused_) return false;
    {
        ApplicationLock::Guard guard(app.lock());
        app.state().duplicate_check_flag = id == refused_ ? 1 : 0;
    }
    Show(menu, app);
    return true;
}

}  // namespace qzs::app
