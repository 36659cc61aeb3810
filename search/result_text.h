// The title, excerpt, anchor and score of one candidate file, and the highlighting of hits.
#ifndef CORVEX_SEARCH_RESULT_TEXT_H
#define CORVEX_SEARCH_RESULT_TEXT_H

#include <list>
#include <ostream>
#include <string>
#include <string_view>

#include "index/lookup.h"
#include "search/page_text.h"

// How candidates are read: the values of -L, -S, -H, -T and -v.
struct ResultTextOptions {
  int maxLength = 300;                // excerpt length in bytes
  int maxKilobytes = 150;             // larger files are not searched for an excerpt
  std::string markup = "<b>$$$</b>";  // around every hit, the hit in place of "$$$"
  bool highlightTitle = false;        // wrap the hits of the title too
  std::ostream* log = nullptr;        // "Search in ..." and "Skipping ..." lines, or none
};

// The options as the command line gives them (-H, -T, -v to standard error), with maxLength and
// maxKilobytes.
ResultTextOptions commandLineTextOptions(int maxLength, int maxKilobytes);

// What reading one candidate gives.
struct FileResult {
  bool isResult = false;
  std::string title = "Not set";
  std::string text = "Not set";
  std::string anchor;
  double score = 0;
};

// Reads fileName and decides whether it is a result for terms.
//
// Text is read as the index reads it: in the title and the body the entities that the index reads
// as umlauts or sharp s are those bytes, other entities stay as written. A page that declares
// UTF-8 is read as Latin-1 text, characters beyond Latin-1 written as "&#N;" and its character
// references resolved as browsers do ('<', '>', '&' and characters beyond Latin-1 staying
// references), so the title and the excerpt show right in a Latin-1 page.
//
// title: the text of the last title element of the head (collapsed), or "Not set" without one.
// text, anchor, score:
// - a file larger than maxKilobytes * 1024 bytes: "text-search skipped (file too big)", no
//   anchor, score 0, the title of the first title element (the rest is not read);
// - a file without a body tag: "has no body", no anchor, score 0;
// - otherwise the excerpt of about maxLength bytes, cut on word boundaries around the window of
//   hits chosen by scoreHits, with every hit wrapped in the markup; the name of the last named
//   anchor before it (or empty); the window's score. With highlightTitle the hits in the title
//   are wrapped as well. A body without a window of hits makes the file no result.
// A file that cannot be stat'ed (vanished since indexing) is no result, without a message; nor
// is a file on which the expression engine gives up for a term (TermTooComplex), with log
// receiving "Skipping <file>: <reason>". log first receives "Search in <file> ...".
// Throws kel::err::Error for an empty file or an unclosed comment (the reader's errors), and for
// a markup without "$$$" once a window is found.
FileResult readResult(const std::string& fileName, const std::list<SearchTerm>& terms,
                      const ResultTextOptions& options);

// readResult with -H, -T and -v of the command line, its result in the output parameters;
// returns whether the file is a result.
bool searchFile(const std::string& fileName, const std::list<SearchTerm>& terms, std::string& title,
                std::string& text, std::string& anchor, int maxLength, int maxKilobytes,
                double& score);

// Drops every blank (0x20) at the start of s or after another blank, then one trailing blank.
// Other white space is kept as it is.
void collapseSpaces(std::string& s);

// Appends s to out as collapseSpaces would leave it, in one pass.
void appendCollapsed(std::string& out, std::string_view s);
// Writes s as appendCollapsed appends it, from out on, and returns the end of what it wrote.
// REQUIRES: out has room for s.size() bytes.
char* writeCollapsed(char* out, std::string_view s);

// The name of the last anchor whose offset is not greater than offset, or "" when there is none.
std::string anchorBefore(const NamedAnchors& anchors, unsigned offset);

// Wraps every hit of terms in s in markup, the matched bytes taking the place of "$$$".
// Hits are wrapped from the last to the first; overlapping hits are not merged.
// Throws kel::err::Error("$$$ awaited in '<markup>'") when the markup holds no "$$$"; s is then
// unchanged.
void highlight(const std::list<SearchTerm>& terms, const std::string& markup, std::string& s);

// highlight with the -H markup of the command line.
void highlight(const std::list<SearchTerm>& terms, std::string& s);

#endif
