// The end-to-end test's script: with KORVA_QZS_SCRIPT=exit the program presses the top menu's
// exit button once it is shown and answers the question with Yes, so it ends as a user would end
// it. Without that variable the overrides are empty and the program runs as it ships.
#pragma once

#include "app/composition.h"

namespace qzs::app::ui {

class ScriptedExit {
  public:
    ScriptedExit();
    ~ScriptedExit();
    ScriptedExit(const ScriptedExit&) = delete;
    ScriptedExit& operator=(const ScriptedExit&) = delete;

    Composition::Overrides overrides();

  private:
    class Messages;
    class Runner;
    Messages* messages_ = nullptr;
    Runner* runner_ = nullptr;
};

}  // namespace qzs::app::ui
