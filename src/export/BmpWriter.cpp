#include "export/BitmapWriters.h"
#include "export/Picture.h"

#include "foundation/Exceptions.h"

#include <cerrno>
#include <cmath>
#include <system_error>
#include <vector>

namespace bw {

namespace {

void Put16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value & 0xFF);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
  Put16(at, static_cast<uint16_t>(value & 0xFFFF));
  Put16(at + 2, static_cast<uint16_t>(value >> 16));
}

void Write(std::FILE* out, const void* data, size_t size) {
  errno = 0;
  if (std::fwrite(data, 1, size, out) != size)
    throw Exception("Cannot write the bitmap. " +
                    std::generic_category().message(errno != 0 ? errno : EIO));
}

} // namespace

void WriteBmp(std::FILE* out, const TRgbImageView& image, int dpi) {
  CheckPictureSize(TPictureFormat::Bmp, image.Width, image.Height);
  const size_t rowBytes = (static_cast<size_t>(image.Width) * 3 + 3) & ~size_t{3};
  const size_t imageBytes = rowBytes * static_cast<size_t>(image.Height);
  const auto perMetre = static_cast<uint32_t>(std::lround((dpi > 0 ? dpi : 96) / 0.0254));

  uint8_t header[54] = {'B', 'M'};
  Put32(header + 2, static_cast<uint32_t>(54 + imageBytes)); // file size
  Put32(header + 10, 54);                                    // offset of the pixels
  Put32(header + 14, 40);                                    // info header size
  Put32(header + 18, static_cast<uint32_t>(image.Width));
  Put32(header + 22, static_cast<uint32_t>(image.Height)); // positive: bottom-up
  Put16(header + 26, 1);                                   // planes
  Put16(header + 28, 24);                                  // bits a pixel
  Put32(header + 30, 0);                                   // BI_RGB
  Put32(header + 34, static_cast<uint32_t>(imageBytes));
  Put32(header + 38, perMetre);
  Put32(header + 42, perMetre);
  Write(out, header, sizeof header);

  std::vector<uint8_t> row(rowBytes, 0);
  for (int y = image.Height - 1; y >= 0; --y) {
    const uint8_t* in = image.Row(y);
    for (int x = 0; x < image.Width; ++x) {
      row[3 * x] = in[3 * x + 2];
      row[3 * x + 1] = in[3 * x + 1];
      row[3 * x + 2] = in[3 * x];
    }
    Write(out, row.data(), rowBytes);
  }
}

} // namespace bw
