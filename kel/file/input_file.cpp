#include "kel/file/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "kel/err/error.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kel::file {

namespace {

// Bytes asked of the system at a time: a whole typical page in one read.
constexpr std::size_t kReadSize = 64 * 1024;

// Opens name for reading and fills info. A directory is refused: it opens, and its reads then
// fail like an empty file's, so it would pass for a text file without lines.
int openOrThrow(const std::string& name, struct stat& info) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw err::IOError(name);
  if (::fstat(fd, &info) != 0) {
    info = {};
  } else if (S_ISDIR(info.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    throw err::IOError(name);
  }
  return fd;
}

// The number of '\n' in [p, end); 16 bytes at a time where SSE2 allows.
unsigned countNewlines(const char* p, const char* const end) {
  unsigned count = 0;
#if defined(__SSE2__)
  const __m128i newline = _mm_set1_epi8('\n');
  while (end - p >= 16) {
    // Each byte of sums counts up to 255 blocks before the bytes are added up.
    const std::ptrdiff_t blocks = std::min<std::ptrdiff_t>((end - p) / 16, 255);
    const char* const stop = p + blocks * 16;
    __m128i sums = _mm_setzero_si128();
    for (; p != stop; p += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      sums = _mm_sub_epi8(sums, _mm_cmpeq_epi8(bytes, newline));
    }
    const __m128i total = _mm_sad_epu8(sums, _mm_setzero_si128());
    count += static_cast<unsigned>(_mm_cvtsi128_si32(total) + _mm_extract_epi16(total, 4));
  }
#endif
  for (; p != end; ++p) count += *p == '\n';
  return count;
}

}  // namespace

InputFile::InputFile(const std::string& name, unsigned blockSize)
    : name_(name), ownsFd_(true), blockSize_(blockSize > 0 ? blockSize : 1), readSize_(kReadSize) {
  struct stat info;
  fd_ = openOrThrow(name, info);
  if (S_ISREG(info.st_mode) && info.st_size > 0) {
    statedSize_ = static_cast<std::uint64_t>(info.st_size);
    // One byte more than the file holds, so that the first read can tell that it has ended.
    readSize_ = static_cast<std::size_t>(std::min<std::uint64_t>(kReadSize, statedSize_ + 1));
  }
  nextBlock();
}

InputFile::InputFile(unsigned blockSize)
    : name_("STDIN"),
      fd_(STDIN_FILENO),
      ownsFd_(false),
      blockSize_(blockSize > 0 ? blockSize : 1),
      readSize_(kReadSize) {
  nextBlock();
}

InputFile::~InputFile() {
  // Closing the process's standard input would let the next opened file take descriptor 0.
  if (ownsFd_) ::close(fd_);
}

void InputFile::setWrap(unsigned width, const std::string& breakText, int breakOffset) {
  wrapWidth_ = width;
  breakText_ = breakText;
  breakOffset_ = breakOffset;
}

bool InputFile::load(std::uint64_t end) {
  std::uint64_t loaded = dataStart_ + size_;
  if (loaded >= end) return true;
  // The bytes before the line being read are no longer needed; dropping them keeps the memory of
  // a long file to its longest line.
  const std::uint64_t unused = lineStart_ - dataStart_;
  if (unused >= kReadSize && unused * 2 >= size_) {
    std::memmove(data_.get(), data_.get() + unused, size_ - static_cast<std::size_t>(unused));
    size_ -= static_cast<std::size_t>(unused);
    dataStart_ = lineStart_;
  }
  while (loaded < end && !atEnd_) {
    const std::size_t want =
        std::max<std::size_t>(readSize_, static_cast<std::size_t>(end - loaded));
    if (capacity_ - size_ < want) {
      const std::size_t capacity = std::max(capacity_ * 2, size_ + want);
      std::unique_ptr<char[]> grown(new char[capacity]);
      if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
      data_ = std::move(grown);
      capacity_ = capacity;
    }
    const ssize_t got = ::read(fd_, data_.get() + size_, want);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      atEnd_ = true;
    } else {
      size_ += static_cast<std::size_t>(got);
      // A regular file gives all that is asked up to its end; a file whose size the system does
      // not know (such as those of /proc, which state 0) is read until a read gives nothing.
      if (statedSize_ > 0 && dataStart_ + size_ >= statedSize_ &&
          static_cast<std::size_t>(got) < want) {
        atEnd_ = true;
      }
    }
    loaded = dataStart_ + size_;
  }
  return loaded >= end;
}

