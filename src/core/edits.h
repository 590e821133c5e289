#pragma once
// The line-editing commands as pure functions over the editor text (line breaks are single
// CRs). Each gives one edit, applied as one undo step, or nothing when there is nothing to do.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfold {

struct TextEdit {
  std::size_t start = 0;   // range to replace
  std::size_t length = 0;
  std::u16string replacement;
  std::size_t selection_start = 0;  // selection afterwards
  std::size_t selection_end = 0;

  bool operator==(const TextEdit&) const = default;
};

// Enter: a line break followed by the current line's leading spaces and tabs.
std::optional<TextEdit> new_line_with_indent(std::u16string_view text, std::size_t selection_start,
                                             std::size_t selection_end);

// Tab: a tab in place of a selection within one line; otherwise a tab at the start of every
// non-empty line the selection touches.
std::optional<TextEdit> indent_lines(std::u16string_view text, std::size_t selection_start,
                                     std::size_t selection_end);

// Shift+Tab: every touched line loses one leading tab or up to eight leading spaces.
std::optional<TextEdit> outdent_lines(std::u16string_view text, std::size_t selection_start,
                                      std::size_t selection_end);

// A copy of the caret's line below it, or of the selection right after it.
std::optional<TextEdit> duplicate_lines(std::u16string_view text, std::size_t selection_start,
                                        std::size_t selection_end);

std::optional<TextEdit> move_lines_up(std::u16string_view text, std::size_t selection_start,
                                      std::size_t selection_end);
std::optional<TextEdit> move_lines_down(std::u16string_view text, std::size_t selection_start,
                                        std::size_t selection_end);

// The edit that turns `before` into `after` replacing only the whole lines where they differ:
// the editor pays for every line it deletes or inserts, so the lines they share stay in place.
// The selection afterwards is the end of the replacement.
TextEdit edit_of_changed_lines(std::u16string_view before, std::u16string_view after);

// Zoom steps of a tenth, first snapping to the nearest tenth, kept within 10 % to 500 %.
double zoom_in(double zoom);
double zoom_out(double zoom);

}  // namespace wrenfold
