// Writes help text broken into indented lines.
#ifndef CORVEX_KEL_CMDLINE_PRINT_WRAPPED_H
#define CORVEX_KEL_CMDLINE_PRINT_WRAPPED_H

#include <ostream>
#include <string_view>

namespace kel::cmdline {

// Writes text as the continuation of the current output line (the caller has written the
// label), broken so that a line holds at most width - indent characters of text: at the last
// blank that keeps the line within that length (the blank is dropped), or, when the line holds
// no blank after its start, after width - indent + 1 characters. A '\n' in the text starts a new
// line. Every further line starts with indent + margin blanks. Always ends with '\n'; an empty
// text writes only '\n'. When indent exceeds width, no line is broken.
void printWrapped(std::ostream& os, unsigned indent, unsigned margin, unsigned width,
                  std::string_view text);

}  // namespace kel::cmdline

#endif
