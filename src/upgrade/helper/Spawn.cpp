#include "upgrade/helper/Spawn.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>

extern char** environ;

namespace bw::helper {

namespace {

std::vector<char*> Pointers(const std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (const std::string& t : texts)
    pointers.push_back(const_cast<char*>(t.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

} // namespace

int SpawnInSession(const std::vector<std::string>& args,
                   const std::vector<std::string>* environment, const std::string& folder,
                   int passOn, pid_t& pid) {
  if (args.empty()) return EINVAL;
  std::vector<char*> argv = Pointers(args);
  std::vector<char*> envp = environment ? Pointers(*environment) : std::vector<char*>();
  posix_spawn_file_actions_t files;
  if (const int rc = posix_spawn_file_actions_init(&files)) return rc;
  int rc = posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  // Every other descriptor stays here, close-on-exec or not: what the
  // program holds (the transfer's sockets among them) is no business of the
  // helper's, nor of the program started again, which would keep it open
  // for good. The closing needs no /proc where the system closes ranges.
  if (rc == 0 && passOn >= 0) rc = posix_spawn_file_actions_adddup2(&files, passOn, LockDescriptor);
  if (rc == 0)
    rc = posix_spawn_file_actions_addclosefrom_np(&files, passOn >= 0 ? LockDescriptor + 1
                                                                      : LockDescriptor);
  if (rc == 0 && !folder.empty()) rc = posix_spawn_file_actions_addchdir_np(&files, folder.c_str());
  if (rc != 0) {
    posix_spawn_file_actions_destroy(&files);
    return rc;
  }
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  // A child keeps its number until its parent reaps it only while SIGCHLD
  // has its default action.
  sigaddset(&defaults, SIGCHLD);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  rc = posix_spawn(&pid, argv[0], &files, &attr, argv.data(), environment ? envp.data() : environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&files);
  return rc;
}

} // namespace bw::helper
