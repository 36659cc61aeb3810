#include "app/results_page.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/options.h"
#include "kel/err/error.h"

namespace {

std::string printed(const kel::html_write::ElementHandle& e) {
  std::ostringstream os;
  e->print(os);
  return os.str();
}

TEST(ResultsPage, PageAndRowShapesPrintExactly) {
  const auto heading = makeHeading("a<b 'Haus' \xE4");
  EXPECT_EQ(heading->toString(), "Results of search for &#39;a&lt;b &#39;Haus&#39; &auml;&#39;");

  const auto rows = kel::html_write::makeHandle<kel::html_write::HTML_Elements>();
  EXPECT_EQ(printed(makePage(makeHeading("x"), rows)),
            "\n<html>\n <head>\n  <title>\n   Results of search for &#39;x&#39;\n  </title>\n"
            " </head>\n <body>\n  <center>\n   <table Width=\"90%\">\n   </table>\n  </center>\n"
            " </body>\n</html>");

  struct Case {
    const char* name;
    kel::html_write::ElementHandle row;
    const char* expected;
  };
  const Case cases[] = {
      {"heading row", headingRow(makeHeading("x")),
       "<tr><td colspan=\"2\"><b><u><center>Results of search for &#39;x&#39;</center></u></b>"
       "</td></tr>"},
      {"message row", messageRow("Nothing matched 'a&b'"),
       "<tr><td colspan=\"2\"><font color=\"red\">Nothing matched &#39;a&amp;b&#39;</font></td></tr>"},
      {"abort row", abortRow("Corvex aborted (Reason: <x>)"),
       "<tr><td colspan=\"2\"><b><font color=\"red\">Corvex aborted (Reason: &lt;x&gt;)</font></b>"
       "</td></tr>"},
      {"full row", fullRow(kel::html_write::makeHandle<kel::html_write::HTML_Text>("<i>raw</i>")),
       "<tr><td colspan=\"2\"><i>raw</i></td></tr>"},
      {"error page", makeErrorPage("Error in Corvex: M\xFCller's <file>"),
       "<html><head><title>Error calling Corvex</title></head><body><center>"
       "Error in Corvex: M&uuml;ller&#39;s &lt;file&gt;</center></body></html>"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.row->toString(), c.expected) << c.name;

  EXPECT_EQ(printed(messageRow("m")),
            "\n<tr>\n <td colspan=\"2\">\n  <font color=\"red\">\n   m\n  </font>\n </td>\n</tr>");
}

TEST(ResultsPage, SubstituteTemplateReplacesEveryKeyInOrder) {
  struct Case {
    const char* templ;
    const char* url;
    const char* text;
    const char* title;
    const char* score;
    const char* expected;
  };
  const Case cases[] = {
      {"<a href=\"$url$\">$title$</a> [$url$] $text$ Score: $score$", "u", "t<b>x</b>", "T&amp;",
       "   1.50", "<a href=\"u\">T&amp;</a> [u] t<b>x</b> Score:    1.50"},
      {"no keys here", "u", "t", "T", "s", "no keys here"},
      {"", "u", "t", "T", "s", ""},
      {"$url$$url$", "u", "t", "T", "s", "uu"},
      // A later key inside an earlier value is replaced by the later pass, not an earlier one.
      {"$url$", "a$text$b$url$", "T$score$", "x", "9", "aT9b$url$"},
      {"$text$", "u", "$url$", "T", "s", "$url$"},
      // A key formed by the end of a longer value and the text after it is replaced as well.
      {"$url$l$", "ab$ur", "t", "T", "s", "abab$ur"},
      // A short value: the next search starts before the replacement, never before the start.
      {"$url$url$", "x$", "t", "T", "s", "xx$"},
      {"$$url$url$$", "", "t", "T", "s", "$"},
      {"$score$", "u", "t", "T", "", ""},
      {"$TITLE$ $title", "u", "t", "T", "s", "$TITLE$ $title"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(substituteTemplate(c.templ, c.url, c.text, c.title, c.score), c.expected)
        << c.templ << " / " << c.url;
  }
}

// -P and -p are read through their option objects; -D (a flag) is covered by the page tests.
TEST(ResultsPage, MakeResultUrl) {
  struct Case {
    const char* exchange;  // -P, or nullptr
    const char* prefix;    // -p, or nullptr
    const char* file;
    const char* anchor;
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, "/web/a b/x.html", "", "/web/a%20b/x.html"},
      {nullptr, nullptr, "/web/x.html", "sec 2", "/web/x.html#sec%202"},
      {nullptr, nullptr, "C:\\Test\\Example.html", "", "C:/Test/Example.html"},
      {nullptr, "file:// x/", "/web/x.html", "a", "file://%20x//web/x.html#a"},
      {"/web/=http://host/", nullptr, "/web/dir/x.html", "", "http://host/dir/x.html"},
      {"/web/ = /", nullptr, "/web/ x.html", "", "%20/x.html"},
      {"/other/=/", nullptr, "/web/x.html", "", "/web/x.html"},
      // An empty old prefix matches every URL; further '=' belong to the new prefix.
      {"=a=b/", nullptr, "/web/x.html", "", "a=b//web/x.html"},
      // A URL shorter than the old prefix but equal to its start is exchanged as a whole.
      {"/web/long/=N/", nullptr, "/web/", "", "N/"},
      {"C:/Test=docs", "/", "C:\\Test\\Example.html", "", "/docs/Example.html"},
  };
  for (const Case& c : cases) {
    if (c.exchange) optExchange.setValue(c.exchange, false);
    if (c.prefix) optUrlPrefix.setValue(c.prefix, false);
    EXPECT_EQ(makeResultUrl(c.file, c.anchor), c.expected) << c.file;
    optExchange.reset();
    optUrlPrefix.reset();
  }

  optExchange.setValue("no equals sign", false);
  try {
    makeResultUrl("/web/x.html", "");
    ADD_FAILURE() << "no error";
  } catch (const kel::err::Error& e) {
    EXPECT_STREQ(e.what(), "'=' awaited in 'no equals sign'");
  }
  optExchange.reset();
}

// Runs last: it switches -D on for the rest of the process.
TEST(ResultsPage, MakeResultUrlWithDosDrives) {
  const char* const argv[] = {CORVEX_BINARY, "-D", "x", "index", "roots"};
  programInfo.init(5, argv);
  ASSERT_TRUE(optDosDrives.isActive());
  struct Case {
    const char* exchange;
    const char* prefix;
    const char* file;
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, "C:\\Test\\Example.html", "c/Test/Example.html"},
      {nullptr, "/", "C:\\Test\\Example.html", "/c/Test/Example.html"},
      {"c/Test=docs", nullptr, "C:\\Test\\Example.html", "docs/Example.html"},
      {nullptr, nullptr, "c:/x y.html", "c/x%20y.html"},
      {nullptr, nullptr, "C:Test.html", "C:Test.html"},
      {nullptr, nullptr, "1:/x.html", "1:/x.html"},
      {nullptr, nullptr, "CC:/x.html", "CC:/x.html"},
      {nullptr, nullptr, "/c:/x.html", "/c:/x.html"},
      {nullptr, nullptr, "C:", "C:"},
  };
  for (const Case& c : cases) {
    if (c.exchange) optExchange.setValue(c.exchange, false);
    if (c.prefix) optUrlPrefix.setValue(c.prefix, false);
    EXPECT_EQ(makeResultUrl(c.file, ""), c.expected) << c.file;
    optExchange.reset();
    optUrlPrefix.reset();
  }
}

}  // namespace
