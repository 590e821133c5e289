#pragma once
// White space as Unicode defines it, for trimming what people type or paste.

#include <string_view>

namespace wrenfold {

// Unicode's White_Space characters; all of them fit one UTF-16 unit.
constexpr bool is_white_space(char16_t unit) {
  return (unit >= 0x09 && unit <= 0x0D) || unit == 0x20 || unit == 0x85 || unit == 0xA0 ||
         unit == 0x1680 || (unit >= 0x2000 && unit <= 0x200A) || unit == 0x2028 ||
         unit == 0x2029 || unit == 0x202F || unit == 0x205F || unit == 0x3000;
}

constexpr std::u16string_view trim_white_space(std::u16string_view text) {
  while (!text.empty() && is_white_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_white_space(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace wrenfold
