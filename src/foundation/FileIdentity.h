// The state of a file as a window last read or wrote it, to tell before a
// save whether another program has changed the file since.
#pragma once

#include <cstdint>
#include <string>

namespace bw {

// One state of a file: the file itself (device and inode; a replacing write
// makes a new file) with its size, modification time and change time (the
// change time moves with every write in place and cannot be put back, but
// also with a change of the file's metadata alone). Hashed is true when Hash
// is the hash of all the bytes read or written. Known is false when there
// was no file.
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

// True when the times of the state carry no fraction of a second (a file
// system that keeps whole seconds, or two): a later write of the same size
// within the second cannot be told from it by its times.
bool TimesCannotTell(const TFileIdentity& state);

// True when the file the path names holds other bytes than the state
// `known` describes. The file's state decides whether its bytes must be
// read: as it was, with times that tell, it is unchanged, and another size
// is a change; otherwise (the file's times or its metadata moved, another
// file took the name, or whole-second times) its bytes are read and compared
// with the known hash, so that a chmod, a touch or a new link is no change.
// A write by another program within the same tick of the system's clock as
// the state known, of the same size, is not looked for. Nothing known, or no
// file there, is no change: writing then overwrites nothing.
bool FileChangedSince(const std::string& path, const TFileIdentity& known);

} // namespace bw
