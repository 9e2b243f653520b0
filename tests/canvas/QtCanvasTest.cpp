#include "canvas/qt/QtCanvas.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace bw {
void PrintTo(const TColor& c, std::ostream* os) {
  *os << "(" << int(c.R) << "," << int(c.G) << "," << int(c.B) << ")";
}
} // namespace bw

using namespace bw;

namespace {

constexpr TColor Fill{200, 100, 50};

QImage White(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

TColor At(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return {static_cast<uint8_t>(qRed(p)), static_cast<uint8_t>(qGreen(p)),
          static_cast<uint8_t>(qBlue(p))};
}

bool IsInk(const TColor& c) {
  return c.R + c.G + c.B < 450;
}

// The bounding box of the pixels that are not white, as Left-Top-Right-Bottom.
TRect Marked(const QImage& image) {
  TRect r{image.width(), image.height(), 0, 0};
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (At(image, x, y) != colors::White) {
        r.Left = std::min(r.Left, x);
        r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1);
        r.Bottom = std::max(r.Bottom, y + 1);
      }
  return r;
}

} // namespace

TEST(QtCanvas, RectangleExcludesRightAndBottom) {
  QImage image = White(20, 20);
  {
    QPainter p(&image);
    TQtCanvas c(p);
    c.Brush.Color = Fill;
    c.Rectangle(3, 4, 12, 10);
  }
  EXPECT_EQ(Marked(image), (TRect{3, 4, 12, 10}));
  for (int x = 3; x < 12; ++x) {
    EXPECT_EQ(At(image, x, 4), colors::Black) << x;
    EXPECT_EQ(At(image, x, 9), colors::Black) << x;
  }
  for (int y = 4; y < 10; ++y) {
    EXPECT_EQ(At(image, 3, y), colors::Black) << y;
    EXPECT_EQ(At(image, 11, y), colors::Black) << y;
  }
  for (int y = 5; y < 9; ++y)
    for (int x = 4; x < 11; ++x)
      ASSERT_EQ(At(image, x, y), Fill) << x << "," << y;

  // Corners given the other way round, and a clear brush: the same frame,
  // nothing inside.
  QImage frame = White(20, 20);
  {
    QPainter p(&frame);
    TQtCanvas c(p);
    c.Brush.Style = TBrushStyle::Clear;
    c.Rectangle(12, 10, 3, 4);
  }
  EXPECT_EQ(Marked(frame), (TRect{3, 4, 12, 10}));
  EXPECT_EQ(At(frame, 7, 7), colors::White);
  EXPECT_EQ(At(frame, 11, 9), colors::Black);
}

TEST(QtCanvas, PensAreInLogicalUnits) {
  // A 3-pixel pen lies centred on the outline of the 1-pixel one.
  QImage thick = White(30, 30);
  {
    QPainter p(&thick);
    TQtCanvas c(p);
    c.Pen.Width = 3;
    c.Brush.Color = Fill;
    c.Rectangle(5, 5, 20, 20);
  }
  EXPECT_EQ(Marked(thick), (TRect{4, 4, 21, 21}));
  for (int x : {4, 5, 6, 18, 19, 20})
    EXPECT_EQ(At(thick, x, 12), colors::Black) << x;
  EXPECT_EQ(At(thick, 7, 12), Fill);
  EXPECT_EQ(At(thick, 17, 12), Fill);

  // Scaled four times, as for a printer, the thin pen is four pixels wide.
  QImage scaled = White(40, 40);
  {
    QPainter p(&scaled);
    p.scale(4, 4);
    TQtCanvas c(p);
    c.Brush.Color = Fill;
    c.Rectangle(1, 1, 5, 5);
  }
  EXPECT_EQ(Marked(scaled), (TRect{4, 4, 20, 20}));
  for (int x : {4, 7, 16, 19})
    EXPECT_EQ(At(scaled, x, 10), colors::Black) << x;
  EXPECT_EQ(At(scaled, 8, 10), Fill);
  EXPECT_EQ(At(scaled, 15, 10), Fill);
}

