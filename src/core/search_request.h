#pragma once
// What the Find and Replace window asks of the search engine.

#include <cstdint>
#include <string>

namespace wrenfold {

enum class SearchMode : std::uint8_t {
  Normal = 0,
  Extended = 1,
  RegularExpression = 2,
};

struct SearchRequest {
  std::u16string find_text;  // as typed, before escape parsing or translation
  bool match_case = false;
  bool wrap_around = true;
  bool dot_matches_newline = false;
  SearchMode mode = SearchMode::Normal;

  bool operator==(const SearchRequest&) const = default;
};

}  // namespace wrenfold
