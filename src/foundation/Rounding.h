// Rounding to an integer goes to the nearest one, ties to the even one, in
// the default rounding mode. rint is that, inlined as one instruction;
// nearbyint gives the same results but saves and restores the floating-point
// environment on every call, which made it most of the roll-back's cost.
#pragma once

#include <cmath>

namespace bw {

inline long double RoundHalfEven(long double x) {
  return std::rint(x);
}
inline double RoundHalfEven(double x) {
  return std::rint(x);
}

// The same result as RoundHalfEven in the extended format, bit for bit, for
// loops that round very often: below 2^62 in magnitude, adding and taking
// away 1.5 * 2^63 (an even number, past which the format holds integers
// only) leaves the integer the default rounding gives, ties to even; the sign
// is put back, so that -0.3 gives -0 as rint does. Larger magnitudes,
// infinities and NaN go to rint.
inline long double RoundHalfEvenFast(long double x) {
  const long double a = std::fabs(x);
  if (!(a < 0x1p62L)) return std::rint(x);
  constexpr long double Shift = 0x1.8p63L;
  return std::copysign((a + Shift) - Shift, x);
}

} // namespace bw
