#include "index/lookup.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <iterator>

#include "app/options.h"
#include "index/global_index.h"
#include "index/lookup_table.h"
#include "index/term_text.h"
#include "index/word_extraction.h"
#include "kel/err/error.h"
#include "kel/err/format.h"
#include "kel/file/byte_codec.h"
#include "kel/file/file_util.h"
#include "kel/file/mapped_file.h"

namespace {

// True when the expression has an alternative ('|') outside every group: then no beginning is
// common to all its matches. '|' inside a group, a character class or a quoted stretch (\Q..\E)
// does not count, nor one after a backslash.
bool hasTopLevelAlternative(std::string_view t) {
  int depth = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    if (c == '\\') {
      if (i + 1 < t.size() && t[i + 1] == 'Q') {
        const std::size_t end = t.find("\\E", i + 2);
        if (end == std::string_view::npos) return false;
        i = end + 1;
      } else {
        ++i;
      }
    } else if (c == '[') {
      std::size_t j = i + 1;
      if (j < t.size() && t[j] == '^') ++j;
      if (j < t.size() && t[j] == ']') ++j;  // a ']' first is a member
      for (; j < t.size() && t[j] != ']'; ++j) {
        if (t[j] == '\\') {
          ++j;
        } else if (t[j] == '[' && j + 1 < t.size() && t[j + 1] == ':') {
          const std::size_t end = t.find(":]", j + 2);
          if (end != std::string_view::npos) j = end + 1;
        }
      }
      i = j;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (c == '|' && depth <= 0) {
      return true;
    }
  }
  return false;
}

std::string lowerCase(std::string text) {
  kel::toLowerCase(text);
  return text;
}

// term compiled with flags; the term is the user's input, so a refusal names it.
boost::regex compile(const std::string& term, unsigned flags) {
  try {
    return boost::regex(term, flags & ~boost::regex::no_except);
  } catch (const boost::regex_error& e) {
    const auto code = e.code();
    if (code == boost::regex_constants::error_complexity ||
        code == boost::regex_constants::error_stack ||
        code == boost::regex_constants::error_space) {
      throw TermTooComplex(term, e.what());
    }
    throw kel::err::Error("Invalid search term '" + term + "': " + e.what());
  }
}

}  // namespace

TermTooComplex::TermTooComplex(const std::string& term, const std::string& reason)
    : kel::err::Error("Search term '" + term + "' is too complex: " + reason) {}

SearchTerm::SearchTerm(const std::string& t, unsigned flags)
    : term((flags & boost::regex::icase) ? lowerCaseTerm(t) : t),
      expression(compile(term, flags)) {}

