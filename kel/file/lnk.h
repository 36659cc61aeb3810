// Reads the target of a Windows shortcut (".lnk") file.
#ifndef CORVEX_KEL_FILE_LNK_H
#define CORVEX_KEL_FILE_LNK_H

#include <string>

namespace kel {

// The target path of one shortcut file and whether that target is a directory, read once at
// construction; the object is immutable afterwards. Only the fixed header and the link
// information are interpreted, with the single-byte (ANSI) path strings.
class Lnk {
 public:
  // Reads and interprets path.
  // Throws kel::err::IOError when the file cannot be examined or read, and kel::err::Error
  // "Damaged shortcut file ('<path>')" when the file is shorter than its header, or an offset or
  // string of its link information lies outside the file. Nothing is read outside the file.
  explicit Lnk(const std::string& path);
  virtual ~Lnk() = default;

  const std::string& path() const { return path_; }
  // The local base path or network share name, followed by the common path suffix; empty
  // without link information or when the link information names neither.
  const std::string& target() const { return target_; }
  bool hasLinkInfo() const { return hasLinkInfo_; }
  // The target carries the directory attribute.
  bool isDirectory() const { return isDirectory_; }
  // False without link information; otherwise whether target names an existing directory (for
  // a directory target) or an existing regular file (for any other target).
  bool targetExists() const;

 private:
  std::string path_;
  std::string target_;
  bool hasLinkInfo_ = false;
  bool isDirectory_ = false;
};

}  // namespace kel

#endif
