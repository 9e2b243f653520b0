#include "app/dialogs/OptionsForm.h"

#include "app/core/Settings.h"
#include "app/core/UIStrings.h"
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

bool TOptionsForm::Execute(RegistryStore& store, bool updateServer, QWidget* parent) {
  TOptionsForm form(parent);
  QCheckBox* box = form.FUi->AutoUpdateCheckBox;
  box->setChecked(TSettings(store).CanCheckForAutoUpdate);
  if (!updateServer) {
    box->setEnabled(false);
    box->setToolTip(QString::fromStdString(UIStrings::Str(UIStrings::SNoUpdateServer)));
  }
  if (form.exec() != QDialog::Accepted) return false;
  // Loaded only now: a check that ended while the dialog was open may have
  // written the time of the last check, which this save keeps.
  TSettings settings(store);
  settings.CanCheckForAutoUpdate = box->isChecked();
  settings.AutoUpdateConfigured = true;
  settings.Save();
  return true;
}

} // namespace bw
