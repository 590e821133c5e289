#include "pcre_regex.h"

#include <gtest/gtest.h>
#include <pcre2.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "fake_editor.h"
#include "printable.h"
#include "search.h"

namespace wrenfold {
namespace {

SearchRequest regex_request(std::u16string find_text, bool match_case = true,
                            bool dot_matches_newline = false) {
  SearchRequest request;
  request.find_text = std::move(find_text);
  request.match_case = match_case;
  request.dot_matches_newline = dot_matches_newline;
  request.mode = SearchMode::RegularExpression;
  return request;
}

PatternHandle compiled(std::u16string find_text, bool match_case = true,
                       bool dot_matches_newline = false) {
  Result<PatternHandle> pattern = compile(regex_request(find_text, match_case, dot_matches_newline));
  EXPECT_TRUE(pattern.ok()) << printable(find_text) << ": " << printable(pattern.error().message);
  return pattern.ok() ? *pattern : nullptr;
}

using Span = std::pair<std::size_t, std::size_t>;

// The first match from `start` as (start, end), or nothing.
std::optional<Span> first_match(std::u16string find_text, std::u16string_view subject,
                                std::size_t start = 0, bool match_case = true,
                                bool dot_matches_newline = false) {
  const PatternHandle pattern = compiled(find_text, match_case, dot_matches_newline);
  Result<std::optional<RegexMatch>> match = match_at(*pattern, subject, start, kMatchDefault);
  EXPECT_TRUE(match.ok()) << printable(match.error().message);
  if (!match.ok() || !match->has_value()) return std::nullopt;
  const CaptureSpan whole = *(**match).groups[0];
  return Span{whole.start, whole.end};
}

TEST(Compile, ReusesThePatternUntilTextOrOptionsChange) {
  const std::uint64_t before = compile_count();
  const PatternHandle first = compiled(u"cache(d)?");
  const PatternHandle again = compiled(u"cache(d)?");
  EXPECT_EQ(compile_count(), before + 1);
  EXPECT_EQ(first.get(), again.get());

  compiled(u"cache(d)?", /*match_case=*/false);
  EXPECT_EQ(compile_count(), before + 2);
  compiled(u"cache(d)?", /*match_case=*/false, /*dot_matches_newline=*/true);
  EXPECT_EQ(compile_count(), before + 3);
  compiled(u"cache(d)?", /*match_case=*/false, /*dot_matches_newline=*/true);
  EXPECT_EQ(compile_count(), before + 3);

  // Wrap-around and the mode do not change the compiled pattern.
  SearchRequest other = regex_request(u"cache(d)?", false, true);
  other.wrap_around = !other.wrap_around;
  ASSERT_TRUE(compile(other).ok());
  EXPECT_EQ(compile_count(), before + 3);
}

TEST(Compile, FailuresKeepTheCachedPattern) {
  const PatternHandle good = compiled(u"keep me");
  const std::uint64_t before = compile_count();
  EXPECT_FALSE(compile(regex_request(u"(")).ok());
  EXPECT_FALSE(compile(regex_request(u"\\x{41")).ok());
  const PatternHandle again = compiled(u"keep me");
  EXPECT_EQ(again.get(), good.get());
  EXPECT_EQ(compile_count(), before + 1);  // only the invalid "(" reached PCRE2
}

TEST(Compile, ReportsErrors) {
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {u"(", u"Invalid regular expression: missing closing parenthesis."},
      {u"a{2,1}", u"Invalid regular expression: numbers out of order in {} quantifier."},
      {u"\\x{D800}", u"Invalid regular expression: disallowed Unicode code point (>= 0xd800 && <= 0xdfff)."},
      {u"a\\", u"Invalid regular expression: \\ at end of pattern."},
      {u"\\k{nope}", u"Invalid regular expression: reference to non-existent subpattern."},
      {u"[[:nope:]]", u"Unknown character class [:nope:]."},
  };
  for (const auto& [find_text, message] : cases) {
    const Result<PatternHandle> pattern = compile(regex_request(find_text));
    ASSERT_FALSE(pattern.ok()) << printable(find_text);
    EXPECT_EQ(printable(pattern.error().message), printable(message));
  }
}

TEST(Compile, OptionsShapeMatching) {
  EXPECT_EQ(first_match(u"^b", u"a\nb"), Span(2, 3));
  EXPECT_EQ(first_match(u"a$", u"a\nb"), Span(0, 1));
  EXPECT_EQ(first_match(u"a.b", u"a\nb"), std::nullopt);
  EXPECT_EQ(first_match(u"a.b", u"a\nb", 0, true, /*dot_matches_newline=*/true), Span(0, 3));
  EXPECT_EQ(first_match(u"ABC", u"xabc"), std::nullopt);
  EXPECT_EQ(first_match(u"ABC", u"xabc", 0, /*match_case=*/false), Span(1, 4));
  EXPECT_EQ(first_match(u"\u00C9T\u00C9", u"\u00E9t\u00E9", 0, false), Span(0, 3));
  EXPECT_EQ(first_match(u"\\w+", u"--caf\u00E9--"), Span(2, 6));  // UCP: é is a word character
  EXPECT_EQ(first_match(u"\\r", u"a\nb"), Span(1, 2));  // CR in a pattern finds the line break
  EXPECT_EQ(first_match(u"\\R", u"a\nb"), Span(1, 2));
  EXPECT_EQ(first_match(u"[[=e=]]+", u"x\u00C9\u0229e\u011BEf"), Span(1, 6));
  EXPECT_EQ(first_match(u"\\<is\\>", u"this is"), Span(5, 7));
  // The whole text stays visible: look-behind and anchors see before `start`.
  EXPECT_EQ(first_match(u"(?<=a)b", u"ab", 1), Span(1, 2));
  EXPECT_EQ(first_match(u"\\`b", u"ab", 1), std::nullopt);
  // Lone surrogates in the text are skipped, not fatal.
  EXPECT_EQ(first_match(u"b", std::u16string(u"a") + char16_t(0xDC00) + u"b"), Span(2, 3));
}

TEST(MatchAt, MapsCaptureSlots) {
  const PatternHandle pattern = compiled(u"(a)|(b)(x)?(y)?");
  Result<std::optional<RegexMatch>> match = match_at(*pattern, u"b", 0, kMatchDefault);
  ASSERT_TRUE(match.ok() && match->has_value());
  const RegexMatch& m = **match;
  ASSERT_EQ(m.groups.size(), 5u);
  EXPECT_FALSE(m.groups[1].has_value());
  ASSERT_TRUE(m.groups[2].has_value());
  EXPECT_EQ(m.groups[2]->start, 0u);
  EXPECT_EQ(m.groups[2]->end, 1u);
  EXPECT_FALSE(m.groups[3].has_value());  // beyond the highest group set
  EXPECT_FALSE(m.groups[4].has_value());

  const PatternHandle named = compiled(u"(?<year>\\d+)-(?<month>\\d+)");
  Result<std::optional<RegexMatch>> dated = match_at(*named, u"2024-05", 0, kMatchDefault);
  ASSERT_TRUE(dated.ok() && dated->has_value());
  ASSERT_TRUE((**dated).names);
  std::vector<std::pair<std::u16string, std::size_t>> names;
  for (const GroupName& name : *(**dated).names) names.emplace_back(name.name, name.number);
  EXPECT_EQ(names, (std::vector<std::pair<std::u16string, std::size_t>>{{u"month", 2}, {u"year", 1}}));
}

TEST(MatchAt, EmptySubjectAndBadOffset) {
  const PatternHandle pattern = compiled(u"^$");
  Result<std::optional<RegexMatch>> match = match_at(*pattern, std::u16string_view(), 0, kMatchDefault);
  ASSERT_TRUE(match.ok() && match->has_value());
  Result<std::optional<RegexMatch>> beyond = match_at(*pattern, u"ab", 3, kMatchDefault);
  ASSERT_FALSE(beyond.ok());
  EXPECT_EQ(printable(beyond.error().message), "The search failed (PCRE2 error -33).");
}

// Each case reaches the match limit (or the JIT stack limit) rather than ending early
// through PCRE2's start-up optimisations.
TEST(MatchAt, CatastrophicPatternsAreStopped) {
  const std::u16string run_of_a(40, u'a');
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {u"(a+)+b", u"b" + run_of_a + u"c b"},
      {u"(a+)+$", run_of_a + u"!"},
      {u"(a|aa)+c", run_of_a + u"b c"},
      {u"(\\w+\\s?)+$", u"an ordinary sentence with a few words in it and then!"},
  };
  for (const auto& [find_text, subject] : cases) {
    const PatternHandle pattern = compiled(find_text);
    const auto began = std::chrono::steady_clock::now();
    Result<std::optional<RegexMatch>> match = match_at(*pattern, subject, 0, kMatchDefault);
    const auto took = std::chrono::steady_clock::now() - began;
    ASSERT_FALSE(match.ok()) << printable(find_text);
    EXPECT_EQ(printable(match.error().message), "The search took too long and was stopped.");
    EXPECT_LT(took, std::chrono::seconds(1)) << printable(find_text);
  }
}

