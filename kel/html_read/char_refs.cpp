#include "kel/html_read/char_refs.h"

#include <algorithm>
#include <iterator>

namespace kel::html_read {

namespace {

struct NamedRef {
  std::string_view name;  // as written after '&', with its ';' when it has one
  char32_t first;
  char32_t second;  // 0: the reference stands for one character
};

constexpr NamedRef kNamedRefs[] = {
#include "kel/html_read/named_char_refs.inc"
};

// Names that may stand without ';' are at most this long.
constexpr std::size_t kLongestBareName = 6;

const NamedRef* findNamed(std::string_view name) {
  const auto* const end = std::end(kNamedRefs);
  const auto* const it =
      std::lower_bound(std::begin(kNamedRefs), end, name,
                       [](const NamedRef& ref, std::string_view n) { return ref.name < n; });
  return it != end && it->name == name ? it : nullptr;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool isAlnum(char c) { return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// What browsers make of the number of a numeric reference.
char32_t numericCharacter(char32_t n) {
  // 0x80 to 0x9F as windows-1252 reads these bytes; 0 where it leaves them as they are.
  static constexpr char16_t kWindows1252[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  if (n == 0 || n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF)) return 0xFFFD;
  if (n >= 0x80 && n <= 0x9F && kWindows1252[n - 0x80] != 0) return kWindows1252[n - 0x80];
  return n;
}

void append(std::string& out, char32_t c, BeyondLatin1 beyond) {
  if (beyond == BeyondLatin1::reference) {
    if (c == '<') return void(out += "&lt;");
    if (c == '>') return void(out += "&gt;");
    if (c == '&') return void(out += "&amp;");
  }
  appendLatin1(out, c, beyond);
}

// Resolves a numeric reference whose '#' stands at in[hash]; returns the offset behind it, or 0
// when no digit follows.
std::size_t numeric(std::string_view in, std::size_t hash, std::string& out, BeyondLatin1 beyond) {
  std::size_t i = hash + 1;
  const bool hex = i < in.size() && (in[i] == 'x' || in[i] == 'X');
  if (hex) ++i;
  const std::size_t digits = i;
  char32_t n = 0;
  for (; i < in.size() && (hex ? isHexDigit(in[i]) : isDigit(in[i])); ++i) {
    const char c = in[i];
    const unsigned digit = isDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
    // Any value past U+10FFFF resolves alike, so the number stops growing there.
    n = std::min<char32_t>(n * (hex ? 16 : 10) + digit, 0x110000);
  }
  if (i == digits) return 0;
  if (i < in.size() && in[i] == ';') ++i;
  append(out, numericCharacter(n), beyond);
  return i;
}

// Resolves a named reference whose name starts at in[start]; returns the offset behind it, or 0
// when no name of the table begins there.
std::size_t named(std::string_view in, std::size_t start, std::string& out, BeyondLatin1 beyond) {
  std::size_t end = start;
  while (end < in.size() && isAlnum(in[end])) ++end;
  const NamedRef* ref = nullptr;
  if (end < in.size() && in[end] == ';') ref = findNamed(in.substr(start, end + 1 - start));
  // Otherwise the longest name that may stand without ';' and begins the letters.
  for (std::size_t length = std::min(end - start, kLongestBareName); !ref && length > 0; --length) {
    ref = findNamed(in.substr(start, length));
  }
  if (!ref) return 0;
  append(out, ref->first, beyond);
  if (ref->second) append(out, ref->second, beyond);
  return start + ref->name.size();
}

}  // namespace

bool resolveCharRefs(std::string_view in, std::string& out, BeyondLatin1 beyond) {
  std::size_t amp = in.find('&');
  if (amp == std::string_view::npos) return false;
  out.clear();
  out.reserve(in.size());
  std::size_t done = 0;
  while (amp != std::string_view::npos) {
    out.append(in.data() + done, amp - done);
    std::size_t behind = 0;
    if (amp + 1 < in.size()) {
      behind =
          in[amp + 1] == '#' ? numeric(in, amp + 1, out, beyond) : named(in, amp + 1, out, beyond);
    }
    if (behind == 0) {
      // No reference: the '&' stays, and so does what follows it.
      out.push_back('&');
      behind = amp + 1;
    }
    done = behind;
    amp = in.find('&', done);
  }
  out.append(in.data() + done, in.size() - done);
  return true;
}

}  // namespace kel::html_read
