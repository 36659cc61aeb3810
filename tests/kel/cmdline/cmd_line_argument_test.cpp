// Declaration, registration and value conversion of options and arguments (no parse).
#include <gtest/gtest.h>

#include <climits>

#include "in_child.h"
#include "kel/cmdline/cmdline.h"
#include "kel/cmdline/registry.h"

using namespace kel::cmdline;
using testutil::describeError;

namespace {

CmdLineOption optFlag('f', "a flag");
CmdLineArgumentOption optLen('L', "len", "length", "300");
CmdLineArgumentOption optExt('e', "ext", "extension", nullptr);
RepeatedCmdLineArgumentOption optIds('n', "id", ';', "ids", nullptr);
RepeatedCmdLineArgumentOption optDirs('d', "dir", ',', "dirs", "x,y");
CmdLineArgument argNum("num", "a number", nullptr, false);
CmdLineAnnotation annAfter("after the options");

std::string allValues(CmdLineArgument& a) {
  std::string out;
  for (std::string v; !(v = a.getValue()).empty();) out += v + "|";
  return out;
}

TEST(CmdLineArgumentTest, DeclarationsRegisterInOrder) {
  std::string letters;
  for (const CmdLineOption* o : optionList()) letters += o->letter();
  EXPECT_EQ(letters, "fLend");
  EXPECT_TRUE(argumentList().empty());  // none was declared positional
  ASSERT_EQ(annotationList().size(), 1u);
  EXPECT_EQ(annotationList()[0]->position(), 5);
  EXPECT_EQ(optionArgWidth, 14u);  // "<dir>[,<dir>]*"
  EXPECT_EQ(argumentWidth, 6u);
}

TEST(CmdLineArgumentTest, DefaultsGivenValuesAndReset) {
  EXPECT_EQ(optLen.getHelpText(), "length");  // the default shows once a parse marked it
  EXPECT_EQ(optExt.getInt(), 0);              // no value at all

  // A value stored through the argument half makes the option active too.
  CmdLineArgument& extArgument = optExt;
  extArgument.setValue("htm", false);
  EXPECT_TRUE(optExt.isActive());
  EXPECT_TRUE(optExt.isGiven());
  EXPECT_EQ(optExt.getValue(), "htm");
  EXPECT_EQ(optExt.getValue(), "htm");  // a plain argument is not consumed
  optExt.reset();
  EXPECT_FALSE(optExt.isActive());
  EXPECT_FALSE(optExt.isGiven());
  EXPECT_EQ(optExt.value(), "");

  EXPECT_TRUE(optDirs.isActive());
  EXPECT_FALSE(optDirs.isGiven());
}

TEST(CmdLineArgumentTest, IntegerConversion) {
  const std::string bad = "Error: Error in <unknown>: Numeric argument awaited in <num> '";
  const struct {
    std::string text;
    int value;
    bool fails;
  } cases[] = {
      {"", 0, false},
      {"0", 0, false},
      {"300", 300, false},
      {"007", 7, false},
      {"2147483647", INT_MAX, false},
      {"0002147483647", INT_MAX, false},
      {"0x10", 16, false},
      {"0x1F", 31, false},
      {"0xaB", 171, false},
      {"0x", 0, false},
      {"0x7fffffff", INT_MAX, false},
      {"0xFFFFFFFF", -1, false},
      {"2147483648", 0, true},
      {"99999999999999999999999", 0, true},
      {"0x100000000", 0, true},
      {"0X10", 0, true},
      {"-5", 0, true},
      {"+5", 0, true},
      {"12a", 0, true},
      {" 1", 0, true},
      {"0x1g", 0, true},
      {"1.5", 0, true},
  };
  for (const auto& c : cases) {
    argNum.setValue(c.text, false);
    int value = -12345;
    const std::string error = describeError([&] { value = argNum.getInt(); });
    if (c.fails) {
      EXPECT_EQ(error, bad + c.text + "' (dec or hex '0x..') ") << c.text;
      EXPECT_EQ(argNum.value(), c.text);  // kept after the failure
    } else {
      EXPECT_EQ(error, "") << c.text;
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

TEST(CmdLineArgumentTest, FloatingPointConversion) {
  const std::string bad = "Error: Error in <unknown>: Floating point argument awaited in <num> '";
  const struct {
    std::string text;
    double value;
    std::string shown;  // in the message; empty when the conversion succeeds
  } cases[] = {
      {"", 0, ""},
      {"7", 7, ""},
      {"2,5", 2.5, ""},
      {"1.25", 1.25, ""},
      {".5", 0.5, ""},
      {"3.", 3, ""},
      {"99999999999", 99999999999.0, ""},
      {"1.2.3", 0, "1.2.3"},
      {"1,2,3", 0, "1.2.3"},
      {"1e5", 0, "1e5"},
      {"-1", 0, "-1"},
      {"1 ", 0, "1 "},
  };
  for (const auto& c : cases) {
    argNum.setValue(c.text, false);
    double value = -1;
    const std::string error = describeError([&] { value = argNum.getFloat(); });
    if (!c.shown.empty()) {
      EXPECT_EQ(error, bad + c.shown + "'") << c.text;
    } else {
      EXPECT_EQ(error, "") << c.text;
      EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
  }
}

TEST(CmdLineArgumentTest, RepeatedOptionSplitsAndRewinds) {
  EXPECT_EQ(optIds.usageName(), "<id>[;<id>]*");
  optIds.setValue("a;b;;c;", false);
  EXPECT_TRUE(optIds.isActive());
  EXPECT_TRUE(optIds.isGiven());
  EXPECT_EQ(optIds.count(), 3);
  EXPECT_EQ(allValues(optIds), "a|b|c|");
  EXPECT_EQ(optIds.getValue(), "");
  optIds.rewind();
  EXPECT_EQ(allValues(optIds), "a|b|c|");
  // A second value list is appended after the first, also after a complete pass.
  optIds.setValue(";d", false);
  optIds.rewind();
  EXPECT_EQ(allValues(optIds), "a|b|c|d|");
  optIds.rewind();
  EXPECT_EQ(optIds.getValue(), "a");
  optIds.rewind();  // from the middle of a pass
  EXPECT_EQ(allValues(optIds), "a|b|c|d|");
  EXPECT_EQ(optIds.count(), 4);
  EXPECT_TRUE(optIds.isGiven());

  // Values from the command line follow the default ones; the option still counts as not given.
  optDirs.setValue("z", false);
  EXPECT_FALSE(optDirs.isGiven());
  EXPECT_EQ(allValues(optDirs), "x|y|z|");
  EXPECT_FALSE(optDirs.isGiven());
  optDirs.rewind();
  EXPECT_EQ(allValues(optDirs), "x|y|z|");
}

TEST(CmdLineArgumentTest, EmptyDefaultIsADeclarationFault) {
  EXPECT_EQ(testutil::inChild([] {
              CmdLineArgumentOption bad('z', "z", "help", "");
              return std::string("constructed");
            }),
            "InternalError: see above / ");
}

}  // namespace
