#include "index/lookup.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <iterator>

#include "app/options.h"
#include "kel/file/byte_codec.h"
#include "kel/file/file_util.h"
#include "kel/file/mapped_file.h"
#include "index/global_index.h"
#include "index/word_extraction.h"
#include "kel/err/error.h"
#include "kel/err/format.h"

namespace {

// Characters that give a term of the perl syntax a meaning beyond its own bytes.
constexpr std::string_view regexMetacharacters = ".[]{}()\\*+?|^$";

bool isPlainText(std::string_view term) {
  return !term.empty() && term.find_first_of(regexMetacharacters) == std::string_view::npos;
}

std::string lowerCase(std::string text) {
  kel::toLowerCase(text);
  return text;
}

// term folded to lower case, except the character after each escaping backslash: folding the
// letter of an escape would change what it means (\W, \D, \S and \B into their opposites, \E
// into the escape character), while case is ignored in matching anyway.
std::string lowerCaseTerm(const std::string& term) {
  std::string folded = lowerCase(term);
  for (std::size_t i = 0; i + 1 < term.size(); ++i) {
    if (term[i] == '\\') {
      ++i;
      folded[i] = term[i];
    }
  }
  return folded;
}

// term compiled with flags; the term is the user's input, so a refusal names it.
boost::regex compile(const std::string& term, unsigned flags) {
  try {
    return boost::regex(term, flags & ~boost::regex::no_except);
  } catch (const boost::regex_error& e) {
    const auto code = e.code();
    if (code == boost::regex_constants::error_complexity ||
        code == boost::regex_constants::error_stack || code == boost::regex_constants::error_space) {
      throw TermTooComplex(term, e.what());
    }
    throw kel::err::Error("Invalid search term '" + term + "': " + e.what());
  }
}

}  // namespace

TermTooComplex::TermTooComplex(const std::string& term, const std::string& reason)
    : kel::err::Error("Search term '" + term + "' is too complex: " + reason) {}

SearchTerm::SearchTerm(const std::string& t, unsigned flags)
    : term((flags & boost::regex::icase) ? lowerCaseTerm(t) : t), expression(compile(term, flags)) {}

WordMatcher::WordMatcher(const SearchTerm& term)
    : expression_(&term.expression), literal_(isPlainText(term.term)) {
  ignoreCase_ = (term.expression.flags() & boost::regex::icase) != 0;
  if (!literal_) {
    // The plain characters up to the first metacharacter must open every whole-word match,
    // except the last of them when a quantifier follows it. An alternative anywhere ('|') could
    // do without them; ignoring case would change them.
    const std::string_view t = term.term;
    if (ignoreCase_ || t.find('|') != std::string_view::npos) return;
    std::size_t end = t.find_first_of(regexMetacharacters);
    if (end != std::string_view::npos && end > 0 && std::string_view("*+?{").find(t[end]) != std::string_view::npos) {
      --end;
    }
    prefix_ = std::string(t.substr(0, end));
    return;
  }
  if (!ignoreCase_) {
    text_ = term.term;
    return;
  }
  // The case folding the compiled expression applies to a literal character and to the
  // character of the word it meets; it follows the expression's locale.
  const auto& traits = term.expression.get_traits();
  for (unsigned c = 0; c < 256; ++c) {
    fold_[c] = traits.translate_nocase(static_cast<char>(c));
  }
  for (const char c : term.term) text_ += fold_[static_cast<unsigned char>(c)];
}

