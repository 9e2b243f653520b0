#include "TestFiles.h"
#include "support/ChildProcess.h"

#include "upgrade/PrivateFolder.h"
#include "upgrade/helper/HelperBlob.h"
#include "upgrade/helper/HelperCore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sched.h>
#include <set>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace bw;
using namespace bw::helper;
using namespace bw::test;
namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

// Waits a bounded time for a file a started program writes.
bool AppearsWithin(const fs::path& p, int seconds) {
  for (int i = 0; i < seconds * 100; ++i) {
    if (fs::exists(p) && fs::file_size(p) > 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

class Folder : public ::testing::Test {
protected:
  fs::path Root = fs::temp_directory_path() / ("bw-helper-" + std::to_string(getpid()));
  void SetUp() override { fs::create_directories(Root); }
  void TearDown() override { fs::remove_all(Root); }
};

HelperCommand Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "helper");
  HelperCommand c;
  EXPECT_TRUE(ParseHelperArguments(static_cast<int>(args.size()), args.data(), c));
  return c;
}

} // namespace

TEST(HelperArguments, ProgramVerbatimAndNoEmptyRestartArguments) {
  HelperCommand c = Parse({"/opt/my apps/a+b/brantwick", "+ 0"});
  EXPECT_EQ(c.ProgramPath, "/opt/my apps/a+b/brantwick");
  EXPECT_TRUE(c.RestartArgs.empty()); // the blank restart parameter gives none
  EXPECT_EQ(c.Method, '0');
  c = Parse({"/p", "+/afterupgrade  --x1"});
  EXPECT_EQ(c.RestartArgs, (std::vector<std::string>{"/afterupgrade", "--x"}));
  EXPECT_EQ(c.Method, '1');
  // Parameters split by the caller's shell are joined again.
  c = Parse({"/p", "+a", "b2"});
  EXPECT_EQ(c.RestartArgs, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(c.Method, '2');
  const char* none[] = {"helper"};
  EXPECT_FALSE(ParseHelperArguments(1, none, c));
}

TEST_F(Folder, ReplacingKeepsPermissionsAndIsOneRename) {
  const fs::path program = Root / "prog";
  Write(program, "old", fs::perms(0755));
  Write(Root / "prog.uTMP", "new", fs::perms(0600));
  std::ifstream running(program); // the running program keeps its file
  ASSERT_TRUE(ReplaceWithDownload(program.string()));
  EXPECT_EQ(ReadAll(program), "new");
  EXPECT_EQ(Mode(program), 0755u);
  EXPECT_FALSE(fs::exists(Root / "prog.uTMP"));
  std::string seen;
  running >> seen;
  EXPECT_EQ(seen, "old");
  // A new file gets ordinary permissions.
  Write(Root / "fresh.uTMP", "x", fs::perms(0600));
  ASSERT_TRUE(ReplaceWithDownload((Root / "fresh").string()));
  EXPECT_EQ(Mode(Root / "fresh"), 0644u);
  EXPECT_FALSE(ReplaceWithDownload((Root / "nothing").string()));
}

TEST_F(Folder, AFailedRenameKeepsTheOldFile) {
  // The target cannot be replaced (a folder with content stands there):
  // nothing is deleted, and the download stays for a later clean-up.
  fs::create_directories(Root / "target" / "content");
  Write(Root / "target.uTMP", "new");
  EXPECT_FALSE(ReplaceWithDownload((Root / "target").string()));
  EXPECT_TRUE(fs::exists(Root / "target" / "content"));
  EXPECT_EQ(ReadAll(Root / "target.uTMP"), "new");
}

// A helper ended between its two renames (a shutdown, the memory running
// out) leaves the download in its install folder, and one whose install
// folder failed it right after making it leaves nothing: the old file stays
// whole either way, and the next run clears the folder away and installs.
// What no ended helper of this user's left stays.
TEST_F(Folder, AHelperEndedWhileItInstallsLeavesNothingForGood) {
  fs::create_directories(Root / "app");
  const std::string prefix = InstallFolderPrefix;
  const fs::path program = Root / "app" / "prog";
  Write(program, "old", fs::perms(0755));
  Write(Root / "app" / "prog.uTMP", "new", fs::perms(0600));
  auto installFolders = [&] {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(Root / "app"))
      if (entry.path().filename().string().rfind(prefix, 0) == 0)
        names.insert(entry.path().filename().string());
    return names;
  };
  // Started again with few descriptors, the helper cannot open the folder
  // it made.
  auto inChild = [&](auto helper) {
    const pid_t child = fork();
    if (child == 0) {
      helper();
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
  };
  const int lowest = dup(0);
  close(lowest);
  EXPECT_EQ(inChild([&] {
              const rlimit few{static_cast<rlim_t>(lowest + 1), static_cast<rlim_t>(lowest + 1)};
              setrlimit(RLIMIT_NOFILE, &few);
              if (ReplaceWithDownload(program.string())) _exit(1);
            }),
            0);
  EXPECT_TRUE(installFolders().empty());
  EXPECT_EQ(ReadAll(Root / "app" / "prog.uTMP"), "new");

  const int ended = inChild([&] {
    BetweenInstallRenames = [] { raise(SIGKILL); };
    ReplaceWithDownload(program.string());
  });
  ASSERT_TRUE(WIFSIGNALED(ended) && WTERMSIG(ended) == SIGKILL);
  EXPECT_EQ(ReadAll(program), "old");
  const std::set<std::string> left = installFolders();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(ReadAll(Root / "app" / *left.begin() / "prog.uTMP"), "new");

  auto folder = [&](const std::string& name, fs::perms perms, const Strings& files) {
    fs::create_directory(Root / "app" / (prefix + name));
    for (const std::string& file : files)
      Write(Root / "app" / (prefix + name) / file, "x");
    fs::permissions(Root / "app" / (prefix + name), perms);
  };
  folder("empty1", fs::perms(0700), {});
  folder("notes1", fs::perms(0700), {"a.uTMP", "notes.txt"});
  folder("open01", fs::perms(0755), {"a.uTMP"});
  folder("long001", fs::perms(0700), {"a.uTMP"});
  fs::create_directories(Root / "elsewhere");
  Write(Root / "elsewhere" / "a.uTMP", "the user's");
  fs::create_directory_symlink(Root / "elsewhere", Root / "app" / (prefix + "link01"));
  if (geteuid() == 0) {
    folder("them01", fs::perms(0700), {"a.uTMP"});
    ASSERT_EQ(chown((Root / "app" / (prefix + "them01")).c_str(), 65534, 65534), 0);
  }

  // The next run downloads again.
  Write(Root / "app" / "prog.uTMP", "newer", fs::perms(0600));
  HelperCommand c;
  c.ProgramPath = program.string();
  InstallDownloads(c, {});
  EXPECT_EQ(ReadAll(program), "newer");
  std::set<std::string> kept;
  for (const char* name : {"notes1", "open01", "long001", "link01"})
    kept.insert(prefix + name);
  if (geteuid() == 0) kept.insert(prefix + "them01");
  EXPECT_EQ(installFolders(), kept);
  EXPECT_EQ(ReadAll(Root / "app" / (prefix + "notes1") / "a.uTMP"), "x");
  EXPECT_EQ(ReadAll(Root / "elsewhere" / "a.uTMP"), "the user's");
}

// In a folder that others share, a link or a file of theirs may stand under
// either name: the helper moves only a download of this user, and only over
// a file of this user.
TEST_F(Folder, OnlyADownloadOfOursReplacesAFileOfOurs) {
  Write(Root / "victim", "the user's");
  fs::create_symlink(Root / "victim", Root / "planted");
  Write(Root / "planted.uTMP", "new");
  EXPECT_FALSE(ReplaceWithDownload((Root / "planted").string()));
  EXPECT_TRUE(fs::is_symlink(Root / "planted"));
  EXPECT_EQ(ReadAll(Root / "planted.uTMP"), "new");

  fs::create_symlink(Root / "victim", Root / "data.uTMP");
  std::string reason;
  EXPECT_FALSE(ReplaceWithDownload((Root / "data").string(), &reason));
  EXPECT_EQ(reason, "the download is a link");
  EXPECT_FALSE(fs::exists(Root / "data"));
  // A second name of one of the user's own files is not a download either.
  fs::permissions(Root / "victim", fs::perms(0600));
  fs::create_hard_link(Root / "victim", Root / "hard.uTMP");
  Write(Root / "hard", "x", fs::perms(0644));
  EXPECT_FALSE(ReplaceWithDownload((Root / "hard").string()));
  EXPECT_EQ(Mode(Root / "victim"), 0600u);
  // Another user's download: only a test run by root can give one away.
  if (geteuid() == 0) {
    Write(Root / "theirs.uTMP", "theirs");
    ASSERT_EQ(chown((Root / "theirs.uTMP").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(ReplaceWithDownload((Root / "theirs").string()));
    EXPECT_FALSE(fs::exists(Root / "theirs"));
  }
  EXPECT_EQ(ReadAll(Root / "victim"), "the user's");
}

// Another user who may write the folder swaps a link in under the
// download's name, again and again, while the helper installs: the mode
// and the rename only ever reach the download the helper checked, and no
// link ever takes the target's name.
TEST_F(Folder, ALinkSwappedInMeanwhileIsNeverChangedOrMoved) {
  const fs::path victim = Root / "key";
  Write(victim, "the user's key", fs::perms(0600));
  const fs::path target = Root / "prog";
  const fs::path names[] = {target.string() + TempSuffix, target.string() + ".other"};
  std::atomic<bool> stop{false};
  // The two names trade places as fast as the system allows: one is a link
  // to the victim, the other a download of ours.
  std::thread swapper([&] {
    while (!stop.load())
      renameat2(AT_FDCWD, names[0].c_str(), AT_FDCWD, names[1].c_str(), RENAME_EXCHANGE);
  });
  int installed = 0, linksInPlace = 0;
  for (int i = 0; i < 5000 && Mode(victim) == 0600; ++i) {
    if (fs::is_symlink(target)) {
      ++linksInPlace;
      fs::remove(target);
    }
    if (!fs::exists(fs::symlink_status(target))) Write(target, "old", fs::perms(0755));
    bool link = false, file = false;
    for (const fs::path& name : names) {
      const auto status = fs::symlink_status(name);
      link = link || fs::is_symlink(status);
      file = file || fs::is_regular_file(status);
    }
    for (const fs::path& name : names) {
      if (fs::exists(fs::symlink_status(name))) continue;
      if (!link) {
        symlink(victim.c_str(), name.c_str());
        link = true;
      } else if (!file) {
        close(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));
        file = true;
      }
    }
    installed += ReplaceWithDownload(target.string());
  }
  stop = true;
  swapper.join();
  EXPECT_GT(installed, 0);
  EXPECT_EQ(linksInPlace, 0);
  EXPECT_EQ(Mode(victim), 0600u);
  EXPECT_EQ(ReadAll(victim), "the user's key");
}

TEST_F(Folder, QueueAndFolderScanAndTheSetupRule) {
  fs::create_directories(Root / "app");
  fs::create_directories(Root / "docs");
  Write(Root / "app" / "prog", "old", fs::perms(0755));
  Write(Root / "docs" / "manual.uTMP", "manual");
  Write(Root / "app" / "Setup.EXE.uTMP", "setup");
  Write(Root / "app" / "data.uTMP", "data");
  Write(Root / "queue", "\r\n" + (Root / "docs" / "manual").string() + "\r\n");
  EXPECT_EQ(ReadQueue((Root / "queue").string()),
            (std::vector<std::string>{(Root / "docs" / "manual").string()}));
  HelperCommand c;
  c.ProgramPath = (Root / "app" / "prog").string();
  c.Method = '1';
  const std::string setup = InstallDownloads(c, ReadQueue((Root / "queue").string()));
  EXPECT_EQ(setup, (Root / "app" / "Setup.EXE").string());
  EXPECT_EQ(ReadAll(Root / "docs" / "manual"), "manual");
  EXPECT_EQ(ReadAll(Root / "app" / "data"), "data");
  EXPECT_EQ(ReadAll(Root / "app" / "prog"), "old");

  // When the program itself came down, no setup runs.
  Write(Root / "app" / "prog.uTMP", "new");
  Write(Root / "app" / "other.exe.uTMP", "setup");
  EXPECT_EQ(InstallDownloads(c, {}), "");
  EXPECT_EQ(ReadAll(Root / "app" / "prog"), "new");
}

TEST_F(Folder, RunWaitsInstallsDeletesTheQueueAndRestarts) {
  // A stand-in program records its arguments.
  const fs::path program = Root / "stand in";
  Write(program, "#!/bin/sh\nprintf '%s|' \"$@\" > \"$0.args\"\n", fs::perms(0755));
  Write(Root / "stand in.uTMP",
        "#!/bin/sh\n{ printf 'new:'; printf '%s|' \"$@\"; } > \"$0.args\"\n", fs::perms(0600));
  Write(Root / "queue", (Root / "stand in").string() + "\r\n");
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  HelperCommand c = Parse({program.c_str(), "+/afterupgrade x0"});
  EXPECT_EQ(RunHelper(c, (Root / "queue").string(), ended), 0);
  waitpid(ended, nullptr, 0);
  ASSERT_TRUE(AppearsWithin(Root / "stand in.args", 5));
  EXPECT_EQ(ReadAll(Root / "stand in.args"), "new:/afterupgrade|x|");
  EXPECT_FALSE(fs::exists(Root / "queue"));
  EXPECT_FALSE(fs::exists(Root / "stand in.uTMP"));
}

// The program abandoned the run and deleted the helper's file, where it
// could not end the helper: once the wait is over, the helper installs
// nothing and starts nothing.
TEST_F(Folder, AnAbandonedHandOverInstallsAndStartsNothing) {
  Write(Root / "data", "old");
  Write(Root / "data.uTMP", "new");
  Write(Root / "queue", (Root / "data").string() + "\r\n");
  const fs::path program = Root / "prog";
  Write(program, "#!/bin/sh\necho started > \"$0.started\"\n", fs::perms(0755));
  HelperCommand c = Parse({program.c_str(), "+ 0"});
  EXPECT_EQ(RunHelper(c, (Root / "queue").string(), 0, (Root / "helper").string()), 0);
  EXPECT_EQ(ReadAll(Root / "data"), "old");
  EXPECT_FALSE(AppearsWithin(Root / "prog.started", 1));
}

// The folder gets a name of our own making: names someone else took first
// (the fixed name of before among them) never stand in the way.
TEST_F(Folder, ThePrivateFolderIsTheUsersAlone) {
  fs::create_directories(Root / "elsewhere");
  fs::create_directory_symlink(Root / "elsewhere",
                               Root / ("brantwick-upgrade-" + std::to_string(getuid())));
  const std::string folder = PrivateUpgradeFolder(Root.string());
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.rfind(Root.string() + "/brantwick-upgrade-", 0), 0u);
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(fs::is_directory(folder) && !fs::is_symlink(fs::path(folder).parent_path()));
  EXPECT_EQ(Mode(folder), 0700u);
  EXPECT_NE(PrivateUpgradeFolder(Root.string()), folder);
  EXPECT_TRUE(fs::is_empty(Root / "elsewhere"));
  // A folder that cannot be made is named in the refusal.
  std::string error;
  EXPECT_EQ(PrivateUpgradeFolder((Root / "missing").string(), &error), "");
  EXPECT_EQ(error, "The upgrade's private folder " + (Root / "missing").string() +
                       "/brantwick-upgrade-XXXXXX could not be made: No such file or directory.");
  // Cleared away with the hand-over files, but never with anything else.
  Write(fs::path(folder) / UpgraderFileName, "helper");
  RemovePrivateUpgradeFolder(folder);
  EXPECT_FALSE(fs::exists(folder));
  const std::string other = PrivateUpgradeFolder(Root.string());
  Write(fs::path(other) / "someone's", "x");
  RemovePrivateUpgradeFolder(other);
  EXPECT_TRUE(fs::exists(fs::path(other) / "someone's"));
}

// The helper records what it installed and what it refused; the program it
// starts again reads that once and clears away what the helper left.
TEST_F(Folder, TheRestartedProgramLearnsWhatWasRefused) {
  const fs::path hand = PrivateUpgradeFolder(Root.string());
  Write(Root / "good.uTMP", "good");
  Write(Root / "victim", "the user's");
  fs::create_symlink(Root / "victim", Root / "planted");
  Write(Root / "planted.uTMP", "new");
  Write(hand / QueueFileName, (Root / "good").string() + "\r\n" + (Root / "planted").string());
  Write(hand / UpgraderFileName, "helper", fs::perms(0700));
  HelperCommand c = Parse({"/bin/true", "+ 0"});
  ASSERT_EQ(RunHelper(c, (hand / QueueFileName).string(), 0, (hand / UpgraderFileName).string()),
            0);
  EXPECT_EQ(ReadAll(Root / "good"), "good");
  EXPECT_FALSE(fs::exists(hand / UpgraderFileName));
  ASSERT_STREQ(std::getenv(ReportVariable), (hand / ReportFileName).c_str());

  const std::optional<InstallReport> report = TakeInstallReport(Root.string());
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->Installed, std::vector<std::string>{(Root / "good").string()});
  using Refusal = std::pair<std::string, std::string>;
  const std::vector<Refusal> refused{{(Root / "planted").string(), "a link stands in its place"}};
  EXPECT_EQ(report->Refused, refused);
  EXPECT_EQ(std::getenv(ReportVariable), nullptr);
  EXPECT_FALSE(fs::exists(Root / "planted.uTMP"));
  EXPECT_FALSE(fs::exists(hand));
  EXPECT_EQ(ReadAll(Root / "victim"), "the user's");
  EXPECT_FALSE(TakeInstallReport(Root.string()).has_value());

  // Another copy's run holds the folder: a download under a refused name
  // may be its own now, and stays; the report goes all the same.
  const fs::path again = PrivateUpgradeFolder(Root.string());
  ASSERT_TRUE(
      WriteInstallReport((again / ReportFileName).string(),
                         {{}, {{(Root / "planted").string(), "a link stands in its place"}}}));
  setenv(ReportVariable, (again / ReportFileName).c_str(), 1);
  Write(Root / "planted.uTMP", "another run's download");
  bool busy = false;
  const int otherRun = LockProgramFolder(Root.string(), busy);
  ASSERT_GE(otherRun, 0);
  EXPECT_EQ(TakeInstallReport(Root.string())->Refused, refused);
  close(otherRun);
  EXPECT_EQ(ReadAll(Root / "planted.uTMP"), "another run's download");
  EXPECT_FALSE(fs::exists(again));
}