struct BackwardCase {
  std::u16string find_text;
  std::u16string subject;
  std::size_t bound;
  std::optional<Span> expected;  // (start, length)
};

TEST(FindBackward, FindsTheLatestEndingMatch) {
  std::u16string long_text(5000, u'-');
  long_text.replace(10, 3, u"abc");
  const std::u16string run(3000, u'a');
  const std::vector<BackwardCase> cases = {
      {u"a+", u"aaa", 3, Span(0, 3)},
      {u"a+", u"aaa b aa", 5, Span(0, 3)},
      {u"a+", u"aaa b aa", 8, Span(6, 2)},
      {u"a+", u"aaa b aa", 7, Span(0, 3)},  // the match crossing the bound is not cut short
      {u"abc", u"xxabcxx", 4, std::nullopt},
      {u"abc", u"abc", 0, std::nullopt},
      {u"x", u"", 0, std::nullopt},
      {u"abc", long_text, 5000, Span(10, 3)},
      {u"abc", long_text, 12, std::nullopt},
      {u"a+", run, 3000, Span(0, 3000)},
      {u"a+", run + u"-" + run, 6001, Span(3001, 3000)},
      {u"x*", u"abc", 3, Span(3, 0)},
      {u"^", u"ab\ncd", 4, Span(3, 0)},
      {u".", u"x\U0001F600y", 3, Span(1, 2)},
      {u"(?<=a)b", u"ab", 2, Span(1, 1)},
      {u"b(?=c)", u"abc", 2, Span(1, 1)},
  };
  for (const BackwardCase& c : cases) {
    const PatternHandle pattern = compiled(c.find_text);
    Result<std::optional<FoundMatch>> found = find_backward(*pattern, c.subject, c.bound);
    ASSERT_TRUE(found.ok()) << printable(c.find_text);
    std::optional<Span> got;
    if (found->has_value()) got = Span((**found).start, (**found).length);
    EXPECT_EQ(got, c.expected) << printable(c.find_text) << " bound " << c.bound;
  }
}

