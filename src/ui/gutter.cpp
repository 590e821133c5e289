#include "gutter.h"

#include <richedit.h>

#include <algorithm>
#include <string>

#include "editor.h"
#include "editor_lines.h"
#include "layout.h"
#include "main_window_state.h"
#include "window_class.h"
#include "paint_buffer.h"
#include "theme.h"

namespace wrenfold::ui {
namespace {

void paint_numbers(HDC dc, MainWindowState& state, int width, unsigned dpi) {
  const ThemeColors& palette = current_palette();
  const int right = width - static_cast<int>(dpi / 8);
  SelectedObject font(dc, state.gutter_font ? static_cast<HGDIOBJ>(state.gutter_font.get())
                                            : GetStockObject(DEFAULT_GUI_FONT));
  for (const GutterLabel& label : gutter_labels(state)) {
    const std::wstring text = std::to_wstring(label.number);
    RECT rect = {0, label.top, right, label.top + 400};
    SetTextColor(dc, label.caret_line ? palette.text : palette.muted_text);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);
  }
}

void paint(HWND window) {
  BufferedPaint paint(window);
  const ThemeColors& palette = current_palette();
  fill_rect(paint.dc(), RECT{0, 0, paint.width(), paint.height()}, palette.background);
  fill_rect(paint.dc(), RECT{paint.width() - 1, 0, paint.width(), paint.height()}, palette.divider);
  if (MainWindowState* state = find_main_window_state(); state != nullptr && state->editor != nullptr) {
    paint_numbers(paint.dc(), *state, paint.width(), window_dpi(window));
  }
}

LRESULT CALLBACK gutter_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      paint(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

std::vector<GutterLabel> gutter_labels(MainWindowState& state) {
  std::vector<GutterLabel> labels;
  HWND editor = state.editor;
  const LineBreakIndex& lines = current_line_breaks(state);
  const EditorSelectionRange selection = editor_selection(editor);
  const std::uint64_t caret_line = editor_line_index(state, selection.end);
  RECT editor_client;
  GetClientRect(editor, &editor_client);

  // One number per line that starts in view: the control places each line's start, the index
  // says where the lines start, so a wrapped line costs one question however many rows it has.
  const LRESULT first_row = std::max<LRESULT>(SendMessageW(editor, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  const LRESULT first_char = SendMessageW(editor, EM_LINEINDEX, first_row, 0);
  if (first_char < 0) return labels;
  std::uint64_t line = editor_line_index(state, static_cast<std::size_t>(first_char));
  // The view may start inside a wrapped line: its number belongs to a row above.
  if (!lines.follows_break(static_cast<std::size_t>(first_char))) ++line;
  for (;; ++line) {
    const std::optional<std::size_t> start = lines.start_of_line(line);
    if (!start) break;
    POINTL top = {0, 0};
    SendMessageW(editor, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&top), static_cast<LPARAM>(*start));
    if (top.y > editor_client.bottom) break;
    labels.push_back({static_cast<int>(top.y), line + 1, line == caret_line});
  }
  return labels;
}

void register_gutter_class(HINSTANCE instance) {
  register_window_class(instance, kGutterClass, gutter_procedure);
}

}  // namespace wrenfold::ui
