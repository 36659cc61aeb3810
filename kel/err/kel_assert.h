// Internal safety nets: assertions, the singleton guard and the terminate handler.
//
// kel_assert(condition) throws std::runtime_error with the text
//   Assertion "<condition source text>" failed: <base name of the source file>, line <line>
// when the condition is false, and costs nothing else when it holds. It is active in every build.
#ifndef CORVEX_KEL_ERR_KEL_ASSERT_H
#define CORVEX_KEL_ERR_KEL_ASSERT_H

#include "kel/err/noncopyable.h"

namespace kel {

// Throws the assertion error for condition, file (any path; only its base name is reported) and
// line.
[[noreturn]] void assertionFailed(const char* condition, const char* file, int line);

}  // namespace kel

#define kel_assert(condition) \
  ((condition) ? static_cast<void>(0) : ::kel::assertionFailed(#condition, __FILE__, __LINE__))

namespace kel {

// Returns t after asserting that it is non-zero (a non-null pointer, a non-zero count); the
// assertion error names the condition "t" and this header.
template <typename T>
const T& assertNotNull(const T& t) {
  kel_assert(t);
  return t;
}

// Always throws kel::err::InternalError("It's not allowed to construct more than one instance of a
// singleton"). A class with one live instance calls it when a second one is constructed.
[[noreturn]] void singletonViolation();

// While an object of this class lives, a terminate handler is installed that, if the process dies
// of an exception nobody caught, prints to std::cerr advice on how main should catch and report
// exceptions, then calls the handler that was installed before. Only one Terminator may ever be
// constructed in a process: a second construction, even after the first was destroyed, fails the
// assertion "!initialized". The destructor reinstalls the earlier handler.
class Terminator : kel_boost::noncopyable {
 public:
  Terminator();
  virtual ~Terminator();
};

}  // namespace kel

#endif
