#pragma once
// A window's position and outer size in screen pixels, and its one-line text form
// "x,y,width,height,True|False" that a window hands to the new window it starts.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfold {

struct WindowPlacement {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool maximized = false;

  bool operator==(const WindowPlacement&) const = default;
};

// Nothing when the text is not five comma-separated fields whose first four are signed
// 32-bit decimals. The fifth means maximized only when it is "true" in any letter case.
std::optional<WindowPlacement> parse_placement(std::u16string_view text);

std::u16string format_placement(const WindowPlacement& placement);

}  // namespace wrenfold