WordMatcher::WordMatcher(const SearchTerm& term)
    : expression_(&term.expression), literal_(isPlainText(term.term)) {
  ignoreCase_ = (term.expression.flags() & boost::regex::icase) != 0;
  if (!literal_) {
    // The plain characters up to the first metacharacter must open every whole-word match,
    // except the last of them when a quantifier follows it. An alternative outside the groups
    // could do without them; ignoring case would change them.
    const std::string_view t = term.term;
    if (ignoreCase_ || hasTopLevelAlternative(t)) return;
    std::size_t end = t.find_first_of(regexMetacharacters);
    if (end != std::string_view::npos && end > 0 &&
        std::string_view("*+?{").find(t[end]) != std::string_view::npos) {
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

// For every term the numbers of the files it selects (ascending, each once).
using Selection = std::vector<std::vector<unsigned>>;

void sortAndUnique(Selection& selection) {
  for (auto& numbers : selection) {
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  }
}

// One entry of the global index, read from its bytes.
struct Entry {
  std::string_view word;
  unsigned count = 0;
  std::string_view numbers;  // the rest of the entry
};

// The global index of one search, read through its lookup table when it has a valid one, and
// whole otherwise.
class GlobalIndexReader : public PathSource {
 public:
  GlobalIndexReader(const std::string& path, std::ostream* verbose) : name_(path) {
    struct stat status;
    file_ =
        std::make_unique<kel::file::MappedFile>(path, &status, kel::file::MappedFile::Read::parts);
    bytes_ = file_->view();
    std::string why;
    table_ = LookupTable::open(lookupTablePath(path), bytes_, status, why);
    if (!table_ && verbose) {
      *verbose << "Lookup table " << lookupTablePath(path) << " " << why
               << ": reading the whole global index\n";
    }
  }

  // With verbose, every word a term matches goes there, followed by a blank, once per matching
  // term, in the order of the index.
  Selection select(const std::list<SearchTerm>& terms, std::ostream* verbose) {
    return table_ ? selectThroughTable(terms, verbose) : scan(terms, verbose);
  }

  std::string path(unsigned file) const override {
    if (!table_) {
      if (file >= paths_.size()) kel::file::endOfFile(name_);
      return std::string(paths_[file]);
    }
    if (file >= table_->fileCount()) kel::file::endOfFile(name_);
    kel::file::ByteReader reader(bytes_, name_);
    reader.skipTo(table_->pathBlockStart(file));
    for (unsigned skipped = file % LookupTable::kPathBlock; skipped > 0; --skipped)
      reader.skipString();
    return std::string(reader.readString());
  }

 private:
  // Reads the whole index, keeping the paths.
  Selection scan(const std::list<SearchTerm>& terms, std::ostream* verbose) {
    kel::file::ByteReader reader(bytes_, name_);
    const unsigned fileCount = reader.readUInt();
    paths_.reserve(std::min<std::size_t>(fileCount, reader.remaining()));
    for (unsigned i = 0; i < fileCount; ++i) paths_.push_back(reader.readString());

    const std::vector<WordMatcher> matchers(terms.begin(), terms.end());
    const std::vector<const SearchTerm*> termOf = pointersTo(terms);
    Selection selection(terms.size());
    std::vector<unsigned> numbers;
    for (unsigned words = reader.readUInt(); words > 0; --words) {
      const std::string_view word = reader.readString();
      const unsigned count = reader.readUInt();
      bool decoded = false;
      for (std::size_t t = 0; t < matchers.size(); ++t) {
        if (!matches(matchers[t], *termOf[t], word)) continue;
        if (!decoded) {
          numbers.clear();
          for (unsigned k = 0; k < count; ++k) numbers.push_back(fileNumber(reader, fileCount));
          decoded = true;
        }
        selection[t].insert(selection[t].end(), numbers.begin(), numbers.end());
        if (verbose) *verbose << word << ' ';
      }
      if (!decoded) reader.skipUInts(count);
    }
    sortAndUnique(selection);
    return selection;
  }

  // Reads only the entries each term may match: the matches are gathered first, then their
  // numbers decoded and reported in the order of the index, as scan() does.
  Selection selectThroughTable(const std::list<SearchTerm>& terms, std::ostream* verbose) {
    struct Match {
      unsigned word;
      unsigned term;
      std::uint64_t offset;
      std::uint64_t length;
    };
    std::vector<Match> matched;
    unsigned t = 0;
    for (const SearchTerm& term : terms) {
      const WordMatcher matcher(term);
      const std::string& prefix = matcher.prefix();
      unsigned w = prefix.empty() ? 0 : lowerBound(prefix);
      if (w < table_->wordCount()) {
        for (LookupTable::Cursor cursor = table_->at(w); w < table_->wordCount();
             ++w, cursor.next()) {
          const std::string_view word = wordAt(cursor.offset(), cursor.length());
          if (word.compare(0, prefix.size(), prefix) != 0) break;  // past the range
          if (matches(matcher, term, word))
            matched.push_back({w, t, cursor.offset(), cursor.length()});
          if (matcher.isExact()) break;  // the one word that can match
        }
      }
      ++t;
    }
    std::sort(matched.begin(), matched.end(), [](const Match& a, const Match& b) {
      return a.word != b.word ? a.word < b.word : a.term < b.term;
    });

    Selection selection(terms.size());
    std::vector<unsigned> numbers;
    unsigned decodedWord = ~0u;
    for (const Match& m : matched) {
      const Entry entry = entryAt(m.offset, m.length);
      if (m.word != decodedWord) {
        kel::file::ByteReader reader(entry.numbers, name_);
        numbers.clear();
        for (unsigned k = 0; k < entry.count; ++k) {
          numbers.push_back(fileNumber(reader, table_->fileCount()));
        }
        decodedWord = m.word;
      }
      selection[m.term].insert(selection[m.term].end(), numbers.begin(), numbers.end());
      if (verbose) *verbose << entry.word << ' ';
    }
    sortAndUnique(selection);
    return selection;
  }

  // The first word not less than key: a binary search over the first words of the table's
  // blocks, then a walk within the block.
  unsigned lowerBound(std::string_view key) const {
    constexpr unsigned kBlock = LookupTable::kWordBlock;
    const unsigned words = table_->wordCount();
    unsigned low = 0;
    unsigned high = (words + kBlock - 1) / kBlock;  // first block whose first word is >= key
    while (low < high) {
      const unsigned middle = low + (high - low) / 2;
      const LookupTable::Cursor first = table_->at(middle * kBlock);
      if (wordAt(first.offset(), first.length()) < key) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    unsigned w = low == 0 ? 0 : (low - 1) * kBlock;
    if (w >= words) return words;
    const unsigned end = std::min(words, low * kBlock);
    for (LookupTable::Cursor cursor = table_->at(w); w < end; ++w, cursor.next()) {
      if (!(wordAt(cursor.offset(), cursor.length()) < key)) break;
    }
    return w;
  }

  Entry entryAt(std::uint64_t offset, std::uint64_t length) const {
    if (offset > bytes_.size() || bytes_.size() - offset < length) kel::file::endOfFile(name_);
    kel::file::ByteReader reader(bytes_.substr(offset, length), name_);
    Entry entry;
    entry.word = reader.readString();
    entry.count = reader.readUInt();
    entry.numbers = bytes_.substr(offset + reader.position(), length - reader.position());
    return entry;
  }

  // The word of the entry at offset.
  std::string_view wordAt(std::uint64_t offset, std::uint64_t length) const {
    if (offset > bytes_.size() || bytes_.size() - offset < length) kel::file::endOfFile(name_);
    return kel::file::ByteReader(bytes_.substr(offset, length), name_).readString();
  }

  // A file number; one without a path would select a file the index does not name.
  unsigned fileNumber(kel::file::ByteReader& reader, unsigned fileCount) const {
    const unsigned number = reader.readUInt();
    if (number >= fileCount) kel::file::endOfFile(name_);
    return number;
  }

  static std::vector<const SearchTerm*> pointersTo(const std::list<SearchTerm>& terms) {
    std::vector<const SearchTerm*> pointers;
    for (const SearchTerm& term : terms) pointers.push_back(&term);
    return pointers;
  }

  const std::string name_;
  std::unique_ptr<kel::file::MappedFile> file_;
  std::string_view bytes_;
  std::unique_ptr<LookupTable> table_;
  std::vector<std::string_view> paths_;  // without a table: every path, read by scan()
};

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

std::list<std::string> Candidates::paths() const {
  std::list<std::string> paths;
  for (std::size_t i = 0; i < size(); ++i) paths.push_back(path(i));
  return paths;
}

LookupResult lookupTerms(const std::string& indexPath, const std::string& search, unsigned flags,
                         const std::vector<std::string>& ids, std::ostream* verbose,
                         std::ostream& report) {
  LookupResult found;
  found.terms = compileTerms(search, flags);
  std::vector<unsigned> result;
  if (!found.terms.empty()) {
    if (verbose) *verbose << "Searching in global index..\n";
    auto index = std::make_shared<GlobalIndexReader>(indexPath, verbose);
    const Selection selection = index->select(found.terms, verbose);
    auto term = found.terms.begin();
    for (const auto& numbers : selection) (term++)->files.insert(numbers.begin(), numbers.end());
    result = intersect(selection);
    if (verbose) *verbose << termResults(found.terms);

    std::vector<unsigned> passing;
    if (ids.empty()) {
      passing = result;
    } else {
      std::vector<std::string> lowerIds;
      for (const std::string& id : ids) lowerIds.push_back(lowerCase(id));
      for (const unsigned n : result) {
        if (passesIds(index->path(n), lowerIds)) passing.push_back(n);
      }
    }
    found.candidates = Candidates(std::move(index), std::move(passing));
  }
  report << overallResults(result);
  return found;
}

LookupResult searchGlobalIndex(unsigned flags) {
  std::vector<std::string> ids;
  if (optIds.isGiven()) {
    optIds.rewind();
    for (std::string id = optIds.getValue(); !id.empty(); id = optIds.getValue()) {
      ids.push_back(id);
    }
  }
  return lookupTerms(globalIndexPath(), argSearch.value(), flags, ids,
                     optVerbose.isActive() ? &std::cerr : nullptr, std::cerr);
}

void searchGlobalIndex(std::list<SearchTerm>& terms, unsigned flags,
                       std::list<std::string>& files) {
  LookupResult found = searchGlobalIndex(flags);
  terms.splice(terms.end(), found.terms);
  files.splice(files.end(), found.candidates.paths());
}