TEST(QtCanvas, EllipseWithinTheSameBox) {
  QImage image = White(24, 16);
  {
    QPainter p(&image);
    TQtCanvas c(p);
    c.Brush.Color = Fill;
    c.Ellipse(2, 2, 19, 13);
  }
  EXPECT_EQ(Marked(image), (TRect{2, 2, 19, 13}));
  EXPECT_EQ(At(image, 10, 7), Fill);
  for (auto [x, y] : {std::pair{2, 2}, {18, 2}, {2, 12}, {18, 12}})
    EXPECT_EQ(At(image, x, y), colors::White) << x << "," << y;
  for (auto [x, y] : {std::pair{2, 7}, {18, 7}, {10, 2}, {10, 12}})
    EXPECT_EQ(At(image, x, y), colors::Black) << x << "," << y;
}

TEST(QtCanvas, LinesEndBeforeTheirLastPointAndDotsLeaveGaps) {
  QImage image = White(40, 20);
  {
    QPainter p(&image);
    TQtCanvas c(p);
    c.MoveTo(2, 3);
    c.LineTo(30, 3);
    c.Pen.Style = TPenStyle::Dot;
    c.MoveTo(2, 8);
    c.LineTo(30, 8);
    // A clear pen draws nothing but moves on.
    c.Pen.Style = TPenStyle::Clear;
    c.MoveTo(2, 14);
    c.LineTo(20, 14);
    c.Pen.Style = TPenStyle::Solid;
    c.LineTo(30, 14);
  }
  int solid = 0, dots = 0, gaps = 0, hidden = 0;
  for (int x = 2; x < 30; ++x) {
    solid += At(image, x, 3) == colors::Black;
    (At(image, x, 8) == colors::Black ? dots : gaps) += 1;
  }
  for (int x = 0; x < 20; ++x)
    hidden += At(image, x, 14) != colors::White;
  EXPECT_EQ(solid, 28);
  EXPECT_EQ(At(image, 30, 3), colors::White);
  EXPECT_GT(dots, 5);
  EXPECT_GT(gaps, 5);
  EXPECT_EQ(hidden, 0);
  EXPECT_EQ(At(image, 20, 14), colors::Black);
  EXPECT_EQ(At(image, 29, 14), colors::Black);
}

TEST(QtCanvas, PolygonsWithoutOutlineAndFillRect) {
  QImage image = White(40, 30);
  {
    QPainter p(&image);
    TQtCanvas c(p);
    c.Brush.Color = colors::Red;
    c.Pen.Style = TPenStyle::Clear;
    c.Polygon({{2, 2}, {20, 2}, {20, 20}});
    c.Pen.Style = TPenStyle::Solid;
    c.Pen.Width = 0;
    c.Polygon({{2, 4}, {2, 20}, {18, 20}});
    c.Pen.Width = 1;
    c.Polygon({{24, 2}, {38, 2}, {38, 16}});
    c.Brush.Color = Fill;
    c.FillRect({5, 22, 15, 26});
    c.Brush.Style = TBrushStyle::Clear;
    c.FillRect({20, 22, 30, 26});
  }
  int red = 0, black = 0;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 22; ++x) {
      const TColor px = At(image, x, y);
      EXPECT_TRUE(px == colors::Red || px == colors::White) << x << "," << y;
      red += px == colors::Red;
    }
  for (int y = 0; y < 18; ++y)
    for (int x = 23; x < 40; ++x)
      black += At(image, x, y) == colors::Black;
  EXPECT_GT(red, 100);
  EXPECT_GT(black, 20);
  EXPECT_EQ(Marked(image.copy(0, 21, 40, 9)), (TRect{5, 1, 15, 5}));
  EXPECT_EQ(At(image, 10, 24), Fill);
}

TEST(QtCanvas, TextOutFillsItsCellAndHangsFromTheTop) {
  const std::string text = "Wg Root";
  for (bool solid : {true, false}) {
    QImage image = White(120, 40);
    int width = 0, height = 0;
    {
      QPainter p(&image);
      TQtCanvas c(p);
      c.Brush.Color = colors::Selection;
      if (!solid) c.Brush.Style = TBrushStyle::Clear;
      width = c.TextWidth(text);
      height = c.TextHeight(text);
      c.TextOut(10, 12, text);
    }
    ASSERT_GT(width, 20);
    ASSERT_GT(height, 8);
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const bool inCell = x >= 10 && x < 10 + width && y >= 12 && y < 12 + height;
        const TColor px = At(image, x, y);
        if (!inCell) {
          ASSERT_EQ(px, colors::White) << x << "," << y << (solid ? " solid" : " clear");
        } else if (solid) {
          ASSERT_NE(px, colors::White) << x << "," << y;
        }
        ink += inCell && IsInk(px);
      }
    EXPECT_GT(ink, 20);
    EXPECT_EQ(At(image, 10, 12), solid ? colors::Selection : colors::White);
  }
}

