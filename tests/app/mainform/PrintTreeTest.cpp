// The tree on a page: how it fits between the margins, what reaches a PDF
// file, and File > Print with the settings.
#include "TestWindow.h"
#include "app/TreePrinting.h"
#include "app/core/Settings.h"
#include "printing/FakePrinter.h"
#include "printing/PrintForm.h"
#include "printing/PrintPreview.h"
#include "printing/Printer.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

using namespace bw;
using bw::test::ScopedFakePrinter;

namespace {

// A window with a tree of three levels.
struct Window : bw::test::TestWindow {
  Window() {
    AddSubnodes(Root());
    AddSubnodes(Root()->Child(0));
  }
};

// The bounding box of everything that is not white.
QRect Ink(const QImage& image) {
  QRect ink;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xffffff) != 0xffffff) ink |= QRect(x, y, 1, 1);
  return ink;
}

QImage RecordedPage(TPrintPreview& preview) {
  const TMetafilePage& page = preview.Pages().Items(0);
  QImage image(page.Extent, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  PlayPage(painter, image.rect(), page.Picture, page.Extent);
  return image;
}

} // namespace

TEST(TreeFit, FillsTheWidthOrTheHeightAndStaysAboveTheBottomMargin) {
  // A4 landscape at 96 DPI with 10 mm margins: 1047 x 718 available.
  TTreeFit wide = FitTreeToPage(1123, 794, 76, 76, 2000, 500, 10);
  EXPECT_TRUE(wide.Draw);
  EXPECT_EQ(wide.Extent, 2000);
  EXPECT_EQ(wide.Viewport, 1047);
  TTreeFit tall = FitTreeToPage(1123, 794, 76, 76, 300, 1000, 10);
  EXPECT_EQ(tall.Extent, 1020);
  EXPECT_EQ(tall.Viewport, 718);
  // Nearly the page's shape: at the width's scale the foot, drawn 10
  // pixels down, would end below the margin; the height decides.
  TTreeFit close = FitTreeToPage(1123, 794, 76, 76, 1047, 717, 10);
  EXPECT_EQ(close.Extent, 737);
  EXPECT_EQ(close.Viewport, 718);
  // Margins that meet or cross: no tree, never a mirrored one.
  EXPECT_FALSE(FitTreeToPage(1123, 794, 1123, 76, 300, 300, 10).Draw);
  EXPECT_FALSE(FitTreeToPage(1123, 794, 76, 2000, 300, 300, 10).Draw);
}

TEST(TreeFit, DrawsTheTreeInsideTheMarginsAndMarksThemOnlyForTheScreen) {
  ScopedFakePrinter printer;
  Window w;
  TPrintPreview preview;
  preview.SetUnits(mmPixel);
  preview.SetOrientation(poLandscape);
  const TPageMargins margins = MakePageMargins(2000, 3000, 2500, 1500); // mm/100
  PrintTreeTo(preview, w.Form->DecTree(), margins, false, true);
  ASSERT_EQ(preview.TotalPages(), 1);
  const QRect ink = Ink(RecordedPage(preview));
  ASSERT_FALSE(ink.isEmpty());
  // 20, 30, 25 and 15 mm at 96 DPI: 76, 113, 94, 57 pixels.
  EXPECT_GE(ink.left(), 76);
  EXPECT_GE(ink.top(), 113);
  EXPECT_LE(ink.right(), 1123 - 94);
  EXPECT_LE(ink.bottom(), 794 - 57);

  // Margin marks reach the page's edges.
  PrintTreeTo(preview, w.Form->DecTree(), margins, true, true);
  const QImage marked = RecordedPage(preview);
  EXPECT_EQ(Ink(marked), QRect(0, 0, 1123, 794));
  // Thousandths of an inch: one inch is 96 pixels.
  PrintTreeTo(preview, w.Form->DecTree(), MakePageMargins(1000, 1000, 1000, 1000), true, false);
  const QImage inches = RecordedPage(preview);
  EXPECT_EQ(Ink(inches.copy(96, 0, 1, 794)).height(), 794);
  EXPECT_TRUE(Ink(inches.copy(76, 150, 1, 500)).isEmpty());

  // Margins larger than the page: the page holds no tree.
  PrintTreeTo(preview, w.Form->DecTree(), MakePageMargins(20000, 1000, 20000, 1000), false, true);
  EXPECT_EQ(preview.TotalPages(), 1);
  EXPECT_TRUE(Ink(RecordedPage(preview)).isEmpty());
}

