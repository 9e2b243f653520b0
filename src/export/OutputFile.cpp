#include "export/OutputFile.h"

#include "foundation/Exceptions.h"

#include <cerrno>
#include <sys/stat.h>
#include <system_error>

namespace bw {

namespace {

// Large blocks: a bitmap of a big tree runs to hundreds of megabytes.
constexpr size_t BufferSize = size_t{1} << 20;

std::string Reason(int err) {
  return std::generic_category().message(err != 0 ? err : EIO);
}

} // namespace

TOutputFile::TOutputFile(std::string path) : FilePath(std::move(path)) {
  File = std::fopen(FilePath.c_str(), "wb");
  if (!File) throw Exception("Cannot create file \"" + FilePath + "\". " + Reason(errno));
  struct stat info {};
  Regular = ::fstat(fileno(File), &info) == 0 && S_ISREG(info.st_mode);
  std::setvbuf(File, nullptr, _IOFBF, BufferSize);
}

TOutputFile::~TOutputFile() {
  if (!File) return;
  std::fclose(File);
  if (Regular) std::remove(FilePath.c_str());
}

void TOutputFile::Write(const void* data, size_t size) {
  errno = 0;
  if (size > 0 && std::fwrite(data, 1, size, File) != size)
    throw Exception("Cannot write file \"" + FilePath + "\". " + Reason(errno));
}

void TOutputFile::Commit() {
  errno = 0;
  int error = std::fflush(File) != 0 || std::ferror(File) ? (errno != 0 ? errno : EIO) : 0;
  std::FILE* file = File;
  File = nullptr;
  if (std::fclose(file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  if (error != 0) {
    if (Regular) std::remove(FilePath.c_str());
    throw Exception("Cannot write file \"" + FilePath + "\". " + Reason(error));
  }
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  TOutputFile file(path);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

} // namespace bw
