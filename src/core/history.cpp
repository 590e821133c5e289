#include "history.h"

#include <algorithm>

namespace wrenfold {

void remember_find_text(FindHistory& history, std::u16string_view text) {
  if (text.empty()) return;
  std::vector<std::u16string>& entries = history.entries;
  const auto older = std::find(entries.begin(), entries.end(), text);
  if (older != entries.end()) entries.erase(older);
  entries.insert(entries.begin(), std::u16string(text));
  if (entries.size() > kFindHistoryLimit) entries.resize(kFindHistoryLimit);
  history.browsing.reset();
}

std::optional<std::u16string> browse_older(FindHistory& history, std::u16string_view box_text) {
  const std::size_t first = history.browsing ? *history.browsing + 1 : 0;
  for (std::size_t index = first; index < history.entries.size(); ++index) {
    if (history.entries[index] == box_text) continue;
    if (!history.browsing) history.typed_text = std::u16string(box_text);
    history.browsing = index;
    return history.entries[index];
  }
  return std::nullopt;
}

std::optional<std::u16string> browse_newer(FindHistory& history, std::u16string_view box_text) {
  if (!history.browsing) return std::nullopt;
  for (std::size_t index = std::min(*history.browsing, history.entries.size()); index-- > 0;) {
    if (history.entries[index] == box_text) continue;
    history.browsing = index;
    return history.entries[index];
  }
  history.browsing.reset();
  return std::move(history.typed_text);
}

void follow_box_edit(FindHistory& history, std::u16string_view box_text) {
  if (!history.browsing) return;
  if (*history.browsing >= history.entries.size() || history.entries[*history.browsing] != box_text) {
    history.browsing.reset();
  }
}

}  // namespace wrenfold
