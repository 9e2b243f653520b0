#include "platform/system/NamedMutex.h"

#include "foundation/Folders.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bw {

namespace {
std::string RuntimeFolder() {
  const char* folder = std::getenv("XDG_RUNTIME_DIR");
  return folder != nullptr ? folder : "";
}
} // namespace

NamedMutex::NamedMutex(std::string_view name) {
  // A "/" in the name must not lead the file into another folder.
  std::string fileName(name);
  for (char& c : fileName)
    if (c == '/') c = '_';
  if (fileName.empty() || fileName == "." || fileName == "..") return;
  const std::string runtime = RuntimeFolder();
  if (!runtime.empty() && TryLock(runtime, fileName)) return;
  TryLock(GetTempFolder(), fileName);
}

NamedMutex::~NamedMutex() {
  if (FFd >= 0) ::close(FFd);
}

bool NamedMutex::TryLock(const std::string& folder, const std::string& name) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  // Read-only is enough for flock, and the file is never written. The
  // temporary folder is shared: a link planted under our name is not
  // followed, and a pipe planted there must not block the start-up.
  int fd;
  do
    fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return false;
  }
  int locked;
  do
    locked = ::flock(fd, LOCK_SH | LOCK_NB);
  while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    ::close(fd);
    return false;
  }
  FFd = fd;
  FFileName = std::move(path);
  return true;
}

} // namespace bw
