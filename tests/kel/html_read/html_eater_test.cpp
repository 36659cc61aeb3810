#include "kel/html_read/html_eater.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

using kel::html_read::HTML_Eater;

struct Tag {
  std::string tag, attributes, textBefore;
  bool operator==(const Tag& o) const {
    return tag == o.tag && attributes == o.attributes && textBefore == o.textBefore;
  }
};

std::ostream& operator<<(std::ostream& os, const Tag& t) {
  return os << "{" << testing::PrintToString(t.tag) << ", " << testing::PrintToString(t.attributes)
            << ", " << testing::PrintToString(t.textBefore) << "}";
}

// Every tag of the file, in order, until nextTag returns false.
std::vector<Tag> allTags(const std::string& path, bool lowerCase = true) {
  HTML_Eater eater(path, lowerCase);
  std::vector<Tag> tags;
  Tag t;
  while (eater.nextTag(t.tag, t.attributes)) {
    t.textBefore = eater.textBefore;
    tags.push_back(t);
  }
  return tags;
}

std::string errorOf(const std::string& path) {
  try {
    allTags(path);
  } catch (const kel::err::Error& e) {
    return e.what();
  }
  return "no error";
}

TEST(HTML_Eater, DeliversTagsAttributesAndTextBefore) {
  struct Case {
    const char* what;
    std::string html;
    std::vector<Tag> tags;
  };
  const Case cases[] = {
      {"comment joins the text around it", "a<!-- x -->b<p>", {{"p", "", "ab"}}},
      {"quoted '>' stays in the tag", "<a href=\"x>y\">", {{"a", "href=\"x>y\"", ""}}},
      {"doctype", "<!DOCTYPE html>", {{"!doctype", "html", ""}}},
      {"end tag folded", "x</BODY>", {{"/body", "", "x"}}},
      {"several quoted '>'", "<img alt=\"a > b\" src=x>", {{"img", "alt=\"a > b\" src=x", ""}}},
      {"a tab is no split", "<A\tHREF=x>", {{"a\thref=x", "", ""}}},
      {"blank right after '<'", "< p>", {{"", "p", ""}}},
      {"only the first blank splits", "<p  a=1 b>", {{"p", " a=1 b", ""}}},
      {"empty tag", "a<>b<i>", {{"", "", "a"}, {"i", "", "b"}}},
      {"single quotes do not protect", "<a title='x>y'>", {{"a", "title='x", ""}}},
      {"<!--> opens a comment", "<!-->x-->y<p>", {{"p", "", "y"}}},
      {"comment ends at the first -->", "a<!-- x -- y -->-->b<p>", {{"p", "", "a-->b"}}},
      {"two comments", "a<!--1-->b<!--2-->c<p>", {{"p", "", "abc"}}},
      {"comment across lines", "a<!-- x\ny\n\nz -->b<p>", {{"p", "", "ab"}}},
      {"comment ends a line", "a<!--x-->\nb<p>", {{"p", "", "a b"}}},
      {"comment close on its own line", "<!--\n-->a<p>", {{"p", "", "a"}}},
      {"<!- cut by the line end is a tag", "<!-\n- x -->", {{"!-", "- x --", ""}}},
      {"text joined by one blank", "Hello\n\n\nWorld<p>", {{"p", "", "Hello World"}}},
      {"no blank after a tag ending a line", "<p>\nfoo<q>", {{"p", "", ""}, {"q", "", "foo"}}},
      {"tag across lines", "x<a\nhref=x>", {{"a", "href=x", "x"}}},
      {"quote across lines", "<a title=\"x\ny>z\">", {{"a", "title=\"x y>z\"", ""}}},
      {"blanks and carriage returns kept", " a \r\n<p>", {{"p", "", " a \r "}}},
      {"text after the last tag is dropped", "<p>a<b>tail", {{"p", "", ""}, {"b", "", "a"}}},
      {"unfinished tag is dropped", "a<p>b<i c=\"d>", {{"p", "", "a"}}},
      {"unfinished comment opener is a tag", "a<!-", {}},
      {"NUL bytes are ordinary bytes", std::string("a\0b<p\0q>", 8),
       {{std::string("p\0q", 3), "", std::string("a\0b", 3)}}},
      {"one empty line", "\n", {}},
  };
  testutil::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / "page.html";
    testutil::writeFile(path, c.html);
    EXPECT_EQ(c.tags, allTags(path));
  }
}

