#include "kel/html_read/html_eater.h"

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
// Consumed bytes at the front of the buffer that are not worth moving away.
constexpr std::string::size_type kKeptFront = 4096;

std::string::size_type findChar(const std::string& text, std::string::size_type from, char c) {
  if (from >= text.size()) return std::string::npos;
  const char* const end = text.data() + text.size();
  const char* const hit = findByte(text.data() + from, end, c);
  return hit == end ? std::string::npos : static_cast<std::string::size_type>(hit - text.data());
}

}  // namespace

HTML_Eater::HTML_Eater(const std::string& fileName, bool lowerCaseTags, BeyondLatin1 beyond)
    : input(fileName, kBlockSize), lowerCaseTags(lowerCaseTags), beyond_(beyond) {
  static_assert(kBlockSize >= kCharsetScanLength, "the first block holds the declaration");
  input.setWrap(kWrapWidth, "><", 1);
  utf8_ = declaresUtf8(input.buffered());
  std::string_view first;
  if (!input.getLine(first)) fail("HTML-File without content");
  if (utf8_ && first.substr(0, 3) == "\xEF\xBB\xBF") first.remove_prefix(3);
  decodeLine(first);
  buffer.assign(first);
}

HTML_Eater::~HTML_Eater() = default;

void HTML_Eater::decodeLine(std::string_view& line) {
  // A line never ends inside a character: it ends at a newline or right behind a '>'.
  if (utf8_ && utf8ToLatin1(line, decoded_, beyond_)) line = decoded_;
}

bool HTML_Eater::readLine(std::string_view& line) {
  if (!input.getLine(line)) return false;
  decodeLine(line);
  return true;
}

void HTML_Eater::fail(const char* what) {
  throw kel::err::Error(kel::format("Error in %s (#%i): %s", input.name().c_str(),
                                    static_cast<int>(input.lineCount()), what));
}

bool HTML_Eater::appendLine() {
  std::string_view line;
  do {
    if (!readLine(line)) return false;
  } while (line.empty());
  if (bufferEmpty()) {
    // Nothing is pending, so no position into buffer is in use but searchPos.
    buffer.assign(line);
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
  std::string_view tagView;
  std::string_view attributesView;
  if (!nextTag(tagView, attributesView)) return false;
  tag.assign(tagView);
  attributes.assign(attributesView);
  return true;
}

bool HTML_Eater::nextTag(std::string_view& tag, std::string_view& attributes) {
  textBefore = {};
  textReadable_ = 1;
  // Drop the consumed front once it is at least as long as the rest, so each byte is moved at
  // most a bounded number of times however long a line is; a short front stays, as moving a
  // few bytes would cost more than keeping them.
  if (start >= kKeptFront && start * 2 >= buffer.size()) {
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
    const char* const data = buffer.data();
    const char* const end = data + buffer.size();
    const char* const mark = i < buffer.size() ? findTagEnd(data + i, end, quoted) : end;
    if (mark != end) {
      gt = static_cast<std::string::size_type>(mark - data);
      break;
    }
    i = buffer.size();
    if (!appendLine()) return false;
  }

  // The program runs in the "C" locale, where only the ASCII letters change case. The tag is
  // consumed, so its name is folded where it stands.
  char* const tagText = buffer.data() + lt + 1;
  const std::size_t tagLength = gt - lt - 1;
  // The name runs up to the first blank; it is folded as it is scanned.
  char* const tagEnd = tagText + tagLength;
  char* c = tagText;
  if (lowerCaseTags) {
    for (; c < tagEnd && *c != ' '; ++c) {
      if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
    }
  } else {
    for (; c < tagEnd && *c != ' '; ++c) {
      if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
    }
  }
  tag = std::string_view(tagText, static_cast<std::size_t>(c - tagText));
  attributes = c < tagEnd ? std::string_view(c + 1, static_cast<std::size_t>(tagEnd - c - 1))
                          : std::string_view();

  if (pending.empty()) {
    textBefore = std::string_view(buffer.data() + start, lt - start);
    textReadable_ = buffer.size() - start + 1;
  } else {
    assembled_.swap(pending);
    pending.clear();
    assembled_.append(buffer, start, lt - start);
    textBefore = assembled_;
    textReadable_ = assembled_.size() + 1;
  }
  start = gt + 1;
  searchPos = start;
  return true;
}

}  // namespace kel::html_read
