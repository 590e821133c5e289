// The Boost dialect checked against its reference engine: the program's translation on
// PCRE2 must find what Boost.Regex finds, and its format expansion must write what Boost's
// Perl format writes. Boost is a test-only dependency; the corpus is tests/data/regex_oracle.txt.

#include <boost/regex/icu.hpp>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "boost_format.h"
#include "pcre_regex.h"
#include "utf.h"
#include "../core/printable.h"

namespace wrenfold {
namespace {

std::u16string from_utf8(std::string_view bytes) {
  std::u16string text;
  const auto* in = reinterpret_cast<const std::uint8_t*>(bytes.data());
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t code_point = in[i];
    std::size_t length = 1;
    if (in[i] >= 0x80) {
      const utf::Utf8Sequence sequence = utf::decode_utf8_sequence(in + i, bytes.size() - i);
      code_point = sequence.valid ? sequence.code_point : utf::kReplacementCharacter;
      length = sequence.length;
    }
    char16_t units[2];
    text.append(units, utf::put_utf16(code_point, units));
    i += length;
  }
  return text;
}

// Subjects spell control characters and non-ASCII text with escapes.
std::u16string unescape_subject(std::u16string_view text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\\' || i + 1 == text.size()) {
      out.push_back(text[i]);
      continue;
    }
    const char16_t kind = text[++i];
    if (kind == u'n') {
      out.push_back(u'\n');
    } else if (kind == u't') {
      out.push_back(u'\t');
    } else if (kind == u'u' || kind == u'U') {
      const std::size_t digits = kind == u'u' ? 4 : 8;
      const std::string hex(text.begin() + i + 1, text.begin() + i + 1 + digits);
      char16_t units[2];
      out.append(units, utf::put_utf16(static_cast<char32_t>(std::stoul(hex, nullptr, 16)), units));
      i += digits;
    } else {
      out.push_back(kind);
    }
  }
  return out;
}

struct Corpus {
  std::vector<std::u16string> subjects;
  std::vector<std::pair<std::u16string, bool>> patterns;  // pattern, match case
  std::vector<std::u16string> format_patterns;
  std::vector<std::u16string> formats;
};

Corpus read_corpus() {
  Corpus corpus;
  std::ifstream file(WRENFOLD_ORACLE_CORPUS);
  EXPECT_TRUE(file.good()) << "cannot read " << WRENFOLD_ORACLE_CORPUS;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::u16string rest = line.size() > 2 ? from_utf8(line.substr(2)) : u"";
    switch (line[0]) {
      case 'S': corpus.subjects.push_back(unescape_subject(rest)); break;
      case 'P': corpus.patterns.emplace_back(rest, true); break;
      case 'I': corpus.patterns.emplace_back(rest, false); break;
      case 'R': corpus.format_patterns.push_back(rest); break;
      case 'F': corpus.formats.push_back(rest); break;
      default: ADD_FAILURE() << "unknown corpus line: " << line;
    }
  }
  return corpus;
}

const Corpus& corpus() {
  static const Corpus loaded = read_corpus();
  return loaded;
}

// ---- both engines, reduced to the same records

using Groups = std::vector<std::optional<std::pair<std::size_t, std::size_t>>>;

boost::u32regex boost_pattern(const std::u16string& pattern, bool match_case) {
  boost::u32regex::flag_type flags = boost::u32regex::perl;
  if (!match_case) flags |= boost::u32regex::icase;
  return boost::make_u32regex(pattern.c_str(), flags);
}

// Matches as Boost iterates them: after an empty match, the next one may not be empty at
// the same place. Dots stop at line breaks, as in the program by default.
std::vector<Groups> boost_matches(const std::u16string& pattern, bool match_case,
                                  const std::u16string& subject) {
  const boost::u32regex re = boost_pattern(pattern, match_case);
  std::vector<Groups> all;
  auto it = boost::make_u32regex_iterator(subject, re, boost::match_not_dot_newline);
  for (decltype(it) end; it != end; ++it) {
    Groups groups;
    for (std::size_t i = 0; i < it->size(); ++i) {
      const auto& group = (*it)[static_cast<int>(i)];
      if (!group.matched) {
        groups.emplace_back();
      } else {
        groups.emplace_back(std::pair<std::size_t, std::size_t>(
            static_cast<std::size_t>(group.first - subject.begin()),
            static_cast<std::size_t>(group.second - subject.begin())));
      }
    }
    all.push_back(std::move(groups));
  }
  return all;
}

