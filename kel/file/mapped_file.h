// The bytes of a whole file, mapped into memory read-only.
#ifndef CORVEX_KEL_FILE_MAPPED_FILE_H
#define CORVEX_KEL_FILE_MAPPED_FILE_H

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace kel::file {

// Maps path whole, without copying it. The file may be replaced (renamed over) meanwhile: the
// bytes stay those of the file opened, as long as nobody rewrites that file in place.
class MappedFile {
 public:
  // How the bytes are brought in: all at once (for a reader of the whole file), or each page
  // when it is first read (for a reader of a few parts).
  enum class Read { whole, parts };

  // Throws kel::err::IOError(path) when the file cannot be opened or mapped. With status, also
  // gives the status of the file opened.
  explicit MappedFile(const std::string& path, struct stat* status = nullptr,
                      Read read = Read::whole);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Valid as long as the object.
  std::string_view view() const { return {static_cast<const char*>(data_), size_}; }

 private:
  void* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace kel::file

#endif
