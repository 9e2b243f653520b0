#include "upgrade/Streams.h"

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
  struct stat st {};
  bool restoreMode = false;
  if (clearAttributes && stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      !(st.st_mode & S_IWUSR)) {
    restoreMode = chmod(fileName.c_str(), st.st_mode | S_IWUSR) == 0;
  }
  int flags = O_RDWR | O_CREAT | O_CLOEXEC | (rewrite ? O_TRUNC : 0);
  FHandle = open(fileName.c_str(), flags, 0666);
  int error = errno;
  if (restoreMode) chmod(fileName.c_str(), st.st_mode & 07777);
  if (FHandle < 0)
    throw FCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(error));
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
