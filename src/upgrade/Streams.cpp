#include "upgrade/Streams.h"

#include "upgrade/helper/HelperCore.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bw {

std::string TauStream::ReadToEnd() {
  std::string result;
  int64_t left = Size() - Position();
  if (left <= 0) return result;
  result.resize(static_cast<size_t>(left));
  int64_t n = Read(result.data(), left);
  result.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return result;
}

int64_t TauMemoryStream::Seek(int64_t position) {
  if (position < 0) return -1;
  FPosition = position;
  return FPosition;
}

int64_t TauMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || FPosition >= Size()) return 0;
  int64_t n = std::min(count, Size() - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TauMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  auto end = static_cast<size_t>(FPosition + count);
  if (end > FData.size()) {
    if (end > FData.capacity()) FData.reserve(std::max(end, FData.capacity() * 2));
    FData.resize(end);
  }
  std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
  FPosition += count;
  return count;
}

TauFileStream::TauFileStream(const std::string& fileName, bool clearAttributes, bool rewrite)
    : FFileName(fileName) {
  // Where others may write too, whatever stands under the name may be
  // theirs: a link to one of the user's files, or a file they read. The
  // stream writes only into a regular file of this user: one it makes, or
  // one it continues.
  int error = EEXIST;
  if (rewrite) {
    if (helper::ClearOwnFile(fileName)) {
      FHandle = open(fileName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      error = errno;
    }
  } else {
    struct stat st {};
    const bool exists = lstat(fileName.c_str(), &st) == 0;
    if (!exists || helper::IsOwnFile(fileName)) {
      const bool restoreMode = clearAttributes && exists && !(st.st_mode & S_IWUSR) &&
                               chmod(fileName.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
      FHandle = open(fileName.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
      error = errno;
      if (restoreMode) chmod(fileName.c_str(), st.st_mode & 07777);
      // A file with a second name elsewhere would be written there too.
      if (FHandle >= 0 && (fstat(FHandle, &st) != 0 || !helper::IsOwnSingleFile(st))) {
        close(FHandle);
        FHandle = -1;
        error = EEXIST;
      }
    }
  }
  if (FHandle < 0)
    throw FCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(error), error);
}

TauFileStream::~TauFileStream() {
  if (FHandle >= 0) close(FHandle);
}

int64_t TauFileStream::Size() const {
  struct stat st {};
  return fstat(FHandle, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

int64_t TauFileStream::Seek(int64_t position) {
  off_t reached = lseek(FHandle, static_cast<off_t>(position), SEEK_SET);
  if (reached < 0) return -1;
  FPosition = reached;
  return FPosition;
}

int64_t TauFileStream::Read(void* buffer, int64_t count) {
  int64_t n = ReadAt(FPosition, buffer, count);
  if (n > 0) FPosition += n;
  return n;
}

int64_t TauFileStream::ReadAt(int64_t offset, void* buffer, int64_t count) const {
  int64_t done = 0;
  auto* p = static_cast<char*>(buffer);
  while (done < count) {
    ssize_t n = pread(FHandle, p + done, static_cast<size_t>(count - done), offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done > 0 ? done : -1;
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t TauFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  auto* p = static_cast<const char*>(buffer);
  while (done < count) {
    ssize_t n = pwrite(FHandle, p + done, static_cast<size_t>(count - done), FPosition + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    done += n;
  }
  FPosition += done;
  return done;
}

} // namespace bw
