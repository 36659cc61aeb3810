// Two options declared with one letter: every parse fails before any word is read.
#include <gtest/gtest.h>

#include "in_child.h"
#include "kel/cmdline/cmdline.h"

using namespace kel::cmdline;

namespace {

ProgramInfo info("Dup", 0, 1, "Duplicate letters", "today");
CmdLineOption optA('a', "first a");
CmdLineOption optB('b', "b");
CmdLineArgumentOption optA2('a', "arg", "second a", nullptr);

TEST(DuplicateLetterTest, EveryParseFailsBeforeReadingWords) {
  for (const std::string word : {"--help", "-b", "-q"}) {
    EXPECT_EQ(testutil::inChild([&] {
                testutil::parse(info, {word});
                return std::string("parsed");
              }),
              "InternalError: Duplicated usage of option character 'a' / ")
        << word;
  }
}

}  // namespace
