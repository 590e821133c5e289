#include "search_editor.h"

#include <richedit.h>

#include "edits.h"
#include "editor.h"
#include "editor_lines.h"
#include "main_window_state.h"
#include "whole_text_steps.h"

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
  // Replace All hands over the whole text. Wine's control walks its lines for each line it
  // deletes or inserts, so replacing a large text costs about the square of its lines: the
  // lines before the first change and after the last stay where they are, and a change that
  // still spans a large text goes to a new control.
  CHARRANGE range = {0, 0};
  SendMessageW(state_.editor, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  const std::shared_ptr<const std::u16string> held = state_.cached_text;
  if (held && range.cpMin == 0 && static_cast<std::size_t>(range.cpMax) == held->size() &&
      editor_text_length(state_.editor) == held->size()) {
    const TextEdit edit = edit_of_changed_lines(*held, text);
    // An unchanged text is still replaced whole: the user asked for it and expects an undo step.
    const bool unchanged = edit.length == 0 && edit.replacement.empty();
    const std::size_t span = unchanged ? held->size() + text.size() : edit.length + edit.replacement.size();
    if (span > state_.replace_in_new_editor_above) {
      replace_whole_text_as_step(state_, text);
      return;
    }
    if (!unchanged) {
      set_editor_selection(state_.editor, edit.start, edit.start + edit.length);
      replace_selection_as_step(state_.editor, edit.replacement);
      state_.cached_text.reset();
      return;
    }
  }
  replace_selection_as_step(state_.editor, text);
  // The engine may search again at once; the snapshot must not outlive the change even if the
  // control kept its change notification to itself.
  state_.cached_text.reset();
}

void RichEditSearchEditor::scroll_caret_into_view() { SendMessageW(state_.editor, EM_SCROLLCARET, 0, 0); }

}  // namespace wrenfold::ui
