// Text from indexed pages and result URLs, made safe for the gateway's UTF-8 pages.
#include <gtest/gtest.h>

#include "gateway/html_text.h"

namespace {

TEST(HtmlText, KeepsCharacterReferencesAndEscapesEverythingElse) {
  const struct {
    std::string latin1, html;
  } cases[] = {
      {"K\374che &uuml; &#252; &#xFC; &#XfC;", "K\xC3\274che &uuml; &#252; &#xFC; &#XfC;"},
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"\"><img src=x onerror=alert(1)>", "&quot;&gt;&lt;img src=x onerror=alert(1)&gt;"},
      {"Fish & Chips &amp &; &#; &#x; &1a;",
       "Fish &amp; Chips &amp;amp &amp;; &amp;#; &amp;#x; "
       "&amp;1a;"},
      {"&#0; &#1; &#9; &#xD800; &#x110000; &#99999999;",
       "&amp;#0; &amp;#1; &#9; &amp;#xD800; &amp;#x110000; &amp;#99999999;"},
      {"a\x01\x1f\177b\tc '", "a   b c &#39;"},
      {"&" + std::string(40, 'a') + ";", "&amp;" + std::string(40, 'a') + ";"},
  };
  for (const auto& c : cases) {
    std::string out;
    gateway::appendPageText(out, c.latin1);
    EXPECT_EQ(out, c.html) << c.latin1;
  }
  EXPECT_EQ(gateway::escaped("a&<>\"'\xC3\xBC"), "a&amp;&lt;&gt;&quot;&#39;\xC3\xBC");
  EXPECT_EQ(gateway::percentEncoded("K\xC3\274che a+b&c=d/~"), "K%C3%BCche%20a%2Bb%26c%3Dd%2F~");
}

TEST(HtmlText, LinksOnlyToUrlsOfKnownSchemes) {
  const struct {
    std::string url, target;
  } cases[] = {
      {"http://example.org/de/k\374che.html#a", "http://example.org/de/k%FCche.html#a"},
      {"/srv/a%20b.html", "/srv/a%20b.html"},
      {"file:///srv/\"<x>\".html", "file:///srv/%22%3Cx%3E%22.html"},
      {"HTTPS://example.org/a?b=1&c=2", "HTTPS://example.org/a?b=1&c=2"},
      {"javascript:alert(1)", ""},
      {" JavaScript:alert(1)", ""},
      {"data:text/html,<script>", ""},
      {"docs/a:b.html", "docs/a:b.html"},
  };
  for (const auto& c : cases) EXPECT_EQ(gateway::linkTarget(c.url), c.target) << c.url;
}

}  // namespace
