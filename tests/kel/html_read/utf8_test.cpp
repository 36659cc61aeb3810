#include "kel/html_read/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kel::html_read::BeyondLatin1;

TEST(Utf8, ToLatin1) {
  const struct {
    std::string in, separated, referenced;
  } cases[] = {
      {"Gr\xC3\xB6\xC3\237e", "Gr\xF6\337e", "Gr\xF6\337e"},
      {"\xC2\xA0\xC3\xBF", "\xA0\xFF", "\xA0\xFF"},
      {"Doporu\xC4\215en\xC3\xA9", "Doporu en\xE9", "Doporu&#269;en\xE9"},
      {"\xE2\x80\x94\xF0\x9F\x98\x80", "  ", "&#8212;&#128512;"},
      // Bytes outside a well-formed sequence stay: a lone continuation, a cut sequence, an
      // overlong form, a surrogate, a lead byte that never starts one.
      {"\200a\xC3", "\200a\xC3", "\200a\xC3"},
      {"\xE2\x82x\xC0\xAF", "\xE2\x82x\xC0\xAF", "\xE2\x82x\xC0\xAF"},
      {"\xED\xA0\x80\xF5\x80", "\xED\xA0\x80\xF5\x80", "\xED\xA0\x80\xF5\x80"},
      {"K\374che", "K\374che", "K\374che"},
  };
  for (const auto& c : cases) {
    std::string out = "old";
    ASSERT_TRUE(kel::html_read::utf8ToLatin1(c.in, out, BeyondLatin1::separator)) << c.in;
    EXPECT_EQ(out, c.separated) << c.in;
    ASSERT_TRUE(kel::html_read::utf8ToLatin1(c.in, out, BeyondLatin1::reference)) << c.in;
    EXPECT_EQ(out, c.referenced) << c.in;
  }
  std::string out = "old";
  EXPECT_FALSE(kel::html_read::utf8ToLatin1("plain ASCII text, longer than eight", out,
                                            BeyondLatin1::reference));
  EXPECT_EQ(out, "old");
}

TEST(Utf8, SearchStringAsLatin1) {
  const struct {
    std::string in;
    const char* latin1;  // null: used as it is
  } cases[] = {
      {"K\xC3\274che", "K\374che"},
      {"Gr\xC3\xB6\xC3\237e ma\xC3\x9F", "Gr\xF6\337e ma\xDF"},
      {"Haus", nullptr},                       // nothing to convert
      {"K\374che \xC4\xD6\xDC\xDF", nullptr},  // Latin-1 words are never UTF-8
      {"\xC4\214apek", nullptr},               // a character beyond Latin-1
      {"K\xC3\274che\xFF", nullptr},           // not UTF-8 as a whole
  };
  for (const auto& c : cases) {
    const auto latin1 = kel::html_read::utf8AsLatin1(c.in);
    EXPECT_EQ(latin1.has_value(), c.latin1 != nullptr) << c.in;
    if (latin1 && c.latin1) {
      EXPECT_EQ(*latin1, c.latin1) << c.in;
    }
  }
}

}  // namespace
