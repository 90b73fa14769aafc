#include "app/ui/scripted_exit.h"

#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "app/top_menu.h"
#include "app/ui/dialog_view.h"

namespace qzs::app::ui {

class ScriptedExit::Messages : public MessagePort {
  public:
    int ShowMessage(std::string_view, std::string_view, MessageIcon,
                    MessageButtons buttons) override {
        return buttons == MessageButtons::kYesNo ? kIdYes : kIdOk;
    }
};

class ScriptedExit::Runner : public DialogRunner {
  public:
    int RunModal(DialogPresenter& dialog) override {
        DialogView view(dialog);
        QTimer::singleShot(200, &view, [&dialog] { dialog.Press(CTopMenuDialog::kExit); });
        view.exec();
        return dialog.ended() ? dialog.result() : kIdCancel;
    }
};

ScriptedExit::ScriptedExit() {
    const char* script = std::getenv("KORVA_QZS_SCRIPT");
    if (script != nullptr && std::strcmp(script, "exit") == 0) {
        messages_ = new Messages;
        runner_ = new Runner;
    }
}

ScriptedExit::~ScriptedExit() {
    delete messages_;
    delete runner_;
}

Composition::Overrides ScriptedExit::overrides() {
    return {.messages = messages_, .runner = runner_};
}

}  // namespace qzs::app::ui
