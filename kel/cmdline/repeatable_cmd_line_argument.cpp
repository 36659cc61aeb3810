#include "kel/cmdline/repeatable_cmd_line_argument.h"

namespace kel::cmdline {

RepeatableCmdLineArgument::RepeatableCmdLineArgument(const char* name, const char* help,
                                                     int minCount, int maxCount,
                                                     AcceptFunction accept, bool positional)
    : CmdLineHelpText(help),
      CmdLineArgument(name, help, nullptr, positional),
      minCount_(minCount),
      maxCount_(maxCount),
      accept_(accept) {}

std::string RepeatableCmdLineArgument::getValue() {
  std::string r = value();
  if (!r.empty()) consumed_.push_back(r);
  // Reading does not change whether the values were given.
  if (pending_.empty()) {
    replaceValue("");
  } else {
    replaceValue(pending_.front());
    pending_.pop_front();
  }
  return r;
}

void RepeatableCmdLineArgument::setValue(const std::string& v, bool isDefault) {
  if (value().empty()) {
    storeValue(v, isDefault);
  } else {
    pending_.push_back(v);
  }
  ++count_;
}

std::string RepeatableCmdLineArgument::usageName() const {
  std::string usage = "[<" + name() + ">]";
  if (minCount_ != 0)
    usage += '+';
  else if (maxCount_ > 1 || maxCount_ == -1)
    usage += '*';
  return usage;
}

void RepeatableCmdLineArgument::rewind() {
  while (!getValue().empty()) {
  }
  pending_.splice(pending_.end(), consumed_);
  getValue();
}

}  // namespace kel::cmdline
