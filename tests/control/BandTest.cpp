// The rubber band blended into 32-bit pixels.
#include "control/Band.h"

#include <gtest/gtest.h>

#include <vector>

using namespace bw;

namespace {

constexpr uint32_t White = 0xFFFFFFFFu;

uint32_t Rgb(int r, int g, int b) {
  return 0xFF000000u | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
         static_cast<uint32_t>(b);
}

} // namespace

TEST(Band, BorderAndFillOnWhite) {
  const int w = 10, h = 8;
  std::vector<uint32_t> pixels(w * h, White);
  BlendBand(pixels.data(), w, h, w, {2, 1, 6, 5}); // edges included
  const uint32_t border = Rgb(33, 69, 254), fill = Rgb(229, 233, 254);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t p = pixels[y * w + x];
      const bool inside = x >= 2 && x <= 6 && y >= 1 && y <= 5;
      const bool edge = inside && (x == 2 || x == 6 || y == 1 || y == 5);
      EXPECT_EQ(p, !inside ? White : edge ? border : fill) << x << "," << y;
    }
}

TEST(Band, IntegerArithmeticPerChannel) {
  // old * 25 shr 8 + c * 230 div 255 on the border, old * 230 shr 8 +
  // c * 25 div 255 inside, with the band colour (10, 50, 255).
  std::vector<uint32_t> pixels(9, Rgb(0, 128, 200));
  BlendBand(pixels.data(), 3, 3, 3, {0, 0, 2, 2});
  EXPECT_EQ(pixels[0], Rgb(0 + 9, 12 + 45, 19 + 230));
  EXPECT_EQ(pixels[4], Rgb(0 + 0, 115 + 4, 179 + 25));
  // The alpha byte is kept.
  std::vector<uint32_t> clear(1, 0x00FFFFFFu);
  BlendBand(clear.data(), 1, 1, 1, {0, 0, 0, 0});
  EXPECT_EQ(clear[0] >> 24, 0u);
}

TEST(Band, ClippedToTheBuffer) {
  // A buffer of 4 x 3 in rows of 6 pixels; the band reaches outside on
  // every side, so only its inside is blended and nothing past a row's
  // width is touched.
  const int w = 4, h = 3, stride = 6;
  std::vector<uint32_t> pixels(stride * h, White);
  BlendBand(pixels.data(), w, h, stride, {-2, -3, 8, 9});
  const uint32_t fill = Rgb(229, 233, 254);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < stride; ++x)
      EXPECT_EQ(pixels[y * stride + x], x < w ? fill : White) << x << "," << y;

  // Partly outside: the left and top edges are off the buffer, the right
  // and bottom ones on it.
  std::vector<uint32_t> part(w * h, White);
  BlendBand(part.data(), w, h, w, {-5, -5, 1, 1});
  const uint32_t border = Rgb(33, 69, 254);
  EXPECT_EQ(part[0], fill);
  EXPECT_EQ(part[1], border);
  EXPECT_EQ(part[w], border);
  EXPECT_EQ(part[w + 1], border);
  EXPECT_EQ(part[2], White);
  EXPECT_EQ(part[2 * w], White);

  // Wholly outside: nothing changes.
  std::vector<uint32_t> none(w * h, White);
  BlendBand(none.data(), w, h, w, {10, 10, 20, 20});
  BlendBand(none.data(), w, h, w, {-20, -20, -1, -1});
  for (uint32_t p : none)
    EXPECT_EQ(p, White);
}
