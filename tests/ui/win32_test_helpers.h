#pragma once
// Small Win32 conveniences the UI tests share.

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

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

// The editor's resizes while it loads a text with EM_SETTEXTEX and after: each one lays the
// whole text out again. Installed with SetWindowSubclass, the record as its data.
struct LoadResizes {
  bool loading = false;
  bool loaded = false;
  int while_loading = 0;
  int after_loading = 0;
};

inline LRESULT CALLBACK count_resizes_around_load(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                                  DWORD_PTR data) {
  LoadResizes& resizes = *reinterpret_cast<LoadResizes*>(data);
  if (message == WM_SIZE && resizes.loading) ++resizes.while_loading;
  if (message == WM_SIZE && resizes.loaded) ++resizes.after_loading;
  if (message != EM_SETTEXTEX) return DefSubclassProc(window, message, wparam, lparam);
  resizes.loading = true;
  const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
  resizes.loading = false;
  resizes.loaded = true;
  return result;
}

}  // namespace wrenfold::ui::testing
