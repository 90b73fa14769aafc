// What the shell's presenter tests share: message boxes answered from a script and recorded, and
// a runner that answers modal dialogs in place of the user.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/dialog.h"

namespace qzs::app::testing {

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
    MessageButtons buttons;
};

class ScriptedMessages : public MessagePort {
  public:
    std::deque<int> answers;  // taken in order; Yes/OK when the script is used up
    std::vector<ShownMessage> shown;

    int ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon,
                    MessageButtons buttons) override {
        shown.push_back({std::string(text), std::string(caption), icon, buttons});
        if (answers.empty()) return buttons == MessageButtons::kYesNo ? kIdYes : kIdOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// Each modal run initialises the dialog and hands it to the script, which acts as the user.
class ScriptedRunner : public DialogRunner {
  public:
    std::function<void(DialogPresenter&)> user;
    std::vector<int> opened;  // resource ids in the order the dialogs opened

    int RunModal(DialogPresenter& dialog) override {
        opened.push_back(dialog.resource_id());
        dialog.OnInit();
        if (user) user(dialog);
        return dialog.ended() ? dialog.result() : kIdCancel;
    }
};

}  // namespace qzs::app::testing
