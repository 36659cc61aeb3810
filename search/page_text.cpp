#include "search/page_text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <string_view>

#include "index/word_extraction.h"
#include "kel/html_read/byte_scan.h"
#include "kel/html_read/html_eater.h"
#include "search/result_text.h"

namespace {

using kel::html_read::PageLines;

// The position of the first "name=" in attributes, letters compared without regard to case, or
// npos. Every occurrence ends in a '=', and attribute texts hold few of them.
std::size_t findName(std::string_view attributes) {
  for (std::size_t eq = attributes.find('=', 4); eq != std::string_view::npos;
       eq = attributes.find('=', eq + 1)) {
    const char* const p = attributes.data() + eq - 4;
    if ((p[0] | 0x20) == 'n' && (p[1] | 0x20) == 'a' && (p[2] | 0x20) == 'm' &&
        (p[3] | 0x20) == 'e') {
      return eq - 4;
    }
  }
  return std::string_view::npos;
}

// Whether tag, a tag's text with or without its lines joined, is named name (given in lower
// case): the name runs up to the first blank or line break, and ASCII letters compare without
// regard to case, as the tag reader folds them.
bool nameIs(std::string_view tag, std::string_view name) {
  if (tag.size() < name.size() ||
      (tag.size() > name.size() && tag[name.size()] != ' ' && tag[name.size()] != '\n')) {
    return false;
  }
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = tag[i];
    const char n = name[i];
    if (c != n && !(n >= 'a' && n <= 'z' && c == n - 'a' + 'A')) return false;
  }
  return true;
}

// The body text as it is written: its bytes are body[0, size()), and body's own size runs ahead,
// so that a piece is written without a call of the string's own per piece.
class BodyWriter {
 public:
  explicit BodyWriter(std::string& body) : body_(body), used_(body.size()) {}
  ~BodyWriter() { body_.resize(used_); }
  BodyWriter(const BodyWriter&) = delete;
  BodyWriter& operator=(const BodyWriter&) = delete;

  // Where the next bytes go, with room for n of them.
  char* room(std::size_t n) {
    // Growing by half and more keeps the calls few; what the string fills in is not much more
    // than the text.
    if (body_.size() - used_ < n) body_.resize(used_ + std::max(n, used_ / 2 + 4096));
    return &body_[used_];
  }
  // The bytes up to end, from room() on, are written.
  void wrote(const char* end) { used_ = static_cast<std::size_t>(end - body_.data()); }
  std::size_t size() const { return used_; }

 private:
  std::string& body_;
  std::size_t used_;
};

// Writes the text piece [s, e) of a body, as the page has it, to body as a blank and the piece
// with its lines joined and collapsed, or nothing when the piece holds nothing but line breaks;
// in one pass, as most pieces are a word or two. Returns false, with nothing written, when the
// piece holds a '&', which has to be resolved first. The bytes up to readable may be read.
bool writeShortPiece(BodyWriter& body, const char* s, const char* const e,
                     const char* const readable) {
  if (s == e) return true;
  // 33 bytes at least: the fast way below stores 32 bytes behind the blank.
  char* const blank = body.room(std::max<std::size_t>(static_cast<std::size_t>(e - s) + 1, 33));
#if defined(__SSE2__)
  if (e - s <= 32 && readable - s >= 33) {
    // Most pieces hold no '&', no line break and no two blanks in a row: then all there is to
    // do is to leave out a blank at either end.
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
    const auto where = [low, high](char c) {
      const __m128i wanted = _mm_set1_epi8(c);
      return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, wanted))) |
             static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, wanted))) << 16;
    };
    const auto length = static_cast<unsigned>(e - s);
    const unsigned inPiece = length == 32 ? ~0u : (1u << length) - 1;
    if ((where('&') & inPiece) != 0) return false;
    const unsigned blanks = where(' ') & inPiece;
    if ((where('\n') & inPiece) == 0 && (blanks & (blanks << 1)) == 0) {
      const unsigned from = blanks & 1u;
      const unsigned to = length - ((blanks >> (length - 1)) & 1u);
      // The piece goes over in two stores of 16 bytes; what lies behind it is left over.
      const char* const source = s + from;
      *blank = ' ';
      _mm_storeu_si128(reinterpret_cast<__m128i*>(blank + 1),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(source)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(blank + 17),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 16)));
      body.wrote(blank + 1 + (to > from ? to - from : 0));
      return true;
    }
  }
