// Every file of an index directory: its name, and how a listing of the directory tells it apart.
//
//   [<prefix>_]files                       the file list: directories and pages under the roots
//   [<prefix>_]global_index                the global index
//   [<prefix>_]global_index.fingerprints   what that global index was built from
//   [<prefix>_]global_index.lookup         the lookup table derived from it
//   <count>_<mangled>.index                the word list of one source directory
//   <count>_<mangled>.<code>.index         the same, for directories whose mangled paths collide
//   <name>.tmp.<pid>.<n>                   a file still being written by process <pid>
//
// <prefix> is the -I value: several indices share one index directory, each with its own file
// list and global index, and all of them share the word lists, which carry no prefix. <count> is
// the number of the directory's pages, so a directory that gains or loses a page gets a new word
// list and its old one is removed. <mangled> is the directory's path with each of '\', '/', '.',
// ':', ' ' and '-' replaced by '_'; two paths that mangle alike (x/a-b and x/a.b) would share a
// name, so when both are known in the index directory each gets the <code> form, whose code
// gives for every '_' of the mangled path the character it stands for (b '\', s '/', d '.',
// c ':', w ' ', h '-', u '_'). Such a name never has the form of another directory's name.
#ifndef CORVEX_INDEX_INDEX_FILES_H
#define CORVEX_INDEX_INDEX_FILES_H

#include <map>
#include <set>
#include <string>
#include <string_view>

#include "kel/file/directory.h"

// indexDir joined with base, or with "<prefix>_<base>" when prefix is not empty.
std::string indexFilePath(const std::string& indexDir, const std::string& prefix,
                          std::string_view base);

// indexFilePath with the index directory and the -I value of the command line.
std::string indexFilePath(const char* base);

// The file list of the command line's index: indexFilePath("files").
std::string filesListPath();

// The global index of the command line's index: indexFilePath("global_index"), computed on the
// first call and kept for the process.
std::string globalIndexPath();

// The record of what the global index globalIndex was built from.
std::string fingerprintsPath(const std::string& globalIndex);

// The lookup table derived from the global index globalIndex.
std::string lookupTablePath(const std::string& globalIndex);

// True for a file list's name: "files" or "<prefix>_files".
bool isFileListName(std::string_view name);

// path with the six separator-like characters replaced by '_'.
std::string mangleDirectoryName(std::string_view path);

// The word-list name of dir: "<count>_<mangled>.index", or with distinct the collision-free
// "<count>_<mangled>.<code>.index".
std::string wordListName(const kel::file::Directory& dir, bool distinct = false);

// True for a word list's name (any name that ends in ".index").
bool isWordListName(std::string_view name);

// True when name is a word list of the same directory as the word list named current, under any
// page count (current itself included): one or more digits, '_' and what follows the first '_'
// of current.
bool isSameDirectoryWordList(std::string_view name, std::string_view current);

// The id of the process that writes the temporary name, or 0 when name is no temporary.
long temporaryOwner(std::string_view name);

// Which directories need the collision-free word-list names: those whose mangled path equals
// the mangled path of another known directory.
class WordListNames {
 public:
  // Every directory of dirs is known; otherPaths adds further known directory paths.
  explicit WordListNames(const std::map<std::string, kel::file::Directory>& dirs,
                         const std::set<std::string>& otherPaths = {});
  bool isDistinct(const kel::file::Directory& dir) const;
  std::string name(const kel::file::Directory& dir) const {
    return wordListName(dir, isDistinct(dir));
  }

 private:
  std::set<std::string> collidingMangledNames_;
};

#endif
