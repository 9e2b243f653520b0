// Runs a check in a child process, for what must not touch the test program
// itself: a file-size limit, another user, a signal that ends the process.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>

namespace bw::test {

// Calls check in a child process and returns what it returned, or says how
// the child ended when it did not return (killed by a signal, for one). The
// check must not use gtest assertions: they would fail in the child, unseen;
// it returns a text for the parent to compare.
inline std::string InChildProcess(const std::function<std::string()>& check) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    close(fds[0]);
    const std::string result = check();
    size_t written = 0;
    while (written < result.size()) {
      const ssize_t n = write(fds[1], result.data() + written, result.size() - written);
      if (n <= 0 && errno != EINTR) break;
      if (n > 0) written += static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(fds[1]);
  std::string result;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n > 0)
      result.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR)
      break;
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status))
    return std::string("(the child was ended by ") + strsignal(WTERMSIG(status)) + ")";
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "(the check did not end normally)";
  return result;
}

} // namespace bw::test