std::u16string boost_replace_all(const std::u16string& pattern, const std::u16string& subject,
                                 const std::u16string& format) {
  return boost::u32regex_replace(subject, boost_pattern(pattern, true), format.c_str(),
                                 boost::format_all | boost::match_not_dot_newline);
}

Result<PatternHandle> program_pattern(const std::u16string& pattern, bool match_case) {
  SearchRequest request;
  request.find_text = pattern;
  request.match_case = match_case;
  request.mode = SearchMode::RegularExpression;
  return compile(request);
}

// The program's matches over the whole text, the way Replace All walks it.
std::vector<RegexMatch> program_match_records(CompiledPattern& pattern,
                                              const std::u16string& subject) {
  std::vector<RegexMatch> all;
  std::size_t pos = 0;
  std::uint32_t options = kMatchDefault;
  for (;;) {
    Result<std::optional<RegexMatch>> match = match_at(pattern, subject, pos, options);
    EXPECT_TRUE(match.ok());
    if (!match.ok() || !match->has_value()) break;
    const CaptureSpan whole = *(**match).groups[0];
    all.push_back(std::move(**match));
    pos = whole.end;
    options = whole.start == whole.end ? kMatchNotEmptyAtStart : kMatchDefault;
  }
  return all;
}

std::vector<Groups> program_matches(CompiledPattern& pattern, const std::u16string& subject) {
  std::vector<Groups> all;
  for (const RegexMatch& match : program_match_records(pattern, subject)) {
    Groups groups;
    for (const std::optional<CaptureSpan>& group : match.groups) {
      if (group) {
        groups.emplace_back(std::pair<std::size_t, std::size_t>(group->start, group->end));
      } else {
        groups.emplace_back();
      }
    }
    all.push_back(std::move(groups));
  }
  return all;
}

std::u16string program_replace_all(CompiledPattern& pattern, const std::u16string& subject,
                                   const std::u16string& format) {
  std::u16string out;
  std::size_t previous_end = 0;
  for (const RegexMatch& match : program_match_records(pattern, subject)) {
    const CaptureSpan whole = *match.groups[0];
    if (whole.start > previous_end) out.append(subject, previous_end, whole.start - previous_end);
    out += expand_format(format, match, subject, previous_end);
    previous_end = whole.end;
  }
  out.append(subject, previous_end);
  return out;
}

std::string describe(const std::vector<Groups>& matches) {
  std::ostringstream out;
  for (const Groups& groups : matches) {
    out << "{";
    for (const auto& group : groups) {
      if (group) {
        out << group->first << "-" << group->second << " ";
      } else {
        out << "unset ";
      }
    }
    out << "} ";
  }
  return out.str();
}

// ---- where the program differs from Boost on purpose

struct PatternDifference {
  std::u16string pattern;
  bool match_case;
  const char* why;
};

const std::vector<PatternDifference> kPatternDifferences = {
    {u"\\r", true, "a CR in a pattern finds the line break, which the searched text holds as LF"},
    {u"a\\r\\nb|\\r\\n", true, "\\r\\n is one line break too"},
    {u"[[:punct:]]+", true,
     "punct holds the symbols too, as POSIX's ASCII punct does ($+<=>^`|~); Boost's is \\p{P}"},
    {u"[\\p{upper}\\d]+", true, "\\p{NAME} inside brackets is the class; Boost reads it literally"},
    {u"[[:upper:]]+", false,
     "[[:upper:]] stays upper-case letters when case is ignored; Boost widens it to all letters"},
    {u"[[=e=]]+", true, "equivalence classes ignore case; Boost's keep it"},
    {u"[[.hyphen.]]", true, "hyphen is U+002D; Boost takes the Unicode name (U+2010)"},
    {u"^$", true, "PCRE2's multi-line ^ does not match after a line break that ends the text"},
};

struct FormatDifference {
  std::u16string format;
  std::u16string pattern;
  const char* why;
};

