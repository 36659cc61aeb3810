// The lookup of a search string in the global index.
//
// The search string is cut at blanks into terms. Each term is a Boost.Regex expression that must
// match a whole indexed word (regex_match); a term selects the files holding at least one matching
// word, and the search selects the files selected by every term.
#ifndef CORVEX_INDEX_LOOKUP_H
#define CORVEX_INDEX_LOOKUP_H

#include <array>
#include <list>
#include <memory>
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
// begins with plain characters (and holds no alternative outside its groups) runs only for words
// that begin with them.
class WordMatcher {
 public:
  explicit WordMatcher(const SearchTerm& term);
  // True when the term is compared as plain text (no expression runs).
  bool isLiteral() const { return literal_; }
  // True when it is also compared case and all.
  bool isExact() const { return literal_ && !ignoreCase_; }
  // What every word the term matches begins with (empty when that is not known).
  const std::string& prefix() const { return isExact() ? text_ : prefix_; }
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
  std::string text_;              // the literal, folded when case is ignored
  std::string prefix_;            // what every word the expression matches begins with
  std::array<char, 256> fold_{};  // the expression's own case folding
};

// Gives the path of a file of one global index by its number.
class PathSource {
 public:
  virtual ~PathSource() = default;
  // Throws kel::err::Error "End of file reached (<index>)" when the index does not hold it.
  virtual std::string path(unsigned file) const = 0;
};

// The files a lookup selected, in ascending file-number order. Their paths are read from the
// global index only when asked for, so a search reads the paths of the files it shows.
class Candidates {
 public:
  Candidates() = default;
  Candidates(std::shared_ptr<const PathSource> source, std::vector<unsigned> numbers)
      : source_(std::move(source)), numbers_(std::move(numbers)) {}

  std::size_t size() const { return numbers_.size(); }
  bool empty() const { return numbers_.empty(); }
  // REQUIRES: i < size().
  std::string path(std::size_t i) const { return source_->path(numbers_[i]); }
  std::list<std::string> paths() const;

 private:
  std::shared_ptr<const PathSource> source_;
  std::vector<unsigned> numbers_;
};

// What a lookup found: one SearchTerm per term of the search string, in order, each with the
// files it selected; and the files selected by every term that pass the ids.
struct LookupResult {
  std::list<SearchTerm> terms;
  Candidates candidates;
};

// Looks search up in the global index indexPath. Every term is compiled before the index is
// read. A file passes the ids when its path holds one of them (compared without regard to ASCII
// case), or when there are none. A search without terms selects nothing.
//
// When the index has a lookup table of its own (index/lookup_table.h), only the parts of the
// index the search needs are read: a plain term is found by binary search, a term with a plain
// beginning within the range of words that begin so, any other term by a walk over the words
// that decodes no file numbers of words it does not match; candidates' paths are read when asked
// for. Otherwise the whole index is read, with the same results and messages; with verbose a
// line "Lookup table <path> <missing|damaged|of another global index>: reading the whole global
// index" says so.
//
// Reports "No results." or "Overall results: <n> <n> ... " as one line on report. With verbose,
// progress goes to *verbose: "Searching in global index..", every matching word followed by a
// blank (once per matching term, in the order of the index), "done", then
// "Results for '<term>': <n> ... " per term.
// Throws what SearchTerm throws for an invalid term, TermTooComplex when the engine gives up on a
// term while matching it against a word, kel::err::IOError when the index cannot be read
// and kel::err::Error "End of file reached (<path>)" when it is cut short or damaged.
LookupResult lookupTerms(const std::string& indexPath, const std::string& search, unsigned flags,
                         const std::vector<std::string>& ids, std::ostream* verbose,
                         std::ostream& report);

// lookupTerms for the search argument, globalIndexPath(), the -n values and -v of the command
// line, reporting on std::cerr.
LookupResult searchGlobalIndex(unsigned flags);

// The same, with the terms and every candidate's path appended to the lists.
void searchGlobalIndex(std::list<SearchTerm>& terms, unsigned flags, std::list<std::string>& files);

#endif
