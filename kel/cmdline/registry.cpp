#include "kel/cmdline/registry.h"

namespace kel::cmdline {

std::vector<CmdLineOption*>& optionList() {
  static std::vector<CmdLineOption*> list;
  return list;
}

std::vector<CmdLineArgument*>& argumentList() {
  static std::vector<CmdLineArgument*> list;
  return list;
}

std::vector<CmdLineAnnotation*>& annotationList() {
  static std::vector<CmdLineAnnotation*> list;
  return list;
}

// Constant-initialised, so they hold their values before any item is constructed.
unsigned optionArgWidth = 0;
unsigned argumentWidth = 6;
bool initDone = false;

}  // namespace kel::cmdline
