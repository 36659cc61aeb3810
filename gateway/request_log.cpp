#include "gateway/request_log.h"

#include <cstdio>

namespace gateway {

std::string logEscaped(std::string_view s, std::size_t limit) {
  std::string out;
  for (std::size_t i = 0; i < s.size() && i < limit; ++i) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b == '"' || b == '\\') {
      out += '\\';
      out += static_cast<char>(b);
    } else if (b < 0x20 || b > 0x7E) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", b);
      out += hex;
    } else {
      out += static_cast<char>(b);
    }
  }
  if (s.size() > limit) out += "...";
  return out;
}

std::string foldCorvexErrors(std::string_view err) {
  std::string out;
  while (!err.empty()) {
    const std::size_t end = err.find('\n');
    const std::string_view line = err.substr(0, end);
    err.remove_prefix(end == std::string_view::npos ? err.size() : end + 1);
    if (line.empty() || line.substr(0, 16) == "Overall results:" || line == "No results.") {
      continue;
    }
    if (!out.empty()) out += " | ";
    out += line;
  }
  return out;
}

std::string RequestLog::line(std::time_t now, long milliseconds) const {
  char time[32];
  std::tm utc{};
  gmtime_r(&now, &utc);
  std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%SZ", &utc);
  std::string out = "corvex-cgi: ";
  out += time;
  out += ' ' + (client.empty() ? std::string("-") : logEscaped(client, 64));
  out += ' ' + (method.empty() ? std::string("-") : logEscaped(method, 16));
  out += ' ' + outcome;
  out += " q=\"" + logEscaped(query, 100) + '"';
  out += " rows=" + (rows < 0 ? std::string("-") : std::to_string(rows));
  out += " exit=" + exit;
  out += " ms=" + std::to_string(milliseconds);
  if (!note.empty()) out += " note=\"" + logEscaped(note, 300) + '"';
  out += '\n';
  return out;
}

}  // namespace gateway
