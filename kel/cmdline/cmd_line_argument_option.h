// An option letter with one argument ("-L300" or "-L 300").
//
// With a non-empty default the option is active from construction (isGiven() stays false until
// the command line gives a value). A value stored through either half makes the option active.
// Declaring an empty default (as opposed to none, a null pointer) is a declaration fault: the
// constructor writes "Empty default argument for option -<letter>" to std::cerr and throws
// kel::err::InternalError("see above").
#ifndef CORVEX_KEL_CMDLINE_CMD_LINE_ARGUMENT_OPTION_H
#define CORVEX_KEL_CMDLINE_CMD_LINE_ARGUMENT_OPTION_H

#include "kel/cmdline/cmd_line_argument.h"
#include "kel/cmdline/cmd_line_option.h"

namespace kel::cmdline {

class CmdLineArgumentOption : public CmdLineOption, public CmdLineArgument {
 public:
  CmdLineArgumentOption(char letter, const char* argName, const char* help,
                        const char* defaultValue = nullptr);

  bool isGiven() const override;
  // Out of force, and without value or default.
  void reset() override;
  // '-', the letter, "<argName>" and blanks ("-e<extensions> ").
  void printHead(std::ostream& os) const override;
  bool takesArgument() const override;
  ~CmdLineArgumentOption() override = default;
  void setValue(const std::string& v, bool isDefault) override;
};

}  // namespace kel::cmdline

#endif
