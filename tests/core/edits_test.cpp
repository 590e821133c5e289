#include "edits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace wrenfold {
namespace {

// Texts in these tests use "\n" for the editor's CR, "[" for the selection start and "]" for
// its end; a lone "|" is an empty selection.
struct Marked {
  std::u16string text;
  std::size_t start = 0;
  std::size_t end = 0;
};

Marked parse(std::u16string_view marked) {
  Marked result;
  for (char16_t unit : marked) {
    if (unit == u'[' || unit == u'|') result.start = result.text.size();
    if (unit == u']' || unit == u'|') result.end = result.text.size();
    if (unit == u'[' || unit == u']' || unit == u'|') continue;
    result.text += unit == u'\n' ? u'\r' : unit;
  }
  return result;
}

std::string render(const std::u16string& text, std::size_t start, std::size_t end) {
  std::string out;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == start && i == end) out += '|';
    else if (i == start) out += '[';
    else if (i == end) out += ']';
    if (i < text.size()) out += text[i] == u'\r' ? '\n' : static_cast<char>(text[i]);
  }
  return out;
}

using EditFunction = std::function<std::optional<TextEdit>(std::u16string_view, std::size_t, std::size_t)>;

struct Case {
  const char* name;
  EditFunction edit;
  std::u16string before;
  std::string after;  // empty: nothing to do
};

TEST(LineEdits, RewriteTheTouchedLines) {
  const std::vector<Case> cases = {
      {"enter keeps the indent", new_line_with_indent, u"\t  ab|c", "\t  ab\n\t  |c"},
      {"enter indent stops at the caret", new_line_with_indent, u"  | x", "  \n  | x"},
      {"enter replaces the selection", new_line_with_indent, u" a[bc]d", " a\n |d"},
      {"enter on an empty text", new_line_with_indent, u"|", "\n|"},
      {"tab within a line replaces the selection", indent_lines, u"a[b]c", "a\t|c"},
      {"tab across lines indents each", indent_lines, u"a[b\nc]d\ne", "[\tab\n\tcd]\ne"},
      {"tab skips empty lines", indent_lines, u"[a\n\nb]", "[\ta\n\n\tb]"},
      {"tab on empty lines only does nothing", indent_lines, u"x\n[\n]\ny", ""},
      {"tab: a selection ending at a line start leaves that line", indent_lines, u"[a\n]b", "[\ta]\nb"},
      {"shift+tab removes one tab", outdent_lines, u"\t\ta|b", "\ta|b"},
      {"shift+tab removes up to eight spaces", outdent_lines, u"          a|", "  a|"},
      {"shift+tab stops at the line start", outdent_lines, u" [ a]", "[a]"},
      {"shift+tab moves the selection left", outdent_lines, u"\tab[c]", "ab[c]"},
      {"shift+tab across lines", outdent_lines, u"[\ta\n  b\nc]", "[a\nb\nc]"},
      {"shift+tab with nothing to remove", outdent_lines, u"a[b\nc]", ""},
      {"duplicate the caret line", duplicate_lines, u"ab|c\nd", "ab|c\nabc\nd"},
      {"duplicate the last line", duplicate_lines, u"x\nab|", "x\nab|\nab"},
      {"duplicate a selection", duplicate_lines, u"a[bc]d", "a[bc]bcd"},
      {"move down", move_lines_down, u"a|\nb\nc", "b\na|\nc"},
      {"move down on the last line does nothing", move_lines_down, u"a\nb|", ""},
      {"move down ignores the line the selection ends at", move_lines_down, u"[a\nb\n]c", "c\n[a\nb]"},
      {"move up", move_lines_up, u"a\nb|\nc", "b|\na\nc"},
      {"move up on the first line does nothing", move_lines_up, u"a|\nb", ""},
      {"move up a block", move_lines_up, u"a\nb[b\nc]c", "b[b\nc]c\na"},
      {"move up into an empty line", move_lines_up, u"\n|x", "|x\n"},
  };
  for (const Case& c : cases) {
    const Marked before = parse(c.before);
    const std::optional<TextEdit> edit = c.edit(before.text, before.start, before.end);
    if (std::string(c.after).empty()) {
      EXPECT_FALSE(edit.has_value()) << c.name;
      continue;
    }
    ASSERT_TRUE(edit.has_value()) << c.name;
    std::u16string after = before.text;
    after.replace(edit->start, edit->length, edit->replacement);
    EXPECT_EQ(render(after, edit->selection_start, edit->selection_end), c.after) << c.name;
  }
}

TEST(LineEdits, MoveDownThenUpRestoresTheText) {
  const Marked before = parse(u"one\n[two\nthr]ee\nfour\nfive");
  const std::optional<TextEdit> down = move_lines_down(before.text, before.start, before.end);
  ASSERT_TRUE(down.has_value());
  std::u16string text = before.text;
  text.replace(down->start, down->length, down->replacement);
  const std::optional<TextEdit> up = move_lines_up(text, down->selection_start, down->selection_end);
  ASSERT_TRUE(up.has_value());
  text.replace(up->start, up->length, up->replacement);
  EXPECT_EQ(text, before.text);
  EXPECT_EQ(up->selection_start, before.start);
  EXPECT_EQ(up->selection_end, before.end);
}

