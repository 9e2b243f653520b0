// A file that replaces the one of its name only when it is whole: tree files
// and pictures are written so, and a failure halfway (a full disk, a
// file-size limit, a killed program) leaves the previous file as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bw {

// One state of a file: the file itself (device and inode; a replacing write
// makes a new file) with its size and modification time (a program that
// writes into the file in place). Known is false when there was no file.
struct TFileIdentity {
  bool Known = false;
  uint64_t Device = 0;
  uint64_t Inode = 0;
  int64_t Size = 0;
  int64_t ModifiedSeconds = 0;
  int64_t ModifiedNanoseconds = 0;
  bool operator==(const TFileIdentity&) const = default;
};

// The state of an open file, and of the file a path names (links followed).
TFileIdentity FileIdentityOf(int fd);
TFileIdentity FileIdentityOf(const std::string& path);

// True when the path names a file that is no longer in the state `known`
// describes. Nothing known, or no file there, is no change: writing then
// overwrites nothing.
bool FileChangedSince(const std::string& path, const TFileIdentity& known);

class TReplacingFile {
public:
  // Creates a private temporary file in the folder of the target, which is
  // `path` or, for a symbolic link, the file the link leads to (the link
  // stays; a link to a file not yet there leads to the file to create). It
  // takes an existing target's owner, group and permissions before any byte
  // is written, and a new file's permissions come from the umask. A folder,
  // a device or a pipe is not replaced, nor a file its owner made read-only.
  // Raises Exception with the reason.
  explicit TReplacingFile(const std::string& path);
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;
  // A file not committed is removed; the target stays as it was.
  ~TReplacingFile();

  int Fd() const { return FFd; }
  const std::string& Target() const { return FTarget; }

  // All the bytes or an exception.
  void Write(const void* data, size_t size);
  // Raises the error of a failed write to Fd(), with errno's reason.
  [[noreturn]] void WriteFailed(int error) const;

  // Brings the whole file to the disk and renames it over the target.
  // Returns the state of the file written.
  TFileIdentity Commit();

private:
  std::string FTarget;
  std::string FTemp;
  int FFd = -1;
};

} // namespace bw
