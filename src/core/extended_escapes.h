#pragma once
// Backslash escapes of the Extended search mode, for characters that can't be typed into a
// one-line box.

#include <string>
#include <string_view>

namespace wrenfold {

// Expands \0 \\ \n \r \t \xHH \uHHHH \oNNN \dNNN \bNNNNNNNN; anything else after a
// backslash is left as typed.
std::u16string parse_extended(std::u16string_view text);

// The help the Find and Replace window shows for the mode: escape forms, a tab, the
// description, lines separated by CR LF.
extern const std::u16string_view kExtendedHelpText;

}  // namespace wrenfold
