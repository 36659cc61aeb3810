// The global index: every indexed HTML file once, numbered, and every distinct word with the
// numbers of the files that contain it. Built from the word lists; read by the lookup.
//
// Format (primitives of kel::file::BinaryFile), no header:
//   file count N (uint), N full file paths (strings; the position is the file number),
//   word count W (uint), W entries in ascending byte order of the words:
//     word (string), k (uint), k file numbers (uints, ascending, each once).
// Files are numbered in the order of the directory table (ascending paths), within a directory
// in ascending file-name order.
#ifndef CORVEX_INDEX_GLOBAL_INDEX_H
#define CORVEX_INDEX_GLOBAL_INDEX_H

#include <string>

#include "index/index_files.h"

// Loads the file list filesListPath, brings the word lists of its directories up to date
// (updateWordLists) and replaces the global index globalPath atomically with one built from
// them. With verbose, "Updating global index <path>" and one line "words = <n> <directory>" per
// directory with files (n: distinct words known after that directory) go to std::cerr, after
// the word-list progress. Beside the index, "<globalPath>.fingerprints" records the fingerprint
// of its bytes and of every word list it was built from. An update takes over the postings of a
// directory from the previous index only when that index has the recorded fingerprint and the
// directory's word list the one recorded for it; an index restored from a backup, copied in,
// cut short or from another index directory is built afresh. So the result always has the bytes
// of a build from all word lists, whatever lies beside them and with or without verbose.
// Throws kel::err::IOError when the file list cannot be read, kel::err::Error "Illegal filetype
// ('<path>')" or "End of file reached (<path>)" when it is not a complete file list (nothing
// is changed then), and the errors of updateWordLists; a failure leaves the old global index.
// kel::err::IOError when the fingerprints cannot be written (the index is then new, and the next
// update builds it afresh).
void updateGlobalIndex(const std::string& filesListPath, const std::string& indexDir,
                       const std::string& globalPath, bool verbose);

// updateGlobalIndex with the index directory, globalIndexPath() and -v of the command line.
void updateGlobalIndex(const std::string& filesListPath);

#endif
