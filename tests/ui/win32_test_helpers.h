#pragma once
// Small Win32 conveniences the UI tests share.

#include <windows.h>

#include <string>

namespace wrenfold::ui::testing {

inline const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// The system's temporary folder, ending in a separator.
inline std::u16string temp_folder() {
  wchar_t buffer[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, buffer);
  return reinterpret_cast<const char16_t*>(buffer);
}

// Holds modifier keys down as far as GetKeyState is concerned.
inline void set_modifiers(bool ctrl, bool shift, bool alt) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = ctrl ? 0x80 : 0;
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  keys[VK_MENU] = alt ? 0x80 : 0;
  SetKeyboardState(keys);
}

// The colour of a menu's background brush, or CLR_INVALID when it has none of its own.
inline COLORREF menu_background_color(HMENU menu) {
  MENUINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = MIM_BACKGROUND;
  if (!GetMenuInfo(menu, &info) || info.hbrBack == nullptr) return CLR_INVALID;
  LOGBRUSH brush = {};
  GetObjectW(info.hbrBack, sizeof brush, &brush);
  return brush.lbColor;
}

}  // namespace wrenfold::ui::testing
