// The logic of a dialog, apart from its window: which controls it has (by their resource ids),
// their texts and states, and what each press does. The Qt views only show a DialogPresenter and
// forward events to it; tests drive the presenters directly and script the message boxes.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qzs::app {

enum class ControlKind {
    kButton,
    kLabel,
    kEdit,
    kMultiLineEdit,
    kReadOnlyEdit,
    kProgress,
    kIcon,
    kComboBox,  // a drop-down list: items, the chosen one's text in text
    kRadio,     // one of a group of choices (same group number): one checked, one tab stop
    kGroupBox,  // a frame with its title in text, drawn behind the controls inside its rect
};

// Placement in pixels of a 96-dpi screen; the views scale nothing.
struct ControlRect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct Control {
    int id = 0;
    ControlKind kind = ControlKind::kLabel;
    std::string text;  // UTF-8
    ControlRect rect;
    bool enabled = true;
    bool visible = true;
    bool is_default = false;
    bool centred = false;
    int max_bytes = 0;                 // edits: the limit in bytes of the CP932 text, 0 for none
    bool numeric = false;              // edits: the input hint for digits, '*' and '#'
    int position = 0;                  // progress bars: 0-100
    std::vector<std::string> items{};  // combo boxes, in the order shown
    int selected = -1;                 // combo boxes: the chosen item, -1 for none
    int group = 0;                     // radios: the group they choose in
    bool checked = false;              // radios: the chosen one of its group
};

// Dialog results as the system's dialog loop hands them out.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

enum class MessageIcon { kNone, kExclamation, kQuestion, kWarning, kInformation };
enum class MessageButtons { kOk, kYesNo, kOkCancel };

// Message boxes: the view shows them, a test scripts the answers.
class MessagePort {
  public:
    virtual ~MessagePort() = default;
    virtual int ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon,
                            MessageButtons buttons) = 0;
};

class DialogPresenter;

// Runs a dialog modally and answers its result; the Qt layer opens a window, tests answer in
// place of the user.
class DialogRunner {
  public:
    virtual ~DialogRunner() = default;
    virtual int RunModal(DialogPresenter& dialog) = 0;
};

class DialogPresenter {
  public:
    DialogPresenter(int resource_id, std::string caption, ControlRect size);
    virtual ~DialogPresenter() = default;
    DialogPresenter(const DialogPresenter&) = delete;
    DialogPresenter& operator=(const DialogPresenter&) = delete;

    int resource_id() const { return resource_id_; }
    const std::string& caption() const { return caption_; }
    const ControlRect& size() const { return size_; }
    const std::vector<Control>& controls() const { return controls_; }

    const Control* Find(int id) const;
    std::string Text(int id) const;
    bool IsEnabled(int id) const;
    bool IsVisible(int id) const;
    bool IsChecked(int id) const;

    // What the view forwards. A pressed control that is disabled or hidden does nothing.
    virtual void OnInit() {}
    void Press(int id);
    // The title bar's close box; a dialog that is busy ignores it.
    virtual void OnCloseRequest();
    // Enter and Esc before the dialog's own processing: true when swallowed. By default Enter
    // presses the default button, or the focused push button when the dialog has no default,
    // and Esc cancels, as a dialog does.
    virtual bool OnEnter();
    virtual bool OnEscape();
    // The user typed into an edit; false refuses the new text (the view keeps the old one).
    virtual bool OnEdit(int id, std::string_view text);
    virtual void OnFocus(int /*id*/, bool /*entering*/) {}
    // The view tells which control holds the focus (0 for none).
    void SetFocused(int id) { focused_ = id; }
    int focused() const { return focused_; }
    // An arrow key on a radio: the next (step 1) or previous (-1) usable radio of its group,
    // round from the last to the first, is chosen as a click would; answers it for the focus,
    // or 0 when the id is no radio or has no other usable one.
    int MoveInGroup(int id, int step);
    // Items a dialog adds to its window menu (command id, text); the view offers them and
    // forwards the chosen command.
    struct MenuItem {
        int command;
        std::string text;
    };
    virtual std::vector<MenuItem> SystemMenuItems() const { return {}; }
    virtual void OnSystemCommand(int /*command*/) {}
    // The user chose an item of a combo box; by default it becomes the box's text.
    virtual void OnSelect(int id, int index);

    void SetText(int id, std::string text);
    void Enable(int id, bool enabled);
    void Show(int id, bool visible);
    void SetPosition(int id, int position);
    void AddItem(int id, std::string text);
    // The radio becomes the checked one of its group; the others of the group are cleared.
    void Check(int id);
    // The item becomes the chosen one and the box's text (-1: none, empty text).
    void Select(int id, int index);

    // Whether the close item of the window is available (grayed while busy).
    bool close_enabled() const { return close_enabled_; }
    void set_close_enabled(bool enabled);

    void End(int result);
    bool ended() const { return ended_; }
    int result() const { return result_; }

    // The view listens here to refresh itself after the logic changed a control.
    std::function<void()> changed;

  protected:
    Control& Add(Control control);
    Control* FindMutable(int id);
    virtual void OnCommand(int id) = 0;
    void Notify() {
        if (changed) changed();
    }

  private:
    int resource_id_;
    std::string caption_;
    ControlRect size_;
    std::vector<Control> controls_;
    bool close_enabled_ = true;
    int focused_ = 0;
    bool ended_ = false;
    int result_ = 0;
};

// Number of bytes of the text in CP932, or -1 when a character has no CP932 form.
int Cp932Length(std::string_view utf8);
// The text in CP932; false when a character has no CP932 form.
bool ToCp932(std::string_view utf8, std::string* out);
// CP932 bytes as UTF-8 (bytes that are not CP932 end the text).
std::string FromCp932(std::string_view cp932);

}  // namespace qzs::app
