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

} // namespace bw
