#include "app/dialogs/ExternalDataText.h"

#include "app/core/UIStrings.h"
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

QString ExternalDataHeader(int changed, int unread) {
  using namespace UIStrings;
  if (unread == 0)
    return QString::fromStdString(Str(changed > 0 ? SExternalDataChanged : SExternalDataUnchanged));
  std::string text =
      unread == 1 ? Str(SExternalDataUnreadOne) : FormatStr(Text(SExternalDataUnreadMany), unread);
  text += ' ';
  text += Text(changed > 0 ? SExternalDataUnreadOthersChanged : SExternalDataUnreadOthersUnchanged);
  return QString::fromStdString(text);
}

} // namespace bw
