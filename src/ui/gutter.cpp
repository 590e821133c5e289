#include "gutter.h"

#include <richedit.h>

#include <algorithm>
#include <string>
#include <vector>

#include "editor.h"
#include "editor_lines.h"
#include "layout.h"
#include "line_tops.h"
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
  std::uint64_t first = editor_line_index(state, static_cast<std::size_t>(first_char));
  // The view may start inside a wrapped line: its number belongs to a row above.
  if (!lines.follows_break(static_cast<std::size_t>(first_char))) ++first;
  if (first >= lines.line_count()) return labels;

  // The control finds a position by walking its lines from the start of the text, so near the
  // end of a large text each question costs in proportion to the text.
  const auto top_of = [&](std::uint64_t line) {
    POINTL top = {0, 0};
    SendMessageW(editor, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&top),
                 static_cast<LPARAM>(*lines.start_of_line(line)));
    return static_cast<int>(top.y);
  };
  const auto add_label = [&](std::uint64_t line, int top) {
    labels.push_back({top, line + 1, line == caret_line});
  };
  const std::uint64_t last_line = lines.line_count() - 1;
  const int bottom = static_cast<int>(editor_client.bottom);
  std::vector<int> tops = {top_of(first)};
  std::uint64_t next = first + 1;
  if (next <= last_line && tops[0] <= bottom) {
    const int second = top_of(next);
    int row = second - tops[0];
    if (state.settings.read().word_wrap) {
      // The first line may take several rows; the first row in view is one row high.
      const LRESULT row_start = SendMessageW(editor, EM_LINEINDEX, first_row + 1, 0);
      if (row_start > first_char) {
        POINTL upper = {0, 0};
        POINTL lower = {0, 0};
        SendMessageW(editor, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&upper), first_char);
        SendMessageW(editor, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&lower), row_start);
        if (lower.y > upper.y) row = std::min(row, static_cast<int>(lower.y - upper.y));
      }
    }
    tops.push_back(second);
    next = first + 2;
    if (row > 0) {
      // Every line takes a row at least: no more lines than rows fit in view.
      const std::uint64_t last = std::min(last_line, first + static_cast<std::uint64_t>((bottom - tops[0]) / row) + 1);
      if (last > next) {
        tops.resize(static_cast<std::size_t>(last - first + 1), kTopBelowView);
        tops.back() = top_of(last);
        fill_line_tops(tops, 1, tops.size() - 1, row, bottom, [&](std::size_t at) { return top_of(first + at); });
        next = last + 1;
      }
    }
  }
  for (std::size_t at = 0; at < tops.size(); ++at) {
    if (tops[at] > bottom) return labels;
    add_label(first + at, tops[at]);
  }
  // Rows shorter than the row measured above leave room for more lines: ask for them one by one.
  for (; next <= last_line; ++next) {
    const int top = top_of(next);
    if (top > bottom) break;
    add_label(next, top);
  }
  return labels;
}

void register_gutter_class(HINSTANCE instance) {
  register_window_class(instance, kGutterClass, gutter_procedure);
}

}  // namespace wrenfold::ui
