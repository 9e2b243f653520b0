// A fast 64-bit hash of a stream of bytes, to tell one content of a file
// from another where its times cannot; not a defence against a deliberate
// collision.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw {

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

} // namespace bw
