// Selecting, expanding, opening menus and hints with the mouse.
#include "WidgetTestSupport.h"

#include <QApplication>
#include <QHelpEvent>
#include <QStatusTipEvent>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>

#include <gmock/gmock.h>

using namespace bw;
using namespace bw::test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class TreeWidgetMouse : public TreeWidgetTest {
protected:
  void SetUp() override {
    TreeWidgetTest::SetUp();
    BuildSmallTree();
    A = Root()->Child(0);
    B = Root()->Child(1);
    C = A->Child(0);
    C1 = C->Child(0);
    C2 = C->Child(1);
  }
  TDecTreeNode *A, *B, *C, *C1, *C2;
};

TEST_F(TreeWidgetMouse, ClickSelectsAndCtrlClickTogglesOnRelease) {
  Click(Center(B, htBox));
  EXPECT_THAT(SelectedCaptions(), ElementsAre("B"));
  EXPECT_EQ(Tree().SelectionElementType, htBox);

  Press(Center(C1, htProbability), Qt::LeftButton, Qt::ControlModifier);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("B"));
  Release(Center(C1, htProbability), Qt::LeftButton, Qt::ControlModifier);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("C1"));
  EXPECT_EQ(Tree().SelectionElementType, htProbability);
  Click(Center(C2, htProbability), Qt::LeftButton, Qt::ControlModifier);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("C1", "C2"));
  Click(Center(C1, htProbability), Qt::LeftButton, Qt::ControlModifier);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("C2"));

  // Nothing hit: nothing selected, but the element type stays for a band.
  Click(Blank());
  EXPECT_THAT(SelectedCaptions(), IsEmpty());
  EXPECT_EQ(Tree().SelectionElementType, htProbability);
  EXPECT_THAT(UndoSteps, IsEmpty());
}

TEST_F(TreeWidgetMouse, RightClickKeepsAMultipleSelectionAndOpensTheNodeMenuThere) {
  Tree().SelectNode(C1, htProbability);
  Tree().Selection.Add(C2->Id);
  const QPoint at = Center(C2, htProbability);
  Press(at, Qt::RightButton);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("C1", "C2"));
  EXPECT_EQ(OpenMenu(), NodeMenu);
  EXPECT_EQ(NodeMenu->pos(), Widget->mapToGlobal(at));
  CloseMenus();
  Release(at, Qt::RightButton);

  // Any other element is selected alone before the menu opens.
  Press(Center(B, htBox), Qt::RightButton);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("B"));
  EXPECT_EQ(Tree().SelectionElementType, htBox);
  EXPECT_EQ(OpenMenu(), NodeMenu);
  CloseMenus();
  Release(Center(B, htBox), Qt::RightButton);
}

TEST_F(TreeWidgetMouse, DoubleClickOpensTheEditorAndKeepsTheSelection) {
  Tree().SelectNode(C2, htBox);
  DoubleClick(Center(B, htBox));
  QLineEdit* editor = Widget->InplaceEdit();
  ASSERT_TRUE(editor->isVisible());
  EXPECT_EQ(Tree().EditedNode(), B);
  EXPECT_EQ(editor->selectedText(), "B");
  EXPECT_THAT(SelectedCaptions(), ElementsAre("B"));
  EXPECT_THAT(UndoSteps, ElementsAre("Edit Title"));

  // The next click is the user's own and is not swallowed.
  Click(Center(A, htBox));
  EXPECT_FALSE(editor->isVisible());
  EXPECT_THAT(SelectedCaptions(), ElementsAre("A"));

  // A double click on an option takes it.
  DoubleClick(Center(B, htProbability));
  EXPECT_EQ(B->Probability, 100);
  EXPECT_EQ(A->Probability, 0);
  EXPECT_THAT(UndoSteps, ElementsAre("Edit Title", "Take/Toggle option"));
}

TEST_F(TreeWidgetMouse, BandSelectsWhatItTouchesOfTheSelectedElementType) {
  // From below the drawing up a line through the boxes of C1 and C2.
  const QPoint start(Center(C1, htBox).x(), Widget->height() - 3);
  Press(start);
  EXPECT_THAT(SelectedCaptions(), IsEmpty());
  EXPECT_TRUE(Tree().BandActive());
  Move(Center(C1, htBox));
  EXPECT_THAT(SelectedCaptions(), ElementsAre("C1", "C2"));
  Move(QPoint(start.x(), NodeRectBottom(C2->Rect(htBox)) + 2));
  EXPECT_THAT(SelectedCaptions(), IsEmpty());
  Move(Center(C2, htBox));
  Release(Center(C2, htBox));
  EXPECT_FALSE(Tree().BandActive());
  EXPECT_THAT(SelectedCaptions(), ElementsAre("C2"));

  // After a click on a probability and one on nothing, a band selects
  // probabilities.
  Click(Center(C1, htProbability));
  Click(Blank());
  const QPoint from(Center(C1, htProbability).x(), Widget->height() - 3);
  Press(from);
  Move(Center(C1, htProbability));
  Release(Center(C1, htProbability));
  EXPECT_THAT(SelectedCaptions(), ElementsAre("C1", "C2"));
  EXPECT_EQ(Tree().SelectionElementType, htProbability);
}

TEST_F(TreeWidgetMouse, CtrlBandTogglesWhatWasSelectedBefore) {
  Tree().SelectNode(C1, htBox);
  const QPoint start(Center(C1, htBox).x(), Widget->height() - 3);
  Press(start, Qt::LeftButton, Qt::ControlModifier);
  Move(Center(C2, htBox));
  EXPECT_THAT(SelectedCaptions(), ElementsAre("C1", "C2"));
  Move(Center(C1, htBox));
  EXPECT_THAT(SelectedCaptions(), ElementsAre("C2"));
  Move(Center(C2, htBox));
  Release(Center(C2, htBox), Qt::LeftButton, Qt::ControlModifier);
  // The release toggles the element under it, as a Ctrl-click would.
  EXPECT_THAT(SelectedCaptions(), ElementsAre("C1"));
}

