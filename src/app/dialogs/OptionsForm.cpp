#include "app/dialogs/OptionsForm.h"

#include "app/core/Settings.h"
#include "app/dialogs/Maker.h"
#include "foundation/ErrorReport.h"
#include "ui_OptionsForm.h"

namespace bw {

TOptionsForm::TOptionsForm(QWidget* parent)
    : TParentedForm(parent), FUi(std::make_unique<Ui::TOptionsForm>()) {
  FUi->setupUi(this);
  FUi->BottomLine->SetTitle(MakerWebAddress);
  connect(FUi->OKButton, &QPushButton::clicked, this, [this] { Guarded([this] { accept(); }); });
  connect(FUi->CancelButton, &QPushButton::clicked, this,
          [this] { Guarded([this] { reject(); }); });
}

TOptionsForm::~TOptionsForm() = default;

bool TOptionsForm::Execute(RegistryStore& store, QWidget* parent) {
  TOptionsForm form(parent);
  form.FUi->AutoUpdateCheckBox->setChecked(TSettings(store).CanCheckForAutoUpdate);
  if (form.exec() != QDialog::Accepted) return false;
  // Loaded only now: a check that ended while the dialog was open may have
  // written the time of the last check, which this save keeps.
  TSettings settings(store);
  settings.CanCheckForAutoUpdate = form.FUi->AutoUpdateCheckBox->isChecked();
  settings.AutoUpdateConfigured = true;
  settings.Save();
  return true;
}

} // namespace bw
