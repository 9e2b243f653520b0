// The About box: the program's name, maker and version, and the maker's web
// page one click away.
#pragma once

#include "widgets/ParentedForm.h"

#include <memory>

namespace Ui {
class TAboutForm;
}

namespace bw {

class TAboutForm : public TParentedForm {
  Q_OBJECT
public:
  explicit TAboutForm(QWidget* parent = nullptr);
  ~TAboutForm() override;

  Ui::TAboutForm& Form() { return *FUi; }

  void WebSiteLabelClick();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void SetWebSiteColour(const QColor& colour);

  std::unique_ptr<Ui::TAboutForm> FUi;
};

// Help > About: the box, modal, freed when closed.
void ShowAboutBox();

} // namespace bw
