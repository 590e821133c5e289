// The search engine in Regular expression mode, through the same editor surface as the
// literal modes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_editor.h"
#include "pcre_regex.h"
#include "search.h"

namespace wrenfold {
namespace {

using testing::FakeEditor;

SearchRequest regex(std::u16string pattern, bool match_case = true, bool wrap = true) {
  return testing::make_request(std::move(pattern), SearchMode::RegularExpression, match_case, wrap);
}

TEST(RegexSearch, ForwardStepsOverEmptyMatchesAndWraps) {
  FakeEditor editor(u"one\rtwo\rthree", 0, 0);
  SearchMemory memory;
  // "^" at the caret would stay there; each Find Next moves to the next line start.
  EXPECT_EQ(find_next(editor, memory, regex(u"^"), false), std::nullopt);
  EXPECT_EQ(editor.selection_start(), 4u);
  EXPECT_EQ(find_next(editor, memory, regex(u"^"), false), std::nullopt);
  EXPECT_EQ(editor.selection_start(), 8u);
  EXPECT_EQ(find_next(editor, memory, regex(u"^"), false), std::nullopt);
  EXPECT_EQ(editor.selection_start(), 0u) << "wraps to the first line";

  editor.select(9, 9);
  EXPECT_EQ(find_next(editor, memory, regex(u"t\\w+"), false), std::nullopt);
  EXPECT_EQ(editor.selection_start(), 4u) << "after the caret only 'hree' is left, so it wraps";
  EXPECT_EQ(editor.selection_end(), 7u);
  EXPECT_EQ(find_next(editor, memory, regex(u"o$", true, false), false), u"Can't find \"o$\"");
}

// The step past an empty match at the caret moves one code point, never into a surrogate
// pair; at the very end of the text there is nothing to step to, so the match there stays.
TEST(RegexSearch, ForwardStepsOverEmptyMatchesByCodePoints) {
  struct Case {
    std::u16string pattern;
    std::vector<std::size_t> stops;  // the caret after each press, from the start of the text
  };
  const std::u16string text = u"one\rtwo\r\U0001F600x";
  const std::vector<Case> cases = {
      {u"$", {3, 7, 11, 11}},
      {u"\\b", {3, 4, 7, 10, 11, 11}},
      {u"y*", {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 11}},
  };
  for (const Case& c : cases) {
    FakeEditor editor(text, 0, 0);
    SearchMemory memory;
    for (std::size_t stop : c.stops) {
      EXPECT_EQ(find_next(editor, memory, regex(c.pattern, true, false), false), std::nullopt);
      EXPECT_EQ(editor.selection_start(), stop) << std::string(c.pattern.begin(), c.pattern.end());
      EXPECT_EQ(editor.selection_end(), stop);
    }
  }
}

TEST(RegexSearch, BackwardFindsTheLatestMatchBeforeTheSelection) {
  FakeEditor editor(u"cat hat bat", 11, 11);
  SearchMemory memory;
  EXPECT_EQ(find_next(editor, memory, regex(u"\\wat"), true), std::nullopt);
  EXPECT_EQ(editor.selection_start(), 8u);
  EXPECT_EQ(find_next(editor, memory, regex(u"\\wat"), true), std::nullopt);
  EXPECT_EQ(editor.selection_start(), 4u);
  editor.select(0, 0);
  EXPECT_EQ(find_next(editor, memory, regex(u"\\wat"), true), std::nullopt);
  EXPECT_EQ(editor.selection_start(), 8u) << "wraps from the start to the last match";
  editor.select(0, 3);
  EXPECT_EQ(find_next(editor, memory, regex(u"\\wat", true, false), true), u"Can't find \"\\wat\"");
}

// Find previous from an empty selection moves past an empty match at the caret, as Find Next
// does forward, so repeated presses walk towards the start.
TEST(RegexSearch, BackwardStepsOverEmptyMatches) {
  struct Case {
    std::u16string pattern;
    bool wrap;
    std::vector<std::size_t> stops;  // the caret after each press, from the end of the text
  };
  const std::u16string text = u"one\rtwo\r\U0001F600x";
  const std::vector<Case> cases = {
      {u"^", true, {8, 4, 0, 8}},             // at the start only wrapping goes on
      {u"$", true, {7, 3, 11, 7}},
      {u"\\b", false, {10, 7, 4, 3, 0}},
      {u"y*", false, {10, 8, 7}},             // the step back never splits a surrogate pair
  };
  for (const Case& c : cases) {
    FakeEditor editor(text, text.size(), text.size());
    SearchMemory memory;
    for (std::size_t stop : c.stops) {
      EXPECT_EQ(find_next(editor, memory, regex(c.pattern, true, c.wrap), true), std::nullopt);
      EXPECT_EQ(editor.selection_start(), stop) << std::string(c.pattern.begin(), c.pattern.end());
      EXPECT_EQ(editor.selection_end(), stop);
    }
  }
  FakeEditor top(u"a\rb", 0, 0);
  SearchMemory memory;
  EXPECT_EQ(find_next(top, memory, regex(u"^", true, false), true), u"Can't find \"^\"");
  EXPECT_EQ(top.selection_start(), 0u);
}

TEST(RegexReplace, UpWithAnEmptyPatternWalksLineByLine) {
  FakeEditor editor(u"a\rb\rc", 4, 4);
  SearchMemory memory;
  for (int press = 0; press < 3; ++press) {
    EXPECT_EQ(replace_one(editor, memory, regex(u"^", true, false), u"> ", true),
              press < 2 ? std::nullopt : SearchOutcome(u"Can't find \"^\""));
  }
  EXPECT_EQ(editor.text(), u"> a\r> b\r> c");
  EXPECT_EQ(editor.undo_steps.size(), 3u);
}

TEST(RegexSearch, CompileErrorsAndCaching) {
  FakeEditor editor(u"text");
  SearchMemory memory;
  const SearchOutcome broken = find_next(editor, memory, regex(u"(unclosed"), false);
  ASSERT_TRUE(broken.has_value());
  EXPECT_EQ(broken->rfind(u"Invalid regular expression: ", 0), 0u);
  EXPECT_FALSE(memory.last_search.has_value()) << "a pattern that doesn't compile is not remembered";

  const std::uint64_t before = compile_count();
  find_next(editor, memory, regex(u"e\\w"), false);
  find_next(editor, memory, regex(u"e\\w"), false);
  EXPECT_EQ(compile_count() - before, 1u) << "the same pattern and options compile once";
}

TEST(RegexSearch, ReplaceUsesTheFormatOnlyWhenTheSelectionIsAMatch) {
  FakeEditor editor(u"John Smith, Jane Doe", 0, 0);
  SearchMemory memory;
  const SearchRequest names = regex(u"(\\w+) (\\w+)");
  EXPECT_EQ(replace_one(editor, memory, names, u"$2 $1", false), std::nullopt);
  EXPECT_EQ(editor.text(), u"John Smith, Jane Doe") << "the first press only finds";
  EXPECT_EQ(replace_one(editor, memory, names, u"$2 $1", false), std::nullopt);
  EXPECT_EQ(editor.text(), u"Smith John, Jane Doe");
  EXPECT_EQ(editor.selection_start(), 12u);
  EXPECT_EQ(editor.undo_steps.size(), 1u);

  FakeEditor lines(u"a=1\rb=2", 0, 3);
  EXPECT_EQ(replace_one(lines, memory, regex(u"(\\w)=(\\d)"), u"\\1\\n\\2", false), std::nullopt);
  EXPECT_EQ(lines.text(), u"a\r1\rb=2") << "line breaks in the result become the editor's CR";
}

TEST(RegexReplaceAll, EmptyMatchesAndCounts) {
  struct Case {
    std::u16string text, pattern, format, expected, outcome;
  };
  const std::vector<Case> cases = {
      {u"abc", u"x*", u"-", u"-a-b-c-", u"Replaced 4 occurrences."},
      // No line start after the final line break, so the last empty line is not matched.
      {u"one\r\rthree\r", u"^\\s*$", u"E", u"one\rE\rthree\r", u"Replaced 1 occurrence."},
      {u"a\U0001F600b", u"(?:)", u"|", u"|a|\U0001F600|b|", u"Replaced 4 occurrences."},
      {u"aaa", u"a", u"aa", u"aaaaaa", u"Replaced 3 occurrences."},
      {u"x1y22", u"\\d+", u"<$&>", u"x<1>y<22>", u"Replaced 2 occurrences."},
      {u"line\rnext", u"$", u"!", u"line!\rnext!", u"Replaced 2 occurrences."},
      {u"a b", u"\\s", u"\\r\\n", u"a\rb", u"Replaced 1 occurrence."},
      // \G is where each attempt starts, also after the step past an empty match.
      {u"ab", u"\\Gb|x*", u"-", u"-a--", u"Replaced 3 occurrences."},
      // $` is the text since the previous match, not since the start of the document.
      {u"abcb", u"b", u"[$`]", u"a[a]c[c]", u"Replaced 2 occurrences."},
      {u"ab", u"x*", u"[$`]", u"[]a[a]b[b]", u"Replaced 3 occurrences."},
  };
  for (const Case& c : cases) {
    FakeEditor editor(c.text);
    SearchMemory memory;
    EXPECT_EQ(replace_all(editor, memory, regex(c.pattern), c.format), c.outcome) << c.pattern.size();
    EXPECT_EQ(editor.text(), c.expected) << std::string(c.pattern.begin(), c.pattern.end());
    EXPECT_EQ(editor.undo_steps.size(), 1u);
  }
}

TEST(RegexReplaceAll, FailureLeavesTheDocumentAlone) {
  // A run of "a", then a "b" that the run can't reach: the engine can't rule the pattern out
  // up front, so it backtracks until its match limit stops it.
  std::u16string text = std::u16string(40, u'a') + u"cb";
  FakeEditor editor(text);
  SearchMemory memory;
  const SearchOutcome outcome = replace_all(editor, memory, regex(u"(a+)+b"), u"z");
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(*outcome, u"The search took too long and was stopped.");
  EXPECT_EQ(editor.text(), text);
  EXPECT_TRUE(editor.undo_steps.empty());
}

}  // namespace
}  // namespace wrenfold
