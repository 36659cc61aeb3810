// The result text of one page: title, excerpt, hits, score and highlighting.
//
// Input: one byte of settings (bit 0: ignore case; bits 1-3: the excerpt length; bits 4-5: the
// size limit), the search string up to the first '\n', then the page.
// Properties: a page is a result with a finite score of at least 0, or no result (also when the
// expression engine gives up on it), or fails with one of the reader's two errors; with the hit
// markup "\x01$$$\x02" the markup is balanced and the highlighted text without it is the excerpt,
// for the page's excerpt and title as for any text; scoring any text's hits gives a finite score
// and a window of at least one byte.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>

#include <boost/regex.hpp>

#include "app/options.h"
#include "fuzz_util.h"
#include "index/lookup.h"
#include "index/word_extraction.h"
#include "kel/err/error.h"
#include "search/hits.h"
#include "search/result_text.h"

namespace {

constexpr char kBefore = '\x01';
constexpr char kAfter = '\x02';

// s without the markup bytes; fails when they are not balanced.
std::string withoutMarkup(const std::string& s) {
  std::string plain;
  long depth = 0;
  for (const char c : s) {
    if (c == kBefore) {
      ++depth;
    } else if (c == kAfter) {
      fuzz::check(--depth >= 0, "the hit markup is balanced", fuzz::quoted(s));
    } else {
      plain += c;
    }
  }
  fuzz::check(depth == 0, "the hit markup is balanced", fuzz::quoted(s));
  return plain;
}

void checkHighlight(const std::list<SearchTerm>& terms, const std::string& plain) {
  std::string marked = plain;
  try {
    highlight(terms, marked);
  } catch (const kel::err::Error&) {
    return;  // the expression engine gave up on this text
  }
  fuzz::check(withoutMarkup(marked) == plain, "the highlighted text without its markup is the text",
              fuzz::quoted(marked) + " from " + fuzz::quoted(plain));
}

void checkScore(const std::list<SearchTerm>& terms, const std::string& text) {
  Fundstellen hits;
  try {
    findHits(text, hits, terms);
  } catch (const kel::err::Error&) {
    return;
  }
  Fundstellen::const_iterator first;
  Fundstellen::const_iterator last;
  double score = -1;
  const bool found = scoreHits(hits, first, last, static_cast<unsigned>(terms.size()), score);
  fuzz::check(std::isfinite(score) && score >= 0, "a score is finite and not negative");
  if (!found) return;
  fuzz::check(first->position <= last->position && last->position + last->length > first->position,
              "a window spans at least one byte from its first to its last hit");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Hits are wrapped in single bytes that the pages below never hold, and titles too (-T).
  const char* const words[] = {
      (*argc > 0 ? (*argv)[0] : "corvex"), "-T", "-H", "\x01$$$\x02", "search", "index", "roots"};
  programInfo.init(7, words);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Fields fields(data, size);
  const unsigned settings = fields.byte();
  const std::string search(fields.next('\n'));
  std::string page(fields.rest());
  if (search.size() > 64) return 0;  // long expressions only slow the search down
  for (char& c : page) {
    if (c == kBefore || c == kAfter) c = '\x7F';
  }

  static const int lengths[] = {0, 1, 2, 7, 40, 120, 300, 2000};
  static const int kilobytes[] = {0, 1, 4, 150};
  const int maxLength = lengths[(settings >> 1) & 7];
  const int maxKilobytes = kilobytes[(settings >> 4) & 3];
  const unsigned flags = boost::regex::normal | ((settings & 1) ? boost::regex::icase : 0);

  std::list<std::string> pieces;
  const std::string blank = " ";
  splitWords(pieces, search, nullptr, &blank);
  if (pieces.empty() || pieces.size() > 6) return 0;
  std::list<SearchTerm> terms;
  try {
    for (const std::string& piece : pieces) terms.emplace_back(piece, flags);
  } catch (const kel::err::Error&) {
    return 0;  // an invalid or too complex expression
  }

  const std::string path = fuzz::writeScratchFile("page.html", page);
  std::string title, text, anchor;
  double score = -1;
  bool result = false;
  try {
    result = searchFile(path, terms, title, text, anchor, maxLength, maxKilobytes, score);
  } catch (const kel::err::Error& e) {
    const std::string what = e.what();
    fuzz::check(what.rfind("Error in " + path + " (#", 0) == 0,
                "only the reader's errors end a page", what);
  }
  if (result) {
    fuzz::check(std::isfinite(score) && score >= 0, "a score is finite and not negative");
    const std::string excerpt = withoutMarkup(text);
    checkHighlight(terms, excerpt);
    checkHighlight(terms, withoutMarkup(title));
  }
  const std::string sample = page.substr(0, 512);
  checkHighlight(terms, sample);
  checkScore(terms, sample);
  return 0;
}
