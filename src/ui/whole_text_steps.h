#pragma once
// Replace All over a large text loads its result into a new editor control: Wine's control
// replaces a text line by line, each line a walk over the others, so a change on every line
// of 10 MiB did not finish in minutes, and its undo takes longer still. The undo step the new
// control cannot hold is kept in the window's state; it is taken (and redone) only while the
// control has nothing of its own to undo (redo) and holds exactly the text the step left.
// The history before such a Replace All is not kept.

#include <cstddef>
#include <memory>
#include <string>

namespace wrenfold::ui {

struct MainWindowState;

// A Replace All kept outside the editor control: undoing or redoing it puts `text` back, but
// only over the very text it left.
struct WholeTextStep {
  std::shared_ptr<const std::u16string> text;
  std::size_t left_size = 0;
  std::size_t left_hash = 0;
};

// What a Replace All must span to go to a new control: well past where the control's own
// replacement takes seconds.
inline constexpr std::size_t kReplaceInNewEditorAbove = 1u << 18;

// Replaces the editor's whole text with `after` as one step of the document's history,
// keeping the caret where the selection started.
void replace_whole_text_as_step(MainWindowState& state, std::u16string_view after);

// For the editor's subclass, which alone can ask the control itself: whether a kept step
// waits for Ctrl+Z/EM_UNDO (`undo`) or Ctrl+Y/EM_REDO, judged by the text's length only.
bool whole_text_step_waits(MainWindowState& state, bool undo);

// Takes the kept step back (`undo`) or again; false when none applies to the current text.
bool take_whole_text_step(MainWindowState& state, bool undo);

}  // namespace wrenfold::ui
