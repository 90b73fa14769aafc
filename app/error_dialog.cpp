#include "app/error_dialog.h"

namespace qzs::app {

CErrorDialog::CErrorDialog() : DialogPresenter(388, "エラー", {0, 0, 340, 120}) {
    Add({390, ControlKind::kIcon, "", {16, 20, 32, 32}});
    Control& text = Add({kText, ControlKind::kLabel, "", {56, 26, 268, 20}});
    text.centred = true;
    Control& ok = Add({kIdOk, ControlKind::kButton, "OK", {125, 76, 90, 28}});
    ok.is_default = true;
}

void CErrorDialog::OnInit() {
    SetText(kText, message_);
}

void CErrorDialog::OnCommand(int id) {
    if (id == kIdOk) End(kIdOk);
}

int ErrorReporter::Report(std::string_view text) {
    // Reports from several workers come one after the other, never two dialogs at once.
    std::lock_guard lock(one_at_a_time_);
    CErrorDialog dialog;
    dialog.SetMessage(text);
    int result = 0;
    auto run = [&] { result = runner_.RunModal(dialog); };
    if (run_on_gui_thread_) {
        run_on_gui_thread_(run);
    } else {
        run();
    }
    return result;
}

}  // namespace qzs::app
