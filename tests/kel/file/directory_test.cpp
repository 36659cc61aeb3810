#include "kel/file/directory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

using kel::file::Directory;
using DirMap = std::map<std::string, Directory>;

// A string shorter than 64 bytes: one length byte (twice the length), then the bytes.
std::string str(const std::string& s) {
  EXPECT_LT(s.size(), 64u);
  return char(2 * s.size()) + s;
}
std::string bytes(const char* b, std::size_t n) { return std::string(b, n); }
const std::string kMagic = "\x18KEL_FILELIST";

std::string store(const DirMap& dirs, const std::string& path) {
  kel::file::BinaryFile file(path, 1);
  kel::file::storeDirectories(dirs, file);
  file.close();
  return testutil::readFile(path);
}

// Loads bytes into dirs; the error message, or "" when loading succeeded.
std::string load(DirMap& dirs, const std::string& path, const std::string& content) {
  testutil::writeFile(path, content);
  try {
    kel::file::BinaryFile file(path, 0);
    kel::file::loadDirectories(dirs, file);
  } catch (const kel::err::Error& e) {
    return e.what();
  }
  return "";
}

bool acceptHtml(const std::string&, const char* name, const struct stat&) {
  const std::size_t n = std::strlen(name);
  return n > 5 && std::strcmp(name + n - 5, ".html") == 0;
}
bool rejectSkip(const std::string&, const char* name, const struct stat&) {
  return std::strcmp(name, "skip") != 0;
}
std::vector<std::string> offered;
bool recordDirectory(const std::string& parent, const char* name, const struct stat&) {
  offered.push_back(parent + "|" + name);
  return true;
}

TEST(Directory, AddAndFullName) {
  Directory d;
  d.path = "/web";
  d.add("b.html", 500);
  EXPECT_EQ(500, d.oldest);
  EXPECT_EQ(500, d.newest);
  d.add("a.html", 700);
  d.add("c.html", 300);
  d.add("b.html", 900);  // present already: stays once, its time counts
  EXPECT_EQ(300, d.oldest);
  EXPECT_EQ(900, d.newest);
  EXPECT_EQ((std::set<std::string>{"a.html", "b.html", "c.html"}), d.files);
  EXPECT_EQ("/web/a.html", d.fullName("a.html"));
  EXPECT_EQ("/x/a.html", d.fullName("/x/a.html"));
  EXPECT_EQ("/web/x\\a.html", d.fullName("x\\a.html"));
  EXPECT_EQ("a//b", kel::file::joinPath("a/", "b"));
}

TEST(Directory, ScannedTreeIsStoredByteForByte) {
  testutil::TempDir tmp;
  const std::string root = tmp / "s";
  testutil::writeFile(root + "/b.html", "");
  testutil::writeFile(root + "/a.html", "");
  testutil::writeFile(root + "/notes.txt", "");
  testutil::writeFile(root + "/sub/deeper/d.html", "");
  testutil::writeFile(root + "/skip/e.html", "");
  ASSERT_EQ(0, mkdir((root + "/empty").c_str(), 0700));
  testutil::setFileTime(root + "/a.html", 1000);
  testutil::setFileTime(root + "/b.html", 3000);
  testutil::setFileTime(root + "/sub/deeper/d.html", 0x90000000L);  // after 2038

  DirMap dirs;
  std::ostringstream log;
  kel::file::scanDirectory(dirs, root, true, false, acceptHtml, rejectSkip, &log);
  // Rejected "skip" has no entry; "empty" and "sub" have entries without files.
  const std::string expected =
      kMagic + "\x02\x04" + str(root) + "\x02" + str("a.html") + str("b.html") +
      bytes("\xE8\x03\0\0\xB8\x0B\0\0", 8) + str(root + "/empty") + bytes("\0\0\0\0\0\0\0\0\0", 9) +
      str(root + "/sub") + bytes("\0\0\0\0\0\0\0\0\0", 9) + str(root + "/sub/deeper") + "\x01" +
      str("d.html") + bytes("\0\0\0\x90\0\0\0\x90", 8);
  EXPECT_EQ(expected, store(dirs, tmp / "files"));
  EXPECT_EQ(kMagic + bytes("\x02\0", 2), store({}, tmp / "none"));

  // Depth first: every directory logged, "deeper" right after "sub".
  const std::string text = log.str();
  EXPECT_EQ(0u, text.find(root + "\n"));
  EXPECT_NE(std::string::npos, text.find(root + "/sub\n" + root + "/sub/deeper\n"));
  EXPECT_EQ(4, std::count(text.begin(), text.end(), '\n'));

  DirMap loaded;
  EXPECT_EQ("", load(loaded, tmp / "files", expected));
  ASSERT_EQ(4u, loaded.size());
  EXPECT_EQ(dirs[root].files, loaded[root].files);
  EXPECT_EQ(root + "/sub/deeper", loaded[root + "/sub/deeper"].path);
  EXPECT_EQ(0x90000000L, loaded[root + "/sub/deeper"].newest);  // not negative
}

