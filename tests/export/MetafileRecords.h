// Reading metafiles back record by record, little-endian, independently of
// the writers: what a test checks is what the bytes say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bw::test {

inline uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
inline int16_t S16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int16_t>(U16(b, at));
}
inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return U16(b, at) | (uint32_t{U16(b, at + 2)} << 16);
}
inline int32_t S32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(U32(b, at));
}

struct TRecord {
  uint32_t Type = 0;
  size_t Offset = 0; // of the record in the file
  size_t Size = 0;   // in bytes
};

// EMF: type and size in bytes head every record, from the header to EOF.
inline std::vector<TRecord> EmfRecords(const std::vector<uint8_t>& bytes) {
  std::vector<TRecord> records;
  size_t at = 0;
  while (at + 8 <= bytes.size()) {
    const uint32_t size = U32(bytes, at + 4);
    records.push_back({U32(bytes, at), at, size});
    if (size < 8) break;
    at += size;
  }
  return records;
}

// WMF after the 22-byte placeable and the 18-byte metafile header: the size
// in 16-bit words, then the function.
inline std::vector<TRecord> WmfRecords(const std::vector<uint8_t>& bytes) {
  std::vector<TRecord> records;
  size_t at = 40;
  while (at + 6 <= bytes.size()) {
    const size_t size = size_t{U32(bytes, at)} * 2;
    records.push_back({U16(bytes, at + 4), at, size});
    if (size < 6) break;
    at += size;
  }
  return records;
}

// The types in order, for comparing whole sequences.
inline std::vector<uint32_t> Types(const std::vector<TRecord>& records) {
  std::vector<uint32_t> types;
  for (const TRecord& r : records)
    types.push_back(r.Type);
  return types;
}

} // namespace bw::test
