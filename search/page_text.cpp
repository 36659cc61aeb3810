#include "search/page_text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <string_view>

#include "index/word_extraction.h"
#include "kel/html_read/byte_scan.h"
#include "search/result_text.h"

namespace {

using kel::html_read::PageLines;

// Consumed bytes at the front of the buffer that are not worth moving away.
constexpr std::size_t kKeptFront = 64 * 1024;

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

// Whether a tag's name, its text up to the first blank, is name (given in lower case): ASCII
// letters are compared without regard to case, as the tag reader folds them.
bool nameIs(std::string_view tag, std::string_view name) {
  if (tag.size() < name.size() || (tag.size() > name.size() && tag[name.size()] != ' ')) {
    return false;
  }
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = tag[i];
    const char n = name[i];
    if (c != n && !(n >= 'a' && n <= 'z' && c == n - 'a' + 'A')) return false;
  }
  return true;
}

// Whether tag, a tag's text as the page has it (its lines not joined), is named name (given in
// lower case): the name runs up to the first blank or line break, and ASCII letters compare
// without regard to case, as the tag reader folds them.
bool rawNameIs(const char* tag, std::size_t length, std::string_view name) {
  if (length < name.size() ||
      (length > name.size() && tag[name.size()] != ' ' && tag[name.size()] != '\n')) {
    return false;
  }
  return nameIs(std::string_view(tag, name.size()), name);
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

// The tags of a page and the text in front of each, as HTML_Eater delivers them, without the
// folding of every tag name: the reader only asks for a few names.
class TagScan {
 public:
  // With wholePage, every line is read at once, into one allocation of about the page's size;
  // otherwise lines are read as far as the tags asked for need, and the consumed front is dropped
  // now and then.
  TagScan(PageLines& lines, bool wholePage) : lines_(lines), wholePage_(wholePage) {
    if (wholePage_) buffer_.reserve(static_cast<std::size_t>(lines_.fileSize()) + 64);
    if (!lines_.appendTo(buffer_)) lines_.fail("HTML-File without content");
    if (wholePage_) {
      while (lines_.appendTo(buffer_)) {
      }
    }
  }

  // Finds the next tag: tag is its text with its lines joined (name, then a blank and the
  // attributes, if any). With keepText, text is the text in front of it, lines joined, comments
  // removed; otherwise text is left empty. Both are valid until the next call. false at the end
  // of the file.
  bool next(bool keepText, std::string_view& tag, std::string_view& text) {
    text = {};
    if (!wholePage_ && start_ >= kKeptFront && start_ * 2 >= buffer_.size()) {
      buffer_.erase(0, start_);
      start_ = 0;
    }
    char* data = buffer_.data();
    char* end = data + buffer_.size();
    char* lt = data + start_;
    std::size_t textStart = start_;
    for (;;) {
      lt = const_cast<char*>(kel::html_read::findByte(lt, end, '<'));
      while (lt == end) {
        const std::size_t at = buffer_.size();
        if (!readMore(data, end)) return false;
        lt = const_cast<char*>(kel::html_read::findByte(data + at, end, '<'));
      }
      // The buffer ends with a '\n', so the three bytes after a '<' are there to look at.
      if (!(lt[1] == '!' && lt[2] == '-' && lt[3] == '-')) break;
      std::size_t close = buffer_.find("-->", static_cast<std::size_t>(lt - data) + 4);
      while (close == std::string::npos) {
        // No "-->" spans the old end and the new lines: the old end is a '\n'.
        const std::size_t at = buffer_.size();
        const std::size_t ltAt = static_cast<std::size_t>(lt - data);
        if (!readMore(data, end)) lines_.fail("Unclosed comment");
        lt = data + ltAt;
        close = buffer_.find("-->", at);
      }
      if (keepText) appendJoined(pending_, data + textStart, lt);
      textStart = close + 3;
      lt = data + textStart;
    }
    std::size_t ltAt = static_cast<std::size_t>(lt - data);
    bool quoted = false;
    char* gt = const_cast<char*>(kel::html_read::findTagEnd(lt + 1, end, quoted));
    while (gt == end) {
      const std::size_t at = buffer_.size();
      if (!readMore(data, end)) return false;
      gt = const_cast<char*>(kel::html_read::findTagEnd(data + at, end, quoted));
    }
    lt = data + ltAt;
    const std::size_t gtAt = static_cast<std::size_t>(gt - data);

    tag = kel::html_read::joinLines(lt + 1, gtAt - ltAt - 1, false);
    if (keepText) {
      if (pending_.empty()) {
        text = kel::html_read::joinLines(data + textStart, ltAt - textStart, true);
      } else {
        assembled_.swap(pending_);
        pending_.clear();
        appendJoined(assembled_, data + textStart, lt);
        text = assembled_;
      }
    }
    start_ = gtAt + 1;
    return true;
  }

  // Reads the body from the end of the last tag on, as readPageText describes: up to "</body>" or
  // the end of the page. Only the names "/body" and "a" matter here, and a text piece costs one
  // pass unless it holds a '&' or follows a comment. REQUIRES: the page was read whole.
  template <typename Shown>
  void readBody(PageText& page, const Shown& shown) {
    BodyWriter body(page.body);
    // A piece that holds a '&' is shown with its entities resolved; most hold none.
    const auto writeResolved = [&body, &shown](std::string_view text) {
      writePiece(body, text.find('&') == std::string_view::npos ? text : shown(text));
    };
    char* const data = buffer_.data();
    char* const end = data + buffer_.size();
    char* p = data + start_;  // the text since the last tag
    std::string name;
    for (;;) {
      char* lt = const_cast<char*>(kel::html_read::findByte(p, end, '<'));
      if (lt == end) return;
      // The buffer ends with a '\n' and a NUL, so the bytes up to a mismatch are there.
      if (lt[1] == '!' && lt[2] == '-' && lt[3] == '-') {
        const std::size_t close =
            std::string_view(buffer_).find("-->", static_cast<std::size_t>(lt - data) + 4);
        if (close == std::string::npos) lines_.fail("Unclosed comment");
        appendJoined(pending_, p, lt);
        p = data + close + 3;
        continue;
      }
      bool quoted = false;
      char* const gt = const_cast<char*>(kel::html_read::findTagEnd(lt + 1, end, quoted));
      if (gt == end) return;

      if (!pending_.empty()) {
        // Text in front of a comment: the piece is pending_ and the text after the comment.
        appendJoined(pending_, p, lt);
        writeResolved(pending_);
        pending_.clear();
      } else if (lt - p > 32 || !writeShortPiece(body, p, lt, end)) {
        const std::string_view text =
            kel::html_read::joinLines(p, static_cast<std::size_t>(lt - p), true);
        if (!text.empty()) writeResolved(text);
      }

      char* const tag = lt + 1;
      const auto length = static_cast<std::size_t>(gt - tag);
      if (tag[0] == '/') {
        if (rawNameIs(tag, length, "/body")) return;
      } else if ((tag[0] == 'a' || tag[0] == 'A') && rawNameIs(tag, length, "a")) {
        const std::string_view joined = kel::html_read::joinLines(tag, length, false);
        if (anchorName(joined.substr(joined.size() > 1 ? 2 : 1), name)) {
          page.anchors.push_back(NamedAnchor{name, static_cast<unsigned>(body.size())});
        }
      }
      p = gt + 1;
    }
  }

 private:
  // Appends [from, to) of the buffer to out with its lines joined, behind the text out holds.
  void appendJoined(std::string& out, char* from, char* to) {
    out.append(kel::html_read::joinLines(from, static_cast<std::size_t>(to - from), out.empty()));
  }

  // Appends the next lines to the buffer and renews data and end; false at the end of the file.
  bool readMore(char*& data, char*& end) {
    if (wholePage_ || !lines_.appendTo(buffer_)) return false;
    data = buffer_.data();
    end = data + buffer_.size();
    return true;
  }

  PageLines& lines_;
  const bool wholePage_;
  // The lines read and not yet dropped, each ended by a '\n'; consumed up to start_.
  std::string buffer_;
  std::size_t start_ = 0;
  std::string pending_;    // the text in front of comments since the last tag, lines joined
  std::string assembled_;  // pending_ and the text after it
};

}  // namespace

void readPageText(PageLines& lines, bool titleOnly, PageText& page) {
  // A page read to its end is held whole; of one read for its title only, the rest is not read.
  TagScan scan(lines, !titleOnly);
  const bool utf8 = lines.utf8();
  std::string scratch;
  // The text as it is shown: its words those the index holds.
  const auto shown = [utf8, &scratch](std::string_view text) -> std::string_view {
    return decodePageText(text, utf8, scratch, PageTextUse::display) ? std::string_view(scratch)
                                                                     : text;
  };
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
      break;
    } else if (nameIs(tag, "title")) {
      page.title.clear();
      inTitle = true;
    }
  }

  page.headEnd = HeadEnd::body;
  if (titleOnly) return;
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
