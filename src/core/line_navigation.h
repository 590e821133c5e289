#pragma once
// Line numbers in editor text, where every line break is one CR: line 1 starts at 0, line n
// right after the (n-1)-th CR.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace wrenfold {

// The line holding `position` (clamped to the text).
std::uint64_t line_of_position(std::u16string_view text, std::size_t position);

// What the Go to line entry reads as: white space at both ends trimmed, an optional "+",
// then decimal digits only, fitting 64 bits.
std::optional<std::uint64_t> parse_line_number(std::u16string_view entry);

// Where line `line` starts; nothing for 0 or a line beyond the last.
std::optional<std::size_t> line_start(std::u16string_view text, std::uint64_t line);

}  // namespace wrenfold
