#include "kel/html_read/html_eater.h"

#include <cstring>

#include "kel/err/error.h"
#include "kel/err/format.h"
#include "kel/html_read/charset.h"

namespace kel::html_read {

namespace {

constexpr unsigned kBlockSize = 2048;
// Long lines are cut between a '>' and the following '<' after at most this many characters.
constexpr unsigned kWrapWidth = 160;

std::string::size_type findChar(const std::string& text, std::string::size_type from, char c) {
  if (from >= text.size()) return std::string::npos;
  const void* hit = std::memchr(text.data() + from, c, text.size() - from);
  return hit ? static_cast<const char*>(hit) - text.data() : std::string::npos;
}

}  // namespace

HTML_Eater::HTML_Eater(const std::string& fileName, bool lowerCaseTags, BeyondLatin1 beyond)
    : input(fileName, kBlockSize), lowerCaseTags(lowerCaseTags), beyond_(beyond) {
  static_assert(kBlockSize >= kCharsetScanLength, "the first block holds the declaration");
  input.setWrap(kWrapWidth, "><", 1);
  utf8_ = declaresUtf8(input.buffered());
  if (!input.getLine(buffer)) fail("HTML-File without content");
  if (utf8_ && buffer.compare(0, 3, "\xEF\xBB\xBF") == 0) buffer.erase(0, 3);
  decodeLine(buffer);
}

void HTML_Eater::decodeLine(std::string& line) {
  // A line never ends inside a character: it ends at a newline or right behind a '>'.
  if (utf8_ && utf8ToLatin1(line, decoded_, beyond_)) line.swap(decoded_);
}

bool HTML_Eater::readLine(std::string& into) {
  if (!input.getLine(into)) return false;
  decodeLine(into);
  return true;
}

HTML_Eater::~HTML_Eater() = default;

void HTML_Eater::fail(const char* what) {
  throw kel::err::Error(kel::format("Error in %s (#%i): %s", input.name().c_str(),
                                    static_cast<int>(input.lineCount()), what));
}

bool HTML_Eater::appendLine() {
  do {
    if (!readLine(line)) return false;
  } while (line.empty());
  if (bufferEmpty()) {
    // Nothing is pending, so no position into buffer is in use but searchPos: take the line
    // over without copying it.
    buffer.swap(line);
    start = 0;
    searchPos = 0;
    return true;
  }
  // Positions into buffer stay valid: the consumed front is only dropped in nextTag.
  buffer.push_back(' ');
  buffer.append(line);
  return true;
}

bool HTML_Eater::nextTag(std::string& tag, std::string& attributes) {
  textBefore.clear();
  // Drop the consumed front once it is at least as long as the rest, so each byte is moved at
  // most a bounded number of times however long a line is.
  if (start > 0 && start * 2 >= buffer.size()) {
    buffer.erase(0, start);
    searchPos -= start;
    start = 0;
  }

  std::string::size_type lt;
  for (;;) {
    lt = findChar(buffer, searchPos, '<');
    while (lt == std::string::npos) {
      searchPos = buffer.size();
      if (!appendLine()) return false;
      lt = findChar(buffer, searchPos, '<');
    }
    if (!(buffer.size() > lt + 3 && buffer[lt + 1] == '!' && buffer[lt + 2] == '-' &&
          buffer[lt + 3] == '-')) {
      break;
    }
    std::string::size_type end = buffer.find("-->", lt + 4);
    while (end == std::string::npos) {
      searchPos = buffer.size();
      if (!appendLine()) fail("Unclosed comment");
      end = buffer.find("-->", searchPos);
    }
    // The comment vanishes: the text in front of it moves to pending, and the search goes on
    // right behind it.
    pending.append(buffer, start, lt - start);
    start = end + 3;
    searchPos = start;
  }

  // The closing '>' is the first one outside double quotes; quotes are skipped pairwise.
  std::string::size_type i = lt + 1;
  bool quoted = false;
  std::string::size_type gt;
  for (;;) {
    if (quoted) {
      const std::string::size_type close = findChar(buffer, i, '"');
      if (close != std::string::npos) {
        quoted = false;
        i = close + 1;
        continue;
      }
    } else {
      // Tags are short: a plain scan for the first '>' or '"' beats two library searches.
      const char* const data = buffer.data();
      const std::string::size_type n = buffer.size();
      while (i < n && data[i] != '>' && data[i] != '"') ++i;
      if (i < n) {
        if (data[i] == '>') {
          gt = i;
          break;
        }
        quoted = true;
        ++i;
        continue;
      }
    }
    i = buffer.size();
    if (!appendLine()) return false;
  }

  const char* const tagText = buffer.data() + lt + 1;
  const void* const blankHit = std::memchr(tagText, ' ', gt - lt - 1);
  if (blankHit) {
    const std::string::size_type blank = static_cast<const char*>(blankHit) - buffer.data();
    tag.assign(buffer, lt + 1, blank - lt - 1);
    attributes.assign(buffer, blank + 1, gt - blank - 1);
  } else {
    tag.assign(buffer, lt + 1, gt - lt - 1);
    attributes.clear();
  }

  textBefore.swap(pending);
  textBefore.append(buffer, start, lt - start);
  start = gt + 1;
  searchPos = start;

  // The program runs in the "C" locale, where only the ASCII letters change case.
  for (char& c : tag) {
    if (lowerCaseTags) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    } else if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return true;
}

}  // namespace kel::html_read
