#pragma once
// The self-drawn menu bar across the top of the main window: the File, Edit and View titles,
// which open the main menu's submenus as popup menus, and the Settings button. Its keyboard
// behaviour (Alt, F10, mnemonics, arrows) comes through the message loop and, while a menu is
// open, through a message-filter hook.

#include <windows.h>

#include <array>
#include <optional>

namespace wrenfold::ui {

inline constexpr wchar_t kMenuBarClass[] = L"WrenfoldMenuBar";

inline constexpr int kMenuBarTitleCount = 3;  // File, Edit, View
inline constexpr int kMenuBarItemCount = 4;   // the titles and the Settings button
inline constexpr int kMenuBarSettingsItem = 3;

// What the filter hook decides while a menu is open.
enum class NextMenuAction {
  ReopenByMouse = 0,
  ReopenByKeyboard = 1,
  Stop = 2,
};

// One per user-interface thread.
struct MenuBarState {
  bool hot = false;
  int hot_index = 0;   // 0 to 3
  bool open = false;
  int open_index = 0;  // 0 to 2
  int next_index = 0;
  NextMenuAction next_action = NextMenuAction::Stop;
  bool show_cues = false;
  bool mouse_tracked = false;
  // The popup that is active and whether its selected item opens a submenu (WM_MENUSELECT).
  HMENU current_menu = nullptr;
  bool current_has_submenu = false;

  HWND window = nullptr;
  HMENU main_menu = nullptr;  // submenus 0, 1, 2: File, Edit, View
  HHOOK filter_hook = nullptr;
  unsigned settings_command = 0;
};

MenuBarState& menubar_state();

// Invalidates the bar; `now` paints it before returning.
void repaint_menubar(bool now = false);

// Item rectangles in the bar's client coordinates, in item order.
using MenuBarLayout = std::array<RECT, kMenuBarItemCount>;

// `title_widths` are the widths of "&File", "&Edit" and "&View" in the text font at `dpi`.
MenuBarLayout compute_menubar_layout(unsigned dpi, int width, int height,
                                     const std::array<int, kMenuBarTitleCount>& title_widths);

// The widths of the three titles in the text font at `dpi`, "&" markers taking no room.
std::array<int, kMenuBarTitleCount> menubar_title_widths(unsigned dpi);

MenuBarLayout menubar_layout(HWND bar);

std::optional<int> hit_test_layout(const MenuBarLayout& layout, POINT point);

// The item under a point of the bar's client area.
std::optional<int> menubar_hit_test(int x, int y);

// The text font (icon false) or the icon font at `dpi`; cached for the thread, never deleted.
HFONT menubar_font(unsigned dpi, bool icon);

// Paints the bar's whole client area of `width` × `height` from the thread's state.
void paint_menubar(HDC dc, unsigned dpi, int width, int height);

void register_menu_bar_class(HINSTANCE instance);

// Creates the bar as a child of `parent` (with zero size: the parent's layout sizes it), shows
// `main_menu`'s submenus, and sends `settings_command` to `parent` for the Settings button. Also
// connects the message loop's Alt and F10 handling to it.
HWND create_menu_bar(HWND parent, HMENU main_menu, unsigned settings_command);

// Opens item `index`: a submenu, tracked until the user leaves the bar's menus, or, for the
// Settings button, its command.
void open_menu(int index, bool by_keyboard);

// Ends keyboard mode: no highlight, no underlines, the focus back to the parent.
void leave_menubar();

// WM_MENUSELECT of the menu's owner: `menu` is the popup whose item is selected (null when a
// menu closes), `flags` the item's flags word.
void remember_menu_selection(HMENU menu, UINT flags);

}  // namespace wrenfold::ui
