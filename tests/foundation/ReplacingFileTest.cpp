#include "foundation/ReplacingFile.h"

#include "foundation/Exceptions.h"
#include "support/ChildProcess.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

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

// ---- The replacing file --------------------------------------------------------

// A folder of its own, removed afterwards.
struct Folder {
  std::string Path;
  Folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "bw-replace-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    Path = pattern;
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::permissions(Path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(Path, ec);
  }
  std::string File(const std::string& name) const { return Path + "/" + name; }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(Path))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TFileIdentity Save(const std::string& path, const std::string& bytes,
                   TReplacingKind kind = TReplacingKind::TreeFile) {
  TReplacingFile file(path, kind);
  file.Write(bytes.data(), bytes.size());
  return file.Commit();
}

std::string SaveError(const std::string& path, TReplacingKind kind) {
  try {
    Save(path, "new", kind);
  } catch (const Exception& e) {
    return e.Message();
  }
  return "saved";
}

uint64_t HashOf(const std::string& bytes) {
  TContentHash hash;
  // In two pieces, as a file is read in blocks.
  hash.Add(bytes.data(), bytes.size() / 3);
  hash.Add(bytes.data() + bytes.size() / 3, bytes.size() - bytes.size() / 3);
  return hash.Value();
}

// The state after a save asks nothing, also for three saves in a row. A
// write of the same size whose modification time is put back is seen by the
// change time; where the times cannot tell (a file system that keeps whole
// seconds), by the hash of the bytes.
TEST(FileIdentity, ChangesThatKeepTheSizeAreSeenOwnSavesAreNot) {
  Folder dir;
  const std::string path = dir.File("tree.bwk");
  TFileIdentity known;
  for (const char* text : {"first", "secnd", "third"}) {
    EXPECT_FALSE(FileChangedSince(path, known));
    known = Save(path, text);
    EXPECT_TRUE(known.Hashed);
    EXPECT_EQ(known.Hash, HashOf(text));
  }
  EXPECT_FALSE(FileChangedSince(path, known));

  // touch -r: the modification time of before, the size of before.
  Put(path, "other");
  const timespec times[2] = {{known.ModifiedSeconds, known.ModifiedNanoseconds},
                             {known.ModifiedSeconds, known.ModifiedNanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_TRUE(FileChangedSince(path, known));

  // Times alike, but whole seconds, which cannot tell: the bytes decide.
  TFileIdentity alike = FileIdentityOf(path);
  alike.Hashed = true;
  alike.ModifiedNanoseconds = alike.ChangedNanoseconds = 0;
  EXPECT_TRUE(TimesCannotTell(alike));
  alike.Hash = HashOf("third");
  EXPECT_TRUE(FileChangedSince(path, alike));
  alike.Hash = HashOf("other");
  EXPECT_FALSE(FileChangedSince(path, alike));
  // Times with a fraction can.
  alike.ModifiedSeconds = alike.ChangedSeconds = 1000000000;
  alike.ChangedNanoseconds = 5;
  EXPECT_FALSE(TimesCannotTell(alike));
  EXPECT_NE(HashOf("abc"), HashOf("abd"));
  EXPECT_NE(HashOf(std::string(100, 'x')), HashOf(std::string(101, 'x')));
}

// A change of the file's metadata alone (its mode, its times, a new name,
// an extended attribute) leaves its bytes as they were: no change. A file
// left as it was, with times that tell, is not read at all (a wrong hash
// shows it); once its state moved, its bytes are read and compared.
TEST(FileIdentity, MetadataAloneIsNoChangeAndAFileAsItWasIsNotRead) {
  Folder dir;
  const std::string path = dir.File("tree.bwk");
  TFileIdentity known = Save(path, "saved");
  if (TimesCannotTell(known)) GTEST_SKIP() << "the file system keeps whole seconds";
  TFileIdentity wrongHash = known;
  wrongHash.Hash ^= 1;
  EXPECT_FALSE(FileChangedSince(path, wrongHash));

  const timespec accessed[2] = {{1000000000, 0}, {0, UTIME_OMIT}};
  const std::vector<std::pair<std::string, std::function<int()>>> changes = {
      {"chmod", [&] { return chmod(path.c_str(), 0640); }},
      {"touch -a", [&] { return utimensat(AT_FDCWD, path.c_str(), accessed, 0); }},
      {"link", [&] { return link(path.c_str(), dir.File("backup.bwk").c_str()); }},
      {"xattr", [&] { return setxattr(path.c_str(), "user.synced", "1", 1, 0); }},
      {"touch", [&] { return utimensat(AT_FDCWD, path.c_str(), nullptr, 0); }},
  };
  for (const auto& [name, change] : changes) {
    if (change() != 0 && name == "xattr") continue; // a file system without user attributes
    EXPECT_FALSE(FileChangedSince(path, known)) << name;
    EXPECT_TRUE(FileChangedSince(path, wrongHash)) << name;
  }
  // Another program replaces the file: with the same bytes, no change; with
  // others of the same size, a change.
  Put(dir.File("other.bwk"), "saved");
  ASSERT_EQ(rename(dir.File("other.bwk").c_str(), path.c_str()), 0);
  EXPECT_FALSE(FileChangedSince(path, known));
  Put(dir.File("other.bwk"), "SAVED");
  ASSERT_EQ(rename(dir.File("other.bwk").c_str(), path.c_str()), 0);
  EXPECT_TRUE(FileChangedSince(path, known));
}

// An ACL as the system stores it: version 2, then tag, rights and id.
std::string Acl(std::initializer_list<std::array<uint32_t, 3>> entries) {
  std::string acl(4, '\0');
  acl[0] = 2;
  for (const auto& [tag, rights, id] : entries)
    for (uint32_t v : {tag | rights << 16, id})
      for (int i = 0; i < 4; ++i)
        acl += static_cast<char>(v >> (8 * i));
  return acl;
}

// user::rw-, user:<user>:rw-, group::---, mask::rw-, other::---: the owning
// group has fewer rights than the mask.
std::string GroupNarrowerThanMask(uint32_t user) {
  constexpr uint32_t UserObj = 1, User = 2, GroupObj = 4, Mask = 0x10, Other = 0x20, None = ~0u;
  return Acl({{UserObj, 6, None},
              {User, 6, user},
              {GroupObj, 0, None},
              {Mask, 6, None},
              {Other, 0, None}});
}

std::string AclOf(const std::string& path) {
  char buffer[512];
  ssize_t n = getxattr(path.c_str(), "system.posix_acl_access", buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

// The temporary file shows nothing to others while it is written: 0600,
// without an ACL. Whole, it gets the old file's group, ACL and mode, so that
// an ACL narrower for the group than its mask stays so; a file without an
// ACL does not take one from the folder's default.
TEST(ReplacingFile, TheTemporaryFileIsPrivateUntilWholeThenTakesGroupAclAndMode) {
  Folder dir;
  const std::string path = dir.File("tree.bwk");
  Put(path, "old");
  const gid_t group = geteuid() == 0 ? 4322 : getegid();
  ASSERT_EQ(chown(path.c_str(), geteuid(), group), 0);
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  const std::string acl = GroupNarrowerThanMask(4323);
  const bool acls =
      setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;

  struct stat st {};
  {
    TReplacingFile file(path);
    file.Write("new", 3);
    const std::vector<std::string> entries = dir.Entries();
    ASSERT_EQ(entries.size(), 2u);
    const std::string temp = dir.File(entries[0]);
    ASSERT_EQ(stat(temp.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(AclOf(temp), "");
    file.Commit();
  }
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_gid, group);
  EXPECT_EQ(Read(path), "new");
  if (!acls) GTEST_SKIP() << "the file system keeps no ACLs";
  EXPECT_EQ(AclOf(path), acl);
  EXPECT_EQ(st.st_mode & 07777, 0660u);

  // A default ACL of the folder is not the old file's.
  ASSERT_EQ(removexattr(path.c_str(), "system.posix_acl_access"), 0);
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  ASSERT_EQ(setxattr(dir.Path.c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0), 0);
  Save(path, "newer");
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(AclOf(path), "");
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// Another user's link in a sticky, world-writable folder is refused as the
// system refuses to follow it, also one to a file not yet there; nothing is
// written where it leads.
TEST(ReplacingFile, TheSystemFollowsLinksWithItsRules) {
  if (geteuid() != 0) GTEST_SKIP() << "planting another user's link needs root";
  if (Read("/proc/sys/fs/protected_symlinks").substr(0, 1) != "1")
    GTEST_SKIP() << "fs.protected_symlinks is off: the system follows every link";
  Folder shared, own;
  ASSERT_EQ(chmod(shared.Path.c_str(), 01777), 0);
  const std::string victim = own.File("tree.bwk"), missing = own.File("new.bwk");
  Put(victim, "mine");
  const std::string link = shared.File("tree.bwk"), dangling = shared.File("new.bwk");
  ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
  ASSERT_EQ(symlink(missing.c_str(), dangling.c_str()), 0);
  constexpr uid_t Other = 4324;
  ASSERT_EQ(lchown(link.c_str(), Other, Other), 0);
  ASSERT_EQ(lchown(dangling.c_str(), Other, Other), 0);
  for (TReplacingKind kind : {TReplacingKind::TreeFile, TReplacingKind::Picture}) {
    EXPECT_EQ(SaveError(link, kind), "Cannot write '" + link + "': Permission denied");
    EXPECT_EQ(SaveError(dangling, kind), "Cannot write '" + dangling + "': Permission denied");
  }
  EXPECT_EQ(Read(victim), "mine");
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(own.Entries(), std::vector<std::string>{"tree.bwk"});
  // The user's own link is followed.
  ASSERT_EQ(lchown(link.c_str(), 0, 0), 0);
  EXPECT_EQ(SaveError(link, TReplacingKind::TreeFile), "saved");
  EXPECT_EQ(Read(victim), "new");
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int ConcurrentSaves = 200;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr int ConcurrentSaves = 200;
#else
constexpr int ConcurrentSaves = 1000;
#endif
#else
constexpr int ConcurrentSaves = 1000;
#endif

// Three processes save one file at once: none fails, none removes another's
// temporary file, and the file is always whole, one of the versions saved.
TEST(ReplacingFile, ConcurrentSavesOfOneFileNeverFail) {
  Folder dir;
  const std::string path = dir.File("tree.bwk");
  constexpr size_t Size = 4096;
  auto version = [&](int process, int save) {
    std::string text = std::to_string(process) + ":" + std::to_string(save) + ":";
    return text + std::string(Size - text.size(), static_cast<char>('a' + process));
  };
  Save(path, version(0, -1));
  int errors[2];
  ASSERT_EQ(pipe(errors), 0);
  std::vector<pid_t> children;
  for (int process = 0; process < 3; ++process) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(errors[0]);
      for (int save = 0; save < ConcurrentSaves; ++save) {
        try {
          Save(path, version(process, save));
        } catch (const Exception& e) {
          const std::string message = e.Message() + "\n";
          (void)!write(errors[1], message.data(), message.size());
          _exit(1);
        }
      }
      _exit(0);
    }
    children.push_back(child);
  }
  close(errors[1]);
  // Whole versions only, read while the saves run.
  int reads = 0, broken = 0, ended = 0, failed = 0;
  std::vector<bool> done(children.size());
  auto running = [&] {
    for (size_t i = 0; i < children.size(); ++i) {
      int status = 0;
      if (!done[i] && waitpid(children[i], &status, WNOHANG) == children[i]) {
        done[i] = true;
        ++ended;
        failed += !WIFEXITED(status) || WEXITSTATUS(status) != 0;
      }
    }
    return ended < static_cast<int>(children.size());
  };
  while (running() || reads == 0) {
    const std::string text = Read(path);
    ++reads;
    const char fill = text.empty() ? '?' : text.back();
    if (text.size() != Size || fill < 'a' || fill > 'c' || text[0] != '0' + (fill - 'a')) ++broken;
  }
  std::string messages;
  char buffer[512];
  for (ssize_t n; (n = read(errors[0], buffer, sizeof buffer)) > 0;)
    messages.append(buffer, static_cast<size_t>(n));
  close(errors[0]);
  EXPECT_EQ(messages, "");
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(broken, 0) << "of " << reads;
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"tree.bwk"});
}

// A picture whose file cannot be replaced is written in place, reaching
// every name of the file: other hard links, a folder that allows no new
// files, a bind-mounted file. A tree file is refused there, saying why; with
// other hard links it is replaced, and the other names keep the old tree.
TEST(ReplacingFile, PicturesAreWrittenInPlaceWhereTheFileCannotBeReplaced) {
  Folder dir;
  const std::string picture = dir.File("tree.gif"), other = dir.File("copy.gif");
  Put(picture, "old");
  ASSERT_EQ(link(picture.c_str(), other.c_str()), 0);
  Save(picture, "new picture", TReplacingKind::Picture);
  EXPECT_EQ(Read(other), "new picture");
  Save(picture, "new tree");
  EXPECT_EQ(Read(picture), "new tree");
  EXPECT_EQ(Read(other), "new picture");

  // The folder is handed to an ordinary user and closed to new files.
  const std::string locked = test::AsOrdinaryUser(dir.Path, [&] {
    if (chmod(dir.Path.c_str(), 0555) != 0) return std::string("(chmod)");
    const std::string tree = SaveError(other, TReplacingKind::TreeFile);
    const std::string pictureSaved = SaveError(other, TReplacingKind::Picture);
    chmod(dir.Path.c_str(), 0755);
    return tree + "|" + pictureSaved + "|" + Read(other);
  });
  EXPECT_EQ(locked, "The folder '" + dir.Path + "' does not allow new files, so '" + other +
                        "' cannot be replaced safely.|saved|new");

  // A file bind-mounted over another, in a mount namespace of its own.
  const std::string mounted = dir.File("mounted.gif"), source = dir.File("source.gif");
  Put(mounted, "under");
  Put(source, "old");
  const std::string bound = test::InChildProcess([&] {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        mount(source.c_str(), mounted.c_str(), nullptr, MS_BIND, nullptr) != 0)
      return std::string("(no mount)");
    const std::string tree = SaveError(mounted, TReplacingKind::TreeFile);
    const std::string pictureSaved = SaveError(mounted, TReplacingKind::Picture);
    return tree + "|" + pictureSaved + "|" + Read(source);
  });
  if (bound == "(no mount)") GTEST_SKIP() << "cannot bind-mount a file here";
  EXPECT_EQ(bound, "The file '" + mounted +
                       "' is a bind mount, which cannot be renamed over, so it cannot be "
                       "replaced safely.|saved|new");
  EXPECT_EQ(Read(mounted), "under");
}

// Temporary files are named by what they hold; a stale one, left by a save
// or an export that was killed, goes at the next save or export into the
// folder, whatever its target, unless a live write holds it.
TEST(ReplacingFile, TemporaryFilesAreNamedByWhatTheyHoldAndStaleOnesGo) {
  Folder dir;
  {
    TReplacingFile file(dir.File("tree.gif"), TReplacingKind::Picture);
    const std::vector<std::string> entries = dir.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].rfind(".tree.gif.bwk-export-", 0), 0u) << entries[0];
  }
  const std::string hex(32, 'b');
  const std::string stalePicture = ".big.gif.bwk-export-" + hex + ".tmp";
  const std::string staleTree = ".old.bwk.bwk-save-" + hex + ".tmp";
  const std::string live = ".live.bwk.bwk-save-" + hex + ".tmp";
  for (const std::string& name : {stalePicture, staleTree, live})
    Put(dir.File(name), "x");
  // The folder of its own that a killed save was writing in, with its file.
  const std::string staleFolder = dir.File(".big.bwk.bwk-save-" + std::string(32, 'c') + ".tmp");
  ASSERT_EQ(mkdir(staleFolder.c_str(), 0700), 0);
  Put(staleFolder + "/" + staleTree, "x");
  int held = open(dir.File(live).c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  Save(dir.File("tree.bwk"), "tree");
  close(held);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{live, "tree.bwk"}));
}

