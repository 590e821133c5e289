#include "line_navigation.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace wrenfold {
namespace {

TEST(LineNavigation, EntriesReadAsLineNumbers) {
  struct Row {
    std::u16string_view entry;
    std::optional<std::uint64_t> line;
  };
  const Row rows[] = {
      {u"12", 12},
      {u"  12\t", 12},
      {u"+12", 12},
      {u"\u3000+7\u00A0", 7},  // any Unicode white space around it
      {u"007", 7},
      {u"0", 0},  // read, then refused as a line
      {u"18446744073709551615", UINT64_MAX},
      {u"18446744073709551616", std::nullopt},  // one past 64 bits
      {u"99999999999999999999", std::nullopt},
      {u"", std::nullopt},
      {u"   ", std::nullopt},
      {u"+", std::nullopt},
      {u"-", std::nullopt},
      {u"-3", std::nullopt},
      {u"++3", std::nullopt},
      {u"1.5", std::nullopt},
      {u"1 2", std::nullopt},
      {u"\uFF11", std::nullopt},  // full-width digit
  };
  for (const Row& row : rows) {
    EXPECT_EQ(parse_line_number(row.entry), row.line) << std::string(row.entry.begin(), row.entry.end());
  }
}

TEST(LineNavigation, LinesStartAfterEachCr) {
  const std::u16string text = u"one\rtwo\rthree";
  EXPECT_EQ(line_start(text, 1), 0u);
  EXPECT_EQ(line_start(text, 2), 4u);
  EXPECT_EQ(line_start(text, 3), 8u);
  EXPECT_EQ(line_start(text, 4), std::nullopt);
  EXPECT_EQ(line_start(text, 0), std::nullopt);
  EXPECT_EQ(line_start(u"", 1), 0u) << "an empty text has one line";
  EXPECT_EQ(line_start(u"", 2), std::nullopt);
  EXPECT_EQ(line_start(u"end\r", 2), 4u) << "a final break opens an empty last line";

  EXPECT_EQ(line_of_position(text, 0), 1u);
  EXPECT_EQ(line_of_position(text, 3), 1u) << "the CR itself is still on its line";
  EXPECT_EQ(line_of_position(text, 4), 2u);
  EXPECT_EQ(line_of_position(text, 500), 3u) << "clamped to the text";
}

}  // namespace
}  // namespace wrenfold
