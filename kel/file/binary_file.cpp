#include "kel/file/binary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>

#include "kel/err/error.h"
#include "kel/err/kel_assert.h"
#include "kel/file/file_util.h"

namespace kel::file {

namespace {

// Bytes collected before they are handed to the system in one write.
constexpr std::size_t writeChunk = 1 << 16;

// Numbers the temporaries of this process, so two writers of one target never share a name.
unsigned temporaryCounter = 0;

// The directory that will hold name, for an open() of the directory itself.
std::string directoryOf(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return name.substr(0, slash);
}

// An unnamed file in the directory of name (Linux O_TMPFILE): if the process dies before close(),
// the system removes it and nothing is left behind. Returns -1 where the file system or the
// absence of /proc/self/fd (needed to give it a name) rules this out.
int openAnonymous(const std::string& name) {
#ifdef O_TMPFILE
  if (::access("/proc/self/fd", X_OK) != 0) return -1;
  return ::open(directoryOf(name).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#else
  (void)name;
  return -1;
#endif
}

// The next name of this process's temporaries for name.
std::string nextTemporaryName(const std::string& name) {
  return temporaryName(name, ::getpid(), temporaryCounter++);
}

// Creates a new, named temporary beside name; fd is -1 (errno set) when that fails.
std::string createNamedTemporary(const std::string& name, int& fd) {
  for (;;) {
    std::string temporary = nextTemporaryName(name);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    // EEXIST: a leftover of an earlier process with the same id; take the next number.
    if (fd >= 0 || errno != EEXIST) return temporary;
  }
}

// Gives the unnamed file open as fd a new temporary name beside name; false (errno set) on failure.
bool linkTemporary(int fd, const std::string& name, std::string& temporary) {
  const std::string source = "/proc/self/fd/" + std::to_string(fd);
  for (;;) {
    temporary = nextTemporaryName(name);
    if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0)
      return true;
    if (errno != EEXIST) {
      temporary.clear();
      return false;
    }
  }
}

}  // namespace

BinaryFile::BinaryFile(const std::string& name, int mode)
    : name_(name),
      mode_(mode == 1 ? 1 : 0),
      uncaughtAtOpen_(std::uncaught_exceptions()),
      reader_(std::string_view(), name) {
  if (mode_ == 0) {
    data_.resize(readFileInto(name_, data_).size());
    reader_ = ByteReader(data_, name_);
    return;
  }
  struct stat target;
  const bool targetExists = ::stat(name_.c_str(), &target) == 0;
  if (targetExists && S_ISDIR(target.st_mode)) {
    errno = EISDIR;
    throw err::IOError(name_);
  }
  fd_ = openAnonymous(name_);
  if (fd_ < 0) {
    temporaryName_ = createNamedTemporary(name_, fd_);
    if (fd_ < 0) throw err::IOError(name_);
  }
  // The replacement keeps the permissions the file had.
  if (targetExists && S_ISREG(target.st_mode)) ::fchmod(fd_, target.st_mode & 07777);
  pending_.reserve(writeChunk);
}

BinaryFile::~BinaryFile() {
  if (fd_ < 0) return;
  if (std::uncaught_exceptions() > uncaughtAtOpen_) {
    discardTemporary();
    return;
  }
  try {
    close();
  } catch (...) {
    // A destructor must not throw; close() has already removed the temporary.
  }
}

void BinaryFile::close(struct stat* status) {
  if (mode_ == 0) {
    std::string().swap(data_);
    reader_ = ByteReader(std::string_view(), name_);
    return;
  }
  if (fd_ < 0) {
    if (failed_) {
      errno = EIO;
      throw err::IOError(name_);
    }
    return;
  }
  flushBuffer();
  // An unnamed temporary gets its name only now, just before it replaces the target.
  int error = 0;
  if (status && ::fstat(fd_, status) != 0) error = errno;
  if (error == 0 && temporaryName_.empty() && !linkTemporary(fd_, name_, temporaryName_)) {
    error = errno;
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temporaryName_.c_str(), name_.c_str()) != 0) error = errno;
  if (error != 0) {
    failed_ = true;
    if (!temporaryName_.empty()) ::unlink(temporaryName_.c_str());
    errno = error;
    throw err::IOError(name_);
  }
  temporaryName_.clear();
}