// A file system that refuses to set modes (FAT through FUSE, some shares):
// a save asks nothing of it where the file has its mode already, and goes on
// where the new file grants no more than the old one; where it would grant
// more, the save fails and the old file stays.
TEST(ReplacingFile, AFileSystemThatRefusesModesTakesSaveAfterSave) {
  static int calls = 0;
  calls = 0;
  const TChangeModeCall previous = SetChangeModeCallForTests([](int, mode_t) {
    ++calls;
    errno = ENOSYS;
    return -1;
  });
  struct Restore {
    TChangeModeCall Call;
    ~Restore() { SetChangeModeCallForTests(Call); }
  } restore{previous};
  Folder dir;
  const std::string path = dir.File("tree.bwk");
  for (mode_t mode : {0600, 0644}) {
    Put(path, "old");
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    EXPECT_EQ(SaveError(path, TReplacingKind::TreeFile), "saved") << std::oct << mode;
    EXPECT_EQ(Read(path), "new");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
  }
  EXPECT_EQ(calls, 1); // only for 0644, which the file did not have
  Put(path, "write-only");
  ASSERT_EQ(chmod(path.c_str(), 0200), 0);
  struct stat before {
  }, after{};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  EXPECT_EQ(SaveError(path, TReplacingKind::TreeFile),
            "Cannot write '" + path + "': Function not implemented");
  // The very file, still write-only; made readable to its owner to be read
  // back, which needs no root.
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0200u);
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(Read(path), "write-only");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"tree.bwk"});
}

