// How the text of a search term reads: which characters carry a meaning in the perl syntax, and
// how a term is folded when case is ignored. The gateway writes terms by the same rules as the
// search compiles them.
#ifndef CORVEX_INDEX_TERM_TEXT_H
#define CORVEX_INDEX_TERM_TEXT_H

#include <string>
#include <string_view>

#include "kel/err/format.h"

// Characters that give a term of the perl syntax a meaning beyond its own bytes.
constexpr std::string_view regexMetacharacters = ".[]{}()\\*+?|^$";

// True when term is a non-empty text without metacharacters: its expression matches exactly its
// own bytes, so without ignoring case a plain comparison finds what the expression finds.
inline bool isPlainText(std::string_view term) {
  return !term.empty() && term.find_first_of(regexMetacharacters) == std::string_view::npos;
}

// term folded to lower case, except the character after each escaping backslash: folding the
// letter of an escape would change what it means (\W, \D, \S and \B into their opposites, \E
// into the escape character), while case is ignored in matching anyway.
inline std::string lowerCaseTerm(const std::string& term) {
  std::string folded = term;
  kel::toLowerCase(folded);
  for (std::size_t i = 0; i + 1 < term.size(); ++i) {
    if (term[i] == '\\') {
      ++i;
      folded[i] = term[i];
    }
  }
  return folded;
}

#endif
