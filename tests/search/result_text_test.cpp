#include "search/result_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>

#include <boost/regex.hpp>

#include "app/options.h"
#include "kel/err/error.h"
#include "test_util.h"

namespace {

std::list<SearchTerm> makeTerms(std::initializer_list<const char*> patterns) {
  std::list<SearchTerm> terms;
  for (const char* p : patterns) terms.emplace_back(p, boost::regex::normal);
  return terms;
}

TEST(CollapseSpaces, DropsLeadingDoubledAndOneTrailingBlank) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},          {" ", ""},           {"   ", ""},        {"a", "a"},
      {"  a  b  ", "a b"}, {"a b", "a b"},    {"a\t \tb", "a\t \tb"}, {"\t ", "\t"},
      {"a\r\n", "a\r\n"}, {" x  y z ", "x y z"},
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    collapseSpaces(s);
    EXPECT_EQ(s, c.out) << '"' << c.in << '"';
  }
}

TEST(AnchorBefore, TakesTheLastAnchorNotAfterTheOffset) {
  const NamedAnchors anchors{{"x", 0}, {"y", 5}, {"z", 5}, {"w", 9}};
  const struct {
    unsigned offset;
    const char* name;
  } cases[] = {{0, "x"}, {4, "x"}, {5, "z"}, {8, "z"}, {9, "w"}, {1000, "w"}};
  for (const auto& c : cases) EXPECT_EQ(anchorBefore(anchors, c.offset), c.name) << c.offset;
  EXPECT_EQ(anchorBefore({}, 3), "");
  EXPECT_EQ(anchorBefore({{"late", 3}}, 2), "");
}

TEST(Highlight, WrapsEveryHitInTheMarkup) {
  const struct {
    const char* markup;
    std::initializer_list<const char*> terms;
    const char* in;
    const char* out;
  } cases[] = {
      {"<b>$$$</b>", {"foo"}, "foo bar foo", "<b>foo</b> bar <b>foo</b>"},
      {"<b>$$$</b>", {"foo", "bar"}, "foo bar", "<b>foo</b> <b>bar</b>"},
      {"<b>$$$</b>", {"nope"}, "foo bar", "foo bar"},
      {"[$$$]", {"Haus"}, "Hausgarten", "[Haus]garten"},
      {"[$$$]$$$", {"x"}, "x", "[x]$$$"},
      {"$$$", {"x"}, "axa", "axa"},
      // Overlapping hits are not merged: the earlier one wraps the start of the later's markup.
      {"<b>$$$</b>", {"aa"}, "aaa", "<b>a<</b>b>aa</b>"},
      // Equal start: the longer hit is wrapped first; the shorter then wraps its first bytes,
      // markup included.
      {"($$$)", {"ab", "abc"}, "abc", "((a)bc)"},
  };
  for (const auto& c : cases) {
    optHighlight.setValue(c.markup, false);
    std::string s = c.in;
    highlight(makeTerms(c.terms), s);
    EXPECT_EQ(s, c.out) << c.markup << " " << c.in;
  }

  optHighlight.setValue("<b>", false);
  std::string s = "foo";
  try {
    highlight(makeTerms({"foo"}), s);
    ADD_FAILURE() << "no error";
  } catch (const kel::err::Error& e) {
    EXPECT_STREQ(e.what(), "$$$ awaited in '<b>'");
  }
  EXPECT_EQ(s, "foo");
  optHighlight.setValue("<b>$$$</b>", true);
}

struct FileCase {
  const char* name;
  std::string html;
  std::initializer_list<const char*> terms;
  int maxLength;
  bool result;
  const char* title;
  const char* text;
  const char* anchor;
  double score;
};

void checkFile(const FileCase& c, int maxKilobytes = 150) {
  testutil::TempDir dir;
  const std::string file = dir / "page.html";
  testutil::writeFile(file, c.html);
  std::string title = "old", text = "old", anchor = "old";
  double score = -1;
  const bool result = searchFile(file, makeTerms(c.terms), title, text, anchor, c.maxLength,
                                 maxKilobytes, score);
  EXPECT_EQ(result, c.result) << c.name;
  EXPECT_EQ(title, c.title) << c.name;
  EXPECT_EQ(text, c.text) << c.name;
  if (c.result) EXPECT_EQ(anchor, c.anchor) << c.name;
  EXPECT_NEAR(score, c.score, 1e-12) << c.name;
}

