#include "gateway/search_query.h"

#include <cstdio>
#include <set>

#include <boost/regex.hpp>

#include "gateway/html_text.h"
#include "index/term_text.h"
#include "kel/html_read/utf8.h"

namespace gateway {

namespace {

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

std::string quoted(std::string_view utf8) { return "\u201C" + std::string(utf8) + "\u201D"; }

// The literal text of term as a pattern: every character that means something to the perl syntax
// is escaped.
std::string escapeLiteral(std::string_view term) {
  std::string out;
  for (const char c : term) {
    if (regexMetacharacters.find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

std::string literalPattern(const std::string& term) {
  std::size_t end = term.size();
  while (end > 0 && term[end - 1] == '*') --end;
  if (end == 0 || end == term.size()) return escapeLiteral(term);
  // Every indexed word consists of word characters only, and a term must match a whole word.
  return escapeLiteral(std::string_view(term).substr(0, end)) + ".*";
}

const char* patternFault(boost::regex_constants::error_type code) {
  namespace rc = boost::regex_constants;
  switch (code) {
    case rc::error_paren:
      return "a parenthesis is not closed or not opened";
    case rc::error_brack:
      return "a bracket [ ] is not closed";
    case rc::error_brace:
    case rc::error_badbrace:
      return "a repeat count { } is malformed";
    case rc::error_badrepeat:
      return "*, + or ? follows nothing that can be repeated";
    case rc::error_escape:
      return "a backslash escapes nothing that is known";
    case rc::error_range:
      return "a character range is malformed";
    case rc::error_ctype:
    case rc::error_collate:
      return "a character class name is unknown";
    case rc::error_complexity:
    case rc::error_stack:
    case rc::error_space:
      return "it is too complex";
    default:
      return "it does not compile";
  }
}

}  // namespace

std::u32string decodeUtf8(std::string_view bytes) {
  std::u32string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const kel::html_read::Utf8Char c = kel::html_read::decodeUtf8At(bytes, i);
    if (c.length == 0) {
      out += static_cast<char32_t>(static_cast<unsigned char>(bytes[i]));
      ++i;
    } else {
      out += c.code;
      i += c.length;
    }
  }
  return out;
}

std::string displayText(std::string_view q) {
  std::string out;
  for (const char32_t c : decodeUtf8(q)) appendUtf8(out, isControl(c) ? 0xFFFD : c);
  return out;
}

std::string foldAsCorvex(const std::string& term, bool ignoreCase) {
  return ignoreCase ? lowerCaseTerm(term) : term;
}

std::string SearchQuery::corvexArgument() const {
  std::string out;
  for (const std::string& term : terms) out += ' ' + term;
  return out;
}

SearchQuery makeSearchQuery(std::string_view q, const QueryOptions& options) {
  if (q.size() > options.maxBytes) {
    throw QueryRefused("too-long", "The search is too long: " + std::to_string(q.size()) +
                                       " bytes, of which at most " +
                                       std::to_string(options.maxBytes) + " are searched.");
  }
  const std::u32string chars = decodeUtf8(q);
  SearchQuery query;
  std::string latin1;
  std::u32string beyond;
  for (const char32_t c : chars) {
    if (c <= 0xFF) latin1 += static_cast<char>(c);
    if (c > 0xFF && beyond.find(c) == std::u32string::npos) beyond += c;
  }
  for (const char32_t c : chars) {
    if (isControl(c)) {
      throw QueryRefused("control",
                         "The search holds control characters, which cannot be "
                         "searched.");
    }
  }
  if (!beyond.empty()) {
    std::string names;
    for (const char32_t c : beyond) {
      std::string one;
      appendUtf8(one, c);
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
      names += (names.empty() ? "" : ", ") + quoted(one) + " (" + code + ")";
    }
    throw QueryRefused("charset", "These characters cannot be searched: " + names +
                                      ". The pages are searched in Western European letters "
                                      "(Latin-1) only.");
  }

  std::set<std::string> seen;
  std::size_t i = 0;
  while (i < latin1.size()) {
    while (i < latin1.size() && latin1[i] == ' ') ++i;
    const std::size_t begin = i;
    while (i < latin1.size() && latin1[i] != ' ') ++i;
    if (i == begin) break;
    const std::string term = latin1.substr(begin, i - begin);
    const std::string pattern = options.regex ? term : literalPattern(term);
    if (!seen.insert(foldAsCorvex(pattern, options.ignoreCase)).second) continue;
    if (query.terms.size() == options.maxTerms) {
      throw QueryRefused("terms", "The search has too many different terms: at most " +
                                      std::to_string(options.maxTerms) + " are searched.");
    }
    query.terms.push_back(pattern);
  }

  if (options.regex) {
    boost::regex::flag_type flags = boost::regex::normal;
    if (options.ignoreCase) flags |= boost::regex::icase;
    for (const std::string& term : query.terms) {
      try {
        boost::regex(foldAsCorvex(term, options.ignoreCase), flags);
      } catch (const boost::regex_error& e) {
        throw QueryRefused(
            "pattern", "The pattern " + quoted(latin1ToUtf8(term)) +
                           " is not a valid regular expression: " + patternFault(e.code()) + ".");
      }
    }
  }
  return query;
}

}  // namespace gateway
