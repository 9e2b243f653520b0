#include "upgrade/helper/HelperCore.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace bw::helper {

namespace {

bool EndsWith(const std::string& s, const std::string& tail, bool ignoreCase) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    char a = s[s.size() - tail.size() + i], b = tail[i];
    if (ignoreCase) {
      if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
      if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    }
    if (a != b) return false;
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

void SleepMs(long ms) {
  timespec t{ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&t, nullptr);
}

} // namespace

std::vector<std::string> SplitArguments(const std::string& text) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : text) {
    if (c == ' ') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

bool ParseHelperArguments(int argc, const char* const* argv, HelperCommand& command) {
  if (argc < 2 || !argv[1] || !*argv[1]) return false;
  command.ProgramPath = argv[1];
  std::string rest;
  for (int i = 2; i < argc; ++i) {
    if (i > 2) rest += ' ';
    rest += argv[i];
  }
  if (!rest.empty() && rest[0] == '+') rest.erase(0, 1);
  command.Method = '0';
  if (!rest.empty()) {
    command.Method = rest.back();
    rest.pop_back();
  }
  command.RestartArgs = SplitArguments(rest);
  return true;
}

void WaitForProcessEnd(pid_t pid) {
  if (pid <= 0) return;
#ifdef SYS_pidfd_open
  const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd >= 0) {
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, -1) < 0 && errno == EINTR) {
    }
    close(fd);
    return;
  }
  if (errno == ESRCH) return;
#endif
  // No process descriptors here: look every few milliseconds.
  while (kill(pid, 0) == 0 || errno == EPERM)
    SleepMs(20);
}

bool IsOwnFile(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid();
}

bool ClearOwnFile(const std::string& path) {
  if (IsOwnFile(path)) return unlink(path.c_str()) == 0 || errno == ENOENT;
  struct stat st;
  return lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

bool ReplaceWithDownload(const std::string& target) {
  const std::string download = target + TempSuffix;
  if (!IsOwnFile(download)) return false;
  struct stat old;
  const bool replaces = lstat(target.c_str(), &old) == 0;
  if (replaces && !IsOwnFile(target)) return false;
  // The replaced file's permissions, the program's execute bit among them;
  // a new file gets the usual ones for a program's data.
  chmod(download.c_str(), replaces ? old.st_mode & 07777 : 0644);
  return rename(download.c_str(), target.c_str()) == 0;
}

std::vector<std::string> ReadQueue(const std::string& queueFile) {
  std::vector<std::string> lines;
  FILE* f = std::fopen(queueFile.c_str(), "rb");
  if (!f) return lines;
  std::string line;
  int c;
  while ((c = std::fgetc(f)) != EOF) {
    if (c == '\n' || c == '\r') {
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else {
      line += static_cast<char>(c);
    }
  }
  if (!line.empty()) lines.push_back(line);
  std::fclose(f);
  return lines;
}

std::string InstallDownloads(const HelperCommand& command, const std::vector<std::string>& queue) {
  for (const std::string& target : queue)
    ReplaceWithDownload(target);

  const std::string folder = FolderOf(command.ProgramPath);
  const bool programDownloaded = IsOwnFile(command.ProgramPath + TempSuffix);
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name.size() > std::strlen(TempSuffix) && EndsWith(name, TempSuffix, false))
        names.push_back(name.substr(0, name.size() - std::strlen(TempSuffix)));
    }
    closedir(dir);
  }
  std::string setup;
  for (const std::string& name : names) {
    const std::string target = folder + name;
    if (!ReplaceWithDownload(target)) continue;
    if (command.Method == '1' && setup.empty() && !programDownloaded &&
        EndsWith(name, ".exe", true))
      setup = target;
  }
  return setup;
}

bool StartProgram(const std::string& path, const std::vector<std::string>& args, bool wait) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // Its own session: the started program outlives the helper and any
  // terminal it was started from.
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  // Nothing to read: the program is no longer attached to whatever
  // started the upgrade.
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, path.c_str(), &files, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return false;
  if (wait) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  return true;
}

int RunHelper(const HelperCommand& command, const std::string& queueFile, pid_t waitPid) {
  WaitForProcessEnd(waitPid);
  const std::string setup = InstallDownloads(command, ReadQueue(queueFile));
  unlink(queueFile.c_str());
  if (!setup.empty()) {
    chmod(setup.c_str(), 0700);
    StartProgram(setup, command.RestartArgs, true);
    unlink(setup.c_str());
  }
  return StartProgram(command.ProgramPath, command.RestartArgs, false) ? 0 : 1;
}

} // namespace bw::helper
