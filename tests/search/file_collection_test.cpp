#include "search/file_collection.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(FileCollection, SamePathTreatsBothSlashesAlike) {
  const struct {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"/web/docs/old", "/web/docs/old", true}, {"C:\\web\\old", "C:/web/old", true},
      {"/web\\old", "\\web/old", true},         {"/web/Old", "/web/old", false},
      {"/web/old/", "/web/old", false},         {"/web/./old", "/web/old", false},
      {"/web/old", "/web_old", false},          {"/web_old", "/web/old", false},
      {"", "", true},                           {"a", "", false},
  };
  for (const auto& c : cases) EXPECT_EQ(samePath(c.a, c.b), c.same) << c.a << " " << c.b;
}

TEST(FileCollection, ExtensionsMatchAnySuffixFromADot) {
  const std::set<std::string> defaults =
      splitExtensions(".htm;.html;.sht;.shtm;.shtml;.html.en;.html.de");
  EXPECT_EQ(defaults.size(), 7u);
  const struct {
    const char* name;
    bool accepted;
  } cases[] = {
      {"a.html", true},  {"a.HTM", true},      {"a.b.shtml", true}, {"a.html.en", true},
      {"a.html.fr", false}, {"a.htmlx", false}, {"html", false},     {"a.txt", false},
      {".htm", true},    {"a.", false},       {"a.tar.Html", true},
  };
  for (const auto& c : cases) EXPECT_EQ(matchesExtension(c.name, defaults), c.accepted) << c.name;

  // Empty pieces are kept but never match, as every suffix holds at least its dot; a lone "."
  // accepts names that end in a dot.
  EXPECT_EQ(splitExtensions(".x;;.y"), (std::set<std::string>{"", ".x", ".y"}));
  EXPECT_EQ(splitExtensions(""), (std::set<std::string>{""}));
  EXPECT_TRUE(matchesExtension("name.", splitExtensions(".;.x")));
  EXPECT_FALSE(matchesExtension("name", splitExtensions(";.x")));
}

TEST(FileCollection, SizeLimitIsExclusiveAndSixtyFourBit) {
  const struct {
    long long size;
    int kilobytes;
    bool below;
  } cases[] = {
      {10239, 10, true},
      {10240, 10, false},
      {0, 0, false},
      {0, -1, false},
      {3LL << 30, 4 * 1024 * 1024, true},            // a 3 GiB file under a 4 GiB limit
      {5LL << 30, 4 * 1024 * 1024, false},
      {(2LL << 30) + 1, 2 * 1024 * 1024, false},     // just over 2 GiB
      {(1LL << 40), 2147483647, true},               // the largest limit: just under 2 TiB
  };
  for (const auto& c : cases) EXPECT_EQ(isBelowSizeLimit(c.size, c.kilobytes), c.below) << c.size;
}

}  // namespace
