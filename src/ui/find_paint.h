#pragma once
// The Find and Replace window's own drawing: the tab strip, the options box and the Options
// header with its summary.

#include <windows.h>

#include <string>

#include "find_layout.h"
#include "theme.h"

namespace wrenfold::ui {

// The width of a tab label in the user-interface font at `dpi`, "&" prefixes not counted.
int tab_label_width(HWND window, const wchar_t* label, unsigned dpi);

struct FindPaintInput {
  bool replace_mode = false;
  bool options_expanded = false;
  bool hide_accelerators = false;
  FindTabRects tabs = {};
  RECT options_box = {};
  unsigned dpi = 96;
};

// The whole client area: chrome, tabs, the box outline (controls paint themselves).
void paint_find_window(HDC dc, const RECT& client, const FindPaintInput& input, const ThemeColors& palette);

// WM_DRAWITEM of the Options header.
void draw_options_header(const DRAWITEMSTRUCT& item, const std::u16string& summary, bool expanded,
                         unsigned dpi, const ThemeColors& palette);

inline constexpr wchar_t kFindTabLabel[] = L"&Find";
inline constexpr wchar_t kReplaceTabLabel[] = L"&Replace";

}  // namespace wrenfold::ui
