#include "kel/html_read/page_lines.h"

#include <gtest/gtest.h>

#include <string>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

using kel::html_read::BeyondLatin1;
using kel::html_read::PageLines;

TEST(PageLines, JoinsLinesAsALineByLineReaderDoes) {
  const struct {
    std::string text;
    bool dropLeading;
    std::string joined;
  } cases[] = {
      {"", true, ""},
      {"a\nb", false, "a b"},
      {"a\n\n\nb\n", false, "a b "},  // empty lines add nothing
      {"\n\na\nb", true, "a b"},
      {"\n\na", false, " a"},
      {"\n\n", true, ""},
      {" \r\n\r\nx", true, " \r \r x"},  // only '\n' ends a line
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(kel::html_read::joinLines(text.data(), text.size(), c.dropLeading), c.joined)
        << c.text;
  }
}

std::string repeat(const std::string& s, int times) {
  std::string out;
  while (times-- > 0) out += s;
  return out;
}
std::string tags(int n) { return repeat("<p>", n); }

// All lines of a page, as appendTo hands them out.
std::string linesOf(const std::string& path, bool& utf8) {
  PageLines lines(path, BeyondLatin1::reference);
  utf8 = lines.utf8();
  std::string text;
  while (lines.appendTo(text)) {
  }
  return text;
}

TEST(PageLines, EndsEveryLineAndReadsUtf8AsLatin1) {
  testutil::TempDir dir;
  const std::string path = dir / "p.html";
  const struct {
    std::string page;
    bool utf8;
    std::string lines;
  } cases[] = {
      {"a\n\nb", false, "a\n\nb\n"},
      {"\xE4\n", false, "\xE4\n"},
      {"\xEF\xBB\xBF<meta charset=utf-8>\xC3\xA4\xE2\x80\x94\xEF\xBB\xBF", true,
       "<meta charset=utf-8>\xE4&#8212;&#65279;\n"},
      // A line that runs past its block is cut into pieces of 53 tags (159 bytes); each ends.
      {"a\n" + tags(700), false, "a\n" + repeat(tags(53) + "\n", 13) + tags(11) + "\n"},
  };
  for (const auto& c : cases) {
    testutil::writeFile(path, c.page);
    bool utf8 = !c.utf8;
    EXPECT_EQ(linesOf(path, utf8), c.lines) << c.page.substr(0, 40);
    EXPECT_EQ(utf8, c.utf8);
  }
  EXPECT_THROW(PageLines(dir / "missing.html", BeyondLatin1::reference), kel::err::IOError);
}

}  // namespace
