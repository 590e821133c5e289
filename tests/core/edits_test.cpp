#include "edits.h"

#include <gtest/gtest.h>

#include <functional>
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
