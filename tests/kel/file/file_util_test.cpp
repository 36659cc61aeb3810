#include "kel/file/file_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "kel/err/error.h"
#include "kel/err/format.h"
#include "test_util.h"

namespace kel::file {
namespace {

using testutil::errorOf;

std::string failed(int error, const char* operation, const std::string& path) {
  return std::string(std::strerror(error)) + " for " + operation + " ('" + path + "')";
}

// Runs body in a forked child (fresh temporary-name counter) with dir as working directory.
bool inChild(const std::string& dir, const std::function<bool()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(chdir(dir.c_str()) == 0 && body() ? 0 : 1);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(FileUtil, SizesTimesTypesAndDirectories) {
  testutil::TempDir dir;
  const std::string file = dir / "a.html", missing = dir / "missing", sub = dir / "index";
  testutil::writeFile(file, "12345");
  testutil::setFileTime(file, 1000000);
  EXPECT_EQ(fileSize(file), 5);
  EXPECT_EQ(modificationTime(file), 1000000);
  setModificationTime(file, 2000000);
  struct stat info;
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, 2000000);
  EXPECT_EQ(info.st_atime, 1000000);  // the access time is kept
  EXPECT_EQ(errorOf([&] { fileSize(missing); }), failed(ENOENT, "stat", missing));
  EXPECT_EQ(errorOf([&] { modificationTime(missing); }), failed(ENOENT, "stat", missing));
  EXPECT_EQ(errorOf([&] { setModificationTime(missing, 5); }), failed(ENOENT, "stat", missing));

  createDirectory(sub, true);
  createDirectory(sub, false);  // exists: silent
  EXPECT_EQ(errorOf([&] { createDirectory(sub, true); }), failed(EEXIST, "create_directory", sub));
  EXPECT_EQ(errorOf([&] { createDirectory(dir / "no/such", false); }),
            failed(ENOENT, "create_directory", dir / "no/such"));
  EXPECT_EQ(testutil::listDirectory(dir.path()), (std::vector<std::string>{"a.html", "index"}));
  EXPECT_TRUE(isFile(file) && !isDirectory(file) && isDirectory(sub) && !isFile(sub));
  EXPECT_FALSE(isFile(missing) || isDirectory(missing));
}

TEST(FileUtil, TemporaryFileNames) {
  testutil::TempDir dir;
  testutil::writeFile(dir / "two/keltmp000", "");
  testutil::writeFile(dir / "two/keltmp001", "");
  EXPECT_TRUE(inChild(dir / "two", [] {
    // The same name until a file of that name exists, then the next one.
    const std::string first = temporaryFileName(), again = temporaryFileName();
    testutil::writeFile(first, "");
    return first == "keltmp002" && again == first && temporaryFileName() == "keltmp003";
  }));
  testutil::writeFile(dir / "dirs/keltmp000/inner", "");  // a directory of that name is free
  EXPECT_TRUE(inChild(dir / "dirs", [] { return temporaryFileName() == "keltmp000"; }));
  for (int i = 0; i < 1000; ++i) testutil::writeFile(dir / kel::format("full/keltmp%03i", i), "");
  EXPECT_TRUE(inChild(dir / "full", [] {
    // Used up: this call fails, and so does every later one.
    return errorOf([] { temporaryFileName(); }) == "Can't create temporary file" &&
           errorOf([] { temporaryFileName(); }) == "Can't create temporary file";
  }));
  EXPECT_EQ(testutil::listDirectory(dir / "full").size(), 1000u);
}

TEST(FileUtil, DirectoryAndPathForms) {
  const std::pair<std::string, std::string> drives[] = {
      {"/home/x", "/home/x"},
      {"/cygdrive/c/web/docs", "c:/web/docs"},
      {"/CYGDRIVE/E/x", "E:/x"},
      {"/CygDrive/d", "d:"},
      {"/cygdrive/", "/cygdrive/"},
      {"/cygdrivex/c", "/cygdrivex/c"},
      {"/home/cygdrive/c", "/home/cygdrive/c"},
  };
  for (const auto& d : drives) EXPECT_EQ(driveLetterForm(d.first), d.second) << d.first;

  testutil::TempDir dir;
  char buffer[PATH_MAX];
  const std::string cwd = realpath(dir.path().c_str(), buffer);
  const std::pair<std::string, std::string> paths[] = {
      {"/a/b/../c/./d//e/", "/a/c/d/e"},
      {"/", "/"},
      {"/../../x", "/x"},
      {"x/y", cwd + "/x/y"},
      {"./x/../y", cwd + "/y"},
      {"", cwd},
      {"../z", cwd.substr(0, cwd.rfind('/')) + "/z"},
  };
  EXPECT_TRUE(inChild(dir.path(), [&] {
    bool ok = currentDirectory() == cwd;
    for (const auto& p : paths)
      ok = ok && toPosixPath(p.first) == p.second && toWindowsPath(p.first) == p.second;
    return ok;
  }));

  const struct {
    std::string path, dir, base;
  } splits[] = {{"a/b\\c", "a/b", "c"},
                {"name", "", "name"},
                {"/top", "", "top"},
                {"dir/", "dir", ""},
                {"C:\\Web\\a.html", "C:\\Web", "a.html"}};
  for (const auto& s : splits) {
    EXPECT_EQ(dirName(s.path), s.dir) << s.path;
    EXPECT_EQ(baseName(s.path), s.base) << s.path;
  }
  std::string path = "C:\\Web\\docs/a.html";
  toSlashes(path);
  EXPECT_EQ(path, "C:/Web/docs/a.html");
}

}  // namespace
}  // namespace kel::file
