#include "kel/sys_dep/path.h"

#include <gtest/gtest.h>

namespace kel::sys_dep {
namespace {

TEST(PathTest, SplitsAtSemicolonsIfAnyElseAtColons) {
  using Dirs = std::vector<std::string>;
  const struct {
    const char* list;
    Dirs dirs;
  } cases[] = {
      {"/bin:/usr/bin", {"/bin", "/usr/bin"}},
      {"c:\\bin;d:\\tools", {"c:\\bin", "d:\\tools"}},
      {"a;;b;", {"a", "b"}},
      {"::a:", {"a"}},
      {"a:b;c", {"a:b", "c"}},
      {"single", {"single"}},
      {"", {}},
      {";", {}},
      {nullptr, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Path(c.list).dirs(), c.dirs) << (c.list ? c.list : "null");
    Path p("old:dirs");
    p.set(c.list);
    EXPECT_EQ(p.dirs(), c.dirs) << (c.list ? c.list : "null");
  }
}

}  // namespace
}  // namespace kel::sys_dep
