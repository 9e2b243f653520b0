#include "platform/system/NamedMutex.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace bw;
namespace fs = std::filesystem;

namespace {

// A folder of its own, with the environment variables the mutex looks at
// set for the test and restored after it.
class NamedMutexTest : public testing::Test {
protected:
  void SetUp() override {
    Save("XDG_RUNTIME_DIR");
    Save("TMPDIR");
    char pattern[] = "/tmp/bw-mutex-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FRoot = pattern;
    fs::create_directory(FRoot / "runtime");
    fs::create_directory(FRoot / "tmp");
    setenv("XDG_RUNTIME_DIR", (FRoot / "runtime").c_str(), 1);
    setenv("TMPDIR", (FRoot / "tmp").c_str(), 1);
  }
  void TearDown() override {
    for (auto& [name, value] : FSaved)
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    std::error_code ignored;
    fs::remove_all(FRoot, ignored);
  }

  // Whether another open of the file can take the lock in the given mode
  // without waiting.
  static bool CanLock(const fs::path& file, int mode) {
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool locked = flock(fd, mode | LOCK_NB) == 0;
    close(fd);
    return locked;
  }

  fs::path FRoot;

private:
  void Save(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    FSaved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> FSaved;
};

TEST_F(NamedMutexTest, HoldsASharedLockOnItsFileWhileItLives) {
  const fs::path file = FRoot / "runtime" / "BrantwickMutex";
  {
    NamedMutex mutex("BrantwickMutex");
    ASSERT_TRUE(mutex.Held());
    EXPECT_EQ(mutex.FileName(), file.string());
    EXPECT_TRUE(fs::is_regular_file(file));
    EXPECT_FALSE(CanLock(file, LOCK_EX));
    // A second instance is never refused.
    NamedMutex second("BrantwickMutex");
    EXPECT_TRUE(second.Held());
    EXPECT_TRUE(CanLock(file, LOCK_SH));
  }
  EXPECT_TRUE(CanLock(file, LOCK_EX));
}

TEST_F(NamedMutexTest, FallsBackToTheTemporaryFolder) {
  unsetenv("XDG_RUNTIME_DIR");
  {
    NamedMutex mutex("BrantwickMutex");
    ASSERT_TRUE(mutex.Held());
    EXPECT_EQ(mutex.FileName(), (FRoot / "tmp" / "BrantwickMutex").string());
  }
  // Also when the runtime folder is set but unusable.
  setenv("XDG_RUNTIME_DIR", (FRoot / "missing").c_str(), 1);
  NamedMutex mutex("BrantwickMutex");
  ASSERT_TRUE(mutex.Held());
  EXPECT_EQ(mutex.FileName(), (FRoot / "tmp" / "BrantwickMutex").string());
  EXPECT_FALSE(fs::exists(FRoot / "missing"));
}

TEST_F(NamedMutexTest, PlantedFilesAreNotTakenAndDoNotBlock) {
  unsetenv("XDG_RUNTIME_DIR");
  // A link under the name is not followed, so nothing is made at its target.
  fs::create_symlink(FRoot / "target", FRoot / "tmp" / "Linked");
  NamedMutex linked("Linked");
  EXPECT_FALSE(linked.Held());
  EXPECT_FALSE(fs::exists(FRoot / "target"));
  // Opening a pipe would wait for a writer.
  ASSERT_EQ(mkfifo((FRoot / "tmp" / "Piped").c_str(), 0600), 0);
  NamedMutex piped("Piped");
  EXPECT_FALSE(piped.Held());
  // A "/" in the name stays inside the folder.
  NamedMutex nested("a/b");
  ASSERT_TRUE(nested.Held());
  EXPECT_EQ(fs::path(nested.FileName()), FRoot / "tmp" / "a_b");
}

} // namespace
