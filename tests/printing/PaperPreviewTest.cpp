// The paper control and its options.
#include "printing/PaperPreview.h"
#include "printing/PageStore.h"

#include <QPainter>
#include <QPicture>

#include <gtest/gtest.h>

using namespace bw;

TEST(PaperPreview, SizesTheControlAroundThePaper) {
  TPaperPreview paper;
  paper.SetPaperSize({100, 200});
  EXPECT_EQ(paper.size(), QSize(105, 205));
  paper.SetBorderSize(5);
  EXPECT_EQ(paper.size(), QSize(113, 213));
  EXPECT_EQ(paper.PaperSize(), QSize(100, 200));
  EXPECT_EQ(paper.PageRect(), QRect(5, 5, 100, 200));
}

TEST(PaperPreview, DrawsFrameShadowAndPageIntoItsImage) {
  TPaperPreview paper;
  paper.SetColor(Qt::blue);
  paper.SetShadowColor(Qt::darkGray);
  paper.SetPaperSize({20, 10});
  int paints = 0;
  QRect painted;
  paper.OnPaint = [&](TPaperPreview&, QPainter& canvas, const QRect& r) {
    ++paints;
    painted = r;
    canvas.fillRect(r.left() + 2, r.top() + 2, 3, 3, Qt::red);
    // The page is clipped: nothing reaches the frame.
    canvas.fillRect(-50, -50, 5, 500, Qt::green);
  };
  const QImage& image = paper.Surface();
  // 1 border + 20 paper + 1 border + 3 shadow.
  ASSERT_EQ(image.size(), QSize(25, 15));
  EXPECT_EQ(painted, QRect(1, 1, 20, 10));
  EXPECT_EQ(image.pixel(0, 0), QColor(Qt::black).rgb());
  EXPECT_EQ(image.pixel(21, 5), QColor(Qt::black).rgb());
  EXPECT_EQ(image.pixel(1, 1), QColor(Qt::white).rgb());
  EXPECT_EQ(image.pixel(3, 3), QColor(Qt::red).rgb());
  // The shadow starts 3 pixels in; the corners it leaves show the control.
  EXPECT_EQ(image.pixel(23, 5), QColor(Qt::darkGray).rgb());
  EXPECT_EQ(image.pixel(10, 13), QColor(Qt::darkGray).rgb());
  EXPECT_EQ(image.pixel(23, 1), QColor(Qt::blue).rgb());
  EXPECT_EQ(image.pixel(1, 13), QColor(Qt::blue).rgb());

  // A plain repaint copies; only an invalidated page is drawn again.
  paper.Surface();
  EXPECT_EQ(paints, 1);
  paper.InvalidatePage();
  paper.Surface();
  EXPECT_EQ(paints, 2);
  EXPECT_TRUE(paper.FrameDrawn());

  // Without border and shadow the page is the whole control.
  paper.SetBorderSize(0);
  paper.SetShadowSize(0);
  EXPECT_EQ(paper.PageRect(), paper.rect());
  paper.Surface();
  EXPECT_EQ(painted, QRect(0, 0, 20, 10));
}

TEST(PaperPreview, ASurfaceTooLargeForMemoryPaintsNothingUntilTheNextSize) {
  TPaperPreview paper;
  paper.MaxSurfacePixels = 10000;
  int paints = 0;
  paper.OnPaint = [&](TPaperPreview&, QPainter&, const QRect&) { ++paints; };
  paper.SetPaperSize({200, 200});
  EXPECT_FALSE(paper.SurfaceSized());
  paper.Surface();
  EXPECT_EQ(paints, 0);
  paper.SetPaperSize({50, 50});
  EXPECT_TRUE(paper.SurfaceSized());
  paper.Surface();
  EXPECT_EQ(paints, 1);
}

TEST(PaperPreviewOptions, FiresOncePerChangedValueAndKeepsDragCursors) {
  TPaperPreviewOptions options;
  int changes = 0;
  options.OnChange = [&](TPaperPreviewOptions&) { ++changes; };
  options.SetDragCursor(crGrab);
  EXPECT_EQ(changes, 1);
  options.SetDragCursor(crGrab);
  EXPECT_EQ(changes, 1);

  TPaperPreviewOptions same;
  same.SetDragCursor(crGrab);
  options.Assign(same);
  EXPECT_EQ(changes, 1);
  TPaperPreviewOptions other;
  other.SetShadowWidth(7);
  other.SetBorderColor(Qt::red);
  options.Assign(other);
  // Border colour, drag cursor back to the hand, shadow width.
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(options.DragCursor(), crHand);

  TPaperPreview paper;
  options.SetCursor(crGrab);
  options.AssignTo(paper);
  EXPECT_EQ(paper.ShadowSize(), 7);
  EXPECT_EQ(paper.BorderColor(), QColor(Qt::red));
  EXPECT_EQ(paper.CursorNumber(), crGrab);
}

TEST(PaperPreview, PlaysAPageIntoAnyRectangleWhateverTheDeviceResolution) {
  TMetafilePage page;
  page.Extent = QSize(100, 50);
  {
    QPainter painter(&page.Picture);
    painter.fillRect(0, 0, 50, 25, Qt::black);
  }
  // Played as a drawing, or through an image for printers that need one.
  for (auto* play : {&PlayPage, &DrawGraphic})
    for (int dpi : {96, 192, 600}) {
      QImage image(400, 200, QImage::Format_RGB32);
      const int dpm = static_cast<int>(dpi / 0.0254 + 0.5);
      image.setDotsPerMeterX(dpm);
      image.setDotsPerMeterY(dpm);
      image.fill(Qt::white);
      {
        QPainter painter(&image);
        play(painter, QRect(0, 0, 400, 200), page.Picture, page.Extent);
      }
      // The quarter of the page is a quarter of the target.
      const bool drawn = play == &PlayPage;
      EXPECT_EQ(image.pixel(195, 95), QColor(Qt::black).rgb()) << dpi << drawn;
      EXPECT_EQ(image.pixel(205, 105), QColor(Qt::white).rgb()) << dpi << drawn;
    }
}
