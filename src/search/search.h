#pragma once
// Find Next, Replace and Replace All on the editor's text. The engine sees the editor only
// through SearchEditor, which the window code implements over the rich edit control.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "history.h"
#include "search_request.h"

namespace wrenfold {

// The selection as the control reports it: either end may be out of range.
struct EditorSelection {
  std::int64_t start = 0;
  std::int64_t end = 0;
};

class SearchEditor {
 public:
  virtual ~SearchEditor() = default;
  // The whole text, line breaks as single CRs; the same buffer until the text changes.
  virtual std::shared_ptr<const std::u16string> text_snapshot() = 0;
  // The whole text as last read, brought up to date from the edits made since, when the
  // editor keeps such a copy and holds no fresh snapshot; null otherwise. It may have drifted,
  // so only Find Next uses it, and only for a match that `holds` confirms.
  virtual std::shared_ptr<const std::u16string> patched_snapshot() { return nullptr; }
  // Whether the text from `start` on begins with `text`.
  virtual bool holds(std::size_t start, std::u16string_view text) = 0;
  virtual EditorSelection selection() = 0;
  virtual void set_selection(std::size_t start, std::size_t end) = 0;
  // Replaces the selection as one undo step of its own.
  virtual void replace_selection(std::u16string_view text) = 0;
  virtual void scroll_caret_into_view() = 0;
};

using LastSearch = SearchRequest;

// What the main window keeps between searches.
struct SearchMemory {
  std::optional<LastSearch> last_search;
  FindHistory find_history;
};

// Nothing when a match was selected; otherwise the line for the window's status.
using SearchOutcome = std::optional<std::u16string>;

SearchOutcome find_next(SearchEditor& editor, SearchMemory& memory, const SearchRequest& request,
                        bool up);
SearchOutcome replace_one(SearchEditor& editor, SearchMemory& memory, const SearchRequest& request,
                          std::u16string_view replacement, bool up);
SearchOutcome replace_all(SearchEditor& editor, SearchMemory& memory, const SearchRequest& request,
                          std::u16string_view replacement);

}  // namespace wrenfold
