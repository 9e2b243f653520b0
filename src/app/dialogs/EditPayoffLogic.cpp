#include "app/dialogs/EditPayoffLogic.h"

#include "app/text/qt/NumberText.h"
#include "foundation/Conversions.h"
#include "foundation/Exceptions.h"
#include "model/UIStringsComponent.h"

#include <QLocale>

#include <cmath>

namespace bw {

namespace {

const QString InvalidNumber =
    QString::fromStdString(UIStringsComponent::Str(UIStringsComponent::SInvalidNumber));

// income - cost; false when the difference leaves the Currency range.
bool Difference(Currency income, Currency cost, Currency& difference) {
  return !__builtin_sub_overflow(income, cost, &difference);
}

// The two numbers of an income-cost source (the text after its prefix):
// the income up to the first ":", the cost after it (at most 10000
// characters). False when either is no invariant number or no Currency.
bool ReadIncomeCost(const std::string& text, Currency& income, Currency& cost) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  double incomeValue, costValue;
  return TryInvariantStrToFloat(std::string_view(text).substr(0, colon), incomeValue) &&
         TryInvariantStrToFloat(std::string_view(text).substr(colon + 1, 10000), costValue) &&
         TryDoubleToCurrency(incomeValue, income) && TryDoubleToCurrency(costValue, cost);
}

// A result panel's number read back: the text after "= " without the
// locale's group separators.
bool ReadPanel(const TResultPanel& panel, Currency& value) {
  QString text = panel.Text.mid(2);
  text.remove(QLocale().groupSeparator());
  return TryTextToCurrency(text, value);
}

} // namespace

QString TEditPayoffLogic::Fixed(Currency value) const {
  return FixedText(CurrencyToDouble(value), FDecimals);
}

QString TEditPayoffLogic::Fixed(double value) const {
  return FixedText(value, FDecimals);
}

QString TEditPayoffLogic::Number(Currency value) const {
  return "= " + NumberText(CurrencyToDouble(value), FDecimals);
}

void TEditPayoffLogic::Load(const std::string& source, int decimals, Currency payoff) {
  FState = {};
  FDecimals = decimals;
  std::string rest = source;
  const double value = CurrencyToDouble(payoff);
  Currency income = 0, cost = 0, difference = 0;

  if (rest.empty()) {
    ModeClick(TPayoffMode::Value);
    SetEditText(TPayoffEdit::Direct, Fixed(payoff));
    SetEditText(TPayoffEdit::Payoff, Fixed(payoff >= 0 ? value : 0.0));
    SetEditText(TPayoffEdit::Cost, Fixed(payoff >= 0 ? 0.0 : -value));
    FState.ImportResultPanel.Text = Number(Currency{0});
  } else if (StartsWith(rest, IncomeCostPrefix, true)) {
    if (ReadIncomeCost(rest, income, cost) && Difference(income, cost, difference)) {
      ModeClick(TPayoffMode::IncomeCost);
      SetEditText(TPayoffEdit::Payoff, Fixed(income));
      SetEditText(TPayoffEdit::Cost, Fixed(cost));
      SetEditText(TPayoffEdit::Direct, Fixed(difference));
      FState.DiffResultPanel = {Number(difference), false};
      FState.ImportResultPanel.Text = Number(Currency{0});
    } else {
      // Only a hand-edited file gets here. Opening it as an unknown source
      // with the stored payoff keeps the node editable.
      SetEditText(TPayoffEdit::Direct, Fixed(payoff));
    }
  } else if (StartsWith(rest, ImportPrefix, true) || StartsWith(rest, AdvancedPrefix, true)) {
    const bool import = source.rfind(ImportPrefix, 0) == 0;
    ModeClick(import ? TPayoffMode::Import : TPayoffMode::Advanced);
    (import ? FState.ImportResultPanel : FState.AdvancedResultPanel).Text = Number(payoff);
    (import ? FState.ImportEdit : FState.AdvancedEdit) = QString::fromStdString(rest);
    SetEditText(TPayoffEdit::Direct, Fixed(payoff));
    // Only one edit of the pair is written; the other keeps its "0".
    if (payoff > 0)
      SetEditText(TPayoffEdit::Payoff, Fixed(payoff));
    else
      SetEditText(TPayoffEdit::Cost, Fixed(std::fabs(value)));
  }
  // Any other source: the initial texts stay.
  ModeClick(FState.Mode);
}

