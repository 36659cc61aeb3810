// The help text that every command-line item carries (the virtual base of every item class).
//
// The text may hold '\n' characters; the help printer starts a new, indented line at each.
#ifndef CORVEX_KEL_CMDLINE_CMD_LINE_HELP_TEXT_H
#define CORVEX_KEL_CMDLINE_CMD_LINE_HELP_TEXT_H

#include <string>

#include "kel/err/noncopyable.h"

namespace kel::cmdline {

class CmdLineHelpText : kel_boost::noncopyable {
 public:
  explicit CmdLineHelpText(const char* help) : helpText(help ? help : "") {}
  virtual ~CmdLineHelpText() = default;

  // The text as the help prints it; the declared text unless a subclass adds to it.
  virtual std::string getHelpText() const { return helpText; }

 protected:
  const std::string helpText;  // as declared
};

}  // namespace kel::cmdline

#endif
