#include "kel/file/binary_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

using kel::file::BinaryFile;
using testutil::readFile;
using testutil::TempDir;
using testutil::writeFile;

// The message of the Error that f throws, or "no error".
template <typename F>
std::string errorOf(F f) {
  try {
    f();
  } catch (const kel::err::Error& e) {
    return e.what();
  }
  return "no error";
}

TEST(BinaryFile, UnsignedIntegersUseTheShortestForm) {
  struct Case {
    unsigned value;
    std::string bytes;
  };
  const Case cases[] = {
      {0x0, std::string("\x00", 1)},
      {0x7F, "\x7F"},
      {0x80, std::string("\x80\x80", 2)},
      {0x3FFF, "\xBF\xFF"},
      {0x4000, std::string("\xC0\x40\x00", 3)},
      {0x1FFFFF, "\xDF\xFF\xFF"},
      {0x200000, std::string("\xE0\x20\x00\x00", 4)},
      {0xFFFFFFF, "\xEF\xFF\xFF\xFF"},
      {0x10000000, std::string("\xF0\x10\x00\x00\x00", 5)},
      {0x12345678, "\xF0\x12\x34\x56\x78"},
      {0xFFFFFFFF, "\xF0\xFF\xFF\xFF\xFF"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir / "uint";
    {
      BinaryFile out(path, 1);
      out.writeUInt(c.value);
      out.close();
    }
    EXPECT_EQ(readFile(path), c.bytes) << std::hex << c.value;
    BinaryFile in(path, 0);
    unsigned back = 0;
    in.readUInt(back);
    EXPECT_EQ(back, c.value);
    EXPECT_TRUE(in.atEnd());
  }
  // A first byte from 0xF1 to 0xFF reads like 0xF0: its low four bits are ignored.
  for (int first = 0xF0; first <= 0xFF; ++first) {
    writeFile(dir / "long", std::string(1, static_cast<char>(first)) + "\x12\x34\x56\x78");
    BinaryFile in(dir / "long", 0);
    EXPECT_EQ(in.readUInt(), 0x12345678u) << first;
  }
}

TEST(BinaryFile, SignedBooleanAndStringEncodings) {
  struct Case {
    std::function<void(BinaryFile&)> write;
    std::string bytes;
  };
  const Case cases[] = {
      {[](BinaryFile& f) { write(f, 0); }, std::string("\x00", 1)},
      {[](BinaryFile& f) { write(f, 1); }, "\x02"},
      {[](BinaryFile& f) { write(f, -1); }, "\x03"},
      {[](BinaryFile& f) { write(f, 2); }, "\x04"},
      {[](BinaryFile& f) { write(f, -2); }, "\x05"},
      {[](BinaryFile& f) { write(f, 64); }, std::string("\x80\x80", 2)},
      {[](BinaryFile& f) { write(f, INT_MAX); }, "\xF0\xFF\xFF\xFF\xFE"},
      {[](BinaryFile& f) { write(f, -INT_MAX); }, "\xF0\xFF\xFF\xFF\xFF"},
      {[](BinaryFile& f) { write(f, true); }, "\x01"},
      {[](BinaryFile& f) { write(f, false); }, std::string("\x00", 1)},
      {[](BinaryFile& f) { write(f, std::string("abc")); }, "\x06" "abc"},
      {[](BinaryFile& f) { write(f, "abc"); }, "\x06" "abc"},  // a literal is a string, not a bool
      {[](BinaryFile& f) { write(f, std::string()); }, std::string("\x00", 1)},
      {[](BinaryFile& f) { write(f, std::string("a\0b", 3)); }, std::string("\x06" "a\0b", 4)},
      {[](BinaryFile& f) { write(f, std::string(64, 'x')); }, std::string("\x80\x80", 2) + std::string(64, 'x')},
  };
  TempDir dir;
  for (const Case& c : cases) {
    BinaryFile out(dir / "f", 1);
    c.write(out);
    out.close();
    EXPECT_EQ(readFile(dir / "f"), c.bytes);
  }
}

TEST(BinaryFile, ValuesReadBack) {
  TempDir dir;
  const std::string path = dir / "values";
  const std::vector<int> ints = {0, 1, -1, 2, -2, 63, 64, -64, -65, 1000000, -1000000, INT_MAX, -INT_MAX};
  const std::vector<std::string> strings = {"", "abc", std::string(300, 'z'), "\xE4\xF6\xFC\xDF"};
  {
    BinaryFile out(path, 1);
    for (int v : ints) write(out, v);
    for (const std::string& s : strings) write(out, s);
    write(out, std::string("cut\0here", 8));
    write(out, true);
    out.close();
  }
  // Any non-zero byte reads as true.
  writeFile(dir / "bool", std::string("\x00\x01\x05\xFF", 4));
  BinaryFile in(path, 0);
  for (int v : ints) {
    int back = 12345;
    read(in, back);
    EXPECT_EQ(back, v);
  }
  for (const std::string& s : strings) {
    std::string back;
    read(in, back);
    EXPECT_EQ(back, s);
  }
  std::string cut;
  read(in, cut);
  EXPECT_EQ(cut, "cut");  // a string read back ends at its first NUL
  bool flag = false;
  read(in, flag);
  EXPECT_TRUE(flag);
  EXPECT_TRUE(in.atEnd());

  BinaryFile bools(dir / "bool", 0);
  const bool expected[] = {false, true, true, true};
  for (bool e : expected) {
    read(bools, flag);
    EXPECT_EQ(flag, e);
  }
}

TEST(BinaryFile, ReadingPastTheEndThrowsAndChangesNothing) {
  TempDir dir;
  struct Case {
    const char* what;
    std::string bytes;
    std::function<void(BinaryFile&)> read;
  };
  const Case cases[] = {
      {"uint from an empty file", "", [](BinaryFile& f) { f.readUInt(); }},
      {"uint cut after the first byte", "\x81", [](BinaryFile& f) { f.readUInt(); }},
      {"five-byte uint cut short", "\xF0\x01\x02\x03", [](BinaryFile& f) { f.readUInt(); }},
      {"bool at the end", "", [](BinaryFile& f) { bool b; read(f, b); }},
      {"int at the end", "", [](BinaryFile& f) { int i; read(f, i); }},
      {"string at the end", "", [](BinaryFile& f) { std::string s; read(f, s); }},
      {"negative string length", "\x03" "abc", [](BinaryFile& f) { std::string s; read(f, s); }},
      {"huge negative string length", "\xF0\xFF\xFF\xFF\xFF", [](BinaryFile& f) { std::string s; read(f, s); }},
      {"string longer than the rest", "\x08" "abc", [](BinaryFile& f) { std::string s; read(f, s); }},
      {"huge string length", "\xF0\xFF\xFF\xFF\xFE" "abc", [](BinaryFile& f) { std::string s; read(f, s); }},
      {"raw bytes beyond the end", "abc", [](BinaryFile& f) { char b[4]; f.readBytes(b, 4); }},
  };
  for (const Case& c : cases) {
    const std::string path = dir / "short.index";
    writeFile(path, c.bytes);
    BinaryFile in(path, 0);
    EXPECT_EQ(errorOf([&] { c.read(in); }), "End of file reached (" + path + ")") << c.what;
  }
  // The target variables keep their values.
  writeFile(dir / "s", "\x08" "abc");
  BinaryFile in(dir / "s", 0);
  std::string s = "kept";
  EXPECT_THROW(read(in, s), kel::err::Error);
  EXPECT_EQ(s, "kept");
  // Raw bytes and a whole string at the exact end are fine.
  writeFile(dir / "exact", "\x06" "abc" "xyz");
  BinaryFile exact(dir / "exact", 0);
  read(exact, s);
  char raw[3];
  exact.readBytes(raw, 3);
  EXPECT_EQ(s + std::string(raw, 3), "abcxyz");
  unsigned char byte;
  EXPECT_FALSE(exact.readByte(byte));
}

TEST(BinaryFile, OpenFailures) {
  TempDir dir;
  const std::string missing = dir / "missing";
  EXPECT_EQ(errorOf([&] { BinaryFile f(missing, 0); }), std::string(std::strerror(ENOENT)) + " ('" + missing + "')");
  const std::string noDir = dir / "no/such/file.index";
  EXPECT_EQ(errorOf([&] { BinaryFile f(noDir, 1); }), std::string(std::strerror(ENOENT)) + " ('" + noDir + "')");
  const std::string isDir = dir / "sub";
  testutil::writeFile(dir / "sub/inner", "x");
  EXPECT_EQ(errorOf([&] { BinaryFile f(isDir, 1); }), std::string(std::strerror(EISDIR)) + " ('" + isDir + "')");
  EXPECT_THROW(BinaryFile(missing, 0), kel::err::IOError);
  EXPECT_EQ(testutil::listDirectory(dir.path()), std::vector<std::string>{"sub"});
  EXPECT_EQ(testutil::listDirectory(isDir), std::vector<std::string>{"inner"});
  // INT_MIN has no encoding: refused before anything is written.
  {
    BinaryFile out(dir / "min", 1);
    EXPECT_EQ(errorOf([&] { write(out, INT_MIN); }), "Integer out of range (" + dir / "min" + ")");
    out.close();
  }
  EXPECT_EQ(readFile(dir / "min"), "");
}

TEST(BinaryFile, TargetIsReplacedOnlyByASuccessfulClose) {
  TempDir dir;
  const std::string target = dir / "1_web.index";
  writeFile(target, "old content");
  {
    BinaryFile out(target, 1);
    write(out, std::string(100000, 'n'));  // more than one write chunk reaches the temporary
    EXPECT_EQ(readFile(target), "old content");
    for (const std::string& name : testutil::listDirectory(dir.path()))
      EXPECT_TRUE(name == "1_web.index" || name.find(".tmp.") != std::string::npos) << name;
    out.close();
    EXPECT_EQ(readFile(target).size(), 100000u + 3);  // length 200000 takes three bytes
    out.close();  // a second close does nothing
  }
  EXPECT_EQ(testutil::listDirectory(dir.path()), std::vector<std::string>{"1_web.index"});

  // Destroyed while an exception is on its way: the earlier file stays.
  writeFile(target, "old content");
  try {
    BinaryFile out(target, 1);
    write(out, std::string(100000, 'n'));
    throw std::runtime_error("stop");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(readFile(target), "old content");
  EXPECT_EQ(testutil::listDirectory(dir.path()), std::vector<std::string>{"1_web.index"});

  // Destroyed without close and without exception: the data is committed.
  { BinaryFile out(target, 1); write(out, "new"); }
  EXPECT_EQ(readFile(target), "\x06new");

  // A writer created inside a handler, while another exception is already being handled.
  try {
    throw std::runtime_error("outer");
  } catch (const std::runtime_error&) {
    BinaryFile out(target, 1);
    write(out, "inner");
  }
  EXPECT_EQ(readFile(target), "\x0Ainner");
  EXPECT_EQ(testutil::listDirectory(dir.path()), std::vector<std::string>{"1_web.index"});
}

TEST(BinaryFile, FailedCloseReportsTheTargetAndKeepsTheOldFile) {
  TempDir dir;
  const std::string target = dir / "gone/global_index";
  writeFile(target, "x");
  BinaryFile out(target, 1);
  write(out, "data");
  // The directory disappears before close: the rename cannot succeed.
  ASSERT_EQ(std::remove(target.c_str()), 0);
  ASSERT_EQ(rmdir((dir / "gone").c_str()), 0);
  EXPECT_EQ(errorOf([&] { out.close(); }), std::string(std::strerror(ENOENT)) + " ('" + target + "')");
  EXPECT_THROW(out.close(), kel::err::IOError);  // the failure is not forgotten
  EXPECT_TRUE(testutil::listDirectory(dir.path()).empty());
}

// Runs body in a forked child and returns its exit status (128 + signal when killed).
int inChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(BinaryFile, WriteErrorRemovesTheTemporary) {
  TempDir dir;
  const std::string target = dir / "big.index";
  writeFile(target, "previous");
  const std::string expected = std::string(std::strerror(EFBIG)) + " ('" + target + "')";
  const int status = inChild([&] {
    // A file size limit makes the second chunk of writes fail with EFBIG.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{70000, 70000};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      BinaryFile out(target, 1);
      write(out, std::string(200000, 'b'));
      out.close();
    } catch (const kel::err::IOError& e) {
      return e.what() == expected ? 0 : 2;
    }
    return 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(readFile(target), "previous");
  EXPECT_EQ(testutil::listDirectory(dir.path()), std::vector<std::string>{"big.index"});
}

TEST(BinaryFile, KilledWriterLeavesThePreviousFile) {
  TempDir dir;
  const std::string target = dir / "3_web_docs.index";
  std::string previous;
  for (int i = 0; i < 5000; ++i) previous += static_cast<char>(i * 7);
  writeFile(target, previous);
  const int status = inChild([&] {
    BinaryFile out(target, 1);
    write(out, std::string(300000, 'k'));  // several chunks already written to disk
    raise(SIGKILL);
    return 0;
  });
  EXPECT_EQ(status, 128 + SIGKILL);
  EXPECT_EQ(readFile(target), previous);
  EXPECT_EQ(testutil::listDirectory(dir.path()), std::vector<std::string>{"3_web_docs.index"});
}

TEST(BinaryFile, ReplacementKeepsPermissions) {
  TempDir dir;
  const std::string target = dir / "files";
  writeFile(target, "x");
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  { BinaryFile out(target, 1); write(out, 1); }
  struct stat info;
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

}  // namespace
