#pragma once
// Users write regular expressions in the Boost (Perl-like) dialect; the matcher is PCRE2.
// The translation rewrites what the two spell differently and passes the rest through, so
// PCRE2 itself accepts or rejects everything this file does not know.

#include <string>
#include <string_view>

#include "result.h"

namespace wrenfold {

// The PCRE2 form of `pattern`, or the message that says why it has none. The result is
// meant for a UTF, UCP, multi-line compile whose subject has LF line breaks.
Result<std::u16string> translate_pattern(std::u16string_view pattern);

}  // namespace wrenfold
