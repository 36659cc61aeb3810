#include "kel/cmdline/repeated_cmd_line_argument_option.h"

#include <algorithm>
#include <string>

#include "kel/cmdline/registry.h"

namespace kel::cmdline {

namespace {

bool acceptAll(const std::string*) { return true; }

}  // namespace

RepeatedCmdLineArgumentOption::RepeatedCmdLineArgumentOption(char letter, const char* argName,
                                                             char separator, const char* help,
                                                             const char* defaultValue)
    : CmdLineHelpText(help),
      CmdLineOption(letter, help),
      RepeatableCmdLineArgument(argName, help, 1, -1, acceptAll, false),
      separator_(separator) {
  if (defaultValue) setValue(defaultValue, true);
  optionArgWidth = std::max<unsigned>(optionArgWidth, usageName().size());
}

bool RepeatedCmdLineArgumentOption::isGiven() const { return RepeatableCmdLineArgument::isGiven(); }

void RepeatedCmdLineArgumentOption::reset() {
  active = false;
  if (!value().empty()) clearValue();
}

void RepeatedCmdLineArgumentOption::printHead(std::ostream& os) const {
  const std::string usage = usageName();
  const unsigned padding = usage.size() <= optionArgWidth ? optionArgWidth - usage.size() + 1 : 1;
  os << '-' << letter() << usage << std::string(padding, ' ');
}

bool RepeatedCmdLineArgumentOption::takesArgument() const { return true; }

void RepeatedCmdLineArgumentOption::setValue(const std::string& v, bool isDefault) {
  active = true;
  std::string::size_type start = 0;
  while (start <= v.size()) {
    auto end = v.find(separator_, start);
    if (end == std::string::npos) end = v.size();
    if (end > start) RepeatableCmdLineArgument::setValue(v.substr(start, end - start), isDefault);
    start = end + 1;
  }
}

std::string RepeatedCmdLineArgumentOption::usageName() const {
  const std::string u = "<" + name() + ">";
  return u + "[" + separator_ + u + "]*";
}

}  // namespace kel::cmdline
