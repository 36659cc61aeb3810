#include "search/page_text.h"

#include <gtest/gtest.h>

#include <string>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

// "headEnd|title|body|name@offset ..." of readPageText, or the error message.
std::string pageTextOf(const std::string& path, bool titleOnly) {
  try {
    kel::html_read::PageLines lines(path, kel::html_read::BeyondLatin1::reference);
    PageText page;
    page.title = "none";
    readPageText(lines, titleOnly, page);
    std::string anchors;
    for (const NamedAnchor& a : page.anchors)
      anchors += a.name + "@" + std::to_string(a.offset) + " ";
    const char* const ends[] = {"body", "title", "end"};
    return std::string(ends[static_cast<int>(page.headEnd)]) + "|" + page.title + "|" + page.body +
           "|" + anchors;
  } catch (const kel::err::Error& e) {
    return e.what();
  }
}

// The page text is the tag reader's: lines joined with one blank (none right behind a tag),
// comments removed with the text on both sides joined, tag names in any case, pieces collapsed.
TEST(PageText, ReadsAsTheTagsGiveIt) {
  testutil::TempDir dir;
  const std::string path = dir / "p.html";
  const struct {
    std::string page;
    bool titleOnly;
    std::string text;
  } cases[] = {
      {"<title>A\n B</title><body>x\n\ny<!-- c\n -->z<p>\n</body>", false, "body|A B| x yz|"},
      {"<body><p>\nfoo<b>bar</b> baz \r\n<i>", false, "body|none| foo bar baz \r|"},
      {"<body>x<A\nNAME=\"n1\">y<a>z<a name=n2\n>w</body>", false, "body|none| x y z w|n1@2 n2@6 "},
      {"<body>  one  two\nthree   four five six seven eight  </body>", false,
       "body|none| one two three four five six seven eight|"},
      {"<body>K&uuml;che &amp; Bad</body>", false,
       "body|none| K\xFC"
       "che &amp; Bad|"},
      {"<body><p> </p>\n</body>", false, "body|none| |"},
      {"<body>a</BODY >b<p>", false, "body|none| a|"},
      {"<title>T1</title><title>T2</title><body>x</body>", false, "body|T2| x|"},
      {"<title>T1</title><title>T2</title><body>x</body>", true, "title|T1||"},
      {"<title>T</title><p>x", false, "end|T||"},
      {"<title>a<!-- c -->\nb</title>", true, "title|a b||"},
      {"<title>T<p>x", true, "title|T||"},  // text after the last tag is never read
      // A comment is only a failure where the reading has to get past it.
      {"<body>a</body><!-- x", false, "body|none| a|"},
      {"<body>a\n<!-- x\n", false, "Error in " + path + " (#2): Unclosed comment"},
      {"", false, "Error in " + path + " (#0): HTML-File without content"},
  };
  for (const auto& c : cases) {
    testutil::writeFile(path, c.page);
    EXPECT_EQ(pageTextOf(path, c.titleOnly), c.text) << c.page;
  }
}

}  // namespace
