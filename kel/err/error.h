// The one family of exceptions of the library and the program, and the routines that report them.
//
// An Error carries its message (what()), the location it is reported for (where, copied at
// construction from the process-wide default location, initially "<unknown>") and whether it
// prints as an error line ("Error in <where>: <what>") or a plain line ("<where>: <what>").
// Errors are thrown by value and caught by reference.
#ifndef CORVEX_KEL_ERR_ERROR_H
#define CORVEX_KEL_ERR_ERROR_H

#include <exception>
#include <ostream>
#include <stdexcept>
#include <string>

namespace kel::err {

// The domain of the mail address to which internal errors ask to be reported.
inline constexpr const char* bugReportDomain = "example.org";

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& what);
  explicit Error(const char* what);  // nullptr gives an empty message
  Error(bool isError, const std::string& what);
  Error(bool isError, const char* what);
  ~Error() override = default;

  const char* what() const noexcept override;
  // Writes "\n", message(), "\n" to os; does not flush.
  virtual void print(std::ostream& os) const;
  // The complete printable text: "Error in <where>: <what>" or, for a plain line, "<where>:
  // <what>".
  virtual std::string message() const;

  // Replaces the default location of errors created from now on; returns the one replaced.
  static std::string setDefaultWhere(const std::string& newWhere);
  // The current default location.
  static const std::string& defaultWhere();

  std::string where;  // the location this error is reported for
  bool isError;       // true: prints as "Error in ..."; false: as a plain line
};

// A failed operation on a file. The message starts with the system's text for errno, read when
// the IOError is constructed (so construct it directly after the failing call):
//   "<strerror> ('<name>')" or "<strerror> for <operation> ('<name>')".
class IOError : public Error {
 public:
  explicit IOError(const std::string& name);
  IOError(const std::string& name, const std::string& operation);
};

// A violated internal rule. Prints as "InternalError in <where>: <what>" followed by a line
// "[please report to <default location>.BugReport@<bugReportDomain>]".
class InternalError : public Error {
 public:
  explicit InternalError(const std::string& what);
  std::string message() const override;
};

// Never returns. Throws a copy of e as a plain kel::err::Error if e is one (same what, where,
// isError; dynamic type Error); otherwise throws InternalError("[<type>: <e.what()>]") where
// <type> names the standard class of e ("logic_error", "domain_error", "invalid_argument",
// "length_error", "runtime_error", "range_error", "overflow_error", "underflow_error" or
// "exception").
[[noreturn]] void rethrowAsError(const std::exception& e);

// Prints any standard exception to std::cerr in the form of this family (an Error prints itself,
// anything else as converted by rethrowAsError).
void handle_exception(const std::exception& e);

}  // namespace kel::err

#endif
