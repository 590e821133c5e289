#include "print_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wrenfold {
namespace {

using Rows = std::vector<std::u16string>;

// A printer on which every character is as wide as the next: `width` of them fit.
FittingUnits monospaced(std::size_t width) {
  return [width](std::u16string_view row) { return std::min(row.size(), width); };
}

TEST(PrintLayout, TabsExpandToEveryEighthColumn) {
  EXPECT_EQ(expand_tabs(u"a\tb"), u"a       b");
  EXPECT_EQ(expand_tabs(u"\t"), u"        ");
  EXPECT_EQ(expand_tabs(u"1234567\tx"), u"1234567 x");
  EXPECT_EQ(expand_tabs(u"12345678\tx"), u"12345678        x");
  EXPECT_EQ(expand_tabs(u"\t\tx"), std::u16string(16, u' ') + u"x");
}

TEST(PrintLayout, LinesAndEmptyTexts) {
  EXPECT_EQ(print_rows(u"", monospaced(10)), Rows{u""}) << "an empty document prints one blank row";
  EXPECT_EQ(print_rows(u"one\rtwo", monospaced(10)), (Rows{u"one", u"two"}));
  EXPECT_EQ(print_rows(u"one\r", monospaced(10)), (Rows{u"one", u""})) << "a final CR ends with an empty line";
  EXPECT_EQ(print_rows(u"\r\r", monospaced(10)), (Rows{u"", u"", u""}));
  EXPECT_EQ(print_rows(u"a\tb", monospaced(20)), Rows{u"a       b"});
}

TEST(PrintLayout, WrapsAfterTheLastFittingSpaceOrCutsLongWords) {
  EXPECT_EQ(print_rows(std::u16string(25, u'x'), monospaced(10)),
            (Rows{std::u16string(10, u'x'), std::u16string(10, u'x'), std::u16string(5, u'x')}))
      << "a word longer than the width is cut, each row full";
  EXPECT_EQ(print_rows(u"the quick brown fox", monospaced(10)), (Rows{u"the quick", u"brown fox"}))
      << "the space the row ends after does not print";
  EXPECT_EQ(print_rows(u"abc  defghij", monospaced(6)), (Rows{u"abc", u"defghi", u"j"}));
  EXPECT_EQ(print_rows(u"abc  de", monospaced(4)), (Rows{u"abc", u" de"}))
      << "spaces starting a continuation row stay";
  EXPECT_EQ(print_rows(u" abcdef", monospaced(4)), (Rows{u" abc", u"def"}))
      << "a space only at the very start does not end a row";
  EXPECT_EQ(print_rows(u"abcdef", monospaced(0)), (Rows{u"a", u"b", u"c", u"d", u"e", u"f"}))
      << "at least one character per row, so wrapping always ends";
}

TEST(PrintLayout, ALongLineIsMeasuredAboutOnce) {
  std::u16string line;
  for (int word = 0; word < 13 * 2'600; ++word) line += u"words ";
  std::size_t measured = 0;
  const FittingUnits counting = [&measured](std::u16string_view row) {
    measured += row.size();
    return std::min<std::size_t>(row.size(), 80);
  };
  const Rows rows = print_rows(line, counting);
  EXPECT_EQ(rows.size(), 2'600u) << "rows of thirteen words";
  EXPECT_EQ(rows.front(), rows.back());
  // Offering the whole rest of the line for every row would measure about 250 million units.
  EXPECT_LT(measured, 4 * line.size());

  // A window that all fits grows until the row's end is found.
  const Rows wide = print_rows(std::u16string(1'000, u'x') + u" y", [](std::u16string_view row) {
    return std::min<std::size_t>(row.size(), 900);
  });
  EXPECT_EQ(wide, (Rows{std::u16string(900, u'x'), std::u16string(100, u'x') + u" y"}));
}

}  // namespace
}  // namespace wrenfold
