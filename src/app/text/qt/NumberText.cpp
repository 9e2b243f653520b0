#include "app/text/qt/NumberText.h"

#include "model/MoneyText.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace bw {

namespace {

constexpr int MaxDecimals = 18;

QString Format(double value, int decimals, bool groups) {
  decimals = ClampTextDecimals(decimals);
  QLocale locale;
  QLocale::NumberOptions options = locale.numberOptions();
  if (groups)
    options &= ~QLocale::NumberOptions(QLocale::OmitGroupSeparator);
  else
    options |= QLocale::OmitGroupSeparator;
  locale.setNumberOptions(options);
  if (!std::isfinite(value)) return locale.toString(value, 'f', decimals);
  // Fifteen significant digits: beyond them a double's digits are noise
  // that nobody typed, and they are written as zeros.
  char buffer[32];
  auto written =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  std::from_chars(buffer, written.ptr, value);
  int exponent = 0;
  if (const char* e = std::find(buffer, written.ptr, 'e'); e != written.ptr)
    std::from_chars(*(e + 1) == '+' ? e + 2 : e + 1, written.ptr, exponent);
  if (value == 0) {
    value = 0; // no "-0"
    exponent = 0;
  }
  const int precise = std::clamp(14 - exponent, 0, decimals);
  QString text = locale.toString(value, 'f', precise);
  if (precise < decimals) {
    if (precise == 0) text += locale.decimalPoint();
    text += locale.zeroDigit().repeated(decimals - precise);
  }
  return text;
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

namespace {

TMoneyLocale Separators() {
  const QLocale locale;
  return {.ThousandSeparator = locale.groupSeparator().toStdString(),
          .DecimalSeparator = locale.decimalPoint().toStdString()};
}

QString MoneyText(Currency value, int decimals, bool groups) {
  TTreeOptions plain;
  plain.CurrencySymbol.clear();
  plain.CurrencyDecimals = ClampTextDecimals(decimals);
  plain.CurrencyPosFormat = 0; // "1"
  plain.CurrencyNegFormat = 1; // "-1"
  TMoneyLocale locale = Separators();
  if (!groups) locale.GroupSize = 0;
  return QString::fromStdString(FormatMoney(value, plain, locale));
}

} // namespace

QString MoneyFixedText(Currency value, int decimals) {
  return MoneyText(value, decimals, false);
}

QString MoneyNumberText(Currency value, int decimals) {
  return MoneyText(value, decimals, true);
}

bool TryTextToFloat(const QString& text, double& value) {
  return TryTextToFloat(text.toStdString(), Separators(), {}, value);
}

bool TryTextToCurrency(const QString& text, Currency& value) {
  return TryTextToMoney(text.toStdString(), Separators(), {}, value);
}

bool TryTextToCurrency(const QString& text, const std::string& unit, Currency& value) {
  return TryTextToMoney(text.toStdString(), Separators(), unit, value);
}

} // namespace bw
