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

// The first '>' of [p, end) outside double quotes, or end. quoted says whether p stands inside
// quotes, and on return whether the returned position does; each '"' opens or closes them. So a
// tag's end is found in one pass however many quoted attributes it has, and a search cut short
// at end goes on where it stopped. Reads no byte outside [p, end).
inline const char* findTagEnd(const char* p, const char* end, bool& quoted) {
#if defined(__SSE2__)
  const __m128i wantGt = _mm_set1_epi8('>');
  const __m128i wantQuote = _mm_set1_epi8('"');
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const auto gts = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wantGt)));
    const auto quotes =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wantQuote)));
    // The marks of this block in order: a quote turns the state, a '>' outside quotes ends.
    for (unsigned marks = gts | quotes; marks != 0; marks &= marks - 1) {
      const unsigned lowest = marks & (0u - marks);
      if ((quotes & lowest) != 0) {
        quoted = !quoted;
      } else if (!quoted) {
        return p + __builtin_ctz(lowest);
      }
    }
  }
#endif
  for (; p < end; ++p) {
    if (*p == '"') {
      quoted = !quoted;
    } else if (*p == '>' && !quoted) {
      return p;
    }
  }
  return p;
}

}  // namespace kel::html_read

#endif
