#include "whole_text_steps.h"

#include <richedit.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>

#include "editor.h"
#include "main_window.h"
#include "main_window_state.h"

namespace wrenfold::ui {
namespace {

std::size_t hash_of(std::u16string_view text) { return std::hash<std::u16string_view>{}(text); }

WholeTextStep step_to(std::shared_ptr<const std::u16string> text, std::u16string_view left) {
  return WholeTextStep{std::move(text), left.size(), hash_of(left)};
}

// Loads `text` as the document's next state: a change like any other, with the caret where
// it was as far as the text reaches.
void put_text(MainWindowState& state, const std::u16string& text) {
  const std::size_t caret = std::min(editor_selection(state.editor).start, text.size());
  // What the control couldn't hold of the opened file is still to be asked about at the save.
  const std::size_t lost_at_open = state.load_lost_units;
  replace_all_text(state, text);
  if (lost_at_open != 0) state.load_lost_units = lost_at_open;
  set_editor_selection(state.editor, caret, caret);
  SendMessageW(state.editor, EM_SCROLLCARET, 0, 0);
  note_document_changed(state);
}

}  // namespace

void replace_whole_text_as_step(MainWindowState& state, std::u16string_view after) {
  std::shared_ptr<const std::u16string> before = editor_text(state);
  put_text(state, std::u16string(after));
  state.whole_text_undo = step_to(std::move(before), after);
}

bool whole_text_step_waits(MainWindowState& state, bool undo) {
  const std::optional<WholeTextStep>& step = undo ? state.whole_text_undo : state.whole_text_redo;
  return step && editor_text_length(state.editor) == step->left_size;
}

bool take_whole_text_step(MainWindowState& state, bool undo) {
  std::optional<WholeTextStep>& step = undo ? state.whole_text_undo : state.whole_text_redo;
  if (!step) return false;
  const std::shared_ptr<const std::u16string> current = editor_text(state);
  if (current->size() != step->left_size || hash_of(*current) != step->left_hash) {
    // The text moved on in ways the control can no longer take back (past its undo limit):
    // putting the step's text back would lose them.
    step.reset();
    return false;
  }
  const std::shared_ptr<const std::u16string> text = std::move(step->text);
  step.reset();
  put_text(state, *text);
  (undo ? state.whole_text_redo : state.whole_text_undo) = step_to(current, *text);
  return true;
}

}  // namespace wrenfold::ui