TEST(QtCanvas, TextInTheFontColour) {
  QImage image = White(80, 30);
  {
    QPainter p(&image);
    TQtCanvas c(p);
    c.Font.Color = colors::Red;
    c.Font.Spec.Size = 14;
    c.TextOut(2, 2, "HHH");
  }
  int reddish = 0, dark = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const TColor px = At(image, x, y);
      reddish += px.R > 200 && px.G < 100 && px.B < 100;
      dark += px.R < 100;
    }
  EXPECT_GT(reddish, 20);
  EXPECT_EQ(dark, 0);
}

TEST(QtCanvas, TextRectFillsAndClipsToItsRectangle) {
  QImage image = White(100, 40);
  const TRect clip{10, 10, 50, 24};
  {
    QPainter p(&image);
    TQtCanvas c(p);
    c.Brush.Color = colors::Selection;
    // Starts left of the rectangle and runs far beyond it.
    c.TextRect(clip, 4, 10, "Wide text that overflows");
  }
  int ink = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const bool inside = x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom;
      const TColor px = At(image, x, y);
      if (!inside) {
        ASSERT_EQ(px, colors::White) << x << "," << y;
      } else {
        ASSERT_NE(px, colors::White) << x << "," << y;
      }
      ink += inside && IsInk(px);
    }
  EXPECT_GT(ink, 20);
  EXPECT_EQ(At(image, 49, 23), colors::Selection);
}

TEST(QtCanvas, GlyphPixelsLandOneToOneInLogicalUnits) {
  // Nine by nine, every pixel a different colour and none of them white.
  TGlyph plus{9, 9, {}};
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x)
      plus.Pixels.push_back(TColor{static_cast<uint8_t>(20 * x), static_cast<uint8_t>(20 * y), 90});
  QImage image = White(60, 40);
  {
    QPainter p(&image);
    TQtCanvas c(p);
    c.Draw(3, 4, plus);
    p.scale(2, 2);
    c.Draw(10, 5, plus);
  }
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) {
      const TColor expected = plus.Pixels[static_cast<size_t>(y * 9 + x)];
      ASSERT_EQ(At(image, 3 + x, 4 + y), expected) << x << "," << y;
      for (int d : {0, 1})
        ASSERT_EQ(At(image, 20 + 2 * x + d, 10 + 2 * y + d), expected) << x << "," << y;
    }
  EXPECT_EQ(Marked(image.copy(0, 0, 20, 40)), (TRect{3, 4, 12, 13}));
  EXPECT_EQ(Marked(image.copy(20, 0, 40, 40)), (TRect{0, 10, 18, 28}));
}

TEST(QtCanvas, PaintAreaAndPainterState) {
  QImage image = White(200, 200);
  QPainter p(&image);
  p.setPen(QPen(Qt::green, 5));
  p.setBrush(Qt::blue);
  p.setRenderHint(QPainter::Antialiasing, true);
  {
    TQtCanvas c(p);
    EXPECT_EQ(c.PaintArea(), (TRect{INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2}));
    p.translate(100, 0);
    p.setClipRect(QRect(5, 6, 10, 20));
    EXPECT_EQ(c.PaintArea(), (TRect{5, 6, 15, 26}));
    c.SetPaintArea({1, 2, 3, 4});
    EXPECT_EQ(c.PaintArea(), (TRect{1, 2, 3, 4}));
    c.Pen.Width = 3;
    c.Rectangle(0, 0, 10, 10);
    c.TextOut(0, 0, "x");
  }
  EXPECT_EQ(p.pen().color(), QColor(Qt::green));
  EXPECT_EQ(p.pen().width(), 5);
  EXPECT_EQ(p.brush().color(), QColor(Qt::blue));
  EXPECT_TRUE(p.testRenderHint(QPainter::Antialiasing));
  EXPECT_FALSE(p.hasClipping());
}
