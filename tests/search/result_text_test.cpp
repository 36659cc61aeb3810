#include "search/result_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

using testutil::errorOf;

std::list<SearchTerm> makeTerms(const std::vector<const char*>& patterns) {
  std::list<SearchTerm> terms;
  for (const char* p : patterns) terms.emplace_back(p, boost::regex::normal);
  return terms;
}

TEST(ResultText, CollapseSpacesAndHighlight) {
  for (const auto& [in, out] : std::vector<std::pair<std::string, std::string>>{
           {"", ""},
           {"   ", ""},
           {"  a  b  ", "a b"},
           {"a\t \tb\r", "a\t \tb\r"},
           {"\t ", "\t"},
           // Runs of blanks across the eight-byte steps of the fast path.
           {std::string(17, ' ') + "x", "x"},
           {"abcdefg  hijklmn", "abcdefg hijklmn"},
           {"abcdefgh hijklmno ", "abcdefgh hijklmno"},
           {"abcdefgh        i", "abcdefgh i"}}) {
    std::string s = in;
    collapseSpaces(s);
    EXPECT_EQ(s, out) << '"' << in << '"';
  }

  const struct {
    const char* markup;
    std::vector<const char*> terms;
    const char* in;
    const char* out;
  } cases[] = {
      {"<b>$$$</b>", {"foo", "bar"}, "foo bar foo", "<b>foo</b> <b>bar</b> <b>foo</b>"},
      {"[$$$]$$$", {"Haus"}, "Hausgarten", "[Haus]$$$garten"},
      // Overlapping hits are not merged: the earlier one wraps the start of the later's markup.
      {"<b>$$$</b>", {"aa"}, "aaa", "<b>a<</b>b>aa</b>"},
      {"($$$)", {"ab", "abc"}, "abc", "((a)bc)"},
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    highlight(makeTerms(c.terms), c.markup, s);
    EXPECT_EQ(s, c.out) << c.in;
  }
  std::string s = "foo";
  EXPECT_EQ(errorOf([&] { highlight(makeTerms({"foo"}), "<b>", s); }), "$$$ awaited in '<b>'");
  EXPECT_EQ(s, "foo");
}

