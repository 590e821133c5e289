#pragma once
// The most-recently-used list of find texts behind the "Find what:" box.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wrenfold {

constexpr std::size_t kFindHistoryLimit = 20;

struct FindHistory {
  std::vector<std::u16string> entries;    // newest first, no two equal
  std::optional<std::size_t> browsing;    // entry shown while stepping with Up and Down
};

// Moves `text` to the front (an equal older entry goes), keeps at most twenty entries and
// ends any browsing. Empty texts are not remembered.
void remember_find_text(FindHistory& history, std::u16string_view text);

}  // namespace wrenfold
