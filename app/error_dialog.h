// The error dialog (388): one line of text, an icon and OK. The web server's workers report
// through it from their own threads; the dialog itself always runs on the GUI thread, and the
// caller waits until the user has closed it.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "app/dialog.h"

namespace qzs::app {

class CErrorDialog : public DialogPresenter {
  public:
    static constexpr int kText = 2568;

    CErrorDialog();
    void SetMessage(std::string_view text) { message_ = std::string(text); }
    void OnInit() override;

  protected:
    void OnCommand(int id) override;

  private:
    std::string message_;
};

// Shows error dialogs one at a time from any thread.
class ErrorReporter {
  public:
    // Runs a function on the GUI thread and waits until it has run.
    using GuiInvoker = std::function<void(const std::function<void()>&)>;

    ErrorReporter(DialogRunner& runner, GuiInvoker run_on_gui_thread)
        : runner_(runner), run_on_gui_thread_(std::move(run_on_gui_thread)) {}

    // Shows the text and returns when the dialog is closed. The caller must not hold the
    // application lock: the GUI thread takes it too, and would wait for the caller for ever.
    int Report(std::string_view text);

  private:
    DialogRunner& runner_;
    GuiInvoker run_on_gui_thread_;
    std::mutex one_at_a_time_;
};

}  // namespace qzs::app
