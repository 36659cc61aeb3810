// The accepted files of directories, recursive directory scans through caller filters, and the
// file list that stores a whole directory map.
#ifndef CORVEX_KEL_FILE_DIRECTORY_H
#define CORVEX_KEL_FILE_DIRECTORY_H

#include <sys/stat.h>

#include <ctime>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>

#include "kel/file/binary_file.h"

namespace kel::file {

// a, the path separator, b. Nothing is normalised: a trailing separator in a gives two in a row.
std::string joinPath(const std::string& a, const std::string& b);

// The files of one directory that passed a scan's file filter, with the oldest and newest
// modification time among them. Copyable value; the fields are the record of the file list.
class Directory : public BinaryStoreable {
 public:
  Directory() = default;
  Directory(const Directory&) = default;
  Directory& operator=(const Directory&) = default;
  ~Directory() override = default;

  // Records an accepted file. The first file sets both times to mtime; every later one widens
  // the range [oldest, newest] to include mtime. A name already present stays once, but its
  // time still widens the range.
  void add(const std::string& name, time_t mtime);

  // name itself when it holds the path separator anywhere (a full path from a followed link);
  // otherwise path, the separator and name.
  std::string fullName(const std::string& name) const;

  // One record of the file list: path (string), file count (uint), the names (strings) in set
  // order, then oldest and newest as 4 bytes each, little-endian: the low 32 bits of the time.
  void writeTo(BinaryFile& file) const override;
  // Reads a record written by writeTo, replacing path, files and both times; the two times are
  // read back as unsigned 32-bit seconds (valid until 2106). version is not examined.
  // Throws kel::err::Error "End of file reached (<file name>)" when the file ends inside the
  // record; the object may then hold part of the record.
  void readFrom(BinaryFile& file, int version) override;

  std::string path;             // the directory as scanned: a root as given, below it joined
  std::set<std::string> files;  // accepted names, ascending byte order
  time_t oldest = 0;            // 0 while files is empty
  time_t newest = 0;            // 0 while files is empty
};

// A scan's filter: directory is the path of the directory holding the entry (for a followed
// link, the directory part of the target), name the entry's name, info its stat data. True
// accepts the entry.
using FileFilter =
    std::function<bool(const std::string& directory, const char* name, const struct stat& info)>;
using DirFilter = FileFilter;

// The directory filter of the short scanDirectory form: accepts every directory.
bool acceptAnyDirectory(const std::string& directory, const char* name, const struct stat& info);

// Scans the directory path into dirs: the entry dirs[path] is created if needed (its path set to
// path) and every entry accepted by acceptFile is added to it with its modification time. Entries
// that are directories are offered to acceptDir; with recursive set, the accepted ones are
// scanned in the same way after all files of path were recorded, in the order the system lists
// them. Every visited directory gets a map entry, even without accepted files; rejected
// directories get none. With followLinks set, a shortcut (".lnk") or symbolic link is judged by
// its target: an accepted file target is recorded under its full path, an accepted directory
// target is not scanned. log, when given, receives the path of every visited directory, one per
// line.
// Throws kel::err::IOError when a directory cannot be opened ("opendir '<path>' failed"), an entry
// cannot be examined ("stat failed") or a link target cannot be examined; the map keeps the
// entries made until then.
void scanDirectory(std::map<std::string, Directory>& dirs, const std::string& path, bool recursive,
                   bool followLinks, const FileFilter& acceptFile, const DirFilter& acceptDir,
                   std::ostream* log);
// The same with acceptAnyDirectory as directory filter.
void scanDirectory(std::map<std::string, Directory>& dirs, const std::string& path, bool recursive,
                   bool followLinks, const FileFilter& acceptFile, std::ostream* log);

// True, with target set, when path is a Windows shortcut with link information (a regular file
// whose name holds ".lnk"; target empty when the shortcut names neither a local nor a network
// path) or a symbolic link (target is the absolute path the link points to; a relative link text
// counts from the link's own directory). False, target unchanged, for anything else.
// Throws what kel::Lnk throws for a damaged or unreadable shortcut.
bool resolveLink(const std::string& path, std::string& target);

// Writes the file list: the string "KEL_FILELIST", the version 1 (int), the number of entries
// (uint), then every entry's record in map order.
void storeDirectories(const std::map<std::string, Directory>& dirs, BinaryFile& file);
// Reads a file list into dirs: each record goes to the entry keyed by its path, replacing what
// was there; entries the file does not name are kept.
// Throws kel::err::Error "Illegal filetype ('<file name>')" when the file does not start with
// the magic, and "End of file reached (<file name>)" when it ends early; records read before the
// failure are in dirs.
void loadDirectories(std::map<std::string, Directory>& dirs, BinaryFile& file);

}  // namespace kel::file

#endif
