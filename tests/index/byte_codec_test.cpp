#include "index/byte_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (const int v : values) s += static_cast<char>(v);
  return s;
}

std::string errorOf(const std::string& data, void (*action)(ByteReader&)) {
  ByteReader reader(data, "idx/x");
  try {
    action(reader);
  } catch (const kel::err::Error& e) {
    return e.what();
  }
  return "no error";
}

TEST(ByteCodec, UnsignedValuesUseTheShortestFormAndReadBack) {
  const struct {
    unsigned value;
    std::string encoded;
  } cases[] = {
      {0, bytes({0x00})},
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
  for (const auto& c : cases) {
    std::string out;
    appendUInt(out, c.value);
    EXPECT_EQ(out, c.encoded) << c.value;
    ByteReader reader(out, "x");
    EXPECT_EQ(reader.readUInt(), c.value);
    EXPECT_TRUE(reader.atEnd());
    ByteReader skipper(out, "x");
    skipper.skipUInts(1);
    EXPECT_TRUE(skipper.atEnd()) << c.value;
  }
  // A first byte above 0xF0 reads like 0xF0.
  const std::string loose = bytes({0xFA, 0x01, 0x02, 0x03, 0x04});
  ByteReader reader(loose, "x");
  EXPECT_EQ(reader.readUInt(), 0x01020304u);
}

TEST(ByteCodec, StringsCarryTheirDoubledLength) {
  std::string out;
  appendString(out, "abc");
  appendString(out, "");
  EXPECT_EQ(out, bytes({0x06, 'a', 'b', 'c', 0x00}));
  ByteReader reader(out, "x");
  EXPECT_EQ(reader.readString(), "abc");
  EXPECT_EQ(reader.readString(), "");
  EXPECT_TRUE(reader.atEnd());

  // A string holding a NUL byte reads back cut there, and the reader goes on behind it.
  const std::string withNul = bytes({0x08, 'a', 0x00, 'b', 'c', 0x02, 'z'});
  ByteReader cut(withNul, "x");
  EXPECT_EQ(cut.readString(), "a");
  EXPECT_EQ(cut.readString(), "z");
}

TEST(ByteCodec, ReadsPastTheEndReportTheFile) {
  const std::string eof = "End of file reached (idx/x)";
  const struct {
    std::string data;
    void (*action)(ByteReader&);
  } cases[] = {
      {"", [](ByteReader& r) { r.readByte(); }},
      {"", [](ByteReader& r) { r.readUInt(); }},
      {bytes({0x80}), [](ByteReader& r) { r.readUInt(); }},                    // cut inside a value
      {bytes({0xF0, 1, 2, 3}), [](ByteReader& r) { r.readUInt(); }},
      {bytes({0x08, 'a', 'b', 'c'}), [](ByteReader& r) { r.readString(); }},  // bytes cut short
      {bytes({0x05, 'a', 'b'}), [](ByteReader& r) { r.readString(); }},       // negative length
      {bytes({0xF0, 0xFF, 0xFF, 0xFF, 0xFE}), [](ByteReader& r) { r.readString(); }},
      {bytes({0x01, 0x80}), [](ByteReader& r) { r.skipUInts(2); }},
      {bytes({0x01}), [](ByteReader& r) { r.skipUInts(2); }},
      {bytes({0x08, 'a', 'b', 'c'}), [](ByteReader& r) { r.skipString(); }},
      {bytes({0x07, 'a', 'b', 'c'}), [](ByteReader& r) { r.skipString(); }},
  };
  for (const auto& c : cases) EXPECT_EQ(errorOf(c.data, c.action), eof);
  // "-0" is an empty string, not damage.
  EXPECT_EQ(errorOf(bytes({0x01}), [](ByteReader& r) { r.readString(); }), "no error");
}

TEST(ByteCodec, SkipsMixedWidthValues) {
  std::string out;
  const std::vector<unsigned> values = {5, 300, 70000, 0x300000, 0x20000000, 1};
  for (const unsigned v : values) appendUInt(out, v);
  appendUInt(out, 42);
  // With room for five bytes per value (no bound checks) and without.
  const std::string padded = out + std::string(40, '\0');
  ByteReader roomy(padded, "x");
  roomy.skipUInts(values.size());
  EXPECT_EQ(roomy.readUInt(), 42u);
  ByteReader tight(out, "x");
  tight.skipUInts(values.size());
  EXPECT_EQ(tight.readUInt(), 42u);
  EXPECT_TRUE(tight.atEnd());
}

TEST(ByteCodec, ReadsWholeFiles) {
  testutil::TempDir dir;
  std::string big(3 * 65536 + 7, 'x');
  big[100] = '\0';
  testutil::writeFile(dir / "f", big);
  testutil::writeFile(dir / "empty", "");
  EXPECT_EQ(readWholeFile(dir / "f"), big);
  EXPECT_EQ(readWholeFile(dir / "empty"), "");
  try {
    readWholeFile(dir / "missing");
    FAIL() << "no error";
  } catch (const kel::err::IOError& e) {
    EXPECT_EQ(std::string(e.what()), "No such file or directory ('" + dir / "missing" + "')");
  }
}

}  // namespace
