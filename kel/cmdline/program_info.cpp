#include "kel/cmdline/program_info.h"

#include <array>
#include <cstdlib>
#include <iomanip>
#include <memory>

#include "kel/cmdline/cmd_line_annotation.h"
#include "kel/cmdline/cmd_line_argument_option.h"
#include "kel/cmdline/cmdline_errors.h"
#include "kel/cmdline/print_wrapped.h"
#include "kel/cmdline/registry.h"
#include "kel/cmdline/repeatable_cmd_line_argument.h"
#include "kel/err/error.h"
#include "kel/err/format.h"
#include "kel/err/kel_assert.h"
#include "kel/file/file_util.h"
#include "kel/file/path_separator.h"
#include "kel/sys_dep/path.h"

namespace kel::cmdline {

namespace {

// Number of live ProgramInfo objects.
int instances = 0;

constexpr unsigned helpWidth = 78;

const char* const longOptionDetails =
    "Valid options are:\n"
    "     --help          show command line help\n"
    "     --multi         allow to use args multiple (behind this option)\n";

void writeSeparator(std::ostream& os) { os << ' ' << std::string(helpWidth, '-') << '\n'; }

// Whether a word that begins with '-' or '/' asks for help.
bool isHelpRequest(const std::string& word) {
  if (word.size() < 2) return false;
  // On POSIX a word beginning with '/' is a path ("/home/site"), so only the exact help words
  // count; with '\' as separator paths never begin with '/'.
  if (word[0] == '/' && kel::file::pathSeparator == '/')
    return word == "/h" || word == "/?" || word == "/help" || word == "/-help";
  return word[1] == '?' || word[1] == 'h' || word.compare(1, std::string::npos, "-help") == 0;
}

}  // namespace

ProgramInfo::ProgramInfo(const char* name, int major, int minor, const char* purpose,
                         const char* date)
    : name_(name ? name : ""),
      major_(major),
      minor_(minor),
      purpose_(purpose ? purpose : ""),
      date_(date ? date : "") {
  if (++instances > 1) {
    // The destructor does not run for a constructor that throws, so undo the count here.
    --instances;
    singletonViolation();
  }
  err::Error::setDefaultWhere(name_);
}

ProgramInfo::~ProgramInfo() { --instances; }

namespace {

using ArgumentCursor = std::vector<CmdLineArgument*>::iterator;

// Two options with one letter are a fault of the program, not of its user.
void checkOptionLetters() {
  std::array<bool, 256> declared{};
  for (CmdLineOption* option : optionList()) {
    bool& seen = declared[static_cast<unsigned char>(option->letter())];
    if (seen) {
      throw err::InternalError(std::string("Duplicated usage of option character '") +
                               option->letter() + "'");
    }
    seen = true;
  }
}

CmdLineOption* optionOf(char letter) {
  for (CmdLineOption* candidate : optionList()) {
    if (candidate->letter() == letter) return candidate;
  }
  return nullptr;
}

// Gives word to the positional argument at cursor, or to a later one when a repeatable argument
// at cursor has all it may take or does not accept it.
void assignPositional(const std::string& word, ArgumentCursor& cursor, const ProgramInfo* info) {
  for (;;) {
    if (cursor == argumentList().end()) {
      throw InfoError(true, "Superfluous argument '" + word + "'", info);
    }
    CmdLineArgument* argument = *cursor;
    auto* repeatable = dynamic_cast<RepeatableCmdLineArgument*>(argument);
    if (!repeatable) {
      argument->setValue(word, false);
      ++cursor;
      return;
    }
    if (repeatable->count() < repeatable->minCount()) {
      repeatable->setValue(word, false);
      return;
    }
    if (repeatable->accepts(&word)) {
      const bool last = repeatable->count() == repeatable->maxCount() - 1;
      repeatable->setValue(word, false);
      if (last) ++cursor;
      return;
    }
    ++cursor;
  }
}

// The positional arguments from cursor on that still lack a value.
void checkMissing(ArgumentCursor cursor, const ProgramInfo* info) {
  std::string missing;
  for (; cursor != argumentList().end(); ++cursor) {
    auto* repeatable = dynamic_cast<RepeatableCmdLineArgument*>(*cursor);
    const bool satisfied =
        repeatable && repeatable->count() >= repeatable->minCount() && repeatable->accepts(nullptr);
    if (!satisfied) missing += " " + (*cursor)->usageName();
  }
  if (!missing.empty()) throw InfoError(true, "Missing arguments:" + missing, info);
}

}  // namespace

void ProgramInfo::readShortOptions(const std::string& word, int& i, int argc,
                                   const char* const argv[], bool multi) {
  const ProgramInfo* const info = this;
  if (word.size() == 1) throw InfoError(true, "character awaited behind '-'", info);
  for (std::size_t p = 1; p < word.size(); ++p) {
    const char c = word[p];
    CmdLineOption* option = optionOf(c);
    if (!option) throw InfoError(true, std::string("Unknown option '-") + c + "'", info);
    if (option->isGiven() && !multi) {
      throw InfoError(true,
                      std::string("Option '-") + c +
                          "' was already used (preceed with --multi to avoid this warning).",
                      info);
    }
    if (!option->takesArgument()) {
      option->active = true;
      continue;
    }
    // Every option that takes an argument is also an argument.
    auto* argument = dynamic_cast<CmdLineArgument*>(option);
    kel_assert(argument != nullptr);
    std::string value = word.substr(p + 1);
    if (value.empty() && i < argc - 1) {
      ++i;
      value = argv[i] ? argv[i] : "";
    }
    if (value.empty()) {
      throw InfoError(
          true, std::string("Option -") + c + " awaits argument " + argument->usageName(), info);
    }
    argument->setValue(value, false);
    return;
  }
}

void ProgramInfo::markDefaults() {
  for (CmdLineOption* option : optionList()) {
    auto* withArgument = dynamic_cast<CmdLineArgumentOption*>(option);
    if (withArgument && !withArgument->value().empty()) withArgument->markDefault();
  }
  for (CmdLineArgument* argument : argumentList()) {
    if (!argument->value().empty()) argument->markDefault();
  }
}

void ProgramInfo::init(int argc, const char* const argv[]) {
  static std::unique_ptr<Terminator> terminator;
  if (!terminator) terminator = std::make_unique<Terminator>();
  checkOptionLetters();
  markDefaults();
  locateProgram(argc > 0 && argv ? argv[0] : nullptr);

  bool multi = false;
  ArgumentCursor cursor = argumentList().begin();
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i] ? argv[i] : "";
    const bool optionLike = !word.empty() && (word[0] == '-' || word[0] == '/');
    if (optionLike && isHelpRequest(word)) throw InfoError(false, "Help requested", this);
    if (optionLike && word[0] == '-') {
      if (word.size() >= 2 && word[1] == '-') {
        if (compareNoCase(word.substr(2), "multi") != 0) {
          throw StringError(true, "Unknown long option '" + word + "'", longOptionDetails);
        }
        multi = true;
      } else {
        readShortOptions(word, i, argc, argv, multi);
      }
      continue;
    }
    assignPositional(word, cursor, this);
  }
  checkMissing(cursor, this);
  initDone = true;
}

