// Pictures of the example tree: the bitmap against the control's own
// drawing, each format written and read back, the clipboard, the dialog,
// and the failures that must never pass for success.
#include "export/qt/PictureExport.h"
#include "foundation/Exceptions.h"
#include "model/NodeRect.h"
#include "support/FakeCanvas.h"
#include "treefile/TreeFile.h"
#include "widgets/DecTreeWidget.h"

#include "../ReadBack.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

using namespace bw;
using namespace bw::test;
using ::testing::HasSubstr;

namespace {

struct TExampleTree {
  TDecTreeWidget Widget;
  TExampleTree() {
    TDecTree& tree = Widget.Tree();
    TTreeFileContents contents = ReadTreeFile(BW_EXAMPLE_TREE, &tree, tree.DefaultFont);
    tree.Options = contents.Options;
    tree.DefaultFont = contents.Font;
    tree.ExchangeRoot(std::move(contents.Root));
    tree.Selection.Clear();
    tree.Recalculate();
  }
  TPictureSource Picture() {
    TDecTree& tree = Widget.Tree();
    const TNodeRect& bounds = tree.TreeRoot()->Bounds;
    return {bounds.Width + 2 * tree.BorderSize, bounds.Height + 2 * tree.BorderSize,
            Widget.logicalDpiY(), [&tree](TCanvas& c) { tree.PaintTo(c); }};
  }
};

TPictureSource Huge() {
  return {1000000, 1000000, 96, [](TCanvas&) {}};
}

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no error)";
}

std::vector<uint8_t> FileBytes(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray data = file.readAll();
  return {data.begin(), data.end()};
}

int Distance(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

} // namespace

// What the control draws only on screen (buttons, comment markers) is
// left out of the comparison; every other pixel is the screen's.
TEST(PictureExport, TheBitmapIsTheControlsOwnDrawingAndEveryFormatReadsBack) {
  TExampleTree t;
  const TPictureSource source = t.Picture();
  const QImage picture = RenderPicture(source);
  ASSERT_EQ(picture.size(), QSize(source.Width, source.Height));
  EXPECT_EQ(picture.format(), QImage::Format_RGB888);

  TFakeCanvas screenOnly;
  t.Widget.Tree().PaintTo(screenOnly, true);
  std::vector<QRect> masks;
  for (const TDrawCall* g : screenOnly.OfKind(TDrawKind::Glyph))
    masks.emplace_back(g->A, g->B, g->Glyph->Width, g->Glyph->Height);
  for (const TDrawCall* p : screenOnly.OfKind(TDrawKind::Polygon))
    if (p->Brush.Color == colors::Red)
      masks.emplace_back(p->Points[0].X - 1, p->Points[0].Y - 1, 9, 9);
  const QImage screen = t.Widget.grab().toImage().convertToFormat(QImage::Format_RGB888);
  const int width = std::min(screen.width(), picture.width());
  const int height = std::min(screen.height(), picture.height());
  ASSERT_GT(width * height, 100 * 100);
  int differing = 0, compared = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      if (std::any_of(masks.begin(), masks.end(), [&](const QRect& r) { return r.contains(x, y); }))
        continue;
      ++compared;
      differing += screen.pixel(x, y) != picture.pixel(x, y);
    }
  EXPECT_EQ(differing, 0) << "of " << compared;

  QTemporaryDir dir;
  auto written = [&](const QString& name) {
    WritePictureFile(QFile::encodeName(dir.filePath(name)).toStdString(), source);
    return QImage(dir.filePath(name)).convertToFormat(QImage::Format_RGB888);
  };
  EXPECT_EQ(written("tree.BMP"), picture);

  // GIF: exact where the picture has at most 256 colours, else the
  // nearest of the most frequent 256.
  std::set<QRgb> colours;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      colours.insert(picture.pixel(x, y));
  const QImage gif = written("tree.gif");
  ASSERT_EQ(gif.size(), picture.size());
  if (colours.size() <= 256) {
    EXPECT_EQ(gif, picture);
  } else {
    // Only the smoothing at the edges of texts is approximated.
    int worst = 0, inexact = 0;
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) {
        const int d = Distance(gif.pixel(x, y), picture.pixel(x, y));
        worst = std::max(worst, d);
        inexact += d != 0;
      }
    EXPECT_LE(worst, 64);
    EXPECT_LT(inexact, picture.width() * picture.height() / 100);
  }

  const QImage jpeg = written("tree.jpeg");
  ASSERT_EQ(jpeg.size(), picture.size());
  double total = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      total += std::abs(qGray(jpeg.pixel(x, y)) - qGray(picture.pixel(x, y)));
  EXPECT_LT(total / (picture.width() * picture.height()), 2.0);

  // The metafiles' texts keep the widths the control measured.
  WritePictureFile(QFile::encodeName(dir.filePath("tree.emf")).toStdString(), source);
  const std::vector<uint8_t> emf = FileBytes(dir.filePath("tree.emf"));
  TCanvas& measure = t.Widget.MeasureCanvas();
  int texts = 0;
  for (const TRecord& r : EmfRecords(emf)) {
    if (r.Type != 84) continue;
    const size_t at = r.Offset;
    std::u16string text;
    for (uint32_t i = 0; i < U32(emf, at + 44); ++i)
      text.push_back(static_cast<char16_t>(U16(emf, at + U32(emf, at + 48) + 2 * i)));
    uint32_t advance = 0;
    for (uint32_t i = 0; i < text.size(); ++i)
      advance += U32(emf, at + U32(emf, at + 72) + 4 * i);
    measure.Font.Spec = t.Widget.Tree().DefaultFont;
    EXPECT_EQ(advance, static_cast<uint32_t>(
                           measure.TextWidth(QString::fromStdU16String(text).toStdString())));
    ++texts;
  }
  EXPECT_GT(texts, 20);
  WritePictureFile(QFile::encodeName(dir.filePath("tree.wmf")).toStdString(), source);
  const std::vector<uint8_t> wmf = FileBytes(dir.filePath("tree.wmf"));
  EXPECT_EQ(U32(wmf, 0), 0x9AC6CDD7u);
  EXPECT_EQ((std::vector{S16(wmf, 10), S16(wmf, 12)}),
            (std::vector<int16_t>{static_cast<int16_t>(source.Width),
                                  static_cast<int16_t>(source.Height)}));
}

