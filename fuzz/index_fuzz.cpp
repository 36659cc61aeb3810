// The three index files and the lookup.
//
// Input: one byte that selects the file, then its bytes:
//   'f'  a file list;
//   'w'  a word list of a directory whose files are the names its records begin with;
//   'g'  a search string up to the first '\n' (after one byte of settings: bit 0 ignores case),
//        then a global index that the lookup reads;
//   'u'  a previous global index (after a byte that chooses what else is damaged: bit 0 one word
//        list instead, bit 1 the fingerprints instead), replaced by an update of a small tree.
// Properties: a damaged file gives one of the documented errors and nothing else (a term may
// still be invalid or too complex); a file list
// that loads is stored and loaded again unchanged; a word list that fits its directory hands
// every file on once, in order; the lookup finds exactly what a full scan with regex_match
// finds; an update gives the bytes of a build from the word lists, whatever it finds beside them.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <list>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <boost/regex.hpp>

#include "fuzz_util.h"
#include "index/global_index.h"
#include "index/lookup.h"
#include "index/word_list.h"
#include "kel/err/error.h"
#include "kel/file/binary_file.h"
#include "kel/file/byte_codec.h"
#include "kel/file/directory.h"
#include "kel/file/file_util.h"
#include "kel/file/mapped_file.h"

