#include "app/results_page.h"

#include <gtest/gtest.h>

#include <string>

#include "app/options.h"

namespace {

TEST(ResultsPage, SubstituteTemplateReplacesEveryKeyInOrder) {
  const struct {
    const char *templ, *url, *text, *title, *score, *expected;
  } cases[] = {
      {"<a href=\"$url$\">$title$</a> [$url$] $text$ $score$", "u", "t<b>x</b>", "T&amp;", " 1.50",
       "<a href=\"u\">T&amp;</a> [u] t<b>x</b>  1.50"},
      {"no keys $URL$ $title", "u", "t", "T", "s", "no keys $URL$ $title"},
      // A later key inside an earlier value is replaced by the later pass, not the other way.
      {"$url$", "a$text$b$url$", "T$score$", "x", "9", "aT9b$url$"},
      {"$text$", "u", "$url$", "T", "s", "$url$"},
      // A key that a value forms with the text after it is replaced as well; after a short
      // value the search goes back, but never before the start.
      {"$url$l$", "ab$ur", "t", "T", "s", "abab$ur"},
      {"$url$url$", "x$", "t", "T", "s", "xx$"},
      {"$$url$url$$", "", "t", "T", "s", "$"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(substituteTemplate(c.templ, c.url, c.text, c.title, c.score), c.expected) << c.templ;
  }
}

TEST(ResultsPage, MakeResultUrl) {
  const struct {
    bool dosDrives;
    const char *exchange, *prefix, *file, *anchor, *expected;
  } cases[] = {
      {false, nullptr, nullptr, "/web/a b/x.html", "sec 2", "/web/a%20b/x.html#sec%202"},
      {false, nullptr, "file:// x/", "C:\\Test\\x.html", "", "file://%20x/C:/Test/x.html"},
      {false, "/web/ = /", nullptr, "/web/ x.html", "", "%20/x.html"},
      {false, "/other/=/", nullptr, "/web/x.html", "", "/web/x.html"},
      // An empty old prefix matches every URL; further '=' belong to the new prefix.
      {false, "=a=b/", nullptr, "/web/x.html", "", "a=b//web/x.html"},
      // A URL shorter than the old prefix but equal to its start is exchanged as a whole.
      {false, "/web/long/=N/", nullptr, "/web/", "", "N/"},
      {true, nullptr, nullptr, "C:\\Test\\Example.html", "", "c/Test/Example.html"},
      {true, nullptr, "/", "C:\\Test\\Example.html", "", "/c/Test/Example.html"},
      {true, "c/Test=docs", nullptr, "C:\\Test\\Example.html", "a", "docs/Example.html#a"},
      {true, nullptr, nullptr, "C:Test.html", "", "C:Test.html"},
      {true, nullptr, nullptr, "1:/x.html", "", "1:/x.html"},
      {true, nullptr, nullptr, "/c:/x.html", "", "/c:/x.html"},
  };
  for (const auto& c : cases) {
    if (c.dosDrives && !optDosDrives.isActive()) {
      // -D is a flag only the parser sets; from here on it stays set.
      const char* const argv[] = {CORVEX_BINARY, "-D", "x", "index", "roots"};
      programInfo.init(5, argv);
    }
    if (c.exchange) optExchange.setValue(c.exchange, false);
    if (c.prefix) optUrlPrefix.setValue(c.prefix, false);
    EXPECT_EQ(makeResultUrl(c.file, c.anchor), c.expected) << c.file;
    optExchange.reset();
    optUrlPrefix.reset();
  }
}

}  // namespace
