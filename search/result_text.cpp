#include "search/result_text.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <iterator>
#include <optional>

#include "app/options.h"
#include "index/word_extraction.h"
#include "kel/err/error.h"
#include "kel/err/format.h"
#include "kel/html_read/page_lines.h"
#include "search/hits.h"

namespace {

const char* const tooBigText = "text-search skipped (file too big)";
const char* const noBodyText = "has no body";

// The excerpt window around the hits first..last: its offset and length in body, on word
// boundaries. The length may count one byte past the end of body.
void excerptWindow(const std::string& body, const Fundstelle& first, const Fundstelle& last,
                   int maxLength, std::size_t& offset, std::size_t& length) {
  const unsigned limit = static_cast<unsigned>(maxLength);
  const unsigned span = last.position + last.length - first.position;
  unsigned start;
  if (span > limit) {
    start = first.position + (span - limit) / 2;  // centred inside the hit span
  } else {
    const unsigned half = (limit - span) / 2;
    start = half < first.position ? first.position - half : 0;
  }

  const std::size_t size = body.size();
  std::size_t s = std::min<std::size_t>(start, size);
  const std::size_t advance =
      maxLength == 0 || maxLength == 1 ? 0 : std::min<std::size_t>(limit - 1, size - s);
  std::size_t e = s + advance;

  if (s < size && body[s] != ' ' && s != 0) {
    while (s != 0 && body[s] != ' ') --s;
  }
  while (s < size && body[s] == ' ') ++s;

  auto toWordEnd = [&body, size](std::size_t& end) {
    if (end < size && body[end] != ' ') {
      while (end < size && body[end] != ' ') ++end;
    }
    if (end < size && body[end] == ' ' && end != 0) {
      while (end != 0 && body[end] == ' ') --end;
    }
  };
  toWordEnd(e);
  // A window of a byte or two that starts on blanks would end before it begins; it then
  // holds the word at its start.
  if (e < s) {
    e = s;
    toWordEnd(e);
  }
  offset = s;
  length = e - s + 1;
}

}  // namespace

namespace {

// Scores body; when it holds a window of hits, makes result the excerpt around it.
void excerpt(const std::string& body, const NamedAnchors& anchors,
             const std::list<SearchTerm>& terms, const ResultTextOptions& options,
             FileResult& result) {
  Fundstellen hits;
  findHits(body, hits, terms);
  Fundstellen::const_iterator first;
  Fundstellen::const_iterator last;
  if (!scoreHits(hits, first, last, static_cast<unsigned>(terms.size()), result.score)) return;
  std::size_t offset = 0;
  std::size_t length = 0;
  excerptWindow(body, *first, *last, options.maxLength, offset, length);
  result.anchor = anchorBefore(anchors, static_cast<unsigned>(offset));
  result.text = body.substr(offset, length);
  highlight(terms, options.markup, result.text);
  if (options.highlightTitle) highlight(terms, options.markup, result.title);
  result.isResult = true;
}

}  // namespace

FileResult readResult(const std::string& fileName, const std::list<SearchTerm>& terms,
                      const ResultTextOptions& options) {
  FileResult result;
  if (options.log) *options.log << "Search in " << fileName << " ...\n";
  std::optional<kel::html_read::PageLines> lines;
  try {
    lines.emplace(fileName, kel::html_read::BeyondLatin1::reference);
  } catch (const kel::err::IOError&) {
    // A file that is gone is no result; one that is there but cannot be read ends the search.
    struct stat status;
    if (::stat(fileName.c_str(), &status) != 0) return result;
    throw;
  }
  const std::uint64_t size = lines->fileSize();
  const bool tooBig =
      static_cast<std::int64_t>(size) > static_cast<std::int64_t>(options.maxKilobytes) * 1024;
  PageText page;
  page.title = std::move(result.title);
  readPageText(*lines, tooBig, page);
  result.title = std::move(page.title);
  if (page.headEnd == HeadEnd::end || tooBig) {
    // Fixed texts: the file is listed with score 0 and without highlighting.
    result.text = page.headEnd == HeadEnd::end ? noBodyText : tooBigText;
    result.isResult = true;
    return result;
  }
  try {
    excerpt(page.body, page.anchors, terms, options, result);
  } catch (const TermTooComplex& e) {
    // The engine gave up on this page, not on the search: the other candidates still count.
    if (options.log) *options.log << "Skipping " << fileName << ": " << e.what() << "\n";
    result = FileResult{};
  }
  return result;
}

