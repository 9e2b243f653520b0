// What the tree-properties dialog reads, shows and writes, without its
// window: the options it edits, the currency samples of its two format
// lists, the font preview's caption, the status date's conversions and the
// change it makes on OK.
#pragma once

#include "foundation/SerialDate.h"
#include "model/TreeTypes.h"

#include <QDateTime>
#include <QFont>
#include <QStringList>

#include <functional>
#include <string>

namespace bw {

class TDecTree;

using TSaveUndo = std::function<void(const std::string& caption)>;

// The tree's own display options that the dialog edits; the view options
// (highlighting of clones, payoffs shown) are not among them.
struct TTreeProperties {
  bool OutlineCodes = false;
  std::string CurrencySymbol;
  int CurrencyDecimals = 2;
  int CurrencyPosFormat = 0;
  int CurrencyNegFormat = 0;
  // 0: none.
  TDateTime StatusDate = 0;
  TFontSpec Font;
  friend bool operator==(const TTreeProperties&, const TTreeProperties&) = default;
};

inline constexpr const char* TreePropertiesUndoCaption = "Decision Tree Properties";
// The range of the digits-after-decimal box.
inline constexpr int MinDigitsAfterDecimal = 0;
inline constexpr int MaxDigitsAfterDecimal = 10;

TTreeProperties ReadTreeProperties(const TDecTree& tree);
// OK: the undo step first, then the options and the font, then the
// recalculation.
void ApplyTreeProperties(TDecTree& tree, const TTreeProperties& properties,
                         const TSaveUndo& saveUndo);

// Decimals from a file may be anything; the box holds 0 to 10.
int ClampDigitsAfterDecimal(int decimals);

// The four positive and sixteen negative layouts of 1.1 with the symbol,
// numbered as the tree's money texts number them.
QStringList PositiveCurrencySamples(const QString& symbol, int decimals);
QStringList NegativeCurrencySamples(const QString& symbol, int decimals);
// OK needs a selected row in both lists (-1: none).
bool FormatsSelected(int positiveIndex, int negativeIndex);

// "Verdana 8 pt bold italic".
QString FontPreviewCaption(const TFontSpec& font);
QFont FontSpecToQFont(const TFontSpec& font);
// A font without a point size (sized in pixels) keeps the previous size.
TFontSpec QFontToFontSpec(const QFont& font, const TFontSpec& previous);

// The status date as the picker shows it; invalid for 0 and for a value
// that is no date.
QDateTime SerialToDateTime(TDateTime serial);
TDateTime DateTimeToSerial(const QDateTime& dateTime);
// The picker's earliest date: 1 January 2000, or the shown date when it is
// earlier, so that an untouched date from a file survives OK.
QDate StatusDateMinimum(const QDate& shown);

} // namespace bw
