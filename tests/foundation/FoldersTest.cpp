// The temporary folder: $TMPDIR, and the program's folder when that names
// no folder, for the program and for the libraries under it.
#include "foundation/Folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace bw;

TEST(Folders, ATmpdirThatNamesNoFolderGivesWayToTheProgramsFolder) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  char pattern[] = "/tmp/bw-folders-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  setenv("TMPDIR", pattern, 1);
  ShareTempFolder();
  EXPECT_EQ(GetTempFolder(), std::string(pattern) + "/");
  EXPECT_STREQ(std::getenv("TMPDIR"), pattern);

  rmdir(pattern);
  EXPECT_EQ(GetTempFolder(), CurrentFolder());
  ShareTempFolder();
  EXPECT_EQ(std::getenv("TMPDIR"), CurrentFolder());
  if (saved.empty())
    unsetenv("TMPDIR");
  else
    setenv("TMPDIR", saved.c_str(), 1);
}
