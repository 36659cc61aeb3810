// The program's declarations: their order (the help test shows the rest).
#include "app/options.h"

#include <gtest/gtest.h>

#include "kel/cmdline/registry.h"

using namespace kel::cmdline;

namespace {

TEST(OptionsTest, DeclarationOrderAndAnnotations) {
  std::string letters;
  for (const CmdLineOption* o : optionList()) letters += o->letter();
  EXPECT_EQ(letters, "evixLHTSmnDPptdubI");
  ASSERT_EQ(argumentList().size(), 3u);
  EXPECT_EQ(argumentList()[0], &argSearch);
  EXPECT_EQ(argumentList()[1], &argIndexDir);
  EXPECT_EQ(argumentList()[2], &argRootDirList);
  ASSERT_EQ(annotationList().size(), 2u);
  EXPECT_EQ(annotationList()[0]->position(), 15);  // before -u
  EXPECT_TRUE(annotationList()[0]->separated());
  EXPECT_EQ(annotationList()[1]->position(), 18);  // after the last option
  EXPECT_EQ(optionArgWidth, 12u);
  EXPECT_EQ(argumentWidth, 13u);
}

}  // namespace
