#include "WidgetTestSupport.h"

#include <QApplication>
#include <QTest>
#include <QWindow>

namespace bw::test {

void TreeWidgetTest::SetUp() {
  Area = std::make_unique<QScrollArea>();
  Area->setWidgetResizable(false);
  Widget = new TDecTreeWidget;
  Area->setWidget(Widget);
  Area->resize(700, 500);
  NodeMenu = new QMenu(Area.get());
  NodeMenu->addAction(QStringLiteral("Add Child"));
  NodeMenu->addAction(QStringLiteral("Remove"));
  Widget->SetPopupMenu(NodeMenu);
  // The tests type numbers with a decimal point, whatever the machine's
  // locale says.
  Tree().Locale = TMoneyLocale{};
  Tree().OnSaveUndo = [this](TDecTree&, const std::string& caption) {
    UndoSteps.push_back(caption);
  };
  Widget->AskHandler = [this](const QString& question) {
    Questions.push_back(question);
    return Answer;
  };
  Area->show();
  Area->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(Area.get()));
  Tree().SetMinWidth(Area->viewport()->width());
  Tree().SetMinHeight(Area->viewport()->height());
  Tree().Recalculate();
  Widget->setFocus();
  QApplication::processEvents();
}

void TreeWidgetTest::TearDown() {
  CloseMenus();
  Area.reset();
  QApplication::processEvents();
}

TDecTreeNode* TreeWidgetTest::AddNode(TDecTreeNode* parent, const std::string& caption,
                                      TNodeType type, double probability) {
  return parent->AddChild(Tree().NewNode(parent, TNodeFields{.Id = Guid::NewGuid(),
                                                             .Caption = caption,
                                                             .NodeType = type,
                                                             .ChanceType = ctPercent,
                                                             .Probability = probability,
                                                             .ChildrenVisible = true,
                                                             .DecisionMultiBudget = -1}));
}

void TreeWidgetTest::BuildSmallTree() {
  TDecTreeNode* a = AddNode(Root(), "A", ntDecision, 100);
  AddNode(Root(), "B", ntDecision, 0);
  TDecTreeNode* c = AddNode(a, "C", ntChance, 100);
  AddNode(c, "C1", ntDecision, 40);
  AddNode(c, "C2", ntDecision, 60);
  Tree().Recalculate();
}

std::vector<std::string> TreeWidgetTest::SelectedCaptions() {
  std::vector<std::string> captions;
  for (const TDecTreeNode* n : Tree().GetSelectedNodes())
    captions.push_back(n->Caption);
  return captions;
}

QWidget* TreeWidgetTest::Focus() const {
  return QApplication::focusWidget();
}

void TreeWidgetTest::Key(Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QWidget* target = Focus();
  ASSERT_NE(target, nullptr);
  QTest::keyClick(target, key, modifiers);
}

void TreeWidgetTest::Type(const QString& text) {
  // The first character may open the editor: each goes where the focus is.
  for (QChar c : text) {
    QWidget* target = Focus();
    ASSERT_NE(target, nullptr);
    // A character beyond Latin-1 (the euro sign) has no key of its own.
    if (c.unicode() > 0xFF)
      QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
    else
      QTest::keyClicks(target, QString(c));
  }
}

QPoint TreeWidgetTest::ToWindow(QPoint p) const {
  return Area->windowHandle()->mapFromGlobal(Widget->mapToGlobal(p));
}

void TreeWidgetTest::Press(QPoint p, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  QTest::mousePress(Area->windowHandle(), button, modifiers, ToWindow(p));
}

void TreeWidgetTest::Release(QPoint p, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  QTest::mouseRelease(Area->windowHandle(), button, modifiers, ToWindow(p));
}

void TreeWidgetTest::Click(QPoint p, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  QTest::mouseClick(Area->windowHandle(), button, modifiers, ToWindow(p));
}

void TreeWidgetTest::DoubleClick(QPoint p) {
  QTest::mouseDClick(Area->windowHandle(), Qt::LeftButton, Qt::NoModifier, ToWindow(p));
}

void TreeWidgetTest::Move(QPoint p) {
  QTest::mouseMove(Area->windowHandle(), ToWindow(p));
}

QPoint TreeWidgetTest::Center(const TDecTreeNode* node, TNodeElementType type) {
  const TNodeRect& r = node->Rect(type);
  return {NodeRectCenterX(r), NodeRectCenterY(r)};
}

QPoint TreeWidgetTest::Blank() const {
  // Left of the border and below the drawing nothing is ever drawn.
  return {3, Widget->height() - 3};
}

QMenu* TreeWidgetTest::OpenMenu() {
  return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

void TreeWidgetTest::CloseMenus() {
  while (QWidget* popup = QApplication::activePopupWidget()) {
    popup->close();
    QApplication::processEvents();
  }
  Reactivate();
}

void TreeWidgetTest::Reactivate() {
  // The offscreen platform has no window manager to give the activation
  // back after a popup or a dialog closed.
  if (Area && QApplication::activeWindow() != Area.get()) QApplication::setActiveWindow(Area.get());
}

} // namespace bw::test
