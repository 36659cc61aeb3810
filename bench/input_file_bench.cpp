// Reading HTML-like text line by line, as indexing and the excerpt search do for every page.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "kel/file/input_file.h"

namespace {

std::string benchPath(const char* kind) {
  return std::string("/tmp/corvex_input_file_bench.") + kind + "." + std::to_string(getpid());
}

// About 1 MB of markup: short lines, or (withoutNewlines) one long line of tags.
std::string makePage(bool withoutNewlines) {
  std::string page;
  for (int i = 0; page.size() < (1 << 20); ++i) {
    page += "<p class=\"c" + std::to_string(i % 13) +
            "\">Ein Satz mit W\xF6rtern und <b>Hervorhebung</b> Nummer " + std::to_string(i) +
            ".</p>";
    if (!withoutNewlines) page += '\n';
  }
  return page;
}

void readAll(benchmark::State& state, bool withoutNewlines, unsigned wrap) {
  const std::string path = benchPath(withoutNewlines ? "long" : "lines");
  const std::string page = makePage(withoutNewlines);
  std::ofstream(path, std::ios::binary) << page;
  std::string line;
  for (auto _ : state) {
    kel::file::InputFile in(path, 2048);
    if (wrap) in.setWrap(wrap, "><", 1);
    std::size_t bytes = 0;
    while (in.getLine(line)) bytes += line.size();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  std::remove(path.c_str());
}

void BM_ShortLines(benchmark::State& state) { readAll(state, false, 160); }
BENCHMARK(BM_ShortLines)->Unit(benchmark::kMillisecond);

void BM_OneLongLineCut(benchmark::State& state) { readAll(state, true, 160); }
BENCHMARK(BM_OneLongLineCut)->Unit(benchmark::kMillisecond);

void BM_OneLongLineWhole(benchmark::State& state) { readAll(state, true, 0); }
BENCHMARK(BM_OneLongLineWhole)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
