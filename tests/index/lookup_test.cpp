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

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (const int v : values) s += static_cast<char>(v);
  return s;
}

std::string str(const std::string& text) { return bytes({int(text.size() * 2)}) + text; }

const unsigned icase = boost::regex::icase;

// Three files and six words: Garten [1], Haus [0 2], haus [1], hausen [2], haust\xFCr [0],
// mit [0 1 2].
const std::string sampleIndex =
    bytes({0x03}) + str("/w/DOCS/a.html") + str("/w/misc/b.html") + str("/w/news/c.html") + bytes({0x06}) +
    str("Garten") + bytes({0x01, 0x01}) + str("Haus") + bytes({0x02, 0x00, 0x02}) + str("haus") +
    bytes({0x01, 0x01}) + str("hausen") + bytes({0x01, 0x02}) + str("haust\xFCr") + bytes({0x01, 0x00}) +
    str("mit") + bytes({0x03, 0x00, 0x01, 0x02});

struct Outcome {
  std::list<SearchTerm> terms;
  std::list<std::string> files;
  std::string report;
  std::string verbose;
};

Outcome lookup(const std::string& path, const std::string& search, unsigned flags,
               const std::vector<std::string>& ids = {}, bool verbose = false) {
  Outcome o;
  std::ostringstream report;
  std::ostringstream progress;
  lookupTerms(path, search, flags, ids, verbose ? &progress : nullptr, report, o.terms, o.files);
  o.report = report.str();
  o.verbose = progress.str();
  return o;
}

std::string joined(const std::list<std::string>& files) {
  std::string s;
  for (const std::string& f : files) s += f + ";";
  return s;
}

class Lookup : public ::testing::Test {
 protected:
  Lookup() { testutil::writeFile(index, sampleIndex); }
  testutil::TempDir tmp;
  const std::string index = tmp / "global_index";
};

TEST_F(Lookup, SelectsTheFilesMatchingEveryTerm) {
  const struct {
    std::string search;
    unsigned flags;
    std::vector<std::string> ids;
    std::string files;
    std::string report;
  } cases[] = {
      {"haus", 0, {}, "/w/misc/b.html;", "Overall results: 1 \n"},
      {"haus", icase, {}, "/w/DOCS/a.html;/w/misc/b.html;/w/news/c.html;", "Overall results: 0 1 2 \n"},
      {"HAUS", icase, {}, "/w/DOCS/a.html;/w/misc/b.html;/w/news/c.html;", "Overall results: 0 1 2 \n"},
      {"haus.*", 0, {}, "/w/DOCS/a.html;/w/misc/b.html;/w/news/c.html;", "Overall results: 0 1 2 \n"},
      {"haust.r", 0, {}, "/w/DOCS/a.html;", "Overall results: 0 \n"},
      {"hau", 0, {}, "", "No results.\n"},  // a term matches whole words only
      {"Haus mit", 0, {}, "/w/DOCS/a.html;/w/news/c.html;", "Overall results: 0 2 \n"},
      {"mit Haus", 0, {}, "/w/DOCS/a.html;/w/news/c.html;", "Overall results: 0 2 \n"},
      {"  Haus   mit ", 0, {}, "/w/DOCS/a.html;/w/news/c.html;", "Overall results: 0 2 \n"},
      {"mit Haus hausen Haus m.t", 0, {}, "/w/news/c.html;", "Overall results: 2 \n"},
      {"Haus Garten", 0, {}, "", "No results.\n"},
      {"Haus nichts", 0, {}, "", "No results.\n"},
      {"mit", 0, {"Docs", "news"}, "/w/DOCS/a.html;/w/news/c.html;", "Overall results: 0 1 2 \n"},
      {"mit", 0, {"nowhere"}, "", "Overall results: 0 1 2 \n"},
      {"", 0, {}, "", "No results.\n"},
      {"   ", icase, {}, "", "No results.\n"},
  };
  for (const auto& c : cases) {
    const Outcome o = lookup(index, c.search, c.flags, c.ids);
    EXPECT_EQ(joined(o.files), c.files) << c.search;
    EXPECT_EQ(o.report, c.report) << c.search;
  }
}

TEST_F(Lookup, KeepsEachTermWithItsFiles) {
  const Outcome o = lookup(index, "HAUS.* Mit", icase);
  ASSERT_EQ(o.terms.size(), 2u);
  EXPECT_EQ(o.terms.front().term, "haus.*");
  EXPECT_EQ(o.terms.front().files, (std::set<unsigned>{0, 1, 2}));
  EXPECT_EQ(o.terms.back().term, "mit");
  EXPECT_TRUE(boost::regex_match(std::string("MIT"), o.terms.back().expression));

  const Outcome exact = lookup(index, "Haus", 0);
  EXPECT_EQ(exact.terms.front().files, (std::set<unsigned>{0, 2}));
  EXPECT_FALSE(boost::regex_match(std::string("haus"), exact.terms.front().expression));
}

TEST_F(Lookup, ReportsProgressWithVerbose) {
  const Outcome o = lookup(index, "haus.* mit h.*", 0, {}, true);
  EXPECT_EQ(o.verbose,
            "Searching in global index..\nhaus haus hausen hausen haust\xFCr haust\xFCr mit done\n"
            "Results for 'haus.*': 0 1 2 \nResults for 'mit': 0 1 2 \nResults for 'h.*': 0 1 2 \n");
}

