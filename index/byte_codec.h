// Decoding of the binary file primitives (unsigned, string) from bytes held in memory, for the
// index files that are read whole and scanned in one pass (word lists, global index).
//
// The encodings are those of kel::file::BinaryFile. A ByteReader never reads outside its bytes:
// every read that would run past the end (also a string whose length is negative or longer
// than the bytes left) throws kel::err::Error "End of file reached (<name>)", the error a
// BinaryFile gives for the same bytes.
#ifndef CORVEX_INDEX_BYTE_CODEC_H
#define CORVEX_INDEX_BYTE_CODEC_H

#include <sys/stat.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "kel/file/binary_file.h"
#include "kel/file/file_util.h"

class ByteReader {
 public:
  // bytes must outlive the reader; name appears in the end-of-file error.
  ByteReader(std::string_view bytes, std::string name) : bytes_(bytes), name_(std::move(name)) {}

  // Continues reading at position (at most the end).
  void skipTo(std::size_t position) { position_ = position < bytes_.size() ? position : bytes_.size(); }

  bool atEnd() const { return position_ >= bytes_.size(); }
  std::size_t position() const { return position_; }
  std::size_t remaining() const { return bytes_.size() - position_; }

  unsigned readByte() {
    if (position_ >= bytes_.size()) endOfFile();
    return static_cast<unsigned char>(bytes_[position_++]);
  }

  unsigned readUInt() {
    const std::size_t left = bytes_.size() - position_;
    if (left == 0) endOfFile();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + position_);
    const unsigned length = uintLength(p[0]);
    if (length > left) endOfFile();
    position_ += length;
    return kel::file::decodeUInt(p);
  }

  // The next string as a view into the bytes, ending at its first NUL byte if it holds one.
  std::string_view readString() {
    const unsigned encoded = readUInt();
    if (encoded & 1u) {
      // A negative length: only zero ("-0") is harmless; anything else is damage.
      if (encoded != 1u) endOfFile();
      return {};
    }
    const std::size_t length = encoded >> 1;
    if (length > remaining()) endOfFile();
    const char* start = bytes_.data() + position_;
    position_ += length;
    const void* nul = std::memchr(start, 0, length);
    return {start, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - start) : length};
  }

  // Skips count unsigned values without decoding them.
  void skipUInts(unsigned count) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data());
    std::size_t pos = position_;
    const std::size_t size = bytes_.size();
    // Every value takes at most 5 bytes: when that many are left, no bound check is needed.
    if (size - pos >= std::size_t(count) * 5) {
      for (unsigned i = 0; i < count; ++i) pos += uintLength(p[pos]);
    } else {
      for (unsigned i = 0; i < count; ++i) {
        if (pos >= size) endOfFile();
        pos += uintLength(p[pos]);
      }
      if (pos > size) endOfFile();
    }
    position_ = pos;
  }

  // Skips a string without looking at its bytes.
  void skipString() {
    const unsigned encoded = readUInt();
    if (encoded & 1u) {
      if (encoded != 1u) endOfFile();
      return;
    }
    if ((encoded >> 1) > remaining()) endOfFile();
    position_ += encoded >> 1;
  }

  // Number of bytes of an unsigned value whose first byte is b0.
  static unsigned uintLength(unsigned char b0) { return kel::file::uintLength(b0); }

  [[noreturn]] void endOfFile() const;

 private:
  std::string_view bytes_;
  std::size_t position_ = 0;
  const std::string name_;
};

// Appends value in the unsigned encoding (shortest form).
inline void appendUInt(std::string& out, unsigned value) {
  char bytes[5];
  out.append(bytes, kel::file::encodeUInt(value, bytes));
}

// Appends text as a string: its length as an int (twice the length as unsigned), then its bytes.
// Texts of 2^31 bytes or more have no encoding and throw kel::err::Error.
void appendString(std::string& out, std::string_view text);

// The bytes of a whole file, mapped into memory read-only (without copying them). The file
// itself may be replaced (renamed over) meanwhile: the bytes stay those of the file opened.
class FileBytes {
 public:
  // Throws kel::err::IOError(path) when the file cannot be opened or mapped. With modified, also
  // gives the file's modification time.
  explicit FileBytes(const std::string& path, struct timespec* modified = nullptr);
  ~FileBytes();
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;

  std::string_view view() const { return {static_cast<const char*>(data_), size_}; }

 private:
  void* data_ = nullptr;
  std::size_t size_ = 0;
};

// Whole files are read with kel::file::readFileInto.
using kel::file::readFileInto;

#endif
