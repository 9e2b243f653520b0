// The printer layer: the one current printer of the process, its device
// settings (paper, size, orientation, form), its paper forms and its print
// job. The Qt implementation prints on CUPS printers and to PDF files; tests
// put a double of their own in its place.
#pragma once

#include <QPageSize>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QPainter;
class QPdfWriter;
class QPrinter;

namespace bw {

class TJobFile;

// The printer's device settings; a field that is not set is not carried.
struct TDeviceSettings {
  std::optional<int> PaperSize;   // paper code of the paper table
  std::optional<int> PaperWidth;  // tenths of a millimetre, portrait
  std::optional<int> PaperLength; // tenths of a millimetre, portrait
  std::optional<int> Orientation; // 1 portrait, 2 landscape
  std::optional<std::string> FormName;
};

// A paper form of a printer: its name and portrait size in thousandths of
// a millimetre.
struct TPrinterForm {
  std::string Name;
  int Width = 0;
  int Height = 0;
};

class IPrinter {
public:
  virtual ~IPrinter() = default;

  // Printers installed (the PDF output counts as one); 0: none.
  virtual int PrinterCount() const = 0;
  virtual std::string Name() const = 0;

  virtual TDeviceSettings DeviceSettings() const = 0;
  virtual void SetDeviceSettings(const TDeviceSettings& settings) = 0;

  virtual std::vector<TPrinterForm> Forms() const = 0;
  // False when the printer takes no forms of the user's own, or has one of
  // that name already.
  virtual bool AddForm(const TPrinterForm& form) = 0;
  virtual bool DeleteForm(const std::string& name) = 0;

  // The job. Pages drawn between BeginDoc and EndDoc reach the printer
  // only when EndDoc completes; Abort leaves nothing printed.
  virtual std::string Title() const = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void BeginDoc() = 0;
  // The job's canvas: its origin is the sheet's corner, its unit the
  // device's pixel. Valid while Printing.
  virtual QPainter& Canvas() = 0;
  virtual void NewPage() = 0;
  virtual void EndDoc() = 0;
  virtual void Abort() = 0;
  virtual bool Printing() const = 0;
  virtual bool Aborted() const = 0;
  // Pixels per inch of the job's device, and the sheet in its pixels in
  // the present orientation.
  virtual int DpiX() const = 0;
  virtual int DpiY() const = 0;
  virtual QSize PageSizePixels() const = 0;

  // The Qt printer behind the layer, for the print and page-setup
  // dialogs; none for a double.
  virtual QPrinter* QtPrinter() { return nullptr; }
};

// The current printer; made on first use.
IPrinter& Printer();
// Puts another printer in place (tests); hands back the one it replaces.
std::unique_ptr<IPrinter> SetPrinter(std::unique_ptr<IPrinter> printer);

// Hands a finished PDF to a CUPS printer: printer name, file, job title and
// paper. Throws when the printer refuses it.
using TSubmitJob = std::function<void(const std::string& printer, const QString& file,
                                      const std::string& title, const QPageSize& paper)>;
void SubmitToCups(const std::string& printer, const QString& file, const std::string& title,
                  const QPageSize& paper);

// Writes target as a copy of source, whole or not at all: a file there
// before stays when the copy fails. Throws a StreamError that names the
// file and the system's reason.
void CopyFileWhole(const QString& source, const QString& target);

// The printer of the print dialog: a CUPS printer or the PDF output. Every
// job is drawn into a private temporary PDF first; at EndDoc, when every
// byte of it reached the disk, it is copied to the chosen file, or handed
// to CUPS. A job the disk did not take whole is an error and goes nowhere.
class TQtPrinter : public IPrinter {
public:
  explicit TQtPrinter(TSubmitJob submit = SubmitToCups);
  ~TQtPrinter() override;

  int PrinterCount() const override;
  std::string Name() const override;
  TDeviceSettings DeviceSettings() const override;
  void SetDeviceSettings(const TDeviceSettings& settings) override;
  std::vector<TPrinterForm> Forms() const override;
  bool AddForm(const TPrinterForm& form) override;
  bool DeleteForm(const std::string& name) override;

  std::string Title() const override { return FTitle; }
  void SetTitle(const std::string& title) override { FTitle = title; }
  void BeginDoc() override;
  QPainter& Canvas() override;
  void NewPage() override;
  void EndDoc() override;
  void Abort() override;
  bool Printing() const override { return FPrinting; }
  bool Aborted() const override { return FAborted; }
  int DpiX() const override;
  int DpiY() const override;
  QSize PageSizePixels() const override;
  QPrinter* QtPrinter() override { return FSettings.get(); }

  // The destination: a CUPS printer by name, or a PDF file.
  void SelectPrinter(const QString& cupsName);
  void SelectPdfFile(const QString& fileName);
  bool PrintsToFile() const { return FCupsPrinter.isEmpty(); }
  QString PdfFileName() const;
  // The PDF file the print dialog offers: the output's file while the
  // printer prints to a file; kept for the dialog to offer when the user
  // turns from a CUPS printer to the PDF output.
  void ProposePdfFile(const QString& fileName);
  const QString& ProposedPdfFile() const { return FProposedPdf; }
  // Takes the destination the print dialog left in the Qt printer.
  void DialogClosed();

private:
  void Deliver();

  TSubmitJob FSubmit;
  std::unique_ptr<QPrinter> FSettings;
  QString FCupsPrinter;
  QString FProposedPdf;
  std::optional<int> FWrittenCode;
  std::optional<QPageSize> FWrittenSize;
  std::string FTitle;
  std::unique_ptr<TJobFile> FJobFile;
  std::unique_ptr<QPdfWriter> FJob;
  std::unique_ptr<QPainter> FPainter;
  bool FPrinting = false;
  bool FAborted = false;
};

} // namespace bw
