#include "settings_change.h"

#include "main_window_state.h"

namespace wrenfold::ui {

void store_settings_change(MainWindowState& state, const std::function<void(AppSettings&)>& change) {
  {
    GuardedSettings::Use settings = state.settings.use();
    change(*settings);
  }
  std::optional<AppSettings> stored = load_settings_to_change(state.settings_path);
  if (!stored) return;
  change(*stored);
  save_settings(state.settings_path, *stored);
}

}  // namespace wrenfold::ui
