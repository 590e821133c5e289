#pragma once
// The case fold used by case-insensitive Normal and Extended searches: every UTF-16 code
// unit maps to one code unit, so a match in folded text has the same place and length in
// the real text.

#include <array>
#include <string>
#include <string_view>

namespace wrenfold {

using FoldTable = std::array<char16_t, 65536>;

// Built on first use and kept for the life of the process.
const FoldTable& fold_table();

// Writes the folded form of `text` to `out` (which has room for text.size() units).
void fold_units(std::u16string_view text, char16_t* out);

std::u16string fold_text(std::u16string_view text);

}  // namespace wrenfold