#endif
  char* const first = blank + 1;
  char* w = first;
  bool previousBlank = true;  // the start counts as a blank
  bool empty = true;
  for (; s != e; ++s) {
    char c = *s;
    if (c == '&') return false;
    if (c == '\n') {
      c = ' ';
    } else {
      empty = false;
    }
    if (c == ' ' && previousBlank) continue;
    *w++ = c;
    previousBlank = c == ' ';
  }
  if (empty) return true;
  if (w > first && w[-1] == ' ') --w;
  *blank = ' ';
  body.wrote(w);
  return true;
}

// Writes a blank and text, collapsed, to body. REQUIRES: text is not empty.
void writePiece(BodyWriter& body, std::string_view text) {
  char* const blank = body.room(text.size() + 1);
  *blank = ' ';
  body.wrote(writeCollapsed(blank + 1, text));
}

// The tags of a page read whole and the text in front of each, as HTML_Eater delivers them, but
// without folding every tag name: the reader only asks for a few names.
class TagScan {
 public:
  // Reads all of lines, into one allocation of about the page's size.
  explicit TagScan(PageLines& lines) : lines_(lines) {
    buffer_.reserve(static_cast<std::size_t>(lines_.fileSize()) + 64);
    if (!lines_.appendTo(buffer_)) lines_.fail("HTML-File without content");
    while (lines_.appendTo(buffer_)) {
    }
    text_ = buffer_.data();
  }

  // Finds the next tag: tag is its text with its lines joined (name, then a blank and the
  // attributes, if any). With keepText, text is the text in front of it, lines joined, comments
  // removed; otherwise text is left empty. Both are valid until the next call. false at the end
  // of the page.
  bool next(bool keepText, std::string_view& tag, std::string_view& text) {
    text = {};
    char* lt;
    char* gt;
    if (!findTag(text_, buffer_.data() + buffer_.size(), keepText, lt, gt)) return false;
    tag = kel::html_read::joinLines(lt + 1, static_cast<std::size_t>(gt - lt - 1), false);
    if (keepText) {
      if (pending_.empty()) {
        text = kel::html_read::joinLines(text_, static_cast<std::size_t>(lt - text_), true);
      } else {
        assembled_.swap(pending_);
        pending_.clear();
        kel::html_read::appendJoined(assembled_, text_, static_cast<std::size_t>(lt - text_));
        text = assembled_;
      }
    }
    text_ = gt + 1;
    return true;
  }

  // Reads the body from the end of the last tag on, as readPageText describes: up to "</body>" or
  // the end of the page. Only the names "/body" and "a" matter here, and a text piece costs one
  // pass unless it holds a '&' or follows a comment.
  template <typename Shown>
  void readBody(PageText& page, const Shown& shown) {
    BodyWriter body(page.body);
    const auto writeResolved = [&body, &shown](std::string_view text) {
      writePiece(body, shown(text));
    };
    char* const end = buffer_.data() + buffer_.size();
    char* text = text_;  // kept here rather than in the object, as the loop is hot
    std::string name;
    char* lt;
    char* gt;
    while (findTag(text, end, true, lt, gt)) {
      if (!pending_.empty()) {
        // Text in front of a comment: the piece is pending_ and the text after the comment.
        kel::html_read::appendJoined(pending_, text, static_cast<std::size_t>(lt - text));
        writeResolved(pending_);
        pending_.clear();
      } else if (lt - text > 32 || !writeShortPiece(body, text, lt, end)) {
        const std::string_view piece =
            kel::html_read::joinLines(text, static_cast<std::size_t>(lt - text), true);
        if (!piece.empty()) writeResolved(piece);
      }

      char* const tagText = lt + 1;
      const std::string_view tag(tagText, static_cast<std::size_t>(gt - tagText));
      text = gt + 1;
      // The byte at tagText is there even for "<>": it is the '>'.
      if (tagText[0] == '/') {
        if (nameIs(tag, "/body")) break;
      } else if ((tagText[0] == 'a' || tagText[0] == 'A') && nameIs(tag, "a")) {
        const std::string_view joined = kel::html_read::joinLines(tagText, tag.size(), false);
        if (anchorName(joined.substr(joined.size() > 1 ? 2 : 1), name)) {
          page.anchors.push_back(NamedAnchor{name, static_cast<unsigned>(body.size())});
        }
      }
    }
    text_ = text;
  }

