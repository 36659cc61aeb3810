#include "kel/file/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>

#include "kel/err/error.h"
#include "kel/file/descriptor.h"

namespace kel::file {

MappedFile::MappedFile(const std::string& path, struct stat* status, Read read) {
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw err::IOError(path);
  struct stat info;
  if (::fstat(fd.get(), &info) != 0) throw err::IOError(path);
  if (status) *status = info;
  if (info.st_size <= 0) return;
  size_ = static_cast<std::size_t>(info.st_size);
  const int populate = read == Read::whole ? MAP_POPULATE : 0;
  void* data = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | populate, fd.get(), 0);
  if (data == MAP_FAILED) {
    size_ = 0;
    throw err::IOError(path);
  }
  data_ = data;
}

MappedFile::~MappedFile() {
  if (data_) ::munmap(data_, size_);
}

}  // namespace kel::file
