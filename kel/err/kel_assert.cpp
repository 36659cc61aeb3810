#include "kel/err/kel_assert.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <stdexcept>

#include "kel/err/error.h"
#include "kel/err/format.h"

namespace kel {

namespace {

bool initialized = false;
std::terminate_handler previousHandler = nullptr;

const char* const terminateAdvice =
    "An uncaught exception occurred.\n"
    "\n"
    "Maybe you forgot to put the following code into your main():\n"
    "\n"
    "try {\n"
    " // your stuff\n"
    " return EXIT_SUCCESS;\n"
    "}\n"
    "catch (exception& e) { handle_exception(e); }\n"
    "catch (...) { Error e(\"Unknown exception\"); e.print(cerr); }\n"
    "return EXIT_FAILURE;\n";

[[noreturn]] void terminateHandler() {
  // An exception that finds no handler has already been taken up by the runtime when it calls
  // terminate (it no longer counts as uncaught, but is the current exception); test both, so the
  // advice appears whenever an exception ends the process, and not for a plain terminate() call.
  if (std::uncaught_exceptions() > 0 || std::current_exception()) std::cerr << terminateAdvice;
  if (previousHandler) previousHandler();
  std::abort();
}

}  // namespace

void assertionFailed(const char* condition, const char* file, int line) {
  const char* slash = std::strrchr(file, '/');
  const char* backslash = std::strrchr(slash ? slash : file, '\\');
  const char* base = backslash ? backslash + 1 : slash ? slash + 1 : file;
  throw std::runtime_error(format("Assertion \"%s\" failed: %s, line %i", condition, base, line));
}

void singletonViolation() {
  throw err::InternalError("It's not allowed to construct more than one instance of a singleton");
}

Terminator::Terminator() {
  kel_assert(!initialized);
  initialized = true;
  previousHandler = std::set_terminate(terminateHandler);
}

Terminator::~Terminator() { std::set_terminate(previousHandler); }

}  // namespace kel
