// Runs a check in a child process, for what must not touch the test program
// itself: a file-size limit, another user, a signal that ends the process.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <new>
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

// The same in a child whose address space may grow by at most the given
// bytes: an allocation beyond them fails, and the check's result is then
// "(out of memory)". Under a sanitizer, which reserves terabytes of address
// space for itself, the child runs without the limit.
inline std::string InChildWithin(size_t bytes, const std::function<std::string()>& check) {
  return InChildProcess([&]() -> std::string {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    std::ifstream status("/proc/self/status");
    std::string line;
    rlimit cap{};
    while (std::getline(status, line))
      if (line.starts_with("VmSize:"))
        cap.rlim_cur = cap.rlim_max = std::stoul(line.substr(7)) * 1024 + bytes;
    if (cap.rlim_cur == 0 || setrlimit(RLIMIT_AS, &cap) != 0) return "(no limit set)";
#else
    static_cast<void>(bytes);
#endif
    try {
      return check();
    } catch (const std::bad_alloc&) {
      return "(out of memory)";
    }
  });
}

} // namespace bw::test
