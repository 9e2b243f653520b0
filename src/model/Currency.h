// Money: a signed 64-bit count of ten-thousandths of a currency unit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// A plain decimal in invariant notation ("-12.34567", "+7.", ".5", blanks
// around it): its exact value in ten-thousandths, a half rounded to the even
// neighbour, with no double in between. False for any other form (an
// exponent, separators) and for a value outside the range.
bool TryDecimalToCurrency(std::string_view text, Currency& result);
// Such a decimal, or one with an exponent ("1.5e-4", "-2E+3"), as a plain
// decimal of the same value: the exponent moves the point in the digits
// typed ("0.00015", "-2000"). A value below 10^-6 becomes "0.000001" (its
// sign kept), which rounds the same and shows a fraction as well. False for
// any other form, and for 10^15 or more, beyond every Currency.
bool TryScientificToDecimal(std::string_view text, std::string& decimal);
// The same made money exactly, as TryDecimalToCurrency makes it.
bool TryScientificToCurrency(std::string_view text, Currency& result);
// The value written exactly as such a decimal, with up to four decimals and
// no trailing zeros ("-1500", "0.0001").
std::string CurrencyToDecimal(Currency value);

inline double CurrencyToDouble(Currency value) {
  return static_cast<double>(value) / CurrencyScale;
}

} // namespace bw
