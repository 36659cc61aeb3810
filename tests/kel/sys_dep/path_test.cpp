#include "kel/sys_dep/path.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

TEST(PathTest, ReadsTheEnvironment) {
  const char* const saved = std::getenv("PATH");
  const std::string savedPath = saved ? saved : "";
  setenv("PATH", "/x:/y", 1);
  EXPECT_EQ(Path().dirs(), (std::vector<std::string>{"/x", "/y"}));
  unsetenv("PATH");
  EXPECT_TRUE(Path().dirs().empty());
  if (saved) setenv("PATH", savedPath.c_str(), 1);
}

}  // namespace
}  // namespace kel::sys_dep
