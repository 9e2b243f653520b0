// The temporary folder: $TMPDIR, "/tmp" without it, and the program's
// folder when it names no folder; $TMPDIR settled on it for the libraries.
#include "foundation/Folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

using namespace bw;

namespace {

struct SavedTmpdir {
  std::optional<std::string> Old;
  SavedTmpdir() {
    if (const char* value = std::getenv("TMPDIR")) Old = value;
  }
  ~SavedTmpdir() {
    if (Old)
      setenv("TMPDIR", Old->c_str(), 1);
    else
      unsetenv("TMPDIR");
  }
};

} // namespace

TEST(Folders, TheTemporaryFolderIsTmpdirOrElseTheProgramsFolder) {
  SavedTmpdir saved;
  char pattern[] = "/tmp/bw-folders-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  setenv("TMPDIR", folder.c_str(), 1);
  EXPECT_EQ(GetTempFolder(), folder + "/");
  unsetenv("TMPDIR");
  EXPECT_EQ(GetTempFolder(), "/tmp/");

  // Neither a missing folder nor a file is a place for temporary files.
  std::ofstream(folder + "/file") << "x";
  for (const std::string& named : {folder + "/missing", folder + "/file"}) {
    setenv("TMPDIR", named.c_str(), 1);
    EXPECT_EQ(GetTempFolder(), CurrentFolder()) << named;
  }
  // The libraries are pointed at the same folder; a folder that exists stays.
  ShareTempFolder();
  EXPECT_EQ(std::getenv("TMPDIR"), CurrentFolder());
  setenv("TMPDIR", folder.c_str(), 1);
  ShareTempFolder();
  EXPECT_EQ(std::getenv("TMPDIR"), folder);
  std::filesystem::remove_all(folder);
}
