// The upgrade helper as the engine's child: the program folder's lock that
// the run holds and hands over, the helper's start, the look whether it
// still waits, and its end when a run is abandoned. No Qt.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bw {

// A descriptor of a process (pidfd_open), or -1 where the system has none
// or refuses it.
int OpenProcessDescriptor(pid_t pid);

class TauHelperProcess {
public:
  TauHelperProcess() = default;
  TauHelperProcess(const TauHelperProcess&) = delete;
  TauHelperProcess& operator=(const TauHelperProcess&) = delete;
  // Lets go of the lock and the helper's descriptor; a started helper runs
  // on, with its own copy of the lock.
  ~TauHelperProcess();

  // One upgrade at a time per program folder, from the first download to
  // the helper's end: false when another copy's run holds the folder. A
  // folder that takes no lock at all (on some network file systems) is
  // upgraded without one.
  bool TakeFolderLock(const std::string& folder);
  void ReleaseFolderLock();
  bool HoldsFolderLock() const { return FLockFd >= 0; }

  // Starts the helper (args[0]) with the folder's lock, when held, as its
  // lock descriptor (SpawnInSession). openPidFd opens the descriptor through
  // which the helper is watched and ended (OpenProcessDescriptor unless a
  // test stands in for a system without). 0, or the system's error.
  int Start(const std::vector<std::string>& args, const std::vector<std::string>& environment,
            const std::string& folder, const std::function<int(pid_t)>& openPidFd);
  // The started helper's process while it has not been seen to end, or -1.
  pid_t Pid() const { return FPid; }
  // Whether the started helper still runs; once it has ended, reaped.
  bool Waits();
  // Ends the started helper, if it still runs, and reaps it. Never signals
  // a process that merely took its number.
  void Stop();

private:
  // Reaps the helper once it has ended; with block, waits for that.
  void Reap(bool block);
  void Forget();

  pid_t FPid = -1;
  // The helper's process descriptor: it names that process alone, also
  // once its number has gone to another.
  int FPidFd = -1;
  int FLockFd = -1;
};

} // namespace bw
