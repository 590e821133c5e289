#include "layout.h"

#include <algorithm>
#include <optional>

#include "editor.h"
#include "main_window_state.h"
#include "theme_hooks.h"

namespace wrenfold::ui {

unsigned gutter_digits(std::uint64_t line_count) {
  unsigned digits = 1;
  for (std::uint64_t rest = line_count; rest >= 10; rest /= 10) ++digits;
  return std::max(digits, 2u);
}

int gutter_width(std::uint64_t line_count, unsigned digit_width, unsigned dpi) {
  return static_cast<int>(gutter_digits(line_count) * digit_width + 2 * (dpi / 8));
}

ChildRects compute_layout(const LayoutInput& input) {
  const int dpi = static_cast<int>(input.dpi);
  const int width = input.client_width;
  const int menu_height = 40 * dpi / 96;
  const int status_height = input.status_bar ? 28 * dpi / 96 : 0;
  const int gutter = input.line_numbers ? gutter_width(input.line_count, input.digit_width, input.dpi) : 0;
  const int editor_height = std::max(0, input.client_height - menu_height - status_height);
  ChildRects rects;
  rects.menu_bar = {0, 0, width, menu_height};
  rects.gutter = {0, menu_height, gutter, menu_height + editor_height};
  rects.editor = {gutter, menu_height, gutter + std::max(0, width - gutter), menu_height + editor_height};
  rects.status_bar = {0, menu_height + editor_height, width, menu_height + editor_height + status_height};
  return rects;
}

RECT editor_text_rect(int width, int height, unsigned dpi) {
  const int d = static_cast<int>(dpi);
  return RECT{d / 8, d / 12, std::max(width - d / 24, d / 8 + 1), std::max(height - d / 12, d / 12 + 1)};
}

unsigned window_dpi(HWND window) {
  const UINT dpi = GetDpiForWindow(window);
  return dpi == 0 ? 96 : dpi;
}

void set_editor_margins(HWND editor) {
  RECT client;
  GetClientRect(editor, &client);
  RECT text = editor_text_rect(client.right, client.bottom, window_dpi(editor));
  // A new rectangle re-wraps the whole text, so an unchanged one is not sent again: the
  // control sends WM_SIZE whenever a scroll bar comes or goes, several times in a large load.
  RECT current = {};
  SendMessageW(editor, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&current));
  if (EqualRect(&current, &text)) return;
  SendMessageW(editor, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&text));
  // The control does not always repaint after a new text rectangle.
  InvalidateRect(editor, nullptr, TRUE);
}

namespace {

LayoutInput layout_input(MainWindowState& state, std::optional<std::uint64_t> line_count) {
  RECT client;
  GetClientRect(state.main_window, &client);
  LayoutInput input;
  input.client_width = client.right;
  input.client_height = client.bottom;
  input.dpi = window_dpi(state.main_window);
  {
    GuardedSettings::Use settings = state.settings.use();
    input.status_bar = settings->status_bar;
    input.line_numbers = settings->line_numbers;
  }
  input.line_count = !input.line_numbers ? 1 : line_count ? *line_count : editor_line_count(state);
  input.digit_width = state.digit_width;
  return input;
}

}  // namespace

bool editor_size_changes(MainWindowState& state) {
  if (state.main_window == nullptr || state.editor == nullptr) return false;
  const RECT planned = compute_layout(layout_input(state, std::nullopt)).editor;
  RECT frame;
  GetWindowRect(state.editor, &frame);
  return frame.right - frame.left != planned.right - planned.left || frame.bottom - frame.top != planned.bottom - planned.top;
}

void layout_main_window(MainWindowState& state) { layout_main_window_for_lines(state, std::nullopt); }

void layout_main_window_for_lines(MainWindowState& state, std::optional<std::uint64_t> line_count) {
  if (state.main_window == nullptr) return;
  const LayoutInput input = layout_input(state, line_count);
  if (input.line_numbers) state.last_line_count = static_cast<unsigned>(input.line_count);
  const ChildRects rects = compute_layout(input);
  const auto place = [](HWND window, const RECT& r) {
    if (window != nullptr) MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  };
  place(state.menu_bar, rects.menu_bar);
  place(state.gutter, rects.gutter);
  place(state.editor, rects.editor);
  place(state.status_bar, rects.status_bar);
  if (state.editor != nullptr) set_editor_margins(state.editor);
}

}  // namespace wrenfold::ui