void TEditPayoffLogic::ModeClick(TPayoffMode mode) {
  FState.Mode = mode;
  NumberEditChange(TPayoffEdit::None);
}

void TEditPayoffLogic::SetEditText(TPayoffEdit edit, const QString& text) {
  QString* field = edit == TPayoffEdit::Direct   ? &FState.DirectEdit
                   : edit == TPayoffEdit::Payoff ? &FState.PayoffEdit
                   : edit == TPayoffEdit::Cost   ? &FState.CostEdit
                                                 : nullptr;
  if (!field || *field == text) return;
  *field = text;
  NumberEditChange(edit);
}

void TEditPayoffLogic::NumberEditChange(TPayoffEdit sender) {
  // Writing an edit from here runs this again with that edit as sender;
  // those runs only refresh the panels.
  if (FState.Mode == TPayoffMode::Value) {
    Currency v;
    if (TryTextToCurrency(FState.DirectEdit, v)) {
      FState.DirectPanel = {Number(v), false};
      FState.OkEnabled = true;
      if (sender == TPayoffEdit::Direct) {
        const double d = CurrencyToDouble(v);
        SetEditText(TPayoffEdit::Payoff, Fixed(v >= 0 ? d : 0.0));
        SetEditText(TPayoffEdit::Cost, Fixed(v >= 0 ? 0.0 : -d));
      }
    } else {
      FState.DirectPanel = {InvalidNumber, true};
      FState.OkEnabled = false;
    }
  }
  if (FState.Mode == TPayoffMode::IncomeCost) {
    Currency income, cost, difference;
    if (TryTextToCurrency(FState.PayoffEdit, income) && TryTextToCurrency(FState.CostEdit, cost) &&
        Difference(income, cost, difference)) {
      FState.DiffResultPanel = {Number(difference), false};
      FState.OkEnabled = true;
      if (sender == TPayoffEdit::Payoff || sender == TPayoffEdit::Cost)
        SetEditText(TPayoffEdit::Direct, Fixed(difference));
    } else {
      FState.DiffResultPanel = {InvalidNumber, true};
      FState.OkEnabled = false;
    }
  }
  // In import and advanced mode OK keeps the state the last check left.
}

void TEditPayoffLogic::ImportChosen(const TImportExternalDialogResult& chosen) {
  if (!chosen.Changed) return;
  FState.ImportEdit = QString::fromStdString(chosen.Reference);
  const Currency value = chosen.Value;
  FState.ImportResultPanel = {Number(value), false};
  FState.OkEnabled = true;
  const double v = CurrencyToDouble(value);
  SetEditText(TPayoffEdit::Direct, Fixed(value));
  SetEditText(TPayoffEdit::Payoff, Fixed(v <= 0 ? 0.0 : v));
  SetEditText(TPayoffEdit::Cost, Fixed(v <= 0 ? std::fabs(v) : 0.0));
}

bool TEditPayoffLogic::Confirm(TEditPayoffDialogResult& result) const {
  Currency payoff = 0;
  std::string source;
  switch (FState.Mode) {
  case TPayoffMode::Value:
    if (!TryTextToCurrency(FState.DirectEdit, payoff)) return false;
    break;
  case TPayoffMode::IncomeCost: {
    Currency income, cost;
    if (!TryTextToCurrency(FState.PayoffEdit, income) ||
        !TryTextToCurrency(FState.CostEdit, cost) || !Difference(income, cost, payoff))
      return false;
    source = std::string(IncomeCostPrefix) + FloatToInvariantStr(CurrencyToDouble(income)) + ":" +
             FloatToInvariantStr(CurrencyToDouble(cost));
    break;
  }
  case TPayoffMode::Import:
    if (!ReadPanel(FState.ImportResultPanel, payoff)) return false;
    source = ImportPrefix + FState.ImportEdit.toStdString();
    break;
  case TPayoffMode::Advanced:
    if (!ReadPanel(FState.AdvancedResultPanel, payoff)) return false;
    source = AdvancedPrefix + FState.AdvancedEdit.toStdString();
    break;
  default:
    throw InvalidOperationException("All radio buttons disabled");
  }
  result = {true, payoff, source};
  return true;
}

} // namespace bw
