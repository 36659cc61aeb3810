// The parser, the help text and the option constraints, on a small set of declarations.
// Every parse runs in a child process (in_child.h), so each starts from the declared state.
#include "kel/cmdline/program_info.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <tuple>

#include "in_child.h"
#include "kel/cmdline/cmdline.h"
#include "kel/cmdline/registry.h"
#include "test_util.h"

using namespace kel::cmdline;
using testutil::describeError;
using testutil::inChild;

namespace {

ProgramInfo info("Prog", 1, 2, "Test the parser", "Jan  1 2000");
CmdLineAnnotation annFirst("Options:");
CmdLineOption optV('v', "be verbose");
CmdLineOption optI('i', "ignore case");
CmdLineArgumentOption optL('L', "len", "maximum length", "300");
CmdLineArgumentOption optE('e', "ext", "extension", nullptr);
CmdLineAnnotation annSecond("Repeated ids:", true);
CmdLineAnnotation annThird("Third note");
RepeatedCmdLineArgumentOption optN('n', "id", ';', "ids to keep", nullptr);
CmdLineArgument argFirst("first", "the first word");
CmdLineArgument argSecond("second", "the second word", "two");
CmdLineAnnotation annLast("Last words\nsecond line");

std::string flags(const CmdLineOption& o) {
  return std::string(o.isActive() ? "a" : "-") + (o.isGiven() ? "g" : "-");
}

// Every item's state after a parse, in one line.
std::string state() {
  std::string ids;
  for (std::string id; !(id = optN.getValue()).empty();) ids += (ids.empty() ? "" : ",") + id;
  return std::string("v") + (optV.isActive() ? "1" : "0") + " i" + (optI.isActive() ? "1" : "0") +
         " L=" + optL.value() + "(" + flags(optL) + ") e=" + optE.value() + "(" + flags(optE) +
         ") n=[" + ids + "](" + flags(optN) + ") first=" + argFirst.value() +
         " second=" + argSecond.value();
}

// The error a parse of words throws (empty when none), then the state it left.
std::string parsed(const std::vector<std::string>& words) {
  return inChild([&] {
    const std::string error = describeError([&] { testutil::parse(info, words); });
    return (error.empty() ? "" : error + " / ") + state();
  });
}

const std::string untouched = "v0 i0 L=300(a-) e=(--) n=[](--) first= second=two";

TEST(ParserTest, WordsBecomeOptionsAndArguments) {
  const struct {
    std::vector<std::string> words;
    std::string expected;
  } cases[] = {
      {{"a", "b"}, "v0 i0 L=300(a-) e=(--) n=[](--) first=a second=b"},
      {{"-vi", "a", "b"}, "v1 i1 L=300(a-) e=(--) n=[](--) first=a second=b"},
      {{"-iL300", "a", "b"}, "v0 i1 L=300(ag) e=(--) n=[](--) first=a second=b"},
      {{"-Lv", "a", "b"}, "v0 i0 L=v(ag) e=(--) n=[](--) first=a second=b"},
      {{"a", "-L", "5", "b"}, "v0 i0 L=5(ag) e=(--) n=[](--) first=a second=b"},
      {{"-e", "-v", "a", "b"}, "v0 i0 L=300(a-) e=-v(ag) n=[](--) first=a second=b"},
      {{"-n", "x;y;;z;", "a", "b"}, "v0 i0 L=300(a-) e=(--) n=[x,y,z](ag) first=a second=b"},
      {{"--multi", "-n", ";x", "-n", "y", "a", "b"},
       "v0 i0 L=300(a-) e=(--) n=[x,y](ag) first=a second=b"},
      {{"--multi", "-v", "-v", "-L5", "-L6", "a", "b"},
       "v1 i0 L=6(ag) e=(--) n=[](--) first=a second=b"},
      {{"-v", "--MuLtI", "-v", "a", "b"}, "v1 i0 L=300(a-) e=(--) n=[](--) first=a second=b"},
      // Words beginning with '/' are paths here, apart from the help words.
      {{"/home/site", "/hx"}, "v0 i0 L=300(a-) e=(--) n=[](--) first=/home/site second=/hx"},
      {{"/", ""}, "v0 i0 L=300(a-) e=(--) n=[](--) first=/ second="},
  };
  for (const auto& c : cases) EXPECT_EQ(parsed(c.words), c.expected) << c.words[0];
}

TEST(ParserTest, UsageErrorsKeepTheStateReached) {
  const std::string help = "InfoError: Error in Prog: ";
  const std::string used = "' was already used (preceed with --multi to avoid this warning). / ";
  const struct {
    std::vector<std::string> words;
    std::string expected;
  } cases[] = {
      {{"-hv", "-q"}, "InfoError: Prog: Help requested / " + untouched},
      {{"a", "/-help"},
       "InfoError: Prog: Help requested / v0 i0 L=300(a-) e=(--) n=[](--) first=a second=two"},
      {{"-vh"}, help + "Unknown option '-h' / v1 i0 L=300(a-) e=(--) n=[](--) first= second=two"},
      {{"-vv"}, help + "Option '-v" + used + "v1 i0 L=300(a-) e=(--) n=[](--) first= second=two"},
      {{"-L5", "-L6"},
       help + "Option '-L" + used + "v0 i0 L=5(ag) e=(--) n=[](--) first= second=two"},
      {{"-n", "x", "-n", "y"},
       help + "Option '-n" + used + "v0 i0 L=300(a-) e=(--) n=[x](ag) first= second=two"},
      {{"-iL", ""},
       help +
           "Option -L awaits argument <len> / v0 i1 L=300(a-) e=(--) n=[](--) first= second=two"},
      {{"a"},
       help + "Missing arguments: <second> / v0 i0 L=300(a-) e=(--) n=[](--) first=a second=two"},
      {{"--", "-h"},
       "StringError: Error in Prog: Unknown long option '--'|Valid options are:\n"
       "     --help          show command line help\n"
       "     --multi         allow to use args multiple (behind this option)\n / " +
           untouched},
  };
  for (const auto& c : cases)
    EXPECT_EQ(parsed(c.words), c.expected) << testing::PrintToString(c.words);
}

TEST(ParserTest, HelpTextAndMessageOfAUsageError) {
  // The default shown is the declared one, not the value the command line gave before the error.
  const std::string printed = inChild([] {
    try {
      testutil::parse(info, {"-L5", "-q"});
    } catch (const kel::err::Error& e) {
      std::ostringstream os;
      e.print(os);
      return os.str();
    }
    return std::string("no error");
  });
  const std::string s = " " + std::string(78, '-') + "\n";
  EXPECT_EQ(printed, "\n" + s + " Prog 1.02   ---   Jan  1 2000\n" + s +
                         " Purpose: Test the parser\n"
                         " Usage  : Prog <opts> <first> <second>\n"
                         "\n"
                         " <first> ::= the first word\n"
                         " <second>::= the second word [Default=two]\n"
                         "\n"
                         " <opts>::= Options:\n"
                         "           -v             be verbose\n"
                         "           -i             ignore case\n"
                         "           -L<len>        maximum length [Default=300]\n"
                         "           -e<ext>        extension\n"
                         "           \n"
                         "           Repeated ids:\n"
                         "           \n"
                         "           -n<id>[;<id>]* ids to keep\n"
                         "\n"
                         "           Third note\n"
                         "           \n"
                         "\n"
                         "           Last words\n"
                         "           second line\n"
                         "           \n" +
                         s + " Contact: Prog@example.org\n" + s +
                         "\nError in Prog: Unknown option '-q'\n");
}

TEST(ParserTest, ProgramLocation) {
  testutil::TempDir dir;
  testutil::writeFile(dir / "bin/prog", "");
  testutil::writeFile(dir / "exe/tool.exe", "");
  testutil::writeFile(dir / "prog/keep", "");  // a directory named like the program

  // The program path and the working directory, or the error; the search runs before any
  // word is read, so even a help request reports a failure.
  const auto where = [&](const std::string& callName, const std::string& path) {
    return inChild([&] {
      if (chdir(dir.path().c_str()) != 0) return std::string("chdir failed");
      setenv("PATH", path.c_str(), 1);
      const std::string error = describeError([&] { testutil::parse(info, {"--help"}, callName); });
      if (error != "InfoError: Prog: Help requested") return error;
      testutil::parse(info, {"a", "b"}, callName);
      return info.ProgramPath() + " | " + info.CallPath();
    });
  };
  const auto found = [&](const std::string& programDir) { return programDir + " | " + dir.path(); };
  const std::string notFound =
      "Error: Error in Prog: Can't detect location of Prog.exe -- please call with full pathname";
  const struct {
    std::string callName, path, expected;
  } cases[] = {
      {dir / "bin/prog", "", found(dir / "bin")},
      {"bin/../bin/prog", "", found(dir / "bin")},
      {"prog", "/nonexistent:" + dir / "exe:" + dir / "bin", found(dir / "bin")},
      {"tool", "/nonexistent;" + dir / "exe", found(dir / "exe")},
      {"prog", "/nonexistent:" + dir.path(), notFound},
      {"", dir / "bin", notFound},
  };
  for (const auto& c : cases) EXPECT_EQ(where(c.callName, c.path), c.expected) << c.callName;
}

TEST(ProgramInfoTest, QueriesBeforeInit) {
  ASSERT_FALSE(initDone);  // no parse ever runs in this process, only in children
  CmdLineOption* const options[] = {&optV, nullptr};
  int given = -1;
  const std::string notCalled = "InternalError: ProgramInfo::init() not called in ";
  EXPECT_EQ(describeError([] { info.CallPath(); }), notCalled + "CallPath");
  EXPECT_EQ(describeError([] { info.ProgramPath(); }), notCalled + "ProgramPath");
  EXPECT_EQ(describeError([&] { info.exclude(options, options); }), notCalled + "exclude");
  EXPECT_EQ(describeError([&] { info.countOptions(options, given, "or", false); }),
            notCalled + "countOptions");
  EXPECT_EQ(describeError([&] { info.requireOne(options); }), notCalled + "countOptions");
  EXPECT_EQ(given, -1);
}

TEST(ProgramInfoTest, OneInstancePerProcess) {
  const std::string violation =
      "InternalError: It's not allowed to construct more than one instance of a singleton";
  EXPECT_EQ(describeError([] { ProgramInfo second("Other", 0, 1, nullptr, nullptr); }), violation);
  // The failed construction is not counted: the rule still holds, and errors still name Prog.
  EXPECT_EQ(describeError([] { ProgramInfo third("Other", 0, 1, nullptr, nullptr); }), violation);
  EXPECT_EQ(kel::err::Error("x").message(), "Error in Prog: x");
}

TEST(ProgramInfoTest, OptionConstraints) {
  const auto check = [](const std::vector<std::string>& words,
                        const std::function<std::string()>& code) {
    return inChild([&] {
      testutil::parse(info, words);
      return code();
    });
  };
  CmdLineOption* const vi[] = {&optV, &optI, nullptr};
  CmdLineOption* const iL[] = {&optI, &optL, nullptr};
  CmdLineOption* const viL[] = {&optV, &optI, &optL, nullptr};
  CmdLineOption* const v[] = {&optV, nullptr};
  CmdLineOption* const none[] = {nullptr};
  const std::string info_ = "InfoError: Error in Prog: ";

  const struct {
    std::vector<std::string> words;
    std::function<std::string()> code;
    std::string expected;
  } cases[] = {
      {{"-vi", "a", "b"},
       [&] { return describeError([&] { info.exclude(vi, iL); }); },
       info_ + "Option -v can't be used together with -i"},
      // An option is not reported against itself, and a default is not "given".
      {{"-i", "a", "b"}, [&] { return describeError([&] { info.exclude(vi, iL); }); }, ""},
      {{"-i", "-L5", "a", "b"},
       [&] { return describeError([&] { info.exclude(vi, iL); }); },
       info_ + "Option -i can't be used together with -L"},
      {{"a", "b"},
       [&] { return describeError([&] { info.requireOne(viL); }); },
       info_ + "You have to specify one of the options -v, -i or -L."},
      {{"a", "b"},
       [&] { return describeError([&] { info.requireOne(v); }); },
       info_ + "You have to specify one of the options -v."},
      {{"-i", "a", "b"}, [&] { return describeError([&] { info.requireOne(viL); }); }, ""},
      {{"-v", "-L5", "a", "b"},
       [&] {
         std::string out;
         for (const auto& [list, conjunction, onlyGiven] :
              {std::tuple{viL, "and", true}, {viL, "or", false}, {none, "or", false}}) {
           int given = -1;
           out += info.countOptions(list, given, conjunction, onlyGiven);
           out += "|" + std::to_string(given) + "|";
         }
         return out;
       },
       " -v and -L|2| -v, -i or -L|2||0|"},
      {{"-v", "a", "b"},
       [&] { return describeError([&] { info.needs(optE, optV); }); },
       info_ + "Specifying option -v does not make sense without option -e"},
      // A required option with a default is always present.
      {{"-v", "a", "b"}, [&] { return describeError([&] { info.needs(optL, optV); }); }, ""},
      {{"a", "b"}, [&] { return describeError([&] { info.needs(optE, optV); }); }, ""},
      {{"a", "b"},
       [&] { return describeError([&] { info.usageError("bad use"); }); },
       info_ + "bad use"},
  };
  for (const auto& c : cases) EXPECT_EQ(check(c.words, c.code), c.expected) << c.expected;
}

}  // namespace
