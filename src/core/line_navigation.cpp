#include "line_navigation.h"

#include <algorithm>

#include "white_space.h"

namespace wrenfold {

std::uint64_t line_of_position(std::u16string_view text, std::size_t position) {
  const std::u16string_view before = text.substr(0, std::min(position, text.size()));
  return 1 + static_cast<std::uint64_t>(std::count(before.begin(), before.end(), u'\r'));
}

std::optional<std::uint64_t> parse_line_number(std::u16string_view entry) {
  entry = trim_white_space(entry);
  if (!entry.empty() && entry.front() == u'+') entry.remove_prefix(1);
  if (entry.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char16_t unit : entry) {
    if (unit < u'0' || unit > u'9') return std::nullopt;
    const std::uint64_t digit = unit - u'0';
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<std::size_t> line_start(std::u16string_view text, std::uint64_t line) {
  if (line == 0) return std::nullopt;
  std::size_t start = 0;
  for (std::uint64_t passed = 1; passed < line; ++passed) {
    const std::size_t cr = text.find(u'\r', start);
    if (cr == std::u16string_view::npos) return std::nullopt;
    start = cr + 1;
  }
  return start;
}

}  // namespace wrenfold
