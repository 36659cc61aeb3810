#include "kel/html_read/char_refs.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kel::html_read::BeyondLatin1;

TEST(CharRefs, ResolvesAsBrowsersDo) {
  const struct {
    std::string in, separated, referenced;
  } cases[] = {
      {"Gr&ouml;&szlig;e", "Gr\xF6\337e", "Gr\xF6\337e"},
      {"&#228;&#xE4;&#XC4;&#0228", "\xE4\xE4\xC4\xE4", "\xE4\xE4\xC4\xE4"},
      {"a&nbsp;b&shy;", "a\240b\xAD", "a\240b\xAD"},
      {"&mdash;&#8212;&euro;", "   ", "&#8212;&#8212;&#8364;"},
      {"&fjlig;&NotEqualTilde;", "fj  ", "fj&#8770;&#824;"},
      // Markup characters stay references in shown text.
      {"&lt;b&gt; &amp;amp; &quot;", "<b> &amp; \"", "&lt;b&gt; &amp;amp; \""},
      // Names allowed without ';' match without it, the longest first; others need it.
      {"&notit; &notin; &ampx &auml", "\xACit;   &x \xE4", "\xACit; &#8713; &amp;x \xE4"},
      {"&mdash &foo; & &#; &#x; &;", "&mdash &foo; & &#; &#x; &;", "&mdash &foo; & &#; &#x; &;"},
      // Numbers: 0, surrogates and overflow give U+FFFD, 0x80-0x9F read as windows-1252.
      {"&#0;&#xD800;&#99999999999;&#150;&#x81;", "    \x81", "&#65533;&#65533;&#65533;&#8211;\x81"},
  };
  for (const auto& c : cases) {
    std::string out;
    ASSERT_TRUE(kel::html_read::resolveCharRefs(c.in, out, BeyondLatin1::separator)) << c.in;
    EXPECT_EQ(out, c.separated) << c.in;
    ASSERT_TRUE(kel::html_read::resolveCharRefs(c.in, out, BeyondLatin1::reference)) << c.in;
    EXPECT_EQ(out, c.referenced) << c.in;
  }
  std::string out = "old";
  EXPECT_FALSE(kel::html_read::resolveCharRefs("no references", out, BeyondLatin1::reference));
  EXPECT_EQ(out, "old");
}

}  // namespace