TEST(SearchFile, TitleExcerptAndScore) {
  const double ln2 = std::log(2.0);
  const FileCase cases[] = {
      {"plain page", "<html><head><title>My  Page</title></head>\n<body><p>Hello Haus world</p>"
       "</body></html>", {"Haus"}, 300, true, "My Page", "Hello <b>Haus</b> world", "", 0.0},
      {"title over tags and lines", "<title> A <i>B</i>\nC </title><body>Haus x Haus</body>",
       {"Haus"}, 300, true, "A B C", "<b>Haus</b> x <b>Haus</b>", "", ln2 / 4},
      {"a later title replaces", "<title>One</title><title>Two</title><body>Haus</body>",
       {"Haus"}, 300, true, "Two", "<b>Haus</b>", "", 0.0},
      {"title ends at the head", "<head><title>T</head><body>Haus</body>", {"Haus"}, 300, true,
       "T", "<b>Haus</b>", "", 0.0},
      {"empty title", "<title></title><body>Haus</body>", {"Haus"}, 300, true, "", "<b>Haus</b>",
       "", 0.0},
      {"no title", "<body>Haus</body>", {"Haus"}, 300, true, "Not set", "<b>Haus</b>", "", 0.0},
      {"title in the body is text", "<body><title>Haus</title></body>", {"Haus"}, 300, true,
       "Not set", "<b>Haus</b>", "", 0.0},
      {"no body", "<html><head><title>T</title></head></html>", {"Haus"}, 300, true, "T",
       "has no body", "", 0.0},
      {"no hit", "<title>Haus</title><body>house</body>", {"Haus"}, 300, false, "Haus", "Not set",
       "", 0.0},
      {"no window for two terms", "<body>foo foo</body>", {"foo", "bar"}, 300, false, "Not set",
       "Not set", "", 0.0},
      {"text pieces joined by one blank", "<body>a <b>Haus</b>  c\n d</body>", {"Haus"}, 300,
       true, "Not set", "a <b>Haus</b> c d", "", 0.0},
      {"text after the body is not read", "<body>x</body>Haus<p>", {"Haus"}, 300, false,
       "Not set", "Not set", "", 0.0},
      {"comments vanish", "<body>Ha<!-- x -->us</body>", {"Haus"}, 300, true, "Not set",
       "<b>Haus</b>", "", 0.0},
      {"entities stay as written", "<body>K&uuml;che K\xFC""che</body>", {"K\xFC""che"}, 300,
       true, "Not set", "K&uuml;che <b>K\xFC""che</b>", "", 0.0},
      // Body text " one two three four five six seven": "five" at 20; L 10 puts the window at
      // 17..26, widened to the words "four five six".
      {"excerpt on word boundaries", "<body>one two three four five six seven</body>", {"five"},
       10, true, "Not set", "four <b>five</b> six", "", 0.0},
      {"excerpt at the start of the text", "<body>five six seven eight nine</body>", {"five"}, 6,
       true, "Not set", "<b>five</b>", "", 0.0},
      {"excerpt at the end of the text", "<body>one two three four five</body>", {"five"}, 10,
       true, "Not set", "four <b>five</b>", "", 0.0},
      // Span 22 > L 5: the window is centred in the span (bytes 9..13), widened to whole words.
      {"window centred in a long span", "<body>alpha beta gamma omega</body>", {"alpha", "omega"},
       5, true, "Not set", "beta gamma", "", 0.0},
      // The window (3 bytes) starts on the blank before "cd"; with L 1 it ends before it
      // begins and then holds the word at its start.
      {"tiny window on a blank", "<body>ab cd ef gh</body>", {"\\s", "c"}, 1, true, "Not set",
       "<b>c</b>d", "", 0.0},
      {"L 0", "<body>ab cd ef</body>", {"cd"}, 0, true, "Not set", "<b>cd</b>", "", 0.0},
  };
  for (const FileCase& c : cases) checkFile(c);
}

