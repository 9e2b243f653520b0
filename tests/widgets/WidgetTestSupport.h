// The tree control shown as the application shows it, in a scroll area, and
// driven as a user would: keys go to whatever widget has the focus, mouse
// events come through the window so that Qt makes its own double clicks and
// context-menu events from them.
#pragma once

#include "model/NodeRect.h"
#include "widgets/DecTreeWidget.h"

#include <QImage>
#include <QMenu>
#include <QScrollArea>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace bw {
inline void PrintTo(TNodeElementType type, std::ostream* os) {
  *os << "element type " << static_cast<int>(type);
}
} // namespace bw

namespace bw::test {

struct Rgb {
  int R = 0, G = 0, B = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};
inline void PrintTo(const Rgb& c, std::ostream* os) {
  *os << "(" << c.R << "," << c.G << "," << c.B << ")";
}
inline Rgb PixelAt(const QImage& image, QPoint p) {
  const QRgb c = image.pixel(p);
  return {qRed(c), qGreen(c), qBlue(c)};
}

class TreeWidgetTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  TDecTree& Tree() { return Widget->Tree(); }
  TDecTreeNode* Root() { return Tree().TreeRoot(); }
  // A child as the control makes them, appended to parent; no recalculation.
  TDecTreeNode* AddNode(TDecTreeNode* parent, const std::string& caption,
                        TNodeType type = ntDecision, double probability = 0);
  // Root "Root" with the options "A" (taken) and "B", and a chance node "C"
  // under A with the branches "C1" 40% and "C2" 60%.
  void BuildSmallTree();
  std::vector<std::string> SelectedCaptions();

  // Keys to the focus widget, as the keyboard sends them.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void Type(const QString& text);
  QWidget* Focus() const;

  // Mouse at a point of the tree control, through the window.
  void Press(QPoint p, Qt::MouseButton button = Qt::LeftButton,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void Release(QPoint p, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void Click(QPoint p, Qt::MouseButton button = Qt::LeftButton,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void DoubleClick(QPoint p);
  void Move(QPoint p);
  // The middle of an element and a point of the control where nothing is.
  static QPoint Center(const TDecTreeNode* node, TNodeElementType type);
  QPoint Blank() const;

  // The menu open at the moment, if any; closes it.
  static QMenu* OpenMenu();
  void CloseMenus();
  // The window active again after a popup or dialog.
  void Reactivate();

  std::unique_ptr<QScrollArea> Area;
  TDecTreeWidget* Widget = nullptr;
  QMenu* NodeMenu = nullptr;
  std::vector<std::string> UndoSteps;
  std::vector<QString> Questions;
  bool Answer = true;

private:
  QPoint ToWindow(QPoint p) const;
};

} // namespace bw::test
