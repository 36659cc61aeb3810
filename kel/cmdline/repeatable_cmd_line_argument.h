// An argument that stores a sequence of values.
//
// setValue appends a value. getValue() hands the stored values out one after the other, in the
// order they were stored, and then the empty text; rewind() starts a new pass over all of them.
// As a positional argument it takes every positional word while it holds fewer than minCount
// values; after that the parser asks accept(&word) whether it takes the next word, and
// accept(nullptr) whether the command line may end here. maxCount -1 means unlimited.
#ifndef CORVEX_KEL_CMDLINE_REPEATABLE_CMD_LINE_ARGUMENT_H
#define CORVEX_KEL_CMDLINE_REPEATABLE_CMD_LINE_ARGUMENT_H

#include <list>
#include <string>

#include "kel/cmdline/cmd_line_argument.h"

namespace kel::cmdline {

class RepeatableCmdLineArgument : public CmdLineArgument {
 public:
  // A null accept takes every word.
  using AcceptFunction = bool (*)(const std::string* candidate);

  RepeatableCmdLineArgument(const char* name, const char* help, int minCount, int maxCount,
                            AcceptFunction accept, bool positional = true);

  // The next stored value, or the empty text when all were read.
  std::string getValue() override;
  // Appends v.
  void setValue(const std::string& v, bool isDefault) override;
  // "[<name>]" followed by "+" when at least one value is required, by "*" when none is
  // required but several are allowed.
  std::string usageName() const override;

  // Makes the next getValue() calls return every stored value again, from the first.
  void rewind();

  int count() const { return count_; }  // number of values stored so far
  int minCount() const { return minCount_; }
  int maxCount() const { return maxCount_; }
  bool accepts(const std::string* candidate) const { return !accept_ || accept_(candidate); }

 private:
  const int minCount_;
  const int maxCount_;
  const AcceptFunction accept_;
  std::list<std::string> pending_;   // stored after the current value, not yet read
  std::list<std::string> consumed_;  // already read, in order
  int count_ = 0;
};

}  // namespace kel::cmdline

#endif
