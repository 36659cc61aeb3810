// A file descriptor that is closed when its owner goes out of scope.
#ifndef CORVEX_KEL_FILE_DESCRIPTOR_H
#define CORVEX_KEL_FILE_DESCRIPTOR_H

#include <unistd.h>

#include <cerrno>

namespace kel::file {

// Owns fd (-1: none) and closes it on every way out, keeping errno, so that a failure being
// reported keeps its cause.
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

}  // namespace kel::file

#endif
