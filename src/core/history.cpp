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

}  // namespace wrenfold
