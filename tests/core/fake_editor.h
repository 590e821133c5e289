#pragma once
// An in-memory editor for the search engine's tests. It keeps an undo history the way the
// rich edit control does for program edits: every replace_selection is one step.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "search.h"

namespace wrenfold::testing {

class FakeEditor : public SearchEditor {
 public:
  explicit FakeEditor(std::u16string text, std::size_t start = 0, std::size_t end = 0)
      : text_(std::make_shared<std::u16string>(std::move(text))), start_(start), end_(end) {}

  std::shared_ptr<const std::u16string> text_snapshot() override {
    ++snapshots_taken;
    return text_;
  }

  std::shared_ptr<const std::u16string> patched_snapshot() override { return patched; }

  bool holds(std::size_t start, std::u16string_view text) override {
    ++checks;
    return start <= text_->size() && std::u16string_view(*text_).substr(start, text.size()) == text;
  }

  EditorSelection selection() override {
    return raw_selection ? *raw_selection
                         : EditorSelection{static_cast<std::int64_t>(start_), static_cast<std::int64_t>(end_)};
  }

  void set_selection(std::size_t start, std::size_t end) override {
    raw_selection.reset();
    start_ = std::min(start, text_->size());
    end_ = std::min(end, text_->size());
  }

  void replace_selection(std::u16string_view text) override {
    undo_steps.push_back(*text_);
    const std::size_t low = std::min(start_, end_);
    const std::size_t high = std::max(start_, end_);
    std::u16string changed = text_->substr(0, low);
    changed += text;
    changed += text_->substr(high);
    // A new buffer, as the control's text changes and the old snapshot stays valid.
    text_ = std::make_shared<std::u16string>(std::move(changed));
    start_ = end_ = low + text.size();
  }

  void scroll_caret_into_view() override { ++scrolls; }

  const std::u16string& text() const { return *text_; }
  std::size_t selection_start() const { return start_; }
  std::size_t selection_end() const { return end_; }
  void select(std::size_t start, std::size_t end) { set_selection(start, end); }

  std::vector<std::u16string> undo_steps;  // the text before each step
  std::optional<EditorSelection> raw_selection;  // overrides the selection with raw values
  std::shared_ptr<const std::u16string> patched;  // what patched_snapshot offers
  int checks = 0;
  int snapshots_taken = 0;
  int scrolls = 0;

 private:
  std::shared_ptr<std::u16string> text_;
  std::size_t start_;
  std::size_t end_;
};

// A request as the Find and Replace window would build it.
inline SearchRequest make_request(std::u16string find_text, SearchMode mode, bool match_case = true,
                                  bool wrap = true) {
  SearchRequest request;
  request.find_text = std::move(find_text);
  request.match_case = match_case;
  request.wrap_around = wrap;
  request.mode = mode;
  return request;
}

}  // namespace wrenfold::testing
