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

}  // namespace kp
