// The advanced payoff dialog: a node's payoff as a plain value, as income
// minus cost, or imported from a spreadsheet cell. Its state and rules are
// TEditPayoffLogic; the form shows that state and passes the user's input on.
#pragma once

#include "app/dialogs/EditPayoffLogic.h"
#include "widgets/ParentedForm.h"

#include <functional>
#include <memory>
#include <string>

namespace Ui {
class TEditPayoffForm;
}

namespace bw {

class TEditPayoffForm : public TParentedForm {
  Q_OBJECT
public:
  explicit TEditPayoffForm(QWidget* parent = nullptr);
  ~TEditPayoffForm() override;

  // Opens the dialog on a node's payoff source and payoff with the tree's
  // number of decimals and currency symbol; result.Changed only on OK.
  static void Execute(const std::string& payoffSource, int currencyDecimals,
                      TEditPayoffDialogResult& result, Currency payoff, QWidget* parent = nullptr,
                      const std::string& currencySymbol = {});

  // The spreadsheet-import dialog, run on the current reference with the
  // dialog's decimals. Until the import is built this is empty, and the
  // import row stays disabled.
  using TImportExternalDialog =
      std::function<TImportExternalDialogResult(const std::string& reference, int decimals)>;
  static TImportExternalDialog ImportExternalDialog;

  void Load(const std::string& payoffSource, int currencyDecimals, Currency payoff,
            const std::string& currencySymbol = {});
  const TEditPayoffLogic& Logic() const { return FLogic; }
  // Valid after the dialog was accepted.
  const TEditPayoffDialogResult& Result() const { return FResult; }
  Ui::TEditPayoffForm& Form() { return *FUi; }

  // Handlers of the form's controls.
  void PayoffRadioButtonModeClick(TPayoffMode mode);
  void NumberEditChange(TPayoffEdit sender, const QString& text);
  void ImportChooseButtonClick();
  void AdvancedButtonClick();
  void OKButtonClick();

private:
  // Shows the logic's state in the controls.
  void UpdateControls();

  std::unique_ptr<Ui::TEditPayoffForm> FUi;
  TEditPayoffLogic FLogic;
  TEditPayoffDialogResult FResult;
};

} // namespace bw
