#include "upgrade/PrivateFolder.h"

#include "foundation/FileDescriptor.h"
#include "foundation/Folders.h"
#include "upgrade/helper/HelperCore.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace bw {

std::string PrivateUpgradeFolder(const std::string& tempFolder, std::string* error) {
  std::string folder = tempFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  folder += "brantwick-upgrade-XXXXXX";
  const std::string pattern = folder;
  auto fail = [&](int code) {
    if (error)
      *error = "The upgrade's private folder " + pattern +
               " could not be made: " + std::strerror(code) + ".";
    return std::string();
  };
  if (tempFolder.empty()) return fail(ENOENT);
  // A name of our own making, created by us alone: a name someone else made
  // first never stands in the way.
  if (!mkdtemp(folder.data())) return fail(errno);
  struct stat st;
  if (lstat(folder.c_str(), &st) != 0) return fail(errno);
  if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
    // Not what mkdtemp promises (a file system that ignores owners and
    // modes): nothing goes in.
    rmdir(folder.c_str());
    return fail(EPERM);
  }
  return folder + "/";
}

void RemovePrivateUpgradeFolder(const std::string& folder) {
  if (folder.empty()) return;
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
      (st.st_mode & 077) != 0)
    return;
  for (const char* name : {UpgraderFileName, UpgraderQueueFileName, helper::ReportFileName})
    unlink((path + "/" + name).c_str());
  rmdir(path.c_str());
}

int LockProgramFolder(const std::string& folder, bool& busy) {
  busy = false;
  const TFileDescriptor opened(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!opened) return -1;
  const int fd = fcntl(opened.Get(), F_DUPFD_CLOEXEC, 10);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    busy = errno == EWOULDBLOCK;
    close(fd);
    return -1;
  }
  return fd;
}

bool WritePrivateFile(const std::string& path, const void* data, size_t size, mode_t mode) {
  if (unlink(path.c_str()) != 0 && errno != ENOENT) return false;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return false;
  const char* p = static_cast<const char*>(data);
  size_t left = size;
  bool ok = true;
  while (left > 0) {
    const ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  ok = fchmod(fd, mode) == 0 && ok;
  ok = close(fd) == 0 && ok;
  if (!ok) unlink(path.c_str());
  return ok;
}

namespace {

std::string& InstallReportName() {
  static std::string name;
  return name;
}

} // namespace

void CaptureInstallReportName() {
  // Taken out of the environment once, so that programs started from here
  // do not see it.
  if (const char* named = std::getenv(helper::ReportVariable)) {
    if (*named) InstallReportName() = named;
    unsetenv(helper::ReportVariable);
  }
}

std::optional<helper::InstallReport> TakeInstallReport(const std::string& programFolder) {
  CaptureInstallReportName();
  const std::string path = std::exchange(InstallReportName(), std::string());
  if (path.find('/') == std::string::npos) return std::nullopt;
  const std::string folder = FolderOf(path) + "/";
  std::string text;
  const TFileDescriptor fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (!fd || fstat(fd.Get(), &st) != 0 || !helper::IsOwnSingleFile(st) || st.st_size > (1 << 20))
    return std::nullopt;
  char buffer[4096];
  for (ssize_t n; (n = read(fd.Get(), buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  helper::InstallReport report = helper::ParseInstallReport(text);
  // What the helper refused stays as a download beside its target: this
  // user's own downloads go, anything else under that name stays. Only
  // while no other run holds the program folder: a download under that name
  // now may be its own (its clean-up, or the next run's, takes ours).
  bool busy = false;
  const TFileDescriptor lock(LockProgramFolder(programFolder, busy));
  for (const auto& refused : report.Refused) {
    const std::string download = refused.first + helper::TempSuffix;
    struct stat d;
    if (!busy && lstat(download.c_str(), &d) == 0 && helper::IsOwnSingleFile(d))
      unlink(download.c_str());
  }
  RemovePrivateUpgradeFolder(folder);
  return report;
}

} // namespace bw