TEST_F(TreeWidgetMouse, PlusMinusCollapsesAndExpandsWithoutTouchingTheSelection) {
  int before = 0;
  Tree().OnBeforeExpandCollapse = [&](TDecTree&) { ++before; };
  Tree().SelectNode(B, htBox);
  const QPoint minus = Center(A, htPlusMinus);
  Click(minus);
  EXPECT_FALSE(A->ChildrenVisible);
  EXPECT_EQ(before, 1);
  EXPECT_THAT(SelectedCaptions(), ElementsAre("B"));
  Click(Center(A, htPlusMinus));
  EXPECT_TRUE(A->ChildrenVisible);
  EXPECT_EQ(before, 2);

  // A leaf has no button: where it would be, nothing collapses.
  Click(Center(C1, htPlusMinus));
  EXPECT_TRUE(C1->ChildrenVisible);
  EXPECT_EQ(before, 2);
  EXPECT_THAT(UndoSteps, IsEmpty());
}

TEST_F(TreeWidgetMouse, DecisionPropertyMenuShowsAndSetsTheFlags) {
  int before = 0;
  Tree().OnBeforeShowDecisionProperty = [&](TDecTree&) { ++before; };
  Tree().SelectNode(B, htBox);
  Click(Center(A, htRollUpDown));
  QMenu* menu = OpenMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu, Widget->DecisionPropertyMenu());
  const TNodeRect& button = A->Rect(htRollUpDown);
  EXPECT_EQ(menu->pos(), Widget->mapToGlobal(QPoint(button.Left, NodeRectBottom(button))));
  EXPECT_THAT(SelectedCaptions(), ElementsAre("B"));
  QAction* owner = menu->findChild<QAction*>("butPopOwner");
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(owner->text(), "Show Owner");
  EXPECT_TRUE(owner->isEnabled());
  EXPECT_FALSE(owner->isChecked());
  EXPECT_FALSE(menu->findChild<QAction*>("butPopBudget")->isEnabled());
  EXPECT_EQ(menu->findChild<QAction*>("butPopDueDate")->text(), "Show Due date");
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(owner).center());
  EXPECT_EQ(OpenMenu(), nullptr);
  EXPECT_EQ(before, 1);
  EXPECT_TRUE(A->DecisionShowOwner);
  EXPECT_TRUE(A->IsPlaced(htIndicatorOwner));

  // A chance node: only the caption can be shown, but "Show all" sets all.
  Click(Center(C, htRollUpDown));
  menu = OpenMenu();
  ASSERT_NE(menu, nullptr);
  for (const char* name :
       {"butPopBudget", "butPopInvestment", "butPopOwner", "butPopDueDate", "butPopFixed"})
    EXPECT_FALSE(menu->findChild<QAction*>(name)->isEnabled()) << name;
  EXPECT_TRUE(menu->findChild<QAction*>("butPopName")->isEnabled());
  QAction* all = menu->findChild<QAction*>("butPopShowAll");
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(all).center());
  EXPECT_EQ(before, 2);
  EXPECT_TRUE(C->DecisionShowCaption && C->DecisionShowOwner && C->DecisionShowDueDate &&
              C->DecisionShowFixed && C->DecisionMultiShowBudget && C->DecisionMultiShowInvestment);
  EXPECT_TRUE(C->IsPlaced(htIndicatorCaption));
  EXPECT_FALSE(C->IsPlaced(htIndicatorOwner));

  // A leaf has no such button.
  Click(Center(C1, htRollUpDown));
  EXPECT_EQ(OpenMenu(), nullptr);
  EXPECT_THAT(UndoSteps, IsEmpty());
}

// What the tooltip label shows: rich text as its words, plain text as is.
QString ShownToolTip() {
  const QString text = QToolTip::text();
  if (!Qt::mightBeRichText(text)) return text;
  QTextDocument document;
  document.setHtml(text);
  return document.toPlainText();
}

class StatusTips : public QObject {
public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::StatusTip)
      Texts.push_back(static_cast<QStatusTipEvent*>(event)->tip());
    return false;
  }
  std::vector<QString> Texts;
};

TEST_F(TreeWidgetMouse, HintsShowTheirShortPartAsPlainText) {
  StatusTips tips;
  Area->installEventFilter(&tips);
  auto hover = [&](QPoint p) {
    Move(p);
    QHelpEvent help(QEvent::ToolTip, p, Widget->mapToGlobal(p));
    QApplication::sendEvent(Widget, &help);
  };

  Root()->Comment = "<b>x</b> & <img src=\"y\">";
  hover(Center(Root(), htBox));
  ASSERT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(ShownToolTip(), "<b>x</b> & <img src=\"y\">");
  EXPECT_EQ(tips.Texts.back(), "<b>x</b> & <img src=\"y\">");

  hover(Center(C1, htProbability));
  EXPECT_EQ(ShownToolTip(), "Probability");
  EXPECT_EQ(tips.Texts.back(), "Shows the probability of this node");
  hover(Center(B, htProbability));
  EXPECT_EQ(ShownToolTip(), "Option taken?");
  EXPECT_EQ(tips.Texts.back(), "TRUE if option is currently taken, FALSE if it is not");

  // Nothing under the mouse: the tooltip goes (it fades out).
  hover(Blank());
  EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000));
  EXPECT_EQ(tips.Texts.back(), "");
  Area->removeEventFilter(&tips);
}

} // namespace
