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
