// The least a search that takes its scores and excerpts from the pages can cost: reads the pages
// listed one per line in a file, as the search reads its candidates, and does nothing else with
// them. A page of at most -S kilobytes (150 unless given) is read whole, a larger one only its
// first 4 KB (the search then reads only up to its title). The pages
// are shared among one thread per core, as the search shares them, none but the caller's for
// fewer than 8 pages. Prints the number of bytes read. With "start" it reads nothing and ends at
// once: the cost of starting a program linked as the search is.
//
//   read_floor <list of pages> [kilobytes]
//   read_floor start
//
// Linked as the search is, so that its start-up is the search's too; bench/read_floor.sh times it
// beside the search and a process that does nothing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

// The bytes of path that the search reads, into buffer; returns how many.
std::size_t readPage(const std::string& path, long limit, std::vector<char>& buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat status;
  std::size_t wanted = 0;
  if (::fstat(fd, &status) == 0) {
    wanted = status.st_size <= limit ? static_cast<std::size_t>(status.st_size) : 4096;
  }
  buffer.resize(std::max<std::size_t>(wanted, 1));
  std::size_t done = 0;
  while (done < wanted) {
    const ssize_t n = ::read(fd, buffer.data() + done, wanted - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return done;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "start") return 0;
  if (argc < 2) {
    std::cerr << "usage: read_floor <list of pages> [kilobytes] | read_floor start\n";
    return 2;
  }
  const long limit = (argc > 2 ? std::atol(argv[2]) : 150) * 1024;
  std::vector<std::string> pages;
  std::ifstream list(argv[1]);
  for (std::string line; std::getline(list, line);) pages.push_back(line);

  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> total{0};
  const auto work = [&] {
    std::vector<char> buffer;
    for (std::size_t i; (i = next++) < pages.size();) total += readPage(pages[i], limit, buffer);
  };
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const unsigned threads = pages.size() < 8 ? 0 : cores - 1;  // the caller reads too
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) workers.emplace_back(work);
  work();
  for (std::thread& t : workers) t.join();
  std::printf("%zu\n", total.load());
  return 0;
}
