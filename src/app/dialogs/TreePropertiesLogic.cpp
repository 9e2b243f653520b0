#include "app/dialogs/TreePropertiesLogic.h"

#include "app/text/qt/NumberText.h"
#include "control/DecTree.h"
#include "foundation/Conversions.h"

#include <algorithm>
#include <cmath>

namespace bw {

TTreeProperties ReadTreeProperties(const TDecTree& tree) {
  const TTreeOptions& o = tree.Options;
  return {o.OutlineCodes,      o.CurrencySymbol, o.CurrencyDecimals, o.CurrencyPosFormat,
          o.CurrencyNegFormat, o.StatusDate,     tree.DefaultFont};
}

void ApplyTreeProperties(TDecTree& tree, const TTreeProperties& p, const TSaveUndo& saveUndo) {
  if (saveUndo) saveUndo(TreePropertiesUndoCaption);
  TTreeOptions& o = tree.Options;
  o.OutlineCodes = p.OutlineCodes;
  o.CurrencySymbol = p.CurrencySymbol;
  o.CurrencyDecimals = p.CurrencyDecimals;
  o.CurrencyPosFormat = p.CurrencyPosFormat;
  o.CurrencyNegFormat = p.CurrencyNegFormat;
  o.StatusDate = p.StatusDate;
  tree.DefaultFont = p.Font;
  tree.Recalculate();
}

int ClampDigitsAfterDecimal(int decimals) {
  return std::clamp(decimals, MinDigitsAfterDecimal, MaxDigitsAfterDecimal);
}

QStringList PositiveCurrencySamples(const QString& s, int decimals) {
  const QString n = NumberText(1.1, decimals);
  return {s + n, n + s, s + " " + n, n + " " + s};
}

QStringList NegativeCurrencySamples(const QString& s, int decimals) {
  const QString n = NumberText(1.1, decimals);
  return {"(" + s + n + ")",
          "-" + s + n,
          s + "-" + n,
          s + n + "-",
          "(" + n + s + ")",
          "-" + n + s,
          n + "-" + s,
          n + s + "-",
          "-" + n + " " + s,
          "-" + s + " " + n,
          n + " " + s + "-",
          s + " " + n + "-",
          s + " -" + n,
          n + "- " + s,
          "(" + s + " " + n + ")",
          "(" + n + " " + s + ")"};
}

bool FormatsSelected(int positiveIndex, int negativeIndex) {
  return positiveIndex >= 0 && negativeIndex >= 0;
}

QString FontPreviewCaption(const TFontSpec& font) {
  QString caption = QString::fromStdString(font.Name) + " " + QString::number(font.Size) + " pt";
  if (font.Style & fsBold) caption += " bold";
  if (font.Style & fsItalic) caption += " italic";
  return caption;
}

QFont FontSpecToQFont(const TFontSpec& spec) {
  QFont font(QString::fromStdString(spec.Name));
  if (spec.Size > 0) font.setPointSize(spec.Size);
  font.setBold(spec.Style & fsBold);
  font.setItalic(spec.Style & fsItalic);
  font.setUnderline(spec.Style & fsUnderline);
  font.setStrikeOut(spec.Style & fsStrikeOut);
  return font;
}

TFontSpec QFontToFontSpec(const QFont& font, const TFontSpec& previous) {
  TFontSpec spec;
  spec.Name = font.family().toStdString();
  const double points = font.pointSizeF();
  spec.Size = points > 0 ? static_cast<int>(std::lround(points)) : previous.Size;
  spec.Style = static_cast<uint8_t>((font.bold() ? fsBold : 0) | (font.italic() ? fsItalic : 0) |
                                    (font.underline() ? fsUnderline : 0) |
                                    (font.strikeOut() ? fsStrikeOut : 0));
  return spec;
}

QDateTime SerialToDateTime(TDateTime serial) {
  DecodedSerial d;
  if (serial == 0 || !TryDecodeSerial(serial, d)) return {};
  return QDateTime(QDate(d.Year, d.Month, d.Day), QTime(d.Hour, d.Minute, d.Second, d.Millisecond));
}

TDateTime DateTimeToSerial(const QDateTime& dateTime) {
  const QDate date = dateTime.date();
  const QTime time = dateTime.time();
  TDateTime day, fraction;
  if (!TryEncodeDate(date.year(), date.month(), date.day(), day) ||
      !TryEncodeTime(time.hour(), time.minute(), time.second(), time.msec(), fraction))
    return 0;
  // Before 1899-12-30 the day is negative and the time of day counts back.
  return day < 0 ? day - fraction : day + fraction;
}

QDate StatusDateMinimum(const QDate& shown) {
  const QDate earliest(2000, 1, 1);
  return shown.isValid() && shown < earliest ? shown : earliest;
}

} // namespace bw
