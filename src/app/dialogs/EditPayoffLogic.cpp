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

// The amount of a negative payoff as a cost; the lowest Currency has no
// positive counterpart and gives the highest.
Currency Negated(Currency value) {
  return value == INT64_MIN ? INT64_MAX : -value;
}

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
  // Decimals exactly, with an exponent too; other invariant forms through
  // a double.
  auto read = [](std::string_view number, Currency& money) {
    double value;
    return TryScientificToCurrency(number, money) ||
           (TryInvariantStrToFloat(number, value) && TryDoubleToCurrency(value, money));
  };
  return read(std::string_view(text).substr(0, colon), income) &&
         read(std::string_view(text).substr(colon + 1, 10000), cost);
}

// A result panel's number read back: the text after "= " without the
// locale's group separators.
bool ReadPanel(const TResultPanel& panel, Currency& value) {
  QString text = panel.Text.mid(2);
  text.remove(QLocale().groupSeparator());
  return TryTextToCurrency(text, value);
}

} // namespace

bool TEditPayoffLogic::Read(const QString& text, Currency& value) const {
  return TryTextToCurrency(text, FUnit, value);
}

QString TEditPayoffLogic::Fixed(Currency value) const {
  return MoneyFixedText(value, FDecimals);
}

QString TEditPayoffLogic::Number(Currency value) const {
  return "= " + MoneyNumberText(value, FDecimals);
}

void TEditPayoffLogic::Load(const std::string& source, int decimals, Currency payoff,
                            const std::string& currencySymbol) {
  FState = {};
  FDecimals = decimals;
  FUnit = currencySymbol;
  std::string rest = source;
  Currency income = 0, cost = 0, difference = 0;

  if (rest.empty()) {
    ModeClick(TPayoffMode::Value);
    SetEditText(TPayoffEdit::Direct, Fixed(payoff));
    SetEditText(TPayoffEdit::Payoff, Fixed(payoff >= 0 ? payoff : Currency{0}));
    SetEditText(TPayoffEdit::Cost, Fixed(payoff >= 0 ? Currency{0} : Negated(payoff)));
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
      SetEditText(TPayoffEdit::Cost, Fixed(Negated(payoff)));
  }
  // Any other source: the initial texts stay.
  ModeClick(FState.Mode);
  FPairIncome = FState.PayoffEdit;
  FPairCost = FState.CostEdit;
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
  if (!field) return;
  if (!FFollowingValue && edit != TPayoffEdit::Direct)
    (edit == TPayoffEdit::Payoff ? FPairIncome : FPairCost) = text;
  if (*field == text) return;
  *field = text;
  NumberEditChange(edit);
}

void TEditPayoffLogic::NumberEditChange(TPayoffEdit sender) {
  // Writing an edit from here runs this again with that edit as sender;
  // those runs only refresh the panels.
  if (FState.Mode == TPayoffMode::Value) {
    Currency v;
    const bool valid = Read(FState.DirectEdit, v);
    if (valid) {
      FState.DirectPanel = {Number(v), false};
      FState.OkEnabled = true;
    } else {
      FState.DirectPanel = {InvalidNumber, true};
      FState.OkEnabled = false;
    }
    if (sender == TPayoffEdit::Direct) {
      // The pair follows a number, and goes back to where it was for text
      // that is none.
      FFollowingValue = true;
      SetEditText(TPayoffEdit::Payoff,
                  valid ? Fixed(v >= 0 ? v : Currency{0}) : QString(FPairIncome));
      SetEditText(TPayoffEdit::Cost,
                  valid ? Fixed(v >= 0 ? Currency{0} : Negated(v)) : QString(FPairCost));
      FFollowingValue = false;
    }
  }
  if (FState.Mode == TPayoffMode::IncomeCost) {
    Currency income, cost, difference;
    if (Read(FState.PayoffEdit, income) && Read(FState.CostEdit, cost) &&
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
  SetEditText(TPayoffEdit::Direct, Fixed(value));
  SetEditText(TPayoffEdit::Payoff, Fixed(value <= 0 ? Currency{0} : value));
  SetEditText(TPayoffEdit::Cost, Fixed(value <= 0 ? Negated(value) : Currency{0}));
}

bool TEditPayoffLogic::Confirm(TEditPayoffDialogResult& result) const {
  Currency payoff = 0;
  std::string source;
  switch (FState.Mode) {
  case TPayoffMode::Value:
    if (!Read(FState.DirectEdit, payoff)) return false;
    break;
  case TPayoffMode::IncomeCost: {
    Currency income, cost;
    if (!Read(FState.PayoffEdit, income) || !Read(FState.CostEdit, cost) ||
        !Difference(income, cost, payoff))
      return false;
    source =
        std::string(IncomeCostPrefix) + CurrencyToDecimal(income) + ":" + CurrencyToDecimal(cost);
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