// Replaces the calls that make files and folders and set modes, as a file
// system does that gives everything new a mode of its own, and puts them
// back after. The files made are listed.
struct GivenModes {
  static inline mode_t Given = 0;
  static inline bool Refused = false;
  static inline int Changes = 0;
  static inline std::vector<std::string> Made;
  TMakeCalls Make;
  TChangeModeCall Change;
  GivenModes(mode_t given, bool refused) {
    Given = given;
    Refused = refused;
    Changes = 0;
    Made.clear();
    Make = SetMakeCallsForTests({[](int dirFd, const char* path, int flags, mode_t mode) {
                                   const int fd = openat(dirFd, path, flags, mode);
                                   if (fd < 0 || fchmod(fd, Given) == 0) {
                                     Made.push_back(path);
                                     return fd;
                                   }
                                   close(fd);
                                   return -1;
                                 },
                                 [](const char* path, mode_t mode) {
                                   return mkdir(path, mode) == 0 ? chmod(path, Given) : -1;
                                 }});
    Change = SetChangeModeCallForTests([](int fd, mode_t mode) {
      ++Changes;
      if (!Refused) return fchmod(fd, mode);
      errno = ENOSYS;
      return -1;
    });
  }
  ~GivenModes() {
    SetMakeCallsForTests(Make);
    SetChangeModeCallForTests(Change);
  }
};

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A file system that gives new files 0644 (bindfs --create-with-perms, some
// shares): where that would show others more than the old file, the file
// made is removed unwritten, since another user may hold it open already,
// and the file is written in a folder of its own, made private while empty;
// where it cannot be, nothing is written. A file that shows others no more
// than the old one does is saved as given: the old file's mode is the same,
// a new file keeps what it got, and FAT gives every file 0700.
TEST(ReplacingFile, AFileSystemThatWidensNewFilesShowsNothingWhileTheyAreWritten) {
  Folder dir;
  const std::string path = dir.File("tree.bwk");
  Put(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  {
    GivenModes widening(0644, false);
    TReplacingFile file(path);
    const std::vector<std::string> entries = dir.Entries();
    ASSERT_EQ(entries.size(), 2u);
    const std::string own = dir.File(entries[0]);
    EXPECT_TRUE(std::filesystem::is_directory(own));
    EXPECT_EQ(ModeOf(own), 0700u);
    ASSERT_EQ(GivenModes::Made.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(own + "/" + GivenModes::Made[1]));
    EXPECT_FALSE(std::filesystem::exists(GivenModes::Made[0]));
    file.Write("new", 3);
    file.Commit();
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"tree.bwk"});
  }
  {
    GivenModes widening(0644, true);
    std::string refused = "made";
    try {
      TReplacingFile file(path);
    } catch (const Exception& e) {
      refused = e.Message();
    }
    EXPECT_EQ(refused, "Cannot write '" + path + "': Function not implemented");
    EXPECT_EQ(Read(path), "new");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"tree.bwk"});

    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    EXPECT_EQ(SaveError(path, TReplacingKind::TreeFile), "saved");
    EXPECT_EQ(SaveError(dir.File("new.bwk"), TReplacingKind::TreeFile), "saved");
    EXPECT_EQ(ModeOf(dir.File("new.bwk")), 0644u);
    EXPECT_EQ(widening.Changes, 1); // the folder's, refused above
  }
  {
    GivenModes fat(0700, true);
    ASSERT_EQ(chmod(path.c_str(), 0700), 0);
    EXPECT_EQ(SaveError(path, TReplacingKind::TreeFile), "saved");
    EXPECT_EQ(SaveError(dir.File("fat.bwk"), TReplacingKind::TreeFile), "saved");
    EXPECT_EQ(Read(dir.File("fat.bwk")), "new");
    EXPECT_EQ(fat.Changes, 0);
  }
  // The group's bits reach only the old file's group, and no user that an
  // ACL of the new file names (here one the folder's default gives it).
  GivenModes widening(0640, true);
  const std::string refused = "Cannot write '" + path + "': Function not implemented";
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  const std::string acl = GroupNarrowerThanMask(4329);
  if (setxattr(dir.Path.c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0) != 0)
    GTEST_SKIP() << "the file system keeps no ACLs";
  EXPECT_EQ(SaveError(path, TReplacingKind::TreeFile), refused);
  ASSERT_EQ(removexattr(dir.Path.c_str(), "system.posix_acl_default"), 0);
  EXPECT_EQ(SaveError(path, TReplacingKind::TreeFile), "saved");
  if (geteuid() != 0) GTEST_SKIP() << "giving the old file another group needs root";
  ASSERT_EQ(chown(path.c_str(), 0, 4330), 0);
  EXPECT_EQ(SaveError(path, TReplacingKind::TreeFile), refused);
}

