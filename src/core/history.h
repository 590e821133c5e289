#pragma once
// The most-recently-used list of find texts behind the "Find what:" box, and stepping through
// it with the Up and Down keys.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wrenfold {

constexpr std::size_t kFindHistoryLimit = 20;

struct FindHistory {
  std::vector<std::u16string> entries;    // newest first, no two equal
  std::optional<std::size_t> browsing;    // entry shown while stepping with Up and Down
  std::u16string typed_text;              // the box's own text from before the first step
};

// Moves `text` to the front (an equal older entry goes), keeps at most twenty entries and
// ends any browsing. Empty texts are not remembered.
void remember_find_text(FindHistory& history, std::u16string_view text);

// Up: the next older entry that differs from `box_text`, or nothing past the oldest. The
// first step keeps `box_text` to come back to.
std::optional<std::u16string> browse_older(FindHistory& history, std::u16string_view box_text);

// Down: the next newer entry that differs from `box_text`; past the newest, the text typed
// before browsing, which ends it. Nothing while not browsing.
std::optional<std::u16string> browse_newer(FindHistory& history, std::u16string_view box_text);

// Browsing ends once the box holds anything but the entry it last showed.
void follow_box_edit(FindHistory& history, std::u16string_view box_text);

}  // namespace wrenfold
