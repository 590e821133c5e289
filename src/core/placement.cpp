#include "placement.h"

#include <array>

namespace wrenfold {
namespace {

std::optional<std::int32_t> parse_int32(std::u16string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == u'+' || text[0] == u'-')) {
    negative = text[0] == u'-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  // The magnitude of INT32_MIN is one more than INT32_MAX, so count in 64 bits.
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t magnitude = 0;
  for (char16_t unit : text) {
    if (unit < u'0' || unit > u'9') return std::nullopt;
    magnitude = magnitude * 10 + (unit - u'0');
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

bool is_true_in_any_case(std::u16string_view text) {
  constexpr std::u16string_view kTrue = u"true";
  if (text.size() != kTrue.size()) return false;
  for (std::size_t i = 0; i < kTrue.size(); ++i) {
    const char16_t lower = (text[i] >= u'A' && text[i] <= u'Z') ? text[i] + (u'a' - u'A') : text[i];
    if (lower != kTrue[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<WindowPlacement> parse_placement(std::u16string_view text) {
  std::array<std::u16string_view, 5> fields;
  std::size_t count = 0;
  while (true) {
    const std::size_t comma = text.find(u',');
    if (count == fields.size()) return std::nullopt;
    fields[count++] = text.substr(0, comma);
    if (comma == std::u16string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (count != fields.size()) return std::nullopt;

  std::array<std::int32_t, 4> numbers{};
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    const std::optional<std::int32_t> number = parse_int32(fields[i]);
    if (!number) return std::nullopt;
    numbers[i] = *number;
  }
  return WindowPlacement{numbers[0], numbers[1], numbers[2], numbers[3],
                         is_true_in_any_case(fields[4])};
}

std::u16string format_placement(const WindowPlacement& placement) {
  std::u16string text;
  for (std::int32_t number : {placement.x, placement.y, placement.width, placement.height}) {
    for (char digit : std::to_string(number)) text += static_cast<char16_t>(digit);
    text += u',';
  }
  text += placement.maximized ? u"True" : u"False";
  return text;
}

}  // namespace wrenfold
