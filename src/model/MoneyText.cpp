#include "model/MoneyText.h"

#include "foundation/Conversions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace bw {

namespace {

constexpr int MaxDecimals = 18;
// A Currency counts ten-thousandths.
constexpr int CurrencyDigits = 4;

// 's' stands for the symbol and 'n' for the number without sign; every
// other character is written as it is. Indexed by the layout codes that the
// tree options and the tree file keep.
constexpr std::string_view PositiveLayouts[] = {"sn", "ns", "s n", "n s"};
constexpr std::string_view NegativeLayouts[] = {"(sn)", "-sn",  "s-n",   "sn-",  "(ns)", "-ns",
                                                "n-s",  "ns-",  "-n s",  "-s n", "n s-", "s n-",
                                                "s -n", "n- s", "(s n)", "(n s)"};

template <size_t N>
std::string_view Layout(const std::string_view (&layouts)[N], int code) {
  return code >= 0 && static_cast<size_t>(code) < N ? layouts[code] : layouts[0];
}

uint64_t Pow10(int exponent) {
  uint64_t p = 1;
  for (int i = 0; i < exponent; ++i)
    p *= 10;
  return p;
}

std::string GroupThousands(const std::string& digits, const TMoneyLocale& locale) {
  if (locale.GroupSize <= 0 || locale.ThousandSeparator.empty()) return digits;
  const size_t group = static_cast<size_t>(locale.GroupSize);
  std::string out;
  out.reserve(digits.size() + digits.size() / group * locale.ThousandSeparator.size());
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % group == 0) out += locale.ThousandSeparator;
    out += digits[i];
  }
  return out;
}

std::string ZeroPadded(uint64_t value, int width) {
  std::string s = std::to_string(value);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
  return s;
}

} // namespace

std::string FormatMoney(Currency value, const TTreeOptions& options, const TMoneyLocale& locale) {
  const int decimals = std::clamp(options.CurrencyDecimals, 0, MaxDecimals);
  // The magnitude as unsigned, so that the lowest Currency has one too.
  const bool negative = value < 0;
  const uint64_t magnitude =
      negative ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);

  uint64_t whole;
  std::string fraction;
  if (decimals < CurrencyDigits) {
    // Rounded on the integer: a double would lose digits above 2^53.
    const uint64_t divisor = Pow10(CurrencyDigits - decimals);
    uint64_t scaled = magnitude / divisor;
    if (magnitude % divisor * 2 >= divisor) ++scaled;
    const uint64_t unit = Pow10(decimals);
    whole = scaled / unit;
    if (decimals > 0) fraction = ZeroPadded(scaled % unit, decimals);
  } else {
    whole = magnitude / Pow10(CurrencyDigits);
    fraction = ZeroPadded(magnitude % Pow10(CurrencyDigits), CurrencyDigits);
    fraction.append(static_cast<size_t>(decimals - CurrencyDigits), '0');
  }
  const bool zero = whole == 0 && fraction.find_first_not_of('0') == std::string::npos;

  std::string number = GroupThousands(std::to_string(whole), locale);
  if (decimals > 0) number += locale.DecimalSeparator + fraction;

  const std::string_view layout = negative && !zero
                                      ? Layout(NegativeLayouts, options.CurrencyNegFormat)
                                      : Layout(PositiveLayouts, options.CurrencyPosFormat);
  std::string out;
  for (char c : layout) {
    if (c == 's')
      out += options.CurrencySymbol;
    else if (c == 'n')
      out += number;
    else
      out += c;
  }
  return out;
}

std::string FloatToText(double value, const TMoneyLocale& locale) {
  std::string text = FloatToInvariantStr(value);
  const size_t point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, locale.DecimalSeparator);
  return text;
}

double TextToFloat(std::string_view text, const TMoneyLocale& locale) {
  std::string invariant;
  const std::string_view separator = locale.DecimalSeparator;
  if (!separator.empty() && separator != ".") {
    // "." is no decimal point here: "1.500" may be a grouped thousand.
    if (text.find('.') != std::string_view::npos) return 0;
    const size_t pos = text.find(separator);
    if (pos != std::string_view::npos) {
      invariant.append(text.substr(0, pos));
      invariant += '.';
      invariant.append(text.substr(pos + separator.size()));
    } else {
      invariant = text;
    }
  } else {
    invariant = text;
  }
  // Group separators, a second separator, "inf", "nan" and overflow all fail
  // the invariant reading.
  double value;
  return TryInvariantStrToFloat(invariant, value) ? value : 0;
}

bool SameFloat(double a, double b) {
  return std::fabs(a - b) <= 0.0001;
}

} // namespace bw
