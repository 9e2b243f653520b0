#include "printing/Printer.h"

#include "foundation/Exceptions.h"
#include "printing/PageStore.h"
#include "printing/PaperTable.h"

#include <cups/cups.h>

#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cmath>
#include <map>

namespace bw {

namespace {

std::unique_ptr<IPrinter>& Current() {
  static std::unique_ptr<IPrinter> printer;
  return printer;
}

// Forms the user's programs added, per printer, for the life of the
// process: CUPS keeps no forms of its own, sizes of the user's own go with
// each job.
std::map<std::string, std::vector<TPrinterForm>>& FormRegistry() {
  static std::map<std::string, std::vector<TPrinterForm>> forms;
  return forms;
}

bool SameName(const std::string& a, const std::string& b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

TPrinterForm FormOf(const QPageSize& size) {
  const QSizeF mm = size.size(QPageSize::Millimeter);
  return {size.name().toStdString(), static_cast<int>(std::lround(mm.width() * 1000)),
          static_cast<int>(std::lround(mm.height() * 1000))};
}

QPageSize ExactSize(double width, double height, QPageSize::Unit unit, const QString& name = {}) {
  // The exact size, never the nearest standard one.
  return QPageSize(QSizeF(width, height), unit, name, QPageSize::ExactMatch);
}

// Every job is drawn at the PDF output's resolution, whatever the printer.
constexpr int JobDpi = 1200;

// Writes all the bytes. A short write (a full disk, a file-size limit) is
// followed by one for the rest, which fails with the system's reason in the
// device's error text; on a buffered file the reason is lost, so the files
// written here are unbuffered. False when the device took less than all.
bool WriteWhole(QIODevice& device, const char* data, qint64 size) {
  while (size > 0) {
    const qint64 written = device.write(data, size);
    if (written <= 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

std::string Quoted(const QString& file) {
  return "\"" + file.toStdString() + "\"";
}

} // namespace

// The job's private PDF, as the PDF writer sees it. The writer does not
// look at what its writes return: this device does, and keeps the first
// failure with the system's reason.
class TJobFile : public QIODevice {
public:
  TJobFile() : FFile(CreateTempFile("BrantwickJobXXXXXX.pdf", QIODevice::Unbuffered)) {
    open(QIODevice::WriteOnly);
  }
  QString FileName() const { return FFile->fileName(); }
  // Throws unless every byte written reached the file.
  void Finish() const {
    if (FFailed) throw StreamError("Cannot write file " + Quoted(FileName()) + ". " + FReason);
  }

protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    if (FFailed) return -1;
    if (WriteWhole(*FFile, data, size)) return size;
    FFailed = true;
    FReason = FFile->errorString().toStdString();
    return -1;
  }

private:
  std::unique_ptr<QTemporaryFile> FFile;
  bool FFailed = false;
  std::string FReason;
};

void CopyFileWhole(const QString& source, const QString& target) {
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly))
    throw StreamError("Cannot open file " + Quoted(source) + ". " + in.errorString().toStdString());
  // A file there before stays until the copy is complete.
  QSaveFile out(target);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    throw StreamError("Cannot create file " + Quoted(target) + ". " +
                      out.errorString().toStdString());
  for (;;) {
    const QByteArray chunk = in.read(1 << 20);
    if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
      throw StreamError("Cannot read file " + Quoted(source) + ". " +
                        in.errorString().toStdString());
    if (chunk.isEmpty()) break;
    if (!WriteWhole(out, chunk.constData(), chunk.size()))
      throw StreamError("Cannot write file " + Quoted(target) + ". " +
                        out.errorString().toStdString());
  }
  if (!out.commit())
    throw StreamError("Cannot write file " + Quoted(target) + ". " +
                      out.errorString().toStdString());
}

IPrinter& Printer() {
  if (!Current()) Current() = std::make_unique<TQtPrinter>();
  return *Current();
}

std::unique_ptr<IPrinter> SetPrinter(std::unique_ptr<IPrinter> printer) {
  std::swap(Current(), printer);
  return printer;
}

void SubmitToCups(const std::string& printer, const QString& file, const std::string& title,
                  const QPageSize& paper) {
  cups_option_t* options = nullptr;
  int count = cupsAddOption("media", paper.key().toUtf8().constData(), 0, &options);
  const int job = cupsPrintFile(printer.c_str(), QFile::encodeName(file).constData(), title.c_str(),
                                count, options);
  cupsFreeOptions(count, options);
  if (job == 0)
    throw Exception("The printer \"" + printer +
                    "\" did not take the job: " + cupsLastErrorString());
}

// ---- TQtPrinter -------------------------------------------------------------

TQtPrinter::TQtPrinter(TSubmitJob submit)
    : FSubmit(std::move(submit)), FSettings(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
  // The origin is the sheet's corner, not the printable area's.
  FSettings->setFullPage(true);
  const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
  if (!defaultPrinter.isNull()) FCupsPrinter = defaultPrinter.printerName();
}

TQtPrinter::~TQtPrinter() {
  if (FPrinting) Abort();
}

int TQtPrinter::PrinterCount() const {
  return static_cast<int>(QPrinterInfo::availablePrinters().size()) + 1;
}

std::string TQtPrinter::Name() const {
  return FCupsPrinter.isEmpty() ? std::string("PDF") : FCupsPrinter.toStdString();
}

void TQtPrinter::SelectPrinter(const QString& cupsName) {
  FCupsPrinter = cupsName;
  FSettings->setOutputFormat(QPrinter::NativeFormat);
  FSettings->setPrinterName(cupsName);
  FSettings->setFullPage(true);
}

void TQtPrinter::SelectPdfFile(const QString& fileName) {
  FCupsPrinter.clear();
  FSettings->setOutputFormat(QPrinter::PdfFormat);
  FSettings->setOutputFileName(fileName);
  FSettings->setFullPage(true);
}

QString TQtPrinter::PdfFileName() const {
  return FSettings->outputFileName();
}

void TQtPrinter::ProposePdfFile(const QString& fileName) {
  FProposedPdf = fileName;
  // A file name would turn a CUPS printer into the PDF output.
  if (PrintsToFile() && !fileName.isEmpty()) FSettings->setOutputFileName(fileName);
}

void TQtPrinter::DialogClosed() {
  if (FSettings->outputFormat() == QPrinter::NativeFormat && !FSettings->printerName().isEmpty())
    FCupsPrinter = FSettings->printerName();
  else
    FCupsPrinter.clear();
  FSettings->setFullPage(true);
}

TDeviceSettings TQtPrinter::DeviceSettings() const {
  const QPageLayout layout = FSettings->pageLayout();
  const QPageSize size = layout.pageSize();
  TDeviceSettings s;
  s.Orientation = layout.orientation() == QPageLayout::Landscape ? 2 : 1;
  // Qt's own paper codes merge some sizes (the transverse ones): the code
  // last written stands as long as the paper is still the one written.
  int code = CustomPaperCode;
  if (FWrittenCode && FWrittenSize && FWrittenSize->isEquivalentTo(size))
    code = *FWrittenCode;
  else if (size.id() != QPageSize::Custom && PaperTypeByCode(size.windowsId()) != pCustom)
    code = size.windowsId();
  s.PaperSize = code;
  const QSizeF mm = size.size(QPageSize::Millimeter);
  s.PaperWidth = static_cast<int>(std::lround(mm.width() * 10));
  s.PaperLength = static_cast<int>(std::lround(mm.height() * 10));
  s.FormName = size.name().toStdString();
  return s;
}

void TQtPrinter::SetDeviceSettings(const TDeviceSettings& s) {
  QPageLayout layout = FSettings->pageLayout();
  if (s.Orientation)
    layout.setOrientation(*s.Orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
  std::optional<QPageSize> size;
  if (s.PaperSize && *s.PaperSize != CustomPaperCode) {
    const TPaperType type = PaperTypeByCode(*s.PaperSize);
    if (type != pCustom) {
      const TPaperSizeRow& row = PaperSizes()[type];
      size = row.Units == mmHiEnglish
                 ? ExactSize(row.Width / 1000.0, row.Height / 1000.0, QPageSize::Inch)
                 : ExactSize(row.Width / 10.0, row.Height / 10.0, QPageSize::Millimeter);
    }
  }
  if (!size && s.FormName && !s.FormName->empty())
    for (const TPrinterForm& form : Forms())
      if (SameName(form.Name, *s.FormName)) {
        size = ExactSize(form.Width / 1000.0, form.Height / 1000.0, QPageSize::Millimeter,
                         QString::fromStdString(form.Name));
        break;
      }
  if (!size && s.PaperWidth && s.PaperLength && *s.PaperWidth > 0 && *s.PaperLength > 0)
    size = ExactSize(*s.PaperWidth / 10.0, *s.PaperLength / 10.0, QPageSize::Millimeter);
  if (size && size->isValid()) layout.setPageSize(*size);
  // A layout written without this mode puts the origin at the margins.
  layout.setMode(QPageLayout::FullPageMode);
  FSettings->setPageLayout(layout);
  FSettings->setFullPage(true);
  if (s.PaperSize) {
    FWrittenCode = s.PaperSize;
    FWrittenSize = FSettings->pageLayout().pageSize();
  }
}

std::vector<TPrinterForm> TQtPrinter::Forms() const {
  std::vector<TPrinterForm> forms;
  if (PrintsToFile()) {
    for (int id = 0; id < QPageSize::LastPageSize; ++id)
      if (id != QPageSize::Custom) forms.push_back(FormOf(QPageSize(QPageSize::PageSizeId(id))));
  } else {
    for (const QPageSize& size : QPrinterInfo::printerInfo(FCupsPrinter).supportedPageSizes())
      forms.push_back(FormOf(size));
  }
  const auto& own = FormRegistry()[Name()];
  forms.insert(forms.end(), own.begin(), own.end());
  return forms;
}

bool TQtPrinter::AddForm(const TPrinterForm& form) {
  const bool custom =
      PrintsToFile() || QPrinterInfo::printerInfo(FCupsPrinter).supportsCustomPageSizes();
  if (!custom || form.Name.empty() || form.Width <= 0 || form.Height <= 0) return false;
  for (const TPrinterForm& f : Forms())
    if (SameName(f.Name, form.Name)) return false;
  FormRegistry()[Name()].push_back(form);
  return true;
}

bool TQtPrinter::DeleteForm(const std::string& name) {
  auto& own = FormRegistry()[Name()];
  for (auto it = own.begin(); it != own.end(); ++it)
    if (SameName(it->Name, name)) {
      own.erase(it);
      return true;
    }
  return false;
}

void TQtPrinter::BeginDoc() {
  if (FPrinting) return;
  FAborted = false;
  auto file = std::make_unique<TJobFile>();
  auto job = std::make_unique<QPdfWriter>(file.get());
  job->setResolution(JobDpi);
  QPageLayout layout = FSettings->pageLayout();
  // The origin is the sheet's corner, not the printable area's.
  layout.setMode(QPageLayout::FullPageMode);
  job->setPageLayout(layout);
  job->setTitle(QString::fromStdString(FTitle));
  job->setCreator("Brantwick");
  auto painter = std::make_unique<QPainter>();
  if (!painter->begin(job.get())) throw Exception("The print job could not be started.");
  FJobFile = std::move(file);
  FJob = std::move(job);
  FPainter = std::move(painter);
  FPrinting = true;
}

QPainter& TQtPrinter::Canvas() {
  if (!FPrinting) throw Exception("Printer is not currently printing");
  return *FPainter;
}

void TQtPrinter::NewPage() {
  if (!FPrinting) throw Exception("Printer is not currently printing");
  if (!FJob->newPage()) throw StreamError("The print job could not start a new page.");
}

void TQtPrinter::EndDoc() {
  if (!FPrinting) return;
  FPrinting = false;
  // Whatever happens to the delivery, the private file goes.
  struct Cleanup {
    TQtPrinter& P;
    ~Cleanup() {
      P.FPainter.reset();
      P.FJob.reset();
      P.FJobFile.reset();
    }
  } cleanup{*this};
  if (!FPainter->end()) throw Exception("The print job could not be finished.");
  FJobFile->Finish();
  Deliver();
}

void TQtPrinter::Deliver() {
  const QString job = FJobFile->FileName();
  if (!PrintsToFile()) {
    FSubmit(FCupsPrinter.toStdString(), job, FTitle, FSettings->pageLayout().pageSize());
    return;
  }
  const QString target = FSettings->outputFileName();
  if (target.isEmpty()) throw Exception("No file name was given for the PDF output.");
  CopyFileWhole(job, target);
}

void TQtPrinter::Abort() {
  if (!FPrinting) return;
  FPrinting = false;
  FAborted = true;
  FPainter->end();
  FPainter.reset();
  FJob.reset();
  FJobFile.reset();
}

int TQtPrinter::DpiX() const {
  return FJob ? FJob->logicalDpiX() : FSettings->resolution();
}

int TQtPrinter::DpiY() const {
  return FJob ? FJob->logicalDpiY() : FSettings->resolution();
}

QSize TQtPrinter::PageSizePixels() const {
  if (FJob) return FJob->pageLayout().fullRectPixels(JobDpi).size();
  return FSettings->paperRect(QPrinter::DevicePixel).toRect().size();
}

} // namespace bw
