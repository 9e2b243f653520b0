// Reading written pictures back, little-endian, independently of the
// writers: what a test checks is what the bytes say. Metafiles record by
// record, JPEG markers, the bytes a writer puts in a stream; and the drawing
// the tests of both metafile formats record.
#pragma once

#include "canvas/Canvas.h"
#include "foundation/Conversions.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
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

// `count` signed fields of `bytes` bytes (2 or 4) in a row from `at`.
inline std::vector<int> Fields(const std::vector<uint8_t>& b, size_t at, size_t count,
                               size_t bytes = 4) {
  std::vector<int> out;
  for (size_t i = 0; i < count; ++i)
    out.push_back(bytes == 2 ? S16(b, at + 2 * i) : S32(b, at + 4 * i));
  return out;
}

// What a writer puts in a stream.
inline std::vector<uint8_t> Written(const std::function<void(std::FILE*)>& write) {
  std::FILE* f = std::tmpfile();
  write(f);
  std::vector<uint8_t> bytes(static_cast<size_t>(std::ftell(f)));
  std::rewind(f);
  if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
  std::fclose(f);
  return bytes;
}

// Where a JPEG marker first stands; 0 if nowhere.
inline size_t JpegMarker(const std::vector<uint8_t>& b, uint8_t code) {
  for (size_t i = 0; i + 1 < b.size(); ++i)
    if (b[i] == 0xFF && b[i + 1] == code) return i;
  return 0;
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

// The n-th record of a type.
inline const TRecord& Nth(const std::vector<TRecord>& records, uint32_t type, int n = 0) {
  for (const TRecord& r : records)
    if (r.Type == type && n-- == 0) return r;
  throw std::out_of_range("no such record");
}

// One field of every record of a type, in order: which slots were selected,
// for instance.
inline std::vector<int> FieldOfEach(const std::vector<uint8_t>& b,
                                    const std::vector<TRecord>& records, uint32_t type,
                                    size_t offset, size_t bytes = 4) {
  std::vector<int> out;
  for (const TRecord& r : records)
    if (r.Type == type) out.push_back(Fields(b, r.Offset + offset, 1, bytes)[0]);
  return out;
}

// The UTF-16 units and their advances of an EMF text record.
struct TEmfText {
  std::u16string Units;
  std::vector<int> Advances;
};
constexpr uint32_t EmfExtTextOutW = 84;
inline TEmfText EmfText(const std::vector<uint8_t>& b, const TRecord& r) {
  const size_t count = U32(b, r.Offset + 44);
  TEmfText text{{}, Fields(b, r.Offset + U32(b, r.Offset + 72), count)};
  for (size_t i = 0; i < count; ++i)
    text.Units.push_back(static_cast<char16_t>(U16(b, r.Offset + U32(b, r.Offset + 48) + 2 * i)));
  return text;
}

// Two shapes that change the brush, a text in a new bold, underlined font
// on a white cell, and a line in a wider pen.
inline void DrawShapesTextAndLine(TCanvas& c, int rectangleTop, std::string_view text,
                                  TPenStyle lineStyle) {
  c.Pen = {colors::Black, 1, TPenStyle::Solid};
  c.Brush = {colors::White, TBrushStyle::Solid};
  c.Rectangle(10, rectangleTop, 60, 40);
  c.Brush.Color = colors::Grey;
  c.Ellipse(70, 10, 90, 30);
  c.Font = {{"Verdana", 8, fsBold | fsUnderline}, colors::Blue};
  c.Brush.Color = colors::White;
  c.TextOut(12, 20, text);
  c.Pen = {colors::Black, 3, lineStyle};
  c.MoveTo(60, 25);
  c.LineTo(70, 20);
}

} // namespace bw::test
