#pragma once
// Where lines begin on screen, found with as few questions to the editor as it can: the
// editor answers each by walking its text from the start.

#include <cstddef>
#include <functional>
#include <vector>

namespace wrenfold {

// Fills tops[low + 1, high) from the known tops[low] and tops[high], asking `ask(i)` for
// the top of line i only where needed. Unwrapped, every line is one row and rows of one
// font are `row` high, so a stretch whose ends lie that many rows apart holds no other
// height; otherwise halving finds the rows of other heights.
void fill_line_tops(std::vector<int>& tops, std::size_t low, std::size_t high, int row,
                    const std::function<int(std::size_t)>& ask);

}  // namespace wrenfold
