// The program's identity, and the object on which its command line is parsed.
//
// One ProgramInfo may live per process (a second one throws the singleton guard's
// kel::err::InternalError). From its construction on, every new kel::err::Error names the
// program as its location.
//
// init(argc, argv) reads the command line into the items declared with the classes of this
// folder (each registers itself when constructed):
//   "-h", "-?" and every word beginning so, and "--help": help request;
//   "/h", "/?", "/help", "/-help": help request (on Windows every word beginning "/h" or "/?");
//   "--multi" (any case): options may be repeated in the words after it;
//   "-abc": short options; a letter that takes an argument takes the rest of the word, or the
//     next word when the rest is empty ("-L300", "-L 300");
//   anything else: the next positional argument.
// Every problem is thrown: InfoError (prints the help first) for help requests and usage
// errors, StringError for an unknown long option, kel::err::Error when the program file cannot
// be found, kel::err::InternalError for two options with one letter. Items keep whatever state
// they reached when a word fails. After a normal return the items hold the parsed values.
#ifndef CORVEX_KEL_CMDLINE_PROGRAM_INFO_H
#define CORVEX_KEL_CMDLINE_PROGRAM_INFO_H

#include <ostream>
#include <string>

#include "kel/cmdline/cmd_line_option.h"
#include "kel/err/noncopyable.h"

namespace kel::cmdline {

class ProgramInfo : kel_boost::noncopyable {
 public:
  // Null texts count as empty.
  ProgramInfo(const char* name, int major, int minor, const char* purpose, const char* date);
  ~ProgramInfo();

  void init(int argc, const char* const argv[]);

  // Working directory when init ran, and the directory of the program file. Both throw
  // kel::err::InternalError("ProgramInfo::init() not called in <CallPath|ProgramPath>") before
  // init has returned normally.
  const std::string& CallPath() const;
  const std::string& ProgramPath() const;

  // Steps of init: records the working directory and finds the program file from argv0 as given,
  // then below the working directory, then in each directory of PATH. Throws kel::err::Error
  // "Can't detect location of <name>.exe -- please call with full pathname" when all fail.
  void locateProgram(const char* argv0);
  // Whether candidate (or candidate + ".exe") names a regular file; if so, its directory
  // becomes the program path.
  bool tryProgramLocation(const std::string& candidate);

  // The complete help text: identity, usage line, arguments, options with annotations, contact.
  void printHelp(std::ostream& os) const;

  // Option constraints, to be checked after init. Lists end with a null pointer.
  // exclude: InfoError "Option -a can't be used together with -b" for the first given pair.
  void exclude(CmdLineOption* const first[], CmdLineOption* const second[]) const;
  // requireOne: InfoError "You have to specify one of the options -a, -b or -c." when none given.
  void requireOne(CmdLineOption* const options[]) const;
  // needs: InfoError "Specifying option -d does not make sense without option -r" when dependent
  // is given and required is not active.
  void needs(const CmdLineOption& required, const CmdLineOption& dependent) const;
  // " -a, -b <conjunction> -c" over all options (or only the given ones); given receives how many
  // of the list were given.
  std::string countOptions(CmdLineOption* const options[], int& given,
                           const std::string& conjunction, bool onlyGiven) const;
  // Always throws InfoError(true, message, this).
  [[noreturn]] void usageError(const std::string& message) const;

  const std::string& name() const { return name_; }
  // name@<mail domain of the build>
  std::string contactAddress() const;

 private:
  void requireInit(const char* operation) const;
  // Marks the value every option and argument has before the command line as its default.
  void markDefaults();
  // Reads the short options of word, argv[i]; a letter that takes an argument takes the rest of
  // the word, or the next word (i then advances).
  void readShortOptions(const std::string& word, int& i, int argc, const char* const argv[],
                        bool multi);

  const std::string name_;
  const int major_;
  const int minor_;
  const std::string purpose_;
  const std::string date_;
  std::string programPath_;
  std::string callPath_;
};

}  // namespace kel::cmdline

#endif
