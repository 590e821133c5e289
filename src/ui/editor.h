#pragma once
// The rich edit control as a plain-text editor: creation, program edits as single undo
// steps, loads, zoom, the text and line queries, and its subclass.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "edits.h"

namespace wrenfold::ui {

struct MainWindowState;

constexpr int kEditorControlId = 1;

// Creates, configures and subclasses the editor as child 1 of the main window.
HWND create_editor(MainWindowState& state);

// One undo step: select the range, replace it, select the new selection, show the caret.
void apply_edit(HWND editor, const TextEdit& edit);

// Replaces the selection as an undo step of its own.
void replace_selection_as_step(HWND editor, std::u16string_view text);

// Loads a whole new text; never undoable and never marks the document modified. Over a text
// longer than kRenewEditorAbove, a new control takes the old one's place.
void replace_all_text(MainWindowState& state, std::u16string text);

inline constexpr std::size_t kRenewEditorAbove = 1u << 16;

struct EditorSelectionRange {
  std::size_t start = 0;
  std::size_t end = 0;
};

std::size_t editor_text_length(HWND editor);

// The selection with both ends within the text and the end not before the start.
EditorSelectionRange editor_selection(HWND editor);

void set_editor_selection(HWND editor, std::size_t start, std::size_t end);

// The whole text with CR line breaks, read once and kept until the next change.
std::shared_ptr<const std::u16string> editor_text(MainWindowState& state);

// The text between `start` and `end`, or nothing when the control gives back another length.
std::optional<std::u16string> editor_text_range(HWND editor, std::size_t start, std::size_t end);

// The line queries (editor_lines.cpp) cost no pass over the text.
// 0-based index of the line (ended by CR, not a display row) holding `position`.
std::uint64_t editor_line_index(MainWindowState& state, std::size_t position);

// Where the line (ended by CR) holding `position` starts.
std::size_t editor_line_start(MainWindowState& state, std::size_t position);

std::uint64_t editor_line_count(MainWindowState& state);

// Applies the zoom factor, the default tab stop and the gutter font, then lays out.
void zoom_step(MainWindowState& state);

// A new zoom factor: applied by zoom_step, or on a large text by relayout_in_new_editor.
void set_zoom(MainWindowState& state, double zoom);

// What EM_SETZOOM is given for the state's zoom at the window's DPI, over 1000.
long long editor_zoom_numerator(MainWindowState& state);

// Under Wine, laying a large text out again in place (another wrap, zoom, font, colour or
// width) can leave the process heap so fragmented that every later layout walks tens of
// thousands of free blocks per allocation: minutes for a few MiB. A new control loaded at the
// new settings lays the text out once, in the heap the old control freed whole. That loses the
// control's own undo history, so it is done only when there is none: then the text is
// reloaded, with its selection, its first shown line and a Replace All kept beside the
// control, and the answer is true. Otherwise nothing is done.
bool relayout_in_new_editor(MainWindowState& state);

}  // namespace wrenfold::ui
