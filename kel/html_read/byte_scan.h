// Finding the next of one or two given bytes in the short stretches between the marks of an HTML
// page, where a library search spends more on starting than on searching.
#ifndef CORVEX_KEL_HTML_READ_BYTE_SCAN_H
#define CORVEX_KEL_HTML_READ_BYTE_SCAN_H

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kel::html_read {

// The first of [p, end) that equals a or b, or end. Reads no byte outside [p, end).
inline const char* findEither(const char* p, const char* end, char a, char b) {
#if defined(__SSE2__)
  const __m128i wantA = _mm_set1_epi8(a);
  const __m128i wantB = _mm_set1_epi8(b);
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits = _mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, wantA), _mm_cmpeq_epi8(bytes, wantB)));
    if (hits != 0) return p + __builtin_ctz(static_cast<unsigned>(hits));
  }
#endif
  while (p < end && *p != a && *p != b) ++p;
  return p;
}

// The first of [p, end) that equals c, or end. Reads no byte outside [p, end).
inline const char* findByte(const char* p, const char* end, char c) {
  return findEither(p, end, c, c);
}

}  // namespace kel::html_read

#endif
