#pragma once
// Lower-casing of single UTF-16 code units, for replacement formats and equivalence classes.
// (Upper-casing one unit is the case-insensitive search's fold table.)

namespace wrenfold {

// A–Z to a–z; from U+00C0 up (surrogates excepted) the simple Unicode lower-case mapping
// when that is one character of the Basic Multilingual Plane; everything else unchanged.
char16_t lower_case_unit(char16_t unit);

}  // namespace wrenfold
