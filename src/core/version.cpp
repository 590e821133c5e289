#include "version.h"

#include <array>

namespace wrenfold {
namespace {

// Unicode's White_Space characters that fit one UTF-16 unit (all of them do).
bool is_white_space(char16_t unit) {
  return (unit >= 0x09 && unit <= 0x0D) || unit == 0x20 || unit == 0x85 || unit == 0xA0 ||
         unit == 0x1680 || (unit >= 0x2000 && unit <= 0x200A) || unit == 0x2028 ||
         unit == 0x2029 || unit == 0x202F || unit == 0x205F || unit == 0x3000;
}

std::u16string_view trim(std::u16string_view text) {
  while (!text.empty() && is_white_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_white_space(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::uint32_t> parse_part(std::u16string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char16_t unit : text) {
    if (unit < u'0' || unit > u'9') return std::nullopt;
    value = value * 10 + (unit - u'0');
    if (value > 0xFFFF'FFFFu) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<Version> parse_version(std::u16string_view text) {
  text = trim(text);
  std::array<std::uint32_t, 4> parts{};
  std::size_t count = 0;
  while (true) {
    if (count == parts.size()) return std::nullopt;
    const std::size_t dot = text.find(u'.');
    const std::optional<std::uint32_t> part = parse_part(text.substr(0, dot));
    if (!part) return std::nullopt;
    parts[count++] = *part;
    if (dot == std::u16string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  if (count < 2) return std::nullopt;
  return Version{parts[0], parts[1], parts[2]};
}

}  // namespace wrenfold
