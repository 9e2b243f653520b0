// The options dialog: whether the program may look for updates by itself.
#pragma once

#include "platform/registry/Registry.h"
#include "widgets/ParentedForm.h"

#include <memory>

namespace Ui {
class TOptionsForm;
}

namespace bw {

class TOptionsForm : public TParentedForm {
  Q_OBJECT
public:
  explicit TOptionsForm(QWidget* parent = nullptr);
  ~TOptionsForm() override;

  Ui::TOptionsForm& Form() { return *FUi; }

  // Shows the dialog on the stored settings. OK stores the check box and
  // marks the automatic-update question answered; Cancel stores nothing.
  // True for OK. updateServer: whether this build has a server to check;
  // without one the check box is off and says why. parent: the window it is
  // centred on.
  static bool Execute(RegistryStore& store, bool updateServer, QWidget* parent = nullptr);

private:
  std::unique_ptr<Ui::TOptionsForm> FUi;
};

} // namespace bw
