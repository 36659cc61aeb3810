#include "kel/html_read/html_eater.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

using kel::html_read::HTML_Eater;

// Every tag of a file as "tag|attributes|textBefore", or the error message.
std::vector<std::string> tagsOf(const std::string& path, bool lowerCase = true) {
  std::vector<std::string> tags;
  try {
    HTML_Eater eater(path, lowerCase);
    std::string tag, attributes;
    while (eater.nextTag(tag, attributes)) {
      tags.push_back(tag + "|" + attributes + "|" + std::string(eater.textBefore));
    }
  } catch (const kel::err::Error& e) {
    tags.push_back(e.what());
  }
  return tags;
}

using Tags = std::vector<std::string>;

TEST(HTML_Eater, DeliversTagsAttributesAndTextBefore) {
  const std::pair<std::string, Tags> cases[] = {
      {"a<!-- x -->b<p>", {"p||ab"}},
      {"<a href=\"x>y\">", {"a|href=\"x>y\"|"}},
      {"<!DOCTYPE html>", {"!doctype|html|"}},
      {"x</BODY>", {"/body||x"}},
      {"<img alt=\"a > b\" src=x>", {"img|alt=\"a > b\" src=x|"}},
      {"<A\tHREF=x>", {"a\thref=x||"}},  // only a blank splits
      {"< p>", {"|p|"}},
      {"<p  a=1>", {"p| a=1|"}},
      {"a<>b<i>", {"||a", "i||b"}},
      {"<a title='x>y'>", {"a|title='x|"}},  // single quotes do not protect
      {"<!-->x-->y<p>", {"p||y"}},           // "<!-->" opens a comment
      {"a<!-- x -- y -->-->b<p>", {"p||a-->b"}},
      {"a<!-- x\ny\n\nz -->b<p>", {"p||ab"}},
      {"a<!--x-->\nb<p>", {"p||a b"}},
      {"<!--\n-->a<p>", {"p||a"}},
      {"<!-\n- x -->", {"!-|- x --|"}},  // "<!-" cut by the line end is a tag
      {"Hello\n\n\nWorld<p>", {"p||Hello World"}},
      {"<p>\nfoo<q>", {"p||", "q||foo"}},  // no blank after a tag that ends a line
      {"x<a\nhref=\"1\n2>\">", {"a|href=\"1 2>\"|x"}},
      {" a \r\n<p>", {"p|| a \r "}},
      {"<p>a<b>tail", {"p||", "b||a"}},  // text after the last tag is dropped
      {"a<p>b<i c=\"d>", {"p||a"}},      // so is an unfinished tag
      {std::string("a\0b<p\0q>", 8), {std::string("p\0q||a\0b", 8)}},
      {"\n", {}},
  };
  testutil::TempDir dir;
  for (const auto& c : cases) {
    testutil::writeFile(dir / "p.html", c.first);
    EXPECT_EQ(c.second, tagsOf(dir / "p.html")) << c.first;
  }
  testutil::writeFile(dir / "p.html", "<p Class=X>\xE4<b\xE4>");
  EXPECT_EQ((Tags{"P|Class=X|", "B\xE4||\xE4"}), tagsOf(dir / "p.html", false));

  // A page in UTF-8 is read as Latin-1; its byte order mark is dropped, a later one is a
  // character beyond Latin-1.
  testutil::writeFile(dir / "p.html", "\xEF\xBB\277\xC3\xA4<a name=\xE2\x80\x94>\xEF\xBB\xBF<p>");
  for (const auto beyond :
       {kel::html_read::BeyondLatin1::separator, kel::html_read::BeyondLatin1::reference}) {
    HTML_Eater eater(dir / "p.html", true, beyond);
    EXPECT_TRUE(eater.utf8());
    std::string tag, attributes, all;
    while (eater.nextTag(tag, attributes))
      all += tag + "|" + attributes + "|" + std::string(eater.textBefore) + ";";
    EXPECT_EQ(all, beyond == kel::html_read::BeyondLatin1::separator
                       ? "a|name= |\xE4;p|| ;"
                       : "a|name=&#8212;|\xE4;p||&#65279;;");
  }
}

TEST(HTML_Eater, ReportsEmptyFilesAndUnclosedCommentsWithTheLineCount) {
  testutil::TempDir dir;
  const std::string path = dir / "bad.html";
  const std::string prefix = "Error in " + path + " (#";
  const std::pair<std::string, std::string> cases[] = {
      {"", "0): HTML-File without content"},
      {"a\n<!-- x\ny\n", "3): Unclosed comment"},
      {"<p>a<!-- b", "0): Unclosed comment"},
      {"a\n\n<!-- b\nc --", "3): Unclosed comment"},
  };
  for (const auto& c : cases) {
    testutil::writeFile(path, c.first);
    EXPECT_EQ(prefix + c.second, tagsOf(path).back()) << c.first;
  }
  EXPECT_THROW(HTML_Eater(dir / "missing.html"), kel::err::IOError);
}

TEST(HTML_Eater, LongLinesAndBinaryFiles) {
  testutil::TempDir dir;
  const std::string path = dir / "big.html";
  const std::size_t kSize = 10 * 1024 * 1024;
  // One 10 MB line that is never cut (no "><"), and one cut into short pieces.
  for (const std::string unit : {"<b>word</b> <!--c--> ", "<i>w</i><!-- y -->"}) {
    std::string html;
    while (html.size() < kSize) html += unit;
    testutil::writeFile(path, html);
    const Tags tags = tagsOf(path);
    const std::size_t units = html.size() / unit.size();
    ASSERT_EQ(2 * units, tags.size());
    const std::string closing = unit[1] == 'b' ? "/b||word" : "/i||w";
    EXPECT_EQ(units, static_cast<std::size_t>(std::count(tags.begin(), tags.end(), closing)));
  }
  testutil::writeFile(path, std::string(kSize, 'x'));
  EXPECT_TRUE(tagsOf(path).empty());
  testutil::writeFile(path, "<!--" + std::string(kSize, '-'));
  EXPECT_EQ(Tags{"Error in " + path + " (#0): Unclosed comment"}, tagsOf(path));

  std::uint32_t state = 12345;
  for (int round = 0; round < 20; ++round) {
    std::string bytes(50000 + round, '\0');
    for (char& c : bytes) c = static_cast<char>((state = state * 1664525u + 1013904223u) >> 24);
    testutil::writeFile(path, bytes + (round % 2 ? "<end>" : ""));
    const Tags tags = tagsOf(path);
    if (!tags.empty() && tags.back().rfind("Error in ", 0) == 0) {
      EXPECT_NE(std::string::npos, tags.back().find("): Unclosed comment"));
    }
  }
}

}  // namespace
