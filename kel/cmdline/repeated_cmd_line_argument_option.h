// An option letter whose argument is split at a separator and may be given several times
// (after "--multi"): "-n a;b" stores the values "a" and "b"; empty pieces are dropped.
//
// Values are read with getValue() until it returns the empty text; rewind() starts a new pass.
// A default is stored as the first values; values from the command line follow it.
#ifndef CORVEX_KEL_CMDLINE_REPEATED_CMD_LINE_ARGUMENT_OPTION_H
#define CORVEX_KEL_CMDLINE_REPEATED_CMD_LINE_ARGUMENT_OPTION_H

#include "kel/cmdline/cmd_line_option.h"
#include "kel/cmdline/repeatable_cmd_line_argument.h"

namespace kel::cmdline {

class RepeatedCmdLineArgumentOption : public CmdLineOption, public RepeatableCmdLineArgument {
 public:
  RepeatedCmdLineArgumentOption(char letter, const char* argName, char separator, const char* help,
                                const char* defaultValue = nullptr);

  bool isGiven() const override;
  // Out of force and without current value; values already stored stay stored.
  void reset() override;
  // '-', the letter, the usage name ("-n<id>[;<id>]*") and blanks.
  void printHead(std::ostream& os) const override;
  bool takesArgument() const override;
  ~RepeatedCmdLineArgumentOption() override = default;
  // Stores every non-empty piece of v between separators, in order.
  void setValue(const std::string& v, bool isDefault) override;
  // "<name>[<separator><name>]*"
  std::string usageName() const override;

 private:
  const char separator_;
};

}  // namespace kel::cmdline

#endif