const std::string& ProgramInfo::CallPath() const {
  requireInit("CallPath");
  return callPath_;
}

const std::string& ProgramInfo::ProgramPath() const {
  requireInit("ProgramPath");
  return programPath_;
}

void ProgramInfo::locateProgram(const char* argv0) {
  const std::string called = argv0 ? argv0 : "";
  callPath_ = file::currentDirectory();
  if (tryProgramLocation(called)) return;
  if (tryProgramLocation("./" + called)) return;
  const sys_dep::Path searchPath;
  for (const std::string& dir : searchPath.dirs()) {
    if (tryProgramLocation(dir + "/" + called)) return;
  }
  if (programPath_.empty()) {
    throw err::Error(
        format("Can't detect location of %s.exe -- please call with full pathname", name_.c_str()));
  }
}

bool ProgramInfo::tryProgramLocation(const std::string& candidate) {
  const std::string path =
      file::pathSeparator == '\\' ? file::toWindowsPath(candidate) : file::toPosixPath(candidate);
  assertNotNull(path.size());
  if (!file::isFile(path) && !file::isFile(path + ".exe")) return false;
  programPath_ = file::dirName(path);
  // A program in the root directory: its directory is the root, not the empty text.
  if (programPath_.empty() && (path[0] == '/' || path[0] == '\\')) programPath_ = path.substr(0, 1);
  return true;
}

