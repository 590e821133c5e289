#include "line_tops.h"

namespace wrenfold {

void fill_line_tops(std::vector<int>& tops, std::size_t low, std::size_t high, int row,
                    const std::function<int(std::size_t)>& ask) {
  if (high <= low + 1 || high >= tops.size()) return;
  if (tops[high] - tops[low] == static_cast<int>(high - low) * row) {
    for (std::size_t at = low + 1; at < high; ++at) tops[at] = tops[low] + static_cast<int>(at - low) * row;
    return;
  }
  const std::size_t middle = low + (high - low) / 2;
  tops[middle] = ask(middle);
  fill_line_tops(tops, low, middle, row, ask);
  fill_line_tops(tops, middle, high, row, ask);
}

}  // namespace wrenfold
