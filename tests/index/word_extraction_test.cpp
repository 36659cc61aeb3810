#include "index/word_extraction.h"

#include <gtest/gtest.h>

#include <list>
#include <set>
#include <string>
#include <vector>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

using Words = std::set<std::string>;

TEST(WordExtraction, DecodeEntities) {
  EXPECT_EQ(std::string("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789"
                        "\xE4\xF6\xFC\xC4\xD6\xDC\xDF"),
            wordCharacters);
  const std::pair<std::string, std::string> cases[] = {
      {"M&uuml;ller Stra&szlig;e", "M\xFCller Stra\337e"},
      {"&Auml;&Ouml;&Uuml;&auml;&ouml;&uuml;", "\xC4\xD6\xDC\xE4\xF6\xFC"},
      {"&Aumlaut; &Xuml; &uml;", "\xC4  "},  // characters 1 to 4 decide; else gone
      {"&SZLIG; &szligx;", " "},
      {"&x&auml;", "&x\xE4"},        // the last '&' before ';' starts the entity
      {"Tom & Jerry; x", "Tom  x"},  // a lone '&' swallows up to the next ';'
      {"Hello&nbsp;World &; &#228;", "HelloWorld  "},
      {"&nbsp;&amp;", "&amp;"},  // the search resumes one after a removed entity
      {"&nbsp;x&amp;y", "xy"},
      {"a&nbsp;;b", "a;b"},
      {"&auml;&ouml;", "\xE4\xF6"},  // behind a replaced entity nothing is skipped
      {"a&b x&auml", "a&b x&auml"},  // no ';': nothing changes
      {std::string("\0&lt;\0", 6), std::string("\0\0", 2)},
  };
  for (const auto& c : cases) {
    std::string text = c.first;
    decodeEntities(text);
    EXPECT_EQ(c.second, text) << c.first;
  }
}

TEST(WordExtraction, SplitWordsAndIsIndexWord) {
  const std::string blank = " ";
  struct Case {
    std::string text;
    const std::string* wordChars;
    const std::string* separators;
    std::list<std::string> runs;
  };
  const Case cases[] = {
      {"e-mail", &wordCharacters, nullptr, {"e", "mail"}},
      {"Gr\xF6\337e, caf\xE9s!", &wordCharacters, nullptr, {"Gr\xF6\337e", "caf", "s"}},
      {std::string(" __init__(x86)\0b", 16), &wordCharacters, nullptr, {"__init__", "x86", "b"}},
      {"-.,", &wordCharacters, nullptr, {}},
      {" Haus  ma.*n ", nullptr, &blank, {"Haus", "ma.*n"}},
      {"a b", nullptr, nullptr, {"a b"}},
  };
  for (const Case& c : cases) {
    std::list<std::string> out = {"kept"};
    splitWords(out, c.text, c.wordChars, c.separators);
    out.pop_front();
    EXPECT_EQ(c.runs, out) << c.text;
  }
  for (const char* word : {"abc", "a1b2", "Gr\xF6\337e", "__init__", "b2b2b2b", "ab__"}) {
    EXPECT_TRUE(isIndexWord(word)) << word;
  }
  for (const char* word : {"", "ab", "1234", "x86", "a123", "\xE4_\xF6", "a___"}) {
    EXPECT_FALSE(isIndexWord(word)) << word;
  }
}

TEST(WordExtraction, AddPageText) {
  const std::pair<std::string, Words> cases[] = {
      {"e-mail", {"mail"}},
      {"a&nbsp;b foo&nbsp;bar", {"foobar"}},
      {"&Auml;rger und \xC4rger", {"\xC4rger", "und"}},
      {"Haus haus Haus", {"Haus", "haus"}},
      {"M&uuml;ller &amp; S&ouml;hne's x86 a123", {"M\xFCller", "S\xF6hne"}},
  };
  for (const auto& c : cases) {
    Words words;
    addPageText(words, c.first);
    EXPECT_EQ(c.second, words) << c.first;
  }
  Words words = {"zzz"};
  addPageText(words, "\xC4rger abc");  // unsigned byte order: umlauts after ASCII
  EXPECT_EQ((std::vector<std::string>{"abc", "zzz", "\xC4rger"}),
            std::vector<std::string>(words.begin(), words.end()));
}

TEST(WordExtraction, AddFileWordsReadsOnlyTheBody) {
  const std::pair<std::string, Words> cases[] = {
      {"<html><head><title>Titelwort</title></head>\nVorwort <BODY bgcolor=\"white\">\n"
       "<h1>Gro&szlig;e</h1><img alt=\"Bildtext\"><a href=\"ziel.html\">Verweis</a>\n"
       "<script>scriptwort</script><!-- kommentar -->e-mail Haus haus\n</body>nachher</html>Ende",
       {"Gro\337e", "Haus", "Verweis", "haus", "mail", "nachher", "scriptwort"}},
      {"<html><p>kein body</p></html>", {}},
      {"<body\tclass=x><p>nichts</p><bodyx>nichts<p>", {}},
      {"<body>Ha<!-- x -->us<p>zweiter<body>dritter<p>", {"Haus", "dritter", "zweiter"}},
      // A page that declares UTF-8: characters beyond Latin-1 and references to them separate
      // words, references resolve as in browsers, bytes outside a UTF-8 sequence stay.
      {"<meta charset=utf-8><body>Gr\xC3\xB6\xC3\237e System\xC3\xA4nderungen Doporu\xC4\x8D"
       "ení Hallo&nbsp;Welt &auml;rger&mdash;Bl\374te AT&amp;T<p>",
       {"Bl\374te", "Doporu", "Gr\xF6\337e", "Hallo", "System\xE4nderungen", "Welt", "\xE4rger"}},
      {std::string(1024, ' ') + "<meta charset=utf-8><body>System\xC3\xA4nderungen<p>",
       {"System", "nderungen"}},
  };
  testutil::TempDir dir;
  const std::string path = dir / "page.html";
  for (const auto& c : cases) {
    testutil::writeFile(path, c.first);
    Words words;
    addFileWords(words, path);
    EXPECT_EQ(c.second, words) << c.first;
  }
  // Many distinct words: all arrive, in order.
  std::string page = "<body>";
  Words expected;
  for (int k = 0; k < 5000; ++k) {
    const std::string word =
        "w" + std::to_string(k * 7919 % 100000) + "abcdefghij" + char('a' + k % 26);
    page += word + (k % 3 ? " " : "<br>");
    expected.insert(word);
  }
  testutil::writeFile(path, page + "<p>");
  Words words = {"\337keep"};
  addFileWords(words, path);
  expected.insert("\337keep");
  EXPECT_EQ(expected, words);

  // An unclosed comment ends the file with an error; the words before it were collected.
  testutil::writeFile(path, "<body>vorher<p>\n<!-- offen\n");
  words.clear();
  try {
    addFileWords(words, path);
    FAIL();
  } catch (const kel::err::Error& e) {
    EXPECT_EQ("Error in " + path + " (#2): Unclosed comment", std::string(e.what()));
  }
  EXPECT_EQ(Words{"vorher"}, words);
}

}  // namespace
