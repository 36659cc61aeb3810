#include "kel/file/byte_codec.h"

#include <gtest/gtest.h>

#include <string>

#include "test_util.h"

namespace {

using kel::file::appendString;
using kel::file::appendUInt;
using kel::file::ByteReader;

using testutil::bytes;

TEST(ByteCodec, EncodesAndDecodesValuesAndStrings) {
  const struct {
    unsigned value;
    std::string encoded;
  } cases[] = {
      {0x7F, bytes({0x7F})},
      {0x80, bytes({0x80, 0x80})},
      {0x3FFF, bytes({0xBF, 0xFF})},
      {0x4000, bytes({0xC0, 0x40, 0x00})},
      {0x1FFFFF, bytes({0xDF, 0xFF, 0xFF})},
      {0x200000, bytes({0xE0, 0x20, 0x00, 0x00})},
      {0xFFFFFFF, bytes({0xEF, 0xFF, 0xFF, 0xFF})},
      {0x10000000, bytes({0xF0, 0x10, 0x00, 0x00, 0x00})},
      {0xFFFFFFFF, bytes({0xF0, 0xFF, 0xFF, 0xFF, 0xFF})},
  };
  std::string all;
  for (const auto& c : cases) {
    std::string out;
    appendUInt(out, c.value);
    EXPECT_EQ(out, c.encoded) << c.value;
    all += out;
  }
  appendString(all, "abc");
  EXPECT_EQ(all.substr(all.size() - 4), bytes({0x06, 'a', 'b', 'c'}));
  all += bytes({0x08, 'a', 0x00, 'b', 'c'}) +
         bytes({0xFA, 1, 2, 3, 4});  // NUL inside; 0xFA reads as 0xF0

  ByteReader reader(all, "x");
  for (const auto& c : cases) EXPECT_EQ(reader.readUInt(), c.value);
  EXPECT_EQ(reader.readString(), "abc");
  EXPECT_EQ(reader.readString(), "a");
  EXPECT_EQ(reader.readUInt(), 0x01020304u);
  EXPECT_TRUE(reader.atEnd());
  ByteReader skipper(all, "x");
  skipper.skipUInts(sizeof cases / sizeof *cases);
  skipper.skipString();
  skipper.skipString();
  EXPECT_EQ(skipper.readUInt(), 0x01020304u);
}

}  // namespace
