#include "search/hits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include <boost/regex.hpp>

namespace {

std::list<SearchTerm> makeTerms(std::initializer_list<const char*> patterns) {
  std::list<SearchTerm> terms;
  for (const char* p : patterns) terms.emplace_back(p, boost::regex::normal);
  return terms;
}

struct Hit {
  unsigned position, length, term;
  bool operator==(const Hit& o) const {
    return position == o.position && length == o.length && term == o.term;
  }
};

std::ostream& operator<<(std::ostream& os, const Hit& h) {
  return os << "{" << h.position << "," << h.length << "," << h.term << "}";
}

std::vector<Hit> asVector(const Fundstellen& hits) {
  std::vector<Hit> out;
  for (const Fundstelle& f : hits) out.push_back({f.position, f.length, f.term});
  return out;
}

TEST(FindHits, FindsEveryMatchOfEveryTerm) {
  struct Case {
    const char* name;
    std::initializer_list<const char*> terms;
    std::string text;
    bool found;
    std::vector<Hit> hits;
  };
  const Case cases[] = {
      {"overlapping matches", {"aa"}, "xaaa", true, {{1, 2, 0}, {2, 2, 0}}},
      {"ordered by position across terms", {"bar", "foo"}, "foo bar", true, {{0, 3, 1}, {4, 3, 0}}},
      {"same stretch keeps the first term", {"a.c", "abc"}, "abc", true, {{0, 3, 0}}},
      {"same start, shorter first", {"abcd", "ab"}, "abcd", true, {{0, 2, 1}, {0, 4, 0}}},
      {"substrings of words count", {"Haus"}, "Hausgarten Haus", true, {{0, 4, 0}, {11, 4, 0}}},
      {"no match", {"xyz"}, "abc", false, {}},
      {"empty text", {"a"}, "", false, {}},
      // Each restart sees the rest as a text of its own: "^" matches at every restart.
      {"restart is a new beginning", {"^a"}, "aab", true, {{0, 1, 0}, {1, 1, 0}}},
      {"empty matches up to the end", {"x*"}, "ab", true, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}},
      {"case matters", {"haus"}, "Haus", false, {}},
      {"latin-1 bytes", {"K\xFC""che"}, "Die K\xFC""che", true, {{4, 5, 0}}},
  };
  for (const Case& c : cases) {
    Fundstellen hits;
    EXPECT_EQ(findHits(c.text, hits, makeTerms(c.terms)), c.found) << c.name;
    EXPECT_EQ(asVector(hits), c.hits) << c.name;
  }
}

TEST(FindHits, ReportsFoundEvenWhenEveryHitWasKnown) {
  const auto terms = makeTerms({"ab"});
  Fundstellen hits;
  ASSERT_TRUE(findHits("abab", hits, terms));
  EXPECT_TRUE(findHits("abab", hits, terms));
  EXPECT_EQ(hits.size(), 2u);
  EXPECT_FALSE(findHits("xyz", hits, terms));
  EXPECT_EQ(hits.size(), 2u);
}

TEST(ScoreHits, ChoosesTheWindowAndScoresIt) {
  const double ln2 = std::log(2.0);
  const double ln3 = std::log(3.0);
  struct Case {
    const char* name;
    std::initializer_list<const char*> terms;
    std::string text;
    bool found;
    Hit first, last;
    double score;
  };
  const Case cases[] = {
      {"one hit of one term", {"abc"}, "xx abc", true, {3, 3, 0}, {3, 3, 0}, 0.0},
      {"two hits of a five-letter word", {"haeus"}, "haeus x haeus", true,
       {0, 5, 0}, {0, 5, 0}, ln2 / 5},
      {"first hit decides the span", {"a+"}, "aaa", true, {0, 3, 0}, {0, 3, 0}, ln3 / 3},
      {"two terms once each", {"abc", "xyz"}, "abc xyz", true, {0, 3, 0}, {4, 3, 1}, 0.0},
      // The window B..A is as short as A..B and does not replace it; counts A 2, B 1.
      {"equal windows keep the first", {"foo", "bar"}, "foo bar foo", true,
       {0, 3, 0}, {4, 3, 1}, 0.0},
      // Every hit is visited as a window start until the rest cannot hold all terms.
      {"counts over the window starts", {"foo", "bar"}, "foo bar foo bar foo", true,
       {0, 3, 0}, {4, 3, 1}, ln3 * ln2 / 7},
      {"a later window is shorter", {"foo", "bar"}, "foo xx bar foo bar", true,
       {7, 3, 1}, {11, 3, 0}, ln2 * ln2 / 7},
      // From a window start the first completing hit is taken, even if a later one is shorter.
      {"first complete window of a start", {"a", "b.{5}|c"}, "abcdefg", true,
       {0, 1, 0}, {1, 6, 1}, 0.0},
      {"term order does not matter", {"bar", "foo"}, "foo bar foo bar", true,
       {0, 3, 1}, {4, 3, 0}, ln2 * ln2 / 7},
      {"a term without hit", {"foo", "nope"}, "foo foo", false, {}, {}, 0.0},
      {"no hit at all", {"nope"}, "foo", false, {}, {}, 0.0},
      // Both patterns match "abc": one hit with term 0, so term 1 needs a hit of its own.
      {"same stretch for two terms", {"abc", "a.c"}, "abc", false, {}, {}, 0.0},
      {"same stretch, then another", {"abc", "a.c"}, "abc axc", true, {0, 3, 0}, {4, 3, 1}, 0.0},
      // A window spanning no byte is no window: no infinite or undefined score.
      {"empty match, one term", {"x*"}, "abc", false, {}, {}, 0.0},
      {"empty match, two terms", {"x*", "b"}, "ab", true, {1, 0, 0}, {1, 1, 1}, 0.0},
  };
  for (const Case& c : cases) {
    const auto terms = makeTerms(c.terms);
    Fundstellen hits;
    findHits(c.text, hits, terms);
    Fundstellen::const_iterator first = hits.end();
    Fundstellen::const_iterator last = hits.end();
    double score = -1;
    ASSERT_EQ(scoreHits(hits, first, last, static_cast<unsigned>(terms.size()), score), c.found)
        << c.name;
    EXPECT_TRUE(std::isfinite(score)) << c.name;
    EXPECT_NEAR(score, c.score, 1e-12) << c.name;
    if (!c.found) continue;
    EXPECT_EQ((Hit{first->position, first->length, first->term}), c.first) << c.name;
    EXPECT_EQ((Hit{last->position, last->length, last->term}), c.last) << c.name;
  }
}

TEST(ScoreHits, ManyHitsGiveTheSameWindowAsAFullSearch) {
  // A long run of alternating hits: the window is the first pair, and every hit is counted
  // (the last one as the start that ends the search).
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "foo bar ";
  const auto terms = makeTerms({"foo", "bar"});
  Fundstellen hits;
  findHits(text, hits, terms);
  Fundstellen::const_iterator first, last;
  double score = 0;
  ASSERT_TRUE(scoreHits(hits, first, last, 2, score));
  EXPECT_EQ(first->position, 0u);
  EXPECT_EQ(last->position, 4u);
  EXPECT_NEAR(score, std::log(2000.0) * std::log(2000.0) / 7, 1e-9);
}

}  // namespace
