// An option letter without argument (a flag), and the option half of every option class.
//
// Constructing an option appends it to optionList(). After ProgramInfo::init, isActive() says
// whether a flag was given; for options with an argument it says whether the option holds a
// value (given or default), and isGiven() whether that value came from the command line.
#ifndef CORVEX_KEL_CMDLINE_CMD_LINE_OPTION_H
#define CORVEX_KEL_CMDLINE_CMD_LINE_OPTION_H

#include <ostream>

#include "kel/cmdline/cmd_line_help_text.h"

namespace kel::cmdline {

class ProgramInfo;

class CmdLineOption : public virtual CmdLineHelpText {
 public:
  CmdLineOption(char letter, const char* help);

  // A flag: whether it was given. Argument options: whether the value came from the command line.
  virtual bool isGiven() const;
  // Takes the option out of force.
  virtual void reset();
  // Writes the option's head in the help: '-', the letter and blanks (for an option with an
  // argument, its usage name before the blanks), optionArgWidth + 3 characters in all.
  virtual void printHead(std::ostream& os) const;
  virtual bool takesArgument() const;
  ~CmdLineOption() override = default;

  bool isActive() const { return active; }
  char letter() const { return letter_; }

 protected:
  bool active = false;

 private:
  friend class ProgramInfo;  // the parser switches flags on
  const char letter_;
};

}  // namespace kel::cmdline

#endif
