// What a search shows of a candidate page: its title, its body text and the named anchors in
// that text, read in one pass.
#ifndef CORVEX_SEARCH_PAGE_TEXT_H
#define CORVEX_SEARCH_PAGE_TEXT_H

#include <list>
#include <string>
#include <string_view>

#include "kel/html_read/page_lines.h"

// A named anchor of a page's body, with the offset in the body text of the blank in front of the
// first text after it.
struct NamedAnchor {
  std::string name;
  unsigned offset;
};
using NamedAnchors = std::list<NamedAnchor>;

// Where the head of a page ended.
enum class HeadEnd { body, title, end };

struct PageText {
  // The text of the last title element of the head, collapsed; unchanged without one.
  std::string title;
  // Every text piece between two tags of the body, collapsed, each preceded by one blank.
  std::string body;
  NamedAnchors anchors;
  HeadEnd headEnd = HeadEnd::end;
};

// Reads the page of lines as HTML_Eater delivers its tags (lowercase names, texts with their
// lines joined) and fills page:
// - the head, up to the body tag: the title from every title element (text pieces joined with
//   blanks, entities as decodePageText shows them, up to "</title>" or "</head>"); with
//   titleOnly the reading ends behind the first title element (headEnd title);
// - then the body, up to "</body>" or the end of the file: its text pieces, entities resolved
//   the same way, and for every "<a" tag with a "name=" attribute that name, at the body's size
//   so far.
// headEnd says whether a body tag came (body), the reading ended after the first title (title),
// or the file ended first (end; the body is then empty). With titleOnly the body is never read.
// Without it the page is held whole while it is read (memory of about twice its size); with it
// the lines are read only as far as the head needs them.
// Throws the errors of HTML_Eater: kel::err::Error "Error in <file> (#0): HTML-File without
// content" for an empty file, "Error in <file> (#<lines>): Unclosed comment" for a comment that
// is still open where the reading needs to get past it.
void readPageText(kel::html_read::PageLines& lines, bool titleOnly, PageText& page);

// The name that a "name=" (letters in any case) in the attribute text of an a tag gives, up to a
// blank or '>', without the double quotes around it; false when there is none.
bool anchorName(std::string_view attributes, std::string& name);

#endif
