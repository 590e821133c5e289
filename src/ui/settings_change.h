#pragma once
// A change the user makes to the settings: into this window's working copy, and into the file
// as it is now, so that other windows' changes to other fields survive.

#include <functional>

#include "settings.h"

namespace wrenfold::ui {

struct MainWindowState;

void store_settings_change(MainWindowState& state, const std::function<void(AppSettings&)>& change);

}  // namespace wrenfold::ui
