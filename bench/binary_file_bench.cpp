// Writing and reading binary files shaped like the global index: a file table of paths, then
// words with their file numbers. Reading is on the path of every search.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "kel/file/binary_file.h"

namespace {

using kel::file::BinaryFile;

std::string benchPath() { return "/tmp/corvex_binary_file_bench." + std::to_string(getpid()); }

void writeIndexShaped(const std::string& path, int words) {
  BinaryFile out(path, 1);
  out.writeUInt(1000);
  for (int i = 0; i < 1000; ++i)
    write(out,
          "/srv/www/docs/section" + std::to_string(i % 37) + "/page" + std::to_string(i) + ".html");
  out.writeUInt(static_cast<unsigned>(words));
  for (int w = 0; w < words; ++w) {
    write(out, "Wort" + std::to_string(w * 7919));
    const unsigned files = 1 + static_cast<unsigned>(w % 9);
    out.writeUInt(files);
    for (unsigned f = 0; f < files; ++f)
      out.writeUInt((static_cast<unsigned>(w) * 31 + f * 97) % 1000);
  }
  out.close();
}

void BM_WriteIndexShaped(benchmark::State& state) {
  const std::string path = benchPath();
  for (auto _ : state) writeIndexShaped(path, static_cast<int>(state.range(0)));
  state.SetItemsProcessed(state.iterations() * state.range(0));
  std::remove(path.c_str());
}
BENCHMARK(BM_WriteIndexShaped)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_ReadIndexShaped(benchmark::State& state) {
  const std::string path = benchPath();
  writeIndexShaped(path, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    BinaryFile in(path, 0);
    const unsigned paths = in.readUInt();
    for (unsigned i = 0; i < paths; ++i) benchmark::DoNotOptimize(in.readStringView());
    const unsigned words = in.readUInt();
    unsigned sum = 0;
    for (unsigned w = 0; w < words; ++w) {
      benchmark::DoNotOptimize(in.readStringView());
      const unsigned files = in.readUInt();
      for (unsigned f = 0; f < files; ++f) sum += in.readUInt();
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  std::remove(path.c_str());
}
BENCHMARK(BM_ReadIndexShaped)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond);

// The same scan through the copying string reader.
void BM_ReadIndexShapedCopying(benchmark::State& state) {
  const std::string path = benchPath();
  writeIndexShaped(path, static_cast<int>(state.range(0)));
  std::string word;
  for (auto _ : state) {
    BinaryFile in(path, 0);
    const unsigned paths = in.readUInt();
    for (unsigned i = 0; i < paths; ++i) read(in, word);
    const unsigned words = in.readUInt();
    unsigned sum = 0;
    for (unsigned w = 0; w < words; ++w) {
      read(in, word);
      const unsigned files = in.readUInt();
      for (unsigned f = 0; f < files; ++f) sum += in.readUInt();
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  std::remove(path.c_str());
}
BENCHMARK(BM_ReadIndexShapedCopying)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
