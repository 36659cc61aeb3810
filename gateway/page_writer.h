// The pages the gateway answers with, in UTF-8, in the site's own frame: the configured header,
// the search form (the query filled in, the choices kept), then results or a message, then the
// configured footer. Every text that comes from a request or from an indexed page is escaped;
// only the header, the footer and the highlight markup (the site owner's own HTML) go in as they
// are.
#ifndef CORVEX_GATEWAY_PAGE_WRITER_H
#define CORVEX_GATEWAY_PAGE_WRITER_H

#include <string>
#include <string_view>

#include "gateway/corvex_call.h"

namespace gateway {

// What the site owner fixed for every page.
struct PageFrame {
  std::string siteTitle = "Search";            // UTF-8 text
  std::string header;                          // HTML; empty: a line with the site title
  std::string footer;                          // HTML
  std::string highlight = "<mark>$$$</mark>";  // HTML around a hit, "$$$" the hit
  bool allowRegex = false;                     // the form offers re
  unsigned pageSize = 10;
};

// What the visitor chose, shown again in the form and carried by the paging links.
struct FormState {
  std::string query;  // UTF-8
  bool ignoreCase = true;
  bool regex = false;
};

class PageWriter {
 public:
  PageWriter(const PageFrame& frame, const FormState& form) : frame_(frame), form_(form) {}

  // The form alone, for a request without a query.
  std::string formPage() const;

  // The heading with the query, the count ("Results 11–20 of 57"), the rows from start (0-based,
  // moved back to the last page when it lies beyond) for one page, and links to the other pages.
  std::string resultsPage(const CorvexPage& page, unsigned long start) const;

  // The form and a message: heading and text are UTF-8 plain text.
  std::string messagePage(std::string_view heading, std::string_view text) const;

 private:
  std::string begin(std::string_view title) const;
  std::string end() const;
  std::string form() const;
  std::string pageLink(unsigned long start) const;
  void appendRow(std::string& out, const CorvexRow& row) const;

  const PageFrame& frame_;
  const FormState& form_;
};

// A page without the site's frame, for when the configuration cannot be read: heading and text
// are UTF-8 plain text.
std::string plainPage(std::string_view heading, std::string_view text);

// The CGI header lines and the empty line after them: Status, Content-Type with the charset,
// X-Content-Type-Options, and for 405 an Allow line.
std::string responseHeader(int status);

}  // namespace gateway

#endif
