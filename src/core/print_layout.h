#pragma once
// How editor text falls into printed rows: one line per CR, tabs expanded to every eighth
// column, long lines wrapped after the last space that fits.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wrenfold {

// Each TAB becomes 1 to 8 spaces, up to the next column that is a multiple of 8.
std::u16string expand_tabs(std::u16string_view line);

// How many leading units of a row fit the printable width (the printer measures).
using FittingUnits = std::function<std::size_t(std::u16string_view)>;

// Every row to print, trailing spaces dropped; an empty line is one empty row, so even an
// empty text prints one (blank) row.
std::vector<std::u16string> print_rows(std::u16string_view text, const FittingUnits& fitting);

}  // namespace wrenfold
