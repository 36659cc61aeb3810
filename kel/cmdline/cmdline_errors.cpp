#include "kel/cmdline/cmdline_errors.h"

#include "kel/cmdline/program_info.h"

InfoError::InfoError(bool isError, const std::string& what,
                     const kel::cmdline::ProgramInfo* program)
    : kel::err::Error(isError, what), program_(program) {}

void InfoError::print(std::ostream& os) const {
  if (program_) program_->printHelp(os);
  kel::err::Error::print(os);
}

StringError::StringError(bool isError, const std::string& what, const std::string& details)
    : kel::err::Error(isError, what), details_(details) {}

void StringError::print(std::ostream& os) const {
  kel::err::Error::print(os);
  os << details_;
}
