#include "kel/err/kel_assert.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <stdexcept>
#include <string>

#include "kel/err/error.h"

namespace {

const std::string advice =
    "An uncaught exception occurred.\n\nMaybe you forgot to put the following code into your "
    "main():\n\n"
    "try {\n // your stuff\n return EXIT_SUCCESS;\n}\n"
    "catch (exception& e) { handle_exception(e); }\n"
    "catch (...) { Error e(\"Unknown exception\"); e.print(cerr); }\n"
    "return EXIT_FAILURE;\n";

// Runs body in a forked child, so the process-wide handler state starts fresh; returns its exit
// status (128 + signal when killed) and what it wrote to standard error.
std::pair<int, std::string> inChild(void (*body)()) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 2);
    body();
    _exit(0);
  }
  close(fds[1]);
  std::string err;
  char buffer[512];
  for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) > 0;)
    err.append(buffer, static_cast<std::size_t>(got));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), err};
}

void earlierHandler() {
  std::cerr << "earlier handler\n";
  _exit(7);
}

void throwError() { throw std::runtime_error("nobody catches this"); }
void (*volatile thrower)() = throwError;
// The exception meets the noexcept boundary and finds no handler, as if it left main.
void throwPastNoexcept() noexcept { thrower(); }

struct ThrowsInDestructor {
  ~ThrowsInDestructor() noexcept(false) { throw 1; }
};

TEST(KelAssert, MessagesNameConditionFileAndLine) {
  const int line = __LINE__ + 2;
  try {
    kel_assert(1 + 1 == 3);
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(e.what(),
              "Assertion \"1 + 1 == 3\" failed: kel_assert_test.cpp, line " + std::to_string(line));
  }
  int evaluated = 0;
  kel_assert(++evaluated == 1);  // a true condition is evaluated once and does nothing else
  const char* pointer = "x";
  EXPECT_EQ(kel::assertNotNull(pointer), pointer);
  EXPECT_EQ(evaluated, 1);
  try {
    kel::assertNotNull(std::size_t{0});
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Assertion \"t\" failed: kel_assert.h, line ", 0), 0u)
        << e.what();
  }
  kel::err::Error::setDefaultWhere("Corvex");
  try {
    kel::singletonViolation();
  } catch (const kel::err::InternalError& e) {
    EXPECT_EQ(e.message(),
              "InternalError in Corvex: It's not allowed to construct more than one instance of a "
              "singleton\n"
              "[please report to Corvex.BugReport@example.org]");
  }
}

TEST(Terminator, OneEverAndTheEarlierHandlerComesBack) {
  const auto r = inChild([] {
    std::set_terminate(earlierHandler);
    auto first = std::make_unique<kel::Terminator>();
    const bool installed = std::get_terminate() != earlierHandler;
    first.reset();
    try {
      kel::Terminator second;  // even after the first is gone
      _exit(11);
    } catch (const std::runtime_error& e) {
      std::cerr << e.what();
    }
    _exit(installed && std::get_terminate() == earlierHandler ? 0 : 12);
  });
  EXPECT_EQ(r.first, 0);
  EXPECT_EQ(r.second.rfind("Assertion \"!initialized\" failed: kel_assert.cpp, line ", 0), 0u)
      << r.second;
}

TEST(Terminator, AdviceWhenAnExceptionEndsTheProcess) {
  const struct {
    void (*body)();
    std::pair<int, std::string> expected;
  } cases[] = {
      {[] {
         kel::Terminator t;
         throwPastNoexcept();
       },
       {128 + SIGABRT, advice}},
      {[] {
         kel::Terminator t;
         try {
           ThrowsInDestructor d;
           throw 2;  // the destructor throws while this one unwinds
         } catch (...) {
         }
       },
       {128 + SIGABRT, advice}},
      {[] {
         std::set_terminate(earlierHandler);
         kel::Terminator t;
         throwPastNoexcept();
       },
       {7, advice + "earlier handler\n"}},
      {[] {
         std::set_terminate(earlierHandler);
         kel::Terminator t;
         std::terminate();
       },
       {7, "earlier handler\n"}},
  };
  for (const auto& c : cases) {
    auto r = inChild(c.body);
    if (r.first == 128 + SIGABRT)
      r.second.resize(std::min(r.second.size(), advice.size()));  // the runtime adds its own text
    EXPECT_EQ(r, c.expected);
  }
}

}  // namespace
