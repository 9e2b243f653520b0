#include "app/dialogs/ExternalDataText.h"

#include "platform/workbook/Workbook.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace bw {

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
