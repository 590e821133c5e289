#include "number_format.h"

#include <algorithm>

namespace wrenfold {

std::u16string group_thousands(std::uint64_t value, std::u16string_view separator) {
  std::u16string reversed_separator(separator.rbegin(), separator.rend());
  std::u16string out;
  int digits = 0;
  do {
    if (digits != 0 && digits % 3 == 0) out += reversed_separator;
    out += static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
    ++digits;
  } while (value != 0);
  std::reverse(out.begin(), out.end());
  return out;
}

}  // namespace wrenfold