TEST_F(Lookup, FailsOnBadTermsAndDamagedIndices) {
  // Terms are compiled before the index is opened.
  EXPECT_THROW(lookup(tmp / "missing", "ok a(", 0), boost::regex_error);
  try {
    lookup(tmp / "missing", "Haus", 0);
    FAIL();
  } catch (const kel::err::IOError& e) {
    EXPECT_EQ(std::string(e.what()), "No such file or directory ('" + tmp / "missing" + "')");
  }
  // Every index cut short, and a file number without a path, is reported.
  const std::string eof = "End of file reached (" + index + ")";
  std::vector<std::string> damaged;
  for (std::size_t size = 0; size < sampleIndex.size(); ++size) damaged.push_back(sampleIndex.substr(0, size));
  damaged.push_back(bytes({0x01}) + str("a") + bytes({0x01}) + str("mit") + bytes({0x01, 0x01}));
  for (const std::string& content : damaged) {
    testutil::writeFile(index, content);
    try {
      lookup(index, "mit", 0);
      ADD_FAILURE() << content.size();
    } catch (const kel::err::Error& e) {
      EXPECT_EQ(std::string(e.what()), eof) << content.size();
    }
  }
}

// Words and plain-text terms over an alphabet that holds ASCII letters and Latin-1 bytes, the
// umlauts among them.
std::vector<std::string> sampleWords(std::mt19937& random, std::size_t count, std::size_t maxLength) {
  const std::string alphabet = "aAbBsSzZ_9\xC4\xE4\xD6\xF6\xDC\xFC\xDF\xC0\xE0\xC9\xE9\xFE\xDE";
  std::vector<std::string> words;
  for (std::size_t i = 0; i < count; ++i) {
    std::string w(1 + random() % maxLength, ' ');
    for (char& c : w) c = alphabet[random() % alphabet.size()];
    words.push_back(w);
  }
  return words;
}

TEST(WordMatcher, PlainTextTermsMatchExactlyAsTheExpression) {
  std::mt19937 random(7);
  std::vector<std::string> words = sampleWords(random, 3000, 3);
  const std::vector<std::string> terms = sampleWords(random, 150, 3);
  for (const std::string& t : terms) {
    // Every term meets itself and its case variants among the words.
    words.push_back(t);
    std::string upper = t, lower = t;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    words.push_back(upper);
    words.push_back(lower);
  }
  for (const char* localeName : {"C", "C.utf8"}) {
    std::locale locale;
    try {
      locale = std::locale(localeName);
    } catch (const std::runtime_error&) {
      continue;
    }
    const std::locale previous = std::locale::global(locale);
    for (const unsigned flags : {0u, icase}) {
      std::size_t matches = 0;
      for (const std::string& t : terms) {
        const SearchTerm term(t, flags);
        const WordMatcher matcher(term);
        ASSERT_TRUE(matcher.isLiteral()) << t;
        for (const std::string& w : words) {
          const bool expected = boost::regex_match(w, term.expression);
          ASSERT_EQ(matcher.matches(w), expected) << localeName << " " << flags << " " << t << " " << w;
          matches += expected;
        }
      }
      EXPECT_GT(matches, terms.size()) << localeName << " " << flags;
    }
    std::locale::global(previous);
  }
}

TEST(WordMatcher, ExpressionsGoThroughTheRegexEngine) {
  const struct {
    const char* term;
    const char* word;
    bool matches;
  } cases[] = {
      {"ha.s", "haus", true}, {"ha.s", "hauss", false}, {"h[a-z]+", "haus", true},
      {"h\\w+", "h\xFC", false}, {"(ab)+", "abab", true}, {"a|b", "b", true},
      {"^ab$", "ab", true},     {"a{2}", "aa", true},     {"ab?", "a", true},
      {"a*", "", true},         {"\\x41", "A", true},
  };
  for (const auto& c : cases) {
    const SearchTerm term(c.term, 0);
    const WordMatcher matcher(term);
    EXPECT_FALSE(matcher.isLiteral()) << c.term;
    EXPECT_EQ(matcher.matches(c.word), c.matches) << c.term << " " << c.word;
  }
}

TEST(WordMatcher, ExpressionsWithPlainBeginningsMatchExactlyAsTheRegexEngine) {
  std::mt19937 random(3);
  const std::vector<std::string> words = sampleWords(random, 3000, 4);
  const char* const pieces[] = {"a", "b", "S", "\xE4", "\xC4", "_", "9", ".", "*", "+", "?", "{1,2}", "{2}",
                                "(", ")", "|", "[a\xE4]", "\\w", "$", "^", "a", "b", "z"};
  std::size_t compiled = 0;
  std::size_t withPrefix = 0;
  for (int i = 0; i < 1500; ++i) {
    std::string pattern;
    for (unsigned n = 1 + random() % 5; n > 0; --n) pattern += pieces[random() % (sizeof pieces / sizeof *pieces)];
    for (const unsigned flags : {0u, icase}) {
      std::unique_ptr<SearchTerm> term;
      try {
        term = std::make_unique<SearchTerm>(pattern, flags);
      } catch (const boost::regex_error&) {
        continue;
      }
      ++compiled;
      const WordMatcher matcher(*term);
      withPrefix += !matcher.isLiteral() && flags == 0 && pattern.find_first_of(".*+?{}()|[]\\^$") > 1;
      for (const std::string& w : words) {
        ASSERT_EQ(matcher.matches(w), boost::regex_match(w, term->expression)) << pattern << " " << w;
      }
    }
  }
  EXPECT_GT(compiled, 1000u);
  EXPECT_GT(withPrefix, 50u);
}

}  // namespace
