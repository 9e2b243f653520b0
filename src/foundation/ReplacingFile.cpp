#include "foundation/ReplacingFile.h"

#include "foundation/Exceptions.h"
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

namespace bw {

// ---- Content hash ------------------------------------------------------------

namespace {

constexpr uint64_t K0 = 0xA0761D6478BD642Full, K1 = 0xE7037ED1A0B428DBull,
                   K2 = 0x8EBC6AF09C88C6E3ull, K3 = 0x589965CC75374CC3ull;

// The two halves of the 128-bit product folded into one: a multiplication
// for every 16 bytes, which keeps the hash at memory speed.
inline uint64_t Mix(uint64_t a, uint64_t b) {
  const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  return static_cast<uint64_t>(product) ^ static_cast<uint64_t>(product >> 64);
}

inline uint64_t Load64(const unsigned char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

} // namespace

void TContentHash::Add(const void* data, size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  FTotal += size;
  // Four lanes, each chained through its own state so that the order of the
  // blocks counts; kept in registers while the bytes run.
  uint64_t a = FLanes[0], b = FLanes[1], c = FLanes[2], d = FLanes[3];
  auto block = [&](const unsigned char* q) {
    a = Mix(Load64(q) ^ K0, Load64(q + 8) ^ a);
    b = Mix(Load64(q + 16) ^ K1, Load64(q + 24) ^ b);
    c = Mix(Load64(q + 32) ^ K2, Load64(q + 40) ^ c);
    d = Mix(Load64(q + 48) ^ K3, Load64(q + 56) ^ d);
  };
  if (FTailSize > 0) {
    const size_t take = std::min(size, sizeof FTail - FTailSize);
    std::memcpy(FTail + FTailSize, p, take);
    FTailSize += take;
    p += take;
    size -= take;
    if (FTailSize < sizeof FTail) return;
    block(FTail);
    FTailSize = 0;
  }
  for (; size >= sizeof FTail; p += sizeof FTail, size -= sizeof FTail)
    block(p);
  FLanes[0] = a, FLanes[1] = b, FLanes[2] = c, FLanes[3] = d;
  std::memcpy(FTail, p, size);
  FTailSize = size;
}

uint64_t TContentHash::Value() const {
  uint64_t h = Mix(FLanes[0] ^ K1, FLanes[1] ^ K2) ^ Mix(FLanes[2] ^ K3, FLanes[3] ^ K0);
  unsigned char tail[sizeof FTail + 8] = {};
  std::memcpy(tail, FTail, FTailSize);
  for (size_t i = 0; i < FTailSize; i += 16)
    h = Mix(Load64(tail + i) ^ K1 ^ h, Load64(tail + i + 8) ^ K2);
  return Mix(h ^ FTotal ^ K0, K3 ^ (FTotal << 1 | 1));
}

// ---- File identity -----------------------------------------------------------

namespace {

std::string ErrnoText(int err) {
  return std::generic_category().message(err != 0 ? err : EIO);
}

TFileIdentity IdentityOf(const struct stat& st) {
  TFileIdentity id;
  id.Known = true;
  id.Device = static_cast<uint64_t>(st.st_dev);
  id.Inode = static_cast<uint64_t>(st.st_ino);
  id.Size = static_cast<int64_t>(st.st_size);
  id.ModifiedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
  id.ModifiedNanoseconds = static_cast<int64_t>(st.st_mtim.tv_nsec);
  id.ChangedSeconds = static_cast<int64_t>(st.st_ctim.tv_sec);
  id.ChangedNanoseconds = static_cast<int64_t>(st.st_ctim.tv_nsec);
  return id;
}

struct FdCloser {
  int Fd;
  ~FdCloser() {
    if (Fd >= 0) ::close(Fd);
  }
};

} // namespace

bool TFileIdentity::SameState(const TFileIdentity& other) const {
  return Known == other.Known && Device == other.Device && Inode == other.Inode &&
         Size == other.Size && ModifiedSeconds == other.ModifiedSeconds &&
         ModifiedNanoseconds == other.ModifiedNanoseconds &&
         ChangedSeconds == other.ChangedSeconds && ChangedNanoseconds == other.ChangedNanoseconds;
}

TFileIdentity FileIdentityOf(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? IdentityOf(st) : TFileIdentity{};
}

TFileIdentity FileIdentityOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? IdentityOf(st) : TFileIdentity{};
}

bool TimesCannotTell(const TFileIdentity& state) {
  if (!state.Known) return false;
  if (state.ModifiedNanoseconds == 0 && state.ChangedNanoseconds == 0) return true;
  // The system stamps writes with a clock that moves in steps: a write just
  // after this one may carry the same times. A second's margin also covers
  // a share whose clock is a little ahead.
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return state.ModifiedSeconds >= now.tv_sec - 1 || state.ChangedSeconds >= now.tv_sec - 1;
}

bool FileChangedSince(const std::string& path, const TFileIdentity& known) {
  if (!known.Known) return false;
  const TFileIdentity now = FileIdentityOf(path);
  if (!now.Known) return false;
  if (!now.SameState(known)) return true;
  if (!known.Hashed) return false;
  // The times cannot tell: the bytes can. A file that cannot be read now
  // counts as changed, so that the user is asked.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return true;
  FdCloser closer{fd};
  if (!FileIdentityOf(fd).SameState(known)) return true;
  constexpr size_t BlockSize = size_t(1) << 20;
  std::unique_ptr<char[]> block(new char[BlockSize]);
  TContentHash hash;
  int64_t total = 0;
  for (;;) {
    ssize_t n = ::read(fd, block.get(), BlockSize);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return true;
    if (n == 0) break;
    hash.Add(block.get(), static_cast<size_t>(n));
    total += n;
  }
  return total != known.Size || hash.Value() != known.Hash;
}

// ---- Replacing file ----------------------------------------------------------

namespace {

constexpr const char* AclName = "system.posix_acl_access";

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

// The name through which the system reaches an open file, also one opened
// with O_PATH (for the extended attributes and to open it again).
std::string ProcPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

// Where the system found the file it opened: the path the descriptor
// holds, checked to lead to that very file still; empty when another file
// has taken that name since (a concurrent save).
std::string RealPathOf(int fd, const std::string& path, const struct stat& st) {
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
  struct stat named {};
  if (real.empty() || real.front() != '/' || ::lstat(real.c_str(), &named) != 0 ||
      named.st_dev != st.st_dev || named.st_ino != st.st_ino)
    return {};
  return real;
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

// Removes the temporary files that earlier saves and exports into the folder
// left when they were killed: ours by name and owner, regular files, and not
// locked; a write that is running holds its file locked from its creation to
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
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dirFd, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino)
      ::unlinkat(dirFd, e->d_name, 0);
    ::close(fd);
  }
  ::closedir(dir);
}

