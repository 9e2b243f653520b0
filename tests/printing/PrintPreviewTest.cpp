// The print preview: paper, recording, printing, printer settings and
// forms, zoom and layout, keys and wheel.
#include "printing/PrintPreview.h"
#include "printing/FakePrinter.h"

#include "foundation/ErrorReport.h"
#include "foundation/Exceptions.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace bw;
using bw::test::ScopedFakePrinter;

namespace {

// Records pages whose left half is black, in pixels.
void Record(TPrintPreview& preview, int pages) {
  preview.BeginDoc();
  for (int i = 0; i < pages; ++i) {
    if (i > 0) preview.NewPage();
    preview.Canvas()->fillRect(0, 0, preview.PaperWidth() / 2, preview.PaperHeight(), Qt::black);
  }
  preview.EndDoc();
}

struct PixelPreview {
  TPrintPreview Preview;
  explicit PixelPreview(QSize size = {600, 400}) {
    Preview.SetUnits(mmPixel);
    Preview.resize(size);
    Preview.show();
  }
};

void Wheel(TPrintPreview& preview, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  const QPointF at(preview.width() / 2.0, preview.height() / 2.0);
  QWheelEvent event(at, preview.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(preview.viewport(), &event);
}

} // namespace

TEST(PrintPreview, KeepsPaperTypeSizeUnitsAndOrientationInStep) {
  TPrintPreview preview;
  EXPECT_EQ(preview.PaperType(), pA4);
  EXPECT_EQ(preview.PaperWidth(), 21000);
  EXPECT_EQ(preview.PaperHeight(), 29700);
  preview.SetUnits(mmPixel);
  EXPECT_EQ(preview.PaperWidth(), 794);
  EXPECT_EQ(preview.PaperHeight(), 1123);
  preview.SetOrientation(poLandscape);
  EXPECT_EQ(preview.PaperWidth(), 1123);
  EXPECT_EQ(preview.PaperHeight(), 794);
  EXPECT_EQ(preview.PageExtent(), QSize(1123, 794));
  // Back to hundredths of a millimetre from the table, not from pixels.
  preview.SetUnits(mmHiMetric);
  EXPECT_EQ(preview.PaperWidth(), 29700);

  preview.SetOrientation(poPortrait);
  preview.SetUnits(mmHiEnglish);
  preview.SetPaperSize(8500, 11000);
  EXPECT_EQ(preview.PaperType(), pLetter);
  preview.SetUnits(mmLoMetric);
  preview.SetPaperSize(2100, 2970);
  EXPECT_EQ(preview.PaperType(), pA4);
  preview.SetPaperSize(1000, 1000);
  EXPECT_EQ(preview.PaperType(), pCustom);
  preview.SetPaperSize(0, 40000);
  EXPECT_EQ(preview.PaperWidth(), 1);
  EXPECT_EQ(preview.PaperHeight(), 32767);
  // A custom paper keeps its size through a change of unit.
  preview.SetPaperSize(1000, 1500);
  preview.SetUnits(mmHiMetric);
  EXPECT_EQ(preview.PaperWidth(), 10000);
  EXPECT_EQ(preview.PaperHeight(), 15000);
}

TEST(PrintPreview, RecordsPagesInOrderOfEventsAndShowsThemFromOne) {
  PixelPreview p;
  TPrintPreview& preview = p.Preview;
  std::vector<std::string> events;
  preview.OnBeginDoc = [&](TPrintPreview&) { events.push_back("begin"); };
  preview.OnNewPage = [&](TPrintPreview&) { events.push_back("new"); };
  preview.OnEndPage = [&](TPrintPreview&) { events.push_back("end page"); };
  preview.OnEndDoc = [&](TPrintPreview& s) {
    events.push_back("end");
    EXPECT_EQ(s.State(), TPreviewState::Recording);
  };
  EXPECT_FALSE(preview.PaperControl().isVisible());
  Record(preview, 3);
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

  // The page shows on the sheet: its left half is ink.
  TPaperPreview& paper = preview.PaperControl();
  const QImage& shown = paper.Surface();
  const QRect r = paper.PageRect();
  EXPECT_EQ(shown.pixel(r.left() + r.width() / 4, r.center().y()), QColor(Qt::black).rgb());
  EXPECT_EQ(shown.pixel(r.left() + 3 * r.width() / 4, r.center().y()), QColor(Qt::white).rgb());

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

TEST(PrintPreview, ScalesRecordedFontsToTheirSizeOnPaper) {
  TPrintPreview preview;
  preview.SetUnits(mmLoMetric);
  preview.BeginDoc();
  // 72 points are an inch, 254 tenths of a millimetre.
  EXPECT_EQ(preview.Canvas()->font().pixelSize(), 28); // 8 points in tenths of a millimetre
  preview.EndDoc();
}

TEST(PrintPreview, ZoomsWithinItsLimitsAndFitsTheWholeSheet) {
  PixelPreview p;
  TPrintPreview& preview = p.Preview;
  Record(preview, 1);
  int zoomChanges = 0;
  preview.OnZoomChange = [&](TPrintPreview&) { ++zoomChanges; };

  // Whole page: the sheet fits, nothing to drag, the zoom is what shows.
  EXPECT_EQ(preview.ZoomState(), zsZoomToFit);
  EXPECT_FALSE(preview.CanDragHorizontally() || preview.CanDragVertically());
  const QRect sheet = preview.PaperControl().geometry();
  EXPECT_TRUE(preview.viewport()->rect().contains(sheet));
  EXPECT_EQ(preview.Zoom(),
            MulDiv(preview.PaperControl().PaperHeight(), 100, preview.PageExtent().height()));

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

  preview.SetZoomState(zsZoomToWidth);
  EXPECT_EQ(preview.PaperControl().width() + 2 * TPrintPreview::ScrollMargin,
            preview.viewport()->width());
}

TEST(PrintPreview, WholePageLeavesRoomForBorderAndShadowWhenShapesAreClose) {
  // A4 portrait at 794 x 1123 pixels, border 1 and shadow 7, in an area of
  // 800 x 1131: judged by the paper alone the height would rule and the
  // control would be 802 wide.
  PixelPreview p(
      QSize(800 + 2 * TPrintPreview::ScrollMargin, 1131 + 2 * TPrintPreview::ScrollMargin));
  TPrintPreview& preview = p.Preview;
  preview.PaperView().SetShadowWidth(7);
  Record(preview, 1);
  EXPECT_LE(preview.PaperControl().width(), 800);
  EXPECT_LE(preview.PaperControl().height(), 1131);
  EXPECT_FALSE(preview.CanDragHorizontally() || preview.CanDragVertically());
  EXPECT_FALSE(preview.horizontalScrollBar()->isVisible());
  EXPECT_FALSE(preview.verticalScrollBar()->isVisible());
}

TEST(PrintPreview, KeepsScrollPositionsAcrossALayoutAndNeverDividesByZero) {
  PixelPreview p;
  TPrintPreview& preview = p.Preview;
  Record(preview, 1);
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

TEST(PrintPreview, GoesBackToTheLastZoomWhenTheSheetDoesNotFitInMemory) {
  PixelPreview p;
  TPrintPreview& preview = p.Preview;
  Record(preview, 1);
  preview.SetZoom(100);
  int zoomChanges = 0;
  preview.OnZoomChange = [&](TPrintPreview&) { ++zoomChanges; };
  preview.PaperControl().MaxSurfacePixels = 2'000'000;
  preview.SetZoom(400);
  EXPECT_EQ(preview.Zoom(), 100);
  EXPECT_EQ(preview.ZoomState(), zsZoomOther);
  EXPECT_EQ(zoomChanges, 0);
  EXPECT_TRUE(preview.PaperControl().SurfaceSized());
}

TEST(PrintPreview, TurnsWheelNotchesAndKeysIntoStepsPagesAndZoom) {
  PixelPreview p;
  TPrintPreview& preview = p.Preview;
  Record(preview, 3);
  preview.SetZoom(300);
  QScrollBar* v = preview.verticalScrollBar();
  v->setValue(100);
  for (int i = 0; i < 4; ++i)
    Wheel(preview, -30);
  EXPECT_EQ(v->value(), 100 + TPrintPreview::ScrollIncrement);
  Wheel(preview, -240);
  EXPECT_EQ(v->value(), 100 + 3 * TPrintPreview::ScrollIncrement);
  Wheel(preview, -120, Qt::ShiftModifier);
  EXPECT_EQ(preview.CurrentPage(), 2);
  Wheel(preview, 120, Qt::ControlModifier);
  EXPECT_EQ(preview.Zoom(), 310);
  // Another combination makes no step.
  Wheel(preview, 120, Qt::AltModifier);
  EXPECT_EQ(preview.Zoom(), 310);

  QTest::keyClick(&preview, Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(preview.CurrentPage(), 3);
  QTest::keyClick(&preview, Qt::Key_PageUp);
  EXPECT_EQ(preview.CurrentPage(), 2);
  QTest::keyClick(&preview, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(preview.Zoom(), 300);
  QTest::keyClick(&preview, Qt::Key_Plus); // not the numeric pad
  EXPECT_EQ(preview.Zoom(), 300);
  QTest::keyClick(&preview, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(v->value(), v->maximum());
  QTest::keyClick(&preview, Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_EQ(v->value(), v->maximum() - 1);
  QTest::keyClick(&preview, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(v->value(), 0);
}

TEST(PrintPreview, DragsTheSheetWithTheMouse) {
  PixelPreview p;
  TPrintPreview& preview = p.Preview;
  Record(preview, 1);
  preview.SetZoom(300);
  TPaperPreview& paper = preview.PaperControl();
  QScrollBar* h = preview.horizontalScrollBar();
  QScrollBar* v = preview.verticalScrollBar();
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

TEST(PrintPreview, PrintsTheRecordedPagesOnThePrinter) {
  ScopedFakePrinter printer;
  PixelPreview p;
  TPrintPreview& preview = p.Preview;
  Record(preview, 2);
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
    const QImage& page = printer->Pages[1];
    // The page fills the sheet at the printer's resolution: A4 at 120 DPI.
    EXPECT_EQ(page.size(), QSize(992, 1403));
    EXPECT_EQ(page.pixel(200, 700), QColor(Qt::black).rgb()) << fast;
    EXPECT_EQ(page.pixel(800, 700), QColor(Qt::white).rgb()) << fast;
  }
  EXPECT_EQ(printer->LastTitle, "Tree");
  EXPECT_TRUE(printer->Title().empty());
  EXPECT_EQ(after, 2);
  EXPECT_EQ(preview.State(), TPreviewState::Ready);
  EXPECT_EQ(progress[0], std::make_pair(1, 0));
  EXPECT_EQ(progress[1], std::make_pair(1, 50));
  EXPECT_EQ(progress[3], std::make_pair(2, 100));
}

TEST(PrintPreview, RefusesPageRangesOutsideTheRecordedPagesBeforeAnyJob) {
  ScopedFakePrinter printer;
  PixelPreview p;
  TPrintPreview& preview = p.Preview;
  preview.Print(); // no pages
  Record(preview, 2);
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

TEST(PrintPreview, AnAbortedOrFailedJobReachesNoPrinterAndEndsInReady) {
  ScopedFakePrinter printer;
  PixelPreview p;
  TPrintPreview& preview = p.Preview;
  Record(preview, 3);
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

TEST(PrintPreview, PrintsDirectlyWithoutRecording) {
  ScopedFakePrinter printer;
  TPrintPreview preview;
  preview.DirectPrint = true;
  preview.SetUnits(mmLoMetric);
  preview.BeginDoc();
  EXPECT_EQ(preview.State(), TPreviewState::Printing);
  preview.Canvas()->fillRect(0, 0, 1050, 2970, Qt::black);
  preview.NewPage();
  EXPECT_EQ(preview.TotalPages(), 1);
  preview.EndDoc();
  EXPECT_EQ(preview.State(), TPreviewState::Ready);
  ASSERT_EQ(printer->Pages.size(), 2u);
  // Tenths of a millimetre on the printer: the half page is the left half.
  EXPECT_EQ(printer->Pages[0].pixel(200, 700), QColor(Qt::black).rgb());
  EXPECT_EQ(printer->Pages[0].pixel(800, 700), QColor(Qt::white).rgb());
  EXPECT_EQ(preview.Pages().Count(), 0);
}

TEST(PrintPreview, ExchangesPaperAndOrientationWithThePrinter) {
  ScopedFakePrinter printer;
  TPrintPreview preview;
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
  EXPECT_EQ(preview.PaperWidth(), 15000);
  EXPECT_EQ(preview.PaperHeight(), 10000);

  // Outside the ready state nothing changes.
  preview.BeginDoc();
  preview.SetPaperType(pA3);
  preview.SetOrientation(poPortrait);
  EXPECT_EQ(preview.PaperType(), pCustom);
  EXPECT_EQ(preview.Orientation(), poLandscape);
  preview.EndDoc();
}

TEST(PrintPreview, RegistersOneCustomFormForAPaperThePrinterLacks) {
  ScopedFakePrinter printer;
  std::vector<std::string> events;
  {
    TPrintPreview preview;
    preview.OnAutoCustomForm = [&](TPrintPreview&, const std::string& name,
                                   TCustomFormOperation op) {
      events.push_back((op == TCustomFormOperation::Insert ? "+" : "-") + name);
    };
    preview.SetUnits(mmLoMetric);
    preview.SetPaperSize(1000, 1500);
    preview.SetPrinterOptions();
    preview.SetPrinterOptions();
    EXPECT_EQ(events, std::vector<std::string>{"+100mm x 150mm"});
    EXPECT_EQ(printer->Settings.FormName, "100mm x 150mm");
    EXPECT_EQ(printer->Settings.PaperSize, CustomPaperCode);
    EXPECT_EQ(printer->Settings.PaperWidth, 1000);
    EXPECT_EQ(printer->FormList.back().Width, 100000);

    // Another size: the own form goes, a new one comes.
    preview.SetPaperSize(1005, 1500);
    preview.SetPrinterOptions();
    EXPECT_EQ(events,
              (std::vector<std::string>{"+100mm x 150mm", "-100mm x 150mm", "+100mm x 150mm"}));
  }
  // Gone with the preview, without an event.
  EXPECT_EQ(events.size(), 3u);
  EXPECT_EQ(printer->FormList.size(), 2u);

  printer->TakesCustomForms = false;
  TPrintPreview preview;
  preview.SetUnits(mmLoMetric);
  preview.SetPaperSize(1000, 1500);
  preview.SetPrinterOptions();
  EXPECT_TRUE(preview.OwnFormName().empty());
  EXPECT_FALSE(printer->Settings.FormName.has_value());
}

TEST(PrintPreview, DrawsTheAnnotationOverTheShownPage) {
  PixelPreview p;
  TPrintPreview& preview = p.Preview;
  Record(preview, 2);
  std::vector<int> asked;
  preview.OnAnnotation = [&](TPrintPreview& s, int page, QPainter& canvas) {
    asked.push_back(page);
    canvas.fillRect(s.PaperWidth() - 100, 0, 100, 100, Qt::red);
  };
  preview.SetAnnotation(true);
  preview.SetCurrentPage(2);
  EXPECT_EQ(asked, (std::vector<int>{1, 2}));
  TPaperPreview& paper = preview.PaperControl();
  const QRect r = paper.PageRect();
  EXPECT_EQ(paper.Surface().pixel(r.right() - 2, r.top() + 2), QColor(Qt::red).rgb());
}
