#pragma once
// Where everything of the Find and Replace window goes, at 96 DPI and scaled: the controls on
// either tab with the options open or closed, the options box, the tabs, the window's size and
// its first place next to the editor.

#include <windows.h>

#include <cstdint>
#include <span>

namespace wrenfold::ui {

enum class FindControlShown : std::uint8_t {
  Always,
  ReplaceTab,    // only on the Replace tab
  OptionsPanel,  // only while the options are open
};

// One child control; y_replace is its y on the Replace tab (the same as y_find for controls
// that never move). The status line's y is computed from the options box.
struct FindControlDefinition {
  std::uint16_t id;
  const wchar_t* class_name;
  const wchar_t* text;
  DWORD style;
  int x;
  int y_find;
  int y_replace;
  int width;
  int height;
  FindControlShown shown;
};

std::span<const FindControlDefinition> find_control_definitions();

// Whether the control shows on the tab with the options open or closed.
bool find_control_shown(const FindControlDefinition& control, bool replace_mode, bool options_expanded);

// The control's rectangle in pixels at `dpi`.
RECT find_control_rect(const FindControlDefinition& control, bool replace_mode, bool options_expanded,
                       unsigned dpi);

// The outlined options box in pixels at `dpi`: from the header's top to `bottom`.
RECT options_box_rect(bool replace_mode, bool options_expanded, unsigned dpi);

// The client area in pixels at `dpi`: 560 wide, the box's bottom plus 36 high.
SIZE find_client_size(bool replace_mode, bool options_expanded, unsigned dpi);

// The tab strip's click targets for labels of the given widths.
struct FindTabRects {
  RECT find;
  RECT replace;
};
FindTabRects find_tab_rects(int find_label_width, int replace_label_width, unsigned dpi);

// Height of the tab strip in pixels at `dpi`.
int tab_strip_height(unsigned dpi);

// Where the window (of `window_size`) first goes: against the right edge of the editor's
// client area, below its first text line, inside the work area.
struct FindPlacementInput {
  POINT editor_origin;   // the editor's client origin on screen
  int editor_width;      // its client width
  int line_height;       // the editor font's height plus external leading
  SIZE window_size;
  RECT work_area;
  unsigned dpi;
};
POINT find_window_position(const FindPlacementInput& input);

}  // namespace wrenfold::ui
