// A program without options whose positional arguments include a repeatable one.
#include "kel/cmdline/repeatable_cmd_line_argument.h"

#include <gtest/gtest.h>

#include <sstream>

#include "in_child.h"
#include "kel/cmdline/cmdline.h"

using namespace kel::cmdline;

namespace {

// Takes words ending in ".txt", at most three; the list may end without another one.
bool textFile(const std::string* word) {
  return !word || (word->size() > 4 && word->compare(word->size() - 4, 4, ".txt") == 0);
}

ProgramInfo info("Cat", 2, 10, "Join text files", "now");
CmdLineArgument argMode("mode", "how to join");
RepeatableCmdLineArgument argFiles("file", "files to join", 1, 3, textFile);
CmdLineArgument argOut("out", "where to write");
RepeatableCmdLineArgument argExtra("extra", "anything else", 0, -1, nullptr);
CmdLineAnnotation annNote("A note\nin two lines");

std::string parsed(const std::vector<std::string>& words) {
  return testutil::inChild([&] {
    const std::string error = testutil::describeError([&] { testutil::parse(info, words); });
    std::string files;
    for (std::string f; !(f = argFiles.getValue()).empty();) files += f + ",";
    std::string extra;
    for (std::string f; !(f = argExtra.getValue()).empty();) extra += f + ",";
    return (error.empty() ? "" : error + " / ") + argMode.value() + " [" + files + "] " +
           argOut.value() + " [" + extra + "]";
  });
}

TEST(RepeatableArgumentTest, PositionalWordsFillTheArgumentsInOrder) {
  const std::string missing = "InfoError: Error in Cat: Missing arguments:";
  const struct {
    std::vector<std::string> words;
    std::string expected;
  } cases[] = {
      {{"cat", "a.txt", "out"}, "cat [a.txt,] out []"},
      // The first value is taken whatever it is; later ones only when accepted.
      {{"cat", "a", "b.txt", "out", "x", "y"}, "cat [a,b.txt,] out [x,y,]"},
      {{"cat", "a.txt", "b.txt", "c.txt", "d.txt"}, "cat [a.txt,b.txt,c.txt,] d.txt []"},
      {{"cat", "a.txt"}, missing + " <out> / cat [a.txt,]  []"},
      {{"cat"}, missing + " [<file>]+ <out> / cat []  []"},
      {{}, missing + " <mode> [<file>]+ <out> /  []  []"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(parsed(c.words), c.expected) << testing::PrintToString(c.words);
}

TEST(RepeatableArgumentTest, UsageNames) {
  const struct {
    int minCount, maxCount;
    std::string usage;
  } cases[] = {{1, 3, "[<file>]+"}, {2, -1, "[<file>]+"}, {0, -1, "[<file>]*"},
               {0, 2, "[<file>]*"}, {0, 1, "[<file>]"},   {0, 0, "[<file>]"}};
  for (const auto& c : cases) {
    const std::string usage = testutil::inChild([&] {
      const RepeatableCmdLineArgument a("file", "", c.minCount, c.maxCount, nullptr, false);
      return a.usageName();
    });
    EXPECT_EQ(usage, c.usage) << c.minCount << " " << c.maxCount;
  }
}

TEST(RepeatableArgumentTest, HelpWithoutOptions) {
  std::ostringstream os;
  info.printHelp(os);
  const std::string s = " " + std::string(78, '-') + "\n";
  EXPECT_EQ(os.str(), "\n" + s + " Cat 2.10   ---   now\n" + s +
                          " Purpose: Join text files\n"
                          " Usage  : Cat <mode> [<file>]+ <out> [<extra>]*\n"
                          "\n"
                          " <mode> ::= how to join\n"
                          " <file> ::= files to join\n"
                          " <out>  ::= where to write\n"
                          " <extra>::= anything else\n"
                          "\n"
                          "\n"
                          " A note\n"
                          " in two lines\n"
                          " \n" +
                          s + " Contact: Cat@example.org\n" + s);
}

}  // namespace
