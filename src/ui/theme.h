#pragma once
// The two colour palettes, the thread's current palette, and the system plumbing that turns
// title bars, menus and standard controls dark.

#include <windows.h>
#include <richedit.h>

#include "settings.h"

namespace wrenfold::ui {

struct MainWindowState;

// Every routine that paints reads its colours from the current palette.
struct ThemeColors {
  COLORREF background;      // editor, main window, gutter, menu bar, status bar, caption
  COLORREF text;            // editor text, labels
  COLORREF secondary_text;  // secondary labels, popup accelerator text
  COLORREF muted_text;      // gutter line numbers
  COLORREF divider;         // 1-pixel separator lines
  COLORREF hover;           // fill under the pointer
  COLORREF pressed;         // fill of a pressed or open item
  COLORREF accent;
  COLORREF chrome;          // background of the small windows (Go to, Find and Replace, Settings)
  COLORREF disabled_text;
  bool is_dark;
};

inline constexpr ThemeColors kLightPalette = {
    RGB(249, 249, 249), RGB(26, 26, 26),   RGB(93, 93, 93),   RGB(139, 139, 139),
    RGB(229, 229, 229), RGB(238, 238, 238), RGB(228, 228, 228), RGB(0, 95, 184),
    RGB(243, 243, 243), RGB(160, 160, 160), false};

inline constexpr ThemeColors kDarkPalette = {
    RGB(40, 40, 40), RGB(255, 255, 255), RGB(197, 197, 197), RGB(156, 156, 156),
    RGB(28, 28, 28), RGB(54, 54, 54),    RGB(49, 49, 49),    RGB(96, 205, 255),
    RGB(32, 32, 32), RGB(120, 120, 120), true};

// Colours outside the palette, picked by its dark flag.
COLORREF popup_menu_background(bool dark);
COLORREF input_background(bool dark);  // input fields and cards
COLORREF border_color(bool dark);      // 1-pixel borders of cards and frames

// True only when the current user's "AppsUseLightTheme" reads as the number 0; any failure
// means light.
bool system_uses_dark_apps();

// Resolves the setting (System follows the system's apps mode), makes the result this thread's
// current palette and returns it.
ThemeColors resolve_palette(Theme theme);

// The thread's current palette; a fatal error before the first resolve_palette.
const ThemeColors& current_palette();

// The thread's current palette, or null before the first resolve_palette.
const ThemeColors* find_current_palette();

// Unnamed uxtheme functions, reached by ordinal. Each may be absent (older systems, Wine);
// an absent one is skipped.
struct ThemeEntryPoints {
  using SetPreferredAppMode = int(WINAPI*)(int mode);                    // ordinal 135
  using AllowDarkModeForWindow = bool(WINAPI*)(HWND window, bool allow);  // ordinal 133
  using FlushMenuThemes = void(WINAPI*)();                               // ordinal 136

  SetPreferredAppMode set_preferred_app_mode = nullptr;
  AllowDarkModeForWindow allow_dark_mode_for_window = nullptr;
  FlushMenuThemes flush_menu_themes = nullptr;
};

// Loaded on the first call; the library stays loaded for the life of the process.
const ThemeEntryPoints& load_theme_entry_points();

// Forces the process's menus and common controls dark or light, and drops the cached menu
// themes so that the next popup menu shows the change.
void set_process_dark_mode(bool dark);

// Dark title bar (attribute 20) and caption colour (attribute 35). Results are ignored:
// systems without them keep their default frame.
void set_dark_title_bar(HWND window, bool dark);
void set_caption_color(HWND window, COLORREF color);

// Both of the above from a palette: dark flag and the palette's background as caption.
void theme_title_bar(HWND window, const ThemeColors& palette);

// The one place that gives the editor its colours: `format`, with whatever else its mask holds,
// gets the palette's text and character background colours and goes to the whole text and to the
// default format; the control's background follows. One pass over the text.
void set_editor_format(HWND editor, CHARFORMAT2W format, const ThemeColors& palette);

// set_editor_format with the colours alone.
void set_editor_colors(HWND editor, const ThemeColors& palette);

// Applies the settings' theme everywhere: palette, process dark mode, title bar, editor, menus,
// repaint, the Find and Replace window, layout. At start-up once the windows exist, after the
// Settings window changed the theme, and when the system's apps mode changes under System.
void apply_theme(MainWindowState& state);

// All of apply_theme after the editor's character colours, for a palette just resolved: the
// view-settings step formats the text itself, colours included, and goes on here.
void apply_theme_to_windows(MainWindowState& state, const ThemeColors& palette);

}  // namespace wrenfold::ui
