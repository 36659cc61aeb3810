#include "kel/file/file_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "kel/err/error.h"
#include "kel/err/format.h"
#include "kel/file/descriptor.h"

namespace kel::file {

namespace {

// The number of the next temporary name to try; only grows.
int temporaryCounter = 0;

struct stat statOrThrow(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) throw err::IOError(path, "stat");
  return info;
}

// The working directory as the system reports it, of any length.
std::string workingDirectory() {
  const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
  if (!cwd) throw err::IOError("getcwd");
  return cwd.get();
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

off_t fileSize(const std::string& path) { return statOrThrow(path).st_size; }

time_t modificationTime(const std::string& path) { return statOrThrow(path).st_mtime; }

void setModificationTime(const std::string& path, time_t t) {
  const struct stat info = statOrThrow(path);
  struct utimbuf times;
  times.actime = info.st_atime;
  times.modtime = t;
  if (::utime(path.c_str(), &times) != 0) throw err::IOError(path, "utime");
}

bool isFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isDirectory(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void createDirectory(const std::string& path, bool failIfExists) {
  if (::mkdir(path.c_str(), 0700) != 0 && (errno != EEXIST || failIfExists))
    throw err::IOError(path, "create_directory");
}

std::string temporaryFileName() {
  // Once the thousand names are used up, every later call fails too (and never yields a
  // four-digit name).
  for (; temporaryCounter <= 999; ++temporaryCounter) {
    std::string name = format("keltmp%03i", temporaryCounter);
    // A name is free unless a regular file holds it (a directory of that name does not count).
    if (!isFile(name)) return name;
  }
  throw err::Error("Can't create temporary file");
}

std::string driveLetterForm(const std::string& directory) {
  static const char prefix[] = "/cygdrive/";
  const std::size_t length = sizeof prefix - 1;
  if (directory.size() <= length || compareNoCaseN(directory.c_str(), prefix, length) != 0)
    return directory;
  return format("%c:%s", directory[length], directory.c_str() + length + 1);
}

std::string currentDirectory() { return driveLetterForm(workingDirectory()); }

std::string toPosixPath(const std::string& path) {
  const std::string full = !path.empty() && path[0] == '/' ? path : workingDirectory() + "/" + path;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= full.size()) {
    std::size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    const std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // ".." of the root is the root
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  return result.empty() ? "/" : result;
}

std::string toWindowsPath(const std::string& path) { return toPosixPath(path); }

std::string dirName(const std::string& path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (isSeparator(path[i - 1])) return path.substr(0, i - 1);
  return "";
}

std::string baseName(const std::string& path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (isSeparator(path[i - 1])) return path.substr(i);
  return path;
}

void toSlashes(std::string& path) {
  for (char& c : path)
    if (c == '\\') c = '/';
}

bool isTerminal(int fd) { return ::isatty(fd) == 1; }

bool isTerminal(FILE* stream) { return stream != nullptr && isTerminal(::fileno(stream)); }

void sleepSeconds(unsigned seconds) { ::sleep(seconds); }

std::string_view readFileInto(const std::string& path, std::string& buffer, struct stat* status) {
  const Descriptor descriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  const int fd = descriptor.get();
  if (fd < 0) throw err::IOError(path);
  struct stat info;
  if (::fstat(fd, &info) != 0) throw err::IOError(path);
  if (status) *status = info;
  // The size is a hint: a file that grows or shrinks meanwhile is read to its actual end.
  const std::size_t expected = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 4096;
  if (buffer.size() < expected) buffer.resize(expected);
  std::size_t filled = 0;
  for (;;) {
    if (filled == buffer.size()) buffer.resize(buffer.size() * 2);
    const ssize_t got = ::read(fd, buffer.data() + filled, buffer.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw err::IOError(path);
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  return std::string_view(buffer.data(), filled);
}

}  // namespace kel::file