TEST_F(Folder, PrivateFilesAreWrittenAnewWithoutFollowingLinks) {
  Write(Root / "target", "keep");
  fs::create_symlink(Root / "target", Root / "helper");
  const std::string bytes = "helper bytes";
  ASSERT_TRUE(WritePrivateFile((Root / "helper").string(), bytes.data(), bytes.size(), 0700));
  EXPECT_FALSE(fs::is_symlink(Root / "helper"));
  EXPECT_EQ(ReadAll(Root / "helper"), bytes);
  EXPECT_EQ(Mode(Root / "helper"), 0700u);
  EXPECT_EQ(ReadAll(Root / "target"), "keep");
  EXPECT_FALSE(WritePrivateFile((Root / "missing" / "x").string(), "a", 1, 0600));
}

// The program holds descriptors that are no business of the helper's (the
// transfer's sockets among them): the helper gets the program folder's lock
// on 3 and nothing else, and the program it starts again nothing beyond 2.
// The helper lets the lock go before it starts the program, which clears
// away under it what the helper refused.
TEST_F(Folder, StartedProgramsGetNoDescriptorOfOurs) {
  int strays[2];
  ASSERT_EQ(pipe(strays), 0);
  const int high = fcntl(strays[0], F_DUPFD, 40);
  bool busy = false;
  const int lock = LockProgramFolder(Root.string(), busy);
  ASSERT_GE(lock, 0);
  const fs::path record = Root / "record";
  setenv("BW_STANDIN_RECORD", record.c_str(), 1);
  pid_t pid = 0;
  ASSERT_EQ(SpawnInSession({BW_STANDIN_OLD}, nullptr, {}, lock, pid), 0);
  waitpid(pid, nullptr, 0);
  EXPECT_EQ(ReadAll(record.string() + ".fds"), "3 ");

  // The helper starts the program again, having let the lock go.
  fs::create_directories(Root / "app");
  const fs::path program = Root / "app" / "standin";
  fs::copy_file(BW_STANDIN_OLD, program);
  const fs::path hand = PrivateUpgradeFolder(Root.string());
  fs::remove(record);
  setenv("BW_STANDIN_LOCK", Root.c_str(), 1);
  HelperCommand c = Parse({program.c_str(), "+ 0"});
  EXPECT_EQ(RunHelper(c, (hand / QueueFileName).string(), 0, {}, lock), 0);
  EXPECT_TRUE(AppearsWithin(record, 5));
  EXPECT_EQ(ReadAll(record.string() + ".fds"), "");
  EXPECT_EQ(ReadAll(record.string() + ".lock"), "free");
  for (const char* name : {"BW_STANDIN_RECORD", "BW_STANDIN_LOCK", ReportVariable})
    unsetenv(name);
  for (int fd : {strays[0], strays[1], high})
    close(fd);
}

