// The per-candidate work of a search: reading a page for title and excerpt, collapsing text
// pieces, finding and scoring hits, and highlighting.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "search/hits.h"
#include "search/result_text.h"

namespace {

// About 5 kB of body text in paragraphs of 40 words, with "haus" every 50 words.
std::string makeText() {
  const char* const words[] = {"der", "garten", "hinter", "dem",     "the", "house", "und", "ein",
                               "weg", "am",     "see",    "entlang", "mit", "apfel", "baum"};
  std::string text;
  for (int i = 0; i < 800; ++i) {
    text += i % 50 == 25 ? "haus" : words[(i * 7) % 15];
    text += i % 40 == 39 ? "</p>\n<p>" : " ";
  }
  return text;
}

std::list<SearchTerm> makeTerms(std::initializer_list<const char*> patterns) {
  std::list<SearchTerm> terms;
  for (const char* p : patterns) terms.emplace_back(p, boost::regex::normal);
  return terms;
}

void BM_CollapseSpaces(benchmark::State& state) {
  const std::string piece = "  Der  Garten hinter dem Haus liegt   am See, die Wege  sind lang ";
  std::string s;
  for (auto _ : state) {
    s = piece;
    collapseSpaces(s);
    benchmark::DoNotOptimize(s.data());
  }
  state.SetBytesProcessed(state.iterations() * piece.size());
}
BENCHMARK(BM_CollapseSpaces);

void BM_FindAndScoreHits(benchmark::State& state) {
  const std::string text = makeText();
  const auto terms = state.range(0) == 1 ? makeTerms({"haus"}) : makeTerms({"haus", "see"});
  for (auto _ : state) {
    Fundstellen hits;
    findHits(text, hits, terms);
    Fundstellen::const_iterator first, last;
    double score;
    benchmark::DoNotOptimize(scoreHits(hits, first, last, terms.size(), score));
  }
  state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_FindAndScoreHits)->Arg(1)->Arg(2);

void BM_Highlight(benchmark::State& state) {
  const std::string text = makeText().substr(0, state.range(0));
  const auto terms = makeTerms({"e"});
  for (auto _ : state) {
    std::string s = text;
    highlight(terms, s);
    benchmark::DoNotOptimize(s.data());
  }
  state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_Highlight)->Arg(300)->Arg(5000);

void BM_SearchFile(benchmark::State& state) {
  char name[] = "/tmp/corvex-bench-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) std::abort();
  close(fd);
  std::ofstream(name) << "<html><head><title>Der Garten</title></head><body><p>" << makeText()
                      << "</p></body></html>\n";
  const auto terms = makeTerms({"haus"});
  std::string title, text, anchor;
  double score;
  for (auto _ : state) {
    benchmark::DoNotOptimize(searchFile(name, terms, title, text, anchor, 300, 150, score));
  }
  std::remove(name);
}
BENCHMARK(BM_SearchFile);

}  // namespace

BENCHMARK_MAIN();
