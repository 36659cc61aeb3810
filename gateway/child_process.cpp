#include "gateway/child_process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
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
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
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

// An unnamed file in memory for one output stream of the child. The child writes into it without
// ever waiting for the parent, and the parent is not woken by each write: it reads the whole file
// once the child has ended.
Fd outputFile(const char* name) {
#ifdef __linux__
  Fd file(::memfd_create(name, MFD_CLOEXEC));
#else
  FILE* const f = std::tmpfile();
  Fd file(f ? ::fcntl(::fileno(f), F_DUPFD_CLOEXEC, 0) : -1);
  if (f) std::fclose(f);
#endif
  if (file.get() < 0) throw kel::err::IOError(name, "memfd_create");
  return file;
}

// Up to limit bytes of file, from its start.
std::string readOutput(const Fd& file, std::size_t limit) {
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return "";
  std::string out(std::min(static_cast<std::size_t>(info.st_size), limit), '\0');
  std::size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = ::pread(file.get(), &out[got], out.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  out.resize(got);
  return out;
}

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

// What the child needs between its start and exec, prepared by the parent beforehand.
struct ChildStart {
  char* const* argv;
  char* const* envp;
  const char* workDir;
  const ChildLimits* limits;
  int out, err, report;
  pid_t parent;
};

// The child's side, between its start and exec: only async-signal-safe calls, and no memory of
// the parent written but the ExecFailure it reports (it may share the parent's memory).
[[noreturn]] void becomeChild(const ChildStart& start) {
  char* const* const argv = start.argv;
  const ChildLimits& limits = *start.limits;
  const int out = start.out, err = start.err, report = start.report;
  const pid_t parent = start.parent;
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
  for (const int s : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGXCPU, SIGXFSZ}) {
    sigaction(s, &dfl, nullptr);
  }
  ::setpgid(0, 0);
#ifdef __linux__
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(127);  // the parent died before the line above
#else
  (void)parent;
#endif
  const rlimit cpu{limits.cpuSeconds, limits.cpuSeconds + 1};
  const rlimit core{0, 0};
  // The output files are files: a write past the limit ends the child with SIGXFSZ.
  const rlimit size{limits.maxOutputBytes, limits.maxOutputBytes};
  if (::setrlimit(RLIMIT_CPU, &cpu) != 0 || ::setrlimit(RLIMIT_CORE, &core) != 0 ||
      ::setrlimit(RLIMIT_FSIZE, &size) != 0) {
    fail('s');
  }
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
  if (::chdir(start.workDir) != 0) fail('d');
  ::execve(argv[0], argv, start.envp);
  fail('e');
  ::_exit(127);
}

int childMain(void* start) { becomeChild(*static_cast<const ChildStart*>(start)); }

// Starts the child. Where the platform allows, it shares the parent's memory until its exec and
// the parent waits for that (as vfork does): copying the parent's page tables and then its
// pages, as fork does, costs about a millisecond per search.
#if defined(__SANITIZE_ADDRESS__)
#define CORVEX_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVEX_SANITIZED 1
#endif
#endif

pid_t startChild(ChildStart& start) {
// The sanitizers do not follow a child on a stack of its own: there it is an ordinary fork.
#if defined(__linux__) && !defined(CORVEX_SANITIZED)
  // The parent is suspended while the child runs on this stack.
  alignas(16) char stack[64 * 1024];
  return ::clone(childMain, stack + sizeof stack, CLONE_VM | CLONE_VFORK | SIGCHLD, &start);
#else
  const pid_t pid = ::fork();
  if (pid == 0) childMain(&start);
  return pid;
#endif
}

std::vector<char*> pointers(const std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (const std::string& s : strings) out.push_back(const_cast<char*>(s.c_str()));
  out.push_back(nullptr);
  return out;
}

}  // namespace

ChildResult runChild(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     const std::string& workDir, const ChildLimits& limits) {
  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline = start + std::chrono::milliseconds(limits.wallMilliseconds);
  const std::vector<char*> args = pointers(argv);
  const std::vector<char*> envp = pointers(env);
  const Fd out = outputFile("corvex-out");
  const Fd err = outputFile("corvex-err");
  Pipe report;
  const StopSignals stops;
  const pid_t parent = ::getpid();

  ChildStart childStart{args.data(), envp.data(), workDir.c_str(),    &limits,
                        out.get(),   err.get(),   report.write.get(), parent};
  const pid_t pid = startChild(childStart);
  if (pid < 0) throw kel::err::IOError(argv.at(0), "clone");
  // Also here, so that a kill of the group cannot come before the child made it.
  ::setpgid(pid, pid);
  report.write.reset();

  ChildResult result;
  bool killed = false;
  const auto killGroup = [&](ChildResult::End why, int status) {
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
    throw kel::err::IOError(failure.step == 'd' ? workDir : argv[0], failure.step == 'd' ? "chdir"
                                                                     : failure.step == 'e'
                                                                         ? "exec"
                                                                         : "set-up");
  }

  // The child's end shows on a descriptor of its own (Linux); elsewhere it is looked for every
  // millisecond.
#ifdef SYS_pidfd_open
  const Fd exited(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
#else
  const Fd exited;
#endif
  pollfd fds[2] = {{stops.fd(), POLLIN, 0}, {exited.get(), POLLIN, 0}};
  for (;;) {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT | WNOHANG) == 0 &&
        info.si_pid == pid) {
      break;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      killGroup(ChildResult::End::timedOut, 0);
      break;
    }
    const int ready = ::poll(fds, 2, exited.get() < 0 ? 1 : static_cast<int>(left));
    if (ready < 0 && errno != EINTR) {
      killGroup(ChildResult::End::stopped, 0);
      break;
    }
    if (fds[0].revents & POLLIN) {
      killGroup(ChildResult::End::stopped, stops.take());
      break;
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
  result.out = readOutput(out, limits.maxOutputBytes);
  result.err = readOutput(err, limits.maxErrorBytes);
  if (killed) return result;

  const double cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  struct stat written {};
  if (::fstat(out.get(), &written) == 0 &&
      static_cast<std::size_t>(written.st_size) >= limits.maxOutputBytes) {
    // SIGXFSZ ended the writer, be it the child or a process it started.
    result.end = ChildResult::End::tooMuchOutput;
  } else if (WIFEXITED(status)) {
    result.end = ChildResult::End::exited;
    result.status = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU ||
                                     (WTERMSIG(status) == SIGKILL && cpu >= limits.cpuSeconds))) {
    result.end = ChildResult::End::timedOut;
  } else {
    result.end = ChildResult::End::signaled;
    result.status = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  return result;
}

}  // namespace gateway
