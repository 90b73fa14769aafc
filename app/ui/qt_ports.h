// The program's side of the shell's ports: file choosers, the wait cursor, the event pump and
// running work on the GUI thread.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/data_file_dialog.h"

namespace qzs::app::ui {

std::optional<std::string> ChooseFile(const FileChooserRequest& request);
void SetWaitCursor(bool wait);
// One pass over the events waiting on the GUI thread.
void PumpEvents();
// Runs the function on the GUI thread and returns when it has run (at once on the GUI thread).
void RunOnGuiThread(const std::function<void()>& work);

}  // namespace qzs::app::ui