ResultTextOptions commandLineTextOptions(int maxLength, int maxKilobytes) {
  ResultTextOptions options;
  options.maxLength = maxLength;
  options.maxKilobytes = maxKilobytes;
  options.markup = optHighlight.value();
  options.highlightTitle = optTitleHighlight.isActive();
  options.log = optVerbose.isActive() ? &std::cerr : nullptr;
  return options;
}

bool searchFile(const std::string& fileName, const std::list<SearchTerm>& terms, std::string& title,
                std::string& text, std::string& anchor, int maxLength, int maxKilobytes,
                double& score) {
  FileResult result = readResult(fileName, terms, commandLineTextOptions(maxLength, maxKilobytes));
  title.swap(result.title);
  text.swap(result.text);
  anchor.swap(result.anchor);
  score = result.score;
  return result.isResult;
}

void collapseSpaces(std::string& s) {
  std::string out;
  out.reserve(s.size());
  appendCollapsed(out, s);
  s.swap(out);
}

namespace {

// The position of the first blank in s from i on that follows a blank (the start counting as
// one when previousBlank), or s.size(). Eight bytes at a time where the byte order allows.
std::size_t findBlankAfterBlank(std::string_view s, std::size_t i, bool previousBlank) {
  constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  const char* const p = s.data();
  const std::size_t n = s.size();
  if (kLittleEndian) {
    for (; n - i >= 8; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      const std::uint64_t x = word ^ (kOnes * ' ');
      const std::uint64_t blanks = ~(((x & ~kHigh) + ~kHigh) | x) & kHigh;  // 0x80 per blank
      const std::uint64_t follows = (blanks << 8) | (previousBlank ? 0x80u : 0u);
      if ((blanks & follows) != 0) break;
      previousBlank = (blanks >> 63) != 0;
    }
  }
  for (; i < n; ++i) {
    if (p[i] == ' ' && previousBlank) return i;
    previousBlank = p[i] == ' ';
  }
  return n;
}

}  // namespace

char* writeCollapsed(char* out, std::string_view s) {
  char* const first = out;
  std::size_t i = 0;
  bool previousBlank = true;  // the start counts as a blank
  while (i < s.size()) {
    // Runs without a doubled blank are copied whole; the blanks that follow a blank are dropped.
    const std::size_t run = findBlankAfterBlank(s, i, previousBlank);
    std::memcpy(out, s.data() + i, run - i);
    out += run - i;
    if (run > i) previousBlank = s[run - 1] == ' ';
    i = run;
    while (i < s.size() && s[i] == ' ') ++i;
  }
  if (out > first && out[-1] == ' ') --out;
  return out;
}

void appendCollapsed(std::string& out, std::string_view s) {
  const std::size_t base = out.size();
  out.resize(base + s.size());
  out.resize(static_cast<std::size_t>(writeCollapsed(&out[base], s) - out.data()));
}

std::string anchorBefore(const NamedAnchors& anchors, unsigned offset) {
  std::string result;
  for (const NamedAnchor& a : anchors) {
    if (a.offset > offset) break;
    result = a.name;
  }
  return result;
}

void highlight(const std::list<SearchTerm>& terms, std::string& s) {
  highlight(terms, optHighlight.value(), s);
}

void highlight(const std::list<SearchTerm>& terms, const std::string& markup, std::string& s) {
  const std::string::size_type at = markup.find("$$$");
  if (at == std::string::npos) throw kel::err::Error("$$$ awaited in '" + markup + "'");
  const std::string before = markup.substr(0, at);
  const std::string after = markup.substr(at + 3);

  Fundstellen hits;
  findHits(s, hits, terms);
  if (hits.empty()) return;

  bool overlapping = false;
  for (auto it = hits.begin(), next = std::next(it); next != hits.end(); it = next++) {
    if (next->position < it->position + it->length) {
      overlapping = true;
      break;
    }
  }
  if (!overlapping) {
    // Disjoint hits: wrapping them from the last to the first gives the same text as one pass
    // from the front, which copies every byte once.
    std::string out;
    out.reserve(s.size() + hits.size() * (before.size() + after.size()));
    std::string::size_type done = 0;
    for (const Fundstelle& hit : hits) {
      out.append(s, done, hit.position - done);
      out += before;
      out.append(s, hit.position, hit.length);
      out += after;
      done = hit.position + hit.length;
    }
    out.append(s, done, std::string::npos);
    s.swap(out);
    return;
  }
  // Overlapping hits: each later wrap shifts the bytes behind it, so an earlier hit that reaches
  // into a later one wraps part of that one's markup.
  for (auto it = hits.rbegin(); it != hits.rend(); ++it) {
    s.insert(std::min<std::string::size_type>(it->position + it->length, s.size()), after);
    s.insert(it->position, before);
  }
}
