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

template <typename F>
std::string errorOf(F f) {
  try {
    f();
  } catch (const kel::err::Error& e) {
    return e.what();
  }
  return "no error";
}

std::string systemText(int error) { return std::strerror(error); }

// The directory with symbolic links resolved, as getcwd reports it after chdir.
std::string resolved(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) ? buffer : path;
}

// Runs body in a forked child with dir as working directory; its result is the exit status.
int inChild(const std::string& dir, const std::function<bool()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(chdir(dir.c_str()) == 0 && body() ? 0 : 1);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(FileUtil, SizesAndTimes) {
  testutil::TempDir dir;
  const std::string file = dir / "a.html";
  testutil::writeFile(file, "12345");
  testutil::setFileTime(file, 1000000);
  EXPECT_EQ(fileSize(file), 5);
  EXPECT_EQ(modificationTime(file), 1000000);
  setModificationTime(file, 2000000);
  struct stat info;
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, 2000000);
  EXPECT_EQ(info.st_atime, 1000000);  // the access time is kept

  const std::string missing = dir / "missing";
  const std::string statError = systemText(ENOENT) + " for stat ('" + missing + "')";
  EXPECT_EQ(errorOf([&] { fileSize(missing); }), statError);
  EXPECT_EQ(errorOf([&] { modificationTime(missing); }), statError);
  EXPECT_EQ(errorOf([&] { setModificationTime(missing, 5); }), statError);
  EXPECT_EQ(testutil::listDirectory(dir.path()), std::vector<std::string>{"a.html"});
}

TEST(FileUtil, TypeQueries) {
  testutil::TempDir dir;
  testutil::writeFile(dir / "file", "x");
  testutil::writeFile(dir / "sub/inner", "x");
  ASSERT_EQ(symlink((dir / "file").c_str(), (dir / "linkToFile").c_str()), 0);
  ASSERT_EQ(symlink((dir / "sub").c_str(), (dir / "linkToDir").c_str()), 0);
  ASSERT_EQ(symlink((dir / "nowhere").c_str(), (dir / "dangling").c_str()), 0);
  struct Case {
    std::string path;
    bool file;
    bool directory;
  };
  const Case cases[] = {
      {dir / "file", true, false},       {dir / "sub", false, true},     {dir / "missing", false, false},
      {dir / "linkToFile", true, false}, {dir / "linkToDir", false, true}, {dir / "dangling", false, false},
      {"", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isFile(c.path), c.file) << c.path;
    EXPECT_EQ(isDirectory(c.path), c.directory) << c.path;
  }
}

TEST(FileUtil, CreateDirectory) {
  testutil::TempDir dir;
  const std::string path = dir / "index";
  createDirectory(path, true);
  EXPECT_TRUE(isDirectory(path));
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  createDirectory(path, false);  // exists: silent
  EXPECT_EQ(errorOf([&] { createDirectory(path, true); }), systemText(EEXIST) + " for create_directory ('" + path + "')");
  const std::string deep = dir / "no/such";
  EXPECT_EQ(errorOf([&] { createDirectory(deep, false); }), systemText(ENOENT) + " for create_directory ('" + deep + "')");
  EXPECT_EQ(testutil::listDirectory(dir.path()), std::vector<std::string>{"index"});
}

