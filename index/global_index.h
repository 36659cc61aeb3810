// The global index: every indexed HTML file once, numbered, and every distinct word with the
// numbers of the files that contain it. Built from the word lists; read by the lookup.
//
// Format (primitives of kel::file::BinaryFile), no header:
//   file count N (uint), N full file paths (strings; the position is the file number),
//   word count W (uint), W entries in ascending byte order of the words:
//     word (string), k (uint), k file numbers (uints, ascending, each once).
// Files are numbered in the order of the directory table (ascending paths), within a directory
// in ascending file-name order.
//
// What an update may trust. After every update the global index holds exactly the bytes of a
// build from all current word lists. To get there without reading every word list, an update
// may take over a directory's postings from the previous global index; what makes that safe is
// the record beside the index (index/fingerprints.h, written by the update right after the index
// is in place): it promises that the global index whose bytes have the recorded fingerprint was
// built from word lists with exactly the recorded fingerprints. The next update relies on it:
// it takes over a directory's postings only when the previous index's bytes have the recorded
// fingerprint and the directory's current word list the fingerprint recorded for it, and builds
// afresh from the word lists otherwise. An index restored from a backup, copied in, cut short,
// from another index directory, or left by a run killed between the index and its record fails
// one of the two tests.
#ifndef CORVEX_INDEX_GLOBAL_INDEX_H
#define CORVEX_INDEX_GLOBAL_INDEX_H

#include <string>

#include "index/index_files.h"

// How an update builds the new global index; both give the same bytes and progress lines.
enum class IndexBuild {
  incremental,  // take over what the previous index proves to have, read the rest
  full,         // read every word list
};

// Loads the file list filesListPath, brings the word lists of its directories up to date
// (updateWordLists) and replaces the global index globalPath atomically with one built from
// them, then the record of what it was built from beside it. With verbose, after the word-list
// progress, "Updating global index <path>" and one line "words = <n> <directory>" per directory
// with files (n: distinct words known once that directory's pages are counted) go to std::cerr.
// Throws kel::err::IOError when the file list cannot be read, kel::err::Error "Illegal filetype
// ('<path>')" or "End of file reached (<path>)" when it is not a complete file list (nothing
// is changed then), and the errors of updateWordLists; a failure leaves the old global index.
// kel::err::IOError when the record cannot be written (the index is then new, and the next
// update builds it afresh).
void updateGlobalIndex(const std::string& filesListPath, const std::string& indexDir,
                       const std::string& globalPath, bool verbose, IndexBuild build);

// updateGlobalIndex with the index directory, globalIndexPath() and -v of the command line,
// building incrementally (so -v shows the build that runs without it).
void updateGlobalIndex(const std::string& filesListPath);

#endif