TEST(ChangedLines, OnlyTheLinesThatDifferAreReplaced) {
  const auto edit_of = [](std::u16string_view before, std::u16string_view after) {
    const TextEdit edit = edit_of_changed_lines(parse(before).text, parse(after).text);
    std::u16string shown = edit.replacement;
    for (char16_t& unit : shown) if (unit == u'\r') unit = u'\n';
    return std::to_string(edit.start) + "+" + std::to_string(edit.length) + ":" + std::string(shown.begin(), shown.end());
  };
  EXPECT_EQ(edit_of(u"one\ntwo\nthree\n", u"one\nTWO\nthree\n"), "4+4:TWO\n");
  EXPECT_EQ(edit_of(u"a\nb\nc\nd\ne", u"a\nB\nc\nD\ne"), "2+6:B\nc\nD\n") << "one stretch from first to last";
  EXPECT_EQ(edit_of(u"a\nbc", u"a\nbd"), "2+2:bd") << "a last line without a break";
  EXPECT_EQ(edit_of(u"a\nc\n", u"a\nb\nc\n"), "2+0:b\n") << "an inserted line";
  EXPECT_EQ(edit_of(u"a\nb\nc\n", u"a\nc\n"), "2+2:") << "a removed line";
  EXPECT_EQ(edit_of(u"ab", u"abxab"), "0+0:abx") << "text inserted before a shared end";
  EXPECT_EQ(edit_of(u"a\nb", u""), "0+3:");
  EXPECT_EQ(edit_of(u"", u"a"), "0+0:a");
  EXPECT_EQ(edit_of(u"same\ntext", u"same\ntext"), "5+0:") << "nothing to replace";
  EXPECT_EQ(edit_of(u"abab\n", u"abab\n"), "5+0:");
}

TEST(ChangedLines, RandomTextsComeOutWholeWithTheEditOnLineStarts) {
  std::mt19937 random(12);
  const auto random_text = [&](std::u16string base) {
    const int changes = static_cast<int>(random() % 8);
    for (int i = 0; i < changes; ++i) {
      const std::size_t at = base.empty() ? 0 : random() % (base.size() + 1);
      const std::size_t cut = std::min<std::size_t>(random() % 3, base.size() - at);
      std::u16string put;
      for (std::size_t n = random() % 5; n > 0; --n) put += u"ab\r"[random() % 3];
      base.replace(at, cut, put);
    }
    return base;
  };
  for (int round = 0; round < 3000; ++round) {
    const std::u16string before = random_text(u"");
    const std::u16string after = random_text(before + random_text(u""));
    const TextEdit edit = edit_of_changed_lines(before, after);
    ASSERT_LE(edit.start + edit.length, before.size());
    std::u16string applied = before;
    applied.replace(edit.start, edit.length, edit.replacement);
    ASSERT_EQ(applied, after);
    const auto starts_line = [&](std::size_t at) { return at == 0 || before[at - 1] == u'\r'; };
    EXPECT_TRUE(starts_line(edit.start));
    EXPECT_TRUE(starts_line(edit.start + edit.length) || edit.start + edit.length == before.size());
    const std::size_t first_difference = static_cast<std::size_t>(
        std::mismatch(before.begin(), before.end(), after.begin(), after.end()).first - before.begin());
    ASSERT_LE(edit.start, first_difference);
    EXPECT_EQ(before.substr(edit.start, first_difference - edit.start).find(u'\r'), std::u16string::npos)
        << "the edit begins on the line of the first difference";
    const std::size_t shorter = std::min(before.size(), after.size()) - edit.start;
    std::size_t shared_end = 0;
    while (shared_end < shorter && before[before.size() - 1 - shared_end] == after[after.size() - 1 - shared_end]) ++shared_end;
    const std::size_t kept = before.size() - edit.start - edit.length;
    ASSERT_LE(kept, shared_end);
    if (kept < shared_end) {
      EXPECT_EQ(before.substr(before.size() - shared_end, shared_end - kept - 1).find(u'\r'), std::u16string::npos)
          << "no whole shared line is replaced at the end";
    }
    EXPECT_EQ(edit.selection_end, edit.start + edit.replacement.size());
  }
}

TEST(Zoom, StepsByTenthsWithinLimits) {
  double zoom = 1.0;
  for (int i = 0; i < 11; ++i) zoom = zoom_in(zoom);
  EXPECT_DOUBLE_EQ(zoom, 2.1);
  EXPECT_DOUBLE_EQ(zoom_out(0.1), 0.1);
  EXPECT_DOUBLE_EQ(zoom_in(5.0), 5.0);
  EXPECT_DOUBLE_EQ(zoom_in(1.04), 1.1) << "snaps to the nearest tenth first";
  EXPECT_DOUBLE_EQ(zoom_out(1.06), 1.0);
  EXPECT_DOUBLE_EQ(zoom_in(4.96), 5.0);
}

}  // namespace
}  // namespace wrenfold
