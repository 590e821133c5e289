#pragma once
// Base64 text in the standard alphabet with "=" padding, read strictly.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace wrenfold {

// The bytes of `text` after trimming white space at both ends. Nothing when the length is not
// a multiple of 4, when "=" appears other than as one or two final padding characters, or
// when any other character is outside the alphabet (a line break inside the text included),
// and when the last character carries bits beyond the data.
std::optional<std::vector<std::uint8_t>> decode_base64(std::u16string_view text);

}  // namespace wrenfold