const std::u16string kManyGroups = u"(\\w)(\\w)(\\w)?(\\w)?(\\w)?(\\w)?(\\w)?(\\w)?(\\w)?(\\w)?(\\w)?(\\w)?";

const std::vector<FormatDifference> kFormatDifferences = {
    {u"<\\0>", kManyGroups, "\\0 writes a 0; Boost reads an octal escape"},
    {u"$10", kManyGroups, "$ takes one digit; ${10} is group ten"},
    {u"a)b", kManyGroups, "a ) outside any group is written; Boost stops the whole format there"},
    {u"\\x{zz}!", kManyGroups, "a bad \\x{...} writes x and skips to the }; Boost writes x{ and goes on"},
    {u"\\u\\L$0", kManyGroups, "\\u capitalises the next character even after \\L; Boost lets \\L cancel it"},
    {u"?12yes:no", kManyGroups, "a conditional takes one digit"},
    {u"[$+]", u"\\w+", "with no groups, $+ is the whole match; Boost writes nothing"},
    {u"(?{w}named:anon)", u"(\\w)", "an unknown group name is a group that took no part; Boost writes it literally"},
};

TEST(BoostOracle, CorpusIsThere) {
  EXPECT_GE(corpus().subjects.size(), 10u);
  EXPECT_GE(corpus().patterns.size(), 50u);
  EXPECT_GE(corpus().formats.size(), 20u);
}

TEST(BoostOracle, PatternsFindWhatBoostFinds) {
  for (const auto& [pattern, match_case] : corpus().patterns) {
    Result<PatternHandle> program = program_pattern(pattern, match_case);
    ASSERT_TRUE(program.ok()) << printable(pattern) << ": " << printable(program.error().message);
    for (const std::u16string& subject : corpus().subjects) {
      std::vector<Groups> expected;
      try {
        expected = boost_matches(pattern, match_case, subject);
      } catch (const std::exception& error) {
        FAIL() << "Boost rejects " << printable(pattern) << ": " << error.what();
      }
      const std::vector<Groups> got = program_matches(**program, subject);
      EXPECT_EQ(describe(got), describe(expected))
          << "pattern " << printable(pattern) << (match_case ? "" : " (any case)") << " on "
          << printable(subject);
    }
  }
}

TEST(BoostOracle, FormatsWriteWhatBoostWrites) {
  for (const std::u16string& pattern : corpus().format_patterns) {
    Result<PatternHandle> program = program_pattern(pattern, true);
    ASSERT_TRUE(program.ok()) << printable(pattern);
    for (const std::u16string& format : corpus().formats) {
      for (const std::u16string& subject : corpus().subjects) {
        EXPECT_EQ(printable(program_replace_all(**program, subject, format)),
                  printable(boost_replace_all(pattern, subject, format)))
            << "format " << printable(format) << " pattern " << printable(pattern) << " on "
            << printable(subject);
      }
    }
  }
}

// Each named difference must still be one: if Boost and the program came to agree, the
// entry (and the reason given for it) would be stale.
TEST(BoostOracle, NamedPatternDifferencesStillDiffer) {
  for (const PatternDifference& difference : kPatternDifferences) {
    Result<PatternHandle> program = program_pattern(difference.pattern, difference.match_case);
    ASSERT_TRUE(program.ok()) << printable(difference.pattern);
    bool differs = false;
    for (const std::u16string& subject : corpus().subjects) {
      differs = differs ||
                describe(program_matches(**program, subject)) !=
                    describe(boost_matches(difference.pattern, difference.match_case, subject));
    }
    EXPECT_TRUE(differs) << printable(difference.pattern) << ": " << difference.why;
  }
}

TEST(BoostOracle, NamedFormatDifferencesStillDiffer) {
  for (const FormatDifference& difference : kFormatDifferences) {
    Result<PatternHandle> program = program_pattern(difference.pattern, true);
    ASSERT_TRUE(program.ok());
    bool differs = false;
    for (const std::u16string& subject : corpus().subjects) {
      differs = differs || program_replace_all(**program, subject, difference.format) !=
                               boost_replace_all(difference.pattern, subject, difference.format);
    }
    EXPECT_TRUE(differs) << printable(difference.format) << ": " << difference.why;
  }
}

}  // namespace
}  // namespace wrenfold
