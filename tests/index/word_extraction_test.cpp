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

TEST(WordExtraction, WordCharactersAreSeventyBytes) {
  EXPECT_EQ(std::string("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789"
                        "\xE4\xF6\xFC\xC4\xD6\xDC\xDF"),
            wordCharacters);
  EXPECT_EQ(70u, wordCharacters.size());
}

TEST(WordExtraction, DecodeEntities) {
  const std::pair<std::string, std::string> cases[] = {
      {"M&uuml;ller", "M\xFCller"},
      {"Stra&szlig;e", "Stra\xDF" "e"},
      {"&Auml;&Ouml;&Uuml;&auml;&ouml;&uuml;", "\xC4\xD6\xDC\xE4\xF6\xFC"},
      {"&Aumlaut;", "\xC4"},             // only characters 1 to 4 are looked at
      {"&Xuml;", ""},                    // unknown first character
      {"&uml;", ""},                     // too short for an umlaut
      {"&SZLIG; &szligx;", " "},        // only the exact name
      {"&x&auml;", "&x\xE4"},            // the last '&' before ';' starts the entity
      {"&&&ouml;", "&&\xF6"},
      {"Tom & Jerry; x", "Tom  x"},      // a lone '&' swallows up to the next ';'
      {"Hello&nbsp;World", "HelloWorld"},
      {"&;", ""},
      {"&#228;", ""},
      {"&nbsp;&amp;", "&amp;"},          // the search resumes one after the removed entity
      {"&nbsp;&amp;x", "&amp;x"},
      {"&nbsp;x&amp;y", "xy"},
      {"&auml;&ouml;", "\xE4\xF6"},      // behind a replaced entity nothing is skipped
      {"a&nbsp;;b", "a;b"},               // the ';' behind the entity is taken over literally
      {"a&b", "a&b"},                    // no ';': nothing changes
      {"x&auml", "x&auml"},
      {"a;b", "a;b"},
      {"", ""},
      {std::string("\0&lt;\0", 6), std::string("\0\0", 2)},
  };
  for (const auto& c : cases) {
    std::string text = c.first;
    decodeEntities(text);
    EXPECT_EQ(c.second, text) << c.first;
  }
}

TEST(WordExtraction, SplitWordsInBothForms) {
  struct Case {
    std::string text;
    const std::string* wordChars;
    const std::string* separators;
    std::list<std::string> runs;
  };
  const std::string blank = " ";
  const Case cases[] = {
      {"e-mail", &wordCharacters, nullptr, {"e", "mail"}},
      {"Gr\xF6\xDF" "e, caf\xE9s!", &wordCharacters, nullptr, {"Gr\xF6\xDF" "e", "caf", "s"}},
      {"  __init__(x86)  ", &wordCharacters, nullptr, {"__init__", "x86"}},
      {std::string("a\0b", 3), &wordCharacters, nullptr, {"a", "b"}},
      {"", &wordCharacters, nullptr, {}},
      {"-.,", &wordCharacters, nullptr, {}},
      {" Haus  ma.*n ", nullptr, &blank, {"Haus", "ma.*n"}},
      {"a", nullptr, &blank, {"a"}},
      {"   ", nullptr, &blank, {}},
      {"a b", nullptr, nullptr, {"a b"}},
  };
  for (const Case& c : cases) {
    std::list<std::string> out = {"kept"};
    splitWords(out, c.text, c.wordChars, c.separators);
    std::list<std::string> expected = c.runs;
    expected.push_front("kept");
    EXPECT_EQ(expected, out) << c.text;
  }
}

TEST(WordExtraction, IsIndexWord) {
  for (const char* word : {"abc", "a1b2", "Gr\xF6\xDF" "e", "__init__", "b2b2b2b", "Haus",
                           "Donaudampfschifffahrtsgesellschaftskapit\xE4n"}) {
    EXPECT_TRUE(isIndexWord(word)) << word;
  }
  for (const char* word : {"", "a", "ab", "1234", "x86", "a123", "\xE4_\xF6", "\xC4\xD6\xDC\xDF",
                           "a___"}) {
    EXPECT_FALSE(isIndexWord(word)) << word;
  }
}

