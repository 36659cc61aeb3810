// Building the global index's word table: the postings of 20,000 pages (WORD_TABLE_PAGES) of about
// 300 distinct words each, drawn after Zipf's law from a vocabulary of 60,000 words (as a synthetic
// tree's word lists deliver them), added, finished and sorted. Prints postings per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <vector>

#include "index/word_table.h"

namespace {

struct Postings {
  std::vector<std::string> vocabulary;
  // Per page, the indices of its words into vocabulary, each once.
  std::vector<std::vector<std::uint32_t>> pages;
  std::size_t count = 0;

  Postings() {
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&state] {
      state ^= state >> 12;
      state ^= state << 25;
      state ^= state >> 27;
      return state * 0x2545F4914F6CDD1DULL;
    };
    const char* const syllables[] = {"haus", "bau",  "ber", "ung", "keit", "lich", "stra", "wald",
                                     "feld", "zeit", "weg", "the", "ing",  "tion", "con",  "pro",
                                     "ver",  "ge",   "an",  "ter", "son",  "ford"};
    for (int w = 0; w < 60000; ++w) {
      std::string word;
      for (unsigned parts = 1 + next() % 4; parts > 0; --parts) word += syllables[next() % 22];
      vocabulary.push_back(word + std::to_string(w % 97));
    }
    const char* const given = std::getenv("WORD_TABLE_PAGES");
    const int pageCount = given ? std::atoi(given) : 20000;
    for (int p = 0; p < pageCount; ++p) {
      std::vector<std::uint32_t> words;
      std::vector<bool> seen(vocabulary.size());
      for (int k = 0; k < 400; ++k) {
        const double u = static_cast<double>(next() >> 11) / 9007199254740992.0;
        const auto w = static_cast<std::uint32_t>(std::exp(u * std::log(60000.0))) - 1;
        if (!seen[w]) {
          seen[w] = true;
          words.push_back(w);
        }
      }
      count += words.size();
      pages.push_back(std::move(words));
    }
  }
};

void BM_WordTable(benchmark::State& state) {
  static const Postings postings;
  for (auto _ : state) {
    WordTable table;
    unsigned file = 0;
    for (const auto& page : postings.pages) {
      for (const std::uint32_t w : page) table.add(postings.vocabulary[w], file);
      if (++file % 25 == 0) table.drain();  // a directory's word list ends
    }
    table.finish();
    benchmark::DoNotOptimize(table.sorted());
  }
  state.counters["postings/s"] = benchmark::Counter(
      static_cast<double>(postings.count) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WordTable)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
