#include "kel/cmdline/cmd_line_argument_option.h"

#include <algorithm>
#include <iostream>
#include <string>

#include "kel/cmdline/registry.h"
#include "kel/err/error.h"

namespace kel::cmdline {

CmdLineArgumentOption::CmdLineArgumentOption(char letter, const char* argName, const char* help,
                                             const char* defaultValue)
    : CmdLineHelpText(help),
      CmdLineOption(letter, help),
      CmdLineArgument(argName, help, defaultValue, false) {
  if (defaultValue && !*defaultValue) {
    std::cerr << "Empty default argument for option -" << letter << '\n';
    throw err::InternalError("see above");
  }
  active = defaultValue != nullptr;
  optionArgWidth = std::max<unsigned>(optionArgWidth, usageName().size());
}

bool CmdLineArgumentOption::isGiven() const { return CmdLineArgument::isGiven(); }

void CmdLineArgumentOption::reset() {
  active = false;
  if (!value().empty()) clearValue();
}

void CmdLineArgumentOption::printHead(std::ostream& os) const {
  const std::string usage = usageName();
  const unsigned padding = usage.size() <= optionArgWidth ? optionArgWidth - usage.size() + 1 : 1;
  os << '-' << letter() << usage << std::string(padding, ' ');
}

bool CmdLineArgumentOption::takesArgument() const { return true; }

void CmdLineArgumentOption::setValue(const std::string& v, bool isDefault) {
  active = true;
  CmdLineArgument::setValue(v, isDefault);
}

}  // namespace kel::cmdline
