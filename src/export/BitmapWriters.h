// The bitmap file formats, written from rows of pixels: BMP (24-bit), JPEG
// (libjpeg) and GIF (giflib). Each writes to an open stream and raises an
// Exception with a clear message on any failure, its library's included;
// none ends the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace bw {

// Pixels as the writers read them: rows from the top, three bytes a pixel
// in the order red, green, blue.
struct TRgbImageView {
  int Width = 0;
  int Height = 0;
  const uint8_t* Bits = nullptr;
  // Bytes from the start of one row to the next.
  size_t Stride = 0;
  const uint8_t* Row(int y) const { return Bits + static_cast<size_t>(y) * Stride; }
};

// A Windows bitmap: file and 40-byte info header, 24 bits a pixel, rows from
// the bottom padded to four bytes; dpi gives the resolution it records.
void WriteBmp(std::FILE* out, const TRgbImageView& image, int dpi = 96);

// Baseline JPEG with the standard tables at the quality given, colour,
// 2 x 2 subsampled chroma, the accurate integer transform.
void WriteJpeg(std::FILE* out, const TRgbImageView& image, int quality = 90);

// One GIF frame: the picture's own colours when there are at most 256, else
// the 256 most frequent ones, each other colour taking the nearest of them.
void WriteGif(std::FILE* out, const TRgbImageView& image);

} // namespace bw