// The same on a real FAT file system through FUSE, where the test can make
// one: save after save, and a picture exported over an existing one.
TEST(ReplacingFile, FatThroughFuseTakesSaveAfterSave) {
  if (geteuid() != 0 || access("/dev/fuse", R_OK | W_OK) != 0 ||
      std::system("command -v fusefat >/dev/null && command -v mkfs.fat >/dev/null") != 0)
    GTEST_SKIP() << "needs root, /dev/fuse, fusefat and mkfs.fat";
  Folder dir;
  const std::string image = dir.File("fat.img"), mounted = dir.File("fat");
  std::filesystem::create_directory(mounted);
  const std::string mount = "truncate -s 16M '" + image + "' && mkfs.fat '" + image +
                            "' >/dev/null 2>&1 && fusefat -o rw+ '" + image + "' '" + mounted +
                            "' 2>/dev/null";
  if (std::system(mount.c_str()) != 0) GTEST_SKIP() << "fusefat could not mount";
  struct Unmount {
    std::string Path;
    ~Unmount() { (void)!std::system(("fusermount -u '" + Path + "' 2>/dev/null").c_str()); }
  } unmount{mounted};
  const std::string tree = mounted + "/new.bwk", picture = mounted + "/tree.gif";
  for (const char* text : {"first", "second", "third"}) {
    EXPECT_EQ(Save(tree, text).Known, true);
    EXPECT_EQ(Read(tree), text);
    Save(picture, text, TReplacingKind::Picture);
    EXPECT_EQ(Read(picture), text);
  }
}

