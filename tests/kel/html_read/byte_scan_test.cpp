#include "kel/html_read/byte_scan.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

namespace {

using namespace kel::html_read;

// Every scanner against a byte-by-byte search, on random ranges of every length up to 70 over
// the bytes they look for. Each range sits at the end of its own allocation, so a read past the
// end shows under AddressSanitizer.
TEST(ByteScan, AgreesWithByteByByteSearch) {
  const char alphabet[] = {'a', '>', '"', '<', '\xE9', ' '};
  std::mt19937 random(7);
  for (int round = 0; round < 4000; ++round) {
    const std::size_t length = static_cast<std::size_t>(round % 71);
    const std::unique_ptr<char[]> owner(new char[length + 1]);
    char* const p = owner.get() + 1;  // any alignment
    for (std::size_t i = 0; i < length; ++i) p[i] = alphabet[random() % (round % 3 == 0 ? 2 : 6)];
    const std::string text(p, length);
    const char* const end = p + length;

    EXPECT_EQ(findEither(p, end, '<', '"') - p,
              static_cast<long>(std::min(text.find_first_of("<\""), length)))
        << text;
    EXPECT_EQ(findByte(p, end, '>') - p, static_cast<long>(std::min(text.find('>'), length)))
        << text;
    EXPECT_EQ(findHighByte(p, end) - p, static_cast<long>(std::min(text.find('\xE9'), length)))
        << text;

    for (const bool startQuoted : {false, true}) {
      bool quoted = startQuoted;
      std::size_t expected = length;
      bool expectedQuoted = startQuoted;
      for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '"') {
          expectedQuoted = !expectedQuoted;
        } else if (text[i] == '>' && !expectedQuoted) {
          expected = i;
          break;
        }
      }
      EXPECT_EQ(findTagEnd(p, end, quoted) - p, static_cast<long>(expected)) << text;
      EXPECT_EQ(quoted, expectedQuoted) << text;
    }
  }
}

}  // namespace
