#include "search_editor.h"

#include <richedit.h>

#include "editor.h"
#include "editor_lines.h"
#include "main_window_state.h"

namespace wrenfold::ui {

std::shared_ptr<const std::u16string> RichEditSearchEditor::text_snapshot() { return editor_text(state_); }

std::shared_ptr<const std::u16string> RichEditSearchEditor::patched_snapshot() {
  return state_.cached_text ? nullptr : patched_editor_text(state_);
}

bool RichEditSearchEditor::holds(std::size_t start, std::u16string_view text) {
  const std::optional<std::u16string> held = editor_text_range(state_.editor, start, start + text.size());
  return held && *held == text;
}

EditorSelection RichEditSearchEditor::selection() {
  // Raw: the engine clamps it against the snapshot it searches.
  CHARRANGE range = {0, 0};
  SendMessageW(state_.editor, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  return EditorSelection{range.cpMin, range.cpMax};
}

void RichEditSearchEditor::set_selection(std::size_t start, std::size_t end) {
  set_editor_selection(state_.editor, start, end);
}

void RichEditSearchEditor::replace_selection(std::u16string_view text) {
  replace_selection_as_step(state_.editor, text);
  // The engine may search again at once; the snapshot must not outlive the change even if the
  // control kept its change notification to itself.
  state_.cached_text.reset();
}

void RichEditSearchEditor::scroll_caret_into_view() { SendMessageW(state_.editor, EM_SCROLLCARET, 0, 0); }

}  // namespace wrenfold::ui