// A long run that every start matches to its end: from the end of the run the first attempt
// of each window already is the answer; from inside it no start gives a match that ends
// before the caret, and the search is stopped long before it has tried them all.
TEST(FindBackward, LongRunsStayLinearOrAreStopped) {
  const std::u16string run(200'000, u'a');
  for (const std::u16string find_text : {u"a+", u".*"}) {
    const PatternHandle pattern = compiled(find_text);
    Result<std::optional<FoundMatch>> at_end = find_backward(*pattern, run, run.size());
    ASSERT_TRUE(at_end.ok()) << printable(find_text);
    ASSERT_TRUE(at_end->has_value());
    EXPECT_EQ((**at_end).start, 0u);
    EXPECT_EQ((**at_end).length, run.size());
    Result<std::optional<FoundMatch>> inside = find_backward(*pattern, run, run.size() / 2);
    ASSERT_FALSE(inside.ok()) << printable(find_text);
    EXPECT_EQ(printable(inside.error().message), "The search took too long and was stopped.");
  }
  // A plain search that has to go all the way back is not stopped.
  std::u16string sparse(1'000'000, u'-');
  sparse.replace(10, 3, u"abc");
  const PatternHandle pattern = compiled(u"abc");
  Result<std::optional<FoundMatch>> found = find_backward(*pattern, sparse, sparse.size());
  ASSERT_TRUE(found.ok());
  ASSERT_TRUE(found->has_value());
  EXPECT_EQ((**found).start, 10u);
}

TEST(FindBackward, PassesFailuresOn) {
  const PatternHandle pattern = compiled(u"(a+)+$");
  std::u16string subject(40, u'a');
  subject += u"!";
  Result<std::optional<FoundMatch>> found = find_backward(*pattern, subject, subject.size());
  ASSERT_FALSE(found.ok());
  EXPECT_EQ(printable(found.error().message), "The search took too long and was stopped.");
}

std::size_t after_code_point(std::u16string_view subject, std::size_t pos) {
  const bool pair = pos + 1 < subject.size() && (subject[pos] & 0xFC00) == 0xD800 &&
                    (subject[pos + 1] & 0xFC00) == 0xDC00;
  return pos + (pair ? 2 : 1);
}

// The reference walk over every match: after an empty match, an anchored attempt at the same
// place that may not be empty, else a step over one code point.
std::vector<Span> anchored_spans(CompiledPattern& pattern, std::u16string_view subject) {
  std::vector<Span> spans;
  std::size_t pos = 0;
  bool after_empty = false;
  for (;;) {
    const std::uint32_t options = after_empty ? PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED : kMatchDefault;
    Result<std::optional<RegexMatch>> match = match_at(pattern, subject, pos, options);
    EXPECT_TRUE(match.ok());
    if (!match.ok()) break;
    if (!match->has_value()) {
      if (!after_empty || pos >= subject.size()) break;
      pos = after_code_point(subject, pos);
      after_empty = false;
      continue;
    }
    const CaptureSpan whole = *(**match).groups[0];
    spans.emplace_back(whole.start, whole.end);
    pos = whole.end;
    after_empty = whole.start == whole.end;
  }
  return spans;
}

// The spans Replace All itself replaces: every match is wrapped in two private-use marks,
// which the subjects never hold, and read back from the new text.
constexpr char16_t kOpenMark = 0xE000;
constexpr char16_t kCloseMark = 0xE001;

std::vector<Span> replace_all_spans(const std::u16string& find_text, std::u16string subject) {
  std::replace(subject.begin(), subject.end(), u'\n', u'\r');
  testing::FakeEditor editor(subject);
  SearchMemory memory;
  const SearchOutcome outcome =
      replace_all(editor, memory, regex_request(find_text), std::u16string{kOpenMark} + u"$&" + kCloseMark);
  EXPECT_TRUE(outcome && outcome->rfind(u"Replaced ", 0) == 0) << printable(find_text);
  std::vector<Span> spans;
  std::size_t position = 0;
  std::size_t open = 0;
  for (char16_t unit : editor.text()) {
    if (unit == kOpenMark) {
      open = position;
    } else if (unit == kCloseMark) {
      spans.emplace_back(open, position);
    } else {
      ++position;
    }
  }
  return spans;
}

const std::vector<std::u16string> kEmptyMatchPatterns = {
    u"x*", u"(?:)", u"^", u"$", u"^\\s*$", u"\\b", u"\\<", u"\\>", u"a*?", u"(?=a)", u"a|",
    u"\\w*", u"(?<=a)", u".*", u"\\'", u"\\Z", u"^$", u"(a)?", u"a*", u"[[:space:]]*",
    u"(?=\\n)|b", u"\\s*", u"(?<=\\w)(?=\\W)|\\W+", u".?", u"\\p{L}*", u"^.{0,2}",
};

const std::vector<std::u16string> kValidSubjects = {
    u"",
    u"abc",
    u"a\nb\n\nc",
    u"aaa",
    u"x\U0001F600y\U0001F600",
    u"\n\n",
    u"  \n\t\n  x  \n",
    u"banana bandana",
    u"caf\u00E9 na\u00EFve \u00FCber",
};

// Replace All retries after an empty match unanchored, which the JIT can do, instead of
// anchored, which sends every retry to the interpreter and makes the pass quadratic; it keeps
// the retry's result only when it starts where the retry did, so that \\G means the same.
// On valid text the matches are the reference walk's.
TEST(ReplaceAllRetry, FindsTheSameMatchesAsAnchoredRetries) {
  std::vector<std::u16string> patterns = kEmptyMatchPatterns;
  patterns.insert(patterns.end(), {u"\\Gb|x*", u"\\G", u"\\G\\w*|\\s"});
  for (const std::u16string& find_text : patterns) {
    const PatternHandle pattern = compiled(find_text);
    for (const std::u16string& subject : kValidSubjects) {
      EXPECT_EQ(replace_all_spans(find_text, subject), anchored_spans(*pattern, subject))
          << printable(find_text) << " on " << printable(subject);
    }
  }
  EXPECT_EQ(replace_all_spans(u"x*", u"a\U0001F600"), (std::vector<Span>{{0, 0}, {1, 1}, {3, 3}}));
}

// Near lone surrogates PCRE2's interpreter and JIT disagree (an anchored attempt there can
// even match past its start), so there is no reference to compare with. What must hold is
// that Replace All moves forward and ends.
TEST(ReplaceAllRetry, LoneSurrogatesStillEndTheLoop) {
  const std::vector<std::u16string> subjects = {
      std::u16string(u"a") + char16_t(0xD800) + u"b" + char16_t(0xDC00),
      std::u16string(1, char16_t(0xDC00)) + u"ab" + char16_t(0xD83D),
      std::u16string(3, char16_t(0xD800)),
  };
  for (const std::u16string& find_text : kEmptyMatchPatterns) {
    for (const std::u16string& subject : subjects) {
      const std::vector<Span> spans = replace_all_spans(find_text, subject);
      std::size_t previous_end = 0;
      for (const Span& span : spans) {
        EXPECT_LE(previous_end, span.first) << printable(find_text);
        EXPECT_LE(span.second, subject.size());
        previous_end = span.second;
      }
      // At most an empty and a non-empty match at each position.
      EXPECT_LE(spans.size(), 2 * subject.size() + 1) << printable(find_text);
    }
  }
}

}  // namespace
}  // namespace wrenfold
