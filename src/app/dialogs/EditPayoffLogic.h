// What the advanced payoff dialog holds and does, without its window: the
// texts of its edits and result panels, the checked mode, the OK button's
// state, loading a payoff with its source text, the live validation and the
// result on OK. The form only mirrors this state and forwards the user's
// input to it.
//
// Payoff sources: "" (a plain value), "Income-Cost: " + income + ":" + cost
// (invariant "." numbers), "Import: " + a spreadsheet reference, and
// "Advanced: " + text, which the dialog shows and keeps.
#pragma once

#include "app/dialogs/ImportExternalResult.h"
#include "model/Currency.h"

#include <QString>

#include <string>

namespace bw {

struct TEditPayoffDialogResult {
  bool Changed = false;
  Currency Payoff = 0;
  std::string PayoffSource;
};

// The four rows of the dialog, one per radio button. The advanced row is
// never shown, but a source made for it selects it.
enum class TPayoffMode { Value, IncomeCost, Import, Advanced };

// The edits whose change is validated; None is the form itself (the run
// after a mode switch), which rewrites no edit.
enum class TPayoffEdit { None, Direct, Payoff, Cost };

struct TResultPanel {
  QString Text = "= 0";
  // Shown in red: the text is "Invalid number".
  bool Invalid = false;
};

struct TEditPayoffState {
  TPayoffMode Mode = TPayoffMode::Value;
  QString DirectEdit = "0";
  QString PayoffEdit = "0";
  QString CostEdit = "0";
  QString ImportEdit;
  QString AdvancedEdit;
  TResultPanel DirectPanel;
  TResultPanel DiffResultPanel;
  TResultPanel ImportResultPanel;
  TResultPanel AdvancedResultPanel;
  bool OkEnabled = true;
};

class TEditPayoffLogic {
public:
  static constexpr const char* IncomeCostPrefix = "Income-Cost: ";
  static constexpr const char* ImportPrefix = "Import: ";
  static constexpr const char* AdvancedPrefix = "Advanced: ";

  const TEditPayoffState& State() const { return FState; }
  int Decimals() const { return FDecimals; }
  // A row's edits and button are enabled, and its result panel visible,
  // exactly while its radio button is checked.
  bool RowActive(TPayoffMode row) const { return FState.Mode == row; }

  // Fills the dialog from a node's payoff and source, as it opens. A source
  // of no known form opens as the value 0; an income-cost source whose
  // numbers cannot be read opens the same way but with the node's payoff,
  // so that OK keeps the value and drops the broken source. Typed numbers
  // are read as the tree's in-place editor reads them, with or without the
  // tree's currency symbol.
  void Load(const std::string& source, int decimals, Currency payoff,
            const std::string& currencySymbol = {});
  // A radio button was checked (by the user or by the dialog itself).
  void ModeClick(TPayoffMode mode);
  // An edit's text was set; a change runs the live validation with that
  // edit as sender.
  void SetEditText(TPayoffEdit edit, const QString& text);
  // The import dialog's answer; nothing happens unless it says Changed.
  void ImportChosen(const TImportExternalDialogResult& chosen);
  // The result of OK in the current mode; false when the mode's number
  // cannot be read, and the dialog then stays open.
  bool Confirm(TEditPayoffDialogResult& result) const;

private:
  void NumberEditChange(TPayoffEdit sender);
  QString Fixed(Currency value) const;
  QString Number(Currency value) const;
  bool Read(const QString& text, Currency& value) const;

  TEditPayoffState FState;
  int FDecimals = 2;
  std::string FUnit;
  // Income and cost as they were before the value edit's text made them
  // follow it: a text that is no number puts them back, so that no readable
  // beginning of it ("250" of "250k") becomes an amount.
  QString FPairIncome = "0";
  QString FPairCost = "0";
  bool FFollowingValue = false;
};

} // namespace bw