TEST(FileUtil, TemporaryFileNames) {
  // Each case in its own process: the counter starts at 0 and only grows.
  testutil::TempDir dir;
  testutil::writeFile(dir / "two/keltmp000", "");
  testutil::writeFile(dir / "two/keltmp001", "");
  EXPECT_EQ(inChild(dir / "two", [] {
              // The same name until a file of that name exists, then the next one.
              const std::string first = temporaryFileName();
              const std::string again = temporaryFileName();
              testutil::writeFile(first, "");
              return first == "keltmp002" && again == first && temporaryFileName() == "keltmp003";
            }),
            0);
  testutil::writeFile(dir / "dirs/keltmp000/inner", "");
  EXPECT_EQ(inChild(dir / "dirs", [] { return temporaryFileName() == "keltmp000"; }), 0);
  for (int i = 0; i < 1000; ++i) testutil::writeFile(dir / kel::format("full/keltmp%03i", i), "");
  EXPECT_EQ(inChild(dir / "full",
                    [] {
                      return errorOf([] { temporaryFileName(); }) == "Can't create temporary file" &&
                             errorOf([] { temporaryFileName(); }) == "Can't create temporary file";
                    }),
            0);
  EXPECT_EQ(testutil::listDirectory(dir / "full").size(), 1000u);
}

TEST(FileUtil, CurrentDirectoryAndDriveLetters) {
  struct Case {
    std::string directory;
    std::string expected;
  };
  const Case cases[] = {
      {"/home/x", "/home/x"},
      {"/cygdrive/c/web/docs", "c:/web/docs"},
      {"/CYGDRIVE/E/x", "E:/x"},
      {"/CygDrive/d", "d:"},
      {"/cygdrive/", "/cygdrive/"},
      {"/cygdrive", "/cygdrive"},
      {"/cygdrivex/c", "/cygdrivex/c"},
      {"/home/cygdrive/c", "/home/cygdrive/c"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(driveLetterForm(c.directory), c.expected) << c.directory;

  testutil::TempDir dir;
  const std::string expected = resolved(dir.path());
  EXPECT_EQ(inChild(dir.path(), [&] { return currentDirectory() == expected; }), 0);
}

TEST(FileUtil, AbsolutePathForms) {
  testutil::TempDir dir;
  const std::string cwd = resolved(dir.path());
  struct Case {
    std::string path;
    std::string expected;
  };
  const Case cases[] = {
      {"/a/b/../c/./d//e/", "/a/c/d/e"},
      {"/", "/"},
      {"/..", "/"},
      {"/../../x", "/x"},
      {"//double//slash", "/double/slash"},
      {"x/y", cwd + "/x/y"},
      {"./x/../y", cwd + "/y"},
      {"", cwd},
      {".", cwd},
      {"../z", dirName(cwd) + "/z"},
      {"name with blank", cwd + "/name with blank"},
  };
  const int status = inChild(dir.path(), [&] {
    bool ok = true;
    for (const Case& c : cases) {
      ok = ok && toPosixPath(c.path) == c.expected && toWindowsPath(c.path) == c.expected;
      if (!ok) fprintf(stderr, "%s -> %s\n", c.path.c_str(), toPosixPath(c.path).c_str());
    }
    return ok;
  });
  EXPECT_EQ(status, 0);
}

TEST(FileUtil, SplittingPaths) {
  struct Case {
    std::string path;
    std::string dir;
    std::string base;
  };
  const Case cases[] = {
      {"a/b\\c", "a/b", "c"},  {"a\\b/c", "a\\b", "c"}, {"name", "", "name"}, {"", "", ""},
      {"/top", "", "top"},     {"dir/", "dir", ""},     {"C:\\Web\\a.html", "C:\\Web", "a.html"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(dirName(c.path), c.dir) << c.path;
    EXPECT_EQ(baseName(c.path), c.base) << c.path;
  }
  std::string path = "C:\\Web\\docs/a.html";
  toSlashes(path);
  EXPECT_EQ(path, "C:/Web/docs/a.html");
}

TEST(FileUtil, TerminalQueries) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  EXPECT_FALSE(isTerminal(fds[0]));
  EXPECT_FALSE(isTerminal(-1));
  EXPECT_FALSE(isTerminal(static_cast<FILE*>(nullptr)));
  FILE* stream = fdopen(fds[1], "w");
  EXPECT_FALSE(isTerminal(stream));
  fclose(stream);
  close(fds[0]);
}

}  // namespace
}  // namespace kel::file
