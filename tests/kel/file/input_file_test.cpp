#include "kel/file/input_file.h"

#include <gtest/gtest.h>

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

// Every line getLine delivers (with a guard against a reader that never ends); getLines must
// hand out the same lines, several at a time, and count them alike.
Lines readLines(const std::string& path, unsigned blockSize, const Wrap& wrap = {0, "", 0}) {
  InputFile in(path, blockSize);
  in.setWrap(wrap.width, wrap.text, wrap.offset);
  Lines lines;
  std::string line = "stale";
  while (in.getLine(line) && lines.size() < 100000) lines.push_back(line);
  EXPECT_EQ(line, "");  // false comes with an empty line
  EXPECT_FALSE(in.getLine(line));

  InputFile many(path, blockSize);
  many.setWrap(wrap.width, wrap.text, wrap.offset);
  Lines fromRuns;
  std::string_view text;
  while (many.getLines(text) && fromRuns.size() < 100000) {
    // Each '\n' ends a line; text after the last one is one line (a cut piece or the last).
    for (std::size_t from = 0; from < text.size();) {
      const std::size_t newline = text.find('\n', from);
      fromRuns.emplace_back(text.substr(from, newline - from));
      from = newline == std::string_view::npos ? text.size() : newline + 1;
    }
  }
  EXPECT_EQ(text, "");
  EXPECT_EQ(fromRuns, lines);
  EXPECT_EQ(many.lineCount(), in.lineCount());
  return lines;
}

TEST(InputFile, SplitsAtNewlinesAcrossBlocks) {
  const struct {
    std::string content;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"\n", {""}},
      {"one\ntwo", {"one", "two"}},
      {"a\n\nb\n", {"a", "", "b"}},
      {"crlf\r\n  x  \n", {"crlf\r", "  x  "}},
      {std::string("nul\0byte\n", 9), {std::string("nul\0byte", 8)}},
      {std::string(5000, 'x') + "\nend", {std::string(5000, 'x'), "end"}},
  };
  testutil::TempDir dir;
  for (const auto& c : cases) {
    testutil::writeFile(dir / "t", c.content);
    for (unsigned blockSize : {1u, 3u, 7u, 2048u})
      EXPECT_EQ(readLines(dir / "t", blockSize), c.lines) << blockSize;
  }
  testutil::writeFile(dir / "exact", std::string(15, 'e') + "\n");  // exactly one block
  EXPECT_EQ(readLines(dir / "exact", 16), Lines{std::string(15, 'e')});

  // A directory would read like an empty file; it fails like a missing file instead.
  const std::string missing = dir / "roots.txt";
  for (const auto& [path, error] : {std::pair{missing, ENOENT}, std::pair{dir.path(), EISDIR}}) {
    try {
      InputFile in(path, 2048);
      ADD_FAILURE() << "no exception for " << path;
    } catch (const kel::err::IOError& e) {
      EXPECT_EQ(e.what(), std::string(std::strerror(error)) + " ('" + path + "')");
    }
  }
}

TEST(InputFile, CutsLongLinesAtTagBoundaries) {
  const struct {
    std::string content;
    unsigned blockSize;
    Wrap wrap;
    Lines lines;
  } cases[] = {
      // Block "<a><b><c": cut after "<a>"; "<b><c" then meets its newline and comes whole.
      {"<a><b><c>\n", 8, {5, "><", 1}, {"<a>", "<b><c>"}},
      // Block "<a><" is short enough; with "b><c" the cut falls in the earlier block's bytes.
      {"<a><b><c>\n", 4, {5, "><", 1}, {"<a>", "<b><c>"}},
      {std::string(30, 'x') + "<a><b>\n", 64, {5, "><", 1}, {std::string(30, 'x') + "<a><b>"}},
      {std::string(40, 'y') + "\nz", 8, {5, "><", 1}, {std::string(40, 'y'), "z"}},
      // A cut of no bytes would come back forever; such a candidate does not count.
      {"<aaaa<b", 4, {3, "<", 0}, {"<aaaa<b"}},
  };
  testutil::TempDir dir;
  for (const auto& c : cases) {
    testutil::writeFile(dir / "w", c.content);
    EXPECT_EQ(readLines(dir / "w", c.blockSize, c.wrap), c.lines) << c.content;
  }
  // 5000 bytes of tags without a newline, from the start of a 2048-byte block.
  std::string page;
  for (int i = 0; page.size() < 5000; ++i)
    page += "<t" + std::string(static_cast<std::size_t>(i % 23), 'a') + ">";
  page.resize(5000);
  testutil::writeFile(dir / "page.html", page);
  const Lines pieces = readLines(dir / "page.html", 2048, {160, "><", 1});
  std::string joined;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    joined += pieces[i];
    EXPECT_LE(pieces[i].size(), 160u);
    EXPECT_TRUE(i + 1 == pieces.size() || pieces[i].back() == '>');
  }
  EXPECT_EQ(joined, page);
}

// The cutting rule the slow, direct way: take the whole block, then the largest cut of at most
// width bytes (and at least one) over occurrences searched from 0 until the start reaches width;
// the bytes after a cut are read again up to the end of the same block.
Lines directCutting(const std::string& content, unsigned blockSize, const Wrap& wrap) {
  Lines lines;
  std::string block, line;
  std::size_t next = 0, position = 0;
  for (;;) {
    if (position >= block.size()) {
      if (next >= content.size()) break;
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
    for (std::size_t start = 0, i;
         start < wrap.width && (i = line.find(wrap.text, start)) != std::string::npos;
         start = i + 1) {
      const long long cut = static_cast<long long>(i) + wrap.offset;
      if (cut >= 1 && cut <= static_cast<long long>(wrap.width)) best = cut;
    }
    if (best == 0) continue;
    lines.push_back(line.substr(0, static_cast<std::size_t>(best)));
    block = line.substr(static_cast<std::size_t>(best));
    position = 0;
    line.clear();
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

TEST(InputFile, CuttingMatchesTheDirectRule) {
  testutil::TempDir dir;
  unsigned seed = 12345;
  const auto random = [&seed](unsigned n) {
    return ((seed = seed * 1103515245u + 12345u) >> 16) % n;
  };
  const char* const pieces[] = {"<a>", "<tr>", "><", "text ", "\n", "ab", "<", ">", "x"};
  const Wrap wraps[] = {{5, "><", 1},  {10, "><", 1}, {160, "><", 1}, {7, "<", 0},
                        {6, "ab", -1}, {4, "><", 2},  {5, ">", 2}};
  for (int round = 0; round < 200 && !HasFailure(); ++round) {
    std::string content;
    for (unsigned i = 1 + random(120); i > 0; --i)
      content += pieces[random(round % 3 == 0 ? 9 : 4)];
    testutil::writeFile(dir / "r", content);
    for (const Wrap& wrap : wraps) {
      for (unsigned blockSize : {3u, 8u, 64u}) {
        EXPECT_EQ(readLines(dir / "r", blockSize, wrap), directCutting(content, blockSize, wrap))
            << "round " << round << " block " << blockSize << " width " << wrap.width;
      }
    }
  }
}

}  // namespace
