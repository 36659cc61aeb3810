// The program's declarations: order, defaults and what a parse makes of typical command lines.
#include "app/options.h"

#include <gtest/gtest.h>

#include "kel/cmdline/in_child.h"
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

TEST(OptionsTest, ParsedValues) {
  const auto run = [](const std::vector<std::string>& words) {
    return testutil::inChild([&] {
      testutil::parse(programInfo, words);
      std::string ids;
      optIds.rewind();
      for (std::string id; !(id = optIds.getValue()).empty();) ids += id + ",";
      return argSearch.value() + "|" + argIndexDir.value() + "|" + argRootDirList.value() + "|" +
             std::to_string(optMaxLength.getInt()) + "," + std::to_string(optMaxSize.getInt()) +
             "," + std::to_string(optMaxResults.getInt()) + "|" + optHighlight.value() + "|" +
             optDefaultTitle.value() + "|" + optExtensions.value() + "|" + ids + "|" +
             (optVerbose.isActive() ? "v" : "") + (optIgnoreCase.isActive() ? "i" : "") +
             (optNoThrow.isActive() ? "x" : "") + (optTitleHighlight.isActive() ? "T" : "") +
             (optDosDrives.isActive() ? "D" : "") + (optUpdate.isActive() ? "u" : "") + "|" +
             (optExchange.isActive() ? optExchange.value() : "-") + "|" +
             (optUrlPrefix.isGiven() ? optUrlPrefix.value() : "-") + "|" +
             (optMaxIndexSize.isActive() ? optMaxIndexSize.value() : "-") + "|" +
             (optIndexPrefix.isActive() ? optIndexPrefix.value() : "-");
    });
  };
  EXPECT_EQ(run({"Haus", "/idx", "roots.txt"}),
            "Haus|/idx|roots.txt|300,150,500|<b>$$$</b>|Untitled|"
            ".htm;.html;.sht;.shtm;.shtml;.html.en;.html.de|||-|-|-|-");
  EXPECT_EQ(run({"-viTDux", "-L0x40", "-S", "10", "-m0", "-H", "<i>$$$</i>", "-d", "",
                 "Haus Garten", "idx", "roots"}),
            "InfoError: Error in Corvex: Option -d awaits argument <title> / ");
  EXPECT_EQ(run({"-viTDux", "-L0x40", "-S", "10", "-m0", "-H", "<i>$$$</i>", "-dNone", "-e.htm",
                 "-n", "Docs;;web", "--multi", "-nold", "-P", "c/Test = docs", "-pfile://",
                 "-b1024", "-Iset", "Haus Garten", "idx", "roots"}),
            "Haus Garten|idx|roots|64,10,0|<i>$$$</i>|None|.htm|Docs,web,old,|vixTDu|"
            "c/Test = docs|file://|1024|set");
  EXPECT_EQ(optTemplate.value(),
            "<tr><td colspan=2><a href=\"$url$\">$title$</a> <font size=\"-1\">[$url$]</font>"
            "</td></tr><tr><td width=20%>&nbsp;</td><td>$text$<br>Score: $score$</td></tr>");
}

}  // namespace
