#include "search/hits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

std::list<SearchTerm> makeTerms(const std::vector<const char*>& patterns) {
  std::list<SearchTerm> terms;
  for (const char* p : patterns) terms.emplace_back(p, boost::regex::normal);
  return terms;
}

// Hits as "position,length,term" (more terms of one stretch joined by '+') separated by blanks.
std::string describe(const Fundstellen& hits) {
  std::string out;
  for (const Fundstelle& f : hits) {
    out += (out.empty() ? "" : " ") + std::to_string(f.position) + "," + std::to_string(f.length) +
           ",";
    f.forEachTerm([&out, &f](unsigned t) { out += (t == f.term ? "" : "+") + std::to_string(t); });
  }
  return out;
}

TEST(Hits, FindHitsFindsEveryMatchOfEveryTerm) {
  const struct {
    std::vector<const char*> terms;
    const char* text;
    bool found;
    const char* hits;
  } cases[] = {
      {{"aa"}, "xaaa", true, "1,2,0 2,2,0"},             // overlapping matches
      {{"bar", "foo"}, "foo bar", true, "0,3,1 4,3,0"},  // ordered by position
      {{"a.c", "abc"}, "abc", true, "0,3,0+1"},          // one hit for both terms
      {{"Haus", "x", "[H]aus"}, "Haus x Haus", true, "0,4,0+2 5,1,1 7,4,0+2"},
      {{"abcd", "ab"}, "abcd", true, "0,2,1 0,4,0"},  // same start: shorter first
      {{"^a"}, "aab", true, "0,1,0 1,1,0"},           // each restart is a beginning
      {{"x*"}, "ab", true, "0,0,0 1,0,0 2,0,0"},      // empty matches up to the end
      {{"K\374che"}, "Die K\374che", true, "4,5,0"},
      {{"ab", "bb"}, "ba", false, ""},  // no term matches
  };
  for (const auto& c : cases) {
    Fundstellen hits;
    EXPECT_EQ(findHits(c.text, hits, makeTerms(c.terms)), c.found) << c.text;
    EXPECT_EQ(describe(hits), c.hits) << c.text;
  }
}

TEST(Hits, ScoreHitsChoosesTheWindowAndScoresIt) {
  const double ln2 = std::log(2.0), ln3 = std::log(3.0);
  std::string many;
  for (int i = 0; i < 2000; ++i) many += "foo bar ";
  const struct {
    std::vector<const char*> terms;
    std::string text;
    bool found;
    const char* window;  // first and last hit
    double score;
  } cases[] = {
      {{"haeus"}, "haeus x haeus", true, "0,5,0 0,5,0", ln2 / 5},
      {{"a+"}, "aaa", true, "0,3,0 0,3,0", ln3 / 3},  // the first hit's span
      {{"abc", "xyz"}, "abc xyz", true, "0,3,0 4,3,1", 0.0},
      // B..A is as short as A..B and does not replace it; counts A 2, B 1.
      {{"foo", "bar"}, "foo bar foo", true, "0,3,0 4,3,1", 0.0},
      // Every hit is counted as a window start until the rest cannot hold all terms.
      {{"foo", "bar"}, "foo bar foo bar foo", true, "0,3,0 4,3,1", ln3 * ln2 / 7},
      {{"foo", "bar"}, "foo xx bar foo bar", true, "7,3,1 11,3,0", ln2 * ln2 / 7},
      {{"foo", "bar"}, many, true, "0,3,0 4,3,1", std::log(2000.0) * std::log(2000.0) / 7},
      // From one start the first completing hit is taken, even if a later one ends sooner.
      {{"a", "b.{5}|c"}, "abcdefg", true, "0,1,0 1,6,1", 0.0},
      {{"foo", "nope"}, "foo foo", false, "", 0.0},
      // A hit stands for every term that matched its stretch, in the window and in the counts.
      {{"abc", "a.c"}, "abc", true, "0,3,0+1 0,3,0+1", 0.0},
      {{"Haus", "Haus"}, "Haus x Haus", true, "0,4,0+1 0,4,0+1", ln2 * ln2 / 4},
      {{"Haus", "[H]aus", "x"}, "Haus x Haus", true, "0,4,0+1 5,1,2", 0.0},
      {{"Haus", "x", "Haus"}, "x Haus x", true, "0,1,1 2,4,0+2", 0.0},
      // A window spanning no byte is no window: no infinite or undefined score.
      {{"x*"}, "abc", false, "", 0.0},
      {{"x*", "b"}, "ab", true, "1,0,0 1,1,1", 0.0},
  };
  for (const auto& c : cases) {
    const auto terms = makeTerms(c.terms);
    Fundstellen hits;
    findHits(c.text, hits, terms);
    Fundstellen::const_iterator first, last;
    double score = -1;
    ASSERT_EQ(scoreHits(hits, first, last, static_cast<unsigned>(terms.size()), score), c.found)
        << c.text;
    EXPECT_NEAR(score, c.score, 1e-12) << c.text;
    EXPECT_EQ(c.found ? describe({*first}) + " " + describe({*last}) : "", c.window) << c.text;
  }
}

}  // namespace
