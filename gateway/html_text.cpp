#include "gateway/html_text.h"

namespace gateway {

namespace {

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The length of the well-formed character reference at the start of s (which begins with '&'),
// or 0 when there is none.
std::size_t referenceLength(std::string_view s) {
  std::size_t i = 1;
  if (i < s.size() && s[i] == '#') {
    ++i;
    const bool hex = i < s.size() && (s[i] == 'x' || s[i] == 'X');
    if (hex) ++i;
    const std::size_t begin = i;
    unsigned long value = 0;
    while (i < s.size() && i - begin < 8 && (hex ? isHexDigit(s[i]) : isDigit(s[i]))) {
      const char c = s[i];
      value = value * (hex ? 16 : 10) +
              static_cast<unsigned long>(isDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
      ++i;
    }
    const bool control = value < 0x20 && value != '\t' && value != '\n' && value != '\r';
    const bool valid = i > begin && !control && value != 0x7F &&
                       !(value >= 0xD800 && value <= 0xDFFF) && value <= 0x10FFFF;
    return valid && i < s.size() && s[i] == ';' ? i + 1 : 0;
  }
  if (i >= s.size() || !isAsciiLetter(s[i])) return 0;
  while (i < s.size() && i <= 32 && (isAsciiLetter(s[i]) || isDigit(s[i]))) ++i;
  return i < s.size() && s[i] == ';' ? i + 1 : 0;
}

void appendPercent(std::string& out, unsigned char b) {
  static const char hex[] = "0123456789ABCDEF";
  out += '%';
  out += hex[b >> 4];
  out += hex[b & 15];
}

const char* reference(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return "&#39;";
    default:
      return nullptr;
  }
}

}  // namespace

void appendEscaped(std::string& out, std::string_view s) {
  std::size_t plain = 0;  // the start of the bytes not yet copied
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (const char* r = reference(s[i])) {
      out.append(s, plain, i - plain);
      out += r;
      plain = i + 1;
    }
  }
  out.append(s, plain, s.size() - plain);
}

std::string escaped(std::string_view s) {
  std::string out;
  appendEscaped(out, s);
  return out;
}

void appendPageText(std::string& out, std::string_view latin1) {
  out.reserve(out.size() + latin1.size() + latin1.size() / 8);
  std::size_t plain = 0;  // the start of the printable ASCII bytes not yet copied
  for (std::size_t i = 0; i < latin1.size(); ++i) {
    const char c = latin1[i];
    const unsigned char b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && !reference(c)) continue;
    out.append(latin1, plain, i - plain);
    plain = i + 1;
    if (c == '&') {
      if (const std::size_t n = referenceLength(latin1.substr(i))) {
        out.append(latin1, i, n);
        i += n - 1;
        plain = i + 1;
        continue;
      }
    }
    if (const char* r = reference(c)) {
      out += r;
    } else if (b < 0x20 || b == 0x7F) {
      out += ' ';
    } else {
      appendUtf8(out, b);
    }
  }
  out.append(latin1, plain, latin1.size() - plain);
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size() + latin1.size() / 8);
  for (const char c : latin1) appendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

std::string percentEncoded(std::string_view s) {
  std::string out;
  for (const char c : s) {
    if (isAsciiLetter(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      appendPercent(out, static_cast<unsigned char>(c));
    }
  }
  return out;
}

std::string linkTarget(std::string_view url) {
  const std::size_t colon = url.find(':');
  if (colon != std::string_view::npos && url.find_first_of("/?#") > colon) {
    std::string scheme(url.substr(0, colon));
    for (char& c : scheme) c = static_cast<char>(c | 0x20);
    if (scheme != "http" && scheme != "https" && scheme != "ftp" && scheme != "file") return "";
  }
  static const std::string_view unsafe = " \"<>\\^`{|}";
  std::string out;
  for (const char c : url) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b >= 0x7F || unsafe.find(c) != std::string_view::npos) {
      appendPercent(out, b);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace gateway
