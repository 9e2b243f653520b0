#include "upgrade/helper/HelperCore.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

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

// The folder part of a path, without the slash that ends it: "." for a bare
// name, "/" for a name in the root folder; the program's folders are
// written so too.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A name in a folder as FolderOf gives it.
std::string InFolder(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string NameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
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

bool IsOwnSingleFile(const struct stat& st) {
  return S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_nlink == 1;
}

bool IsOwnFile(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && IsOwnSingleFile(st);
}

bool ClearOwnFile(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  // Only the name goes: a second name keeps its file as it is, so the
  // number of names does not count here.
  if (!S_ISREG(st.st_mode) || st.st_uid != geteuid()) return false;
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}

namespace {

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) close(fd);
  }
};

// Why a name of the target's folder does not give a download of ours.
// Empty when it does.
std::string DownloadRefusal(const struct stat& st) {
  if (S_ISLNK(st.st_mode)) return "the download is a link";
  if (!IsOwnSingleFile(st)) return "the download is not a file of this user's own";
  return {};
}

// A folder of this user's alone, as mkdtemp makes it.
bool IsPrivateFolder(const struct stat& st) {
  return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 07777) == 0700;
}

// Gives the download the mode, where it has not that mode already. A file
// system that sets no modes (FAT through FUSE gives every file the same
// one) leaves the file as it is, provided that shows other users nothing
// the mode does not.
bool GiveMode(int fd, const struct stat& st, mode_t mode) {
  if ((st.st_mode & 07777) == mode || fchmod(fd, mode) == 0) return true;
  const int error = errno;
  const bool refused = error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
  if (refused && (st.st_mode & 077 & ~mode) == 0) return true;
  errno = error;
  return false;
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
  if (BetweenInstallRenames) BetweenInstallRenames();
  // The replaced file's permissions, the program's execute bit among
  // them; a new file gets the usual ones for a program's data.
  if (!GiveMode(fd, got, replaces ? old.st_mode & 07777 : 0644) ||
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
    const std::string name = NameOf(target);
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
    std::string roomPath = InFolder(folderPath, std::string(InstallFolderPrefix) + "XXXXXX");
    if (!mkdtemp(roomPath.data())) {
      why = std::strerror(errno);
      return false;
    }
    const std::string roomName = NameOf(roomPath);
    const int room =
        openat(folder, roomName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    FdCloser roomCloser{room};
    struct stat rs;
    if (room < 0 || fstat(room, &rs) != 0 || !IsPrivateFolder(rs)) {
      why = "the folder could not be used safely";
      // Made empty a moment ago: gone at once, and only while empty.
      unlinkat(folder, roomName.c_str(), AT_REMOVEDIR);
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

namespace {

bool IsInstallFolderName(const std::string& name) {
  const std::string prefix = InstallFolderPrefix;
  if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (size_t i = prefix.size(); i < name.size(); ++i) {
    const char c = name[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

// One install folder, looked at through its descriptor: what it holds is
// read and removed there, so that nothing but the folder checked is
// emptied.
void RemoveInstallFolder(int folder, const std::string& name) {
  struct stat seen;
  if (fstatat(folder, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0 || !IsPrivateFolder(seen))
    return;
  const int fd = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  DIR* dir = fdopendir(fd);
  if (!dir) {
    close(fd);
    return;
  }
  struct stat got;
  bool onlyDownloads = fstat(fd, &got) == 0 && got.st_dev == seen.st_dev &&
                       got.st_ino == seen.st_ino && IsPrivateFolder(got);
  std::vector<std::string> downloads;
  while (onlyDownloads) {
    const dirent* entry = readdir(dir);
    if (!entry) break;
    const std::string held = entry->d_name;
    if (held == "." || held == "..") continue;
    if (held.size() > std::strlen(TempSuffix) && EndsWith(held, TempSuffix, false))
      downloads.push_back(held);
    else
      onlyDownloads = false;
  }
  if (onlyDownloads) {
    for (const std::string& download : downloads)
      unlinkat(fd, download.c_str(), 0);
    // Only while empty: whatever came in meanwhile keeps the folder.
    unlinkat(folder, name.c_str(), AT_REMOVEDIR);
  }
  closedir(dir);
}

} // namespace

void RemoveInstallFolders(const std::string& folderPath) {
  DIR* dir = opendir(folderPath.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir))
    if (IsInstallFolderName(entry->d_name)) names.emplace_back(entry->d_name);
  for (const std::string& name : names)
    RemoveInstallFolder(dirfd(dir), name);
  closedir(dir);
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
  const std::string folder = FolderOf(command.ProgramPath);
  RemoveInstallFolders(folder);
  for (const std::string& target : queue)
    replace(target);

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
    const std::string target = InFolder(folder, name);
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
  std::vector<std::string> argv{path};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_t pid = 0;
  if (SpawnInSession(argv, nullptr, {}, -1, pid) != 0) return false;
  if (wait) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  return true;
}

int RunHelper(const HelperCommand& command, const std::string& queueFile, pid_t waitPid,
              const std::string& helperFile, int lockFd) {
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
  const std::string reportFile = InFolder(FolderOf(queueFile), ReportFileName);
  if (WriteInstallReport(reportFile, report))
    setenv(ReportVariable, reportFile.c_str(), 1);
  else
    unsetenv(ReportVariable);
  if (!setup.empty()) {
    chmod(setup.c_str(), 0700);
    StartProgram(setup, command.RestartArgs, true);
    unlink(setup.c_str());
  }
  if (lockFd >= 0) close(lockFd);
  return StartProgram(command.ProgramPath, command.RestartArgs, false) ? 0 : 1;
}

} // namespace bw::helper
