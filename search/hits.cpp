#include "search/hits.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include <boost/regex.hpp>

#include "index/term_text.h"

namespace {

// Lets hit stand for term as well, once.
void addSharedTerm(const Fundstelle& hit, unsigned int term) {
  if (hit.term == term) return;
  for (const unsigned int t : hit.sharedTerms) {
    if (t == term) return;
  }
  hit.sharedTerms.push_back(term);
}

}  // namespace

bool findHits(const char* begin, const char* end, Fundstellen& hits,
              const std::list<SearchTerm>& terms) {
  bool found = false;
  unsigned int termIndex = 0;
  boost::match_results<const char*> match;
  for (const SearchTerm& term : terms) {
    if (isPlainText(term.term) && (term.expression.flags() & boost::regex::icase) == 0) {
      // The expression matches its own bytes and nothing else: each occurrence is a match, and
      // restarting one byte after the start of one finds the overlapping ones too.
      const std::string_view text(begin, static_cast<std::size_t>(end - begin));
      const std::string_view literal = term.term;
      for (std::size_t at = text.find(literal); at != std::string_view::npos;
           at = text.find(literal, at + 1)) {
        found = true;
        const auto [hit, inserted] = hits.emplace(
            static_cast<unsigned int>(at), static_cast<unsigned int>(literal.size()), termIndex);
        if (!inserted) addSharedTerm(*hit, termIndex);
      }
      ++termIndex;
      continue;
    }
    const char* start = begin;
    // Each search sees [start, end) as a text of its own (default match rules), as the
    // restarting search has always done.
    for (;;) {
      try {
        if (!boost::regex_search(start, end, match, term.expression)) break;
      } catch (const std::runtime_error& e) {  // the engine gave up on this text
        throw TermTooComplex(term.term, e.what());
      }
      found = true;
      const char* const matchBegin = match[0].first;
      const auto [hit, inserted] =
          hits.emplace(static_cast<unsigned int>(matchBegin - begin),
                       static_cast<unsigned int>(match[0].second - matchBegin), termIndex);
      if (!inserted) addSharedTerm(*hit, termIndex);
      if (matchBegin == end) break;  // the next start would lie beyond the end
      start = matchBegin + 1;
    }
    ++termIndex;
  }
  return found;
}

namespace {

bool scoreOneTerm(const Fundstellen& hits, Fundstellen::const_iterator& first,
                  Fundstellen::const_iterator& last, double& score) {
  if (hits.empty()) return false;
  const Fundstellen::const_iterator hit = hits.begin();
  // An empty match spans nothing: ln(n) / 0 would be infinite or not a number.
  if (hit->length == 0) return false;
  first = last = hit;
  score = std::log(static_cast<double>(hits.size())) / static_cast<double>(hit->length);
  return true;
}

}  // namespace

bool scoreHits(const Fundstellen& hits, Fundstellen::const_iterator& first,
               Fundstellen::const_iterator& last, unsigned termCount, double& score) {
  score = 0;
  if (termCount == 1) return scoreOneTerm(hits, first, last, score);
  if (hits.empty()) return false;

  std::vector<Fundstellen::const_iterator> order;
  order.reserve(hits.size());
  unsigned int termBound = 0;
  for (auto it = hits.begin(); it != hits.end(); ++it) {
    order.push_back(it);
    it->forEachTerm([&termBound](unsigned int t) { termBound = std::max(termBound, t + 1); });
  }
  const std::size_t n = order.size();

  // coveredFrom[i]: the number of distinct terms among the hits from i to the end, i.e. what a
  // window starting at hit i would hold once every later hit had been added.
  std::vector<unsigned int> coveredFrom(n);
  std::vector<std::size_t> mark(termBound, 0);  // 1 + index of the hit pass that saw the term
  {
    unsigned int distinct = 0;
    for (std::size_t i = n; i-- > 0;) {
      order[i]->forEachTerm([&](unsigned int t) {
        if (mark[t] == 0) {
          mark[t] = 1;
          ++distinct;
        }
      });
      coveredFrom[i] = distinct;
    }
    std::fill(mark.begin(), mark.end(), 0);
  }

  std::uint32_t best = UINT32_MAX;
  bool found = false;
  std::vector<unsigned int> counts(termBound, 0);
  for (std::size_t i = 0; i < n; ++i) {
    const Fundstelle& b = *order[i];
    unsigned int covered = 0;
    const auto cover = [&mark, &covered, pass = i + 1](unsigned int t) {
      if (mark[t] != pass) {
        mark[t] = pass;
        ++covered;
      }
    };
    b.forEachTerm([&](unsigned int t) {
      ++counts[t];
      cover(t);
    });
    if (covered == termCount) {
      // A hit that stands for every term is a window of its own, and no later hit can end a
      // shorter one from here.
      if (b.length < best) {
        first = last = order[i];
        best = b.length;
        found = true;
      }
    } else {
      for (std::size_t j = i + 1; j < n; ++j) {
        const Fundstelle& a = *order[j];
        // Spans only grow from here on by at least this much: no later hit can improve on best.
        if (a.position - b.position >= best) break;
        a.forEachTerm(cover);
        const std::uint32_t span = a.position + a.length - b.position;
        if (covered == termCount && span < best) {
          first = order[i];
          last = order[j];
          best = span;
          found = true;
          break;
        }
      }
    }
    // No later hit can start a window holding every term.
    if (coveredFrom[i] < termCount) break;
  }

  double product = 1.0;
  for (const unsigned int count : counts) {
    if (count != 0) product *= std::log(static_cast<double>(count));
  }
  if (!found || best == 0) return false;
  score = product / static_cast<double>(best);
  return true;
}
