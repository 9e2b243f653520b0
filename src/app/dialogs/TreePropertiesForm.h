// The tree-properties dialog: outline codes, the status date, the tree's
// font and its currency format. On OK it takes the undo step itself, writes
// the options into the tree control and recalculates.
#pragma once

#include "app/dialogs/TreePropertiesLogic.h"
#include "widgets/ParentedForm.h"

#include <QDateTime>

#include <memory>
#include <string>

namespace Ui {
class TTreePropertiesForm;
}

namespace bw {

class TTreePropertiesForm : public TParentedForm {
  Q_OBJECT
public:
  explicit TTreePropertiesForm(QWidget* parent = nullptr);
  ~TTreePropertiesForm() override;

  // Opens the dialog on the tree; true when OK applied the options.
  static bool Execute(TDecTree& tree, const std::string& fileName, const TSaveUndo& saveUndo,
                      QWidget* parent = nullptr);

  // Fills the dialog; now: what an unset status date shows.
  void Load(const TDecTree& tree, const std::string& fileName,
            const QDateTime& now = QDateTime::currentDateTime());
  // The options as the dialog holds them now.
  TTreeProperties Properties() const;

  Ui::TTreePropertiesForm& Form() { return *FUi; }
  // The font dialog; tests replace it. False: cancelled.
  std::function<bool(QFont& font)> ChooseFont;

  // Handlers of the form's controls.
  void ChangeButtonClick();
  void CurrencySymbolComboBoxChange();
  void DigitsAfterDecimalUpDownClick();
  void ReadWindowsButtonClick();
  void StatusDateCheckBoxClick();

private:
  void UpdateFontPreview();
  void UpdateOkButton();

  std::unique_ptr<Ui::TTreePropertiesForm> FUi;
  TFontSpec FFont;
  // The picker edits the date; the time of day comes from the loaded date
  // (or the time of opening) and is kept.
  QTime FStatusTime;
};

} // namespace bw
