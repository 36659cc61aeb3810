// Word-list files: one file per source directory in the index directory, holding the distinct
// words of every HTML file of that directory.
//
// The word list's name is given in index/index_files.h.
//
// Format (primitives of kel::file::BinaryFile), one record per file of the directory in the
// directory's file order:
//   0x01, file name (string), word count n (uint), n words (strings, ascending, each once)
// and after the last record the end byte 0x00. An unreadable or empty page has a record with
// no words.
#ifndef CORVEX_INDEX_WORD_LIST_H
#define CORVEX_INDEX_WORD_LIST_H

#include <sys/stat.h>

#include <map>
#include <ostream>
#include <set>
#include <string>
#include <string_view>

#include "index/index_files.h"
#include "kel/file/directory.h"

// joinPath(index directory, wordListName(dir)) with the index directory of the command line: the
// plain name, which is dir's word list unless another known directory's path mangles alike
// (updateWordLists chooses names through WordListNames).
std::string wordListPath(const kel::file::Directory& dir);

// The bytes of dir's word list: every file of dir is read through the HTML reader (a file that
// cannot be read, is empty or has an unclosed comment gets a record without words). With log,
// one line "Scanning '<name>' (<i>/<count>)" per file.
std::string buildWordList(const kel::file::Directory& dir, std::ostream* log);

// Builds dir's word list, replaces the file path with it atomically and returns its bytes. With
// log, "Updating index <path>" first and then the lines of buildWordList. Throws
// kel::err::IOError when path cannot be written; an earlier file path then stays as it was.
std::string writeWordList(const std::string& path, const kel::file::Directory& dir,
                          std::ostream* log);

// writeWordList with its lines on std::cerr when -v is given.
void writeWordList(const std::string& path, const kel::file::Directory& dir);

// Receives the content of word lists, directory by directory and record by record.
class WordListConsumer {
 public:
  virtual ~WordListConsumer() = default;
  // Before the records of dir. written tells whether this update has just written the word
  // list; bytes are the word list whose records follow (valid until endDirectory). Returning
  // false skips dir's records (the consumer has them already); endDirectory follows all the same.
  virtual bool beginDirectory(const kel::file::Directory& dir, bool written,
                              std::string_view bytes) {
    (void)dir, (void)written, (void)bytes;
    return true;
  }
  // A record of dir: the file name, then its words one by one.
  virtual void file(const kel::file::Directory& dir, std::string_view name) = 0;
  virtual void word(std::string_view word) = 0;
  // After the last record of dir.
  virtual void endDirectory(const kel::file::Directory& dir) = 0;
};

// True when bytes are a complete word list of exactly dir's files: one record per file, the
// names equal to dir's file names in order, the end byte as the last byte.
bool isWordListOf(std::string_view bytes, const kel::file::Directory& dir);

// Hands the records of bytes, a word list for which isWordListOf(bytes, dir) holds, to consumer.
void feedWordList(std::string_view bytes, const kel::file::Directory& dir,
                  WordListConsumer& consumer);

// Brings the word list of every directory of dirs with files up to date in indexDir and returns
// the total number of their files. A word list is rebuilt when it is missing, older than the
// directory's newest file, or not a complete word list of the directory's current file names.
// A directory without files loses its word lists. Word lists of earlier file counts are removed;
// a removal that fails is reported as "Warning: remove <path>failed!" on std::cerr and skipped.
// Directories of the other file lists in indexDir ("files", "<prefix>_files") count as known for
// the choice of names. Temporaries of index files whose writing process no longer exists (runs
// killed in the middle of a write) are removed. With verbose, the progress lines of writeWordList
// go to std::cerr. With consumer, every directory's (up-to-date) word list is handed to it, in
// table order, as the bytes that were read or written. Throws kel::err::IOError when a word list
// cannot be written or indexDir cannot be listed; word lists written for earlier directories
// remain.
unsigned updateWordLists(const std::string& indexDir,
                         const std::map<std::string, kel::file::Directory>& dirs, bool verbose,
                         WordListConsumer* consumer);

// updateWordLists for the index directory and -v of the command line, without a consumer.
unsigned updateWordLists(const std::map<std::string, kel::file::Directory>& dirs);

#endif
