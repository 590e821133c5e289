#include "placement.h"

#include <gtest/gtest.h>

#include <vector>

namespace wrenfold {
namespace {

struct ParseCase {
  std::u16string_view text;
  std::optional<WindowPlacement> expected;
  const char* why;
};

TEST(Placement, Parses) {
  const std::vector<ParseCase> cases = {
      {u"100,80,1000,700,False", WindowPlacement{100, 80, 1000, 700, false}, "written form"},
      {u"-1920,+5,800,600,True", WindowPlacement{-1920, 5, 800, 600, true}, "signs"},
      {u"0,0,1,1,tRUE", WindowPlacement{0, 0, 1, 1, true}, "true in any case"},
      {u"0,0,1,1,yes", WindowPlacement{0, 0, 1, 1, false}, "anything else is not maximized"},
      {u"0,0,1,1,", WindowPlacement{0, 0, 1, 1, false}, "empty fifth field"},
      {u"0,0,1,1,true ", WindowPlacement{0, 0, 1, 1, false}, "five characters are not true"},
      {u"-2147483648,2147483647,0,0,False",
       WindowPlacement{-2147483648, 2147483647, 0, 0, false}, "32-bit limits"},
      {u"007,0,0,0,False", WindowPlacement{7, 0, 0, 0, false}, "leading zeros"},
      {u"2147483648,0,0,0,False", std::nullopt, "overflow"},
      {u"-2147483649,0,0,0,False", std::nullopt, "underflow"},
      {u"99999999999999999999,0,0,0,False", std::nullopt, "overflow of 64 bits too"},
      {u"1, 2,3,4,True", std::nullopt, "blank after a comma"},
      {u"1,2,3,4,True,", std::nullopt, "sixth (empty) field"},
      {u"1,2,3,4,True,5", std::nullopt, "sixth field"},
      {u"1,2,3,4", std::nullopt, "four fields"},
      {u"1,2,,4,True", std::nullopt, "empty number"},
      {u"1,-,3,4,True", std::nullopt, "lone sign"},
      {u"1,+-2,3,4,True", std::nullopt, "two signs"},
      {u"1,2,3.0,4,True", std::nullopt, "decimal point"},
      {u"1,2,3,4\u0661,True", std::nullopt, "non-ASCII digit"},
      {u"", std::nullopt, "empty"},
  };
  for (const ParseCase& c : cases) {
    EXPECT_EQ(parse_placement(c.text), c.expected) << c.why;
  }
}

TEST(Placement, FormatsAndReadsBack) {
  const std::vector<std::pair<WindowPlacement, std::u16string_view>> cases = {
      {{132, 132, 800, 600, false}, u"132,132,800,600,False"},
      {{-2147483647 - 1, -8, 0, 2147483647, true}, u"-2147483648,-8,0,2147483647,True"},
  };
  for (const auto& [placement, text] : cases) {
    EXPECT_EQ(format_placement(placement), text);
    EXPECT_EQ(parse_placement(text), placement);
  }
}

}  // namespace
}  // namespace wrenfold
