// The phone-book duplicate setting that the installer menu and the remote menu both carry: a
// caption and a pair of choices over the state's duplicate-check flag, each menu with its own ids.
#pragma once

#include <array>

#include "app/dialog.h"

namespace qzs::app {

class CDataSettingApp;

class DuplicateSetting {
  public:
    DuplicateSetting(int caption_id, int allowed_id, int refused_id)
        : caption_(caption_id), allowed_(allowed_id), refused_(refused_id) {}

    // The controls the menu adds: the caption, then the two choices.
    std::array<Control, 3> Controls() const;
    // Marks the choice the state holds.
    void Show(DialogPresenter& menu, CDataSettingApp& app) const;
    // Stores the choice when `id` is one of the pair and shows it; false for any other id.
    bool OnCommand(DialogPresenter& menu, CDataSettingApp& app, int id) const;

  private:
    int caption_;
    int allowed_;
    int refused_;
};

}  // namespace qzs::app
