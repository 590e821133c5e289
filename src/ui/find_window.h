#pragma once
// The modeless Find and Replace window: created on first use, afterwards only hidden and shown,
// destroyed with the main window.

#include <windows.h>

namespace wrenfold::ui {

struct MainWindowState;

inline constexpr wchar_t kFindWindowClass[] = L"WrenfoldFind";

// The Find (false) or Replace (true) command: shows the window on that tab with the editor's
// one-line selection, or else the last search, in "Find what:".
void open_find_window(MainWindowState& state, bool replace_mode);

// This thread's Find and Replace window, hidden or shown, or null before it is created and once
// it is destroyed.
HWND find_replace_window();

// Find next and Find previous of the main window: the last search once more, or the window
// when there has been none.
void find_again(MainWindowState& state, bool up);

}  // namespace wrenfold::ui