TEST(HelperProgram, IsCarriedWholeAndRuns) {
  const auto blob = EmbeddedUpgradeHelper();
  ASSERT_GT(blob.size(), 4u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(blob.data()), 4), "\x7f"
                                                                        "ELF");
  EXPECT_EQ(blob.size(), fs::file_size(BW_UPGRADE_HELPER));
  // Without arguments it only tells what it is.
  std::string command = std::string("\"") + BW_UPGRADE_HELPER + "\" 2>&1";
  FILE* out = popen(command.c_str(), "r");
  ASSERT_NE(out, nullptr);
  char line[64] = {};
  ASSERT_NE(fgets(line, sizeof line, out), nullptr);
  EXPECT_EQ(pclose(out), 0);
  EXPECT_EQ(std::string(line), "Upgrader v4.0\n");
}

// Where /proc is not mounted (a chroot, a container), the helper finds its
// queue by the path it was started by, installs and starts the program.
TEST_F(Folder, TheHelperInstallsWithoutProc) {
  const fs::path hand = PrivateUpgradeFolder(Root.string());
  const fs::path helperFile = hand / "helper";
  fs::copy_file(BW_UPGRADE_HELPER, helperFile);
  Write(Root / "data", "old");
  Write(Root / "data.uTMP", "new", fs::perms(0600));
  Write(hand / QueueFileName, (Root / "data").string() + "\r\n");
  const fs::path program = Root / "prog";
  Write(program, "#!/bin/sh\necho started > \"$0.started\"\n", fs::perms(0755));
  const std::string ended = InChildProcess([&] {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        umount2("/proc", MNT_DETACH) != 0 || access("/proc/self/exe", F_OK) == 0)
      return std::string("(no namespace without /proc)");
    std::string self = helperFile.string(), target = program.string(), params = "+ 0";
    char* argv[] = {self.data(), target.data(), params.data(), nullptr};
    // Its exit status is not asked: a sanitized build's leak checker needs
    // /proc as the helper ends.
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0 ||
        waitpid(pid, nullptr, 0) != pid)
      return std::string("(not started)");
    return std::string("ended");
  });
  if (ended == "(no namespace without /proc)") GTEST_SKIP() << "cannot hide /proc here";
  EXPECT_EQ(ended, "ended");
  EXPECT_EQ(ReadAll(Root / "data"), "new");
  EXPECT_TRUE(AppearsWithin(Root / "prog.started", 5));
}

