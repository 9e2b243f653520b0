#include "app/dialogs/ExternalDataText.h"

#include "platform/workbook/Workbook.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace bw {

QString NumberText(double value, int decimals) {
  decimals = std::clamp(decimals, 0, 18);
  const QLocale locale;
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

bool ReadNumberText(QString text, double& value) {
  QLocale locale;
  text.remove(locale.groupSeparator());
  locale.setNumberOptions(QLocale::RejectGroupSeparator);
  bool ok = false;
  double v = locale.toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(v)) return false;
  value = v;
  return true;
}

QString CellValueText(const TCellValue& value, int decimals) {
  switch (value.Kind) {
  case TCellKind::Empty:
    return {};
  case TCellKind::Number:
    return NumberText(value.Number, decimals);
  default:
    return QString::fromStdString(value.Text);
  }
}

} // namespace bw
