// The readers behind OpenWorkbook, one per file format.
#pragma once

#include "platform/workbook/Workbook.h"

#include <unistd.h>

#include <utility>

namespace bw {

// An open file, closed with its holder.
struct TFileHandle {
  int Fd = -1;
  explicit TFileHandle(int fd) : Fd(fd) {}
  TFileHandle(TFileHandle&& other) noexcept : Fd(other.Fd) { other.Fd = -1; }
  TFileHandle& operator=(TFileHandle&&) = delete;
  ~TFileHandle() {
    if (Fd >= 0) close(Fd);
  }
  // Hands the file to an owner that closes it.
  int Release() { return std::exchange(Fd, -1); }
};

// A zip package of the Office Open XML kind. file: as messages name it.
std::unique_ptr<TWorkbook> OpenPackageFile(TFileHandle handle, const std::string& file,
                                           const TWorkbookLimits& limits);
std::unique_ptr<TWorkbook> OpenPackageBuffer(std::string bytes, const TWorkbookLimits& limits);
// A binary workbook in a compound document.
std::unique_ptr<TWorkbook> OpenBinaryWorkbook(TFileHandle handle, const std::string& file,
                                              const TWorkbookLimits& limits);

} // namespace bw
