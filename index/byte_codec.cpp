#include "index/byte_codec.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "kel/err/error.h"

void ByteReader::endOfFile() const {
  throw kel::err::Error("End of file reached (" + name_ + ")");
}

void appendString(std::string& out, std::string_view text) {
  if (text.size() > 0x7FFFFFFFu) throw kel::err::Error("String too long for an index file");
  appendUInt(out, static_cast<unsigned>(text.size() * 2));
  out.append(text.data(), text.size());
}

namespace {

// Closes a descriptor on every way out, keeping errno of the failure being reported.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) {
      const int saved = errno;
      ::close(fd_);
      errno = saved;
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  const int fd_;
};

}  // namespace

std::string readWholeFile(const std::string& path, struct timespec* modified) {
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw kel::err::IOError(path);
  struct stat info;
  if (::fstat(fd.get(), &info) != 0) throw kel::err::IOError(path);
  if (modified) *modified = info.st_mtim;
  std::string bytes;
  // The size is a hint: a file that grows or shrinks meanwhile is read to its actual end.
  bytes.resize(info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 4096);
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw kel::err::IOError(path);
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  return bytes;
}

std::string_view readFileInto(const std::string& path, std::string& buffer, struct stat* status) {
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw kel::err::IOError(path);
  struct stat info;
  if (::fstat(fd.get(), &info) != 0) throw kel::err::IOError(path);
  if (status) *status = info;
  const std::size_t expected = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 4096;
  if (buffer.size() < expected) buffer.resize(expected);
  std::size_t filled = 0;
  for (;;) {
    if (filled == buffer.size()) buffer.resize(buffer.size() * 2);
    const ssize_t got = ::read(fd.get(), buffer.data() + filled, buffer.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw kel::err::IOError(path);
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  return std::string_view(buffer.data(), filled);
}

FileBytes::FileBytes(const std::string& path, struct timespec* modified) {
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw kel::err::IOError(path);
  struct stat info;
  if (::fstat(fd.get(), &info) != 0) throw kel::err::IOError(path);
  if (modified) *modified = info.st_mtim;
  if (info.st_size <= 0) return;
  size_ = static_cast<std::size_t>(info.st_size);
  void* data = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.get(), 0);
  if (data == MAP_FAILED) {
    size_ = 0;
    throw kel::err::IOError(path);
  }
  data_ = data;
}

FileBytes::~FileBytes() {
  if (data_) ::munmap(data_, size_);
}
