#pragma once
// Where lines begin on screen, found with as few questions to the editor as it can: the
// editor answers each by walking its text from the start.

#include <climits>
#include <cstddef>
#include <functional>
#include <vector>

namespace wrenfold {

// A top not asked for because an earlier line already lies below the view.
inline constexpr int kTopBelowView = INT_MAX;

// Fills tops[low + 1, high) from the known tops[low] and tops[high], asking `ask(i)` for
// the top of line i only where needed. Every line takes at least one row, and `row` is the
// height of the shortest: a stretch whose ends lie exactly that many rows apart is one row
// per line. Lines after one whose top is below `bottom` are left at kTopBelowView.
void fill_line_tops(std::vector<int>& tops, std::size_t low, std::size_t high, int row, int bottom,
                    const std::function<int(std::size_t)>& ask);

}  // namespace wrenfold
