// A fingerprint of a sequence of bytes: 16 bytes that differ, but for a chance of about 2^-128,
// between two different sequences that were not made to collide. It tells whether a file still
// holds the bytes it held when the fingerprint was taken; it is no protection against forgery.
#ifndef CORVEX_KEL_FILE_FINGERPRINT_H
#define CORVEX_KEL_FILE_FINGERPRINT_H

#include <cstdint>
#include <string>
#include <string_view>

namespace kel::file {

// Takes the bytes piece by piece: any division of the same bytes into pieces gives the same
// digest.
class Fingerprint {
 public:
  void add(std::string_view bytes);
  // The fingerprint of every byte added so far (16 bytes); more bytes may follow.
  std::string digest() const;

 private:
  void addWord(std::uint64_t word);

  std::uint64_t a_ = 0x243F6A8885A308D3ULL;
  std::uint64_t b_ = 0x13198A2E03707344ULL;
  std::uint64_t length_ = 0;
  unsigned char tail_[8] = {};
  unsigned tailSize_ = 0;
};

// The digest of bytes taken as one piece.
std::string fingerprintOf(std::string_view bytes);

}  // namespace kel::file

#endif
