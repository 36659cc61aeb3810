#include "kel/html_read/entities.h"

#include <gtest/gtest.h>

namespace kel::html_read {
namespace {

TEST(EntitiesTest, EncodeEntities) {
  using namespace std::string_literals;
  const struct {
    std::string in, out;
  } cases[] = {
      {"M\xFCller & S\xF6hne's", "M&uuml;ller &amp; S&ouml;hne&#39;s"},
      {"\xE4\xF6\xFC\xC4\xD6\xDC\xDF", "&auml;&ouml;&uuml;&Auml;&Ouml;&Uuml;&szlig;"},
      {"<b>\"q\"</b>", "&lt;b&gt;\"q\"&lt;/b&gt;"},
      {"Nothing matched 'x'", "Nothing matched &#39;x&#39;"},
      // Other Latin-1 letters and control bytes pass unchanged.
      {"\xE9\xE0\t\x7F", "\xE9\xE0\t\x7F"},
      {"", ""},
      {"a\0<b>"s, "a"},
  };
  for (const auto& c : cases) EXPECT_EQ(encodeEntities(c.in), c.out) << c.in;
}

TEST(EntitiesTest, EscapeSpaces) {
  using namespace std::string_literals;
  const struct {
    std::string in, out;
  } cases[] = {
      {"a b  c", "a%20b%20%20c"}, {" ", "%20"}, {"a\tb%20<", "a\tb%20<"}, {"", ""},
      {"a b\0 c"s, "a%20b"},
  };
  for (const auto& c : cases) EXPECT_EQ(escapeSpaces(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace kel::html_read
