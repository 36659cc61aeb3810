// The lines of an HTML page as the page readers take them in: the file's lines, long ones cut
// between a '>' and a '<', turned into Latin-1 where the page declares UTF-8.
#ifndef CORVEX_KEL_HTML_READ_PAGE_LINES_H
#define CORVEX_KEL_HTML_READ_PAGE_LINES_H

#include <cstdint>
#include <string>
#include <string_view>

#include "kel/file/input_file.h"
#include "kel/html_read/utf8.h"

namespace kel::html_read {

// Hands out a page's lines, several at a time, each ended by a '\n': a line that the file ends
// without one, and each piece cut from a line longer than 160 bytes (cut right behind a '>' that
// is followed by '<', depending on where the file's 2 KB blocks begin), gets one. Readers join
// the lines of a text with joinLines.
//
// A page that declares UTF-8 at its start (declaresUtf8) is turned into Latin-1 line by line
// (utf8ToLatin1, with the given treatment of characters beyond Latin-1), and a byte order mark at
// the start of the file is dropped; every other page is handed out byte for byte.
class PageLines {
 public:
  // Opens fileName. Throws kel::err::IOError when it cannot be opened.
  PageLines(const std::string& fileName, BeyondLatin1 beyond);

  PageLines(const PageLines&) = delete;
  PageLines& operator=(const PageLines&) = delete;

  // Appends the next lines to text; false, with text unchanged, at the end of the file.
  bool appendTo(std::string& text);

  // True when the page declares UTF-8 and is read as described above.
  bool utf8() const { return utf8_; }
  // The size of the file as it was when opened (InputFile::statedSize).
  std::uint64_t fileSize() const { return input_.statedSize(); }

  // Throws kel::err::Error "Error in <file> (#<lines read>): <what>".
  [[noreturn]] void fail(const char* what) const;

 private:
  kel::file::InputFile input_;
  const BeyondLatin1 beyond_;
  bool utf8_ = false;
  bool atStart_ = true;
};

// Joins the lines of text[0, size) in place, as a reader that took the lines one by one and put
// one blank between two of them would have them, and returns the joined text, a part of
// text[0, size): a run of '\n' (empty lines add nothing) becomes one blank, or nothing at the
// start when dropLeading (a line break right behind the previous tag, whose line was used up).
std::string_view joinLines(char* text, std::size_t size, bool dropLeading);

// Appends text[0, size), its lines joined in place, to out, behind the text out holds already: a
// line break at its start adds nothing when out is empty (text in front of a comment, and the
// text after it, continue the text since the last tag).
void appendJoined(std::string& out, char* text, std::size_t size);

}  // namespace kel::html_read

#endif
