#pragma once
// Replacement texts in the Boost (Perl-like) format syntax: groups, escapes, case changes
// and conditionals, expanded for one match.

#include <cstddef>
#include <string>
#include <string_view>

#include "regex_match.h"

namespace wrenfold {

// The replacement for `match` in `subject`. `previous_end` is where the previous match of
// the same Replace All ended (0 for the first, and for a single Replace); the prefix starts
// there. Never fails: whatever is not a construct is written literally.
std::u16string expand_format(std::u16string_view format, const RegexMatch& match,
                             std::u16string_view subject, std::size_t previous_end);

}  // namespace wrenfold
