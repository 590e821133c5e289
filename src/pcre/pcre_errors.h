#pragma once
// The messages the user sees when PCRE2 cannot finish a match.

#include <string>

#include "result.h"

namespace wrenfold::pcre {

inline Error search_failed(int error_code) {
  const std::string digits = std::to_string(error_code);
  return Error{u"The search failed (PCRE2 error " + std::u16string(digits.begin(), digits.end()) +
               u")."};
}

inline Error search_stopped() { return Error{u"The search took too long and was stopped."}; }

}  // namespace wrenfold::pcre
