#include "kel/file/fingerprint.h"

#include <algorithm>
#include <cstring>

namespace kel::file {

namespace {

std::uint64_t rotate(std::uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

std::uint64_t avalanche(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ULL;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

void putWord(std::string& out, std::uint64_t x) {
  for (int k = 0; k < 8; ++k) out += static_cast<char>(x >> (8 * k));
}

}  // namespace

// Two lanes over the same 8-byte words with different odd multipliers and rotations. Each step
// is a bijection of the lane for a given word and of the word for a given lane, so a single
// changed word always changes both lanes; that two changes cancel in both is a matter of chance.
void Fingerprint::addWord(std::uint64_t word) {
  a_ = rotate(a_ ^ (word * 0x9E3779B97F4A7C15ULL), 31) * 0xC2B2AE3D27D4EB4FULL;
  b_ = rotate(b_ ^ (word * 0xD6E8FEB86659FD93ULL), 27) * 0x165667B19E3779F9ULL;
}

void Fingerprint::add(std::string_view bytes) {
  // An empty view may have no data at all, which memcpy must not be given.
  if (bytes.empty()) return;
  length_ += bytes.size();
  const char* p = bytes.data();
  std::size_t n = bytes.size();
  if (tailSize_ > 0) {
    const std::size_t take = std::min<std::size_t>(n, 8 - tailSize_);
    std::memcpy(tail_ + tailSize_, p, take);
    tailSize_ += static_cast<unsigned>(take);
    p += take;
    n -= take;
    if (tailSize_ < 8) return;
    std::uint64_t word;
    std::memcpy(&word, tail_, 8);
    addWord(word);
    tailSize_ = 0;
  }
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    addWord(word);
  }
  std::memcpy(tail_, p, n);
  tailSize_ = static_cast<unsigned>(n);
}

std::string Fingerprint::digest() const {
  Fingerprint last = *this;
  // The tail padded with zeros, then the length: no two sequences end in the same final words.
  std::uint64_t word = 0;
  std::memcpy(&word, last.tail_, last.tailSize_);
  last.addWord(word);
  last.addWord(length_);
  std::string out;
  putWord(out, avalanche(last.a_ ^ rotate(last.b_, 17)));
  putWord(out, avalanche(last.b_ + last.a_ * 0x9E3779B97F4A7C15ULL));
  return out;
}

std::string fingerprintOf(std::string_view bytes) {
  Fingerprint f;
  f.add(bytes);
  return f.digest();
}

}  // namespace kel::file
