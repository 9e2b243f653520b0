#include "export/OutputFile.h"

#include "foundation/Exceptions.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace bw {

namespace {

// Large blocks: a bitmap of a big tree runs to hundreds of megabytes.
constexpr size_t BufferSize = size_t{1} << 20;

} // namespace

TOutputFile::TOutputFile(const std::string& path) : Replacing(path, TReplacingKind::Picture) {
  // The stream has a descriptor of its own, so that closing it leaves the
  // temporary file open for Commit.
  int fd = ::fcntl(Replacing.Fd(), F_DUPFD_CLOEXEC, 0);
  if (fd >= 0) File = ::fdopen(fd, "wb");
  if (!File) {
    int error = errno;
    if (fd >= 0) ::close(fd);
    throw Exception("Cannot write '" + Replacing.Target() +
                    "': " + std::generic_category().message(error));
  }
  std::setvbuf(File, nullptr, _IOFBF, BufferSize);
}

TOutputFile::~TOutputFile() {
  if (File) std::fclose(File);
}

void TOutputFile::Write(const void* data, size_t size) {
  errno = 0;
  if (size > 0 && std::fwrite(data, 1, size, File) != size) Replacing.WriteFailed(errno);
}

void TOutputFile::Commit() {
  errno = 0;
  bool failed = std::fflush(File) != 0 || std::ferror(File);
  int error = failed ? errno : 0;
  std::FILE* file = File;
  File = nullptr;
  if (std::fclose(file) != 0 && !failed) {
    failed = true;
    error = errno;
  }
  if (failed) Replacing.WriteFailed(error);
  Replacing.Commit();
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  TOutputFile file(path);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

} // namespace bw
