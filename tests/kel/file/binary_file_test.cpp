#include "kel/file/binary_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

using testutil::errorOf;

using kel::file::BinaryFile;
using testutil::readFile;
using testutil::writeFile;
using Names = std::vector<std::string>;

const std::string zero("\0", 1);

TEST(BinaryFile, EncodingsAsBytesAndBack) {
  const std::pair<unsigned, std::string> uints[] = {{0x7F, "\x7F"},
                                                    {0x80, "\x80\x80"},
                                                    {0x3FFF, "\xBF\xFF"},
                                                    {0x4000, "\xC0\x40" + zero},
                                                    {0x1FFFFF, "\xDF\xFF\xFF"},
                                                    {0x200000, "\xE0\x20" + zero + zero},
                                                    {0xFFFFFFF, "\xEF\xFF\xFF\xFF"},
                                                    {0x10000000, "\xF0\x10" + zero + zero + zero},
                                                    {0xFFFFFFFF, "\xF0\xFF\xFF\xFF\xFF"}};
  const std::pair<int, std::string> ints[] = {{0, zero},
                                              {1, "\x02"},
                                              {-1, "\x03"},
                                              {2, "\x04"},
                                              {-2, "\x05"},
                                              {64, "\x80\x80"},
                                              {INT_MAX, "\xF0\xFF\xFF\xFF\xFE"},
                                              {-INT_MAX, "\xF0\xFF\xFF\xFF\xFF"}};
  // The long string is larger than the write buffer and goes out in one piece, in its place.
  const std::string longText(70000, 'x');
  const std::pair<std::string, std::string> strings[] = {
      {"abc", "\006abc"},
      {"", zero},
      {std::string("a\0b", 3), "\006a" + zero + "b"},
      {longText, "\xC2\x22\xE0" + longText}};
  testutil::TempDir dir;
  std::string expected;
  {
    BinaryFile out(dir / "f", 1);
    for (const auto& u : uints) {
      out.writeUInt(u.first);
      expected += u.second;
    }
    for (const auto& i : ints) {
      write(out, i.first);
      expected += i.second;
    }
    for (const auto& t : strings) {
      write(out, t.first);
      expected += t.second;
    }
    write(out, "lit");  // a literal is a string, not a bool
    write(out, true);
    write(out, false);
    out.close();
  }
  EXPECT_EQ(readFile(dir / "f"), expected + "\x06lit\x01" + zero);
  BinaryFile in(dir / "f", 0);
  for (const auto& u : uints) EXPECT_EQ(in.readUInt(), u.first);
  for (const auto& i : ints) {
    int back = 12345;
    read(in, back);
    EXPECT_EQ(back, i.first);
  }
  std::string back;
  // A string read back ends at its first NUL.
  for (const std::string& t :
       {std::string("abc"), std::string(), std::string("a"), longText, std::string("lit")}) {
    read(in, back);
    EXPECT_EQ(back, t);
  }
  bool flags[2] = {false, true};
  read(in, flags[0]);
  read(in, flags[1]);
  EXPECT_TRUE(flags[0] && !flags[1] && in.atEnd());
  // Any first byte from 0xF0 up starts five bytes; any non-zero byte is true.
  writeFile(dir / "f", "\xFB\x12\x34\x56\x78\x05");
  BinaryFile odd(dir / "f", 0);
  EXPECT_EQ(odd.readUInt(), 0x12345678u);
  read(odd, flags[1]);
  EXPECT_TRUE(flags[1]);
}

TEST(BinaryFile, ReadingPastTheEnd) {
  const std::function<void(BinaryFile&)> uint = [](BinaryFile& f) { f.readUInt(); };
  const std::function<void(BinaryFile&)> text = [](BinaryFile& f) {
    std::string s = "kept";
    read(f, s);
  };
  const struct {
    std::string bytes;
    std::function<void(BinaryFile&)> read;
  } cases[] = {
      {"", uint},
      {"\x81", uint},
      {"\xF0\x01\x02\x03", uint},
      {"",
       [](BinaryFile& f) {
         bool b;
         read(f, b);
       }},
      {"",
       [](BinaryFile& f) {
         int i;
         read(f, i);
       }},
      {"", text},
      {"\003abc", text} /* negative length */,
      {"\xF0\xFF\xFF\xFF\xFF", text},
      {"\010abc", text} /* longer than the rest */,
      {"\xF0\xFF\xFF\xFF\376abc", text},
      {"abc",
       [](BinaryFile& f) {
         char b[4];
         f.readBytes(b, 4);
       }},
  };
  testutil::TempDir dir;
  const std::string path = dir / "short.index";
  for (const auto& c : cases) {
    writeFile(path, c.bytes);
    BinaryFile in(path, 0);
    EXPECT_EQ(errorOf([&] { c.read(in); }), "End of file reached (" + path + ")") << c.bytes;
  }
  writeFile(path, "\010abc");
  BinaryFile in(path, 0);
  std::string s = "kept";
  EXPECT_THROW(read(in, s), kel::err::Error);
  EXPECT_EQ(s, "kept");
}

