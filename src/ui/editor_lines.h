#pragma once
// The editor's CR line breaks, kept edit by edit: the editor's subclass brackets every message
// that may change the text, and the change notification tells whether one did. The status
// bar, the gutter and the layout ask here, so a keystroke never costs a pass over the text.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "line_break_index.h"

namespace wrenfold::ui {

struct MainWindowState;

// An edit the index placed: `removed` units at `start` became `inserted`.
struct TextPatch {
  std::size_t start = 0;
  std::size_t removed = 0;
  std::u16string inserted;
};

struct EditorLineTracking {
  LineBreakIndex index;
  bool stale = true;  // rebuilt from one snapshot of the text when next asked
  unsigned depth = 0;  // editor messages being handled, nested
  bool watching = false;  // the outermost message noted the selection and length before it ran
  std::size_t selection_start = 0;  // as they were before the outermost message
  std::size_t selection_end = 0;
  std::size_t length = 0;
  std::uint64_t changes = 0;  // change notifications seen
  std::uint64_t changes_before = 0;  // the count when the outermost message began
  std::uint64_t rebuilds = 0;  // whole-text rebuilds, for the tests that count them
  // The text as last read or loaded and the edits placed since, so that a search after an
  // edit need not read the whole text back. Dropped with every edit the index can't place.
  std::shared_ptr<const std::u16string> read_text;
  std::vector<TextPatch> patches;
};

// Brackets one message to the editor; the subclass calls them around the control's own handling.
void begin_editor_message(MainWindowState& state, UINT message, WPARAM wparam);
void end_editor_message(MainWindowState& state);

// The control reported a change of its text.
void note_editor_text_change(MainWindowState& state);

// A new text was loaded whole: index it from the text in hand.
void track_loaded_text(MainWindowState& state, std::u16string_view text);

// The index, rebuilt first if it is stale or disagrees with the control's length.
const LineBreakIndex& current_line_breaks(MainWindowState& state);

// The whole text was read from the control (or loaded) just now.
void note_text_read(MainWindowState& state, std::shared_ptr<const std::u16string> text);

// The text last read with the edits since applied, or null when no read text is kept or an
// edit could not be placed. Not read back from the control: for searches that check their
// match, never for saving.
std::shared_ptr<const std::u16string> patched_editor_text(MainWindowState& state);

}  // namespace wrenfold::ui
