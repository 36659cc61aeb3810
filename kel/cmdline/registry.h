// The process-wide lists in which command-line items register themselves while they are
// constructed, and the widths the help layout derives from them.
//
// The lists hold non-owning pointers in construction order and are created on first use, so
// items defined at namespace scope in any translation unit may register during static
// initialisation. Items are never removed: every item must live until the process ends.
#ifndef CORVEX_KEL_CMDLINE_REGISTRY_H
#define CORVEX_KEL_CMDLINE_REGISTRY_H

#include <vector>

namespace kel::cmdline {

class CmdLineOption;
class CmdLineArgument;
class CmdLineAnnotation;

// Every option of every option class.
std::vector<CmdLineOption*>& optionList();
// Every argument constructed as positional.
std::vector<CmdLineArgument*>& argumentList();
// Every annotation.
std::vector<CmdLineAnnotation*>& annotationList();

// Greatest length of the usage name of any option that takes an argument.
extern unsigned optionArgWidth;
// Greatest length of "<name>" of any positional argument, at least 6 (the length of "<opts>").
extern unsigned argumentWidth;
// True once ProgramInfo::init has returned normally.
extern bool initDone;

}  // namespace kel::cmdline

#endif
