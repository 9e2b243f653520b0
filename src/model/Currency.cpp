#include "model/Currency.h"
#include "foundation/Rounding.h"

#include "foundation/Exceptions.h"

#include <cmath>
#include <limits>

namespace bw {

namespace {
// 2^63 exactly: the first double that no longer fits.
constexpr long double Limit = 9223372036854775808.0L;
} // namespace

bool TryDoubleToCurrency(double value, Currency& result) {
  long double scaled = RoundHalfEven(static_cast<long double>(value) * 10000.0L);
  if (!std::isfinite(scaled) || scaled >= Limit || scaled < -Limit) return false;
  result = static_cast<Currency>(scaled);
  return true;
}

Currency DoubleToCurrency(double value) {
  Currency result;
  if (!TryDoubleToCurrency(value, result))
    throw InvalidOperationException("Invalid floating point operation");
  return result;
}

Currency DoubleToCurrencySaturated(double value) {
  if (std::isnan(value)) return 0;
  Currency result;
  if (TryDoubleToCurrency(value, result)) return result;
  return value > 0 ? std::numeric_limits<Currency>::max() : std::numeric_limits<Currency>::min();
}

} // namespace bw
