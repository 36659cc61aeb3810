// Free text in the options section of the help, placed before the option that was declared
// next after it (an annotation declared after the last option follows all options).
// A separated annotation is set off by a blank line before and after it.
#ifndef CORVEX_KEL_CMDLINE_CMD_LINE_ANNOTATION_H
#define CORVEX_KEL_CMDLINE_CMD_LINE_ANNOTATION_H

#include <string>

#include "kel/cmdline/cmd_line_help_text.h"

namespace kel::cmdline {

class CmdLineAnnotation : public virtual CmdLineHelpText {
 public:
  explicit CmdLineAnnotation(const char* text, bool separated = false);
  ~CmdLineAnnotation() override = default;

  // Number of options declared before this annotation.
  int position() const { return position_; }
  bool separated() const { return separated_; }
  const std::string& text() const { return helpText; }

 private:
  const int position_;
  const bool separated_;
};

}  // namespace kel::cmdline

#endif
