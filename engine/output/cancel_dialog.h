// The cancel dialog of an open printer document (dialog 102): its logic keyed by control ids,
// and the thin Qt view that shows it. The view exists only on the thread of the host's
// QApplication; everywhere else the dialog cannot be made.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kp {

class CancelDialogPresenter {
  public:
    static constexpr int32_t kDialogId = 102;
    static constexpr int32_t kMessageId = 1016;
    static constexpr int32_t kCancelButtonId = 1017;
    static constexpr char16_t kButtonText[] = u"印刷中止(&C)";

    // cancel runs the job's cancel action.
    explicit CancelDialogPresenter(std::function<void()> cancel) : cancel_(std::move(cancel)) {}

    const std::u16string& caption() const { return caption_; }
    const std::u16string& message() const { return message_; }
    bool buttonVisible() const { return button_; }
    void SetCaption(std::u16string text) { caption_ = std::move(text); }
    void SetMessage(std::u16string text) { message_ = std::move(text); }
    void SetButton(bool shown) { button_ = shown; }

    // A command from a control (notification 0 is a click): the button cancels while shown.
    void OnCommand(int32_t id, int32_t notification);
    // Keys aimed at the cancel button that act as its click: Enter, and C with Alt held.
    static bool IsButtonKey(int key, bool alt);

  private:
    std::function<void()> cancel_;
    std::u16string caption_;
    std::u16string message_;
    bool button_ = true;
};

// The view: shown at once, modeless, centred over its owner or the screen. Null when there is
// no QApplication or the caller is not on its thread.
class CancelDialogView {
  public:
    virtual ~CancelDialogView() = default;
    // Shows the presenter's texts and button again; from any thread (the view takes a copy).
    virtual void Refresh() = 0;
};
std::unique_ptr<CancelDialogView> MakeCancelDialogView(CancelDialogPresenter* presenter,
                                                       void* ownerWindow);
// Destroys a view from any thread (off its own thread, once its thread gets to it).
void DestroyCancelDialogView(std::unique_ptr<CancelDialogView> view);

// The cancel dialog as a printer job keeps it: whether the host wants one, its caption, message
// and button as the host set them, and the dialog itself while the job's document is open. A
// text or button changed while the dialog is shown shows at once.
class JobCancelDialog {
  public:
    static constexpr char16_t kDefaultCaption[] = u"印刷中";

    // cancel runs the job's cancel action.
    explicit JobCancelDialog(std::function<void()> cancel) : cancel_(std::move(cancel)) {}

    // Shows the dialog, owned by a window of the host (0: none), unless the host wants none:
    // 0, or -11005 when it cannot be made (no QApplication, or off its thread).
    int32_t Show(uint32_t ownerWindow);
    void Destroy();

    bool Wanted() const { return wanted_; }
    void SetWanted(bool wanted) { wanted_ = wanted; }
    const std::u16string& Caption() const { return caption_; }
    const std::u16string& Message() const { return message_; }
    bool Button() const { return button_; }
    void SetCaption(std::u16string text);
    void SetMessage(std::u16string text);
    void SetButton(bool shown);

  private:
    void Refresh();

    std::function<void()> cancel_;
    bool wanted_ = true;
    std::u16string caption_ = kDefaultCaption;
    std::u16string message_;
    bool button_ = true;
    std::unique_ptr<CancelDialogPresenter> presenter_;
    std::unique_ptr<CancelDialogView> view_;
};

}  // namespace kp
