// Runs a program as a child process within limits of time and output, without a shell.
//
// The child runs in a process group of its own, with exactly the given environment, in the given
// working folder, with standard input from /dev/null and no other inherited descriptor, its CPU
// time (RLIMIT_CPU) and the size of its output (RLIMIT_FSIZE: standard output and error are files
// in memory) limited, and no core file. The parent ends the whole group when the wall-clock limit
// passes or when the parent is asked to stop (SIGTERM, SIGINT, SIGHUP), and when the child ends,
// what it left running; the child also dies with its parent (Linux). Either way the child has
// been reaped when runChild returns, so no process of it is left. The limits hold by themselves,
// whether or not anyone waits for the answer.
#ifndef CORVEX_GATEWAY_CHILD_PROCESS_H
#define CORVEX_GATEWAY_CHILD_PROCESS_H

#include <cstddef>
#include <string>
#include <vector>

namespace gateway {

struct ChildLimits {
  unsigned cpuSeconds = 10;
  unsigned wallMilliseconds = 10000;
  std::size_t maxOutputBytes = 64u << 20;  // each of standard output and error
  std::size_t maxErrorBytes = 64u << 10;   // standard error beyond this is not read
};

struct ChildResult {
  enum class End {
    exited,         // status is the exit status
    signaled,       // status is the signal number
    timedOut,       // the CPU or wall-clock limit ended the child
    tooMuchOutput,  // an output reached maxOutputBytes
    stopped,        // the parent was asked to stop; status is the signal it was sent
  };
  End end = End::exited;
  int status = 0;
  std::string out;  // standard output, complete when end is exited
  std::string err;  // standard error, at most maxErrorBytes
};

// Runs argv[0] (a path; PATH is not searched) with argv and env in workDir. Throws
// kel::err::IOError when the child cannot be made or the program cannot be executed (the message
// names the program and the system's reason).
ChildResult runChild(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     const std::string& workDir, const ChildLimits& limits);

}  // namespace gateway

#endif
