// Runs a piece of test code in a forked child process and returns the text it produced, so
// each command-line parse starts from the items' constructed state. An error thrown by the code
// is described by its class and message.
#ifndef CORVEX_TESTS_KEL_CMDLINE_IN_CHILD_H
#define CORVEX_TESTS_KEL_CMDLINE_IN_CHILD_H

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "kel/cmdline/cmdline_errors.h"
#include "kel/cmdline/program_info.h"

namespace testutil {

// "<class>: <message()>" for the errors the parser throws.
inline std::string describeError(const std::function<void()>& code) {
  try {
    code();
  } catch (const InfoError& e) {
    return "InfoError: " + e.message();
  } catch (const StringError& e) {
    return "StringError: " + e.message() + "|" + e.details();
  } catch (const kel::err::InternalError& e) {
    return std::string("InternalError: ") + e.what();
  } catch (const kel::err::Error& e) {
    return "Error: " + e.message();
  } catch (const std::exception& e) {
    return std::string("exception: ") + e.what();
  }
  return "";
}

inline std::string inChild(const std::function<std::string()>& code) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string out;
    const std::string error = describeError([&] { out = code(); });
    out = error.empty() ? out : error + " / " + out;
    for (std::size_t done = 0; done < out.size();) {
      const ssize_t n = write(fds[1], out.data() + done, out.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    _exit(0);
  }
  close(fds[1]);
  std::string out;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
    out.append(buffer, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status)) out += " [child died]";
  return out;
}

// init on words, with /proc/self/exe as the program's call name so that it is found.
inline void parse(kel::cmdline::ProgramInfo& info, const std::vector<std::string>& words,
                  const std::string& callName = "/proc/self/exe") {
  std::vector<const char*> argv{callName.c_str()};
  for (const std::string& w : words) argv.push_back(w.c_str());
  info.init(static_cast<int>(argv.size()), argv.data());
}

}  // namespace testutil

#endif
