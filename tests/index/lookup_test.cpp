#include "index/lookup.h"

#include <gtest/gtest.h>

#include <locale>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

using testutil::bytes;
using testutil::str;

const unsigned icase = boost::regex::icase;

// Files 0 to 2; words Garten [1], Haus [0 2], haus [1], hausen [2], haust\xFCr [0], mit [0 1 2].
const std::string sampleIndex =
    bytes({0x03}) + str("/w/DOCS/a.html") + str("/w/misc/b.html") + str("/w/news/c.html") +
    bytes({0x06}) + str("Garten") + bytes({0x01, 0x01}) + str("Haus") + bytes({0x02, 0x00, 0x02}) +
    str("haus") + bytes({0x01, 0x01}) + str("hausen") + bytes({0x01, 0x02}) + str("haust\xFCr") +
    bytes({0x01, 0x00}) + str("mit") + bytes({0x03, 0x00, 0x01, 0x02});

// The files found (joined by ';') and the report line.
std::string lookup(const std::string& path, const std::string& search, unsigned flags,
                   const std::vector<std::string>& ids = {}) {
  std::ostringstream report;
  const LookupResult result = lookupTerms(path, search, flags, ids, nullptr, report);
  std::string found;
  for (const std::string& f : result.candidates.paths()) found += f + ";";
  return found + report.str();
}

TEST(Lookup, SelectsTheFilesMatchingEveryTerm) {
  testutil::TempDir tmp;
  const std::string index = tmp / "global_index";
  testutil::writeFile(index, sampleIndex);
  const std::string all = "/w/DOCS/a.html;/w/misc/b.html;/w/news/c.html;Overall results: 0 1 2 \n";
  const std::string both = "/w/DOCS/a.html;/w/news/c.html;Overall results: 0 2 \n";
  const struct {
    std::string search;
    unsigned flags;
    std::vector<std::string> ids;
    std::string result;
  } cases[] = {
      {"haus", 0, {}, "/w/misc/b.html;Overall results: 1 \n"},
      {"HAUS", icase, {}, all},
      {"HAUS\\D+", icase, {}, both},  // the escape keeps its letter
      {"haust.r", 0, {}, "/w/DOCS/a.html;Overall results: 0 \n"},
      {"hau", 0, {}, "No results.\n"},  // whole words only
      {"Haus mit", 0, {}, both},
      {"  mit   Haus ", 0, {}, both},
      {"mit Haus hausen Haus m.t", 0, {}, "/w/news/c.html;Overall results: 2 \n"},
      {"Haus Garten", 0, {}, "No results.\n"},
      {"mit", 0, {"Docs", "news"}, both.substr(0, 30) + "Overall results: 0 1 2 \n"},
      {"", 0, {}, "No results.\n"},
      {"   ", icase, {}, "No results.\n"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(lookup(index, c.search, c.flags, c.ids), c.result) << c.search;

  // Terms are compiled before the index is read.
  EXPECT_EQ(testutil::errorOf([&] { lookup(tmp / "missing", "ok a(", 0); }).substr(0, 43),
            "Invalid search term 'a(': Unmatched marking");
  try {
    lookup(tmp / "missing", "Haus", 0);
    ADD_FAILURE();
  } catch (const kel::err::IOError& e) {
    EXPECT_EQ(std::string(e.what()), "No such file or directory ('" + tmp / "missing" + "')");
  }
  // Every index cut short, and a file number without a path, is refused.
  std::vector<std::string> damaged;
  for (std::size_t size = 0; size < sampleIndex.size(); ++size)
    damaged.push_back(sampleIndex.substr(0, size));
  damaged.push_back(bytes({0x01}) + str("a") + bytes({0x01}) + str("mit") + bytes({0x01, 0x01}));
  for (const std::string& content : damaged) {
    testutil::writeFile(index, content);
    try {
      lookup(index, "mit", 0);
      ADD_FAILURE() << content.size();
    } catch (const kel::err::Error& e) {
      EXPECT_EQ(std::string(e.what()), "End of file reached (" + index + ")") << content.size();
    }
  }
}

// Words over an alphabet of ASCII letters and Latin-1 bytes, the umlauts among them.
std::vector<std::string> sampleWords(std::mt19937& random, std::size_t count,
                                     std::size_t maxLength) {
  const std::string alphabet = "aAbBsSzZ_9\xC4\xE4\xD6\xF6\xDC\xFC\xDF\xC0\xE0\xC9\xE9\xFE\xDE";
  std::vector<std::string> words;
  for (std::size_t i = 0; i < count; ++i) {
    std::string w(1 + random() % maxLength, ' ');
    for (char& c : w) c = alphabet[random() % alphabet.size()];
    words.push_back(w);
  }
  return words;
}

// The matcher must agree with boost::regex_match on every word: plain-text terms (compared
// without the engine, with and without case, in each available locale) and expressions (which
// the engine runs only on words with their plain beginning).
TEST(WordMatcher, AgreesWithTheRegexEngine) {
  std::mt19937 random(7);
  std::vector<std::string> words = sampleWords(random, 3000, 4);
  std::vector<std::string> patterns = sampleWords(random, 150, 3);
  for (const std::string& t : std::vector<std::string>(patterns)) {
    std::string upper = t, lower = t;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    words.insert(words.end(), {t, upper, lower});
  }
  const char* const pieces[] = {"a",     "b", "S", "\xE4", "\xC4",    "_",   ".", "*", "+", "?",
                                "{1,2}", "(", ")", "|",    "[a\xE4]", "\\w", "$", "^", "z"};
  for (int i = 0; i < 1500; ++i) {
    std::string pattern;
    for (unsigned n = 1 + random() % 5; n > 0; --n)
      pattern += pieces[random() % (sizeof pieces / sizeof *pieces)];
    patterns.push_back(pattern);
  }
  std::size_t checked = 0, literal = 0;
  for (const char* localeName : {"C", "C.utf8"}) {
    std::locale locale;
    try {
      locale = std::locale(localeName);
    } catch (const std::runtime_error&) {
      continue;
    }
    const std::locale previous = std::locale::global(locale);
    for (const std::string& pattern : patterns) {
      for (const unsigned flags : {0u, icase}) {
        std::unique_ptr<SearchTerm> term;
        try {
          term = std::make_unique<SearchTerm>(pattern, flags);
        } catch (const kel::err::Error&) {
          continue;
        }
        const WordMatcher matcher(*term);
        ++checked;
        literal += matcher.isLiteral();
        for (const std::string& w : words) {
          ASSERT_EQ(matcher.matches(w), boost::regex_match(w, term->expression))
              << localeName << " " << flags << " " << pattern << " " << w;
        }
      }
    }
    std::locale::global(previous);
  }
  EXPECT_GT(literal, 300u);
  EXPECT_GT(checked, literal + 1000);
}

}  // namespace
