// Which character encoding an HTML page declares at its start, as far as telling pages written in
// UTF-8 from all others.
#ifndef CORVEX_KEL_HTML_READ_CHARSET_H
#define CORVEX_KEL_HTML_READ_CHARSET_H

#include <string_view>

namespace kel::html_read {

// How many bytes from the start of a page declaresUtf8 looks at.
constexpr std::size_t kCharsetScanLength = 1024;

// True when the page that begins with start declares UTF-8, looking in this order and at no more
// than the first kCharsetScanLength bytes:
// 1. a UTF-8 byte order mark (EF BB BF) at byte 0;
// 2. else the first <meta> that names a known encoding label, either in a charset attribute or,
//    with http-equiv="Content-Type", in its content attribute ("...charset=<label>"), found as
//    browsers prescan a page (comments and other tags skipped, attributes in any quoting); the
//    page is UTF-8 when that label names UTF-8, or UTF-16, which a page read as bytes cannot be;
// 3. else an XML declaration at byte 0 whose encoding names UTF-8 or UTF-16.
// Labels compare without regard to ASCII case and surrounding white space. Every other page
// (another or an unknown label, no declaration, a declaration further in) is not UTF-8.
bool declaresUtf8(std::string_view start);

}  // namespace kel::html_read

#endif
