#include "printing/PrintForm.h"

#include "foundation/ErrorReport.h"
#include "printing/PrintPreview.h"
#include "printing/Printer.h"
#include "ui_PrintForm.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>
#include <QShowEvent>

#include <cmath>

namespace bw {

namespace {

// Margins go into the page-setup dialog in its own unit: millimetres on
// metric locales, inches otherwise.
bool RunPageSetupDialog(QWidget* parent, TPageMargins& margins) {
  QPrinter* printer = Printer().QtPrinter();
  if (!printer) return false;
  const bool metric = IsMetricLocale();
  const QPageLayout::Unit unit = metric ? QPageLayout::Millimeter : QPageLayout::Inch;
  const double scale = metric ? 100.0 : 1000.0;
  // Full-page mode: the dialog allows margins down to 0.
  printer->setFullPage(true);
  printer->setPageMargins(QMarginsF(margins.Left / scale, margins.Top / scale,
                                    margins.Right / scale, margins.Bottom / scale),
                          unit);
  QPageSetupDialog dialog(printer, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QMarginsF m = printer->pageLayout().margins(unit);
  margins = MakePageMargins(static_cast<int32_t>(std::lround(m.left() * scale)),
                            static_cast<int32_t>(std::lround(m.top() * scale)),
                            static_cast<int32_t>(std::lround(m.right() * scale)),
                            static_cast<int32_t>(std::lround(m.bottom() * scale)));
  return true;
}

bool RunPrintDialog(QWidget* parent) {
  QPrinter* printer = Printer().QtPrinter();
  if (!printer) return false;
  auto* qt = dynamic_cast<TQtPrinter*>(&Printer());
  QPrintDialog dialog(printer, parent);
  // On a CUPS printer the dialog's file box offers Qt's own name for the
  // PDF output ("print.pdf"); ours goes there instead, should the user turn
  // to that output. Qt gives the box no other way in: a file name set on
  // the printer would turn it into the PDF output. While the printer prints
  // to a file, the box shows the printer's file already.
  if (qt && !qt->PrintsToFile() && !qt->ProposedPdfFile().isEmpty()) {
    if (auto* file = dialog.findChild<QLineEdit*>("filename"))
      file->setText(qt->ProposedPdfFile());
    else
      qWarning("The print dialog has no file box: the PDF output keeps Qt's own name.");
  }
  const bool accepted = dialog.exec() == QDialog::Accepted;
  if (qt) qt->DialogClosed();
  return accepted;
}

void ShowWarning(QWidget* parent, const QString& text) {
  QMessageBox::warning(parent, QApplication::applicationDisplayName(), text);
}

} // namespace

TPrintForm::TPrintForm(IPrintableForm& printable, QWidget* parentWnd, TPrintWindowDialogs dialogs)
    : TParentedForm(parentWnd), FUi(std::make_unique<Ui::TPrintForm>()), FPrintable(printable),
      FDialogs(std::move(dialogs)) {
  FUi->setupUi(this);
  if (!FDialogs.PageSetup) FDialogs.PageSetup = RunPageSetupDialog;
  if (!FDialogs.Print) FDialogs.Print = RunPrintDialog;

  TPrintPreview& preview = Preview();
  preview.SetUnits(mmPixel);
  preview.SetOrientation(poLandscape);
  preview.UsePrinterOptions = true;
  preview.PaperView().SetShadowWidth(7);

  // The owner's icon; "Whole Page", which the preview shows already.
  if (parentWnd) setWindowIcon(parentWnd->windowIcon());
  FUi->ZoomComboBox->setCurrentIndex(6);

  connect(FUi->ZoomComboBox, &QComboBox::activated, this,
          [this](int index) { Guarded([&] { ZoomComboBoxChange(index); }); });
  connect(FUi->SetupToolButton, &QToolButton::clicked, this,
          [this] { Guarded([&] { SetupToolButtonClick(); }); });
  connect(FUi->PrintToolButton, &QToolButton::clicked, this,
          [this] { Guarded([&] { PrintToolButtonClick(); }); });
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, [this] {
    Guarded([&] {
      if (FDialogs.Help) FDialogs.Help();
    });
  });
}

TPrintForm::~TPrintForm() = default;

TPrintPreview& TPrintForm::Preview() {
  return *FUi->PrintPreview;
}

void TPrintForm::showEvent(QShowEvent* event) {
  TParentedForm::showEvent(event);
  if (!event->spontaneous()) Guarded([this] { RenderPreview(true); });
}

void TPrintForm::RenderPreview(bool showMargins) {
  FPrintable.PrintTo(Preview(), Margins, showMargins);
}

void TPrintForm::SetupToolButtonClick() {
  TPageMargins margins = Margins;
  if (!FDialogs.PageSetup(this, margins)) return;
  Margins = margins;
  Preview().GetPrinterOptions();
  RenderPreview(true);
}

void TPrintForm::PrintToolButtonClick() {
  if (Preview().State() != TPreviewState::Ready) return;
  if (!FDialogs.Print(this)) return;
  Preview().GetPrinterOptions();
  RenderPreview(false);
  try {
    Preview().Print();
  } catch (...) {
    // The screen pages come back even when printing failed.
    Guarded([this] { RenderPreview(true); });
    throw;
  }
  if (auto* qt = dynamic_cast<TQtPrinter*>(&Printer()); qt && qt->PrintsToFile())
    PrintedPdf = qt->PdfFileName();
  RenderPreview(true);
}

void TPrintForm::ZoomComboBoxChange(int index) {
  TPrintPreview& preview = Preview();
  switch (index) {
  case 0:
    preview.SetZoom(50);
    break;
  case 1:
    preview.SetZoom(100);
    break;
  case 2:
    preview.SetZoom(150);
    break;
  case 3:
    preview.SetZoom(200);
    break;
  case 4:
    preview.SetZoomState(zsZoomToWidth);
    break;
  case 5:
    preview.SetZoomState(zsZoomToHeight);
    break;
  case 6:
    preview.SetZoomState(zsZoomToFit);
    break;
  default:
    break;
  }
}

void ShowPrintPreview(IPrintableForm& printable, TPrintSettings& settings,
                      const TPrintWindowDialogs& dialogs) {
  QWidget* owner = printable.GetForm();
  if (!TPrintPreview::PrinterInstalled()) {
    const QString text = "No printer is currently installed in the system.";
    if (dialogs.Warning)
      dialogs.Warning(owner, text);
    else
      ShowWarning(owner, text);
    return;
  }
  TPrintForm form(printable, owner, dialogs);
  form.Margins = settings.Margins;
  // Proposed once a window: a second print in it offers the file of the
  // first.
  if (auto* qt = dynamic_cast<TQtPrinter*>(&Printer()))
    qt->ProposePdfFile(QFile::decodeName(QByteArray::fromStdString(settings.ProposedPdf)));
  TDeviceSettings orientation;
  orientation.Orientation = settings.Landscape ? 2 : 1;
  Printer().SetDeviceSettings(orientation);
  if (dialogs.Run)
    dialogs.Run(form);
  else
    form.exec();
  settings.Margins = form.Margins;
  settings.Landscape = Printer().DeviceSettings().Orientation == 2;
  settings.PrintedPdf = QFile::encodeName(form.PrintedPdf).toStdString();
}

} // namespace bw
