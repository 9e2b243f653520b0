// Pictures of the example tree: the bitmap against the control's own
// drawing, each format written in the format its name asks for, the
// clipboard, the dialog, and the failures that must never pass for
// success. And the GIF and JPEG writers read back by Qt's own readers.
#include "export/qt/PictureExport.h"
#include "export/BitmapWriters.h"
#include "foundation/Exceptions.h"
#include "model/NodeRect.h"
#include "support/ChildProcess.h"
#include "support/FakeCanvas.h"
#include "support/WhenModal.h"
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

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <numeric>

using namespace bw;
using namespace bw::test;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

// A picture too large for memory must come back as a null image, not end
// the program: AddressSanitizer's allocator answers as malloc would. Only
// that sanitizer calls this, whichever compiler built it.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}

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

const TPictureSource Huge{1000000, 1000000, 96, [](TCanvas&) {}};

std::vector<uint8_t> FileBytes(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray data = file.readAll();
  return {data.begin(), data.end()};
}

QImage Decoded(const std::vector<uint8_t>& bytes) {
  return QImage::fromData(bytes.data(), static_cast<int>(bytes.size()))
      .convertToFormat(QImage::Format_RGB888);
}

TRgbImageView View(const QImage& image) {
  return {image.width(), image.height(), image.constBits(),
          static_cast<size_t>(image.bytesPerLine())};
}

// Colour bands: a handful of colours, rows with padding.
QImage Bands(int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixelColor(x, y, QColor::fromHsv((x / 7 + y / 5) * 37 % 360, 200, 220));
  return image;
}

int Difference(QRgb p, QRgb q) {
  return std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                   std::abs(qBlue(p) - qBlue(q))});
}

// A memory group made for a test and removed after: of cgroup v1's memory
// controller, or of cgroup v2 where its root gives memory to the groups
// below, at the places they are usually mounted. Made by root only.
class TMemoryGroup {
public:
  explicit TMemoryGroup(uint64_t limit) {
    const std::string name = "bw-test-" + std::to_string(getpid());
    if (Make("/sys/fs/cgroup/memory/" + name, "memory.limit_in_bytes", limit)) return;
    std::ifstream control("/sys/fs/cgroup/cgroup.subtree_control");
    const std::string controllers{std::istreambuf_iterator<char>(control), {}};
    if (controllers.find("memory") != std::string::npos &&
        Make("/sys/fs/cgroup/" + name, "memory.max", limit))
      Write(FFolder + "/memory.swap.max", "0");
  }
  ~TMemoryGroup() { Remove(); }
  bool Made() const { return !FFolder.empty(); }
  // Moves the calling process into the group.
  bool Join() const { return Write(FFolder + "/cgroup.procs", std::to_string(getpid())); }

private:
  bool Make(const std::string& folder, const char* file, uint64_t limit) {
    if (mkdir(folder.c_str(), 0755) != 0) return false;
    FFolder = folder;
    if (Write(folder + "/" + file, std::to_string(limit))) return true;
    Remove();
    return false;
  }
  // A group is removed once its last process has gone, which takes a moment.
  void Remove() {
    for (int i = 0; i < 50 && !FFolder.empty() && rmdir(FFolder.c_str()) != 0; ++i)
      usleep(100000);
    FFolder.clear();
  }
  static bool Write(const std::string& path, const std::string& text) {
    std::ofstream file(path);
    file << text << std::flush;
    return file.good();
  }
  std::string FFolder;
};

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

  // Each file in the format of its name; the writers' own tests check the
  // formats. The bitmap file holds the picture exactly at its resolution,
  // the JPEG is at quality 90, the old-style metafile is the picture's size.
  QTemporaryDir dir;
  auto written = [&](const QString& name) {
    WritePictureFile(QFile::encodeName(dir.filePath(name)).toStdString(), source);
    return FileBytes(dir.filePath(name));
  };
  const QImage bmp = Decoded(written("tree.BMP"));
  EXPECT_EQ(bmp, picture);
  EXPECT_EQ(bmp.dotsPerMeterY(), picture.dotsPerMeterY());
  const std::vector<uint8_t> gif = written("tree.gif");
  EXPECT_EQ(std::string(gif.begin(), gif.begin() + 4), "GIF8");
  EXPECT_EQ(Decoded(gif).size(), picture.size());
  const std::vector<uint8_t> jpeg = written("tree.jpeg");
  EXPECT_EQ(jpeg.at(JpegMarker(jpeg, 0xDB) + 5), 3);
  EXPECT_EQ(Decoded(jpeg).size(), picture.size());
  const std::vector<uint8_t> wmf = written("tree.wmf");
  EXPECT_EQ(U32(wmf, 0), 0x9AC6CDD7u);
  EXPECT_EQ(Fields(wmf, 10, 2, 2), (std::vector{source.Width, source.Height}));

  // The metafiles' texts keep the widths the control measured.
  const std::vector<uint8_t> emf = written("tree.emf");
  TCanvas& measure = t.Widget.MeasureCanvas();
  measure.Font.Spec = t.Widget.Tree().DefaultFont;
  int texts = 0;
  for (const TRecord& r : EmfRecords(emf))
    if (r.Type == EmfExtTextOutW) {
      const TEmfText text = EmfText(emf, r);
      EXPECT_EQ(std::accumulate(text.Advances.begin(), text.Advances.end(), 0),
                measure.TextWidth(QString::fromStdU16String(text.Units).toStdString()));
      ++texts;
    }
  EXPECT_GT(texts, 20);
}

