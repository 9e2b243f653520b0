// The print preview: paper, recording, printing, printer settings and
// forms, zoom and layout, keys and wheel.
#include "printing/PrintPreview.h"
#include "printing/FakePrinter.h"

#include "foundation/Exceptions.h"

#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

using namespace bw;

namespace {

const QRgb Black = QColor(Qt::black).rgb();
const QRgb White = QColor(Qt::white).rgb();

// A preview with the printer double in place.
class PrintPreview : public ::testing::Test {
protected:
  bw::test::ScopedFakePrinter printer;
  TPrintPreview preview;

  // Shows the preview in screen pixels and records pages.
  void Show(int pages, QSize size = {600, 400}) {
    preview.SetUnits(mmPixel);
    preview.resize(size);
    preview.show();
    if (pages > 0) Record(pages);
  }
  // Records pages whose left half is black.
  void Record(int pages) {
    preview.BeginDoc();
    for (int i = 0; i < pages; ++i) {
      if (i > 0) preview.NewPage();
      preview.Canvas()->fillRect(0, 0, preview.PaperWidth() / 2, preview.PaperHeight(), Qt::black);
    }
    preview.EndDoc();
  }
  void Wheel(int delta, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    const QPointF at(preview.width() / 2.0, preview.height() / 2.0);
    QWheelEvent event(at, preview.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(preview.viewport(), &event);
  }
  QSize Paper() const { return {preview.PaperWidth(), preview.PaperHeight()}; }
};

} // namespace

TEST_F(PrintPreview, KeepsPaperTypeSizeUnitsAndOrientationInStep) {
  EXPECT_EQ(preview.PaperType(), pA4);
  EXPECT_EQ(Paper(), QSize(21000, 29700));
  preview.SetUnits(mmPixel);
  preview.SetOrientation(poLandscape);
  EXPECT_EQ(Paper(), QSize(1123, 794));
  EXPECT_EQ(preview.PageExtent(), QSize(1123, 794));
  // Back to hundredths of a millimetre from the table, not from pixels.
  preview.SetUnits(mmHiMetric);
  EXPECT_EQ(Paper(), QSize(29700, 21000));

  // A size is looked up in the table in portrait, whatever the orientation.
  preview.SetUnits(mmHiEnglish);
  preview.SetPaperSize(11000, 8500);
  EXPECT_EQ(preview.PaperType(), pLetter);
  preview.SetOrientation(poPortrait);
  preview.SetUnits(mmLoMetric);
  preview.SetPaperSize(1000, 1000);
  EXPECT_EQ(preview.PaperType(), pCustom);
  preview.SetPaperSize(0, 40000);
  EXPECT_EQ(Paper(), QSize(1, 32767));
  // A custom paper keeps its size through a change of unit.
  preview.SetPaperSize(1000, 1500);
  preview.SetUnits(mmHiMetric);
  EXPECT_EQ(Paper(), QSize(10000, 15000));
}

TEST_F(PrintPreview, RecordsPagesInOrderOfEventsAndShowsThemFromOne) {
  Show(0);
  std::vector<std::string> events;
  preview.OnBeginDoc = [&](TPrintPreview&) { events.push_back("begin"); };
  preview.OnNewPage = [&](TPrintPreview&) { events.push_back("new"); };
  preview.OnEndPage = [&](TPrintPreview&) { events.push_back("end page"); };
  preview.OnEndDoc = [&](TPrintPreview& s) {
    events.push_back("end");
    EXPECT_EQ(s.State(), TPreviewState::Recording);
  };
  EXPECT_FALSE(preview.PaperControl().isVisible());
  Record(3);
  EXPECT_EQ(events, (std::vector<std::string>{"begin", "new", "end page", "new", "end page", "new",
                                              "end page", "end"}));
  EXPECT_EQ(preview.State(), TPreviewState::Ready);
  EXPECT_EQ(preview.Canvas(), nullptr);
  EXPECT_EQ(preview.TotalPages(), 3);
  EXPECT_EQ(preview.CurrentPage(), 1);
  EXPECT_TRUE(preview.PaperControl().isVisible());
  preview.SetCurrentPage(0);
  EXPECT_EQ(preview.CurrentPage(), 1);
  preview.SetCurrentPage(99);
  EXPECT_EQ(preview.CurrentPage(), 3);

  // The page shows on the sheet, its left half ink; the annotation is
  // drawn over it, for each page shown.
  TPaperPreview& paper = preview.PaperControl();
  const QRect r = paper.PageRect();
  const QPoint ink(r.left() + r.width() / 4, r.center().y());
  EXPECT_EQ(paper.Surface().pixel(ink), Black);
  EXPECT_EQ(paper.Surface().pixel(r.left() + 3 * r.width() / 4, r.center().y()), White);
  std::vector<int> annotated;
  preview.OnAnnotation = [&](TPrintPreview& s, int page, QPainter& canvas) {
    annotated.push_back(page);
    canvas.fillRect(s.PaperWidth() - 100, 0, 100, 100, Qt::red);
  };
  preview.SetAnnotation(true);
  preview.SetCurrentPage(2);
  EXPECT_EQ(annotated, (std::vector<int>{3, 2}));
  EXPECT_EQ(paper.Surface().pixel(r.right() - 2, r.top() + 2), QColor(Qt::red).rgb());
  // A page edited in the store shows at once.
  preview.Pages().EditPage(1, [](TMetafilePage& page) { page.Picture = QPicture(); });
  EXPECT_EQ(paper.Surface().pixel(ink), White);

  // Out of turn: nothing.
  preview.NewPage();
  preview.EndDoc();
  EXPECT_EQ(preview.TotalPages(), 3);
  // A new document replaces the pages; an aborted one leaves none.
  preview.BeginDoc();
  preview.Abort();
  EXPECT_EQ(preview.TotalPages(), 0);
  EXPECT_EQ(preview.CurrentPage(), 0);
  EXPECT_FALSE(preview.PaperControl().isVisible());
  EXPECT_EQ(preview.State(), TPreviewState::Ready);
}

TEST_F(PrintPreview, ZoomsWithinItsLimitsAndFitsTheWholeSheet) {
  Show(1);
  int zoomChanges = 0;
  preview.OnZoomChange = [&](TPrintPreview&) { ++zoomChanges; };

  // Whole page first; the zoom is the paper's height, 400 less margins
  // and frame, over the page's 1123 pixels.
  EXPECT_EQ(preview.ZoomState(), zsZoomToFit);
  EXPECT_EQ(preview.PaperControl().PaperHeight(), 375);
  EXPECT_EQ(preview.Zoom(), 33);

  preview.SetZoom(5);
  EXPECT_EQ(preview.Zoom(), 10);
  EXPECT_EQ(preview.ZoomState(), zsZoomOther);
  EXPECT_EQ(zoomChanges, 1);
  preview.SetZoom(10);
  EXPECT_EQ(zoomChanges, 1);
  preview.SetZoomMin(0);
  preview.SetZoomMin(600);
  EXPECT_EQ(preview.ZoomMin(), 10);
  preview.SetZoomMin(20);
  EXPECT_EQ(preview.Zoom(), 20);
  preview.SetZoomMax(15);
  EXPECT_EQ(preview.ZoomMax(), 500);

  preview.SetZoom(200);
  EXPECT_EQ(preview.PaperControl().PaperSize(), QSize(1588, 2246));
  EXPECT_TRUE(preview.CanDragHorizontally() && preview.CanDragVertically());
  EXPECT_EQ(preview.PaperControl().CursorNumber(), crHand);
  preview.SetZoomMax(100);
  EXPECT_EQ(preview.Zoom(), 100);

  // A sheet too large for memory: the last zoom stays, without an event.
  preview.SetZoomMax(500);
  zoomChanges = 0;
  preview.PaperControl().MaxSurfacePixels = 2'000'000;
  preview.SetZoom(400);
  EXPECT_EQ(preview.Zoom(), 100);
  EXPECT_EQ(preview.ZoomState(), zsZoomOther);
  EXPECT_EQ(zoomChanges, 0);
  EXPECT_TRUE(preview.PaperControl().SurfaceSized());

  preview.SetZoomState(zsZoomToWidth);
  EXPECT_EQ(preview.PaperControl().width() + 2 * TPrintPreview::ScrollMargin,
            preview.viewport()->width());
}

TEST_F(PrintPreview, WholePageLeavesRoomForBorderAndShadowWhenShapesAreClose) {
  // A4 portrait at 794 x 1123 pixels, border 1 and shadow 7, in an area of
  // 800 x 1131: judged by the paper alone the height would rule and the
  // control would be 802 wide.
  const int m = TPrintPreview::ScrollMargin;
  preview.PaperView().SetShadowWidth(7);
  Show(1, QSize(800 + 2 * m, 1131 + 2 * m));
  // The width rules: the control fills it, centred in the height.
  EXPECT_EQ(preview.PaperControl().geometry(), QRect(m, m + 1, 800, 1128));
  EXPECT_FALSE(preview.CanDragHorizontally() || preview.CanDragVertically());
  EXPECT_FALSE(preview.horizontalScrollBar()->isVisible());
  EXPECT_FALSE(preview.verticalScrollBar()->isVisible());
}

TEST_F(PrintPreview, KeepsScrollPositionsAcrossALayoutAndNeverDividesByZero) {
  Show(1);
  preview.SetZoom(200);
  QScrollBar* v = preview.verticalScrollBar();
  v->setValue(v->maximum() / 2);
  preview.SetZoom(300);
  EXPECT_NEAR(v->value(), v->maximum() / 2, 2);

  // Nothing to scroll on an axis: the saved position is 0, not a crash.
  preview.SetZoomState(zsZoomToWidth);
  EXPECT_EQ(preview.horizontalScrollBar()->maximum(), 0);
  preview.resize(preview.width() + 1, preview.height());
  EXPECT_EQ(preview.horizontalScrollBar()->value(), 0);
}

TEST_F(PrintPreview, ScrollsTurnsPagesAndZoomsByWheelKeysAndMouse) {
  Show(5);
  preview.SetZoom(300);
  QScrollBar* h = preview.horizontalScrollBar();
  QScrollBar* v = preview.verticalScrollBar();
  const int step = TPrintPreview::ScrollIncrement;
  v->setValue(100);
  for (int i = 0; i < 4; ++i)
    Wheel(-30);
  EXPECT_EQ(v->value(), 100 + step);
  Wheel(-240);
  EXPECT_EQ(v->value(), 100 + 3 * step);
  Wheel(-120, Qt::ShiftModifier);
  EXPECT_EQ(preview.CurrentPage(), 2);
  Wheel(120, Qt::ControlModifier);
  EXPECT_EQ(preview.Zoom(), 310);
  // Another combination makes no step.
  Wheel(120, Qt::AltModifier);
  EXPECT_EQ(preview.Zoom(), 310);
  // Only the numeric pad's keys zoom.
  QTest::keyClick(&preview, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(preview.Zoom(), 300);
  QTest::keyClick(&preview, Qt::Key_Plus);
  EXPECT_EQ(preview.Zoom(), 300);

  // Each key from page 3 scrolled to (100, 100): the scroll position and
  // the page after it.
  const std::tuple<Qt::Key, Qt::KeyboardModifiers, std::array<int, 3>> keys[] = {
      {Qt::Key_Right, Qt::NoModifier, {100 + step, 100, 3}},
      {Qt::Key_Up, Qt::ShiftModifier, {100, 99, 3}},
      {Qt::Key_Down, Qt::ControlModifier, {100, 100 + preview.viewport()->height(), 3}},
      {Qt::Key_Home, Qt::NoModifier, {0, 100, 3}},
      {Qt::Key_End, Qt::NoModifier, {h->maximum(), 100, 3}},
      {Qt::Key_Home, Qt::ControlModifier, {100, 0, 3}},
      {Qt::Key_End, Qt::ControlModifier, {100, v->maximum(), 3}},
      {Qt::Key_PageUp, Qt::NoModifier, {100, 100, 2}},
      {Qt::Key_PageDown, Qt::NoModifier, {100, 100, 4}},
      {Qt::Key_PageUp, Qt::ControlModifier, {100, 100, 1}},
      {Qt::Key_PageDown, Qt::ControlModifier, {100, 100, 5}},
      // Other combinations fall through.
      {Qt::Key_Home, Qt::AltModifier, {100, 100, 3}},
  };
  for (const auto& [key, mods, after] : keys) {
    preview.SetCurrentPage(3);
    h->setValue(100);
    v->setValue(100);
    QTest::keyClick(&preview, key, mods);
    EXPECT_EQ((std::array{h->value(), v->value(), preview.CurrentPage()}), after)
        << key << " " << mods.toInt();
  }

  // Dragging the sheet scrolls it, with the grab cursor while it lasts.
  TPaperPreview& paper = preview.PaperControl();
  h->setValue(200);
  v->setValue(200);
  QTest::mousePress(&paper, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
  EXPECT_TRUE(preview.Dragging());
  EXPECT_EQ(paper.CursorNumber(), crGrab);
  QMouseEvent move(QEvent::MouseMove, QPointF(280, 290), paper.mapToGlobal(QPointF(280, 290)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&paper, &move);
  EXPECT_EQ(h->value(), 220);
  EXPECT_EQ(v->value(), 210);
  QTest::mouseRelease(&paper, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
  EXPECT_FALSE(preview.Dragging());
  EXPECT_EQ(paper.CursorNumber(), crHand);
}

TEST_F(PrintPreview, PrintsTheRecordedPagesOnThePrinter) {
  Show(2);
  preview.PrintJobTitle = "Tree";
  std::vector<std::pair<int, int>> progress;
  preview.OnPrintProgress = [&](TPrintPreview&, int page, int percent, bool&) {
    progress.emplace_back(page, percent);
  };
  int after = 0;
  preview.OnAfterPrint = [&](TPrintPreview& s) {
    ++after;
    EXPECT_EQ(s.State(), TPreviewState::Printing);
  };
  for (bool fast : {true, false}) {
    preview.FastPrint = fast;
    preview.Print();
    ASSERT_EQ(printer->Pages.size(), 2u);
    // The page fills the sheet at the printer's 120 DPI (992 x 1403
    // pixels): its left half is ink, to the bottom.
    const QImage& page = printer->Pages[1];
    EXPECT_EQ(page.pixel(490, 1395), Black) << fast;
    EXPECT_EQ(page.pixel(505, 700), White) << fast;
  }
  EXPECT_EQ(printer->LastTitle, "Tree");
  EXPECT_TRUE(printer->Title().empty());
  EXPECT_EQ(after, 2);
  EXPECT_EQ(preview.State(), TPreviewState::Ready);
  // Before and after each page, in percent of the pages done.
  progress.resize(4);
  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 0}, {1, 50}, {2, 50}, {2, 100}}));
}

TEST_F(PrintPreview, RefusesPageRangesOutsideTheRecordedPagesBeforeAnyJob) {
  Show(0);
  preview.Print(); // no pages
  Record(2);
  int before = 0;
  preview.OnBeforePrint = [&](TPrintPreview&) { ++before; };
  preview.PrintPages(0, 2);
  preview.PrintPages(1, 3);
  preview.PrintPages(2, 1);
  EXPECT_EQ(printer->Begun, 0);
  EXPECT_EQ(before, 0);
  preview.PrintPages(2, 2);
  EXPECT_EQ(printer->Begun, 1);
  EXPECT_EQ(printer->Pages.size(), 1u);

  printer->Count = 0;
  preview.Print();
  EXPECT_EQ(printer->Begun, 1);
}

TEST_F(PrintPreview, AnAbortedOrFailedJobReachesNoPrinterAndEndsInReady) {
  Show(3);
  int after = 0;
  preview.OnAfterPrint = [&](TPrintPreview&) { ++after; };
  preview.OnPrintProgress = [](TPrintPreview&, int page, int, bool& abortIt) {
    if (page == 2) abortIt = true;
  };
  preview.Print();
  EXPECT_TRUE(preview.Aborted());
  EXPECT_EQ(printer->Aborts, 1);
  EXPECT_EQ(printer->Ended, 0);
  EXPECT_EQ(after, 1);

  // A quiet abort from a handler ends printing without an error.
  preview.OnPrintProgress = [](TPrintPreview&, int, int, bool&) { throw SilentAbort(); };
  EXPECT_NO_THROW(preview.Print());
  EXPECT_EQ(printer->Aborts, 2);
  EXPECT_EQ(after, 2);

  // Any other error passes on after the job is abandoned.
  preview.OnPrintProgress = [](TPrintPreview&, int, int, bool&) {
    throw InvalidOperationException("stop");
  };
  EXPECT_THROW(preview.Print(), InvalidOperationException);
  EXPECT_EQ(printer->Aborts, 3);
  EXPECT_EQ(after, 3);
  EXPECT_EQ(preview.State(), TPreviewState::Ready);

  // A printer that fails to take the finished job.
  preview.OnPrintProgress = nullptr;
  printer->FailOnEndDoc = true;
  EXPECT_THROW(preview.Print(), std::runtime_error);
  EXPECT_EQ(after, 4);
  EXPECT_EQ(preview.State(), TPreviewState::Ready);
  EXPECT_TRUE(preview.Aborted());
}

TEST_F(PrintPreview, PrintsDirectlyWithoutRecording) {
  preview.DirectPrint = true;
  preview.SetUnits(mmLoMetric);
  preview.BeginDoc();
  EXPECT_EQ(preview.State(), TPreviewState::Printing);
  // Fonts are sized in the page's unit: 8 points are 28 tenths of a
  // millimetre, whatever the device's resolution.
  EXPECT_EQ(preview.Canvas()->font().pixelSize(), 28);
  preview.Canvas()->fillRect(0, 0, 1050, 2970, Qt::black);
  preview.NewPage();
  EXPECT_EQ(preview.TotalPages(), 1);
  preview.EndDoc();
  EXPECT_EQ(preview.State(), TPreviewState::Ready);
  ASSERT_EQ(printer->Pages.size(), 2u);
  // Tenths of a millimetre on the printer: the half page is the left half.
  EXPECT_EQ(printer->Pages[0].pixel(490, 1395), Black);
  EXPECT_EQ(printer->Pages[0].pixel(505, 700), White);
  EXPECT_EQ(preview.Pages().Count(), 0);
}

TEST_F(PrintPreview, ExchangesPaperAndOrientationWithThePrinter) {
  preview.SetPaperType(pLetterSmall);
  preview.SetPrinterOptions();
  EXPECT_EQ(printer->Settings.PaperSize, 2);
  preview.SetPaperType(pLetter);
  preview.SetOrientation(poLandscape);
  preview.SetPrinterOptions();
  EXPECT_EQ(printer->Settings.PaperSize, 1);
  EXPECT_EQ(printer->Settings.Orientation, 2);
  // Letter is one of the printer's forms.
  EXPECT_EQ(printer->Settings.FormName, "Letter");

  printer->Settings = {11, std::nullopt, std::nullopt, 1, std::string("A5")};
  preview.GetPrinterOptions();
  EXPECT_EQ(preview.PaperType(), pA5);
  EXPECT_EQ(preview.Orientation(), poPortrait);
  EXPECT_EQ(preview.PaperWidth(), 14800);
  EXPECT_EQ(preview.FormName(), "A5");

  printer->Settings = {48, 1000, 1500, 2, std::nullopt};
  preview.GetPrinterOptions();
  EXPECT_EQ(preview.PaperType(), pCustom);
  EXPECT_EQ(Paper(), QSize(15000, 10000));

  // Outside the ready state nothing changes.
  preview.BeginDoc();
  preview.SetPaperType(pA3);
  preview.SetOrientation(poPortrait);
  EXPECT_EQ(preview.PaperType(), pCustom);
  EXPECT_EQ(preview.Orientation(), poLandscape);
  preview.EndDoc();
}

TEST_F(PrintPreview, RegistersOneCustomFormForAPaperThePrinterLacks) {
  std::vector<std::string> events;
  {
    TPrintPreview custom;
    custom.OnAutoCustomForm = [&](TPrintPreview&, const std::string& name,
                                  TCustomFormOperation op) {
      events.push_back((op == TCustomFormOperation::Insert ? "+" : "-") + name);
    };
    custom.SetUnits(mmLoMetric);
    custom.SetPaperSize(1000, 1500);
    custom.SetPrinterOptions();
    custom.SetPrinterOptions();
    EXPECT_EQ(events, std::vector<std::string>{"+100mm x 150mm"});
    EXPECT_EQ(printer->Settings.FormName, "100mm x 150mm");
    EXPECT_EQ(printer->Settings.PaperSize, CustomPaperCode);
    EXPECT_EQ(printer->Settings.PaperWidth, 1000);
    EXPECT_EQ(printer->FormList.back().Width, 100000);

    // Another size: the own form goes, a new one comes.
    custom.SetPaperSize(1005, 1500);
    custom.SetPrinterOptions();
    EXPECT_EQ(events,
              (std::vector<std::string>{"+100mm x 150mm", "-100mm x 150mm", "+100mm x 150mm"}));
  }
  // Gone with the preview, without an event.
  EXPECT_EQ(events.size(), 3u);
  EXPECT_EQ(printer->FormList.size(), 2u);

  printer->TakesCustomForms = false;
  preview.SetUnits(mmLoMetric);
  preview.SetPaperSize(1000, 1500);
  preview.SetPrinterOptions();
  EXPECT_TRUE(preview.OwnFormName().empty());
  EXPECT_FALSE(printer->Settings.FormName.has_value());
}