void ProgramInfo::printHelp(std::ostream& os) const {
  os << '\n';
  writeSeparator(os);
  os << ' ' << name_ << ' ' << major_ << '.' << std::setw(2) << std::setfill('0') << minor_
     << std::setfill(' ') << "   ---   " << date_ << '\n';
  writeSeparator(os);
  os << " Purpose: ";
  printWrapped(os, 9, 1, helpWidth, purpose_);

  os << " Usage  : " << name_;
  if (!optionList().empty()) os << " <opts>";
  for (const CmdLineArgument* argument : argumentList()) os << ' ' << argument->usageName();
  os << "\n\n";

  if (!argumentList().empty()) {
    for (const CmdLineArgument* argument : argumentList()) {
      std::string label = "<" + argument->name() + ">";
      if (label.size() < argumentWidth) label.resize(argumentWidth, ' ');
      label += "::= ";
      os << ' ' << label;
      printWrapped(os, label.size(), 1, helpWidth, argument->getHelpText());
    }
    os << '\n';
  }

  const unsigned labelWidth = 10;
  const unsigned headWidth = optionArgWidth + 3;
  const std::vector<CmdLineAnnotation*>& annotations = annotationList();
  auto nextAnnotation = annotations.begin();
  int k = 0;
  for (const CmdLineOption* option : optionList()) {
    const std::string label = k == 0 ? "<opts>::= " : std::string(labelWidth, ' ');
    os << ' ' << label;
    if (nextAnnotation != annotations.end() && (*nextAnnotation)->position() == k) {
      const std::string& text = (*nextAnnotation)->text();
      printWrapped(os, labelWidth, 1, helpWidth,
                   (*nextAnnotation)->separated() ? "\n" + text + "\n" : text);
      os << ' ' << std::string(labelWidth, ' ');
      ++nextAnnotation;
    }
    option->printHead(os);
    printWrapped(os, labelWidth + headWidth, 1, helpWidth, option->getHelpText());
    ++k;
  }
  for (; nextAnnotation != annotations.end(); ++nextAnnotation) {
    printWrapped(os, optionList().empty() ? 0 : labelWidth, 1, helpWidth,
                 "\n" + (*nextAnnotation)->text() + "\n");
  }

  writeSeparator(os);
  os << " Contact: " << contactAddress() << '\n';
  writeSeparator(os);
}

std::string ProgramInfo::contactAddress() const { return name_ + "@" + err::bugReportDomain; }

void ProgramInfo::exclude(CmdLineOption* const first[], CmdLineOption* const second[]) const {
  requireInit("exclude");
  for (CmdLineOption* const* a = first; *a; ++a) {
    if (!(*a)->isGiven()) continue;
    for (CmdLineOption* const* b = second; *b; ++b) {
      if (*b != *a && (*b)->isGiven()) {
        throw InfoError(true,
                        std::string("Option -") + (*a)->letter() +
                            " can't be used together with -" + (*b)->letter(),
                        this);
      }
    }
  }
}

void ProgramInfo::requireOne(CmdLineOption* const options[]) const {
  int given = 0;
  const std::string list = countOptions(options, given, "or", false);
  if (given == 0)
    throw InfoError(true, "You have to specify one of the options" + list + ".", this);
}

void ProgramInfo::needs(const CmdLineOption& required, const CmdLineOption& dependent) const {
  if (dependent.isGiven() && !required.isActive()) {
    throw InfoError(true,
                    std::string("Specifying option -") + dependent.letter() +
                        " does not make sense without option -" + required.letter(),
                    this);
  }
}

std::string ProgramInfo::countOptions(CmdLineOption* const options[], int& given,
                                      const std::string& conjunction, bool onlyGiven) const {
  requireInit("countOptions");
  int length = 0;
  given = 0;
  for (CmdLineOption* const* o = options; *o; ++o) {
    ++length;
    if ((*o)->isGiven()) ++given;
  }
  const int total = onlyGiven ? given : length;
  std::string text;
  int k = 0;
  for (CmdLineOption* const* o = options; *o; ++o) {
    if (onlyGiven && !(*o)->isGiven()) continue;
    ++k;
    // A list of one option is just that option, without a conjunction in front.
    if (k == total && k != 1)
      text += " " + conjunction;
    else if (k != 1)
      text += ",";
    text += std::string(" -") + (*o)->letter();
  }
  return text;
}

void ProgramInfo::usageError(const std::string& message) const {
  throw InfoError(true, message, this);
}

void ProgramInfo::requireInit(const char* operation) const {
  if (!initDone)
    throw err::InternalError(std::string("ProgramInfo::init() not called in ") + operation);
}

}  // namespace kel::cmdline