void BinaryFile::discardTemporary() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);  // an unnamed temporary disappears with its descriptor
    fd_ = -1;
  }
  if (!temporaryName_.empty()) ::unlink(temporaryName_.c_str());
  temporaryName_.clear();
  pending_.clear();
}

void BinaryFile::flushBuffer() {
  writeAll(pending_.data(), pending_.size());
  pending_.clear();
}

void BinaryFile::writeAll(const char* p, std::size_t left) {
  while (left > 0) {
    const ssize_t done = ::write(fd_, p, left);
    if (done < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      failed_ = true;
      discardTemporary();
      errno = error;
      throw err::IOError(name_);
    }
    p += done;
    left -= static_cast<std::size_t>(done);
  }
}

void BinaryFile::writeBytes(const char* data, std::size_t size) {
  kel_assert(fd_ >= 0);
  if (size >= writeChunk) {
    // A large piece goes out as it is rather than through a copy.
    flushBuffer();
    writeAll(data, size);
    return;
  }
  pending_.append(data, size);
  if (pending_.size() >= writeChunk) flushBuffer();
}

void BinaryFile::writeByte(unsigned char byte) {
  const char c = static_cast<char>(byte);
  writeBytes(&c, 1);
}

void BinaryFile::writeUInt(unsigned value) {
  char bytes[5];
  writeBytes(bytes, encodeUInt(value, bytes));
}

unsigned BinaryFile::readUInt() { return reader_.readUInt(); }

bool BinaryFile::readByte(unsigned char& byte) {
  if (reader_.atEnd()) return false;
  byte = static_cast<unsigned char>(reader_.readByte());
  return true;
}

void BinaryFile::readBytes(char* data, std::size_t size) {
  const std::string_view bytes = reader_.readBytes(size);
  std::memcpy(data, bytes.data(), bytes.size());
}

std::string_view BinaryFile::readStringView() { return reader_.readString(); }

std::string temporaryName(const std::string& target, long pid, unsigned n) {
  return target + ".tmp." + std::to_string(pid) + "." + std::to_string(n);
}

long temporaryOwner(std::string_view name) {
  const std::size_t mark = name.rfind(".tmp.");
  if (mark == std::string_view::npos) return 0;
  const std::string_view rest = name.substr(mark + 5);
  // "<pid>.<n>": at most nine digits of pid, at least one digit of n, nothing else.
  const std::size_t dot = rest.find('.');
  if (dot == 0 || dot > 9 || dot == std::string_view::npos || dot + 1 == rest.size()) return 0;
  if (rest.find_first_not_of("0123456789.") != std::string_view::npos ||
      rest.find('.', dot + 1) != std::string_view::npos) {
    return 0;
  }
  return std::stol(std::string(rest.substr(0, dot)));
}

void write(BinaryFile& file, bool value) { file.writeByte(value ? 1 : 0); }

void read(BinaryFile& file, bool& value) {
  unsigned char byte;
  if (!file.readByte(byte)) endOfFile(file.name());
  value = byte != 0;
}

void write(BinaryFile& file, int value) {
  if (value == INT_MIN) outOfRange(file.name());
  file.writeUInt(value >= 0 ? 2u * static_cast<unsigned>(value)
                            : 2u * static_cast<unsigned>(-value) + 1u);
}

void read(BinaryFile& file, int& value) {
  const unsigned u = file.readUInt();
  const int magnitude = static_cast<int>(u >> 1);
  value = (u & 1u) ? -magnitude : magnitude;
}

void write(BinaryFile& file, std::string_view value) {
  if (value.size() > static_cast<std::size_t>(INT_MAX)) outOfRange(file.name());
  write(file, static_cast<int>(value.size()));
  file.writeBytes(value.data(), value.size());
}

void write(BinaryFile& file, const std::string& value) { write(file, std::string_view(value)); }

void write(BinaryFile& file, const char* value) {
  write(file, std::string_view(value ? value : ""));
}

void read(BinaryFile& file, std::string& value) { value.assign(file.readStringView()); }

}  // namespace kel::file
