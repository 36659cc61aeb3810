// Helpers shared by the tests: a temporary directory that removes itself,
// whole-file reads and writes, and running a program as a separate process.
#ifndef CORVEX_TESTS_TEST_UTIL_H
#define CORVEX_TESTS_TEST_UTIL_H

#include <initializer_list>
#include <string>
#include <vector>

#include "kel/err/error.h"

namespace testutil {

// A fresh directory under $TMPDIR (or /tmp); removed with everything in it
// when the object is destroyed.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes bytes to a file (creating missing parent directories); throws
// std::runtime_error on failure.
void writeFile(const std::string& path, const std::string& bytes);
// The whole file as bytes; throws std::runtime_error when it cannot be read.
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
// Names of the entries of a directory (without "." and ".."), sorted.
std::vector<std::string> listDirectory(const std::string& path);
// Sets the modification (and access) time of a file, in seconds since the epoch.
void setFileTime(const std::string& path, long seconds);

struct ProcessResult {
  int status = -1;  // exit status, or 128 + signal number
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs argv[0] with the given arguments (no shell), standard input empty,
// optionally in another working directory, and collects both output streams.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& workDir = "");

// Bytes written out as numbers: bytes({0x01, 0x0C}).
std::string bytes(std::initializer_list<int> values);
// A string as the index files store it: its doubled length (one byte, so texts under 64 bytes),
// then its bytes.
std::string str(const std::string& text);

// The message of the kel::err::Error that f throws, or "no error" when it throws none.
template <typename F>
std::string errorOf(F f) {
  try {
    f();
  } catch (const kel::err::Error& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace testutil

#endif
