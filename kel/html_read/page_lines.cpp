#include "kel/html_read/page_lines.h"

#include <cstring>

#include "kel/err/error.h"
#include "kel/err/format.h"
#include "kel/html_read/byte_scan.h"
#include "kel/html_read/charset.h"

namespace kel::html_read {

namespace {

constexpr unsigned kBlockSize = 2048;
// Long lines are cut between a '>' and the following '<' after at most this many characters.
constexpr unsigned kWrapWidth = 160;

}  // namespace

PageLines::PageLines(const std::string& fileName, BeyondLatin1 beyond)
    : input_(fileName, kBlockSize), beyond_(beyond) {
  static_assert(kBlockSize >= kCharsetScanLength, "the first block holds the declaration");
  input_.setWrap(kWrapWidth, "><", 1);
  utf8_ = declaresUtf8(input_.buffered());
}

bool PageLines::appendTo(std::string& text) {
  std::string_view lines;
  if (!input_.getLines(lines)) return false;
  if (atStart_ && utf8_ && lines.substr(0, 3) == "\xEF\xBB\xBF") lines.remove_prefix(3);
  atStart_ = false;
  // Lines end at a newline or right behind a '>', never inside a character.
  if (utf8_) {
    appendUtf8ToLatin1(lines, text, beyond_);
  } else {
    text.append(lines);
  }
  if (lines.empty() || lines.back() != '\n') text.push_back('\n');
  return true;
}

void PageLines::fail(const char* what) const {
  throw kel::err::Error(kel::format("Error in %s (#%i): %s", input_.name().c_str(),
                                    static_cast<int>(input_.lineCount()), what));
}

std::string_view joinLines(char* text, std::size_t size, bool dropLeading) {
  char* const end = text + size;
  const auto nextBreak = [end](char* p) { return const_cast<char*>(findByte(p, end, '\n')); };
  if (dropLeading) {
    while (text != end && *text == '\n') ++text;
  }
  // Most texts hold a single line break, which then costs no move of the bytes after it.
  char* from = nextBreak(text);
  char* to = from;
  while (from != end) {
    char* runEnd = from;
    while (runEnd != end && *runEnd == '\n') ++runEnd;
    *to++ = ' ';
    from = nextBreak(runEnd);
    if (to != runEnd) std::memmove(to, runEnd, static_cast<std::size_t>(from - runEnd));
    to += from - runEnd;
  }
  return std::string_view(text, static_cast<std::size_t>(to - text));
}

void appendJoined(std::string& out, char* text, std::size_t size) {
  out.append(joinLines(text, size, out.empty()));
}

}  // namespace kel::html_read
