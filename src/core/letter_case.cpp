#include "letter_case.h"

#include <algorithm>
#include <iterator>

namespace wrenfold {
namespace {

struct LowerCasePair {
  char16_t character;
  char16_t lower;
};

constexpr LowerCasePair kLowerCasePairs[] = {
#include "lower_case_pairs.inc"
};

}  // namespace

char16_t lower_case_unit(char16_t unit) {
  if (unit < 0x80) return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + 0x20) : unit;
  const auto* end = std::end(kLowerCasePairs);
  const auto* found = std::lower_bound(
      std::begin(kLowerCasePairs), end, unit,
      [](const LowerCasePair& pair, char16_t wanted) { return pair.character < wanted; });
  return (found != end && found->character == unit) ? found->lower : unit;
}

}  // namespace wrenfold
