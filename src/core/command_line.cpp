#include "command_line.h"

namespace wrenfold {
namespace {

bool is_blank(char16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n' || unit == u'\v' || unit == u'\f';
}

std::u16string_view trim(std::u16string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<std::u16string> command_line_argument(std::u16string_view command_line) {
  std::u16string_view rest;
  if (!command_line.empty() && command_line.front() == u'"') {
    const std::size_t closing = command_line.find(u'"', 1);
    if (closing == std::u16string_view::npos) return std::nullopt;
    rest = command_line.substr(closing + 1);
  } else {
    const std::size_t blank = command_line.find_first_of(u" \t");
    if (blank == std::u16string_view::npos) return std::nullopt;
    rest = command_line.substr(blank);
  }
  rest = trim(rest);
  if (rest.size() > 1 && rest.front() == u'"' && rest.back() == u'"') {
    rest = trim(rest.substr(1, rest.size() - 2));
  }
  if (rest.empty()) return std::nullopt;
  return std::u16string(rest);
}

}  // namespace wrenfold
