#include "foundation/ReplacingFile.h"

#include "foundation/Exceptions.h"
#include "foundation/FileDescriptor.h"
#include "foundation/Folders.h"
#include "foundation/Guid.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace bw {

namespace {

constexpr const char* AclName = "system.posix_acl_access";

std::string ErrnoText(int err) {
  return std::generic_category().message(err != 0 ? err : EIO);
}

int (*ChangeMode)(int, mode_t) = ::fchmod;

TMakeCalls Make{[](int dirFd, const char* path, int flags, mode_t mode) {
                  return ::openat(dirFd, path, flags, mode);
                },
                ::mkdir};

// The name through which the system reaches an open file, also one opened
// with O_PATH (for the extended attributes and to open it again).
std::string ProcPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

// Where the system found the file it opened: the path the descriptor
// holds, checked to lead to that very file still, with the state of the
// folder that holds it under that name; empty when another file has taken
// that name since (a concurrent save).
std::string RealPathOf(int fd, const std::string& path, const struct stat& st,
                       struct stat& folder) {
  std::string real(PATH_MAX + 1, '\0');
  ssize_t n = ::readlink(ProcPath(fd).c_str(), real.data(), real.size());
  if (n > 0 && static_cast<size_t>(n) < real.size()) {
    real.resize(static_cast<size_t>(n));
  } else {
    // Without /proc: the file's path as the library finds it, checked below.
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    real = resolved ? resolved.get() : "";
  }
  if (real.empty() || real.front() != '/') return {};
  // The folder's state is read where the entry that leads to this very file
  // was found, not from its name alone.
  TFileDescriptor dir(::open(FolderOf(real).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  struct stat named {};
  if (!dir || ::fstat(dir.Get(), &folder) != 0 ||
      ::fstatat(dir.Get(), NameOf(real).c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      named.st_dev != st.st_dev || named.st_ino != st.st_ino)
    return {};
  return real;
}

// In a sticky folder (/tmp) a file is written or replaced only where it
// belongs to the user or to the folder's owner, who is trusted with the files
// in it; root too keeps to this, the rule the system applies to opening such
// a file to create one (fs.protected_regular). Anyone else may have planted
// it under a name they expect to be saved to, and would get what is saved.
bool PlantedInStickyFolder(const struct stat& file, const struct stat& folder) {
  return (folder.st_mode & S_ISVTX) && file.st_uid != ::geteuid() && file.st_uid != folder.st_uid;
}

// Temporary files are named by the file they will replace and by what they
// hold, so that the remains of a write that was killed can be told apart and
// removed: a dot, the name (shortened so that the whole stays a valid name),
// the infix, 32 hexadecimal digits and ".tmp".
constexpr std::string_view TreeInfix = ".bwk-save-", PictureInfix = ".bwk-export-";
constexpr size_t TempNameRoom = 180, TempDigits = 32;

std::string TempPrefix(const std::string& target, TReplacingKind kind) {
  std::string name = NameOf(target);
  if (name.size() > TempNameRoom) name.resize(TempNameRoom);
  return "." + name + std::string(kind == TReplacingKind::Picture ? PictureInfix : TreeInfix);
}

bool IsTempName(std::string_view entry) {
  constexpr std::string_view Suffix = ".tmp";
  if (entry.size() < 2 + TreeInfix.size() + TempDigits + Suffix.size() || entry.front() != '.' ||
      !entry.ends_with(Suffix))
    return false;
  entry.remove_suffix(Suffix.size());
  if (entry.substr(entry.size() - TempDigits).find_first_not_of("0123456789abcdef") !=
      std::string_view::npos)
    return false;
  entry.remove_suffix(TempDigits);
  return entry.ends_with(TreeInfix) || entry.ends_with(PictureInfix);
}

// Removes what a killed write left in a folder of its own: its temporary
// file, ours by name and owner, then the folder once empty.
void RemoveStaleFolder(int fd, int parentFd, const char* name) {
  DIR* dir = ::fdopendir(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
  if (!dir) return;
  while (const dirent* e = ::readdir(dir)) {
    struct stat st {};
    if (IsTempName(e->d_name) && ::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
      ::unlinkat(fd, e->d_name, 0);
  }
  ::closedir(dir);
  ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

// Removes the temporary files that earlier saves and exports into the folder
// left when they were killed: ours by name and owner, regular files (or the
// folders of their own that some were written in), and not locked; a write
// that is running holds its file and folder locked from their creation to
// its rename. Nothing here may stop the write itself.
void RemoveStaleTempFiles(const std::string& folder) {
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return;
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    return;
  }
  while (const dirent* e = ::readdir(dir)) {
    if (!IsTempName(e->d_name)) continue;
    int fd = ::openat(dirFd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {
    }, named{};
    if (::fstat(fd, &held) == 0 && (S_ISREG(held.st_mode) || S_ISDIR(held.st_mode)) &&
        held.st_uid == ::geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dirFd, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
      if (S_ISDIR(held.st_mode))
        RemoveStaleFolder(fd, dirFd, e->d_name);
      else
        ::unlinkat(dirFd, e->d_name, 0);
    }
    ::close(fd);
  }
  ::closedir(dir);
}

// The access ACL of a file as its extended attribute holds it; empty when
// it has none (or its file system keeps none); nothing when it cannot be
// read. It is read through /proc, which reaches a file opened with O_PATH,
// or else through the file opened again by its path, checked to be the file
// found.
std::optional<std::string> AccessAclOf(int pathFd, const std::string& path) {
  auto read = [](auto get) -> std::optional<std::string> {
    for (int attempt = 0; attempt < 4; ++attempt) {
      ssize_t size = get(nullptr, 0);
      if (size == 0) return std::string();
      if (size < 0) break;
      std::string acl(static_cast<size_t>(size), '\0');
      ssize_t n = get(acl.data(), acl.size());
      if (n >= 0) {
        acl.resize(static_cast<size_t>(n));
        return acl;
      }
      if (errno != ERANGE) break;
    }
    if (errno == ENODATA || errno == ENOTSUP) return std::string();
    return std::nullopt;
  };
  const std::string proc = ProcPath(pathFd);
  std::optional<std::string> acl =
      read([&](void* to, size_t size) { return ::getxattr(proc.c_str(), AclName, to, size); });
  if (acl) return acl;
  struct stat found {};
  if (::fstat(pathFd, &found) != 0) return std::nullopt;
  for (int access : {O_RDONLY, O_WRONLY}) {
    TFileDescriptor fd(
        ::open(path.c_str(), access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened {};
    if (!fd || ::fstat(fd.Get(), &opened) != 0) continue;
    if (opened.st_dev != found.st_dev || opened.st_ino != found.st_ino) return std::nullopt;
    return read([&](void* to, size_t size) { return ::fgetxattr(fd.Get(), AclName, to, size); });
  }
  return std::nullopt;
}

// The ACL's entries: a 4-byte version, then 8 bytes an entry (tag, rights,
// id, little-endian as the system stores them).
constexpr size_t AclHeader = 4, AclEntry = 8;
constexpr uint16_t AclGroupObj = 0x04;

uint16_t Le16(const std::string& s, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(s[at]) |
                               static_cast<unsigned char>(s[at + 1]) << 8);
}

// The rights of the owning group's entry ("group::"), rwx as 4, 2, 1.
mode_t AclGroupRights(const std::string& acl) {
  for (size_t at = AclHeader; at + AclEntry <= acl.size(); at += AclEntry)
    if (Le16(acl, at) == AclGroupObj) return Le16(acl, at + 2) & 7;
  return 0;
}

// The ACL with no rights for the owning group, for a file that cannot keep
// its group: the group it gets instead is given nothing.
std::string WithoutGroupRights(std::string acl) {
  for (size_t at = AclHeader; at + AclEntry <= acl.size(); at += AclEntry)
    if (Le16(acl, at) == AclGroupObj) acl[at + 2] = acl[at + 3] = '\0';
  return acl;
}

bool IsMountRoot(int fd) {
  struct statx sx {};
  return ::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &sx) == 0 &&
         (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
         (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
}

} // namespace

TChangeModeCall SetChangeModeCallForTests(TChangeModeCall call) {
  return std::exchange(ChangeMode, call);
}

TMakeCalls SetMakeCallsForTests(TMakeCalls calls) {
  return std::exchange(Make, calls);
}

TReplacingFile::TReplacingFile(const std::string& path, TReplacingKind kind) : FKind(kind) {
  try {
    Open(path);
  } catch (...) {
    Discard();
    throw;
  }
}

void TReplacingFile::Open(const std::string& path) {
  // The system follows the links, so that its rules for them apply (another
  // user's link in a sticky folder is refused), and says where it arrived.
  // When another save renames its file over the target meanwhile, the new
  // file is looked up again.
  int pathFd = -1;
  struct stat old {
  }, folderState{};
  for (int attempt = 0;; ++attempt) {
    pathFd = OpenTarget(path);
    if (pathFd < 0) {
      FTarget = path;
      break;
    }
    if (::fstat(pathFd, &old) != 0) {
      const int error = errno;
      ::close(pathFd);
      throw Exception("Cannot write '" + path + "': " + ErrnoText(error));
    }
    FTarget = RealPathOf(pathFd, path, old, folderState);
    if (!FTarget.empty()) break;
    ::close(pathFd);
    if (attempt == 16) throw Exception("Cannot write '" + path + "': " + ErrnoText(ENOENT));
  }
  TFileDescriptor closer(pathFd);
  bool mountRoot = false, otherNames = false;
  if (pathFd >= 0) {
    if (S_ISDIR(old.st_mode)) throw Exception("Cannot replace '" + FTarget + "': it is a folder");
    // A device or a pipe must never be swapped for a regular file.
    if (!S_ISREG(old.st_mode))
      throw Exception("Cannot replace '" + FTarget + "': it is not a regular file");
    if (PlantedInStickyFolder(old, folderState))
      throw Exception("Cannot write '" + FTarget + "': " + ErrnoText(EACCES));
    // A file its owner made read-only stays as it is, although the folder
    // would allow replacing it.
    if (::access(FTarget.c_str(), W_OK) != 0)
      throw Exception("Cannot write '" + FTarget + "': " + ErrnoText(errno));
    FExists = true;
    FOldUid = old.st_uid;
    FOldGid = old.st_gid;
    FOldMode = old.st_mode & 07777;
    FOldAcl = AccessAclOf(pathFd, FTarget);
    mountRoot = IsMountRoot(pathFd);
    otherNames = old.st_nlink > 1;
  }

  const bool picture = FKind == TReplacingKind::Picture;
  if (mountRoot && !picture)
    throw Exception("The file '" + FTarget +
                    "' is a bind mount, which cannot be renamed over, so it cannot be replaced "
                    "safely.");
  // A picture reaches every name of the file, and a bind mount, in place.
  if ((mountRoot || otherNames) && picture) {
    OpenInPlace(pathFd);
    return;
  }

  const std::string folder = FolderOf(FTarget);
  RemoveStaleTempFiles(folder);
  struct stat made {};
  CreateTemp(folder, made);
  if (FFd >= 0) {
    if (FExists && ShowsMoreThanTarget(made)) CreateTempInPrivateFolder(folder, made.st_uid);
    return;
  }
  const int error = errno;
  if (FExists && (error == EACCES || error == EPERM)) {
    if (picture) {
      OpenInPlace(pathFd);
      return;
    }
    throw Exception("The folder '" + folder + "' does not allow new files, so '" + FTarget +
                    "' cannot be replaced safely.");
  }
  throw Exception("Cannot create a file in the folder '" + folder + "': " + ErrnoText(error));
}

// A descriptor of the file the path leads to, or -1 when there is none.
int TReplacingFile::OpenTarget(const std::string& path) {
  int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
  if (fd >= 0) return fd;
  if (errno != ENOENT) throw Exception("Cannot write '" + path + "': " + ErrnoText(errno));
  // A link to a file not yet there: the system creates the file through it,
  // with the same rules; the new file is then the one replaced.
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return -1;
  fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) throw Exception("Cannot write '" + path + "': " + ErrnoText(errno));
  struct stat made {};
  if (::fstat(fd, &made) == 0 && S_ISREG(made.st_mode) && made.st_size == 0) {
    FMadeThroughLink = true;
    FMadeDevice = made.st_dev;
    FMadeInode = made.st_ino;
  }
  return fd;
}

int TReplacingFile::TempDir() const {
  return FPrivateFd >= 0 ? FPrivateFd : AT_FDCWD;
}

// Makes the file in the target's folder, reached by its path, or in the
// write's own folder, reached by its descriptor. Leaves FFd at -1 with errno
// set when no file can be made; else `made` is the state of the file made.
void TReplacingFile::CreateTemp(const std::string& folder, struct stat& made) {
  // Private until whole: a replacement is given the old file's group, ACL
  // and mode only at Commit. A new file gets at once what the umask or the
  // folder's default ACL give any new file, which is what it keeps.
  const mode_t createMode = FExists ? 0600 : 0666;
  const std::string prefix =
      (FPrivateFd >= 0 ? std::string() : folder + "/") + TempPrefix(FTarget, FKind);
  for (int attempt = 0; attempt < 16; ++attempt) {
    FTemp = prefix + Guid::ToString(Guid::NewGuid(), "N") + ".tmp";
    int fd = Make.CreateFile(TempDir(), FTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                             createMode);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return;
    }
    // Locked from here to the rename, so that no clean-up takes it. One may
    // have taken it between the creation and the lock: then it holds the
    // lock, or the name leads elsewhere, and another file is made.
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    const bool taken = !held && errno == EWOULDBLOCK;
    struct stat named {};
    if (!taken && ::fstat(fd, &made) == 0 &&
        ::fstatat(TempDir(), FTemp.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        made.st_dev == named.st_dev && made.st_ino == named.st_ino) {
      FFd = fd;
      return;
    }
    ::close(fd);
  }
  errno = EEXIST;
}

// Some file systems give a new file a mode of their own, whatever it was
// made with (FUSE mounts such as bindfs --create-with-perms, shares). Where
// that shows others more than the old file does, another user may hold the
// file open already, and a narrower mode would not take back what they hold.
// It is removed unwritten, and the file is made again in a folder of the
// write's own, narrowed to 0700 while still empty: a folder's permissions are
// asked at every look-up, so what is made in it afterwards reaches nobody
// else; the file is made and renamed through the folder's descriptor, so
// that another folder put in its place gets nothing. Where the folder cannot
// be narrowed, nothing is written. A new file keeps the mode it was given: it
// shows nothing while written that it does not show once whole.
void TReplacingFile::CreateTempInPrivateFolder(const std::string& folder, uid_t owner) {
  ::close(FFd);
  FFd = -1;
  ::unlink(FTemp.c_str());
  const std::string prefix = folder + "/" + TempPrefix(FTarget, FKind);
  for (int attempt = 0; FPrivateFd < 0; ++attempt) {
    if (attempt == 16) WriteFailed(EEXIST);
    FPrivate = prefix + Guid::ToString(Guid::NewGuid(), "N") + ".tmp";
    if (Make.MakeFolder(FPrivate.c_str(), 0700) != 0) {
      if (errno == EEXIST) continue;
      WriteFailed(errno);
    }
    // Locked from here to the rename, as a temporary file is. One that a
    // clean-up took meanwhile is left to it, and one that has another owner
    // than the files made here is not the folder made.
    TFileDescriptor dir(::open(FPrivate.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat mine {
    }, named{};
    if (dir && ::flock(dir.Get(), LOCK_EX | LOCK_NB) == 0 && ::fstat(dir.Get(), &mine) == 0 &&
        mine.st_uid == owner && ::lstat(FPrivate.c_str(), &named) == 0 &&
        mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
      FPrivateFd = dir.Release();
  }
  struct stat now {};
  if (::fstat(FPrivateFd, &now) != 0) WriteFailed(errno);
  if ((now.st_mode & 077) != 0) {
    const int error = ChangeMode(FPrivateFd, 0700) == 0 ? 0 : errno;
    if (::fstat(FPrivateFd, &now) != 0) WriteFailed(errno);
    if ((now.st_mode & 077) != 0) WriteFailed(error != 0 ? error : EPERM);
  }
  struct stat made {};
  CreateTemp(FPrivate, made);
  if (FFd < 0) WriteFailed(errno);
}

// Whether a file in this state lets anyone but its owner do what the target
// does not. Its group's bits count as the target's only for the target's
// group and without an ACL, whose named users and groups they would reach.
bool TReplacingFile::ShowsMoreThanTarget(const struct stat& st) const {
  const mode_t others = st.st_mode & 077;
  if (others == 0) return false;
  mode_t granted = FOldMode & 07;
  const ssize_t acl = ::fgetxattr(FFd, AclName, nullptr, 0);
  const bool noAcl = acl == 0 || (acl < 0 && (errno == ENODATA || errno == ENOTSUP));
  // The target's group had what its ACL gave it, the mode's bits without
  // one, and nothing where the ACL could not be read.
  if (st.st_gid == FOldGid && noAcl && FOldAcl)
    granted |= (FOldAcl->empty() ? (FOldMode >> 3) & 7 : AclGroupRights(*FOldAcl)) << 3;
  return (others & ~granted) != 0;
}

void TReplacingFile::OpenInPlace(int pathFd) {
  struct stat found {};
  if (::fstat(pathFd, &found) != 0)
    throw Exception("Cannot write '" + FTarget + "': " + ErrnoText(errno));
  TFileDescriptor fd(::open(ProcPath(pathFd).c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
  if (!fd && errno == ENOENT)
    fd.Reset(::open(FTarget.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) throw Exception("Cannot write '" + FTarget + "': " + ErrnoText(errno));
  struct stat opened {};
  if (::fstat(fd.Get(), &opened) != 0 || opened.st_dev != found.st_dev ||
      opened.st_ino != found.st_ino || !S_ISREG(opened.st_mode))
    throw Exception("Cannot write '" + FTarget + "': " + ErrnoText(ENOENT));
  if (::ftruncate(fd.Get(), 0) != 0)
    throw Exception("Cannot write '" + FTarget + "': " + ErrnoText(errno));
  FFd = fd.Release();
  FInPlace = true;
}

TReplacingFile::~TReplacingFile() {
  Discard();
}

void TReplacingFile::Discard() {
  if (FFd >= 0) {
    ::close(FFd);
    FFd = -1;
    if (!FInPlace) ::unlinkat(TempDir(), FTemp.c_str(), 0);
  }
  RemovePrivateFolder();
  // The empty file made through a link goes again with the write that failed.
  struct stat now {};
  if (FMadeThroughLink && ::lstat(FTarget.c_str(), &now) == 0 && now.st_dev == FMadeDevice &&
      now.st_ino == FMadeInode && now.st_size == 0)
    ::unlink(FTarget.c_str());
  FMadeThroughLink = false;
}

void TReplacingFile::RemovePrivateFolder() {
  if (FPrivateFd < 0) return;
  ::rmdir(FPrivate.c_str());
  ::close(FPrivateFd);
  FPrivateFd = -1;
}

void TReplacingFile::WriteFailed(int error) const {
  throw Exception("Cannot write '" + FTarget + "': " + ErrnoText(error));
}

void TReplacingFile::Write(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  FHash.Add(bytes, size);
  FHashedBytes += size;
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

// Gives the file the mode. Where the file has it already, nothing is asked
// of the system. Where the file system refuses to set modes (one that keeps
// none, such as FAT through FUSE), the file keeps what it has, provided
// that grants nothing the mode does not.
void TReplacingFile::SetMode(mode_t mode) {
  struct stat now {};
  if (::fstat(FFd, &now) == 0 && (now.st_mode & 07777) == mode) return;
  if (ChangeMode(FFd, mode) == 0) return;
  const int error = errno;
  const bool refused = error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
  if (!refused || ::fstat(FFd, &now) != 0 || (now.st_mode & 07777 & ~mode) != 0) WriteFailed(error);
}

void TReplacingFile::TakeOverTargetsState() {
  if (!FExists) return;
  mode_t mode = FOldMode;
  // The owner first, with rights no wider than the old owner's: the file is
  // still 0600, so the group it passes through sees nothing.
  if ((mode & 0600) != 0600) SetMode(mode & 0600);
  struct stat now {};
  bool groupKept = true;
  if (::fstat(FFd, &now) == 0 && (now.st_uid != FOldUid || now.st_gid != FOldGid)) {
    if (::fchown(FFd, FOldUid, FOldGid) != 0) (void)::fchown(FFd, static_cast<uid_t>(-1), FOldGid);
    groupKept = ::fstat(FFd, &now) == 0 && now.st_gid == FOldGid;
  }
  // Then the ACL, before the mode: with an ACL the mode's group bits are its
  // mask, and the mode alone would give the owning group the mask's rights.
  bool aclSet = false;
  if (!FOldAcl) {
    // An ACL that could not be read gives the group nothing.
    (void)::fremovexattr(FFd, AclName);
    mode &= ~static_cast<mode_t>(070);
  } else if (!FOldAcl->empty()) {
    const std::string acl = groupKept ? *FOldAcl : WithoutGroupRights(*FOldAcl);
    aclSet = ::fsetxattr(FFd, AclName, acl.data(), acl.size(), 0) == 0;
    // Not kept: the group gets no more than the old ACL gave it.
    if (!aclSet) mode &= ~static_cast<mode_t>(070) | (AclGroupRights(*FOldAcl) << 3);
  } else {
    // One that the folder's default ACL gave the new file is not the old
    // file's.
    (void)::fremovexattr(FFd, AclName);
  }
  // Where the process may not keep the group, the group's permissions are
  // dropped rather than handed to another group.
  if (!groupKept) mode &= ~static_cast<mode_t>(07070);
  // An ACL set has the permissions already; the mode adds the special bits
  // that the change of owner cleared.
  if (aclSet && ::fstat(FFd, &now) == 0) mode = (mode & 07000) | (now.st_mode & 0777);
  SetMode(mode);
}

TFileIdentity TReplacingFile::Commit() {
  if (!FInPlace) TakeOverTargetsState();
  if (::fsync(FFd) != 0) WriteFailed(errno);
  if (FInPlace) {
    TFileIdentity written = FileIdentityOf(FFd);
    int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0) WriteFailed(errno);
    return written;
  }
  // The file stays open, and so locked, until it has its name.
  if (::renameat(TempDir(), FTemp.c_str(), AT_FDCWD, FTarget.c_str()) != 0)
    throw Exception("Cannot replace '" + FTarget + "': " + ErrnoText(errno));
  FMadeThroughLink = false;
  // Taken after the rename, which sets the change time.
  TFileIdentity written = FileIdentityOf(FFd);
  if (written.Known && FHashedBytes == static_cast<uint64_t>(written.Size)) {
    written.Hashed = true;
    written.Hash = FHash.Value();
  }
  // All is on the disk: a failure to close cannot undo what is in place.
  ::close(FFd);
  FFd = -1;
  RemovePrivateFolder();
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