TEST(PictureExport, TheClipboardGetsTheBitmapAndTheEnhancedMetafileAtOnce) {
  TExampleTree t;
  const TPictureSource source = t.Picture();
  CopyPictureToClipboard(source);
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_TRUE(data);
  ASSERT_TRUE(data->hasImage());
  EXPECT_EQ(qvariant_cast<QImage>(data->imageData()).size(), QSize(source.Width, source.Height));
  const QByteArray emf = data->data("image/x-emf");
  EXPECT_EQ(data->data("image/emf"), emf);
  const std::vector<uint8_t> bytes(emf.begin(), emf.end());
  ASSERT_GE(bytes.size(), 108u);
  EXPECT_EQ(U32(bytes, 0), 1u);
  EXPECT_EQ(U32(bytes, 40), 0x464D4520u);
  EXPECT_EQ(U32(bytes, 48), bytes.size());
}

// A picture too large for memory is a clear error: no file, and the
// clipboard keeps what it had.
TEST(PictureExport, APictureTooLargeIsAnErrorAndNeverAnEmptyResult) {
  EXPECT_EQ(MessageOf([] { RenderPicture(Huge()); }),
            "Not enough memory for a picture of 1000000 x 1000000 pixels.");

  QGuiApplication::clipboard()->setText("kept");
  EXPECT_EQ(MessageOf([] { CopyPictureToClipboard(Huge()); }),
            "Not enough memory for a picture of 1000000 x 1000000 pixels.");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");

  QTemporaryDir dir;
  for (const char* name : {"big.jpg", "big.gif", "big.bmp"}) {
    SCOPED_TRACE(name);
    const std::string path = QFile::encodeName(dir.filePath(name)).toStdString();
    EXPECT_THAT(MessageOf([&] { WritePictureFile(path, Huge()); }), HasSubstr("too large"));
    EXPECT_FALSE(QFile::exists(dir.filePath(name)));
  }
}

TEST(PictureExport, ExportShowsEachErrorInAMessageAndWritesNothingForIt) {
  TExampleTree t;
  QTemporaryDir dir;
  QString name;
  QStringList errors;
  const TPictureExportDialogs dialogs{[&] { return name; },
                                      [&](const QString& text) { errors << text; }};

  name = dir.filePath("tree.png");
  ExportPictureToFile(nullptr, t.Picture(), dialogs);
  EXPECT_EQ(errors, QStringList{"Unknown image file extension: .PNG"});
  EXPECT_FALSE(QFile::exists(name));

  errors.clear();
  name = dir.filePath("sub/tree.gif");
  ExportPictureToFile(nullptr, t.Picture(), dialogs);
  ASSERT_EQ(errors.size(), 1);
  EXPECT_THAT(errors[0].toStdString(), HasSubstr("Cannot create file"));

  errors.clear();
  name.clear(); // cancelled
  ExportPictureToFile(nullptr, t.Picture(), dialogs);
  name = dir.filePath("tree.Jpg");
  ExportPictureToFile(nullptr, t.Picture(), dialogs);
  EXPECT_TRUE(errors.isEmpty());
  EXPECT_FALSE(QImage(name).isNull());
  EXPECT_FALSE(QApplication::overrideCursor());
}

// Replacing a file asks first; "No" keeps the file and the dialog open.
TEST(PictureExport, TheSaveDialogOffersTheFormatsAndAsksBeforeReplacing) {
  std::unique_ptr<QFileDialog> dialog = MakePictureSaveDialog(nullptr);
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(dialog->nameFilters(),
            (QStringList{"Windows Bitmap (*.bmp)", "JPEG Image File (*.jpg)",
                         "JPEG Image File (*.jpeg)", "GIF File (*.gif)",
                         "Enhanced Metafile (*.emf)", "Metafile (*.wmf)", "All files (*)"}));
  EXPECT_EQ(dialog->selectedNameFilter(), "GIF File (*.gif)");
  EXPECT_EQ(dialog->defaultSuffix(), "gif");

  QTemporaryDir dir;
  const QString existing = dir.filePath("tree.gif");
  {
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("GIF89a");
  }
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setDirectory(dir.path());
  dialog->selectFile("tree.gif");
  dialog->open();
  QString question;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      question = box->text();
      box->button(QMessageBox::No)->click();
    }
  });
  static_cast<QDialog*>(dialog.get())->accept(); // the Save button
  EXPECT_THAT(question.toStdString(), HasSubstr("tree.gif"));
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(QFile(existing).size(), 6);
  dialog->reject();
}
