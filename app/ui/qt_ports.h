// The program's side of the shell's ports: file choosers, the wait cursor, the event pump and
// running work on the GUI thread.
#pragma once

#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/data_file_dialog.h"

namespace qzs::app::ui {

// The data file dialog's filter text ("text|pattern|...") as the chooser's name filters.
QStringList NameFilters(const std::string& filter);
std::optional<std::string> ChooseFile(const FileChooserRequest& request);
void SetWaitCursor(bool wait);
// The opener window (dialog_view.h) as a window handle of the shared table, for the report
// library's dialogs to take as their owner; 0 when there is none.
uint32_t ActiveWindowHandle();
// One pass over the events waiting on the GUI thread.
void PumpEvents();
// Runs the function on the GUI thread and returns when it has run (at once on the GUI thread).
void RunOnGuiThread(const std::function<void()>& work);

}  // namespace qzs::app::ui
