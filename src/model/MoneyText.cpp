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

// Beside the ASCII blank, the blanks that locales write between digit
// groups: the no-break space and the narrow no-break space.
constexpr std::string_view WideBlanks[] = {"\u00A0", "\u202F"};

std::string_view TrimTyped(std::string_view text) {
  for (bool trimmed = true; trimmed;) {
    text = TrimBlanks(text);
    trimmed = false;
    for (std::string_view blank : WideBlanks) {
      if (text.starts_with(blank)) {
        text.remove_prefix(blank.size());
        trimmed = true;
      }
      if (text.ends_with(blank)) {
        text.remove_suffix(blank.size());
        trimmed = true;
      }
    }
  }
  return text;
}

size_t DigitsAt(std::string_view text) {
  size_t n = 0;
  while (n < text.size() && text[n] >= '0' && text[n] <= '9')
    ++n;
  return n;
}

// The length of the group separator that starts text; 0 for none.
size_t GroupSeparatorAt(std::string_view text, const TMoneyLocale& locale) {
  if (text.starts_with(' ')) return 1;
  if (text.starts_with(locale.ThousandSeparator)) return locale.ThousandSeparator.size();
  for (std::string_view blank : WideBlanks)
    if (text.starts_with(blank)) return blank.size();
  return 0;
}

// Appends the number in text, which has neither sign nor unit, to out in
// invariant notation; false when text is no such number.
bool ReadUnsignedNumber(std::string_view text, const TMoneyLocale& locale, std::string& out) {
  auto take = [&](size_t skip, size_t digits) {
    out.append(text.substr(skip, digits));
    text.remove_prefix(skip + digits);
  };
  size_t run = DigitsAt(text);
  size_t digits = run;
  const bool leadingZero = run > 0 && text.front() == '0';
  take(0, run);
  // Separators stand between whole groups: "12,345" but not "1,5", which
  // may be a decimal typed with the wrong separator.
  const size_t group = static_cast<size_t>(std::max(locale.GroupSize, 0));
  const bool grouping = group > 0 && !locale.ThousandSeparator.empty() &&
                        locale.ThousandSeparator != locale.DecimalSeparator;
  for (bool first = true; grouping && run > 0; first = false) {
    const size_t separator = GroupSeparatorAt(text, locale);
    if (separator == 0) break;
    const size_t next = DigitsAt(text.substr(separator));
    // A first group as the program writes it: one to three digits, not
    // starting with 0 ("0,125" and "1234,567" are no numbers).
    if (next != group || (first && (run > group || leadingZero))) return false;
    take(separator, next);
    run = next;
    digits += next;
  }
  if (!locale.DecimalSeparator.empty() && text.starts_with(locale.DecimalSeparator)) {
    out += '.';
    run = DigitsAt(text.substr(locale.DecimalSeparator.size()));
    take(locale.DecimalSeparator.size(), run);
    digits += run;
  }
  if (digits == 0) return false;
  if (text.starts_with('e') || text.starts_with('E')) {
    out += 'e';
    const size_t sign = text.size() > 1 && (text[1] == '+' || text[1] == '-') ? 1 : 0;
    if (sign) out += text[1];
    run = DigitsAt(text.substr(1 + sign));
    if (run == 0) return false;
    take(1 + sign, run);
  }
  return text.empty();
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

namespace {

// The typed number in invariant notation ("-1234.5", "1e3"); false when
// text is no number as TryTextToFloat describes it.
bool NormaliseTyped(std::string_view text, const TMoneyLocale& locale, std::string_view unit,
                    std::string& invariant) {
  unit = TrimTyped(unit);
  text = TrimTyped(text);
  bool negative = false;
  bool signed_ = false;
  if (text.size() >= 2 && text.front() == '(' && text.back() == ')') {
    negative = signed_ = true;
    text = TrimTyped(text.substr(1, text.size() - 2));
  }
  // The unit and the sign, each at most once, from either end inwards.
  bool unitTaken = unit.empty();
  for (;;) {
    if (!unitTaken && text.starts_with(unit)) {
      text.remove_prefix(unit.size());
      unitTaken = true;
    } else if (!unitTaken && text.ends_with(unit)) {
      text.remove_suffix(unit.size());
      unitTaken = true;
    } else if (!signed_ && (text.starts_with('-') || text.starts_with('+'))) {
      negative = text.front() == '-';
      text.remove_prefix(1);
      signed_ = true;
    } else if (!signed_ && text.ends_with('-')) {
      negative = true;
      text.remove_suffix(1);
      signed_ = true;
    } else {
      break;
    }
    text = TrimTyped(text);
  }
  invariant = negative ? "-" : "";
  return ReadUnsignedNumber(text, locale, invariant);
}

} // namespace

bool TryTextToFloat(std::string_view text, const TMoneyLocale& locale, std::string_view unit,
                    double& value) {
  std::string invariant;
  return NormaliseTyped(text, locale, unit, invariant) && TryInvariantStrToFloat(invariant, value);
}

bool TryTextToMoney(std::string_view text, const TMoneyLocale& locale, std::string_view unit,
                    Currency& value) {
  std::string invariant;
  if (!NormaliseTyped(text, locale, unit, invariant)) return false;
  // Exactly, with or without an exponent: no double in between.
  return TryScientificToCurrency(invariant, value);
}

bool TryTextToWholeMoney(std::string_view text, const TMoneyLocale& locale, std::string_view unit,
                         Currency& value) {
  std::string invariant, decimal;
  if (!NormaliseTyped(text, locale, unit, invariant) || !TryScientificToDecimal(invariant, decimal))
    return false;
  const size_t point = decimal.find('.');
  return (point == std::string::npos ||
          decimal.find_first_not_of('0', point + 1) == std::string::npos) &&
         TryDecimalToCurrency(decimal, value);
}

bool SameFloat(double a, double b) {
  return std::fabs(a - b) <= 0.0001;
}

} // namespace bw
