#include "foundation/ContentHash.h"

#include <algorithm>
#include <cstring>

namespace bw {

namespace {

constexpr uint64_t K0 = 0xA0761D6478BD642Full, K1 = 0xE7037ED1A0B428DBull,
                   K2 = 0x8EBC6AF09C88C6E3ull, K3 = 0x589965CC75374CC3ull;

// The two halves of the 128-bit product folded into one: a multiplication
// for every 16 bytes, which keeps the hash at memory speed.
inline uint64_t Mix(uint64_t a, uint64_t b) {
  const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  return static_cast<uint64_t>(product) ^ static_cast<uint64_t>(product >> 64);
}

inline uint64_t Load64(const unsigned char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

} // namespace

void TContentHash::Add(const void* data, size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  FTotal += size;
  // Four lanes, each chained through its own state so that the order of the
  // blocks counts; kept in registers while the bytes run.
  uint64_t a = FLanes[0], b = FLanes[1], c = FLanes[2], d = FLanes[3];
  auto block = [&](const unsigned char* q) {
    a = Mix(Load64(q) ^ K0, Load64(q + 8) ^ a);
    b = Mix(Load64(q + 16) ^ K1, Load64(q + 24) ^ b);
    c = Mix(Load64(q + 32) ^ K2, Load64(q + 40) ^ c);
    d = Mix(Load64(q + 48) ^ K3, Load64(q + 56) ^ d);
  };
  if (FTailSize > 0) {
    const size_t take = std::min(size, sizeof FTail - FTailSize);
    std::memcpy(FTail + FTailSize, p, take);
    FTailSize += take;
    p += take;
    size -= take;
    if (FTailSize < sizeof FTail) return;
    block(FTail);
    FTailSize = 0;
  }
  for (; size >= sizeof FTail; p += sizeof FTail, size -= sizeof FTail)
    block(p);
  FLanes[0] = a, FLanes[1] = b, FLanes[2] = c, FLanes[3] = d;
  std::memcpy(FTail, p, size);
  FTailSize = size;
}

uint64_t TContentHash::Value() const {
  uint64_t h = Mix(FLanes[0] ^ K1, FLanes[1] ^ K2) ^ Mix(FLanes[2] ^ K3, FLanes[3] ^ K0);
  unsigned char tail[sizeof FTail + 8] = {};
  std::memcpy(tail, FTail, FTailSize);
  for (size_t i = 0; i < FTailSize; i += 16)
    h = Mix(Load64(tail + i) ^ K1 ^ h, Load64(tail + i + 8) ^ K2);
  return Mix(h ^ FTotal ^ K0, K3 ^ (FTotal << 1 | 1));
}

} // namespace bw