TEST(PictureExport, TheClipboardGetsTheBitmapAndTheEnhancedMetafileAtOnce) {
  TExampleTree t;
  const TPictureSource source = t.Picture();
  CopyPictureToClipboard(source);
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_TRUE(data && data->hasImage());
  EXPECT_EQ(qvariant_cast<QImage>(data->imageData()).size(), QSize(source.Width, source.Height));
  const QByteArray emf = data->data("image/x-emf");
  EXPECT_EQ(data->data("image/emf"), emf);
  const std::vector<uint8_t> bytes(emf.begin(), emf.end());
  EXPECT_EQ(U32(bytes, 40), 0x464D4520u); // " EMF"
  EXPECT_EQ(U32(bytes, 48), bytes.size());
}

// A picture too large for memory is a clear error: no file, and the
// clipboard keeps what it had.
TEST(PictureExport, APictureTooLargeIsAnErrorAndNeverAnEmptyResult) {
  const auto noMemory =
      ThrowsMessage<Exception>("Not enough memory for a picture of 1000000 x 1000000 pixels.");
  EXPECT_THAT([] { RenderPicture(Huge); }, noMemory);
  QGuiApplication::clipboard()->setText("kept");
  EXPECT_THAT([] { CopyPictureToClipboard(Huge); }, noMemory);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
  // Copy as picture shows it as Export picture does, and raises nothing.
  QStringList errors;
  CopyPicture(nullptr, Huge, [&](const QString& text) { errors << text; });
  EXPECT_EQ(errors, QStringList{"Not enough memory for a picture of 1000000 x 1000000 pixels."});
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
  EXPECT_FALSE(QApplication::overrideCursor());

  QTemporaryDir dir;
  for (const char* name : {"big.jpg", "big.gif", "big.bmp"}) {
    const std::string path = QFile::encodeName(dir.filePath(name)).toStdString();
    EXPECT_THAT([&] { WritePictureFile(path, Huge); },
                ThrowsMessage<Exception>(HasSubstr("too large")))
        << name;
    EXPECT_FALSE(QFile::exists(dir.filePath(name))) << name;
  }
}

