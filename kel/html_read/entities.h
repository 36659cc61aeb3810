// The two encoders from plain text to HTML.
//
// encodeEntities(text): the Latin-1 umlauts and sharp s, '&', '<', '>' and the apostrophe
// become entities ("&auml;" "&ouml;" "&uuml;" "&Auml;" "&Ouml;" "&Uuml;" "&szlig;" "&amp;"
// "&lt;" "&gt;" "&#39;"); every other byte, the double quote included, is copied.
// escapeSpaces(text): every blank becomes "%20"; every other byte is copied.
// Both stop at the first NUL byte of the text.
#ifndef CORVEX_KEL_HTML_READ_ENTITIES_H
#define CORVEX_KEL_HTML_READ_ENTITIES_H

#include <string>
#include <string_view>

namespace kel::html_read {

std::string encodeEntities(std::string_view text);
std::string escapeSpaces(std::string_view text);

}  // namespace kel::html_read

#endif
