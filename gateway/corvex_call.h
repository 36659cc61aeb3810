// One run of Corvex as the gateway makes it: the command line, and the reading of the page Corvex
// prints for it.
//
// The gateway gives Corvex its own result template and hit markup, made of control bytes that a
// search string can never hold, so that every result row can be taken apart again into URL, title
// and excerpt, however the indexed pages are written.
#ifndef CORVEX_GATEWAY_CORVEX_CALL_H
#define CORVEX_GATEWAY_CORVEX_CALL_H

#include <string>
#include <string_view>
#include <vector>

#include "gateway/config.h"
#include "gateway/search_query.h"
#include "kel/err/error.h"

namespace gateway {

// The bytes around every hit in a result's excerpt.
inline constexpr char hitBegin = '\x0e';
inline constexpr char hitEnd = '\x0f';

// argv for Corvex: the program, the configured options (-e -S -L -m -P -p -I when set), -i when
// ignoreCase, the gateway's -t, -H and -d, then the search argument (which begins with a blank),
// the index folder and the root list. Never -u, -x, -v or -T. A path that Corvex would take as a
// help request ("/h...", "/?...") is written as "/./h...".
std::vector<std::string> corvexArguments(const GatewayConfig& config, const SearchQuery& query,
                                         bool ignoreCase);

// The environment Corvex runs with: PATH=/usr/bin:/bin only.
std::vector<std::string> corvexEnvironment();

// One result as Corvex printed it: Latin-1 bytes, HTML source text in title and excerpt. title is
// empty when the page has none. The excerpt holds hitBegin and hitEnd around its hits.
struct CorvexRow {
  std::string url, title, excerpt;
};

struct CorvexPage {
  std::vector<CorvexRow> rows;  // in Corvex's order
  long skipped = 0;             // candidates left unranked when the result limit was reached
};

// A page of Corvex that is not complete, or that reports a failure. what() is for the log.
class CorvexPageError : public kel::err::Error {
 public:
  using kel::err::Error::Error;
};

// Reads the page that Corvex, run with corvexArguments, printed. Throws CorvexPageError when it
// is not a complete result page (no table, a broken row, nothing after the table), or reports
// that the search was aborted (what() then holds Corvex's reason).
CorvexPage readCorvexPage(std::string_view page);

}  // namespace gateway

#endif
