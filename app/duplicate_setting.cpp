#include "app/duplicate_setting.h"


#include "app/application.h"

namespace qzs::app {
namespace {

constexpr const char* kAllowedText = "「あり」：重複登録可（重複チェック無効）";
constexpr const char* kRefusedText = "「なし」：重複登録不可（重複チェック有効）";

}  // namespace

std::array<Control, 3> DuplicateSetting::Controls() const {
    // One group of two radios in its frame; the group number is the frame's id.
    Control allowed{allowed_, ControlKind::kRadio, kAllowedText, {24, 282, 480, 24}};
    Control refused{refused_, ControlKind::kRadio, kRefusedText, {24, 310, 480, 24}};
    allowed.group = refused.group = caption_;
    return {Control{caption_, ControlKind::kGroupBox, "電話帳電話番号重複登録設定",
                    {8, 258, 504, 86}},
            allowed, refused};
}

void DuplicateSetting::Show(DialogPresenter& menu, CDataSettingApp& app) const {
    int flag = 0;
    {
        ApplicationLock::Guard guard(app.lock());
        flag = app.state().duplicate_check_flag;
    }
    menu.Check(flag == 0 ? allowed_ : refused_);
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
