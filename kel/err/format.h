// printf-style formatting into a std::string, and byte-wise case-insensitive text helpers.
//
// Case folding uses tolower of the "C" locale on each byte taken as unsigned char: only A-Z
// change; bytes from 0x80 up (the Latin-1 umlauts among them) compare as they are, in unsigned
// byte order, the same order std::string uses.
#ifndef CORVEX_KEL_ERR_FORMAT_H
#define CORVEX_KEL_ERR_FORMAT_H

#include <string>
#include <string_view>

namespace kel {

// The text printf would print for fmt and the arguments, of any length. Formats through a buffer
// of the calling thread that starts at 256 bytes and grows by half of itself while a text does
// not fit. Throws std::bad_alloc when the buffer cannot grow; the buffer stays usable for the
// next call.
// Throws std::runtime_error when the C library cannot produce the text at all (an invalid
// conversion, a text longer than INT_MAX bytes).
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The current size in bytes of the calling thread's format buffer (256 until a text of 256 or
// more bytes came along); lets tests and diagnostics observe the growth rule.
unsigned formatCapacity();

// Negative, 0 or positive as a sorts before, equals or after b without regard to case. A string
// that is a proper prefix of the other gives -1 (a shorter) or 1 (b shorter); otherwise the
// result is the difference of the first pair of folded bytes that differ.
int compareNoCase(const char* a, const char* b);
// The same with a's length marking its end (a NUL byte inside a is compared like any byte).
int compareNoCase(const std::string& a, const char* b);
// The same with both lengths marking the ends.
int compareNoCase(std::string_view a, std::string_view b);

// As compareNoCase, but 0 once n pairs of bytes compared equal (0 at once for n == 0).
int compareNoCaseN(const char* a, const char* b, unsigned n);

// The first position in text where pattern occurs without regard to case, or nullptr. An empty
// pattern yields the position of text's terminating NUL.
const char* findNoCase(const char* text, const char* pattern);

// Folds every byte of s to lower case in place.
void toLowerCase(std::string& s);

}  // namespace kel

#endif
