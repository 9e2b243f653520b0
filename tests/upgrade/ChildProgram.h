// A program the upgrade tests start as a child, with a pipe on its standard
// input that the test closes to end it.
//
// Not a QProcess: Qt starts its children with clone() in the test program's
// own memory, and ThreadSanitizer takes such a clone for a fork whose child
// bookkeeping it then writes into that shared memory. The test program's
// thread is left marked as a forked child: its locks go unseen (data under
// a lock is reported as raced) and the next thread it starts ends the
// program. posix_spawn makes the child inside the C library, where the
// sanitizer does not look.
#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace bw::test {

class ChildProgram {
public:
  // Starts the program with this process's environment; throws when it
  // cannot be started.
  explicit ChildProgram(const std::string& path) {
    int in[2];
    // Close-on-exec: the write end must reach no other child (the upgrade
    // helper among them), or the program would never see its input end.
    if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("no pipe for " + path);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, in[0], 0);
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    const int error = posix_spawn(&FPid, path.c_str(), &files, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&files);
    close(in[0]);
    if (error != 0) {
      close(in[1]);
      throw std::runtime_error(path + " could not be started");
    }
    FInput = in[1];
  }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;
  // A program still running is killed; either way it is reaped.
  ~ChildProgram() {
    CloseInput();
    if (FPid <= 0) return;
    kill(FPid, SIGKILL);
    while (waitpid(FPid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }

  pid_t Pid() const { return FPid; }
  // The program reads the end of its input.
  void CloseInput() {
    if (FInput >= 0) close(FInput);
    FInput = -1;
  }
  // Whether the program ended (and was reaped) within the limit.
  bool WaitEnded(int limitMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
      const pid_t ended = waitpid(FPid, nullptr, WNOHANG);
      if (ended == FPid || (ended < 0 && errno != EINTR)) {
        FPid = -1;
        return true;
      }
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

private:
  pid_t FPid = -1;
  int FInput = -1;
};

} // namespace bw::test
