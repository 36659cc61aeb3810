#include "app/results_page.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <list>

#include "app/options.h"
#include "kel/err/error.h"
#include "kel/html_read/entities.h"

using kel::html_read::encodeEntities;
using kel::html_write::AttributeHandle;
using kel::html_write::ElementHandle;
using kel::html_write::HTML_Attribute;
using kel::html_write::HTML_Attributed_Tag;
using kel::html_write::HTML_Elements;
using kel::html_write::HTML_Tag;
using kel::html_write::HTML_Text;
using kel::html_write::makeHandle;

namespace {

ElementHandle tag(const char* name, const ElementHandle& content) {
  return makeHandle<HTML_Tag>(name, content);
}

ElementHandle attributedTag(const char* name, const ElementHandle& content, const char* attribute,
                            const char* value) {
  const std::list<AttributeHandle> attributes{makeHandle<HTML_Attribute>(attribute, value)};
  return makeHandle<HTML_Attributed_Tag>(name, content, attributes);
}

ElementHandle encodedText(const std::string& text) {
  return makeHandle<HTML_Text>(encodeEntities(text));
}

ElementHandle redMessage(const std::string& text) {
  return attributedTag("font", encodedText(text), "color", "red");
}

ElementHandle pair(const ElementHandle& a, const ElementHandle& b) {
  return makeHandle<HTML_Elements>(std::list<ElementHandle>{a, b});
}

// Replaces every occurrence of key in out by value. The next search starts length(key) - 1
// bytes before the end of the inserted value, so a key that the value forms with the text
// after it is found too; never before the start of out.
void replaceAll(std::string& out, const std::string& key, const std::string& value) {
  std::string::size_type p = out.find(key);
  while (p != std::string::npos) {
    out.replace(p, key.size(), value);
    const long long next = static_cast<long long>(p) + static_cast<long long>(value.size()) -
                           static_cast<long long>(key.size()) + 1;
    p = out.find(key, next < 0 ? 0 : static_cast<std::string::size_type>(next));
  }
}

}  // namespace

ElementHandle makeHeading(const std::string& search) {
  return encodedText("Results of search for '" + search + "'");
}

ElementHandle fullRow(const ElementHandle& x) {
  return tag("tr", attributedTag("td", x, "colspan", "2"));
}

ElementHandle headingRow(const ElementHandle& heading) {
  return fullRow(tag("b", tag("u", tag("center", heading))));
}

ElementHandle messageRow(const std::string& text) { return fullRow(redMessage(text)); }

ElementHandle abortRow(const std::string& text) { return fullRow(tag("b", redMessage(text))); }

ElementHandle makePage(const ElementHandle& heading, const ElementHandle& rows) {
  return tag("html",
             pair(tag("head", tag("title", heading)),
                  tag("body", tag("center", attributedTag("table", rows, "Width", "90%")))));
}

ElementHandle makeErrorPage(const std::string& text) {
  return tag("html", pair(tag("head", tag("title", encodedText("Error calling Corvex"))),
                          tag("body", tag("center", encodedText(text)))));
}

std::string makeResultUrl(const std::string& fileName, const std::string& anchor) {
  std::string url = fileName;
  if (!anchor.empty()) {
    url += '#';
    url += anchor;
  }
  for (char& c : url) {
    if (c == '\\') c = '/';
  }

  if (optDosDrives.isActive() && url.size() >= 3 &&
      std::isalpha(static_cast<unsigned char>(url[0])) && url[1] == ':' && url[2] == '/') {
    const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(url[0])));
    url.replace(0, 3, std::string{drive, '/'});
  }

  if (optExchange.isGiven()) {
    const std::string& exchange = optExchange.value();
    const std::string::size_type eq = exchange.find('=');
    if (eq == std::string::npos) throw kel::err::Error("'=' awaited in '" + exchange + "'");
    const std::string oldPrefix = exchange.substr(0, eq);
    const std::string newPrefix = exchange.substr(eq + 1);
    const std::size_t n = std::min(url.size(), oldPrefix.size());
    if (std::strncmp(url.c_str(), oldPrefix.c_str(), n) == 0) url.replace(0, n, newPrefix);
  }

  if (optUrlPrefix.isGiven()) url = optUrlPrefix.value() + url;
  return kel::html_read::escapeSpaces(url);
}

std::string substituteTemplate(const std::string& templ, const std::string& url,
                               const std::string& text, const std::string& title,
                               const std::string& scoreText) {
  std::string out = templ;
  replaceAll(out, "$url$", url);
  replaceAll(out, "$text$", text);
  replaceAll(out, "$title$", title);
  replaceAll(out, "$score$", scoreText);
  return out;
}
