// Running a program within limits: what it gets, what comes back, and that nothing of it is left.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "gateway/child_process.h"
#include "test_util.h"

namespace {

using gateway::ChildLimits;
using gateway::ChildResult;
using gateway::runChild;

ChildResult sh(const std::string& script, ChildLimits limits = {}) {
  return runChild({"/bin/sh", "-c", script}, {"PATH=/usr/bin:/bin", "MARK=1"}, "/tmp", limits);
}

// Whether a process of this number still runs a second after it was killed (a zombie waiting
// for init to reap it does not; a busy machine may take a moment to end a killed process).
bool alive(const std::string& pid) {
  const std::string stat = "/proc/" + std::to_string(std::atoi(pid.c_str())) + "/stat";
  for (int tries = 0; tries < 100; ++tries) {
    try {
      if (testutil::readFile(stat).find(") Z ") != std::string::npos) return false;
    } catch (const std::exception&) {
      return false;
    }
    ::usleep(10000);
  }
  return true;
}

TEST(ChildProcess, GivesTheProgramOnlyWhatItIsGiven) {
  ::setenv("GATEWAY_SECRET", "x", 1);
  const ChildResult r =
      sh("env | sort; pwd; ls -l /proc/self/fd | grep -c -- '->'; "
         "read line || echo 'no input'; echo err >&2; exit 3");
  EXPECT_EQ(r.end, ChildResult::End::exited);
  EXPECT_EQ(r.status, 3);
  // The environment as given (sh adds PWD and its own few), the folder, and only the three
  // standard descriptors (the fourth is the one ls reads the folder through).
  EXPECT_NE(r.out.find("MARK=1\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("GATEWAY_SECRET"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("/tmp\n4\nno input\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "err\n");
}

TEST(ChildProcess, EndsTheWholeGroupAtEveryLimit) {
  const auto started = std::chrono::steady_clock::now();
  ChildLimits wall;
  wall.wallMilliseconds = 300;
  // A grandchild that holds no pipe of ours and would outlive its parent.
  ChildResult r = sh("sleep 30 >/dev/null 2>&1 & echo $!; sleep 30", wall);
  EXPECT_EQ(r.end, ChildResult::End::timedOut);
  EXPECT_FALSE(alive(r.out)) << r.out;

  ChildLimits cpu;
  cpu.cpuSeconds = 1;
  r = sh("while :; do :; done", cpu);
  EXPECT_EQ(r.end, ChildResult::End::timedOut);

  ChildLimits output;
  output.maxOutputBytes = 1000;
  r = sh("yes", output);
  EXPECT_EQ(r.end, ChildResult::End::tooMuchOutput);
  EXPECT_LE(r.out.size(), 1000u);

  r = sh("kill -SEGV $$");
  EXPECT_EQ(r.end, ChildResult::End::signaled);
  EXPECT_EQ(r.status, SIGSEGV);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST(ChildProcess, ReportsAProgramThatCannotRun) {
  EXPECT_EQ(testutil::errorOf([] { runChild({"/nonexistent/corvex"}, {}, "/", {}); }),
            "No such file or directory for exec ('/nonexistent/corvex')");
  EXPECT_EQ(testutil::errorOf([] { runChild({"/bin/true"}, {}, "/nonexistent", {}); }),
            "No such file or directory for chdir ('/nonexistent')");
}

}  // namespace
