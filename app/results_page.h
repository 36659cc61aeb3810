// The result page and the error page as element trees, the rows of the result table, the URL of
// a result and the substitution of the result template.
//
// Every text node built here holds its text entity-encoded (encodeEntities); only result rows,
// made by the caller from substituteTemplate, go into the page as they are.
#ifndef CORVEX_APP_RESULTS_PAGE_H
#define CORVEX_APP_RESULTS_PAGE_H

#include <string>

#include "kel/html_write/html_element.h"

// The heading of the page: the text "Results of search for '<search>'", encoded. One node,
// meant to be used both as the page title and in the heading row.
kel::html_write::ElementHandle makeHeading(const std::string& search);

// tr ( td [colspan="2"] ( x ) ): a row spanning the table.
kel::html_write::ElementHandle fullRow(const kel::html_write::ElementHandle& x);

// fullRow ( b ( u ( center ( heading ) ) ) ).
kel::html_write::ElementHandle headingRow(const kel::html_write::ElementHandle& heading);

// fullRow ( font [color="red"] ( encoded text ) ).
kel::html_write::ElementHandle messageRow(const std::string& text);

// fullRow ( b ( font [color="red"] ( encoded text ) ) ).
kel::html_write::ElementHandle abortRow(const std::string& text);

// html ( head ( title ( heading ) ), body ( center ( table [Width="90%"] ( rows ) ) ) ).
kel::html_write::ElementHandle makePage(const kel::html_write::ElementHandle& heading,
                                        const kel::html_write::ElementHandle& rows);

// html ( head ( title ( "Error calling Corvex" ) ), body ( center ( encoded text ) ) ).
kel::html_write::ElementHandle makeErrorPage(const std::string& text);

// The URL of a result: fileName with "#anchor" when anchor is not empty, every '\' turned into
// '/', then rewritten by -D (a leading "X:/" becomes "x/"), -P ("old=new": a leading old is
// exchanged for new) and -p (put in front), and finally every blank escaped as "%20".
// Throws kel::err::Error("'=' awaited in '<value>'") when the -P value holds no '='.
std::string makeResultUrl(const std::string& fileName, const std::string& anchor);

// templ with "$url$", "$text$", "$title$" and "$score$" replaced, in this order, by the values
// as they are. Every occurrence is replaced, including one that a value forms with the text
// next to it; a later key inside an earlier value is replaced by the later pass.
std::string substituteTemplate(const std::string& templ, const std::string& url,
                               const std::string& text, const std::string& title,
                               const std::string& scoreText);

#endif
