#include "gateway/page_writer.h"

#include <algorithm>

#include "gateway/html_text.h"

namespace gateway {

namespace {

// The bytes that open and close a hit in an excerpt.
constexpr char kMarks[] = {hitBegin, hitEnd};

constexpr std::string_view style =
    "body{margin:0}"
    ".cx-site{padding:.75rem 1rem;border-bottom:1px solid #ddd;font:600 1.1rem "
    "system-ui,sans-serif}"
    ".cx{max-width:46rem;margin:0 auto;padding:0 1rem 2rem;"
    "font:1rem/1.5 system-ui,-apple-system,'Segoe UI',Roboto,sans-serif;color:#222}"
    ".cx-form{display:flex;flex-wrap:wrap;gap:.5rem;align-items:center;margin:1rem 0}"
    ".cx-form input[type=search]{flex:1 1 12rem;min-width:0;font:inherit;padding:.45rem .6rem;"
    "border:1px solid #888;border-radius:.3rem}"
    ".cx-form button{font:inherit;padding:.45rem 1.1rem;border:1px solid #234;border-radius:.3rem;"
    "background:#245;color:#fff;cursor:pointer}"
    ".cx-choices{flex-basis:100%;font-size:.9rem;color:#444}"
    ".cx-choices label{margin-right:1.2rem;white-space:nowrap}"
    ".cx h1{font-size:1.3rem;margin:1.2rem 0 .2rem}"
    ".cx-count{color:#555;font-size:.9rem;margin:0 0 1rem}"
    ".cx-results{list-style:none;padding:0;margin:0}"
    ".cx-results li{margin:0 0 1.3rem}"
    ".cx-title{font-size:1.1rem;color:#1a4d8f;text-decoration:none}"
    ".cx-title:hover{text-decoration:underline}"
    ".cx-url{color:#2a6b2a;font-size:.85rem;overflow-wrap:anywhere}"
    ".cx-excerpt{margin:.2rem 0 0;overflow-wrap:anywhere}"
    ".cx mark{background:#ffe58a;color:inherit;padding:0 .1em}"
    ".cx-pages{display:flex;flex-wrap:wrap;gap:.4rem;margin:1.5rem 0}"
    ".cx-pages a,.cx-pages span{padding:.3rem .75rem;border:1px solid #ccc;border-radius:.3rem;"
    "text-decoration:none}"
    ".cx-pages span[aria-current]{background:#245;color:#fff;border-color:#245}"
    ".cx-message{padding:.75rem 1rem;background:#fff4f0;border-left:4px solid #c43}";

std::string quotedQuery(std::string_view query) { return "\u201C" + escaped(query) + "\u201D"; }

std::string thousands(unsigned long n) {
  std::string digits = std::to_string(n);
  for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
  return digits;
}

}  // namespace

std::string PageWriter::begin(std::string_view title) const {
  std::string out =
      "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  if (!title.empty()) out += escaped(title) + " \u2013 ";
  out += escaped(frame_.siteTitle) + "</title>\n<style>";
  out += style;
  out += "</style>\n</head>\n<body>\n";
  if (frame_.header.empty()) {
    out += "<header class=\"cx-site\">" + escaped(frame_.siteTitle) + "</header>\n";
  } else {
    out += frame_.header + "\n";
  }
  out += "<main class=\"cx\">\n" + form();
  return out;
}

std::string PageWriter::end() const { return "</main>\n" + frame_.footer + "\n</body>\n</html>\n"; }

std::string PageWriter::form() const {
  std::string out =
      "<form class=\"cx-form\" method=\"get\" accept-charset=\"UTF-8\" role=\"search\">\n"
      "<input type=\"search\" name=\"q\" value=\"" +
      escaped(form_.query) + "\" aria-label=\"Search\"" +
      (form_.query.empty() ? " autofocus" : "") +
      ">\n<button type=\"submit\">Search</button>\n"
      "<div class=\"cx-choices\">"
      // The hidden field is sent in any case and the checkbox after it only when ticked, so
      // that the last value of the name says what the visitor chose.
      "<input type=\"hidden\" name=\"i\" value=\"0\"><label><input type=\"checkbox\" name=\"i\" "
      "value=\"1\"";
  if (form_.ignoreCase) out += " checked";
  out += "> Ignore case</label>";
  if (frame_.allowRegex) {
    out +=
        "<input type=\"hidden\" name=\"re\" value=\"0\"><label><input type=\"checkbox\" "
        "name=\"re\" value=\"1\"";
    if (form_.regex) out += " checked";
    out += "> Regular expressions</label>";
  }
  out += "</div>\n</form>\n";
  return out;
}

std::string PageWriter::pageLink(unsigned long start) const {
  return "?q=" + percentEncoded(form_.query) + "&amp;i=" + (form_.ignoreCase ? "1" : "0") +
         "&amp;re=" + (form_.regex ? "1" : "0") + "&amp;start=" + std::to_string(start);
}

void PageWriter::appendRow(std::string& out, const CorvexRow& row) const {
  const std::string href = linkTarget(row.url);
  const std::string url = escaped(latin1ToUtf8(row.url));
  std::string title;
  if (row.title.empty()) {
    title = url;
  } else {
    appendPageText(title, row.title);
  }
  out += "<li>";
  if (href.empty()) {
    out += "<span class=\"cx-title\">" + title + "</span>";
  } else {
    out += "<a class=\"cx-title\" href=\"" + escaped(href) + "\">" + title + "</a>";
  }
  out += "<div class=\"cx-url\">" + url + "</div>";
  out += "<p class=\"cx-excerpt\">";
  const std::size_t mark = frame_.highlight.find("$$$");
  const std::string_view before = std::string_view(frame_.highlight).substr(0, mark);
  const std::string_view after = std::string_view(frame_.highlight).substr(mark + 3);
  // Overlapping hits can leave the marks unbalanced; each opens or closes at most once.
  bool open = false;
  std::string_view text = row.excerpt;
  while (!text.empty()) {
    const std::size_t at = text.find_first_of(kMarks, 0, sizeof kMarks);
    appendPageText(out, text.substr(0, at));
    if (at == std::string_view::npos) break;
    if (text[at] == hitBegin && !open) out += before;
    if (text[at] == hitEnd && open) out += after;
    open = text[at] == hitBegin ? true : text[at] == hitEnd ? false : open;
    text.remove_prefix(at + 1);
  }
  if (open) out += after;
  out += "</p></li>\n";
}

std::string PageWriter::formPage() const { return begin("") + end(); }

std::string PageWriter::resultsPage(const CorvexPage& page, unsigned long start) const {
  const unsigned long total = page.rows.size();
  const unsigned long size = frame_.pageSize;
  if (start >= total) start = total == 0 ? 0 : (total - 1) / size * size;
  const unsigned long last = std::min(total, start + size);

  std::string out = begin(form_.query);
  out += "<h1>Results for " + quotedQuery(form_.query) + "</h1>\n<p class=\"cx-count\">";
  if (total == 0) {
    out += "No page matched.";
  } else {
    out +=
        "Results " + thousands(start + 1) + "\u2013" + thousands(last) + " of " + thousands(total);
  }
  if (page.skipped > 0) {
    out += " " + thousands(static_cast<unsigned long>(page.skipped)) +
           " more matching pages were not ranked; more or longer terms narrow the search.";
  }
  out += "</p>\n";
  if (total > 0) {
    out += "<ol class=\"cx-results\" start=\"" + std::to_string(start + 1) + "\">\n";
    for (unsigned long k = start; k < last; ++k) appendRow(out, page.rows[k]);
    out += "</ol>\n";
  }
  if (total > size) {
    out += "<nav class=\"cx-pages\" aria-label=\"Result pages\">\n";
    if (start > 0) {
      out += "<a rel=\"prev\" href=\"" + pageLink(start >= size ? start - size : 0) +
             "\">\u2190 Previous</a>\n";
    }
    const unsigned long pages = (total + size - 1) / size;
    const unsigned long current = start / size;
    const unsigned long first = current > 4 ? current - 4 : 0;
    for (unsigned long p = first; p < pages && p < first + 9; ++p) {
      if (p == current) {
        out += "<span aria-current=\"page\">" + std::to_string(p + 1) + "</span>\n";
      } else {
        out += "<a href=\"" + pageLink(p * size) + "\">" + std::to_string(p + 1) + "</a>\n";
      }
    }
    if (last < total) out += "<a rel=\"next\" href=\"" + pageLink(last) + "\">Next \u2192</a>\n";
    out += "</nav>\n";
  }
  return out + end();
}

std::string PageWriter::messagePage(std::string_view heading, std::string_view text) const {
  return begin(heading) + "<h1>" + escaped(heading) + "</h1>\n<p class=\"cx-message\">" +
         escaped(text) + "</p>\n" + end();
}

std::string plainPage(std::string_view heading, std::string_view text) {
  return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + escaped(heading) +
         "</title>\n</head>\n<body>\n<h1>" + escaped(heading) + "</h1>\n<p>" + escaped(text) +
         "</p>\n</body>\n</html>\n";
}

std::string responseHeader(int status) {
  const char* reason = "OK";
  switch (status) {
    case 400:
      reason = "Bad Request";
      break;
    case 405:
      reason = "Method Not Allowed";
      break;
    case 500:
      reason = "Internal Server Error";
      break;
    case 503:
      reason = "Service Unavailable";
      break;
    default:
      break;
  }
  std::string out = "Status: " + std::to_string(status) + " " + reason + "\r\n";
  if (status == 405) out += "Allow: GET, HEAD, POST\r\n";
  return out +
         "Content-Type: text/html; charset=utf-8\r\n"
         "X-Content-Type-Options: nosniff\r\n"
         "\r\n";
}

}  // namespace gateway
