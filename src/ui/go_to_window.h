#pragma once
// The modal Go to line window.

#include <windows.h>

namespace wrenfold::ui {

struct MainWindowState;

void register_go_to_class(HINSTANCE instance);

// Asks for a line number and puts the caret at the start of that line; Cancel leaves it.
void show_go_to_line(MainWindowState& state);

}  // namespace wrenfold::ui
