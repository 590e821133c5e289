#include "editor_lines.h"

#include <richedit.h>
#include <tom.h>

#include <algorithm>
#include <climits>
#include <string>

#include "editor.h"
#include "main_window_state.h"

namespace wrenfold::ui {
namespace {

// Messages with which the control changes its text from the keyboard, the mouse (a drag
// inside it), a cut, the input method and the program's own edits. A change during any other
// message leaves the index stale.
// Paste and undo are left out: Wine's control was seen changing text outside the selections
// around a paste, and one rebuild after them costs less than a wrong number.
bool may_edit(UINT message, WPARAM wparam) {
  switch (message) {
    case WM_KEYDOWN: case WM_SYSKEYDOWN: {
      // Ctrl+V, Ctrl+Z, Shift+Insert, Alt+Backspace and the like paste or undo.
      const bool ctrl = GetKeyState(VK_CONTROL) < 0;
      const bool shift_insert = wparam == VK_INSERT && GetKeyState(VK_SHIFT) < 0;
      const bool alt_backspace = message == WM_SYSKEYDOWN && wparam == VK_BACK;
      if (shift_insert || alt_backspace) return false;
      return !ctrl || wparam == VK_BACK || wparam == VK_DELETE || wparam == 'X';
    }
    case WM_CHAR: case WM_UNICHAR: case WM_SYSCHAR:
    case WM_IME_CHAR: case WM_IME_COMPOSITION: case WM_IME_ENDCOMPOSITION:
    case WM_CUT: case WM_CLEAR: case EM_REPLACESEL: case WM_LBUTTONDOWN: case WM_LBUTTONUP:
      return true;
    case WM_MOUSEMOVE:
      return (wparam & MK_LBUTTON) != 0;
    default:
      return false;
  }
}

CHARRANGE raw_selection(HWND editor) {
  CHARRANGE range = {0, 0};
  SendMessageW(editor, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  return range;
}

std::size_t clamped(LONG value, std::size_t length) {
  return std::min(static_cast<std::size_t>(std::max<LONG>(value, 0)), length);
}

// The text between `start` and `end`, or nothing when the control gives back another length.
std::optional<std::u16string> text_range(HWND editor, std::size_t start, std::size_t end) {
  std::u16string text(end - start + 1, u'\0');
  TEXTRANGEW range = {{static_cast<LONG>(start), static_cast<LONG>(end)}, reinterpret_cast<wchar_t*>(text.data())};
  const LRESULT copied = SendMessageW(editor, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  if (copied < 0 || static_cast<std::size_t>(copied) != end - start) return std::nullopt;
  text.resize(end - start);
  return text;
}

// The change lies within the hull of the selection before (its end moved by the change in
// length) and the selection after: typing, deleting, pasting over a selection, a drag inside
// the control and undo (which selects what it restored) all stay inside it.
bool apply_change(MainWindowState& state) {
  EditorLineTracking& lines = state.lines;
  HWND editor = state.editor;
  if (lines.index.length() != lines.length) return false;
  const std::size_t length = editor_text_length(editor);
  if (length > static_cast<std::size_t>(LONG_MAX)) return false;
  const CHARRANGE after = raw_selection(editor);
  const std::size_t after_start = clamped(after.cpMin, length);
  const std::size_t after_end = std::max(clamped(after.cpMax, length), after_start);
  const long long delta = static_cast<long long>(length) - static_cast<long long>(lines.length);
  const std::size_t low = std::min(lines.selection_start, after_start);
  const long long moved_end = static_cast<long long>(lines.selection_end) + delta;
  const long long high = std::max({moved_end, static_cast<long long>(after_end), static_cast<long long>(low),
                                   static_cast<long long>(low) + delta});
  const long long old_high = high - delta;
  if (high > static_cast<long long>(length) || old_high > static_cast<long long>(lines.length)) return false;
  const std::optional<std::u16string> inserted = text_range(editor, low, static_cast<std::size_t>(high));
  if (!inserted) return false;
  if (!lines.index.replace(low, static_cast<std::size_t>(old_high) - low, *inserted)) return false;
  return lines.index.length() == length;
}

}  // namespace

void begin_editor_message(MainWindowState& state, UINT message, WPARAM wparam) {
  EditorLineTracking& lines = state.lines;
  if (++lines.depth != 1) return;
  lines.changes_before = lines.changes;
  lines.watching = !lines.stale && may_edit(message, wparam);
  if (!lines.watching) return;
  lines.length = editor_text_length(state.editor);
  const CHARRANGE before = raw_selection(state.editor);
  lines.selection_start = clamped(before.cpMin, lines.length);
  lines.selection_end = std::max(clamped(before.cpMax, lines.length), lines.selection_start);
}

void end_editor_message(MainWindowState& state) {
  EditorLineTracking& lines = state.lines;
  if (lines.depth == 0) return;
  if (lines.depth == 1 && lines.changes != lines.changes_before && !lines.stale) {
    lines.stale = !lines.watching || !apply_change(state);
  }
  --lines.depth;
}

void note_editor_text_change(MainWindowState& state) {
  EditorLineTracking& lines = state.lines;
  ++lines.changes;
  // A drop from another program, or an edit made while another editor message ran: its
  // range is unknown.
  if (lines.depth != 1 || !lines.watching) lines.stale = true;
}

void track_loaded_text(MainWindowState& state, std::u16string_view text) {
  state.lines.index.assign(text);
  state.lines.stale = false;
}

const LineBreakIndex& current_line_breaks(MainWindowState& state) {
  EditorLineTracking& lines = state.lines;
  if (lines.stale || lines.index.length() != editor_text_length(state.editor)) {
    lines.index.assign(*editor_text(state));
    lines.stale = false;
    ++lines.rebuilds;
  }
  return lines.index;
}

// Paragraphs are the lines ended by CR; tomLine would count display rows of wrapped lines.
std::uint64_t editor_line_index(MainWindowState& state, std::size_t position) {
  if (state.text_document) {
    ComPtr<ITextRange> range;
    const long at = static_cast<long>(std::min<std::size_t>(position, LONG_MAX));
    long line = 0;
    if (SUCCEEDED(state.text_document->Range(at, at, range.put())) && range &&
        range->GetIndex(tomParagraph, &line) == S_OK && line > 0) {
      return static_cast<std::uint64_t>(line - 1);
    }
  }
  return current_line_breaks(state).line_of(position);
}

std::size_t editor_line_start(MainWindowState& state, std::size_t position) {
  return current_line_breaks(state).start_of_line_at(position);
}

std::uint64_t editor_line_count(MainWindowState& state) { return current_line_breaks(state).line_count(); }

}  // namespace wrenfold::ui