TEST(Directory, LoadReplacesNamedEntriesAndRefusesBadLists) {
  testutil::TempDir tmp;
  const std::string list = tmp / "files";
  DirMap dirs;
  dirs["/keep"].add("k.html", 9);
  const std::string twice = kMagic + "\x02\x02" + str("/a") + "\x01" + str("old.html") +
                            std::string(8, '\x01') + str("/a") + "\x01" + str("new.html") +
                            bytes("\x05\0\0\0\x06\0\0\0", 8);
  EXPECT_EQ("", load(dirs, list, twice));
  ASSERT_EQ(2u, dirs.size());
  EXPECT_EQ(std::set<std::string>{"new.html"}, dirs["/a"].files);  // the later record wins
  EXPECT_EQ(6, dirs["/a"].newest);
  EXPECT_EQ(std::set<std::string>{"k.html"}, dirs["/keep"].files);

  DirMap untouched;
  for (const std::string& magic : {str("KEL_FILELISX"), str("KEL_FILELIST2"), str("")}) {
    EXPECT_EQ("Illegal filetype ('" + list + "')", load(untouched, list, magic + "\x02\x00"));
  }
  EXPECT_TRUE(untouched.empty());
  // Cut anywhere, also inside the two time fields, a list ends with the end-of-file error.
  for (std::size_t n = 0; n < twice.size(); ++n) {
    EXPECT_EQ("End of file reached (" + list + ")", load(untouched, list, twice.substr(0, n))) << n;
  }
}

TEST(Directory, ScanOptionsAndFailures) {
  testutil::TempDir tmp;
  testutil::writeFile(tmp / "x/a.html", "");
  testutil::writeFile(tmp / "x/sub/b.html", "");
  offered.clear();
  DirMap dirs;
  kel::file::scanDirectory(dirs, tmp / "x", false, false, acceptHtml, recordDirectory, nullptr);
  EXPECT_EQ(std::vector<std::string>{tmp / "x|sub"}, offered);  // offered, not entered
  EXPECT_EQ(1u, dirs.size());
  dirs.clear();
  kel::file::scanDirectory(dirs, tmp / "x", true, false, acceptHtml, nullptr);  // short form
  EXPECT_EQ(std::set<std::string>{"b.html"}, dirs[tmp / "x/sub"].files);

  dirs.clear();
  const std::string missing = tmp / "missing";
  try {
    kel::file::scanDirectory(dirs, missing, true, false, acceptHtml, nullptr);
    FAIL();
  } catch (const kel::err::IOError& e) {
    EXPECT_EQ("No such file or directory ('opendir '" + missing + "' failed')",
              std::string(e.what()));
  }
  EXPECT_EQ(1u, dirs.count(missing));  // the entry made before the failure stays

  ASSERT_EQ(0, symlink("nowhere", (tmp / "x/broken.html").c_str()));
  try {
    kel::file::scanDirectory(dirs, tmp / "x", true, false, acceptHtml, nullptr);
    FAIL();
  } catch (const kel::err::IOError& e) {
    EXPECT_EQ("No such file or directory for stat failed ('" + tmp / "x/broken.html" + "')",
              std::string(e.what()));
  }
}

TEST(Directory, FollowedLinksAreJudgedByTheirTargets) {
  testutil::TempDir tmp;
  const std::string root = tmp / "r";
  testutil::writeFile(tmp / "far/t.html", "");
  testutil::writeFile(root + "/sub/rel.html", "");
  testutil::setFileTime(tmp / "far/t.html", 4242);
  ASSERT_EQ(0, symlink((tmp / "far/t.html").c_str(), (root + "/abs.html").c_str()));
  ASSERT_EQ(0, symlink("sub/rel.html", (root + "/relative.html").c_str()));
  ASSERT_EQ(0, symlink((tmp / "far").c_str(), (root + "/linkdir").c_str()));
  testutil::writeFile(root + "/old.lnk/in.html", "");  // a directory, not a shortcut
  const std::string longTarget = "/x/" + std::string(300, 'n');
  ASSERT_EQ(0, symlink(longTarget.c_str(), (tmp / "long").c_str()));

  offered.clear();
  DirMap dirs;
  kel::file::scanDirectory(dirs, root, true, true, acceptHtml, recordDirectory, nullptr);
  EXPECT_EQ((std::set<std::string>{tmp / "far/t.html", root + "/sub/rel.html"}), dirs[root].files);
  EXPECT_EQ(4242, dirs[root].oldest);
  EXPECT_EQ(1, std::count(offered.begin(), offered.end(), tmp.path() + "|far"));
  EXPECT_EQ(std::set<std::string>{"in.html"}, dirs[root + "/old.lnk"].files);
  EXPECT_EQ(3u, dirs.size());  // the linked directory was not entered

  std::string target = "unchanged";
  EXPECT_FALSE(kel::file::resolveLink(tmp / "far/t.html", target));
  EXPECT_EQ("unchanged", target);
  EXPECT_TRUE(kel::file::resolveLink(tmp / "long", target));
  EXPECT_EQ(longTarget, target);                                // not cut at 260 bytes
  testutil::writeFile(tmp / "x.lnk", std::string(0x4C, '\0'));  // no link information
  EXPECT_FALSE(kel::file::resolveLink(tmp / "x.lnk", target));
}

}  // namespace
