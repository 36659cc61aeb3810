#include "kel/file/input_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "kel/err/error.h"
#include "test_util.h"

namespace {

using kel::file::InputFile;
using Lines = std::vector<std::string>;

struct Wrap {
  unsigned width;
  std::string text;
  int offset;
};

// Every line getLine delivers, with a guard against a reader that never ends.
Lines readLines(const std::string& path, unsigned blockSize, const Wrap& wrap = {0, "", 0}) {
  InputFile in(path, blockSize);
  in.setWrap(wrap.width, wrap.text, wrap.offset);
  Lines lines;
  std::string line = "stale";
  while (in.getLine(line)) {
    lines.push_back(line);
    if (lines.size() > 100000) break;
  }
  EXPECT_EQ(line, "");  // false comes with an empty line
  EXPECT_FALSE(in.getLine(line));
  return lines;
}

TEST(InputFile, SplitsAtNewlinesForEveryBlockSize) {
  struct Case {
    std::string content;
    Lines lines;
  };
  const Case cases[] = {
      {"", {}},
      {"\n", {""}},
      {"one", {"one"}},
      {"one\ntwo", {"one", "two"}},
      {"one\ntwo\n", {"one", "two"}},
      {"a\n\nb\n", {"a", "", "b"}},
      {"crlf\r\nnext\r\n", {"crlf\r", "next\r"}},
      {"  spaced  \n", {"  spaced  "}},
      {std::string("nul\0byte\n", 9), {std::string("nul\0byte", 8)}},
      {std::string(5000, 'x') + "\nend", {std::string(5000, 'x'), "end"}},
  };
  testutil::TempDir dir;
  for (const Case& c : cases) {
    testutil::writeFile(dir / "t", c.content);
    for (unsigned blockSize : {1u, 2u, 3u, 7u, 2048u}) {
      EXPECT_EQ(readLines(dir / "t", blockSize), c.lines) << blockSize << ": " << c.content.substr(0, 20);
    }
  }
  // A file of exactly one block ending in a newline: the line comes once.
  testutil::writeFile(dir / "exact", std::string(15, 'e') + "\n");
  EXPECT_EQ(readLines(dir / "exact", 16), Lines{std::string(15, 'e')});
}

TEST(InputFile, CutsLongLinesAtTagBoundaries) {
  testutil::TempDir dir;
  struct Case {
    const char* what;
    std::string content;
    unsigned blockSize;
    Wrap wrap;
    Lines lines;
  };
  const Case cases[] = {
      // Block "<a><b><c": cuts after "<a>"; "<b><c" then runs into the newline and comes whole.
      {"cut inside the block", "<a><b><c>\n", 8, {5, "><", 1}, {"<a>", "<b><c>"}},
      // Block "<a><" is short enough; with "b><c" the cut falls in the earlier block's bytes.
      {"cut in an earlier block", "<a><b><c>\n", 4, {5, "><", 1}, {"<a>", "<b><c>"}},
      {"newline in the block: whole", std::string(30, 'x') + "<a><b>\n", 64, {5, "><", 1},
       {std::string(30, 'x') + "<a><b>"}},
      {"no break text: whole", std::string(40, 'y') + "\nz", 8, {5, "><", 1}, {std::string(40, 'y'), "z"}},
      {"cutting off", "<a><b><c>\n", 4, {0, "><", 1}, {"<a><b><c>"}},
      {"largest cut within the width", "<a><b><c><d>", 4, {7, "><", 1}, {"<a><b>", "<c><d>"}},
      // A cut of no bytes would come back forever; such a candidate does not count.
      {"cut at the very start", "<aaaa<b", 4, {3, "<", 0}, {"<aaaa<b"}},
  };
  for (const Case& c : cases) {
    testutil::writeFile(dir / "w", c.content);
    EXPECT_EQ(readLines(dir / "w", c.blockSize, c.wrap), c.lines) << c.what;
  }
}

TEST(InputFile, CutPiecesLoseAndRepeatNothing) {
  testutil::TempDir dir;
  // 5000 bytes of tags of varying length, no newline, first block 2048 bytes.
  std::string page;
  for (int i = 0; page.size() < 5000; ++i) page += "<t" + std::string(static_cast<std::size_t>(i % 23), 'a') + ">";
  page.resize(5000);
  testutil::writeFile(dir / "page.html", page);
  const Lines pieces = readLines(dir / "page.html", 2048, {160, "><", 1});
  std::string joined;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    joined += pieces[i];
    EXPECT_LE(pieces[i].size(), 160u) << i;
    if (i + 1 < pieces.size()) {
      EXPECT_EQ(pieces[i].back(), '>') << i;
    }
  }
  EXPECT_EQ(joined, page);
  EXPECT_GT(pieces.size(), 5000u / 160u);
}