// In a sticky, world-writable folder a picture is written in place only
// into a file of the user's own: another user's file with a second name is
// refused as the system refuses to open it, and keeps its bytes. The user's
// own file with a second name there is written in place, both names.
TEST(ReplacingFile, APictureIsNeverWrittenIntoAnotherUsersFileInAStickyFolder) {
  if (geteuid() != 0) GTEST_SKIP() << "planting another user's file needs root";
  Folder shared;
  ASSERT_EQ(chmod(shared.Path.c_str(), 01777), 0);
  const std::string theirs = shared.File("picture.bmp"), second = shared.File("picture-2.bmp");
  Put(theirs, "theirs");
  ASSERT_EQ(chmod(theirs.c_str(), 0666), 0);
  ASSERT_EQ(link(theirs.c_str(), second.c_str()), 0);
  constexpr uid_t Other = 4325;
  ASSERT_EQ(chown(theirs.c_str(), Other, Other), 0);
  EXPECT_EQ(SaveError(theirs, TReplacingKind::Picture),
            "Cannot write '" + theirs + "': Permission denied");
  EXPECT_EQ(Read(second), "theirs");

  ASSERT_EQ(chown(theirs.c_str(), 0, 0), 0);
  EXPECT_EQ(SaveError(theirs, TReplacingKind::Picture), "saved");
  EXPECT_EQ(Read(second), "new");
}