bool InputFile::nextBlock() {
  load(blockEnd_ + blockSize_);
  const std::uint64_t end = std::min<std::uint64_t>(blockEnd_ + blockSize_, dataStart_ + size_);
  if (end == blockEnd_) return false;
  blockStart_ = blockEnd_;
  blockEnd_ = end;
  blockWithoutNewline_ = false;
  return true;
}

std::string_view InputFile::buffered() const {
  return std::string_view(at(resume_), static_cast<std::size_t>(blockEnd_ - resume_));
}

std::size_t InputFile::findCut(std::string_view line) const {
  if (breakText_.empty()) return 0;
  // Only occurrences at i <= wrapWidth - breakOffset can give a cut, so the search never needs
  // to look further; a long line without a cut then costs no rescan of the whole line per block.
  const long long lastStart = static_cast<long long>(wrapWidth_) - breakOffset_;
  if (lastStart < 0) return 0;
  const std::string_view window = line.substr(
      0, std::min(line.size(), static_cast<std::size_t>(lastStart) + breakText_.size()));
  std::size_t best = 0;
  for (std::size_t start = 0; start < wrapWidth_;) {
    const std::size_t i = window.find(breakText_, start);
    if (i == std::string_view::npos) break;
    const long long cut = static_cast<long long>(i) + breakOffset_;
    // An empty piece would come back forever: a cut must keep at least one byte.
    if (cut >= 1 && cut <= static_cast<long long>(wrapWidth_)) best = static_cast<std::size_t>(cut);
    start = i + 1;
  }
  return best;
}

bool InputFile::getLine(std::string& line) {
  std::string_view view;
  const bool got = getLine(view);
  line.assign(view);
  return got;
}

bool InputFile::getLine(std::string_view& line) { return deliver(line, false); }

bool InputFile::getLines(std::string_view& text) { return deliver(text, true); }

bool InputFile::deliver(std::string_view& line, bool severalLines) {
  for (;;) {
    while (resume_ >= blockEnd_) {
      if (!nextBlock()) {
        // The end of the file: what is left is a last line without '\n'.
        line = std::string_view(at(lineStart_), static_cast<std::size_t>(resume_ - lineStart_));
        lineStart_ = resume_;
        return !line.empty();
      }
    }
    const std::size_t available = static_cast<std::size_t>(blockEnd_ - resume_);
    if (!blockWithoutNewline_) {
      const char* const from = at(resume_);
      // Every line whose '\n' lies in this block is delivered whole, so several lines end at the
      // block's last '\n'.
      if (const void* found = severalLines ? ::memrchr(from, '\n', available)
                                           : std::memchr(from, '\n', available)) {
        const char* const newline = static_cast<const char*>(found);
        const std::uint64_t end = resume_ + static_cast<std::uint64_t>(newline - from);
        if (severalLines) {
          line = std::string_view(at(lineStart_), static_cast<std::size_t>(end + 1 - lineStart_));
          lineCount_ += countNewlines(from, newline + 1);
        } else {
          line = std::string_view(at(lineStart_), static_cast<std::size_t>(end - lineStart_));
          ++lineCount_;
        }
        lineStart_ = resume_ = end + 1;
        return true;
      }
    }
    // The rest of this block holds no newline; pieces cut from it need not search again.
    blockWithoutNewline_ = true;
    const std::uint64_t seen = resume_ - lineStart_;
    if (wrapWidth_ != 0 && seen + available > wrapWidth_) {
      // Only the first wrapWidth - breakOffset + |breakText| bytes of the line can hold a cut: at
      // least wrapWidth + 1 bytes are looked at, so every cut (at most wrapWidth) lies inside the
      // line, whatever the offset.
      const long long reach = std::max(static_cast<long long>(wrapWidth_) + 1,
                                       static_cast<long long>(wrapWidth_) - breakOffset_ +
                                           static_cast<long long>(breakText_.size()));
      const std::uint64_t wanted =
          reach > static_cast<long long>(seen) ? static_cast<std::uint64_t>(reach) - seen : 0;
      const std::uint64_t taken = std::min<std::uint64_t>(available, wanted);
      const std::string_view head(at(lineStart_), static_cast<std::size_t>(seen + taken));
      if (const std::size_t cut = findCut(head)) {
        line = head.substr(0, cut);
        const std::uint64_t tail = head.size() - cut;
        lineStart_ += cut;
        // The bytes taken beyond the cut are seen already unless the cut lies before them.
        resume_ = tail <= taken ? lineStart_ : resume_ + taken;
        return true;
      }
    }
    resume_ = blockEnd_;
  }
}

}  // namespace kel::file
