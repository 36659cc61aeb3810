// The command-line parser over arbitrary words.
//
// Input: the command-line words, separated by NUL bytes. They are parsed against a declaration of
// every kind of item the parser knows (made afresh for each input, so no input sees the state of
// another): positional arguments, one of them repeatable; flags; options with and without a
// default; an option that is repeated and split at ';'.
// Properties: a command line is taken, or refused with one of the parser's errors (never an
// internal error or another exception), and every error prints, with the help text where it
// carries it; a taken line fills every required positional argument; numeric values convert or
// fail with the documented error.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "kel/cmdline/cmdline.h"
#include "kel/cmdline/cmdline_errors.h"
#include "kel/cmdline/registry.h"
#include "kel/err/error.h"

using namespace kel::cmdline;

namespace {

std::string programFile = "corvex";

bool acceptPlain(const std::string* word) { return !word || (!word->empty() && (*word)[0] != '+'); }

// The items of one command line; constructing them registers them, in this order.
struct Declarations {
  CmdLineArgument search{"search", "string to search for", nullptr, true};
  CmdLineArgument indexDir{"index-dir", "directory for search indices", nullptr, true};
  RepeatableCmdLineArgument roots{"root", "root directories", 1, 3, acceptPlain, true};
  CmdLineArgumentOption extensions{'e', "extensions", "extensions of HTML files", ".htm;.html"};
  CmdLineOption verbose{'v', "be verbose."};
  CmdLineOption ignoreCase{'i', "ignore case."};
  CmdLineArgumentOption length{'L', "len", "Maximum length of text per result", "300"};
  CmdLineArgumentOption ratio{'r', "ratio", "a floating point value", nullptr};
  RepeatedCmdLineArgumentOption ids{'n', "id", ';', "ids a file name must contain", nullptr};
  CmdLineAnnotation note{"An annotation that is wrapped to the width of the help text.", true};
};

void clearRegistry() {
  optionList().clear();
  argumentList().clear();
  annotationList().clear();
  optionArgWidth = 0;
  argumentWidth = 6;
  initDone = false;
}

void checkNumber(CmdLineArgument& argument, bool floating) {
  try {
    if (floating) {
      argument.getFloat();
    } else {
      argument.getInt();
    }
  } catch (const kel::err::Error& e) {
    const std::string what = e.what();
    fuzz::check(what.rfind(floating ? "Floating point argument awaited in <"
                                    : "Numeric argument awaited in <",
                           0) == 0,
                "a value that is no number gives the documented error", what);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  if (*argc > 0) programFile = (*argv)[0];
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ProgramInfo program("Corvex", 0, 9, "fuzzed command lines", "today");
  std::vector<std::string> words{programFile};
  fuzz::Fields fields(data, size);
  while (!fields.rest().empty() && words.size() < 40) words.emplace_back(fields.next('\0'));
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  argv.push_back(nullptr);

  clearRegistry();
  {
    Declarations items;
    try {
      program.init(static_cast<int>(words.size()), argv.data());
      fuzz::check(items.search.isGiven() && items.indexDir.isGiven() && items.roots.count() >= 1,
                  "a taken command line fills every required argument");
      checkNumber(items.length, false);
      checkNumber(items.ratio, true);
      std::ostringstream help;
      program.printHelp(help);
    } catch (const kel::err::InternalError& e) {
      fuzz::fail("no command line gives an internal error", e.what());
    } catch (const kel::err::Error& e) {
      fuzz::check(e.what()[0] != '\0', "a refused command line says why");
      std::ostringstream printed;
      e.print(printed);
      const bool withHelp = dynamic_cast<const InfoError*>(&e) != nullptr;
      fuzz::check(!withHelp || printed.str().find(" Usage  : Corvex") != std::string::npos,
                  "a usage error prints the help text", printed.str());
    }
  }
  clearRegistry();
  return 0;
}
