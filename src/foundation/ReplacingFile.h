// A file that replaces the one of its name only when it is whole: tree files
// and pictures are written so, and a failure halfway (a full disk, a
// file-size limit, a killed program) leaves the previous file as it was.
#pragma once

#include "foundation/ContentHash.h"
#include "foundation/FileIdentity.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace bw {

// What a replacing file holds, which names its temporary file and decides
// what happens where the target cannot be replaced: a tree file is then
// refused, a picture is written into the file in place.
enum class TReplacingKind { TreeFile, Picture };

// For tests: replaces the call that sets a file's mode (fchmod), to play a
// file system that refuses to set modes; returns the call it replaced.
using TChangeModeCall = int (*)(int fd, mode_t mode);
TChangeModeCall SetChangeModeCallForTests(TChangeModeCall call);

// For tests: replaces the calls that make a new file (openat) and a new
// folder (mkdir), to play a file system that gives them a mode of its own;
// returns the calls it replaced.
struct TMakeCalls {
  int (*CreateFile)(int dirFd, const char* path, int flags, mode_t mode);
  int (*MakeFolder)(const char* path, mode_t mode);
};
TMakeCalls SetMakeCallsForTests(TMakeCalls calls);

class TReplacingFile {
public:
  // Creates a private temporary file (mode 0600) in the folder of the
  // target, which is `path` or, for a symbolic link, the file the system
  // finds through it (the link stays; the system's rules for following links
  // apply, and a link to a file not yet there makes the system create it).
  // An existing target's owner, group, access ACL and permissions are given
  // to the file at Commit, once it is whole; a new file's permissions come
  // from the umask. Where the file system gives the temporary file a mode
  // that shows others more than the target does, the file is made again in
  // a private folder of its own before anything is written, or nothing is
  // written where the folder cannot be made private. A folder, a device or a
  // pipe is not replaced, nor a file its owner made read-only, nor, in a
  // sticky folder such as /tmp, a file of anyone but the user and the
  // folder's owner (also for root). Stale temporary files of earlier writes
  // that were killed are removed from the folder first. Raises Exception
  // with the reason.
  explicit TReplacingFile(const std::string& path, TReplacingKind kind = TReplacingKind::TreeFile);
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;
  // A file not committed is removed; the target stays as it was.
  ~TReplacingFile();

  int Fd() const { return FFd; }
  const std::string& Target() const { return FTarget; }
  // True for a picture written into its file in place: a folder that does
  // not allow new files, a bind-mounted file, or a file with other names.
  bool InPlace() const { return FInPlace; }

  // All the bytes or an exception. Bytes written here are hashed.
  void Write(const void* data, size_t size);
  // Raises the error of a failed write to Fd(), with errno's reason.
  [[noreturn]] void WriteFailed(int error) const;

  // Gives the file the target's owner, group, ACL and permissions, brings it
  // to the disk and renames it over the target. Returns the state of the
  // file written, with the hash of the bytes when all came through Write.
  TFileIdentity Commit();

private:
  void Open(const std::string& path);
  int OpenTarget(const std::string& path);
  // Closes and removes what was made for a write that is not committed.
  void Discard();
  void OpenInPlace(int pathFd);
  void CreateTemp(const std::string& folder, struct stat& made);
  void CreateTempInPrivateFolder(const std::string& folder, uid_t owner);
  int TempDir() const;
  void RemovePrivateFolder();
  bool ShowsMoreThanTarget(const struct stat& st) const;
  void TakeOverTargetsState();
  void SetMode(mode_t mode);

  TReplacingKind FKind;
  std::string FTarget;
  // The temporary file, by its path, or by its name in the folder of its
  // own (FPrivate).
  std::string FTemp;
  int FFd = -1;
  // The folder of its own the file is written in where the file system
  // widens new files, held open and locked; -1 for none.
  std::string FPrivate;
  int FPrivateFd = -1;
  bool FInPlace = false;
  bool FExists = false;
  // The target's state before the write (owner, group, mode) and its access
  // ACL (empty for none, nothing when it could not be read), given to the
  // new file at Commit.
  uint32_t FOldUid = 0, FOldGid = 0, FOldMode = 0;
  std::optional<std::string> FOldAcl;
  // A file created through a link to a file not yet there, removed again
  // when the write fails and it is still the empty file made.
  bool FMadeThroughLink = false;
  uint64_t FMadeDevice = 0, FMadeInode = 0;
  TContentHash FHash;
  uint64_t FHashedBytes = 0;
};

} // namespace bw
