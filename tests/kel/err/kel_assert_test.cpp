#include "kel/err/kel_assert.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

#include "kel/err/error.h"

namespace {

const char* const advice =
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

struct ChildResult {
  int status;       // exit code, or 128 + signal
  std::string err;  // what the child wrote to standard error
};

// Runs body in a forked child (so process-wide handler state starts fresh for each case) and
// collects its standard error; the child exits with 0 when body returns.
ChildResult runInChild(void (*body)()) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 2);
    close(fds[0]);
    close(fds[1]);
    body();
    std::cerr.flush();
    _exit(0);
  }
  close(fds[1]);
  ChildResult result{-1, ""};
  char buffer[512];
  ssize_t got;
  while ((got = read(fds[0], buffer, sizeof buffer)) > 0) result.err.append(buffer, static_cast<std::size_t>(got));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

void previousHandler() {
  std::cerr << "previous handler\n";
  _exit(7);
}

void throwError() { throw std::runtime_error("nobody catches this"); }
void (*volatile thrower)() = throwError;
// The exception meets the noexcept boundary and finds no handler, as if it left main.
void throwPastNoexcept() noexcept { thrower(); }

struct ThrowsInDestructor {
  ~ThrowsInDestructor() noexcept(false) { throw 1; }
};

TEST(KelAssert, MessageNamesConditionFileAndLine) {
  int line = 0;
  try {
    line = __LINE__ + 1;
    kel_assert(1 + 1 == 3);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Assertion \"1 + 1 == 3\" failed: kel_assert_test.cpp, line " + std::to_string(line));
  }
  int evaluated = 0;
  kel_assert(++evaluated == 1);  // a true condition is evaluated once and does nothing else
  EXPECT_EQ(evaluated, 1);
}

TEST(KelAssert, AssertNotNull) {
  const int count = 5;
  EXPECT_EQ(&kel::assertNotNull(count), &count);
  const char* pointer = "x";
  EXPECT_EQ(kel::assertNotNull(pointer), pointer);
  const std::size_t zero = 0;
  try {
    kel::assertNotNull(zero);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Assertion \"t\" failed: kel_assert.h, line ", 0), 0u) << e.what();
  }
}

TEST(SingletonViolation, ThrowsTheInternalError) {
  const std::string previous = kel::err::Error::setDefaultWhere("Corvex");
  try {
    kel::singletonViolation();
  } catch (const kel::err::InternalError& e) {
    EXPECT_STREQ(e.what(), "It's not allowed to construct more than one instance of a singleton");
    EXPECT_EQ(e.message(),
              "InternalError in Corvex: It's not allowed to construct more than one instance of a singleton\n"
              "[please report to Corvex.BugReport@example.org]");
  }
  kel::err::Error::setDefaultWhere(previous);
}

TEST(Terminator, OnlyOneEverAndTheHandlerIsRestored) {
  const ChildResult r = runInChild([] {
    std::set_terminate(previousHandler);
    auto first = std::make_unique<kel::Terminator>();
    if (std::get_terminate() == previousHandler) _exit(10);
    try {
      kel::Terminator second;
      _exit(11);
    } catch (const std::runtime_error& e) {
      if (std::string(e.what()).rfind("Assertion \"!initialized\" failed: kel_assert.cpp, line ", 0) != 0) _exit(12);
    }
    first.reset();
    if (std::get_terminate() != previousHandler) _exit(13);
    try {
      kel::Terminator again;
      _exit(14);
    } catch (const std::runtime_error&) {
    }
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST(Terminator, AdviceWhenAnExceptionEndsTheProcess) {
  struct Case {
    const char* what;
    void (*body)();
    int status;
    std::string err;  // the runtime's own default handler may add its text after this
  };
  const Case cases[] = {
      {"exception finds no handler",
       [] {
         kel::Terminator t;
         throwPastNoexcept();
       },
       128 + SIGABRT, advice},
      {"exception thrown while another unwinds",
       [] {
         kel::Terminator t;
         try {
           ThrowsInDestructor d;
           throw 2;
         } catch (...) {
         }
       },
       128 + SIGABRT, advice},
      {"advice, then the earlier handler",
       [] {
         std::set_terminate(previousHandler);
         kel::Terminator t;
         throwPastNoexcept();
       },
       7, std::string(advice) + "previous handler\n"},
      {"explicit terminate without exception: silent",
       [] {
         std::set_terminate(previousHandler);
         kel::Terminator t;
         std::terminate();
       },
       7, "previous handler\n"},
  };
  for (const Case& c : cases) {
    const ChildResult r = runInChild(c.body);
    EXPECT_EQ(r.status, c.status) << c.what;
    if (c.status == 7) {
      EXPECT_EQ(r.err, c.err) << c.what;
    } else {
      EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.what;
    }
  }
}

}  // namespace
