#include "kel/file/fingerprint.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(Fingerprint, DependsOnTheBytesAloneNotOnThePieces) {
  const std::string text = "The quick brown fox jumps over the lazy dog, twice: 0123456789";
  const std::string whole = kel::file::fingerprintOf(text);
  EXPECT_EQ(whole.size(), 16u);
  for (std::size_t cut1 = 0; cut1 <= text.size(); cut1 += 3) {
    for (std::size_t cut2 = cut1; cut2 <= text.size(); cut2 += 5) {
      kel::file::Fingerprint f;
      f.add(std::string_view());  // no data at all
      f.add(text.substr(0, cut1));
      f.add(text.substr(cut1, cut2 - cut1));
      f.add(text.substr(cut2));
      EXPECT_EQ(f.digest(), whole) << cut1 << " " << cut2;
    }
  }
  // A changed byte, a byte more or less, zeros at the end, or moved bytes change it.
  const std::string others[] = {"",
                                std::string(1, '\0'),
                                std::string(8, '\0'),
                                std::string(9, '\0'),
                                text.substr(1),
                                text + '\0',
                                text.substr(0, text.size() - 1),
                                "the" + text.substr(3),
                                text.substr(8) + text.substr(0, 8)};
  std::set<std::string> digests{whole};
  for (const std::string& other : others) digests.insert(kel::file::fingerprintOf(other));
  EXPECT_EQ(digests.size(), 1 + std::size(others));
}

}  // namespace