 private:
  // Finds the next tag from text on, in the page that ends at end: its '<' and its closing '>',
  // the first outside double quotes. Comments on the way vanish, text moving behind each; with
  // keepText, the text in front of each joins pending_. false at the end of the page.
  // Inlined: a call per tag costs a tenth of reading the body.
  [[gnu::always_inline]] bool findTag(char*& text, char* const end, bool keepText, char*& lt,
                                      char*& gt) {
    for (;;) {
      lt = const_cast<char*>(kel::html_read::findByte(text, end, '<'));
      if (lt == end) return false;
      // The page ends with a '\n' and a NUL, so the bytes up to a mismatch are there.
      if (!(lt[1] == '!' && lt[2] == '-' && lt[3] == '-')) break;
      const char* const close = commentEnd(lt + 4, end);
      if (keepText)
        kel::html_read::appendJoined(pending_, text, static_cast<std::size_t>(lt - text));
      text = const_cast<char*>(close) + 3;
    }
    bool quoted = false;
    gt = const_cast<char*>(kel::html_read::findTagEnd(lt + 1, end, quoted));
    return gt != end;
  }

  // Where the "-->" from from on begins. Fails with "Unclosed comment" when there is none.
  const char* commentEnd(const char* from, const char* end) const {
    const std::string_view rest(from, static_cast<std::size_t>(end - from));
    const std::size_t at = rest.find("-->");
    if (at == std::string_view::npos) lines_.fail("Unclosed comment");
    return from + at;
  }

  PageLines& lines_;
  std::string buffer_;     // the page's lines, each ended by a '\n'
  char* text_;             // the text since the last tag starts here
  std::string pending_;    // the text in front of comments since the last tag, lines joined
  std::string assembled_;  // pending_ and the text after it
};

// The tag reader as a scan for readHead, for a page read only as far as its head: tag names come
// folded, without their attributes.
class EaterScan {
 public:
  explicit EaterScan(PageLines& lines) : eater_(lines, true) {}

  bool next(bool keepText, std::string_view& tag, std::string_view& text) {
    std::string_view attributes;
    if (!eater_.nextTag(tag, attributes)) return false;
    text = keepText ? eater_.textBefore : std::string_view();
    return true;
  }

 private:
  kel::html_read::HTML_Eater eater_;
};

// Reads the head with scan as readPageText describes, and sets page.headEnd.
template <typename Scan, typename Shown>
void readHead(Scan& scan, bool titleOnly, PageText& page, const Shown& shown) {
  std::string_view tag;
  std::string_view text;
  page.headEnd = HeadEnd::end;
  bool inTitle = false;
  for (;;) {
    if (!scan.next(inTitle, tag, text)) {
      if (inTitle) {
        collapseSpaces(page.title);
        if (titleOnly) page.headEnd = HeadEnd::title;
      }
      return;
    }
    if (inTitle) {
      if (!text.empty()) {
        page.title += ' ';
        page.title += shown(text);
      }
      if (nameIs(tag, "/title") || nameIs(tag, "/head")) {
        collapseSpaces(page.title);
        if (titleOnly) {
          page.headEnd = HeadEnd::title;
          return;
        }
        inTitle = false;
      }
    } else if (nameIs(tag, "body")) {
      page.headEnd = HeadEnd::body;
      return;
    } else if (nameIs(tag, "title")) {
      page.title.clear();
      inTitle = true;
    }
  }
}

}  // namespace

void readPageText(PageLines& lines, bool titleOnly, PageText& page) {
  const bool utf8 = lines.utf8();
  std::string scratch;
  // The text as it is shown: its words those the index holds.
  const auto shown = [utf8, &scratch](std::string_view text) -> std::string_view {
    return decodePageText(text, utf8, scratch, PageTextUse::display) ? std::string_view(scratch)
                                                                     : text;
  };
  if (titleOnly) {
    // Of a page read for its title only, the rest is not read: the tag reader takes the lines
    // only as far as the head needs them.
    EaterScan scan(lines);
    readHead(scan, true, page, shown);
    return;
  }
  TagScan scan(lines);
  readHead(scan, false, page, shown);
  if (page.headEnd != HeadEnd::body) return;
  // The text is rarely longer than the page it comes from, so one allocation usually holds it.
  page.body.reserve(static_cast<std::size_t>(lines.fileSize()));
  scan.readBody(page, shown);
}

bool anchorName(std::string_view attributes, std::string& name) {
  const std::size_t at = findName(attributes);
  if (at == std::string_view::npos) return false;
  const std::size_t from = at + 5;
  const std::size_t to = attributes.find_first_of(" >", from);
  std::string_view value = attributes.substr(from, to == std::string_view::npos ? to : to - from);
  if (!value.empty() && value.front() == '"') {
    value.remove_prefix(1);
    if (!value.empty() && value.back() == '"') value.remove_suffix(1);
  }
  name.assign(value);
  return true;
}
