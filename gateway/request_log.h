// The one line the gateway writes to standard error for every request; a web server passes it
// on to its error log or the journal.
//
//   corvex-cgi: 2026-05-01T10:00:00Z 192.0.2.7 GET ok q="K\xc3\xbcche" rows=3 exit=0 ms=12
//
// followed by note="..." when there is more to say (Corvex's standard error, the fault found).
// Every field a request can influence is quoted and escaped: '"', '\\' and bytes outside
// printable ASCII are written as \" \\ \xNN, so a line can never be broken or forged.
#ifndef CORVEX_GATEWAY_REQUEST_LOG_H
#define CORVEX_GATEWAY_REQUEST_LOG_H

#include <ctime>
#include <string>
#include <string_view>

namespace gateway {

struct RequestLog {
  std::string client;          // REMOTE_ADDR
  std::string method;          // REQUEST_METHOD
  std::string outcome = "ok";  // ok, refused:<why>, timeout, error
  std::string query;           // as sent, cut at 100 bytes in the line
  long rows = -1;              // results found; -1: Corvex did not run to the end
  std::string exit = "-";      // Corvex's exit status, "signal <n>", or "-" when not run
  std::string note;            // cut at 300 bytes in the line

  // The line, ending in '\n', for the moment now (UTC) and the time the request took.
  std::string line(std::time_t now, long milliseconds) const;
};

// s with '"', '\\' and every byte outside 0x20-0x7E escaped, cut at limit bytes of s (an
// ellipsis "..." marks the cut).
std::string logEscaped(std::string_view s, std::size_t limit);

// Corvex's standard error made short for the log: its lines joined by " | ", without the
// "Overall results:" and "No results." lines that every search writes.
std::string foldCorvexErrors(std::string_view err);

}  // namespace gateway

#endif
