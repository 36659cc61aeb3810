#include "kel/err/format.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

TEST(Format, TextsOfAnyLengthAndTheGrowthRule) {
  // 255 characters and the NUL fit the first 256 bytes; 256 need one step, to 384.
  EXPECT_EQ(kel::format("%s", std::string(255, 'a').c_str()), std::string(255, 'a'));
  EXPECT_EQ(kel::formatCapacity(), 256u);
  EXPECT_EQ(kel::format("%s", std::string(256, 'b').c_str()), std::string(256, 'b'));
  EXPECT_EQ(kel::formatCapacity(), 384u);
  const std::string text(1000, 'c');  // 384, 576, 864, 1296
  EXPECT_EQ(kel::format("<%s>", text.c_str()), "<" + text + ">");
  EXPECT_EQ(kel::formatCapacity(), 1296u);
  EXPECT_EQ(kel::format("%7.2f", 3.14159), "   3.14");
  EXPECT_EQ(kel::format("keltmp%03i", 7), "keltmp007");
  EXPECT_EQ(kel::format("a%cb", 0), std::string("a\0b", 3));  // the length, not strlen, counts
  // A text the C library cannot produce at all (no Latin-1 form for U+4E00 in the "C" locale)
  // fails at once instead of growing the buffer without end; the buffer stays usable.
  EXPECT_THROW(kel::format("%ls", L"\u4e00"), std::runtime_error);
  EXPECT_EQ(kel::formatCapacity(), 1296u);
  EXPECT_EQ(kel::format("%s", "ok"), "ok");
}

TEST(CompareNoCase, SignsAndPrefixes) {
  struct Case {
    const char* a;
    const char* b;
    int result;  // exact value; only the sign for byte differences
  };
  const Case cases[] = {
      {"abc", "ABC", 0},
      {"ab", "abc", -1},
      {"abc", "ab", 1},
      {"", "", 0},
      {"", "a", -1},
      {"a", "c", 'a' - 'c'},
      {"Abd", "abC", 1},
      {"\xC4", "\xE4", -32},  // umlauts are not folded, and compare as unsigned bytes
      {"z", "\xE4", 'z' - 0xE4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kel::compareNoCase(c.a, c.b), c.result) << c.a << " / " << c.b;
    EXPECT_EQ(kel::compareNoCase(std::string(c.a), c.b), c.result) << c.a << " / " << c.b;
    EXPECT_EQ(kel::compareNoCase(std::string_view(c.a), std::string_view(c.b)), c.result) << c.a;
  }
  EXPECT_EQ(kel::compareNoCase(std::string("ab\0", 3), "ab"), 1);  // the string's length ends it
  EXPECT_EQ(kel::compareNoCaseN("abcx", "ABCY", 3), 0);
  EXPECT_LT(kel::compareNoCaseN("abcx", "ABCY", 4), 0);
  EXPECT_EQ(kel::compareNoCaseN("x", "y", 0), 0);
  EXPECT_EQ(kel::compareNoCaseN("ab", "abc", 3), -1);
}

TEST(FindNoCase, FirstOccurrenceOrNull) {
  const char* text = "C:\\Web\\DOCS\\a.html";
  EXPECT_EQ(kel::findNoCase(text, "docs"), text + 7);
  EXPECT_EQ(kel::findNoCase(text, "c:"), text);
  EXPECT_EQ(kel::findNoCase(text, "xyz"), nullptr);
  EXPECT_EQ(kel::findNoCase(text, "a.html!"), nullptr);
  EXPECT_EQ(kel::findNoCase(text, ""), text + 18);  // the terminating NUL
  const char* empty = "";
  EXPECT_EQ(kel::findNoCase(empty, ""), empty);
  const char* repeat = "dodocs";
  EXPECT_EQ(kel::findNoCase(repeat, "DOCS"), repeat + 2);  // a false start hides nothing
  std::string s = "ABC xyz 09_\xC4\xD6\xDF Z";
  kel::toLowerCase(s);
  EXPECT_EQ(s, "abc xyz 09_\xC4\xD6\xDF z");
}

}  // namespace
