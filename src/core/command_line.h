#pragma once
// The one file path a command line may carry after the program's own name.

#include <optional>
#include <string>
#include <string_view>

namespace wrenfold {

// Skips the program name (quoted, or up to the first blank), trims, drops one pair of
// enclosing quotes; spaces inside the path need no quoting. Nothing when no path is left.
std::optional<std::u16string> command_line_argument(std::u16string_view command_line);

}  // namespace wrenfold
