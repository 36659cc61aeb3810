// The command line of build/corvex as a process: the help text, every usage error, and where
// the report goes (standard error, or the error page on standard output with -x).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace {

using testutil::runProcess;

// The help as the program prints it for its declarations, with the default of every option.
const std::string help =
    "\n"
    " ------------------------------------------------------------------------------\n"
    " Corvex 0.09   ---   Dec  6 2002\n"
    " ------------------------------------------------------------------------------\n"
    " Purpose: Search local HTML-trees and dump results as HTML to stdout\n"
    " Usage  : Corvex <opts> <search> <index-dir> <rootDirList>\n"
    "\n"
    " <search>     ::= string to search for\n"
    " <index-dir>  ::= directory for search indices\n"
    " <rootDirList>::= Textfile containing directories (one per line) where search\n"
    "                  should start. Prefixing a directory with - disables recursive\n"
    "                  search into this directory\n"
    "\n"
    " <opts>::= -e<extensions> List of extensions treated as HTML files\n"
    "                          [Default=.htm;.html;.sht;.shtm;.shtml;.html.en;.html.d\n"
    "                          e]\n"
    "           -v             be verboose.\n"
    "           -i             ignore case.\n"
    "           -x             never throw exception (write error to HTML code\n"
    "                          instead)\n"
    "           -L<len>        Maximum length of text per result [Default=300]\n"
    "           -H<fontdef>    attribute for results ($$$ will be replaced by\n"
    "                          searchstring) [Default=<b>$$$</b>]\n"
    "           -T             highlight results in page titles?\n"
    "           -S<size>       max. size of searched files (kb) [Default=150]\n"
    "           -m<num>        max. number of results in output [Default=500]\n"
    "           -n<id>[;<id>]* search only files which have <id> in their full\n"
    "                          filename\n"
    "           -D             Exchanges DOS-drive letters by small drive letters as\n"
    "                          top-dir (done before -P). Example:\n"
    "                          'C:/Test/Example.html' -> '/c/Test/Example.html'.\n"
    "           -P<exchange>   Prefix to exchange at beginning of each result URL\n"
    "                          (done before -p). Format of exchange: \"old = new\".\n"
    "           -p<prefix>     Prefix to add to each result URL (you may i.e. use -p\n"
    "                          \"file://\")\n"
    "           -t<template>   How to display results ($xxx$ expressions get\n"
    "                          replaced) [Default=<tr><td colspan=2><a\n"
    "                          href=\"$url$\">$title$</a> <font\n"
    "                          size=\"-1\">[$url$]</font></td></tr><tr><td\n"
    "                          width=20%>&nbsp;</td><td>$text$<br>Score:\n"
    "                          $score$</td></tr>]\n"
    "           -d<title>      What to display, if no title exists in linked HTML\n"
    "                          file [Default=Untitled]\n"
    "           \n"
    "           If you want to use Corvex as cgi-tool you should experiment with -P\n"
    "           and -p to create correct URLs\n"
    "           \n"
    "           -u             force index update.\n"
    "           -b<kb>         do not add files bigger than <kb> kilobytes to index.\n"
    "           -I<prefix>     Prefix to add to global index files. Use this to\n"
    "                          create multiple indices in same index-directory. The\n"
    "                          <rootDir>s used for different indices may overlap. In\n"
    "                          this case word extraction is only done once.\n"
    "\n"
    "           Indexing mechanism:\n"
    "           1. Create list of all HTML files.\n"
    "           2. Create wordlist for each file (if not existing or HTML newer)\n"
    "           3. Create global index file (describes occurances of words)\n"
    "           \n"
    " ------------------------------------------------------------------------------\n"
    " Contact: Corvex@example.org\n"
    " ------------------------------------------------------------------------------\n";

std::vector<std::string> command(const std::vector<std::string>& words) {
  std::vector<std::string> argv{CORVEX_BINARY};
  argv.insert(argv.end(), words.begin(), words.end());
  return argv;
}

std::string errorPage(const std::string& message) {
  return "\n<html>\n <head>\n  <title>\n   Error calling Corvex\n  </title>\n </head>\n <body>\n"
         "  <center>\n   " +
         message + "\n  </center>\n </body>\n</html>";
}

