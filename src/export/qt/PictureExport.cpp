#include "export/qt/PictureExport.h"

#include "canvas/qt/QtCanvas.h"
#include "export/BitmapWriters.h"
#include "export/OutputFile.h"
#include "foundation/Exceptions.h"
#include "widgets/BusyCursor.h"

#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>

#include <cstring>
#include <new>
#include <vector>

namespace bw {

namespace {

void SetResolution(QImage& image, int dpi) {
  const int perMetre = qRound((dpi > 0 ? dpi : 96) / 0.0254);
  image.setDotsPerMeterX(perMetre);
  image.setDotsPerMeterY(perMetre);
}

QImage ResolutionDevice(int dpi) {
  QImage device(1, 1, QImage::Format_RGB32);
  SetResolution(device, dpi);
  return device;
}

// Texts of the metafiles measure as the drawing did: the same fonts at the
// drawing's resolution.
struct TPictureMeasure {
  explicit TPictureMeasure(int dpi) : Device(ResolutionDevice(dpi)), Canvas(&Device) {}
  QImage Device;
  TQtMeasureCanvas Canvas;
};

TRgbImageView View(const QImage& image) {
  return {image.width(), image.height(), image.constBits(),
          static_cast<size_t>(image.bytesPerLine())};
}

// Running out of memory anywhere on the way is told as such.
template <typename F>
auto WithMemoryMessage(const TPictureSource& source, F&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    throw Exception(NotEnoughMemoryMessage(source.Width, source.Height));
  }
}

// Runs the body under the busy cursor; an error it raises is shown.
template <typename F>
void ShowingErrors(QWidget* parent, const std::function<void(const QString&)>& show, F&& body) {
  QString error;
  {
    TBusyCursor busy;
    try {
      body();
    } catch (const std::exception& e) {
      error = QString::fromUtf8(e.what());
    }
  }
  if (error.isEmpty()) return;
  if (show)
    show(error);
  else
    QMessageBox::critical(parent, QGuiApplication::applicationDisplayName(), error);
}

} // namespace

QImage RenderPicture(const TPictureSource& source) {
  CheckPictureSize(source.Width, source.Height);
  // QImage answers an impossible size with a null image, not an error.
  QImage image(source.Width, source.Height, QImage::Format_RGB888);
  if (image.isNull()) throw Exception(NotEnoughMemoryMessage(source.Width, source.Height));
  SetResolution(image, source.Dpi);
  // White is every byte 0xFF: one pass over the memory, whatever the size.
  std::memset(image.bits(), 0xFF, static_cast<size_t>(image.sizeInBytes()));
  QPainter painter(&image);
  if (!painter.isActive()) throw Exception(NotEnoughMemoryMessage(source.Width, source.Height));
  {
    TQtCanvas canvas(painter);
    source.Draw(canvas);
  }
  painter.end();
  return image;
}

void WritePictureFile(const std::string& path, const TPictureSource& source,
                      uint64_t usableMemory) {
  const TPictureFormat format = PictureFormatOfFile(path);
  CheckPictureSize(format, source.Width, source.Height);
  // As for the clipboard: the white that fills a bitmap allocated beyond
  // what the memory group allows gets the program ended.
  CheckPictureMemory(format, source.Width, source.Height, usableMemory);
  WithMemoryMessage(source, [&] {
    if (format == TPictureFormat::Emf || format == TPictureFormat::Wmf) {
      TPictureMeasure measure(source.Dpi);
      WriteFileBytes(path, format == TPictureFormat::Emf ? RecordEmf(source, measure.Canvas)
                                                         : RecordWmf(source, measure.Canvas));
      return;
    }
    const QImage image = RenderPicture(source);
    TOutputFile file(path);
    switch (format) {
    case TPictureFormat::Bmp:
      WriteBmp(file.Stream(), View(image), source.Dpi);
      break;
    case TPictureFormat::Jpeg:
      WriteJpeg(file.Stream(), View(image), 90);
      break;
    default:
      WriteGif(file.Stream(), View(image));
      break;
    }
    file.Commit();
  });
}

std::unique_ptr<QMimeData> PictureMimeData(const TPictureSource& source, uint64_t usableMemory) {
  // Refused before the bitmap takes any memory: an allocation beyond what
  // the program may use may succeed and fail only as the white fills it,
  // when the system ends the program.
  CheckClipboardPictureSize(source.Width, source.Height, usableMemory);
  return WithMemoryMessage(source, [&] {
    const QImage image = RenderPicture(source);
    TPictureMeasure measure(source.Dpi);
    const std::vector<uint8_t> emf = RecordEmf(source, measure.Canvas);
    const QByteArray bytes(reinterpret_cast<const char*>(emf.data()),
                           static_cast<qsizetype>(emf.size()));
    auto data = std::make_unique<QMimeData>();
    data->setImageData(image);
    data->setData("image/x-emf", bytes);
    data->setData("image/emf", bytes);
    return data;
  });
}

void CopyPictureToClipboard(const TPictureSource& source) {
  TBusyCursor busy;
  std::unique_ptr<QMimeData> data = PictureMimeData(source);
  QGuiApplication::clipboard()->setMimeData(data.release());
}

void CopyPicture(QWidget* parent, const TPictureSource& source,
                 const std::function<void(const QString& text)>& error) {
  ShowingErrors(parent, error, [&] { CopyPictureToClipboard(source); });
}

std::unique_ptr<QFileDialog> MakePictureSaveDialog(QWidget* parent, const QString& folder) {
  auto dialog = std::make_unique<QFileDialog>(parent, QString(), folder);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  const QStringList filters{
      "Windows Bitmap (*.bmp)", "JPEG Image File (*.jpg)",   "JPEG Image File (*.jpeg)",
      "GIF File (*.gif)",       "Enhanced Metafile (*.emf)", "Metafile (*.wmf)",
      "All files (*)"};
  dialog->setNameFilters(filters);
  dialog->selectNameFilter(filters[3]);
  dialog->setDefaultSuffix("gif");
  // Replacing an existing file is asked first: another picture picked by
  // mistake would be lost without a word.
  dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
  return dialog;
}

QString ExportPictureToFile(QWidget* parent, const TPictureSource& source,
                            const TPictureExportDialogs& dialogs, const QString& folder) {
  QString name;
  if (dialogs.FileName) {
    name = dialogs.FileName(folder);
  } else {
    std::unique_ptr<QFileDialog> dialog = MakePictureSaveDialog(parent, folder);
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
      name = dialog->selectedFiles().first();
  }
  if (name.isEmpty()) return name;
  ShowingErrors(parent, dialogs.Error,
                [&] { WritePictureFile(QFile::encodeName(name).toStdString(), source); });
  return name;
}

} // namespace bw
