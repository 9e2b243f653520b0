#include "foundation/ReplacingFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace bw {
namespace {

// A file written again in place, with its size unchanged, is told from the
// state known before by its time. With nothing known, or no file left, a
// write overwrites nothing: no change.
TEST(FileIdentity, AWriteInPlaceIsAChangeAMissingFileIsNot) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("bw-identity-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "tree.bwk").string();
  auto write = [&](const char* text) { std::ofstream(path, std::ios::binary) << text; };
  auto setTime = [&](time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  };
  write("first");
  setTime(1000000000);
  const TFileIdentity known = FileIdentityOf(path);
  ASSERT_TRUE(known.Known);
  EXPECT_FALSE(FileChangedSince(path, known));
  EXPECT_FALSE(FileChangedSince(path, TFileIdentity{}));

  write("other");
  setTime(1000000001);
  EXPECT_TRUE(FileChangedSince(path, known));

  std::filesystem::remove(path);
  EXPECT_FALSE(FileChangedSince(path, known));
  std::filesystem::remove_all(dir);
}

} // namespace
} // namespace bw
