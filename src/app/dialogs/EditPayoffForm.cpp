#include "app/dialogs/EditPayoffForm.h"

#include "foundation/ErrorReport.h"
#include "ui_EditPayoffForm.h"

#include <QMessageBox>
#include <QSignalBlocker>

namespace bw {

TEditPayoffForm::TImportExternalDialog TEditPayoffForm::ImportExternalDialog;

TEditPayoffForm::TEditPayoffForm(QWidget* parent)
    : TParentedForm(parent), FUi(std::make_unique<Ui::TEditPayoffForm>()) {
  FUi->setupUi(this);
  // The reference is only shown: read-only in the button face's colour.
  QPalette face = FUi->ImportEdit->palette();
  face.setColor(QPalette::Base, face.color(QPalette::Button));
  FUi->ImportEdit->setPalette(face);
  FUi->AdvancedEdit->setPalette(face);
  // The result column is as wide as its widest text, so that the edits do
  // not move when a number turns invalid.
  FUi->PayoffModeLayout->setColumnMinimumWidth(
      5, fontMetrics().horizontalAdvance("= -000,000,000.00") + 8);
  // Room for an amount in the income and cost edits; the form's size,
  // unless the user's font needs more.
  const int amount = fontMetrics().horizontalAdvance("-00000000.00") + 12;
  FUi->PayoffEdit->setMinimumWidth(amount);
  FUi->CostEdit->setMinimumWidth(amount);
  resize(size().expandedTo(minimumSizeHint()));

  const std::pair<QRadioButton*, TPayoffMode> radios[] = {
      {FUi->ValueRadioButton, TPayoffMode::Value},
      {FUi->IncomeCostRadioButton, TPayoffMode::IncomeCost},
      {FUi->ImportRadioButton, TPayoffMode::Import},
      {FUi->AdvancedRadioButton, TPayoffMode::Advanced}};
  for (auto [radio, mode] : radios)
    connect(radio, &QRadioButton::toggled, this, [this, mode = mode](bool checked) {
      if (checked) Guarded([&] { PayoffRadioButtonModeClick(mode); });
    });
  const std::pair<QLineEdit*, TPayoffEdit> edits[] = {{FUi->DirectEdit, TPayoffEdit::Direct},
                                                      {FUi->PayoffEdit, TPayoffEdit::Payoff},
                                                      {FUi->CostEdit, TPayoffEdit::Cost}};
  for (auto [edit, sender] : edits)
    connect(edit, &QLineEdit::textChanged, this, [this, sender = sender](const QString& text) {
      Guarded([&] { NumberEditChange(sender, text); });
    });
  connect(FUi->ImportChooseButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { ImportChooseButtonClick(); }); });
  connect(FUi->AdvancedButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { AdvancedButtonClick(); }); });
  connect(FUi->OKButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { OKButtonClick(); }); });
  connect(FUi->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  UpdateControls();
}

TEditPayoffForm::~TEditPayoffForm() = default;

void TEditPayoffForm::Execute(const std::string& payoffSource, int currencyDecimals,
                              TEditPayoffDialogResult& result, Currency payoff, QWidget* parent,
                              const std::string& currencySymbol) {
  TEditPayoffForm form(parent);
  form.Load(payoffSource, currencyDecimals, payoff, currencySymbol);
  if (form.exec() == QDialog::Accepted)
    result = form.Result();
  else
    result.Changed = false;
}

void TEditPayoffForm::Load(const std::string& payoffSource, int currencyDecimals, Currency payoff,
                           const std::string& currencySymbol) {
  FLogic.Load(payoffSource, currencyDecimals, payoff, currencySymbol);
  UpdateControls();
}

void TEditPayoffForm::PayoffRadioButtonModeClick(TPayoffMode mode) {
  FLogic.ModeClick(mode);
  UpdateControls();
}

void TEditPayoffForm::NumberEditChange(TPayoffEdit sender, const QString& text) {
  FLogic.SetEditText(sender, text);
  UpdateControls();
}

void TEditPayoffForm::ImportChooseButtonClick() {
  if (!ImportExternalDialog) return;
  FLogic.ImportChosen(
      ImportExternalDialog(FLogic.State().ImportEdit.toStdString(), FLogic.Decimals()));
  UpdateControls();
}

void TEditPayoffForm::AdvancedButtonClick() {
  QMessageBox::information(this, windowTitle(), "To Do");
}

void TEditPayoffForm::OKButtonClick() {
  if (FLogic.Confirm(FResult)) accept();
}

void TEditPayoffForm::UpdateControls() {
  const TEditPayoffState& s = FLogic.State();
  auto edit = [](QLineEdit* e, const QString& text, bool enabled) {
    if (e->text() != text) {
      // Writing the text is no input of the user's.
      const QSignalBlocker quiet(e);
      e->setText(text);
    }
    e->setEnabled(enabled);
  };
  auto panel = [this](QLabel* label, const TResultPanel& p, bool visible) {
    label->setText(p.Text);
    QPalette colours = palette();
    if (p.Invalid) colours.setColor(QPalette::WindowText, Qt::red);
    label->setPalette(colours);
    label->setVisible(visible);
  };
  const bool value = FLogic.RowActive(TPayoffMode::Value);
  const bool incomeCost = FLogic.RowActive(TPayoffMode::IncomeCost);
  const bool import = FLogic.RowActive(TPayoffMode::Import);
  const bool advanced = FLogic.RowActive(TPayoffMode::Advanced);

  QRadioButton* checked = value        ? FUi->ValueRadioButton
                          : incomeCost ? FUi->IncomeCostRadioButton
                          : import     ? FUi->ImportRadioButton
                                       : FUi->AdvancedRadioButton;
  if (!checked->isChecked()) {
    const QSignalBlocker quiet(checked);
    checked->setChecked(true);
  }
  edit(FUi->DirectEdit, s.DirectEdit, value);
  edit(FUi->PayoffEdit, s.PayoffEdit, incomeCost);
  edit(FUi->CostEdit, s.CostEdit, incomeCost);
  edit(FUi->ImportEdit, s.ImportEdit, import);
  edit(FUi->AdvancedEdit, s.AdvancedEdit, advanced);
  panel(FUi->DirectPanel, s.DirectPanel, value);
  panel(FUi->DiffResultPanel, s.DiffResultPanel, incomeCost);
  panel(FUi->ImportResultPanel, s.ImportResultPanel, import);
  panel(FUi->AdvancedResultPanel, s.AdvancedResultPanel, advanced);
  // The import row comes alive once the spreadsheet import is there.
  FUi->ImportRadioButton->setEnabled(static_cast<bool>(ImportExternalDialog));
  FUi->ImportChooseButton->setEnabled(import && ImportExternalDialog);
  FUi->AdvancedButton->setEnabled(advanced);
  FUi->OKButton->setEnabled(s.OkEnabled);
}

} // namespace bw
