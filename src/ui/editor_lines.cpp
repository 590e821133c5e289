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

// The change lies within the hull of the selection before (its end moved by the change in
// length) and the selection after: typing, deleting, pasting over a selection, a drag inside
// the control and undo (which selects what it restored) all stay inside it.
std::optional<TextPatch> apply_change(MainWindowState& state) {
  EditorLineTracking& lines = state.lines;
  HWND editor = state.editor;
  if (lines.index.length() != lines.length) return std::nullopt;
  const std::size_t length = editor_text_length(editor);
  if (length > static_cast<std::size_t>(LONG_MAX)) return std::nullopt;
  const CHARRANGE after = raw_selection(editor);
  const std::size_t after_start = clamped(after.cpMin, length);
  const std::size_t after_end = std::max(clamped(after.cpMax, length), after_start);
  const long long delta = static_cast<long long>(length) - static_cast<long long>(lines.length);
  const std::size_t low = std::min(lines.selection_start, after_start);
  const long long moved_end = static_cast<long long>(lines.selection_end) + delta;
  const long long high = std::max({moved_end, static_cast<long long>(after_end), static_cast<long long>(low),
                                   static_cast<long long>(low) + delta});
  const long long old_high = high - delta;
  if (high > static_cast<long long>(length) || old_high > static_cast<long long>(lines.length)) return std::nullopt;
  std::optional<std::u16string> inserted = editor_text_range(editor, low, static_cast<std::size_t>(high));
  if (!inserted) return std::nullopt;
  const std::size_t removed = static_cast<std::size_t>(old_high) - low;
  if (!lines.index.replace(low, removed, *inserted) || lines.index.length() != length) return std::nullopt;
  return TextPatch{low, removed, std::move(*inserted)};
}

// Replaying more edits than this would cost about as much as reading the text back.
constexpr std::size_t kMaxPatches = 16;

void drop_read_text(EditorLineTracking& lines) {
  lines.read_text.reset();
  lines.patches.clear();
}

// An edit that overlaps or touches what the last one put in becomes one edit with it, so
// that typing, Backspace and Delete in one place keep a single patch.
bool merge_into(TextPatch& last, const TextPatch& patch) {
  const std::size_t put_end = last.start + last.inserted.size();
  if (patch.start > put_end || patch.start + patch.removed < last.start) return false;
  const std::size_t start = std::min(patch.start, last.start);
  const std::size_t end = std::max(patch.start + patch.removed, put_end);
  std::u16string inserted;
  if (last.start < patch.start) inserted.append(last.inserted, 0, patch.start - last.start);
  inserted += patch.inserted;
  if (patch.start + patch.removed < put_end) inserted.append(last.inserted, patch.start + patch.removed - last.start);
  // The end, taken back to the text before the last edit.
  last.removed = end - last.inserted.size() + last.removed - start;
  last.start = start;
  last.inserted = std::move(inserted);
  return true;
}

void keep_patch(EditorLineTracking& lines, TextPatch patch) {
  if (!lines.read_text) return;
  if (lines.patches.empty() || !merge_into(lines.patches.back(), patch)) lines.patches.push_back(std::move(patch));
  std::size_t kept = 0;
  for (const TextPatch& each : lines.patches) kept += each.inserted.size();
  if (lines.patches.size() > kMaxPatches || kept > lines.read_text->size() + 65536) drop_read_text(lines);
}

// The edits replayed on the text they were made to, or nothing if one does not fit it.
std::optional<std::u16string> replayed(const std::u16string& read, const std::vector<TextPatch>& patches) {
  std::u16string text;
  for (std::size_t i = 0; i < patches.size(); ++i) {
    const TextPatch& patch = patches[i];
    const std::u16string& from = i == 0 ? read : text;
    if (patch.start > from.size() || patch.removed > from.size() - patch.start) return std::nullopt;
    if (i == 0) {
      // Built in one pass rather than copied and then shifted.
      text.reserve(read.size() - patch.removed + patch.inserted.size());
      text.append(read, 0, patch.start).append(patch.inserted).append(read, patch.start + patch.removed);
    } else {
      text.replace(patch.start, patch.removed, patch.inserted);
    }
  }
  return text;
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
    std::optional<TextPatch> placed = lines.watching ? apply_change(state) : std::nullopt;
    lines.stale = !placed;
    if (placed) {
      keep_patch(lines, std::move(*placed));
    } else {
      drop_read_text(lines);
    }
  }
  --lines.depth;
}

void note_editor_text_change(MainWindowState& state) {
  EditorLineTracking& lines = state.lines;
  ++lines.changes;
  // A drop from another program, or an edit made while another editor message ran: its
  // range is unknown.
  if (lines.depth != 1 || !lines.watching) {
    lines.stale = true;
    drop_read_text(lines);
  }
}

void track_loaded_text(MainWindowState& state, std::u16string_view text) {
  EditorLineTracking& lines = state.lines;
  lines.index.assign(text);
  lines.stale = false;
  // Loaded while an editor message runs (a drop on it, an undone Replace All): the load is
  // that message's change, and anything after it in the same message can't be placed.
  lines.changes_before = lines.changes;
  lines.watching = false;
}

const LineBreakIndex& current_line_breaks(MainWindowState& state) {
  EditorLineTracking& lines = state.lines;
  if (lines.stale || lines.index.length() != editor_text_length(state.editor)) {
    drop_read_text(lines);
    lines.index.assign(*editor_text(state));
    lines.stale = false;
    ++lines.rebuilds;
  }
  return lines.index;
}

void note_text_read(MainWindowState& state, std::shared_ptr<const std::u16string> text) {
  EditorLineTracking& lines = state.lines;
  lines.patches.clear();
  // Read in the middle of a message that may still edit: its change would be applied twice.
  if (lines.depth > 0 && lines.watching) {
    lines.read_text.reset();
    return;
  }
  lines.read_text = std::move(text);
}

std::shared_ptr<const std::u16string> patched_editor_text(MainWindowState& state) {
  EditorLineTracking& lines = state.lines;
  if (lines.stale || !lines.read_text) return nullptr;
  if (!lines.patches.empty()) {
    std::optional<std::u16string> text = replayed(*lines.read_text, lines.patches);
    lines.patches.clear();
    if (text) {
      lines.read_text = std::make_shared<const std::u16string>(std::move(*text));
    } else {
      lines.read_text.reset();
    }
  }
  if (lines.read_text && lines.read_text->size() != editor_text_length(state.editor)) lines.read_text.reset();
  return lines.read_text;
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