// In a sticky folder (/tmp) a file that another user planted under the name
// is neither replaced nor written, by root either, a tree or a picture: the
// planter would keep it and read what is saved. The user's own files, those
// of the folder's owner, and every file in a folder that is not sticky, are
// saved as anywhere.
TEST(ReplacingFile, AFilePlantedInAStickyFolderIsNeverReplaced) {
  if (geteuid() != 0) GTEST_SKIP() << "planting another user's file needs root";
  Folder shared;
  const std::string planted = shared.File("tree.bwk");
  constexpr uid_t Planter = 4327, FolderOwner = 4328;
  auto saveOver = [&](uid_t owner, mode_t folderMode, TReplacingKind kind) {
    Put(planted, "theirs");
    struct stat st {};
    if (chmod(shared.Path.c_str(), folderMode) != 0 || chown(planted.c_str(), owner, owner) != 0 ||
        chmod(planted.c_str(), 0666) != 0 || stat(planted.c_str(), &st) != 0)
      return std::string("(cannot plant)");
    const std::string saved = SaveError(planted, kind);
    const ino_t inode = st.st_ino;
    if (stat(planted.c_str(), &st) != 0) return std::string("(gone)");
    return saved + "|" + Read(planted) + "|" + std::to_string(st.st_uid) + "|" +
           (st.st_ino == inode ? "same" : "replaced");
  };
  const std::string refused = "Cannot write '" + planted + "': Permission denied|theirs|";
  for (TReplacingKind kind : {TReplacingKind::TreeFile, TReplacingKind::Picture}) {
    EXPECT_EQ(saveOver(Planter, 01777, kind), refused + "4327|same");
    EXPECT_EQ(saveOver(0, 01777, kind), "saved|new|0|replaced");
    EXPECT_EQ(saveOver(Planter, 0777, kind), "saved|new|4327|replaced");
  }
  EXPECT_EQ(shared.Entries(), std::vector<std::string>{"tree.bwk"});
  ASSERT_EQ(chown(shared.Path.c_str(), FolderOwner, FolderOwner), 0);
  EXPECT_EQ(saveOver(FolderOwner, 01777, TReplacingKind::TreeFile), "saved|new|4328|replaced");
  EXPECT_EQ(saveOver(Planter, 01777, TReplacingKind::TreeFile), refused + "4327|same");
}

// Without /proc (a chroot, a container) the old file's ACL is still read
// and kept: the owning group does not get the ACL's mask.
TEST(ReplacingFile, TheAclIsKeptWithoutProc) {
  Folder dir;
  const std::string path = dir.File("tree.bwk");
  Put(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0660), 0);
  const std::string acl = GroupNarrowerThanMask(4326);
  if (setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0)
    GTEST_SKIP() << "the file system keeps no ACLs";
  const std::string saved = test::InChildProcess([&] {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        umount2("/proc", MNT_DETACH) != 0 || access("/proc/self/fd", F_OK) == 0)
      return std::string("(no namespace without /proc)");
    return SaveError(path, TReplacingKind::TreeFile);
  });
  if (saved == "(no namespace without /proc)") GTEST_SKIP() << "cannot hide /proc here";
  EXPECT_EQ(saved, "saved");
  EXPECT_EQ(Read(path), "new");
  EXPECT_EQ(AclOf(path), acl);
}

} // namespace
} // namespace bw
