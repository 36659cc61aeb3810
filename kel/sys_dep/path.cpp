#include "kel/sys_dep/path.h"

#include <cstdlib>

namespace kel::sys_dep {

Path::Path() : Path(std::getenv("PATH")) {}

Path::Path(const char* list) { set(list); }

void Path::set(const char* list) {
  dirs_.clear();
  if (!list) return;
  const std::string_view text(list);
  const char separator = text.find(';') != std::string_view::npos ? ';' : ':';
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    const std::string_view entry =
        text.substr(start, end == std::string_view::npos ? end : end - start);
    if (!entry.empty()) dirs_.emplace_back(entry);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
}

}  // namespace kel::sys_dep
