#include "kel/file/lnk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

// Builds shortcut files byte by byte after the published shell link layout: a 0x4C-byte header,
// an optional item ID list (2-byte size, then the items), then the LinkInfo structure.
void putU32(std::string& bytes, std::size_t at, std::uint32_t value) {
  if (bytes.size() < at + 4) bytes.resize(at + 4, '\0');
  for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<char>((value >> (8 * k)) & 0xFF);
}

constexpr std::uint32_t kIDList = 0x1;
constexpr std::uint32_t kLinkInfo = 0x2;

std::string header(std::uint32_t linkFlags, std::uint32_t attributes) {
  std::string bytes(0x4C, '\0');
  putU32(bytes, 0x00, 0x4C);  // HeaderSize
  // LinkCLSID 00021401-0000-0000-C000-000000000046
  const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  for (int k = 0; k < 16; ++k) bytes[4 + k] = static_cast<char>(clsid[k]);
  putU32(bytes, 0x14, linkFlags);
  putU32(bytes, 0x18, attributes);
  return bytes;
}

// An item ID list of size bytes of filler (the reader only skips it).
std::string idList(std::uint16_t size) {
  std::string bytes;
  bytes.push_back(static_cast<char>(size & 0xFF));
  bytes.push_back(static_cast<char>(size >> 8));
  bytes.append(size, '\x5A');
  return bytes;
}

// LinkInfo with a local base path (VolumeIDAndLocalBasePath) and a common path suffix.
std::string localLinkInfo(const std::string& basePath, const std::string& suffix) {
  std::string info;
  const std::uint32_t volumeId = 0x1C;
  const std::string volume = std::string("\x10\0\0\0\x03\0\0\0\x12\x34\x56\x78\x10\0\0\0", 16);
  const std::uint32_t base = volumeId + static_cast<std::uint32_t>(volume.size());
  const std::uint32_t suffixAt = base + static_cast<std::uint32_t>(basePath.size()) + 1;
  putU32(info, 0x04, 0x1C);      // LinkInfoHeaderSize
  putU32(info, 0x08, 0x1);       // LinkInfoFlags
  putU32(info, 0x0C, volumeId);  // VolumeIDOffset
  putU32(info, 0x10, base);      // LocalBasePathOffset
  putU32(info, 0x14, 0);         // CommonNetworkRelativeLinkOffset
  putU32(info, 0x18, suffixAt);  // CommonPathSuffixOffset
  info += volume;
  info += basePath;
  info.push_back('\0');
  info += suffix;
  info.push_back('\0');
  putU32(info, 0x00, static_cast<std::uint32_t>(info.size()));  // LinkInfoSize
  return info;
}

// LinkInfo with a network share (CommonNetworkRelativeLinkAndPathSuffix) and a suffix.
std::string networkLinkInfo(const std::string& netName, const std::string& suffix) {
  std::string info;
  const std::uint32_t link = 0x1C;
  const std::uint32_t netNameAt = 0x14;  // relative to the CommonNetworkRelativeLink
  const std::uint32_t suffixAt =
      link + netNameAt + static_cast<std::uint32_t>(netName.size()) + 1;
  putU32(info, 0x04, 0x1C);
  putU32(info, 0x08, 0x2);
  putU32(info, 0x0C, 0);
  putU32(info, 0x10, 0);
  putU32(info, 0x14, link);
  putU32(info, 0x18, suffixAt);
  std::string rel;
  putU32(rel, 0x00, netNameAt + static_cast<std::uint32_t>(netName.size()) + 1);
  putU32(rel, 0x04, 0x2);         // CommonNetworkRelativeLinkFlags
  putU32(rel, 0x08, netNameAt);   // NetNameOffset
  putU32(rel, 0x0C, 0);           // DeviceNameOffset
  putU32(rel, 0x10, 0x00020000);  // NetworkProviderType
  info += rel;
  info += netName;
  info.push_back('\0');
  info += suffix;
  info.push_back('\0');
  putU32(info, 0x00, static_cast<std::uint32_t>(info.size()));
  return info;
}

// String data and extra blocks follow the LinkInfo in real files; the reader ignores them.
const std::string kTrailer = std::string("\x04\0a\0b\0", 6) + std::string(4, '\0');

