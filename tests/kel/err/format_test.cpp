#include "kel/err/format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Format, GrowsByHalfUntilTheTextFits) {
  // The buffer starts at 256 bytes: 255 characters and the NUL fit, 256 need the step to 384.
  EXPECT_EQ(kel::format("%s", std::string(255, 'a').c_str()), std::string(255, 'a'));
  EXPECT_EQ(kel::formatCapacity(), 256u);
  EXPECT_EQ(kel::format("%s", std::string(256, 'b').c_str()), std::string(256, 'b'));
  EXPECT_EQ(kel::formatCapacity(), 384u);
  // 384, 576, 864, 1296: a 1000-character text lands in the fourth size.
  const std::string long_text(1000, 'c');
  EXPECT_EQ(kel::format("<%s>", long_text.c_str()), "<" + long_text + ">");
  EXPECT_EQ(kel::formatCapacity(), 1296u);
  // Short texts after growth still come back exactly.
  EXPECT_EQ(kel::format("%d-%s", 7, "x"), "7-x");
  EXPECT_EQ(kel::formatCapacity(), 1296u);
}

TEST(Format, PrintfConversions) {
  EXPECT_EQ(kel::format("%7.2f", 3.14159), "   3.14");
  EXPECT_EQ(kel::format("keltmp%03i", 7), "keltmp007");
  EXPECT_EQ(kel::format("Error in %s: %s", "corvex", "bad"), "Error in corvex: bad");
  EXPECT_EQ(kel::format("%c:%s", 'c', "/web"), "c:/web");
  EXPECT_EQ(kel::format("%s", ""), "");
  // Embedded NUL bytes in the result are kept (the length, not strlen, decides).
  EXPECT_EQ(kel::format("a%cb", 0), std::string("a\0b", 3));
}

TEST(CompareNoCase, TableOfPairs) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  const Case cases[] = {
      {"abc", "ABC", 0}, {"ab", "abc", -1}, {"abc", "ab", 1},  {"", "", 0},
      {"", "a", -1},     {"a", "", 1},      {"abd", "ABC", 1}, {"Abc", "abD", -1},
      // Umlauts are not folded: Ä (0xC4) and ä (0xE4) differ, in unsigned byte order.
      {"\xC4", "\xE4", -1}, {"z", "\xE4", -1},
  };
  for (const Case& c : cases) {
    const int r1 = kel::compareNoCase(c.a, c.b);
    const int r2 = kel::compareNoCase(std::string(c.a), c.b);
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    EXPECT_EQ(sign(r1), c.sign) << c.a << " / " << c.b;
    EXPECT_EQ(r1, r2) << c.a << " / " << c.b;
  }
  // A prefix gives exactly -1 and 1, not a byte difference.
  EXPECT_EQ(kel::compareNoCase("ab", "abc"), -1);
  EXPECT_EQ(kel::compareNoCase("abc", "ab"), 1);
  EXPECT_EQ(kel::compareNoCase("a", "c"), 'a' - 'c');
  // The string form ends at its length: an inner NUL is compared as a byte.
  EXPECT_EQ(kel::compareNoCase(std::string("ab\0", 3), "ab"), 1);
}

TEST(CompareNoCaseN, ComparesAtMostNBytes) {
  EXPECT_EQ(kel::compareNoCaseN("abcx", "ABCY", 3), 0);
  EXPECT_NE(kel::compareNoCaseN("abcx", "ABCY", 4), 0);
  EXPECT_EQ(kel::compareNoCaseN("x", "y", 0), 0);
  EXPECT_EQ(kel::compareNoCaseN("ab", "abc", 3), -1);
  EXPECT_EQ(kel::compareNoCaseN("abc", "ab", 3), 1);
  EXPECT_EQ(kel::compareNoCaseN("ab", "AB", 10), 0);
}

TEST(FindNoCase, PositionsInText) {
  const char* text = "C:\\Web\\DOCS\\a.html";
  EXPECT_EQ(kel::findNoCase(text, "docs"), text + 7);
  EXPECT_EQ(kel::findNoCase(text, "c:"), text);
  EXPECT_EQ(kel::findNoCase(text, ".HTML"), text + 13);
  EXPECT_EQ(kel::findNoCase(text, "xyz"), nullptr);
  EXPECT_EQ(kel::findNoCase(text, "a.html!"), nullptr);  // runs past the end
  // The empty pattern matches the terminating NUL.
  EXPECT_EQ(kel::findNoCase(text, ""), text + 18);
  const char* empty = "";
  EXPECT_EQ(kel::findNoCase(empty, ""), empty);
  EXPECT_EQ(kel::findNoCase(empty, "a"), nullptr);
  // A false start does not hide a later match.
  const char* repeat = "dodocs";
  EXPECT_EQ(kel::findNoCase(repeat, "DOCS"), repeat + 2);
}

TEST(ToLowerCase, FoldsOnlyAsciiLetters) {
  std::string s = "ABC xyz 09_\xC4\xD6\xDC\xDF Z";
  kel::toLowerCase(s);
  EXPECT_EQ(s, "abc xyz 09_\xC4\xD6\xDC\xDF z");
}

}  // namespace