TEST(BinaryFile, OpenFailures) {
  testutil::TempDir dir;
  const std::string missing = dir / "missing", noDir = dir / "no/file.index", isDir = dir / "sub";
  writeFile(dir / "sub/inner", "x");
  EXPECT_EQ(errorOf([&] { BinaryFile f(missing, 0); }),
            std::string(std::strerror(ENOENT)) + " ('" + missing + "')");
  EXPECT_EQ(errorOf([&] { BinaryFile f(noDir, 1); }),
            std::string(std::strerror(ENOENT)) + " ('" + noDir + "')");
  EXPECT_EQ(errorOf([&] { BinaryFile f(isDir, 1); }),
            std::string(std::strerror(EISDIR)) + " ('" + isDir + "')");
  EXPECT_EQ(testutil::listDirectory(dir.path()), Names{"sub"});
  EXPECT_EQ(testutil::listDirectory(isDir), Names{"inner"});
  BinaryFile out(dir / "min", 1);
  EXPECT_EQ(errorOf([&] { write(out, INT_MIN); }), "Integer out of range (" + dir / "min" + ")");
}

// Runs body in a forked child and returns its exit status (128 + signal when killed).
int inChild(const std::function<void()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(BinaryFile, TargetIsReplacedOnlyByASuccessfulClose) {
  testutil::TempDir dir;
  const std::string target = dir / "1_web.index";
  const std::string big(100000, 'n');  // more than one chunk reaches the disk before close
  const struct {
    const char* what;
    std::function<void()> writer;
    std::string result;
  } cases[] = {
      {"close",
       [&] {
         BinaryFile out(target, 1);
         write(out, big);
         EXPECT_EQ(readFile(target), "old");
         out.close();
       },
       "\xC3\x0D\x40" + big},
      {"exception on its way",
       [&] {
         try {
           BinaryFile out(target, 1);
           write(out, big);
           throw std::runtime_error("stop");
         } catch (...) {
         }
       },
       "old"},
      {"destroyed without close",
       [&] {
         BinaryFile out(target, 1);
         write(out, "new");
       },
       "\x06new"},
      {"created while an exception is handled",
       [&] {
         try {
           throw 1;
         } catch (...) {
           BinaryFile out(target, 1);
           write(out, "in");
         }
       },
       "\x04in"},
      {"killed before close",
       [&] {
         inChild([&] {
           BinaryFile out(target, 1);
           write(out, big + big + big);
           raise(SIGKILL);
         });
       },
       "old"},
  };
  for (const auto& c : cases) {
    writeFile(target, "old");
    c.writer();
    EXPECT_EQ(readFile(target), c.result) << c.what;
    EXPECT_EQ(testutil::listDirectory(dir.path()), Names{"1_web.index"}) << c.what;
  }
}

TEST(BinaryFile, FailedCloseReportsTheTarget) {
  testutil::TempDir dir;
  const std::string target = dir / "gone/global_index";
  writeFile(target, "x");
  BinaryFile out(target, 1);
  write(out, "data");
  ASSERT_EQ(std::remove(target.c_str()) | rmdir((dir / "gone").c_str()),
            0);  // no place to rename to
  EXPECT_EQ(errorOf([&] { out.close(); }),
            std::string(std::strerror(ENOENT)) + " ('" + target + "')");
  EXPECT_THROW(out.close(), kel::err::IOError);  // the failure is not forgotten
  EXPECT_TRUE(testutil::listDirectory(dir.path()).empty());

  // A write that fails (here: beyond a file size limit) reports the target and keeps the old file.
  const std::string index = dir / "big.index";
  writeFile(index, "previous");
  const std::string efbig = std::string(std::strerror(EFBIG)) + " ('" + index + "')";
  EXPECT_EQ(inChild([&] {
              std::signal(SIGXFSZ, SIG_IGN);
              const rlimit limit{70000, 70000};
              setrlimit(RLIMIT_FSIZE, &limit);
              BinaryFile out(index, 1);
              _exit(errorOf([&] { write(out, std::string(200000, 'b')); }) == efbig ? 0 : 1);
            }),
            0);
  EXPECT_EQ(readFile(index), "previous");
  EXPECT_EQ(testutil::listDirectory(dir.path()), Names{"big.index"});
}

}  // namespace
