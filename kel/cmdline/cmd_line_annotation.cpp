#include "kel/cmdline/cmd_line_annotation.h"

#include "kel/cmdline/registry.h"

namespace kel::cmdline {

CmdLineAnnotation::CmdLineAnnotation(const char* text, bool separated)
    : CmdLineHelpText(text),
      position_(static_cast<int>(optionList().size())),
      separated_(separated) {
  annotationList().push_back(this);
}

}  // namespace kel::cmdline
