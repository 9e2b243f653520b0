#include "foundation/Rounding.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>
#include <random>

using namespace bw;

namespace {
bool SameBits(long double a, long double b) {
  // The ten bytes of the value; the padding is not compared.
  return std::memcmp(&a, &b, 10) == 0;
}
} // namespace

TEST(Rounding, FastRoundingGivesRintsBits) {
  std::vector<long double> values = {0.0L,  -0.0L, 0.5L,    -0.5L,    1.5L,
                                     2.5L,  -2.5L, 0.3L,    -0.3L,    0.49999999999999999L,
                                     12.5L, 1e18L, -1e300L, 1e-4000L, -1e-4000L};
  const long double inf = std::numeric_limits<long double>::infinity();
  values.insert(values.end(), {inf, -inf, std::numeric_limits<long double>::quiet_NaN()});
  // Around the limit of the fast way, with halves where the format has them.
  for (long double base : {0x1p61L, 0x1p62L, 0x1p63L, 0x1p64L})
    for (long double d : {-1.5L, -1.0L, -0.5L, 0.0L, 0.5L, 1.0L, 1.5L, 2.0L, 3.0L}) {
      values.push_back(base + d);
      values.push_back(-(base + d));
    }
  std::mt19937_64 rng(3);
  for (int i = 0; i < 100000; ++i) {
    const long double scale = std::ldexp(1.0L, static_cast<int>(rng() % 70) - 4);
    values.push_back((static_cast<long double>(rng()) / 0x1p64L - 0.5L) * scale);
    // Halves and quarters exactly.
    values.push_back(static_cast<long double>(static_cast<int64_t>(rng() >> 20)) / 4);
  }
  for (long double v : values)
    ASSERT_TRUE(SameBits(RoundHalfEvenFast(v), std::rint(v))) << static_cast<double>(v);
}