TEST(Lnk, ReadsTargetOfEveryKindOfShortcut) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string target;
    bool hasLinkInfo;
    bool isDirectory;
  };
  const Case cases[] = {
      {"local file", header(kIDList | kLinkInfo, 0x20) + idList(20) +
                         localLinkInfo("C:\\web\\docs\\", "a.html") + kTrailer,
       "C:\\web\\docs\\a.html", true, false},
      {"local file, empty suffix", header(kIDList | kLinkInfo, 0x20) + idList(3) +
                                       localLinkInfo("C:\\web\\a.html", "") + kTrailer,
       "C:\\web\\a.html", true, false},
      {"local directory", header(kIDList | kLinkInfo, 0x10) + idList(20) +
                              localLinkInfo("C:\\web\\", "docs") + kTrailer,
       "C:\\web\\docs", true, true},
      {"network share", header(kIDList | kLinkInfo, 0x20) + idList(8) +
                            networkLinkInfo("\\\\server\\share", "\\dir\\x.html") + kTrailer,
       "\\\\server\\share\\dir\\x.html", true, false},
      {"no item ID list", header(kLinkInfo, 0x20) + localLinkInfo("D:\\x\\", "y.htm"),
       "D:\\x\\y.htm", true, false},
      {"no link information", header(kIDList, 0x10) + idList(4), "", false, true},
      {"link information naming no path",
       [] {
         std::string info = localLinkInfo("C:\\", "z");
         putU32(info, 0x08, 0);
         return header(kLinkInfo, 0) + info;
       }(),
       "", true, false},
  };
  testutil::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / "shortcut.lnk";
    testutil::writeFile(path, c.bytes);
    const kel::Lnk lnk(path);
    EXPECT_EQ(c.target, lnk.target());
    EXPECT_EQ(c.hasLinkInfo, lnk.hasLinkInfo());
    EXPECT_EQ(c.isDirectory, lnk.isDirectory());
    EXPECT_EQ(path, lnk.path());
  }
}

TEST(Lnk, RefusesDamagedFilesWithoutReadingOutsideThem) {
  const std::string good =
      header(kIDList | kLinkInfo, 0x20) + idList(20) + localLinkInfo("C:\\web\\", "a.html");
  const std::size_t linkInfo = 0x4C + 2 + 20;
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty file", ""},
      {"shorter than the header", good.substr(0, 0x4B)},
      {"ID list size field cut", header(kIDList | kLinkInfo, 0).append(1, '\x01')},
      {"ID list runs past the end", header(kIDList | kLinkInfo, 0) + idList(20).substr(0, 10)},
      {"LinkInfo cut inside its header", good.substr(0, linkInfo + 0x12)},
      {"local base path offset outside", [&] {
         std::string b = good;
         putU32(b, linkInfo + 0x10, 0x7FFFFFF0);
         return b;
       }()},
      {"suffix offset outside", [&] {
         std::string b = good;
         putU32(b, linkInfo + 0x18, 0xFFFFFFFF);
         return b;
       }()},
      {"suffix without terminating NUL", good.substr(0, good.size() - 1)},
      {"network link offset outside", [&] {
         std::string b = header(kLinkInfo, 0) + networkLinkInfo("\\\\s\\x", "");
         putU32(b, 0x4C + 0x14, static_cast<std::uint32_t>(b.size()));
         return b;
       }()},
      {"net name offset outside", [&] {
         std::string b = header(kLinkInfo, 0) + networkLinkInfo("\\\\s\\x", "");
         putU32(b, 0x4C + 0x1C + 0x08, 0xFFFFFF00);
         return b;
       }()},
  };
  testutil::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / "bad.lnk";
    testutil::writeFile(path, c.bytes);
    try {
      kel::Lnk lnk(path);
      ADD_FAILURE() << "accepted, target " << lnk.target();
    } catch (const kel::err::Error& e) {
      EXPECT_STREQ(("Damaged shortcut file ('" + path + "')").c_str(), e.what());
    }
  }
}

TEST(Lnk, MissingFileIsAnIOErrorOfStat) {
  testutil::TempDir dir;
  const std::string path = dir / "missing.lnk";
  try {
    kel::Lnk lnk(path);
    FAIL();
  } catch (const kel::err::IOError& e) {
    EXPECT_STREQ(("No such file or directory for stat ('" + path + "')").c_str(), e.what());
  }
}

TEST(Lnk, TargetExistsChecksTheKindOfTarget) {
  testutil::TempDir dir;
  testutil::writeFile(dir / "site/a.html", "x");
  struct Case {
    const char* what;
    std::uint32_t flags;
    std::uint32_t attributes;
    std::string base, suffix;
    bool exists;
  };
  const Case cases[] = {
      {"existing file", kLinkInfo, 0x20, dir / "site/", "a.html", true},
      {"missing file", kLinkInfo, 0x20, dir / "site/", "b.html", false},
      {"file named as directory", kLinkInfo, 0x10, dir / "site/", "a.html", false},
      {"existing directory", kLinkInfo, 0x10, dir.path(), "/site", true},
      {"directory named as file", kLinkInfo, 0x20, dir.path(), "/site", false},
      {"no link information", 0, 0x20, dir / "site/", "a.html", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / "t.lnk";
    testutil::writeFile(path, header(c.flags, c.attributes) + localLinkInfo(c.base, c.suffix));
    EXPECT_EQ(c.exists, kel::Lnk(path).targetExists());
  }
}

}  // namespace
