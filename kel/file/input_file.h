// Reads a text file line by line.
//
// getLine() delivers the next line without its '\n' and returns true, or returns false with an
// empty line once the input is exhausted; a last line without '\n' is still delivered. Lines are
// not trimmed ('\r' stays). The file is taken in blocks of blockSize bytes from its start; with
// setWrap(width, text, offset), a line that runs past its block and is longer than width is cut
// at the last occurrence of text whose position + offset is at most width, so a page without
// line breaks still arrives in pieces of at most width bytes; a line whose '\n' lies in the
// block being read is delivered whole. No byte is lost or delivered twice.
#ifndef CORVEX_KEL_FILE_INPUT_FILE_H
#define CORVEX_KEL_FILE_INPUT_FILE_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kel/err/noncopyable.h"

namespace kel::file {

class InputFile : kel_boost::noncopyable {
 public:
  // Opens name and reads its first block; throws kel::err::IOError(name) when it cannot be opened
  // or is a directory.
  InputFile(const std::string& name, unsigned blockSize);
  // Reads the process's standard input under the name "STDIN" (left open at destruction).
  explicit InputFile(unsigned blockSize);
  virtual ~InputFile();

  // width 0 switches cutting off. The program uses (160, "><", 1): cuts right after a '>' that is
  // followed by '<'. A cut never yields an empty piece.
  void setWrap(unsigned width, const std::string& breakText, int breakOffset);

  bool getLine(std::string& line);
  // The same as a view into the object, valid until the next call.
  bool getLine(std::string_view& line);
  // Delivers what the next calls of getLine would deliver, several lines at a time: the lines
  // whose '\n' lies in the block being read, each with its '\n'; or else the one piece getLine
  // cuts next, or the last line of the file, without '\n'. Returns false, with empty text, where
  // getLine would. A view into the object, valid until the next call; the two may be mixed.
  bool getLines(std::string_view& text);

  // The bytes read ahead and not yet delivered by getLine, as far as the block being read goes:
  // before the first getLine, the start of the file (up to blockSize bytes, fewer only when the
  // file is shorter). Valid until the next getLine.
  std::string_view buffered() const;

  const std::string& name() const { return name_; }
  // The number of lines delivered so far that ended with their '\n' (cut pieces and a last line
  // without '\n' do not count); error messages about a line of the file quote it.
  unsigned lineCount() const { return lineCount_; }
  // The size of a regular file as it was when opened; 0 for anything else, and for a file whose
  // size the system does not know.
  std::uint64_t statedSize() const { return statedSize_; }

 private:
  // Makes the bytes up to the file offset end available, as far as the file has them; false when
  // the file ends first. A read error ends the input like the end of the file.
  bool load(std::uint64_t end);
  // Moves to the next block; false when there is none.
  bool nextBlock();
  // The length to which line is cut, or 0 when it offers no cut.
  std::size_t findCut(std::string_view line) const;
  // getLine (severalLines false) and getLines.
  bool deliver(std::string_view& out, bool severalLines);
  const char* at(std::uint64_t offset) const { return data_.get() + (offset - dataStart_); }

  const std::string name_;
  int fd_;
  const bool ownsFd_;
  const unsigned blockSize_;
  // Bytes asked of the system at a time: a whole file up to 64 KB, so a small page costs a small
  // buffer and one read.
  std::size_t readSize_;
  std::uint64_t statedSize_ = 0;  // a regular file's size when opened, or 0
  // The file's bytes from dataStart_ on, as far as they were read (size_ of capacity_); bytes
  // before the line being read are dropped now and then. Not a std::string: growing one would
  // fill the room for every read with zeros first.
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::uint64_t dataStart_ = 0;
  bool atEnd_ = false;  // data_ reaches the end of the file
  // All offsets are into the file.
  std::uint64_t blockStart_ = 0;
  std::uint64_t blockEnd_ = 0;
  std::uint64_t lineStart_ = 0;       // the next line begins here
  std::uint64_t resume_ = 0;          // and its bytes up to here were seen already (after a cut)
  bool blockWithoutNewline_ = false;  // no newline lies between resume_ and blockEnd_
  unsigned wrapWidth_ = 0;
  std::string breakText_;
  int breakOffset_ = 0;
  unsigned lineCount_ = 0;
};

}  // namespace kel::file

#endif