TEST(WordExtraction, AddPageText) {
  const std::pair<std::string, Words> cases[] = {
      {"e-mail", {"mail"}},
      {"a&nbsp;b", {}},
      {"foo&nbsp;bar", {"foobar"}},
      {"&Auml;rger und \xC4rger", {"\xC4rger", "und"}},
      {"Haus haus Haus", {"Haus", "haus"}},
      {"M&uuml;ller &amp; S&ouml;hne's x86 a123", {"M\xFCller", "S\xF6hne"}},
      {"Tom & Jerry; Spike", {"Spike", "Tom"}},
  };
  for (const auto& c : cases) {
    Words words;
    addPageText(words, c.first);
    EXPECT_EQ(c.second, words) << c.first;
  }
  Words words = {"zzz"};
  addPageText(words, "\xC4rger abc");
  // Unsigned byte order: the umlaut sorts after every ASCII letter.
  EXPECT_EQ((std::vector<std::string>{"abc", "zzz", "\xC4rger"}),
            std::vector<std::string>(words.begin(), words.end()));
}

TEST(WordExtraction, AddFileWordsReadsOnlyTheBody) {
  const std::pair<std::string, Words> cases[] = {
      {"<html><head><title>Titelwort</title></head>\n"
       "Vorwort <BODY bgcolor=\"white\">\n<h1>Gro&szlig;e Stra&szlig;e</h1>\n"
       "<img alt=\"Bildtext\" src=\"x.gif\"><a href=\"ziel.html\">Verweis</a>\n"
       "<script>scriptwort</script><!-- kommentar -->e-mail Haus haus\n"
       "</body>nachher</html>Schluss",
       {"Gro\xDF" "e", "Haus", "Stra\xDF" "e", "Verweis", "haus", "mail", "nachher",
        "scriptwort"}},
      {"<html><p>kein body</p></html>", {}},
      {"<body\tclass=x><p>nichts</p>", {}},
      {"<bodyx><p>nichts</p>", {}},
      {"<body>Text ohne weiteren Tag", {}},
      {"<body>Ha<!-- x -->us<p>", {"Haus"}},
      {"<body><p>erster</p><body>zweiter<p>", {"erster", "zweiter"}},
  };
  testutil::TempDir dir;
  const std::string path = dir / "page.html";
  for (const auto& c : cases) {
    testutil::writeFile(path, c.first);
    Words words;
    addFileWords(words, path);
    EXPECT_EQ(c.second, words) << c.first;
  }

  // An unclosed comment ends the file with an error; the words before it were collected.
  testutil::writeFile(path, "<body>vorher<p>\n<!-- offen\n");
  Words words;
  try {
    addFileWords(words, path);
    FAIL();
  } catch (const kel::err::Error& e) {
    EXPECT_EQ("Error in " + path + " (#2): Unclosed comment", std::string(e.what()));
  }
  EXPECT_EQ(Words{"vorher"}, words);

  testutil::writeFile(path, "");
  words.clear();
  EXPECT_THROW(addFileWords(words, path), kel::err::Error);
  EXPECT_TRUE(words.empty());
}

TEST(WordExtraction, BinaryPagesGiveWordsOrErrorsButNoCrash) {
  testutil::TempDir dir;
  const std::string path = dir / "binary.html";
  std::uint32_t state = 99;
  for (int round = 0; round < 10; ++round) {
    std::string bytes = "<body>";
    bytes.resize(40000);
    for (std::size_t k = 6; k < bytes.size(); ++k) {
      state = state * 1664525u + 1013904223u;
      bytes[k] = static_cast<char>(state >> 24);
    }
    bytes += "<end>";
    testutil::writeFile(path, bytes);
    Words words;
    try {
      addFileWords(words, path);
    } catch (const kel::err::Error& e) {
      EXPECT_NE(std::string::npos, std::string(e.what()).find("Unclosed comment"));
    }
    for (const std::string& w : words) EXPECT_TRUE(isIndexWord(w)) << w;
  }
}

}  // namespace
