// Collection of the HTML files the index covers: the roots of the root directory list are
// scanned, through the file and directory filters below, into a directory map that is stored
// in the index directory as the file list.
//
// The root directory list holds one directory per line. A line beginning with "-" names a
// directory that a scan does not enter when it meets it below a root (compared by samePath with
// the joined path); such a line never makes a root itself. Empty lines are ignored.
#ifndef CORVEX_SEARCH_FILE_COLLECTION_H
#define CORVEX_SEARCH_FILE_COLLECTION_H

#include <sys/stat.h>

#include <list>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>

#include "kel/file/directory.h"

// What decides which pages a scan takes.
struct CollectionRules {
  std::set<std::string> extensions;          // a page's name ends in one of them (matchesExtension)
  std::optional<int> maxKilobytes;           // pages of this many kilobytes or more are left out
  std::set<std::string> skippedDirectories;  // the "-" lines, without their "-"
  std::ostream* log = nullptr;               // progress lines, or none
};

// Unless update is set and the file list filesListPath exists, leaves it untouched and returns
// false. Otherwise scans every root of the root directory list rootDirList by rules (its "-"
// lines join rules.skippedDirectories; with rules.log, "Scanning directory '<root>'" and the
// scan's lines go there), replaces the file list atomically with the result and returns true.
// Throws kel::err::IOError when the root directory list cannot be read, a directory cannot be
// scanned or the file list cannot be written; the file list then keeps its earlier content.
bool buildFileList(const std::string& filesListPath, const std::string& rootDirList, bool update,
                   CollectionRules rules);

// buildFileList with the root directory list, -u, -e, -b and -v of the command line.
bool buildFileList(const std::string& filesListPath);

// The roots of the root directory list path, in order (empty lines left out), and its "-" lines
// added to skipped. Throws kel::err::IOError when it cannot be read.
std::list<std::string> readRootDirList(const std::string& path, std::set<std::string>& skipped);

// File filter of the scan: false for pages of rules.maxKilobytes or more, true for names that end
// in one of rules.extensions when info is that of a regular file; anything else so named (a FIFO,
// a device, also behind a link) is skipped, with rules.log reporting "Skipping
// '<directory>/<name>' (not a regular file)".
bool acceptFile(const CollectionRules& rules, const std::string& directory, const char* name,
                const struct stat& info);

// Directory filter of the scan: false (with rules.log reporting "Skipping unwanted sub-directory
// '<path>'") when the joined path is one of rules.skippedDirectories.
bool acceptSubdirectory(const CollectionRules& rules, const std::string& parent, const char* name,
                        const struct stat& info);

// True when a and b have the same length and equal characters at every position, where '/'
// and '\' are interchangeable. Case counts; nothing else is normalised.
bool samePath(const std::string& a, const std::string& b);

// The extensions of an -e value: the pieces between the ';' (empty pieces included).
std::set<std::string> splitExtensions(std::string_view list);

// True when a suffix of name that begins at a '.' equals one of extensions without regard to
// ASCII case.
bool matchesExtension(std::string_view name, const std::set<std::string>& extensions);

// True when a file of size bytes stays under a limit of kilobytes: size < kilobytes * 1024, in
// 64-bit arithmetic, so sizes over 2 GiB and large limits compare correctly.
bool isBelowSizeLimit(long long size, int kilobytes);

#endif
