// Turning a visitor's query into Corvex's terms, and the queries that are refused.
#include <gtest/gtest.h>

#include "gateway/search_query.h"

namespace {

using gateway::makeSearchQuery;
using gateway::QueryOptions;
using gateway::QueryRefused;

QueryOptions options(bool regex, bool ignoreCase) {
  QueryOptions o;
  o.regex = regex;
  o.ignoreCase = ignoreCase;
  o.maxBytes = 40;
  o.maxTerms = 3;
  return o;
}

TEST(SearchQuery, MakesTermsOrRefuses) {
  struct Case {
    std::string q;
    bool regex, ignoreCase;
    std::string argument;  // or, when refused, "refused:<reason>"
    std::string explanationPart = "";
  } cases[] = {
      {"K\xC3\274che", false, false, " K\374che"},
      {"K\374che", false, false, " K\374che"},  // not UTF-8: Latin-1
      {"  -u   /h  --help  ", false, false, " -u /h --help"},
      {"a.b (c)* x+y ^$|? \\d", false, false, "refused:terms"},
      {"a.b (c) \\d", false, false, " a\\.b \\(c\\) \\\\d"},
      {"K\xC3\274ch* ** x*y", false, false, " K\374ch.* \\*\\* x\\*y"},
      {"Haus haus HAUS", false, true, " Haus"},
      {"Haus haus HAUS", false, false, " Haus haus HAUS"},
      {"a a a a b", false, false, " a b"},
      {"Gar.*n [hH]aus", true, false, " Gar.*n [hH]aus"},
      {"a\tb", false, false, "refused:control"},
      {"a\x7F", false, false, "refused:control"},
      {"a\xC2\x85", false, false, "refused:control"},
      {std::string(41, 'a'), false, false, "refused:too-long", "41 bytes, of which at most 40"},
      {"\xE2\x82\xAC \xF0\x9F\x98\x80 \xE2\x82\xAC", false, false, "refused:charset",
       "\u201C\u20AC\u201D (U+20AC), \u201C\xF0\x9F\x98\x80\u201D (U+1F600)."},
      {"ok K\xFC(", true, false, "refused:pattern",
       "\u201CK\xC3\xBC(\u201D is not a valid regular expression: a parenthesis"},
      {"*x", true, true, "refused:pattern", "nothing that can be repeated"},
      {"[a", true, false, "refused:pattern", "bracket"},
  };
  for (const Case& c : cases) {
    std::string got;
    try {
      got = makeSearchQuery(c.q, options(c.regex, c.ignoreCase)).corvexArgument();
    } catch (const QueryRefused& e) {
      got = "refused:" + e.reason;
      EXPECT_NE(std::string(e.what()).find(c.explanationPart), std::string::npos)
          << c.q << ": " << e.what();
      EXPECT_EQ(std::string(e.what()).find(">>>HERE>>>"), std::string::npos);
    }
    EXPECT_EQ(got, c.argument) << c.q;
  }
}

TEST(SearchQuery, ReadsBytesThatAreNotUtf8AsLatin1) {
  const struct {
    std::string bytes;
    std::u32string chars;
  } cases[] = {
      {"\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80", U"\u00FC\u20AC\U0001F600"},
      {"\xC3", U"\u00C3"},                                // cut short
      {"\xC0\xAF", U"\u00C0\u00AF"},                      // overlong '/'
      {"\xED\xA0\x80", U"\u00ED\u00A0\u0080"},            // a surrogate
      {"\xF4\x90\x80\x80", U"\u00F4\u0090\u0080\u0080"},  // beyond U+10FFFF
      {"\374a\xC3\xBC",
       U"\u00FC"
       "a\u00FC"},
  };
  for (const auto& c : cases) EXPECT_EQ(gateway::decodeUtf8(c.bytes), c.chars) << c.bytes;
  EXPECT_EQ(gateway::displayText("a\tb\xC3\xBC"), "a\uFFFDb\u00FC");
}

}  // namespace