namespace {

std::list<SearchTerm> compileTerms(const std::string& search, unsigned flags) {
  std::list<std::string> pieces;
  const std::string blank = " ";
  splitWords(pieces, search, nullptr, &blank);
  std::list<SearchTerm> terms;
  for (const std::string& piece : pieces) terms.emplace_back(piece, flags);
  return terms;
}

// Whether matcher, made for term, matches word; the engine giving up is the term's fault.
bool matches(const WordMatcher& matcher, const SearchTerm& term, std::string_view word) {
  try {
    return matcher.matches(word);
  } catch (const std::runtime_error& e) {
    throw TermTooComplex(term.term, e.what());
  }
}

// What a pass over the global index finds: the path of every file, and for every term the
// numbers of the files it selects (ascending, each once).
struct Selection {
  std::vector<std::string_view> paths;
  std::vector<std::vector<unsigned>> byTerm;
};

// Reads the global index bytes whole. With verbose, every word a term matches goes there,
// followed by a blank, once per matching term, in the order of the index.
Selection scanIndex(std::string_view bytes, const std::string& name,
                    const std::list<SearchTerm>& terms, std::ostream* verbose) {
  kel::file::ByteReader reader(bytes, name);
  Selection selection;
  const unsigned fileCount = reader.readUInt();
  selection.paths.reserve(std::min<std::size_t>(fileCount, reader.remaining()));
  for (unsigned i = 0; i < fileCount; ++i) selection.paths.push_back(reader.readString());

  std::vector<WordMatcher> matchers(terms.begin(), terms.end());
  std::vector<const SearchTerm*> termOf;
  for (const SearchTerm& term : terms) termOf.push_back(&term);
  selection.byTerm.resize(terms.size());
  std::vector<unsigned> numbers;
  for (unsigned words = reader.readUInt(); words > 0; --words) {
    const std::string_view word = reader.readString();
    const unsigned count = reader.readUInt();
    bool decoded = false;
    for (std::size_t t = 0; t < matchers.size(); ++t) {
      if (!matches(matchers[t], *termOf[t], word)) continue;
      if (!decoded) {
        numbers.clear();
        for (unsigned k = 0; k < count; ++k) {
          const unsigned number = reader.readUInt();
          // A number without a path would select a file the index does not name.
          if (number >= fileCount) kel::file::endOfFile(name);
          numbers.push_back(number);
        }
        decoded = true;
      }
      selection.byTerm[t].insert(selection.byTerm[t].end(), numbers.begin(), numbers.end());
      if (verbose) *verbose << word << ' ';
    }
    if (!decoded) reader.skipUInts(count);
  }
  for (auto& numbers : selection.byTerm) {
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  }
  return selection;
}

// The numbers in every one of the ascending lists.
std::vector<unsigned> intersect(const std::vector<std::vector<unsigned>>& lists) {
  std::vector<unsigned> result = lists.front();
  for (std::size_t t = 1; t < lists.size() && !result.empty(); ++t) {
    std::vector<unsigned> both;
    std::set_intersection(result.begin(), result.end(), lists[t].begin(), lists[t].end(),
                          std::back_inserter(both));
    result.swap(both);
  }
  return result;
}

// "Results for '<term>': <n> <n> ... " per term, after "done".
std::string termResults(const std::list<SearchTerm>& terms) {
  std::string text = "done\n";
  for (const SearchTerm& t : terms) {
    text += "Results for '" + t.term + "': ";
    for (const unsigned n : t.files) text += std::to_string(n) + " ";
    text += "\n";
  }
  return text;
}

std::string overallResults(const std::vector<unsigned>& result) {
  if (result.empty()) return "No results.\n";
  std::string text = "Overall results: ";
  for (const unsigned n : result) text += std::to_string(n) + " ";
  return text + "\n";
}

// True when path holds one of lowerIds (folded to lower case), compared without regard to ASCII
// case, or when there are no ids.
bool passesIds(std::string_view path, const std::vector<std::string>& lowerIds) {
  if (lowerIds.empty()) return true;
  const std::string lowerPath = lowerCase(std::string(path));
  for (const std::string& id : lowerIds) {
    if (lowerPath.find(id) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

LookupResult lookupTerms(const std::string& indexPath, const std::string& search, unsigned flags,
                         const std::vector<std::string>& ids, std::ostream* verbose,
                         std::ostream& report) {
  LookupResult found;
  found.terms = compileTerms(search, flags);
  std::vector<unsigned> result;
  if (!found.terms.empty()) {
    if (verbose) *verbose << "Searching in global index..\n";
    const kel::file::MappedFile bytes(indexPath);
    const Selection selection = scanIndex(bytes.view(), indexPath, found.terms, verbose);
    auto term = found.terms.begin();
    for (const auto& numbers : selection.byTerm) (term++)->files.insert(numbers.begin(), numbers.end());
    result = intersect(selection.byTerm);
    if (verbose) *verbose << termResults(found.terms);

    std::vector<std::string> lowerIds;
    for (const std::string& id : ids) lowerIds.push_back(lowerCase(id));
    for (const unsigned n : result) {
      if (passesIds(selection.paths[n], lowerIds)) found.files.emplace_back(selection.paths[n]);
    }
  }
  report << overallResults(result);
  return found;
}

void searchGlobalIndex(std::list<SearchTerm>& terms, unsigned flags, std::list<std::string>& files) {
  std::vector<std::string> ids;
  if (optIds.isGiven()) {
    optIds.rewind();
    for (std::string id = optIds.getValue(); !id.empty(); id = optIds.getValue()) {
      ids.push_back(id);
    }
  }
  LookupResult found = lookupTerms(globalIndexPath(), argSearch.value(), flags, ids,
                                   optVerbose.isActive() ? &std::cerr : nullptr, std::cerr);
  terms.splice(terms.end(), found.terms);
  files.splice(files.end(), found.files);
}
