#include "model/Currency.h"
#include "foundation/Rounding.h"

#include "foundation/Conversions.h"
#include "foundation/Exceptions.h"

#include <algorithm>
#include <charconv>
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

bool TryDecimalToCurrency(std::string_view text, Currency& result) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
  auto digits = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if ((whole.empty() && fraction.empty()) || !digits(whole) || !digits(fraction)) return false;
  while (!whole.empty() && whole.front() == '0')
    whole.remove_prefix(1);
  if (whole.size() > 15) return false;
  unsigned __int128 units = 0; // at most 19 digits: no overflow
  for (char c : whole)
    units = units * 10 + static_cast<unsigned>(c - '0');
  for (size_t i = 0; i < 4; ++i)
    units = units * 10 + (i < fraction.size() ? static_cast<unsigned>(fraction[i] - '0') : 0);
  if (fraction.size() > 4) {
    char next = fraction[4];
    bool beyond = fraction.find_first_not_of('0', 5) != std::string_view::npos;
    if (next > '5' || (next == '5' && (beyond || units % 2 == 1))) ++units;
  }
  using Wide = unsigned __int128;
  const Wide limit = negative ? Wide(INT64_MAX) + 1 : Wide(INT64_MAX);
  if (units > limit) return false;
  result = negative ? static_cast<Currency>(0 - static_cast<uint64_t>(units))
                    : static_cast<Currency>(units);
  return true;
}

bool TryScientificToDecimal(std::string_view text, std::string& decimal) {
  text = TrimBlanks(text);
  const size_t e = text.find_first_of("eE");
  std::string_view mantissa = text.substr(0, e);
  std::string_view exponentText =
      e == std::string_view::npos ? std::string_view("0") : text.substr(e + 1);
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  std::string sign;
  if (!mantissa.empty() && (mantissa.front() == '-' || mantissa.front() == '+')) {
    if (mantissa.front() == '-') sign = "-";
    mantissa.remove_prefix(1);
  }
  const size_t point = mantissa.find('.');
  const std::string_view whole = mantissa.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : mantissa.substr(point + 1);
  const bool negativeExponent = exponentText.starts_with('-');
  if (exponentText.starts_with('-') || exponentText.starts_with('+')) exponentText.remove_prefix(1);
  if ((whole.empty() && fraction.empty()) || exponentText.empty() ||
      !std::all_of(whole.begin(), whole.end(), isDigit) ||
      !std::all_of(fraction.begin(), fraction.end(), isDigit) ||
      !std::all_of(exponentText.begin(), exponentText.end(), isDigit))
    return false;
  // The exponent, held at a bound far beyond any text's length, so that
  // "1e999999999999999999999" neither overflows nor makes a long text.
  constexpr int64_t Bound = int64_t{1} << 40;
  int64_t exponent = 0;
  for (char c : exponentText)
    exponent = std::min(exponent * 10 + (c - '0'), Bound);
  if (negativeExponent) exponent = -exponent;
  // The digits typed without the zeros around them, and where the point
  // stands among them.
  std::string digits = std::string(whole) + std::string(fraction);
  int64_t pointAt = static_cast<int64_t>(whole.size()) + exponent;
  const size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {
    decimal = "0";
    return true;
  }
  digits.erase(0, first);
  pointAt -= static_cast<int64_t>(first);
  digits.erase(digits.find_last_not_of('0') + 1);
  // Sixteen digits before the point are 10^15 or more, beyond a Currency.
  // Six zeros after it are far below half a ten-thousandth: one digit there
  // stands for all of them.
  if (pointAt > 15) return false;
  if (pointAt < -6) {
    pointAt = -6;
    digits = "1";
  }
  const size_t count = digits.size();
  decimal = sign;
  if (pointAt <= 0)
    decimal += "0." + std::string(static_cast<size_t>(-pointAt), '0') + digits;
  else if (static_cast<size_t>(pointAt) >= count)
    decimal += digits + std::string(static_cast<size_t>(pointAt) - count, '0');
  else
    decimal += digits.substr(0, static_cast<size_t>(pointAt)) + "." +
               digits.substr(static_cast<size_t>(pointAt));
  return true;
}

bool TryScientificToCurrency(std::string_view text, Currency& result) {
  std::string decimal;
  return TryScientificToDecimal(text, decimal) && TryDecimalToCurrency(decimal, result);
}

std::string CurrencyToDecimal(Currency value) {
  // The ten-thousandths as they are: no Double in between, which would keep
  // only 15 significant digits.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char buf[32];
  char* end = std::to_chars(buf, buf + sizeof buf, magnitude / 10000).ptr;
  if (uint64_t fraction = magnitude % 10000) {
    *end++ = '.';
    for (uint64_t unit = 1000; fraction != 0; unit /= 10) {
      *end++ = static_cast<char>('0' + fraction / unit);
      fraction %= unit;
    }
  }
  return (value < 0 ? "-" : "") + std::string(buf, end);
}

} // namespace bw
