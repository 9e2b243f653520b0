// A picture file written from scratch, with every failure reported: it is
// created (or emptied) when opened and complete only after Commit. One left
// uncommitted, after an error on the way, is removed again, so that no half
// picture stays behind under the chosen name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace bw {

class TOutputFile {
public:
  explicit TOutputFile(std::string path);
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;
  ~TOutputFile();

  std::FILE* Stream() const { return File; }
  const std::string& Path() const { return FilePath; }

  // All bytes or an exception.
  void Write(const void* data, size_t size);

  // Flushes and closes the file; raises the first failure.
  void Commit();

private:
  std::string FilePath;
  std::FILE* File = nullptr;
  // Only a regular file is removed after a failure, never a device.
  bool Regular = false;
};

// The bytes as the whole file.
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace bw
