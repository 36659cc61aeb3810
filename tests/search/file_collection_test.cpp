#include "search/file_collection.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(FileCollection, FiltersComparePathsExtensionsAndSizes) {
  const struct {
    const char* a;
    const char* b;
    bool same;
  } paths[] = {
      {"C:\\web\\old", "C:/web/old", true}, {"/web\\old", "\\web/old", true},
      {"/web/Old", "/web/old", false},      {"/web/old/", "/web/old", false},
      {"/web/./old", "/web/old", false},    {"/web_old", "/web/old", false},
  };
  for (const auto& c : paths) EXPECT_EQ(samePath(c.a, c.b), c.same) << c.a << " " << c.b;

  const std::set<std::string> extensions =
      splitExtensions(".htm;.html;.sht;.shtm;.shtml;.html.en;.html.de");
  EXPECT_EQ(extensions.size(), 7u);
  const struct {
    const char* name;
    bool accepted;
  } names[] = {
      {"a.html", true},    {"a.HTM", true},      {"a.b.shtml", true},
      {"a.html.en", true}, {"a.html.fr", false}, {"a.htmlx", false},
      {"html", false},     {".htm", true},       {"a.", false},
  };
  for (const auto& c : names) EXPECT_EQ(matchesExtension(c.name, extensions), c.accepted) << c.name;
  // Empty pieces are kept but never match a suffix, which holds at least its dot.
  EXPECT_EQ(splitExtensions(".x;;.y"), (std::set<std::string>{"", ".x", ".y"}));
  EXPECT_FALSE(matchesExtension("name", splitExtensions(";.x")));

  const struct {
    long long size;
    int kilobytes;
    bool below;
  } sizes[] = {
      {10239, 10, true},
      {10240, 10, false},
      {0, 0, false},
      {3LL << 30, 4 * 1024 * 1024, true},
      {(2LL << 30) + 1, 2 * 1024 * 1024, false},
      {1LL << 40, 2147483647, true},
  };
  for (const auto& c : sizes) EXPECT_EQ(isBelowSizeLimit(c.size, c.kilobytes), c.below) << c.size;
}

}  // namespace
