// The lookup of a search string in the global index.
//
// The search string is cut at blanks into terms. Each term is a Boost.Regex expression that must
// match a whole indexed word (regex_match); a term selects the files holding at least one matching
// word, and the search selects the files selected by every term.
#ifndef CORVEX_INDEX_LOOKUP_H
#define CORVEX_INDEX_LOOKUP_H

#include <array>
#include <list>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <boost/regex.hpp>

#include "kel/err/error.h"

// The expression engine gave up on a term while matching it against a text (too many steps or
// too deep a recursion): "Search term '<term>' is too complex: <reason>".
class TermTooComplex : public kel::err::Error {
 public:
  TermTooComplex(const std::string& term, const std::string& reason);
};

// One term of the search string with its compiled expression and the files it selected.
struct SearchTerm {
  // Keeps term, folded to lower case (byte-wise, ASCII letters only) when flags hold
  // boost::regex::icase, except for the character after each escaping backslash (so \W stays
  // \W), and compiles it with flags plus boost::regex::no_except cleared.
  // Throws kel::err::Error "Invalid search term '<term>': <reason>" for an invalid expression, and
  // TermTooComplex for one the expression engine refuses to compile as too complex.
  SearchTerm(const std::string& term, unsigned flags);

  std::string term;
  boost::regex expression;
  std::set<unsigned> files;  // numbers of the files with a matching word
};

// Tells whether a word matches a term's expression as a whole, exactly as
// boost::regex_match(word, term.expression) does. A term without regular-expression
// metacharacters is compared directly, without running the expression; an expression that
// begins with plain characters (and holds no alternative) runs only for words that begin with
// them.
class WordMatcher {
 public:
  explicit WordMatcher(const SearchTerm& term);
  bool isLiteral() const { return literal_; }
  bool matches(std::string_view word) const {
    if (!literal_) {
      if (word.compare(0, prefix_.size(), prefix_) != 0) return false;
      return boost::regex_match(word.begin(), word.end(), *expression_);
    }
    if (word.size() != text_.size()) return false;
    if (!ignoreCase_) return word == text_;
    for (std::size_t i = 0; i < word.size(); ++i) {
      if (fold_[static_cast<unsigned char>(word[i])] != text_[i]) return false;
    }
    return true;
  }

 private:
  const boost::regex* expression_;
  bool literal_ = false;
  bool ignoreCase_ = false;
  std::string text_;               // the literal, folded when case is ignored
  std::string prefix_;             // what every word the expression matches begins with
  std::array<char, 256> fold_{};   // the expression's own case folding
};

// What a lookup found: one SearchTerm per term of the search string, in order, each with the
// files it selected; and the paths of the files selected by every term, in ascending file-number
// order, that pass the ids.
struct LookupResult {
  std::list<SearchTerm> terms;
  std::list<std::string> files;
};

// Looks search up in the global index indexPath. Every term is compiled before the index is
// read. A file passes the ids when its path holds one of them (compared without regard to ASCII
// case), or when there are none. A search without terms selects nothing.
// Reports "No results." or "Overall results: <n> <n> ... " as one line on report. With verbose,
// progress goes to *verbose: "Searching in global index..", every matching word followed by a
// blank (once per matching term), "done", then "Results for '<term>': <n> ... " per term.
// Throws what SearchTerm throws for an invalid term, TermTooComplex when the engine gives up on a
// term while matching it against a word, kel::err::IOError when the index cannot be read
// and kel::err::Error "End of file reached (<path>)" when it is cut short or damaged.
LookupResult lookupTerms(const std::string& indexPath, const std::string& search, unsigned flags,
                         const std::vector<std::string>& ids, std::ostream* verbose,
                         std::ostream& report);

// lookupTerms for the search argument, globalIndexPath(), the -n values and -v of the command
// line, reporting on std::cerr.
void searchGlobalIndex(std::list<SearchTerm>& terms, unsigned flags, std::list<std::string>& files);

#endif