// The access ACL of a file as its extended attribute holds it; empty when
// it has none (or the file system keeps none).
std::string AccessAclOf(int fd) {
  const std::string path = ProcPath(fd);
  for (int attempt = 0; attempt < 4; ++attempt) {
    ssize_t size = ::getxattr(path.c_str(), AclName, nullptr, 0);
    if (size <= 0) return {};
    std::string acl(static_cast<size_t>(size), '\0');
    ssize_t n = ::getxattr(path.c_str(), AclName, acl.data(), acl.size());
    if (n >= 0) {
      acl.resize(static_cast<size_t>(n));
      return acl;
    }
    if (errno != ERANGE) return {};
  }
  return {};
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
  struct stat old {};
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
    FTarget = RealPathOf(pathFd, path, old);
    if (!FTarget.empty()) break;
    ::close(pathFd);
    if (attempt == 16) throw Exception("Cannot write '" + path + "': " + ErrnoText(ENOENT));
  }
  FdCloser closer{pathFd};
  bool mountRoot = false, otherNames = false;
  if (pathFd >= 0) {
    if (S_ISDIR(old.st_mode)) throw Exception("Cannot replace '" + FTarget + "': it is a folder");
    // A device or a pipe must never be swapped for a regular file.
    if (!S_ISREG(old.st_mode))
      throw Exception("Cannot replace '" + FTarget + "': it is not a regular file");
    // A file its owner made read-only stays as it is, although the folder
    // would allow replacing it.
    if (::access(FTarget.c_str(), W_OK) != 0)
      throw Exception("Cannot write '" + FTarget + "': " + ErrnoText(errno));
    FExists = true;
    FOldUid = old.st_uid;
    FOldGid = old.st_gid;
    FOldMode = old.st_mode & 07777;
    FOldAcl = AccessAclOf(pathFd);
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
  CreateTemp(folder);
  if (FFd >= 0) return;
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

// Leaves FFd at -1 with errno set when no file can be made.
void TReplacingFile::CreateTemp(const std::string& folder) {
  // Private until whole: a replacement is given the old file's group, ACL
  // and mode only at Commit. A new file gets at once what the umask or the
  // folder's default ACL give any new file, which is what it keeps.
  const mode_t createMode = FExists ? 0600 : 0666;
  const std::string prefix = folder + "/" + TempPrefix(FTarget, FKind);
  for (int attempt = 0; attempt < 16; ++attempt) {
    FTemp = prefix + Guid::ToString(Guid::NewGuid(), "N") + ".tmp";
    int fd = ::open(FTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return;
    }
    // Locked from here to the rename, so that no clean-up takes it. One may
    // have taken it between the creation and the lock: then it holds the
    // lock, or the name leads elsewhere, and another file is made.
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    const bool taken = !held && errno == EWOULDBLOCK;
    struct stat mine {
    }, named{};
    if (!taken && ::fstat(fd, &mine) == 0 && ::lstat(FTemp.c_str(), &named) == 0 &&
        mine.st_dev == named.st_dev && mine.st_ino == named.st_ino) {
      FFd = fd;
      return;
    }
    ::close(fd);
  }
  errno = EEXIST;
}

void TReplacingFile::OpenInPlace(int pathFd) {
  int fd = ::open(ProcPath(pathFd).c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) fd = ::open(FTarget.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) throw Exception("Cannot write '" + FTarget + "': " + ErrnoText(errno));
  FdCloser closer{fd};
  struct stat opened {
  }, found{};
  if (::fstat(fd, &opened) != 0 || ::fstat(pathFd, &found) != 0 || opened.st_dev != found.st_dev ||
      opened.st_ino != found.st_ino || !S_ISREG(opened.st_mode))
    throw Exception("Cannot write '" + FTarget + "': " + ErrnoText(ENOENT));
  if (::ftruncate(fd, 0) != 0)
    throw Exception("Cannot write '" + FTarget + "': " + ErrnoText(errno));
  FFd = fd;
  closer.Fd = -1;
  FInPlace = true;
}

TReplacingFile::~TReplacingFile() {
  Discard();
}

void TReplacingFile::Discard() {
  if (FFd >= 0) {
    ::close(FFd);
    FFd = -1;
    if (!FInPlace) ::unlink(FTemp.c_str());
  }
  // The empty file made through a link goes again with the write that failed.
  struct stat now {};
  if (FMadeThroughLink && ::lstat(FTarget.c_str(), &now) == 0 && now.st_dev == FMadeDevice &&
      now.st_ino == FMadeInode && now.st_size == 0)
    ::unlink(FTarget.c_str());
  FMadeThroughLink = false;
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

void TReplacingFile::TakeOverTargetsState() {
  if (!FExists) return;
  mode_t mode = FOldMode;
  // The owner first, with rights no wider than the old owner's: the file is
  // still 0600, so the group it passes through sees nothing.
  if ((mode & 0600) != 0600 && ::fchmod(FFd, mode & 0600) != 0) WriteFailed(errno);
  struct stat now {};
  bool groupKept = true;
  if (::fstat(FFd, &now) == 0 && (now.st_uid != FOldUid || now.st_gid != FOldGid)) {
    if (::fchown(FFd, FOldUid, FOldGid) != 0) (void)::fchown(FFd, static_cast<uid_t>(-1), FOldGid);
    groupKept = ::fstat(FFd, &now) == 0 && now.st_gid == FOldGid;
  }
  // Then the ACL, before the mode: with an ACL the mode's group bits are its
  // mask, and the mode alone would give the owning group the mask's rights.
  bool aclSet = false;
  if (!FOldAcl.empty()) {
    const std::string acl = groupKept ? FOldAcl : WithoutGroupRights(FOldAcl);
    aclSet = ::fsetxattr(FFd, AclName, acl.data(), acl.size(), 0) == 0;
    // Not kept: the group gets no more than the old ACL gave it.
    if (!aclSet) mode &= ~static_cast<mode_t>(070) | (AclGroupRights(FOldAcl) << 3);
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
  if (::fchmod(FFd, mode) != 0) WriteFailed(errno);
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
  if (::rename(FTemp.c_str(), FTarget.c_str()) != 0)
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
