// The search a visitor asked for, turned into the search string Corvex is given.
//
// The query arrives as UTF-8 bytes (bytes that are not well-formed UTF-8 are taken as Latin-1
// characters) and is searched as Latin-1, the text of the indexed pages. It is cut at blanks into
// terms. Without regular expressions every term is searched literally (its metacharacters
// escaped); a term ending in '*' searches for words beginning with the rest. With regular
// expressions every term must compile as Corvex compiles it.
#ifndef CORVEX_GATEWAY_SEARCH_QUERY_H
#define CORVEX_GATEWAY_SEARCH_QUERY_H

#include <string>
#include <string_view>
#include <vector>

#include "kel/err/error.h"

namespace gateway {

// A query that is not searched. reason is the word for the log ("too-long", "control", "charset",
// "terms", "pattern"); what() explains it to the visitor as UTF-8 plain text (escape it to show).
class QueryRefused : public kel::err::Error {
 public:
  QueryRefused(const std::string& reason, const std::string& explanation)
      : kel::err::Error(explanation), reason(reason) {}
  const std::string reason;
};

struct QueryOptions {
  bool regex = false;       // terms are regular expressions
  bool ignoreCase = false;  // Corvex runs with -i
  unsigned maxBytes = 256;  // of the query as sent
  unsigned maxTerms = 10;   // distinct terms
};

struct SearchQuery {
  std::vector<std::string> terms;  // Corvex's terms in Latin-1, distinct, in first-given order

  // The search argument for Corvex: each term with a blank in front, so that the argument can
  // never be read as an option or a help request.
  std::string corvexArgument() const;
};

// Checks q and makes its terms. Throws QueryRefused, in this order of checks, when q has more
// than maxBytes bytes; holds a control character (U+0000-U+001F, U+007F-U+009F); holds characters
// beyond Latin-1 (the explanation names each distinct one with its code point); has more than
// maxTerms distinct terms (terms equal once Corvex has folded them count once); or, with regex,
// has a term that does not compile (the explanation names the term and the kind of fault, never
// the library's text).
SearchQuery makeSearchQuery(std::string_view q, const QueryOptions& options);

// The code points of bytes read as UTF-8; a byte that does not begin a well-formed sequence
// (overlong forms, surrogates and values above U+10FFFF are not) is taken as a Latin-1 character.
std::u32string decodeUtf8(std::string_view bytes);

// q as decodeUtf8 reads it, in UTF-8, with every control character replaced by U+FFFD: the
// query as a page may show it.
std::string displayText(std::string_view q);

// A term as Corvex compiles it: with ignoreCase, ASCII letters lowered except the character after
// each escaping backslash.
std::string foldAsCorvex(const std::string& term, bool ignoreCase);

}  // namespace gateway

#endif
