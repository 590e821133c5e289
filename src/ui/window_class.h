#pragma once

#include <windows.h>

namespace wrenfold::ui {

// The program's classes: no extra bytes, no background brush (each window erases itself),
// the arrow cursor.
inline void register_window_class(HINSTANCE instance, const wchar_t* name, WNDPROC procedure,
                                   UINT style = 0, HICON large_icon = nullptr, HICON small_icon = nullptr) {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.style = style;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hIcon = large_icon;
  window_class.hIconSm = small_icon;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = name;
  RegisterClassExW(&window_class);
}

}  // namespace wrenfold::ui