// The memory is checked before the bitmap is made or drawn: with 8 MiB,
// the 3 MB bitmap of 1000 x 1000 pixels is beyond a quarter for the
// clipboard but within half for a file; with 4 MiB a file refuses it too and
// the old file stays. The metafiles need no bitmap.
TEST(PictureExport, ABitmapBeyondTheMemoryIsRefusedBeforeItIsDrawn) {
  int drawn = 0;
  const TPictureSource counted{1000, 1000, 96, [&](TCanvas&) { ++drawn; }};
  const TPictureSource refused{1000, 1000, 96, [](TCanvas&) { ADD_FAILURE() << "drawn"; }};
  const auto noMemory =
      ThrowsMessage<Exception>("Not enough memory for a picture of 1000 x 1000 pixels.");
  EXPECT_THAT([&] { PictureMimeData(refused, 8 << 20); }, noMemory);

  QTemporaryDir dir;
  for (const char* name : {"tree.bmp", "tree.jpg", "tree.gif"}) {
    const std::string path = QFile::encodeName(dir.filePath(name)).toStdString();
    WritePictureFile(path, counted, 8 << 20);
    const std::vector<uint8_t> written = FileBytes(dir.filePath(name));
    EXPECT_THAT([&] { WritePictureFile(path, refused, 4 << 20); }, noMemory) << name;
    EXPECT_EQ(FileBytes(dir.filePath(name)), written) << name;
  }
  for (const char* name : {"tree.emf", "tree.wmf"}) {
    WritePictureFile(QFile::encodeName(dir.filePath(name)).toStdString(), counted, 0);
    EXPECT_GT(QFile(dir.filePath(name)).size(), 0) << name;
  }
  EXPECT_EQ(drawn, 5);
}

// In a memory group of 2 GiB, as a container or a desktop slice gives, the
// figure is the group's, and a picture of 20000 x 58000 pixels (3.5 GB as a
// bitmap, which the group would let be allocated but not filled) is refused
// in every bitmap format, the old file kept and the process running.
TEST(PictureExport, InAMemoryGroupOf2GiBABitmapOf3GBIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "only root makes a memory group";
  if (access("/proc/self/cgroup", R_OK) != 0)
    GTEST_SKIP() << "without /proc a process's memory group cannot be told";
  constexpr uint64_t Limit = uint64_t{2} << 30;
  // A container's group above the one made here would be the narrower.
  if (MemoryGroupLimit() < Limit)
    GTEST_SKIP() << "this process's memory group allows less than 2 GiB";
  TMemoryGroup group(Limit);
  if (!group.Made())
    GTEST_SKIP() << "no memory group can be made here (cgroup v1's memory controller, or v2 with "
                    "memory below its root)";
  QTemporaryDir dir;
  const QStringList names{"big.bmp", "big.jpg", "big.gif"};
  for (const QString& name : names) {
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("old");
  }
  const TPictureSource huge{20000, 58000, 96, [](TCanvas&) {}};
  const std::string result = InChildProcess([&] {
    if (!group.Join()) return std::string("(not moved into the group)");
    std::string text =
        std::to_string(MemoryGroupLimit()) + (UsableMemory() <= Limit ? "" : " (more)");
    for (const QString& name : names) {
      try {
        WritePictureFile(QFile::encodeName(dir.filePath(name)).toStdString(), huge);
        text += "\nwritten";
      } catch (const Exception& e) {
        text += "\n" + e.Message();
      }
    }
    return text;
  });
  const std::string refused = "\nNot enough memory for a picture of 20000 x 58000 pixels.";
  EXPECT_EQ(result, std::to_string(Limit) + refused + refused + refused);
  for (const QString& name : names)
    EXPECT_EQ(FileBytes(dir.filePath(name)), (std::vector<uint8_t>{'o', 'l', 'd'}))
        << name.toStdString();
}

TEST(PictureExport, ExportShowsEachErrorInAMessageAndWritesNothingForIt) {
  TExampleTree t;
  QTemporaryDir dir;
  QString name;
  QStringList errors;
  const TPictureExportDialogs dialogs{[&](const QString&) { return name; },
                                      [&](const QString& text) { errors << text; }};

  name = dir.filePath("tree.png");
  ExportPictureToFile(nullptr, t.Picture(), dialogs);
  EXPECT_EQ(errors, QStringList{"Unknown image file extension: .PNG"});
  EXPECT_FALSE(QFile::exists(name));

  // Cancelled, then written.
  errors.clear();
  name.clear();
  ExportPictureToFile(nullptr, t.Picture(), dialogs);
  name = dir.filePath("tree.Jpg");
  ExportPictureToFile(nullptr, t.Picture(), dialogs);
  EXPECT_TRUE(errors.isEmpty());
  EXPECT_FALSE(QImage(name).isNull());
  EXPECT_FALSE(QApplication::overrideCursor());
}

