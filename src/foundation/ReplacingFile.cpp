#include "foundation/ReplacingFile.h"

#include "foundation/Exceptions.h"
#include "foundation/Guid.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace bw {

namespace {

std::string ErrnoText(int err) {
  return std::generic_category().message(err != 0 ? err : EIO);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A symbolic link is followed, so that the link stays and its target gets
// the new content; so is a link whose target does not exist yet, which the
// write then creates.
std::string ResolveTarget(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
    ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<size_t>(n) >= link.size()) return current;
    link.resize(static_cast<size_t>(n));
    current = link.front() == '/' ? link : FolderOf(current) + "/" + link;
  }
  throw Exception("Cannot write '" + path + "': " + ErrnoText(ELOOP));
}

// Temporary files are named after the file they will replace, so that the
// remains of a write that was killed can be told apart and removed: a dot,
// the name (shortened so that the whole stays a valid name), this infix, 32
// hexadecimal digits and ".tmp".
constexpr const char* TempInfix = ".bwk-save-";
constexpr size_t TempNameRoom = 180;

std::string TempPrefix(const std::string& target) {
  std::string name = NameOf(target);
  if (name.size() > TempNameRoom) name.resize(TempNameRoom);
  return "." + name + TempInfix;
}

bool IsTempNameFor(std::string_view entry, std::string_view prefix) {
  if (entry.size() != prefix.size() + 32 + 4 || entry.substr(0, prefix.size()) != prefix ||
      entry.substr(entry.size() - 4) != ".tmp")
    return false;
  std::string_view digits = entry.substr(prefix.size(), 32);
  return digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// Removes temporary files that an earlier write of the same file left behind
// when it was killed: ours by name and owner, regular files, and not locked,
// which a write that is still running keeps them. Nothing here may stop the
// write itself.
void RemoveStaleTempFiles(const std::string& folder, const std::string& target) {
  const std::string prefix = TempPrefix(target);
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return;
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    return;
  }
  while (const dirent* e = ::readdir(dir)) {
    if (!IsTempNameFor(e->d_name, prefix)) continue;
    int fd = ::openat(dirFd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {
    }, named{};
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dirFd, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino)
      ::unlinkat(dirFd, e->d_name, 0);
    ::close(fd);
  }
  ::closedir(dir);
}

// Gives the new file the owner, group and permissions of the file it
// replaces, before any byte is written. Where the process may not keep the
// group, the group's permissions are dropped rather than handed to another
// group.
void TakeOverOwnership(int fd, const struct stat& old, const std::string& target) {
  mode_t mode = old.st_mode & 07777;
  struct stat now {};
  if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
      (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    if (::fstat(fd, &now) == 0 && now.st_gid != old.st_gid) mode &= ~static_cast<mode_t>(07070);
  }
  if (::fchmod(fd, mode) != 0)
    throw Exception("Cannot write '" + target + "': " + ErrnoText(errno));
}

TFileIdentity IdentityOf(const struct stat& st) {
  return {true,
          static_cast<uint64_t>(st.st_dev),
          static_cast<uint64_t>(st.st_ino),
          static_cast<int64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec),
          static_cast<int64_t>(st.st_mtim.tv_nsec)};
}

} // namespace

TFileIdentity FileIdentityOf(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? IdentityOf(st) : TFileIdentity{};
}

TFileIdentity FileIdentityOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? IdentityOf(st) : TFileIdentity{};
}

bool FileChangedSince(const std::string& path, const TFileIdentity& known) {
  if (!known.Known) return false;
  const TFileIdentity now = FileIdentityOf(path);
  return now.Known && now != known;
}

TReplacingFile::TReplacingFile(const std::string& path) : FTarget(ResolveTarget(path)) {
  struct stat old {};
  bool exists = ::stat(FTarget.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode))
    throw Exception("Cannot replace '" + FTarget + "': it is a folder");
  // A device or a pipe must never be swapped for a regular file.
  if (exists && !S_ISREG(old.st_mode))
    throw Exception("Cannot replace '" + FTarget + "': it is not a regular file");
  // A file its owner made read-only stays as it is, although the folder
  // would allow replacing it.
  if (exists && ::access(FTarget.c_str(), W_OK) != 0)
    throw Exception("Cannot write '" + FTarget + "': " + ErrnoText(errno));

  const std::string folder = FolderOf(FTarget);
  RemoveStaleTempFiles(folder, FTarget);
  // O_EXCL with a fresh name, as mkstemp does. A new file is created with
  // mode 0666, so that it gets the permissions the user's umask gives any
  // new file; a replacement is never created more open than the file it
  // replaces.
  const mode_t createMode = exists ? (old.st_mode & 0666) : 0666;
  for (int attempt = 0; FFd < 0; ++attempt) {
    FTemp = folder + "/" + TempPrefix(FTarget) + Guid::ToString(Guid::NewGuid(), "N") + ".tmp";
    FFd = ::open(FTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
    if (FFd < 0 && (errno != EEXIST || attempt >= 16))
      throw Exception("Cannot create a file in the folder '" + folder + "': " + ErrnoText(errno));
  }
  try {
    // Held until the file is closed: a write that is running is not stale.
    (void)::flock(FFd, LOCK_EX | LOCK_NB);
    if (exists) TakeOverOwnership(FFd, old, FTarget);
  } catch (...) {
    ::close(FFd);
    ::unlink(FTemp.c_str());
    throw;
  }
}

TReplacingFile::~TReplacingFile() {
  if (FFd < 0) return;
  ::close(FFd);
  ::unlink(FTemp.c_str());
}

void TReplacingFile::WriteFailed(int error) const {
  throw Exception("Cannot write '" + FTarget + "': " + ErrnoText(error));
}

void TReplacingFile::Write(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(FFd, bytes + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      WriteFailed(errno);
    }
    done += static_cast<size_t>(n);
  }
}

TFileIdentity TReplacingFile::Commit() {
  if (::fsync(FFd) != 0) WriteFailed(errno);
  const TFileIdentity written = FileIdentityOf(FFd);
  int fd = FFd;
  FFd = -1;
  if (::close(fd) != 0) {
    int error = errno;
    ::unlink(FTemp.c_str());
    WriteFailed(error);
  }
  if (::rename(FTemp.c_str(), FTarget.c_str()) != 0) {
    int error = errno;
    ::unlink(FTemp.c_str());
    throw Exception("Cannot replace '" + FTarget + "': " + ErrnoText(error));
  }
  // The rename itself reaches the disk with the folder; a failure here
  // leaves a complete file in place, so it is not reported.
  int dirFd = ::open(FolderOf(FTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return written;
}

} // namespace bw
