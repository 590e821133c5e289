#pragma once
// Ctrl+Shift+N: another process of the program, its window cascaded from this one.

#include <windows.h>

#include <string>

#include "placement.h"

namespace wrenfold::ui {

struct MainWindowState;

// `source` moved right and down by dpi / 3 (32 pixels at 96 DPI); when that runs past the
// work area's right or bottom edge, its top-left corner goes to the work area's instead.
WindowPlacement cascaded_placement(const RECT& source, unsigned dpi, const RECT& work_area, bool maximized);

// The main window's normal rectangle: the remembered one, else where it is now.
RECT normal_window_rect(const MainWindowState& state);

// `source` cascaded on the main window's monitor at the main window's DPI.
WindowPlacement cascaded_from_main_window(const MainWindowState& state, const RECT& source, bool maximized);

void open_new_window(MainWindowState& state);

// The path of this process's executable; empty when the system can't say.
std::u16string own_executable_path();

}  // namespace wrenfold::ui