namespace {

using kel::file::Directory;
using DirectoryMap = std::map<std::string, Directory>;

void checkDocumentedError(const kel::err::Error& e, const std::string& path, bool fileList) {
  const std::string what = e.what();
  fuzz::check(what == "End of file reached (" + path + ")" ||
                  (fileList && what == "Illegal filetype ('" + path + "')"),
              "a damaged index file gives one of the documented errors", what);
}

void fileList(std::string_view bytes) {
  const std::string path = fuzz::writeScratchFile("files", bytes);
  DirectoryMap dirs;
  try {
    kel::file::BinaryFile file(path, 0);
    kel::file::loadDirectories(dirs, file);
  } catch (const kel::err::Error& e) {
    checkDocumentedError(e, path, true);
    return;
  }
  const std::string again = fuzz::scratchPath("files2");
  {
    kel::file::BinaryFile file(again, 1);
    kel::file::storeDirectories(dirs, file);
    file.close();
  }
  DirectoryMap reloaded;
  kel::file::BinaryFile file(again, 0);
  kel::file::loadDirectories(reloaded, file);
  bool same = reloaded.size() == dirs.size();
  for (auto a = dirs.begin(), b = reloaded.begin(); same && a != dirs.end(); ++a, ++b) {
    same = a->first == b->first && a->second.path == b->second.path &&
           a->second.files == b->second.files && a->second.oldest == b->second.oldest &&
           a->second.newest == b->second.newest;
  }
  fuzz::check(same, "a loaded file list is stored and loaded again unchanged");
}

class Collector : public WordListConsumer {
 public:
  void file(const Directory&, std::string_view name) override { names.emplace_back(name); }
  void word(std::string_view) override { ++words; }
  void endDirectory(const Directory&) override {}
  std::vector<std::string> names;
  std::size_t words = 0;
};

void wordList(std::string_view bytes) {
  Directory dir;
  dir.path = "d";
  try {
    kel::file::ByteReader reader(bytes, "word list");
    while (reader.readByte() != 0) {
      dir.files.emplace(reader.readString());
      for (unsigned n = reader.readUInt(); n > 0; --n) reader.skipString();
    }
  } catch (const kel::err::Error&) {
  }
  if (!isWordListOf(bytes, dir)) return;
  Collector collector;
  feedWordList(bytes, dir, collector);
  fuzz::check(collector.names == std::vector<std::string>(dir.files.begin(), dir.files.end()),
              "a word list that fits its directory hands on every file once, in order");
}

// The files selected by every term, by reading every entry and matching every word.
bool fullScan(std::string_view bytes, const std::list<SearchTerm>& terms,
              std::list<std::string>& files) {
  kel::file::ByteReader reader(bytes, "global index");
  std::vector<std::string_view> paths;
  for (unsigned n = reader.readUInt(); n > 0; --n) paths.push_back(reader.readString());
  std::vector<std::set<unsigned>> selected(terms.size());
  for (unsigned w = reader.readUInt(); w > 0; --w) {
    const std::string_view word = reader.readString();
    std::vector<unsigned> numbers;
    for (unsigned k = reader.readUInt(); k > 0; --k) numbers.push_back(reader.readUInt());
    std::size_t t = 0;
    for (const SearchTerm& term : terms) {
      try {
        if (boost::regex_match(word.begin(), word.end(), term.expression)) {
          selected[t].insert(numbers.begin(), numbers.end());
        }
      } catch (const std::runtime_error&) {
        return false;  // the engine gives up on this word
      }
      ++t;
    }
  }
  std::set<unsigned> result = selected.front();
  for (std::size_t t = 1; t < selected.size(); ++t) {
    std::set<unsigned> both;
    for (const unsigned n : result) {
      if (selected[t].count(n) != 0) both.insert(n);
    }
    result.swap(both);
  }
  for (const unsigned n : result) {
    if (n >= paths.size()) return false;  // the lookup rejects such a number when it needs it
    files.emplace_back(paths[n]);
  }
  return true;
}

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

void lookup(fuzz::Fields& fields) {
  const unsigned settings = fields.byte();
  const std::string search(fields.next('\n'));
  if (search.size() > 64) return;
  const std::string_view bytes = fields.rest();
  const std::string path = fuzz::writeScratchFile("global_index", bytes);
  const unsigned flags = boost::regex::normal | ((settings & 1) ? boost::regex::icase : 0);

  NullBuffer nothing;
  std::ostream report(&nothing);
  std::list<SearchTerm> terms;
  std::list<std::string> files;
  try {
    LookupResult found = lookupTerms(path, search, flags, {}, nullptr, report);
    terms.swap(found.terms);
    files = found.candidates.paths();
  } catch (const TermTooComplex&) {
    return;
  } catch (const kel::err::Error& e) {
    if (std::string(e.what()).rfind("Invalid search term '", 0) == 0) return;
    checkDocumentedError(e, path, false);
    return;
  }
  if (terms.empty() || terms.size() > 6) return;
  std::list<std::string> expected;
  try {
    if (!fullScan(bytes, terms, expected)) return;
  } catch (const kel::err::Error&) {
    return;  // damage after the last entry the lookup needed
  }
  fuzz::check(files == expected, "the lookup finds what a full scan finds");
}

// A small tree of pages, its file list and index directory, and what a build from its word
// lists gives: made once.
struct Tree {
  std::string root, indexDir, fileList, globalIndex, fullBuild;
  std::map<std::string, std::string> wordLists;  // path -> bytes as built

  explicit Tree(const std::string& name) {
    root = fuzz::scratchDirectory() + "/" + name;
    indexDir = root + "/index";
    std::filesystem::create_directories(indexDir);
    page("d1/a.html", "<html><body>Haus mit Garten und Haus</body></html>");
    page("d1/b.html", "<html><title>B</title><body>Garten am See, Wohnung</body></html>");
    page("d2/c.html", "<body>Wohnung ohne Garten</body>");
    page("d2/e.html", "");
    DirectoryMap dirs;
    for (const char* d : {"/pages/d1", "/pages/d2"}) {
      kel::file::scanDirectory(dirs, root + d, false, false, acceptAll, nullptr);
    }
    fileList = indexDir + "/files";
    kel::file::BinaryFile file(fileList, 1);
    kel::file::storeDirectories(dirs, file);
    file.close();
    globalIndex = indexDir + "/global_index";
    fullBuild = build(indexDir + "/reference");
    for (const auto& entry : std::filesystem::directory_iterator(indexDir)) {
      const std::string p = entry.path().string();
      if (p.size() > 6 && p.compare(p.size() - 6, 6, ".index") == 0) {
        wordLists[p] = fuzz::readWholeFile(p);
      }
    }
  }

