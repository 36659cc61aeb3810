// Character references ("&auml;", "&#228;", "&#xE4;") in the text of a page written in UTF-8,
// resolved as browsers resolve them in text.
#ifndef CORVEX_KEL_HTML_READ_CHAR_REFS_H
#define CORVEX_KEL_HTML_READ_CHAR_REFS_H

#include <string>
#include <string_view>

#include "kel/html_read/utf8.h"

namespace kel::html_read {

// Writes to out the text in with its character references resolved and returns true; returns
// false, leaving out untouched, when in holds no '&' and so stays as it is.
//
// A reference is '&' followed by the longest name of HTML's table of named references (names
// that HTML allows without ';' also match without it, so "&notit" is "¬it"), or by '#' and
// decimal digits or 'x' and hexadecimal digits, with an optional ';'. Numbers resolve as in
// browsers: 0, surrogates and values beyond U+10FFFF to U+FFFD, 0x80 to 0x9F through the
// windows-1252 table. Anything else after '&' is no reference and stays as written.
// A resolved character up to U+00FF becomes its Latin-1 byte, one beyond as beyond says
// (appendLatin1). With BeyondLatin1::reference, which is meant for text shown in a page, the
// characters '<', '>' and '&' become "&lt;", "&gt;" and "&amp;" instead, so that resolving never
// turns text into markup.
bool resolveCharRefs(std::string_view in, std::string& out, BeyondLatin1 beyond);

}  // namespace kel::html_read

#endif
