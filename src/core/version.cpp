#include "version.h"

#include <array>

#include "white_space.h"

namespace wrenfold {
namespace {

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
  text = trim_white_space(text);
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
