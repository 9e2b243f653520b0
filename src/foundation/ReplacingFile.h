// A file that replaces the one of its name only when it is whole: tree files
// and pictures are written so, and a failure halfway (a full disk, a
// file-size limit, a killed program) leaves the previous file as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bw {

// A fast 64-bit hash of a stream of bytes, to tell one content from another
// where a file's times cannot; not a defence against a deliberate collision.
class TContentHash {
public:
  void Add(const void* data, size_t size);
  uint64_t Value() const;

private:
  uint64_t FLanes[4] = {0x1D8E4E27C47D124Full, 0x2D358DCCAA6C78A5ull, 0x8BB84B93962EACC9ull,
                        0x4B33A62ED433D4A3ull};
  unsigned char FTail[64] = {};
  size_t FTailSize = 0;
  uint64_t FTotal = 0;
};

// One state of a file: the file itself (device and inode; a replacing write
// makes a new file) with its size, modification time and change time (a
// program that writes into the file in place; the change time is set by the
// system and cannot be put back). Where those times cannot tell two writes
// apart, Hashed is true and Hash is the hash of the bytes read or written.
// Known is false when there was no file.
struct TFileIdentity {
  bool Known = false;
  uint64_t Device = 0;
  uint64_t Inode = 0;
  int64_t Size = 0;
  int64_t ModifiedSeconds = 0;
  int64_t ModifiedNanoseconds = 0;
  int64_t ChangedSeconds = 0;
  int64_t ChangedNanoseconds = 0;
  bool Hashed = false;
  uint64_t Hash = 0;
  bool operator==(const TFileIdentity&) const = default;
  // The same file in the same state, the hash aside.
  bool SameState(const TFileIdentity& other) const;
};

// The state of an open file, and of the file a path names (links followed),
// without a hash.
TFileIdentity FileIdentityOf(int fd);
TFileIdentity FileIdentityOf(const std::string& path);

// True when the times of the state cannot tell it from a later write of the
// same size: they carry no fraction of a second (a file system that keeps
// whole seconds), or they are not a second older than now. Then the content
// must be hashed.
bool TimesCannotTell(const TFileIdentity& state);

// True when the path names a file that is no longer in the state `known`
// describes; with the times alike and a hash known, the file is read and
// its hash compared. Nothing known, or no file there, is no change: writing
// then overwrites nothing.
bool FileChangedSince(const std::string& path, const TFileIdentity& known);

// What a replacing file holds, which names its temporary file and decides
// what happens where the target cannot be replaced: a tree file is then
// refused, a picture is written into the file in place.
enum class TReplacingKind { TreeFile, Picture };

class TReplacingFile {
public:
  // Creates a private temporary file (mode 0600) in the folder of the
  // target, which is `path` or, for a symbolic link, the file the system
  // finds through it (the link stays; the system's rules for following links
  // apply, and a link to a file not yet there makes the system create it).
  // An existing target's owner, group, access ACL and permissions are given
  // to the file at Commit, once it is whole; a new file's permissions come
  // from the umask. A folder, a device or a pipe is not replaced, nor a file
  // its owner made read-only. Stale temporary files of earlier writes that
  // were killed are removed from the folder first. Raises Exception with the
  // reason.
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
  void CreateTemp(const std::string& folder);
  void TakeOverTargetsState();

  TReplacingKind FKind;
  std::string FTarget;
  std::string FTemp;
  int FFd = -1;
  bool FInPlace = false;
  bool FExists = false;
  // The target's state before the write (owner, group, mode) and its access
  // ACL, given to the new file at Commit.
  uint32_t FOldUid = 0, FOldGid = 0, FOldMode = 0;
  std::string FOldAcl;
  // A file created through a link to a file not yet there, removed again
  // when the write fails and it is still the empty file made.
  bool FMadeThroughLink = false;
  uint64_t FMadeDevice = 0, FMadeInode = 0;
  TContentHash FHash;
  uint64_t FHashedBytes = 0;
};

} // namespace bw
