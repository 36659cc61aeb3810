// A list of directories such as the PATH environment variable holds.
//
// The text is cut at ';' when it holds one anywhere (so "c:\bin;d:\tools" keeps its drive
// letters), otherwise at ':'. Empty entries are dropped; the others keep their order.
#ifndef CORVEX_KEL_SYS_DEP_PATH_H
#define CORVEX_KEL_SYS_DEP_PATH_H

#include <string>
#include <string_view>
#include <vector>

namespace kel::sys_dep {

class Path {
 public:
  // The directories of the environment variable PATH (none when it is not set).
  Path();
  // The directories of list (none for a null pointer).
  explicit Path(const char* list);
  virtual ~Path() = default;

  // Replaces the directories by those of list.
  void set(const char* list);

  const std::vector<std::string>& dirs() const { return dirs_; }

 private:
  std::vector<std::string> dirs_;
};

}  // namespace kel::sys_dep

#endif
