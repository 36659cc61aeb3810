// Text written in UTF-8, turned into the single-byte Latin-1 text that the rest of the program
// reads and writes.
#ifndef CORVEX_KEL_HTML_READ_UTF8_H
#define CORVEX_KEL_HTML_READ_UTF8_H

#include <optional>
#include <string>
#include <string_view>

namespace kel::html_read {

// What a character beyond Latin-1 (above U+00FF) becomes: a blank, which separates words, or the
// decimal character reference "&#N;", which a Latin-1 page shows as that character.
enum class BeyondLatin1 { separator, reference };

// Writes to out the UTF-8 text in with every character up to U+00FF as its Latin-1 byte and every
// other character as beyond says. A byte that does not belong to a well-formed sequence stays as
// it is. Returns false, leaving out untouched, when in holds no byte from 0x80 up and so stays as
// it is.
bool utf8ToLatin1(std::string_view in, std::string& out, BeyondLatin1 beyond);
// Appends to out what utf8ToLatin1 writes for in, also when in holds no byte from 0x80 up.
void appendUtf8ToLatin1(std::string_view in, std::string& out, BeyondLatin1 beyond);

// Appends the form of code point c (at most 0x10FFFF) that utf8ToLatin1 writes to out.
void appendLatin1(std::string& out, char32_t c, BeyondLatin1 beyond);

// The character whose well-formed UTF-8 sequence starts at in[i] and the sequence's length, or
// length 0 when none starts there (a byte below 0x80 is its own character): a lone continuation
// byte, an overlong form, a surrogate, a value beyond U+10FFFF or a sequence cut short.
// REQUIRES: i < in.size().
struct Utf8Char {
  char32_t code;
  std::size_t length;
};
Utf8Char decodeUtf8At(std::string_view in, std::size_t i);

// text in Latin-1 when it is well-formed UTF-8, holds a byte from 0x80 up and only characters up
// to U+00FF; nothing otherwise. A Latin-1 word with an umlaut or sharp s is never well-formed
// UTF-8, so such words are never converted.
std::optional<std::string> utf8AsLatin1(std::string_view text);

}  // namespace kel::html_read

#endif
