#include "foundation/FileIdentity.h"

#include "foundation/ContentHash.h"
#include "foundation/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace bw {

namespace {

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

// The hash of all the bytes of the file and their count; false when the
// file cannot be read to its end.
bool HashFile(int fd, uint64_t& hashValue, int64_t& total) {
  constexpr size_t BlockSize = size_t(1) << 20;
  std::unique_ptr<char[]> block(new char[BlockSize]);
  TContentHash hash;
  total = 0;
  for (;;) {
    ssize_t n = ::read(fd, block.get(), BlockSize);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    hash.Add(block.get(), static_cast<size_t>(n));
    total += n;
  }
  hashValue = hash.Value();
  return true;
}

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
  return state.Known && state.ModifiedNanoseconds == 0 && state.ChangedNanoseconds == 0;
}

bool FileChangedSince(const std::string& path, const TFileIdentity& known) {
  if (!known.Known) return false;
  const TFileIdentity now = FileIdentityOf(path);
  if (!now.Known) return false;
  if (now.Size != known.Size) return true;
  if (now.SameState(known) && !TimesCannotTell(known)) return false;
  if (!known.Hashed) return !now.SameState(known);
  // The bytes decide. A file that cannot be read now counts as changed, so
  // that the user is asked.
  TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return true;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
  uint64_t hash = 0;
  int64_t total = 0;
  return !HashFile(fd.Get(), hash, total) || total != known.Size || hash != known.Hash;
}

} // namespace bw
