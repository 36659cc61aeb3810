// The encodings of every binary file the program writes, in one place: the unsigned value, the
// string, and their reading from bytes held in memory.
//
// unsigned  1 to 5 bytes, most significant first, the shortest form:  0..0x7F: the value;
//           ..0x3FFF: 0x80|v>>8, v;  ..0x1FFFFF: 0xC0|v>>16, v>>8, v;
//           ..0xFFFFFFF: 0xE0|v>>24, v>>16, v>>8, v;  above: 0xF0, v>>24, v>>16, v>>8, v.
//           A reader takes the length from the first byte alone (0xF1..0xFF read as 0xF0).
// int       the unsigned 2*v for v >= 0, 2*(-v)+1 for v < 0; range -(2^31-1)..2^31-1.
// bool      one byte, 0 or 1; any non-zero byte reads as true.
// string    its length as an int, then its bytes; a string read back ends at its first NUL.
// fixed     4 or 8 bytes, least significant first, for tables read at random positions.
//
// Every decoder reports damage the same way: kel::err::Error "End of file reached (<name>)"
// (endOfFile), for a read past the end as for a negative or too long length. Every encoder
// reports a value it cannot encode as kel::err::Error "Integer out of range (<what>)"
// (outOfRange).
#ifndef CORVEX_KEL_FILE_BYTE_CODEC_H
#define CORVEX_KEL_FILE_BYTE_CODEC_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace kel::file {

[[noreturn]] void endOfFile(std::string_view name);
[[noreturn]] void outOfRange(const std::string& what);

// Number of bytes of an unsigned value whose first byte is b0.
inline unsigned uintLength(unsigned char b0) {
  return b0 < 0x80 ? 1 : b0 < 0xC0 ? 2 : b0 < 0xE0 ? 3 : b0 < 0xF0 ? 4 : 5;
}

// Writes the shortest form of value to out (room for 5 bytes) and returns its length.
inline std::size_t encodeUInt(unsigned value, char* out) {
  if (value < 0x80u) {
    out[0] = static_cast<char>(value);
    return 1;
  }
  if (value < 0x4000u) {
    out[0] = static_cast<char>(0x80u | (value >> 8));
    out[1] = static_cast<char>(value);
    return 2;
  }
  if (value < 0x200000u) {
    out[0] = static_cast<char>(0xC0u | (value >> 16));
    out[1] = static_cast<char>(value >> 8);
    out[2] = static_cast<char>(value);
    return 3;
  }
  if (value < 0x10000000u) {
    out[0] = static_cast<char>(0xE0u | (value >> 24));
    out[1] = static_cast<char>(value >> 16);
    out[2] = static_cast<char>(value >> 8);
    out[3] = static_cast<char>(value);
    return 4;
  }
  out[0] = static_cast<char>(0xF0u);
  out[1] = static_cast<char>(value >> 24);
  out[2] = static_cast<char>(value >> 16);
  out[3] = static_cast<char>(value >> 8);
  out[4] = static_cast<char>(value);
  return 5;
}

// The value whose uintLength(p[0]) bytes start at p.
// REQUIRES: those bytes are there.
inline unsigned decodeUInt(const unsigned char* p) {
  const unsigned b0 = p[0];
  switch (uintLength(p[0])) {
    case 1:
      return b0;
    case 2:
      return ((b0 & 0x3Fu) << 8) | p[1];
    case 3:
      return ((b0 & 0x1Fu) << 16) | (unsigned{p[1]} << 8) | p[2];
    case 4:
      return ((b0 & 0x0Fu) << 24) | (unsigned{p[1]} << 16) | (unsigned{p[2]} << 8) | p[3];
    default:
      return (unsigned{p[1]} << 24) | (unsigned{p[2]} << 16) | (unsigned{p[3]} << 8) | p[4];
  }
}

