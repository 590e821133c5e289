#include "line_tops.h"

#include <algorithm>

namespace wrenfold {
namespace {

// Below this many lines between known tops, asking for each costs no more than halving.
constexpr std::size_t kAskEachBelow = 5;

}  // namespace

void fill_line_tops(std::vector<int>& tops, std::size_t low, std::size_t high, int row, int bottom,
                    const std::function<int(std::size_t)>& ask) {
  if (high <= low + 1 || high >= tops.size()) return;
  if (tops[low] > bottom) {
    std::fill(tops.begin() + static_cast<std::ptrdiff_t>(low) + 1, tops.begin() + static_cast<std::ptrdiff_t>(high),
              kTopBelowView);
    return;
  }
  if (tops[high] - tops[low] == static_cast<int>(high - low) * row) {
    for (std::size_t at = low + 1; at < high; ++at) tops[at] = tops[low] + static_cast<int>(at - low) * row;
    return;
  }
  if (high - low < kAskEachBelow) {
    for (std::size_t at = low + 1; at < high; ++at) {
      tops[at] = tops[at - 1] > bottom ? kTopBelowView : ask(at);
    }
    return;
  }
  const std::size_t middle = low + (high - low) / 2;
  tops[middle] = ask(middle);
  fill_line_tops(tops, low, middle, row, bottom, ask);
  fill_line_tops(tops, middle, high, row, bottom, ask);
}

}  // namespace wrenfold
