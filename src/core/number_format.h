#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wrenfold {

// Decimal digits with `separator` before every group of three counted from the right.
std::u16string group_thousands(std::uint64_t value, std::u16string_view separator);

}  // namespace wrenfold
