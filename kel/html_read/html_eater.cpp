#include "kel/html_read/html_eater.h"

#include <cstring>

#include "kel/html_read/byte_scan.h"

namespace kel::html_read {

namespace {

// Consumed bytes at the front of the buffer that are not worth moving away.
constexpr std::string::size_type kKeptFront = 4096;

}  // namespace

HTML_Eater::HTML_Eater(const std::string& fileName, bool lowerCaseTags, BeyondLatin1 beyond)
    : owned_(std::make_unique<PageLines>(fileName, beyond)),
      lines_(*owned_),
      lowerCaseTags(lowerCaseTags) {
  if (!lines_.appendTo(buffer)) lines_.fail("HTML-File without content");
}

HTML_Eater::HTML_Eater(PageLines& lines, bool lowerCaseTags)
    : lines_(lines), lowerCaseTags(lowerCaseTags) {
  if (!lines_.appendTo(buffer)) lines_.fail("HTML-File without content");
}

HTML_Eater::~HTML_Eater() = default;

// Inlined: it runs twice per tag.
[[gnu::always_inline]] inline bool HTML_Eater::hasLineBreak(std::string::size_type from,
                                                            std::string::size_type to) {
  if (nextBreak_ == std::string::npos || nextBreak_ < from) {
    // The buffer ends with a '\n', so the search ends there at the latest.
    const char* const data = buffer.data();
    nextBreak_ = static_cast<std::string::size_type>(
        findByte(data + from, data + buffer.size(), '\n') - data);
  }
  return nextBreak_ < to;
}

bool HTML_Eater::appendLines() {
  if (bufferEmpty()) {
    // Nothing is pending, so no position into buffer is in use but searchPos.
    buffer.clear();
    start = 0;
    searchPos = 0;
    nextBreak_ = std::string::npos;
  }
  // Positions into buffer stay valid: the consumed front is only dropped in nextTag.
  return lines_.appendTo(buffer);
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
    nextBreak_ = nextBreak_ != std::string::npos && nextBreak_ >= start ? nextBreak_ - start
                                                                        : std::string::npos;
    start = 0;
  }

  // The buffer holds the lines as the file has them, each ended by a '\n'; the text and the tag
  // delivered get their lines joined below.
  std::string::size_type lt;
  for (;;) {
    for (;;) {
      const char* const data = buffer.data();
      const char* const end = data + buffer.size();
      const char* const mark =
          searchPos < buffer.size() ? findByte(data + searchPos, end, '<') : end;
      if (mark != end) {
        lt = static_cast<std::string::size_type>(mark - data);
        break;
      }
      searchPos = buffer.size();
      if (!appendLines()) return false;
    }
    if (!(buffer.size() > lt + 3 && buffer[lt + 1] == '!' && buffer[lt + 2] == '-' &&
          buffer[lt + 3] == '-')) {
      break;
    }
    std::string::size_type end = buffer.find("-->", lt + 4);
    while (end == std::string::npos) {
      // The buffer ends with a '\n', so no "-->" spans the old end and the new lines.
      searchPos = buffer.size();
      if (!appendLines()) lines_.fail("Unclosed comment");
      end = buffer.find("-->", searchPos);
    }
    // The comment vanishes: the text in front of it moves to pending, and the search goes on
    // right behind it.
    appendJoined(pending, buffer.data() + start, lt - start);
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
    if (!appendLines()) return false;
  }

  // The program runs in the "C" locale, where only the ASCII letters change case. The tag is
  // consumed, so its lines are joined and its name is folded where it stands.
  // Line breaks are looked for front to back: first in the text, then in the tag.
  const bool textBreaks = hasLineBreak(start, lt);
  char* const tagText = buffer.data() + lt + 1;
  const std::size_t tagLength =
      hasLineBreak(lt + 1, gt) ? joinLines(tagText, gt - lt - 1, false).size() : gt - lt - 1;
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
    if (textBreaks) {
      // A line break right behind the previous tag adds nothing: that line was used up.
      textBefore = joinLines(buffer.data() + start, lt - start, true);
      buffer[static_cast<std::size_t>(textBefore.data() - buffer.data()) + textBefore.size()] = '<';
    }
    textReadable_ = static_cast<std::size_t>(buffer.data() + buffer.size() - textBefore.data()) + 1;
  } else {
    assembled_.swap(pending);
    pending.clear();
    appendJoined(assembled_, buffer.data() + start, lt - start);
    textBefore = assembled_;
    textReadable_ = assembled_.size() + 1;
  }
  start = gt + 1;
  searchPos = start;
  return true;
}

}  // namespace kel::html_read
