// Corvex run as the gateway runs it, and its page read back into rows.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "gateway/child_process.h"
#include "gateway/corvex_call.h"
#include "test_util.h"

namespace {

using gateway::CorvexPage;
using gateway::readCorvexPage;

TEST(CorvexCall, ReadsTheRowsOfARealRun) {
  testutil::TempDir dir;
  const std::string site = dir / "home/site";
  testutil::writeFile(site + "/a.html",
                      "<title>Fish &amp; Chips > \"Bar\" &bogus</title><body>Ein Haus am "
                      "See\x1f und <i>noch</i> ein Haus &amp; Hof</body>");
  testutil::writeFile(site + "/b b.html", "<body>Das Haus</body>");
  testutil::writeFile(site + "/c.html", "<title> </title><body>Haus</body>");
  testutil::writeFile(site + "/d.html", "<body>Haus</body>");
  testutil::writeFile(site + "/e.html", "<body>H\xE4user</body>");
  testutil::writeFile(dir / "home/roots.txt", site + "\n");
  testutil::writeFile(dir / "home/index/.keep", "");
  gateway::GatewayConfig config;
  config.corvex = CORVEX_BINARY;
  config.indexDir = dir / "home/index";
  config.rootList = dir / "home/roots.txt";
  config.urlPrefix = "http://example.org";
  config.maxResults = 3;
  ASSERT_EQ(
      testutil::runProcess({CORVEX_BINARY, "-u", "x", config.indexDir, config.rootList}).status, 0);

  gateway::QueryOptions options;
  options.ignoreCase = true;
  const auto argv =
      gateway::corvexArguments(config, gateway::makeSearchQuery("haus", options), true);
  EXPECT_EQ(argv.at(argv.size() - 3), " haus");
  // Corvex would take a path that begins with "/h" or "/?" for a help request.
  gateway::GatewayConfig home = config;
  home.indexDir = "/home/i";
  home.rootList = "/?r";
  const auto homeArgv = gateway::corvexArguments(home, gateway::SearchQuery(), false);
  EXPECT_EQ(homeArgv.at(homeArgv.size() - 2), "/./home/i");
  EXPECT_EQ(homeArgv.back(), "/./?r");
  const gateway::ChildResult run = gateway::runChild(argv, gateway::corvexEnvironment(), "/", {});
  ASSERT_EQ(run.status, 0) << run.err;
  const CorvexPage page = readCorvexPage(run.out);
  EXPECT_EQ(page.skipped, 1);
  // The first three candidates, ranked by score.
  std::map<std::string, gateway::CorvexRow> rows;
  for (const gateway::CorvexRow& row : page.rows)
    rows[row.url.substr(row.url.rfind('/') + 1)] = row;
  ASSERT_EQ(rows.size(), 3u);
  const gateway::CorvexRow& a = rows["a.html"];
  EXPECT_EQ(a.url, "http://example.org" + site + "/a.html");
  EXPECT_EQ(a.title, "Fish &amp; Chips > \"Bar\" &bogus");
  EXPECT_NE(a.excerpt.find("Ein \x0eHaus\x0f am See\x1f und noch ein \x0eHaus\x0f "),
            std::string::npos)
      << a.excerpt;
  EXPECT_EQ(rows["b%20b.html"].title, "");  // no title element
  EXPECT_EQ(rows["c.html"].title, "");      // a blank one

  // A term reaches Corvex as the text it is: "HÃ¤user" is not read once more as "Häuser".
  for (const auto& [q, found] : {std::pair{"H\xC3\xA4user", 1u}, {"H\xC3\x83\xC2\xA4user", 0u}}) {
    const gateway::ChildResult other = gateway::runChild(
        gateway::corvexArguments(config, gateway::makeSearchQuery(q, options), true),
        gateway::corvexEnvironment(), "/", {});
    EXPECT_EQ(readCorvexPage(other.out).rows.size(), found) << q;
  }
}

TEST(CorvexCall, RefusesAPageThatIsNotCompleteOrReportsAFailure) {
  const std::string head =
      "\n<html>\n <head>\n  <title>\n   t\n  </title>\n </head>\n <body>\n  <center>\n"
      "   <table Width=\"90%\">\n    <tr>\n     <td colspan=\"2\">h</td>\n    </tr>";
  const std::string tail = "\n   </table>\n  </center>\n </body>\n</html>";
  const std::string red =
      "\n    <tr>\n     <td colspan=\"2\">\n      <font color=\"red\">\n       ";
  const std::string row = "\n    \x02\x1eu\x1f\x1et\x1f\x1ex\x03\x1e";
  const struct {
    std::string page, fault;  // fault empty: read
  } cases[] = {
      {head + red + "Nothing matched &#39; Corvex aborted (Reason: x)&#39;</font></td></tr>" + tail,
       ""},
      {head + row + row + tail, ""},
      {head + row + tail.substr(0, tail.size() - 3), "Corvex's page does not end with </html>"},
      {head + row.substr(0, row.size() - 2) + tail, "a result row is not closed"},
      {head + "\n    \x02\x1eu\x1f\x1et\x03\x1e" + tail, "a result row has too few fields"},
      {head +
           "\n<tr><td colspan=\"2\"><b><font color=\"red\">Corvex aborted (Reason: No such "
           "file or directory (&#39;/srv/x&#39;))</font></b></td></tr>" +
           tail,
       "Corvex aborted (Reason: No such file or directory (&#39;/srv/x&#39;))"},
      {"\n<html>\n <head>\n  <title>\n   Error calling Corvex\n  </title>",
       "no result table on "
       "Corvex's page"},
      {head + "\n    garbage" + tail, "Corvex's page breaks off in its table"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(testutil::errorOf([&] { readCorvexPage(c.page); }),
              c.fault.empty() ? "no error" : c.fault)
        << c.page;
  }
}

}  // namespace
