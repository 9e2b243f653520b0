// The program's own path, and the temporary folder: $TMPDIR, and the
// program's folder when that names no folder, for the program and for the
// libraries under it.
#include "foundation/Folders.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>

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

// The program's own path where /proc is not mounted (a chroot, a container):
// the name it was started by, made absolute, the same file the system's link
// names.
TEST(Folders, TheRunningProgramIsFoundWithoutProc) {
  const std::string withProc = RunningProgramPath();
  ASSERT_FALSE(withProc.empty());
  const std::string withoutProc = test::InChildProcess([] {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        umount2("/proc", MNT_DETACH) != 0 || access("/proc/self/exe", F_OK) == 0)
      return std::string("(no namespace without /proc)");
    return RunningProgramPath();
  });
  if (withoutProc == "(no namespace without /proc)") GTEST_SKIP() << "cannot hide /proc here";
  EXPECT_EQ(withoutProc, withProc);
}
