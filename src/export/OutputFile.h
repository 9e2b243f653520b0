// A picture file written with every failure reported. The bytes go to a
// private temporary file beside the target, which replaces the target only
// at Commit: after an error on the way a file of that name keeps what it
// held, and no half picture stays behind. Where the file cannot be replaced
// (a folder that does not allow new files, a bind-mounted file) or has other
// names, it is written in place.
#pragma once

#include "foundation/ReplacingFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace bw {

class TOutputFile {
public:
  explicit TOutputFile(const std::string& path);
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;
  ~TOutputFile();

  std::FILE* Stream() const { return File; }

  // All bytes or an exception.
  void Write(const void* data, size_t size);

  // Flushes the stream and puts the file in place; raises the first failure.
  void Commit();

private:
  TReplacingFile Replacing;
  std::FILE* File = nullptr;
};

// The bytes as the whole file.
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace bw
