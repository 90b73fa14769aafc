#include "app/dialog.h"

#include <algorithm>
#include <utility>

#include "platform/automation/automation.h"

namespace qzs::app {

DialogPresenter::DialogPresenter(int resource_id, std::string caption, ControlRect size)
    : resource_id_(resource_id), caption_(std::move(caption)), size_(size) {}

Control& DialogPresenter::Add(Control control) {
    controls_.push_back(std::move(control));
    return controls_.back();
}

const Control* DialogPresenter::Find(int id) const {
    auto it = std::ranges::find(controls_, id, &Control::id);
    return it == controls_.end() ? nullptr : &*it;
}

Control* DialogPresenter::FindMutable(int id) {
    auto it = std::ranges::find(controls_, id, &Control::id);
    return it == controls_.end() ? nullptr : &*it;
}

std::string DialogPresenter::Text(int id) const {
    const Control* c = Find(id);
    return c ? c->text : std::string();
}

bool DialogPresenter::IsEnabled(int id) const {
    const Control* c = Find(id);
    return c != nullptr && c->enabled;
}

bool DialogPresenter::IsVisible(int id) const {
    const Control* c = Find(id);
    return c != nullptr && c->visible;
}

bool DialogPresenter::IsChecked(int id) const {
    const Control* c = Find(id);
    return c != nullptr && c->checked;
}

void DialogPresenter::Press(int id) {
    const Control* c = Find(id);
    if (c == nullptr || !c->enabled || !c->visible) return;
    // A click on a radio chooses it before the dialog hears of it, as the control does itself.
    if (c->kind == ControlKind::kRadio) Check(id);
    OnCommand(id);
}

void DialogPresenter::Check(int id) {
    Control* chosen = FindMutable(id);
    if (chosen == nullptr || chosen->kind != ControlKind::kRadio) return;
    for (Control& c : controls_) {
        if (c.kind == ControlKind::kRadio && c.group == chosen->group) c.checked = c.id == id;
    }
    Notify();
}

int DialogPresenter::MoveInGroup(int id, int step) {
    const Control* from = Find(id);
    if (from == nullptr || from->kind != ControlKind::kRadio || step == 0) return 0;
    std::vector<int> usable;
    for (const Control& c : controls_) {
        if (c.kind == ControlKind::kRadio && c.group == from->group &&
            ((c.enabled && c.visible) || c.id == id)) {
            usable.push_back(c.id);
        }
    }
    if (usable.size() < 2) return 0;
    const auto at = std::ranges::find(usable, id) - usable.begin();
    const auto n = static_cast<std::ptrdiff_t>(usable.size());
    const int next = usable[static_cast<std::size_t>(((at + (step > 0 ? 1 : -1)) % n + n) % n)];
    Press(next);
    return next;
}

void DialogPresenter::OnCloseRequest() {
    if (!close_enabled_) return;
    End(kIdCancel);
}

bool DialogPresenter::OnEnter() {
    for (const Control& c : controls_) {
        if (c.is_default) {
            Press(c.id);
            return true;
        }
    }
    // Without a default button, the focused push button is the one Enter presses.
    const Control* focused = Find(focused_);
    if (focused != nullptr && focused->kind == ControlKind::kButton) {
        Press(focused->id);
        return true;
    }
    return false;
}

bool DialogPresenter::OnEscape() {
    if (Find(kIdCancel) != nullptr) {
        Press(kIdCancel);
    } else {
        OnCloseRequest();
    }
    return true;
}

bool DialogPresenter::OnEdit(int id, std::string_view text) {
    Control* c = FindMutable(id);
    if (c == nullptr) return false;
    if (c->max_bytes > 0) {
        const int length = Cp932Length(text);
        if (length < 0 || length > c->max_bytes) return false;
    }
    c->text = std::string(text);
    return true;
}

void DialogPresenter::SetText(int id, std::string text) {
    if (Control* c = FindMutable(id)) {
        c->text = std::move(text);
        Notify();
    }
}

void DialogPresenter::Enable(int id, bool enabled) {
    if (Control* c = FindMutable(id)) {
        c->enabled = enabled;
        Notify();
    }
}

void DialogPresenter::Show(int id, bool visible) {
    if (Control* c = FindMutable(id)) {
        c->visible = visible;
        Notify();
    }
}

void DialogPresenter::SetPosition(int id, int position) {
    if (Control* c = FindMutable(id)) {
        c->position = position;
        Notify();
    }
}

void DialogPresenter::AddItem(int id, std::string text) {
    if (Control* c = FindMutable(id)) {
        c->items.push_back(std::move(text));
        Notify();
    }
}

void DialogPresenter::Select(int id, int index) {
    if (Control* c = FindMutable(id)) {
        const bool inside = index >= 0 && static_cast<std::size_t>(index) < c->items.size();
        c->selected = inside ? index : -1;
        c->text = inside ? c->items[static_cast<std::size_t>(index)] : std::string();
        Notify();
    }
}

void DialogPresenter::OnSelect(int id, int index) {
    const Control* c = Find(id);
    if (c == nullptr || !c->enabled || !c->visible) return;
    Select(id, index);
}

void DialogPresenter::set_close_enabled(bool enabled) {
    close_enabled_ = enabled;
    Notify();
}

void DialogPresenter::End(int result) {
    ended_ = true;
    result_ = result;
    Notify();
}

bool ToCp932(std::string_view utf8, std::string* out) {
    bool ok = false;
    const std::u16string wide = plat::WideFromUtf8(utf8, &ok);
    if (!ok) return false;
    return plat::Cp932FromWide(wide, out);
}

int Cp932Length(std::string_view utf8) {
    std::string bytes;
    if (!ToCp932(utf8, &bytes)) return -1;
    return static_cast<int>(bytes.size());
}

std::string FromCp932(std::string_view cp932) {
    std::u16string wide;
    // Stored texts can end inside a character or hold bytes from elsewhere: keep the longest
    // convertible beginning.
    while (!cp932.empty() && !plat::WideFromCp932(cp932, &wide)) cp932.remove_suffix(1);
    std::string out;
    if (!plat::Utf8FromWide(wide, &out)) return {};
    return out;
}

}  // namespace qzs::app
