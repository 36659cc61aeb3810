#include "kel/err/format.h"

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace kel {

namespace {

// The scratch buffer of every call of format in a thread; allocated on first use, only ever
// grows. One per thread, so that threads reading result pages may format their messages.
thread_local std::unique_ptr<char[]> formatBuffer;
thread_local unsigned formatBufferSize = 256;

inline int fold(char c) { return std::tolower(static_cast<unsigned char>(c)); }

}  // namespace

std::string format(const char* fmt, ...) {
  if (!formatBuffer) formatBuffer = std::make_unique<char[]>(formatBufferSize);
  for (;;) {
    va_list args;
    va_start(args, fmt);
    const int length = std::vsnprintf(formatBuffer.get(), formatBufferSize, fmt, args);
    va_end(args);
    if (length >= 0 && static_cast<unsigned>(length) < formatBufferSize)
      return std::string(formatBuffer.get(), static_cast<std::string::size_type>(length));
    if (length < 0) {
      // The C library reports a text it cannot produce at all (an invalid conversion, more than
      // INT_MAX bytes); a bigger buffer would not help, so growing would never end.
      throw std::runtime_error(std::string("Cannot format \"") + fmt +
                               "\": " + std::strerror(errno));
    }
    // Grow by half of the size until the text and its NUL fit; the sizes are those of growing one
    // step per attempt, without formatting again at each step.
    unsigned newSize = formatBufferSize;
    while (newSize <= static_cast<unsigned>(length)) newSize += newSize / 2;
    // Allocate before releasing, so a failed allocation leaves buffer and size in agreement.
    std::unique_ptr<char[]> bigger(new char[newSize]);
    formatBuffer = std::move(bigger);
    formatBufferSize = newSize;
  }
}

unsigned formatCapacity() { return formatBufferSize; }

int compareNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (*a == '\0') return *b == '\0' ? 0 : -1;
    if (*b == '\0') return 1;
    const int d = fold(*a) - fold(*b);
    if (d != 0) return d;
  }
}

int compareNoCase(const std::string& a, const char* b) {
  for (std::string::size_type i = 0;; ++i, ++b) {
    if (i == a.size()) return *b == '\0' ? 0 : -1;
    if (*b == '\0') return 1;
    const int d = fold(a[i]) - fold(*b);
    if (d != 0) return d;
  }
}

int compareNoCase(std::string_view a, std::string_view b) {
  for (std::size_t i = 0;; ++i) {
    if (i == a.size()) return i == b.size() ? 0 : -1;
    if (i == b.size()) return 1;
    const int d = fold(a[i]) - fold(b[i]);
    if (d != 0) return d;
  }
}

int compareNoCaseN(const char* a, const char* b, unsigned n) {
  for (; n > 0; --n, ++a, ++b) {
    if (*a == '\0') return *b == '\0' ? 0 : -1;
    if (*b == '\0') return 1;
    const int d = fold(*a) - fold(*b);
    if (d != 0) return d;
  }
  return 0;
}

const char* findNoCase(const char* text, const char* pattern) {
  const int first = fold(*pattern);
  const unsigned length = static_cast<unsigned>(std::strlen(pattern));
  for (const char* p = text;; ++p) {
    if (fold(*p) == first && compareNoCaseN(p, pattern, length) == 0) return p;
    if (*p == '\0') return nullptr;
  }
}

void toLowerCase(std::string& s) {
  for (char& c : s) c = static_cast<char>(fold(c));
}

}  // namespace kel
