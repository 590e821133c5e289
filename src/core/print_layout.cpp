#include "print_layout.h"

#include <algorithm>

namespace wrenfold {
namespace {

constexpr std::size_t kTabWidth = 8;

// The printer measures every unit it is given, so rows are measured on a window of the rest
// of the line that grows only while it all fits: each row costs about its own length, and a
// long line costs time in proportion to its length, not to its square.
constexpr std::size_t kFirstMeasuredUnits = 256;

// How many leading units of `rest` fit, measuring no more than needed.
std::size_t fitting_prefix(std::u16string_view rest, const FittingUnits& fitting, std::size_t& window) {
  window = std::min(rest.size(), std::max(window, kFirstMeasuredUnits));
  while (true) {
    const std::size_t fits = fitting(rest.substr(0, window));
    if (fits < window || window == rest.size()) return fits;
    window = std::min(rest.size(), window * 2);
  }
}

void wrap_line(std::u16string_view rest, const FittingUnits& fitting, std::vector<std::u16string>& rows) {
  if (rest.empty()) {
    rows.emplace_back();
    return;
  }
  // Rows of one line are alike in length, so the next one starts with a window a little
  // longer than the last row needed.
  std::size_t window = kFirstMeasuredUnits;
  while (!rest.empty()) {
    std::size_t fits = fitting_prefix(rest, fitting, window);
    window = fits + fits / 2 + 1;
    std::size_t length = rest.size();
    if (fits < rest.size()) {
      fits = std::max<std::size_t>(fits, 1);
      // A space at the very start would give an empty row: then the word is cut instead.
      const std::size_t space = rest.substr(0, fits).rfind(u' ');
      length = space != std::u16string_view::npos && space != 0 ? space + 1 : fits;
    }
    std::u16string_view row = rest.substr(0, length);
    rest.remove_prefix(length);
    while (!row.empty() && row.back() == u' ') row.remove_suffix(1);
    rows.emplace_back(row);
  }
}

}  // namespace

std::u16string expand_tabs(std::u16string_view line) {
  std::u16string expanded;
  expanded.reserve(line.size());
  for (char16_t unit : line) {
    if (unit == u'\t') {
      expanded.append(kTabWidth - expanded.size() % kTabWidth, u' ');
    } else {
      expanded += unit;
    }
  }
  return expanded;
}

std::vector<std::u16string> print_rows(std::u16string_view text, const FittingUnits& fitting) {
  std::vector<std::u16string> rows;
  while (true) {
    const std::size_t cr = text.find(u'\r');
    wrap_line(expand_tabs(text.substr(0, cr)), fitting, rows);
    if (cr == std::u16string_view::npos) return rows;
    text.remove_prefix(cr + 1);
  }
}

}  // namespace wrenfold
