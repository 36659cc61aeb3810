// Text for the gateway's pages, which are UTF-8: escaping of the gateway's own text, the safe
// copy of HTML source text from indexed pages (Latin-1), and the encoding of links.
#ifndef CORVEX_GATEWAY_HTML_TEXT_H
#define CORVEX_GATEWAY_HTML_TEXT_H

#include <string>
#include <string_view>

namespace gateway {

// Appends s with '&', '<', '>', '"' and '\'' as character references: fit for element text and
// for a quoted attribute value. s is UTF-8 and is copied otherwise unchanged.
void appendEscaped(std::string& out, std::string_view s);
std::string escaped(std::string_view s);

// Appends HTML source text from an indexed page (Latin-1, as Corvex printed it) as UTF-8 that
// shows the same text and can hold no markup: a well-formed character reference ("&name;" with
// a letter and up to 31 letters or digits, "&#digits;", "&#xhex;", naming a character that is
// neither a control other than white space nor a surrogate nor beyond U+10FFFF) is kept; every
// other '&', '<', '>', '"', '\'' becomes a reference; control bytes become blanks; every other
// byte becomes the character of the same number.
void appendPageText(std::string& out, std::string_view latin1);

// Appends code point c (at most 0x10FFFF) to out in UTF-8.
void appendUtf8(std::string& out, char32_t c);

// Latin-1 bytes as UTF-8, byte for byte the character of the same number.
std::string latin1ToUtf8(std::string_view latin1);

// Every byte of s except the unreserved ones (A-Z a-z 0-9 - . _ ~) as "%XX": a value for a query
// string.
std::string percentEncoded(std::string_view s);

// A result URL as Corvex printed it (Latin-1 bytes), made fit for an href: bytes that cannot
// stand in a URL (controls, blank, '"', '<', '>', '\\', '^', '`', '{', '|', '}', and non-ASCII)
// are percent-encoded, other bytes kept. Returns the empty string when the URL begins with a
// scheme other than http, https, ftp or file (such as "javascript:"), so it is never linked.
std::string linkTarget(std::string_view url);

}  // namespace gateway

#endif