  static bool acceptAll(const std::string&, const char*, const struct stat&) { return true; }

  void page(const std::string& name, const std::string& text) const {
    const std::filesystem::path p = root + "/pages/" + name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }

  // A build into path with nothing of an earlier index beside it.
  std::string build(const std::string& path) const {
    for (const auto& entry : std::filesystem::directory_iterator(indexDir)) {
      if (entry.path().string().rfind(path, 0) == 0) std::filesystem::remove(entry.path());
    }
    updateGlobalIndex(fileList, indexDir, path, false, IndexBuild::full);
    return fuzz::readWholeFile(path);
  }
};

void update(fuzz::Fields& fields) {
  static const Tree tree("tree");
  const unsigned choice = fields.byte();
  const std::string_view bytes = fields.rest();
  for (const auto& [path, content] : tree.wordLists) fuzz::writeFile(path, content);
  // The index as a full build leaves it, then one piece of damage.
  tree.build(tree.globalIndex);
  if (choice & 1) {
    fuzz::writeFile(tree.wordLists.begin()->first, bytes);
  } else if (choice & 2) {
    fuzz::writeFile(tree.globalIndex + ".fingerprints", bytes);
  } else {
    fuzz::writeFile(tree.globalIndex, bytes);
  }
  try {
    updateGlobalIndex(tree.fileList, tree.indexDir, tree.globalIndex, false,
                      IndexBuild::incremental);
  } catch (const kel::err::Error& e) {
    fuzz::fail("an update over damaged files succeeds", e.what());
  }
  const std::string updated = fuzz::readWholeFile(tree.globalIndex);
  const std::string reference = tree.build(tree.indexDir + "/reference");
  fuzz::check(updated == reference, "an update gives the bytes of a full build",
              fuzz::quoted(updated) + " instead of " + fuzz::quoted(reference));
}

// A lookup through the lookup table of a real index finds what reading the whole index finds,
// with the same report and progress lines.
void lookupThroughTable(fuzz::Fields& fields) {
  static const Tree tree("lookup_tree");
  static const std::string withTable = [] {
    tree.build(tree.globalIndex);
    return tree.globalIndex;
  }();
  static const std::string withoutTable =
      fuzz::writeScratchFile("global_index_whole", fuzz::readWholeFile(withTable));
  const unsigned flags = boost::regex::normal | ((fields.byte() & 1) ? boost::regex::icase : 0);
  const std::string search(fields.rest());
  if (search.size() > 64) return;
  const auto run = [&](const std::string& index, std::string& out) {
    std::ostringstream report, verbose;
    try {
      const LookupResult found = lookupTerms(index, search, flags, {}, &verbose, report);
      for (const std::string& path : found.candidates.paths()) out += path + ";";
    } catch (const kel::err::Error& e) {
      out += e.what();
    }
    std::string lines = verbose.str();
    const std::size_t note = lines.find("Lookup table ");
    if (note != std::string::npos) lines.erase(note, lines.find('\n', note) + 1 - note);
    out += "|" + report.str() + "|" + lines;
    return note != std::string::npos;
  };
  std::string through, whole;
  fuzz::check(!run(withTable, through), "a fresh index has a lookup table of its own");
  run(withoutTable, whole);
  fuzz::check(through == whole, "the lookup through the table finds what a full scan finds",
              fuzz::quoted(through) + " instead of " + fuzz::quoted(whole));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Fields fields(data, size);
  switch (fields.byte()) {
    case 'f':
      fileList(fields.rest());
      break;
    case 'w':
      wordList(fields.rest());
      break;
    case 'g':
      lookup(fields);
      break;
    case 'u':
      update(fields);
      break;
    case 't':
      lookupThroughTable(fields);
      break;
    default:
      break;
  }
  return 0;
}
