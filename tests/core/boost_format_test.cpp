#include "boost_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pcre_regex.h"
#include "printable.h"

namespace wrenfold {
namespace {

struct FormatCase {
  std::u16string pattern;
  std::u16string subject;
  std::u16string format;
  std::u16string expected;
};

// Formats the first match of `pattern` in `subject`, as Replace does.
void expect_formats(const std::vector<FormatCase>& cases) {
  for (const FormatCase& c : cases) {
    SearchRequest request;
    request.find_text = c.pattern;
    request.match_case = true;
    request.mode = SearchMode::RegularExpression;
    Result<PatternHandle> pattern = compile(request);
    ASSERT_TRUE(pattern.ok()) << printable(c.pattern) << ": " << printable(pattern.error().message);
    Result<std::optional<RegexMatch>> match = match_at(**pattern, c.subject, 0, kMatchDefault);
    ASSERT_TRUE(match.ok() && match->has_value()) << printable(c.pattern);
    EXPECT_EQ(printable(expand_format(c.format, **match, c.subject, 0)), printable(c.expected))
        << "format " << printable(c.format) << " pattern " << printable(c.pattern);
  }
}

TEST(ExpandFormat, DollarForms) {
  expect_formats({
      {u"(\\w+) (\\w+)", u"hello world", u"$2 $1", u"world hello"},
      {u"b", u"abc", u"[$&|$0|${0}|${^MATCH}|$MATCH]", u"[b|b|b|b|b]"},
      {u"b", u"abc", u"[$`|$PREMATCH|${^PREMATCH}]", u"[a|a|a]"},
      {u"b", u"abc", u"[$'|$POSTMATCH|${^POSTMATCH}]", u"[c|c|c]"},
      {u"b", u"abc", u"$$|$|${foo}|$x|$", u"$|$|${foo}|$x|$"},
      {u"b", u"abc", u"$MATCHES", u"bES"},
      {u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", u"abcdefghij", u"${10}|$10|${+2}|${}", u"j|a0|b|${}"},
      {u"x", u"x", u"[$+]", u"[x]"},
      {u"(a)(b)?", u"a", u"[$+|$LAST_PAREN_MATCH|${^LAST_PAREN_MATCH}]", u"[||]"},
      {u"(a)(b)", u"ab", u"[$+|$^N]", u"[b|b]"},
      {u"(a(b))", u"ab", u"$^N|$LAST_SUBMATCH_RESULT|${^LAST_SUBMATCH_RESULT}", u"ab|ab|ab"},
      {u"((a)b)(c)?", u"ab", u"[$^N]", u"[ab]"},
      {u"x", u"x", u"[$^N|$^]", u"[|$^]"},
      {u"(?<first>\\w)(?<second>\\w)", u"ab", u"$+{second}$+{first}[$+{none}]", u"ba[]"},
      {u"(?<first>\\w)(\\w)", u"ab", u"$+{first", u"b{first"},
      {u"(?J)(?:(?<n>a)|(?<n>b))", u"b", u"$+{n}", u"b"},
  });
}

TEST(ExpandFormat, Escapes) {
  expect_formats({
      {u"x", u"x", u"a\\nb", u"a\nb"},
      {u"x", u"x", u"\\a\\e\\f\\r\\t\\v", u"\a\x1B\f\r\t\v"},
      {u"x", u"x", u"\\cA\\cj|\\c", u"\x01\x0A|c"},
      {u"x", u"x", u"\\x41\\x4g\\x{e9}\\x{+42}", u"A\x04g\u00E9B"},
      {u"x", u"x", u"\\x{1F600}", u"\U0001F600"},
      {u"x", u"x", u"[\\x{D800}|\\x{110000}|\\x{zz}|\\x{}|\\x{41|\\xg]", u"[x|x|x|x|x{41|xg]"},
      {u"x", u"x", u"\\U\\x{zz}\\xg", u"XXG"},
      {u"(a)(b)", u"ab", u"\\2\\1\\0\\$1\\\\\\(\\?\\:", u"ba0$1\\(?:"},
      {u"(a)", u"a", u"\\9|\\", u"|\\"},
  });
}

TEST(ExpandFormat, CaseConversion) {
  expect_formats({
      {u"(\\w+)", u"hello", u"\\u$1", u"Hello"},
      {u"(\\w+)", u"hello", u"\\U$1\\E!", u"HELLO!"},
      {u"(\\w+)", u"HELLO", u"\\L$1\\E \\l$1", u"hello hELLO"},
      {u"(\\w+)", u"hELLO", u"\\L\\u$1", u"Hello"},
      {u"(\\w+)", u"hello", u"\\U\\l$1", u"hELLO"},
      {u"(\\w+)", u"abc", u"\\u\\n$1", u"\nAbc"},
      {u"(\\w+)", u"stra\u00DFe", u"\\U$1", u"STRA\u00DFE"},
      {u"(.+)", u"\u00B5\u00E9\u01C6\u0131", u"\\U$1", u"\u039C\u00C9\u01C4I"},
      {u"(.+)", u"\u00C0\u0130\u0391\u0100", u"\\L$1", u"\u00E0i\u03B1\u0101"},
      {u"(.+)", u"\U00010428", u"\\U$1", u"\U00010428"},
  });
}

TEST(ExpandFormat, Conditionals) {
  expect_formats({
      {u"(a)|b", u"a", u"(?1yes:no)", u"yes"},
      {u"(a)|b", u"b", u"(?1yes:no)", u"no"},
      {u"(a)|b", u"a", u"?1yes:no", u"yes"},
      {u"(a)|b", u"b", u"?1yes:no)", u"no)"},
      {u"(a)|b", u"b", u"[(?1yes)]", u"[]"},
      {u"(a)?(b)?", u"a", u"(?1(?2both:one):(?2two:none))", u"one"},
      {u"(a)?(b)?", u"b", u"(?1(?2both:one):(?2two:none))", u"two"},
      {u"(a)?(b)?", u"ab", u"(?1(?2both:one):(?2two:none))", u"both"},
      {u"(a)?(b)?", u"ab", u"(?1(x:y):z)", u"x:y"},
      {u"(a)|b", u"b", u"(?1$1:no $& (deep) here)!", u"no b deep here!"},
      {u"(?<word>a)|b", u"a", u"(?{word}w:-)(?{+1}1:-)(?{nope}n:-)(?9x:-)", u"w1--"},
      {u"(a)", u"a", u"?{1", u"?{1"},
      {u"(a)", u"a", u"? ?x ?", u"? ?x ?"},
      {u"(a)", u"a", u"a)b:c", u"a)b:c"},
      {u"(a)", u"a", u"(unclosed", u"unclosed"},
      {u"(a)|b", u"b", u"(?1\\U:)abc", u"abc"},
      {u"(a)|b", u"a", u"(?1\\U:)abc", u"ABC"},
      {u"(a)|b", u"a", u"(?1:\\U)abc", u"abc"},
  });
}

TEST(ExpandFormat, PrefixStartsAtThePreviousMatchEnd) {
  const std::u16string subject = u"a1b2c";
  RegexMatch second;
  second.groups = {CaptureSpan{3, 4}};
  EXPECT_EQ(expand_format(u"[$`]", second, subject, 2), u"[b]");
  EXPECT_EQ(expand_format(u"[$`]", second, subject, 0), u"[a1b]");
  // A previous end beyond the match start leaves the prefix empty instead of inverted.
  EXPECT_EQ(expand_format(u"[$`]", second, subject, 4), u"[]");
}

// Replace All hands the matcher's records straight in; odd ones must not reach past the text.
TEST(ExpandFormat, OutOfRangeSpansAreClamped) {
  const std::u16string subject = u"abc";
  RegexMatch odd;
  odd.groups = {CaptureSpan{2, 9}, CaptureSpan{7, 8}, std::nullopt};
  EXPECT_EQ(expand_format(u"[$&|$1|$2|$'|$`|$+|$^N]", odd, subject, 99), u"[c||||||]");
  RegexMatch empty;
  EXPECT_EQ(expand_format(u"[$&$+$^N$`$'$1]", empty, subject, 0), u"[abc]");
}

TEST(ExpandFormat, DeepNestingNeedsNoDeepStack) {
  std::u16string format(200000, u'(');
  format += u"x";
  EXPECT_EQ(expand_format(format, RegexMatch{}, u"", 0), u"x");
  std::u16string conditionals;
  for (int i = 0; i < 100000; ++i) conditionals += u"?0";
  EXPECT_EQ(expand_format(conditionals + u"y", RegexMatch{}, u"", 0), u"");
}

}  // namespace
}  // namespace wrenfold
