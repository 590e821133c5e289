#include "theme.h"

#include <dwmapi.h>

#include <cwchar>
#include <optional>

#include "fatal.h"

namespace wrenfold::ui {
namespace {

constexpr DWORD kDwmUseImmersiveDarkMode = 20;
constexpr DWORD kDwmCaptionColor = 35;

constexpr int kAppModeForceDark = 2;
constexpr int kAppModeForceLight = 3;

constexpr WORD kOrdinalSetPreferredAppMode = 135;
constexpr WORD kOrdinalAllowDarkModeForWindow = 133;
constexpr WORD kOrdinalFlushMenuThemes = 136;

thread_local std::optional<ThemeColors> t_current_palette;

template <typename Function>
Function entry_point(HMODULE library, WORD ordinal) {
  // GetProcAddress hands out a generic function pointer; the ordinal fixes the real signature.
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(ordinal))));
}

ThemeEntryPoints load_entry_points_from_system() {
  ThemeEntryPoints entry_points;
  // Only the system folder: a uxtheme.dll beside the document or the program must not load.
  const HMODULE library = LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (library == nullptr) return entry_points;
  entry_points.set_preferred_app_mode =
      entry_point<ThemeEntryPoints::SetPreferredAppMode>(library, kOrdinalSetPreferredAppMode);
  entry_points.allow_dark_mode_for_window = entry_point<ThemeEntryPoints::AllowDarkModeForWindow>(
      library, kOrdinalAllowDarkModeForWindow);
  entry_points.flush_menu_themes =
      entry_point<ThemeEntryPoints::FlushMenuThemes>(library, kOrdinalFlushMenuThemes);
  return entry_points;
}

// Whether the editor's default format already has every attribute `wanted` sets.
bool default_format_holds(HWND editor, const CHARFORMAT2W& wanted) {
  CHARFORMAT2W current = {};
  current.cbSize = sizeof(current);
  SendMessageW(editor, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&current));
  const DWORD mask = wanted.dwMask;
  if ((current.dwMask & mask) != mask) return false;
  constexpr DWORD kEffects[][2] = {{CFM_BOLD, CFE_BOLD}, {CFM_ITALIC, CFE_ITALIC}, {CFM_UNDERLINE, CFE_UNDERLINE},
                                   {CFM_STRIKEOUT, CFE_STRIKEOUT}, {CFM_COLOR, CFE_AUTOCOLOR},
                                   {CFM_BACKCOLOR, CFE_AUTOBACKCOLOR}};
  for (const auto& [attribute, effect] : kEffects) {
    if ((mask & attribute) && (current.dwEffects & effect) != (wanted.dwEffects & effect)) return false;
  }
  if ((mask & CFM_SIZE) && current.yHeight != wanted.yHeight) return false;
  if ((mask & CFM_CHARSET) && current.bCharSet != wanted.bCharSet) return false;
  if ((mask & CFM_FACE) && std::wcscmp(current.szFaceName, wanted.szFaceName) != 0) return false;
  if ((mask & CFM_COLOR) && current.crTextColor != wanted.crTextColor) return false;
  if ((mask & CFM_BACKCOLOR) && current.crBackColor != wanted.crBackColor) return false;
  return true;
}

}  // namespace

COLORREF popup_menu_background(bool dark) { return dark ? RGB(44, 44, 44) : RGB(251, 251, 251); }

COLORREF input_background(bool dark) { return dark ? RGB(45, 45, 45) : RGB(255, 255, 255); }

COLORREF border_color(bool dark) { return dark ? RGB(58, 58, 58) : RGB(220, 220, 220); }

bool system_uses_dark_apps() {
  DWORD apps_use_light_theme = 1;
  DWORD size = sizeof(apps_use_light_theme);
  const LSTATUS status = RegGetValueW(
      HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
      L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &apps_use_light_theme, &size);
  return status == ERROR_SUCCESS && apps_use_light_theme == 0;
}

ThemeColors resolve_palette(Theme theme) {
  bool dark = false;
  switch (theme) {
    case Theme::Light: dark = false; break;
    case Theme::Dark: dark = true; break;
    case Theme::System: dark = system_uses_dark_apps(); break;
  }
  t_current_palette = dark ? kDarkPalette : kLightPalette;
  return *t_current_palette;
}

const ThemeColors& current_palette() {
  if (!t_current_palette) fatal_error("the palette is resolved before anything is painted");
  return *t_current_palette;
}

const ThemeColors* find_current_palette() {
  return t_current_palette ? &*t_current_palette : nullptr;
}

const ThemeEntryPoints& load_theme_entry_points() {
  // A function-local static is initialised exactly once, even if two threads race here.
  static const ThemeEntryPoints entry_points = load_entry_points_from_system();
  return entry_points;
}

void set_process_dark_mode(bool dark) {
  const ThemeEntryPoints& entry_points = load_theme_entry_points();
  if (entry_points.set_preferred_app_mode != nullptr) {
    entry_points.set_preferred_app_mode(dark ? kAppModeForceDark : kAppModeForceLight);
  }
  if (entry_points.flush_menu_themes != nullptr) entry_points.flush_menu_themes();
}

void set_dark_title_bar(HWND window, bool dark) {
  const BOOL value = dark ? TRUE : FALSE;
  DwmSetWindowAttribute(window, kDwmUseImmersiveDarkMode, &value, sizeof(value));
}

void set_caption_color(HWND window, COLORREF color) {
  DwmSetWindowAttribute(window, kDwmCaptionColor, &color, sizeof(color));
}

void theme_title_bar(HWND window, const ThemeColors& palette) {
  set_dark_title_bar(window, palette.is_dark);
  set_caption_color(window, palette.background);
}

void set_editor_format(HWND editor, CHARFORMAT2W format, const ThemeColors& palette) {
  format.cbSize = sizeof(format);
  format.dwMask |= CFM_COLOR | CFM_BACKCOLOR;
  // No CFE_AUTOCOLOR or CFE_AUTOBACKCOLOR: the system's window colours would win.
  format.dwEffects &= ~(CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR);
  format.crTextColor = palette.text;
  format.crBackColor = palette.background;
  SendMessageW(editor, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  // The default format colours text typed into an empty editor. A plain-text control may have
  // taken it with the whole text, and setting it again lays out the whole text once more.
  if (!default_format_holds(editor, format)) {
    SendMessageW(editor, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  }
  SendMessageW(editor, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(palette.background));
}

void set_editor_colors(HWND editor, const ThemeColors& palette) {
  set_editor_format(editor, CHARFORMAT2W{}, palette);
}

}  // namespace wrenfold::ui
