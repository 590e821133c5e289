#pragma once
// Process start: from OLE and the common controls to a visible main window.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "placement.h"

namespace wrenfold::ui {

struct MainWindowState;

inline constexpr wchar_t kPlacementVariable[] = L"WRENFOLD_NEW_WINDOW_PLACEMENT";

// Where the first window goes: the placement handed over by another window, else the saved
// one; nothing (the system's default, shown normally) when neither is usable. A placement is
// usable when it is at least 200 × 150 and touches a monitor.
std::optional<WindowPlacement> choose_placement(const std::optional<std::u16string>& handed_over,
                                                const std::optional<WindowPlacement>& saved,
                                                const std::function<bool(const RECT&)>& touches_monitor);

struct StartOptions {
  std::optional<std::u16string> settings_path;  // tests keep their own settings file
  std::optional<std::u16string> command_line;   // as GetCommandLineW would give it
};

// Runs start-up up to the shown main window and the posted command-line path; the state is
// in the thread's slot afterwards.
MainWindowState& start_main_window(HINSTANCE instance, const StartOptions& options);

// The whole program: start-up, then the message loop. Returns the exit code.
int run_application(HINSTANCE instance);

}  // namespace wrenfold::ui
