#include "kel/html_read/utf8.h"

#include <cstdint>

#include "kel/html_read/byte_scan.h"

namespace kel::html_read {

namespace {

// The offset of the first byte from 0x80 up, or in.size().
std::size_t firstHighByte(std::string_view in) {
  return static_cast<std::size_t>(findHighByte(in.data(), in.data() + in.size()) - in.data());
}

}  // namespace

Utf8Char decodeUtf8At(std::string_view in, std::size_t i) {
  const auto byte = [&in](std::size_t k) { return static_cast<unsigned char>(in[k]); };
  const unsigned char lead = byte(i);
  std::size_t length;
  char32_t code;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead < 0x80) return {lead, 1};
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {0, 0};
  }
  if (in.size() - i < length) return {0, 0};
  if (byte(i + 1) < low || byte(i + 1) > high) return {0, 0};
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char c = byte(i + k);
    if (c < 0x80 || c > 0xBF) return {0, 0};
    code = (code << 6) | (c & 0x3F);
  }
  return {code, length};
}

void appendLatin1(std::string& out, char32_t c, BeyondLatin1 beyond) {
  if (c <= 0xFF) {
    out.push_back(static_cast<char>(c));
  } else if (beyond == BeyondLatin1::separator) {
    out.push_back(' ');
  } else {
    out += "&#";
    out += std::to_string(static_cast<std::uint32_t>(c));
    out.push_back(';');
  }
}

bool utf8ToLatin1(std::string_view in, std::string& out, BeyondLatin1 beyond) {
  if (firstHighByte(in) == in.size()) return false;
  out.clear();
  appendUtf8ToLatin1(in, out, beyond);
  return true;
}

void appendUtf8ToLatin1(std::string_view in, std::string& out, BeyondLatin1 beyond) {
  std::size_t i = 0;
  while (i < in.size()) {
    const auto c = static_cast<unsigned char>(in[i]);
    if (c < 0x80) {
      const std::size_t run = firstHighByte(in.substr(i));
      out.append(in.data() + i, run);
      i += run;
      continue;
    }
    const Utf8Char d = decodeUtf8At(in, i);
    if (d.length == 0) {
      out.push_back(static_cast<char>(c));
      ++i;
    } else {
      appendLatin1(out, d.code, beyond);
      i += d.length;
    }
  }
}

std::optional<std::string> utf8AsLatin1(std::string_view text) {
  if (firstHighByte(text) == text.size()) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Char d = decodeUtf8At(text, i);
    if (d.length == 0 || d.code > 0xFF) return std::nullopt;
    out.push_back(static_cast<char>(d.code));
    i += d.length;
  }
  return out;
}

}  // namespace kel::html_read
