// The print window: a preview of the printable window's pages with a zoom
// box, the page-setup and print buttons; and ShowPrintPreview, which opens
// it modally and hands back the margins and orientation the user left.
#pragma once

#include "printing/PrintSettings.h"
#include "printing/PrintableForm.h"
#include "widgets/ParentedForm.h"

#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class TPrintForm;
}

namespace bw {

class TPrintForm;
class TPrintPreview;

// The dialogs and the modal loop of the print window; tests stand in for
// them. Each one left empty is the real one.
struct TPrintWindowDialogs {
  // The page-setup dialog with the margins; True when confirmed.
  std::function<bool(QWidget* parent, TPageMargins& margins)> PageSetup;
  // The print dialog (printer, paper, orientation); True when confirmed.
  std::function<bool(QWidget* parent)> Print;
  std::function<void(QWidget* parent, const QString& text)> Warning;
  // F1.
  std::function<void()> Help;
  // Shows the window until the user closes it.
  std::function<void(TPrintForm& form)> Run;
};

class TPrintForm : public TParentedForm {
  Q_OBJECT
public:
  TPrintForm(IPrintableForm& printable, QWidget* parentWnd, TPrintWindowDialogs dialogs = {});
  ~TPrintForm() override;

  Ui::TPrintForm& Form() { return *FUi; }
  TPrintPreview& Preview();
  // The page-setup dialog's margins.
  TPageMargins Margins;
  // The PDF file last printed to; empty while none was.
  QString PrintedPdf;

  // Has the printable window draw its pages into the preview.
  void RenderPreview(bool showMargins);
  void SetupToolButtonClick();
  void PrintToolButtonClick();
  void ZoomComboBoxChange(int index);

protected:
  void showEvent(QShowEvent* event) override;

private:
  std::unique_ptr<Ui::TPrintForm> FUi;
  IPrintableForm& FPrintable;
  TPrintWindowDialogs FDialogs;
};

// Shows the print window for the printable window; on return the settings
// hold the margins and orientation the user left, printed or not. With no
// printer installed only a warning is shown and the settings stay.
void ShowPrintPreview(IPrintableForm& printable, TPrintSettings& settings,
                      const TPrintWindowDialogs& dialogs = {});

} // namespace bw
