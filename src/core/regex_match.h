#pragma once
// One regular-expression match as the rest of the program sees it: where each capture group
// matched and what the groups are called. The matcher fills it; replacement formats read it.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace wrenfold {

// Code-unit offsets into the searched text, start <= end.
struct CaptureSpan {
  std::size_t start = 0;
  std::size_t end = 0;
};

struct GroupName {
  std::u16string name;
  std::size_t number = 0;
};

struct RegexMatch {
  // Slot 0 is the whole match, slot n group n; there is one slot per group of the pattern.
  // An empty slot is a group that took no part in the match.
  std::vector<std::optional<CaptureSpan>> groups;
  // The pattern's named groups, shared with the compiled pattern; may be null.
  std::shared_ptr<const std::vector<GroupName>> names;
};

}  // namespace wrenfold