TEST(HTML_Eater, FoldsTagNamesToUpperCaseOnRequest) {
  testutil::TempDir dir;
  testutil::writeFile(dir / "p.html", "<p Class=X>\xE4<b\xE4>");
  EXPECT_EQ((std::vector<Tag>{{"P", "Class=X", ""}, {"B\xE4", "", "\xE4"}}),
            allTags(dir / "p.html", false));
  EXPECT_EQ((std::vector<Tag>{{"p", "Class=X", ""}, {"b\xE4", "", "\xE4"}}),
            allTags(dir / "p.html", true));
}

TEST(HTML_Eater, ReportsEmptyFilesAndUnclosedCommentsWithTheLineCount) {
  testutil::TempDir dir;
  const std::string path = dir / "bad.html";
  const std::pair<std::string, std::string> cases[] = {
      {"", "HTML-File without content"},
      {"a\n<!-- x\ny\n", "#3): Unclosed comment"},
      {"<p>a<!-- b", "#0): Unclosed comment"},
      {"a\n\n<!-- b\nc --", "#3): Unclosed comment"},
  };
  for (const auto& c : cases) {
    testutil::writeFile(path, c.first);
    const std::string message = errorOf(path);
    EXPECT_EQ(0u, message.rfind("Error in " + path + " (#", 0)) << message;
    EXPECT_EQ(c.second, message.substr(message.size() - c.second.size())) << message;
  }
  testutil::writeFile(path, "");
  EXPECT_EQ("Error in " + path + " (#0): HTML-File without content", errorOf(path));

  try {
    HTML_Eater eater(dir / "missing.html");
    FAIL();
  } catch (const kel::err::IOError& e) {
    EXPECT_EQ("No such file or directory ('" + dir / "missing.html" + "')", std::string(e.what()));
  }
}

TEST(HTML_Eater, LongLinesArriveWholeAndInLinearTime) {
  testutil::TempDir dir;
  const std::string path = dir / "long.html";
  const std::size_t kSize = 10 * 1024 * 1024;

  // Tags without "><" between them, so the line is never cut: one 10 MB line.
  std::string html;
  html.reserve(kSize + 16);
  std::size_t tags = 0;
  while (html.size() < kSize) {
    html += "<b>word</b> <!--c--> ";
    tags += 2;
  }
  testutil::writeFile(path, html);
  {
    HTML_Eater eater(path);
    std::string tag, attributes;
    std::size_t n = 0;
    std::size_t wrong = 0;
    while (eater.nextTag(tag, attributes)) {
      const char* expectedTag = n % 2 == 0 ? "b" : "/b";
      const char* expectedText = n % 2 == 0 ? (n == 0 ? "" : "  ") : "word";
      wrong += tag != expectedTag || eater.textBefore != expectedText || !attributes.empty();
      ++n;
    }
    EXPECT_EQ(0u, wrong);
    EXPECT_EQ(tags, n);
  }

  // Tags that touch, so the reader gets pieces cut between '>' and '<'.
  html.clear();
  tags = 0;
  while (html.size() < kSize) {
    html += "<i>x</i><!-- y -->";
    tags += 2;
  }
  html += "<p>";
  testutil::writeFile(path, html);
  std::size_t n = 0;
  std::string text;
  {
    HTML_Eater eater(path);
    std::string tag, attributes;
    while (eater.nextTag(tag, attributes)) {
      text += eater.textBefore;
      ++n;
    }
  }
  EXPECT_EQ(tags + 1, n);
  EXPECT_EQ(std::string(tags / 2, 'x'), text);

  // Text without any tag.
  testutil::writeFile(path, std::string(kSize, 'x'));
  EXPECT_TRUE(allTags(path).empty());
  // A comment opened at the start and never closed.
  testutil::writeFile(path, "<!--" + std::string(kSize, '-'));
  EXPECT_EQ("Error in " + path + " (#0): Unclosed comment", errorOf(path));
}

TEST(HTML_Eater, SurvivesBinaryFiles) {
  testutil::TempDir dir;
  const std::string path = dir / "binary.html";
  std::uint32_t state = 12345;
  for (int round = 0; round < 20; ++round) {
    std::string bytes(50000 + round, '\0');
    for (char& c : bytes) {
      state = state * 1664525u + 1013904223u;
      c = static_cast<char>(state >> 24);
    }
    if (round % 2) bytes += "<end>";  // sometimes closes all open constructs
    testutil::writeFile(path, bytes);
    const std::string message = errorOf(path);
    EXPECT_TRUE(message == "no error" || message.find("): Unclosed comment") != std::string::npos)
        << message;
  }
}

}  // namespace