// It starts in the folder given. Replacing a file asks first; "No" keeps the
// file and the dialog open.
TEST(PictureExport, TheSaveDialogOffersTheFormatsAndAsksBeforeReplacing) {
  QTemporaryDir dir;
  std::unique_ptr<QFileDialog> dialog = MakePictureSaveDialog(nullptr, dir.path());
  EXPECT_EQ(dialog->directory().path(), dir.path());
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(dialog->nameFilters(),
            (QStringList{"Windows Bitmap (*.bmp)", "JPEG Image File (*.jpg)",
                         "JPEG Image File (*.jpeg)", "GIF File (*.gif)",
                         "Enhanced Metafile (*.emf)", "Metafile (*.wmf)", "All files (*)"}));
  EXPECT_EQ(dialog->selectedNameFilter(), "GIF File (*.gif)");
  EXPECT_EQ(dialog->defaultSuffix(), "gif");

  const QString existing = dir.filePath("tree.gif");
  {
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("GIF89a");
  }
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->selectFile("tree.gif");
  dialog->open();
  QString question;
  WhenModal<QMessageBox>([&](QMessageBox& box) {
    question = box.text();
    box.button(QMessageBox::No)->click();
  });
  static_cast<QDialog*>(dialog.get())->accept(); // the Save button
  EXPECT_THAT(question.toStdString(), HasSubstr("tree.gif"));
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(QFile(existing).size(), 6);
  dialog->reject();
}

// Up to 256 colours are kept exactly. Of more, the 256 most frequent are
// kept and every other colour takes the nearest of them: here 250 colours
// of 16 pixels each, 25 or more apart, and 96 single pixels one step from
// one of them, of which the 6 lowest colours also make the table.
TEST(PictureWriters, GifKeepsUpTo256ColoursExactlyAndQuantisesMore) {
  const QImage few = Bands(61, 40);
  const std::vector<uint8_t> exact = Written([&](std::FILE* f) { WriteGif(f, View(few)); });
  EXPECT_EQ(Decoded(exact), few);
  // One frame: the trailer follows the first image.
  EXPECT_EQ(exact.back(), 0x3B);

  QImage many(64, 64, QImage::Format_RGB888);
  for (int i = 0; i < 64 * 64; ++i) {
    const int k = i < 4000 ? i % 250 : i - 4000, step = i < 4000 ? 0 : 1;
    many.setPixel(i % 64, i / 64,
                  qRgb(k % 10 * 25 + step, k / 10 % 5 * 50 + step, k / 50 * 50 + step));
  }
  const std::vector<uint8_t> quantised = Written([&](std::FILE* f) { WriteGif(f, View(many)); });
  EXPECT_EQ(quantised.at(10) & 0x87, 0x87); // a global table of 256 entries
  const QImage read = Decoded(quantised);
  ASSERT_EQ(read.size(), many.size());
  int inexact[2] = {0, 0}, worst[2] = {0, 0}; // the frequent colours, the single pixels
  for (int i = 0; i < 64 * 64; ++i) {
    const int d = Difference(read.pixel(i % 64, i / 64), many.pixel(i % 64, i / 64));
    inexact[i >= 4000] += d != 0;
    worst[i >= 4000] = std::max(worst[i >= 4000], d);
  }
  EXPECT_EQ(inexact[0], 0);
  EXPECT_EQ(inexact[1], 90);
  EXPECT_EQ(worst[1], 1);
}

TEST(PictureWriters, JpegIsBaselineQuality90WithinItsLoss) {
  const QImage picture = Bands(80, 48);
  const std::vector<uint8_t> b = Written([&](std::FILE* f) { WriteJpeg(f, View(picture), 90); });
  const QImage read = Decoded(b);
  ASSERT_EQ(read.size(), picture.size());
  const size_t sof = JpegMarker(b, 0xC0);
  ASSERT_NE(sof, 0u) << "not baseline";
  EXPECT_EQ(JpegMarker(b, 0xC2), 0u) << "progressive";
  EXPECT_EQ(b[sof + 9], 3);     // colour
  EXPECT_EQ(b[sof + 11], 0x22); // luma sampled 2 x 2
  // The luma table's first entry at quality 90: 16 x 0.2.
  EXPECT_EQ(b.at(JpegMarker(b, 0xDB) + 5), 3);
  double total = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      total += std::abs(qGray(picture.pixel(x, y)) - qGray(read.pixel(x, y)));
  EXPECT_LT(total / (picture.width() * picture.height()), 3.0);
}