TEST(CommandLineTest, HelpRequestsPrintTheHelpToStandardError) {
  testutil::TempDir dir;
  for (const std::vector<std::string>& words : {std::vector<std::string>{"--help"},
                                                {"-hello"},
                                                {"/?"},
                                                {"-v", "-L", "5", "--help", "-q"},
                                                {"a", "b", "c", "/-help"}}) {
    const auto result = runProcess(command(words), dir.path());
    EXPECT_EQ(result.status, 1) << words[0];
    EXPECT_EQ(result.out, "") << words[0];
    EXPECT_EQ(result.err, help + "\nCorvex: Help requested\n") << words[0];
  }
}

TEST(CommandLineTest, UsageErrorsPrintHelpAndMessage) {
  testutil::TempDir dir;
  const struct {
    std::vector<std::string> words;
    std::string message;
  } cases[] = {
      {{}, "Missing arguments: <search> <index-dir> <rootDirList>"},
      {{"Haus", "index"}, "Missing arguments: <rootDirList>"},
      {{"Haus", "index", "roots", "more"}, "Superfluous argument 'more'"},
      // On this platform words beginning with "/h" are paths unless they are help words.
      {{"/hx", "/home/site/index", "/h/roots", "/hz"}, "Superfluous argument '/hz'"},
      {{"-"}, "character awaited behind '-'"},
      {{"-v", "-q"}, "Unknown option '-q'"},
      {{"-vi", "-v"}, "Option '-v' was already used (preceed with --multi to avoid this warning)."},
      {{"-L5", "-L", "6"},
       "Option '-L' was already used (preceed with --multi to avoid this warning)."},
      {{"-n", "a", "--multi", "-n", "b", "-v", "-v"},
       "Missing arguments: <search> <index-dir> <rootDirList>"},
      {{"-L"}, "Option -L awaits argument <len>"},
      {{"-n", ""}, "Option -n awaits argument <id>[;<id>]*"},
      {{"a", "b", "c", "-e"}, "Option -e awaits argument <extensions>"},
  };
  for (const auto& c : cases) {
    const auto result = runProcess(command(c.words), dir.path());
    EXPECT_EQ(result.status, 1) << c.message;
    EXPECT_EQ(result.out, "") << c.message;
    EXPECT_EQ(result.err, help + "\nError in Corvex: " + c.message + "\n") << c.message;
  }
}

TEST(CommandLineTest, ErrorsWithoutHelp) {
  testutil::TempDir dir;
  const std::string details =
      "Valid options are:\n"
      "     --help          show command line help\n"
      "     --multi         allow to use args multiple (behind this option)\n";
  for (const std::string word : {"--helpme", "--"}) {
    const auto result = runProcess(command({"-v", word, "-q"}), dir.path());
    EXPECT_EQ(result.status, 1) << word;
    EXPECT_EQ(result.out, "") << word;
    EXPECT_EQ(result.err, "\nError in Corvex: Unknown long option '" + word + "'\n" + details)
        << word;
  }

  // Called by a name that is neither a path nor in PATH: the program cannot find itself, and
  // says so before it looks at any word.
  const auto lost = runProcess(
      {"/bin/bash", "-c", "PATH=/nonexistent exec -a Corvex \"$0\" --help", CORVEX_BINARY},
      dir.path());
  EXPECT_EQ(lost.status, 1);
  EXPECT_EQ(lost.out, "");
  EXPECT_EQ(lost.err,
            "\nError in Corvex: Can't detect location of Corvex.exe -- please call with full "
            "pathname\n");
}

TEST(CommandLineTest, NoThrowWritesTheErrorPage) {
  testutil::TempDir dir;
  const struct {
    std::vector<std::string> words;
    std::string message;
  } cases[] = {
      {{"-x", "--help"}, "Corvex: Help requested"},
      {{"-vx", "-q"}, "Error in Corvex: Unknown option &#39;-q&#39;"},
      {{"-x"},
       "Error in Corvex: Missing arguments: &lt;search&gt; &lt;index-dir&gt; &lt;rootDirList&gt;"},
      {{"-x", "--multi2"}, "Error in Corvex: Unknown long option &#39;--multi2&#39;"},
  };
  for (const auto& c : cases) {
    const auto result = runProcess(command(c.words), dir.path());
    EXPECT_EQ(result.status, 1) << c.message;
    EXPECT_EQ(result.err, "") << c.message;
    EXPECT_EQ(result.out, errorPage(c.message)) << c.message;
  }

  // -x after the failing word has not been parsed: the report goes to standard error.
  const auto late = runProcess(command({"-q", "-x"}), dir.path());
  EXPECT_EQ(late.status, 1);
  EXPECT_EQ(late.out, "");
  EXPECT_EQ(late.err, help + "\nError in Corvex: Unknown option '-q'\n");
}

}  // namespace
