#include "gutter.h"

#include <richedit.h>

#include <algorithm>
#include <string>

#include "editor.h"
#include "layout.h"
#include "main_window_state.h"
#include "window_class.h"
#include "paint_buffer.h"
#include "theme.h"

namespace wrenfold::ui {
namespace {

// Whether the character before `position` is a CR; a failed read counts as something else.
bool follows_line_break(HWND editor, LONG position) {
  if (position <= 0) return true;
  wchar_t buffer[2] = {};
  TEXTRANGEW range = {{position - 1, position}, buffer};
  if (SendMessageW(editor, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range)) != 1) return false;
  return buffer[0] == L'\r';
}

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
  const EditorSelectionRange selection = editor_selection(editor);
  const std::uint64_t caret_line = editor_line_index(state, selection.end);
  RECT editor_client;
  GetClientRect(editor, &editor_client);

  LRESULT display_line = std::max<LRESULT>(SendMessageW(editor, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  LRESULT first_char = SendMessageW(editor, EM_LINEINDEX, display_line, 0);
  if (first_char < 0) return labels;
  std::uint64_t line = editor_line_index(state, static_cast<std::size_t>(first_char));
  // The view may start inside a wrapped line: its number belongs to a line above.
  if (!follows_line_break(editor, static_cast<LONG>(first_char))) ++line;
  for (;;) {
    POINTL top = {0, 0};
    SendMessageW(editor, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&top), first_char);
    if (top.y > editor_client.bottom) break;
    if (follows_line_break(editor, static_cast<LONG>(first_char))) {
      labels.push_back({static_cast<int>(top.y), line + 1, line == caret_line});
      ++line;
    }
    ++display_line;
    const LRESULT next = SendMessageW(editor, EM_LINEINDEX, display_line, 0);
    if (next < 0 || next <= first_char) break;
    first_char = next;
  }
  return labels;
}

void register_gutter_class(HINSTANCE instance) {
  register_window_class(instance, kGutterClass, gutter_procedure);
}

}  // namespace wrenfold::ui