// Appends value in its shortest form.
inline void appendUInt(std::string& out, unsigned value) {
  char bytes[5];
  out.append(bytes, encodeUInt(value, bytes));
}

// Appends value as a fixed-width field of width bytes (4 or 8), least significant first.
inline void appendFixed(std::string& out, std::uint64_t value, unsigned width) {
  for (unsigned k = 0; k < width; ++k) out += static_cast<char>(value >> (8 * k));
}

// The fixed-width field of width bytes at p. REQUIRES: those bytes are there.
inline std::uint64_t decodeFixed(const char* p, unsigned width) {
  std::uint64_t value = 0;
  for (unsigned k = width; k-- > 0;) value = (value << 8) | static_cast<unsigned char>(p[k]);
  return value;
}

// Appends text as a string. Throws outOfRange for a text of 2^31 bytes or more, which has no
// encoding; out is then unchanged.
void appendString(std::string& out, std::string_view text);

// Reads the encodings from bytes in memory, never outside them: every read that would run past
// the end throws endOfFile(name).
class ByteReader {
 public:
  // REQUIRES: bytes and name outlive the reader.
  ByteReader(std::string_view bytes, std::string_view name) : bytes_(bytes), name_(name) {}

  // Continues reading at position (at most the end).
  void skipTo(std::size_t position) {
    position_ = position < bytes_.size() ? position : bytes_.size();
  }

  bool atEnd() const { return position_ >= bytes_.size(); }
  std::size_t position() const { return position_; }
  std::size_t remaining() const { return bytes_.size() - position_; }
  std::string_view name() const { return name_; }

  unsigned readByte() {
    if (position_ >= bytes_.size()) endOfFile(name_);
    return static_cast<unsigned char>(bytes_[position_++]);
  }

  // The next size bytes as a view into the bytes.
  std::string_view readBytes(std::size_t size) {
    if (size > remaining()) endOfFile(name_);
    const std::string_view bytes = bytes_.substr(position_, size);
    position_ += size;
    return bytes;
  }

  unsigned readUInt() {
    const std::size_t left = bytes_.size() - position_;
    if (left == 0) endOfFile(name_);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + position_);
    const unsigned length = uintLength(p[0]);
    if (length > left) endOfFile(name_);
    position_ += length;
    return decodeUInt(p);
  }

  // The next string as a view into the bytes, ending at its first NUL byte if it holds one.
  std::string_view readString() {
    const std::string_view bytes = readBytes(stringLength());
    const void* nul = std::memchr(bytes.data(), 0, bytes.size());
    return nul ? bytes.substr(0, static_cast<const char*>(nul) - bytes.data()) : bytes;
  }

  // Skips count unsigned values without decoding them.
  void skipUInts(unsigned count) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data());
    std::size_t pos = position_;
    const std::size_t size = bytes_.size();
    // Every value takes at most 5 bytes: when that many are left, no bound check is needed.
    if (size - pos >= std::size_t(count) * 5) {
      for (unsigned i = 0; i < count; ++i) pos += uintLength(p[pos]);
    } else {
      for (unsigned i = 0; i < count; ++i) {
        if (pos >= size) endOfFile(name_);
        pos += uintLength(p[pos]);
      }
      if (pos > size) endOfFile(name_);
    }
    position_ = pos;
  }

  // The next fixed-width field of width bytes.
  std::uint64_t readFixed(unsigned width) { return decodeFixed(readBytes(width).data(), width); }

  // Skips a string without looking at its bytes.
  void skipString() { readBytes(stringLength()); }

 private:
  // The byte count of the string that starts here; a negative length is damage, but for -0.
  std::size_t stringLength() {
    const unsigned encoded = readUInt();
    if (encoded & 1u) {
      if (encoded != 1u) endOfFile(name_);
      return 0;
    }
    return encoded >> 1;
  }

  std::string_view bytes_;
  std::size_t position_ = 0;
  std::string_view name_;
};

}  // namespace kel::file

#endif
