#include "upgrade/HelperProcess.h"

#include "upgrade/PrivateFolder.h"
#include "upgrade/helper/Spawn.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bw {

namespace {

// 0 while the child runs; its number once it has ended, reaped now; -1
// with ECHILD when it is no child of ours to ask (any more).
pid_t WaitNoHang(pid_t pid) {
  pid_t ended;
  while ((ended = waitpid(pid, nullptr, WNOHANG)) < 0 && errno == EINTR) {
  }
  return ended;
}

} // namespace

int OpenProcessDescriptor(pid_t pid) {
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

TauHelperProcess::~TauHelperProcess() {
  if (FPidFd >= 0) close(FPidFd);
  ReleaseFolderLock();
}

bool TauHelperProcess::TakeFolderLock(const std::string& folder) {
  if (FLockFd >= 0) return true;
  bool busy = false;
  FLockFd = LockProgramFolder(folder, busy);
  return FLockFd >= 0 || !busy;
}

void TauHelperProcess::ReleaseFolderLock() {
  if (FLockFd >= 0) close(FLockFd);
  FLockFd = -1;
}

int TauHelperProcess::Start(const std::vector<std::string>& args,
                            const std::vector<std::string>& environment, const std::string& folder,
                            const std::function<int(pid_t)>& openPidFd) {
  Forget();
  pid_t pid = 0;
  if (const int error = helper::SpawnInSession(args, &environment, folder, FLockFd, pid))
    return error;
  FPid = pid;
  FPidFd = openPidFd ? openPidFd(pid) : -1;
  // A descriptor opened after the helper had ended and been reaped (at once
  // where SIGCHLD is ignored) could name whoever took its number: that is
  // no child of ours, and the helper has ended.
  siginfo_t info{};
  if (FPidFd >= 0 && waitid(P_PIDFD, FPidFd, &info, WEXITED | WNOHANG | WNOWAIT) != 0 &&
      errno == ECHILD)
    Forget();
  return 0;
}

bool TauHelperProcess::Waits() {
  if (FPid <= 0) return false;
  if (FPidFd >= 0) {
    // Readable once the process has ended.
    pollfd ended{FPidFd, POLLIN, 0};
    int ready;
    while ((ready = poll(&ended, 1, 0)) < 0 && errno == EINTR) {
    }
    if (ready == 0) return true;
    Reap(false);
  } else if (WaitNoHang(FPid) == 0) {
    return true;
  }
  // Reaped now, or ECHILD: a child that runs is always there to be waited
  // for, so one that is not has ended and been reaped already, by the
  // system where SIGCHLD is ignored (the program gives SIGCHLD its default
  // action at start-up, and nothing here waits for any child but its own).
  Forget();
  return false;
}

void TauHelperProcess::Stop() {
  if (FPid > 0) {
    if (FPidFd >= 0) {
      // The descriptor names the helper alone; sending fails only once the
      // helper has ended, and then nothing more is signalled: its number
      // may be another process's by now.
      const bool sent = syscall(SYS_pidfd_send_signal, FPidFd, SIGKILL, nullptr, 0) == 0;
      Reap(sent);
    } else if (WaitNoHang(FPid) == 0 && kill(FPid, SIGKILL) == 0) {
      // By number only while the child is there unreaped: until it is
      // reaped, its number stays its own.
      Reap(true);
    }
  }
  Forget();
}

void TauHelperProcess::Reap(bool block) {
  if (FPidFd >= 0) {
    siginfo_t info{};
    int rc;
    while ((rc = waitid(P_PIDFD, FPidFd, &info, WEXITED | (block ? 0 : WNOHANG))) != 0 &&
           errno == EINTR) {
    }
    // Waiting through the descriptor needs Linux 5.4; before, by number,
    // which a child of ours keeps until it is reaped.
    if (rc == 0 || errno != EINVAL) return;
  }
  while (waitpid(FPid, nullptr, block ? 0 : WNOHANG) < 0 && errno == EINTR) {
  }
}

void TauHelperProcess::Forget() {
  if (FPidFd >= 0) close(FPidFd);
  FPidFd = -1;
  FPid = -1;
}

} // namespace bw
