#pragma once
// UTF-16 test values shown readably in failure messages: ASCII as itself, the rest as \uXXXX.

#include <cstdio>
#include <string>
#include <string_view>

namespace wrenfold {

inline std::string printable(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F) {
      out += static_cast<char>(unit);
    } else {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(unit));
      out += buffer;
    }
  }
  return out;
}

}  // namespace wrenfold
