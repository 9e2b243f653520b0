// Reading and writing the small files the upgrade tests place and check.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>

namespace bw::test {

inline std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void Write(const std::filesystem::path& p, const std::string& text,
                  std::filesystem::perms perms = std::filesystem::perms(0644)) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
  std::filesystem::permissions(p, perms);
}

// The permission bits, 0 for a missing file.
inline mode_t Mode(const std::filesystem::path& p) {
  struct stat st {};
  return stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace bw::test
