#include "main_window_state.h"

#include "fatal.h"

namespace wrenfold::ui {
namespace {

thread_local std::unique_ptr<MainWindowState> t_state;

}  // namespace

GuardedSettings::Use::Use(GuardedSettings& owner) : owner_(owner) {
  if (owner_.uses_ != 0) fatal_error("the settings are not in use elsewhere");
  ++owner_.uses_;
}

MainWindowState& main_window_state() {
  if (!t_state) fatal_error("the main window exists");
  return *t_state;
}

MainWindowState* find_main_window_state() { return t_state.get(); }

void install_main_window_state(std::unique_ptr<MainWindowState> state) { t_state = std::move(state); }

void remove_main_window_state() { t_state.reset(); }

}  // namespace wrenfold::ui
