#include "kel/err/error.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>
#include <typeinfo>

#include "kel/err/format.h"

namespace kel::err {

namespace {

// The location every new error is reported for; the program identity sets it to the program name.
std::string& defaultLocation() {
  // A function-local object, so errors constructed during static initialisation find it ready.
  static std::string where = "<unknown>";
  return where;
}

std::string systemMessage(int error, const std::string& tail) {
  return std::string(std::strerror(error)) + tail;
}

// The name of the most specific standard exception class that e belongs to.
const char* standardTypeName(const std::exception& e) {
  if (dynamic_cast<const std::logic_error*>(&e)) {
    if (dynamic_cast<const std::domain_error*>(&e)) return "domain_error";
    if (dynamic_cast<const std::invalid_argument*>(&e)) return "invalid_argument";
    if (dynamic_cast<const std::length_error*>(&e)) return "length_error";
    return "logic_error";
  }
  if (dynamic_cast<const std::runtime_error*>(&e)) {
    if (dynamic_cast<const std::range_error*>(&e)) return "range_error";
    if (dynamic_cast<const std::overflow_error*>(&e)) return "overflow_error";
    if (dynamic_cast<const std::underflow_error*>(&e)) return "underflow_error";
    return "runtime_error";
  }
  return "exception";
}

}  // namespace

Error::Error(const std::string& what) : Error(true, what) {}

Error::Error(const char* what) : Error(true, what) {}

Error::Error(bool isError, const std::string& what)
    : std::runtime_error(what), where(defaultLocation()), isError(isError) {}

Error::Error(bool isError, const char* what) : Error(isError, std::string(what ? what : "")) {}

const char* Error::what() const noexcept { return std::runtime_error::what(); }

void Error::print(std::ostream& os) const { os << '\n' << message() << '\n'; }

std::string Error::message() const {
  if (isError) return format("Error in %s: %s", where.c_str(), what());
  return format("%s: %s", where.c_str(), what());
}

std::string Error::setDefaultWhere(const std::string& newWhere) {
  std::string previous = defaultLocation();
  defaultLocation() = newWhere;
  return previous;
}

const std::string& Error::defaultWhere() { return defaultLocation(); }

// errno is read while the argument is evaluated, before anything else can change it.
IOError::IOError(const std::string& name) : Error(systemMessage(errno, " ('" + name + "')")) {}

IOError::IOError(const std::string& name, const std::string& operation)
    : Error(systemMessage(errno, " for " + operation + " ('" + name + "')")) {}

InternalError::InternalError(const std::string& what) : Error(true, what) {}

std::string InternalError::message() const {
  const std::string address = defaultLocation() + ".BugReport@" + bugReportDomain;
  return format("InternalError in %s: %s\n[please report to %s]", where.c_str(), what(),
                address.c_str());
}

void rethrowAsError(const std::exception& e) {
  if (const auto* error = dynamic_cast<const Error*>(&e)) throw Error(*error);
  throw InternalError(std::string("[") + standardTypeName(e) + ": " + e.what() + "]");
}

void handle_exception(const std::exception& e) {
  if (const auto* error = dynamic_cast<const Error*>(&e)) {
    error->print(std::cerr);
    return;
  }
  try {
    rethrowAsError(e);
  } catch (const Error& x) {
    x.print(std::cerr);
  } catch (...) {
    InternalError(format("unknown exception: %s", e.what())).print(std::cerr);
  }
}

}  // namespace kel::err
