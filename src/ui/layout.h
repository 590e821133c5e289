#pragma once
// Where the main window's children go. The arithmetic is kept apart from the windows so
// that it can be checked at any DPI.

#include <windows.h>

#include <cstdint>
#include <optional>

namespace wrenfold::ui {

struct MainWindowState;

struct ChildRects {
  RECT menu_bar;
  RECT gutter;
  RECT editor;
  RECT status_bar;
};

struct LayoutInput {
  int client_width;
  int client_height;
  unsigned dpi;
  bool status_bar;
  bool line_numbers;
  std::uint64_t line_count;
  unsigned digit_width;
};

// Decimal digits of `value`, at least 2 (the gutter's column count).
unsigned gutter_digits(std::uint64_t line_count);

int gutter_width(std::uint64_t line_count, unsigned digit_width, unsigned dpi);

ChildRects compute_layout(const LayoutInput& input);

// The editor's text rectangle inside a client area of `width` × `height` at `dpi`.
RECT editor_text_rect(int width, int height, unsigned dpi);

// DPI of a window, 96 when the system does not say.
unsigned window_dpi(HWND window);

// Lays out the main window with a gutter for `line_count` lines (by default the editor's).
void layout_main_window_for_lines(MainWindowState& state, std::optional<std::uint64_t> line_count);

// Whether laying out the main window now would give the editor another size.
bool editor_size_changes(MainWindowState& state);

// Sets the editor's text margins from its current size.
void set_editor_margins(HWND editor);

}  // namespace wrenfold::ui
