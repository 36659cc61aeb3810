#include "kel/file/lnk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

// Shortcut files built byte by byte after the published shell link layout: a 0x4C-byte header,
// an optional item ID list (2-byte size, then the items), then the LinkInfo structure.
void putU32(std::string& bytes, std::size_t at, std::uint32_t value) {
  if (bytes.size() < at + 4) bytes.resize(at + 4, '\0');
  for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<char>(value >> (8 * k));
}

constexpr std::uint32_t kIDList = 0x1, kLinkInfo = 0x2;

std::string header(std::uint32_t linkFlags, std::uint32_t attributes, int idListSize = -1) {
  std::string bytes(0x4C, '\0');
  putU32(bytes, 0x00, 0x4C);
  putU32(bytes, 0x04, 0x00021401);  // start of the link class identifier
  putU32(bytes, 0x14, linkFlags | (idListSize >= 0 ? kIDList : 0));
  putU32(bytes, 0x18, attributes);
  if (idListSize >= 0) bytes += std::string{char(idListSize), '\0'} + std::string(idListSize, 'Z');
  return bytes;
}

// LinkInfo naming a local base path (flag 1) or a network share (flag 2), then a suffix.
std::string linkInfo(std::uint32_t flags, const std::string& path, const std::string& suffix) {
  std::string info;
  putU32(info, 0x04, 0x1C);
  putU32(info, 0x08, flags);
  const std::uint32_t data = 0x1C, netName = 0x14;
  std::string block;
  if (flags & 2) {
    putU32(info, 0x14, data);
    putU32(block, 0x08, netName);  // NetNameOffset, relative to the network link
    block.resize(netName);
  } else {
    putU32(info, 0x10, data);
  }
  block += path + '\0';
  putU32(info, 0x18, data + static_cast<std::uint32_t>(block.size()));
  info += block + suffix + '\0';
  putU32(info, 0x00, static_cast<std::uint32_t>(info.size()));
  return info;
}

TEST(Lnk, ReadsTheTargetOfEveryKindOfShortcut) {
  struct Case {
    const char* what;
    std::string bytes, target;
    bool hasLinkInfo, isDirectory;
  };
  const Case cases[] = {
      {"local file", header(kLinkInfo, 0x20, 20) + linkInfo(1, "C:\\web\\", "a.html") + "tail",
       "C:\\web\\a.html", true, false},
      {"local directory", header(kLinkInfo, 0x10, 3) + linkInfo(1, "C:\\web\\docs", ""),
       "C:\\web\\docs", true, true},
      {"network share", header(kLinkInfo, 0x20, 8) + linkInfo(2, "\\\\srv\\share", "\\d\\x.htm"),
       "\\\\srv\\share\\d\\x.htm", true, false},
      {"no item ID list", header(kLinkInfo, 0x20) + linkInfo(1, "", "D:\\y.htm"), "D:\\y.htm", true,
       false},
      {"no link information", header(0, 0x10, 4), "", false, true},
      {"link information naming no path", header(kLinkInfo, 0) + linkInfo(0, "C:\\", "z"), "", true,
       false},
  };
  testutil::TempDir dir;
  for (const Case& c : cases) {
    testutil::writeFile(dir / "s.lnk", c.bytes);
    const kel::Lnk lnk(dir / "s.lnk");
    EXPECT_EQ(c.target, lnk.target()) << c.what;
    EXPECT_EQ(c.hasLinkInfo, lnk.hasLinkInfo()) << c.what;
    EXPECT_EQ(c.isDirectory, lnk.isDirectory()) << c.what;
  }
}

TEST(Lnk, RefusesDamagedFilesWithoutReadingOutsideThem) {
  const std::string good = header(kLinkInfo, 0x20, 20) + linkInfo(1, "C:\\web\\", "a.html");
  const std::size_t info = 0x4C + 2 + 20;
  const auto patched = [&](std::size_t at, std::uint32_t value) {
    std::string b = good;
    putU32(b, at, value);
    return b;
  };
  std::string network = header(kLinkInfo, 0) + linkInfo(2, "\\\\s\\x", "");
  putU32(network, 0x4C + 0x1C + 0x08, 0xFFFFFF00);  // net name far outside
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"shorter than the header", good.substr(0, 0x4B)},
      {"ID list size cut", header(kLinkInfo | kIDList, 0).append(1, '\x01')},
      {"ID list runs past the end", good.substr(0, 0x4C + 10)},
      {"LinkInfo cut in its header", good.substr(0, info + 0x12)},
      {"base path offset outside", patched(info + 0x10, 0x7FFFFFF0)},
      {"suffix offset outside", patched(info + 0x18, 0xFFFFFFFF)},
      {"suffix without NUL", good.substr(0, good.size() - 1)},
      {"net name outside", network},
  };
  testutil::TempDir dir;
  const std::string path = dir / "bad.lnk";
  for (const auto& c : cases) {
    testutil::writeFile(path, c.second);
    try {
      kel::Lnk lnk(path);
      ADD_FAILURE() << c.first << ": accepted";
    } catch (const kel::err::Error& e) {
      EXPECT_EQ("Damaged shortcut file ('" + path + "')", std::string(e.what())) << c.first;
    }
  }
  EXPECT_THROW(kel::Lnk(dir / "missing.lnk"), kel::err::IOError);
}

TEST(Lnk, TargetExistsChecksTheKindOfTarget) {
  testutil::TempDir dir;
  testutil::writeFile(dir / "site/a.html", "x");
  const auto exists = [&](std::uint32_t flags, std::uint32_t attributes, const std::string& rest) {
    testutil::writeFile(dir / "t.lnk", header(flags, attributes) + linkInfo(1, dir.path(), rest));
    return kel::Lnk(dir / "t.lnk").targetExists();
  };
  EXPECT_TRUE(exists(kLinkInfo, 0x20, "/site/a.html"));
  EXPECT_FALSE(exists(kLinkInfo, 0x20, "/site/b.html"));
  EXPECT_FALSE(exists(kLinkInfo, 0x10, "/site/a.html"));  // a file named as directory
  EXPECT_TRUE(exists(kLinkInfo, 0x10, "/site"));
  EXPECT_FALSE(exists(kLinkInfo, 0x20, "/site"));
  EXPECT_FALSE(exists(0, 0x20, "/site/a.html"));
}

}  // namespace
