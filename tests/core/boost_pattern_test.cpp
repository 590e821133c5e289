#include "boost_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform.h"
#include "printable.h"

namespace wrenfold {
namespace {

struct TranslationCase {
  std::u16string pattern;
  std::u16string expected;
};

void expect_translations(const std::vector<TranslationCase>& cases) {
  for (const TranslationCase& c : cases) {
    const Result<std::u16string> result = translate_pattern(c.pattern);
    ASSERT_TRUE(result.ok()) << printable(c.pattern) << ": " << printable(result.error().message);
    EXPECT_EQ(printable(*result), printable(c.expected)) << "pattern " << printable(c.pattern);
  }
}

TEST(TranslatePattern, EscapesOutsideBrackets) {
  expect_translations({
      {u"\\<cat\\>", u"\\b(?=\\w)cat\\b(?<=\\w)"},
      {u"\\`a\\'", u"\\Aa\\z"},
      {u"a\\Z", u"a(?=[\\n\\x0B\\f\\r\\x85\\x{2028}\\x{2029}]*\\z)"},
      {u"\\C", u"."},
      {u"\\l\\u\\L\\U", u"\\p{Ll}\\p{Lu}\\P{Ll}\\P{Lu}"},
      {u"a\\r\\nb", u"a\\nb"},
      {u"a\\rb\\n", u"a\\nb\\n"},
      {u"\\0", u"\\x{0}"},
      {u"\\0101", u"\\x{41}"},
      {u"\\01018", u"\\x{41}8"},
      {u"\\09", u"\\x{0}9"},
      {u"\\1\\9", u"\\g{1}\\g{9}"},
      {u"\\12", u"\\g{1}2"},
      {u"\\d\\w\\s\\b\\n\\t\\h\\v\\R\\.", u"\\d\\w\\s\\b\\n\\t\\h\\v\\R\\."},
      {u"x\\E", u"x"},
      {u"a\\", u"a\\"},
  });
}

TEST(TranslatePattern, QuotingAndComments) {
  expect_translations({
      {u"\\Q.*\\E", u"\\.\\*"},
      {u"\\Q.*\\E+", u"\\.\\*+"},
      {u"\\Qa b\tc\u00A0d\u00E9", u"a\\x{20}b\\x{9}c\\x{A0}d\u00E9"},
      {u"\\Q\\x\\E", u"\\\\x"},
      {u"(?#note)x", u"x"},
      {u"a(?#never closed", u"a"},
      {u"(?:#)", u"(?:#)"},
  });
}

TEST(TranslatePattern, Backreferences) {
  expect_translations({
      {u"\\g1", u"\\g{1}"},
      {u"\\g12", u"\\g{12}"},
      {u"\\g-1", u"\\g{-1}"},
      {u"\\g{-2}", u"\\g{-2}"},
      {u"\\g{name}", u"\\k{name}"},
      {u"\\k<name>", u"\\k{name}"},
      {u"\\k'name'", u"\\k{name}"},
      {u"\\k{12}", u"\\g{12}"},
      {u"\\g-x", u"\\k{-}x"},
  });
}

TEST(TranslatePattern, HexAndProperties) {
  expect_translations({
      {u"\\x41", u"\\x{41}"},
      {u"\\x{0041}", u"\\x{41}"},
      {u"\\x{+e9}", u"\\x{E9}"},
      {u"\\x4142", u"\\x{41}42"},
      {u"\\x4g", u"\\x{4}g"},
      {u"\\x{10FFFF}", u"\\x{10FFFF}"},
      {u"\\x{0}", u"\\x{0}"},
      {u"\\P{alpha}", u"[^\\p{L}]"},
      {u"\\p{Alpha}", u"[\\p{L}]"},
      {u"\\pL", u"[\\p{Ll}]"},
      {u"\\p{L}", u"[\\p{Ll}]"},
      {u"\\pU", u"[\\p{Lu}]"},
      {u"\\p{xdigit}", u"[0-9A-Fa-f]"},
      {u"\\p{Greek}", u"\\p{Greek}"},
      {u"\\PN", u"\\P{N}"},
      {u"\\p", u"\\p"},
  });
}

TEST(TranslatePattern, BracketExpressions) {
  expect_translations({
      {u"[[:alpha:][:digit:]_]", u"[\\p{L}\\p{Nd}_]"},
      {u"[[:Alpha:]]", u"[\\p{L}]"},
      {u"[^[:space:][:unicode:]]", u"[^\\s\\x{100}-\\x{10FFFF}]"},
      {u"[]a]", u"[\\]a]"},
      {u"[^]a]", u"[^\\]a]"},
      {u"[abc", u"[abc]"},
      {u"[a[b]", u"[a\\[b]"},
      {u"[[:x]", u"[\\[:x]"},
      {u"[a\\", u"[a\\\\]"},
      {u"[\\l\\u\\L\\U]", u"[\\p{Ll}\\p{Lu}\\P{Ll}\\P{Lu}]"},
      {u"[\\r\\n\\x41\\0101]", u"[\\n\\x{41}\\x{41}]"},
      {u"[\\p{alpha}\\pN]", u"[\\p{L}\\p{N}]"},
      {u"[\\P{Greek}]", u"[\\P{Greek}]"},
      {u"[\\Q]^-\\E]", u"[\\]\\^\\-]"},
      {u"[a\\Eb]", u"[ab]"},
      {u"[\\d\\w\\1]", u"[\\d\\w\\1]"},
      {u"[[.hyphen.]a]", u"[\\-a]"},
      {u"[[.space.][.NUL.][.DEL.]]", u"[\\x{20}\\x{0}\\x{7F}]"},
      {u"[[.left-square-bracket.][.right-curly-bracket.]]", u"[\\[}]"},
      {u"[[.a.]]", u"[a]"},
      {u"[[=\u00DF=]]", u"[\u00DF]"},
      {u"[[=\u03A9=]]", u"[\u03A9]"},
      {u"[[=-=]]", u"[\\-]"},
  });
}

TEST(TranslatePattern, UnpairedSurrogatesBecomeReplacementCharacters) {
  expect_translations({
      {std::u16string(u"a") + char16_t(0xD800) + u"b", u"a\uFFFDb"},
      {u"\U0001F600+", u"\U0001F600+"},
      {u"[\U0001F600]", u"[\U0001F600]"},
  });
}

TEST(TranslatePattern, ErrorMessages) {
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {u"[[:foo:]]", u"Unknown character class [:foo:]."},
      {u"\\x{110000}", u"\\x{110000} isn't a valid character code."},
      {u"\\x{FFFFFFFFF}", u"\\x{FFFFFFFFF} isn't a valid character code."},
      {u"\\xZ", u"\\x{} isn't a valid character code."},
      {u"\\x", u"\\x{} isn't a valid character code."},
      {u"\\x{-1}", u"\\x{-1} isn't a valid character code."},
      {u"\\x{}", u"\\x{} isn't a valid character code."},
      {u"\\x{41", u"Missing } after \\x{."},
      {u"\\gx", u"Empty backreference."},
      {u"\\g", u"Empty backreference."},
      {u"\\k{}", u"Empty backreference."},
      {u"\\g{1", u"Missing } in a backreference."},
      {u"\\k<name", u"Missing > in a backreference."},
      {u"\\k'name", u"Missing ' in a backreference."},
      {u"\\p{L", u"Missing } after \\p{."},
      {u"\\P{L", u"Missing } after \\p{."},
      {u"[\\P{alpha}]", u"\\P{alpha} can't be used inside [...]; use [^...] instead."},
      {u"[\\PL]", u"\\P{L} can't be used inside [...]; use [^...] instead."},
      {u"[[.foo.]]", u"The collating element [.foo.] isn't supported."},
      {u"[[=foo=]]", u"The collating element [.foo.] isn't supported."},
      {u"[[.Space.]]", u"The collating element [.Space.] isn't supported."},
      {u"ok[[:digit:]]\\x{zz}", u"\\x{zz} isn't a valid character code."},
  };
  for (const auto& [pattern, message] : cases) {
    const Result<std::u16string> result = translate_pattern(pattern);
    ASSERT_FALSE(result.ok()) << printable(pattern) << " gave " << printable(*result);
    EXPECT_EQ(printable(result.error().message), printable(message)) << printable(pattern);
  }
}

// Every name of the class table is known both in brackets and as a property.
TEST(TranslatePattern, EveryClassNameIsKnownInBothSpellings) {
  const char16_t* names[] = {u"alnum", u"alpha", u"blank", u"cntrl", u"digit", u"graph",
                             u"lower", u"print", u"punct", u"space", u"upper", u"xdigit",
                             u"unicode", u"word",  u"d",     u"h",     u"l",     u"s",
                             u"u",     u"w"};
  for (const char16_t* name : names) {
    const std::u16string bracketed = u"[[:" + std::u16string(name) + u":]]";
    const std::u16string property = u"\\p{" + std::u16string(name) + u"}";
    const Result<std::u16string> a = translate_pattern(bracketed);
    const Result<std::u16string> b = translate_pattern(property);
    ASSERT_TRUE(a.ok() && b.ok()) << printable(name);
    EXPECT_EQ(*a, *b) << printable(name);
  }
}

TEST(TranslatePattern, CollatingElementNamesGiveTheirCharacters) {
  const std::vector<std::pair<std::u16string, char16_t>> names = {
      {u"NUL", 0},          {u"alert", 7},          {u"BEL", 7},
      {u"backspace", 8},    {u"vertical-tab", 11},  {u"carriage-return", 13},
      {u"ESC", 27},         {u"IS4", 28},           {u"US", 31},
      {u"quotation-mark", 34}, {u"apostrophe", 39}, {u"full-stop", 46},
      {u"solidus", 47},     {u"nine", 57},          {u"commercial-at", 64},
      {u"reverse-solidus", 92}, {u"circumflex-accent", 94}, {u"low-line", 95},
      {u"grave-accent", 96}, {u"left-curly-bracket", 123}, {u"vertical-line", 124},
      {u"tilde", 126},      {u"DEL", 127},
  };
  for (const auto& [name, code] : names) {
    const Result<std::u16string> collating = translate_pattern(u"[[." + name + u".]]");
    const Result<std::u16string> direct =
        translate_pattern(u"[[." + std::u16string(1, code) + u".]]");
    ASSERT_TRUE(collating.ok()) << printable(name);
    ASSERT_TRUE(direct.ok()) << printable(name);
    EXPECT_EQ(*collating, *direct) << printable(name);
  }
}

// The equivalence class of a letter is every Latin letter built on it, in code order.
TEST(TranslatePattern, EquivalenceClassesGatherAccentedLetters) {
  EXPECT_EQ(printable(*translate_pattern(u"[[=e=]]")),
            printable(u"[Ee\u00C8\u00C9\u00CA\u00CB\u00E8\u00E9\u00EA\u00EB"
                      u"\u0112\u0113\u0114\u0115\u0116\u0117\u0118\u0119\u011A\u011B"
                      u"\u0204\u0205\u0206\u0207\u0228\u0229]"));
  EXPECT_EQ(*translate_pattern(u"[[=E=]]"), *translate_pattern(u"[[=\u00E9=]]"));
  // U+1E17 lies outside the Latin blocks but decomposes to an e.
  EXPECT_EQ(*translate_pattern(u"[[=\u1E17=]]"), *translate_pattern(u"[[=e=]]"));
  EXPECT_EQ(printable(*translate_pattern(u"[[=space=]]")), printable(u"[\\x{20}]"));
}

// The POSIX table and Windows' NormalizeString must agree; the same expectations run on both.
TEST(Platform, NfdFirstUnit) {
  const std::vector<std::pair<char32_t, char16_t>> cases = {
      {U'a', u'a'},           {0x00E9, u'e'},   {0x00C5, u'A'},   {0x01D5, u'U'},
      {0x01FA, u'A'},         {0x0229, u'e'},   {0x00DF, 0x00DF}, {0x00C6, 0x00C6},
      {0x0149, 0x0149},       {0x1E17, u'e'},   {0x2126, 0x03A9}, {0x212B, u'A'},
      {0xAC00, 0x1100},       {0xD7A3, 0x1112}, {0x1D15E, 0xD834}, {0x2F800, 0x4E3D},
  };
  for (const auto& [code_point, first] : cases) {
    EXPECT_EQ(static_cast<unsigned>(platform::nfd_first_unit(code_point)),
              static_cast<unsigned>(first))
        << std::hex << static_cast<unsigned>(code_point);
  }
}

}  // namespace
}  // namespace wrenfold
