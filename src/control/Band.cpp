#include "control/Band.h"

#include <algorithm>
#include <cstddef>

namespace bw {

namespace {

inline uint32_t Mix(uint32_t pixel, bool border) {
  const int c[3] = {BandColor.R, BandColor.G, BandColor.B};
  uint32_t out = pixel & 0xFF000000u;
  for (int i = 0; i < 3; ++i) {
    const int shift = 16 - 8 * i;
    const uint32_t old = (pixel >> shift) & 0xFF;
    const uint32_t mixed = border ? (old * 25 >> 8) + static_cast<uint32_t>(c[i] * 230 / 255)
                                  : (old * 230 >> 8) + static_cast<uint32_t>(c[i] * 25 / 255);
    out |= mixed << shift;
  }
  return out;
}

} // namespace

void BlendBand(uint32_t* pixels, int width, int height, int stride, const TRect& band) {
  const int left = std::max(band.Left, 0), right = std::min(band.Right, width - 1);
  const int top = std::max(band.Top, 0), bottom = std::min(band.Bottom, height - 1);
  for (int y = top; y <= bottom; ++y) {
    uint32_t* row = pixels + static_cast<ptrdiff_t>(y) * stride;
    const bool edgeRow = y == band.Top || y == band.Bottom;
    for (int x = left; x <= right; ++x) {
      const bool border = edgeRow || x == band.Left || x == band.Right;
      row[x] = Mix(row[x], border);
    }
  }
}

} // namespace bw
