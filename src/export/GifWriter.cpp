#include "export/BitmapWriters.h"
#include "export/Picture.h"

#include "foundation/Exceptions.h"

#include <gif_lib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace bw {

namespace {

uint32_t Pixel(const uint8_t* p) {
  return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

int Distance(uint32_t a, uint32_t b) {
  const int dr = static_cast<int>(a >> 16) - static_cast<int>(b >> 16);
  const int dg = static_cast<int>((a >> 8) & 0xFF) - static_cast<int>((b >> 8) & 0xFF);
  const int db = static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF);
  return dr * dr + dg * dg + db * db;
}

struct TPalette {
  std::vector<uint32_t> Colors;
  // Every colour of the picture and its entry.
  std::unordered_map<uint32_t, uint8_t> Entry;
};

// The drawing is mostly runs of one colour: counting runs keeps the table
// work to the edges of shapes and texts.
TPalette MakePalette(const TRgbImageView& image) {
  std::unordered_map<uint32_t, uint64_t> counts;
  for (int y = 0; y < image.Height; ++y) {
    const uint8_t* row = image.Row(y);
    uint32_t last = Pixel(row);
    uint64_t run = 0;
    for (int x = 0; x < image.Width; ++x) {
      const uint32_t c = Pixel(row + 3 * x);
      if (c != last) {
        counts[last] += run;
        last = c;
        run = 0;
      }
      ++run;
    }
    counts[last] += run;
  }
  std::vector<std::pair<uint32_t, uint64_t>> byCount(counts.begin(), counts.end());
  std::sort(byCount.begin(), byCount.end(), [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second > b.second : a.first < b.first;
  });
  TPalette palette;
  const size_t kept = std::min<size_t>(byCount.size(), 256);
  for (size_t i = 0; i < byCount.size(); ++i) {
    const uint32_t c = byCount[i].first;
    if (i < kept) {
      palette.Colors.push_back(c);
      palette.Entry.emplace(c, static_cast<uint8_t>(i));
      continue;
    }
    size_t best = 0;
    for (size_t j = 1; j < kept; ++j)
      if (Distance(c, palette.Colors[j]) < Distance(c, palette.Colors[best])) best = j;
    palette.Entry.emplace(c, static_cast<uint8_t>(best));
  }
  return palette;
}

int WriteOut(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<std::FILE*>(gif->UserData);
  return static_cast<int>(std::fwrite(data, 1, static_cast<size_t>(length), out));
}

[[noreturn]] void Fail(int code) {
  const char* text = GifErrorString(code);
  throw Exception(std::string("GIF error: ") + (text ? text : "unknown error"));
}

struct TMapDeleter {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

} // namespace

void WriteGif(std::FILE* out, const TRgbImageView& image) {
  CheckPictureSize(TPictureFormat::Gif, image.Width, image.Height);
  const TPalette palette = MakePalette(image);

  // The colour table's size is a power of two, at least 2.
  int size = 2;
  while (size < static_cast<int>(palette.Colors.size()))
    size *= 2;
  std::vector<GifColorType> colors(static_cast<size_t>(size), GifColorType{0, 0, 0});
  for (size_t i = 0; i < palette.Colors.size(); ++i) {
    const uint32_t c = palette.Colors[i];
    colors[i] =
        GifColorType{static_cast<GifByteType>(c >> 16), static_cast<GifByteType>((c >> 8) & 0xFF),
                     static_cast<GifByteType>(c & 0xFF)};
  }
  std::unique_ptr<ColorMapObject, TMapDeleter> map(GifMakeMapObject(size, colors.data()));
  if (!map) throw std::bad_alloc();

  int error = 0;
  GifFileType* gif = EGifOpen(out, WriteOut, &error);
  if (!gif) Fail(error);
  // Closed on every way out; the last close writes the trailer and reports.
  struct TCloser {
    GifFileType*& Gif;
    ~TCloser() {
      if (Gif) EGifCloseFile(Gif, nullptr);
    }
  } closer{gif};
  auto check = [&gif](int result) {
    if (result == GIF_ERROR) Fail(gif->Error);
  };

  check(EGifPutScreenDesc(gif, image.Width, image.Height, 8, 0, map.get()));
  check(EGifPutImageDesc(gif, 0, 0, image.Width, image.Height, false, nullptr));
  std::vector<GifPixelType> line(static_cast<size_t>(image.Width));
  for (int y = 0; y < image.Height; ++y) {
    const uint8_t* row = image.Row(y);
    uint32_t last = Pixel(row);
    uint8_t entry = palette.Entry.at(last);
    for (int x = 0; x < image.Width; ++x) {
      const uint32_t c = Pixel(row + 3 * x);
      if (c != last) {
        last = c;
        entry = palette.Entry.at(c);
      }
      line[static_cast<size_t>(x)] = entry;
    }
    check(EGifPutLine(gif, line.data(), image.Width));
  }
  GifFileType* done = std::exchange(gif, nullptr);
  if (EGifCloseFile(done, &error) == GIF_ERROR) Fail(error);
}

} // namespace bw