TEST(InputFile, OpenFailureAndStandardInput) {
  testutil::TempDir dir;
  const std::string missing = dir / "roots.txt";
  try {
    InputFile in(missing, 2048);
    FAIL() << "no exception";
  } catch (const kel::err::IOError& e) {
    EXPECT_EQ(std::string(e.what()), std::string(std::strerror(ENOENT)) + " ('" + missing + "')");
  }
  testutil::writeFile(dir / "in", "first\nsecond");
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open((dir / "in").c_str(), O_RDONLY);
    dup2(fd, 0);
    std::string line;
    bool ok;
    {
      InputFile in(4);
      ok = in.name() == "STDIN" && in.getLine(line) && line == "first" && in.getLine(line) && line == "second" &&
           !in.getLine(line);
    }
    // Standard input stays open after the reader is gone.
    _exit(ok && fcntl(0, F_GETFD) != -1 ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace

namespace {

// The line-cutting rule written the slow, direct way: append the whole block, then look for the
// largest cut of at most width bytes (and at least one) over the occurrences of the break text.
Lines referenceLines(const std::string& content, unsigned blockSize, const Wrap& wrap) {
  Lines lines;
  std::size_t next = 0;  // first byte of content not yet in a block
  std::string block;
  std::size_t position = 0;
  std::string line;
  for (;;) {
    if (position >= block.size()) {
      if (next >= content.size()) {
        if (!line.empty()) lines.push_back(line);
        return lines;
      }
      block = content.substr(next, blockSize);
      next += block.size();
      position = 0;
    }
    const std::size_t newline = block.find('\n', position);
    if (newline != std::string::npos) {
      lines.push_back(line + block.substr(position, newline - position));
      line.clear();
      position = newline + 1;
      continue;
    }
    line += block.substr(position);
    position = block.size();
    if (wrap.width == 0 || line.size() <= wrap.width) continue;
    long long best = 0;
    // Successive searches, each one past the previous hit, stop once the start reaches the width.
    for (std::size_t start = 0; start < wrap.width;) {
      const std::size_t i = line.find(wrap.text, start);
      if (i == std::string::npos) break;
      const long long cut = static_cast<long long>(i) + wrap.offset;
      if (cut >= 1 && cut <= static_cast<long long>(wrap.width)) best = cut;
      start = i + 1;
    }
    if (best == 0) continue;
    lines.push_back(line.substr(0, static_cast<std::size_t>(best)));
    // The bytes after the cut are read again, up to the end of the same block.
    block = line.substr(static_cast<std::size_t>(best));
    position = 0;
    line.clear();
  }
}

TEST(InputFile, CuttingMatchesTheDirectRule) {
  testutil::TempDir dir;
  unsigned seed = 12345;
  const auto random = [&seed](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  const char* const pieces[] = {"<a>", "<tr>", "><", "text ", "\n", "ab", "<", ">", "x"};
  const Wrap wraps[] = {{5, "><", 1}, {10, "><", 1}, {160, "><", 1}, {7, "<", 0}, {6, "ab", -1}, {4, "><", 2}};
  for (int round = 0; round < 200; ++round) {
    std::string content;
    const unsigned count = 1 + random(120);
    for (unsigned i = 0; i < count; ++i) content += pieces[random(round % 3 == 0 ? 9 : 4)];
    testutil::writeFile(dir / "r", content);
    for (const Wrap& wrap : wraps) {
      for (unsigned blockSize : {3u, 8u, 64u}) {
        const Lines expected = referenceLines(content, blockSize, wrap);
        const Lines actual = readLines(dir / "r", blockSize, wrap);
        EXPECT_EQ(actual, expected) << "round " << round << " block " << blockSize << " width " << wrap.width;
        if (actual != expected) return;
      }
    }
  }
}

}  // namespace