TEST(ResultText, SearchFile) {
  // Body text of the excerpt cases: " one two three four five six seven" ("five" at 20).
  const std::string words = "<body>one two three four five six seven</body>";
  const std::string anchored =
      "<body><a name=top></a>Intro text<a name=\"sec\"></a>Haus here</body>";
  const struct {
    std::string html;
    std::vector<const char*> terms;
    int maxLength, maxKilobytes;
    bool result;
    const char* title;
    const char* text;
    const char* anchor;
    double score;
  } cases[] = {
      {"<title> A <i>B</i>\nC </title><title>D  E</title>\n<body>Haus <p> x Haus</body>",
       {"Haus"},
       300,
       150,
       true,
       "D E",
       "<b>Haus</b> x <b>Haus</b>",
       "",
       std::log(2.0) / 4},
      {"<head><title>T</head><body><title>Ha</title>us</body>Haus<p>",
       {"Haus"},
       300,
       150,
       false,
       "T",
       "Not set",
       "",
       0.0},
      // Excerpt windows, widened to whole words; -L larger than the text takes all of it.
      {words, {"five"}, 10, 150, true, "Not set", "four <b>five</b> six", "", 0.0},
      {words, {"one"}, 6, 150, true, "Not set", "<b>one</b> two", "", 0.0},
      {words, {"seven"}, 10, 150, true, "Not set", "six <b>seven</b>", "", 0.0},
      {words, {"f"}, 0, 150, true, "Not set", "<b>f</b>our", "", std::log(2.0)},
      {words, {"two", "six"}, 5, 150, true, "Not set", "four", "", 0.0},  // centred in the span
      // A window of one byte on a blank ends before it starts: it holds the word at its start.
      {"<body>ab cd ef gh</body>", {"\\s", "c"}, 1, 150, true, "Not set", "<b>c</b>d", "", 0.0},
      {anchored, {"Haus"}, 4, 150, true, "Not set", "<b>Haus</b>", "sec", 0.0},
      {anchored, {"Haus"}, 300, 150, true, "Not set", "Intro text <b>Haus</b> here", "top", 0.0},
      // Too big: the head is still read for the title, the body is not searched.
      {"<title>A</title><title>B</title><body>Haus",
       {"Haus"},
       4,
       0,
       true,
       "A",
       "text-search skipped (file too big)",
       "",
       0.0},
      {"<p>Haus</p>", {"Haus"}, 4, 0, true, "Not set", "has no body", "", 0.0},
      // The entities the index reads as umlauts are those letters; others stay as written.
      {"<title>K&uuml;che &amp;</title><body>Die K&uuml;che&nbsp;&auml;rger</body>",
       {"K\374che"},
       300,
       150,
       true,
       "K\374che &amp;",
       "Die <b>K\374che</b>&nbsp;&auml;rger",
       "",
       0.0},
      // A page in UTF-8 shows characters beyond Latin-1 and markup characters as references.
      {"<meta charset=utf-8><title>Gr\xC3\xB6\xC3\237e</title><body>&lt;Gr&ouml;&szlig;e&gt; "
       "\xE2\x80\x94</body>",
       {"Gr\xF6\337e"},
       300,
       150,
       true,
       "Gr\xF6\337e",
       "&lt;<b>Gr\xF6\337e</b>&gt; &#8212;",
       "",
       0.0},
      {"<body>Haus", {"Haus"}, 4, -1, true, "Not set", "text-search skipped (file too big)", "", 0},
  };
  testutil::TempDir dir;
  const std::string file = dir / "page.html";
  for (const auto& c : cases) {
    testutil::writeFile(file, c.html);
    std::string title = "old", text = "old", anchor = "old";
    double score = -1;
    EXPECT_EQ(searchFile(file, makeTerms(c.terms), title, text, anchor, c.maxLength, c.maxKilobytes,
                         score),
              c.result)
        << c.html;
    EXPECT_EQ(title, c.title) << c.html;
    EXPECT_EQ(text, c.text) << c.html;
    if (c.result) {
      EXPECT_EQ(anchor, c.anchor) << c.html;
    }
    EXPECT_NEAR(score, c.score, 1e-12) << c.html;
  }
}

TEST(ResultText, AnchorNamesAndSizeLimit) {
  testutil::TempDir dir;
  const std::string file = dir / "page.html";
  std::string title, text, anchor;
  double score;
  auto search = [&](int maxKilobytes = 150) {
    return searchFile(file, makeTerms({"Haus"}), title, text, anchor, 4, maxKilobytes, score);
  };
  for (const auto& [attributes, name] :
       std::vector<std::pair<std::string, std::string>>{{"name=plain", "plain"},
                                                        {"NAME=\"Quoted\"", "Quoted"},
                                                        {"name='s'", "'s'"},
                                                        {"name=\"two words\"", "two"},
                                                        {"name=", ""},
                                                        {"href=\"x?name=y\" name=z", "y\""},
                                                        {"name = x", "first"}}) {
    testutil::writeFile(file, "<body><a name=first></a>Intro <a " + attributes + ">Haus</a>");
    EXPECT_TRUE(search());
    EXPECT_EQ(anchor, name) << attributes;
  }

  // A file of exactly -S kilobytes is searched; one byte more is not.
  const std::string head = "<body>Haus ";
  testutil::writeFile(file, head + std::string(1024 - head.size() - 7, 'x') + "</body>");
  EXPECT_TRUE(search(1));
  EXPECT_EQ(text, "<b>Haus</b>");
  testutil::writeFile(file, head + std::string(1025 - head.size() - 7, 'x') + "</body>");
  EXPECT_TRUE(search(1));
  EXPECT_EQ(text, "text-search skipped (file too big)");
}

}  // namespace
