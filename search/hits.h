// Hits of the search terms in a text, and the score of a text from its best window of hits.
#ifndef CORVEX_SEARCH_HITS_H
#define CORVEX_SEARCH_HITS_H

#include <list>
#include <set>
#include <string_view>
#include <vector>

#include "index/lookup.h"

// One hit: a stretch of a searched text that one or more search terms matched.
class Fundstelle {
 public:
  Fundstelle(unsigned int position, unsigned int length, unsigned int term)
      : position(position), length(length), term(term) {}
  Fundstelle(const Fundstelle&) = default;
  Fundstelle& operator=(const Fundstelle&) = default;
  virtual ~Fundstelle() = default;

  // Calls f(t) for term and then for every further term that matched the same stretch.
  template <typename F>
  void forEachTerm(F&& f) const {
    f(term);
    for (const unsigned int t : sharedTerms) f(t);
  }

  unsigned int position;  // byte offset of the first matched byte in the searched text
  unsigned int length;    // number of matched bytes (0 for a pattern that matches the empty string)
  unsigned int term;      // index of the first term that matched the stretch, counting from 0
  // The other terms that matched exactly this stretch, in the order they were found. They take
  // no part in the order of hits, so a hit in a set may gain them.
  mutable std::vector<unsigned int> sharedTerms;
};

// Hits are ordered by position, then by length, both ascending. The terms take no part in the
// order: a set keeps one hit per stretch, carrying the term inserted first, and a later term
// that matches the same stretch joins that hit's sharedTerms.
inline bool operator<(const Fundstelle& a, const Fundstelle& b) {
  return a.position != b.position ? a.position < b.position : a.length < b.length;
}

// The hits of one text, in the order above.
using Fundstellen = std::set<Fundstelle>;

// Adds every match of every term in [begin, end) to hits, terms numbered from 0 in list order; a
// match of a stretch that already has a hit adds its term to that hit. After each match the search
// restarts one byte after the match's first byte, so overlapping matches of a term are all found.
// Returns true when at least one match was found, also when every match was already in the set.
// Throws TermTooComplex when the expression engine gives up on a term in this text; hits found
// until then stay in the set.
bool findHits(const char* begin, const char* end, Fundstellen& hits,
              const std::list<SearchTerm>& terms);

// The same over a whole text.
inline bool findHits(std::string_view text, Fundstellen& hits, const std::list<SearchTerm>& terms) {
  return findHits(text.data(), text.data() + text.size(), hits, terms);
}

// Chooses the window of hits that decides a text's score and the place of its excerpt, and
// scores it.
//
// With termCount 1 the window is the first hit and the score ln(number of hits) / its length.
// Otherwise every hit in order starts a window that ends at the first hit from it on (itself,
// when it stands for every term) with which all terms are present and that is shorter than
// every window before it; the last such window is kept (so the earliest of equally short ones).
// A hit covers every term it stands for. The starts are visited until the hits left no longer
// hold every term. The score is the product over the terms of ln(count), counting for each term
// the visited starts that stand for it, divided by the window's span in bytes.
//
// Returns true and sets first, last (the window's first and last hit) and score when a window
// exists. Returns false with score 0 when none does: no hits, a term without a hit, or a window
// spanning 0 bytes (a pattern matching the empty string), so the score is always finite.
bool scoreHits(const Fundstellen& hits, Fundstellen::const_iterator& first,
               Fundstellen::const_iterator& last, unsigned termCount, double& score);

#endif
