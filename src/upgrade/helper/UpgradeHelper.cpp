// The upgrade helper: started by the program with its own path and the
// restart parameters, it waits until the program has ended, moves the
// downloaded files into place and starts the program again.
#include "upgrade/helper/HelperCore.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/auxv.h>
#include <unistd.h>

int main(int argc, char** argv) {
  using namespace bw::helper;
  HelperCommand command;
  if (!ParseHelperArguments(argc, argv, command)) {
    std::fputs("Upgrader v4.0\nReplaces a program's files with their downloaded versions once "
               "the program has ended, then starts it again.\n",
               stderr);
    return 0;
  }
  // The queue lies beside the helper, in the user's private folder. The
  // program starts the helper by its full path, which the system keeps for
  // it where /proc is not mounted (a chroot, a container).
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  const auto* started = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
  std::string helper;
  if (n > 0)
    helper.assign(self, static_cast<size_t>(n));
  else if (started != nullptr && started[0] == '/')
    helper = started;
  else
    return 1;
  const std::string queue = helper.substr(0, helper.rfind('/') + 1) + QueueFileName;

  // The program folder's lock, when the program handed it over, stays ours
  // while the helper installs; the programs started from here never hold it.
  const int lock = fcntl(LockDescriptor, F_SETFD, FD_CLOEXEC) == 0 ? LockDescriptor : -1;
  pid_t pid = 0;
  if (const char* text = std::getenv(WaitPidVariable)) pid = static_cast<pid_t>(std::atol(text));
  // The wait blocks on the process (or sleeps between looks), so it takes
  // no processor time; the priority stays as it is, since the restarted
  // program inherits it.
  unsetenv(WaitPidVariable);
  return RunHelper(command, queue, pid, helper, lock);
}
