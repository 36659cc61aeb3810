#include "search/result_text.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <iterator>

#include "app/options.h"
#include "kel/err/error.h"
#include "kel/err/format.h"
#include "index/word_extraction.h"
#include "kel/html_read/char_refs.h"
#include "kel/html_read/html_eater.h"
#include "search/hits.h"

namespace {

const char* const tooBigText = "text-search skipped (file too big)";
const char* const noBodyText = "has no body";

// Moves the reader's text in front of the last tag into piece, with the entities that the index
// reads as letters turned into them: in a UTF-8 page every character reference (resolveCharRefs;
// markup characters and characters beyond Latin-1 stay references), in any other page the
// entities of umlauts and sharp s. So the words of the text are those the index holds, while the
// text still shows as written. scratch is working space.
void takeText(kel::html_read::HTML_Eater& eater, std::string& piece, std::string& scratch) {
  piece.clear();
  piece.swap(eater.textBefore);
  if (eater.utf8()) {
    if (kel::html_read::resolveCharRefs(piece, scratch, kel::html_read::BeyondLatin1::reference)) {
      piece.swap(scratch);
    }
  } else {
    decodeUmlautEntities(piece, scratch);
  }
}

// The name given by a "name=" in the attribute text of an a tag, or false when there is none.
bool anchorName(const std::string& attributes, std::string& name) {
  std::string folded = attributes;
  kel::toLowerCase(folded);
  const std::string::size_type at = folded.find("name=");
  if (at == std::string::npos) return false;
  const std::string::size_type from = at + 5;
  const std::string::size_type to = attributes.find_first_of(" >", from);
  name = attributes.substr(from, to == std::string::npos ? std::string::npos : to - from);
  if (!name.empty() && name.front() == '"') {
    name.erase(0, 1);
    if (!name.empty() && name.back() == '"') name.pop_back();
  }
  return true;
}

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

// Where the head of a page ends for readHead.
enum class HeadEnd { body, title, end };

// Reads tags up to the body tag, taking the title from every title element on the way (the last
// one counts). With stopAfterTitle the reading stops behind the first title element.
HeadEnd readHead(kel::html_read::HTML_Eater& eater, bool stopAfterTitle, std::string& title,
                 std::string& piece, std::string& scratch) {
  std::string tag;
  std::string attributes;
  while (eater.nextTag(tag, attributes)) {
    if (tag == "body") return HeadEnd::body;
    if (tag != "title") continue;
    title.clear();
    while (eater.nextTag(tag, attributes)) {
      if (!eater.textBefore.empty()) {
        takeText(eater, piece, scratch);
        title += ' ';
        title += piece;
      }
      if (tag == "/title" || tag == "/head") break;
    }
    collapseSpaces(title);
    if (stopAfterTitle) return HeadEnd::title;
  }
  return HeadEnd::end;
}

// Reads the body up to its end tag: every text piece between two tags, collapsed, each preceded
// by one blank, and the named anchors with their offsets in that text.
std::string readBody(kel::html_read::HTML_Eater& eater, NamedAnchors& anchors, std::string& piece,
                     std::string& scratch) {
  std::string body;
  std::string tag;
  std::string attributes;
  std::string name;
  while (eater.nextTag(tag, attributes)) {
    if (!eater.textBefore.empty()) {
      takeText(eater, piece, scratch);
      collapseSpaces(piece);
      body += ' ';
      body += piece;
    }
    if (tag == "/body") break;
    if (tag == "a" && anchorName(attributes, name)) {
      anchors.push_back(NamedAnchor{name, static_cast<unsigned>(body.size())});
    }
  }
  return body;
}

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
  struct stat status;
  if (::stat(fileName.c_str(), &status) != 0) return result;
  const bool tooBig = static_cast<std::int64_t>(status.st_size) >
                      static_cast<std::int64_t>(options.maxKilobytes) * 1024;

  kel::html_read::HTML_Eater eater(fileName, true, kel::html_read::BeyondLatin1::reference);
  std::string piece;
  std::string scratch;
  const HeadEnd head = readHead(eater, tooBig, result.title, piece, scratch);
  if (head == HeadEnd::end || tooBig) {
    // Fixed texts: the file is listed with score 0 and without highlighting.
    result.text = head == HeadEnd::end ? noBodyText : tooBigText;
    result.isResult = true;
    return result;
  }
  NamedAnchors anchors;
  const std::string body = readBody(eater, anchors, piece, scratch);
  try {
    excerpt(body, anchors, terms, options, result);
  } catch (const TermTooComplex& e) {
    // The engine gave up on this page, not on the search: the other candidates still count.
    if (options.log) *options.log << "Skipping " << fileName << ": " << e.what() << "\n";
    result = FileResult{};
  }
  return result;
}

bool searchFile(const std::string& fileName, const std::list<SearchTerm>& terms, std::string& title,
                std::string& text, std::string& anchor, int maxLength, int maxKilobytes,
                double& score) {
  ResultTextOptions options;
  options.maxLength = maxLength;
  options.maxKilobytes = maxKilobytes;
  options.markup = optHighlight.value();
  options.highlightTitle = optTitleHighlight.isActive();
  options.log = optVerbose.isActive() ? &std::cerr : nullptr;
  FileResult result = readResult(fileName, terms, options);
  title.swap(result.title);
  text.swap(result.text);
  anchor.swap(result.anchor);
  score = result.score;
  return result.isResult;
}

void collapseSpaces(std::string& s) {
  // Every byte is copied onto its place and the write position advances unless the byte is a
  // blank after a blank (the start counts as one): no branch on the text in the loop.
  char* const p = s.data();
  const std::string::size_type n = s.size();
  std::string::size_type out = 0;
  char previous = ' ';
  for (std::string::size_type i = 0; i < n; ++i) {
    const char c = p[i];
    p[out] = c;
    out += !(c == ' ' && previous == ' ');
    previous = c;
  }
  if (out != 0 && p[out - 1] == ' ') --out;
  s.resize(out);
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
