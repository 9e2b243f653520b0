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

namespace {

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) close(fd);
  }
};

// Why a name of the target's folder does not give a download of ours: a
// regular file of this user with no second name (a hard link could be
// another file of this user's, made to look like our download). Empty when
// it does.
std::string DownloadRefusal(const struct stat& st) {
  if (S_ISLNK(st.st_mode)) return "the download is a link";
  if (!S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_nlink != 1)
    return "the download is not a file of this user's own";
  return {};
}

// Moves the download, in a room of ours beside the target, over the target.
// Nothing but this user can change a name in the room: the file checked
// there is the file renamed.
bool InstallFromRoom(int folder, int room, const std::string& name, const std::string& download,
                     std::string& why) {
  struct stat seen;
  if (fstatat(room, download.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0) {
    why = std::strerror(errno);
    return false;
  }
  if (why = DownloadRefusal(seen); !why.empty()) return false;
  // Opened without following a link (nor waiting on a pipe), and checked
  // and given its mode through the descriptor.
  const int fd = openat(room, download.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = errno == ELOOP ? "the download is a link" : std::strerror(errno);
    return false;
  }
  FdCloser closer{fd};
  struct stat got;
  if (fstat(fd, &got) != 0 || got.st_ino != seen.st_ino || got.st_dev != seen.st_dev) {
    why = "the download was replaced while it was installed";
    return false;
  }
  if (why = DownloadRefusal(got); !why.empty()) return false;
  struct stat old;
  const bool replaces = fstatat(folder, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  if (replaces && !(S_ISREG(old.st_mode) && old.st_uid == geteuid())) {
    why = S_ISLNK(old.st_mode) ? "a link stands in its place"
                               : "what stands in its place is not a file of this user's own";
    return false;
  }
  // The replaced file's permissions, the program's execute bit among
  // them; a new file gets the usual ones for a program's data.
  if (fchmod(fd, replaces ? old.st_mode & 07777 : 0644) != 0 ||
      renameat(room, download.c_str(), folder, name.c_str()) != 0) {
    why = std::strerror(errno);
    return false;
  }
  return true;
}

} // namespace

bool ReplaceWithDownload(const std::string& target, std::string* reason) {
  std::string why;
  const bool done = [&] {
    const std::string folderPath = FolderOf(target);
    const std::string name = target.substr(target.rfind('/') + 1);
    const std::string download = name + TempSuffix;
    const int folder = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
      why = std::strerror(errno);
      return false;
    }
    FdCloser folderCloser{folder};
    // A first look, so that nothing is moved that is plainly no download of
    // ours; others who may write the folder can still swap the name after.
    struct stat seen;
    if (fstatat(folder, download.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0) {
      why = std::strerror(errno);
      return false;
    }
    if (why = DownloadRefusal(seen); !why.empty()) return false;
    // A room of this run's own beside the target (on its file system, so
    // the renames stay renames): whatever the download's name gives is moved
    // there first and checked where nobody else can change it.
    std::string roomPath = folderPath + ".brantwick-install-XXXXXX";
    if (!mkdtemp(roomPath.data())) {
      why = std::strerror(errno);
      return false;
    }
    const std::string roomName = roomPath.substr(folderPath.size());
    const int room =
        openat(folder, roomName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    FdCloser roomCloser{room};
    struct stat rs;
    if (room < 0 || fstat(room, &rs) != 0 || !S_ISDIR(rs.st_mode) || rs.st_uid != geteuid() ||
        (rs.st_mode & 077) != 0) {
      why = "the folder could not be used safely";
      if (room >= 0) unlinkat(folder, roomName.c_str(), AT_REMOVEDIR);
      return false;
    }
    bool installed = false;
    if (renameat(folder, download.c_str(), room, download.c_str()) != 0) {
      why = std::strerror(errno);
    } else {
      installed = InstallFromRoom(folder, room, name, download, why);
      // What was not installed goes back under its name (for the clean-up
      // of the next run); when something took that name meanwhile, the
      // room's name of it is dropped.
      if (!installed &&
          renameat2(room, download.c_str(), folder, download.c_str(), RENAME_NOREPLACE) != 0)
        unlinkat(room, download.c_str(), 0);
    }
    unlinkat(folder, roomName.c_str(), AT_REMOVEDIR);
    return installed;
  }();
  if (reason) *reason = done ? std::string() : why;
  return done;
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

std::string InstallDownloads(const HelperCommand& command, const std::vector<std::string>& queue,
                             InstallReport* report) {
  auto replace = [report](const std::string& target) {
    std::string reason;
    const bool done = ReplaceWithDownload(target, &reason);
    if (report) {
      if (done)
        report->Installed.push_back(target);
      else
        report->Refused.emplace_back(target, reason);
    }
    return done;
  };
  for (const std::string& target : queue)
    replace(target);

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
    if (!replace(target)) continue;
    if (command.Method == '1' && setup.empty() && !programDownloaded &&
        EndsWith(name, ".exe", true))
      setup = target;
  }
  return setup;
}

bool WriteInstallReport(const std::string& path, const InstallReport& report) {
  std::string text;
  for (const std::string& target : report.Installed)
    text += "+" + target + "\n";
  for (const auto& [target, reason] : report.Refused)
    text += "-" + reason + "\t" + target + "\n";
  unlink(path.c_str());
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t at = 0; ok && at < text.size();) {
    const ssize_t n = write(fd, text.data() + at, text.size() - at);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) at += static_cast<size_t>(n);
  }
  ok = close(fd) == 0 && ok;
  if (!ok) unlink(path.c_str());
  return ok;
}

InstallReport ParseInstallReport(const std::string& text) {
  InstallReport report;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.size() < 2) continue;
    if (line[0] == '+') {
      report.Installed.push_back(line.substr(1));
    } else if (line[0] == '-') {
      const size_t tab = line.find('\t');
      if (tab != std::string::npos)
        report.Refused.emplace_back(line.substr(tab + 1), line.substr(1, tab - 1));
    }
  }
  return report;
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

int RunHelper(const HelperCommand& command, const std::string& queueFile, pid_t waitPid,
              const std::string& helperFile) {
  WaitForProcessEnd(waitPid);
  // The program takes its hand-over back, when it abandons the run, by
  // deleting the helper's file: then nothing is installed or started.
  struct stat own;
  if (!helperFile.empty() && lstat(helperFile.c_str(), &own) != 0) return 0;
  InstallReport report;
  const std::string setup = InstallDownloads(command, ReadQueue(queueFile), &report);
  unlink(queueFile.c_str());
  // Its work is done: the running helper goes from the folder.
  if (!helperFile.empty()) unlink(helperFile.c_str());
  // The restarted program learns from the report what was not installed,
  // and clears it away with the folder.
  const std::string reportFile = FolderOf(queueFile) + ReportFileName;
  if (WriteInstallReport(reportFile, report))
    setenv(ReportVariable, reportFile.c_str(), 1);
  else
    unsetenv(ReportVariable);
  if (!setup.empty()) {
    chmod(setup.c_str(), 0700);
    StartProgram(setup, command.RestartArgs, true);
    unlink(setup.c_str());
  }
  return StartProgram(command.ProgramPath, command.RestartArgs, false) ? 0 : 1;
}

} // namespace bw::helper
