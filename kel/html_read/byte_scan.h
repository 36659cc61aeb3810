// Finding the next of one or two given bytes, or of any byte beyond ASCII, in the short stretches
// between the marks of an HTML page, where a library search spends more on starting than on
// searching.
#ifndef CORVEX_KEL_HTML_READ_BYTE_SCAN_H
#define CORVEX_KEL_HTML_READ_BYTE_SCAN_H

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kel::html_read {

namespace scan_detail {

// The first byte of [p, end) for which wanted holds, or end. With SSE2, blockMask gives for 16
// bytes a mask with bit k set when byte k is wanted; a range of 16 bytes or more ends with the 16
// bytes that end at end, less those looked at already, so no byte is looked at one by one.
template <typename BlockMask, typename Wanted>
inline const char* findFirst(const char* p, const char* end, BlockMask blockMask, Wanted wanted) {
#if defined(__SSE2__)
  if (end - p >= 16) {
    for (; end - p >= 16; p += 16) {
      const unsigned mask = blockMask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
      if (mask != 0) return p + __builtin_ctz(mask);
    }
    if (p == end) return end;
    const auto seen = static_cast<unsigned>(16 - (end - p));
    const unsigned mask =
        blockMask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16))) >> seen;
    return mask != 0 ? p + __builtin_ctz(mask) : end;
  }
#endif
  while (p < end && !wanted(*p)) ++p;
  return p;
}

}  // namespace scan_detail

// The first of [p, end) that equals a or b, or end. Reads no byte outside [p, end).
inline const char* findEither(const char* p, const char* end, char a, char b) {
#if defined(__SSE2__)
  const __m128i wantA = _mm_set1_epi8(a);
  const __m128i wantB = _mm_set1_epi8(b);
  const auto blockMask = [wantA, wantB](__m128i bytes) {
    return static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, wantA), _mm_cmpeq_epi8(bytes, wantB))));
  };
#else
  const auto blockMask = [] { return 0u; };
#endif
  return scan_detail::findFirst(p, end, blockMask, [a, b](char c) { return c == a || c == b; });
}

// The first of [p, end) that equals c, or end. Reads no byte outside [p, end).
inline const char* findByte(const char* p, const char* end, char c) {
  return findEither(p, end, c, c);
}

// The first byte of [p, end) from 0x80 up, or end. Reads no byte outside [p, end).
inline const char* findHighByte(const char* p, const char* end) {
#if defined(__SSE2__)
  // The top bit of each byte.
  const auto blockMask = [](__m128i bytes) {
    return static_cast<unsigned>(_mm_movemask_epi8(bytes));
  };
#else
  const auto blockMask = [] { return 0u; };
#endif
  return scan_detail::findFirst(p, end, blockMask,
                                [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The first '>' of [p, end) outside double quotes, or end. quoted says whether p stands inside
// quotes, and on return whether the returned position does; each '"' opens or closes them. So a
// tag's end is found in one pass however many quoted attributes it has, and a search cut short
// at end goes on where it stopped. Reads no byte outside [p, end).
inline const char* findTagEnd(const char* p, const char* end, bool& quoted) {
#if defined(__SSE2__)
  if (end - p >= 16) {
    const __m128i wantGt = _mm_set1_epi8('>');
    const __m128i wantQuote = _mm_set1_epi8('"');
    // The marks of 16 bytes from block, less the first seen, in order: a quote turns the state,
    // a '>' outside quotes ends the tag.
    const auto walk = [&](const char* block, unsigned seen) -> const char* {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
      const auto gts = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wantGt)));
      const auto quotes =
          static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wantQuote)));
      for (unsigned marks = (gts | quotes) >> seen << seen; marks != 0; marks &= marks - 1) {
        const unsigned lowest = marks & (0u - marks);
        if ((quotes & lowest) != 0) {
          quoted = !quoted;
        } else if (!quoted) {
          return block + __builtin_ctz(lowest);
        }
      }
      return nullptr;
    };
    for (; end - p >= 16; p += 16) {
      if (const char* const gt = walk(p, 0)) return gt;
    }
    if (p == end) return end;
    const char* const gt = walk(end - 16, static_cast<unsigned>(16 - (end - p)));
    return gt != nullptr ? gt : end;
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
