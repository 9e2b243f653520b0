#include "upgrade/PrivateFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bw {

std::string PrivateUpgradeFolder(const std::string& tempFolder) {
  if (tempFolder.empty()) return {};
  std::string folder = tempFolder;
  if (folder.back() != '/') folder += '/';
  folder += "brantwick-upgrade-" + std::to_string(getuid());
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st;
  if (lstat(folder.c_str(), &st) != 0) return {};
  if (!S_ISDIR(st.st_mode) || st.st_uid != getuid()) return {};
  if ((st.st_mode & 077) != 0) {
    // Ours, but open to others: close it before anything goes in.
    if (chmod(folder.c_str(), 0700) != 0) return {};
  }
  return folder + "/";
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

} // namespace bw