TEST(TreeFit, PrintsTheTreeToAPdfWithInkOnlyBetweenTheMargins) {
  QTemporaryDir dir;
  const QString pdf = dir.filePath("tree.pdf");
  auto qt = std::make_unique<TQtPrinter>([](auto&&...) {});
  qt->SelectPdfFile(pdf);
  auto previous = SetPrinter(std::move(qt));
  Window window;
  TPrintPreview preview;
  preview.SetUnits(mmPixel);
  preview.UsePrinterOptions = true;
  Printer().SetDeviceSettings({9, std::nullopt, std::nullopt, 2, std::nullopt}); // A4 landscape
  PrintTreeTo(preview, window.Form->DecTree(), MakePageMargins(2000, 2000, 2000, 2000), false,
              true);
  preview.Print();
  SetPrinter(std::move(previous));

  QProcess render;
  render.start("pdftoppm", {"-r", "48", "-png", "-singlefile", pdf, dir.filePath("page")});
  ASSERT_TRUE(render.waitForFinished(20000));
  ASSERT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
  const QImage page(dir.filePath("page.png"));
  // A4 landscape at 48 DPI (561 x 397, give or take the rounding), 20 mm
  // margins: 38 pixels.
  const int w = page.width(), h = page.height();
  ASSERT_NEAR(w, 561, 1);
  ASSERT_NEAR(h, 397, 1);
  const QRect ink = Ink(page);
  ASSERT_FALSE(ink.isEmpty());
  EXPECT_GE(ink.left(), 37);
  EXPECT_GE(ink.top(), 37);
  EXPECT_LE(ink.right(), w - 37);
  EXPECT_LE(ink.bottom(), h - 37);
  // The tree is enlarged to the room between the margins (its blank end
  // and border aside), far beyond its 48-DPI size of about half the room.
  EXPECT_TRUE(ink.width() > (w - 2 * 38) * 3 / 4 || ink.height() > (h - 2 * 38) * 3 / 4);
}

TEST(FilePrint, OpensThePrintWindowAndKeepsWhatTheUserLeftInTheSettings) {
  ScopedFakePrinter printer;
  Window w;
  Ui::TMainForm& ui = w.Form->Form();
  EXPECT_TRUE(ui.FilePrintMenuItem->isEnabled());
  EXPECT_TRUE(ui.PrintToolButton->isEnabled());
  {
    TSettings settings(w.Registry);
    settings.PageMargins = MakePageMargins(700, 700, 700, 700);
    settings.Landscape = true;
    settings.Save();
  }
  int opened = 0;
  w.Form->PrintDialogs.Run = [&](TPrintForm& form) {
    // The second time, what the first left.
    EXPECT_EQ(form.Margins,
              ++opened == 1 ? MakePageMargins(700, 700, 700, 700) : MakePageMargins(1, 2, 3, 4));
    EXPECT_EQ(printer->Settings.Orientation, opened == 1 ? 2 : 1);
    EXPECT_EQ(form.Preview().TotalPages(), 0); // not shown: nothing rendered
    form.Margins = MakePageMargins(1, 2, 3, 4);
    printer->Settings.Orientation = 1;
    // Someone else saves meanwhile: that value stays.
    TSettings other(w.Registry);
    other.CanCheckForAutoUpdate = true;
    other.Save();
  };
  ui.FilePrintMenuItem->trigger();
  ui.PrintToolButton->trigger();
  EXPECT_EQ(opened, 2);
  TSettings settings(w.Registry);
  EXPECT_EQ(settings.PageMargins, MakePageMargins(1, 2, 3, 4));
  EXPECT_FALSE(settings.Landscape);
  EXPECT_TRUE(settings.CanCheckForAutoUpdate);
}

// Print to PDF proposes the tree's name in its folder, and a second print
// in the same window the file of the first; an untitled tree's name, in the
// folder last printed to.
TEST(FilePrint, ProposesThePdfBesideTheTreeElseWhereTheLastWent) {
  QTemporaryDir dir;
  const QString trees = dir.filePath("trees"), pdfs = dir.filePath("pdfs");
  ASSERT_TRUE(QDir().mkpath(trees) && QDir().mkpath(pdfs));
  auto previous = SetPrinter(std::make_unique<TQtPrinter>([](auto&&...) {}));
  Window w;
  QStringList offered;
  QString chosen;
  w.Form->PrintDialogs.Print = [&](QWidget*) {
    auto& qt = dynamic_cast<TQtPrinter&>(Printer());
    offered << qt.PdfFileName();
    qt.SelectPdfFile(chosen);
    return true;
  };
  w.Form->PrintDialogs.Run = [](TPrintForm& form) {
    form.show();
    form.PrintToolButtonClick();
    form.PrintToolButtonClick();
    form.close();
  };
  w.SaveName = trees + "/shop.bwk";
  w.Form->Form().FileSaveAsMenuItem->trigger();
  chosen = pdfs + "/elsewhere.pdf";
  w.Form->FilePrint();
  w.Form->FileNew();
  w.Form->FilePrint();
  SetPrinter(std::move(previous));
  EXPECT_EQ(offered,
            QStringList({trees + "/shop.pdf", chosen,
                         pdfs + "/" + QString::fromStdString(w.Root()->Caption) + ".pdf", chosen}));
  EXPECT_TRUE(QFileInfo::exists(chosen));
}
