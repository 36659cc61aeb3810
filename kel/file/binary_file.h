// The program's binary data files (file list, word lists, global index) and their byte encodings.
//
// Encodings (all multi-byte integers most significant byte first):
//   unsigned  1 to 5 bytes, the shortest form:  0..0x7F: the value;  ..0x3FFF: 0x80|v>>8, v;
//             ..0x1FFFFF: 0xC0|v>>16, v>>8, v;  ..0xFFFFFFF: 0xE0|v>>24, v>>16, v>>8, v;
//             above: 0xF0, v>>24, v>>16, v>>8, v  (a reader ignores the low 4 bits of 0xF0..0xFF).
//   int       the unsigned 2*v for v >= 0, 2*(-v)+1 for v < 0; range -(2^31-1)..2^31-1.
//   bool      one byte, 0 or 1; any non-zero byte reads as true.
//   string    its length as an int, then its bytes; a string read back ends at its first NUL.
#ifndef KEL_FILE_BINARY_FILE_H
#define KEL_FILE_BINARY_FILE_H

#include <time.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "kel/err/noncopyable.h"
#include "kel/file/fingerprint.h"

namespace kel::file {

// The unsigned encoding, for code that encodes or decodes it in memory.
// Number of bytes of a value whose first byte is b0.
inline unsigned uintLength(unsigned char b0) {
  return b0 < 0x80 ? 1 : b0 < 0xC0 ? 2 : b0 < 0xE0 ? 3 : b0 < 0xF0 ? 4 : 5;
}

// Writes the shortest form of value to out (room for 5 bytes) and returns its length.
inline std::size_t encodeUInt(unsigned value, char* out) {
  if (value < 0x80u) {
    out[0] = static_cast<char>(value);
    return 1;
  }
  if (value < 0x4000u) {
    out[0] = static_cast<char>(0x80u | (value >> 8));
    out[1] = static_cast<char>(value);
    return 2;
  }
  if (value < 0x200000u) {
    out[0] = static_cast<char>(0xC0u | (value >> 16));
    out[1] = static_cast<char>(value >> 8);
    out[2] = static_cast<char>(value);
    return 3;
  }
  if (value < 0x10000000u) {
    out[0] = static_cast<char>(0xE0u | (value >> 24));
    out[1] = static_cast<char>(value >> 16);
    out[2] = static_cast<char>(value >> 8);
    out[3] = static_cast<char>(value);
    return 4;
  }
  out[0] = static_cast<char>(0xF0u);
  out[1] = static_cast<char>(value >> 24);
  out[2] = static_cast<char>(value >> 16);
  out[3] = static_cast<char>(value >> 8);
  out[4] = static_cast<char>(value);
  return 5;
}

// The value whose uintLength(p[0]) bytes start at p; the caller has checked they are there.
inline unsigned decodeUInt(const unsigned char* p) {
  const unsigned b0 = p[0];
  switch (uintLength(p[0])) {
    case 1: return b0;
    case 2: return ((b0 & 0x3Fu) << 8) | p[1];
    case 3: return ((b0 & 0x1Fu) << 16) | (unsigned{p[1]} << 8) | p[2];
    case 4: return ((b0 & 0x0Fu) << 24) | (unsigned{p[1]} << 16) | (unsigned{p[2]} << 8) | p[3];
    default: return (unsigned{p[1]} << 24) | (unsigned{p[2]} << 16) | (unsigned{p[3]} << 8) | p[4];
  }
}

class BinaryFile;

// An object that can store itself in a BinaryFile and load itself again. version is the format
// version the container read before the object; an implementation may ignore it.
class BinaryStoreable {
 public:
  virtual ~BinaryStoreable() = default;
  virtual void writeTo(BinaryFile& file) const = 0;
  virtual void readFrom(BinaryFile& file, int version) = 0;
};

// A binary file opened either for reading (mode != 1) or for writing (mode 1).
//
// Reading: the whole file is read at construction; the readers then work from memory. Reading
// past the end throws kel::err::Error "End of file reached (<name>)", also for a string whose
// length is negative or longer than the bytes left.
//
// Writing replaces the target atomically: the bytes go to a temporary file in the target's
// directory, and only close() makes them the file <name>, by renaming over it. The temporary has
// no name until close() where the system allows (so a killed writer leaves nothing behind);
// otherwise, and for the moment of the rename, it is <name>.tmp.<pid>.<n>, never ending in
// ".index". Until then an earlier file <name> stays as it was. A failure to write, flush or
// rename throws kel::err::IOError naming <name> and removes the temporary. If the object is destroyed without close(): with no exception on its way out the
// destructor closes (errors are swallowed); while an exception unwinds the stack it only removes
// the temporary, so the earlier file is kept.
//
// Open failures throw kel::err::IOError(name).
class BinaryFile : kel_boost::noncopyable {
 public:
  BinaryFile(const std::string& name, int mode);
  virtual ~BinaryFile();

  // Write mode: flushes, checks and renames the temporary over the target; throws
  // kel::err::IOError(name) on failure (the target then is unchanged). Read mode: releases the
  // data. A second call does nothing.
  void close();

  const std::string& name() const { return name_; }
  bool isWriting() const { return mode_ == 1; }

  // Write mode: the file takes the modification time time before close() makes it <name>, so
  // that no reader sees it with the time of its writing.
  void setModificationTime(const struct timespec& time) {
    modified_ = time;
    dated_ = true;
  }

  void writeUInt(unsigned value);
  void readUInt(unsigned& value) { value = readUInt(); }
  unsigned readUInt();

  // Write mode: the fingerprint of every byte written so far, taken from the bytes as they are
  // handed over, so it describes this file and no other that may replace it meanwhile.
  std::string writtenFingerprint() const { return written_.digest(); }

  // Raw bytes, for fixed-width fields an owner lays out itself.
  void writeByte(unsigned char byte);
  void writeBytes(const char* data, std::size_t size);
  // Reads one byte; false at the end of the file.
  bool readByte(unsigned char& byte);
  // Reads exactly size bytes; throws the end-of-file error when fewer are left (nothing is read).
  void readBytes(char* data, std::size_t size);

  // Reads a string (as read(file, std::string&) does) without copying: the view points into
  // the file's data and stays valid until close() or destruction.
  std::string_view readStringView();

  // Read mode: true when every byte has been read.
  bool atEnd() const { return position_ >= data_.size(); }

 private:
  [[noreturn]] void endOfFile() const;
  void flushBuffer();
  void discardTemporary() noexcept;

  const std::string name_;
  const int mode_;
  int uncaughtAtOpen_;
  // Read mode: the whole file and the index of the next unread byte.
  std::string data_;
  std::size_t position_ = 0;
  // Write mode: the temporary file, its descriptor (-1 when closed) and unwritten bytes.
  std::string temporaryName_;
  int fd_ = -1;
  std::string pending_;
  Fingerprint written_;
  bool failed_ = false;
  bool dated_ = false;
  struct timespec modified_ = {};
};

void write(BinaryFile& file, bool value);
void read(BinaryFile& file, bool& value);
// Throws kel::err::Error for INT_MIN, which has no encoding.
void write(BinaryFile& file, int value);
void read(BinaryFile& file, int& value);
void write(BinaryFile& file, std::string_view value);
void write(BinaryFile& file, const std::string& value);
// A string literal is written as a string (not converted to bool).
void write(BinaryFile& file, const char* value);
void read(BinaryFile& file, std::string& value);

}  // namespace kel::file

#endif