// A program kept on FAT through FUSE, where the test can make one: the file
// system sets no modes and gives every file 0700, and downloads are
// installed over the old files and as new ones.
TEST_F(Folder, InstallsOnAFileSystemThatSetsNoModes) {
  if (geteuid() != 0 || access("/dev/fuse", R_OK | W_OK) != 0 ||
      std::system("command -v fusefat >/dev/null && command -v mkfs.fat >/dev/null") != 0)
    GTEST_SKIP() << "needs root, /dev/fuse, fusefat and mkfs.fat";
  const fs::path image = Root / "fat.img", fat = Root / "fat";
  fs::create_directory(fat);
  const std::string mount = "truncate -s 16M '" + image.string() + "' && mkfs.fat '" +
                            image.string() + "' >/dev/null 2>&1 && fusefat -o rw+ '" +
                            image.string() + "' '" + fat.string() + "' 2>/dev/null";
  if (std::system(mount.c_str()) != 0) GTEST_SKIP() << "fusefat could not mount";
  struct Unmount {
    std::string Path;
    ~Unmount() { (void)!std::system(("fusermount -u '" + Path + "' 2>/dev/null").c_str()); }
  } unmount{fat.string()};
  // Written as they come: the file system takes no permissions.
  auto put = [&](const char* name, const char* text) { std::ofstream(fat / name) << text; };
  put("prog", "old");
  put("prog.uTMP", "new");
  put("fresh.uTMP", "new");
  std::string why;
  EXPECT_TRUE(ReplaceWithDownload((fat / "prog").string(), &why)) << why;
  EXPECT_EQ(ReadAll(fat / "prog"), "new");
  EXPECT_TRUE(ReplaceWithDownload((fat / "fresh").string(), &why)) << why;
  EXPECT_EQ(ReadAll(fat / "fresh"), "new");
  for (const auto& entry : fs::directory_iterator(fat))
    EXPECT_TRUE(entry.path().filename() == "prog" || entry.path().filename() == "fresh")
        << entry.path();
}
