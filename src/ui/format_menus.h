#pragma once
// The status bar's line-ending and encoding menus: they change what the next save writes.

#include <windows.h>

namespace wrenfold::ui {

struct MainWindowState;

inline constexpr unsigned kFirstLineEndingItem = 500;  // 500 to 502 in LineEnding order
inline constexpr unsigned kFirstEncodingItem = 510;    // 510 to 514 in Encoding order

// The popup with the document's current value checked; the caller destroys it.
HMENU build_format_menu(const MainWindowState& state, bool line_endings);

// Shows the popup above the status-bar field that opened it and applies the choice.
void show_format_menu(MainWindowState& state, bool line_endings);

// Stores the chosen line ending or encoding; the text itself is left as it is.
void apply_format_choice(MainWindowState& state, unsigned item);

}  // namespace wrenfold::ui
