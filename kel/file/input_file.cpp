#include "kel/file/input_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "kel/err/error.h"

namespace kel::file {

namespace {

FILE* openOrThrow(const std::string& name) {
  FILE* stream = std::fopen(name.c_str(), "r");
  if (!stream) throw err::IOError(name);
  // The C library opens a directory, and its reads then fail like an empty file: a directory
  // given as a text file would pass for one without lines.
  struct stat info;
  if (::fstat(::fileno(stream), &info) == 0 && S_ISDIR(info.st_mode)) {
    std::fclose(stream);
    errno = EISDIR;
    throw err::IOError(name);
  }
  return stream;
}

}  // namespace

InputFile::InputFile(const std::string& name, unsigned blockSize)
    : name_(name),
      stream_(openOrThrow(name)),
      blockSize_(blockSize > 0 ? blockSize : 1),
      buffer_(new char[blockSize_]),
      streamBuffer_(new char[kStreamBufferSize]) {
  // Our own stream buffer, large enough for a whole typical page: the C library would ask the
  // file's size (one more system call per file) to choose one, and read a page in several calls.
  std::setvbuf(stream_, streamBuffer_.get(), _IOFBF, kStreamBufferSize);
  readBlock();
}

InputFile::InputFile(unsigned blockSize)
    : name_("STDIN"), stream_(stdin), blockSize_(blockSize > 0 ? blockSize : 1), buffer_(new char[blockSize_]) {
  readBlock();
}

InputFile::~InputFile() {
  // Closing the process's standard input would let the next opened file take descriptor 0.
  if (stream_ != stdin) std::fclose(stream_);
}

void InputFile::setWrap(unsigned width, const std::string& breakText, int breakOffset) {
  wrapWidth_ = width;
  breakText_ = breakText;
  breakOffset_ = breakOffset;
}

void InputFile::readBlock() {
  // A read error ends the input like the end of the file.
  count_ = static_cast<unsigned>(std::fread(buffer_.get(), 1, blockSize_, stream_));
  position_ = 0;
  blockWithoutNewline_ = false;
  if (count_ < blockSize_) atEnd_ = true;
}

std::size_t InputFile::findCut(const std::string& line) const {
  if (breakText_.empty()) return 0;
  // Only occurrences at i <= wrapWidth - breakOffset can give a cut, so the search never needs
  // to look further; a long line without a cut then costs no rescan of the whole line per block.
  const long long lastStart = static_cast<long long>(wrapWidth_) - breakOffset_;
  if (lastStart < 0) return 0;
  const std::string_view window(
      line.data(), std::min(line.size(), static_cast<std::size_t>(lastStart) + breakText_.size()));
  std::size_t best = 0;
  for (std::size_t start = 0; start < wrapWidth_;) {
    const std::size_t i = window.find(breakText_, start);
    if (i == std::string::npos) break;
    const long long cut = static_cast<long long>(i) + breakOffset_;
    // An empty piece would come back forever: a cut must keep at least one byte.
    if (cut >= 1 && cut <= static_cast<long long>(wrapWidth_)) best = static_cast<std::size_t>(cut);
    start = i + 1;
  }
  return best;
}

bool InputFile::getLine(std::string& line) {
  line.clear();
  line.swap(carry_);
  for (;;) {
    while (position_ >= count_) {
      if (atEnd_) return !line.empty();
      readBlock();
    }
    const char* const begin = buffer_.get() + position_;
    const std::size_t available = count_ - position_;
    if (const void* newline = blockWithoutNewline_ ? nullptr : std::memchr(begin, '\n', available)) {
      const std::size_t length = static_cast<const char*>(newline) - begin;
      line.append(begin, length);
      position_ += static_cast<unsigned>(length + 1);
      ++lineCount_;
      return true;
    }
    // The rest of this block holds no newline; pieces cut from it need not search again.
    blockWithoutNewline_ = true;
    if (wrapWidth_ != 0 && line.size() + available > wrapWidth_) {
      // Only the first wrapWidth - breakOffset + |breakText| bytes of the line can hold a cut:
      // look at those before taking the whole block, so cutting a long line into many pieces does
      // not copy the rest of the block for every piece. At least wrapWidth + 1 bytes are taken,
      // so every cut (at most wrapWidth) lies inside the line, whatever the offset.
      const long long reach = std::max(
          static_cast<long long>(wrapWidth_) + 1,
          static_cast<long long>(wrapWidth_) - breakOffset_ + static_cast<long long>(breakText_.size()));
      const std::size_t wanted = reach > static_cast<long long>(line.size())
                                     ? static_cast<std::size_t>(reach) - line.size()
                                     : 0;
      const std::size_t taken = std::min(available, wanted);
      line.append(begin, taken);
      if (const std::size_t cut = findCut(line)) {
        const std::size_t tail = line.size() - cut;
        if (tail <= taken) {
          position_ += static_cast<unsigned>(taken - tail);  // the tail is still in the buffer
        } else {
          carry_.assign(line, cut, std::string::npos);
          position_ += static_cast<unsigned>(taken);
        }
        line.resize(cut);
        return true;
      }
      line.append(begin + taken, available - taken);
    } else {
      line.append(begin, available);
    }
    position_ = count_;
  }
}

}  // namespace kel::file
