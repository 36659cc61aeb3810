// Reads a text file line by line through one block buffer.
//
// getLine() delivers the next line without its '\n' and returns true, or returns false with an
// empty line once the input is exhausted; a last line without '\n' is still delivered. Lines are
// not trimmed ('\r' stays). With setWrap(width, text, offset), a line that runs past the
// buffered block and is longer than width is cut at the last occurrence of text whose
// position + offset is at most width, so a page without line breaks still arrives in pieces of at
// most width bytes; a line whose '\n' lies in the buffered block is delivered whole. No byte is
// lost or delivered twice.
#ifndef KEL_FILE_INPUT_FILE_H
#define KEL_FILE_INPUT_FILE_H

#include <cstdio>
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

  // The bytes read ahead and not yet delivered by getLine, as far as they are buffered: before
  // the first getLine, the start of the file (up to blockSize bytes, fewer only when the file is
  // shorter). Valid until the next getLine.
  std::string_view buffered() const {
    return std::string_view(buffer_.get() + position_, count_ - position_);
  }

  const std::string& name() const { return name_; }
  // The number of lines delivered so far that ended with their '\n' (cut pieces and a last line
  // without '\n' do not count); error messages about a line of the file quote it.
  unsigned lineCount() const { return lineCount_; }

 private:
  void readBlock();
  // The length to which line is cut, or 0 when it offers no cut.
  std::size_t findCut(const std::string& line) const;

  const std::string name_;
  FILE* const stream_;
  const unsigned blockSize_;
  unsigned position_ = 0;
  unsigned count_ = 0;
  const std::unique_ptr<char[]> buffer_;
  // The stream's buffer for a named file; it outlives the stream, which is closed first.
  static constexpr std::size_t kStreamBufferSize = 64 * 1024;
  const std::unique_ptr<char[]> streamBuffer_;
  bool atEnd_ = false;
  unsigned wrapWidth_ = 0;
  std::string breakText_;
  int breakOffset_ = 0;
  // Bytes after a cut that no longer are in the buffer; they begin the next line.
  std::string carry_;
  // No newline lies between position_ and count_ (known after one search of the block).
  bool blockWithoutNewline_ = false;
  unsigned lineCount_ = 0;
};

}  // namespace kel::file

#endif
