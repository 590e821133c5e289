#include "command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace wrenfold {
namespace {

TEST(CommandLine, TakesOneWholePathAfterTheProgramName) {
  struct Case {
    std::u16string line;
    std::optional<std::u16string> path;
    const char* why;
  };
  const std::vector<Case> cases = {
      {u"wrenfold.exe", std::nullopt, "no argument"},
      {u"wrenfold.exe   ", std::nullopt, "only blanks"},
      {u"\"C:\\Program Files\\wrenfold.exe\"", std::nullopt, "quoted name alone"},
      {u"\"C:\\Program Files\\wrenfold.exe\"    C:\\My Notes\\a b.txt",
       u"C:\\My Notes\\a b.txt", "unquoted path with spaces after blanks"},
      {u"wrenfold.exe \"C:\\My Notes\\a.txt\"", u"C:\\My Notes\\a.txt", "quotes removed"},
      {u"wrenfold.exe \"", u"\"", "a lone quote is a path"},
      {u"wrenfold.exe \"  x  \"", u"x", "trimmed again inside the quotes"},
      {u"wrenfold.exe\tnotes.txt", u"notes.txt", "a tab ends the name too"},
      {u"\"wrenfold.exe\"x.txt", u"x.txt", "nothing needed after the closing quote"},
      {u"\"unclosed name", std::nullopt, "a name without its closing quote"},
      {u"wrenfold.exe a\"b\"", u"a\"b\"", "quotes only count around the whole path"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(command_line_argument(c.line), c.path) << c.why;
  }
}

}  // namespace
}  // namespace wrenfold
