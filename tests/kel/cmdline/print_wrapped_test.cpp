#include "kel/cmdline/print_wrapped.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace kel::cmdline {
namespace {

std::string wrapped(unsigned indent, unsigned width, const std::string& text) {
  std::ostringstream os;
  printWrapped(os, indent, 1, width, text);
  return os.str();
}

TEST(PrintWrappedTest, BreaksAtBlanksAndIndentsFurtherLines) {
  const std::string x56(56, 'x');
  const struct {
    const char* what;
    unsigned indent, width;
    std::string text, expected;
  } cases[] = {
      {"fits", 25, 78, "short text", "short text\n"},
      {"empty", 25, 78, "", "\n"},
      {"exactly the line length", 70, 78, "abcd efg", "abcd efg\n"},
      {"word longer than a line is cut one past the length", 25, 78, x56,
       std::string(54, 'x') + "\n" + std::string(26, ' ') + "xx\n"},
      // Length 4: the blank at index 4 is the break, the line holds 4 characters.
      {"blank exactly at the end index", 74, 78, "abcd efgh",
       "abcd\n" + std::string(75, ' ') + "efgh\n"},
      {"break at the last blank that fits", 70, 78, "ab cd ef gh ij",
       "ab cd ef\n" + std::string(71, ' ') + "gh ij\n"},
      {"blank at the line start is not a break", 74, 78, " abcdefg",
       " abcd\n" + std::string(75, ' ') + "efg\n"},
      {"several lines", 72, 78, "aa bb cc dd ee ff",
       "aa bb\n" + std::string(73, ' ') + "cc dd\n" + std::string(73, ' ') + "ee ff\n"},
      {"line breaks in the text", 3, 78, "one\ntwo\n", "one\n    two\n    \n"},
      {"leading line break", 3, 78, "\nx", "\n    x\n"},
      {"indent beyond width never breaks", 90, 78, x56, x56 + "\n"},
      {"no room at all still advances", 78, 78, "abc",
       "a\n" + std::string(79, ' ') + "b\n" + std::string(79, ' ') + "c\n" + std::string(79, ' ') +
           "\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(wrapped(c.indent, c.width, c.text), c.expected) << c.what;
}

}  // namespace
}  // namespace kel::cmdline
