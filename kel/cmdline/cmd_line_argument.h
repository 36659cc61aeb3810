// A positional argument, and the argument half of every option class that takes a value.
//
// Constructed as positional, the argument is appended to argumentList() and receives the next
// free positional word of the command line. value() is the current text: the declared default
// until the command line gives one. Once ProgramInfo::init has marked the default, the help
// text ends with " [Default=<declared default>]".
#ifndef CORVEX_KEL_CMDLINE_CMD_LINE_ARGUMENT_H
#define CORVEX_KEL_CMDLINE_CMD_LINE_ARGUMENT_H

#include <string>

#include "kel/cmdline/cmd_line_help_text.h"

namespace kel::cmdline {

class ProgramInfo;

class CmdLineArgument : public virtual CmdLineHelpText {
 public:
  // A null name or default counts as empty.
  CmdLineArgument(const char* name, const char* help, const char* defaultValue = nullptr,
                  bool positional = true);

  // Whether the current value came from the command line.
  virtual bool isGiven() const;
  // The current value (a repeatable argument hands out its values one after the other).
  virtual std::string getValue();
  // getValue() as a number: decimal digits only, or "0x" and hexadecimal digits; the empty text
  // is 0. Anything else, and any number outside the range of int, throws kel::err::Error
  // "Numeric argument awaited in <name> '<text>' (dec or hex '0x..') ".
  virtual int getInt();
  // getValue() as a number: digits with at most one '.' or ',' (both mean the point); the empty
  // text is 0. Anything else throws kel::err::Error "Floating point argument awaited in <name>
  // '<text>'" (with ',' shown as '.').
  virtual double getFloat();
  // Stores v; it counts as given unless isDefault.
  virtual void setValue(const std::string& v, bool isDefault);
  // "<name>"
  virtual std::string usageName() const;
  ~CmdLineArgument() override = default;
  std::string getHelpText() const override;

  const std::string& value() const { return value_; }
  const std::string& name() const { return name_; }
  bool hasDefault() const { return hasDefault_; }

 protected:
  // The current value replaced without any other effect (repeatable storage builds on it).
  void storeValue(const std::string& v, bool isDefault);
  // The current value replaced; whether it counts as given stays as it was.
  void replaceValue(const std::string& v) { value_ = v; }
  // Forgets value and default (option reset).
  void clearValue();

 private:
  friend class ProgramInfo;  // marks the defaults before the command line is read
  void markDefault();

  const std::string name_;
  std::string value_;
  bool hasDefault_ = false;
  std::string shownDefault_;  // the value when the default was marked
  bool given_ = false;
};

}  // namespace kel::cmdline

#endif
