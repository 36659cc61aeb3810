#include "kel/cmdline/cmd_line_option.h"

#include <string>

#include "kel/cmdline/registry.h"

namespace kel::cmdline {

CmdLineOption::CmdLineOption(char letter, const char* help)
    : CmdLineHelpText(help), letter_(letter) {
  optionList().push_back(this);
}

bool CmdLineOption::isGiven() const { return active; }

void CmdLineOption::reset() { active = false; }

void CmdLineOption::printHead(std::ostream& os) const {
  os << '-' << letter_ << std::string(optionArgWidth + 1, ' ');
}

bool CmdLineOption::takesArgument() const { return false; }

}  // namespace kel::cmdline
