// The character that joins path components on this platform: '\' on a
// Windows/Cygwin build, '/' everywhere else. Word-list file names mangle both.
#ifndef CORVEX_KEL_FILE_PATH_SEPARATOR_H
#define CORVEX_KEL_FILE_PATH_SEPARATOR_H

namespace kel::file {

#if defined(_WIN32) || defined(__CYGWIN__)
inline constexpr char pathSeparator = '\\';
#else
inline constexpr char pathSeparator = '/';
#endif

}  // namespace kel::file

#endif
