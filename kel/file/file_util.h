// File-system utilities over the POSIX file interface: sizes and times, type queries, directory
// creation, temporary names, the current directory and path forms.
//
// Failures of system calls throw kel::err::IOError naming the path and the operation, e.g.
// "<strerror> for stat ('<path>')". Functions that split paths accept both '/' and '\'.
#ifndef CORVEX_KEL_FILE_FILE_UTIL_H
#define CORVEX_KEL_FILE_FILE_UTIL_H

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

namespace kel::file {

off_t fileSize(const std::string& path);           // throws IOError(path, "stat")
time_t modificationTime(const std::string& path);  // throws IOError(path, "stat")
// Sets the modification time and keeps the access time; throws IOError(path, "stat") or
// IOError(path, "utime").
void setModificationTime(const std::string& path, time_t t);

// Whether path exists and is a regular file / a directory (links followed); never throw.
bool isFile(const std::string& path);
bool isDirectory(const std::string& path);

// Creates the directory with permissions 0700. Throws IOError(path, "create_directory") on
// failure, except when it already exists and failIfExists is false.
void createDirectory(const std::string& path, bool failIfExists);

// A name "keltmpNNN" (NNN = 000..999) in the current directory under which no regular file
// exists. The same name comes back until a file of that name is created; the number only grows
// over the life of the process. Throws kel::err::Error("Can't create temporary file") once the
// thousand names are used up.
std::string temporaryFileName();

// The working directory, in drive-letter form if it is a "/cygdrive/<letter>..." path (see
// driveLetterForm). Throws IOError("getcwd") when it cannot be determined.
std::string currentDirectory();
// "/cygdrive/c/web" -> "c:/web", "/cygdrive/d" -> "d:" (prefix without regard to case); any other
// directory, "/cygdrive/" itself included, comes back unchanged.
std::string driveLetterForm(const std::string& directory);

// The absolute form of path: a relative path is joined to the working directory, "." and ".."
// components and doubled separators are folded, a trailing separator is dropped, symbolic links
// are not resolved. On this platform both forms are the same. Throw IOError("getcwd") only when
// a relative path meets an unknown working directory.
std::string toPosixPath(const std::string& path);
std::string toWindowsPath(const std::string& path);

// Everything before the last '/' or '\' ("" without one) / everything after it (path without one).
std::string dirName(const std::string& path);
std::string baseName(const std::string& path);
// Replaces every '\' by '/'.
void toSlashes(std::string& path);

bool isTerminal(int fd);
bool isTerminal(FILE* stream);
void sleepSeconds(unsigned seconds);

// Reads the whole file path into buffer, which keeps its size (and so its memory) from call to
// call, and returns the bytes read as a view into it. With status, also gives the status of the
// file opened (fstat). Throws kel::err::IOError(path) when it cannot be opened or read (a
// directory fails in its read).
std::string_view readFileInto(const std::string& path, std::string& buffer,
                              struct stat* status = nullptr);

}  // namespace kel::file

#endif
