// The drawn control, checked at a few pixels: the selection fill and the
// rubber band's blend.
#include "WidgetTestSupport.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

using namespace bw;
using namespace bw::test;

namespace {

constexpr Rgb White{255, 255, 255};
constexpr Rgb SelectionFill{210, 210, 255};
constexpr Rgb BandFill{229, 233, 254};
constexpr Rgb BandBorder{33, 69, 254};

class TreeWidgetPaint : public TreeWidgetTest {
protected:
  QImage Shot() { return Widget->grab().toImage(); }
  // Inside the box, clear of its frame (3 pixels on the path) and its text.
  static QPoint InBox(const TDecTreeNode* node) {
    const TNodeRect& box = node->Rect(htBox);
    return {box.Left + 4, box.Top + 4};
  }
};

TEST_F(TreeWidgetPaint, SelectedBoxIsFilledAndTheRestIsWhite) {
  BuildSmallTree();
  TDecTreeNode* b = Root()->Child(1);
  Tree().SelectNode(b, htBox);
  Tree().Recalculate();
  QImage image = Shot();
  EXPECT_EQ(PixelAt(image, InBox(b)), SelectionFill);
  EXPECT_EQ(PixelAt(image, InBox(Root())), White);
  EXPECT_EQ(PixelAt(image, Blank()), White);
  // The frame is drawn.
  EXPECT_NE(PixelAt(image, QPoint(b->Rect(htBox).Left, NodeRectCenterY(b->Rect(htBox)))), White);

  // A click elsewhere moves the fill.
  Click(QPoint(NodeRectCenterX(Root()->Rect(htBox)), NodeRectCenterY(Root()->Rect(htBox))));
  image = Shot();
  EXPECT_EQ(PixelAt(image, InBox(Root())), SelectionFill);
  EXPECT_EQ(PixelAt(image, InBox(b)), White);
}

TEST_F(TreeWidgetPaint, PressingOnNothingKeepsTheTreeInSight) {
  BuildSmallTree();
  const TNodeRect& box = Root()->Child(1)->Rect(htBox);
  const QPoint frame(box.Left, NodeRectCenterY(box));
  ASSERT_NE(PixelAt(Shot(), frame), White);
  // The press starts a band, but until the mouse moves there is no band
  // frame to show.
  Press(Blank());
  QApplication::processEvents();
  EXPECT_NE(PixelAt(Shot(), frame), White);
  EXPECT_EQ(PixelAt(Shot(), InBox(Root())), White);
  Release(Blank());
}

TEST_F(TreeWidgetPaint, BandIsBlendedWhileDraggedAndGoneAfterwards) {
  BuildSmallTree();
  const int w = Widget->width(), h = Widget->height();
  const QPoint start(w - 10, h - 10);
  Press(start);
  Move(QPoint(w - 80, h - 60));
  QImage image = Shot();
  EXPECT_EQ(PixelAt(image, QPoint(w - 40, h - 30)), BandFill);
  EXPECT_EQ(PixelAt(image, QPoint(w - 80, h - 30)), BandBorder);
  EXPECT_EQ(PixelAt(image, QPoint(w - 10, h - 30)), BandBorder);
  EXPECT_EQ(PixelAt(image, QPoint(w - 40, h - 60)), BandBorder);
  EXPECT_EQ(PixelAt(image, QPoint(w - 81, h - 30)), White);

  // A smaller band leaves no trace where the larger one was.
  Move(QPoint(w - 30, h - 20));
  image = Shot();
  EXPECT_EQ(PixelAt(image, QPoint(w - 60, h - 40)), White);
  EXPECT_EQ(PixelAt(image, QPoint(w - 20, h - 15)), BandFill);

  Release(QPoint(w - 30, h - 20));
  image = Shot();
  EXPECT_EQ(PixelAt(image, QPoint(w - 20, h - 15)), White);
  EXPECT_EQ(PixelAt(image, QPoint(w - 30, h - 15)), White);
}

TEST_F(TreeWidgetPaint, BandOverASelectedBoxBlendsItsFill) {
  BuildSmallTree();
  TDecTreeNode* b = Root()->Child(1);
  const QPoint inside = InBox(b);
  const QPoint start(inside.x() - 2, Widget->height() - 3);
  Press(start);
  Move(QPoint(inside.x() + 20, inside.y() - 2));
  // Selected by the band and then blended: 210 * 230 / 256 and so on.
  EXPECT_EQ(PixelAt(Shot(), inside), (Rgb{188, 192, 254}));
  Release(QPoint(inside.x() + 20, inside.y() - 2));
  EXPECT_EQ(PixelAt(Shot(), inside), SelectionFill);
}

TEST_F(TreeWidgetPaint, BandIsDrawnWhereTheViewIsScrolled) {
  // A tall tree, scrolled down: the back buffer covers only what is seen.
  for (int i = 0; i < 40; ++i)
    AddNode(Root(), "Option " + std::to_string(i), ntDecision, i == 0 ? 100 : 0);
  Tree().Recalculate();
  ASSERT_GT(Widget->height(), Area->viewport()->height() + 300);
  Area->verticalScrollBar()->setValue(300);
  QApplication::processEvents();
  const QPoint start(Area->viewport()->width() - 20, 300 + 200);
  Press(start);
  Move(QPoint(start.x() - 50, start.y() - 50));
  const QImage image = Widget->grab(QRect(0, 300, Widget->width(), 400)).toImage();
  EXPECT_EQ(PixelAt(image, QPoint(start.x() - 25, 200 - 25)), BandFill);
  EXPECT_EQ(PixelAt(image, QPoint(start.x() - 50, 200 - 25)), BandBorder);
  Release(QPoint(start.x() - 50, start.y() - 50));
}

} // namespace