TEST(SearchFile, NamedAnchors) {
  const struct {
    const char* attributes;
    const char* anchor;
  } cases[] = {
      {"name=plain", "plain"},
      {"NAME=\"Quoted\"", "Quoted"},
      {"name='single'", "'single'"},
      {"href=\"#x\" name=\"n\"", "n"},
      {"name=\"two words\"", "two"},
      {"name=\"q\"x", "q\"x"},
      {"name=", ""},
      // The first "name=" anywhere counts, also inside another attribute's value.
      {"href=\"x?name=y\" name=z", "y\""},
      {"name = x", "first"},
  };
  for (const auto& c : cases) {
    const FileCase f{c.attributes,
                     std::string("<body><a name=first></a>Intro <a ") + c.attributes +
                         ">Haus</a></body>",
                     {"Haus"}, 4, true, "Not set", "<b>Haus</b>", c.anchor, 0.0};
    checkFile(f);
  }

  // Body text " Intro text Haus here": the anchor stands at offset 11, before "Haus" (12).
  const std::string page = "<body><a name=top></a>Intro text<a name=\"sec\"></a>Haus here</body>";
  checkFile({"excerpt after the anchor", page, {"Haus"}, 4, true, "Not set", "<b>Haus</b>", "sec",
             0.0});
  checkFile({"excerpt before the anchor", page, {"Haus"}, 300, true, "Not set",
             "Intro text <b>Haus</b> here", "top", 0.0});
}

TEST(SearchFile, SizeLimit) {
  const std::string head = "<title>Big</title><body>Haus ";
  const std::string tail = "</body>";
  const std::string exact = head + std::string(1024 - head.size() - tail.size(), 'x') + tail;
  ASSERT_EQ(exact.size(), 1024u);
  checkFile({"exactly the limit", exact, {"Haus"}, 4, true, "Big", "<b>Haus</b>", "", 0.0}, 1);
  const std::string over = head + "y" + exact.substr(head.size());
  checkFile({"one byte more", over, {"Haus"}, 4, true, "Big",
             "text-search skipped (file too big)", "", 0.0}, 1);
  checkFile({"too big, no title", "<body>Haus</body>", {"Haus"}, 4, true, "Not set",
             "text-search skipped (file too big)", "", 0.0}, 0);
  checkFile({"too big, no body", "<p>Haus</p>", {"Haus"}, 4, true, "Not set", "has no body", "",
             0.0}, 0);
  // The title is taken, then the body is skipped; a second title is not read.
  checkFile({"too big stops after the title", "<title>A</title><title>B</title><body>x</body>",
             {"Haus"}, 4, true, "A", "text-search skipped (file too big)", "", 0.0}, 0);
  checkFile({"negative limit", "<body>Haus</body>", {"Haus"}, 4, true, "Not set",
             "text-search skipped (file too big)", "", 0.0}, -1);
}

TEST(SearchFile, MissingAndBrokenFiles) {
  testutil::TempDir dir;
  std::string title, text, anchor;
  double score = -1;
  EXPECT_FALSE(searchFile(dir / "gone.html", makeTerms({"x"}), title, text, anchor, 300, 150,
                          score));
  EXPECT_EQ(title, "Not set");
  EXPECT_EQ(score, 0.0);

  const struct {
    const char* html;
    std::string message;
  } cases[] = {
      {"", "Error in " + dir / "page.html" + " (#0): HTML-File without content"},
      {"<body>x <!-- open\nmore\n", "Error in " + dir / "page.html" + " (#2): Unclosed comment"},
  };
  for (const auto& c : cases) {
    testutil::writeFile(dir / "page.html", c.html);
    try {
      searchFile(dir / "page.html", makeTerms({"x"}), title, text, anchor, 300, 150, score);
      ADD_FAILURE() << "no error for " << c.html;
    } catch (const kel::err::Error& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }

  optHighlight.setValue("bold", false);
  testutil::writeFile(dir / "page.html", "<body>x</body>");
  try {
    searchFile(dir / "page.html", makeTerms({"x"}), title, text, anchor, 300, 150, score);
    ADD_FAILURE() << "no error";
  } catch (const kel::err::Error& e) {
    EXPECT_STREQ(e.what(), "$$$ awaited in 'bold'");
  }
  optHighlight.setValue("<b>$$$</b>", true);
}

}  // namespace
