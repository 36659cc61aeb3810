// The hash of a word, shared by the tables that gather words: a page's distinct words and the
// global index's word table.
#ifndef CORVEX_INDEX_WORD_HASH_H
#define CORVEX_INDEX_WORD_HASH_H

#include <cstdint>
#include <cstring>
#include <string_view>

// n (1 to 8) bytes from p as a number, the first byte lowest. available is how many bytes from p
// may be read; with 8 or more, one load replaces n single-byte loads.
inline std::uint64_t loadWordBytes(const char* p, std::size_t n, std::size_t available) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  if (available >= 8) {
    std::uint64_t value;
    std::memcpy(&value, p, 8);
    return n >= 8 ? value : value & ((std::uint64_t{1} << (8 * n)) - 1);
  }
#endif
  std::uint64_t value = 0;
  for (std::size_t k = 0; k < n && k < 8; ++k) {
    value |= std::uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
  }
  return value;
}

// The first 8 bytes of a word (zero-padded, the first byte lowest) and a hash of the whole word,
// taken 8 bytes at a time; all bits of the hash are mixed, so any of them may pick a slot.
struct WordKey {
  std::uint64_t head;
  std::uint64_t hash;
};

// REQUIRES: available >= word.size(): the bytes that may be read from word.data().
inline WordKey wordKey(std::string_view word, std::size_t available) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  const std::size_t n = word.size();
  const std::uint64_t head = loadWordBytes(word.data(), n < 8 ? n : 8, available);
  std::uint64_t hash = (n * kMultiplier ^ head) * kMultiplier;
  hash ^= hash >> 32;
  for (std::size_t k = 8; k < n; k += 8) {
    hash = (hash ^ loadWordBytes(word.data() + k, n - k, available - k)) * kMultiplier;
    hash ^= hash >> 32;
  }
  return WordKey{head, hash};
}

inline std::uint64_t hashWord(std::string_view word) { return wordKey(word, word.size()).hash; }

#endif
