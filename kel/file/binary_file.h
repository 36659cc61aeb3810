// The program's binary data files (file list, word lists, global index), read whole and written
// atomically, in the encodings of kel/file/byte_codec.h (unsigned, int, bool, string).
#ifndef CORVEX_KEL_FILE_BINARY_FILE_H
#define CORVEX_KEL_FILE_BINARY_FILE_H

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "kel/err/noncopyable.h"
#include "kel/file/byte_codec.h"

namespace kel::file {

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
// rename throws kel::err::IOError naming <name> and removes the temporary. If the object is
// destroyed without close(): with no exception on its way out the destructor closes (errors are
// swallowed); while an exception unwinds the stack it only removes the temporary, so the earlier
// file is kept.
//
// Open failures throw kel::err::IOError(name).
class BinaryFile : kel_boost::noncopyable {
 public:
  BinaryFile(const std::string& name, int mode);
  virtual ~BinaryFile();

  // Write mode: flushes, checks and renames the temporary over the target; throws
  // kel::err::IOError(name) on failure (the target then is unchanged). With status, gives the
  // status of the file as it replaces the target (its inode and times survive the rename). Read
  // mode: releases the data. A second call does nothing.
  void close(struct stat* status = nullptr);

  const std::string& name() const { return name_; }
  bool isWriting() const { return mode_ == 1; }

  void writeUInt(unsigned value);
  void readUInt(unsigned& value) { value = readUInt(); }
  unsigned readUInt();

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
  bool atEnd() const { return reader_.atEnd(); }

 private:
  void flushBuffer();
  void writeAll(const char* data, std::size_t size);
  void discardTemporary() noexcept;

  const std::string name_;
  const int mode_;
  int uncaughtAtOpen_;
  // Read mode: the whole file and the reader over it.
  std::string data_;
  ByteReader reader_;
  // Write mode: the temporary file, its descriptor (-1 when closed) and unwritten bytes.
  std::string temporaryName_;
  int fd_ = -1;
  std::string pending_;
  bool failed_ = false;
};

// The name of the temporary that BinaryFile writes before it replaces target, for the process pid
// and its n-th temporary: "<target>.tmp.<pid>.<n>".
std::string temporaryName(const std::string& target, long pid, unsigned n);

// The process id in a name that temporaryName made, or 0 for any other name.
long temporaryOwner(std::string_view name);

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
