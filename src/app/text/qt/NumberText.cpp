#include "app/text/qt/NumberText.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace bw {

namespace {

constexpr int MaxDecimals = 18;

// Rounded to 15 significant digits, as the number texts show no more.
double Significant15(double value) {
  if (!std::isfinite(value) || value == 0) return value;
  char buffer[32];
  auto written =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  double rounded = value;
  std::from_chars(buffer, written.ptr, rounded);
  return rounded;
}

QString Format(double value, int decimals, bool groups) {
  QLocale locale;
  QLocale::NumberOptions options = locale.numberOptions();
  if (groups)
    options &= ~QLocale::NumberOptions(QLocale::OmitGroupSeparator);
  else
    options |= QLocale::OmitGroupSeparator;
  locale.setNumberOptions(options);
  return locale.toString(Significant15(value), 'f', ClampTextDecimals(decimals));
}

} // namespace

int ClampTextDecimals(int decimals) {
  return std::clamp(decimals, 0, MaxDecimals);
}

QString FixedText(double value, int decimals) {
  return Format(value, decimals, false);
}

QString NumberText(double value, int decimals) {
  return Format(value, decimals, true);
}

bool TryTextToFloat(const QString& text, double& value) {
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
  bool ok = false;
  const double parsed = locale.toDouble(text, &ok);
  if (!ok || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool TryTextToCurrency(const QString& text, Currency& value) {
  double parsed;
  return TryTextToFloat(text, parsed) && TryDoubleToCurrency(parsed, value);
}

} // namespace bw
