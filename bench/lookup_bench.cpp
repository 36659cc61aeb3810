// Lookup speed over a global index: CORVEX_BENCH_INDEX names one (for instance the one
// bench/index_bench.sh builds); without it a synthetic index of 20,000 files and 60,000 words
// with Zipf-distributed file counts is written to the temporary directory first.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <list>
#include <sstream>
#include <string>
#include <vector>

#include "index/lookup.h"
#include "kel/file/byte_codec.h"
#include "kel/file/file_util.h"
#include "kel/file/mapped_file.h"

namespace {

std::string syntheticIndex() {
  const unsigned files = 20000;
  const unsigned words = 60000;
  std::string bytes;
  kel::file::appendUInt(bytes, files);
  for (unsigned f = 0; f < files; ++f) {
    kel::file::appendString(bytes, "/srv/web/g" + std::to_string(f / 500) + "/d" +
                                       std::to_string(f / 25) + "/p" + std::to_string(f) + ".html");
  }
  // Words in byte order: "w" and a zero-padded rank, so rank 0 is the most common.
  kel::file::appendUInt(bytes, words);
  std::uint64_t state = 88172645463325252ULL;
  for (unsigned w = 0; w < words; ++w) {
    char word[16];
    std::snprintf(word, sizeof word, "w%06u", w);
    kel::file::appendString(bytes, word);
    // About files / (rank + 1) * 0.35 files hold the word (at least one).
    const unsigned count = std::max(1u, static_cast<unsigned>(files * 0.35 / (w + 1)));
    kel::file::appendUInt(bytes, count);
    const unsigned step = files / count;
    for (unsigned k = 0; k < count; ++k) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      kel::file::appendUInt(bytes, k * step + static_cast<unsigned>(state % step));
    }
  }
  return bytes;
}

const std::string& indexPath() {
  static const std::string path = [] {
    if (const char* given = std::getenv("CORVEX_BENCH_INDEX")) return std::string(given);
    const char* tmp = std::getenv("TMPDIR");
    const std::string p = std::string(tmp ? tmp : "/tmp") + "/corvex_lookup_bench_index";
    std::ofstream(p, std::ios::binary) << syntheticIndex();
    return p;
  }();
  return path;
}

void lookup(benchmark::State& state, const char* search, unsigned flags) {
  const std::string& path = indexPath();
  const std::size_t size = kel::file::MappedFile(path).view().size();
  std::ostringstream report;
  std::size_t found = 0;
  for (auto _ : state) {
    report.str("");
    const LookupResult result = lookupTerms(path, search, flags, {}, nullptr, report);
    found = result.candidates.size();
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
  state.counters["files"] = static_cast<double>(found);
}

const bool synthetic = std::getenv("CORVEX_BENCH_INDEX") == nullptr;
const char* const rare = synthetic ? "w059999" : "Zzzzzzzz";
const char* const common = synthetic ? "w000000" : "und";
const char* const two = synthetic ? "w000000 w000010" : "und Haus";
const char* const regex = synthetic ? "w00.*1" : "haus.*ung";
const char* const ignoreCase = synthetic ? "W000003" : "HAUS";

}  // namespace

BENCHMARK_CAPTURE(lookup, rare_literal, rare, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(lookup, common_literal, common, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(lookup, two_terms, two, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(lookup, regex, regex, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(lookup, ignore_case, ignoreCase, boost::regex::icase)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
