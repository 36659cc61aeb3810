#include "gateway/corvex_call.h"

#include <cstdio>

#include "gateway/html_text.h"

namespace gateway {

namespace {

// Around every row and between its fields; two bytes each, so that a stray control byte in a
// page's text cannot pass for one.
constexpr std::string_view rowBegin = "\x02\x1e";
constexpr std::string_view fieldSeparator = "\x1f\x1e";
constexpr std::string_view rowEnd = "\x03\x1e";

// Corvex prints this title for a page without a title element.
constexpr std::string_view noTitle = "Not set";

std::string argumentPath(const std::string& path) {
  if (path.size() >= 2 && path[0] == '/' && (path[1] == 'h' || path[1] == '?')) {
    return "/." + path;
  }
  return path;
}

bool isSpace(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// The text of an element row: its tags dropped, the white space around them too.
std::string rowText(std::string_view row) {
  std::string out;
  while (!row.empty()) {
    const std::size_t lt = row.find('<');
    out += trimmed(row.substr(0, lt));
    if (lt == std::string_view::npos) break;
    const std::size_t gt = row.find('>', lt);
    if (gt == std::string_view::npos) break;
    row.remove_prefix(gt + 1);
  }
  return out;
}

CorvexRow resultRow(std::string_view fields) {
  CorvexRow row;
  std::string* const parts[] = {&row.url, &row.title, &row.excerpt};
  for (std::size_t k = 0; k < 3; ++k) {
    const std::size_t sep = k < 2 ? fields.find(fieldSeparator) : fields.size();
    if (sep == std::string_view::npos) throw CorvexPageError("a result row has too few fields");
    parts[k]->assign(fields.substr(0, sep));
    fields.remove_prefix(k < 2 ? sep + fieldSeparator.size() : sep);
  }
  const std::string_view title = trimmed(row.title);
  row.title = title == noTitle ? std::string() : std::string(title);
  return row;
}

}  // namespace

std::vector<std::string> corvexArguments(const GatewayConfig& config, const SearchQuery& query,
                                         bool ignoreCase) {
  std::vector<std::string> argv{config.corvex};
  const auto option = [&argv](const char* letter, const std::string& value) {
    if (value.empty()) return;
    argv.emplace_back(letter);
    argv.push_back(value);
  };
  option("-e", config.extensions);
  option("-S", std::to_string(config.maxFileKb));
  option("-L", std::to_string(config.excerptLength));
  option("-m", std::to_string(config.maxResults));
  option("-P", config.urlExchange);
  option("-p", config.urlPrefix);
  option("-I", config.indexPrefix);
  if (ignoreCase) argv.emplace_back("-i");
  option("-t", std::string(rowBegin) + "$url$" + std::string(fieldSeparator) + "$title$" +
                   std::string(fieldSeparator) + "$text$" + std::string(rowEnd));
  option("-H", std::string(1, hitBegin) + "$$$" + std::string(1, hitEnd));
  // A blank title, so that an empty title is told from a page's own one.
  option("-d", " ");
  // Corvex reads a search that is well-formed UTF-8 with characters up to U+00FF as UTF-8 and
  // searches its Latin-1 form. The terms are Latin-1 already, so they go as UTF-8 and arrive as
  // they are; sent as Latin-1, "HÃ¤user" would be read a second time and searched as "Häuser".
  argv.push_back(latin1ToUtf8(query.corvexArgument()));
  argv.push_back(argumentPath(config.indexDir));
  argv.push_back(argumentPath(config.rootList));
  return argv;
}

std::vector<std::string> corvexEnvironment() { return {"PATH=/usr/bin:/bin"}; }

CorvexPage readCorvexPage(std::string_view page) {
  const std::size_t table = page.find("<table Width=\"90%\">");
  if (table == std::string_view::npos) throw CorvexPageError("no result table on Corvex's page");
  // The heading row comes first; its text is encoded, so it holds no '<'.
  const std::size_t headingEnd = page.find("</tr>", table);
  if (headingEnd == std::string_view::npos) throw CorvexPageError("no heading row");
  std::string_view rest = page.substr(headingEnd + 5);

  CorvexPage result;
  for (;;) {
    rest = rest.substr(std::min(rest.size(), rest.find_first_not_of(" \n\t\r")));
    if (startsWith(rest, rowBegin)) {
      const std::size_t end = rest.find(rowEnd);
      if (end == std::string_view::npos) throw CorvexPageError("a result row is not closed");
      result.rows.push_back(resultRow(rest.substr(rowBegin.size(), end - rowBegin.size())));
      rest.remove_prefix(end + rowEnd.size());
    } else if (startsWith(rest, "<tr>")) {
      const std::size_t end = rest.find("</tr>");
      if (end == std::string_view::npos) throw CorvexPageError("a message row is not closed");
      const std::string text = rowText(rest.substr(0, end));
      rest.remove_prefix(end + 5);
      long shown = 0, skipped = 0;
      if (startsWith(text, "Nothing matched ")) continue;
      if (std::sscanf(text.c_str(), "More than %ld results - %ld results were skipped", &shown,
                      &skipped) == 2) {
        result.skipped = skipped;
        continue;
      }
      if (startsWith(text, "Corvex aborted ")) throw CorvexPageError(text);
      throw CorvexPageError("an unknown row on Corvex's page");
    } else if (startsWith(rest, "</table>")) {
      break;
    } else {
      throw CorvexPageError("Corvex's page breaks off in its table");
    }
  }
  const std::string_view tail = trimmed(rest);
  if (tail.size() < 7 || tail.substr(tail.size() - 7) != "</html>") {
    throw CorvexPageError("Corvex's page does not end with </html>");
  }
  return result;
}

}  // namespace gateway
