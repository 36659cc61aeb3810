// The configuration file: values, defaults, and the faults named with file and line.
#include <gtest/gtest.h>

#include "gateway/config.h"
#include "test_util.h"

namespace {

using gateway::readConfig;

TEST(Config, ReadsValuesAndResolvesPathsBesideTheFile) {
  testutil::TempDir dir;
  testutil::writeFile(dir / "c.conf",
                      "# a comment\n\n index_dir = idx \nroot_list=/etc/roots.txt\r\n"
                      "url_prefix = http://example.org/a b\nurl_exchange =\n"
                      "page_size = 25\nallow_regex = yes\nignore_case = off\n"
                      "highlight = <em>$$$</em>\n");
  const gateway::GatewayConfig c = readConfig(dir / "c.conf", "/opt/cgi");
  EXPECT_EQ(c.corvex, "/opt/cgi/corvex");
  EXPECT_EQ(c.indexDir, dir / "idx");
  EXPECT_EQ(c.rootList, "/etc/roots.txt");
  EXPECT_EQ(c.urlPrefix, "http://example.org/a b");
  EXPECT_EQ(c.urlExchange, "");
  EXPECT_EQ(c.pageSize, 25u);
  EXPECT_EQ(c.maxResults, 200u);
  EXPECT_TRUE(c.allowRegex);
  EXPECT_FALSE(c.ignoreCase);
  EXPECT_EQ(c.highlight, "<em>$$$</em>");
  EXPECT_EQ(gateway::configPath(nullptr, "/opt/cgi"), "/opt/cgi/corvex-cgi.conf");
  EXPECT_EQ(gateway::configPath("", "/opt/cgi"), "/opt/cgi/corvex-cgi.conf");
  EXPECT_EQ(gateway::configPath("/etc/x.conf", "/opt/cgi"), "/etc/x.conf");
}

TEST(Config, NamesFileAndLineOfEveryFault) {
  testutil::TempDir dir;
  const std::string start = "index_dir = i\nroot_list = r\n";
  const struct {
    std::string text, message;
  } cases[] = {
      {start + "page_size 10\n", ":3: '=' awaited"},
      {start + "colour = red\n", ":3: unknown key 'colour'"},
      {start + "page_size = 5\npage_size = 6\n", ":4: key 'page_size' given twice"},
      {start + "page_size = 0\n", ":3: '0' is not a whole number from 1 to 1000000"},
      {start + "wall_seconds = 3601\n", ":3: '3601' is not a whole number from 1 to 3600"},
      {start + "max_terms = 1e3\n", ":3: '1e3' is not a whole number from 1 to 1000000"},
      {start + "cpu_seconds = -1\n", ":3: '-1' is not a whole number from 1 to 3600"},
      {start + "allow_regex = maybe\n", ":3: 'maybe' is neither yes nor no"},
      {start + "highlight = <b>*</b>\n", ":3: the highlight holds no $$$"},
      {"index_dir = i\n", ":0: root_list is not set"},
  };
  for (const auto& c : cases) {
    testutil::writeFile(dir / "c.conf", c.text);
    EXPECT_EQ(testutil::errorOf([&] { readConfig(dir / "c.conf", "/"); }),
              dir / "c.conf" + c.message)
        << c.text;
  }
  EXPECT_EQ(
      testutil::errorOf([&] { readConfig(dir / "none.conf", "/"); }),
      dir / "none.conf:0: cannot be read: No such file or directory ('" + dir / "none.conf" + "')");
}

}  // namespace
