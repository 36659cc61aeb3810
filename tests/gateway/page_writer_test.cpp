// The gateway's pages: the form as the visitor left it, the count, the rows of one page and the
// links to the others.
#include <gtest/gtest.h>

#include "gateway/page_writer.h"

namespace {

using gateway::CorvexPage;
using gateway::FormState;
using gateway::PageFrame;
using gateway::PageWriter;

bool holds(const std::string& page, const std::string& part) {
  return page.find(part) != std::string::npos;
}

TEST(PageWriter, ShowsOnePageOfRowsWithCountAndLinks) {
  PageFrame frame;
  frame.pageSize = 2;
  frame.header = "<div id=site>";
  frame.footer = "</div>";
  FormState form;
  form.query = "\"><script>x</script> K\xC3\274che";
  form.ignoreCase = false;
  CorvexPage corvex;
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    corvex.rows.push_back({std::string("/s/") + name + ".html", name, "x"});
  }
  corvex.rows[2].title = "";
  corvex.rows[2].excerpt = "\017a \x0e\016b<\x0f\x0f c \016d";
  corvex.skipped = 1234;

  const std::string escapedQuery = "&quot;&gt;&lt;script&gt;x&lt;/script&gt; K\xC3\274che";
  const std::string link =
      "?q=%22%3E%3Cscript%3Ex%3C%2Fscript%3E%20K%C3%BCche&amp;i=0&amp;re=0"
      "&amp;start=";
  const struct {
    unsigned long start;
    std::vector<std::string> parts;
  } cases[] = {
      {2,
       {"<div id=site>\n<main class=\"cx\">", "value=\"" + escapedQuery + "\"",
        "<h1>Results for \u201C" + escapedQuery + "\u201D</h1>",
        "Results 3\u20134 of 5 1,234 more matching pages were not ranked",
        "<ol class=\"cx-results\" start=\"3\">",
        // untitled: the URL; marks balanced
        ">/s/c.html</a>", "a <mark>b&lt;</mark> c <mark>d</mark></p>", ">d</a>",
        "rel=\"prev\" href=\"" + link + "0\"", "rel=\"next\" href=\"" + link + "4\"",
        "<span aria-current=\"page\">2</span>", "</main>\n</div>\n</body>"}},
      {9, {"Results 5\u20135 of 5", ">e</a>", "rel=\"prev\" href=\"" + link + "2\""}},
  };
  for (const auto& c : cases) {
    const std::string page = PageWriter(frame, form).resultsPage(corvex, c.start);
    for (const std::string& part : c.parts) EXPECT_TRUE(holds(page, part)) << part << "\n" << page;
    EXPECT_FALSE(holds(page, "<script>"));
    EXPECT_FALSE(holds(page, "checked"));
    EXPECT_FALSE(holds(page, ">b</a>"));
  }
  EXPECT_EQ(gateway::responseHeader(503),
            "Status: 503 Service Unavailable\r\nContent-Type: text/html; charset=utf-8\r\n"
            "X-Content-Type-Options: nosniff\r\n\r\n");
}

}  // namespace
