// The two errors of the command-line parser (global namespace, like the application's classes).
//
// InfoError prints the program's complete help text before its message, so every usage problem
// shows the help; StringError prints extra details after its message.
#ifndef CORVEX_KEL_CMDLINE_CMDLINE_ERRORS_H
#define CORVEX_KEL_CMDLINE_CMDLINE_ERRORS_H

#include <ostream>
#include <string>

#include "kel/err/error.h"

namespace kel::cmdline {
class ProgramInfo;
}

class InfoError : public kel::err::Error {
 public:
  // program is not owned and must outlive the error; null prints no help.
  InfoError(bool isError, const std::string& what, const kel::cmdline::ProgramInfo* program);
  ~InfoError() override = default;
  // The help text of program, then "\n", message(), "\n".
  void print(std::ostream& os) const override;

 private:
  const kel::cmdline::ProgramInfo* program_;
};

class StringError : public kel::err::Error {
 public:
  StringError(bool isError, const std::string& what, const std::string& details);
  ~StringError() override = default;
  // "\n", message(), "\n", then the details unchanged.
  void print(std::ostream& os) const override;

  const std::string& details() const { return details_; }

 private:
  std::string details_;
};

#endif
