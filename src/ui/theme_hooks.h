#pragma once
// The steps of a theme change that belong to the main window's own code; apply_theme calls
// them in their place in its order.

namespace wrenfold::ui {

struct MainWindowState;

// The three popup menus get the palette's popup background, and the View menu's check marks
// follow the settings again.
void refresh_menu_theme(MainWindowState& state);

// Sizes and places the main window's children.
void layout_main_window(MainWindowState& state);

}  // namespace wrenfold::ui
