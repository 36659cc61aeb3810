#include "gateway/child_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/close_range.h>
#include <sys/prctl.h>
#endif

#include "kel/err/error.h"

namespace gateway {

namespace {

using Clock = std::chrono::steady_clock;

// A file descriptor closed with its owner.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  int get() const { return fd_; }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

struct Pipe {
  Fd read, write;
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw kel::err::IOError("pipe", "pipe2");
    read.reset(fds[0]);
    write.reset(fds[1]);
  }
};

// Blocks the signals with which a server asks the gateway to stop, so that they arrive on a
// descriptor the parent polls; restores the previous mask when done.
class StopSignals {
 public:
  StopSignals() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGTERM);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGHUP);
    sigprocmask(SIG_BLOCK, &set_, &previous_);
    fd_.reset(::signalfd(-1, &set_, SFD_CLOEXEC | SFD_NONBLOCK));
    if (fd_.get() < 0) {
      sigprocmask(SIG_SETMASK, &previous_, nullptr);
      throw kel::err::IOError("stop signals", "signalfd");
    }
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  ~StopSignals() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  int fd() const { return fd_.get(); }
  // The signal received, or 0.
  int take() const {
    signalfd_siginfo info;
    return ::read(fd_.get(), &info, sizeof info) == sizeof info ? static_cast<int>(info.ssi_signo)
                                                                 : 0;
  }

 private:
  sigset_t set_, previous_;
  Fd fd_;
};

// What the child reports through the exec pipe when it cannot run the program.
struct ExecFailure {
  int error;
  char step;  // 'd': chdir, 'e': execve, 's': set-up
};

// The child's side, between fork and exec: only async-signal-safe calls.
[[noreturn]] void becomeChild(char* const* argv, char* const* envp, const char* workDir,
                              const ChildLimits& limits, int out, int err, int report,
                              pid_t parent) {
  const auto fail = [report](char step) {
    const ExecFailure f{errno, step};
    [[maybe_unused]] const ssize_t n = ::write(report, &f, sizeof f);
    ::_exit(127);
  };
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  for (const int s : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGXCPU}) sigaction(s, &dfl, nullptr);
  ::setpgid(0, 0);
#ifdef __linux__
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(127);  // the parent died before the line above
#else
  (void)parent;
#endif
  const rlimit cpu{limits.cpuSeconds, limits.cpuSeconds + 1};
  const rlimit core{0, 0};
  if (::setrlimit(RLIMIT_CPU, &cpu) != 0 || ::setrlimit(RLIMIT_CORE, &core) != 0) fail('s');
  const int in = ::open("/dev/null", O_RDONLY);
  if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) fail('s');
  // Descriptors the server left open to the gateway do not reach the child.
#ifdef __linux__
  if (::close_range(3, ~0u, CLOSE_RANGE_CLOEXEC) != 0)
#endif
  {
    for (int fd = 3; fd < 1024; ++fd) {
      if (fd != report) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
  if (::chdir(workDir) != 0) fail('d');
  ::execve(argv[0], argv, envp);
  fail('e');
  ::_exit(127);
}

std::vector<char*> pointers(const std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (const std::string& s : strings) out.push_back(const_cast<char*>(s.c_str()));
  out.push_back(nullptr);
  return out;
}

long millisecondsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

}  // namespace

ChildResult runChild(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     const std::string& workDir, const ChildLimits& limits) {
  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline = start + std::chrono::milliseconds(limits.wallMilliseconds);
  const std::vector<char*> args = pointers(argv);
  const std::vector<char*> envp = pointers(env);
  Pipe out, err, report;
  const StopSignals stops;
  const pid_t parent = ::getpid();

  const pid_t pid = ::fork();
  if (pid < 0) throw kel::err::IOError(argv.at(0), "fork");
  if (pid == 0) {
    becomeChild(args.data(), envp.data(), workDir.c_str(), limits, out.write.get(),
                err.write.get(), report.write.get(), parent);
  }
  // Also here, so that a kill of the group cannot come before the child made it.
  ::setpgid(pid, pid);
  out.write.reset();
  err.write.reset();
  report.write.reset();

  ChildResult result;
  bool killed = false;
  const auto killGroup = [&](ChildResult::End why, int status) {
    if (killed) return;
    ::kill(-pid, SIGKILL);
    killed = true;
    result.end = why;
    result.status = status;
  };

  ExecFailure failure{};
  ssize_t got;
  do {
    got = ::read(report.read.get(), &failure, sizeof failure);
  } while (got < 0 && errno == EINTR);
  if (got == sizeof failure) {
    int status;
    ::waitpid(pid, &status, 0);
    errno = failure.error;
    throw kel::err::IOError(failure.step == 'd' ? workDir : argv[0],
                            failure.step == 'd' ? "chdir" : failure.step == 'e' ? "exec"
                                                                                : "set-up");
  }

  // The child's end shows on a descriptor of its own (Linux), so that it is seen at once, even
  // while something it started still holds its output open.
#ifdef SYS_pidfd_open
  const Fd exited(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
#else
  const Fd exited;
#endif
  pollfd fds[4] = {{out.read.get(), POLLIN, 0},
                   {err.read.get(), POLLIN, 0},
                   {stops.fd(), POLLIN, 0},
                   {exited.get(), POLLIN, 0}};
  bool ended = false;
  const auto hasEnded = [&] {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT | WNOHANG) == 0 &&
           info.si_pid == pid;
  };
  char buffer[65536];
  while (!killed && (fds[0].fd >= 0 || fds[1].fd >= 0 || !ended)) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      killGroup(ChildResult::End::timedOut, 0);
      break;
    }
    // Without a process descriptor, the end is looked for every millisecond once the output is
    // closed.
    const bool closed = fds[0].fd < 0 && fds[1].fd < 0;
    const int wait = closed && exited.get() < 0 ? 1 : static_cast<int>(left);
    const int ready = ::poll(fds, 4, wait);
    if (ready < 0 && errno != EINTR) {
      killGroup(ChildResult::End::stopped, 0);
      break;
    }
    if (fds[2].revents & POLLIN) {
      killGroup(ChildResult::End::stopped, stops.take());
      break;
    }
    if (!ended && ((fds[3].revents & POLLIN) || (closed && exited.get() < 0 && hasEnded()))) {
      ended = true;
      fds[3].fd = -1;
      // What the child left running in its group would hold the output open.
      ::kill(-pid, SIGKILL);
    }
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = ::read(fds[k].fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        fds[k].fd = -1;
        continue;
      }
      std::string& sink = k == 0 ? result.out : result.err;
      const std::size_t cap = k == 0 ? limits.maxOutputBytes : limits.maxErrorBytes;
      if (k == 0 && sink.size() + n > cap) {
        killGroup(ChildResult::End::tooMuchOutput, 0);
        break;
      }
      if (sink.size() < cap) sink.append(buffer, std::min<std::size_t>(n, cap - sink.size()));
    }
  }
  if (killed) {
    // Waited for without being reaped, so that its group can still be named below.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 &&
           errno == EINTR) {
    }
  }
  // Anything the child left in its group goes with it.
  ::kill(-pid, SIGKILL);
  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.milliseconds = millisecondsSince(start);
  if (killed) return result;

  const double cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (WIFEXITED(status)) {
    result.end = ChildResult::End::exited;
    result.status = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status) &&
             (WTERMSIG(status) == SIGXCPU ||
              (WTERMSIG(status) == SIGKILL && cpu >= limits.cpuSeconds))) {
    result.end = ChildResult::End::timedOut;
  } else {
    result.end = ChildResult::End::signaled;
    result.status = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  return result;
}

}  // namespace gateway
