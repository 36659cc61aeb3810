#include "kel/file/directory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kel/err/error.h"
#include "kel/file/binary_file.h"
#include "test_util.h"

namespace {

using kel::file::Directory;
using DirMap = std::map<std::string, Directory>;

// The length prefix of a string shorter than 64 bytes: one byte, twice the length.
std::string str(const std::string& s) {
  EXPECT_LT(s.size(), 64u) << "test paths must stay short";
  return std::string(1, static_cast<char>(2 * s.size())) + s;
}

const std::string kMagic = std::string("\x18") + "KEL_FILELIST";

std::string storedBytes(const DirMap& dirs, const std::string& path) {
  kel::file::BinaryFile file(path, 1);
  kel::file::storeDirectories(dirs, file);
  file.close();
  return testutil::readFile(path);
}

bool acceptHtml(const std::string&, const char* name, const struct stat&) {
  const std::size_t n = std::strlen(name);
  return n > 5 && std::strcmp(name + n - 5, ".html") == 0;
}

bool rejectSkip(const std::string&, const char* name, const struct stat&) {
  return std::strcmp(name, "skip") != 0;
}

std::vector<std::string> offeredDirectories;
bool recordDirectory(const std::string& parent, const char* name, const struct stat&) {
  offeredDirectories.push_back(parent + "|" + name);
  return true;
}

std::vector<std::string> offeredFiles;
bool recordFile(const std::string& parent, const char* name, const struct stat&) {
  offeredFiles.push_back(parent + "|" + name);
  return true;
}

TEST(Directory, JoinsAndCompletesNames) {
  EXPECT_EQ("a/b", kel::file::joinPath("a", "b"));
  EXPECT_EQ("a//b", kel::file::joinPath("a/", "b"));
  EXPECT_EQ("/b", kel::file::joinPath("", "b"));

  Directory d;
  d.path = "/web/docs";
  const std::pair<const char*, const char*> cases[] = {
      {"a.html", "/web/docs/a.html"},
      {"/other/b.html", "/other/b.html"},   // a full path from a followed link
      {"sub/c.html", "sub/c.html"},         // holds the separator: unchanged
      {"x\\y.html", "/web/docs/x\\y.html"}, // a backslash is no separator here
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, d.fullName(c.first)) << c.first;
}

TEST(Directory, AddKeepsEachNameOnceAndWidensTheTimeRange) {
  Directory d;
  EXPECT_EQ(0, d.oldest);
  EXPECT_EQ(0, d.newest);
  d.add("b.html", 500);
  EXPECT_EQ(500, d.oldest);
  EXPECT_EQ(500, d.newest);
  d.add("a.html", 700);
  d.add("c.html", 300);
  d.add("b.html", 900);  // present already: stays once, but its time counts
  EXPECT_EQ(300, d.oldest);
  EXPECT_EQ(900, d.newest);
  EXPECT_EQ((std::set<std::string>{"a.html", "b.html", "c.html"}), d.files);
}

TEST(Directory, FileListBytes) {
  testutil::TempDir tmp;
  const std::string list = tmp / "files";

  EXPECT_EQ(kMagic + "\x02" + std::string(1, '\0'), storedBytes({}, list));

  Directory empty;
  empty.path = "/e";
  Directory docs;
  docs.path = "/w/docs";
  docs.add("b.html", 0x12345678);
  docs.add("B.html", 0x01020304);
  Directory late;
  late.path = "/w/late";
  late.add("x.html", static_cast<time_t>(0x90000000u));  // after 2038
  const DirMap dirs = {{empty.path, empty}, {docs.path, docs}, {late.path, late}};
  const std::string expected = kMagic + "\x02" + "\x03" +
                               // "/e": no files, two zero times
                               str("/e") + std::string(1, '\0') + std::string(8, '\0') +
                               // "/w/docs": names in byte order, then oldest and newest
                               str("/w/docs") + "\x02" + str("B.html") + str("b.html") +
                               "\x04\x03\x02\x01" + "\x78\x56\x34\x12" +
                               str("/w/late") + "\x01" + str("x.html") +
                               std::string("\0\0\0\x90\0\0\0\x90", 8);
  EXPECT_EQ(expected, storedBytes(dirs, list));

  DirMap loaded;
  kel::file::BinaryFile in(list, 0);
  kel::file::loadDirectories(loaded, in);
  ASSERT_EQ(3u, loaded.size());
  for (const auto& item : dirs) {
    const Directory& got = loaded.at(item.first);
    EXPECT_EQ(item.second.path, got.path);
    EXPECT_EQ(item.second.files, got.files);
    EXPECT_EQ(item.second.oldest, got.oldest);
    EXPECT_EQ(item.second.newest, got.newest);
  }
  EXPECT_EQ(static_cast<time_t>(0x90000000u), loaded.at("/w/late").newest);  // not negative
}

TEST(Directory, LoadReplacesNamedEntriesAndKeepsOthers) {
  testutil::TempDir tmp;
  const std::string list = tmp / "files";
  // Two records for "/a": the later one wins.
  testutil::writeFile(list, kMagic + "\x02" + "\x02" +
                                str("/a") + "\x01" + str("old.html") + std::string(8, '\x01') +
                                str("/a") + "\x01" + str("new.html") + std::string("\x05\0\0\0\x06\0\0\0", 8));
  DirMap dirs;
  dirs["/keep"].path = "/keep";
  dirs["/keep"].add("k.html", 9);
  kel::file::BinaryFile in(list, 0);
  kel::file::loadDirectories(dirs, in);
  ASSERT_EQ(2u, dirs.size());
  EXPECT_EQ(std::set<std::string>{"new.html"}, dirs["/a"].files);
  EXPECT_EQ(5, dirs["/a"].oldest);
  EXPECT_EQ(6, dirs["/a"].newest);
  EXPECT_EQ(std::set<std::string>{"k.html"}, dirs["/keep"].files);
}

TEST(Directory, LoadRefusesForeignAndTruncatedLists) {
  testutil::TempDir tmp;
  const std::string list = tmp / "files";
  DirMap dirs;
  dirs["/keep"].path = "/keep";
  const auto loadError = [&](const std::string& bytes) -> std::string {
    testutil::writeFile(list, bytes);
    try {
      kel::file::BinaryFile in(list, 0);
      kel::file::loadDirectories(dirs, in);
    } catch (const kel::err::Error& e) {
      return e.what();
    }
    return "no error";
  };

  const std::string illegal = "Illegal filetype ('" + list + "')";
  EXPECT_EQ(illegal, loadError(str("KEL_FILELISX") + "\x02\x00"));
  EXPECT_EQ(illegal, loadError(str("KEL_FILELIST2") + "\x02\x00"));
  EXPECT_EQ(illegal, loadError(str("") + "\x02\x00"));
  EXPECT_EQ(1u, dirs.size());

  // Cut anywhere, a list ends with the end-of-file error, also inside the two time fields.
  const std::string whole = kMagic + "\x02" + "\x01" + str("/d") + "\x01" + str("f.html") +
                            "\x01\x02\x03\x04\x05\x06\x07\x08";
  for (std::size_t n = 0; n < whole.size(); ++n) {
    EXPECT_EQ("End of file reached (" + list + ")", loadError(whole.substr(0, n))) << n;
  }
  EXPECT_EQ(1u, dirs.size());
  EXPECT_EQ("no error", loadError(whole));
  EXPECT_EQ(static_cast<time_t>(0x08070605), dirs.at("/d").newest);
}

TEST(Directory, ScanRecordsAcceptedFilesOfEveryVisitedDirectory) {
  testutil::TempDir tmp;
  const std::string root = tmp / "site";
  testutil::writeFile(root + "/b.html", "b");
  testutil::writeFile(root + "/a.html", "a");
  testutil::writeFile(root + "/notes.txt", "n");
  testutil::writeFile(root + "/sub/c.html", "c");
  testutil::writeFile(root + "/sub/deeper/d.html", "d");
  testutil::writeFile(root + "/skip/e.html", "e");
  ASSERT_EQ(0, mkdir((root + "/empty").c_str(), 0700));
  testutil::setFileTime(root + "/a.html", 1000);
  testutil::setFileTime(root + "/b.html", 3000);
  testutil::setFileTime(root + "/sub/c.html", 2000);
  testutil::setFileTime(root + "/sub/deeper/d.html", 4000);

  DirMap dirs;
  std::ostringstream log;
  kel::file::scanDirectory(dirs, root, true, false, acceptHtml, rejectSkip, &log);

  ASSERT_EQ(4u, dirs.size());  // "skip" was rejected: no entry
  EXPECT_EQ((std::set<std::string>{"a.html", "b.html"}), dirs[root].files);
  EXPECT_EQ(1000, dirs[root].oldest);
  EXPECT_EQ(3000, dirs[root].newest);
  EXPECT_EQ(root + "/sub", dirs[root + "/sub"].path);
  EXPECT_EQ(std::set<std::string>{"c.html"}, dirs[root + "/sub"].files);
  EXPECT_EQ(std::set<std::string>{"d.html"}, dirs[root + "/sub/deeper"].files);
  EXPECT_TRUE(dirs[root + "/empty"].files.empty());
  EXPECT_EQ(0, dirs[root + "/empty"].newest);

  // Every visited directory is logged, a parent before its subdirectories, "deeper" right
  // after "sub".
  std::vector<std::string> lines;
  std::istringstream in(log.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ(root, lines[0]);
  const auto sub = std::find(lines.begin(), lines.end(), root + "/sub");
  ASSERT_NE(lines.end(), sub);
  ASSERT_NE(lines.end(), sub + 1);
  EXPECT_EQ(root + "/sub/deeper", *(sub + 1));

  // The stored list of the scan, byte for byte.
  const std::string site = root;
  if (site.size() + 12 < 64) {
    const std::string expected =
        kMagic + "\x02" + "\x04" + str(site) + "\x02" + str("a.html") + str("b.html") +
        std::string("\xE8\x03\0\0\xB8\x0B\0\0", 8) +
        str(site + "/empty") + std::string(1, '\0') + std::string(8, '\0') +
        str(site + "/sub") + "\x01" + str("c.html") + std::string("\xD0\x07\0\0\xD0\x07\0\0", 8) +
        str(site + "/sub/deeper") + "\x01" + str("d.html") + std::string("\xA0\x0F\0\0\xA0\x0F\0\0", 8);
    EXPECT_EQ(expected, storedBytes(dirs, tmp / "files"));
  }
}

TEST(Directory, ScanWithoutRecursionOffersButDoesNotEnterSubdirectories) {
  testutil::TempDir tmp;
  testutil::writeFile(tmp / "x/a.index", "");
  testutil::writeFile(tmp / "x/sub/b.index", "");
  offeredDirectories.clear();
  offeredFiles.clear();
  DirMap dirs;
  kel::file::scanDirectory(dirs, tmp / "x", false, false, recordFile, recordDirectory, nullptr);
  EXPECT_EQ(std::vector<std::string>{tmp / "x|sub"}, offeredDirectories);
  EXPECT_EQ(std::vector<std::string>{tmp / "x|a.index"}, offeredFiles);
  EXPECT_EQ(1u, dirs.size());

  // The short form accepts every directory.
  offeredFiles.clear();
  DirMap all;
  kel::file::scanDirectory(all, tmp / "x", true, false, recordFile, nullptr);
  EXPECT_EQ(2u, all.size());
  EXPECT_EQ(2u, offeredFiles.size());
}

TEST(Directory, ScanErrorsKeepTheEntriesMadeSoFar) {
  testutil::TempDir tmp;
  DirMap dirs;
  const std::string missing = tmp / "missing";
  try {
    kel::file::scanDirectory(dirs, missing, true, false, acceptHtml, nullptr);
    FAIL();
  } catch (const kel::err::IOError& e) {
    EXPECT_EQ("No such file or directory ('opendir '" + missing + "' failed')",
              std::string(e.what()));
  }
  ASSERT_EQ(1u, dirs.size());
  EXPECT_EQ(missing, dirs.begin()->second.path);

  // A dangling symbolic link cannot be examined.
  testutil::writeFile(tmp / "d/a.html", "");
  ASSERT_EQ(0, symlink("nowhere.html", (tmp / "d/broken.html").c_str()));
  dirs.clear();
  try {
    kel::file::scanDirectory(dirs, tmp / "d", true, false, acceptHtml, nullptr);
    FAIL();
  } catch (const kel::err::IOError& e) {
    EXPECT_EQ("No such file or directory for stat failed ('" + tmp / "d/broken.html" + "')",
              std::string(e.what()));
  }
  EXPECT_EQ(1u, dirs.count(tmp / "d"));
}

TEST(Directory, FollowedLinksAreJudgedByTheirTargets) {
  testutil::TempDir tmp;
  const std::string root = tmp / "r";
  testutil::writeFile(tmp / "elsewhere/t.html", "t");
  testutil::writeFile(root + "/own.html", "o");
  testutil::writeFile(root + "/sub/rel.html", "r");
  testutil::setFileTime(tmp / "elsewhere/t.html", 4242);
  ASSERT_EQ(0, symlink((tmp / "elsewhere/t.html").c_str(), (root + "/abs.html").c_str()));
  ASSERT_EQ(0, symlink("sub/rel.html", (root + "/relative.html").c_str()));
  ASSERT_EQ(0, symlink((tmp / "elsewhere").c_str(), (root + "/linkdir").c_str()));

  offeredDirectories.clear();
  DirMap dirs;
  kel::file::scanDirectory(dirs, root, true, true, acceptHtml, recordDirectory, nullptr);
  EXPECT_EQ((std::set<std::string>{tmp / "elsewhere/t.html", "own.html", root + "/sub/rel.html"}),
            dirs[root].files);
  EXPECT_EQ(4242, dirs[root].oldest);
  // The linked directory is offered by its target but not entered.
  EXPECT_EQ(1u, std::count(offeredDirectories.begin(), offeredDirectories.end(),
                           tmp.path() + "|elsewhere"));
  EXPECT_EQ(0u, dirs.count(tmp / "elsewhere"));
  EXPECT_EQ(2u, dirs.size());  // root and root/sub

  // Without link following, links are plain entries.
  DirMap plain;
  kel::file::scanDirectory(plain, root, false, false, acceptHtml, nullptr);
  EXPECT_EQ((std::set<std::string>{"abs.html", "own.html", "relative.html"}), plain[root].files);
}

TEST(Directory, ResolveLinkTellsLinksFromOtherEntries) {
  testutil::TempDir tmp;
  testutil::writeFile(tmp / "a.html", "a");
  ASSERT_EQ(0, symlink("a.html", (tmp / "l").c_str()));
  const std::string longName(300, 'n');
  ASSERT_EQ(0, symlink(("/x/" + longName).c_str(), (tmp / "long").c_str()));

  std::string target = "unchanged";
  EXPECT_FALSE(kel::file::resolveLink(tmp / "a.html", target));
  EXPECT_FALSE(kel::file::resolveLink(tmp / "missing", target));
  EXPECT_EQ("unchanged", target);
  EXPECT_TRUE(kel::file::resolveLink(tmp / "l", target));
  EXPECT_EQ(tmp / "a.html", target);
  EXPECT_TRUE(kel::file::resolveLink(tmp / "long", target));
  EXPECT_EQ("/x/" + longName, target);  // not cut at 260 bytes

  // A ".lnk" file without link information is tried as a symbolic link, and is none.
  std::string noInfo(0x4C, '\0');
  noInfo[0] = 0x4C;
  testutil::writeFile(tmp / "x.lnk", noInfo);
  EXPECT_FALSE(kel::file::resolveLink(tmp / "x.lnk", target));
  // One with a local path names that path.
  std::string withInfo(0x4C, '\0');
  withInfo[0] = 0x4C;
  withInfo[0x14] = 0x02;
  std::string info(0x1C, '\0');
  info[0x04] = 0x1C;
  info[0x08] = 0x01;
  info[0x10] = 0x1C;
  info[0x18] = static_cast<char>(0x1C + 3);
  info += std::string("/w\0x\0", 5);
  withInfo += info;
  testutil::writeFile(tmp / "y.lnk", withInfo);
  EXPECT_TRUE(kel::file::resolveLink(tmp / "y.lnk", target));
  EXPECT_EQ("/wx", target);
}

}  // namespace
