#pragma once
// Substring search over UTF-16 code units. Matches start on code-unit boundaries only.

#include <cstddef>
#include <string_view>

namespace wrenfold {

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// The first occurrence of `needle` starting at or after `from`, or kNotFound.
std::size_t find_first(std::u16string_view text, std::u16string_view needle, std::size_t from);

// The last occurrence of `needle` that ends at or before `bound`, or kNotFound.
std::size_t find_last(std::u16string_view text, std::u16string_view needle, std::size_t bound);

// The same searches in the case-folded text, for a needle that is already folded. The text
// is folded window by window as the search goes, so a match near the start costs little.
std::size_t find_first_folded(std::u16string_view text, std::u16string_view folded_needle,
                              std::size_t from);
std::size_t find_last_folded(std::u16string_view text, std::u16string_view folded_needle,
                             std::size_t bound);

}  // namespace wrenfold
