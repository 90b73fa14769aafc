#include "app/user_info_dialog.h"

#include <algorithm>
#include <array>
#include <string>

namespace qzs::app {
namespace {

// A stored text as the dialog shows it: nothing when empty or when it begins with a blank (not
// set), else without its trailing blanks.
template <std::size_t N>
std::string Shown(const std::array<char, N>& field) {
    std::string bytes(field.data(), std::find(field.begin(), field.end(), '\0'));
    if (bytes.empty() || bytes.front() == ' ') return {};
    bytes.erase(bytes.find_last_not_of(' ') + 1);
    return FromCp932(bytes);
}

// Stores the text blank padded to the field's width, with its terminator. The edit limits keep
// the text inside the width; a longer one is cut without splitting a double-byte character.
template <std::size_t N>
void Store(std::array<char, N>& field, std::size_t width, const std::string& utf8) {
    std::string bytes;
    if (!ToCp932(utf8, &bytes)) bytes.clear();
    width = std::min(width, N - 1);
    std::size_t keep = 0;
    while (keep < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[keep]);
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        const std::size_t length = lead ? 2 : 1;
        if (keep + length > width) break;
        keep += length;
    }
    std::fill(field.begin(), field.end(), '\0');
    std::fill_n(field.begin(), width, ' ');
    std::copy_n(bytes.begin(), keep, field.begin());
}

bool IsDialText(const std::string& text) {
    return std::ranges::all_of(
        text, [](char c) { return (c >= '0' && c <= '9') || c == '*' || c == '#'; });
}

}  // namespace

CUserInfoDialog::CUserInfoDialog(ProgrammingState& state, MessagePort* messages)
    : DialogPresenter(223, "ユーザー情報設定", {0, 0, 460, 330}),
      state_(state),
      messages_(messages) {
    auto edit = [this](int id, ControlKind kind, int max_bytes, ControlRect rect, bool numeric) {
        Control& c = Add({id, kind, "", rect});
        c.max_bytes = max_bytes;
        c.numeric = numeric;
    };
    Add({2660, ControlKind::kLabel, "ﾕｰｻﾞｰ名：", {16, 18, 120, 20}});
    edit(kUserName, ControlKind::kEdit, 24, {140, 16, 300, 24}, false);
    Add({2661, ControlKind::kLabel, "担当者名：", {16, 50, 120, 20}});
    edit(kPersonInCharge, ControlKind::kEdit, 24, {140, 48, 300, 24}, false);
    Add({2662, ControlKind::kLabel, "ﾕｰｻﾞｰ電話番号：", {16, 82, 120, 20}});
    Add({2663, ControlKind::kLabel, "市外局番", {140, 82, 60, 20}});
    edit(kAreaCode, ControlKind::kEdit, 6, {200, 80, 70, 24}, true);
    Add({2664, ControlKind::kLabel, "電話番号", {280, 82, 60, 20}});
    // The data-file header holds 16 bytes of the number (and 6 of the area code); a longer one
    // would be cut there without a word, so the field takes no more.
    edit(kPhoneNumber, ControlKind::kEdit, 16, {340, 80, 100, 24}, true);
    Add({2665, ControlKind::kLabel, "設置年月日：", {16, 114, 120, 20}});
    edit(kInstallationDate, ControlKind::kEdit, 24, {140, 112, 300, 24}, false);
    Add({2666, ControlKind::kLabel, "設置メモ：", {16, 146, 120, 20}});
    edit(kMemo, ControlKind::kMultiLineEdit, 72, {140, 144, 300, 120}, false);
    Control& ok = Add({kIdOk, ControlKind::kButton, "登録", {250, 284, 90, 28}});
    ok.is_default = true;
    Add({kIdCancel, ControlKind::kButton, "戻る", {350, 284, 90, 28}});
}

void CUserInfoDialog::OnInit() {
    ApplicationLock::Guard guard(state_.lock);
    const UserInformation& info = state_.user_information;
    SetText(kUserName, Shown(info.user_name));
    SetText(kPersonInCharge, Shown(info.person_in_charge));
    SetText(kAreaCode, Shown(info.area_code));
    SetText(kPhoneNumber, Shown(info.telephone_number));
    SetText(kInstallationDate, Shown(info.installation_date));
    SetText(kMemo, Shown(info.memo));
}

void CUserInfoDialog::OnCommand(int id) {
    if (id == kIdOk) {
        OnOK();
    } else if (id == kIdCancel) {
        End(kIdCancel);
    }
}

void CUserInfoDialog::OnOK() {
    ApplicationLock::Guard guard(state_.lock);
    UserInformation& info = state_.user_information;
    // Stored field by field in this order: a refused number leaves the names stored before it.
    Store(info.user_name, 24, Text(kUserName));
    Store(info.person_in_charge, 24, Text(kPersonInCharge));
    auto refuse = [this] {
        if (messages_ != nullptr) {
            messages_->ShowMessage("\n入力値エラーです。\n", "エラー", MessageIcon::kWarning,
                                   MessageButtons::kOk);
        }
    };
    const std::string area = Text(kAreaCode);
    if (!IsDialText(area)) return refuse();
    Store(info.area_code, 6, area);
    const std::string phone = Text(kPhoneNumber);
    if (!IsDialText(phone)) return refuse();
    Store(info.telephone_number, 16, phone);
    Store(info.installation_date, 24, Text(kInstallationDate));
    Store(info.memo, 72, Text(kMemo));
    End(kIdOk);
}

}  // namespace qzs::app
