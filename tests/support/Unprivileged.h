// Runs a check as an ordinary user, so that tests of permissions mean
// something when the tests run as root (root reads and writes any file).
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

namespace bw::test {

// Calls check in a child process and returns what it returned. When the
// tests run as root, the child first hands the folder and everything in it
// to the user "nobody" (65534) and becomes that user; otherwise it runs as
// it is. The check must not use gtest assertions: they would fail in the
// child, unseen; it returns a text for the parent to compare.
inline std::string AsOrdinaryUser(const std::string& folder,
                                  const std::function<std::string()>& check) {
  constexpr uid_t Nobody = 65534;
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    close(fds[0]);
    std::string result;
    if (geteuid() == 0) {
      std::error_code ec;
      bool handed = chown(folder.c_str(), Nobody, Nobody) == 0;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ec))
        handed = handed && chown(entry.path().c_str(), Nobody, Nobody) == 0;
      if (!handed || setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0)
        result = "(could not become an ordinary user)";
    }
    if (result.empty()) result = check();
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
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "(the check did not end normally)";
  return result;
}

} // namespace bw::test
