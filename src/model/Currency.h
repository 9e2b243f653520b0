// Money: a signed 64-bit count of ten-thousandths of a currency unit.
#pragma once

#include <cstdint>

namespace bw {

using Currency = int64_t;

constexpr double CurrencyScale = 10000.0;

// round(x * 10000), ties to even. False when the result is not finite or
// does not fit the 64-bit range.
bool TryDoubleToCurrency(double value, Currency& result);
// The same, raising InvalidOperationException instead of wrapping.
Currency DoubleToCurrency(double value);
// The same, clamped to the Currency range (NaN gives 0): for display only.
Currency DoubleToCurrencySaturated(double value);

inline double CurrencyToDouble(Currency value) {
  return static_cast<double>(value) / CurrencyScale;
}

} // namespace bw
