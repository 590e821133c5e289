#pragma once
// The line numbers beside the text: one per logical line, on its first display line.

#include <windows.h>

namespace wrenfold::ui {

inline constexpr wchar_t kGutterClass[] = L"WrenfoldGutter";

void register_gutter_class(HINSTANCE instance);

}  // namespace wrenfold::ui
